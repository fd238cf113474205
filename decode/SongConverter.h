// HMI songs to Standard MIDI Files (format 1, 192 ticks per quarter note).
//
// Input, as far as it is read (little-endian): the track count is the u32 at offset 228; each
// track block starts with the 13 bytes "HMI-MIDITRACK", and the u8 at block offset 87 is the
// distance from the block to the track's first event. Blocks lie back to back: the next one starts
// right after the previous track's 3-byte end-of-track event. The first block is found by the first
// "TRAC" in the data, 8 bytes into its tag.
//
// Events are MIDI-like, with three differences: every 0x9n event carries the note's duration as a
// trailing variable-length quantity (the converter generates the note-offs), 0xF1..0xFD are taken
// as two-data-byte messages that become the running status, and 0xFE starts an HMI private event
// (dropped; its delta time is carried into the next written event).
//
// Output (big-endian): "MThd", 6, format 1, 1 + track count, 192; a fixed tempo track (0x187FFF
// microseconds per quarter note); then one "MTrk" chunk per HMI track. Generated note-offs are
// note-ons with velocity 0; those due on the same tick leave in the order of their slots in a
// 128-entry table (lowest free slot taken on each note-on). Output running status is kept, reset
// by system-exclusive events, and shared with the generated note-offs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <vector>

namespace sv {

class SongConverter {
public:
    static constexpr std::size_t kInputCapacity = 1048576;
    static constexpr std::size_t kTrackCapacity = 1048576;
    static constexpr int kNoteSlots = 128;

    SongConverter() = default;
    virtual ~SongConverter();
    SongConverter(const SongConverter&) = delete;
    SongConverter& operator=(const SongConverter&) = delete;

    // Converts the song in `input` (read from its start; only its first 1 MiB) into `output`, an
    // empty file that allows absolute seeks. Returns the input offset of the byte after the last
    // track's end-of-track event (of the first track block for a song of 0 tracks), or -1. On -1
    // the output holds nothing when the data has no "TRAC" at offset 8 or later or is too short
    // for the track count; else 14 unwritten (zero) bytes, the tempo track and every track
    // completed before the failure: the header is written only after all tracks converted.
    // Write and seek errors are left to the caller to detect.
    std::int32_t Convert(std::FILE* input, std::FILE* output);

    // The same conversion from bytes in memory; `output` receives exactly the bytes the output
    // file would hold, on failure too.
    std::int32_t Convert(std::span<const std::uint8_t> input, std::vector<std::uint8_t>& output);

    class Sink;

private:
    struct Track;

    std::int32_t ConvertSong(std::span<const std::uint8_t> input, Sink& output);
    // Converts the event stream at data[start] into the track buffer; returns the bytes consumed
    // up to and including the end-of-track event, or -1.
    std::int32_t ConvertTrack(std::size_t start);
    bool ReadDelta(Track& track);
    bool CopySysEx(Track& track);
    bool SkipPrivateEvent(Track& track);
    bool CopyChannelEvent(Track& track);
    // Writes every pending note-off due at or before `limit`, in due order, ties by table slot.
    bool FlushNoteOffs(std::uint32_t limit, std::uint32_t& lastTime, std::uint8_t& runningStatus);
    bool Emit(const std::uint8_t* bytes, std::size_t count);

    std::span<const std::uint8_t> data;
    std::uint32_t outputLength = 0;
};

} // namespace sv
