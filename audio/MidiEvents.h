// Walking a Standard MIDI File: its chunks after the header, and the events of one track.
//
// Format facts: chunks are a 4-byte type and a big-endian 32-bit length; "MThd" comes first,
// "MTrk" chunks hold tracks, other types are skipped by their readers. Events are a delta time
// (variable-length, at most 4 bytes) and a status byte, left out under running status; channel
// messages take one data byte (0xC0, 0xD0) or two; 0xFF is a meta event (type, length, data),
// 0xF0 and 0xF7 system-exclusive ones (length, data) that clear the running status. Every other
// status from 0xF1 up is read as the song converter writes system common messages: two data
// bytes, and it becomes the running status.
#pragma once

#include "io/ByteCursor.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace sv {

struct MidiChunk {
    std::span<const std::uint8_t> type; // 4 bytes
    std::span<const std::uint8_t> body; // cut to what the file holds
    bool Is(const char* name) const;
};

// The chunks that follow the header chunk; the header's own fields are the caller's.
class MidiChunkReader {
public:
    // in stands after the header chunk.
    explicit MidiChunkReader(ByteCursor in) : m_in(in) {}
    // The next chunk; false when fewer than 8 bytes remain. A last chunk that claims more than
    // the file holds is given as far as it goes.
    bool Next(MidiChunk& chunk);

private:
    ByteCursor m_in;
};

struct MidiEvent {
    std::uint32_t delta = 0;
    std::uint8_t status = 0;               // the running status applied
    bool statusWritten = false;            // false when the event relied on the running status
    std::uint8_t metaType = 0;             // for 0xFF
    std::size_t start = 0;                 // offset of the status byte, or of the first data byte
    std::size_t end = 0;                   // offset just past the event
    std::span<const std::uint8_t> payload; // meta and system-exclusive data
    bool IsMeta() const { return status == 0xFF; }
    bool IsEndOfTrack() const { return status == 0xFF && metaType == 0x2F; }
};

class MidiEventReader {
public:
    explicit MidiEventReader(std::span<const std::uint8_t> track) : m_track(track), m_in(track) {}

    enum class Step { kEvent, kEnd, kBroken };
    // The next event. kEnd when the track's bytes are used up; kBroken for a delta time longer
    // than 4 bytes, data without any running status, or an event cut off by the end of the track.
    Step Next(MidiEvent& event);

private:
    std::span<const std::uint8_t> m_track;
    ByteCursor m_in;
    std::uint8_t m_running = 0;
};

// Data bytes that follow a status other than 0xF0, 0xF7 and 0xFF.
int MidiDataBytes(std::uint8_t status);

} // namespace sv
