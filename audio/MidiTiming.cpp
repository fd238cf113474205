#include "MidiTiming.h"

#include "MidiEvents.h"
#include "io/ByteCursor.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace sv {
namespace {

using Tempos = std::vector<std::pair<std::uint32_t, std::uint32_t>>; // tick, microseconds/quarter

constexpr std::uint32_t kDefaultTempo = 500000;

} // namespace

bool MidiTiming::Parse(std::span<const std::uint8_t> file) {
    *this = MidiTiming();
    ByteCursor in(file);
    if (!MidiChunk{in.Bytes(4), {}}.Is("MThd")) {
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
    MidiChunkReader chunks(in);
    MidiChunk chunk;
    while (chunks.Next(chunk)) {
        if (chunk.Is("MTrk")) {
            if (!ParseTrack(chunk.body, tempos)) {
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
    MidiEventReader events(track);
    MidiEvent event;
    std::uint32_t tick = 0;
    for (;;) {
        switch (events.Next(event)) {
        case MidiEventReader::Step::kEnd:
            return true;
        case MidiEventReader::Step::kBroken:
            return false;
        case MidiEventReader::Step::kEvent:
            break;
        }
        // A track longer than the tick counter would wrap and end before it began.
        if (event.delta > std::numeric_limits<std::uint32_t>::max() - tick) {
            return false;
        }
        tick += event.delta;
        if (event.status >= 0xF8 && !event.IsMeta()) {
            return false; // real-time messages have no place in a file
        }
        if (event.IsMeta() && event.metaType == 0x51 && event.payload.size() == 3) {
            tempos.emplace_back(tick, static_cast<std::uint32_t>(event.payload[0]) << 16 |
                                          static_cast<std::uint32_t>(event.payload[1]) << 8 |
                                          event.payload[2]);
        }
        m_endTick = std::max(m_endTick, tick);
        if (event.IsEndOfTrack()) {
            return true;
        }
    }
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
