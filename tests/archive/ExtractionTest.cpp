#include "archive/Extraction.h"

#include "SongBuilders.h"
#include "archive/GameData.h"
#include "io/ByteCursor.h"

#include <array>

namespace sv::test {
namespace {

// Only the file name is lower-cased; ".mid" and ".hmi" are swapped where the name ends so, ".raw"
// anywhere in it, ASCII letters only.
TEST(ExtractionNames, OnlyTheFileNameIsLowerCasedAndRenamed) {
    const std::array<std::string, 3> cases[] = {
        {"Song.MID", "song.hmi", "song.mid"},
        {"A.MID.MID", "a.hmi.hmi", "a.mid.mid"},
        {"a.mid.hmi", "a.mid.hmi", "a.mid.mid"},
        {"Tune.XMI", "tune.xmi", "tune.xmi"},
        {"Dir.MID/Sub.HMI/X.Mid", "Dir.MID/Sub.HMI/x.hmi", "Dir.MID/Sub.HMI/x.mid"},
    };
    for (const auto& [given, raw, midi] : cases) {
        EXPECT_EQ(sv::RawSongPath(given) + " " + sv::MidiSongPath(given), raw + " " + midi);
    }
    EXPECT_EQ(sv::WavEffectPath("Y.RAW/Boom.RAW") + sv::WavEffectPath("Y/a.raw.x") +
                  sv::WavEffectPath("Y/\xC3\x84.WAV"),
              "Y.RAW/boom.wavY/a.wav.xY/\xC3\x84.wav");
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
    EXPECT_EQ(Names(out), (std::vector<std::string>{"song.hmi", "song.mid"}));

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
    EXPECT_EQ(Names(out), (std::vector<std::string>{"bad.mid", "raw.hmi", "song.hmi", "song.mid"}));
}

TEST_F(ExtractionTest, EffectsAsWavWithTheirOwnHeader) {
    // An odd count: n + 36 at offset 4, n at 40, and no pad byte.
    EXPECT_TRUE(data.ExtractEffect(0, out + "/Boom.RAW", true));
    Bytes expected = Wav(11025, 1, 8, 0, 0);
    StoreLE32(expected.data() + 4, 1001 + 36);
    StoreLE32(expected.data() + 40, 1001);
    const Bytes samples = Filled(1001, 7);
    expected.insert(expected.end(), samples.begin(), samples.end());
    EXPECT_EQ(ReadFile(out + "/boom.wav"), expected);
    EXPECT_TRUE(data.ExtractEffect(1, out + "/Empty.wav", true));
    EXPECT_EQ(ReadFile(out + "/empty.wav"), Wav(11025, 1, 8, 0, 0));
    // Raw: the bytes only, under the exact spelling given.
    EXPECT_TRUE(data.ExtractEffect(2, out + "/LOUD.RAW", false));
    EXPECT_EQ(ReadFile(out + "/LOUD.RAW"), Filled(10, 1));
}

TEST_F(ExtractionTest, RefusalsWriteNothing) {
    EXPECT_FALSE(data.ExtractEffect(0, out + "/missing/x.wav", true));
    EXPECT_FALSE(data.ExtractSong(0, out + "/missing/x.mid", true));

    // A record whose size reaches past the end of the archive file.
    Bytes sounds = MakeBsa({{"", 1, Filled(8, 0)}}, false);
    sounds[sounds.size() - 4] = 200; // record 0 claims 200 bytes; the file holds 4 + 8 + 8
    WriteFile(game + "/wyvern.snd", sounds);
    ASSERT_TRUE(data.Open(game));
    EXPECT_FALSE(data.ExtractEffect(0, out + "/long.wav", true));
    EXPECT_FALSE(data.ExtractEffect(0, out + "/long.raw", false));
    EXPECT_TRUE(Names(out).empty());

    // A closed set: every size is 0, so an effect is a bare header.
    data.Close();
    EXPECT_TRUE(data.ExtractEffect(0, out + "/closed.wav", true));
    EXPECT_EQ(ReadFile(out + "/closed.wav").size(), 44u);
}

} // namespace
} // namespace sv::test
