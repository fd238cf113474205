// Portable randomness and maths for the generator. The standard library's distributions and its
// sin/exp may give different results on different platforms; these use integer arithmetic and
// the basic IEEE operations only, so every platform writes the same bytes.
#pragma once

#include <cstdint>

namespace demo {

// SplitMix64: small, fast, and good enough for music and noise.
class Rng {
public:
    explicit Rng(std::uint64_t seed) : m_state(seed) {}

    std::uint64_t Next() {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0..n-1 (n > 0).
    int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }
    int Between(int low, int high) { return low + Below(high - low + 1); }
    bool Chance(int percent) { return Below(100) < percent; }
    // [0, 1)
    double Unit() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
    // [-1, 1)
    double Signed() { return 2.0 * Unit() - 1.0; }
    double Range(double low, double high) { return low + (high - low) * Unit(); }

private:
    std::uint64_t m_state;
};

inline constexpr double kPi = 3.14159265358979323846;

// sin(x) from a range reduction to [-pi/2, pi/2] and a Taylor polynomial (error below 1e-9 there).
double Sin(double x);
inline double Cos(double x) {
    return Sin(x + kPi / 2);
}
// e^x for moderate x (|x| < 700).
double Exp(double x);

} // namespace demo
