#include "WavRenderer.h"

#include "SoundMemory.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <sndfile.h>

namespace sv {
namespace {

constexpr int kPhases = 512;
constexpr int kZeroCrossings = 12; // of the sinc, on each side, at the filter's cutoff
constexpr std::uint64_t kOne = std::uint64_t{1} << 32;
// The filter grows with the ratio of the rates; no real WAV file goes beyond this rate, and a
// header claiming more must not make the filter table huge.
constexpr int kMaxSourceRate = 384000;

struct SndfileCloser {
    void operator()(SNDFILE* f) const noexcept { sf_close(f); }
};

bool IsWav(int format) {
    const int major = format & SF_FORMAT_TYPEMASK;
    return major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX || major == SF_FORMAT_RF64;
}

double Blackman(double x) { // x in -1..1
    const double a = std::numbers::pi * (x + 1.0);
    return 0.42 - 0.5 * std::cos(a) + 0.08 * std::cos(2 * a);
}

} // namespace

std::unique_ptr<WavRenderer> WavRenderer::Create(std::span<const std::uint8_t> file, int outputRate,
                                                 LoadError& error) {
    error = LoadError::BadData;
    SoundMemory memory(file);
    SF_INFO info{};
    std::unique_ptr<SNDFILE, SndfileCloser> in(memory.Open(SFM_READ, info));
    if (!in || !IsWav(info.format) || info.channels < 1 || info.samplerate < 1 ||
        info.samplerate > kMaxSourceRate || outputRate < 1) {
        return nullptr;
    }

    std::unique_ptr<WavRenderer> r(new WavRenderer());
    r->m_sourceRate = info.samplerate;
    r->m_outputRate = outputRate;
    // Read in blocks rather than trusting the header's frame count: the data may be shorter.
    const int channels = info.channels;
    // The block holds a fixed number of samples, whatever channel count the header claims.
    const sf_count_t blockFrames = std::max(1, 16384 / channels);
    std::vector<float> block(static_cast<std::size_t>(blockFrames * channels));
    for (;;) {
        const sf_count_t got = sf_readf_float(in.get(), block.data(), blockFrames);
        if (got <= 0) {
            break;
        }
        for (sf_count_t i = 0; i < got; ++i) {
            const float* frame = &block[static_cast<std::size_t>(i * channels)];
            r->m_samples.push_back(frame[0]);
            r->m_samples.push_back(channels > 1 ? frame[1] : frame[0]);
        }
    }
    r->m_step = (static_cast<std::uint64_t>(r->m_sourceRate) << 32) /
                static_cast<std::uint64_t>(outputRate);
    r->BuildFilter();
    error = LoadError::None;
    return r;
}

// One row of taps per fractional position; each row sums to 1 so that a constant stays constant.
void WavRenderer::BuildFilter() {
    if (m_sourceRate == m_outputRate) {
        return; // frames are copied
    }
    const double cutoff = std::min(1.0, static_cast<double>(m_outputRate) / m_sourceRate) * 0.95;
    m_halfWidth = static_cast<int>(std::ceil(kZeroCrossings / cutoff));
    const int taps = 2 * m_halfWidth;
    m_filter.assign(static_cast<std::size_t>(kPhases) * taps, 0.0f);
    for (int p = 0; p < kPhases; ++p) {
        const double fraction = static_cast<double>(p) / kPhases;
        double sum = 0.0;
        std::vector<double> row(static_cast<std::size_t>(taps));
        for (int k = 0; k < taps; ++k) {
            // Tap k weighs source frame floor(position) - halfWidth + 1 + k.
            const double t = fraction + m_halfWidth - 1 - k;
            const double x = cutoff * t;
            const double sinc = std::fabs(x) < 1e-12
                                    ? 1.0
                                    : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
            const double w = std::fabs(t) >= m_halfWidth ? 0.0 : Blackman(t / m_halfWidth);
            row[static_cast<std::size_t>(k)] = sinc * w;
            sum += sinc * w;
        }
        for (int k = 0; k < taps; ++k) {
            m_filter[static_cast<std::size_t>(p) * static_cast<std::size_t>(taps) +
                     static_cast<std::size_t>(k)] =
                static_cast<float>(row[static_cast<std::size_t>(k)] / sum);
        }
    }
}

void WavRenderer::Interpolate(std::uint64_t position, float* out) const {
    const auto frames = static_cast<std::int64_t>(SourceFrames());
    const auto index = static_cast<std::int64_t>(position >> 32);
    const auto phase = static_cast<std::size_t>(((position & (kOne - 1)) * kPhases) >> 32);
    const int taps = 2 * m_halfWidth;
    const float* row = &m_filter[phase * static_cast<std::size_t>(taps)];
    const std::int64_t first = index - m_halfWidth + 1;
    const int from = static_cast<int>(std::max<std::int64_t>(0, -first));
    const int to = static_cast<int>(std::min<std::int64_t>(taps, frames - first));
    float left = 0.0f;
    float right = 0.0f;
    for (int k = from; k < to; ++k) {
        const float* frame = &m_samples[static_cast<std::size_t>(first + k) * kChannels];
        left += row[k] * frame[0];
        right += row[k] * frame[1];
    }
    out[0] = left;
    out[1] = right;
}

void WavRenderer::SetLoops(int loops) {
    m_loops = std::max(1, loops);
    m_pass = 0;
    m_position = 0;
}

std::size_t WavRenderer::Render(float* out, std::size_t frames) {
    std::size_t done = 0;
    while (done < frames) {
        const std::size_t n = RenderPass(out + done * kChannels, frames - done);
        done += n;
        if (done < frames) {
            if (m_pass + 1 >= m_loops || SourceFrames() == 0) {
                break;
            }
            ++m_pass;
            m_position = 0;
        }
    }
    return done;
}

std::size_t WavRenderer::RenderPass(float* out, std::size_t frames) {
    const std::uint64_t end = SourceFrames() << 32;
    std::size_t done = 0;
    if (m_filter.empty()) {
        const std::size_t first = static_cast<std::size_t>(m_position >> 32);
        done = std::min(frames, SourceFrames() - std::min(first, SourceFrames()));
        std::copy_n(m_samples.begin() + static_cast<std::ptrdiff_t>(first * kChannels),
                    done * kChannels, out);
        m_position += static_cast<std::uint64_t>(done) << 32;
        return done;
    }
    for (; done < frames && m_position < end; ++done) {
        Interpolate(m_position, out + done * kChannels);
        m_position += m_step;
    }
    return done;
}

void WavRenderer::Seek(double seconds) {
    m_pass = 0;
    const double frame = std::clamp(seconds, 0.0, Duration()) * m_sourceRate;
    m_position = std::min(static_cast<std::uint64_t>(frame * static_cast<double>(kOne)),
                          static_cast<std::uint64_t>(SourceFrames()) << 32);
    if (m_filter.empty()) {
        m_position &= ~(kOne - 1);
    }
}

double WavRenderer::Duration() const {
    return static_cast<double>(SourceFrames()) / m_sourceRate;
}

double WavRenderer::Position() const {
    return static_cast<double>(m_position) / static_cast<double>(kOne) / m_sourceRate;
}

std::uint64_t WavRenderer::OutputFrames() const {
    if (m_filter.empty()) {
        return SourceFrames();
    }
    // Frames at positions 0, step, 2 step, ... below the end.
    const std::uint64_t end = static_cast<std::uint64_t>(SourceFrames()) << 32;
    return end == 0 ? 0 : (end - 1) / m_step + 1;
}

} // namespace sv
