// The decoder on hand-made streams (header checks and their lines, the window, the bit reader,
// where the stream stands afterwards) and on an independent encoder's streams, through both the
// read-ahead and the bit-by-bit path.
#include "ExplodeSupport.h"

namespace sv::test {

namespace {

std::string Text(const Bytes& b) {
    return std::string(b.begin(), b.end());
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

TEST(ExplodeTest, BitReaderFetchesOnGetZeroAndRefusesMoreThan31Bits) {
    File f = TempStream({0xB5, 0x3C});
    tcBitstream bits(f.get());
    EXPECT_EQ(bits.Get(0), 0u); // still fetches a byte
    EXPECT_EQ(std::ftell(f.get()), 1);
    EXPECT_EQ(bits.Get(3), 0x5u);
    EXPECT_EQ(bits.Get(0), 0u); // bits are buffered: nothing fetched
    EXPECT_EQ(std::ftell(f.get()), 1);
    EXPECT_EQ(bits.Fatal(), ExplodeStatus::kOk);
    EXPECT_EQ(bits.Get(32), tcBitstream::kEndOfInput);
    EXPECT_EQ(bits.Fatal(), ExplodeStatus::kGetCountExceeded);
}

TEST(ExplodeTest, StreamStandsAfterTheLastByteReadForEveryBitAlignment) {
    // After the end marker the next block must come next. Without one the input ends at a flag
    // bit or inside a token, and the cut token yields nothing.
    for (int n = 0; n < 24; ++n) {
        BitWriter w(5);
        std::string text;
        for (int i = 0; i < n; ++i) {
            text += static_cast<char>('a' + i);
            w.Literal(static_cast<std::uint8_t>(text.back()));
        }
        const Bytes cut = w.Data();
        Bytes ended = w.End().Data();
        ended.insert(ended.end(), {0xC3, 0x99});
        EXPECT_EQ(DecodeFile(ended, 1000).position, static_cast<long>(ended.size()) - 2) << n;
        EXPECT_EQ(DecodeFile(ended, 0).position, 2) << n; // a limit of 0 reads no token
        for (const auto& [stream, next] : {std::pair(ended, 0xC3), std::pair(cut, -1)}) {
            for (const Outcome& o : {DecodeFile(stream, 1000), DecodePipe(stream, 1000)}) {
                EXPECT_EQ(Text(o.output), text);
                EXPECT_EQ(o.nextByte, next) << n;
            }
        }
    }
}

TEST(ExplodeTest, IndependentEncoderStreamsDecodeUpToTheBlockLimit) {
    constexpr std::size_t kLimit = 1048576;
    for (unsigned dict : {1024u, 2048u, 4096u}) {
        for (std::size_t size : {0ul, 1ul, 2ul, 3ul, 100ul, 1536ul, 3072ul, 5000ul, 40000ul,
                                 kLimit - 1, kLimit, kLimit + 600}) {
            const Bytes data = Mixed(size, static_cast<std::uint32_t>(size + dict));
            Bytes stream = dcl::Implode(data, dict);
            ASSERT_EQ(stream.at(1), dict == 1024 ? 4 : dict == 2048 ? 5 : 6);
            stream.push_back(0xA5);
            const Bytes expected(data.begin(), data.begin() + std::min(size, kLimit));
            const Outcome f = DecodeFile(stream, kLimit);
            const Outcome p = DecodePipe(stream, kLimit);
            ASSERT_EQ(f.output, expected) << "dict " << dict << " size " << size;
            ASSERT_EQ(p.output, expected);
            // The stream stands after its end marker, or inside it when the limit stopped it.
            EXPECT_EQ(f.position + 1 == static_cast<long>(stream.size()), size < kLimit) << size;
            EXPECT_EQ(p.nextByte, f.nextByte);
        }
    }
}

// Each call keeps the window for the next, whose matches reach back into it, and the kept bytes
// wrap around the circular window at many offsets. Calls end at a token's end or, cut by a byte
// count, inside a match, which the next call finishes. Ahead of the output lies the zeroed window;
// matches copy byte by byte, so they overlap.
TEST(ExplodeTest, MatchesReachTheWholeWindowAndIntoTheOutputOfEarlierCalls) {
    for (std::uint8_t dict : {4, 5, 6}) {
        const std::uint32_t window = 64u << dict;
        std::mt19937 random(dict);
        BitWriter w(dict);
        Bytes model(window, 0);
        std::vector<std::size_t> ends; // the output's length after each token
        const auto literal = [&] {
            const auto b = static_cast<std::uint8_t>(random());
            w.Literal(b);
            model.push_back(b);
            ends.push_back(model.size() - window);
        };
        const auto match = [&](std::uint32_t length, std::uint32_t distance) {
            w.Match(length, distance);
            for (std::uint32_t i = 0; i < length; ++i) {
                model.push_back(model[model.size() - distance - 1]);
            }
            ends.push_back(model.size() - window);
        };
        literal();
        match(135, window - 1); // reaches back before the first byte
        match(518, 0);
        for (std::uint32_t i = 0; i < window + 100; ++i) {
            literal();
        }
        match(3, window - 1); // distance + 1 = window size: the oldest byte
        for (std::uint32_t high = 0; high < 64; ++high) {
            match(4, (high << dict) | (high * 5 % (1u << dict)));
        }
        for (int t = 0; t < 400; ++t) {
            const std::uint32_t kind = random() % 3;
            if (kind == 0) {
                literal();
            } else if (kind == 1) {
                match(2, random() % 256); // length 2 takes 2 low distance bits
            } else {
                match(3 + random() % 516, random() % window);
            }
        }
        w.End();
        const Bytes expected(model.begin() + window, model.end());
        // Positive: tokens per call; negative: bytes per call, wherever they end.
        for (const int per : {1, 5, 40, 700, -1, -7, -250, -5000}) {
            File f = TempStream(w.Data());
            tcBitstream reader(f.get());
            Exploder exploder(&reader);
            Bytes joined;
            Bytes piece(expected.size());
            const auto step = static_cast<std::size_t>(per < 0 ? -per : per);
            for (std::size_t call = 1; joined.size() < expected.size(); ++call) {
                const std::size_t end = per < 0 ? std::min(joined.size() + step, expected.size())
                                                : ends[std::min(call * step, ends.size()) - 1];
                std::uint32_t count = 0;
                exploder.Decode(piece.data(), count,
                                static_cast<std::uint32_t>(end - joined.size()));
                ASSERT_EQ(count, end - joined.size()) << int(dict) << " " << per;
                joined.insert(joined.end(), piece.begin(), piece.begin() + count);
            }
            EXPECT_EQ(joined, expected) << int(dict) << " " << per;
        }
        EXPECT_EQ(DecodePipe(w.Data(), 1 << 20).output, expected) << int(dict);
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
