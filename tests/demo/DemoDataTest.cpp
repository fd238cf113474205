// The demo folder: every song converts whole, and the same bytes come out on every run (which the
// window and command-line tests then read as a game folder).
#include "DemoData.h"

#include "TestSupport.h"
#include "decode/SongConverter.h"

#include <algorithm>
#include <set>

namespace sv::test {

namespace {

TEST(DemoData, SongsConvertWholeUnderNamesTheArchiveHolds) {
    for (const bool full : {false, true}) {
        const auto names = demo::SongNames(full);
        EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size());
        for (std::size_t i = 0; i < names.size(); ++i) {
            // Upper case as the game stores them; 14 bytes with the NUL.
            const std::string& name = names[i];
            EXPECT_TRUE(
                name.size() <= 13 && name.ends_with(".HMI") &&
                std::none_of(name.begin(), name.end(), [](char c) { return c >= 'a' && c <= 'z'; }))
                << name;
            // The full set's extra songs are variations of the same composer; a sample of them.
            if (!full || i % 9 == 0) {
                const Bytes song = demo::MakeSong(static_cast<int>(i), full);
                Bytes midi;
                SongConverter converter;
                EXPECT_EQ(converter.Convert(song, midi), static_cast<std::int32_t>(song.size()))
                    << name;
            }
        }
    }
}

TEST(DemoData, GenerationIsDeterministic) {
    ScratchDir dir;
    ASSERT_TRUE(demo::WriteDemoFolder(dir.File("one"), {}));
    // The same bytes with GCC and Clang, optimised or not. A deliberate change to the generator
    // changes these; any other difference means a platform or compiler writes other bytes.
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
