#include "HmiWriter.h"

#include "io/VarLen.h"

#include <algorithm>
#include <cstring>

namespace demo {

namespace {

constexpr std::size_t kTempoOffset = 0xD4;
constexpr std::size_t kTrackCountOffset = 0xE4;
constexpr std::size_t kTrackTableOffset = 0x172;
// Track block header: the tag, the block's length at 0x0F, its channel at 0x4B, the distance to
// the first event at 0x57.
constexpr std::size_t kTrackHeaderSize = 0x5B;

void PutLE32(Bytes& out, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

std::uint8_t Data7(int value) {
    return static_cast<std::uint8_t>(std::clamp(value, 0, 127));
}

} // namespace

void HmiTrack::Add(std::uint32_t tick, Bytes bytes, std::uint32_t duration) {
    m_events.push_back(
        {tick, static_cast<std::uint32_t>(m_events.size()), std::move(bytes), duration});
    m_end = std::max(m_end, tick + duration);
}

void HmiTrack::Note(std::uint32_t tick, int note, int velocity, std::uint32_t duration) {
    Add(tick, {static_cast<std::uint8_t>(0x90 | m_channel), Data7(note), Data7(velocity)},
        duration);
}

void HmiTrack::Controller(std::uint32_t tick, int controller, int value) {
    Add(tick, {static_cast<std::uint8_t>(0xB0 | m_channel), Data7(controller), Data7(value)}, 0);
}

void HmiTrack::Program(std::uint32_t tick, int program) {
    Add(tick, {static_cast<std::uint8_t>(0xC0 | m_channel), Data7(program)}, 0);
}

void HmiTrack::PitchBend(std::uint32_t tick, int value) {
    const int v = std::clamp(value + 8192, 0, 16383);
    Add(tick,
        {static_cast<std::uint8_t>(0xE0 | m_channel), static_cast<std::uint8_t>(v & 0x7F),
         static_cast<std::uint8_t>(v >> 7)},
        0);
}

void HmiTrack::Sysex(std::uint32_t tick, const Bytes& data) {
    Bytes bytes{0xF0};
    sv::AppendVarLen(bytes, static_cast<std::uint32_t>(data.size() + 1));
    bytes.insert(bytes.end(), data.begin(), data.end());
    bytes.push_back(0xF7);
    Add(tick, std::move(bytes), 0);
}

void HmiTrack::Private(std::uint32_t tick, const Bytes& event) {
    Add(tick, event, 0);
}

Bytes HmiTrack::Encode(std::uint32_t end) const {
    std::vector<const Event*> sorted;
    sorted.reserve(m_events.size());
    for (const Event& e : m_events) {
        sorted.push_back(&e);
    }
    std::sort(sorted.begin(), sorted.end(), [](const Event* a, const Event* b) {
        return a->tick != b->tick ? a->tick < b->tick : a->order < b->order;
    });

    // A note struck again while it still sounds is cut where the new one starts: otherwise the
    // first note's end would silence the second.
    std::vector<std::uint32_t> durations(sorted.size());
    std::vector<std::size_t> sounding(128, sorted.size());
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        const Event& e = *sorted[i];
        durations[i] = e.duration;
        if ((e.bytes[0] & 0xF0) != 0x90) {
            continue;
        }
        std::size_t& previous = sounding[e.bytes[1]];
        if (previous != sorted.size() && sorted[previous]->tick + durations[previous] > e.tick) {
            durations[previous] = e.tick - sorted[previous]->tick;
        }
        previous = i;
    }

    Bytes out;
    std::uint32_t last = 0;
    std::uint8_t status = 0;
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        const Event* e = sorted[i];
        sv::AppendVarLen(out, e->tick - last);
        last = e->tick;
        const std::uint8_t first = e->bytes[0];
        if (first >= 0xF0) {
            out.insert(out.end(), e->bytes.begin(), e->bytes.end());
            status = 0; // a player would forget running status across sysex
            continue;
        }
        const bool running = first == status;
        out.insert(out.end(), e->bytes.begin() + (running ? 1 : 0), e->bytes.end());
        status = first;
        if ((first & 0xF0) == 0x90) {
            sv::AppendVarLen(out, durations[i]);
        }
    }
    sv::AppendVarLen(out, std::max(end, m_end) - last);
    out.insert(out.end(), {0xFF, 0x2F, 0x00});
    return out;
}

Bytes AssembleSong(const std::vector<HmiTrack>& tracks, int bpm) {
    std::uint32_t end = 0;
    for (const HmiTrack& t : tracks) {
        end = std::max(end, t.EndTick());
    }
    end += 24; // a breath of silence after the last note

    const std::size_t headerSize = kTrackTableOffset + 4 * tracks.size();
    Bytes song(headerSize, 0);
    std::memcpy(song.data(), "HMI-MIDISONG061595", 18);
    song[kTempoOffset] = static_cast<std::uint8_t>(std::clamp(bpm, 1, 255));
    PutLE32(song, kTrackCountOffset, static_cast<std::uint32_t>(tracks.size()));

    for (std::size_t i = 0; i < tracks.size(); ++i) {
        PutLE32(song, kTrackTableOffset + 4 * i, static_cast<std::uint32_t>(song.size()));
        const Bytes events = tracks[i].Encode(end);
        const std::size_t block = song.size();
        song.resize(block + kTrackHeaderSize, 0);
        std::memcpy(song.data() + block, "HMI-MIDITRACK", 13);
        PutLE32(song, block + 0x0F, static_cast<std::uint32_t>(kTrackHeaderSize + events.size()));
        song[block + 0x4B] = static_cast<std::uint8_t>(tracks[i].Channel());
        PutLE32(song, block + 0x57, static_cast<std::uint32_t>(kTrackHeaderSize));
        song.insert(song.end(), events.begin(), events.end());
    }
    return song;
}

} // namespace demo
