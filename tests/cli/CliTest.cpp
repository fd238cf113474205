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
    const std::string in = dir.File("in.bin");
    const std::string out = dir.File("out.txt");
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
        EXPECT_EQ(std::string(written.begin(), written.end()), c.written)
            << testing::PrintToString(args);
    }
    EXPECT_EQ(Cli(dir, {"explode", in, dir.File("new"), "--offset", "99"}).status, 2);
    EXPECT_FALSE(Exists(dir.File("new")));
    EXPECT_EQ(Cli(dir, {"explode", dir.File("missing"), "o"}).status, 1);
}

TEST(CliTest, RebuildAndListReportAFatalRebuild) {
    ScratchDir dir;
    const std::string game = dir.Sub("game");
    const std::string work = dir.Sub("work");
    const Bytes sounds = MakeBsa({{"", 1, Filled(5000, 3)}}, false);
    // Entry 1 promises more than its block holds.
    WriteFile(game + "/PACKED.DAT",
              MakePacked({{"WYVERN.SND", sounds},
                          {"WYVERN.SND", sounds, std::int64_t(sounds.size()) + 30000}}));
    WriteFile(game + "/MIDI.BSA", MakeBsa({{"SONG.HMI", 0, Filled(4, 0)}}, true));

    cli_support::Run r = Cli(dir, {"rebuild", game, work, "--entry", "0"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Literal setting: 0\n");
    EXPECT_EQ(ReadFile(work + "/WYVERN.SND"), sounds);
    std::filesystem::remove(sv::ToPath(work + "/WYVERN.SND"));

    // Entry 1's second header is cut: the decoder's lines on standard output, status 2.
    r = Cli(dir, {"rebuild", game, work});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "Literal setting: 0\nLiteral setting: -2147483648\nError: Bad header.\n");
    EXPECT_TRUE(std::filesystem::is_empty(sv::ToPath(work)));

    // list prints the fatal line on standard error, all of them with --verbose, and nothing on
    // standard output.
    for (const bool verbose : {false, true}) {
        const cli_support::Run l =
            Cli(dir, verbose ? Args{"list", game, "--work", work, "--verbose"}
                             : Args{"list", game, "--work", work});
        EXPECT_EQ(l.status, 2);
        EXPECT_EQ(l.out, "");
        EXPECT_EQ(l.err, verbose ? r.out : "Error: Bad header.\n");
        EXPECT_TRUE(std::filesystem::is_empty(sv::ToPath(work)));
    }

    EXPECT_EQ(Cli(dir, {"rebuild", game, work, "--entry", "5"}).status, 1);

    // An entry without a name: status 1, a message, nothing written.
    const std::string unnamed = dir.Sub("unnamed");
    WriteFile(unnamed + "/PACKED.DAT", MakePacked({{"", sounds}}));
    r = Cli(dir, {"rebuild", unnamed, work, "--entry", "0"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Cannot read \"" + unnamed + "/PACKED.DAT\": entry 0 has no name.\n");
    EXPECT_TRUE(std::filesystem::is_empty(sv::ToPath(work)));

    EXPECT_EQ(Cli(dir, {"rebuild", game, work, "--entry", "-1"}).status, 64);
}

} // namespace

} // namespace sv::test
