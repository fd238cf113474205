// The demo game folder: a deterministic, synthesized stand-in for the game's "Arena2" folder, so
// that the tools, the tests and the benchmarks have material without any real game data. The
// songs archive holds HMI songs composed here; the sound archive holds 8-bit unsigned mono
// effects at 11025 Hz synthesized here. Same bytes on every run and platform: nothing depends on
// the standard library's random distributions or maths functions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace demo {

struct Options {
    bool full = false; // full: ~130 songs, ~450 effects, ~10 MB
};

// Writes "MIDI.BSA" and "WYVERN.SND" (upper case, as the game stores them) into folder, creating
// it; deterministic (same bytes on every run and platform). False on a write error.
bool WriteDemoFolder(const std::string& folder, const Options& options);

// The songs archive's record names in directory order ("TAVERN.HMI" among them).
std::vector<std::string> SongNames(bool full);
// The sound archive's record numbers in directory order.
std::vector<std::int32_t> EffectNumbers(bool full);

std::vector<std::uint8_t> MakeSong(int index, bool full);   // one HMI file
std::vector<std::uint8_t> MakeEffect(int index, bool full); // one effect's samples

} // namespace demo
