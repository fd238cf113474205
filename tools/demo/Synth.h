// A few building blocks for synthesizing the demo effects at the game's 11025 samples per
// second: oscillators, noise, filters and envelopes, all on doubles with the portable maths of
// DemoMath.h, and the conversion to 8-bit unsigned samples (silence is 128).
#pragma once

#include "DemoMath.h"

#include <cstdint>
#include <vector>

namespace demo {

inline constexpr double kRate = 11025.0;
using Signal = std::vector<double>;

inline std::size_t Samples(double seconds) {
    return seconds <= 0 ? 0 : static_cast<std::size_t>(seconds * kRate);
}
inline double Time(std::size_t i) {
    return static_cast<double>(i) / kRate;
}

// e^(-t/tau): the natural decay of a struck or plucked thing.
inline double Decay(double t, double tau) {
    return Exp(-t / tau);
}
// Rises linearly over `attack` seconds, then decays with time constant tau.
inline double Strike(double t, double attack, double tau) {
    return t < attack ? t / attack : Decay(t - attack, tau);
}
// 0 outside [start, end], a sine-shaped hump inside.
double Hump(double t, double start, double end);

class Osc {
public:
    double Sine(double frequency);
    // A band-limited sawtooth made of the harmonics that stay below 4.5 kHz.
    double Saw(double frequency);
    double Square(double frequency);

private:
    double Advance(double frequency);
    double m_phase = 0;
};

class OnePole {
public:
    explicit OnePole(double cutoff) { SetCutoff(cutoff); }
    void SetCutoff(double cutoff);
    double Low(double x) { return m_y += m_a * (x - m_y); }
    double High(double x) { return x - Low(x); }

private:
    double m_a = 0;
    double m_y = 0;
};

// A resonant band-pass (state-variable, run twice per sample so that it stays stable up to a
// few kHz at this rate).
class BandPass {
public:
    BandPass(double centre, double q) { Set(centre, q); }
    void Set(double centre, double q);
    double Run(double x);

private:
    double m_f = 0;
    double m_damp = 1;
    double m_low = 0;
    double m_band = 0;
};

// Adds a decaying resonant "ping" (metal, wood, glass) of the given partials into out.
void AddPartials(Signal& out, std::size_t at, double base, const std::vector<double>& ratios,
                 double amplitude, double tau);

// Scales to the given peak, fades the last few milliseconds, converts to 8-bit unsigned.
std::vector<std::uint8_t> ToUnsigned8(const Signal& signal, double peak);

} // namespace demo
