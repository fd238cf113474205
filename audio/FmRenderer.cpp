#include "FmRenderer.h"

#include "MidiEvents.h"
#include "io/ByteCursor.h"

#include <algorithm>
#include <cmath>

namespace sv {
namespace {

constexpr float kSilence = 0.001f; // -60 dBFS: the tail ends below it
constexpr std::size_t kBlock = 256;
// The chip's full scale is far above what a song's voices reach together; this brings a song to
// about the loudness of its SoundFont rendering, and the limiter keeps the rare peaks.
constexpr float kGain = 5.0f / 32768.0f;
// The chip's silent operators add up to a small constant offset, which the sound cards' output
// capacitors took away; so does a high-pass filter at this frequency.
constexpr double kDcCutoffHz = 5.0;

struct TimedMessage {
    std::uint32_t tick;
    std::uint8_t status, data1, data2;
};

bool ReadTrack(std::span<const std::uint8_t> track, std::vector<TimedMessage>& out) {
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
        tick += event.delta; // MidiTiming has checked that no track wraps the counter
        if (event.IsEndOfTrack()) {
            return true;
        }
        if (event.status < 0xF0) {
            const std::size_t n = static_cast<std::size_t>(MidiDataBytes(event.status));
            const std::uint8_t* data = track.data() + event.end - n;
            out.push_back({tick, event.status, data[0], n > 1 ? data[1] : std::uint8_t{0}});
        }
    }
}

} // namespace

std::unique_ptr<FmRenderer> FmRenderer::Create(std::span<const std::uint8_t> file, int rate,
                                               LoadError& error) {
    std::unique_ptr<FmRenderer> r(new FmRenderer());
    r->m_rate = rate;
    r->m_dcPole = static_cast<float>(1.0 - 2.0 * 3.141592653589793 * kDcCutoffHz / rate);
    if (!r->m_timing.Parse(file) || !r->ReadEvents(file)) {
        error = LoadError::BadData;
        return nullptr;
    }
    r->m_synth = FmSynth::Create(rate);
    if (!r->m_synth) {
        error = LoadError::NoFmBank;
        return nullptr;
    }
    error = LoadError::None;
    return r;
}

bool FmRenderer::ReadEvents(std::span<const std::uint8_t> file) {
    ByteCursor in(file);
    in.Skip(4);
    in.Skip(in.U32BE()); // the header chunk: MidiTiming has read it
    std::vector<TimedMessage> messages;
    MidiChunkReader chunks(in);
    MidiChunk chunk;
    while (chunks.Next(chunk)) {
        if (chunk.Is("MTrk") && !ReadTrack(chunk.body, messages)) {
            return false;
        }
    }
    // Stable, so that messages at one tick keep the order of their tracks in the file.
    std::stable_sort(messages.begin(), messages.end(),
                     [](const TimedMessage& a, const TimedMessage& b) { return a.tick < b.tick; });
    m_endFrame = FrameAt(m_timing.EndTick());
    m_events.reserve(messages.size());
    for (const TimedMessage& m : messages) {
        m_events.push_back({FrameAt(m.tick), m.status, m.data1, m.data2});
    }
    return true;
}

std::uint64_t FmRenderer::FrameAt(std::uint32_t tick) const {
    return static_cast<std::uint64_t>(std::llround(m_timing.SecondsAt(tick) * m_rate));
}

void FmRenderer::SetLoops(int loops) {
    m_loops = std::max(1, loops);
    m_pass = 0;
    Restart(0);
}

// The chip silenced and every message before `frame` sent again, but the notes: a song taken up
// in the middle has its programs, levels and pan, and the notes that follow.
void FmRenderer::Restart(std::uint64_t frame) {
    m_synth->Reset();
    m_next = 0;
    for (; m_next < m_events.size() && m_events[m_next].frame < frame; ++m_next) {
        const Event& e = m_events[m_next];
        const std::uint8_t kind = e.status & 0xF0;
        if (kind != 0x80 && kind != 0x90) {
            m_synth->Message(e.status, e.data1, e.data2);
        }
    }
    m_dcIn = {};
    m_dcOut = {};
    m_frame = frame;
    m_tailFrames = 0;
    m_tailDone = false;
}

std::size_t FmRenderer::Render(float* out, std::size_t frames) {
    std::size_t done = 0;
    for (;;) {
        while (m_next < m_events.size() && m_events[m_next].frame <= m_frame) {
            const Event& e = m_events[m_next++];
            m_synth->Message(e.status, e.data1, e.data2);
        }
        // The next pass begins at the seam with the voices still sounding, as the game's loop.
        if (m_frame >= m_endFrame && m_pass + 1 < m_loops) {
            ++m_pass;
            m_frame = 0;
            m_next = 0;
            continue;
        }
        if (done >= frames || m_frame >= m_endFrame) {
            break;
        }
        std::uint64_t until = m_endFrame;
        if (m_next < m_events.size()) {
            until = std::min(until, m_events[m_next].frame);
        }
        const std::size_t n = Generate(
            out + done * kChannels,
            static_cast<std::size_t>(std::min<std::uint64_t>(frames - done, until - m_frame)));
        m_frame += n;
        done += n;
    }
    if (done < frames) {
        done += RenderTail(out + done * kChannels, frames - done);
    }
    return done;
}

std::size_t FmRenderer::Generate(float* out, std::size_t frames) {
    const std::size_t n = std::min(frames, kBlock);
    m_chipBlock.resize(kBlock * kChannels);
    m_synth->Generate(m_chipBlock.data(), static_cast<int>(n));
    for (std::size_t i = 0; i < n * kChannels; ++i) {
        const float in = m_chipBlock[i] * kGain;
        float& last = m_dcIn[i % kChannels];
        float& kept = m_dcOut[i % kChannels];
        kept = in - last + m_dcPole * kept;
        last = in;
        out[i] = kept;
    }
    return n;
}

std::size_t FmRenderer::RenderTail(float* out, std::size_t frames) {
    const auto maxTail = static_cast<std::uint64_t>(kMaxTailSeconds * m_rate);
    std::size_t done = 0;
    while (done < frames && !m_tailDone && m_tailFrames < maxTail) {
        float* at = out + done * kChannels;
        const std::size_t n = Generate(at, static_cast<std::size_t>(std::min<std::uint64_t>(
                                               frames - done, maxTail - m_tailFrames)));
        float peak = 0.0f;
        for (std::size_t i = 0; i < n * kChannels; ++i) {
            peak = std::max(peak, std::fabs(at[i]));
        }
        m_tailFrames += n;
        done += n;
        m_tailDone = peak < kSilence;
    }
    return done;
}

void FmRenderer::Seek(double seconds) {
    m_pass = 0;
    Restart(FrameAt(m_timing.TickAt(seconds)));
}

double FmRenderer::Position() const {
    return static_cast<double>(std::min(m_frame, m_endFrame)) / m_rate;
}

} // namespace sv
