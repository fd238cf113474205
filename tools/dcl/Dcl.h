// StormLib's implode and explode through their DCL-style entry points, which let the caller pick
// the dictionary size and the literal mode. Only for tests, benchmarks and demo data.
#pragma once

#include <cstdint>
#include <vector>

namespace dcl {

using Bytes = std::vector<std::uint8_t>;

// One implode stream (binary literals) of data with a dictionary of 1024, 2048 or 4096 bytes.
// Empty when StormLib refuses.
Bytes Implode(const std::uint8_t* data, std::size_t size, unsigned dictionarySize);
inline Bytes Implode(const Bytes& data, unsigned dictionarySize) {
    return Implode(data.data(), data.size(), dictionarySize);
}

// Explodes one stream into out[0 .. capacity); the number of bytes produced, or -1 when StormLib
// reports an error or the output does not fit. Reuses one work area per thread.
std::int64_t Explode(const std::uint8_t* stream, std::size_t size, std::uint8_t* out,
                     std::size_t capacity);

} // namespace dcl
