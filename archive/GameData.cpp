#include "GameData.h"

#include "decode/Recovery.h"
#include "io/File.h"
#include "io/Paths.h"

namespace sv {

namespace {

const char* const kSoundArchive = "wyvern.snd";
const char* const kSongArchive = "midi.bsa";
const char* const kContainer = "packed.dat";

// Opens and closes the file, reading nothing.
bool Probe(const std::string& path) {
    return static_cast<bool>(OpenFile(ResolveCase(path), "rb"));
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

bool GameData::RebuildSoundArchive(const std::string& sourceFolder,
                                   const std::string& destinationFolder, int entryIndex) {
    ExplodeStatus status = ExplodeStatus::kOk;
    const RebuildResult result = RebuildFromContainer(sourceFolder, destinationFolder, entryIndex,
                                                      progressControl, decoderLines, &status);
    fatalCondition = result == RebuildResult::kFatal;
    return result == RebuildResult::kDone;
}

} // namespace sv
