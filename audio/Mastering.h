// What happens between a renderer and a sound file. The piece is rendered whole into memory as
// float frames (loops, then the release tail or the fade), every level change is made in float,
// and the peaks are limited softly below full scale before the 16-bit conversion, so a rendered
// file never clips or wraps, however loud the song or the resampled effect.
#pragma once

#include "Renderer.h"
#include "io/ProgressControl.h"

#include <atomic>
#include <cstdint>
#include <span>
#include <vector>

namespace sv {

struct SongShape {
    int loops = 1;            // passes back to back
    double fadeSeconds = 0.0; // of the last pass, faded out to silence; 0: no fade
};

// The highest sample level a rendered file holds (-0.18 dBFS); louder peaks are limited.
inline constexpr float kPeakCeiling = 0.98f;

// Frames of `renderer` played the way `shape` asks, from its start: the passes, then either the
// release tail or, with a fade, nothing after the faded end. `progress` (may be null) runs in
// blocks of 1024 frames up to the frames of the passes. Empty when `cancel` (may be null) was
// set before the end.
std::vector<float> RenderWhole(Renderer& renderer, int rate, const SongShape& shape,
                               ProgressControl* progress, const std::atomic<bool>* cancel);

// Fades the last `fadeFrames` of interleaved stereo `samples` with a cubic curve, (1 - t)^3 over
// t = 0..1: smooth at its start and 60 dB down by its last tenth, so it ends in silence.
void FadeOut(std::span<float> samples, std::size_t fadeFrames);

// Multiplies every sample by `gain`.
void Scale(std::span<float> samples, float gain);

// Keeps every sample of interleaved stereo `samples` within +/-`ceiling`. The gain needed is
// looked ahead for 1.5 ms and reached by a linear ramp over that time, then let back to 1 with a
// 60 ms release, so a peak is turned down smoothly instead of clipped; both channels get the
// same gain. Audio that stays below the ceiling is left untouched.
void LimitPeaks(std::span<float> samples, int rate, float ceiling = kPeakCeiling);

} // namespace sv
