// Runs the built sonvault-cli as a user would: its own process, a working folder, an environment,
// standard output and error caught, or stopped by a signal half-way.
#pragma once

#include "TestSupport.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace cli_support {

using Args = std::vector<std::string>;

struct Run {
    int status = -1; // the exit status; 1000 + the signal when a signal ended it unhandled
    std::string out, err;
};

struct Options {
    std::string cwd;                                      // none: the test's own
    std::vector<std::pair<std::string, std::string>> env; // set on top of the test's
    std::function<bool()> interruptWhen;                  // polled while the tool runs
    int signal = SIGINT;
};

// A child that changes folder and environment before it becomes the tool; posix_spawn can do
// neither portably.
inline Run Cli(const sv::test::ScratchDir& scratch, const Args& args, const Options& options = {}) {
    const std::string outPath = scratch.File(".stdout"), errPath = scratch.File(".stderr");
    Args argv{SONVAULT_CLI};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> raw;
    for (std::string& a : argv)
        raw.push_back(a.data());
    raw.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 ||
            (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0))
            _exit(126);
        for (const auto& [name, value] : options.env)
            setenv(name.c_str(), value.c_str(), 1);
        execv(raw[0], raw.data());
        _exit(127);
    }
    int status = 0;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (child > 0 && waitpid(child, &status, options.interruptWhen ? WNOHANG : 0) == 0) {
        if (options.interruptWhen() || std::chrono::steady_clock::now() > until) {
            kill(child, options.signal);
            waitpid(child, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    Run run;
    run.status = child < 0             ? -1
                 : WIFEXITED(status)   ? WEXITSTATUS(status)
                 : WIFSIGNALED(status) ? 1000 + WTERMSIG(status)
                                       : -1;
    for (auto [path, text] : {std::pair{&outPath, &run.out}, std::pair{&errPath, &run.err}}) {
        const sv::test::Bytes bytes = sv::test::ReadFile(*path);
        text->assign(bytes.begin(), bytes.end());
        std::filesystem::remove(*path);
    }
    return run;
}

} // namespace cli_support
