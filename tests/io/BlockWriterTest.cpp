// The background writer: blocks reach the sink whole and in order, a failed write stops the rest
// and reports its errno, and a writer dropped without Finish writes nothing it had not begun.
#include "io/BlockWriter.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <numeric>
#include <vector>

namespace sv::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Fills block after block with a running byte count, sizes as given, the last through Finish.
bool WriteBlocks(BlockWriter& writer, const std::vector<std::size_t>& sizes) {
    std::uint8_t next = 0;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        std::iota(writer.Block(), writer.Block() + sizes[i], next);
        next = static_cast<std::uint8_t>(next + sizes[i]);
        if (i + 1 == sizes.size() ? !writer.Finish(sizes[i]) : !writer.Submit(sizes[i])) {
            return false;
        }
    }
    return true;
}

TEST(BlockWriterTest, BlocksArriveInOrderAndAFailureStopsTheRest) {
    const std::vector<std::size_t> sizes = {7, 0, 100, 3, 100, 1};
    // fails: how many sink calls succeed before one fails (-1: none fails).
    for (const int fails : {-1, 0, 2, 4}) {
        Bytes written;
        int calls = 0;
        BlockWriter writer(
            [&](const std::uint8_t* data, std::size_t size) {
                if (calls++ == fails) {
                    errno = ENOSPC;
                    return false;
                }
                written.insert(written.end(), data, data + size);
                return true;
            },
            100);
        ASSERT_TRUE(writer.Ready());
        errno = 0;
        const bool ok = WriteBlocks(writer, sizes);
        EXPECT_EQ(ok, fails < 0) << fails;
        if (!ok) {
            EXPECT_EQ(errno, ENOSPC) << fails;
            EXPECT_EQ(calls, fails + 1) << "nothing is written after a failure";
            continue;
        }
        Bytes expected(std::accumulate(sizes.begin(), sizes.end(), std::size_t{0}));
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
        for (int i = 0; i < 50; ++i) {
            ASSERT_TRUE(writer.Submit(16));
        }
    }
    // Each Submit waits for the write before it; the last block handed over may be dropped.
    EXPECT_GE(written, 49u * 16);
    EXPECT_LE(written, 50u * 16);
}

} // namespace
} // namespace sv::test
