// The byte cursor's bounds and byte orders, and MIDI variable-length numbers.
#include "io/VarLen.h"

#include "TestSupport.h"
#include "io/ByteCursor.h"

namespace sv::test {
namespace {

TEST(ByteCursor, ReadsBothByteOrdersAndFailsWithoutMovingAtTheEnd) {
    const Bytes data = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07};
    ByteCursor in(data);
    EXPECT_EQ(in.U16BE(), 0x0102u);
    EXPECT_EQ(in.U32(), 0x06050403u);
    EXPECT_EQ(in.Position(), 6u);
    EXPECT_EQ(in.U16BE(), 0u); // one byte left: nothing consumed, cursor failed for good
    EXPECT_TRUE(in.Failed());
    EXPECT_EQ(in.Remaining(), 0u);
    EXPECT_EQ(in.U8(), 0u);

    ByteCursor be(data, 3);
    EXPECT_EQ(be.U32BE(), 0x04050607u);
    EXPECT_FALSE(be.Failed());
    EXPECT_TRUE(ByteCursor(data, 8).Failed()); // starting past the end

    std::uint8_t out[4];
    StoreBE32(out, 0x0A0B0C0D);
    EXPECT_EQ(Bytes(out, out + 4), (Bytes{0x0A, 0x0B, 0x0C, 0x0D}));
    StoreBE16(out, 0x1234);
    StoreLE16(out + 2, 0x1234);
    EXPECT_EQ(Bytes(out, out + 4), (Bytes{0x12, 0x34, 0x34, 0x12}));
}

TEST(VarLen, WritesAtMostFourBytesAndReadsAnyLength) {
    // 0x10000000 and up still take four bytes, the bits above 27 dropped.
    const std::pair<std::uint32_t, Bytes> cases[] = {{0, {0x00}},
                                                     {0x7F, {0x7F}},
                                                     {0x80, {0x81, 0x00}},
                                                     {0x3FFF, {0xFF, 0x7F}},
                                                     {0x4000, {0x81, 0x80, 0x00}},
                                                     {0x1FFFFF, {0xFF, 0xFF, 0x7F}},
                                                     {0x200000, {0x81, 0x80, 0x80, 0x00}},
                                                     {0x0FFFFFFF, {0xFF, 0xFF, 0xFF, 0x7F}},
                                                     {0x10000000, {0x80, 0x80, 0x80, 0x00}},
                                                     {0xFFFFFFFF, {0xFF, 0xFF, 0xFF, 0x7F}}};
    for (const auto& [value, expected] : cases) {
        std::uint8_t out[8] = {};
        EXPECT_EQ(Bytes(out, out + WriteVarLen(out, value)), expected) << value;
    }
    // Reading has no length limit; groups shifted out of 32 bits are lost.
    const Bytes data = {0x80, 0x80, 0x80, 0x80, 0x81, 0x00, 0xFF,
                        0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0x80};
    std::size_t pos = 0;
    std::uint32_t v = 0;
    ASSERT_TRUE(ReadVarLen(data, pos, v));
    EXPECT_EQ(std::pair(v, pos), std::pair(0x80u, std::size_t{6}));
    ASSERT_TRUE(ReadVarLen(data, pos, v));
    EXPECT_EQ(std::pair(v, pos), std::pair(0xFFFFFFFFu, std::size_t{12}));
    EXPECT_FALSE(ReadVarLen(data, pos, v)); // ends inside the quantity
    EXPECT_EQ(pos, 12u);
}

TEST(VarLen, AppendHasNoLimitAndCursorReadsHonourOne) {
    const std::pair<std::uint32_t, Bytes> cases[] = {{0, {0x00}},
                                                     {0x80, {0x81, 0x00}},
                                                     {0x0FFFFFFF, {0xFF, 0xFF, 0xFF, 0x7F}},
                                                     {0x10000000, {0x81, 0x80, 0x80, 0x80, 0x00}},
                                                     {0xFFFFFFFF, {0x8F, 0xFF, 0xFF, 0xFF, 0x7F}}};
    for (const auto& [value, expected] : cases) {
        Bytes out;
        AppendVarLen(out, value);
        EXPECT_EQ(out, expected) << value;
        ByteCursor in(out);
        std::uint32_t back = 0;
        EXPECT_EQ(ReadVarLen(in, back, 4), out.size() <= 4) << value;
        if (out.size() <= 4) {
            EXPECT_EQ(back, value);
            EXPECT_EQ(in.Remaining(), 0u);
        }
        ByteCursor any(out);
        EXPECT_TRUE(ReadVarLen(any, back));
        EXPECT_EQ(back, value);
    }
    const Bytes cut = {0x81, 0x80};
    ByteCursor in(cut);
    std::uint32_t v = 0;
    EXPECT_FALSE(ReadVarLen(in, v));
    EXPECT_TRUE(in.Failed());
}

} // namespace
} // namespace sv::test
