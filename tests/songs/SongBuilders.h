// Hand-built HMI songs and the MIDI files they must become.
#pragma once

#include "TestSupport.h"

#include <string_view>

namespace songs_test {

using testing_support::Bytes;

inline constexpr std::size_t kFirstBlock = 232;   // after the header and its track count
inline constexpr std::size_t kEventDistance = 88; // tag, padding, the distance byte itself

// A song header (zeros, track count at 228) and one block per event stream, each stream
// starting kEventDistance bytes into its block. Streams hold their own end-of-track event.
inline Bytes HmiSong(const std::vector<Bytes>& tracks, std::uint32_t declaredTracks) {
    Bytes song(228, 0);
    testing_support::PutLE32(song, declaredTracks);
    for (const Bytes& events : tracks) {
        Bytes block(kEventDistance, 0);
        constexpr std::string_view tag = "HMI-MIDITRACK";
        std::copy(tag.begin(), tag.end(), block.begin());
        block[87] = static_cast<std::uint8_t>(kEventDistance);
        song.insert(song.end(), block.begin(), block.end());
        song.insert(song.end(), events.begin(), events.end());
    }
    return song;
}
inline Bytes HmiSong(const std::vector<Bytes>& tracks) {
    return HmiSong(tracks, static_cast<std::uint32_t>(tracks.size()));
}

inline void PutBE32(Bytes& b, std::uint32_t v) {
    for (int i = 3; i >= 0; --i) {
        b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
}

inline const Bytes kTempoTrack = {'M',  'T',  'r',  'k',  0x00, 0x00, 0x00, 0x0B, 0x00, 0xFF,
                                  0x51, 0x03, 0x18, 0x7F, 0xFF, 0x00, 0xFF, 0x2F, 0x00};

// The tempo track and one chunk per track, without the 14-byte header.
inline Bytes MidiBody(const std::vector<Bytes>& tracks) {
    Bytes b = kTempoTrack;
    for (const Bytes& events : tracks) {
        b.insert(b.end(), {'M', 'T', 'r', 'k'});
        PutBE32(b, static_cast<std::uint32_t>(events.size()));
        b.insert(b.end(), events.begin(), events.end());
    }
    return b;
}

inline Bytes Midi(const std::vector<Bytes>& tracks) {
    const auto n = static_cast<std::uint16_t>(tracks.size() + 1);
    Bytes b = {'M',
               'T',
               'h',
               'd',
               0,
               0,
               0,
               6,
               0,
               1,
               static_cast<std::uint8_t>(n >> 8),
               static_cast<std::uint8_t>(n),
               0,
               0xC0};
    const Bytes body = MidiBody(tracks);
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

// What a failed conversion leaves: 14 bytes never written, then the tracks done before it.
inline Bytes PartialMidi(const std::vector<Bytes>& tracksDone) {
    Bytes b(14, 0);
    const Bytes body = MidiBody(tracksDone);
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

inline Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes b;
    for (const Bytes& p : parts) {
        b.insert(b.end(), p.begin(), p.end());
    }
    return b;
}

inline const Bytes kEnd = {0x00, 0xFF, 0x2F, 0x00};

} // namespace songs_test
