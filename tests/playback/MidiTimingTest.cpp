// Song length and seek targets from a MIDI file's ticks and tempo events, and the files that
// must be refused before the synthesizer ever sees them.
#include "audio/MidiTiming.h"

#include "MidiBuilder.h"

#include <gtest/gtest.h>

using audio::MidiTiming;
using testing_support::MidiBuilder;

namespace {

constexpr double kQuarter = 1.605631; // seconds, at the converted songs' tempo

TEST(MidiTiming, LengthFollowsTicksAndTempo) {
    MidiTiming t;
    ASSERT_TRUE(t.Parse(MidiBuilder().Note(0, 192, 0, 60).Build(768)));
    EXPECT_EQ(t.EndTick(), 768u);
    EXPECT_NEAR(t.Duration(), 4 * kQuarter, 1e-9);
    EXPECT_NEAR(t.SecondsAt(96), kQuarter / 2, 1e-9);
    EXPECT_EQ(t.TickAt(kQuarter / 2), 96u);
    EXPECT_EQ(t.TickAt(kQuarter / 2 - 0.001), 95u);
    EXPECT_EQ(t.TickAt(-1.0), 0u);
    EXPECT_EQ(t.TickAt(1e9), 768u);
}

TEST(MidiTiming, TempoChangesSplitTheSong) {
    // Two quarters at 1,605,631 µs, then the tempo halves the quarter to 250,000 µs.
    MidiBuilder song;
    song.Note(0, 100, 0, 60).Meta(384, 0x51, {0x03, 0xD0, 0x90});
    MidiTiming t;
    ASSERT_TRUE(t.Parse(song.Build(768)));
    EXPECT_NEAR(t.SecondsAt(384), 2 * kQuarter, 1e-9);
    EXPECT_NEAR(t.Duration(), 2 * kQuarter + 2 * 0.25, 1e-9);
    EXPECT_EQ(t.TickAt(2 * kQuarter + 0.125), 384u + 96u);
}

TEST(MidiTiming, DefaultTempoAndSmpteDivision) {
    // 96 ticks per quarter, one note on 192 ticks in, no tempo event, no end-of-track event.
    const std::vector<std::uint8_t> noTempo{'M', 'T', 'h', 'd', 0,    0,    0,    6,   0,
                                            0,   0,   1,   0,   96,   'M',  'T',  'r', 'k',
                                            0,   0,   0,   5,   0x81, 0x40, 0x90, 60,  100};
    MidiTiming t;
    ASSERT_TRUE(t.Parse(noTempo));
    EXPECT_EQ(t.EndTick(), 192u);
    EXPECT_NEAR(t.Duration(), 1.0, 1e-9); // 2 quarters at 500,000 µs

    // 25 frames per second, 40 ticks per frame: a millisecond per tick, whatever the tempo.
    auto smpte = MidiBuilder().Note(0, 1000, 0, 60).Build(2000);
    smpte[12] = static_cast<std::uint8_t>(-25);
    smpte[13] = 40;
    ASSERT_TRUE(t.Parse(smpte));
    EXPECT_NEAR(t.Duration(), 2.0, 1e-9);
}

TEST(MidiTiming, RunningStatusAndSysexAreWalkedOver) {
    // Note on, then a second note on by running status, a sysex, and the end 10 ticks later.
    std::vector<std::uint8_t> track{0x00, 0x90, 60,   100,  0x0A, 64,   100,  0x00,
                                    0xF0, 0x02, 0x7E, 0xF7, 0x0A, 0xFF, 0x2F, 0x00};
    std::vector<std::uint8_t> file{
        'M', 'T', 'h', 'd', 0,   0,   0,   6, 0, 0, 0,
        1,   0,   192, 'M', 'T', 'r', 'k', 0, 0, 0, static_cast<std::uint8_t>(track.size())};
    file.insert(file.end(), track.begin(), track.end());
    MidiTiming t;
    ASSERT_TRUE(t.Parse(file));
    EXPECT_EQ(t.EndTick(), 20u);
}

TEST(MidiTiming, BrokenFilesAreRefused) {
    const auto good = MidiBuilder().Note(0, 192, 0, 60).Build(768);
    MidiTiming t;
    ASSERT_TRUE(t.Parse(good));

    EXPECT_FALSE(t.Parse({}));
    auto noHeader = good;
    noHeader[0] = 'X';
    EXPECT_FALSE(t.Parse(noHeader));
    auto zeroDivision = good;
    zeroDivision[12] = zeroDivision[13] = 0;
    EXPECT_FALSE(t.Parse(zeroDivision));
    // Header only: no track.
    EXPECT_FALSE(t.Parse(std::span(good).first(14)));
    // A track cut in the middle of the tempo event.
    EXPECT_FALSE(t.Parse(std::span(good).first(26)));

    std::vector<std::uint8_t> longVarLen{'M', 'T', 'h',  'd',  0,    0,    0,    6,    0,    0,
                                         0,   1,   0,    192,  'M',  'T',  'r',  'k',  0,    0,
                                         0,   8,   0x81, 0x81, 0x81, 0x81, 0x01, 0xFF, 0x2F, 0x00};
    EXPECT_FALSE(t.Parse(longVarLen));
    std::vector<std::uint8_t> dataWithoutStatus{'M', 'T', 'h', 'd', 0,    0,   0,   6,   0,
                                                0,   0,   1,   0,   192,  'M', 'T', 'r', 'k',
                                                0,   0,   0,   3,   0x00, 60,  100};
    EXPECT_FALSE(t.Parse(dataWithoutStatus));
}

} // namespace
