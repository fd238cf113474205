// Rebuilding an entry of "PACKED.DAT": the blocks, the progress calls, the decoder's lines, the
// hostile containers, and GameData opening a folder that holds only the container.
#include "decode/Recovery.h"

#include "Dcl.h"
#include "ExplodeSupport.h"
#include "archive/GameData.h"

#include <numeric>

using namespace testing_support;

namespace {

struct Entry {
    std::string name; // up to 13 bytes; 13 leaves no NUL
    Bytes data;
    std::size_t blockSize = 65536;
    std::int64_t size = -1; // the size field; -1 for data.size()
};

// A container: header, each entry's blocks (36 header bytes of 0xEE, then one stream), then the
// directory.
Bytes MakePacked(const std::vector<Entry>& entries) {
    Bytes file(8, 0);
    std::vector<std::uint32_t> offsets;
    for (const Entry& e : entries) {
        offsets.push_back(static_cast<std::uint32_t>(file.size()));
        for (std::size_t at = 0; at < e.data.size() || (at == 0 && e.data.empty());
             at += e.blockSize) {
            const std::size_t n = std::min(e.blockSize, e.data.size() - at);
            const Bytes stream = dcl::Implode(e.data.data() + at, n, 4096);
            file.insert(file.end(), 36, 0xEE);
            file.insert(file.end(), stream.begin(), stream.end());
            if (e.data.empty()) {
                break;
            }
        }
    }
    const auto directory = static_cast<std::uint32_t>(file.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        PutLE32(file, static_cast<std::uint32_t>(e.size < 0 ? e.data.size() : e.size));
        PutLE32(file, 0x12345678);
        std::string name = e.name;
        name.resize(13, '\0');
        file.insert(file.end(), name.begin(), name.end());
        PutLE32(file, offsets[i]);
    }
    file[0] = static_cast<std::uint8_t>(directory);
    file[1] = static_cast<std::uint8_t>(directory >> 8);
    file[2] = static_cast<std::uint8_t>(directory >> 16);
    file[3] = static_cast<std::uint8_t>(directory >> 24);
    return file;
}

class RecordedProgress final : public ProgressControl {
public:
    void Show() override { calls.push_back("show"); }
    void SetRange(std::int32_t low, std::int32_t high) override {
        calls.push_back("range " + std::to_string(low) + " " + std::to_string(high));
    }
    void SetPos(std::int32_t pos) override { calls.push_back("pos " + std::to_string(pos)); }
    void Hide() override { calls.push_back("hide"); }
    std::vector<std::string> calls;
};

Bytes Pattern(std::size_t n) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) {
        b[i] = static_cast<std::uint8_t>((i * i) / 97 + (i >> 10));
    }
    return b;
}

class RecoveryTest : public ::testing::Test {
protected:
    ScratchDir dir;
    std::string game = dir.Sub("Arena2");
    std::string work = dir.Sub("work");
    RecordedProgress progress;
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
    const Bytes sounds = Pattern(200000); // four blocks: 65536 x 3 + 3392
    WriteFile(game + "/PACKED.DAT",
              MakePacked({{"OTHER.DAT", Pattern(10)}, {"WYVERN.SND", sounds}}));

    ASSERT_TRUE(data.RebuildSoundArchive(game + sv::kSeparator, work, 1));
    EXPECT_EQ(ReadFile(work + "/WYVERN.SND"), sounds);
    EXPECT_EQ(progress.calls,
              (std::vector<std::string>{"show", "range 0 200000", "pos 65536", "pos 131072",
                                        "pos 196608", "pos 200000", "hide"}));
    EXPECT_EQ(lines, std::vector<std::string>(4, "Literal setting: 0\n"));
    EXPECT_FALSE(data.HitFatalCondition());
    EXPECT_EQ(WorkFiles(), std::vector<std::string>{"WYVERN.SND"}); // no temporary left

    // Entry 0, and no progress control: nothing to call.
    GameData quiet;
    ASSERT_TRUE(quiet.RebuildSoundArchive(game, work, 0));
    EXPECT_EQ(ReadFile(work + "/OTHER.DAT"), Pattern(10));
}

TEST_F(RecoveryTest, EmptyNegativeAndOverlongSizes) {
    Entry empty{"EMPTY.SND", {}, 65536, 0};
    Entry negative{"NEG.SND", Pattern(100), 65536, std::int64_t{0x80000000}};
    // Size 1000 stored as one block of 1500 bytes: the output keeps every byte of the block.
    Entry longer{"LONG.SND", Pattern(1500), 65536, 1000};
    WriteFile(game + "/PACKED.DAT", MakePacked({empty, negative, longer}));

    ASSERT_TRUE(data.RebuildSoundArchive(game, work, 0));
    EXPECT_TRUE(ReadFile(work + "/EMPTY.SND").empty());
    EXPECT_EQ(progress.calls, (std::vector<std::string>{"show", "range 0 0", "hide"}));

    progress.calls.clear();
    ASSERT_TRUE(data.RebuildSoundArchive(game, work, 1));
    EXPECT_TRUE(ReadFile(work + "/NEG.SND").empty());
    EXPECT_EQ(progress.calls, (std::vector<std::string>{"show", "range 0 -2147483648", "hide"}));

    progress.calls.clear();
    ASSERT_TRUE(data.RebuildSoundArchive(game, work, 2));
    EXPECT_EQ(ReadFile(work + "/LONG.SND"), Pattern(1500));
    EXPECT_EQ(progress.calls,
              (std::vector<std::string>{"show", "range 0 1000", "pos 1500", "hide"}));
}

TEST_F(RecoveryTest, DataEndingBeforeTheSizeIsFatalAndLeavesNoFile) {
    // The size promises more than the blocks hold: the next header is cut.
    Entry shortData{"WYVERN.SND", Pattern(70000), 65536, 90000};
    WriteFile(game + "/PACKED.DAT", MakePacked({{"A", Pattern(3)}, shortData}));
    WriteFile(work + "/WYVERN.SND", {'o', 'l', 'd'});

    EXPECT_FALSE(data.RebuildSoundArchive(game, work, 1));
    EXPECT_TRUE(data.HitFatalCondition());
    // The directory follows the data, so the third "block" starts inside it; past the end the
    // header reads as cut.
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines.back(), "Error: Bad header.\n");
    EXPECT_EQ(progress.calls.back(), "hide");
    EXPECT_EQ(ReadFile(work + "/WYVERN.SND"), (Bytes{'o', 'l', 'd'})); // the older file survives
    EXPECT_EQ(WorkFiles(), std::vector<std::string>{"WYVERN.SND"});

    sv::RebuildResult result;
    ExplodeStatus status = ExplodeStatus::kOk;
    result = sv::RebuildFromContainer(game, work, 1, nullptr, {}, &status);
    EXPECT_EQ(result, sv::RebuildResult::kFatal);
    EXPECT_EQ(status, ExplodeStatus::kBadHeader);
}

TEST_F(RecoveryTest, CutContainerPrintsTheCutHeader) {
    // The data offset lies past the end: the first header reads nothing at all.
    Bytes file = MakePacked({{"WYVERN.SND", Pattern(10)}});
    const std::size_t directory = file.size() - 25;
    file[directory + 21] = 0xF0; // data offset far past the end
    WriteFile(game + "/PACKED.DAT", file);
    EXPECT_FALSE(data.RebuildSoundArchive(game, work, 0));
    EXPECT_EQ(lines,
              (std::vector<std::string>{"Literal setting: -2147483648\n", "Error: Bad header.\n"}));
    EXPECT_TRUE(WorkFiles().empty());
}

TEST_F(RecoveryTest, HostileContainersFailCleanly) {
    const Bytes good = MakePacked({{"A.SND", Pattern(50)}, {"../x", Pattern(60)}});
    WriteFile(game + "/PACKED.DAT", good);

    // Beyond the directory; a negative index.
    EXPECT_EQ(sv::RebuildFromContainer(game, work, 2, &progress, {}), sv::RebuildResult::kBadEntry);
    EXPECT_EQ(sv::RebuildFromContainer(game, work, -1, &progress, {}),
              sv::RebuildResult::kBadEntry);
    // A name that escapes the folder stays inside it.
    ASSERT_EQ(sv::RebuildFromContainer(game, work, 1, nullptr, {}), sv::RebuildResult::kDone);
    EXPECT_EQ(ReadFile(work + "/.._x"), Pattern(60));
    EXPECT_FALSE(Exists(dir.Path() + "/x"));

    // A name of 13 bytes without a NUL.
    WriteFile(game + "/PACKED.DAT", MakePacked({{"THIRTEEN.BYTE", Pattern(5)}}));
    EXPECT_EQ(sv::RebuildFromContainer(game, work, 0, &progress, {}), sv::RebuildResult::kBadEntry);

    // A cut header, a cut entry.
    WriteFile(game + "/PACKED.DAT", Bytes(good.begin(), good.begin() + 5));
    EXPECT_EQ(sv::RebuildFromContainer(game, work, 0, &progress, {}), sv::RebuildResult::kBadEntry);
    WriteFile(game + "/PACKED.DAT", Bytes(good.begin(), good.end() - 30));
    EXPECT_EQ(sv::RebuildFromContainer(game, work, 1, &progress, {}), sv::RebuildResult::kBadEntry);

    // No container; an output folder that does not exist.
    EXPECT_EQ(sv::RebuildFromContainer(work, work, 0, &progress, {}),
              sv::RebuildResult::kNoContainer);
    WriteFile(game + "/PACKED.DAT", good);
    EXPECT_EQ(sv::RebuildFromContainer(game, work + "/missing", 0, &progress, {}),
              sv::RebuildResult::kNoOutput);

    EXPECT_TRUE(progress.calls.empty()); // none of these got as far as the blocks
    EXPECT_EQ(WorkFiles(), std::vector<std::string>{".._x"});
}

TEST_F(RecoveryTest, GameFolderWithOnlyTheContainerRebuildsOnce) {
    const Bytes sounds = MakeBsa({{"", 7, Pattern(90000)}, {"", 9, Pattern(20)}}, false);
    WriteFile(game + "/PACKED.DAT", MakePacked({{"MIDI.BSA", Pattern(9)}, {"WYVERN.SND", sounds}}));
    WriteFile(game + "/midi.bsa", MakeBsa({{"SONG.HMI", 0, Filled(4, 0)}}, true));
    data.SetWorkFolder(work);

    ASSERT_TRUE(data.Open(game));
    EXPECT_EQ(data.soundArchive.RecordCount(), 2);
    EXPECT_EQ(data.soundArchive.RecordSize(0), 90000u);
    EXPECT_EQ(WorkFiles(), std::vector<std::string>{"WYVERN.SND"});
    EXPECT_EQ(progress.calls.front(), "show");

    // Found in the work folder from now on, even with a container that no longer decodes.
    progress.calls.clear();
    WriteFile(game + "/PACKED.DAT", Bytes(3, 0));
    GameData again;
    again.SetWorkFolder(work);
    again.SetProgressControl(&progress);
    ASSERT_TRUE(again.Open(game));
    EXPECT_EQ(again.soundArchive.RecordCount(), 2);
    EXPECT_TRUE(progress.calls.empty());

    // A container that fails with a fatal condition: the open fails and says so.
    std::filesystem::remove(sv::ToPath(work + "/WYVERN.SND"));
    Bytes cut = MakePacked({{"A", Pattern(3)}, {"WYVERN.SND", Pattern(10)}});
    cut[cut.size() - 4] = 0xFF; // entry 1's data offset far past the end
    cut[cut.size() - 3] = 0xFF;
    WriteFile(game + "/PACKED.DAT", cut);
    EXPECT_FALSE(again.Open(game));
    EXPECT_TRUE(again.HitFatalCondition());
    EXPECT_TRUE(WorkFiles().empty());
}

} // namespace
