// Builds small Standard MIDI Files for the playback tests: one track, 192 ticks per quarter and
// the tempo of the game's converted songs unless told otherwise.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace testing_support {

inline constexpr std::uint16_t kSongDivision = 192;
inline constexpr std::uint32_t kSongTempo = 1605631; // microseconds per quarter

class MidiBuilder {
public:
    explicit MidiBuilder(std::uint16_t division = kSongDivision, std::uint32_t tempo = kSongTempo)
        : m_division(division) {
        Meta(0, 0x51,
             {static_cast<std::uint8_t>(tempo >> 16), static_cast<std::uint8_t>(tempo >> 8),
              static_cast<std::uint8_t>(tempo)});
    }

    // Events must be added in tick order.
    MidiBuilder& Program(std::uint32_t tick, int channel, int program) {
        return Event(
            tick, {static_cast<std::uint8_t>(0xC0 | channel), static_cast<std::uint8_t>(program)});
    }
    MidiBuilder& NoteOn(std::uint32_t tick, int channel, int key, int velocity = 100) {
        return Event(tick, {static_cast<std::uint8_t>(0x90 | channel),
                            static_cast<std::uint8_t>(key), static_cast<std::uint8_t>(velocity)});
    }
    MidiBuilder& NoteOff(std::uint32_t tick, int channel, int key) {
        return Event(
            tick, {static_cast<std::uint8_t>(0x80 | channel), static_cast<std::uint8_t>(key), 0});
    }
    MidiBuilder& Note(std::uint32_t tick, std::uint32_t length, int channel, int key) {
        NoteOn(tick, channel, key);
        m_pending.push_back({tick + length, channel, key});
        return *this;
    }
    MidiBuilder& Meta(std::uint32_t tick, std::uint8_t type, std::vector<std::uint8_t> data) {
        std::vector<std::uint8_t> e{0xFF, type, static_cast<std::uint8_t>(data.size())};
        e.insert(e.end(), data.begin(), data.end());
        return Event(tick, e);
    }

    // Any bytes as one event, for messages the builder has no name for.
    MidiBuilder& Raw(std::uint32_t tick, const std::vector<std::uint8_t>& bytes) {
        return Event(tick, bytes);
    }

    // The file, with an end-of-track event at `endTick` (or right after the last event).
    std::vector<std::uint8_t> Build(std::uint32_t endTick = 0) {
        FlushOffs(UINT32_MAX);
        std::vector<std::uint8_t> track = m_track;
        PutVarLen(track, std::max(endTick, m_tick) - m_tick);
        track.insert(track.end(), {0xFF, 0x2F, 0x00});
        std::vector<std::uint8_t> file{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1};
        file.push_back(static_cast<std::uint8_t>(m_division >> 8));
        file.push_back(static_cast<std::uint8_t>(m_division));
        file.insert(file.end(), {'M', 'T', 'r', 'k'});
        const auto n = static_cast<std::uint32_t>(track.size());
        file.insert(file.end(),
                    {static_cast<std::uint8_t>(n >> 24), static_cast<std::uint8_t>(n >> 16),
                     static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)});
        file.insert(file.end(), track.begin(), track.end());
        return file;
    }

private:
    struct Off {
        std::uint32_t tick;
        int channel;
        int key;
    };

    MidiBuilder& Event(std::uint32_t tick, const std::vector<std::uint8_t>& bytes) {
        FlushOffs(tick);
        PutVarLen(m_track, tick - m_tick);
        m_track.insert(m_track.end(), bytes.begin(), bytes.end());
        m_tick = tick;
        return *this;
    }
    void FlushOffs(std::uint32_t upTo) {
        std::stable_sort(m_pending.begin(), m_pending.end(),
                         [](const Off& a, const Off& b) { return a.tick < b.tick; });
        while (!m_pending.empty() && m_pending.front().tick <= upTo) {
            const Off off = m_pending.front();
            m_pending.erase(m_pending.begin());
            NoteOff(off.tick, off.channel, off.key);
        }
    }
    static void PutVarLen(std::vector<std::uint8_t>& out, std::uint32_t v) {
        std::uint8_t bytes[5];
        int n = 0;
        do {
            bytes[n++] = static_cast<std::uint8_t>(v & 0x7F);
            v >>= 7;
        } while (v != 0);
        while (n-- > 0) {
            out.push_back(static_cast<std::uint8_t>(bytes[n] | (n > 0 ? 0x80 : 0)));
        }
    }

    std::uint16_t m_division;
    std::uint32_t m_tick = 0;
    std::vector<std::uint8_t> m_track;
    std::vector<Off> m_pending;
};

} // namespace testing_support
