#include "PlayingTime.h"

#include "MidiTiming.h"
#include "decode/SongConverter.h"

#include <vector>

namespace sv {

double EffectSeconds(std::uint32_t size) {
    return static_cast<double>(size) / kEffectSampleRate;
}

std::optional<double> SongSeconds(std::span<const std::uint8_t> hmi) {
    std::vector<std::uint8_t> midi;
    SongConverter converter;
    MidiTiming timing;
    if (converter.Convert(hmi, midi) < 0 || !timing.Parse(midi)) {
        return std::nullopt;
    }
    return timing.Duration();
}

} // namespace sv
