#include "Synth.h"

#include <algorithm>

namespace demo {

double Hump(double t, double start, double end) {
    if (t <= start || t >= end) {
        return 0;
    }
    return Sin(kPi * (t - start) / (end - start));
}

double Osc::Advance(double frequency) {
    m_phase += 2 * kPi * frequency / kRate;
    if (m_phase >= 2 * kPi) {
        m_phase -= 2 * kPi;
    }
    return m_phase;
}

double Osc::Sine(double frequency) {
    return Sin(Advance(frequency));
}

double Osc::Saw(double frequency) {
    const double phase = Advance(frequency);
    double sum = 0;
    for (int k = 1; k * frequency < 4500 && k <= 40; ++k) {
        sum += Sin(k * phase) / k;
    }
    return sum * 0.6;
}

double Osc::Square(double frequency) {
    const double phase = Advance(frequency);
    double sum = 0;
    for (int k = 1; k * frequency < 4500 && k <= 40; k += 2) {
        sum += Sin(k * phase) / k;
    }
    return sum * 0.9;
}

void OnePole::SetCutoff(double cutoff) {
    m_a = 1 - Exp(-2 * kPi * cutoff / kRate);
}

void BandPass::Set(double centre, double q) {
    m_f = 2 * Sin(kPi * std::clamp(centre, 20.0, 5000.0) / (2 * kRate));
    m_damp = 1 / std::max(q, 0.5);
}

double BandPass::Run(double x) {
    for (int pass = 0; pass < 2; ++pass) {
        m_low += m_f * m_band;
        const double high = x - m_low - m_damp * m_band;
        m_band += m_f * high;
    }
    return m_band;
}

void AddPartials(Signal& out, std::size_t at, double base, const std::vector<double>& ratios,
                 double amplitude, double tau) {
    for (std::size_t k = 0; k < ratios.size(); ++k) {
        const double frequency = base * ratios[k];
        if (frequency >= kRate / 2) {
            continue;
        }
        const double partialTau = tau / (1 + 0.4 * static_cast<double>(k));
        const double gain = amplitude / (1 + 0.5 * static_cast<double>(k));
        Osc osc;
        for (std::size_t i = at; i < out.size(); ++i) {
            const double t = Time(i - at);
            if (t > 6 * partialTau) {
                break;
            }
            out[i] += gain * Decay(t, partialTau) * osc.Sine(frequency);
        }
    }
}

std::vector<std::uint8_t> ToUnsigned8(const Signal& signal, double peak) {
    double top = 0;
    for (const double x : signal) {
        top = std::max(top, x < 0 ? -x : x);
    }
    const double gain = top > 0 ? peak / top : 0;
    const std::size_t fade = std::min<std::size_t>(signal.size(), Samples(0.005));
    std::vector<std::uint8_t> out(signal.size());
    for (std::size_t i = 0; i < signal.size(); ++i) {
        double x = signal[i] * gain;
        if (i + fade >= signal.size() && fade > 0) {
            x *= static_cast<double>(signal.size() - i) / static_cast<double>(fade + 1);
        }
        const double level = std::clamp(128.0 + 127.0 * x, 1.0, 255.0);
        out[i] = static_cast<std::uint8_t>(level + 0.5);
    }
    return out;
}

} // namespace demo
