// Hand-built HMI songs and the MIDI files they must become.
#pragma once

#include "TestSupport.h"

#include <string_view>

namespace sv::test {

inline constexpr std::size_t kFirstBlock = 232;   // after the header and its track count
inline constexpr std::size_t kEventDistance = 88; // tag, padding, the distance byte itself
inline const Bytes kEnd = {0x00, 0xFF, 0x2F, 0x00};

// A song header (zeros, track count at 228) and one block per event stream, each stream
// starting kEventDistance bytes into its block. Streams hold their own end-of-track event.
inline Bytes HmiSong(const std::vector<Bytes>& tracks, std::int64_t declaredTracks = -1) {
    Bytes song(228, 0);
    PutLE32(song, static_cast<std::uint32_t>(declaredTracks < 0 ? tracks.size() : declaredTracks));
    for (const Bytes& events : tracks) {
        constexpr std::string_view tag = "HMI-MIDITRACK";
        song.insert(song.end(), tag.begin(), tag.end());
        song.resize(song.size() + kEventDistance - tag.size() - 1, 0);
        song.push_back(static_cast<std::uint8_t>(kEventDistance));
        song.insert(song.end(), events.begin(), events.end());
    }
    return song;
}

// The MIDI file of these tracks (fewer than 255). Without its header, it is what a failed
// conversion leaves: 14 bytes never written, then the tracks done before the failure.
inline Bytes Midi(const std::vector<Bytes>& tracks, bool header = true) {
    const auto n = static_cast<std::uint8_t>(tracks.size() + 1);
    Bytes b = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, n, 0, 0xC0};
    if (!header) {
        b.assign(14, 0);
    }
    b.insert(b.end(), {'M', 'T', 'r', 'k', 0, 0, 0, 0x0B, 0x00, 0xFF, 0x51, 0x03, 0x18, 0x7F, 0xFF,
                       0x00, 0xFF, 0x2F, 0x00});
    for (const Bytes& events : tracks) {
        const auto size = static_cast<std::uint32_t>(events.size());
        b.insert(b.end(), {'M', 'T', 'r', 'k', static_cast<std::uint8_t>(size >> 24),
                           static_cast<std::uint8_t>(size >> 16),
                           static_cast<std::uint8_t>(size >> 8), static_cast<std::uint8_t>(size)});
        b.insert(b.end(), events.begin(), events.end());
    }
    return b;
}

} // namespace sv::test
