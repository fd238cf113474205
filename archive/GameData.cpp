#include "GameData.h"

#include "Paths.h"

namespace {

const char* const kSoundArchive = "wyvern.snd";
const char* const kSongArchive = "midi.bsa";
const char* const kContainer = "packed.dat";

// Opens and closes the file, reading nothing.
bool Probe(const std::string& path) {
    return static_cast<bool>(sv::OpenFile(sv::ResolveCase(path), "rb"));
}

} // namespace

GameData::~GameData() { Close(); }

bool GameData::ValidateFolder(const std::string& folder) {
    if (!Probe(sv::JoinPathAlways(folder, kSoundArchive)) &&
        !Probe(sv::JoinPathAlways(folder, kContainer))) {
        return false;
    }
    return Probe(sv::JoinPathAlways(folder, kSongArchive));
}

bool GameData::Open(const std::string& gameFolder) {
    fatalCondition = false;
    if (!ValidateFolder(gameFolder)) {
        return false;
    }
    if (isOpen == 1) {
        Close();
    }

    if (!soundArchive.Open(gameFolder, kSoundArchive, true) &&
        !soundArchive.Open(workFolder, kSoundArchive, true)) {
        if (!RebuildSoundArchive(gameFolder, workFolder, 1) ||
            !soundArchive.Open(workFolder, kSoundArchive, true)) {
            return false;
        }
    }
    if (!songArchive.Open(gameFolder, kSongArchive, true)) {
        return false;
    }

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
