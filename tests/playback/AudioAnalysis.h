// What a listener would notice in rendered audio: loudness, where sound starts, and pitch.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace testing_support {

// Stereo frames, interleaved.
using Frames = std::vector<float>;

inline std::size_t FrameCount(const Frames& f) {
    return f.size() / 2;
}

inline float PeakOf(const Frames& f, std::size_t from = 0, std::size_t to = SIZE_MAX) {
    float peak = 0.0f;
    for (std::size_t i = from * 2; i < std::min(f.size(), to * 2); ++i) {
        peak = std::max(peak, std::fabs(f[i]));
    }
    return peak;
}

// First frame whose left or right sample exceeds `threshold`, or SIZE_MAX.
inline std::size_t FirstSound(const Frames& f, float threshold = 0.01f, std::size_t from = 0) {
    for (std::size_t i = from; i < FrameCount(f); ++i) {
        if (std::fabs(f[2 * i]) > threshold || std::fabs(f[2 * i + 1]) > threshold) {
            return i;
        }
    }
    return SIZE_MAX;
}

// Frequency of a steady tone on one channel, from its rising zero crossings.
inline double ToneFrequency(const Frames& f, int channel, std::size_t from, std::size_t to,
                            double rate) {
    std::size_t first = 0;
    std::size_t last = 0;
    int crossings = 0;
    for (std::size_t i = from + 1; i < std::min(to, FrameCount(f)); ++i) {
        const float a = f[2 * (i - 1) + channel];
        const float b = f[2 * i + channel];
        if (a < 0.0f && b >= 0.0f) {
            if (crossings == 0) {
                first = i;
            }
            last = i;
            ++crossings;
        }
    }
    return crossings < 2 ? 0.0 : (crossings - 1) * rate / static_cast<double>(last - first);
}

} // namespace testing_support
