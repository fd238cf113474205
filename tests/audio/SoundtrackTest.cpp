// The soundtrack exported as audio files, as a user runs it: names, order, tags and loudness
// read back with libsndfile, a song that does not convert, a SoundFont that does not load, the
// same bytes twice, and an interrupted run that leaves no partial file.
#include "DemoData.h"
#include "PlaybackSupport.h"
#include "SongBuilders.h"
#include "audio/Loudness.h"
#include "audio/VorbisComments.h"
#include "cli/CliRun.h"

#include <sndfile.h>

namespace sv::test {

namespace {

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

    void Songs(const std::vector<Record>& songs) {
        WriteFile(game + "/midi.bsa", MakeBsa(songs, true));
    }

    // The command line's "export GAME --work WORK" followed by `args`.
    cli_support::Run Export(const std::vector<std::string>& args,
                            const cli_support::Options& options = {}) {
        std::vector<std::string> all = {"export", game, "--work", dir.Sub("work")};
        all.insert(all.end(), args.begin(), args.end());
        return cli_support::Cli(dir, all, options);
    }

    ScratchDir dir;
    std::string game = dir.Sub("Arena2");
    std::string out = dir.File("music");
};

std::string Tag(const sv::Comments& comments, const std::string& key) {
    for (const auto& [k, v] : comments) {
        if (sv::AsciiLower(k) == sv::AsciiLower(key)) {
            return v;
        }
    }
    return "(none)";
}

TEST_F(Soundtrack, EverySongNamedTaggedAndListedInRecordOrder) {
    Songs({{"ONE.HMI", 0, HmiNote(100)},
           {"TAVERN.HMI", 0, HmiNote(100)},
           {"BROKEN.HMI", 0, Filled(9, 0)},
           {"A:B.HMI", 0, HmiNote(60)}});
    const cli_support::Run r =
        Export({"--audio", out, "--format", "ogg", "--rate", "11025", "--loops", "2"});
    EXPECT_EQ(r.status, 1) << "a song was passed over";
    EXPECT_NE(r.err.find("Cannot write \"" + sv::JoinPath(out, "broken.ogg") +
                         "\": the song did not render."),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("3 files written, 1 files passed over"), std::string::npos) << r.err;
    EXPECT_EQ(Names(out), (std::vector<std::string>{"a_b.ogg", "one.ogg", "soundtrack.m3u"}));
    const Bytes playlist = ReadFile(sv::JoinPath(out, "soundtrack.m3u"));
    EXPECT_EQ(std::string(playlist.begin(), playlist.end()),
              "#EXTM3U\n#EXTINF:3,ONE\none.ogg\n#EXTINF:2,A:B\na_b.ogg\n");

    const struct {
        const char* file;
        const char* title;
        const char* track;
        int ticks;
    } expected[] = {{"one.ogg", "ONE", "1", 100}, {"a_b.ogg", "A:B", "3", 60}};
    double albumGain = 0.0;
    for (const auto& e : expected) {
        const std::string path = sv::JoinPath(out, e.file);
        SF_INFO info{};
        SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
        ASSERT_NE(f, nullptr) << path;
        EXPECT_STREQ(sf_get_string(f, SF_STR_TITLE), e.title);
        EXPECT_STREQ(sf_get_string(f, SF_STR_ALBUM), "Arena2");
        EXPECT_STREQ(sf_get_string(f, SF_STR_TRACKNUMBER), e.track);
        sf_close(f);
        // Two passes of the song, then a release tail under 3 s.
        const double pass = e.ticks * kQuarter / 192;
        EXPECT_GE(info.frames, std::llround(2 * pass * 11025));
        EXPECT_LT(info.frames, std::llround((2 * pass + 3.0) * 11025));

        const sv::Comments tags = sv::ReadVorbisComments(ReadFile(path), true);
        EXPECT_NE(Tag(tags, "REPLAYGAIN_TRACK_GAIN").find(" dB"), std::string::npos);
        EXPECT_GT(std::stod(Tag(tags, "REPLAYGAIN_TRACK_PEAK")), 0.05);
        const double album = std::stod(Tag(tags, "REPLAYGAIN_ALBUM_GAIN"));
        EXPECT_TRUE(albumGain == 0.0 || album == albumGain) << "one album gain for all";
        albumGain = album;
    }
}

TEST_F(Soundtrack, SameBytesTwiceAndNormalizedLoudness) {
    Songs({{"ONE.HMI", 0, HmiNote(120)}, {"TWO.HMI", 0, HmiNote(90)}});
    const std::string again = dir.File("again");
    for (const std::string& folder : {out, again}) {
        const cli_support::Run r = Export(
            {"--audio", folder, "--rate", "11025", "--jobs", "2", "--fade", "1", "--normalize"});
        ASSERT_EQ(r.status, 0) << r.err;
    }
    for (const char* name : {"one.flac", "two.flac", "soundtrack.m3u"}) {
        EXPECT_EQ(ReadFile(sv::JoinPath(out, name)), ReadFile(sv::JoinPath(again, name))) << name;
    }
    for (const char* name : {"one.flac", "two.flac"}) {
        const std::string path = sv::JoinPath(out, name);
        SF_INFO info{};
        SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
        ASSERT_NE(f, nullptr);
        Frames samples(static_cast<std::size_t>(info.frames) * 2);
        sf_readf_float(f, samples.data(), info.frames);
        sf_close(f);
        sv::LoudnessMeter meter(info.samplerate, true);
        meter.Add(samples);
        EXPECT_LE(20 * std::log10(meter.Peak()), -0.95) << name;
        EXPECT_NEAR(meter.Integrated(), -16.0, 1.0) << name;
        EXPECT_EQ(Tag(sv::ReadVorbisComments(ReadFile(path), false), "REPLAYGAIN_TRACK_GAIN"),
                  "(none)")
            << "normalized files carry no gain to apply";
    }
}

TEST_F(Soundtrack, ASoundFontThatDoesNotLoadStopsBeforeAnyFile) {
    Songs({{"ONE.HMI", 0, HmiNote(30)}});
    const std::string soundFont = dir.File("absent.sf2");
    const cli_support::Run r = Export({"--audio", out, "--soundfont", soundFont});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Cannot read \"" + soundFont + "\": No such file or directory.\n");
    EXPECT_TRUE(Names(out).empty());
}

TEST_F(Soundtrack, InterruptedRunLeavesNoPartialFile) {
    Songs({{"ONE.HMI", 0, demo::MakeSong(2, false)},
           {"TWO.HMI", 0, demo::MakeSong(3, false)},
           {"THREE.HMI", 0, demo::MakeSong(4, false)}});
    // Many long passes: no machine renders them all before the signal.
    const auto start = std::chrono::steady_clock::now();
    cli_support::Options options;
    options.interruptWhen = [start] {
        return std::chrono::steady_clock::now() - start > std::chrono::milliseconds(1500);
    };
    const cli_support::Run r =
        Export({"--audio", out, "--rate", "8000", "--loops", "30", "--jobs", "1"}, options);
    EXPECT_EQ(r.status, 128 + SIGINT) << r.err;
    // Whatever is there is a whole file under its own name; no playlist for a cut-short run.
    for (const std::string& name : Names(out)) {
        EXPECT_TRUE(name == "one.flac" || name == "two.flac" || name == "three.flac") << name;
        SF_INFO info{};
        SNDFILE* f = sf_open(sv::JoinPath(out, name).c_str(), SFM_READ, &info);
        EXPECT_NE(f, nullptr) << name;
        if (f != nullptr) {
            sf_close(f);
        }
    }
}

} // namespace

} // namespace sv::test
