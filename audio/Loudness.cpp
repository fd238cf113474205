#include "Loudness.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ebur128.h>
#include <utility>

namespace sv {

LoudnessMeter::LoudnessMeter(int rate, bool truePeak)
    : m_state(ebur128_init(2, static_cast<unsigned long>(rate),
                           EBUR128_MODE_I |
                               (truePeak ? EBUR128_MODE_TRUE_PEAK : EBUR128_MODE_SAMPLE_PEAK))),
      m_truePeak(truePeak) {}

LoudnessMeter::~LoudnessMeter() {
    if (m_state != nullptr) {
        ebur128_destroy(&m_state);
    }
}

LoudnessMeter::LoudnessMeter(LoudnessMeter&& other) noexcept
    : m_state(std::exchange(other.m_state, nullptr)), m_truePeak(other.m_truePeak) {}

LoudnessMeter& LoudnessMeter::operator=(LoudnessMeter&& other) noexcept {
    std::swap(m_state, other.m_state);
    std::swap(m_truePeak, other.m_truePeak);
    return *this;
}

void LoudnessMeter::Add(std::span<const float> interleavedStereo) {
    if (m_state != nullptr) {
        (void)ebur128_add_frames_float(m_state, interleavedStereo.data(),
                                       interleavedStereo.size() / 2);
    }
}

double LoudnessMeter::Integrated() const {
    double lufs = -HUGE_VAL;
    if (m_state != nullptr && ebur128_loudness_global(m_state, &lufs) != EBUR128_SUCCESS) {
        lufs = -HUGE_VAL;
    }
    return lufs;
}

double LoudnessMeter::Peak() const {
    double peak = 0.0;
    for (unsigned channel = 0; m_state != nullptr && channel < 2; ++channel) {
        double p = 0.0;
        const int status = m_truePeak ? ebur128_true_peak(m_state, channel, &p)
                                      : ebur128_sample_peak(m_state, channel, &p);
        if (status == EBUR128_SUCCESS) {
            peak = std::max(peak, p);
        }
    }
    return peak;
}

double LoudnessMeter::Together(const std::vector<const LoudnessMeter*>& meters) {
    std::vector<ebur128_state*> states;
    for (const LoudnessMeter* m : meters) {
        if (m->m_state != nullptr) {
            states.push_back(m->m_state);
        }
    }
    double lufs = -HUGE_VAL;
    if (states.empty() ||
        ebur128_loudness_global_multiple(states.data(), states.size(), &lufs) != EBUR128_SUCCESS) {
        lufs = -HUGE_VAL;
    }
    return lufs;
}

std::string GainText(double decibels) {
    char text[32];
    (void)std::snprintf(text, sizeof text, "%.2f dB", std::isfinite(decibels) ? decibels : 0.0);
    return text;
}

std::string PeakText(double linear) {
    char text[32];
    (void)std::snprintf(text, sizeof text, "%.6f", linear);
    return text;
}

std::vector<std::pair<std::string, std::string>> TrackGainTags(const LoudnessMeter& meter) {
    return {{"REPLAYGAIN_TRACK_GAIN", GainText(kReplayGainReference - meter.Integrated())},
            {"REPLAYGAIN_TRACK_PEAK", PeakText(meter.Peak())}};
}

} // namespace sv
