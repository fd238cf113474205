// Our explode decoder against StormLib's, in memory, on one implode stream per input: text-like,
// audio-like and incompressible data from 1 KiB to 16 MiB, each with the dictionary StormLib's
// packer gives its length. And the rebuild of the full-size demo "PACKED.DAT" (build the
// packed_demo_full target first) against the bare decoding of the same streams, to show what the
// container walk and the file write cost on top.
//
// Names: explode_memory/KIND/SIZE/{sonvault,stormlib},
// rebuild_packed/{sonvault,bare_explode,write_alone}.
#include "BenchInputs.h"
#include "Dcl.h"
#include "archive/Recovery.h"
#include "decode/Explode.h"
#include "io/File.h"
#include "io/OutputFile.h"
#include "io/Paths.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>

namespace sv::bench {

constexpr std::size_t kSizes[] = {1 << 10, 2 << 10, 16 << 10, 256 << 10, 4 << 20, 16 << 20};

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using MemoryFile = std::unique_ptr<std::FILE, FileCloser>;

// A read-only stdio stream over bytes that outlive it: the decoder reads a FILE, and this keeps
// the disk out of the measurement.
MemoryFile OpenInMemory(const Bytes& bytes) {
    return MemoryFile(fmemopen(const_cast<std::uint8_t*>(bytes.data()), bytes.size(), "rb"));
}

struct Case {
    Bytes input;
    Bytes stream;
};

const Case& CaseFor(Kind kind, std::size_t size) {
    static std::map<std::pair<Kind, std::size_t>, std::unique_ptr<Case>> cache;
    auto& slot = cache[{kind, size}];
    if (!slot) {
        slot = std::make_unique<Case>();
        slot->input = MakeInput(kind, size);
        slot->stream = ImplodeStream(slot->input);
    }
    return *slot;
}

// Decodes one whole stream from the start of file into out; the bytes produced.
std::uint32_t ExplodeOurs(std::FILE* file, std::uint8_t* out, std::uint32_t capacity) {
    std::rewind(file);
    tcBitstream bits(file);
    Exploder exploder(&bits);
    std::uint32_t count = 0;
    exploder.Decode(out, count, capacity);
    return count;
}

void Finish(benchmark::State& state, const Case& c) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * c.input.size()));
    state.counters["implode_ratio"] =
        static_cast<double>(c.stream.size()) / static_cast<double>(c.input.size());
}

void ExplodeSonvault(benchmark::State& state, Kind kind, std::size_t size) {
    const Case& c = CaseFor(kind, size);
    const MemoryFile file = OpenInMemory(c.stream);
    Bytes out(size);
    const auto capacity = static_cast<std::uint32_t>(size);
    if (!file || ExplodeOurs(file.get(), out.data(), capacity) != size || out != c.input) {
        state.SkipWithError("the decoder did not give back the input");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(ExplodeOurs(file.get(), out.data(), capacity));
        benchmark::ClobberMemory();
    }
    Finish(state, c);
}

void ExplodeStormLib(benchmark::State& state, Kind kind, std::size_t size) {
    const Case& c = CaseFor(kind, size);
    Bytes out(size);
    const auto run = [&] {
        return dcl::Explode(c.stream.data(), c.stream.size(), out.data(), size);
    };
    if (c.stream.empty() || run() != static_cast<std::int64_t>(size) || out != c.input) {
        state.SkipWithError("StormLib did not give back the input");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(run());
        benchmark::ClobberMemory();
    }
    Finish(state, c);
}

// The full-size packed demo folder: its "PACKED.DAT" in memory and where each stream of entry 1
// starts, found by walking the blocks as the rebuild does.
struct Packed {
    std::string folder;
    Bytes container;
    std::vector<std::uint64_t> streams;
    std::uint64_t total = 0; // bytes the streams decode to
    Bytes decoded;           // what they decode to, one block after the other
    std::vector<std::uint32_t> blockSizes;
    std::string error;
};

std::uint32_t ReadU32(const Bytes& b, std::uint64_t at) {
    if (at + 4 > b.size()) {
        return 0;
    }
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) |
           (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

Packed LoadPacked() {
    Packed p;
    p.folder = std::string(SONVAULT_DEMO_DIR) + "/Arena2-packed-full";
    const std::string path = sv::ResolveCase(sv::JoinPath(p.folder, "PACKED.DAT"));
    if (!ReadFile(path, p.container)) {
        p.error = "no Arena2-packed-full: build the packed_demo_full target first";
        return p;
    }
    constexpr std::uint64_t kEntrySize = 25;
    constexpr std::uint64_t kBlockHeader = 36;
    const std::uint64_t entry = ReadU32(p.container, 0) + kEntrySize; // entry 1
    const std::uint32_t size = ReadU32(p.container, entry);
    std::uint64_t at = ReadU32(p.container, entry + 21) + kBlockHeader;
    const MemoryFile file = OpenInMemory(p.container);
    Bytes block(sv::kBlockLimit);
    while (file && p.total < size) {
        p.streams.push_back(at);
        sv::SeekTo(file.get(), at);
        tcBitstream bits(file.get());
        Exploder exploder(&bits);
        std::uint32_t count = 0;
        exploder.Decode(block.data(), count, sv::kBlockLimit);
        if (exploder.Status() != ExplodeStatus::kOk || count == 0) {
            p.error = "entry 1 of the packed demo does not decode";
            return p;
        }
        p.total += count;
        p.decoded.insert(p.decoded.end(), block.begin(), block.begin() + count);
        p.blockSizes.push_back(count);
        at = static_cast<std::uint64_t>(sv::Tell(file.get())) + kBlockHeader;
    }
    return p;
}

const Packed& PackedDemo() {
    static const Packed packed = LoadPacked();
    return packed;
}

void RebuildSonvault(benchmark::State& state) {
    const Packed& p = PackedDemo();
    if (!p.error.empty()) {
        state.SkipWithError(p.error.c_str());
        return;
    }
    for (auto _ : state) {
        const sv::Status r = sv::RebuildFromContainer(p.folder, FreshFolder(), 1, nullptr, {});
        if (!r) {
            state.SkipWithError(r.Message().c_str());
            return;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * p.total));
}

void RebuildBareExplode(benchmark::State& state) {
    const Packed& p = PackedDemo();
    if (!p.error.empty()) {
        state.SkipWithError(p.error.c_str());
        return;
    }
    const MemoryFile file = OpenInMemory(p.container);
    Bytes block(sv::kBlockLimit);
    for (auto _ : state) {
        std::uint64_t total = 0;
        for (const std::uint64_t at : p.streams) {
            sv::SeekTo(file.get(), at);
            tcBitstream bits(file.get());
            Exploder exploder(&bits);
            std::uint32_t count = 0;
            exploder.Decode(block.data(), count, sv::kBlockLimit);
            total += count;
            benchmark::ClobberMemory();
        }
        if (total != p.total) {
            state.SkipWithError("wrong output size");
            return;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * p.total));
}

// The rebuild's file write alone: the decoded entry written block by block as the rebuild writes
// it, into a new folder each time.
void RebuildWriteAlone(benchmark::State& state) {
    const Packed& p = PackedDemo();
    if (!p.error.empty()) {
        state.SkipWithError(p.error.c_str());
        return;
    }
    for (auto _ : state) {
        sv::OutputFile out;
        bool ok = out.Create(sv::JoinPath(FreshFolder(), "WYVERN.SND")).Ok();
        std::uint64_t at = 0;
        for (const std::uint32_t size : p.blockSizes) {
            ok = ok && out.Write(p.decoded.data() + at, size);
            at += size;
        }
        if (!ok || !out.Commit().Ok()) {
            state.SkipWithError("the write failed");
            return;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * p.total));
}

} // namespace sv::bench

int main(int argc, char** argv) {
    using namespace sv::bench;
    for (const Kind kind : kKinds) {
        for (const std::size_t size : kSizes) {
            const std::string name =
                std::string("explode_memory/") + KindName(kind) + "/" + SizeName(size) + "/";
            benchmark::RegisterBenchmark((name + "sonvault").c_str(), ExplodeSonvault, kind, size)
                ->Unit(benchmark::kMicrosecond);
            benchmark::RegisterBenchmark((name + "stormlib").c_str(), ExplodeStormLib, kind, size)
                ->Unit(benchmark::kMicrosecond);
        }
    }
    // Elapsed time for the rebuild and what it is compared with: it waits for the file system,
    // and that is part of its cost.
    benchmark::RegisterBenchmark("rebuild_packed/sonvault", RebuildSonvault)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("rebuild_packed/bare_explode", RebuildBareExplode)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("rebuild_packed/write_alone", RebuildWriteAlone)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
