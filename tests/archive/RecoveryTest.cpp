// Rebuilding an entry of "PACKED.DAT": the blocks, the progress calls, the decoder's lines, the
// hostile containers, and GameData opening folders that hold only their container.
#include "archive/Recovery.h"

#include "ExplodeSupport.h"
#include "archive/GameData.h"

#include <tuple>

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
    std::vector<std::string> WorkFiles() const { return Names(work); }
};

// The size field decides how many blocks are read: none for 0 or a negative size; one block that
// holds more than the size is kept whole.
TEST_F(RecoveryTest, TheSizeFieldDecidesHowManyBlocksAreRead) {
    const Bytes one = Mixed(1500, 3);
    WriteFile(game + "/PACKED.DAT", MakePacked({{"EMPTY.SND", {}, 0},
                                                {"NEG.SND", one, std::int64_t{0x80000000}},
                                                {"LONG.SND", one, 1000}}));
    const std::tuple<std::string, Bytes, Calls> cases[] = {
        {"EMPTY.SND", {}, {"show", "range 0 0", "hide"}},
        {"NEG.SND", {}, {"show", "range 0 -2147483648", "hide"}},
        {"LONG.SND", one, {"show", "range 0 1000", "pos 1500", "hide"}},
    };
    int entry = 0;
    for (const auto& [name, content, calls] : cases) {
        progress.calls.clear();
        ASSERT_TRUE(data.RebuildSoundArchive(game, work, entry++));
        EXPECT_EQ(ReadFile(work + "/" + name), content);
        EXPECT_EQ(progress.calls, calls);
    }
}

// Each failure names the container or the destination and leaves nothing behind; a broken stream
// (the size promises more than the blocks hold) keeps an older file and reports the decoder's
// lines.
TEST_F(RecoveryTest, HostileContainersFailCleanly) {
    const Bytes good = MakePacked({{"A.SND", Mixed(50, 7)}, {"../x", Mixed(60, 8)}});
    const std::string container = game + "/PACKED.DAT";
    const std::string cut = "Cannot read \"" + container + "\": entry ";
    const std::tuple<Bytes, int, std::string> cases[] = {
        {good, 2, cut + "2 is not there in full."}, // beyond the directory
        {MakePacked({{"THIRTEEN.BYTE", {}}}), 0, cut + "0 is not there in full."},
        {Bytes(good.begin(), good.begin() + 5), 0, cut + "0 is not there in full."},
        {Bytes(good.begin(), good.begin() + 43), 1, cut + "1 is not there in full."},
        {MakePacked({{"", {}}}), 0, cut + "0 has no name."},
        {{}, 0, "Cannot read \"" + container + "\": Is a directory."}, // a folder of the name
    };
    for (const auto& [file, entry, message] : cases) {
        if (file.empty()) {
            std::filesystem::remove(ToPath(container));
            std::filesystem::create_directory(ToPath(container));
        } else {
            WriteFile(container, file);
        }
        EXPECT_EQ(RebuildFromContainer(game, work, entry, &progress, {}).Message(), message);
    }
    std::filesystem::remove(ToPath(container));
    WriteFile(container, good);
    EXPECT_EQ(RebuildFromContainer(game, work + "/missing", 0, &progress, {}).Message(),
              "Cannot write \"" + work + "/missing\": No such file or directory.");
    EXPECT_TRUE(progress.calls.empty()); // none of these got as far as the blocks
    EXPECT_TRUE(WorkFiles().empty());

    WriteFile(container, MakePacked({{"../x", Mixed(3, 4)}, {"x", Mixed(70000, 5), 90000}}));
    WriteFile(work + "/x", {'o', 'l', 'd'});
    EXPECT_TRUE(data.RebuildSoundArchive(game, work, 1).DecoderFatal());
    EXPECT_EQ(lines, (Calls{"Literal setting: 0\n", "Literal setting: 0\n",
                            "Literal setting: -2147483648\n", "Error: Bad header.\n"}));
    EXPECT_EQ(progress.calls.back(), "hide");
    // A name that escapes the folder stays inside it.
    ASSERT_TRUE(RebuildFromContainer(game, work, 0, nullptr, {}).Ok());
    EXPECT_EQ(WorkFiles(), (Calls{".._x", "x"}));
    EXPECT_EQ(ReadFile(work + "/x"), (Bytes{'o', 'l', 'd'}));
}

TEST_F(RecoveryTest, BlocksAtTheLimitResumeRightAfterTheirLastDataByte) {
    // A block that fills the limit ends decoding before its end marker is read, so the next block
    // header follows the last byte that held a bit of data. The end marker is the flag bit, the
    // 7-bit length code and 8 one bits, then zero padding: its last bit is the last set bit.
    const Bytes entry = Mixed(2500000, 21);
    const std::size_t sizes[] = {kBlockLimit, kBlockLimit, 402848};
    Bytes packed = MakePacked({{"WYVERN.SND", {}, 2500000}});
    packed.resize(8 + 25); // the header and directory only
    std::size_t at = 0;
    for (const std::size_t n : sizes) {
        Bytes stream = dcl::Implode(entry.data() + at, n, 4096);
        ASSERT_FALSE(stream.empty());
        at += n;
        if (n == kBlockLimit) {
            const std::uint8_t last = stream.back();
            ASSERT_NE(last, 0);
            int top = 7;
            while ((last >> top & 1) == 0) {
                --top;
            }
            const std::size_t endBit = 8 * (stream.size() - 1) + static_cast<std::size_t>(top);
            stream.resize((endBit - 16) / 8 + 1); // bytes holding data bits
        }
        packed.insert(packed.end(), 36, 0xEE);
        packed.insert(packed.end(), stream.begin(), stream.end());
    }
    WriteFile(game + "/PACKED.DAT", packed);

    ASSERT_TRUE(data.RebuildSoundArchive(game, work, 0)) << lines.size();
    EXPECT_TRUE(ReadFile(work + "/WYVERN.SND") == entry);
    EXPECT_EQ(progress.calls, (Calls{"show", "range 0 2500000", "pos 1048576", "pos 2097152",
                                     "pos 2500000", "hide"}));
    EXPECT_EQ(lines, Calls(3, "Literal setting: 0\n"));
}

// Each container's archive is rebuilt once, into a folder of its own in the work folder: entry 1
// of four blocks (65536 x 3 + 3404), progress after each; the other container's five records.
TEST_F(RecoveryTest, EachContainerRebuildsOnceIntoAFolderOfItsOwn) {
    const std::string other = dir.Sub("Other");
    const Bytes sounds = MakeBsa({{"", 7, Mixed(200000, 22)}}, false);
    const Bytes five = MakeBsa(std::vector<Record>(5, {"", 1, Mixed(10, 2)}), false);
    WriteFile(game + "/PACKED.DAT", MakePacked({{"MIDI.BSA", {}}, {"WYVERN.SND", sounds}}));
    WriteFile(other + "/PACKED.DAT", MakePacked({{"MIDI.BSA", {}}, {"WYVERN.SND", five}}));
    for (const std::string& folder : {game, other}) {
        WriteFile(folder + "/midi.bsa", MakeBsa({{"SONG.HMI", 0, Filled(4, 0)}}, true));
    }
    WriteFile(work + "/wyvern.snd", five); // an older version's: for no container in particular
    data.SetWorkFolder(work);
    const Calls calls = {"show",       "range 0 200012", "pos 65536", "pos 131072",
                         "pos 196608", "pos 200012",     "hide"};
    for (int pass = 0; pass < 2; ++pass) {
        for (const std::string& folder : {game, other}) {
            progress.calls.clear();
            lines.clear();
            ASSERT_TRUE(data.Open(folder).Ok()) << folder;
            EXPECT_EQ(data.soundArchive.RecordCount(), folder == game ? 1 : 5);
            if (pass == 1) {
                EXPECT_EQ(progress.calls, Calls{}); // nothing rebuilt
            } else if (folder == game) {
                EXPECT_EQ(progress.calls, calls);
                EXPECT_EQ(lines, Calls(4, "Literal setting: 0\n"));
            }
        }
    }
    const Calls names = WorkFiles();
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[2], "wyvern.snd");
    EXPECT_EQ(ReadFile(work + "/" + names[0] + "/WYVERN.SND").size() +
                  ReadFile(work + "/" + names[1] + "/WYVERN.SND").size(),
              sounds.size() + five.size());

    // A rebuilt file replaces one whose name differs only in case, leaving no temporary.
    ASSERT_TRUE(RebuildFromContainer(game, work, 1, nullptr, {}).Ok());
    EXPECT_EQ(ReadFile(work + "/wyvern.snd"), sounds);
    EXPECT_EQ(WorkFiles(), (Calls{names[0], names[1], "wyvern.snd"}));
}

} // namespace
} // namespace sv::test
