// Our explode decoder against StormLib's on the same implode streams (64 KiB blocks, 4096-byte
// dictionary, as the packed demo data holds them), in MB/s of output; and the time to rebuild the
// full-size demo "PACKED.DAT" (build the packed_demo_full target first).
#include "Dcl.h"
#include "decode/Explode.h"
#include "decode/Recovery.h"
#include "io/Paths.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <vector>

namespace sv::bench {

using Bytes = std::vector<std::uint8_t>;
constexpr std::size_t kInput = 8 << 20;
constexpr std::size_t kBlock = 65536;

enum Kind { kSamples, kText, kNoise, kDemo };

// The full-size demo's sound archive, or nothing when it has not been written.
Bytes DemoEffects() {
    const std::string path = std::string(SONVAULT_DEMO_DIR) + "/Arena2-full/WYVERN.SND";
    Bytes b;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        std::uint8_t chunk[65536];
        std::size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
            b.insert(b.end(), chunk, chunk + n);
        }
        std::fclose(f);
    }
    return b;
}

Bytes Make(Kind kind) {
    if (kind == kDemo) {
        return DemoEffects();
    }
    std::mt19937 random(42);
    Bytes b(kInput);
    double phase = 0;
    static const char* words[] = {"wyvern ", "tavern ", "song ", "the ", "dungeon ", "a ", "\n"};
    std::size_t at = 0;
    while (at < b.size()) {
        switch (kind) {
        case kSamples: {
            // Effects: decaying tones with a little noise, and stretches of near-silence.
            phase += 0.04 + 0.02 * static_cast<double>((at / 5000) % 4);
            const double envelope = 1.0 - static_cast<double>(at % 20000) / 20000;
            const int v = static_cast<int>(90 * envelope * std::sin(phase));
            b[at++] = static_cast<std::uint8_t>(128 + v + static_cast<int>(random() % 5) - 2);
            break;
        }
        case kText: {
            const char* w = words[random() % 7];
            for (const char* p = w; *p != 0 && at < b.size(); ++p) {
                b[at++] = static_cast<std::uint8_t>(*p);
            }
            break;
        }
        case kNoise:
        case kDemo:
            b[at++] = static_cast<std::uint8_t>(random());
            break;
        }
    }
    return b;
}

struct Streams {
    Bytes joined;                     // the streams back to back
    std::vector<std::size_t> offsets; // where each starts
    std::vector<std::size_t> sizes;
    std::size_t output = 0;
    std::FILE* file = nullptr; // joined, as a file
};

const Streams& StreamsFor(Kind kind) {
    static std::unique_ptr<Streams> cache[4];
    if (!cache[kind]) {
        auto s = std::make_unique<Streams>();
        const Bytes data = Make(kind);
        for (std::size_t at = 0; at < data.size(); at += kBlock) {
            const Bytes stream =
                dcl::Implode(data.data() + at, std::min(kBlock, data.size() - at), 4096);
            s->offsets.push_back(s->joined.size());
            s->sizes.push_back(stream.size());
            s->joined.insert(s->joined.end(), stream.begin(), stream.end());
        }
        s->output = data.size();
        s->file = std::tmpfile();
        std::fwrite(s->joined.data(), 1, s->joined.size(), s->file);
        std::fflush(s->file);
        cache[kind] = std::move(s);
    }
    return *cache[kind];
}

void Label(benchmark::State& state, Kind kind, const Streams& s) {
    static const char* names[] = {"samples", "text", "noise", "demo effects"};
    state.SetLabel(std::string(names[kind]) + ", ratio " +
                   std::to_string(static_cast<double>(s.joined.size()) / s.output).substr(0, 4));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * s.output));
}

void BM_Sonvault(benchmark::State& state) {
    const auto kind = static_cast<Kind>(state.range(0));
    const Streams& s = StreamsFor(kind);
    if (s.output == 0) {
        state.SkipWithError("no Arena2-full: build the demo_data_full target first");
        return;
    }
    Bytes out(sv::kBlockLimit);
    for (auto _ : state) {
        std::rewind(s.file);
        std::size_t total = 0;
        for (std::size_t i = 0; i < s.sizes.size(); ++i) {
            tcBitstream bits(s.file);
            Exploder exploder(&bits);
            std::uint32_t count = 0;
            exploder.Decode(out.data(), count, sv::kBlockLimit);
            total += count;
        }
        if (total != s.output) {
            state.SkipWithError("wrong output size");
            return;
        }
        benchmark::DoNotOptimize(out.data());
    }
    Label(state, kind, s);
}

void BM_StormLib(benchmark::State& state) {
    const auto kind = static_cast<Kind>(state.range(0));
    const Streams& s = StreamsFor(kind);
    if (s.output == 0) {
        state.SkipWithError("no Arena2-full: build the demo_data_full target first");
        return;
    }
    Bytes out(sv::kBlockLimit);
    for (auto _ : state) {
        std::size_t total = 0;
        for (std::size_t i = 0; i < s.sizes.size(); ++i) {
            const std::int64_t n =
                dcl::Explode(s.joined.data() + s.offsets[i], s.sizes[i], out.data(), out.size());
            total += n < 0 ? 0 : static_cast<std::size_t>(n);
        }
        if (total != s.output) {
            state.SkipWithError("wrong output size");
            return;
        }
        benchmark::DoNotOptimize(out.data());
    }
    Label(state, kind, s);
}

void BM_RebuildFullDemo(benchmark::State& state) {
    const std::string source = std::string(SONVAULT_DEMO_DIR) + "/Arena2-packed-full";
    if (!std::filesystem::exists(sv::ToPath(source))) {
        state.SkipWithError("no Arena2-packed-full: build the packed_demo_full target first");
        return;
    }
    const std::filesystem::path work =
        std::filesystem::temp_directory_path() / "sonvault-bench-rebuild";
    std::filesystem::create_directories(work);
    std::uintmax_t size = 0;
    for (auto _ : state) {
        const sv::RebuildResult r =
            sv::RebuildFromContainer(source, sv::FromPath(work), 1, nullptr, {});
        if (r != sv::RebuildResult::kDone) {
            state.SkipWithError(sv::Describe(r));
            break;
        }
    }
    for (const auto& e : std::filesystem::directory_iterator(work)) {
        size += e.file_size();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
    std::filesystem::remove_all(work);
}

// Each kind of data is decoded by both, one after the other.
BENCHMARK(BM_Sonvault)->DenseRange(kSamples, kDemo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StormLib)->DenseRange(kSamples, kDemo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RebuildFullDemo)->Unit(benchmark::kMillisecond);

} // namespace sv::bench

BENCHMARK_MAIN();
