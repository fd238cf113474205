// Streams for the explode tests: a bit writer that speaks the length and distance codes, and the
// decoder run over a file or a pipe holding given bytes.
#pragma once

#include "TestSupport.h"
#include "decode/Explode.h"

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace explode_support {

using testing_support::Bytes;

// Writes bits least significant first, as the format stores them.
class BitWriter {
public:
    explicit BitWriter(std::uint8_t dictionaryBits, std::uint8_t mode = 0)
        : m_dictionaryBits(dictionaryBits) {
        m_bytes = {mode, dictionaryBits};
    }
    void Put(std::uint32_t value, unsigned n) {
        for (unsigned i = 0; i < n; ++i, ++m_bits) {
            if (m_bits % 8 == 0) {
                m_bytes.push_back(0);
            }
            m_bytes.back() |= static_cast<std::uint8_t>(((value >> i) & 1u) << (m_bits % 8));
        }
    }
    BitWriter& Literal(std::uint8_t b) {
        Put(0, 1);
        Put(b, 8);
        return *this;
    }
    BitWriter& Match(std::uint32_t length, std::uint32_t distance) {
        Put(1, 1);
        PutLength(length);
        const unsigned low = length == 2 ? 2 : m_dictionaryBits;
        PutDistanceHigh(distance >> low);
        Put(distance & ((1u << low) - 1), low);
        return *this;
    }
    BitWriter& End() {
        Put(1, 1);
        PutLength(519);
        return *this;
    }
    const Bytes& Data() const { return m_bytes; }
    std::size_t BitCount() const { return m_bits + 16; }

private:
    // The codes as sequences of Get results, first Get in the lowest bits.
    void PutLength(std::uint32_t length) {
        struct Row {
            std::uint32_t code, bits, base, extra;
        };
        static const Row rows[] = {
            {0x03, 2, 3, 0},  {0x05, 3, 2, 0},  {0x01, 3, 4, 0},   {0x06, 3, 5, 0},
            {0x0A, 4, 6, 0},  {0x02, 4, 7, 0},  {0x0C, 4, 8, 0},   {0x14, 5, 9, 0},
            {0x04, 5, 10, 1}, {0x18, 5, 12, 2}, {0x08, 5, 16, 3},  {0x30, 6, 24, 4},
            {0x10, 6, 40, 5}, {0x20, 6, 72, 6}, {0x40, 7, 136, 7}, {0x00, 7, 264, 8},
        };
        for (const Row& r : rows) {
            if (length >= r.base && length < r.base + (1u << r.extra)) {
                Put(r.code, r.bits);
                Put(length - r.base, r.extra);
                return;
            }
        }
        ADD_FAILURE() << "no length code for " << length;
    }
    static std::uint32_t Rev(std::uint32_t v, unsigned k) {
        std::uint32_t out = 0;
        for (unsigned i = 0; i < k; ++i) {
            out |= ((v >> i) & 1u) << (k - 1 - i);
        }
        return out;
    }
    void PutDistanceHigh(std::uint32_t h) {
        if (h == 0) {
            Put(3, 2);
        } else if (h <= 2) {
            Put(1, 2), Put(1, 1), Put(h == 1 ? 1 : 0, 1);
        } else if (h <= 6) {
            Put(1, 2), Put(0, 1), Put(Rev(6 - h, 2), 2);
        } else if (h <= 21) {
            Put(2, 2), Put(Rev(22 - h, 4), 4);
        } else if (h <= 23) {
            Put(2, 2), Put(0, 4), Put(23 - h, 1);
        } else if (h <= 39) {
            Put(0, 2), Put(1, 1), Put(Rev(39 - h, 4), 4);
        } else if (h <= 47) {
            Put(0, 2), Put(0, 1), Put(1, 1), Put(Rev(47 - h, 3), 3);
        } else {
            Put(0, 2), Put(0, 1), Put(0, 1), Put(Rev(63 - h, 4), 4);
        }
    }

    std::uint8_t m_dictionaryBits;
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
    ExplodeStatus status = ExplodeStatus::kOk;
    std::vector<std::string> lines;
    Bytes output;
    long position = -1; // where the stream stands afterwards
    int nextByte = -2;  // the byte read right after Decode (EOF = -1)
};

inline Outcome DecodeStream(std::FILE* f, std::uint32_t limit) {
    Outcome o;
    tcBitstream bits(f);
    Exploder exploder(&bits, [&](std::string_view line) { o.lines.emplace_back(line); });
    o.status = exploder.Status();
    o.output.assign(limit, 0);
    std::uint32_t count = 0xDEADBEEF;
    exploder.Decode(o.output.data(), count, limit);
    o.output.resize(count);
    o.position = std::ftell(f);
    o.nextByte = std::fgetc(f);
    return o;
}

// Decodes from a seekable file: the buffered path.
inline Outcome DecodeFile(const Bytes& bytes, std::uint32_t limit) {
    File f = TempStream(bytes);
    return DecodeStream(f.get(), limit);
}

#ifndef _WIN32
// Decodes from a pipe, which cannot seek: the byte-at-a-time path throughout.
inline Outcome DecodePipe(const Bytes& bytes, std::uint32_t limit) {
    int fds[2];
    if (pipe(fds) != 0) {
        ADD_FAILURE() << "pipe";
        return {};
    }
    std::thread writer([&] {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = write(fds[1], bytes.data() + done, bytes.size() - done);
            if (n <= 0) {
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        close(fds[1]);
    });
    File f(fdopen(fds[0], "rb"));
    Outcome o = DecodeStream(f.get(), limit);
    // Drain so that the writer can finish.
    while (std::fgetc(f.get()) != EOF) {
    }
    writer.join();
    return o;
}
#endif

} // namespace explode_support
