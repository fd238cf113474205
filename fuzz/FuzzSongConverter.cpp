// Any bytes as an HMI song: the converter must return, without reading or writing outside its
// buffers, and a success must be a well-formed file (header, tempo track, chunks that add up).
#include "decode/SongConverter.h"

#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    sv::SongConverter converter;
    std::vector<std::uint8_t> midi;
    if (converter.Convert({data, size}, midi) < 0) {
        return 0;
    }
    std::size_t at = 33;
    while (at + 8 <= midi.size()) {
        const std::size_t length = static_cast<std::size_t>(midi[at + 4]) << 24 |
                                   static_cast<std::size_t>(midi[at + 5]) << 16 |
                                   static_cast<std::size_t>(midi[at + 6]) << 8 | midi[at + 7];
        at += 8 + length;
    }
    if (midi.size() < 33 || at != midi.size() || midi[0] != 'M') {
        std::abort();
    }
    return 0;
}
