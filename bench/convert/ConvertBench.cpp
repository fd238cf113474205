// Song conversion, HMI to MIDI, in memory, over every song of the full-size demo folder (build the
// demo_data_full target first): ours against WildMIDI's HMI path, which parses the song into its
// own events (WildMidi_OpenBuffer) and writes them out as MIDI (WildMidi_GetMidiOutput). WildMIDI
// is initialised with an empty configuration, so no instrument patches are loaded or counted.
//
// Names: convert_songs/{sonvault,wildmidi}; items are songs, bytes are HMI input.
#include "BenchInputs.h"
#include "archive/BsaArchive.h"
#include "decode/SongConverter.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>
#include <wildmidi_lib.h>

namespace sv::bench {

using Bytes = std::vector<std::uint8_t>;

struct Songs {
    std::vector<Bytes> songs;
    std::int64_t bytes = 0;
};

const Songs& DemoSongs() {
    static const Songs all = [] {
        Songs s;
        BsaArchive archive;
        if (archive.Open(std::string(SONVAULT_DEMO_DIR) + "/Arena2-full", "MIDI.BSA", true)) {
            for (int i = 0; i < archive.RecordCount(); ++i) {
                Bytes song(archive.RecordSize(i));
                if (archive.ReadRecord(i, song.data(), static_cast<std::uint32_t>(song.size()))) {
                    s.bytes += static_cast<std::int64_t>(song.size());
                    s.songs.push_back(std::move(song));
                }
            }
        }
        return s;
    }();
    return all;
}

void Count(benchmark::State& state, const Songs& s) {
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(s.songs.size()));
    state.SetBytesProcessed(state.iterations() * s.bytes);
}

void ConvertSonvault(benchmark::State& state) {
    const Songs& s = DemoSongs();
    if (s.songs.empty()) {
        state.SkipWithError("no Arena2-full: build the demo_data_full target first");
        return;
    }
    SongConverter converter;
    Bytes midi;
    for (auto _ : state) {
        for (const Bytes& song : s.songs) {
            if (converter.Convert(song, midi) < 0) {
                state.SkipWithError("a demo song did not convert");
                return;
            }
            benchmark::DoNotOptimize(midi.data());
        }
    }
    Count(state, s);
}
BENCHMARK(ConvertSonvault)->Name("convert_songs/sonvault")->Unit(benchmark::kMillisecond);

// WildMIDI wants a configuration file; an empty one loads no patches.
bool InitWildMidi() {
    static const bool ok = [] {
        const std::string config =
            (std::filesystem::path(ScratchFolder()) / "wildmidi.cfg").string();
        std::FILE* f = std::fopen(config.c_str(), "wb");
        if (f == nullptr) {
            return false;
        }
        std::fclose(f);
        const bool ready = WildMidi_Init(config.c_str(), 44100, 0) == 0;
        std::remove(config.c_str());
        if (ready) {
            std::atexit([] { WildMidi_Shutdown(); });
        }
        return ready;
    }();
    return ok;
}

void ConvertWildMidi(benchmark::State& state) {
    const Songs& s = DemoSongs();
    if (s.songs.empty()) {
        state.SkipWithError("no Arena2-full: build the demo_data_full target first");
        return;
    }
    if (!InitWildMidi()) {
        state.SkipWithError("WildMIDI did not initialise");
        return;
    }
    for (auto _ : state) {
        for (const Bytes& song : s.songs) {
            // WildMIDI takes a mutable buffer but only reads it.
            midi* handle = WildMidi_OpenBuffer(const_cast<std::uint8_t*>(song.data()),
                                               static_cast<std::uint32_t>(song.size()));
            std::int8_t* out = nullptr;
            std::uint32_t size = 0;
            const bool ok = handle != nullptr && WildMidi_GetMidiOutput(handle, &out, &size) == 0;
            if (handle != nullptr) {
                WildMidi_Close(handle);
            }
            benchmark::DoNotOptimize(out);
            std::free(out);
            if (!ok || size == 0) {
                state.SkipWithError("WildMIDI did not convert a demo song");
                return;
            }
        }
    }
    Count(state, s);
}
BENCHMARK(ConvertWildMidi)->Name("convert_songs/wildmidi")->Unit(benchmark::kMillisecond);

} // namespace sv::bench

BENCHMARK_MAIN();
