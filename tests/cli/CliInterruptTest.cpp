// sonvault-cli stopped half-way by a signal: the temporary file being written is removed, the
// files already finished stay whole, and the status is 128 + the signal. Also what a render of a
// loud effect writes.
#include "CliRun.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace sv::test {
namespace {

using cli_support::Cli;

namespace fs = std::filesystem;

// 8-bit mono PCM at 11025 Hz with the 44-byte header.
Bytes EffectWav(const Bytes& samples) {
    Bytes b{'R', 'I', 'F', 'F'};
    PutLE32(b, static_cast<std::uint32_t>(samples.size() + 36));
    for (char c : std::string("WAVEfmt ")) {
        b.push_back(static_cast<std::uint8_t>(c));
    }
    PutLE32(b, 16);
    PutLE16(b, 1);
    PutLE16(b, 1);
    PutLE32(b, 11025);
    PutLE32(b, 11025);
    PutLE16(b, 1);
    PutLE16(b, 8);
    for (char c : std::string("data")) {
        b.push_back(static_cast<std::uint8_t>(c));
    }
    PutLE32(b, static_cast<std::uint32_t>(samples.size()));
    b.insert(b.end(), samples.begin(), samples.end());
    return b;
}

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

bool HasTemporaryFile(const std::string& folder) {
    return !List(folder).hidden.empty();
}

TEST(CliInterrupt, RenderLeavesNoFileBehind) {
    ScratchDir dir;
    // Twenty minutes of noise take long enough to render that the signal lands mid-file.
    Bytes noise(11025 * 60 * 20);
    std::uint32_t x = 1;
    for (std::uint8_t& s : noise) {
        x = x * 1664525u + 1013904223u;
        s = static_cast<std::uint8_t>(x >> 24);
    }
    WriteFile(dir.File("long.wav"), EffectWav(noise));
    const std::string out = dir.Sub("out");
    for (const int signal : {SIGINT, SIGTERM}) {
        cli_support::Options options;
        options.signal = signal;
        options.interruptWhen = [&] { return HasTemporaryFile(out); };
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

// A full-scale square wave is the loudest effect there is; resampled, its edges overshoot.
TEST(CliRender, AFullScaleSquareWaveDoesNotClip) {
    GTEST_SKIP() << "fails until the renderers resample and mix in float and limit the peaks";
    ScratchDir dir;
    Bytes square(11025);
    for (std::size_t i = 0; i < square.size(); ++i) {
        square[i] = (i / 10) % 2 == 0 ? 255 : 0;
    }
    WriteFile(dir.File("square.wav"), EffectWav(square));
    for (const char* rate : {"44100", "48000", "22050"}) {
        const cli_support::Run r =
            Cli(dir, {"render", dir.File("square.wav"), dir.File("out.wav"), "--rate", rate});
        ASSERT_EQ(r.status, 0) << r.err;
        const Bytes wav = ReadFile(dir.File("out.wav"));
        ASSERT_GT(wav.size(), 44u);
        ASSERT_EQ(wav[34], 16) << "16-bit samples expected";
        // The data chunk follows the 16-byte format chunk in what libsndfile writes.
        std::size_t railed = 0;
        std::size_t loud = 0;
        for (std::size_t at = 44; at + 1 < wav.size(); at += 2) {
            const auto sample = static_cast<std::int16_t>(wav[at] | wav[at + 1] << 8);
            railed += sample == 32767 || sample == -32768;
            loud += std::abs(sample) > 16384;
        }
        EXPECT_EQ(railed, 0u) << rate;
        EXPECT_GT(loud, wav.size() / 8) << rate << ": the wave is no longer loud";
    }
}

} // namespace
} // namespace sv::test
