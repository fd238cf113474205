// Whole commands timed from process start to exit, each beside what a user would run instead:
// - explode_cli: `sonvault-cli explode` of one 16 MiB audio-like stream, against StormLib's explode
//   in a small C program that reads and writes the same way; write_alone is that program copying
//   the 16 MiB output without decoding, what the file system alone costs.
// - export_cli: `sonvault-cli export` of every effect and song of the full-size demo folder (build
//   demo_data_full first), against `cp -r` of a folder holding the same files.
// - render_song: `sonvault-cli render` of one demo song to WAV, against the `fluidsynth` program
//   rendering the same MIDI file with the same SoundFont at the same rate.
// Every run writes into a folder of its own. Each benchmark runs its command once per repetition:
// pass --benchmark_repetitions for more.
#include "BenchInputs.h"
#include "archive/BsaArchive.h"
#include "audio/Synthesizer.h"
#include "decode/SongConverter.h"
#include "io/OutputFile.h"
#include "io/Paths.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace sv::bench {

namespace fs = std::filesystem;

constexpr std::size_t kExplodeSize = 16 << 20;
constexpr int kRenderedSong = 3;

// This program's own folder, where the build puts sonvault-cli and stormlib_explode too.
std::string BinFolder() {
    std::error_code ec;
    return fs::read_symlink("/proc/self/exe", ec).parent_path().string();
}

// What one run of a command cost: seconds from spawn to exit, negative when it could not start or
// did not exit with status 0, and its processor time (user and system).
struct Cost {
    double seconds = -1;
    double processorSeconds = 0;
};

// Runs a command with its output thrown away.
Cost Run(const std::vector<std::string>& command) {
    std::vector<char*> argv;
    for (const std::string& a : command) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    Cost cost;
    if (spawned != 0) {
        return cost;
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) {
        return cost;
    }
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        cost.seconds = seconds.count();
    }
    const auto toSeconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    cost.processorSeconds = toSeconds(usage.ru_utime) + toSeconds(usage.ru_stime);
    return cost;
}

std::string Join(const std::vector<std::string>& command) {
    std::string text;
    for (const std::string& a : command) {
        text += (text.empty() ? "" : " ") + a;
    }
    return text;
}

// Times make(fresh folder) once per iteration; the folder is made outside the timing, and check
// (outside it too) must find the command's output there. A counter gives the command's processor
// time, which a busy machine disturbs less than the elapsed time.
template <typename Make, typename Check>
void TimeCommand(benchmark::State& state, Make make, Check check) {
    double processor = 0;
    for (auto _ : state) {
        const std::string folder = FreshFolder();
        const std::vector<std::string> command = make(folder);
        const Cost cost = Run(command);
        if (cost.seconds < 0 || !check(folder)) {
            state.SkipWithError(
                ((cost.seconds < 0 ? "failed: " : "wrong output: ") + Join(command)).c_str());
            return;
        }
        state.SetIterationTime(cost.seconds);
        processor += cost.processorSeconds;
    }
    state.counters["processor_s"] =
        benchmark::Counter(processor, benchmark::Counter::kAvgIterations);
}

// A check that the file exists with the given size, or with any size when size is 0.
auto FileOf(std::string name, std::uintmax_t size) {
    return [name = std::move(name), size](const std::string& folder) {
        std::error_code ec;
        const std::uintmax_t n = fs::file_size(fs::path(folder) / name, ec);
        return !ec && n != 0 && (size == 0 || n == size);
    };
}

// The 16 MiB input as one stream, and its decoded bytes, written once.
struct ExplodeFiles {
    std::string stream;
    std::string decoded;
};

const ExplodeFiles& ExplodeInput() {
    static const ExplodeFiles files = [] {
        const Bytes data = MakeInput(Kind::kAudio, kExplodeSize);
        const Bytes stream = ImplodeStream(data);
        ExplodeFiles f{sv::JoinPath(ScratchFolder(), "stream.imploded"),
                       sv::JoinPath(ScratchFolder(), "stream.decoded")};
        if (stream.empty() || !sv::WriteWholeFile(f.stream, stream.data(), stream.size()) ||
            !sv::WriteWholeFile(f.decoded, data.data(), data.size())) {
            f = {};
        }
        return f;
    }();
    return files;
}

const std::string kLimit = std::to_string(kExplodeSize);

void ExplodeSonvault(benchmark::State& state) {
    const std::string& in = ExplodeInput().stream;
    TimeCommand(
        state,
        [&](const std::string& out) {
            return std::vector<std::string>{
                BinFolder() + "/sonvault-cli", "explode", in, out + "/out.bin", "--limit", kLimit};
        },
        FileOf("out.bin", kExplodeSize));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kExplodeSize));
}

void ExplodeStormLib(benchmark::State& state) {
    const std::string& in = ExplodeInput().stream;
    TimeCommand(
        state,
        [&](const std::string& out) {
            return std::vector<std::string>{BinFolder() + "/stormlib_explode", in, out + "/out.bin",
                                            kLimit};
        },
        FileOf("out.bin", kExplodeSize));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kExplodeSize));
}

void WriteAlone(benchmark::State& state) {
    const std::string& in = ExplodeInput().decoded;
    TimeCommand(
        state,
        [&](const std::string& out) {
            return std::vector<std::string>{BinFolder() + "/stormlib_explode", "--copy", in,
                                            out + "/out.bin", kLimit};
        },
        FileOf("out.bin", kExplodeSize));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kExplodeSize));
}

const std::string kFullDemo = std::string(SONVAULT_DEMO_DIR) + "/Arena2-full";

std::vector<std::string> ExportCommand(const std::string& out) {
    fs::create_directories(fs::path(out) / "effects");
    fs::create_directories(fs::path(out) / "songs");
    fs::create_directories(fs::path(out) / "work");
    return {BinFolder() + "/sonvault-cli",
            "export",
            kFullDemo,
            "--effects",
            out + "/effects",
            "--songs",
            out + "/songs",
            "--work",
            out + "/work"};
}

// One export made before timing, for cp to copy: the same files and bytes the export writes.
const std::string& ExportReference() {
    static const std::string folder = [] {
        const std::string out = FreshFolder();
        return Run(ExportCommand(out)).seconds < 0 ? std::string() : out;
    }();
    return folder;
}

std::int64_t FolderBytes(const std::string& folder) {
    std::int64_t bytes = 0;
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
        bytes += e.is_regular_file() ? static_cast<std::int64_t>(e.file_size()) : 0;
    }
    return bytes;
}

void ExportSonvault(benchmark::State& state) {
    if (ExportReference().empty()) {
        state.SkipWithError("the export failed: build demo_data_full and sonvault-cli first");
        return;
    }
    const std::int64_t bytes = FolderBytes(ExportReference());
    TimeCommand(state, ExportCommand,
                [&](const std::string& out) { return FolderBytes(out) == bytes; });
    state.SetBytesProcessed(state.iterations() * FolderBytes(ExportReference()));
}

void ExportCopy(benchmark::State& state) {
    const std::string& reference = ExportReference();
    if (reference.empty()) {
        state.SkipWithError("the export failed: build demo_data_full and sonvault-cli first");
        return;
    }
    TimeCommand(
        state,
        [&](const std::string& out) {
            return std::vector<std::string>{"cp", "-r", reference, out + "/copy"};
        },
        [&](const std::string& out) { return FolderBytes(out) == FolderBytes(reference); });
    state.SetBytesProcessed(state.iterations() * FolderBytes(reference));
}

// A demo song of the full-size folder converted to MIDI, written once.
const std::string& RenderedSong() {
    static const std::string path = [] {
        BsaArchive archive;
        if (!archive.Open(kFullDemo, "MIDI.BSA", true)) {
            return std::string();
        }
        Bytes hmi(archive.RecordSize(kRenderedSong));
        Bytes midi;
        SongConverter converter;
        const std::string file = sv::JoinPath(ScratchFolder(), "song.mid");
        if (!archive.ReadRecord(kRenderedSong, hmi.data(),
                                static_cast<std::uint32_t>(hmi.size())) ||
            converter.Convert(hmi, midi) < 0 ||
            !sv::WriteWholeFile(file, midi.data(), midi.size())) {
            return std::string();
        }
        return file;
    }();
    return path;
}

bool RenderReady(benchmark::State& state) {
    if (RenderedSong().empty()) {
        state.SkipWithError("no Arena2-full: build the demo_data_full target first");
        return false;
    }
    if (FindDefaultSoundFont().empty()) {
        state.SkipWithError("no General MIDI SoundFont (fluid-soundfont-gm)");
        return false;
    }
    return true;
}

void RenderSonvault(benchmark::State& state) {
    if (!RenderReady(state)) {
        return;
    }
    TimeCommand(
        state,
        [](const std::string& out) {
            return std::vector<std::string>{BinFolder() + "/sonvault-cli",
                                            "render",
                                            RenderedSong(),
                                            out + "/song.wav",
                                            "--soundfont",
                                            FindDefaultSoundFont(),
                                            "--rate",
                                            "44100"};
        },
        FileOf("song.wav", 0));
}

void RenderFluidSynth(benchmark::State& state) {
    if (!RenderReady(state)) {
        return;
    }
    TimeCommand(
        state,
        [](const std::string& out) {
            return std::vector<std::string>{"fluidsynth",           "-ni",         "-F",
                                            out + "/song.wav",      "-r",          "44100",
                                            FindDefaultSoundFont(), RenderedSong()};
        },
        FileOf("song.wav", 0));
}

} // namespace sv::bench

int main(int argc, char** argv) {
    using namespace sv::bench;
    const auto add = [](const char* name, void (*fn)(benchmark::State&)) {
        benchmark::RegisterBenchmark(name, fn)->Iterations(1)->UseManualTime()->Unit(
            benchmark::kMillisecond);
    };
    add("explode_cli/sonvault", ExplodeSonvault);
    add("explode_cli/stormlib", ExplodeStormLib);
    add("explode_cli/write_alone", WriteAlone);
    add("export_cli/sonvault", ExportSonvault);
    add("export_cli/cp", ExportCopy);
    add("render_song/sonvault", RenderSonvault);
    add("render_song/fluidsynth", RenderFluidSynth);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
