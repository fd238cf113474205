#include "VarLen.h"

namespace sv {

std::size_t WriteVarLen(std::uint8_t* destination, std::uint32_t value) {
    const int groups = value >= 0x200000 ? 4 : value >= 0x4000 ? 3 : value >= 0x80 ? 2 : 1;
    for (int g = groups - 1; g >= 0; --g) {
        const auto bits = static_cast<std::uint8_t>((value >> (7 * g)) & 0x7F);
        *destination++ = g > 0 ? static_cast<std::uint8_t>(bits | 0x80) : bits;
    }
    return static_cast<std::size_t>(groups);
}

void AppendVarLen(std::vector<std::uint8_t>& out, std::uint32_t value) {
    std::uint8_t groups[5];
    int n = 0;
    do {
        groups[n++] = static_cast<std::uint8_t>(value & 0x7F);
        value >>= 7;
    } while (value != 0);
    while (n > 1) {
        out.push_back(static_cast<std::uint8_t>(groups[--n] | 0x80));
    }
    out.push_back(groups[0]);
}

bool ReadVarLen(ByteCursor& in, std::uint32_t& value, std::size_t maxBytes) {
    value = 0;
    for (std::size_t i = 0; i < maxBytes; ++i) {
        const std::uint8_t b = in.U8();
        if (in.Failed()) {
            return false;
        }
        value = (value << 7) | (b & 0x7Fu);
        if ((b & 0x80) == 0) {
            return true;
        }
    }
    return false;
}

bool ReadVarLen(std::span<const std::uint8_t> data, std::size_t& position, std::uint32_t& value) {
    ByteCursor in(data, position);
    std::uint32_t read = 0;
    if (!ReadVarLen(in, read)) {
        return false;
    }
    position = in.Position();
    value = read;
    return true;
}

} // namespace sv
