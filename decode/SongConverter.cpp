// HMI to Standard MIDI File conversion; the format notes are in SongConverter.h.
//
// Limits of the work areas (1 MiB of input, a 1 MiB track buffer, 128 pending note-offs) and data
// that ends early all end the conversion with -1; nothing is read or written outside them.
//
// Variable-length numbers are read and written by io/VarLen. Where this reader parts on purpose
// from the Standard MIDI File walker of audio/MidiEvents: an input delta time or duration may be
// of any length (the player's reader stops at 4 bytes), every 0x9n event carries a duration, and
// 0xFE starts a private event with no length field. Output numbers are at most 4 bytes long.
#include "SongConverter.h"

#include "io/ByteCursor.h"
#include "io/File.h"
#include "io/VarLen.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <functional>
#include <mutex>
#include <string_view>

namespace sv {

namespace {

constexpr std::uint32_t kFreeSlot = 0xFFFFFFFF;
constexpr std::uint32_t kFlushAll = 0xFFFFFFFE;

constexpr std::size_t kHeaderSize = 14;
constexpr std::size_t kTrackCountOffset = 228;
constexpr std::size_t kEventDistanceOffset = 87;
constexpr std::string_view kTrackTag = "HMI-MIDITRACK";
constexpr std::size_t kMatchOffset = 8; // "TRAC" lies 8 bytes into the tag

// 0x187FFF microseconds per quarter note at delta 0, then end of track.
constexpr std::uint8_t kTempoTrack[19] = {'M',  'T',  'r',  'k',  0x00, 0x00, 0x00,
                                          0x0B, 0x00, 0xFF, 0x51, 0x03, 0x18, 0x7F,
                                          0xFF, 0x00, 0xFF, 0x2F, 0x00};
constexpr std::uint8_t kEndOfTrack[4] = {0x00, 0xFF, 0x2F, 0x00};

// The pending note-offs. Conceptually a 128-slot table: a note-on takes the lowest free slot, and
// the next note-off is the slot with the smallest due time, the lowest slot among equals. A
// free-slot bitmap and a heap keyed by (due time, slot) give that same order without scanning.
class NoteOffQueue {
public:
    struct NoteOff {
        std::uint32_t due;
        std::uint8_t channel;
        std::uint8_t note;
    };

    void Clear() {
        m_free = {~std::uint64_t{0}, ~std::uint64_t{0}};
        m_size = 0;
    }

    // False when every slot is taken. A due time of 0xFFFFFFFF is the table's mark of a free
    // slot: such a note is never released and its slot stays free.
    bool Add(std::uint32_t due, std::uint8_t channel, std::uint8_t note) {
        const int slot = LowestFree();
        if (slot < 0) {
            return false;
        }
        if (due == kFreeSlot) {
            return true;
        }
        m_free[slot / 64] &= ~(std::uint64_t{1} << (slot % 64));
        m_channel[slot] = channel;
        m_note[slot] = note;
        m_heap[m_size++] = std::uint64_t{due} << 7 | static_cast<std::uint64_t>(slot);
        std::push_heap(m_heap.begin(), m_heap.begin() + m_size, std::greater<>());
        return true;
    }

    bool Empty() const { return m_size == 0; }
    std::uint32_t NextDue() const { return static_cast<std::uint32_t>(m_heap[0] >> 7); }

    NoteOff Pop() {
        std::pop_heap(m_heap.begin(), m_heap.begin() + m_size, std::greater<>());
        const std::uint64_t key = m_heap[--m_size];
        const auto slot = static_cast<int>(key & 0x7F);
        m_free[slot / 64] |= std::uint64_t{1} << (slot % 64);
        return {static_cast<std::uint32_t>(key >> 7), m_channel[slot], m_note[slot]};
    }

private:
    int LowestFree() const {
        if (m_free[0] != 0) {
            return std::countr_zero(m_free[0]);
        }
        if (m_free[1] != 0) {
            return 64 + std::countr_zero(m_free[1]);
        }
        return -1;
    }

    std::array<std::uint64_t, 2> m_free{};
    std::array<std::uint64_t, SongConverter::kNoteSlots> m_heap{};
    int m_size = 0;
    std::array<std::uint8_t, SongConverter::kNoteSlots> m_channel{};
    std::array<std::uint8_t, SongConverter::kNoteSlots> m_note{};
};

// The work areas are static and shared by every converter, so conversions take turns.
std::mutex workAreaLock;
std::uint8_t inputBuffer[SongConverter::kInputCapacity];
std::uint8_t trackBuffer[SongConverter::kTrackCapacity];
NoteOffQueue pending;

} // namespace

// Where the converted song goes: a file, or memory that mirrors what the file would hold.
class SongConverter::Sink {
public:
    virtual ~Sink() = default;
    virtual void Seek(std::size_t offset) = 0;
    virtual void Write(const void* bytes, std::size_t count) = 0;
};

namespace {

class FileSink final : public SongConverter::Sink {
public:
    explicit FileSink(std::FILE* file) : m_file(file) {}
    void Seek(std::size_t offset) override { SeekTo(m_file, offset); }
    void Write(const void* bytes, std::size_t count) override {
        // A failed write sets the stream's error flag, which the output file checks on commit.
        (void)std::fwrite(bytes, 1, count, m_file);
    }

private:
    std::FILE* m_file;
};

// A write past the end extends the bytes with zeros first, as a file does after a seek.
class MemorySink final : public SongConverter::Sink {
public:
    explicit MemorySink(std::vector<std::uint8_t>& bytes) : m_bytes(bytes) {}
    void Seek(std::size_t offset) override { m_position = offset; }
    void Write(const void* bytes, std::size_t count) override {
        if (m_bytes.size() < m_position + count) {
            m_bytes.resize(m_position + count);
        }
        std::memcpy(m_bytes.data() + m_position, bytes, count);
        m_position += count;
    }

private:
    std::vector<std::uint8_t>& m_bytes;
    std::size_t m_position = 0;
};

} // namespace

struct SongConverter::Track {
    std::size_t position;       // index into data
    std::uint32_t now = 0;      // tick of the event at position
    std::uint32_t last = 0;     // tick of the last event written
    std::uint8_t outStatus = 0; // output running status; 0 is none
    std::uint8_t inStatus = 0;  // input running status
};

SongConverter::~SongConverter() = default;

std::int32_t SongConverter::Convert(std::FILE* input, std::FILE* output) {
    const std::lock_guard lock(workAreaLock);
    SeekTo(input, 0);
    const std::size_t count = std::fread(inputBuffer, 1, kInputCapacity, input);
    FileSink sink(output);
    return ConvertSong({inputBuffer, count}, sink);
}

std::int32_t SongConverter::Convert(std::span<const std::uint8_t> input,
                                    std::vector<std::uint8_t>& output) {
    const std::lock_guard lock(workAreaLock);
    output.clear();
    MemorySink sink(output);
    return ConvertSong(input, sink);
}

std::int32_t SongConverter::ConvertSong(std::span<const std::uint8_t> input, Sink& output) {
    data = input.first(std::min(input.size(), kInputCapacity));
    output.Seek(kHeaderSize);

    const std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
    const std::size_t match = text.find("TRAC");
    if (match == std::string_view::npos || match < kMatchOffset) {
        return -1;
    }
    std::size_t block = match - kMatchOffset;
    ByteCursor header(data, kTrackCountOffset);
    const std::uint32_t trackCount = header.U32();
    if (header.Failed()) {
        return -1;
    }

    output.Write(kTempoTrack, sizeof kTempoTrack);
    std::uint32_t tracks = 1;
    for (std::uint32_t t = 0; t < trackCount; ++t) {
        if (block + kEventDistanceOffset >= data.size() ||
            text.substr(block, kTrackTag.size()) != kTrackTag) {
            return -1;
        }
        const std::size_t events = block + data[block + kEventDistanceOffset];
        ++tracks;
        const std::int32_t used = ConvertTrack(events);
        if (used < 0) {
            return -1;
        }
        block = events + static_cast<std::size_t>(used);

        std::uint8_t chunk[8] = {'M', 'T', 'r', 'k'};
        StoreBE32(chunk + 4, outputLength);
        output.Write(chunk, sizeof chunk);
        output.Write(trackBuffer, outputLength);
    }

    std::uint8_t head[kHeaderSize] = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 0, 0, 0xC0};
    head[10] = static_cast<std::uint8_t>(tracks >> 8);
    head[11] = static_cast<std::uint8_t>(tracks);
    output.Seek(0);
    output.Write(head, sizeof head);
    return static_cast<std::int32_t>(block);
}

std::int32_t SongConverter::ConvertTrack(std::size_t start) {
    outputLength = 0;
    pending.Clear();
    Track track{start};
    if (!ReadDelta(track)) {
        return -1;
    }
    for (;;) {
        if (track.position >= data.size()) {
            return -1;
        }
        const std::uint8_t kind = data[track.position];
        if (kind == 0xFF) {
            break;
        }
        const bool ok = kind == 0xF0   ? CopySysEx(track)
                        : kind == 0xFE ? SkipPrivateEvent(track)
                                       : CopyChannelEvent(track);
        if (!ok || !ReadDelta(track)) {
            return -1;
        }
    }
    // Only end of track is accepted; its own delta time is dropped, so it lands on the last
    // written event's tick. The byte after FF 2F is not examined.
    if (!FlushNoteOffs(kFlushAll, track.last, track.outStatus) ||
        track.position + 1 >= data.size() || data[track.position + 1] != 0x2F ||
        !Emit(kEndOfTrack, sizeof kEndOfTrack)) {
        return -1;
    }
    return static_cast<std::int32_t>(track.position + 3 - start);
}

// Reads the delta time before the next event and releases the notes due by then.
bool SongConverter::ReadDelta(Track& track) {
    std::uint32_t delta = 0;
    if (!ReadVarLen(data, track.position, delta)) {
        return false;
    }
    track.now += delta;
    return FlushNoteOffs(track.now, track.last, track.outStatus);
}

// F0 ... F7 is copied whole; the status after it is always written again.
bool SongConverter::CopySysEx(Track& track) {
    const auto begin = data.begin() + static_cast<std::ptrdiff_t>(track.position);
    const auto end = std::find(begin + 1, data.end(), std::uint8_t{0xF7});
    if (end == data.end()) {
        return false;
    }
    std::uint8_t delta[4];
    const std::size_t n = WriteVarLen(delta, track.now - track.last);
    const auto count = static_cast<std::size_t>(end - begin) + 1;
    if (!Emit(delta, n) || !Emit(&*begin, count)) {
        return false;
    }
    track.last = track.now;
    track.position += count;
    track.outStatus = 0;
    return true;
}

// HMI private events are skipped by their size; last time stays, so their delta time is carried
// into the next written event.
bool SongConverter::SkipPrivateEvent(Track& track) {
    const std::size_t p = track.position;
    if (p + 1 >= data.size()) {
        return false;
    }
    switch (data[p + 1]) {
    case 0x10:
        if (p + 4 >= data.size()) {
            return false;
        }
        track.position += 9 + std::size_t{data[p + 4]};
        return true;
    case 0x14:
        track.position += 4;
        return true;
    case 0x15:
        track.position += 8;
        return true;
    default:
        return false;
    }
}

// 0x80..0xEF and 0xF1..0xFD, or a data byte under the input running status. Cn and Dn take one
// data byte, all others two; every 9n (velocity 0 too) is followed by the note's duration.
bool SongConverter::CopyChannelEvent(Track& track) {
    std::uint8_t event[7];
    std::size_t n = WriteVarLen(event, track.now - track.last);
    track.last = track.now;

    if (data[track.position] >= 0x80) {
        track.inStatus = data[track.position++];
    }
    const std::uint8_t status = track.inStatus;
    if (status != track.outStatus) {
        event[n++] = status;
        track.outStatus = status;
    }
    const unsigned high = status >> 4;
    const std::size_t dataBytes = (high == 0xC || high == 0xD) ? 1 : 2;
    if (data.size() - track.position < dataBytes) {
        return false;
    }
    const std::uint8_t note = data[track.position];
    for (std::size_t i = 0; i < dataBytes; ++i) {
        event[n++] = data[track.position++];
    }
    if (!Emit(event, n)) {
        return false;
    }
    if (high != 0x9) {
        return true;
    }
    std::uint32_t duration = 0;
    return ReadVarLen(data, track.position, duration) &&
           pending.Add(track.now + duration, status & 0x0F, note);
}

bool SongConverter::FlushNoteOffs(std::uint32_t limit, std::uint32_t& lastTime,
                                  std::uint8_t& runningStatus) {
    // At this limit the table's scan would take even free slots as due and never stop.
    if (limit == kFreeSlot) {
        return false;
    }
    while (!pending.Empty() && pending.NextDue() <= limit) {
        const NoteOffQueue::NoteOff off = pending.Pop();
        std::uint8_t event[7];
        std::size_t n = WriteVarLen(event, off.due - lastTime);
        lastTime = off.due;
        const auto status = static_cast<std::uint8_t>(0x90 | off.channel);
        if (status != runningStatus) {
            event[n++] = status;
            runningStatus = status;
        }
        event[n++] = off.note;
        event[n++] = 0x00;
        if (!Emit(event, n)) {
            return false;
        }
    }
    return true;
}

bool SongConverter::Emit(const std::uint8_t* bytes, std::size_t count) {
    if (kTrackCapacity - outputLength < count) {
        return false;
    }
    std::memcpy(trackBuffer + outputLength, bytes, count);
    outputLength += static_cast<std::uint32_t>(count);
    return true;
}

} // namespace sv
