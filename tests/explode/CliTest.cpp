// sonvault-cli explode, rebuild and list on packed folders: the decoder's lines on the right
// stream, the exit statuses, and no file left behind by a fatal condition.
#include "Dcl.h"
#include "ExplodeSupport.h"
#include "archive/Bytes.h"

#include <cstdlib>

#ifndef _WIN32
#include <sys/wait.h>

using namespace testing_support;

namespace {

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

CliRun Cli(const ScratchDir& dir, const std::string& args) {
    const std::string out = dir.File("stdout.txt");
    const std::string err = dir.File("stderr.txt");
    const std::string command =
        std::string("'") + SONVAULT_CLI + "' " + args + " >'" + out + "' 2>'" + err + "'";
    const int raw = std::system(command.c_str());
    CliRun r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    const Bytes o = ReadFile(out);
    const Bytes e = ReadFile(err);
    r.out.assign(o.begin(), o.end());
    r.err.assign(e.begin(), e.end());
    std::filesystem::remove(sv::ToPath(out));
    std::filesystem::remove(sv::ToPath(err));
    return r;
}

std::string Q(const std::string& path) {
    return "'" + path + "'";
}

TEST(CliTest, ExplodeWritesTheStreamAndItsLines) {
    ScratchDir dir;
    WriteFile(dir.File("in.bin"), {'x', 'y', 0x00, 0x04, 0x82, 0x24, 0x25, 0x8F, 0x80, 0x7F});
    const std::string out = dir.File("out.txt");

    CliRun r = Cli(dir, "explode " + Q(dir.File("in.bin")) + " " + Q(out) + " --offset 2");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Literal setting: 0\n");
    const Bytes written = ReadFile(out);
    EXPECT_EQ(std::string(written.begin(), written.end()), "AIAIAIAIAIAIA");

    r = Cli(dir, "explode " + Q(dir.File("in.bin")) + " " + Q(out) + " --offset 2 --limit 4");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(ReadFile(out).size(), 4u);

    // From byte 0 the header is "xy": status 2, no output, the older file kept.
    r = Cli(dir, "explode " + Q(dir.File("in.bin")) + " " + Q(out));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "Literal setting: 120\nError: Bad header.\n");
    EXPECT_EQ(ReadFile(out).size(), 4u);

    r = Cli(dir, "explode " + Q(dir.File("in.bin")) + " " + Q(dir.File("new")) + " --offset 99");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "Literal setting: -2147483648\nError: Bad header.\n");
    EXPECT_FALSE(Exists(dir.File("new")));

    EXPECT_EQ(Cli(dir, "explode " + Q(dir.File("in.bin")) + " o --limit 0").status, 64);
    EXPECT_EQ(Cli(dir, "explode " + Q(dir.File("in.bin")) + " o --limit 2147483649").status, 64);
    EXPECT_EQ(Cli(dir, "explode " + Q(dir.File("missing")) + " o").status, 1);
}

// A container whose entry 1 promises 30,000 bytes more than its blocks hold.
Bytes ShortContainer(const Bytes& sounds) {
    Bytes file(8, 0);
    const Bytes stream = dcl::Implode(sounds, 4096);
    file.insert(file.end(), 36, 0);
    file.insert(file.end(), stream.begin(), stream.end());
    const auto directory = static_cast<std::uint32_t>(file.size());
    for (int i = 0; i < 2; ++i) {
        PutLE32(file, static_cast<std::uint32_t>(sounds.size() + (i == 1 ? 30000 : 0)));
        PutLE32(file, 0);
        std::string name = "WYVERN.SND";
        name.resize(13, '\0');
        file.insert(file.end(), name.begin(), name.end());
        PutLE32(file, 8);
    }
    sv::StoreLE32(file.data(), directory);
    return file;
}

TEST(CliTest, RebuildAndListReportAFatalRebuild) {
    ScratchDir dir;
    const std::string game = dir.Sub("game");
    const std::string work = dir.Sub("work");
    const Bytes sounds = MakeBsa({{"", 1, Filled(5000, 3)}}, false);
    WriteFile(game + "/PACKED.DAT", ShortContainer(sounds));
    WriteFile(game + "/MIDI.BSA", MakeBsa({{"SONG.HMI", 0, Filled(4, 0)}}, true));

    CliRun r = Cli(dir, "rebuild " + Q(game) + " " + Q(work) + " --entry 0");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Literal setting: 0\n");
    EXPECT_EQ(ReadFile(work + "/WYVERN.SND"), sounds);
    std::filesystem::remove(sv::ToPath(work + "/WYVERN.SND"));

    // Entry 1 runs on into the directory: the decoder's lines on standard output, status 2.
    r = Cli(dir, "rebuild " + Q(game) + " " + Q(work));
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("Literal setting: 0\n"), std::string::npos);
    EXPECT_TRUE(r.out.ends_with("Error: Bad header.\n")) << r.out;
    EXPECT_TRUE(std::filesystem::is_empty(sv::ToPath(work)));

    // list prints the same lines on standard error and nothing on standard output.
    const CliRun l = Cli(dir, "list " + Q(game) + " --work " + Q(work));
    EXPECT_EQ(l.status, 2);
    EXPECT_EQ(l.out, "");
    EXPECT_EQ(l.err, r.out);
    EXPECT_TRUE(std::filesystem::is_empty(sv::ToPath(work)));

    EXPECT_EQ(Cli(dir, "rebuild " + Q(game) + " " + Q(work) + " --entry 5").status, 1);
    EXPECT_EQ(Cli(dir, "rebuild " + Q(work) + " " + Q(work)).status, 1);
    EXPECT_EQ(Cli(dir, "rebuild " + Q(game) + " " + Q(work) + " --entry -1").status, 64);
}

} // namespace
#endif
