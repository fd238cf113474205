// Data and "PACKED.DAT" images for the explode and recovery tests, packed with an independent
// encoder.
#pragma once

#include "Dcl.h"
#include "TestSupport.h"

#include <random>
#include <string>
#include <vector>

namespace sv::test {

// Runs, noise, and repeats from near and far back, some overlapping themselves.
inline Bytes Mixed(std::size_t n, std::uint32_t seed) {
    std::mt19937 random(seed);
    Bytes b;
    while (b.size() < n) {
        const std::size_t length = 1 + random() % 600;
        const std::size_t back =
            b.empty() ? 0 : 1 + random() % std::min<std::size_t>(b.size(), 5000);
        const unsigned kind = back == 0 ? 0 : random() % 4;
        for (std::size_t i = 0; i < length; ++i) {
            const auto v = kind == 0   ? static_cast<std::uint8_t>(random())
                           : kind == 1 ? static_cast<std::uint8_t>(length)
                                       : b[b.size() - back];
            b.push_back(v);
        }
    }
    b.resize(n);
    return b;
}

struct Entry {
    std::string name; // up to 13 bytes; 13 leaves no NUL
    Bytes data;
    std::int64_t size = -1; // the size field; -1 for data.size()
};

// A container: header, directory, then each entry's blocks of up to blockSize bytes (36 bytes of
// 0xEE, then one stream).
inline Bytes MakePacked(const std::vector<Entry>& entries, std::size_t blockSize = 65536) {
    Bytes file, blocks;
    PutLE32(file, 8);
    PutLE32(file, 0x12345678);
    for (const Entry& e : entries) {
        PutLE32(file, static_cast<std::uint32_t>(e.size < 0 ? e.data.size() : e.size));
        PutLE32(file, 0x12345678);
        std::string name = e.name;
        name.resize(13, '\0');
        file.insert(file.end(), name.begin(), name.end());
        PutLE32(file, static_cast<std::uint32_t>(8 + 25 * entries.size() + blocks.size()));
        for (std::size_t at = 0; at == 0 || at < e.data.size(); at += blockSize) {
            const std::size_t n = std::min<std::size_t>(blockSize, e.data.size() - at);
            const Bytes stream = dcl::Implode(e.data.data() + at, n, 4096);
            blocks.insert(blocks.end(), 36, 0xEE);
            blocks.insert(blocks.end(), stream.begin(), stream.end());
        }
    }
    file.insert(file.end(), blocks.begin(), blocks.end());
    return file;
}

} // namespace sv::test
