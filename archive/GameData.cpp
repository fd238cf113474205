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

// The game folder's own sound archive; else the one rebuilt earlier from this very container,
// kept in a folder of its own in the work folder; else it is rebuilt there now. An archive lying
// directly in the work folder (older versions shared one for every game folder) is never opened:
// nothing tells which container it came from.
Status GameData::OpenSoundArchive(const std::string& gameFolder) {
    const Status fromGame = OpenArchive(soundArchive, gameFolder, kSoundArchive);
    if (fromGame) {
        return {};
    }
    const Result<std::string> identity = ContainerIdentity(gameFolder);
    if (!identity) {
        // A sound archive of the game's that reads but is broken explains more than a missing
        // "PACKED.DAT" does.
        return ProbeFailure(fromGame.Why().path) ? fromGame : identity.Error();
    }
    const std::string rebuilt = JoinPath(workFolder, *identity);
    if (soundArchive.Open(rebuilt, kSoundArchive, true)) {
        return {};
    }
    std::error_code ec;
    std::filesystem::create_directories(ToPath(rebuilt), ec);
    if (ec) {
        return Status::WriteError(rebuilt, ec.value());
    }
    if (Status status = RebuildSoundArchive(gameFolder, rebuilt, 1); !status) {
        std::filesystem::remove(ToPath(rebuilt), ec); // only when the failure left it empty
        return status;
    }
    return OpenArchive(soundArchive, rebuilt, kSoundArchive);
}

Status GameData::Open(const std::string& gameFolder) {
    if (!ValidateFolder(gameFolder)) {
        return InvalidFolder(gameFolder);
    }
    Close();
    Status opened = OpenSoundArchive(gameFolder);
    if (opened) {
        opened = OpenArchive(songArchive, gameFolder, kSongArchive);
    }
    if (!opened) {
        // Whatever opened before the failure goes with it: a set is open whole or not at all.
        soundArchive.Close();
        songArchive.Close();
        return opened;
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
