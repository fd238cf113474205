#include "archive/Extraction.h"

#include "SongBuilders.h"
#include "archive/GameData.h"

namespace sv::test {

namespace {

TEST(ExtractionNames, OnlyTheFileNameIsLowerCasedAndRenamed) {
    struct Case {
        std::string given, raw, midi;
    };
    const Case cases[] = {
        {"Song.MID", "song.hmi", "song.mid"},
        {"A.MID.MID", "a.hmi.hmi", "a.mid.mid"},
        {"a.mid.hmi", "a.mid.hmi", "a.mid.mid"},
        {"Tune.XMI", "tune.xmi", "tune.xmi"},
        {"Dir.MID/Sub.HMI/X.Mid", "Dir.MID/Sub.HMI/x.hmi", "Dir.MID/Sub.HMI/x.mid"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sv::RawSongPath(c.given), c.raw) << c.given;
        EXPECT_EQ(sv::MidiSongPath(c.given), c.midi) << c.given;
    }
    EXPECT_EQ(sv::WavEffectPath("Y.RAW/Boom.RAW"), "Y.RAW/boom.wav");
    EXPECT_EQ(sv::WavEffectPath("Y/a.raw.x"), "Y/a.wav.x"); // no test of the ending
    EXPECT_EQ(sv::WavEffectPath("Y/Ä.WAV"), "Y/Ä.wav");     // ASCII letters only
}

class ExtractionTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(game + "/wyvern.snd",
                  MakeBsa({{"", 1, Filled(1001, 7)}, {"", 2, {}}, {"", 3, Filled(10, 1)}}, false));
        WriteFile(game + "/midi.bsa",
                  MakeBsa({{"GOOD.HMI", 0, kSong}, {"BAD.HMI", 0, Filled(300, 0)}}, true));
        data.SetWorkFolder(dir.Sub("work"));
        ASSERT_TRUE(data.Open(game));
    }

    const Bytes kTrack = {0x00, 0x90, 0x3C, 0x64, 0x10, 0x20, 0xFF, 0x2F, 0x00};
    const Bytes kSong = HmiSong({kTrack, kTrack});
    ScratchDir dir;
    std::string game = dir.Sub("Arena2");
    std::string out = dir.Sub("Out.MID");
    GameData data;
};

TEST_F(ExtractionTest, Songs) {
    WriteFile(out + "/song.hmi", {'k', 'e', 'e', 'p'});
    EXPECT_TRUE(data.ExtractSong(0, out + "/Song.MID", true));
    const Bytes track = {0x00, 0x90, 0x3C, 0x64, 0x10, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00};
    EXPECT_EQ(ReadFile(out + "/song.mid"), Midi({track, track}));
    // The raw song never went through the ".hmi" name, and no temporary is left.
    EXPECT_EQ(ReadFile(out + "/song.hmi"), Bytes({'k', 'e', 'e', 'p'}));
    EXPECT_EQ(Listing(out), (std::vector<std::string>{"song.hmi", "song.mid"}));

    // Without conversion: the raw bytes, ".mid" turned into ".hmi".
    EXPECT_TRUE(data.ExtractSong(0, out + "/Raw.MID", false));
    EXPECT_EQ(ReadFile(out + "/raw.hmi"), kSong);
    EXPECT_FALSE(Exists(out + "/raw.mid"));

    // A song that does not convert leaves no file and an older one intact; counted as done, as
    // playback and export expect, but told apart for those who ask.
    WriteFile(out + "/bad.mid", {'o', 'l', 'd'});
    EXPECT_TRUE(data.ExtractSong(1, out + "/bad.hmi", true));
    EXPECT_EQ(ReadFile(out + "/bad.mid"), Bytes({'o', 'l', 'd'}));
    EXPECT_EQ(*data.ExtractSongFile(1, out + "/new.mid", true), GameData::Extraction::NotConverted);
    EXPECT_EQ(Listing(out),
              (std::vector<std::string>{"bad.mid", "raw.hmi", "song.hmi", "song.mid"}));
}

TEST_F(ExtractionTest, EffectsAsWavWithTheirOwnHeader) {
    // An odd count: n + 36 at offset 4, n at 40, and no pad byte.
    EXPECT_TRUE(data.ExtractEffect(0, out + "/Boom.RAW", true));
    const Bytes wav = ReadFile(out + "/boom.wav");
    ASSERT_EQ(wav.size(), 1045u);
    const Bytes header = {'R', 'I', 'F',  'F',  0x0D, 0x04, 0,    0,    'W',  'A', 'V',
                          'E', 'f', 'm',  't',  ' ',  16,   0,    0,    0,    1,   0,
                          1,   0,   0x11, 0x2B, 0,    0,    0x11, 0x2B, 0,    0,   1,
                          0,   8,   0,    'd',  'a',  't',  'a',  0xE9, 0x03, 0,   0};
    EXPECT_EQ(Bytes(wav.begin(), wav.begin() + 44), header);
    EXPECT_EQ(Bytes(wav.begin() + 44, wav.end()), Filled(1001, 7));

    EXPECT_TRUE(data.ExtractEffect(1, out + "/Empty.wav", true));
    const Bytes empty = ReadFile(out + "/empty.wav");
    ASSERT_EQ(empty.size(), 44u);
    EXPECT_EQ(Bytes({empty[4], empty[40]}), Bytes({36, 0}));

    // Raw: the bytes only, under the exact spelling given.
    EXPECT_TRUE(data.ExtractEffect(2, out + "/LOUD.RAW", false));
    EXPECT_EQ(ReadFile(out + "/LOUD.RAW"), Filled(10, 1));
}

TEST_F(ExtractionTest, RefusalsWriteNothing) {
    EXPECT_FALSE(data.ExtractEffect(0, out + "/missing/x.wav", true));
    EXPECT_FALSE(data.ExtractSong(0, out + "/missing/x.mid", true));
    EXPECT_FALSE(data.ExtractEffect(3, out + "/x.wav", true));
    EXPECT_FALSE(data.ExtractSong(-1, out + "/x.mid", false));

    // A record whose size reaches past the end of the archive file.
    Bytes sounds = MakeBsa({{"", 1, Filled(8, 0)}}, false);
    sounds[sounds.size() - 4] = 200; // record 0 claims 200 bytes; the file holds 4 + 8 + 8
    WriteFile(game + "/wyvern.snd", sounds);
    ASSERT_TRUE(data.Open(game));
    EXPECT_FALSE(data.ExtractEffect(0, out + "/long.wav", true));
    EXPECT_FALSE(data.ExtractEffect(0, out + "/long.raw", false));
    EXPECT_TRUE(Listing(out).empty());

    // A closed set: every size is 0, so an effect is a bare header.
    data.Close();
    EXPECT_TRUE(data.ExtractEffect(0, out + "/closed.wav", true));
    EXPECT_EQ(ReadFile(out + "/closed.wav").size(), 44u);
}

} // namespace

} // namespace sv::test
