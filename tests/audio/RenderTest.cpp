// From renderer to file: loops that join without a click, the release tail cut, the fade's curve,
// peaks limited instead of clipped, every format written whole; then the render command and the
// soundtrack export as a user runs them, read back with libsndfile and TagLib.
#include "DemoData.h"
#include "PlaybackSupport.h"
#include "SongBuilders.h"
#include "audio/Loudness.h"
#include "audio/Mastering.h"
#include "audio/MidiRenderer.h"
#include "audio/PlayingTime.h"
#include "audio/SoundFileWriter.h"
#include "cli/CliRun.h"

#include <fileref.h>
#include <sndfile.h>
#include <tpropertymap.h>

namespace sv::test {

namespace {

// An organ chord held over the whole song, struck again on every quarter: loud up to the end.
std::unique_ptr<MidiRenderer> HeldSong(int quarters) {
    MidiBuilder b;
    b.Raw(0, {0xC0, 19});
    for (int q = 0; q < quarters; ++q) {
        for (const int key : {60, 64, 67}) {
            b.Note(static_cast<std::uint32_t>(q * 192), 192, 0, key);
        }
    }
    LoadError error = LoadError::None;
    return MidiRenderer::Create(SharedSynth(), b.Build(), error);
}

float MaxStep(const Frames& f, std::size_t from, std::size_t to) {
    float step = 0.0f;
    for (std::size_t i = 2 * std::max<std::size_t>(from, 1); i < 2 * std::min(to, FrameCount(f));
         ++i) {
        step = std::max(step, std::fabs(f[i] - f[i - 2]));
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

TEST(Loops, PassesJoinWithoutAClickOnlyTheLastOneRingsOutAndAFadeEndsInSilence) {
    REQUIRE_SOUNDFONT();
    auto song = HeldSong(2);
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

    song.reset(); // one player on the synthesizer at a time
    song = HeldSong(3);
    const std::size_t end = 2 * FramesIn(song->Duration());
    const Frames faded = sv::RenderWhole(*song, kRate, {2, 4.0}, nullptr, nullptr);
    ASSERT_EQ(FrameCount(faded), end) << "a faded song has no tail";
    EXPECT_LT(20 * std::log10(RmsOf(faded, end - FramesIn(0.1), end)), -60.0);
    // Half-second windows over the fade, each quieter than the one before.
    const std::size_t half = FramesIn(0.5);
    double before = RmsOf(faded, end - FramesIn(4.0) - half, end - FramesIn(4.0));
    EXPECT_GT(before, 0.02) << "the song is not loud before the fade";
    for (std::size_t at = end - FramesIn(4.0); at + half <= end; at += half) {
        const double rms = RmsOf(faded, at, at + half);
        EXPECT_LT(rms, before) << "at " << at;
        before = rms;
    }
}

TEST(LimitPeaks, TurnsPeaksDownSmoothlyAndLeavesTheRestAlone) {
    Frames quiet(2 * 16000);
    for (std::size_t i = 0; i < quiet.size(); ++i) {
        quiet[i] = 0.5f * static_cast<float>(std::sin(0.05 * static_cast<double>(i / 2)));
    }
    Frames loud = quiet;
    for (std::size_t i = 2 * 2000; i < 2 * 2100; ++i) {
        loud[i] *= 4.0f; // a burst to twice full scale
    }
    Frames limited = loud;
    sv::LimitPeaks(limited, 8000);
    EXPECT_LE(PeakOf(limited), sv::kPeakCeiling * 1.000001f);
    EXPECT_GT(PeakOf(limited, 2000, 2100), 0.9f * sv::kPeakCeiling) << "the burst is crushed";
    // Before the look-ahead and once released the samples are exactly what they were.
    for (const std::size_t i : {0u, 1900u, 1980u, 12000u, 15999u}) {
        EXPECT_EQ(limited[2 * i], loud[2 * i]) << i;
    }
    // The gain glides: no step sharper than the burst's own.
    EXPECT_LE(MaxStep(limited, 1900, 3000), MaxStep(loud, 2000, 2100));
}

// What libsndfile reads back (all zero when it cannot open the file), and the samples if asked.
SF_INFO Inspect(const std::string& path, Frames* samples = nullptr) {
    SF_INFO info{};
    if (SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info)) {
        if (samples != nullptr) {
            samples->resize(static_cast<std::size_t>(info.frames * info.channels));
            sf_read_float(f, samples->data(), static_cast<sf_count_t>(samples->size()));
        }
        sf_close(f);
    }
    return info;
}

std::string Tag(const std::string& path, const std::string& key) {
    const TagLib::FileRef f(path.c_str());
    const TagLib::PropertyMap tags = f.isNull() ? TagLib::PropertyMap() : f.file()->properties();
    return tags.contains(key) ? tags[key].toString().to8Bit(true) : "(none)";
}

// The render command as a user types it in `dir`.
cli_support::Run Render(const ScratchDir& dir, std::vector<std::string> args) {
    args.insert(args.begin(), "render");
    cli_support::Options options;
    options.cwd = dir.Path();
    return cli_support::Cli(dir, args, options);
}

TEST(RenderCommand, StatusesMessagesAndAFullScaleSquareWave) {
    ScratchDir dir;
    WriteFile(dir.File("song.mid"), MidiBuilder().Note(0, 96, 0, 60).Build(192));
    WriteFile(dir.File("text.mid"), Bytes{'n', 'o', 'p', 'e'});
    WriteFile(dir.File("broken.HMI"), Bytes{'H', 'M', 'I', '-', 'M', 'I', 'D', 'I'});
    // A full-scale square wave is the loudest effect there is; resampled, its edges overshoot.
    Bytes square = EffectWav(11025, 441.0);
    for (std::size_t i = 44; i < square.size(); ++i) {
        square[i] = square[i] >= 128 ? 255 : 0;
    }
    WriteFile(dir.File("square.wav"), square);
    WriteFile(dir.File("short.wav"), EffectWav(1001, 441.0));
    // N frames at 11,025 Hz are round(N x R / 11,025) at R Hz, each pass; FLAC and Ogg are tagged.
    const std::pair<std::vector<std::string>, sf_count_t> lengths[] = {
        {{"square.wav", "a.FLAC", "--rate", "48000", "--loops", "1"}, 48000},
        {{"square.wav", "b.ogg", "--rate", "48000", "--loops", "2"}, 96000},
        {{"short.wav", "c.ogg", "--rate", "48000", "--loops", "2"}, 2 * 4358},
        {{"square.wav", "d.flac", "--rate", "44100", "--loops", "3"}, 132300}};
    for (const auto& [args, frames] : lengths) {
        const std::string out = dir.File(args[1]);
        ASSERT_EQ(Render(dir, args).status, 0) << args[1];
        EXPECT_EQ(Inspect(out).frames, frames) << args[1];
        EXPECT_EQ(Tag(out, "TITLE"), args[0].substr(0, args[0].size() - 4)) << args[1];
        EXPECT_EQ(Tag(out, "COMMENT"), "loops " + args.back() + ", fade 0 s") << args[1];
        EXPECT_GT(std::stod(Tag(out, "REPLAYGAIN_TRACK_PEAK")), 0.5) << args[1];
    }
    ASSERT_EQ(Render(dir, {"short.wav", "e.wav"}).status, 0);
    EXPECT_EQ(Inspect(dir.File("e.wav")).frames, 4004);
    Frames s;
    Inspect(dir.File("a.FLAC"), &s);
    const float loudest = PeakOf(s); // a wrapped sample reaches 1
    EXPECT_LT(loudest, 32767 / 32768.0f) << "clipped";
    EXPECT_GT(loudest, 0.9f) << "limited far more than needed";
    const auto loud = std::ranges::count_if(s, [](float v) { return std::fabs(v) > 0.5f; });
    EXPECT_GT(loud, std::ssize(s) / 4) << "the wave is no longer loud";
    // Tags added to a finished file join the track's and keep its audio.
    Bytes flac = ReadFile(dir.File("a.FLAC"));
    ASSERT_TRUE(sv::AddComments(flac, SoundFileType::Flac, {{"REPLAYGAIN_ALBUM_PEAK", "0.5"}}));
    WriteFile(dir.File("a.FLAC"), flac);
    EXPECT_EQ(Tag(dir.File("a.FLAC"), "REPLAYGAIN_ALBUM_PEAK"), "0.5");
    EXPECT_EQ(Tag(dir.File("a.FLAC"), "TITLE"), "square");
    EXPECT_EQ(Inspect(dir.File("a.FLAC")).frames, 48000);

    const std::tuple<std::vector<std::string>, int, const char*> failures[] = {
        {{"square.wav", ".ogg"}, 1, "use .wav, .flac or .ogg"}, // a hidden file's name only
        {{"absent.mid", "new.wav"}, 1, "Cannot read"},
        {{"text.mid", "new.wav"}, 1, "neither a MIDI song nor a WAV sound"},
        {{"song.mid", "new.wav", "--soundfont", "square.wav"},
         1,
         "\"square.wav\" is not a SoundFont."},
        {{"broken.HMI", "new.wav"}, 1, "not an HMI song that converts"},
        {{"square.wav", "new.wav", "--rate", "0"}, 64, ""},
        {{"song.mid", "new.wav", "--voice", "kazoo"}, 64, "--voice"},
    };
    for (const auto& [args, status, message] : failures) {
        const cli_support::Run r = Render(dir, args);
        EXPECT_EQ(r.status, status) << args[0];
        EXPECT_NE(r.err.find(message), std::string::npos) << args[0] << ": " << r.err;
    }
    EXPECT_FALSE(Exists(dir.File("new.wav")));
    EXPECT_FALSE(Exists(dir.File(".ogg")));

    if (sv::FindDefaultSoundFont().empty()) {
        return;
    }
    // A game song as the archive holds it is converted first, then rendered whole (over 20 s),
    // with no progress bar and no chatter when standard error is a file.
    WriteFile(dir.File("town1.hmi"), demo::MakeSong(2, false));
    const cli_support::Run r = Render(dir, {"town1.hmi", "town1.ogg", "--rate", "22050"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(Tag(dir.File("town1.ogg"), "COMMENT").rfind("SoundFont ", 0), 0u);
    EXPECT_GT(Inspect(dir.File("town1.ogg")).frames, 20 * 22050);

    // On the FM chip: audible, as long as its ticks say plus a tail under 3 s, the same bytes
    // twice, and not the SoundFont's sound.
    for (const char* name : {"fm.ogg", "again.ogg"}) {
        EXPECT_EQ(Render(dir, {"town1.hmi", name, "--rate", "22050", "--voice", "fm"}).status, 0);
    }
    const double seconds = sv::SongSeconds(demo::MakeSong(2, false)).value_or(0.0);
    Frames fm;
    const SF_INFO fmInfo = Inspect(dir.File("fm.ogg"), &fm);
    EXPECT_GE(fmInfo.frames, std::llround(seconds * 22050));
    EXPECT_LE(fmInfo.frames, std::llround((seconds + 3.0) * 22050));
    EXPECT_GT(PeakOf(fm), 0.1f) << "silent";
    EXPECT_EQ(ReadFile(dir.File("fm.ogg")), ReadFile(dir.File("again.ogg")));
    EXPECT_NE(ReadFile(dir.File("fm.ogg")), ReadFile(dir.File("town1.ogg")));
}

// One organ note of `ticks` (192 to the quarter, 1.6 s), as the game stores a song.
Bytes HmiNote(std::uint8_t ticks) {
    return HmiSong({{0x00, 0xC0, 19, 0x00, 0x90, 60, 110, ticks, ticks, 0xFF, 0x2F, 0x00}});
}

class Soundtrack : public testing::Test {
protected:
    void SetUp() override {
        if (FindDefaultSoundFont().empty()) {
            GTEST_SKIP() << "no General MIDI SoundFont on this machine";
        }
        WriteFile(game + "/wyvern.snd", MakeBsa({{"BOOM", 0, Filled(3, 0)}}, true));
    }
    cli_support::Run Export(const std::vector<Record>& songs, const std::string& to,
                            const std::vector<std::string>& args,
                            const cli_support::Options& options = {}) {
        WriteFile(game + "/midi.bsa", MakeBsa(songs, true));
        std::vector<std::string> all = {"export", game, "--work", dir.Sub("work"), "--audio", to};
        all.insert(all.end(), args.begin(), args.end());
        return cli_support::Cli(dir, all, options);
    }

    ScratchDir dir;
    std::string game = dir.Sub("Arena2");
    std::string out = dir.File("music");
};

TEST_F(Soundtrack, EverySongNamedTaggedAndListedInRecordOrderTheSameBytesTwice) {
    const std::vector<Record> songs = {{"ONE.HMI", 0, HmiNote(100)},
                                       {"TAVERN.HMI", 0, HmiNote(100)},
                                       {"BROKEN.HMI", 0, Filled(9, 0)},
                                       {"A:B.HMI", 0, HmiNote(60)}};
    const std::vector<std::string> args = {"--format", "ogg", "--rate", "11025",
                                           "--loops",  "2",   "--jobs", "2"};
    const cli_support::Run r = Export(songs, out, args);
    EXPECT_EQ(r.status, 1) << "a song was passed over";
    EXPECT_NE(r.err.find("Cannot write \"" + sv::JoinPath(out, "broken.ogg") +
                         "\": the song did not render."),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("3 files written, 1 files passed over"), std::string::npos) << r.err;
    EXPECT_EQ(Names(out), (std::vector<std::string>{"a_b.ogg", "one.ogg", "soundtrack.m3u"}));
    const Bytes playlist = ReadFile(sv::JoinPath(out, "soundtrack.m3u"));
    EXPECT_EQ(std::string(playlist.begin(), playlist.end()),
              "#EXTM3U\n#PLAYLIST:Arena2, SoundFont " +
                  sv::FromPath(sv::ToPath(FindDefaultSoundFont()).filename()) +
                  "\n#EXTINF:3,ONE\none.ogg\n#EXTINF:2,A:B\na_b.ogg\n");
    const std::string again = dir.File("again");
    EXPECT_EQ(Export(songs, again, args).status, 1);

    const std::tuple<const char*, const char*, const char*, int> expected[] = {
        {"one.ogg", "ONE", "1", 100}, {"a_b.ogg", "A:B", "3", 60}};
    for (const auto& [file, title, track, ticks] : expected) {
        const std::string path = sv::JoinPath(out, file);
        EXPECT_EQ(ReadFile(path), ReadFile(sv::JoinPath(again, file))) << file;
        const SF_INFO info = Inspect(path);
        EXPECT_EQ(Tag(path, "TITLE"), title);
        EXPECT_EQ(Tag(path, "ALBUM"), "Arena2");
        EXPECT_EQ(Tag(path, "TRACKNUMBER"), track);
        // Two passes of the song, then a release tail under 3 s.
        const double pass = ticks * kQuarter / 192;
        EXPECT_GE(info.frames, std::llround(2 * pass * 11025));
        EXPECT_LT(info.frames, std::llround((2 * pass + 3.0) * 11025));
        EXPECT_NE(Tag(path, "REPLAYGAIN_ALBUM_GAIN").find(" dB"), std::string::npos);
        EXPECT_GT(std::stod(Tag(path, "REPLAYGAIN_TRACK_PEAK")), 0.05);
        EXPECT_EQ(Tag(path, "REPLAYGAIN_ALBUM_GAIN"),
                  Tag(sv::JoinPath(out, "one.ogg"), "REPLAYGAIN_ALBUM_GAIN"));
    }
}

TEST_F(Soundtrack, NormalizedLoudnessAndASoundFontThatDoesNotLoad) {
    const std::vector<Record> songs = {{"ONE.HMI", 0, HmiNote(120)}, {"TWO.HMI", 0, HmiNote(90)}};
    const std::string soundFont = dir.File("absent.sf2");
    cli_support::Run r = Export(songs, out, {"--soundfont", soundFont});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Cannot read \"" + soundFont + "\": No such file or directory.\n");
    EXPECT_TRUE(Names(out).empty());
    // The FM chip needs no SoundFont, whatever was named; the playlist says the voice.
    const std::string fm = dir.File("fm");
    r = Export(songs, fm, {"--soundfont", soundFont, "--voice", "fm", "--format", "wav"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Names(fm), (std::vector<std::string>{"one.wav", "soundtrack.m3u", "two.wav"}));
    const Bytes playlist = ReadFile(sv::JoinPath(fm, "soundtrack.m3u"));
    EXPECT_EQ(std::string(playlist.begin(), playlist.end()).substr(0, 46),
              "#EXTM3U\n#PLAYLIST:Arena2, FM synthesis (OPL3)\n");

    r = Export(songs, out, {"--rate", "11025", "--fade", "1", "--normalize"});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* name : {"one.flac", "two.flac"}) {
        const std::string path = sv::JoinPath(out, name);
        Frames samples;
        sv::LoudnessMeter meter(Inspect(path, &samples).samplerate, true);
        meter.Add(samples);
        EXPECT_LE(20 * std::log10(meter.Peak()), -0.95) << name;
        EXPECT_NEAR(meter.Integrated(), -16.0, 1.0) << name;
        EXPECT_EQ(Tag(path, "REPLAYGAIN_TRACK_GAIN"), "(none)")
            << "normalized files carry no gain to apply";
    }
}

TEST_F(Soundtrack, InterruptedRunLeavesNoPartialFile) {
    // Many long passes: no machine renders them all before the signal.
    const auto start = std::chrono::steady_clock::now();
    cli_support::Options options;
    options.interruptWhen = [start] {
        return std::chrono::steady_clock::now() - start > std::chrono::milliseconds(1500);
    };
    const cli_support::Run r =
        Export({{"ONE.HMI", 0, demo::MakeSong(2, false)},
                {"TWO.HMI", 0, demo::MakeSong(3, false)},
                {"THREE.HMI", 0, demo::MakeSong(4, false)}},
               out, {"--rate", "8000", "--loops", "30", "--jobs", "1"}, options);
    EXPECT_EQ(r.status, 128 + SIGINT) << r.err;
    // Whatever is there is a whole file under its own name; no playlist for a cut-short run.
    for (const std::string& name : Names(out)) {
        EXPECT_TRUE(name == "one.flac" || name == "two.flac" || name == "three.flac") << name;
        EXPECT_GT(Inspect(sv::JoinPath(out, name)).frames, 0) << name;
    }
}

} // namespace

} // namespace sv::test
