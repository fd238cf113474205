#include "archive/GameData.h"

#include "TestSupport.h"

namespace sv::test {
namespace {

namespace fs = std::filesystem;

class GameDataTest : public ::testing::Test {
protected:
    ScratchDir dir;
    std::string game = dir.Sub("Arena2");
    std::string work = dir.Sub("work");

    // Told apart by the size of their one record.
    static Bytes Sounds(std::size_t size) { return MakeBsa({{"", 7, Bytes(size)}}, false); }
    static Bytes Songs() { return MakeBsa({{"SONG.HMI", 0, Filled(4, 0)}}, true); }
};

TEST_F(GameDataTest, OpensBothArchivesFromTheGameFolderAndRefusalsKeepTheOpenSet) {
    WriteFile(game + "/wyvern.snd", Sounds(1));
    WriteFile(game + "/midi.bsa", Songs());
    WriteFile(work + "/wyvern.snd", Sounds(2));
    GameData data;
    data.SetWorkFolder(work);
    ASSERT_TRUE(data.Open(game + sv::kSeparator));
    ASSERT_TRUE(data.Open(game));
    EXPECT_EQ(data.Folder(), game);
    EXPECT_EQ(data.soundArchive.RecordSize(0), 1u);

    // No songs archive; only the songs archive, even with a sound archive in the work folder.
    const std::string noSongs = dir.Sub("nosongs");
    WriteFile(noSongs + "/wyvern.snd", Sounds(3));
    const std::string onlySongs = dir.Sub("onlysongs");
    WriteFile(onlySongs + "/midi.bsa", Songs());
    for (const std::string& refused : {noSongs, onlySongs, std::string()}) {
        EXPECT_FALSE(data.Open(refused));
        EXPECT_EQ(data.Folder(), game);
    }

    // Failing after validation closes the set, the sound archive opened before the songs included.
    const std::string broken = dir.Sub("broken");
    WriteFile(broken + "/wyvern.snd", Sounds(3));
    WriteFile(broken + "/midi.bsa", {0x00, 0x80, 0x00, 0x01}); // negative count
    EXPECT_EQ(data.Open(broken).Message(),
              "Cannot read \"" + broken + "/midi.bsa\": not a BSA archive.");
    EXPECT_FALSE(data.IsOpen() || data.soundArchive.IsOpen() || data.songArchive.IsOpen());
    EXPECT_EQ(data.Folder(), "");
}

// A folder named like the sound archive leaves the container to rebuild from, or a file of another
// case; a sound archive lying directly in the work folder is nobody's and never opened; a link to a
// file is as good as the file.
TEST_F(GameDataTest, WhatIsNotARegularFileCountsAsMissing) {
    fs::create_directories(ToPath(game + "/wyvern.snd"));
    WriteFile(dir.File("songs.bsa"), Songs());
    fs::create_symlink(ToPath(dir.File("songs.bsa")), ToPath(game + "/midi.bsa"));
    WriteFile(work + "/wyvern.snd", Sounds(2));
    WriteFile(game + "/PACKED.DAT", Bytes(16, 0));
    GameData data;
    data.SetWorkFolder(work);
    EXPECT_EQ(data.Open(game).Message(),
              "Cannot read \"" + game + "/PACKED.DAT\": entry 1 is not there in full.");
    EXPECT_EQ(Names(work), std::vector<std::string>{"wyvern.snd"});
    WriteFile(game + "/WYVERN.SND", Sounds(3));
    ASSERT_TRUE(data.Open(game));
    EXPECT_EQ(data.soundArchive.RecordSize(0), 3u);
    fs::remove(ToPath(game + "/WYVERN.SND"));
    fs::remove(ToPath(game + "/wyvern.snd"));
    fs::create_symlink(ToPath(work + "/wyvern.snd"), ToPath(game + "/wyvern.snd"));
    ASSERT_TRUE(data.Open(game));
    EXPECT_EQ(data.soundArchive.RecordSize(0), 2u);
    EXPECT_EQ(data.songArchive.RecordCount(), 1);
}

} // namespace
} // namespace sv::test
