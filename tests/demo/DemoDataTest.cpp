// The demo folder is the same bytes on every run, platform and compiler; the window and
// command-line tests read it as a game folder. Every song of both sets converts in the song
// converter's test.
#include "DemoData.h"

#include "TestSupport.h"

namespace sv::test {

namespace {

TEST(DemoData, GenerationIsDeterministic) {
    ScratchDir dir;
    ASSERT_TRUE(demo::WriteDemoFolder(dir.File("one"), {}));
    // A deliberate change to the generator changes these; any other difference means a platform
    // or compiler writes other bytes.
    const std::pair<const char*, std::uint64_t> files[] = {{"MIDI.BSA", 0x913795056A84B128ull},
                                                           {"WYVERN.SND", 0x27AE646836916883ull}};
    for (const auto& [file, hash] : files) {
        std::uint64_t fnv1a = 0xCBF29CE484222325ull;
        for (const std::uint8_t b : ReadFile(sv::JoinPath(dir.File("one"), file))) {
            fnv1a = (fnv1a ^ b) * 0x100000001B3ull;
        }
        EXPECT_EQ(fnv1a, hash) << file;
    }
    // A folder that cannot be made is reported.
    WriteFile(dir.File("file"), {1});
    EXPECT_FALSE(demo::WriteDemoFolder(sv::JoinPath(dir.File("file"), "Arena2"), {}));
}

} // namespace

} // namespace sv::test
