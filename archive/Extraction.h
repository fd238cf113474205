// The file names that extraction writes. Only the file name is lower-cased (ASCII letters) and
// only it has its extension rewritten; the folder keeps its spelling, so a folder named "x.mid"
// is never touched.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace sv {

// ExtractSong without conversion: the name in lower case; when it ends in ".mid", every ".mid"
// in it becomes ".hmi". "Song.MID" gives "song.hmi".
std::string RawSongPath(const std::string& path);

// ExtractSong with conversion: the name in lower case; when it ends in ".hmi", every ".hmi" in
// it becomes ".mid". Any other ending is kept, so the MIDI file takes the name given.
std::string MidiSongPath(const std::string& path);

// ExtractEffect as WAV: the name in lower case with every ".raw" in it turned into ".wav",
// whatever the ending.
std::string WavEffectPath(const std::string& path);

// The 44-byte RIFF header of `count` 8-bit mono 11025 Hz samples, as every effect is written.
inline constexpr std::size_t kWavHeaderSize = 44;
std::array<std::uint8_t, kWavHeaderSize> WavHeader(std::uint32_t count);

} // namespace sv
