// Rebuilding an entry of "PACKED.DAT": the blocks, the progress calls, the decoder's lines, the
// hostile containers, and GameData opening a folder that holds only the container.
#include "decode/Recovery.h"

#include "ExplodeSupport.h"
#include "archive/GameData.h"

namespace sv::test {

namespace {

using Calls = std::vector<std::string>;

class RecoveryTest : public ::testing::Test {
protected:
    ScratchDir dir;
    std::string game = dir.Sub("Arena2");
    std::string work = dir.Sub("work");
    RecordingProgress progress;
    std::vector<std::string> lines;
    GameData data;

    void SetUp() override {
        data.SetProgressControl(&progress);
        data.SetDecoderLines([this](std::string_view line) { lines.emplace_back(line); });
    }
    std::vector<std::string> WorkFiles() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(sv::ToPath(work))) {
            names.push_back(sv::FromPath(e.path().filename()));
        }
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(RecoveryTest, BlocksFollowOneAnotherWithProgressAfterEach) {
    const Bytes sounds = Mixed(200000, 1); // blocks of 65536 x 3 + 3392
    WriteFile(game + "/PACKED.DAT", MakePacked({{"OTHER.DAT", {}}, {"WYVERN.SND", sounds}}));

    ASSERT_TRUE(data.RebuildSoundArchive(game + sv::kSeparator, work, 1));
    EXPECT_EQ(ReadFile(work + "/WYVERN.SND"), sounds);
    EXPECT_EQ(progress.calls, (Calls{"show", "range 0 200000", "pos 65536", "pos 131072",
                                     "pos 196608", "pos 200000", "hide"}));
    EXPECT_EQ(lines, Calls(4, "Literal setting: 0\n"));
    EXPECT_FALSE(data.HitFatalCondition());
    EXPECT_EQ(WorkFiles(), Calls{"WYVERN.SND"}); // no temporary left
}

TEST_F(RecoveryTest, TheSizeFieldDecidesHowManyBlocksAreRead) {
    const Bytes one = Mixed(1500, 3);
    WriteFile(game + "/PACKED.DAT", MakePacked({{"EMPTY.SND", {}, 0},
                                                {"NEG.SND", one, std::int64_t{0x80000000}},
                                                {"LONG.SND", one, 1000}}));
    const struct {
        std::string name;
        Bytes content;
        Calls calls;
    } cases[] = {
        {"EMPTY.SND", {}, {"show", "range 0 0", "hide"}},
        {"NEG.SND", {}, {"show", "range 0 -2147483648", "hide"}},
        // One block holds more than the size: the output keeps every byte of it.
        {"LONG.SND", one, {"show", "range 0 1000", "pos 1500", "hide"}},
    };
    for (int i = 0; i < 3; ++i) {
        progress.calls.clear();
        ASSERT_TRUE(data.RebuildSoundArchive(game, work, i));
        EXPECT_EQ(ReadFile(work + "/" + cases[i].name), cases[i].content);
        EXPECT_EQ(progress.calls, cases[i].calls);
    }
}

TEST_F(RecoveryTest, FatalConditionsKeepTheOlderFile) {
    // The size promises more than the blocks hold: the next header is cut.
    WriteFile(game + "/PACKED.DAT",
              MakePacked({{"A", Mixed(3, 4)}, {"WYVERN.SND", Mixed(70000, 5), 90000}}));
    WriteFile(work + "/WYVERN.SND", {'o', 'l', 'd'});

    EXPECT_FALSE(data.RebuildSoundArchive(game, work, 1));
    EXPECT_TRUE(data.HitFatalCondition());
    EXPECT_EQ(lines, (Calls{"Literal setting: 0\n", "Literal setting: 0\n",
                            "Literal setting: -2147483648\n", "Error: Bad header.\n"}));
    EXPECT_EQ(progress.calls.back(), "hide");
    EXPECT_EQ(ReadFile(work + "/WYVERN.SND"), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(WorkFiles(), Calls{"WYVERN.SND"});
    ExplodeStatus status = ExplodeStatus::kOk;
    EXPECT_EQ(sv::RebuildFromContainer(game, work, 1, nullptr, {}, &status),
              sv::RebuildResult::kFatal);
    EXPECT_EQ(status, ExplodeStatus::kBadHeader);
}

TEST_F(RecoveryTest, HostileContainersFailCleanly) {
    const Bytes good = MakePacked({{"A.SND", Mixed(50, 7)}, {"../x", Mixed(60, 8)}});
    const struct {
        Bytes file;
        int entry;
        sv::RebuildResult result;
    } cases[] = {
        {good, 2, sv::RebuildResult::kBadEntry}, // beyond the directory
        {good, -1, sv::RebuildResult::kBadEntry},
        {MakePacked({{"THIRTEEN.BYTE", Mixed(5, 9)}}), 0, sv::RebuildResult::kBadEntry}, // no NUL
        {Bytes(good.begin(), good.begin() + 5), 0, sv::RebuildResult::kBadEntry}, // cut header
        {Bytes(good.begin(), good.begin() + 8 + 25 + 10), 1,
         sv::RebuildResult::kBadEntry}, // cut entry
    };
    for (const auto& c : cases) {
        WriteFile(game + "/PACKED.DAT", c.file);
        EXPECT_EQ(sv::RebuildFromContainer(game, work, c.entry, &progress, {}), c.result);
    }
    WriteFile(game + "/PACKED.DAT", good);
    EXPECT_EQ(sv::RebuildFromContainer(work, work, 0, &progress, {}),
              sv::RebuildResult::kNoContainer);
    EXPECT_EQ(sv::RebuildFromContainer(game, work + "/missing", 0, &progress, {}),
              sv::RebuildResult::kNoOutput);
    EXPECT_TRUE(progress.calls.empty()); // none of these got as far as the blocks

    // A name that escapes the folder stays inside it.
    ASSERT_EQ(sv::RebuildFromContainer(game, work, 1, nullptr, {}), sv::RebuildResult::kDone);
    EXPECT_EQ(ReadFile(work + "/.._x"), Mixed(60, 8));
    EXPECT_FALSE(Exists(dir.Path() + "/x"));
    EXPECT_EQ(WorkFiles(), Calls{".._x"});
}

TEST_F(RecoveryTest, GameFolderWithOnlyTheContainerRebuildsEntryOneIntoTheWorkFolder) {
    const Bytes sounds = MakeBsa({{"", 7, Mixed(90000, 10)}, {"", 9, Mixed(20, 11)}}, false);
    WriteFile(game + "/PACKED.DAT",
              MakePacked({{"MIDI.BSA", Mixed(9, 12)}, {"WYVERN.SND", sounds}}));
    WriteFile(game + "/midi.bsa", MakeBsa({{"SONG.HMI", 0, Filled(4, 0)}}, true));
    data.SetWorkFolder(work);

    ASSERT_TRUE(data.Open(game));
    EXPECT_EQ(data.soundArchive.RecordCount(), 2);
    EXPECT_EQ(data.soundArchive.RecordSize(0), 90000u);
    EXPECT_EQ(WorkFiles(), Calls{"WYVERN.SND"});
    EXPECT_EQ(progress.calls.front(), "show");
}

} // namespace

} // namespace sv::test
