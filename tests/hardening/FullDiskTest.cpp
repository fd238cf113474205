// A full disk, simulated with a file-size limit in a child process: a write that fails must be
// reported, leave no partial file and keep an older file of the same name.
#include "TestSupport.h"
#include "io/OutputFile.h"

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace sv::test {

namespace {

TEST(FullDisk, FailedWriteKeepsTheOlderFileAndLeavesNoTemporary) {
    ScratchDir dir;
    const std::string target = dir.File("song.mid");
    WriteFile(target, {'o', 'l', 'd'});
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
        EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"song.mid"});
    }
}

} // namespace

} // namespace sv::test
