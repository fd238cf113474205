#include "GameData.h"

#include "Recovery.h"
#include "io/File.h"
#include "io/Paths.h"

#include <cerrno>
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

// Why the file cannot be opened for reading; Ok when it can. Anything but a regular file (or a
// link to one) is refused without opening it: a directory would open, a pipe would block.
Status ProbeFailure(const std::string& path) {
    const Result<FilePtr> file = OpenForReading(path, true);
    return file ? Status() : file.Error();
}

// Which of the files that ValidateFolder asks for is missing or unreadable.
Status InvalidFolder(const std::string& folder) {
    std::error_code ec;
    const auto status = std::filesystem::status(ToPath(folder), ec);
    if (!std::filesystem::exists(status)) {
        // A folder that is not there reports no error of its own.
        return Status::ReadError(folder, ec && ec.value() != ENOENT ? ec.value() : ENOENT);
    }
    if (!std::filesystem::is_directory(status)) {
        return Status::ReadError(folder, ENOTDIR);
    }
    const std::string soundsPath = ResolveCase(JoinPath(folder, kSoundArchive));
    const Status sounds = ProbeFailure(soundsPath);
    const Status container = ProbeFailure(ResolveCase(JoinPath(folder, kContainer)));
    if (!sounds && !container) {
        // A sound archive that is there but unreadable says more than the absent fallback.
        return std::filesystem::exists(ToPath(soundsPath), ec) ? sounds : container;
    }
    return ProbeFailure(ResolveCase(JoinPath(folder, kSongArchive)));
}

Status OpenArchive(BsaArchive& archive, const std::string& in, const char* name) {
    if (archive.Open(in, name, true)) {
        return {};
    }
    const std::string path = ResolveCase(JoinPath(in, name));
    const Status probe = ProbeFailure(path);
    return probe ? Status::ReadFailed(path, "not a BSA archive") : probe;
}

} // namespace

GameData::~GameData() {
    Close();
}

bool GameData::ValidateFolder(const std::string& folder) {
    if (!Probe(JoinPathAlways(folder, kSoundArchive)) &&
        !Probe(JoinPathAlways(folder, kContainer))) {
        return false;
    }
    return Probe(JoinPathAlways(folder, kSongArchive));
}

Status GameData::OpenSoundArchive(const std::string& gameFolder) {
    const Status fromGame = OpenArchive(soundArchive, gameFolder, kSoundArchive);
    if (fromGame || soundArchive.Open(workFolder, kSoundArchive, true)) {
        return {};
    }
    if (const Status rebuilt = RebuildSoundArchive(gameFolder, workFolder, 1); !rebuilt) {
        // A sound archive of the game's that reads but is broken explains more than a missing
        // "PACKED.DAT" does.
        const bool broken = ProbeFailure(fromGame.Why().path).Ok();
        const bool noContainer = !ProbeFailure(ResolveCase(JoinPath(gameFolder, kContainer)));
        return broken && noContainer ? fromGame : rebuilt;
    }
    return OpenArchive(soundArchive, workFolder, kSoundArchive);
}

Status GameData::Open(const std::string& gameFolder) {
    if (!ValidateFolder(gameFolder)) {
        return InvalidFolder(gameFolder);
    }
    if (isOpen == 1) {
        Close();
    }
    if (Status sounds = OpenSoundArchive(gameFolder); !sounds) {
        return sounds;
    }
    if (Status songs = OpenArchive(songArchive, gameFolder, kSongArchive); !songs) {
        return songs;
    }
    folder = gameFolder;
    isOpen = 1;
    return {};
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

Status GameData::RebuildSoundArchive(const std::string& sourceFolder,
                                     const std::string& destinationFolder, int entryIndex) {
    return RebuildFromContainer(sourceFolder, destinationFolder, entryIndex, progressControl,
                                decoderLines);
}

} // namespace sv
