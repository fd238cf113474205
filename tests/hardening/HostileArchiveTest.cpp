// Archives cut short at every length, and counts and sizes at their extremes: each opens or fails
// as the reader defines it, never reads outside the file, and never allocates beyond it.
#include "TestSupport.h"
#include "archive/BsaArchive.h"

namespace sv::test {

namespace {

TEST(HostileArchive, EveryTruncationOfAValidArchiveIsHandled) {
    ScratchDir dir;
    const Bytes full = MakeBsa({{"A.HMI", 0, Filled(7, 1)}, {"B.HMI", 0, Filled(9, 50)}}, true);
    for (std::size_t n = 0; n <= full.size(); ++n) {
        WriteFile(dir.File("cut.bsa"), Bytes(full.begin(), full.begin() + static_cast<long>(n)));
        BsaArchive a;
        // Unread header bytes count as 0: below 4 bytes the count is 2 or 0 with 8-byte number
        // entries; from 4 bytes on, two name entries need 36 bytes (they may overlap the header).
        ASSERT_EQ(a.Open(dir.Path(), "cut.bsa", true), n == 0 || n >= 36) << n;
        for (int i = 0; i < a.RecordCount(); ++i) {
            // A cut directory yields arbitrary sizes; only records inside the file get a buffer.
            const std::uint32_t size = a.RecordWithinFile(i) ? a.RecordSize(i) : 4;
            Bytes buffer(size + 1, 0xEE);
            EXPECT_TRUE(a.ReadRecord(i, buffer.data(), size));
            EXPECT_EQ(buffer.back(), 0xEE) << "read past the record at length " << n;
        }
    }
}

TEST(HostileArchive, ExtremeCountsAndSizesNeverAllocateBeyondTheFile) {
    ScratchDir dir;
    BsaArchive a;
    WriteFile(dir.File("max.bsa"), {0xFF, 0x7F, 0x00, 0x01}); // 32767 records in 4 bytes
    EXPECT_FALSE(a.Open(dir.Path(), "max.bsa", true));
    // Sizes that sum past 4 GiB: no record lies inside the file, and a size of 2^31 or more is
    // negative as a signed count, so nothing is read.
    Bytes file = {0x03, 0x00, 0x00, 0x00};
    for (std::uint32_t number = 0; number < 3; ++number) {
        PutLE32(file, number);
        PutLE32(file, 0xFFFFFFF0u);
    }
    WriteFile(dir.File("sizes.snd"), file);
    ASSERT_TRUE(a.Open(dir.Path(), "sizes.snd", true));
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(a.RecordWithinFile(i));
        std::uint8_t probe[4] = {1, 2, 3, 4};
        EXPECT_TRUE(a.ReadRecord(i, probe, sizeof probe));
        EXPECT_EQ(Bytes(probe, probe + 4), Bytes({1, 2, 3, 4}));
    }
}

} // namespace

} // namespace sv::test
