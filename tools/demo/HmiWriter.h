// Writing HMI-MIDISONG061595 files. Layout, little-endian:
//   0      "HMI-MIDISONG061595" (18 bytes)
//   0xD4   tempo byte (beats per minute, informative)
//   0xE4   u32 track count
//   0x172  u32 per track: offset of its block from the start of the file
//   then the track blocks back to back, each one "HMI-MIDITRACK", a header shorter than 256
//   bytes whose u32 at 0x57 is the distance from the block's start to its first event, then
//   the events, ending with FF 2F 00; the next block starts right after that.
// Events are a varlen delta followed by a MIDI channel message, with these differences from a
// Standard MIDI File: a note-on (0x9n, velocity 0 too) carries a third field, the note's duration
// as a varlen, and there are no note-offs; 0xFE introduces private events (0x10: 9 bytes plus the
// u8 at offset 4; 0x14: 4 bytes; 0x15: 8 bytes); sysex is F0, varlen length, data, F7.
#pragma once

#include <cstdint>
#include <vector>

namespace demo {

using Bytes = std::vector<std::uint8_t>;

// One track's events, added in any order at absolute ticks and written sorted by time (events
// at the same tick keep the order they were added in).
class HmiTrack {
public:
    explicit HmiTrack(int channel) : m_channel(channel) {}

    int Channel() const { return m_channel; }

    void Note(std::uint32_t tick, int note, int velocity, std::uint32_t duration);
    void Controller(std::uint32_t tick, int controller, int value);
    void Program(std::uint32_t tick, int program);
    // -8192..8191, 0 is centre.
    void PitchBend(std::uint32_t tick, int value);
    // data holds the bytes between the length and the closing F7, none of them F7.
    void Sysex(std::uint32_t tick, const Bytes& data);
    // A private event whose bytes are taken as given (0xFE first).
    void Private(std::uint32_t tick, const Bytes& event);

    // The tick after which nothing sounds any more.
    std::uint32_t EndTick() const { return m_end; }

    // The event stream, delta times and running status applied, ending with FF 2F 00 at tick
    // `end` (at least EndTick()).
    Bytes Encode(std::uint32_t end) const;

private:
    struct Event {
        std::uint32_t tick;
        std::uint32_t order;
        Bytes bytes; // status first for channel messages
        std::uint32_t duration;
    };
    void Add(std::uint32_t tick, Bytes bytes, std::uint32_t duration);

    int m_channel;
    std::vector<Event> m_events;
    std::uint32_t m_end = 0;
};

// The whole HMI file. bpm goes to the informative tempo byte.
Bytes AssembleSong(const std::vector<HmiTrack>& tracks, int bpm);

} // namespace demo
