// The whole demo soundtrack rendered to 44,100 Hz WAV files: `export --audio`'s loop on two
// worker threads, against the fluidsynth program run once per song, one after the other, on the
// same songs (converted to MIDI files beforehand, outside the timing) and the same SoundFont.
// Each run writes into a temporary folder removed at exit.
#include "BenchInputs.h"
#include "DemoData.h"
#include "archive/Extraction.h"
#include "archive/GameData.h"
#include "archive/Listing.h"
#include "audio/Synthesizer.h"
#include "export/soundtrack/SoundtrackExport.h"
#include "io/Paths.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>

namespace sv::bench {
namespace {

namespace fs = std::filesystem;

class NoProgress final : public ProgressControl {
public:
    void Show() override {}
    void SetRange(std::int32_t, std::int32_t) override {}
    void SetPos(std::int32_t) override {}
    void Hide() override {}
};

fs::path Scratch() {
    return sv::ToPath(sv::bench::ScratchFolder());
}

GameData& Demo() {
    Scratch();
    static GameData data;
    if (!data.IsOpen()) {
        const std::string folder = sv::FromPath(Scratch() / "Arena2");
        demo::WriteDemoFolder(folder, {});
        data.SetWorkFolder(sv::FromPath(Scratch()));
        data.Open(folder);
    }
    return data;
}

void BM_SoundtrackJobs(benchmark::State& state) {
    const std::string soundFont = FindDefaultSoundFont();
    if (soundFont.empty()) {
        state.SkipWithError("no General MIDI SoundFont");
        return;
    }
    sv::SoundtrackOptions options;
    options.folder = sv::FromPath(Scratch() / "jobs");
    fs::create_directories(sv::ToPath(options.folder));
    options.type = SoundFileType::Wav;
    options.soundFont = soundFont;
    options.jobs = static_cast<int>(state.range(0));
    NoProgress progress;
    const std::atomic<bool> cancel{false};
    int songs = 0;
    for (auto _ : state) {
        const sv::SoundtrackResult result = sv::ExportSoundtrack(Demo(), options, progress, cancel);
        songs = result.written - 1;
        if (result.passedOver != 0) {
            state.SkipWithError("a song was passed over");
        }
    }
    state.counters["songs"] = songs;
}
BENCHMARK(BM_SoundtrackJobs)
    ->Arg(2)
    ->Arg(1)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

void BM_FluidsynthProgramPerSong(benchmark::State& state) {
    const std::string soundFont = FindDefaultSoundFont();
    if (soundFont.empty() || std::system("command -v fluidsynth >/dev/null") != 0) {
        state.SkipWithError("no fluidsynth program or no SoundFont");
        return;
    }
    GameData& data = Demo();
    const fs::path folder = Scratch() / "program";
    fs::create_directories(folder);
    std::vector<std::string> songs;
    for (const sv::ListedRecord& listed : sv::ListSongs(data)) {
        const std::string path = sv::FromPath(folder / listed.name);
        if (const auto song = data.ExtractSongFile(listed.index, path, true);
            song && *song == GameData::Extraction::Written) {
            songs.push_back(sv::MidiSongPath(path));
        }
    }
    for (auto _ : state) {
        for (const std::string& song : songs) {
            const std::string command = "fluidsynth -ni -F '" + song + ".wav' -r 44100 '" +
                                        soundFont + "' '" + song + "' >/dev/null 2>&1";
            if (std::system(command.c_str()) != 0) {
                state.SkipWithError("fluidsynth failed");
            }
        }
    }
    state.counters["songs"] = static_cast<double>(songs.size());
}
BENCHMARK(BM_FluidsynthProgramPerSong)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

} // namespace
} // namespace sv::bench

BENCHMARK_MAIN();
