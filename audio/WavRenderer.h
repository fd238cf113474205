// Renders a RIFF WAVE file: the 8-bit mono 11025 Hz files that effect extraction writes (a 44-byte
// header, unsigned samples) as well as ordinary PCM or float WAV files up to 384,000 samples per
// second, decoded by libsndfile from memory. Mono is played on both channels; of more than two
// channels the first two are kept.
// The samples are converted to the output rate once, whole, by libsoxr at its high quality
// (linear phase, passband to 91% of the lower Nyquist frequency, aliases and images 125 dB down):
// N frames at rate S give exactly round(N x R / S) frames at rate R, every pass alike, so passes
// join without a gap and a pass's length never drifts.
#pragma once

#include "Renderer.h"

#include <memory>
#include <span>
#include <vector>

namespace sv {

class WavRenderer final : public Renderer {
public:
    // Null with `error` set (BadData) when libsndfile cannot decode the bytes as WAV.
    static std::unique_ptr<WavRenderer> Create(std::span<const std::uint8_t> file, int outputRate,
                                               LoadError& error);

    void SetLoops(int loops) override;
    std::size_t Render(float* out, std::size_t frames) override;
    void Seek(double seconds) override;
    double Duration() const override;
    double Position() const override;

    std::size_t SourceFrames() const { return m_sourceFrames; }
    // Frames of one pass at the output rate.
    std::size_t OutputFrames() const { return m_samples.size() / kChannels; }

private:
    WavRenderer() = default;

    std::vector<float> m_samples; // one pass, stereo frames at the output rate
    std::size_t m_sourceFrames = 0;
    int m_outputRate = 0;
    std::size_t m_frame = 0; // the next one of the pass
    int m_loops = 1;
    int m_pass = 0;
};

} // namespace sv
