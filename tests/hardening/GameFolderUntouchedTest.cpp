// The game folder is read, never written: every operation on it leaves its files byte for byte as
// they were (permissions do not stop a test run as root, so the bytes are compared).
#include "TestSupport.h"
#include "archive/GameData.h"
#include "export/BulkExport.h"

#include <filesystem>
#include <map>

namespace sv::test {

namespace {

namespace fs = std::filesystem;

std::map<std::string, Bytes> Snapshot(const std::string& folder) {
    std::map<std::string, Bytes> files;
    for (const auto& entry : fs::directory_iterator(sv::ToPath(folder))) {
        files[sv::FromPath(entry.path().filename())] = ReadFile(sv::FromPath(entry.path()));
    }
    return files;
}

// A copy of a demo folder, made read-only.
std::string ReadOnlyCopy(const ScratchDir& dir, const std::string& demo, const std::string& name) {
    const std::string copy = dir.Sub(name);
    fs::copy(sv::ToPath(std::string(SONVAULT_DEMO_DIR) + "/" + demo), sv::ToPath(copy));
    for (const auto& entry : fs::directory_iterator(sv::ToPath(copy))) {
        fs::permissions(entry.path(), fs::perms::owner_read | fs::perms::group_read);
    }
    fs::permissions(sv::ToPath(copy), fs::perms::owner_read | fs::perms::owner_exec);
    return copy;
}

TEST(GameFolderUntouched, OpenRebuildExtractAndExport) {
    ScratchDir dir;
    const std::string game = ReadOnlyCopy(dir, "Arena2", "Arena2");
    const std::string packed = ReadOnlyCopy(dir, "Arena2-packed", "Arena2-packed");
    const auto gameBefore = Snapshot(game);
    const auto packedBefore = Snapshot(packed);
    ASSERT_EQ(gameBefore.size(), 2u);
    ASSERT_EQ(packedBefore.size(), 2u);

    RecordingProgress progress;

    GameData data;
    data.SetWorkFolder(dir.Sub("work"));
    ASSERT_TRUE(data.Open(packed)); // rebuilds the sound archive into the work folder
    EXPECT_EQ(Names(dir.Path() + "/work").size(), 1u);
    ASSERT_TRUE(data.Open(game));
    const std::string out = dir.Sub("out");
    EXPECT_TRUE(data.ExtractSong(0, out + "/a.mid", false));
    EXPECT_TRUE(data.ExtractEffect(0, out + "/b.raw", false));
    EXPECT_EQ(sv::BulkExport(data, {true, dir.Sub("fx"), true, dir.Sub("songs")}, progress)
                  .passedOver,
              0);
    data.Close();

    EXPECT_EQ(Snapshot(game), gameBefore);
    EXPECT_EQ(Snapshot(packed), packedBefore);
}

} // namespace

} // namespace sv::test
