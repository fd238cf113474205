#include "WavRenderer.h"

#include "SoundMemory.h"

#include <algorithm>
#include <cmath>
#include <sndfile.h>
#include <soxr.h>

namespace sv {
namespace {

// No real WAV file lies outside these rates; a header claiming another is taken for damage (the
// resampled pass is held whole, and a rate of 1 Hz would make it 44,100 times the source).
constexpr int kMinSourceRate = 1000;
constexpr int kMaxSourceRate = 384000;

struct SndfileCloser {
    void operator()(SNDFILE* f) const noexcept { sf_close(f); }
};

bool IsWav(int format) {
    const int major = format & SF_FORMAT_TYPEMASK;
    return major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX || major == SF_FORMAT_RF64;
}

// The file's first two channels as stereo frames (mono on both), read in blocks rather than
// trusting the header's frame count: the data may be shorter.
std::vector<float> ReadStereo(SNDFILE* in, int channels) {
    std::vector<float> samples;
    // The block holds a fixed number of samples, whatever channel count the header claims.
    const sf_count_t blockFrames = std::max(1, 16384 / channels);
    std::vector<float> block(static_cast<std::size_t>(blockFrames * channels));
    for (;;) {
        const sf_count_t got = sf_readf_float(in, block.data(), blockFrames);
        if (got <= 0) {
            break;
        }
        for (sf_count_t i = 0; i < got; ++i) {
            const float* frame = &block[static_cast<std::size_t>(i * channels)];
            samples.push_back(frame[0]);
            samples.push_back(channels > 1 ? frame[1] : frame[0]);
        }
    }
    return samples;
}

// `in` at `from` Hz as exactly round(frames x to / from) frames at `to` Hz; empty when libsoxr
// fails (out of memory).
std::vector<float> Resample(const std::vector<float>& in, int from, int to) {
    const std::uint64_t frames = in.size() / kChannels;
    const std::uint64_t wanted =
        (2 * frames * static_cast<std::uint64_t>(to) + static_cast<std::uint64_t>(from)) /
        (2 * static_cast<std::uint64_t>(from));
    std::vector<float> out(static_cast<std::size_t>(wanted) * kChannels);
    if (from == to || frames == 0) {
        return from == to ? in : out;
    }
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    // One thread: the soundtrack's workers already take every core.
    const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
    std::size_t done = 0;
    // The filter's delay is taken out, and the input's end flushed through it: the output is
    // aligned with the input. Should it fall short of the exact length by a frame, the rest
    // stays silent.
    if (soxr_oneshot(from, to, kChannels, in.data(), static_cast<std::size_t>(frames), nullptr,
                     out.data(), static_cast<std::size_t>(wanted), &done, &io, &quality,
                     &runtime) != nullptr) {
        out.clear();
    }
    return out;
}

} // namespace

std::unique_ptr<WavRenderer> WavRenderer::Create(std::span<const std::uint8_t> file, int outputRate,
                                                 LoadError& error) {
    error = LoadError::BadData;
    SoundMemory memory(file);
    SF_INFO info{};
    std::unique_ptr<SNDFILE, SndfileCloser> in(memory.Open(SFM_READ, info));
    if (!in || !IsWav(info.format) || info.channels < 1 || info.samplerate < kMinSourceRate ||
        info.samplerate > kMaxSourceRate || outputRate < 1) {
        return nullptr;
    }
    const std::vector<float> source = ReadStereo(in.get(), info.channels);
    std::unique_ptr<WavRenderer> r(new WavRenderer());
    r->m_sourceFrames = source.size() / kChannels;
    r->m_outputRate = outputRate;
    r->m_samples = Resample(source, info.samplerate, outputRate);
    if (r->m_samples.empty() && !source.empty()) {
        return nullptr;
    }
    error = LoadError::None;
    return r;
}

void WavRenderer::SetLoops(int loops) {
    m_loops = std::max(1, loops);
    m_pass = 0;
    m_frame = 0;
}

std::size_t WavRenderer::Render(float* out, std::size_t frames) {
    std::size_t done = 0;
    while (done < frames) {
        const std::size_t n = std::min(frames - done, OutputFrames() - m_frame);
        std::copy_n(m_samples.begin() + static_cast<std::ptrdiff_t>(m_frame * kChannels),
                    n * kChannels, out + done * kChannels);
        done += n;
        m_frame += n;
        if (done < frames) {
            if (m_pass + 1 >= m_loops || OutputFrames() == 0) {
                break;
            }
            ++m_pass;
            m_frame = 0;
        }
    }
    return done;
}

void WavRenderer::Seek(double seconds) {
    m_pass = 0;
    m_frame =
        std::min(OutputFrames(),
                 static_cast<std::size_t>(std::clamp(seconds, 0.0, Duration()) * m_outputRate));
}

double WavRenderer::Duration() const {
    return static_cast<double>(OutputFrames()) / m_outputRate;
}

double WavRenderer::Position() const {
    return static_cast<double>(m_frame) / m_outputRate;
}

} // namespace sv
