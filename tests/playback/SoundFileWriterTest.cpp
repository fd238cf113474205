// Rendering to sound files: each extension gives its format, the whole piece arrives, and a
// file that cannot be made leaves nothing behind; then the render command's statuses and
// messages as a user meets them.
#include "audio/SoundFileWriter.h"

#include "DemoData.h"
#include "MidiBuilder.h"
#include "SharedSynth.h"
#include "TestSupport.h"
#include "WavBuilder.h"
#include "audio/MidiTiming.h"
#include "audio/WavRenderer.h"
#include "decode/SongConverter.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sndfile.h>

using namespace testing_support;
using audio::SoundFileType;
using audio::WriteResult;

namespace {

struct ReadBack {
    int format = 0;
    int channels = 0;
    int rate = 0;
    sf_count_t frames = 0;
};

ReadBack Inspect(const std::string& path) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (f == nullptr) {
        return {};
    }
    sf_close(f);
    return {info.format & SF_FORMAT_TYPEMASK, info.channels, info.samplerate, info.frames};
}

TEST(SoundFileWriter, ExtensionPicksTheFormat) {
    EXPECT_EQ(audio::SoundFileTypeFor("a.wav"), SoundFileType::Wav);
    EXPECT_EQ(audio::SoundFileTypeFor("dir.flac/A.WAV"), SoundFileType::Wav);
    EXPECT_EQ(audio::SoundFileTypeFor("a.Flac"), SoundFileType::Flac);
    EXPECT_EQ(audio::SoundFileTypeFor("a.ogg"), SoundFileType::Ogg);
    EXPECT_EQ(audio::SoundFileTypeFor("a.mp3"), SoundFileType::Unknown);
    EXPECT_EQ(audio::SoundFileTypeFor(".wav"), SoundFileType::Unknown);
    EXPECT_EQ(audio::SoundFileTypeFor("wav"), SoundFileType::Unknown);
}

TEST(SoundFileWriter, EveryFormatHoldsTheWholeEffect) {
    ScratchDir dir;
    const struct {
        const char* name;
        SoundFileType type;
        int format;
    } cases[] = {{"e.wav", SoundFileType::Wav, SF_FORMAT_WAV},
                 {"e.flac", SoundFileType::Flac, SF_FORMAT_FLAC},
                 {"e.ogg", SoundFileType::Ogg, SF_FORMAT_OGG}};
    for (const auto& c : cases) {
        audio::LoadError error = audio::LoadError::None;
        auto effect = audio::WavRenderer::Create(EffectWav(5000, 441.0), kRate, error);
        ASSERT_TRUE(effect);
        const std::string path = dir.File(c.name);
        ASSERT_EQ(audio::RenderToFile(*effect, kRate, 20000, path, c.type, nullptr),
                  WriteResult::Done)
            << c.name;
        const ReadBack back = Inspect(path);
        EXPECT_EQ(back.format, c.format) << c.name;
        EXPECT_EQ(back.channels, 2) << c.name;
        EXPECT_EQ(back.rate, kRate) << c.name;
        EXPECT_EQ(back.frames, 20000) << c.name;
    }
    // Nothing but the three files: no temporary file is left over.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 3);
}

TEST(SoundFileWriter, NoFileWhereNoneCanBeMade) {
    ScratchDir dir;
    audio::LoadError error = audio::LoadError::None;
    auto effect = audio::WavRenderer::Create(EffectWav(100, 441.0), kRate, error);
    ASSERT_TRUE(effect);
    EXPECT_EQ(audio::RenderToFile(*effect, kRate, 400, dir.File("missing/e.wav"),
                                  SoundFileType::Wav, nullptr),
              WriteResult::CannotCreate);
    EXPECT_EQ(audio::RenderToFile(*effect, kRate, 400, dir.File("e.mp3"), SoundFileType::Unknown,
                                  nullptr),
              WriteResult::CannotCreate);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 0);
}

// The command line as a user runs it; standard error is kept to check the message.
struct CommandRun {
    int status;
    std::string errors;
};

CommandRun RenderCommand(const ScratchDir& dir, const std::string& arguments) {
    const std::string errors = dir.File("stderr.txt");
    const std::string command = std::string(SONVAULT_CLI) + " render " + arguments + " 2>" + errors;
    const int raw = std::system(command.c_str());
    const Bytes text = ReadFile(errors);
    std::filesystem::remove(errors);
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, std::string(text.begin(), text.end())};
}

TEST(RenderCommand, StatusesAndMessages) {
    ScratchDir dir;
    WriteFile(dir.File("song.mid"), MidiBuilder().Note(0, 96, 0, 60).Build(192));
    WriteFile(dir.File("effect.wav"), EffectWav(2000, 441.0));
    WriteFile(dir.File("text.mid"), Bytes{'n', 'o', 'p', 'e'});

    CommandRun r =
        RenderCommand(dir, dir.File("effect.wav") + " " + dir.File("out.flac") + " --rate 22050");
    EXPECT_EQ(r.status, 0) << r.errors;
    EXPECT_EQ(Inspect(dir.File("out.flac")).rate, 22050);
    EXPECT_EQ(Inspect(dir.File("out.flac")).frames, 4000);

    r = RenderCommand(dir, dir.File("effect.wav") + " " + dir.File("out.mp3"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.errors.find("use .wav, .flac or .ogg"), std::string::npos) << r.errors;
    r = RenderCommand(dir, dir.File("absent.mid") + " " + dir.File("out.wav"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.errors.find("Cannot read"), std::string::npos) << r.errors;
    r = RenderCommand(dir, dir.File("text.mid") + " " + dir.File("out.wav"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.errors.find("neither a MIDI song nor a WAV sound"), std::string::npos) << r.errors;
    r = RenderCommand(dir, dir.File("song.mid") + " " + dir.File("out.wav") + " --soundfont " +
                               dir.File("effect.wav"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.errors.find("Cannot load the SoundFont"), std::string::npos) << r.errors;
    WriteFile(dir.File("broken.HMI"), Bytes{'H', 'M', 'I', '-', 'M', 'I', 'D', 'I'});
    r = RenderCommand(dir, dir.File("broken.HMI") + " " + dir.File("out.wav"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.errors.find("not an HMI song that converts"), std::string::npos) << r.errors;
    r = RenderCommand(dir, dir.File("effect.wav") + " " + dir.File("out.wav") + " --rate 0");
    EXPECT_EQ(r.status, 64);
    EXPECT_FALSE(Exists(dir.File("out.wav")));
    EXPECT_FALSE(Exists(dir.File("out.mp3")));

    if (audio::FindDefaultSoundFont().empty()) {
        return;
    }
    r = RenderCommand(dir, dir.File("song.mid") + " " + dir.File("song.ogg"));
    EXPECT_EQ(r.status, 0) << r.errors;
    EXPECT_EQ(r.errors, ""); // no progress bar and no chatter when standard error is a file
    EXPECT_GE(Inspect(dir.File("song.ogg")).frames, std::llround(1.605631 * kRate));

    // A game song straight from the archive: converted, then rendered for its whole length.
    const Bytes hmi = demo::MakeSong(2, false);
    WriteFile(dir.File("town1.hmi"), hmi);
    r = RenderCommand(dir, dir.File("town1.hmi") + " " + dir.File("town1.wav") + " --rate 22050");
    EXPECT_EQ(r.status, 0) << r.errors;
    std::vector<std::uint8_t> midi;
    SongConverter converter;
    ASSERT_GE(converter.Convert(hmi, midi), 0);
    audio::MidiTiming timing;
    ASSERT_TRUE(timing.Parse(midi));
    const ReadBack town = Inspect(dir.File("town1.wav"));
    EXPECT_EQ(town.rate, 22050);
    EXPECT_GE(town.frames, std::llround(timing.Duration() * 22050));
    EXPECT_LE(town.frames, std::llround((timing.Duration() + 3.0) * 22050));
}

} // namespace
