// The one writer of every output: a temporary file renamed into place (on a full disk too), what a
// signal handler removes, links and folders as targets.
#include "io/OutputFile.h"

#include "TestSupport.h"

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace sv::test {
namespace {

namespace fs = std::filesystem;

TEST(OutputFile, AppearsOnlyWhenCommitted) {
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
    const std::string missing = dir.File("no/such/folder/x.wav");
    EXPECT_EQ(sv::WriteWholeFile(missing, "a", 1).Message(),
              "Cannot write \"" + missing + "\": No such file or directory.");
    // A full disk, simulated with a file-size limit in a child process: the failure is reported in
    // the system's words, the older file kept.
    const Bytes big(1 << 20, 0x55);
    for (const rlim_t limit : {rlim_t{64 * 1024}, rlim_t{4 << 20}}) {
        const pid_t pid = fork();
        if (pid == 0) {
            std::signal(SIGXFSZ, SIG_IGN); // writes past the limit then fail with EFBIG
            const rlimit rl{limit, limit};
            setrlimit(RLIMIT_FSIZE, &rl);
            const Status written = sv::WriteWholeFile(target, big.data(), big.size());
            _exit(written.Message() == "Cannot write \"" + target + "\": File too large." ? 1
                  : written.Ok()                                                          ? 0
                                                                                          : 2);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), limit < big.size() ? 1 : 0);
        EXPECT_EQ(ReadFile(target).size(), limit < big.size() ? 3u : big.size());
        EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"out.bin"});
    }
}

// What a signal handler calls: the files being written go, finished ones and targets stay. Its
// slots are taken again as files come and go.
TEST(OutputFile, RemoveTemporaryFilesTakesOnlyUnfinishedOnes) {
    ScratchDir dir;
    ASSERT_TRUE(sv::WriteWholeFile(dir.File("done.bin"), "d", 1));
    for (int i = 0; i < 100; ++i) {
        sv::OutputFile passing;
        ASSERT_TRUE(passing.Create(dir.File("passing.bin")));
        if (i % 2 == 0)
            passing.Discard();
    }
    sv::OutputFile open[3];
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(open[i].Create(dir.File("open" + std::to_string(i))) &&
                    open[i].Write("abc", 3));
    ASSERT_EQ(Names(dir.Path()).size(), 4u);
    sv::RemoveTemporaryFiles();
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"done.bin"});
    EXPECT_EQ(ReadFile(dir.File("done.bin")), Bytes{'d'});
}

// A chain of links is followed to the file it ends at, which is replaced; a folder and a link to
// nothing are refused. (Standard output, devices and pipes: the command-line tool's tests.)
TEST(OutputFile, LinksAndFolders) {
    ScratchDir dir;
    WriteFile(dir.File("real.bin"), {1});
    fs::create_symlink("real.bin", ToPath(dir.File("link1")));
    fs::create_symlink(ToPath(dir.File("link1")), ToPath(dir.File("link2")));
    fs::create_symlink("none", ToPath(dir.File("dangling")));
    const std::string folder = dir.Sub("folder");
    const std::pair<std::string, std::string> cases[] = {
        {dir.File("link2"), ""},
        {folder, "Cannot write \"" + folder + "\": Is a directory."},
        {dir.File("dangling"),
         "Cannot write \"" + dir.File("dangling") + "\": a symbolic link to nothing."},
    };
    for (const auto& [target, message] : cases) {
        EXPECT_EQ(sv::WriteWholeFile(target, "bytes", 5).Message(), message) << target;
    }
    EXPECT_TRUE(fs::is_symlink(ToPath(dir.File("link1"))) &&
                fs::is_symlink(ToPath(dir.File("link2"))));
    EXPECT_EQ(ReadFile(dir.File("real.bin")), (Bytes{'b', 'y', 't', 'e', 's'}));
    EXPECT_EQ(Names(dir.Path()),
              (std::vector<std::string>{"dangling", "folder", "link1", "link2", "real.bin"}));
    EXPECT_TRUE(Names(folder).empty());
}

} // namespace
} // namespace sv::test
