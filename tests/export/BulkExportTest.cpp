#include "export/BulkExport.h"

#include "SongBuilders.h"

namespace sv::test {

namespace {

class BulkExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(
            game + "/wyvern.snd",
            MakeBsa({{"BOOM", 0, Filled(3, 0)}, {"../UP", 0, Filled(5, 0)}, {"A:B", 0, {}}}, true));
        WriteFile(game + "/midi.bsa", MakeBsa({{"../ONE.HMI", 0, kSong},
                                               {"TAVERN.HMI", 0, kSong},
                                               {"BROKEN.HMI", 0, Filled(9, 0)},
                                               {"tavern.hmi", 0, kSong}},
                                              true));
        data.SetWorkFolder(dir.Sub("work"));
        ASSERT_TRUE(data.Open(game));
    }

    const Bytes kSong = HmiSong({{0x00, 0xC0, 0x01, 0x00, 0xFF, 0x2F, 0x00}});
    ScratchDir dir;
    std::string game = dir.Sub("Arena2");
    std::string songs = dir.Sub("music");
    GameData data;
    RecordingProgress progress;
};

TEST_F(BulkExportTest, SafeNamesTheSkippedSongAndFailuresAreCounted) {
    const sv::BulkExportResult result =
        sv::BulkExport(data, {true, dir.Sub("fx"), true, songs}, progress);
    // Names made safe stay inside the folder, lower-cased; songs end in ".mid"; "TAVERN.HMI",
    // exactly so spelt, is passed over without a word.
    EXPECT_EQ(Listing(dir.Path()),
              (std::vector<std::string>{"Arena2", "Arena2/midi.bsa", "Arena2/wyvern.snd", "fx",
                                        "fx/.._up.wav", "fx/a_b.wav", "fx/boom.wav", "music",
                                        "music/.._one.mid", "music/tavern.mid", "work"}));
    EXPECT_EQ(result.written, 5);
    EXPECT_EQ(result.passedOver, 1);
    EXPECT_EQ(result.notWritten, (std::vector<std::string>{sv::JoinPath(songs, "broken.mid")}));
    EXPECT_EQ(result.bytes, (44u + 3) + (44 + 5) + 44 + 2 * (33 + 8 + 7));
}

} // namespace

} // namespace sv::test
