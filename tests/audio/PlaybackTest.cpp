// Effects resampled for the output, and the engine as the media player control drives it: files
// set by name and read at once, a new file replacing the old, an empty name letting go of
// everything, the transport, and songs set before the SoundFont has arrived.
#include "PlaybackSupport.h"
#include "audio/PlaybackEngine.h"
#include "audio/WavRenderer.h"

#include <filesystem>

namespace sv::test {
namespace {

TEST(WavRenderer, ResampledWithItsLevelPitchAndChannelsDamagedFilesPlayWhatIsThere) {
    // The filter draws the sine between the source's samples, at its level: an 8-bit mono effect
    // on both channels, the left of a 16-bit stereo file on the left only.
    const struct {
        Bytes wav;
        double frequency, left, right;
    } cases[] = {{EffectWav(11025, 441.0), 441.0, 100.0 / 128, 100.0 / 128},
                 {Wav(48000, 2, 16, 48000, 1000.0), 1000.0, 16000.0 / 32768, 0.0}};
    LoadError error = LoadError::None;
    std::unique_ptr<WavRenderer> r;
    for (const auto& c : cases) {
        r = WavRenderer::Create(c.wav, kRate, error);
        ASSERT_TRUE(r);
        EXPECT_NEAR(r->Duration(), 1.0, 1e-9);
        const Frames out = Listen(*r);
        EXPECT_EQ(FrameCount(out), std::size_t{kRate});
        double worst = 0;
        for (std::size_t i = FramesIn(0.1); i < FramesIn(0.9); ++i) {
            const double s =
                std::sin(2 * std::numbers::pi * c.frequency * static_cast<double>(i) / kRate);
            worst = std::max({worst, std::fabs(out[2 * i] - c.left * s),
                              std::fabs(out[2 * i + 1] - c.right * s)});
        }
        EXPECT_LT(worst, 0.02) << c.frequency;
        r->Seek(5.0);
        EXPECT_EQ(FrameCount(Listen(*r)), 0u) << "past the end";
    }

    // A header that promises more data than the file holds plays what is there, an empty effect
    // is a file of no length, and a rate no recording has (it would size the resampled pass
    // beyond reason) is refused, as garbage is.
    Bytes truncated = EffectWav(11025, 441.0);
    truncated.resize(44 + 5000);
    const Bytes garbage{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'j', 'u', 'n', 'k'};
    const std::pair<Bytes, int> damaged[] = {{truncated, 4 * 5000},
                                             {EffectWav(0, 441.0), 0},
                                             {Wav(2000000000, 2, 16, 100, 1000.0), -1},
                                             {Wav(999, 2, 16, 100, 1000.0), -1},
                                             {Wav(384000, 2, 16, 3840, 1000.0), 441},
                                             {garbage, -1}};
    for (const auto& [wav, frames] : damaged) {
        r = WavRenderer::Create(wav, kRate, error);
        EXPECT_EQ(r ? static_cast<int>(FrameCount(Listen(*r))) : -1, frames) << wav.size();
    }
    EXPECT_EQ(error, LoadError::BadData);
}

// As the output does: blocks of 512 frames.
Frames Pull(PlaybackEngine& engine, double seconds) {
    Frames out(2 * FramesIn(seconds));
    for (std::size_t at = 0; at < FrameCount(out); at += 512) {
        engine.Pull(out.data() + 2 * at, std::min<std::size_t>(512, FrameCount(out) - at));
    }
    return out;
}

TEST(PlaybackEngine, FileIsReadWhenSetReplacedByTheNextReleasedByNoName) {
    ScratchDir dir;
    const std::string temp = dir.File("temp.wav");
    WriteFile(temp, EffectWav(22050, 441.0));
    PlaybackEngine engine(kRate);
    ASSERT_EQ(engine.SetFileName(temp), LoadError::None);
    // The next selection overwrites the temporary file, then removes it: the player is unmoved.
    WriteFile(temp, Wav(11025, 1, 16, 22050, 441.0));
    std::filesystem::remove(sv::ToPath(temp));
    engine.Play();
    EXPECT_NEAR(PeakOf(Pull(engine, 0.3)), 100.0 / 128, 0.02);
    // A new file stops the old one and plays on Play: a 16-bit one, of another level.
    WriteFile(temp, Wav(11025, 1, 16, 11025, 441.0));
    ASSERT_EQ(engine.SetFileName(temp), LoadError::None);
    EXPECT_EQ(engine.State(), PlayState::Stopped);
    EXPECT_EQ(PeakOf(Pull(engine, 0.1)), 0.0f);
    engine.Play();
    EXPECT_NEAR(PeakOf(Pull(engine, 0.5)), 16000.0 / 32768, 0.02);
    EXPECT_EQ(engine.SetFileName(""), LoadError::None);
    EXPECT_EQ(engine.Kind(), FileKind::None);

    // A file that does not play leaves the engine empty.
    const Bytes song = MidiBuilder().Build();
    WriteFile(dir.File("cut.mid"), Bytes(song.begin(), song.begin() + 25)); // in the tempo event
    WriteFile(dir.File("text.mid"), Bytes{'h', 'e', 'l', 'l', 'o'});
    const std::pair<const char*, LoadError> cases[] = {{"missing.mid", LoadError::Unreadable},
                                                       {"text.mid", LoadError::UnknownFormat},
                                                       {"cut.mid", LoadError::BadData}};
    for (const auto& [name, error] : cases) {
        ASSERT_EQ(engine.SetData(EffectWav(100, 441.0)), LoadError::None);
        EXPECT_EQ(engine.SetFileName(dir.File(name)), error) << name;
        EXPECT_EQ(engine.Kind(), FileKind::None) << name;
        EXPECT_EQ(engine.Duration(), 0.0) << name;
    }
}

TEST(PlaybackEngine, TransportRepeatWithoutAGapAndASongWaitingForTheSoundFont) {
    PlaybackEngine engine(kRate);
    ASSERT_EQ(engine.SetData(EffectWav(11025, 441.0)), LoadError::None);
    engine.Play();
    EXPECT_GT(PeakOf(Pull(engine, 0.25)), 0.5f);
    engine.Pause();
    EXPECT_EQ(PeakOf(Pull(engine, 0.1)), 0.0f);
    EXPECT_NEAR(engine.Position(), 0.25, 0.02);
    engine.Play(); // resumes where it paused
    Pull(engine, 0.25);
    EXPECT_NEAR(engine.Position(), 0.5, 0.02);
    engine.Stop();
    EXPECT_EQ(PeakOf(Pull(engine, 0.2)), 0.0f);
    engine.SetVolume(0.25f);
    engine.Seek(0.5);
    engine.Play();
    EXPECT_NEAR(PeakOf(Pull(engine, 0.2)), 0.25f * 100 / 128, 0.02);
    EXPECT_NEAR(engine.Position(), 0.7, 0.02);
    // At the end the engine stops and rewinds; what is left of the block is silence.
    engine.SetVolume(1.0f);
    const Frames end = Pull(engine, 0.5);
    EXPECT_EQ(engine.State(), PlayState::Stopped);
    EXPECT_EQ(engine.Position(), 0.0);
    EXPECT_EQ(PeakOf(end, FramesIn(0.31)), 0.0f);

    ASSERT_EQ(engine.SetData(EffectWav(1103, 441.0)), LoadError::None); // 0.1 s
    engine.Play();
    const Frames once = Pull(engine, 0.11);
    engine.SetRepeat(true);
    engine.Play();
    const Frames thrice = Pull(engine, 0.35);
    EXPECT_EQ(engine.State(), PlayState::Playing);
    const std::size_t pass = FramesIn(1103.0 / 11025);
    for (std::size_t i = 0; i < pass; i += 37) {
        EXPECT_EQ(thrice[2 * (i + 2 * pass)], once[2 * i]) << i;
    }
    EXPECT_GT(PeakOf(thrice, 3 * pass, 3 * pass + 200), 0.5f) << "the fourth pass has begun";
    engine.SetRepeat(false);
    Pull(engine, 0.2);
    EXPECT_EQ(engine.State(), PlayState::Stopped);

    // A song set before the SoundFont has arrived is silent until it does.
    REQUIRE_SOUNDFONT();
    ASSERT_EQ(engine.SetData(MidiBuilder().Note(0, 192, 0, 60).Build(768)), LoadError::None);
    EXPECT_TRUE(engine.WaitingForSoundFont());
    engine.Play();
    EXPECT_EQ(PeakOf(Pull(engine, 0.1)), 0.0f);
    engine.SetSynthesizer(SharedSynth());
    EXPECT_FALSE(engine.WaitingForSoundFont());
    EXPECT_GT(PeakOf(Pull(engine, 0.3)), 0.05f);
}

} // namespace
} // namespace sv::test
