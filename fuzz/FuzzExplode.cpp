// Any bytes as an implode stream, with a limit taken from the input: decoding must stay within the
// limit and the input, and leave the stream just after the bytes it took bits from.
#include "decode/Explode.h"

#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    // Small limits reach the stop inside a match; larger ones let whole streams run.
    const std::uint32_t limit = data[0] < 128 ? data[0] : 1u << (data[0] & 15);
    std::vector<std::uint8_t> input(data + 1, data + size);
    std::FILE* stream = fmemopen(input.data(), input.size(), "rb");
    if (stream == nullptr) {
        return 0;
    }
    sv::tcBitstream bits(stream);
    std::size_t lines = 0;
    sv::Exploder exploder(&bits, [&](std::string_view) { ++lines; });
    std::vector<std::uint8_t> output(limit + 1, 0xA5);
    std::uint32_t count = 0;
    exploder.Decode(output.data(), count, limit);
    const long position = std::ftell(stream);
    std::fclose(stream);
    if (count > limit || output[limit] != 0xA5 || lines == 0 || position < 0 ||
        static_cast<std::size_t>(position) > input.size()) {
        std::abort();
    }
    return 0;
}
