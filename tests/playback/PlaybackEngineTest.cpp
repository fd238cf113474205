// The engine as the media player control drives it: files set by name and read at once, the
// transport (play, pause, stop, seek, volume), a new file replacing the old, an empty name
// letting go of everything, and songs set before the SoundFont has arrived.
#include "audio/PlaybackEngine.h"

#include "AudioAnalysis.h"
#include "MidiBuilder.h"
#include "SharedSynth.h"
#include "TestSupport.h"
#include "WavBuilder.h"

#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>
#include <numbers>

using namespace testing_support;
using audio::FileKind;
using audio::LoadError;
using audio::PlaybackEngine;
using audio::PlayState;

namespace {

Frames Pull(PlaybackEngine& engine, double seconds) {
    Frames out(2 * static_cast<std::size_t>(seconds * kRate));
    for (std::size_t at = 0; at < FrameCount(out); at += 512) {
        engine.Pull(out.data() + 2 * at, std::min<std::size_t>(512, FrameCount(out) - at));
    }
    return out;
}

void WriteEffect(const std::string& path, double frequency, std::size_t samples = 11025) {
    WriteFile(path, EffectWav(samples, frequency));
}

double Pitch(const Frames& f) {
    return ToneFrequency(f, 0, 0, FrameCount(f), kRate);
}

TEST(PlaybackEngine, FileIsReadWhenSetAndMayThenBeReplacedOnDisk) {
    ScratchDir dir;
    const std::string temp = dir.File("temp.wav");
    WriteEffect(temp, 441.0);
    PlaybackEngine engine(kRate);
    ASSERT_EQ(engine.SetFileName(temp), LoadError::None);
    EXPECT_EQ(engine.Kind(), FileKind::Wav);

    // The next selection overwrites the temporary file, then removes it: the player is unmoved.
    WriteEffect(temp, 882.0);
    std::filesystem::remove(sv::ToPath(temp));
    engine.Play();
    EXPECT_NEAR(Pitch(Pull(engine, 0.5)), 441.0, 1.0);
}

TEST(PlaybackEngine, NewFileReplacesTheOld) {
    ScratchDir dir;
    WriteEffect(dir.File("a.wav"), 441.0, 22050);
    WriteEffect(dir.File("b.wav"), 882.0, 11025);
    PlaybackEngine engine(kRate);
    ASSERT_EQ(engine.SetFileName(dir.File("a.wav")), LoadError::None);
    engine.Play();
    Pull(engine, 0.3);

    // Setting a file stops the old one; the new one starts from its beginning on Play.
    ASSERT_EQ(engine.SetFileName(dir.File("b.wav")), LoadError::None);
    EXPECT_EQ(engine.State(), PlayState::Stopped);
    EXPECT_NEAR(engine.Duration(), 1.0, 1e-9);
    EXPECT_EQ(engine.Position(), 0.0);
    EXPECT_EQ(PeakOf(Pull(engine, 0.1)), 0.0f);
    engine.Play();
    EXPECT_NEAR(Pitch(Pull(engine, 0.5)), 882.0, 1.0);
}

TEST(PlaybackEngine, EmptyNameReleasesEverything) {
    ScratchDir dir;
    WriteEffect(dir.File("temp.wav"), 441.0);
    PlaybackEngine engine(kRate);
    ASSERT_EQ(engine.SetFileName(dir.File("temp.wav")), LoadError::None);
    engine.Play();
    Pull(engine, 0.2);

    EXPECT_EQ(engine.SetFileName(""), LoadError::None);
    EXPECT_EQ(engine.Kind(), FileKind::None);
    EXPECT_EQ(engine.State(), PlayState::Stopped);
    EXPECT_EQ(engine.Duration(), 0.0);
    engine.Play(); // nothing to play
    EXPECT_EQ(engine.State(), PlayState::Stopped);
    EXPECT_EQ(PeakOf(Pull(engine, 0.2)), 0.0f);
    EXPECT_TRUE(std::filesystem::remove(sv::ToPath(dir.File("temp.wav"))));
}

TEST(PlaybackEngine, TransportStopsPausesAndRewinds) {
    ScratchDir dir;
    WriteEffect(dir.File("e.wav"), 441.0);
    PlaybackEngine engine(kRate);
    ASSERT_EQ(engine.SetFileName(dir.File("e.wav")), LoadError::None);
    EXPECT_EQ(PeakOf(Pull(engine, 0.1)), 0.0f); // nothing before Play

    engine.Play();
    EXPECT_GT(PeakOf(Pull(engine, 0.25)), 0.5f);
    engine.Pause();
    EXPECT_EQ(engine.State(), PlayState::Paused);
    EXPECT_EQ(PeakOf(Pull(engine, 0.1)), 0.0f);
    EXPECT_NEAR(engine.Position(), 0.25, 0.02);
    engine.Play(); // resumes where it paused
    Pull(engine, 0.25);
    EXPECT_NEAR(engine.Position(), 0.5, 0.02);

    engine.Stop();
    EXPECT_EQ(engine.State(), PlayState::Stopped);
    EXPECT_EQ(engine.Position(), 0.0);
    EXPECT_EQ(PeakOf(Pull(engine, 0.2)), 0.0f);

    engine.SetVolume(0.25f);
    engine.Seek(0.5);
    engine.Play();
    const Frames quiet = Pull(engine, 0.2);
    EXPECT_NEAR(PeakOf(quiet), 0.25f * 100 / 128, 0.02);
    EXPECT_NEAR(engine.Position(), 0.7, 0.02);

    // At the end the engine stops and rewinds; what is left of the block is silence.
    engine.SetVolume(1.0f);
    const Frames end = Pull(engine, 0.5);
    EXPECT_EQ(engine.State(), PlayState::Stopped);
    EXPECT_EQ(engine.Position(), 0.0);
    EXPECT_EQ(PeakOf(end, static_cast<std::size_t>(0.31 * kRate)), 0.0f);
}

TEST(PlaybackEngine, UnplayableFilesLeaveTheEngineEmpty) {
    ScratchDir dir;
    PlaybackEngine engine(kRate);
    EXPECT_EQ(engine.SetFileName(dir.File("missing.mid")), LoadError::Unreadable);
    WriteFile(dir.File("text.mid"), Bytes{'h', 'e', 'l', 'l', 'o'});
    EXPECT_EQ(engine.SetFileName(dir.File("text.mid")), LoadError::UnknownFormat);
    auto song = MidiBuilder().Note(0, 192, 0, 60).Build(768);
    song.resize(song.size() - 6);
    song[21] = 0x40; // the track claims more than there is, and ends inside an event
    WriteFile(dir.File("cut.mid"), Bytes(song.begin(), song.begin() + 27));
    EXPECT_EQ(engine.SetFileName(dir.File("cut.mid")), LoadError::BadData);
    EXPECT_EQ(engine.Kind(), FileKind::None);
    EXPECT_EQ(engine.Duration(), 0.0);
}

TEST(PlaybackEngine, SongWaitsForTheSoundFont) {
    REQUIRE_SOUNDFONT();
    PlaybackEngine engine(kRate);
    ASSERT_EQ(engine.SetData(MidiBuilder().Note(0, 192, 0, 60).Build(768)), LoadError::None);
    EXPECT_TRUE(engine.WaitingForSoundFont());
    EXPECT_NEAR(engine.Duration(), 4 * 1.605631, 1e-6);
    engine.Play();
    EXPECT_EQ(PeakOf(Pull(engine, 0.1)), 0.0f);

    engine.SetSynthesizer(SharedSynth());
    EXPECT_FALSE(engine.WaitingForSoundFont());
    EXPECT_GT(PeakOf(Pull(engine, 0.3)), 0.05f);
    EXPECT_GT(engine.FramesPlayed(), 0u);

    // A SoundFont arriving (or changing) while an effect plays leaves the effect alone.
    PlaybackEngine effects(kRate);
    ASSERT_EQ(effects.SetData(EffectWav(11025, 441.0)), LoadError::None);
    effects.Play();
    Pull(effects, 0.25);
    effects.SetSynthesizer(SharedSynth());
    EXPECT_NEAR(effects.Duration(), 1.0, 1e-9);
    EXPECT_NEAR(effects.Position(), 0.25, 0.01);
    EXPECT_NEAR(Pitch(Pull(effects, 0.25)), 441.0, 1.0);

    // Stop silences the synthesizer at once, release tail and all.
    engine.Stop();
    EXPECT_EQ(PeakOf(Pull(engine, 0.2)), 0.0f);
    engine.Play();
    EXPECT_LT(FirstSound(Pull(engine, 0.2)), static_cast<std::size_t>(0.02 * kRate));
}

} // namespace
