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
    const Bytes file = MakeBsa({{"A.HMI", 0, first}, {"TAVERN.HMI", 0, second}}, true);
    ASSERT_EQ(file.size(), 4u + 30u + 36u);
    Write("midi.bsa", file);

    BsaArchive a;
    ASSERT_TRUE(a.Open(dir.Path(), "midi.bsa", true));
    EXPECT_EQ(a.RecordCount(), 2);
    EXPECT_EQ(a.RecordSize(0), 10u);
    EXPECT_EQ(a.RecordSize(1), 20u);
    EXPECT_EQ(a.RecordOffset(1), 14u);
    EXPECT_EQ(Name(a, 1), "TAVERN.HMI");
    EXPECT_EQ(Name(a, 1, 4), "TAVE");

    Bytes buffer(20, 0xEE);
    ASSERT_TRUE(a.ReadRecord(1, buffer.data(), 20));
    EXPECT_EQ(buffer, second);
    buffer.assign(10, 0xEE);
    ASSERT_TRUE(a.ReadRecord(0, buffer.data(), 10));
    EXPECT_EQ(buffer, first);

    // A capacity below the record's size reads only that many bytes.
    Bytes partial(8, 0xEE);
    ASSERT_TRUE(a.ReadRecord(1, partial.data(), 3));
    EXPECT_EQ(Bytes(partial.begin(), partial.begin() + 3),
              Bytes(second.begin(), second.begin() + 3));
    EXPECT_EQ(partial[3], 0xEE);
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
        EXPECT_EQ(a.RecordSize(1), 5u);
        Bytes buffer(5);
        ASSERT_TRUE(a.ReadRecord(1, buffer.data(), 5));
        EXPECT_EQ(buffer, Filled(5, 9));
    }
}

TEST_F(BsaArchiveTest, FourteenByteNameWithoutNulGivesFourteenCharacters) {
    Bytes file = MakeBsa({{"ABCDEFGHIJKLMN", 0, Filled(2, 0)}}, true);
    // The size field follows the name directly; it must not leak into the name.
    Write("x.bsa", file);
    BsaArchive a;
    ASSERT_TRUE(a.Open(dir.Path(), "x.bsa", true));
    EXPECT_EQ(Name(a, 0), "ABCDEFGHIJKLMN");
    EXPECT_EQ(a.RecordSize(0), 2u);
}

TEST_F(BsaArchiveTest, SeparatorIsAddedOnlyWhenMissing) {
    Write("a.bsa", MakeBsa({}, true));
    BsaArchive a;
    EXPECT_TRUE(a.Open(dir.Path(), "a.bsa", true));
    EXPECT_TRUE(a.Open(dir.Path() + sv::kSeparator, "a.bsa", true));
    // A doubled separator would still open on most systems, so check the joined text itself.
    EXPECT_EQ(sv::JoinPath("x" + std::string(1, sv::kSeparator), "n"),
              "x" + std::string(1, sv::kSeparator) + "n");
    EXPECT_EQ(sv::JoinPath("x", "n"), "x" + std::string(1, sv::kSeparator) + "n");
    EXPECT_EQ(sv::JoinPath("", "n"), std::string(1, sv::kSeparator) + "n");
}

TEST_F(BsaArchiveTest, EmptyArchiveAndClosedStateGiveNothing) {
    Write("empty.bsa", MakeBsa({}, true));
    BsaArchive a;
    std::string name = "untouched";
    Bytes buffer(4, 0xEE);
    EXPECT_EQ(a.RecordCount(), 0);
    EXPECT_EQ(a.RecordSize(0), 0u);
    EXPECT_FALSE(a.RecordName(0, 16, name));
    EXPECT_FALSE(a.ReadRecord(0, buffer.data(), 4));
    EXPECT_EQ(name, "untouched");
    EXPECT_EQ(buffer, Bytes(4, 0xEE));

    ASSERT_TRUE(a.Open(dir.Path(), "empty.bsa", true));
    EXPECT_EQ(a.RecordCount(), 0);

    // A failed open of an open archive leaves it closed.
    EXPECT_FALSE(a.Open(dir.Path(), "missing.bsa", true));
    EXPECT_FALSE(a.IsOpen());
    EXPECT_EQ(a.RecordCount(), 0);
}

TEST_F(BsaArchiveTest, IndexOutsideTheDirectoryTouchesNothing) {
    Write("a.bsa", MakeBsa({{"ONE", 0, Filled(4, 1)}}, true));
    BsaArchive a;
    ASSERT_TRUE(a.Open(dir.Path(), "a.bsa", true));
    std::string name = "untouched";
    Bytes buffer(4, 0xEE);
    for (int index : {-1, 1, 1000}) {
        EXPECT_EQ(a.RecordSize(index), 0u);
        EXPECT_FALSE(a.RecordName(index, 16, name));
        EXPECT_FALSE(a.ReadRecord(index, buffer.data(), 4));
    }
    EXPECT_EQ(name, "untouched");
    EXPECT_EQ(buffer, Bytes(4, 0xEE));
}

TEST_F(BsaArchiveTest, HostileHeadersFailWithoutReadingOutsideTheFile) {
    BsaArchive a;
    // Negative count.
    Bytes negative = {0x00, 0x80, 0x00, 0x01};
    Write("neg.bsa", negative);
    EXPECT_FALSE(a.Open(dir.Path(), "neg.bsa", true));
    EXPECT_FALSE(a.IsOpen());

    // A directory larger than the file: 3 name entries need 54 bytes.
    Bytes large = {0x03, 0x00, 0x00, 0x01};
    large.resize(53, 0);
    Write("large.bsa", large);
    EXPECT_FALSE(a.Open(dir.Path(), "large.bsa", true));
    large.resize(54, 0);
    Write("large.bsa", large);
    EXPECT_TRUE(a.Open(dir.Path(), "large.bsa", true)); // the directory may overlap the header

    // Short files: unread header bytes count as 0.
    Write("zero.bsa", {});
    EXPECT_TRUE(a.Open(dir.Path(), "zero.bsa", true));
    EXPECT_EQ(a.RecordCount(), 0);
    Write("two.bsa", {0x01, 0x00});
    EXPECT_FALSE(a.Open(dir.Path(), "two.bsa", true)); // one 8-byte entry in a 2-byte file
    Write("three.bsa", {0x00, 0x00, 0x05});
    EXPECT_TRUE(a.Open(dir.Path(), "three.bsa", true));
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

    // A size of 2^31 or more is negative as a signed count: nothing is read.
    Bytes huge = {0x01, 0x00, 0x00, 0x00};
    PutLE32(huge, 7);
    PutLE32(huge, 0x80000000u);
    Write("huge.snd", huge);
    ASSERT_TRUE(a.Open(dir.Path(), "huge.snd", true));
    Bytes small(4, 0xEE);
    EXPECT_TRUE(a.ReadRecord(0, small.data(), 4));
    EXPECT_EQ(small, Bytes(4, 0xEE));
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
