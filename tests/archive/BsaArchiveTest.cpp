// Both directory kinds, file names in any case, and hostile files: indexes outside the directory,
// archives cut at every length, counts and sizes at their extremes. Nothing is read outside a
// record or the file, and nothing allocated beyond the file.
#include "archive/BsaArchive.h"

#include "TestSupport.h"
#include "io/ByteCursor.h"

namespace sv::test {
namespace {

class BsaArchiveTest : public ::testing::Test {
protected:
    ScratchDir dir;
    BsaArchive a;

    bool Open(const std::string& name, const Bytes& bytes) {
        WriteFile(dir.File(name), bytes);
        return a.Open(dir.Path(), name, true);
    }
    std::string Name(int i) const {
        std::string n;
        EXPECT_TRUE(a.RecordName(i, 16, n));
        return n;
    }
    Bytes Read(int i, std::uint32_t capacity, std::size_t buffer) {
        Bytes b(buffer, 0xEE);
        EXPECT_TRUE(a.ReadRecord(i, b.data(), capacity));
        return b;
    }
};

// A 14-byte name has no NUL, and the size after it must not leak into it; any type but 0x0100 is
// a number directory, named in signed decimal.
TEST_F(BsaArchiveTest, NamesAndRecordsOfBothDirectoryKinds) {
    ASSERT_TRUE(Open("midi.bsa",
                     MakeBsa({{"A.HMI", 0, Filled(10, 0x10)}, {"ABCDEFGHIJKLMN", 0, {9}}}, true)));
    EXPECT_EQ(Name(1), "ABCDEFGHIJKLMN");
    EXPECT_EQ(Read(1, 1, 1), Bytes{9});
    for (std::uint16_t type : {0, 2, 0x0101, 0xFFFF}) {
        Bytes file = MakeBsa({{"", 105, Filled(3, 1)}, {"", 0xFFFFFFFF, Filled(5, 9)}}, false);
        StoreLE16(file.data() + 2, type);
        ASSERT_TRUE(Open("wyvern.snd", file)) << type;
        EXPECT_EQ(Name(0) + Name(1), "105-1");
        EXPECT_EQ(Read(1, 5, 5), Filled(5, 9));
    }
}

// Several names match without regard to case: the exact spelling wins, else the first in byte
// order.
TEST_F(BsaArchiveTest, FileNamesAreFoundWhateverTheirCase) {
    for (const char* file : {"MIDI.BSA", "Midi.Bsa", "midi.bsa"}) {
        WriteFile(dir.File(file), MakeBsa({{file, 0, {}}}, true));
        ASSERT_TRUE(a.Open(dir.Path(), "midi.bsa", true));
        EXPECT_EQ(Name(0), std::string(file) == "Midi.Bsa" ? "MIDI.BSA" : file);
    }
}

// Closed, empty, and after a failed open of an open archive: no index reaches a record.
TEST_F(BsaArchiveTest, IndexOutsideTheDirectoryTouchesNothing) {
    WriteFile(dir.File("a.bsa"), MakeBsa({{"ONE", 0, Filled(4, 1)}}, true));
    WriteFile(dir.File("empty.bsa"), MakeBsa({}, true));
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

TEST_F(BsaArchiveTest, EveryTruncationOfAValidArchiveIsHandled) {
    const Bytes full = MakeBsa({{"A.HMI", 0, Filled(7, 1)}, {"B.HMI", 0, Filled(9, 50)}}, true);
    for (std::size_t n = 0; n <= full.size(); ++n) {
        // Unread header bytes count as 0: below 4 bytes the count is 2 or 0 with 8-byte number
        // entries; from 4 bytes on, two name entries need 36 bytes (they may overlap the header).
        ASSERT_EQ(Open("cut.bsa", Bytes(full.begin(), full.begin() + static_cast<long>(n))),
                  n == 0 || n >= 36)
            << n;
        for (int i = 0; i < a.RecordCount(); ++i) {
            // A cut directory yields arbitrary sizes; only records inside the file get a buffer.
            const std::uint32_t size = a.RecordWithinFile(i) ? a.RecordSize(i) : 4;
            EXPECT_EQ(Read(i, size, size + 1).back(), 0xEE) << "read past the record at " << n;
        }
    }
}

TEST_F(BsaArchiveTest, ExtremeCountsAndSizesNeverAllocateBeyondTheFile) {
    EXPECT_FALSE(Open("max.bsa", {0xFF, 0x7F, 0x00, 0x01})); // 32767 records in 4 bytes
    // Sizes that sum past 4 GiB: no record lies inside the file, and a size of 2^31 or more is
    // negative as a signed count, so nothing is read.
    Bytes file = MakeBsa(std::vector<Record>(3, {"", 1, {}}), false);
    for (std::size_t at = 8; at < file.size(); at += 8) {
        StoreLE32(file.data() + at, 0xFFFFFFF0u);
    }
    ASSERT_TRUE(Open("sizes.snd", file));
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(a.RecordWithinFile(i));
        EXPECT_EQ(Read(i, 4, 4), Bytes(4, 0xEE));
    }
}

} // namespace
} // namespace sv::test
