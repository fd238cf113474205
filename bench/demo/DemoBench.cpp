// How long the demo folder takes to generate: the small folder written at every build, and the
// songs and effects of the full-size set one by one.
#include "BenchInputs.h"
#include "DemoData.h"

#include <benchmark/benchmark.h>

namespace {

void BM_WriteSmallFolder(benchmark::State& state) {
    const std::string folder = sv::bench::FreshFolder();
    for (auto _ : state) {
        benchmark::DoNotOptimize(demo::WriteDemoFolder(folder, {}));
    }
}
BENCHMARK(BM_WriteSmallFolder)->Unit(benchmark::kMillisecond);

void BM_MakeFullSongs(benchmark::State& state) {
    const int count = static_cast<int>(demo::SongNames(true).size());
    std::size_t bytes = 0;
    for (auto _ : state) {
        for (int i = 0; i < count; ++i) {
            bytes += demo::MakeSong(i, true).size();
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_MakeFullSongs)->Unit(benchmark::kMillisecond);

void BM_MakeFullEffects(benchmark::State& state) {
    const int count = static_cast<int>(demo::EffectNumbers(true).size());
    std::size_t bytes = 0;
    for (auto _ : state) {
        for (int i = 0; i < count; ++i) {
            bytes += demo::MakeEffect(i, true).size();
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_MakeFullEffects)->Unit(benchmark::kMillisecond);

} // namespace
