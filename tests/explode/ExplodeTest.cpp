// The decoder on hand-made streams: the worked examples, the header checks and their lines, the
// limit, the window, the bit reader, and where the stream stands afterwards.
#include "ExplodeSupport.h"

#include <random>

using namespace explode_support;
using testing_support::Bytes;

namespace {

std::string Text(const Bytes& b) {
    return std::string(b.begin(), b.end());
}

TEST(ExplodeTest, WorkedExamples) {
    const Outcome a = DecodeFile({0x00, 0x04, 0x82, 0x24, 0x25, 0x8F, 0x80, 0x7F}, 1048576);
    EXPECT_EQ(a.status, ExplodeStatus::kOk);
    EXPECT_EQ(Text(a.output), "AIAIAIAIAIAIA");
    EXPECT_EQ(a.lines, std::vector<std::string>{"Literal setting: 0\n"});
    EXPECT_EQ(a.position, 8);

    const Outcome b = DecodeFile({0x00, 0x04, 0x82, 0x02, 0xFE, 0x01}, 1048576);
    EXPECT_EQ(Text(b.output), "A");
    EXPECT_EQ(b.position, 6);
}

TEST(ExplodeTest, HeaderChecksPrintTheModeThenTheMessage) {
    struct Case {
        Bytes stream;
        ExplodeStatus status;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {{0x00, 0x07},
         ExplodeStatus::kBadSecondHeaderByte,
         {"Literal setting: 0\n", "Error: Bad second header byte.\n"}},
        {{0x00, 0x03, 0x00},
         ExplodeStatus::kBadSecondHeaderByte,
         {"Literal setting: 0\n", "Error: Bad second header byte.\n"}},
        {{0x01, 0x04},
         ExplodeStatus::kVariableLengthLiterals,
         {"Literal setting: 1\n", "Error: Variable-length literals are not supported.\n"}},
        {{0xFF, 0x04},
         ExplodeStatus::kBadHeader,
         {"Literal setting: 255\n", "Error: Bad header.\n"}},
        // Cut headers: the end-of-input flag stays in the 32-bit value and fails the checks.
        {{}, ExplodeStatus::kBadHeader, {"Literal setting: -2147483648\n", "Error: Bad header.\n"}},
        {{0x00},
         ExplodeStatus::kBadSecondHeaderByte,
         {"Literal setting: 0\n", "Error: Bad second header byte.\n"}},
    };
    for (const Case& c : cases) {
        const Outcome o = DecodeFile(c.stream, 16);
        EXPECT_EQ(o.status, c.status);
        EXPECT_EQ(o.lines, c.lines);
        EXPECT_TRUE(o.output.empty()); // a refused stream decodes nothing
    }
    EXPECT_EQ(FatalMessage(ExplodeStatus::kOk), "");
    EXPECT_EQ(FatalMessage(ExplodeStatus::kGetCountExceeded),
              "Error: tcBitstream Get() count exceeded 31 bits.\n");
    EXPECT_EQ(FatalMessage(ExplodeStatus::kStuckInBitLoop),
              "Error: Stuck in bit extraction loop.\n");
}

TEST(ExplodeTest, DictionaryBitsSetTheWindow) {
    for (std::uint8_t bits : {4, 5, 6}) {
        File f = TempStream({0x00, bits});
        tcBitstream reader(f.get());
        Exploder exploder(&reader);
        EXPECT_EQ(exploder.Status(), ExplodeStatus::kOk);
        EXPECT_EQ(exploder.DictionaryBits(), bits);
        EXPECT_EQ(exploder.WindowSize(), 64u << bits);
        EXPECT_EQ(exploder.WritePosition(), 0u);
    }
}

TEST(ExplodeTest, LimitStopsInsideAMatchWithoutReadingFurther) {
    BitWriter w(4);
    w.Literal('A').Match(5, 0);
    const std::size_t tokenBytes = (w.BitCount() + 7) / 8;
    w.Literal('B').End();
    const Bytes stream = w.Data();

    const Outcome all = DecodeFile(stream, 100);
    EXPECT_EQ(Text(all.output), "AAAAAAB");

    for (const Outcome& o : {DecodeFile(stream, 3), DecodePipe(stream, 3)}) {
        EXPECT_EQ(Text(o.output), "AAA");
        // The stream stands after the match: the next byte is the one after its last bit.
        EXPECT_EQ(o.nextByte, tokenBytes < stream.size() ? stream[tokenBytes] : -1);
    }
    EXPECT_EQ(DecodeFile(stream, 3).position, static_cast<long>(tokenBytes));
    EXPECT_EQ(Text(DecodeFile(stream, 1).output), "A");
    EXPECT_TRUE(DecodeFile(stream, 0).output.empty());
}

TEST(ExplodeTest, MatchesReachTheWholeWindowAndOverlap) {
    for (std::uint8_t dict : {4, 5, 6}) {
        const std::uint32_t window = 64u << dict;
        BitWriter w(dict);
        Bytes expected;
        for (std::uint32_t i = 0; i < window; ++i) {
            const auto b = static_cast<std::uint8_t>(i * 7 + (i >> 8));
            w.Literal(b);
            expected.push_back(b);
        }
        // distance + 1 = window size: the oldest byte, the one at the write position.
        w.Match(3, window - 1);
        expected.insert(expected.end(), expected.begin(), expected.begin() + 3);
        // A length-2 match takes exactly 2 low bits whatever the dictionary: distance 255 at most.
        w.Match(2, 255);
        const std::size_t from = expected.size() - 256;
        expected.push_back(expected[from]);
        expected.push_back(expected[from + 1]);
        // Overlapping: distance 2, length 10 repeats the last three bytes.
        w.Match(10, 2);
        for (int i = 0; i < 10; ++i) {
            expected.push_back(expected[expected.size() - 3]);
        }
        w.Literal(0x5A).End();
        expected.push_back(0x5A);
        EXPECT_EQ(DecodeFile(w.Data(), 1 << 20).output, expected) << int(dict);
        EXPECT_EQ(DecodePipe(w.Data(), 1 << 20).output, expected) << int(dict);
    }
}

TEST(ExplodeTest, LongestLengthsAndDistances) {
    BitWriter w(6);
    w.Literal('x').Match(518, 0).Literal('y').Match(300, 518).Match(264, 1).Match(135, 4095);
    w.End();
    Bytes expected(1, 'x');
    expected.insert(expected.end(), 518, 'x');
    expected.push_back('y');
    for (int i = 0; i < 300; ++i) {
        expected.push_back(expected[expected.size() - 519]);
    }
    for (int i = 0; i < 264; ++i) {
        expected.push_back(expected[expected.size() - 2]);
    }
    // 4096 back from here lies before the first byte: that part of the window starts as zeros.
    const std::size_t before = expected.size();
    for (int i = 0; i < 135; ++i) {
        const long from = static_cast<long>(before + i) - 4096;
        expected.push_back(from < 0 ? 0 : expected[static_cast<std::size_t>(from)]);
    }
    EXPECT_EQ(DecodeFile(w.Data(), 1 << 20).output, expected);
    EXPECT_EQ(DecodePipe(w.Data(), 1 << 20).output, expected);
}

TEST(ExplodeTest, EndOfInputAtAFlagBitOrInsideAToken) {
    BitWriter w(4);
    w.Literal('a').Literal('b').Literal('c').Literal('d').Literal('e').Literal('f').Literal('g');
    w.Literal('h'); // 8 literals = 72 bits = 9 whole bytes: the next flag bit finds no input
    const Bytes whole = w.Data();
    for (const Outcome& o : {DecodeFile(whole, 100), DecodePipe(whole, 100)}) {
        EXPECT_EQ(o.status, ExplodeStatus::kOk);
        EXPECT_EQ(Text(o.output), "abcdefgh");
        EXPECT_EQ(o.nextByte, -1);
    }
    EXPECT_EQ(DecodeFile(whole, 100).position, static_cast<long>(whole.size()));

    // Cut inside the third literal (bits 18 .. 26): the cut token yields nothing.
    const Bytes cut(whole.begin(), whole.begin() + 2 + 3);
    EXPECT_EQ(Text(DecodeFile(cut, 100).output), "ab");
    EXPECT_EQ(Text(DecodePipe(cut, 100).output), "ab");

    // Cut inside a match's distance.
    BitWriter m(6);
    m.Literal('q').Match(40, 0).End();
    Bytes cutMatch = m.Data();
    cutMatch.resize(cutMatch.size() - 3); // 24 bits: 'q', then the match cut at its distance
    EXPECT_EQ(Text(DecodeFile(cutMatch, 100).output), "q");
}

TEST(ExplodeTest, BitReaderTakesLowBitsFirst) {
    File f = TempStream({0xB5, 0x3C, 0xFF});
    tcBitstream bits(f.get());
    EXPECT_EQ(bits.Get(0), 0u); // still fetches a byte
    EXPECT_EQ(std::ftell(f.get()), 1);
    EXPECT_EQ(bits.Get(3), 0x5u);
    EXPECT_EQ(bits.Get(9), 0x196u); // 5 bits of 0xB5 then 4 of 0x3C
    EXPECT_EQ(bits.Get(0), 0u);     // bits are buffered: nothing fetched
    EXPECT_EQ(std::ftell(f.get()), 2);
    EXPECT_EQ(bits.Get(12), 0xFF3u); // 4 bits of 0x3C, 8 of 0xFF
    EXPECT_EQ(bits.Fatal(), ExplodeStatus::kOk);
    EXPECT_EQ(bits.Get(1), tcBitstream::kEndOfInput);
    EXPECT_EQ(bits.Get(32), tcBitstream::kEndOfInput);
    EXPECT_EQ(bits.Fatal(), ExplodeStatus::kGetCountExceeded);

    File g = TempStream({0xFF, 0xFF, 0xFF, 0xFF});
    tcBitstream all(g.get());
    EXPECT_EQ(all.Get(31), 0x7FFFFFFFu);
    EXPECT_EQ(Exploder::ReverseBits(0b0011, 4), 0b1100u);
    EXPECT_EQ(Exploder::ReverseBits(0b110, 3), 0b011u);
}

TEST(ExplodeTest, StreamStandsAfterTheEndMarkerForEveryBitAlignment) {
    // Streams of n literals and the end marker end at every bit offset; the bytes that follow
    // (the next block, in the container) must come next.
    for (int n = 0; n < 24; ++n) {
        BitWriter w(5);
        for (int i = 0; i < n; ++i) {
            w.Literal(static_cast<std::uint8_t>('a' + i));
        }
        w.End();
        Bytes stream = w.Data();
        const std::size_t length = stream.size();
        stream.push_back(0xC3);
        stream.push_back(0x99);
        const Outcome f = DecodeFile(stream, 1000);
        const Outcome p = DecodePipe(stream, 1000);
        EXPECT_EQ(f.output.size(), static_cast<std::size_t>(n));
        EXPECT_EQ(f.position, static_cast<long>(length)) << n;
        EXPECT_EQ(f.nextByte, 0xC3);
        EXPECT_EQ(p.output, f.output);
        EXPECT_EQ(p.nextByte, 0xC3);
    }
}

TEST(ExplodeTest, ArbitraryBitsDecodeAlikeOnBothPaths) {
    // Random tokens, random limits: the buffered table-driven path and the bit-by-bit one give
    // the same bytes and leave the stream at the same byte.
    std::mt19937 random(2024);
    for (int i = 0; i < 300; ++i) {
        Bytes stream{0x00, static_cast<std::uint8_t>(4 + i % 3)};
        const std::size_t n = 1 + random() % 3000;
        for (std::size_t k = 0; k < n; ++k) {
            stream.push_back(static_cast<std::uint8_t>(random()));
        }
        const std::uint32_t limit = i % 4 == 0 ? 1 + random() % 5000 : 1 << 20;
        const Outcome f = DecodeFile(stream, limit);
        const Outcome p = DecodePipe(stream, limit);
        ASSERT_LE(f.output.size(), limit);
        ASSERT_EQ(f.output, p.output) << i;
        ASSERT_EQ(f.nextByte, p.nextByte) << i;
    }
}

} // namespace
