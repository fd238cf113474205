// Runs the built sonvault-cli as a user would: its own process, a working folder, an environment,
// standard output and error caught, or stopped by a signal half-way.
#pragma once

#include "TestSupport.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

extern char** environ;

namespace cli_support {

struct Run {
    int status = -1; // the exit status; 1000 + the signal when a signal ended it unhandled
    std::string out;
    std::string err;
};

struct Options {
    std::string cwd;                                      // none: the test's own
    std::vector<std::pair<std::string, std::string>> env; // set on top of the test's
    std::function<bool()> interruptWhen;                  // polled while the tool runs
    int signal = SIGINT;
};

// A child that changes folder and environment before it becomes the tool; posix_spawn can do
// neither portably.
inline Run Cli(const sv::test::ScratchDir& scratch, const std::vector<std::string>& args,
               const Options& options = {}) {
    const std::string outPath = scratch.File(".stdout"), errPath = scratch.File(".stderr");
    std::vector<std::string> argv{SONVAULT_CLI};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> raw;
    for (std::string& a : argv) {
        raw.push_back(a.data());
    }
    raw.push_back(nullptr);

    const pid_t child = fork();
    if (child == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 ||
            (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0)) {
            _exit(126);
        }
        for (const auto& [name, value] : options.env) {
            setenv(name.c_str(), value.c_str(), 1);
        }
        execv(raw[0], raw.data());
        _exit(127);
    }
    Run run;
    if (child < 0) {
        return run;
    }
    int raw_status = 0;
    if (options.interruptWhen) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (waitpid(child, &raw_status, WNOHANG) == 0) {
            if (options.interruptWhen() || std::chrono::steady_clock::now() > until) {
                kill(child, options.signal);
                waitpid(child, &raw_status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    } else {
        waitpid(child, &raw_status, 0);
    }
    run.status = WIFEXITED(raw_status)     ? WEXITSTATUS(raw_status)
                 : WIFSIGNALED(raw_status) ? 1000 + WTERMSIG(raw_status)
                                           : -1;
    const sv::test::Bytes o = sv::test::ReadFile(outPath);
    const sv::test::Bytes e = sv::test::ReadFile(errPath);
    run.out.assign(o.begin(), o.end());
    run.err.assign(e.begin(), e.end());
    std::filesystem::remove(outPath);
    std::filesystem::remove(errPath);
    return run;
}

} // namespace cli_support
