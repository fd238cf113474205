// Rendering to sound files: each extension gives its format, the whole piece arrives, and a file
// that cannot be made leaves nothing behind; then the render command's statuses and messages as
// a user meets them.
#include "audio/SoundFileWriter.h"

#include "DemoData.h"
#include "PlaybackSupport.h"
#include "audio/WavRenderer.h"
#include "cli/CliRun.h"

#include <sndfile.h>

namespace sv::test {

using sv::SoundFileType;
using sv::WriteResult;

namespace {

// What libsndfile reads back; all zero when it cannot open the file.
SF_INFO Inspect(const std::string& path) {
    SF_INFO info{};
    if (SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info)) {
        sf_close(f);
    }
    return info;
}

TEST(SoundFileWriter, ExtensionPicksTheFormat) {
    const std::pair<const char*, SoundFileType> cases[] = {{"dir.flac/A.WAV", SoundFileType::Wav},
                                                           {"a.Flac", SoundFileType::Flac},
                                                           {".wav", SoundFileType::Unknown},
                                                           {"wav", SoundFileType::Unknown}};
    for (const auto& [path, type] : cases) {
        EXPECT_EQ(sv::SoundFileTypeFor(path), type) << path;
    }
}

TEST(SoundFileWriter, EveryFormatHoldsTheWholeEffectAndFailuresLeaveNothing) {
    ScratchDir dir;
    const std::tuple<const char*, SoundFileType, int> cases[] = {
        {"e.wav", SoundFileType::Wav, SF_FORMAT_WAV},
        {"e.flac", SoundFileType::Flac, SF_FORMAT_FLAC},
        {"e.ogg", SoundFileType::Ogg, SF_FORMAT_OGG}};
    sv::LoadError error = sv::LoadError::None;
    for (const auto& [name, type, format] : cases) {
        auto effect = sv::WavRenderer::Create(EffectWav(5000, 441.0), kRate, error);
        ASSERT_TRUE(effect);
        ASSERT_EQ(sv::RenderToFile(*effect, kRate, {}, dir.File(name), type, nullptr),
                  WriteResult::Done)
            << name;
        const SF_INFO back = Inspect(dir.File(name));
        EXPECT_EQ(back.format & SF_FORMAT_TYPEMASK, format) << name;
        EXPECT_EQ(back.channels, 2) << name;
        EXPECT_EQ(back.samplerate, kRate) << name;
        EXPECT_EQ(back.frames, 20000) << name;
    }
    EXPECT_EQ(Names(dir.Path()).size(), 3u); // no temporary file is left over

    auto effect = sv::WavRenderer::Create(EffectWav(100, 441.0), kRate, error);
    ASSERT_TRUE(effect);
    EXPECT_EQ(sv::RenderToFile(*effect, kRate, {}, dir.File("missing/e.wav"), SoundFileType::Wav,
                               nullptr),
              WriteResult::CannotCreate);
    EXPECT_EQ(
        sv::RenderToFile(*effect, kRate, {}, dir.File("e.mp3"), SoundFileType::Unknown, nullptr),
        WriteResult::CannotCreate);
    EXPECT_EQ(Names(dir.Path()).size(), 3u);
}

// The render command as a user types it in `dir`.
cli_support::Run Render(const ScratchDir& dir, std::vector<std::string> args) {
    args.insert(args.begin(), "render");
    cli_support::Options options;
    options.cwd = dir.Path();
    return cli_support::Cli(dir, args, options);
}

TEST(RenderCommand, StatusesAndMessages) {
    ScratchDir dir;
    WriteFile(dir.File("song.mid"), MidiBuilder().Note(0, 96, 0, 60).Build(192));
    WriteFile(dir.File("effect.wav"), EffectWav(2000, 441.0));
    WriteFile(dir.File("text.mid"), Bytes{'n', 'o', 'p', 'e'});
    WriteFile(dir.File("broken.HMI"), Bytes{'H', 'M', 'I', '-', 'M', 'I', 'D', 'I'});

    cli_support::Run r = Render(dir, {"effect.wav", "out.flac", "--rate", "22050"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Inspect(dir.File("out.flac")).samplerate, 22050);
    EXPECT_EQ(Inspect(dir.File("out.flac")).frames, 4000);

    const struct {
        std::vector<std::string> args;
        int status;
        const char* message;
    } failures[] = {
        {{"effect.wav", "out.mp3"}, 1, "use .wav, .flac or .ogg"},
        {{"absent.mid", "out.wav"}, 1, "Cannot read"},
        {{"text.mid", "out.wav"}, 1, "neither a MIDI song nor a WAV sound"},
        {{"song.mid", "out.wav", "--soundfont", "effect.wav"},
         1,
         "\"effect.wav\" is not a SoundFont."},
        {{"broken.HMI", "out.wav"}, 1, "not an HMI song that converts"},
        {{"effect.wav", "out.wav", "--rate", "0"}, 64, ""},
    };
    for (const auto& f : failures) {
        r = Render(dir, f.args);
        EXPECT_EQ(r.status, f.status) << f.args[0];
        EXPECT_NE(r.err.find(f.message), std::string::npos) << f.args[0] << ": " << r.err;
    }
    EXPECT_FALSE(Exists(dir.File("out.wav")));
    EXPECT_FALSE(Exists(dir.File("out.mp3")));

    if (sv::FindDefaultSoundFont().empty()) {
        return;
    }
    r = Render(dir, {"song.mid", "song.ogg"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, ""); // no progress bar and no chatter when standard error is a file
    EXPECT_GE(Inspect(dir.File("song.ogg")).frames, std::llround(kQuarter * kRate));

    // A game song as the archive holds it is converted first, then rendered whole (over 20 s).
    WriteFile(dir.File("town1.hmi"), demo::MakeSong(2, false));
    r = Render(dir, {"town1.hmi", "town1.wav", "--rate", "22050"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Inspect(dir.File("town1.wav")).samplerate, 22050);
    EXPECT_GT(Inspect(dir.File("town1.wav")).frames, 20 * 22050);
}

} // namespace

} // namespace sv::test
