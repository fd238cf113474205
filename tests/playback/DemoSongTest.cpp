// The demo game folder's songs, converted as playback converts them and rendered offline: what a
// listener would notice is sound all through the song, the length its ticks and tempo give, an
// end that fades out rather than stops, and a seek into the middle that plays the rest.
#include "AudioAnalysis.h"
#include "DemoData.h"
#include "SharedSynth.h"
#include "audio/MidiRenderer.h"
#include "decode/SongConverter.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace testing_support;

namespace {

constexpr double kQuarter = 1.605631; // the converted songs' one tempo, seconds per quarter

std::vector<std::uint8_t> DemoMidi(int index) {
    SongConverter converter;
    std::vector<std::uint8_t> midi;
    EXPECT_GE(converter.Convert(demo::MakeSong(index, false), midi), 0);
    return midi;
}

Frames RenderAll(audio::Renderer& r) {
    Frames out;
    std::vector<float> block(2 * 4096);
    for (;;) {
        const std::size_t n = r.Render(block.data(), 4096);
        out.insert(out.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(2 * n));
        if (n < 4096) {
            return out;
        }
    }
}

class DemoSong : public testing::TestWithParam<int> {};

TEST_P(DemoSong, SoundsForItsWholeLength) {
    REQUIRE_SOUNDFONT();
    const std::string name = demo::SongNames(false).at(static_cast<std::size_t>(GetParam()));
    audio::LoadError error = audio::LoadError::None;
    auto song = audio::MidiRenderer::Create(SharedSynth(), DemoMidi(GetParam()), error);
    ASSERT_TRUE(song) << name;

    // One tempo for the whole song: its length is its last tick in quarters of 1.605631 s.
    const double expected = song->Timing().EndTick() * kQuarter / 192;
    EXPECT_NEAR(song->Duration(), expected, 1e-9) << name;
    EXPECT_GT(song->Duration(), 20.0) << name;

    const Frames out = RenderAll(*song);
    const auto songFrames = static_cast<std::size_t>(std::llround(expected * kRate));
    ASSERT_GE(FrameCount(out), songFrames) << name;
    EXPECT_LE(FrameCount(out) - songFrames,
              static_cast<std::size_t>(audio::MidiRenderer::kMaxTailSeconds * kRate))
        << name;

    // Music in nearly every second of the song; no long dropout.
    int quietSeconds = 0;
    for (std::size_t s = 0; s + kRate <= songFrames; s += kRate) {
        quietSeconds += PeakOf(out, s, s + kRate) < 0.01f ? 1 : 0;
    }
    EXPECT_LE(quietSeconds, 2) << name;
    EXPECT_GT(PeakOf(out), 0.1f) << name;
    EXPECT_LT(PeakOf(out), 1.0f) << name << ": clipped";
    // The end fades: the last block is close to silence.
    EXPECT_LT(PeakOf(out, FrameCount(out) - 256), 1.0f / 2048) << name;
}

INSTANTIATE_TEST_SUITE_P(Tavern, DemoSong, testing::Values(0));
INSTANTIATE_TEST_SUITE_P(Battle, DemoSong, testing::Values(3));

TEST(DemoSong, SeekIntoTheMiddlePlaysTheRest) {
    REQUIRE_SOUNDFONT();
    audio::LoadError error = audio::LoadError::None;
    auto song = audio::MidiRenderer::Create(SharedSynth(), DemoMidi(1), error);
    ASSERT_TRUE(song);
    const double half = song->Duration() / 2;
    song->Seek(half);
    EXPECT_NEAR(song->Position(), half, kQuarter / 192);
    const Frames rest = RenderAll(*song);
    const double restSeconds = static_cast<double>(FrameCount(rest)) / kRate;
    EXPECT_GE(restSeconds, song->Duration() - song->Position() - 1.0 / kRate);
    EXPECT_LE(restSeconds, song->Duration() - half + audio::MidiRenderer::kMaxTailSeconds);
    EXPECT_GT(PeakOf(rest, 0, kRate * 2), 0.01f); // notes within two seconds of the seek
}

} // namespace
