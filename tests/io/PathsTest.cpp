#include "io/Paths.h"

#include "TestSupport.h"
#include "io/OutputFile.h"

#include <filesystem>
#include <memory>

namespace sv::test {

namespace {

TEST(SafeName, KeepsOrdinaryNamesAndReplacesWhatCouldLeaveTheFolder) {
    const std::pair<std::string, std::string> cases[] = {
        {"TAVERN.HMI", "TAVERN.HMI"},   {"...x", "...x"}, {"../x", ".._x"}, {"a\\b:c/d", "a_b_c_d"},
        {"a\x01\x1f\x7f", "a___"},      {"", "_"},        {".", "_"},       {"..", "_"},
        {"caf\xc3\xa9", "caf\xc3\xa9"},
    };
    for (const auto& [name, safe] : cases) {
        EXPECT_EQ(sv::SafeName(name), safe) << name;
    }
}

TEST(OutputFile, AppearsOnlyWhenCommittedAndFailsCleanly) {
    ScratchDir dir;
    const std::string target = dir.File("out.bin");
    WriteFile(target, {1, 2, 3});
    {
        sv::OutputFile out;
        ASSERT_TRUE(out.Create(target));
        ASSERT_TRUE(out.Write("abcd", 4));
        EXPECT_EQ(ReadFile(target), Bytes({1, 2, 3})); // the old file until the commit
        // Abandoned without a commit: the old file survives and no temporary is left.
    }
    EXPECT_EQ(ReadFile(target), Bytes({1, 2, 3}));
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"out.bin"});

    // The failure names the target and says why in the system's words.
    sv::OutputFile out;
    const std::string missing = dir.File("no/such/folder/x.wav");
    EXPECT_EQ(out.Create(missing).Message(),
              "Cannot write \"" + missing + "\": No such file or directory.");
    const std::string sub = dir.Sub("taken");
    EXPECT_EQ(out.Create(sub).Message(), "Cannot write \"" + sub + "\": Is a directory.");
    EXPECT_TRUE(std::filesystem::is_directory(sv::ToPath(sub)));
    EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"out.bin", "taken"}));
}

// What a signal handler calls: the files being written go, finished ones and targets stay.
TEST(OutputFile, RemoveTemporaryFilesTakesOnlyUnfinishedOnes) {
    ScratchDir dir;
    const auto count = [&] { return Names(dir.Path()).size(); };
    ASSERT_TRUE(sv::WriteWholeFile(dir.File("done.bin"), "d", 1));
    sv::OutputFile discarded;
    ASSERT_TRUE(discarded.Create(dir.File("discarded.bin")));
    discarded.Discard();
    std::vector<std::unique_ptr<sv::OutputFile>> open;
    for (int i = 0; i < 3; ++i) {
        open.push_back(std::make_unique<sv::OutputFile>());
        ASSERT_TRUE(open.back()->Create(dir.File("open" + std::to_string(i) + ".bin")));
        ASSERT_TRUE(open.back()->Write("abc", 3));
    }
    ASSERT_EQ(count(), 4u);
    sv::RemoveTemporaryFiles();
    EXPECT_EQ(count(), 1u);
    EXPECT_EQ(ReadFile(dir.File("done.bin")), Bytes{'d'});
    // The slots are free again once their files are gone.
    open.clear();
    for (int i = 0; i < 70; ++i) {
        open.push_back(std::make_unique<sv::OutputFile>());
        ASSERT_TRUE(open.back()->Create(dir.File("again" + std::to_string(i) + ".bin")));
    }
    sv::RemoveTemporaryFiles();
    EXPECT_EQ(count(), 1u + 70 - 64); // beyond the slots, files are not known to the handler
}

} // namespace

} // namespace sv::test
