#include "archive/GameData.h"

// The explode decoder has not landed yet: without it no sound archive can be rebuilt, so a game
// folder that holds only "PACKED.DAT" does not open.
bool GameData::RebuildSoundArchive(const std::string& /*sourceFolder*/,
                                   const std::string& /*destinationFolder*/, int /*entryIndex*/) {
    return false;
}
