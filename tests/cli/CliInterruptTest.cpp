// sonvault-cli stopped half-way by a signal: the temporary file being written is removed, the
// files already finished stay whole, and the status is 128 + the signal.
#include "CliRun.h"

#include <filesystem>

namespace sv::test {
namespace {

using cli_support::Cli;

namespace fs = std::filesystem;

struct Listing {
    std::vector<std::string> hidden; // temporary files start with '.'
    std::vector<std::uintmax_t> sizes;
};

Listing List(const std::string& folder) {
    Listing l;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        if (name[0] == '.') {
            l.hidden.push_back(name);
        } else {
            l.sizes.push_back(entry.file_size());
        }
    }
    return l;
}

TEST(CliInterrupt, RenderLeavesNoFileBehind) {
    ScratchDir dir;
    // Twenty minutes of noise take long enough to render that the signal lands mid-file.
    Bytes noise = EffectWav(11025 * 60 * 20, 441.0);
    std::uint32_t x = 1;
    for (auto s = noise.begin() + 44; s != noise.end(); ++s) {
        x = x * 1664525u + 1013904223u;
        *s = static_cast<std::uint8_t>(x >> 24);
    }
    WriteFile(dir.File("long.wav"), noise);
    const std::string out = dir.Sub("out");
    for (const int signal : {SIGINT, SIGTERM}) {
        cli_support::Options options;
        options.signal = signal;
        options.interruptWhen = [&] { return !List(out).hidden.empty(); };
        const cli_support::Run r = Cli(
            dir, {"render", dir.File("long.wav"), out + "/long.flac", "--rate", "96000"}, options);
        EXPECT_EQ(r.status, 128 + signal) << r.err;
        EXPECT_TRUE(fs::is_empty(out));
    }
}

TEST(CliInterrupt, ExportLeavesOnlyTheFinishedFiles) {
    ScratchDir dir;
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
        const std::string fx = dir.Path() + "/fx" + std::to_string(signal);
        cli_support::Options options;
        options.signal = signal;
        // Some files finished, one being written.
        options.interruptWhen = [&] {
            const Listing l = List(fx);
            return l.sizes.size() >= 5 && !l.hidden.empty();
        };
        const cli_support::Run r =
            Cli(dir, {"export", game, "--effects", fx, "--work", dir.Path() + "/w"}, options);
        EXPECT_EQ(r.status, 128 + signal) << r.err;
        const Listing left = List(fx);
        EXPECT_EQ(left.hidden, std::vector<std::string>{});
        EXPECT_GE(left.sizes.size(), 5u);
        EXPECT_LT(left.sizes.size(), kEffects);
        for (const std::uintmax_t size : left.sizes) {
            EXPECT_EQ(size, 44 + kSize);
        }
    }
}

} // namespace
} // namespace sv::test
