// A full disk, simulated with a file-size limit in a child process: a write that fails must leave
// no partial file and keep an older file of the same name.
#include "TestSupport.h"
#include "io/OutputFile.h"

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace sv::test {

namespace {

// Runs body in a child whose files may not grow past limit bytes; returns the child's exit code.
template <typename Body> int WithFileSizeLimit(rlim_t limit, Body body) {
    const pid_t pid = fork();
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN); // writes past the limit then fail with EFBIG
        rlimit rl{limit, limit};
        setrlimit(RLIMIT_FSIZE, &rl);
        _exit(body() ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

TEST(FullDisk, FailedWriteKeepsTheOlderFileAndLeavesNoTemporary) {
    ScratchDir dir;
    const std::string target = dir.File("song.mid");
    WriteFile(target, {'o', 'l', 'd'});
    const Bytes big(1 << 20, 0x55);

    const int status = WithFileSizeLimit(
        64 * 1024, [&] { return sv::WriteWholeFile(target, big.data(), big.size()); });
    EXPECT_EQ(status, 1) << "the write past the limit must be reported as a failure";
    EXPECT_EQ(ReadFile(target), Bytes({'o', 'l', 'd'}));
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"song.mid"});

    // Under the limit the same write succeeds.
    EXPECT_EQ(WithFileSizeLimit(4 << 20,
                                [&] { return sv::WriteWholeFile(target, big.data(), big.size()); }),
              0);
    EXPECT_EQ(ReadFile(target).size(), big.size());
}

} // namespace

} // namespace sv::test
