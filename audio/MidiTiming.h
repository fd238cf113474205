// Timing of a Standard MIDI File, read independently of the synthesizer so that the length and a
// seek target are known before (and without) playing: the header's division, every tempo event
// (meta 0x51) of every track, and the tick of the last event.
//
// Format facts: chunks are "MThd" (format, track count, division; big-endian) and "MTrk"; other
// chunk types are skipped. A division with bit 15 clear counts ticks per quarter note and the
// tempo (microseconds per quarter, 500,000 until the first tempo event) gives their length; with
// bit 15 set it is SMPTE frames per second (negated, high byte) times ticks per frame, and tempo
// events do not count. Delta times are variable-length numbers of at most 4 bytes. System common
// messages (0xF1..0xFD) are read as the song converter writes them: two data bytes, and they
// become the running status.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace sv {

class MidiTiming {
public:
    // False when the bytes are not a readable Standard MIDI File (no "MThd", a zero division, a
    // varlen longer than 4 bytes, an event cut off by the end of its track, no track at all).
    bool Parse(std::span<const std::uint8_t> file);

    std::uint32_t EndTick() const { return m_endTick; }
    double Duration() const { return SecondsAt(m_endTick); }
    double SecondsAt(std::uint32_t tick) const;
    // The last tick that starts at or before `seconds`, clamped to 0..EndTick().
    std::uint32_t TickAt(double seconds) const;

private:
    struct Tempo {
        std::uint32_t tick;
        double seconds; // time at `tick`
        double secondsPerTick;
    };

    bool ParseTrack(std::span<const std::uint8_t> track,
                    std::vector<std::pair<std::uint32_t, std::uint32_t>>& tempos);
    void BuildTempoMap(std::vector<std::pair<std::uint32_t, std::uint32_t>>& tempos);

    std::uint16_t m_division = 0;
    std::uint32_t m_endTick = 0;
    std::vector<Tempo> m_map; // sorted by tick; the first entry is at tick 0
};

} // namespace sv
