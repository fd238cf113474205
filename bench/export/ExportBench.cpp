// Song conversion and the bulk export over the full-size demo game folder: songs converted per
// second and MB/s of HMI input (in memory, and through files as extraction does), and the whole
// export of every effect and song. The folder is build/demo/Arena2-full when it was built, else
// one written by this program into a temporary folder and removed at exit.
#include "DemoData.h"
#include "archive/GameData.h"
#include "decode/SongConverter.h"
#include "export/BulkExport.h"
#include "io/Paths.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <random>
#include <vector>

namespace sv::bench {

namespace fs = std::filesystem;

class NoProgress final : public ProgressControl {
public:
    void Show() override {}
    void SetRange(std::int32_t, std::int32_t) override {}
    void SetPos(std::int32_t) override {}
    void Hide() override {}
};

// A folder removed again when the program ends.
struct TemporaryFolder {
    TemporaryFolder() {
        std::random_device seed;
        path = fs::temp_directory_path() / ("sonvault-bench-" + std::to_string(seed()));
        fs::create_directories(path);
    }
    ~TemporaryFolder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    fs::path path;
};

TemporaryFolder& Scratch() {
    static TemporaryFolder folder;
    return folder;
}

GameData& Demo() {
    Scratch(); // made first, so removed last: after the archives in it are closed
    static GameData data;
    if (!data.IsOpen()) {
        std::string folder = sv::JoinPath(SONVAULT_DEMO_DIR, "Arena2-full");
        if (!fs::exists(sv::ToPath(sv::ResolveCase(sv::JoinPath(folder, "midi.bsa"))))) {
            folder = sv::FromPath(Scratch().path / "Arena2-full");
            demo::WriteDemoFolder(folder, {.full = true});
        }
        data.SetWorkFolder(sv::FromPath(Scratch().path));
        data.Open(folder);
    }
    return data;
}

std::vector<std::vector<std::uint8_t>> DemoSongs() {
    GameData& data = Demo();
    std::vector<std::vector<std::uint8_t>> songs;
    for (int i = 0; i < data.songArchive.RecordCount(); ++i) {
        std::vector<std::uint8_t> song(data.songArchive.RecordSize(i));
        data.songArchive.ReadRecord(i, song.data(), static_cast<std::uint32_t>(song.size()));
        songs.push_back(std::move(song));
    }
    return songs;
}

void BM_ConvertInMemory(benchmark::State& state) {
    const auto songs = DemoSongs();
    std::int64_t bytes = 0;
    for (const auto& s : songs) {
        bytes += static_cast<std::int64_t>(s.size());
    }
    SongConverter converter;
    std::vector<std::uint8_t> midi;
    for (auto _ : state) {
        for (const auto& s : songs) {
            if (converter.Convert(s, midi) < 0) {
                state.SkipWithError("a demo song did not convert");
                return;
            }
            benchmark::DoNotOptimize(midi.data());
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(songs.size()));
    state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_ConvertInMemory)->Unit(benchmark::kMillisecond);

// ExtractSong with conversion: record read, temporary raw file, conversion, output file renamed
// into place.
void BM_ExtractSongs(benchmark::State& state) {
    GameData& data = Demo();
    const std::string out = sv::FromPath(Scratch().path / "extract");
    fs::create_directories(sv::ToPath(out));
    const int count = data.songArchive.RecordCount();
    std::int64_t bytes = 0;
    for (int i = 0; i < count; ++i) {
        bytes += data.songArchive.RecordSize(i);
    }
    for (auto _ : state) {
        for (int i = 0; i < count; ++i) {
            if (!data.ExtractSong(i, sv::JoinPath(out, "song" + std::to_string(i) + ".hmi"),
                                  true)) {
                state.SkipWithError("a demo song was not extracted");
                return;
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * count);
    state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_ExtractSongs)->Unit(benchmark::kMillisecond)->UseRealTime();

// Every effect and every song, as the export command runs it; bytes are those written.
void BM_BulkExport(benchmark::State& state) {
    GameData& data = Demo();
    const sv::BulkExportOptions options{true, sv::FromPath(Scratch().path / "effects"), true,
                                        sv::FromPath(Scratch().path / "songs")};
    fs::create_directories(sv::ToPath(options.effectsPath));
    fs::create_directories(sv::ToPath(options.songsPath));
    NoProgress progress;
    sv::BulkExportResult result;
    for (auto _ : state) {
        result = sv::BulkExport(data, options, progress);
        if (result.passedOver != 0) {
            state.SkipWithError("a record was passed over");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * result.written);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(result.bytes));
    state.counters["files"] = result.written;
}
BENCHMARK(BM_BulkExport)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace sv::bench

BENCHMARK_MAIN();
