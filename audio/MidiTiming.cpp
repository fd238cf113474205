#include "MidiTiming.h"

#include "io/ByteCursor.h"
#include "io/VarLen.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace sv {
namespace {

using Tempos = std::vector<std::pair<std::uint32_t, std::uint32_t>>; // tick, microseconds/quarter

constexpr std::uint32_t kDefaultTempo = 500000;

bool ChunkIs(std::span<const std::uint8_t> id, const char* name) {
    return id.size() == 4 && std::memcmp(id.data(), name, 4) == 0;
}

// Data bytes that follow a channel status.
int ChannelDataBytes(std::uint8_t status) {
    const std::uint8_t kind = status & 0xF0;
    return (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
}

} // namespace

bool MidiTiming::Parse(std::span<const std::uint8_t> file) {
    *this = MidiTiming();
    ByteCursor in(file);
    if (!ChunkIs(in.Bytes(4), "MThd")) {
        return false;
    }
    const std::uint32_t headerLength = in.U32BE();
    if (in.Failed() || headerLength < 6 || headerLength > in.Remaining()) {
        return false;
    }
    in.Skip(4); // format and track count: every "MTrk" chunk is read whatever they say
    m_division = in.U16BE();
    in.Skip(headerLength - 6);
    if (in.Failed() || (m_division & 0x7FFF) == 0 ||
        ((m_division & 0x8000) != 0 && (m_division & 0xFF) == 0)) {
        return false;
    }

    Tempos tempos;
    int tracks = 0;
    while (in.Remaining() >= 8) {
        const auto id = in.Bytes(4);
        const std::uint32_t length = in.U32BE();
        // A last chunk that claims more than the file holds is read as far as it goes.
        const auto body = in.Bytes(std::min<std::size_t>(length, in.Remaining()));
        if (ChunkIs(id, "MTrk")) {
            if (!ParseTrack(body, tempos)) {
                return false;
            }
            ++tracks;
        }
    }
    if (tracks == 0) {
        return false;
    }
    BuildTempoMap(tempos);
    return true;
}

bool MidiTiming::ParseTrack(std::span<const std::uint8_t> track, Tempos& tempos) {
    ByteCursor in(track);
    std::uint32_t tick = 0;
    std::uint8_t running = 0;
    while (in.Remaining() > 0) {
        std::uint32_t delta = 0;
        if (!ReadVarLen(in, delta, 4)) {
            return false;
        }
        // A track longer than the tick counter would wrap and end before it began.
        if (delta > std::numeric_limits<std::uint32_t>::max() - tick) {
            return false;
        }
        tick += delta;
        std::uint8_t status = in.U8();
        if (status < 0x80) {
            if (running == 0) {
                return false;
            }
            status = running;
            in.Skip(ChannelDataBytes(status) - 1); // the byte read was the first data byte
        } else if (status == 0xFF) {
            const std::uint8_t type = in.U8();
            std::uint32_t length = 0;
            if (!ReadVarLen(in, length, 4)) {
                return false;
            }
            const auto data = in.Bytes(length);
            if (in.Failed()) {
                return false;
            }
            if (type == 0x51 && length == 3) {
                tempos.emplace_back(tick, static_cast<std::uint32_t>(data[0]) << 16 |
                                              static_cast<std::uint32_t>(data[1]) << 8 | data[2]);
            }
            m_endTick = std::max(m_endTick, tick);
            if (type == 0x2F) {
                return true;
            }
            continue;
        } else if (status == 0xF0 || status == 0xF7) {
            std::uint32_t length = 0;
            if (!ReadVarLen(in, length, 4) || !in.Skip(length)) {
                return false;
            }
            running = 0;
        } else if (status >= 0xF8) {
            return false; // real-time messages have no place in a file
        } else {
            // Channel messages, and system common ones as the song converter passes them on:
            // two data bytes, and they become the running status.
            running = status;
            in.Skip(ChannelDataBytes(status));
        }
        if (in.Failed()) {
            return false;
        }
        m_endTick = std::max(m_endTick, tick);
    }
    return true;
}

void MidiTiming::BuildTempoMap(Tempos& tempos) {
    if ((m_division & 0x8000) != 0) {
        const int framesPerSecond = -static_cast<std::int8_t>(m_division >> 8);
        const double perTick = 1.0 / (std::max(framesPerSecond, 1) * (m_division & 0xFF));
        m_map.push_back({0, 0.0, perTick});
        return;
    }
    std::stable_sort(tempos.begin(), tempos.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    const double quarter = m_division;
    m_map.push_back({0, 0.0, kDefaultTempo / 1e6 / quarter});
    for (const auto& [tick, tempo] : tempos) {
        Tempo& last = m_map.back();
        const double seconds = last.seconds + (tick - last.tick) * last.secondsPerTick;
        if (tick == last.tick) {
            last.secondsPerTick = tempo / 1e6 / quarter; // a later event at the same tick wins
        } else {
            m_map.push_back({tick, seconds, tempo / 1e6 / quarter});
        }
    }
}

double MidiTiming::SecondsAt(std::uint32_t tick) const {
    if (m_map.empty()) {
        return 0.0;
    }
    auto it = std::upper_bound(m_map.begin(), m_map.end(), tick,
                               [](std::uint32_t t, const Tempo& e) { return t < e.tick; });
    const Tempo& segment = *std::prev(it);
    return segment.seconds + (tick - segment.tick) * segment.secondsPerTick;
}

std::uint32_t MidiTiming::TickAt(double seconds) const {
    if (m_map.empty() || !(seconds > 0.0)) {
        return 0;
    }
    auto it = std::upper_bound(m_map.begin(), m_map.end(), seconds,
                               [](double s, const Tempo& e) { return s < e.seconds; });
    const Tempo& segment = *std::prev(it);
    const double ticks = std::floor((seconds - segment.seconds) / segment.secondsPerTick + 1e-9);
    const double tick = segment.tick + ticks;
    return tick >= m_endTick ? m_endTick : static_cast<std::uint32_t>(tick);
}

} // namespace sv
