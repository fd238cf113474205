// Loudness as EBU R 128 measures it, through libebur128: a song's integrated loudness in LUFS and
// its peak, and the loudness of several songs taken together (an album's). ReplayGain 2.0 gains
// are the difference to its reference level of -18 LUFS.
#pragma once

#include <ebur128.h>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace sv {

inline constexpr double kReplayGainReference = -18.0; // LUFS

class LoudnessMeter {
public:
    // Stereo at `rate`; `truePeak` measures the peak between samples (4x oversampled) instead of
    // the highest sample, at a higher cost.
    LoudnessMeter(int rate, bool truePeak);
    ~LoudnessMeter();
    LoudnessMeter(LoudnessMeter&&) noexcept;
    LoudnessMeter& operator=(LoudnessMeter&&) noexcept;

    // False when the library could not be set up (out of memory).
    bool Valid() const { return m_state != nullptr; }
    void Add(std::span<const float> interleavedStereo);
    // LUFS; minus infinity for silence.
    double Integrated() const;
    // Linear, 1.0 = full scale.
    double Peak() const;

    // The integrated loudness of all the meters' audio as one piece.
    static double Together(const std::vector<const LoudnessMeter*>& meters);

private:
    ebur128_state* m_state = nullptr;
    bool m_truePeak = false;
};

// "-3.21 dB", the way ReplayGain tags write a gain.
std::string GainText(double decibels);
// "0.987654", the way they write a peak.
std::string PeakText(double linear);
// REPLAYGAIN_TRACK_GAIN and REPLAYGAIN_TRACK_PEAK of the meter's audio, as Vorbis comments.
std::vector<std::pair<std::string, std::string>> TrackGainTags(const LoudnessMeter& meter);

} // namespace sv
