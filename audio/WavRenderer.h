// Renders a RIFF WAVE file: the 8-bit mono 11025 Hz files that effect extraction writes (a 44-byte
// header, unsigned samples) as well as ordinary PCM or float WAV files up to 384,000 samples per
// second, decoded by libsndfile from memory. Mono is played on both channels; of more than two
// channels the first two are kept.
// The samples are converted to the output rate with a windowed-sinc filter, whose cutoff lies at
// the lower of the two Nyquist frequencies so that neither images nor aliases are heard.
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

    std::size_t Render(float* out, std::size_t frames) override;
    void Seek(double seconds) override;
    double Duration() const override;
    double Position() const override;

    int SourceRate() const { return m_sourceRate; }
    std::size_t SourceFrames() const { return m_samples.size() / kChannels; }
    // Frames that a full rendering from the start produces.
    std::uint64_t OutputFrames() const;

private:
    WavRenderer() = default;
    void BuildFilter();
    void Interpolate(std::uint64_t position, float* out) const;

    std::vector<float> m_samples; // stereo frames at the source rate
    int m_sourceRate = 0;
    int m_outputRate = 0;
    // Position in source frames as 32.32 fixed point, so that long files do not drift.
    std::uint64_t m_position = 0;
    std::uint64_t m_step = 0;
    int m_halfWidth = 0;         // taps on each side of the position
    std::vector<float> m_filter; // kPhases rows of 2 * m_halfWidth taps
};

} // namespace sv
