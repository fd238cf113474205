// The byte cursor's bounds, MIDI variable-length numbers, and names made safe for a folder.
#include "io/VarLen.h"

#include "TestSupport.h"
#include "io/ByteCursor.h"
#include "io/Paths.h"

namespace sv::test {
namespace {

TEST(ByteCursor, FailsWithoutMovingAtTheEnd) {
    const Bytes data = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07};
    ByteCursor in(data);
    EXPECT_EQ(in.U16BE(), 0x0102u);
    EXPECT_EQ(in.U32(), 0x06050403u);
    EXPECT_EQ(in.U16BE(), 0u); // one byte left: nothing consumed, cursor failed for good
    EXPECT_EQ(in.Position(), 6u);
    EXPECT_TRUE(in.Failed());
    EXPECT_EQ(in.Remaining(), 0u);
    EXPECT_EQ(in.U8(), 0u);
    EXPECT_TRUE(ByteCursor(data, 8).Failed()); // starting past the end
}

TEST(VarLen, WriteStopsAtFourBytesAppendDoesNotAndBothReadBack) {
    // Writing drops the bits above 27 from 0x10000000 up; appending keeps them in a fifth byte.
    const struct {
        std::uint32_t value;
        Bytes written, appended;
    } cases[] = {
        {0, {0x00}, {0x00}},
        {0x7F, {0x7F}, {0x7F}},
        {0x80, {0x81, 0x00}, {0x81, 0x00}},
        {0x3FFF, {0xFF, 0x7F}, {0xFF, 0x7F}},
        {0x200000, {0x81, 0x80, 0x80, 0x00}, {0x81, 0x80, 0x80, 0x00}},
        {0x0FFFFFFF, {0xFF, 0xFF, 0xFF, 0x7F}, {0xFF, 0xFF, 0xFF, 0x7F}},
        {0x10000000, {0x80, 0x80, 0x80, 0x00}, {0x81, 0x80, 0x80, 0x80, 0x00}},
        {0xFFFFFFFF, {0xFF, 0xFF, 0xFF, 0x7F}, {0x8F, 0xFF, 0xFF, 0xFF, 0x7F}},
    };
    for (const auto& c : cases) {
        std::uint8_t out[8] = {};
        EXPECT_EQ(Bytes(out, out + WriteVarLen(out, c.value)), c.written) << c.value;
        Bytes appended;
        AppendVarLen(appended, c.value);
        EXPECT_EQ(appended, c.appended) << c.value;
        std::uint32_t back = 0;
        ByteCursor limited(appended);
        EXPECT_EQ(ReadVarLen(limited, back, 4), appended.size() <= 4) << c.value;
        ByteCursor any(appended);
        EXPECT_TRUE(ReadVarLen(any, back));
        EXPECT_EQ(back, c.value);
        EXPECT_EQ(any.Remaining(), 0u);
    }
    // Reading has no length limit (the converter's test reads six bytes); a quantity that the end
    // cuts is refused, the position left alone.
    std::size_t pos = 1;
    std::uint32_t v = 0;
    EXPECT_FALSE(ReadVarLen(Bytes{0x00, 0x80, 0x81}, pos, v));
    EXPECT_EQ(pos, 1u);
}

TEST(SafeName, KeepsOrdinaryNamesAndReplacesWhatCouldLeaveTheFolder) {
    const std::pair<std::string, std::string> cases[] = {
        {"TAVERN.HMI", "TAVERN.HMI"},   {"...x", "...x"}, {"../x", ".._x"}, {"a\\b:c/d", "a_b_c_d"},
        {"a\x01\x1f\x7f", "a___"},      {"", "_"},        {".", "_"},       {"..", "_"},
        {"caf\xc3\xa9", "caf\xc3\xa9"},
    };
    for (const auto& [name, safe] : cases) {
        EXPECT_EQ(sv::SafeName(name), safe) << name;
    }
}

} // namespace
} // namespace sv::test
