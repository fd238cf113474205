#include "archive/BsaArchive.h"

#include "TestSupport.h"
#include "io/ByteCursor.h"

namespace sv::test {

namespace {

class BsaArchiveTest : public ::testing::Test {
protected:
    ScratchDir dir;

    void Write(const std::string& name, const Bytes& bytes) { WriteFile(dir.File(name), bytes); }
    static std::string Name(const BsaArchive& a, int i, int capacity = 16) {
        std::string n;
        EXPECT_TRUE(a.RecordName(i, capacity, n));
        return n;
    }
    static Bytes Read(BsaArchive& a, int i, std::uint32_t capacity, std::size_t buffer) {
        Bytes b(buffer, 0xEE);
        EXPECT_TRUE(a.ReadRecord(i, b.data(), capacity));
        return b;
    }
};

// A 14-byte name has no NUL, and the size after it must not leak into it; any type but 0x0100 is
// a number directory, named in signed decimal; a capacity cuts names and reads.
TEST_F(BsaArchiveTest, NamesAndRecordsOfBothDirectoryKinds) {
    Write("midi.bsa", MakeBsa({{"A.HMI", 0, Filled(10, 0x10)}, {"ABCDEFGHIJKLMN", 0, {9}}}, true));
    BsaArchive a;
    ASSERT_TRUE(a.Open(dir.Path(), "midi.bsa", true));
    EXPECT_EQ(Name(a, 1), "ABCDEFGHIJKLMN");
    EXPECT_EQ(Name(a, 1, 4), "ABCD");
    EXPECT_EQ(Read(a, 1, 1, 1), Bytes{9});
    EXPECT_EQ(Read(a, 0, 3, 4), Bytes({0x10, 0x11, 0x12, 0xEE}));
    for (std::uint16_t type : {0, 2, 0x0101, 0xFFFF}) {
        Bytes file = MakeBsa({{"", 105, Filled(3, 1)}, {"", 0xFFFFFFFF, Filled(5, 9)}}, false);
        StoreLE16(file.data() + 2, type);
        Write("wyvern.snd", file);
        ASSERT_TRUE(a.Open(dir.Path(), "wyvern.snd", true)) << type;
        EXPECT_EQ(Name(a, 0) + Name(a, 1) + Name(a, 1, 1), "105-1-");
        EXPECT_EQ(Read(a, 1, 5, 5), Filled(5, 9));
    }
}

// Closed, empty, and after a failed open of an open archive: no index reaches a record.
TEST_F(BsaArchiveTest, IndexOutsideTheDirectoryTouchesNothing) {
    Write("a.bsa", MakeBsa({{"ONE", 0, Filled(4, 1)}}, true));
    Write("empty.bsa", MakeBsa({}, true));
    BsaArchive a;
    std::string name = "untouched";
    Bytes buffer(4, 0xEE);
    for (const std::string open : {"", "empty.bsa", "a.bsa", "missing.bsa"}) {
        EXPECT_EQ(open.empty() || a.Open(dir.Path(), open, true), open[0] != 'm') << open;
        for (int index : {-1, open == "a.bsa" ? 1 : 0, 1000}) {
            EXPECT_EQ(a.RecordSize(index), 0u);
            EXPECT_FALSE(a.RecordName(index, 16, name));
            EXPECT_FALSE(a.ReadRecord(index, buffer.data(), 4));
        }
    }
    EXPECT_FALSE(a.IsOpen());
    EXPECT_EQ(name, "untouched");
    EXPECT_EQ(buffer, Bytes(4, 0xEE));
}

// Several names match without regard to case: the exact spelling wins, else the first in byte
// order.
TEST_F(BsaArchiveTest, FileNamesAreFoundWhateverTheirCase) {
    BsaArchive a;
    for (const char* file : {"MIDI.BSA", "Midi.Bsa", "midi.bsa"}) {
        Write(file, MakeBsa({{file, 0, {}}}, true));
        ASSERT_TRUE(a.Open(dir.Path(), "midi.bsa", true));
        EXPECT_EQ(Name(a, 0), std::string(file) == "Midi.Bsa" ? "MIDI.BSA" : file);
    }
}

} // namespace

} // namespace sv::test
