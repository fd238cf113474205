// Streams and containers for the explode tests: the decoder run over a file (read-ahead path) or a
// pipe (bit-by-bit path), and "PACKED.DAT" images built with an independent encoder.
#pragma once

#include "Dcl.h"
#include "TestSupport.h"
#include "decode/Explode.h"

#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace sv::test {

using File = std::unique_ptr<std::FILE, decltype([](std::FILE* f) { std::fclose(f); })>;

// A seekable stream holding the bytes, positioned at their start.
inline File TempStream(const Bytes& bytes) {
    File f(std::tmpfile());
    if (!bytes.empty()) {
        std::fwrite(bytes.data(), 1, bytes.size(), f.get());
    }
    std::rewind(f.get());
    return f;
}

struct Outcome {
    std::vector<std::string> lines;
    Bytes output;
    long position = -1; // where the stream stands afterwards
    int nextByte = -2;  // the byte read right after Decode (EOF = -1)
};

inline Outcome DecodeStream(std::FILE* f, std::uint32_t limit) {
    Outcome o;
    tcBitstream bits(f);
    Exploder exploder(&bits, [&](std::string_view line) { o.lines.emplace_back(line); });
    o.output.assign(limit, 0);
    std::uint32_t count = 0xDEADBEEF;
    exploder.Decode(o.output.data(), count, limit);
    o.output.resize(count);
    o.position = std::ftell(f);
    o.nextByte = std::fgetc(f);
    return o;
}

inline Outcome DecodeFile(const Bytes& bytes, std::uint32_t limit) {
    return DecodeStream(TempStream(bytes).get(), limit);
}

// A pipe cannot seek, so the decoder reads it bit by bit throughout.
inline Outcome DecodePipe(const Bytes& bytes, std::uint32_t limit) {
    int fds[2];
    if (pipe(fds) != 0) {
        ADD_FAILURE() << "pipe";
        return {};
    }
    std::thread writer([&] {
        std::FILE* in = fdopen(fds[1], "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), in);
        std::fclose(in);
    });
    File f(fdopen(fds[0], "rb"));
    Outcome o = DecodeStream(f.get(), limit);
    while (std::fgetc(f.get()) != EOF) { // let the writer finish
    }
    writer.join();
    return o;
}

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
