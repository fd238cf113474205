// The background writer: bytes reach the sink whole and in order, gathered into one write while
// room is left; a failed write stops the rest; a writer dropped without Finish stops its thread.
#include "io/BlockWriter.h"

#include "TestSupport.h"

#include <numeric>

namespace sv::test {
namespace {

TEST(BlockWriterTest, BlocksArriveInOrderAndAFailureStopsTheRest) {
    // Pieces of a running byte count; each but the empty one leaves less room than the 100 asked
    // for, so each is one write. fails: how many sink calls succeed before one fails (-1: none).
    const std::size_t sizes[] = {7, 0, 100, 3, 100, 1};
    for (const int fails : {-1, 0, 2, 4}) {
        Bytes written;
        int calls = 0;
        BlockWriter writer(
            [&](const std::uint8_t* data, std::size_t size) {
                written.insert(written.end(), data, data + size);
                return calls++ != fails;
            },
            100);
        ASSERT_TRUE(writer.Ready());
        bool ok = true;
        std::uint8_t next = 0;
        for (std::size_t i = 0; ok && i < std::size(sizes); ++i) {
            std::iota(writer.Space(), writer.Space() + sizes[i], next);
            next = static_cast<std::uint8_t>(next + sizes[i]);
            ok = writer.Add(sizes[i], 100);
        }
        ok = ok && writer.Finish();
        EXPECT_EQ(ok, fails < 0) << fails;
        EXPECT_EQ(calls, fails < 0 ? 5 : fails + 1) << "nothing is written after a failure";
        Bytes expected(fails < 0 ? 211 : written.size()); // a failed write may be cut anywhere
        std::iota(expected.begin(), expected.end(), std::uint8_t{0});
        EXPECT_EQ(written, expected);
    }
}

// As on a decoder's fatal condition: the writer goes while its thread may still be writing.
TEST(BlockWriterTest, ADroppedWriterStopsItsThread) {
    std::size_t written = 0;
    {
        BlockWriter writer(
            [&](const std::uint8_t*, std::size_t size) {
                written += size;
                return true;
            },
            16);
        // 12 bytes gathered at a time: 4 + 4 + 4, then too little room for a fourth piece.
        for (int i = 0; i < 150; ++i) {
            ASSERT_TRUE(writer.Add(4, 5));
        }
    }
    // Each hand-over waits for the write before it; the last one handed over may be dropped.
    EXPECT_GE(written, 49u * 12);
    EXPECT_LE(written, 50u * 12);
}

} // namespace
} // namespace sv::test
