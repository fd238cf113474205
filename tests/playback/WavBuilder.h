// WAV files for the playback tests: the game's effects as extraction writes them (a 44-byte
// header, 8-bit unsigned mono samples at 11025 Hz) holding a sine.
#pragma once

#include "TestSupport.h"

#include <cmath>
#include <numbers>

namespace testing_support {

inline Bytes EffectWav(std::size_t samples, double frequency) {
    Bytes b{'R', 'I', 'F', 'F'};
    PutLE32(b, static_cast<std::uint32_t>(samples + 36));
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    PutLE32(b, 16);
    PutLE16(b, 1);
    PutLE16(b, 1);
    PutLE32(b, 11025);
    PutLE32(b, 11025);
    PutLE16(b, 1);
    PutLE16(b, 8);
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    PutLE32(b, static_cast<std::uint32_t>(samples));
    for (std::size_t i = 0; i < samples; ++i) {
        b.push_back(static_cast<std::uint8_t>(std::lround(
            128 +
            100 * std::sin(2 * std::numbers::pi * frequency * static_cast<double>(i) / 11025))));
    }
    return b;
}

} // namespace testing_support
