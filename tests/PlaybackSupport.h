// What the playback tests build and listen with: small MIDI files, the system's General
// MIDI SoundFont loaded once for the whole program (it reads well over 100 MB), and what a
// listener would notice in rendered stereo frames (loudness, where sound starts).
#pragma once

#include "TestSupport.h"
#include "audio/Renderer.h"
#include "audio/Synthesizer.h"
#include "io/VarLen.h"

#include <algorithm>
#include <cmath>

namespace sv::test {

inline constexpr int kRate = 44100;
inline constexpr double kQuarter = 1.605631; // seconds per quarter in every converted song

// A Standard MIDI File of one track that holds `track` as given.
inline Bytes Smf(const Bytes& track, std::uint16_t division = 192) {
    Bytes f{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1};
    f.insert(f.end(), {static_cast<std::uint8_t>(division >> 8),
                       static_cast<std::uint8_t>(division), 'M', 'T', 'r', 'k'});
    for (int shift = 24; shift >= 0; shift -= 8) {
        f.push_back(static_cast<std::uint8_t>(track.size() >> shift));
    }
    f.insert(f.end(), track.begin(), track.end());
    return f;
}

// One track at 192 ticks per quarter and the songs' tempo. Events are written in tick order,
// those on one tick in the order they were added.
class MidiBuilder {
public:
    MidiBuilder() { Raw(0, {0xFF, 0x51, 0x03, 0x18, 0x7F, 0xFF}); } // the songs' tempo
    MidiBuilder& Raw(std::uint32_t tick, Bytes bytes) {
        m_events.emplace_back(tick, std::move(bytes));
        return *this;
    }
    MidiBuilder& Note(std::uint32_t tick, std::uint32_t length, int channel, int key) {
        Raw(tick, {static_cast<std::uint8_t>(0x90 | channel), static_cast<std::uint8_t>(key), 100});
        return Raw(tick + length,
                   {static_cast<std::uint8_t>(0x80 | channel), static_cast<std::uint8_t>(key), 0});
    }
    // The file, with its end of track at `endTick` or right after the last event.
    Bytes Build(std::uint32_t endTick = 0) {
        std::stable_sort(m_events.begin(), m_events.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        Bytes track;
        std::uint32_t at = 0;
        for (const auto& [tick, bytes] : m_events) {
            sv::AppendVarLen(track, tick - at);
            track.insert(track.end(), bytes.begin(), bytes.end());
            at = tick;
        }
        sv::AppendVarLen(track, std::max(endTick, at) - at);
        track.insert(track.end(), {0xFF, 0x2F, 0x00});
        return Smf(track);
    }

private:
    std::vector<std::pair<std::uint32_t, Bytes>> m_events;
};

inline std::shared_ptr<sv::Synthesizer> SharedSynth() {
    static const std::shared_ptr<sv::Synthesizer> synth =
        sv::Synthesizer::Load(sv::FindDefaultSoundFont(), kRate);
    return synth;
}

#define REQUIRE_SOUNDFONT()                                                                        \
    if (!sv::test::SharedSynth()) {                                                                \
        GTEST_SKIP() << "no General MIDI SoundFont on this machine";                               \
    }

// Interleaved stereo frames.
using Frames = std::vector<float>;

inline std::size_t FrameCount(const Frames& f) {
    return f.size() / 2;
}
inline std::size_t FramesIn(double seconds) {
    return std::llround(seconds * kRate);
}

// What the renderer gives in `seconds`, or all it has left (up to ten minutes).
inline Frames Listen(sv::Renderer& r, double seconds = 600) {
    Frames out;
    for (std::size_t got = 1; got > 0 && FrameCount(out) < FramesIn(seconds);) {
        const std::size_t at = FrameCount(out);
        out.resize(2 * std::min(at + FramesIn(1.0), FramesIn(seconds)));
        got = r.Render(out.data() + 2 * at, FrameCount(out) - at);
        out.resize(2 * (at + got));
    }
    return out;
}

inline float PeakOf(const Frames& f, std::size_t from = 0, std::size_t to = SIZE_MAX) {
    float peak = 0.0f;
    for (std::size_t i = from * 2; i < std::min(f.size(), to * 2); ++i) {
        peak = std::max(peak, std::fabs(f[i]));
    }
    return peak;
}

// The first frame from `from` on whose left or right sample exceeds `threshold`, or SIZE_MAX.
inline std::size_t FirstSound(const Frames& f, float threshold = 0.01f, std::size_t from = 0) {
    for (std::size_t i = from; i < FrameCount(f); ++i) {
        if (std::fabs(f[2 * i]) > threshold || std::fabs(f[2 * i + 1]) > threshold) {
            return i;
        }
    }
    return SIZE_MAX;
}

} // namespace sv::test
