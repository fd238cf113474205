// The two renderers heard offline: a song's length, timing and seeking through FluidSynth, and
// the resampling of the game's 8-bit 11025 Hz effects and of ordinary WAV files.
#include "AudioAnalysis.h"
#include "MidiBuilder.h"
#include "SharedSynth.h"
#include "TestSupport.h"
#include "WavBuilder.h"
#include "audio/MidiCleaner.h"
#include "audio/MidiRenderer.h"
#include "audio/WavRenderer.h"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>

using namespace testing_support;
using audio::LoadError;
using audio::MidiRenderer;
using audio::WavRenderer;

namespace {

constexpr double kQuarter = 1.605631;

Frames RenderAll(audio::Renderer& r, std::size_t limit = std::size_t{60} * kRate) {
    Frames out;
    std::vector<float> block(2048);
    while (FrameCount(out) < limit) {
        const std::size_t n = r.Render(block.data(), 1024);
        out.insert(out.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(2 * n));
        if (n < 1024) {
            break;
        }
    }
    return out;
}

Frames RenderFor(audio::Renderer& r, double seconds) {
    Frames out(2 * static_cast<std::size_t>(seconds * kRate));
    out.resize(2 * r.Render(out.data(), FrameCount(out)));
    return out;
}

std::unique_ptr<MidiRenderer> Song(std::vector<std::uint8_t> file) {
    LoadError error = LoadError::None;
    auto r = MidiRenderer::Create(SharedSynth(), std::move(file), error);
    EXPECT_EQ(error, LoadError::None);
    return r;
}

TEST(MidiRenderer, SongSoundsForTheLengthItsTicksGive) {
    REQUIRE_SOUNDFONT();
    // A piano note for the first quarter, then three quarters of rest before the end of track.
    auto song = Song(MidiBuilder().Note(0, 192, 0, 60).Build(768));
    ASSERT_TRUE(song);
    EXPECT_NEAR(song->Duration(), 4 * kQuarter, 1e-6);

    const Frames out = RenderAll(*song);
    const auto songFrames = static_cast<std::size_t>(std::llround(4 * kQuarter * kRate));
    EXPECT_GE(FrameCount(out), songFrames);
    EXPECT_LE(FrameCount(out),
              songFrames + static_cast<std::size_t>(MidiRenderer::kMaxTailSeconds * kRate));
    EXPECT_LT(FirstSound(out), static_cast<std::size_t>(0.02 * kRate));
    EXPECT_GT(PeakOf(out, 0, kRate / 2), 0.05f);
    // The rest is heard as a rest once the note's release has died away.
    EXPECT_LT(PeakOf(out, static_cast<std::size_t>(3.0 * kRate), songFrames), 0.01f);
    EXPECT_NEAR(song->Position(), song->Duration(), 1.0 / kRate);
}

TEST(MidiRenderer, NotesStartOnTheirTicks) {
    REQUIRE_SOUNDFONT();
    auto song = Song(MidiBuilder().Note(384, 96, 0, 72).Build(768));
    ASSERT_TRUE(song);
    const Frames out = RenderAll(*song);
    const double onset = static_cast<double>(FirstSound(out, 0.005f)) / kRate;
    EXPECT_NEAR(onset, 2 * kQuarter, 0.02);
}

TEST(MidiRenderer, SeekLandsWhereAsked) {
    REQUIRE_SOUNDFONT();
    // Notes on every quarter; a seek to 10 ticks before the third one hears it 10 ticks later.
    MidiBuilder builder;
    for (std::uint32_t q = 0; q < 6; ++q) {
        builder.Note(q * 192, 48, 0, 60 + static_cast<int>(q));
    }
    auto song = Song(builder.Build(6 * 192));
    ASSERT_TRUE(song);
    RenderFor(*song, 0.5);

    const double target = (2 * 192 - 10) * kQuarter / 192;
    song->Seek(target);
    EXPECT_NEAR(song->Position(), target, 0.005);
    const Frames after = RenderFor(*song, 1.0);
    const double onset = static_cast<double>(FirstSound(after, 0.005f)) / kRate;
    EXPECT_NEAR(onset, 10 * kQuarter / 192, 0.02);

    // Back to the start: the first note is heard at once, the earlier position is forgotten.
    song->Seek(0.0);
    EXPECT_EQ(song->Position(), 0.0);
    EXPECT_LT(FirstSound(RenderFor(*song, 0.2)), static_cast<std::size_t>(0.02 * kRate));

    // Past the end: the song is over at once, apart from its tail.
    song->Seek(1e6);
    EXPECT_NEAR(song->Position(), song->Duration(), 1.0 / kRate);
    EXPECT_LE(FrameCount(RenderAll(*song)),
              static_cast<std::size_t>(MidiRenderer::kMaxTailSeconds * kRate));
}

TEST(MidiRenderer, NeedsASynthesizerAndAReadableSong) {
    LoadError error = LoadError::None;
    EXPECT_FALSE(MidiRenderer::Create(nullptr, MidiBuilder().Note(0, 10, 0, 60).Build(), error));
    EXPECT_EQ(error, LoadError::NoSoundFont);
    REQUIRE_SOUNDFONT();
    auto broken = MidiBuilder().Note(0, 10, 0, 60).Build();
    broken.resize(25);
    EXPECT_FALSE(MidiRenderer::Create(SharedSynth(), broken, error));
    EXPECT_EQ(error, LoadError::BadData);
}

TEST(MidiRenderer, SystemCommonMessagesAreDroppedNotTheSong) {
    // The converter passes 0xF1..0xFD on with two data bytes, and data under their running
    // status; FluidSynth would refuse the whole file for them.
    const auto file = MidiBuilder()
                          .Note(0, 96, 0, 60)
                          .Raw(100, {0xF3, 0x01, 0x02})
                          .Raw(110, {0x05, 0x06})
                          .Note(192, 96, 0, 72)
                          .Build();
    const auto cleaned = audio::StripSystemCommon(file);
    EXPECT_EQ(cleaned.size(), file.size() - 5 - 2); // two events and their one-byte deltas
    EXPECT_EQ(std::count(cleaned.begin(), cleaned.end(), 0xF3), 0);
    audio::MidiTiming before;
    audio::MidiTiming after;
    ASSERT_TRUE(before.Parse(file));
    ASSERT_TRUE(after.Parse(cleaned));
    EXPECT_EQ(after.EndTick(), before.EndTick());
    EXPECT_EQ(audio::StripSystemCommon(cleaned), cleaned);

    REQUIRE_SOUNDFONT();
    auto song = Song(file);
    ASSERT_TRUE(song);
    const Frames out = RenderAll(*song);
    EXPECT_LT(FirstSound(out), static_cast<std::size_t>(0.02 * kRate));
    // The second note still starts on its tick, 192 ticks in: the dropped deltas were kept.
    const auto second = static_cast<std::size_t>(kQuarter * kRate);
    EXPECT_GT(PeakOf(out, second, second + kRate / 4),
              4 * PeakOf(out, second - kRate / 10, second - kRate / 50));
}

TEST(Synthesizer, MissingOrWrongSoundFontLoadsNothing) {
    ScratchDir dir;
    EXPECT_FALSE(audio::Synthesizer::Load(dir.File("none.sf2"), kRate));
    WriteFile(dir.File("fake.sf2"), Filled(1000, 7));
    EXPECT_FALSE(audio::Synthesizer::Load(dir.File("fake.sf2"), kRate));
    EXPECT_FALSE(audio::Synthesizer::Load("", kRate));
}

TEST(WavRenderer, EffectIsResampledToTheOutputRate) {
    const Bytes wav = EffectWav(11025, 441.0);
    ASSERT_EQ(wav.size(), 44u + 11025u);
    LoadError error = LoadError::None;
    auto r = WavRenderer::Create(wav, kRate, error);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->SourceRate(), 11025);
    EXPECT_NEAR(r->Duration(), 1.0, 1e-9);
    EXPECT_EQ(r->OutputFrames(), 4u * 11025u);

    const Frames out = RenderAll(*r);
    EXPECT_EQ(FrameCount(out), 4u * 11025u);
    EXPECT_NEAR(ToneFrequency(out, 0, kRate / 10, kRate * 9 / 10, kRate), 441.0, 0.5);
    // Full level survives the filter (100/128 of full scale), and both channels carry it.
    EXPECT_NEAR(PeakOf(out, kRate / 10, kRate * 9 / 10), 100.0 / 128, 0.03);
    for (std::size_t i = 0; i < FrameCount(out); i += 997) {
        ASSERT_EQ(out[2 * i], out[2 * i + 1]);
    }
    // Between the source's samples the filter draws the sine, not steps: compare with the ideal.
    double worst = 0;
    for (std::size_t i = kRate / 10; i < kRate * 9 / 10; ++i) {
        const double ideal =
            100.0 / 128 * std::sin(2 * std::numbers::pi * 441.0 * static_cast<double>(i) / kRate);
        worst = std::max(worst, std::fabs(out[2 * i] - ideal));
    }
    EXPECT_LT(worst, 0.02);
}

// A 16-bit stereo WAV: a sine on the left, silence on the right.
Bytes StereoWav(int rate, std::size_t frames, double frequency) {
    Bytes b{'R', 'I', 'F', 'F'};
    PutLE32(b, static_cast<std::uint32_t>(36 + frames * 4));
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    PutLE32(b, 16);
    PutLE16(b, 1);
    PutLE16(b, 2);
    PutLE32(b, static_cast<std::uint32_t>(rate));
    PutLE32(b, static_cast<std::uint32_t>(rate * 4));
    PutLE16(b, 4);
    PutLE16(b, 16);
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    PutLE32(b, static_cast<std::uint32_t>(frames * 4));
    for (std::size_t i = 0; i < frames; ++i) {
        const auto v = static_cast<std::int16_t>(std::lround(
            16000 * std::sin(2 * std::numbers::pi * frequency * static_cast<double>(i) / rate)));
        PutLE16(b, static_cast<std::uint16_t>(v));
        PutLE16(b, 0);
    }
    return b;
}

TEST(WavRenderer, OrdinaryWavKeepsItsChannelsAndPitch) {
    LoadError error = LoadError::None;
    auto down = WavRenderer::Create(StereoWav(48000, 48000, 1000.0), kRate, error);
    ASSERT_TRUE(down);
    const Frames out = RenderAll(*down);
    EXPECT_NEAR(static_cast<double>(FrameCount(out)), kRate, 1.0);
    EXPECT_NEAR(ToneFrequency(out, 0, kRate / 10, kRate * 9 / 10, kRate), 1000.0, 1.0);
    float right = 0;
    for (std::size_t i = 0; i < FrameCount(out); ++i) {
        right = std::max(right, std::fabs(out[2 * i + 1]));
    }
    EXPECT_EQ(right, 0.0f);

    // At the output's own rate the samples pass unchanged.
    auto same = WavRenderer::Create(StereoWav(kRate, 1000, 1000.0), kRate, error);
    ASSERT_TRUE(same);
    const Frames copy = RenderAll(*same);
    ASSERT_EQ(FrameCount(copy), 1000u);
    EXPECT_FLOAT_EQ(copy[20], static_cast<float>(std::lround(
                                  16000 * std::sin(2 * std::numbers::pi * 1000.0 * 10 / kRate))) /
                                  32768);
}

TEST(WavRenderer, SeekAndDamagedFiles) {
    LoadError error = LoadError::None;
    auto r = WavRenderer::Create(EffectWav(11025, 441.0), kRate, error);
    ASSERT_TRUE(r);
    r->Seek(0.75);
    EXPECT_NEAR(r->Position(), 0.75, 1e-6);
    EXPECT_NEAR(static_cast<double>(FrameCount(RenderAll(*r))), 0.25 * kRate, 2.0);
    r->Seek(5.0);
    EXPECT_EQ(FrameCount(RenderAll(*r)), 0u);

    // A header that promises more data than the file holds plays what is there.
    Bytes truncated = EffectWav(11025, 441.0);
    truncated.resize(44 + 5000);
    auto shortened = WavRenderer::Create(truncated, kRate, error);
    ASSERT_TRUE(shortened);
    EXPECT_EQ(shortened->SourceFrames(), 5000u);

    // An empty effect is a file of no length, not an error.
    auto empty = WavRenderer::Create(EffectWav(0, 441.0), kRate, error);
    ASSERT_TRUE(empty);
    EXPECT_EQ(FrameCount(RenderAll(*empty)), 0u);

    Bytes garbage{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'j', 'u', 'n', 'k'};
    EXPECT_FALSE(WavRenderer::Create(garbage, kRate, error));
    EXPECT_EQ(error, LoadError::BadData);
    // A rate no recording has, which would size the resampling filter beyond reason.
    EXPECT_FALSE(WavRenderer::Create(StereoWav(2000000000, 100, 1000.0), kRate, error));
    EXPECT_TRUE(WavRenderer::Create(StereoWav(384000, 100, 1000.0), kRate, error));
}

} // namespace
