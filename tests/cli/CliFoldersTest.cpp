// sonvault-cli as a new user meets it: folders made, failures named with the system's reason,
// each record in the form its file name asks for, outputs that are not plain files, signals.
#include "CliRun.h"
#include "SongBuilders.h"
#include "audio/Synthesizer.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace sv::test {
namespace {

using cli_support::Args;
using cli_support::Cli;
namespace fs = std::filesystem;

const std::string kDemo = std::string(SONVAULT_DEMO_DIR) + "/Arena2";
const std::string kPacked = std::string(SONVAULT_DEMO_DIR) + "/Arena2-packed";

// The message of a failed read or write, as a line of standard error.
std::string Cannot(const char* verb, const std::string& path, const std::string& why) {
    return std::string("Cannot ") + verb + " \"" + path + "\": " + why + ".\n";
}

// Without --work the rebuilt archive goes to the per-user data folder, into the folder named after
// the container, never the current one; a relative XDG_DATA_HOME is ignored.
TEST(CliFolders, TheDefaultWorkFolderIsPerUser) {
    ScratchDir dir;
    cli_support::Options options;
    options.cwd = dir.Sub("cwd");
    for (const auto& [xdg, expected] :
         {std::pair{dir.Path() + "/xdg", "/xdg/sonvault"},
          std::pair{std::string("rel"), "/home/.local/share/sonvault"}}) {
        options.env = {{"XDG_DATA_HOME", xdg}, {"HOME", dir.Path() + "/home"}};
        EXPECT_EQ(Cli(dir, {"list", kPacked}, options).status, 0);
        const std::vector<std::string> rebuilt = Names(dir.Path() + expected);
        ASSERT_EQ(rebuilt.size(), 1u) << expected;
        EXPECT_TRUE(Exists(dir.Path() + expected + "/" + rebuilt[0] + "/WYVERN.SND")) << expected;
        EXPECT_TRUE(Names(options.cwd).empty());
    }
}

// Names made safe stay inside the folders, lower-cased; songs end in ".mid"; "TAVERN.HMI", exactly
// so spelt, is passed over without a word; a record not written is named with the reason; the
// summary counts the files and their bytes.
TEST(CliFolders, ExportMakesNamesSafeAndCountsWhatItWrote) {
    ScratchDir dir;
    const std::string game = dir.Sub("Arena2");
    const Bytes song = HmiSong({{0x00, 0xC0, 0x01, 0x00, 0xFF, 0x2F, 0x00}}); // 48 MIDI bytes
    WriteFile(
        game + "/wyvern.snd",
        MakeBsa({{"BOOM", 0, Filled(3, 0)}, {"../UP", 0, Filled(5, 0)}, {"A:B", 0, {}}}, true));
    WriteFile(game + "/midi.bsa", MakeBsa({{"../ONE.HMI", 0, song},
                                           {"TAVERN.HMI", 0, song},
                                           {"BROKEN.HMI", 0, Filled(9, 0)},
                                           {"tavern.hmi", 0, song}},
                                          true));
    const std::string fx = dir.Path() + "/fx", music = dir.Path() + "/music";
    fs::create_directories(fx + "/a_b.wav");
    const cli_support::Run r =
        Cli(dir, {"export", game, "--effects", fx, "--songs", music, "--work", dir.Sub("w")});
    using Names_ = std::vector<std::string>;
    EXPECT_EQ(Names(dir.Path()), (Names_{"Arena2", "fx", "music", "w"}));
    EXPECT_EQ(Names(fx), (Names_{".._up.wav", "a_b.wav", "boom.wav"}));
    EXPECT_EQ(Names(music), (Names_{".._one.mid", "tavern.mid"}));
    EXPECT_EQ(r.status, 1);
    const std::string broken = "Cannot write \"" + music + "/broken.mid\": ";
    EXPECT_EQ(r.err.rfind(Cannot("write", fx + "/a_b.wav", "Is a directory") + broken, 0), 0u);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 3) << r.err; // and the summary
    EXPECT_NE(r.err.find("4 files written, 2 files passed over, " +
                         std::to_string((44 + 3) + (44 + 5) + 2 * 48) + " bytes"),
              std::string::npos)
        << r.err;
}

TEST(CliMessages, FailuresNameWhatFailedAndWhy) {
    ScratchDir dir;
    const std::string d = dir.Path(), work = dir.Sub("w"), folder = dir.Sub("folder");
    const std::string file = dir.File("file"), song = dir.File("song.hmi");
    WriteFile(file, {1});
    ASSERT_EQ(Cli(dir, {"extract", kDemo, "song", "1", song, "--raw", "--work", work}).status, 0);
    const std::string notDir = "Not a directory", noFile = "No such file or directory";
    const struct {
        int status;
        std::string err; // the whole of standard error; for the parser's words, a part of it
        Args args;
    } cases[] = {
        {1, Cannot("write", file + "/fx", notDir), {"export", kDemo, "--effects", file + "/fx"}},
        {1, Cannot("write", file, notDir), {"list", kPacked, "--work", file}},
        {1, Cannot("write", file, notDir), {"extract", kDemo, "song", "1", file + "/a.mid"}},
        {1, Cannot("write", file + "/d", notDir), {"rebuild", kPacked, file + "/d"}},
        {1, Cannot("read", d + "/no.hmi", noFile), {"convert", d + "/no.hmi", d + "/a.mid"}},
        {1, Cannot("read", folder, "Is a directory"), {"convert", folder, d + "/a.mid"}},
        {1,
         Cannot("read", d + "/n.sf2", noFile),
         {"extract", kDemo, "song", "2", d + "/a.wav", "--soundfont", d + "/n.sf2"}},
        {64,
         "--raw keeps the record's bytes, but \"" + d + "/a.ogg\" names a rendered form.\n",
         {"extract", kDemo, "effect", "2", d + "/a.ogg", "--raw"}},
        {64,
         "\"" + d + "/a.Mp3\" names no form of a song: use .mid, .hmi, .wav, .flac or .ogg.\n",
         {"extract", kDemo, "song", "2", d + "/a.Mp3"}},
        {64,
         "\"" + d + "/a.mid\" names no form of an effect: use .wav, .raw, .flac or .ogg.\n",
         {"extract", kDemo, "effect", "2", d + "/a.mid"}},
        {64, "Unknown command \"bogus\"", {"bogus"}},
        {64, "Unknown option \"--bogus\"", {"--bogus"}},
        {64, "--effect", {"export", kDemo, "--effect", "fx"}},
        {64, "sound", {"extract", kDemo, "sound", "1", "x"}},
    };
    for (const auto& c : cases) {
        Args args = c.args;
        if (args.size() > 1 && args[1] == kDemo) // a work folder of the test's own
            args.insert(args.end(), {"--work", work});
        const cli_support::Run r = Cli(dir, args);
        EXPECT_EQ(r.status, c.status) << testing::PrintToString(args);
        if (c.err.back() == '\n')
            EXPECT_EQ(r.err, c.err);
        else
            EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(Names(d), (std::vector<std::string>{"file", "folder", "song.hmi", "w"}));
    EXPECT_TRUE(Names(folder).empty());
    EXPECT_EQ(Cli(dir, {"--version"}).out, "sonvault-cli 1.0.0.1\n");
}

TEST(CliMessages, AFolderThatDoesNotOpenNamesTheFileAtFault) {
    ScratchDir dir;
    const std::string work = dir.Sub("work"), file = dir.File("file");
    WriteFile(file, {1});
    // A folder with the demo's songs archive, or none, and the file of `name` holding `bytes`.
    const auto game = [&](const std::string& folder, bool songs, const char* name,
                          const Bytes& bytes) {
        const std::string path = dir.Sub(folder);
        if (songs)
            fs::copy_file(kPacked + "/MIDI.BSA", path + "/MIDI.BSA");
        if (!bytes.empty())
            WriteFile(path + "/" + name, bytes);
        return path;
    };
    const std::string songsOnly = game("songs-only", true, "", {});
    const std::string soundsOnly =
        game("sounds-only", false, "WYVERN.SND", ReadFile(kDemo + "/WYVERN.SND"));
    // 32767 records in 6 bytes
    const std::string badSounds = game("bad-sounds", true, "WYVERN.SND", {0xFF, 0x7F, 0, 1, 0, 0});
    const std::string badPacked =
        game("bad-packed", true, "PACKED.DAT", {0xF0, 0, 0, 0, 0, 0, 0, 0});
    // Folders named like the archives count as missing ones.
    const std::string hollow = game("hollow", true, "", {});
    fs::create_directory(hollow + "/wyvern.snd");
    fs::create_directory(hollow + "/PACKED.DAT");
    const std::pair<std::string, std::string> cases[] = {
        {dir.Path() + "/absent",
         Cannot("read", dir.Path() + "/absent", "No such file or directory")},
        {file, Cannot("read", file, "Not a directory")},
        {soundsOnly, Cannot("read", soundsOnly + "/midi.bsa", "No such file or directory")},
        {badPacked, Cannot("read", badPacked + "/PACKED.DAT", "entry 1 is not there in full")},
        {songsOnly, Cannot("read", songsOnly + "/packed.dat", "No such file or directory")},
        {badSounds, Cannot("read", badSounds + "/WYVERN.SND", "not a BSA archive")},
        {hollow, Cannot("read", hollow + "/wyvern.snd", "Is a directory")},
    };
    for (const auto& [folder, err] : cases) {
        for (const char* command : {"list", "export"}) {
            const cli_support::Run r = Cli(dir, {command, folder, "--work", work});
            EXPECT_EQ(r.status, 1) << command << " " << folder;
            EXPECT_EQ(r.err, "Failed to open Arena2 folder.\n" + err) << command;
        }
    }
    EXPECT_TRUE(Names(work).empty());
}

// The extension names the form, in any letter case; the application's forms keep its file
// names, the rendered ones are written as named.
TEST(CliOutputs, ExtractWritesTheFormItsNameAsks) {
    ScratchDir dir;
    const std::string work = dir.Sub(".w");
    const struct {
        std::string kind, output;
        bool raw;
        std::string file, head;
    } cases[] = {
        {"song", "Town.MID", false, "town.mid", "MThd"},
        {"song", "Town.HMI", false, "town.mid", "MThd"},
        {"song", "town.mid", true, "town.hmi", "HMI-"},
        {"song", "Tune", false, "tune", "MThd"},
        {"effect", "Boom.RAW", false, "boom.wav", "RIFF"},
        {"effect", "Boom.RAW", true, "Boom.RAW", "\xD3\xC3\xC2\xC4"},
        {"effect", "Boom.OGG", false, "Boom.OGG", "OggS"},
        {"effect", "boom.flac", false, "boom.flac", "fLaC"},
        {"song", "town.wav", false, "town.wav", "RIFF"},
    };
    for (const auto& c : cases) {
        if (c.output == "town.wav" && sv::FindDefaultSoundFont().empty())
            continue; // a song renders through the system's SoundFont
        Args args = {"extract", kDemo, c.kind,   "3",   dir.File(c.output),
                     "--work",  work,  "--rate", "8000"};
        if (c.raw)
            args.push_back("--raw");
        const cli_support::Run r = Cli(dir, args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{".w", c.file}));
        const Bytes b = ReadFile(dir.File(c.file));
        EXPECT_EQ(std::string(b.begin(), b.begin() + std::min<std::ptrdiff_t>(4, std::ssize(b))),
                  c.head)
            << c.output;
        fs::remove(dir.File(c.file));
    }
}

// Standard output, a device and a named pipe as OUTPUT. (Links: the output file's test.)
TEST(CliOutputs, OutputsThatAreNotPlainFiles) {
    ScratchDir dir;
    const std::string work = dir.Sub(".w"), song = dir.File("song.hmi");
    ASSERT_EQ(Cli(dir, {"extract", kDemo, "song", "3", song, "--raw", "--work", work}).status, 0);
    ASSERT_EQ(
        Cli(dir, {"extract", kDemo, "effect", "3", dir.File("boom.wav"), "--work", work}).status,
        0);
    ASSERT_EQ(Cli(dir, {"convert", song, dir.File("song.mid")}).status, 0);
    ASSERT_EQ(Cli(dir, {"render", dir.File("boom.wav"), dir.File("boom44k.wav")}).status, 0);
    // Each command with OUT for its output, and the file it gives when OUT is a plain name.
    const std::pair<Args, std::string> commands[] = {
        {{"convert", song, "OUT"}, "song.mid"},
        {{"extract", kDemo, "song", "3", "OUT", "--work", work}, "song.mid"},
        {{"extract", kDemo, "effect", "3", "OUT", "--work", work}, "boom.wav"},
        {{"render", dir.File("boom.wav"), "OUT", "--format", "wav"}, "boom44k.wav"},
    };
    const std::string pipe = dir.File("pipe");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    // A null device of the test's own: a tool that replaced it must not replace the system's.
    std::string device = dir.File("null");
    if (mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
        device.clear(); // not allowed to make devices here
    cli_support::Options inDir;
    inDir.cwd = dir.Path();
    for (const auto& [args, file] : commands) {
        const auto to = [&args](const std::string& output) {
            Args with = args;
            *std::find(with.begin(), with.end(), "OUT") = output;
            return with;
        };
        const Bytes expected = ReadFile(dir.File(file));
        cli_support::Run r = Cli(dir, to("-"), inDir);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(r.out == std::string(expected.begin(), expected.end())) << args[0];
        EXPECT_FALSE(Exists(dir.File("-")));
        if (!device.empty()) {
            EXPECT_EQ(Cli(dir, to(device)).status, 0);
            EXPECT_TRUE(fs::is_character_file(device)) << args[0];
        }
        Bytes piped;
        std::thread reader([&] { piped = ReadFile(pipe); });
        EXPECT_EQ(Cli(dir, to(pipe)).status, 0);
        // A tool that never opened the pipe must not leave the reader waiting for it.
        if (const int writer = open(pipe.c_str(), O_WRONLY | O_NONBLOCK); writer >= 0)
            close(writer);
        reader.join();
        EXPECT_TRUE(piped == expected && fs::is_fifo(pipe)) << args[0];
    }
}

// The finished files in `folder`, or else the temporary ones, whose names start with '.'.
std::vector<std::string> Files(const std::string& folder, bool finished) {
    std::vector<std::string> names = Names(folder);
    std::erase_if(names, [finished](const std::string& n) { return (n[0] != '.') != finished; });
    return names;
}

TEST(CliInterrupt, RenderAndExportLeaveOnlyFinishedFiles) {
    ScratchDir dir;
    // Twenty minutes of noise take long enough to render that the signal lands mid-file.
    Bytes noise = EffectWav(11025 * 60 * 20, 441.0);
    std::uint32_t x = 1;
    for (auto s = noise.begin() + 44; s != noise.end(); ++s)
        *s = static_cast<std::uint8_t>((x = x * 1664525u + 1013904223u) >> 24);
    WriteFile(dir.File("long.wav"), noise);
    constexpr std::uint32_t kEffects = 3000;
    constexpr std::size_t kSize = 40000;
    std::vector<Record> effects;
    for (std::uint32_t i = 0; i < kEffects; ++i)
        effects.push_back({"", i, Filled(kSize, static_cast<std::uint8_t>(i))});
    const std::string game = dir.Sub("game");
    WriteFile(game + "/WYVERN.SND", MakeBsa(effects, false));
    WriteFile(game + "/MIDI.BSA", MakeBsa({{"A.HMI", 0, Filled(10, 0)}}, true));

    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        const std::string out = dir.Sub("out" + std::to_string(signal));
        cli_support::Options options;
        options.signal = signal;
        // None finished and one being written; then some finished, one being written.
        for (const std::size_t finished : {0, 5}) {
            options.interruptWhen = [&] {
                return Files(out, true).size() >= finished && !Files(out, false).empty();
            };
            const Args command =
                finished == 0
                    ? Args{"render", dir.File("long.wav"), out + "/long.flac", "--rate", "96000"}
                    : Args{"export", game, "--effects", out, "--work", dir.Sub("w")};
            const cli_support::Run r = Cli(dir, command, options);
            EXPECT_EQ(r.status, 128 + signal) << r.err;
            const std::vector<std::string> left = Files(out, true);
            EXPECT_TRUE(Files(out, false).empty());
            EXPECT_GE(left.size(), finished);
            EXPECT_LT(left.size(), kEffects);
            for (const std::string& name : left)
                EXPECT_EQ(fs::file_size(out + "/" + name), 44 + kSize) << name;
        }
    }
}

} // namespace
} // namespace sv::test
