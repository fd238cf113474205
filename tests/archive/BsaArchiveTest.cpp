#include "archive/BsaArchive.h"

#include "TestSupport.h"

namespace sv::test {

namespace {

class BsaArchiveTest : public ::testing::Test {
protected:
    ScratchDir dir;

    void Write(const std::string& name, const Bytes& bytes) { WriteFile(dir.File(name), bytes); }
    std::string Name(BsaArchive& a, int i, int capacity = 16) {
        std::string n;
        EXPECT_TRUE(a.RecordName(i, capacity, n));
        return n;
    }
};

TEST_F(BsaArchiveTest, NameDirectoryRecordsAreReadFromTheirOffsets) {
    const Bytes first = Filled(10, 0x10);
    const Bytes second = Filled(20, 0x80);
    // A 14-byte name has no NUL; the size field after it must not leak into the name.
    const Bytes file = MakeBsa({{"A.HMI", 0, first}, {"ABCDEFGHIJKLMN", 0, second}}, true);
    ASSERT_EQ(file.size(), 4u + 30u + 36u);
    Write("midi.bsa", file);

    BsaArchive a;
    ASSERT_TRUE(a.Open(dir.Path(), "midi.bsa", true));
    EXPECT_EQ(a.RecordCount(), 2);
    EXPECT_EQ(a.RecordSize(0), 10u);
    EXPECT_EQ(a.RecordSize(1), 20u);
    EXPECT_EQ(a.RecordOffset(1), 14u);
    EXPECT_EQ(Name(a, 1), "ABCDEFGHIJKLMN");
    EXPECT_EQ(Name(a, 1, 4), "ABCD");

    Bytes buffer(20, 0xEE);
    ASSERT_TRUE(a.ReadRecord(1, buffer.data(), 20));
    EXPECT_EQ(buffer, second);
    // A capacity below the record's size reads only that many bytes.
    buffer.assign(11, 0xEE);
    ASSERT_TRUE(a.ReadRecord(0, buffer.data(), 3));
    EXPECT_EQ(buffer, Bytes({0x10, 0x11, 0x12, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}));
}

TEST_F(BsaArchiveTest, AnyOtherTypeIsANumberDirectoryNamedInSignedDecimal) {
    for (std::uint16_t type : {0, 2, 0x0101, 0xFFFF}) {
        Bytes file = MakeBsa({{"", 105, Filled(3, 1)}, {"", 0xFFFFFFFF, Filled(5, 9)}}, false);
        file[2] = static_cast<std::uint8_t>(type);
        file[3] = static_cast<std::uint8_t>(type >> 8);
        Write("wyvern.snd", file);
        BsaArchive a;
        ASSERT_TRUE(a.Open(dir.Path(), "wyvern.snd", true)) << type;
        EXPECT_EQ(Name(a, 0), "105");
        EXPECT_EQ(Name(a, 1), "-1");
        EXPECT_EQ(Name(a, 1, 1), "-");
        Bytes buffer(5);
        ASSERT_TRUE(a.ReadRecord(1, buffer.data(), 5));
        EXPECT_EQ(buffer, Filled(5, 9));
    }
}

// Closed, empty, and after a failed open of an open archive: no index reaches a record.
TEST_F(BsaArchiveTest, IndexOutsideTheDirectoryTouchesNothing) {
    Write("a.bsa", MakeBsa({{"ONE", 0, Filled(4, 1)}}, true));
    Write("empty.bsa", MakeBsa({}, true));
    BsaArchive a;
    std::string name = "untouched";
    Bytes buffer(4, 0xEE);
    for (const char* open : {"", "empty.bsa", "a.bsa", "missing.bsa"}) {
        EXPECT_EQ(*open == 0 || a.Open(dir.Path(), open, true), *open != 'm') << open;
        for (int index : {-1, 0, 1, 1000}) {
            if (index == 0 && std::string(open) == "a.bsa") {
                continue;
            }
            EXPECT_EQ(a.RecordSize(index), 0u);
            EXPECT_FALSE(a.RecordName(index, 16, name));
            EXPECT_FALSE(a.ReadRecord(index, buffer.data(), 4));
        }
    }
    EXPECT_FALSE(a.IsOpen());
    EXPECT_EQ(name, "untouched");
    EXPECT_EQ(buffer, Bytes(4, 0xEE));
}

TEST_F(BsaArchiveTest, RecordsReachingPastTheFileStillOpenAndReadWhatIsThere) {
    // One number entry claims 100 bytes; only 6 lie between header and directory.
    Bytes file = {0x01, 0x00, 0x00, 0x00, 1, 2, 3, 4, 5, 6};
    PutLE32(file, 7);
    PutLE32(file, 100);
    Write("short.snd", file);
    BsaArchive a;
    ASSERT_TRUE(a.Open(dir.Path(), "short.snd", true));
    EXPECT_FALSE(a.RecordWithinFile(0));
    Bytes buffer(100, 0xEE);
    ASSERT_TRUE(a.ReadRecord(0, buffer.data(), 100));
    // The read runs through the directory bytes to the end of the file, no further.
    EXPECT_EQ(buffer[0], 1);
    EXPECT_EQ(buffer[10], 100);
    EXPECT_EQ(buffer[13], 0);
    EXPECT_EQ(buffer[14], 0xEE);
    EXPECT_EQ(buffer[99], 0xEE);
}

TEST_F(BsaArchiveTest, FileNamesAreFoundWhateverTheirCase) {
    Write("MIDI.BSA", MakeBsa({{"UPPER", 0, Filled(1, 0)}}, true));
    BsaArchive a;
    ASSERT_TRUE(a.Open(dir.Path(), "midi.bsa", true));
    EXPECT_EQ(Name(a, 0), "UPPER");

    // Several matches: the exact spelling wins, else the first name in byte order.
    Write("Midi.Bsa", MakeBsa({{"MIXED", 0, Filled(1, 0)}}, true));
    ASSERT_TRUE(a.Open(dir.Path(), "midi.bsa", true));
    EXPECT_EQ(Name(a, 0), "UPPER");
    Write("midi.bsa", MakeBsa({{"EXACT", 0, Filled(1, 0)}}, true));
    ASSERT_TRUE(a.Open(dir.Path(), "midi.bsa", true));
    EXPECT_EQ(Name(a, 0), "EXACT");
}

} // namespace

} // namespace sv::test
