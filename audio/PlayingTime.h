// How long the game's entries play, worked out from their bytes without playing them, for the
// window's tree and `sonvault-cli list --json` alike: an effect is 8-bit mono samples at
// 11,025 Hz; a song is timed as the player times it, converted to a Standard MIDI File and
// read with its tempo events up to its last event.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace sv {

inline constexpr int kEffectSampleRate = 11025;

// Seconds of an effect record of `size` bytes.
double EffectSeconds(std::uint32_t size);
// Seconds of the song in `hmi`, or none when it does not convert.
std::optional<double> SongSeconds(std::span<const std::uint8_t> hmi);

} // namespace sv
