// Songs from bytes to sound: the track walker and the ways a track is broken, the length and seek
// targets that ticks and tempo events give, the system common messages FluidSynth would refuse a
// whole song for, and a song rendered as a listener hears it.
#include "PlaybackSupport.h"
#include "audio/FmRenderer.h"
#include "audio/MidiCleaner.h"
#include "audio/MidiEvents.h"
#include "audio/MidiRenderer.h"
#include "audio/MidiTiming.h"

namespace sv::test {
namespace {

TEST(MidiEvents, WalksEventKindsAndStopsOnBrokenTracks) {
    using Step = MidiEventReader::Step;
    const struct {
        Bytes track;
        std::vector<std::size_t> ends; // of each event
        Step last;
    } cases[] = {
        // Note on, running status, program change (one data byte), meta, end.
        {{0x00, 0x90, 0x3C, 0x40, 0x10, 0x3E, 0x40, 0x00, 0xC1, 0x05, 0x00, 0xFF, 0x2F, 0x00},
         {4, 7, 10, 14},
         Step::kEnd},
        // System exclusive clears the running status: the data byte after it has none.
        {{0x00, 0x90, 0x3C, 0x40, 0x00, 0xF0, 0x01, 0xF7, 0x00, 0x3C, 0x40}, {4, 8}, Step::kBroken},
        // A system common status takes two data bytes and becomes the running status.
        {{0x00, 0xF3, 0x01, 0x02, 0x00, 0x03, 0x04}, {4, 7}, Step::kEnd},
        // A meta event (its data may be empty) leaves the running status alone.
        {{0x00, 0xB0, 0x07, 0x10, 0x00, 0xFF, 0x01, 0x00, 0x00, 0x08, 0x11},
         {4, 8, 11},
         Step::kEnd},
        {{0x80, 0x80, 0x80, 0x80, 0x00, 0x90, 0x3C, 0x40}, {}, Step::kBroken}, // 5-byte delta
        {{0x00, 0xFF, 0x01, 0x05, 0x41}, {}, Step::kBroken},                   // cut meta
        {{}, {}, Step::kEnd},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        MidiEventReader reader(cases[i].track);
        MidiEvent event;
        std::vector<std::size_t> ends;
        Step last{};
        while ((last = reader.Next(event)) == Step::kEvent) {
            ends.push_back(event.end);
        }
        EXPECT_EQ(ends, cases[i].ends) << i;
        EXPECT_EQ(last, cases[i].last) << i;
    }
}

TEST(MidiTiming, LengthAndSeekTargetsFromTicksAndTempo) {
    const Bytes plain = MidiBuilder().Note(0, 192, 0, 60).Build(768);
    const Bytes faster =
        MidiBuilder().Note(0, 100, 0, 60).Raw(384, {0xFF, 0x51, 0x03, 0x03, 0xD0, 0x90}).Build(768);
    const struct {
        Bytes file;
        std::uint32_t endTick;
        double seconds;
    } cases[] = {
        {plain, 768, 4 * kQuarter},
        {faster, 768, 2 * kQuarter + 0.5}, // quarters of 250,000 us from tick 384
        // No tempo event, no end of track, 96 ticks per quarter.
        {Smf({0x81, 0x40, 0x90, 60, 100}, 96), 192, 1.0},
        {Smf({0x8F, 0x50, 0xFF, 0x2F, 0x00}, 0xE728), 2000, 2.0}, // 25 frames of 40 ticks a second
    };
    MidiTiming t;
    for (const auto& c : cases) {
        ASSERT_TRUE(t.Parse(c.file)) << c.endTick;
        EXPECT_EQ(t.EndTick(), c.endTick);
        EXPECT_NEAR(t.Duration(), c.seconds, 1e-9) << c.endTick;
    }
    EXPECT_EQ(t.TickAt(-1.0), 0u);
    EXPECT_EQ(t.TickAt(1e9), 2000u);
    ASSERT_TRUE(t.Parse(faster));
    EXPECT_EQ(t.TickAt(kQuarter / 2), 96u);
    EXPECT_EQ(t.TickAt(kQuarter / 2 - 0.001), 95u);
    EXPECT_EQ(t.TickAt(2 * kQuarter + 0.125), 384u + 96u);

    Bytes noHeader = plain;
    noHeader[0] = 'X';
    Bytes zeroDivision = plain;
    zeroDivision[12] = zeroDivision[13] = 0;
    Bytes longTrack; // 17 gaps of 0x0FFFFFFF ticks pass 2^32
    for (int i = 0; i < 17; ++i) {
        longTrack.insert(longTrack.end(), {0xFF, 0xFF, 0xFF, 0x7F, 0x90, 60, 0});
    }
    for (const Bytes& broken :
         {Bytes{}, noHeader, zeroDivision, Bytes(plain.begin(), plain.begin() + 14), // no track
          Smf(longTrack)}) {
        EXPECT_FALSE(t.Parse(broken)) << broken.size();
    }
}

class BothVoices : public testing::TestWithParam<SongVoice> {};
INSTANTIATE_TEST_SUITE_P(MidiRenderer, BothVoices,
                         testing::Values(SongVoice::SoundFont, SongVoice::Fm),
                         [](const auto& info) { return std::string(sv::VoiceName(info.param)); });

TEST_P(BothVoices, NotesSoundOnTheirTicksForTheSongsLengthAndAfterASeek) {
    if (GetParam() == SongVoice::SoundFont) {
        REQUIRE_SOUNDFONT();
    }
    const Bytes file = MidiBuilder().Note(0, 96, 0, 60).Note(384, 96, 0, 72).Build(768);
    LoadError error = LoadError::None;
    const std::unique_ptr<Renderer> song =
        GetParam() == SongVoice::Fm
            ? std::unique_ptr<Renderer>(FmRenderer::Create(file, kRate, error))
            : MidiRenderer::Create(SharedSynth(), file, error);
    ASSERT_TRUE(song);
    const Frames out = Listen(*song);
    EXPECT_GE(FrameCount(out), FramesIn(4 * kQuarter));
    EXPECT_LT(FirstSound(out), FramesIn(0.02));
    // The rest between the notes is heard as a rest, and the second note comes on its tick.
    EXPECT_LT(PeakOf(out, FramesIn(2.3), FramesIn(3.1)), 0.01f);
    EXPECT_NEAR(static_cast<double>(FirstSound(out, 0.005f, FramesIn(3.1))) / kRate, 2 * kQuarter,
                0.02);
    EXPECT_NEAR(song->Position(), song->Duration(), 1.0 / kRate);

    // 10 ticks before the second note: it is heard 10 ticks later.
    const double target = (384 - 10) * kQuarter / 192;
    song->Seek(target);
    EXPECT_NEAR(song->Position(), target, 0.005);
    const double onset = static_cast<double>(FirstSound(Listen(*song, 1.0), 0.005f)) / kRate;
    EXPECT_NEAR(onset, 10 * kQuarter / 192, 0.02);
    song->Seek(0.0);
    EXPECT_EQ(song->Position(), 0.0);
    EXPECT_LT(FirstSound(Listen(*song, 0.2)), FramesIn(0.02));
    // Past the end: nothing is left but the tail.
    song->Seek(1e6);
    EXPECT_NEAR(song->Position(), song->Duration(), 1.0 / kRate);
    EXPECT_LE(FrameCount(Listen(*song)), FramesIn(MidiRenderer::kMaxTailSeconds));
}

TEST(MidiRenderer, DropsSystemCommonMessagesAndRefusesNoSoundFontOrACutSong) {
    // As the converter passes them on: two data bytes, then data under their running status.
    const Bytes file = MidiBuilder()
                           .Note(0, 96, 0, 60)
                           .Raw(100, {0xF3, 0x01, 0x02})
                           .Raw(110, {0x05, 0x06})
                           .Note(192, 96, 0, 72)
                           .Build();
    const Bytes cleaned = sv::StripSystemCommon(file);
    EXPECT_EQ(cleaned.size(), file.size() - 4 - 3); // both events with their one-byte deltas
    MidiTiming before;
    MidiTiming after;
    ASSERT_TRUE(before.Parse(file));
    ASSERT_TRUE(after.Parse(cleaned));
    EXPECT_EQ(after.EndTick(), before.EndTick()); // the dropped deltas were carried over
    LoadError error = LoadError::None;
    EXPECT_FALSE(MidiRenderer::Create(nullptr, file, error));
    EXPECT_EQ(error, LoadError::NoSoundFont);
    REQUIRE_SOUNDFONT();
    EXPECT_FALSE(MidiRenderer::Create(SharedSynth(), {file.begin(), file.begin() + 25}, error));
    EXPECT_EQ(error, LoadError::BadData);
    const auto song = MidiRenderer::Create(SharedSynth(), file, error);
    ASSERT_TRUE(song);
    EXPECT_LT(FirstSound(Listen(*song)), FramesIn(0.02));
}

} // namespace
} // namespace sv::test
