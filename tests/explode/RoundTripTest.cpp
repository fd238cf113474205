// Streams from StormLib's implode, an independent encoder, decode to their input for every
// dictionary size and on both reading paths; sizes around the 1 MiB block limit stop at it.
#include "Dcl.h"
#include "ExplodeSupport.h"

#include <cmath>
#include <cstring>
#include <random>

using namespace explode_support;
using testing_support::Bytes;

namespace {

// 8-bit samples as the sound archive holds them: a few decaying tones with noise.
Bytes Samples(std::size_t n, std::uint32_t seed) {
    std::mt19937 random(seed);
    Bytes b(n);
    double phase = 0;
    for (std::size_t i = 0; i < n; ++i) {
        phase += 0.05 + 0.03 * ((i / 4096) % 5);
        const double v = 100 * std::sin(phase) * (1.0 - static_cast<double>(i % 8192) / 9000);
        b[i] =
            static_cast<std::uint8_t>(128 + static_cast<int>(v) + static_cast<int>(random() % 7));
    }
    return b;
}

Bytes Noise(std::size_t n, std::uint32_t seed) {
    std::mt19937 random(seed);
    Bytes b(n);
    for (auto& x : b) {
        x = static_cast<std::uint8_t>(random());
    }
    return b;
}

Bytes Words(std::size_t n, std::uint32_t seed) {
    static const char* words[] = {"wyvern ", "tavern ", "song ", "the ", "dungeon ", "a ", "\n"};
    std::mt19937 random(seed);
    Bytes b;
    while (b.size() < n) {
        const char* w = words[random() % 7];
        b.insert(b.end(), w, w + std::strlen(w));
    }
    b.resize(n);
    return b;
}

Bytes Runs(std::size_t n) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) {
        b[i] = static_cast<std::uint8_t>((i / 700) * 13);
    }
    return b;
}

TEST(RoundTripTest, EveryDictionaryAndKindOfData) {
    const std::size_t sizes[] = {0, 1, 2, 3, 100, 1535, 1536, 3071, 3072, 5000, 40000};
    int streams = 0;
    for (unsigned dict : {1024u, 2048u, 4096u}) {
        for (std::size_t size : sizes) {
            for (int kind = 0; kind < 4; ++kind) {
                const auto seed = static_cast<std::uint32_t>(size * 4 + kind + dict);
                const Bytes data = kind == 0   ? Samples(size, seed)
                                   : kind == 1 ? Noise(size, seed)
                                   : kind == 2 ? Words(size, seed)
                                               : Runs(size);
                Bytes stream = dcl::Implode(data, dict);
                ASSERT_GE(stream.size(), 2u);
                ASSERT_EQ(stream[1], dict == 1024 ? 4 : dict == 2048 ? 5 : 6);
                const std::size_t length = stream.size();
                // What follows the stream must be where the stream leaves off.
                stream.push_back(0xA5);
                const Outcome f = DecodeFile(stream, 1 << 20);
                ASSERT_EQ(f.output, data)
                    << "dict " << dict << " size " << size << " kind " << kind;
                EXPECT_EQ(f.position, static_cast<long>(length));
                EXPECT_EQ(f.nextByte, 0xA5);
                const Outcome p = DecodePipe(stream, 1 << 20);
                ASSERT_EQ(p.output, data);
                EXPECT_EQ(p.nextByte, 0xA5);
                ++streams;
            }
        }
    }
    EXPECT_EQ(streams, 3 * 11 * 4);
}

TEST(RoundTripTest, SizesAroundTheBlockLimit) {
    constexpr std::size_t kLimit = 1048576;
    for (std::size_t size : {kLimit - 1, kLimit, kLimit + 1, kLimit + 600}) {
        const Bytes data = Samples(size, static_cast<std::uint32_t>(size));
        Bytes stream = dcl::Implode(data, 4096);
        const std::size_t length = stream.size();
        stream.push_back(0xA5);
        const Outcome f = DecodeFile(stream, kLimit);
        ASSERT_EQ(f.output.size(), std::min(size, kLimit));
        EXPECT_TRUE(std::equal(f.output.begin(), f.output.end(), data.begin())) << size;
        if (size < kLimit) {
            EXPECT_EQ(f.position, static_cast<long>(length));
        } else {
            // Stopped at the limit: the end marker (and more) is left unread.
            EXPECT_LT(f.position, static_cast<long>(length));
        }
        // The bit-by-bit path stops at the same byte.
        const Outcome p = DecodePipe(stream, kLimit);
        EXPECT_EQ(p.output, f.output);
        EXPECT_EQ(p.nextByte, f.nextByte) << size;
    }
}

TEST(RoundTripTest, EveryCutOfAStreamDecodesAPrefix) {
    // However the input ends, the output is a prefix of the whole, the limit holds, and the
    // buffered path agrees with the bit-by-bit one.
    const Bytes data = Words(3000, 7);
    const Bytes stream = dcl::Implode(data, 1024);
    for (std::size_t cut = 2; cut < stream.size(); cut += 3) {
        const Bytes part(stream.begin(), stream.begin() + static_cast<long>(cut));
        const Outcome f = DecodeFile(part, 2000);
        ASSERT_LE(f.output.size(), 2000u);
        ASSERT_TRUE(std::equal(f.output.begin(), f.output.end(), data.begin())) << cut;
        if (f.output.size() < 2000) {
            EXPECT_EQ(f.position, static_cast<long>(cut)); // ran out: everything was read
        }
        EXPECT_EQ(DecodePipe(part, 2000).output, f.output) << cut;
    }
}

TEST(RoundTripTest, StormLibAgreesOnItsOwnStreams) {
    // Guards the helper the benchmark compares against.
    const Bytes data = Samples(70000, 3);
    const Bytes stream = dcl::Implode(data, 4096);
    Bytes out(data.size() + 16);
    const std::int64_t n = dcl::Explode(stream.data(), stream.size(), out.data(), out.size());
    ASSERT_EQ(n, static_cast<std::int64_t>(data.size()));
    out.resize(data.size());
    EXPECT_EQ(out, data);
}

} // namespace
