// Song extraction and the bulk export over the full-size demo game folder, in process: songs
// converted per second and MB/s of HMI input through files as extraction does, and the whole
// export of every effect and song (convert_bench has the conversion in memory, process_bench the
// export command). The folder is build/demo/Arena2-full when it was built, else
// one written by this program into its scratch folder.
#include "BenchInputs.h"
#include "DemoData.h"
#include "archive/GameData.h"
#include "export/BulkExport.h"
#include "io/Paths.h"

#include <benchmark/benchmark.h>
#include <filesystem>
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

fs::path Scratch() {
    return ToPath(ScratchFolder());
}

GameData& Demo() {
    Scratch(); // made first, so removed last: after the archives in it are closed
    static GameData data;
    if (!data.IsOpen()) {
        std::string folder = sv::JoinPath(SONVAULT_DEMO_DIR, "Arena2-full");
        if (!fs::exists(sv::ToPath(sv::ResolveCase(sv::JoinPath(folder, "midi.bsa"))))) {
            folder = sv::FromPath(Scratch() / "Arena2-full");
            demo::WriteDemoFolder(folder, {.full = true});
        }
        data.SetWorkFolder(sv::FromPath(Scratch()));
        data.Open(folder);
    }
    return data;
}

// ExtractSong with conversion: record read, temporary raw file, conversion, output file renamed
// into place.
void BM_ExtractSongs(benchmark::State& state) {
    GameData& data = Demo();
    const std::string out = sv::FromPath(Scratch() / "extract");
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

// Every effect and every song, as the export command runs it, into new folders each time;
// bytes are those written.
void BM_BulkExport(benchmark::State& state) {
    GameData& data = Demo();
    NoProgress progress;
    BulkExportResult result;
    static int run = 0; // never a folder of an earlier repetition
    for (auto _ : state) {
        state.PauseTiming();
        const fs::path folder = Scratch() / ("export-" + std::to_string(run++));
        const BulkExportOptions options{true, FromPath(folder / "effects"), true,
                                        FromPath(folder / "songs")};
        fs::create_directories(ToPath(options.effectsPath));
        fs::create_directories(ToPath(options.songsPath));
        state.ResumeTiming();
        result = BulkExport(data, options, progress);
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
