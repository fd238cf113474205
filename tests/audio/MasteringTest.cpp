// From renderer to file: loops that join without a click, the release tail cut, the fade's
// curve, peaks limited instead of clipped, and the Vorbis comments written into FLAC and Ogg.
#include "audio/Mastering.h"

#include "PlaybackSupport.h"
#include "audio/MidiRenderer.h"
#include "audio/SoundFileWriter.h"
#include "audio/VorbisComments.h"
#include "audio/WavRenderer.h"
#include "cli/CliRun.h"

#include <cstdlib>
#include <sndfile.h>

namespace sv::test {

namespace {

// An organ chord held over the whole song, struck again on every quarter: loud up to the end.
Bytes HeldSong(int quarters) {
    MidiBuilder b;
    b.Raw(0, {0xC0, 19});
    for (int q = 0; q < quarters; ++q) {
        for (const int key : {60, 64, 67}) {
            b.Note(static_cast<std::uint32_t>(q * 192), 192, 0, key);
        }
    }
    return b.Build();
}

std::unique_ptr<MidiRenderer> SongOf(const Bytes& midi) {
    LoadError error = LoadError::None;
    return MidiRenderer::Create(SharedSynth(), midi, error);
}

float MaxStep(const Frames& f, std::size_t from, std::size_t to) {
    float step = 0.0f;
    for (std::size_t i = std::max<std::size_t>(from, 1); i < std::min(to, FrameCount(f)); ++i) {
        for (int c = 0; c < 2; ++c) {
            step = std::max(step, std::fabs(f[2 * i + c] - f[2 * (i - 1) + c]));
        }
    }
    return step;
}

double RmsOf(const Frames& f, std::size_t from, std::size_t to) {
    double sum = 0.0;
    for (std::size_t i = 2 * from; i < 2 * to; ++i) {
        sum += double{f[i]} * f[i];
    }
    return std::sqrt(sum / static_cast<double>(2 * (to - from)));
}

TEST(Loops, PassesJoinWithoutAClickAndOnlyTheLastOneRingsOut) {
    REQUIRE_SOUNDFONT();
    auto song = SongOf(HeldSong(2));
    ASSERT_TRUE(song);
    const std::size_t pass = FramesIn(song->Duration());
    const Frames out = sv::RenderWhole(*song, kRate, {3, 0.0}, nullptr, nullptr);
    ASSERT_GE(FrameCount(out), 3 * pass);
    EXPECT_LE(FrameCount(out), 3 * pass + FramesIn(MidiRenderer::kMaxTailSeconds));
    EXPECT_LT(PeakOf(out, FrameCount(out) - 256), 0.001f) << "the tail is not cut at -60 dBFS";

    const float body = MaxStep(out, 0, pass - FramesIn(0.05));
    const float opening = PeakOf(out, 0, FramesIn(0.3));
    for (std::size_t seam : {pass, 2 * pass}) {
        // The synthesizer ran on: nothing jumps at the seam more than within the song.
        EXPECT_LE(MaxStep(out, seam - FramesIn(0.05), seam + FramesIn(0.05)), 1.5f * body) << seam;
        // And the next pass starts on time.
        EXPECT_GT(PeakOf(out, seam, seam + FramesIn(0.3)), 0.6f * opening) << seam;
        EXPECT_GT(PeakOf(out, seam - FramesIn(0.3), seam), 0.3f * opening) << seam;
    }
}

TEST(Loops, AnEffectRepeatsWholeAndAFadeEndsInSilence) {
    LoadError error = LoadError::None;
    auto effect = WavRenderer::Create(EffectWav(1000, 441.0), kRate, error);
    ASSERT_TRUE(effect);
    const Frames three = sv::RenderWhole(*effect, kRate, {3, 0.0}, nullptr, nullptr);
    ASSERT_EQ(FrameCount(three), 3 * effect->OutputFrames());
    for (std::size_t i = 0; i < effect->OutputFrames(); i += 97) {
        EXPECT_EQ(three[2 * i], three[2 * (i + 2 * effect->OutputFrames())]) << i;
    }

    REQUIRE_SOUNDFONT();
    auto song = SongOf(HeldSong(3));
    ASSERT_TRUE(song);
    const std::size_t pass = FramesIn(song->Duration());
    const Frames out = sv::RenderWhole(*song, kRate, {2, 4.0}, nullptr, nullptr);
    ASSERT_EQ(FrameCount(out), 2 * pass) << "a faded song has no tail";
    const std::size_t fade = FramesIn(4.0);
    EXPECT_LT(20 * std::log10(RmsOf(out, FrameCount(out) - FramesIn(0.1), FrameCount(out))), -60.0);
    // Half-second windows over the fade, each quieter than the one before.
    double before = RmsOf(out, 2 * pass - fade - FramesIn(0.5), 2 * pass - fade);
    for (std::size_t at = 2 * pass - fade; at + FramesIn(0.5) <= 2 * pass; at += FramesIn(0.5)) {
        const double rms = RmsOf(out, at, at + FramesIn(0.5));
        EXPECT_LT(rms, before) << "at " << at;
        before = rms;
    }
    EXPECT_GT(RmsOf(out, 2 * pass - fade - FramesIn(0.5), 2 * pass - fade), 0.02)
        << "the song is not loud before the fade";
}

TEST(LimitPeaks, TurnsPeaksDownSmoothlyAndLeavesTheRestAlone) {
    constexpr int kLimitRate = 8000;
    Frames quiet(2 * 16000);
    for (std::size_t i = 0; i < quiet.size(); ++i) {
        quiet[i] = 0.5f * static_cast<float>(std::sin(0.05 * static_cast<double>(i / 2)));
    }
    Frames loud = quiet;
    for (std::size_t i = 2 * 2000; i < 2 * 2100; ++i) {
        loud[i] *= 4.0f; // a burst to twice full scale
    }
    Frames limited = loud;
    sv::LimitPeaks(limited, kLimitRate);
    EXPECT_LE(PeakOf(limited), sv::kPeakCeiling * 1.000001f);
    EXPECT_GT(PeakOf(limited, 2000, 2100), 0.9f * sv::kPeakCeiling) << "the burst is crushed";
    // Before the look-ahead and once released the samples are exactly what they were.
    for (const std::size_t i : {0u, 1900u, 1980u, 12000u, 15999u}) {
        EXPECT_EQ(limited[2 * i], loud[2 * i]) << i;
    }
    // The gain glides: no step sharper than the burst's own.
    EXPECT_LE(MaxStep(limited, 1900, 3000), MaxStep(loud, 2000, 2100));

    Frames untouched = quiet;
    sv::LimitPeaks(untouched, kLimitRate);
    EXPECT_EQ(untouched, quiet);
}

std::vector<short> Shorts(const std::string& path, SF_INFO& info) {
    info = {};
    std::vector<short> samples;
    if (SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info)) {
        samples.resize(static_cast<std::size_t>(info.frames * info.channels));
        samples.resize(static_cast<std::size_t>(
            sf_read_short(f, samples.data(), static_cast<sf_count_t>(samples.size()))));
        sf_close(f);
    }
    return samples;
}

// A full-scale square wave is the loudest effect there is; resampled, its edges overshoot.
TEST(RenderCommand, AFullScaleSquareWaveNeitherClipsNorWraps) {
    ScratchDir dir;
    Bytes square = EffectWav(11025, 441.0);
    for (std::size_t i = 44; i < square.size(); ++i) {
        square[i] = square[i] >= 128 ? 255 : 0;
    }
    WriteFile(dir.File("square.wav"), square);
    const struct {
        const char* file;
        const char* rate;
        const char* loops;
    } cases[] = {{"out.flac", "44100", "2"}, {"out.wav", "22050", "1"}};
    for (const auto& c : cases) {
        const cli_support::Run r =
            cli_support::Cli(dir, {"render", dir.File("square.wav"), dir.File(c.file), "--rate",
                                   c.rate, "--loops", c.loops});
        ASSERT_EQ(r.status, 0) << r.err;
        SF_INFO info{};
        const std::vector<short> s = Shorts(dir.File(c.file), info);
        ASSERT_NEAR(info.frames, std::atoi(c.loops) * std::atoi(c.rate), 1) << c.rate;
        int atFullScale = 0;
        int spikes = 0;
        int loudest = 0;
        std::size_t loud = 0;
        for (std::size_t i = 2; i + 2 < s.size(); ++i) {
            loudest = std::max(loudest, std::abs(int{s[i]}));
            atFullScale += std::abs(int{s[i]}) >= 32767 ? 1 : 0;
            loud += std::abs(int{s[i]}) > 16384 ? 1 : 0;
            // A wrapped sample jumps across the range and back, in one channel's neighbours.
            const int in = s[i] - s[i - 2];
            const int out = s[i + 2] - s[i];
            spikes +=
                (std::abs(in) > 40000 && std::abs(out) > 40000 && (in > 0) != (out > 0)) ? 1 : 0;
        }
        EXPECT_EQ(atFullScale, 0) << c.rate;
        EXPECT_EQ(spikes, 0) << c.rate;
        EXPECT_GT(loudest, 30000) << c.rate << ": limited far more than needed";
        EXPECT_GT(loud, s.size() / 4) << c.rate << ": the wave is no longer loud";
    }
}

TEST(VorbisComments, TagsAreSetAndReadBackAndTheAudioSurvives) {
    Frames tone(2 * 30000);
    for (std::size_t i = 0; i < tone.size(); ++i) {
        tone[i] = 0.3f * static_cast<float>(std::sin(0.03 * static_cast<double>(i / 2)));
    }
    SoundTags tags;
    tags.title = "TOWN1";
    tags.extra = {{"REPLAYGAIN_TRACK_GAIN", "-1.00 dB"}};
    ScratchDir dir;
    for (const auto type : {SoundFileType::Flac, SoundFileType::Ogg}) {
        const bool ogg = type == SoundFileType::Ogg;
        Bytes first;
        ASSERT_TRUE(EncodeSound(tone, kRate, type, tags, first));

        ASSERT_TRUE(sv::AddVorbisComments(
            first, ogg,
            {{"replaygain_track_gain", "+2.50 dB"}, {"REPLAYGAIN_ALBUM_GAIN", "+1.25 dB"}}, 7));
        const sv::Comments back = sv::ReadVorbisComments(first, ogg);
        const auto count = [&back](const std::string& key) {
            return std::count_if(back.begin(), back.end(), [&key](const auto& kv) {
                return sv::AsciiLower(kv.first) == key;
            });
        };
        EXPECT_EQ(count("replaygain_track_gain"), 1) << "a key is replaced, not repeated";
        EXPECT_EQ(count("replaygain_album_gain"), 1);
        EXPECT_EQ(count("title"), 1);

        const std::string path = dir.File(ogg ? "t.ogg" : "t.flac");
        WriteFile(path, first);
        SF_INFO info{};
        SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
        ASSERT_NE(f, nullptr) << path;
        EXPECT_EQ(info.frames, 30000) << path;
        std::vector<float> decoded(2 * 30000);
        EXPECT_EQ(sf_readf_float(f, decoded.data(), 30000), 30000) << path;
        EXPECT_NEAR(RmsOf(decoded, 1000, 29000), RmsOf(tone, 1000, 29000), 0.01) << path;
        sf_close(f);

        // Damaged bytes are refused and left alone.
        Bytes cut(first.begin(), first.begin() + 60);
        const Bytes before = cut;
        EXPECT_FALSE(sv::AddVorbisComments(cut, ogg, {{"A", "b"}}, 7));
        EXPECT_EQ(cut, before);
    }
}

} // namespace

} // namespace sv::test
