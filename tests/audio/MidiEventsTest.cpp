// The track walker shared by the player's timing and the cleaner: running status, the event
// kinds and their lengths, and the ways a track is broken.
#include "audio/MidiEvents.h"

#include "TestSupport.h"

namespace sv::test {
namespace {

struct Walked {
    std::vector<std::uint8_t> statuses;
    std::vector<std::size_t> ends;
    MidiEventReader::Step last;
};

Walked Walk(const Bytes& track) {
    MidiEventReader reader(track);
    MidiEvent event;
    Walked w;
    while ((w.last = reader.Next(event)) == MidiEventReader::Step::kEvent) {
        w.statuses.push_back(event.status);
        w.ends.push_back(event.end);
    }
    return w;
}

TEST(MidiEvents, WalksEventKindsAndStopsOnBrokenTracks) {
    using Step = MidiEventReader::Step;
    const struct {
        Bytes track;
        std::vector<std::uint8_t> statuses;
        std::vector<std::size_t> ends;
        Step last;
    } cases[] = {
        // Note on, running status, program change (one data byte), meta, end.
        {{0x00, 0x90, 0x3C, 0x40, 0x10, 0x3E, 0x40, 0x00, 0xC1, 0x05, 0x00, 0xFF, 0x2F, 0x00},
         {0x90, 0x90, 0xC1, 0xFF},
         {4, 7, 10, 14},
         Step::kEnd},
        // System exclusive clears the running status: the data byte after it has none.
        {{0x00, 0x90, 0x3C, 0x40, 0x00, 0xF0, 0x01, 0xF7, 0x00, 0x3C, 0x40},
         {0x90, 0xF0},
         {4, 8},
         Step::kBroken},
        // A system common status takes two data bytes and becomes the running status.
        {{0x00, 0xF3, 0x01, 0x02, 0x00, 0x03, 0x04}, {0xF3, 0xF3}, {4, 7}, Step::kEnd},
        // A meta event survives running status; its data may be empty.
        {{0x00, 0xB0, 0x07, 0x10, 0x00, 0xFF, 0x01, 0x00, 0x00, 0x08, 0x11},
         {0xB0, 0xFF, 0xB0},
         {4, 8, 11},
         Step::kEnd},
        {{0x80, 0x80, 0x80, 0x80, 0x00, 0x90, 0x3C, 0x40}, {}, {}, Step::kBroken}, // 5-byte delta
        {{0x00, 0x90, 0x3C}, {}, {}, Step::kBroken},                               // cut data
        {{0x00, 0xFF, 0x01, 0x05, 0x41}, {}, {}, Step::kBroken},                   // cut meta
        {{0x00, 0x3C, 0x40}, {}, {}, Step::kBroken}, // data before any status
        {{}, {}, {}, Step::kEnd},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Walked w = Walk(cases[i].track);
        EXPECT_EQ(w.statuses, cases[i].statuses) << i;
        EXPECT_EQ(w.ends, cases[i].ends) << i;
        EXPECT_EQ(w.last, cases[i].last) << i;
    }
}

TEST(MidiEvents, ChunksAreCutToTheFile) {
    const Bytes file = {'M', 'T', 'r', 'k', 0, 0, 0, 2, 0xAA, 0xBB,
                        'X', 'Y', 'Z', 'W', 0, 0, 0, 9, 0xCC};
    MidiChunkReader chunks{ByteCursor(file)};
    MidiChunk chunk;
    ASSERT_TRUE(chunks.Next(chunk));
    EXPECT_TRUE(chunk.Is("MTrk"));
    EXPECT_EQ(Bytes(chunk.body.begin(), chunk.body.end()), (Bytes{0xAA, 0xBB}));
    ASSERT_TRUE(chunks.Next(chunk));
    EXPECT_TRUE(chunk.Is("XYZW"));
    EXPECT_EQ(Bytes(chunk.body.begin(), chunk.body.end()), (Bytes{0xCC}));
    EXPECT_FALSE(chunks.Next(chunk));
}

} // namespace
} // namespace sv::test
