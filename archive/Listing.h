// What a game folder lists, in record order: every effect, and every song but "TAVERN.HMI", which
// the songs archive stores but the game's own music browser never offers. The tree, `list`, the
// bulk export and the soundtrack all walk these, so each shows and writes the same records.
#pragma once

#include "GameData.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sv {

struct ListedRecord {
    std::int32_t index = 0; // in its archive's directory
    std::string name;       // read with a bound of 16 characters
    std::uint32_t size = 0; // the directory's size field
};

std::vector<ListedRecord> ListEffects(const GameData& data);
// The hidden song is compared exactly, case included: "tavern.hmi" is listed.
std::vector<ListedRecord> ListSongs(const GameData& data);

} // namespace sv
