// Streams and containers for the explode tests: a bit writer that speaks the length and distance
// codes, the decoder run over a file (read-ahead path) or a pipe (bit-by-bit path), and
// "PACKED.DAT" images built with an independent encoder.
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

// Writes bits least significant first, as the format stores them.
class BitWriter {
public:
    explicit BitWriter(std::uint8_t dictionaryBits)
        : m_dict(dictionaryBits), m_bytes{0, dictionaryBits} {}
    void Put(std::uint32_t value, unsigned n) {
        for (unsigned i = 0; i < n; ++i, ++m_bits) {
            if (m_bits % 8 == 0) {
                m_bytes.push_back(0);
            }
            m_bytes.back() |= static_cast<std::uint8_t>(((value >> i) & 1u) << (m_bits % 8));
        }
    }
    BitWriter& Literal(std::uint8_t b) {
        Put(static_cast<std::uint32_t>(b) << 1, 9);
        return *this;
    }
    // length 519 is the end marker, which has no distance.
    BitWriter& Match(std::uint32_t length, std::uint32_t distance) {
        // Length codes as Get results in stream order: code, code bits, base, extra bits.
        static const std::uint32_t rows[16][4] = {
            {0x03, 2, 3, 0},  {0x05, 3, 2, 0},  {0x01, 3, 4, 0},   {0x06, 3, 5, 0},
            {0x0A, 4, 6, 0},  {0x02, 4, 7, 0},  {0x0C, 4, 8, 0},   {0x14, 5, 9, 0},
            {0x04, 5, 10, 1}, {0x18, 5, 12, 2}, {0x08, 5, 16, 3},  {0x30, 6, 24, 4},
            {0x10, 6, 40, 5}, {0x20, 6, 72, 6}, {0x40, 7, 136, 7}, {0x00, 7, 264, 8},
        };
        Put(1, 1);
        for (const auto& r : rows) {
            if (length >= r[2] && length < r[2] + (1u << r[3])) {
                Put(r[0], r[1]);
                Put(length - r[2], r[3]);
            }
        }
        if (length != 519) {
            const unsigned low = length == 2 ? 2 : m_dict;
            PutDistanceHigh(distance >> low);
            Put(distance & ((1u << low) - 1), low);
        }
        return *this;
    }
    BitWriter& End() { return Match(519, 0); }
    const Bytes& Data() const { return m_bytes; }

private:
    void PutDistanceHigh(std::uint32_t h) {
        if (h == 0) {
            Put(3, 2);
        } else if (h <= 2) {
            Put(1, 2), Put(1, 1), Put(h == 1 ? 1 : 0, 1);
        } else if (h <= 6) {
            Put(1, 2), Put(0, 1), Put(Exploder::ReverseBits(6 - h, 2), 2);
        } else if (h <= 21) {
            Put(2, 2), Put(Exploder::ReverseBits(22 - h, 4), 4);
        } else if (h <= 23) {
            Put(2, 2), Put(0, 4), Put(23 - h, 1);
        } else if (h <= 39) {
            Put(0, 2), Put(1, 1), Put(Exploder::ReverseBits(39 - h, 4), 4);
        } else if (h <= 47) {
            Put(0, 2), Put(0, 1), Put(1, 1), Put(Exploder::ReverseBits(47 - h, 3), 3);
        } else {
            Put(0, 2), Put(0, 1), Put(0, 1), Put(Exploder::ReverseBits(63 - h, 4), 4);
        }
    }

    std::uint8_t m_dict;
    Bytes m_bytes;
    std::size_t m_bits = 0;
};

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

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
