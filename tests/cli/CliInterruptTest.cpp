// sonvault-cli stopped half-way by a signal: the temporary file being written is removed, the
// files already finished stay whole, and the status is 128 + the signal.
#include "CliRun.h"

namespace sv::test {
namespace {

using cli_support::Cli;
namespace fs = std::filesystem;

// The sizes of the finished files; `hidden` counts the temporary ones, which start with '.'.
std::vector<std::uintmax_t> Finished(const std::string& folder, int* hidden = nullptr) {
    std::vector<std::uintmax_t> sizes;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        if (entry.path().filename().string()[0] != '.') {
            sizes.push_back(entry.file_size());
        } else if (hidden != nullptr) {
            ++*hidden;
        }
    }
    return sizes;
}

TEST(CliInterrupt, RenderAndExportLeaveOnlyFinishedFiles) {
    ScratchDir dir;
    // Twenty minutes of noise take long enough to render that the signal lands mid-file.
    Bytes noise = EffectWav(11025 * 60 * 20, 441.0);
    std::uint32_t x = 1;
    for (auto s = noise.begin() + 44; s != noise.end(); ++s) {
        *s = static_cast<std::uint8_t>((x = x * 1664525u + 1013904223u) >> 24);
    }
    WriteFile(dir.File("long.wav"), noise);
    constexpr std::uint32_t kEffects = 3000;
    constexpr std::size_t kSize = 40000;
    std::vector<Record> effects;
    for (std::uint32_t i = 0; i < kEffects; ++i) {
        effects.push_back({"", i, Filled(kSize, static_cast<std::uint8_t>(i))});
    }
    const std::string game = dir.Sub("game");
    WriteFile(game + "/WYVERN.SND", MakeBsa(effects, false));
    WriteFile(game + "/MIDI.BSA", MakeBsa({{"A.HMI", 0, Filled(10, 0)}}, true));

    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        const std::string out = dir.Sub("out" + std::to_string(signal));
        cli_support::Options options;
        options.signal = signal;
        options.interruptWhen = [&] {
            int hidden = 0;
            return Finished(out, &hidden).empty() && hidden > 0;
        };
        cli_support::Run r = Cli(
            dir, {"render", dir.File("long.wav"), out + "/long.flac", "--rate", "96000"}, options);
        EXPECT_EQ(r.status, 128 + signal) << r.err;
        EXPECT_TRUE(fs::is_empty(out));

        // Some files finished, one being written.
        options.interruptWhen = [&] {
            int hidden = 0;
            return Finished(out, &hidden).size() >= 5 && hidden > 0;
        };
        r = Cli(dir, {"export", game, "--effects", out, "--work", dir.Path() + "/w"}, options);
        EXPECT_EQ(r.status, 128 + signal) << r.err;
        int hidden = 0;
        const std::vector<std::uintmax_t> left = Finished(out, &hidden);
        EXPECT_EQ(hidden, 0);
        EXPECT_GE(left.size(), 5u);
        EXPECT_LT(left.size(), kEffects);
        EXPECT_EQ(std::count(left.begin(), left.end(), 44 + kSize), std::ssize(left));
    }
}

} // namespace
} // namespace sv::test
