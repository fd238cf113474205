#include "Mastering.h"

#include <algorithm>
#include <cmath>
#include <deque>

namespace sv {
namespace {

constexpr std::size_t kBlock = 4096;
constexpr double kLookAheadSeconds = 0.0015;
constexpr double kReleaseSeconds = 0.060;

std::int32_t ProgressUnits(std::uint64_t frames) {
    return static_cast<std::int32_t>(std::min<std::uint64_t>(frames / 1024, INT32_MAX));
}

// The largest gain per frame that keeps both of its samples within the ceiling.
std::vector<float> NeededGain(std::span<const float> samples, float ceiling) {
    std::vector<float> need(samples.size() / kChannels);
    for (std::size_t i = 0; i < need.size(); ++i) {
        const float peak = std::max(std::fabs(samples[2 * i]), std::fabs(samples[2 * i + 1]));
        need[i] = peak > ceiling ? ceiling / peak : 1.0f;
    }
    return need;
}

// out[i] = min(in[i .. i + span]), with a queue of candidates in increasing order.
std::vector<float> MinAhead(const std::vector<float>& in, std::size_t span) {
    std::vector<float> out(in.size());
    std::deque<std::size_t> window;
    const std::size_t n = in.size();
    for (std::size_t k = n; k-- > 0;) {
        while (!window.empty() && in[window.back()] >= in[k]) {
            window.pop_back();
        }
        window.push_back(k);
        while (window.front() > k + span) {
            window.pop_front();
        }
        out[k] = in[window.front()];
    }
    return out;
}

} // namespace

std::vector<float> RenderWhole(Renderer& renderer, int rate, const SongShape& shape,
                               ProgressControl* progress, const std::atomic<bool>* cancel) {
    renderer.SetLoops(shape.loops);
    const auto passFrames = static_cast<std::uint64_t>(std::llround(renderer.Duration() * rate));
    const std::uint64_t playFrames =
        passFrames * static_cast<std::uint64_t>(std::max(1, shape.loops));
    const auto fadeFrames = std::min<std::uint64_t>(
        playFrames,
        static_cast<std::uint64_t>(std::llround(std::max(0.0, shape.fadeSeconds) * rate)));
    // A faded piece ends in silence: its release tail would be silent too.
    const std::uint64_t limit = fadeFrames > 0 ? playFrames : UINT64_MAX;

    if (progress != nullptr) {
        progress->SetRange(0, ProgressUnits(playFrames));
        progress->Show();
    }
    std::vector<float> samples;
    samples.reserve(static_cast<std::size_t>(playFrames) * kChannels);
    std::uint64_t frames = 0;
    for (;;) {
        if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) {
            samples.clear();
            break;
        }
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, limit - frames));
        samples.resize(static_cast<std::size_t>(frames + want) * kChannels);
        const std::size_t got =
            renderer.Render(samples.data() + static_cast<std::size_t>(frames) * kChannels, want);
        frames += got;
        samples.resize(static_cast<std::size_t>(frames) * kChannels);
        if (progress != nullptr) {
            progress->SetPos(ProgressUnits(std::min(frames, playFrames)));
        }
        if (got < want || frames >= limit) {
            break;
        }
    }
    if (progress != nullptr) {
        progress->Hide();
    }
    FadeOut(samples, static_cast<std::size_t>(std::min<std::uint64_t>(fadeFrames, frames)));
    return samples;
}

void FadeOut(std::span<float> samples, std::size_t fadeFrames) {
    const std::size_t frames = samples.size() / kChannels;
    fadeFrames = std::min(fadeFrames, frames);
    const std::size_t first = frames - fadeFrames;
    for (std::size_t i = 0; i < fadeFrames; ++i) {
        // Reaches exactly 0 on the last frame.
        const double rest = 1.0 - static_cast<double>(i + 1) / static_cast<double>(fadeFrames);
        const auto gain = static_cast<float>(rest * rest * rest);
        samples[(first + i) * 2] *= gain;
        samples[(first + i) * 2 + 1] *= gain;
    }
}

void Scale(std::span<float> samples, float gain) {
    for (float& s : samples) {
        s *= gain;
    }
}

void LimitPeaks(std::span<float> samples, int rate, float ceiling) {
    const std::vector<float> need = NeededGain(samples, ceiling);
    if (std::all_of(need.begin(), need.end(), [](float g) { return g >= 1.0f; })) {
        return;
    }
    // Every gain of the ramp's window ahead of a frame is at most what that frame needs
    // (each is a minimum over a span that holds it), so their mean is too.
    const auto span = static_cast<std::size_t>(std::max(1.0, std::round(kLookAheadSeconds * rate)));
    std::vector<float> held = MinAhead(need, span);
    const double release = 1.0 - std::exp(-1.0 / (kReleaseSeconds * rate));
    // Kept in double: a float state would stop a rounding step short of 1 and stay there.
    double state = 1.0;
    for (float& h : held) {
        state = std::min<double>(h, state + (1.0 - state) * release);
        h = static_cast<float>(state);
    }
    double sum = 0.0;
    for (std::size_t i = 0; i < held.size(); ++i) {
        // The window is held[i - span .. i]; before the start it counts as 1.
        sum += double{held[i]} - (i >= span + 1 ? double{held[i - span - 1]} : 1.0);
        const double gain = (sum + static_cast<double>(span + 1)) / static_cast<double>(span + 1);
        const auto g = std::min(static_cast<float>(gain), need[i]);
        samples[2 * i] *= g;
        samples[2 * i + 1] *= g;
    }
}

} // namespace sv
