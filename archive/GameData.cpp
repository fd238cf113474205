#include "GameData.h"

#include "decode/Recovery.h"
#include "io/File.h"
#include "io/Paths.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace sv {
namespace {

const char* const kSoundArchive = "wyvern.snd";
const char* const kSongArchive = "midi.bsa";
const char* const kContainer = "packed.dat";

// Opens and closes the file, reading nothing.
bool Probe(const std::string& path) {
    return static_cast<bool>(OpenRegularFile(ResolveCase(path)));
}

// No errno says this of a pipe or a device.
constexpr int kNotRegularFile = -1;

// errno of opening the file for reading (or kNotRegularFile); 0 when it opens. Anything but a regular file (or a link
// to one) is refused without opening it: a directory would open, a pipe would block.
int ProbeError(const std::string& path) {
    std::error_code ec;
    const auto status = std::filesystem::status(ToPath(path), ec);
    if (std::filesystem::is_directory(status)) {
        return EISDIR;
    }
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        return kNotRegularFile;
    }
    errno = 0;
    if (OpenFile(path, "rb")) {
        return 0;
    }
    return errno != 0 ? errno : EIO;
}

GameData::Failure ReadFailure(const std::string& path, int error) {
    return {path, error == kNotRegularFile ? "not a regular file" : std::strerror(error), false};
}

// Which of the files that ValidateFolder asks for is missing or unreadable.
GameData::Failure InvalidFolder(const std::string& folder) {
    std::error_code ec;
    const auto status = std::filesystem::status(ToPath(folder), ec);
    if (!std::filesystem::exists(status)) {
        return ReadFailure(folder, ec && ec.value() != ENOENT ? ec.value() : ENOENT);
    }
    if (!std::filesystem::is_directory(status)) {
        return ReadFailure(folder, ENOTDIR);
    }
    const std::string sounds = ResolveCase(JoinPath(folder, kSoundArchive));
    const std::string container = ResolveCase(JoinPath(folder, kContainer));
    const int soundsError = ProbeError(sounds);
    const int containerError = ProbeError(container);
    if (soundsError != 0 && containerError != 0) {
        // A sound archive that is there but unreadable says more than the absent fallback.
        return soundsError != ENOENT ? ReadFailure(sounds, soundsError)
                                     : ReadFailure(container, containerError);
    }
    const std::string songs = ResolveCase(JoinPath(folder, kSongArchive));
    return ReadFailure(songs, ProbeError(songs));
}

} // namespace

GameData::~GameData() {
    Close();
}

bool GameData::OpenArchive(BsaArchive& archive, const std::string& in, const char* name) {
    if (archive.Open(in, name, true)) {
        return true;
    }
    const std::string path = ResolveCase(JoinPath(in, name));
    const int error = ProbeError(path);
    failure = error != 0 ? ReadFailure(path, error) : Failure{path, "not a BSA archive", false};
    return false;
}

bool GameData::ValidateFolder(const std::string& folder) {
    if (!Probe(JoinPathAlways(folder, kSoundArchive)) &&
        !Probe(JoinPathAlways(folder, kContainer))) {
        return false;
    }
    return Probe(JoinPathAlways(folder, kSongArchive));
}

bool GameData::Open(const std::string& gameFolder) {
    fatalCondition = false;
    failure = {};
    if (!ValidateFolder(gameFolder)) {
        failure = InvalidFolder(gameFolder);
        return false;
    }
    if (isOpen == 1) {
        Close();
    }

    if (!OpenArchive(soundArchive, gameFolder, kSoundArchive) &&
        !soundArchive.Open(workFolder, kSoundArchive, true)) {
        // A sound archive of the game's that exists but is broken explains more than a missing
        // "PACKED.DAT" does.
        const bool broken = !failure.path.empty() && ProbeError(failure.path) == 0;
        const Failure fromGame = failure;
        if (!RebuildSoundArchive(gameFolder, workFolder, 1)) {
            const bool noContainer = ProbeError(ResolveCase(JoinPath(gameFolder, kContainer))) != 0;
            if (broken && noContainer) {
                failure = fromGame;
            }
            return false;
        }
        if (!OpenArchive(soundArchive, workFolder, kSoundArchive)) {
            return false;
        }
    }
    if (!OpenArchive(songArchive, gameFolder, kSongArchive)) {
        return false;
    }

    failure = {};
    folder = gameFolder;
    isOpen = 1;
    return true;
}

void GameData::Close() {
    if (isOpen != 1) {
        return;
    }
    soundArchive.Close();
    songArchive.Close();
    folder.clear();
    isOpen = 0;
}

bool GameData::RebuildSoundArchive(const std::string& sourceFolder,
                                   const std::string& destinationFolder, int entryIndex) {
    ExplodeStatus status = ExplodeStatus::kOk;
    errno = 0;
    const RebuildResult result = RebuildFromContainer(sourceFolder, destinationFolder, entryIndex,
                                                      progressControl, decoderLines, &status);
    const int error = errno != 0 ? errno : EIO;
    fatalCondition = result == RebuildResult::kFatal;
    const std::string container = ResolveCase(JoinPath(sourceFolder, "PACKED.DAT"));
    switch (result) {
    case RebuildResult::kDone:
        failure = {};
        break;
    case RebuildResult::kNoContainer:
        failure = {container, std::strerror(error), false};
        break;
    case RebuildResult::kBadEntry:
    case RebuildResult::kFatal:
        failure = {
            container,
            "entry " + std::to_string(entryIndex) + " " +
                (result == RebuildResult::kFatal ? "does not decompress" : "is not there in full"),
            false};
        break;
    case RebuildResult::kNoOutput:
    case RebuildResult::kWriteFailed:
        failure = {destinationFolder, std::strerror(error), true};
        break;
    case RebuildResult::kNoMemory:
        failure = {container, std::strerror(ENOMEM), false};
        break;
    case RebuildResult::kNoName:
        failure = {container, "entry " + std::to_string(entryIndex) + " has no name", false};
        break;
    }
    return result == RebuildResult::kDone;
}

} // namespace sv
