// Makes a Standard MIDI File acceptable to FluidSynth's file player, which refuses a whole file
// that holds a system common message (status 0xF1..0xFD). The song converter passes such bytes
// through from the game's songs as messages of two data bytes that also become the running
// status; here they are dropped, with any data bytes sent under them, and their delta times are
// carried into the next event kept, so the rest of the song plays in time.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace sv {

// The file with every system common message removed; every event kept is written with its
// status byte. The bytes unchanged when there is nothing to remove or the file cannot be walked.
std::vector<std::uint8_t> StripSystemCommon(std::span<const std::uint8_t> file);

} // namespace sv
