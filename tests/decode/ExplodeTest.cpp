// The decoder on the header checks and their lines, and an independent encoder's
// streams, whole, cut and replaced by noise, through both the read-ahead and the bit-by-bit path:
// what it writes and where the stream stands afterwards.
#include "decode/Explode.h"

#include "ExplodeSupport.h"

#include <cstdio>
#include <memory>

namespace sv::test {
namespace {

using File = std::unique_ptr<std::FILE, decltype([](std::FILE* f) { std::fclose(f); })>;

// A seekable stream holding the bytes, positioned at their start.
File TempStream(const Bytes& bytes) {
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

Outcome DecodeStream(std::FILE* f, std::uint32_t limit) {
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

Outcome DecodeFile(const Bytes& bytes, std::uint32_t limit) {
    return DecodeStream(TempStream(bytes).get(), limit);
}

// A stream that cannot seek, as a pipe: the decoder reads it bit by bit throughout.
Outcome DecodePipe(const Bytes& bytes, std::uint32_t limit) {
    struct Source {
        const Bytes& bytes;
        std::size_t at = 0;
    } source{bytes};
    cookie_io_functions_t io{};
    io.read = [](void* cookie, char* buffer, std::size_t size) -> ssize_t {
        Source& s = *static_cast<Source*>(cookie);
        size = std::min(size, s.bytes.size() - s.at);
        std::copy_n(s.bytes.begin() + static_cast<std::ptrdiff_t>(s.at), size, buffer);
        s.at += size;
        return static_cast<ssize_t>(size);
    };
    return DecodeStream(File(fopencookie(&source, "rb", io)).get(), limit);
}

// A refused stream decodes nothing. Cut headers keep the end-of-input flag in the 32-bit value,
// which fails the checks.
TEST(ExplodeTest, HeaderChecksPrintTheModeThenTheMessage) {
    const std::string zero = "Literal setting: 0\n";
    const std::string second = "Error: Bad second header byte.\n";
    const std::pair<Bytes, std::vector<std::string>> cases[] = {
        {{0x00, 0x07}, {zero, second}},
        {{0x00, 0x03}, {zero, second}},
        {{0x01, 0x04},
         {"Literal setting: 1\n", "Error: Variable-length literals are not supported.\n"}},
        {{0xFF, 0x04}, {"Literal setting: 255\n", "Error: Bad header.\n"}},
        {{}, {"Literal setting: -2147483648\n", "Error: Bad header.\n"}},
        {{0x00}, {zero, second}},
    };
    for (const auto& [stream, lines] : cases) {
        const Outcome o = DecodeFile(stream, 16);
        EXPECT_EQ(o.lines, lines);
        EXPECT_TRUE(o.output.empty());
    }
}

// The stream stands after the end marker, where the next block begins, or inside it when the
// limit stopped decoding; small sizes end the stream at every bit alignment.
TEST(ExplodeTest, IndependentEncoderStreamsDecodeUpToTheBlockLimit) {
    constexpr std::size_t kLimit = 1048576;
    for (unsigned dict : {1024u, 2048u, 4096u}) {
        for (std::size_t size : {0ul, 1ul, 2ul, 3ul, 4ul, 5ul, 6ul, 7ul, 9ul, 13ul, 100ul, 1536ul,
                                 3072ul, 40000ul, kLimit - 1, kLimit, kLimit + 600}) {
            const Bytes data = Mixed(size, static_cast<std::uint32_t>(size + dict));
            Bytes stream = dcl::Implode(data, dict);
            ASSERT_EQ(stream.at(1), dict == 1024 ? 4 : dict == 2048 ? 5 : 6);
            stream.insert(stream.end(), {0xC3, 0x99});
            const Bytes expected(data.begin(), data.begin() + std::min(size, kLimit));
            const Outcome f = DecodeFile(stream, kLimit);
            const Outcome p = DecodePipe(stream, kLimit);
            ASSERT_EQ(f.output, expected) << "dict " << dict << " size " << size;
            ASSERT_EQ(p.output, expected);
            EXPECT_EQ(f.nextByte == 0xC3, size < kLimit) << size;
            EXPECT_EQ(f.position + 2 == static_cast<long>(stream.size()), size < kLimit) << size;
            EXPECT_EQ(p.nextByte, f.nextByte);
            EXPECT_EQ(DecodeFile(stream, 0).position, 2); // a limit of 0 reads no token
        }
    }
}

// Decoding in pieces of any byte count gives the bytes of one call: each call keeps the window for
// the next, and a match cut by the count is finished by the next call.
TEST(ExplodeTest, PiecesOfAnySizeJoinToTheWholeStream) {
    for (unsigned dict : {1024u, 4096u}) {
        const Bytes data = Mixed(20000, dict);
        const Bytes stream = dcl::Implode(data, dict);
        for (const std::size_t step : {1ul, 7ul, 250ul, 5000ul}) {
            File f = TempStream(stream);
            tcBitstream reader(f.get());
            Exploder exploder(&reader);
            Bytes joined;
            Bytes piece(step);
            while (joined.size() < data.size()) {
                std::uint32_t count = 0;
                exploder.Decode(piece.data(), count, static_cast<std::uint32_t>(step));
                ASSERT_GT(count, 0u) << dict << " " << step;
                joined.insert(joined.end(), piece.begin(), piece.begin() + count);
            }
            EXPECT_EQ(joined, data) << dict << " " << step;
        }
    }
}

TEST(ExplodeTest, CutAndArbitraryStreamsDecodeAlikeOnBothPaths) {
    const Bytes data = Mixed(3000, 7);
    const Bytes stream = dcl::Implode(data, 1024);
    std::mt19937 random(2024);
    for (std::size_t cut = 2; cut < stream.size(); cut += 3) {
        // A cut stream decodes a prefix of its data; having run out, it has read everything.
        const Bytes part(stream.begin(), stream.begin() + static_cast<long>(cut));
        const Outcome f = DecodeFile(part, 2000);
        ASSERT_TRUE(std::equal(f.output.begin(), f.output.end(), data.begin())) << cut;
        if (f.output.size() < 2000) {
            EXPECT_EQ(f.position, static_cast<long>(cut));
        }
        EXPECT_EQ(DecodePipe(part, 2000).output, f.output) << cut;

        Bytes noise{0x00, static_cast<std::uint8_t>(4 + cut % 3)};
        for (std::size_t k = random() % 3000; k > 0; --k) {
            noise.push_back(static_cast<std::uint8_t>(random()));
        }
        const std::uint32_t limit = cut % 4 == 2 ? 1 + random() % 5000 : 1 << 20;
        const Outcome a = DecodeFile(noise, limit);
        const Outcome b = DecodePipe(noise, limit);
        ASSERT_LE(a.output.size(), limit);
        ASSERT_EQ(a.output, b.output) << cut;
        ASSERT_EQ(a.nextByte, b.nextByte) << cut;
    }
}

} // namespace
} // namespace sv::test
