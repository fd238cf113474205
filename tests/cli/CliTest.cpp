// sonvault-cli explode, rebuild and list on packed folders: the decoder's lines on the right
// stream, the exit statuses, and no file left behind by a fatal condition.
#include "CliRun.h"
#include "ExplodeSupport.h"

namespace sv::test {
namespace {

using cli_support::Cli;
using Args = std::vector<std::string>;

TEST(CliTest, ExplodeWritesTheStreamAndItsLines) {
    ScratchDir dir;
    WriteFile(dir.File("in.bin"), {'x', 'y', 0x00, 0x04, 0x82, 0x24, 0x25, 0x8F, 0x80, 0x7F});
    const std::string in = dir.File("in.bin"), out = dir.File("out.txt");
    const std::string bad = "Error: Bad header.\n";
    const struct {
        Args args;
        int status;
        std::string lines, written;
    } cases[] = {
        {{"--offset", "2"}, 0, "Literal setting: 0\n", "AIAIAIAIAIAIA"},
        {{"--offset", "2", "--limit", "4"}, 0, "Literal setting: 0\n", "AIAI"},
        // From byte 0 the header is "xy": status 2, and the older output is kept.
        {{}, 2, "Literal setting: 120\n" + bad, "AIAI"},
        {{"--offset", "99"}, 2, "Literal setting: -2147483648\n" + bad, "AIAI"},
        {{"--limit", "0"}, 64, "", "AIAI"},
        {{"--limit", "2147483649"}, 64, "", "AIAI"},
    };
    for (const auto& c : cases) {
        Args args = {"explode", in, out};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const cli_support::Run r = Cli(dir, args);
        EXPECT_EQ(r.status, c.status) << testing::PrintToString(args);
        EXPECT_EQ(r.out, c.lines) << testing::PrintToString(args);
        const Bytes written = ReadFile(out);
        EXPECT_EQ(std::string(written.begin(), written.end()), c.written);
    }
    EXPECT_EQ(Cli(dir, {"explode", in, dir.File("new"), "--offset", "99"}).status, 2);
    EXPECT_FALSE(Exists(dir.File("new")));
}

TEST(CliTest, RebuildAndListReportAFatalRebuild) {
    ScratchDir dir;
    const std::string game = dir.Sub("game"), work = dir.Sub("work");
    const Bytes sounds = MakeBsa({{"", 1, Filled(5000, 3)}}, false);
    // Entry 1 promises more than its block holds.
    WriteFile(game + "/PACKED.DAT",
              MakePacked({{"WYVERN.SND", sounds},
                          {"WYVERN.SND", sounds, std::int64_t(sounds.size()) + 30000}}));
    WriteFile(game + "/MIDI.BSA", MakeBsa({{"SONG.HMI", 0, Filled(4, 0)}}, true));

    cli_support::Run r = Cli(dir, {"rebuild", game, work + "/a/b", "--entry", "0"}); // made
    EXPECT_EQ(r.out, "Literal setting: 0\n");
    EXPECT_EQ(ReadFile(work + "/a/b/WYVERN.SND"), sounds);
    std::filesystem::remove_all(sv::ToPath(work + "/a"));

    // Entry 1's second header is cut: the decoder's lines on standard output, status 2.
    const std::string lines =
        "Literal setting: 0\nLiteral setting: -2147483648\nError: Bad header.\n";
    const struct {
        Args args;
        int status;
        std::string out, err;
    } cases[] = {
        {{"rebuild", game, work}, 2, lines, ""},
        // list: the fatal line on standard error, all of them with --verbose.
        {{"list", game, "--work", work}, 2, "", "Error: Bad header.\n"},
        {{"list", game, "--work", work, "--verbose"}, 2, "", lines},
        {{"rebuild", game, work, "--entry", "5"}, 1, "", ""},
        {{"explode", dir.File("missing"), work + "/o"}, 1, "", ""},
        {{"rebuild", game, work, "--entry", "-1"}, 64, "", ""},
    };
    for (const auto& c : cases) {
        r = Cli(dir, c.args);
        EXPECT_EQ(r.status, c.status) << testing::PrintToString(c.args);
        EXPECT_EQ(r.out, c.out);
        if (c.status != 64 && !c.err.empty()) {
            EXPECT_EQ(r.err, c.err);
        }
        EXPECT_TRUE(std::filesystem::is_empty(sv::ToPath(work)));
    }
}

} // namespace
} // namespace sv::test
