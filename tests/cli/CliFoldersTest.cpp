// sonvault-cli as a new user meets it: folders made, failures named with the system's reason,
// unknown words named, the decoder's lines only when asked for.
#include "CliRun.h"

#include <filesystem>

namespace sv::test {
namespace {

using cli_support::Cli;

namespace fs = std::filesystem;

const std::string kDemo = std::string(SONVAULT_DEMO_DIR) + "/Arena2";
const std::string kPacked = std::string(SONVAULT_DEMO_DIR) + "/Arena2-packed";

TEST(CliFolders, MissingOutputAndWorkFoldersAreCreated) {
    ScratchDir dir;
    const std::string out = dir.Path() + "/out";
    cli_support::Run r = Cli(dir, {"export", kDemo, "--effects", out + "/a/fx", "--songs",
                                   out + "/b/music", "--work", out + "/w"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Names(out + "/a/fx").size(), 39u);
    EXPECT_EQ(Names(out + "/b/music").size(), 15u);
    EXPECT_NE(r.err.find("54 files written, 0 files passed over"), std::string::npos) << r.err;

    r = Cli(dir, {"extract", kDemo, "effect", "3", out + "/x/y/boom.wav", "--work", out + "/w"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Exists(out + "/x/y/boom.wav"));
    r = Cli(dir, {"rebuild", kPacked, out + "/r/s", "--entry", "0"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Exists(out + "/r/s/MIDI.BSA"));
}

// Without --work the rebuilt archive goes to the per-user data folder, never the current one.
TEST(CliFolders, TheDefaultWorkFolderIsThePerUserDataFolder) {
    ScratchDir dir;
    const std::string cwd = dir.Sub("cwd");
    const struct {
        std::vector<std::pair<std::string, std::string>> env;
        std::string expected;
    } cases[] = {
        {{{"XDG_DATA_HOME", dir.Path() + "/xdg"}, {"HOME", dir.Path() + "/home1"}},
         dir.Path() + "/xdg/sonvault"},
        // A relative XDG_DATA_HOME is ignored.
        {{{"XDG_DATA_HOME", "rel"}, {"HOME", dir.Path() + "/home"}},
         dir.Path() + "/home/.local/share/sonvault"},
    };
    for (const auto& c : cases) {
        cli_support::Options options;
        options.cwd = cwd;
        options.env = c.env;
        const cli_support::Run r = Cli(dir, {"list", kPacked}, options);
        EXPECT_EQ(r.status, 0) << r.err;
        // The rebuilt archive, in the folder named after the container.
        const std::vector<std::string> rebuilt = Names(c.expected);
        ASSERT_EQ(rebuilt.size(), 1u) << c.expected;
        EXPECT_TRUE(Exists(c.expected + "/" + rebuilt[0] + "/WYVERN.SND"));
        EXPECT_TRUE(Names(cwd).empty());
    }
}

TEST(CliFolders, AFolderThatCannotBeMadeIsAFailureWithItsReason) {
    ScratchDir dir;
    const std::string file = dir.File("file");
    WriteFile(file, {1});
    const std::string work = dir.Sub("work");
    const std::string notDir = "\": Not a directory.\n";
    const struct {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"export", kDemo, "--effects", file + "/fx", "--work", work},
         "Cannot write \"" + file + "/fx" + notDir},
        {{"list", kPacked, "--work", file}, "Cannot write \"" + file + notDir},
        {{"extract", kDemo, "song", "1", file + "/a.mid", "--work", work},
         "Cannot write \"" + file + notDir},
        {{"rebuild", kPacked, file + "/d"}, "Cannot write \"" + file + "/d" + notDir},
        {{"convert", kDemo + "/MIDI.BSA", file + "/a/b.mid"},
         "Cannot write \"" + file + "/a" + notDir},
    };
    for (const auto& c : cases) {
        const cli_support::Run r = Cli(dir, c.args);
        EXPECT_EQ(r.status, 1) << c.args[0];
        EXPECT_EQ(r.err, c.err);
    }
    EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"file", "work"}));
    EXPECT_TRUE(Names(work).empty());
}

TEST(CliMessages, ReadAndWriteFailuresGiveTheSystemsReason) {
    ScratchDir dir;
    const std::string song = dir.File("song.hmi");
    ASSERT_EQ(
        Cli(dir, {"extract", kDemo, "song", "1", song, "--raw", "--work", dir.Sub("w")}).status, 0);
    const std::string folder = dir.Sub("folder");
    const std::string missing = dir.File("missing.hmi");
    const struct {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"convert", missing, dir.File("a.mid")},
         "Cannot read \"" + missing + "\": No such file or directory.\n"},
        {{"convert", folder, dir.File("a.mid")},
         "Cannot read \"" + folder + "\": Is a directory.\n"},
        // A folder in the target's place: the finished file cannot be renamed over it.
        {{"convert", song, folder}, "Cannot write \"" + folder + "\": Is a directory.\n"},
        {{"extract", kDemo, "effect", "2", folder, "--work", dir.Path() + "/w"},
         "Cannot write \"" + folder + "\": Is a directory.\n"},
    };
    for (const auto& c : cases) {
        const cli_support::Run r = Cli(dir, c.args);
        EXPECT_EQ(r.status, 1) << c.args[0] << " " << c.args[1];
        EXPECT_EQ(r.err, c.err);
    }
    EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"folder", "song.hmi", "w"}));
    EXPECT_TRUE(Names(folder).empty());

    // Export names each record it passed over, with the reason.
    const std::string fx = dir.Sub("fx");
    fs::create_directory(fx + "/0.wav");
    const cli_support::Run r =
        Cli(dir, {"export", kDemo, "--effects", fx, "--work", dir.Path() + "/w"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1),
              "Cannot write \"" + fx + "/0.wav\": Is a directory.\n");
    EXPECT_NE(r.err.find("38 files written, 1 files passed over"), std::string::npos) << r.err;
}

TEST(CliMessages, AFolderThatDoesNotOpenNamesTheFileAtFault) {
    ScratchDir dir;
    const std::string work = dir.Sub("work");
    const std::string file = dir.File("file");
    WriteFile(file, {1});
    const Bytes brokenBsa{0xFF, 0x7F, 0x00, 0x01, 0, 0}; // 32767 records in 6 bytes
    const auto game = [&](const std::string& name, std::vector<std::pair<std::string, Bytes>> files,
                          std::vector<std::string> copies) {
        const std::string folder = dir.Sub(name);
        for (const auto& [n, bytes] : files) {
            WriteFile(folder + "/" + n, bytes);
        }
        for (const std::string& n : copies) {
            fs::copy_file(kPacked + "/" + n, folder + "/" + n);
        }
        return folder;
    };
    const std::string songsOnly = game("songs-only", {}, {"MIDI.BSA"});
    const std::string soundsOnly = game("sounds-only", {}, {});
    fs::copy_file(kDemo + "/WYVERN.SND", soundsOnly + "/WYVERN.SND");
    const std::string badSongs = game("bad-songs", {{"MIDI.BSA", brokenBsa}}, {});
    fs::copy_file(kDemo + "/WYVERN.SND", badSongs + "/WYVERN.SND");
    const std::string badSounds = game("bad-sounds", {{"WYVERN.SND", brokenBsa}}, {"MIDI.BSA"});
    const std::string badPacked =
        game("bad-packed", {{"PACKED.DAT", {0xF0, 0, 0, 0, 0, 0, 0, 0}}}, {"MIDI.BSA"});
    // Folders named like the archives count as missing ones.
    const std::string hollow = game("hollow", {}, {"MIDI.BSA"});
    fs::create_directory(hollow + "/wyvern.snd");
    fs::create_directory(hollow + "/PACKED.DAT");

    const std::string failed = "Failed to open Arena2 folder.\n";
    const struct {
        std::string folder;
        std::string err;
    } cases[] = {
        {dir.Path() + "/absent",
         "Cannot read \"" + dir.Path() + "/absent\": No such file or directory.\n"},
        {file, "Cannot read \"" + file + "\": Not a directory.\n"},
        {songsOnly, "Cannot read \"" + songsOnly + "/packed.dat\": No such file or directory.\n"},
        {soundsOnly, "Cannot read \"" + soundsOnly + "/midi.bsa\": No such file or directory.\n"},
        {badSongs, "Cannot read \"" + badSongs + "/MIDI.BSA\": not a BSA archive.\n"},
        {badSounds, "Cannot read \"" + badSounds + "/WYVERN.SND\": not a BSA archive.\n"},
        {badPacked,
         "Cannot read \"" + badPacked + "/PACKED.DAT\": entry 1 is not there in full.\n"},
        {hollow, "Cannot read \"" + hollow + "/wyvern.snd\": Is a directory.\n"},
    };
    for (const auto& c : cases) {
        for (const char* command : {"list", "export"}) {
            const cli_support::Run r = Cli(dir, {command, c.folder, "--work", work});
            EXPECT_EQ(r.status, 1) << command << " " << c.folder;
            EXPECT_EQ(r.err, failed + c.err) << command;
            EXPECT_EQ(r.out, "");
        }
    }
    // Nothing was rebuilt, not even from a folder named like the container.
    EXPECT_TRUE(Names(work).empty());
}

TEST(CliUsage, UnknownWordsAreNamed) {
    ScratchDir dir;
    const struct {
        std::vector<std::string> args;
        std::string named;
    } cases[] = {
        {{"bogus"}, "Unknown command \"bogus\""},
        {{"--bogus"}, "Unknown option \"--bogus\""},
        {{"list", kDemo, "--bogus"}, "--bogus"},
        {{"export", kDemo, "--effect", "fx"}, "--effect"},
        {{"extract", kDemo, "sound", "1", "x"}, "sound"},
    };
    for (const auto& c : cases) {
        const cli_support::Run r = Cli(dir, c.args);
        EXPECT_EQ(r.status, 64) << c.named;
        EXPECT_NE(r.err.find(c.named), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{});
    EXPECT_EQ(Cli(dir, {"--version"}).out, "sonvault-cli 1.0.0.1\n");
    const cli_support::Run help = Cli(dir, {"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* command : {"list", "convert", "extract", "export", "explode", "rebuild"}) {
        EXPECT_NE(help.out.find(command), std::string::npos) << command;
    }
}

} // namespace
} // namespace sv::test
