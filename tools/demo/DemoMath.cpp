#include "DemoMath.h"

namespace demo {

double Sin(double x) {
    const double twoPi = 2 * kPi;
    // Reduce to [-pi, pi] with a truncating division; exact enough for audio phases.
    const double turns = x / twoPi;
    const double whole =
        static_cast<double>(static_cast<std::int64_t>(turns + (turns < 0 ? -0.5 : 0.5)));
    x -= whole * twoPi;
    if (x > kPi / 2) {
        x = kPi - x;
    } else if (x < -kPi / 2) {
        x = -kPi - x;
    }
    const double x2 = x * x;
    double term = x;
    double sum = x;
    for (int k = 1; k <= 7; ++k) {
        term *= -x2 / static_cast<double>((2 * k) * (2 * k + 1));
        sum += term;
    }
    return sum;
}

double Exp(double x) {
    // e^x = 2^n * e^r with |r| <= ln2 / 2; the power of two is exact.
    const double ln2 = 0.69314718055994530942;
    const double q = x / ln2;
    const int n = static_cast<int>(q + (q < 0 ? -0.5 : 0.5));
    const double r = x - n * ln2;
    double term = 1;
    double sum = 1;
    for (int k = 1; k <= 14; ++k) {
        term *= r / k;
        sum += term;
    }
    double scale = 1;
    const double factor = n >= 0 ? 2.0 : 0.5;
    for (int i = 0; i < (n >= 0 ? n : -n); ++i) {
        scale *= factor;
    }
    return sum * scale;
}

} // namespace demo
