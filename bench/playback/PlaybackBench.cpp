// Playback latency and rendering speed, with a null sink: the benchmark pulls from the engine
// as the sound card would, so no audio device is needed.
//
// Latency is measured from Play() to the moment the first block (the sink's whole 50 ms buffer)
// has been rendered and handed over, on a demo song converted as playback converts it, with the
// SoundFont already loaded. "SetFileNameThenPlay" adds what the main window does just before:
// reading the temporary file and building the song's player. The demo songs are also rendered
// whole on each voice, the FM chip against the SoundFont.
#include "BenchInputs.h"
#include "DemoData.h"
#include "audio/FmRenderer.h"
#include "audio/PlaybackEngine.h"
#include "audio/Synthesizer.h"
#include "audio/WavRenderer.h"
#include "decode/SongConverter.h"
#include "io/OutputFile.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <filesystem>

namespace sv::bench {

constexpr int kRate = 44100;
constexpr std::size_t kSinkFrames = kRate * 50 / 1000;

std::shared_ptr<sv::Synthesizer> Synth() {
    static const auto synth = sv::Synthesizer::Load(sv::FindDefaultSoundFont(), kRate);
    return synth;
}

// A demo song written where playback writes its temporary file.
const std::string& DemoSongFile() {
    static const std::string path = [] {
        std::vector<std::uint8_t> midi;
        SongConverter converter;
        converter.Convert(demo::MakeSong(3, false), midi);
        const std::string file = (std::filesystem::path(ScratchFolder()) / "temp.mid").string();
        (void)sv::WriteWholeFile(file, midi.data(), midi.size());
        return file;
    }();
    return path;
}

bool Ready(benchmark::State& state) {
    if (!Synth()) {
        state.SkipWithError("no General MIDI SoundFont");
        return false;
    }
    return true;
}

void PlayToFirstBlock(benchmark::State& state) {
    if (!Ready(state)) {
        return;
    }
    sv::PlaybackEngine engine(kRate);
    engine.SetSynthesizer(Synth());
    std::vector<float> block(kSinkFrames * sv::kChannels);
    for (auto _ : state) {
        engine.SetFileName(DemoSongFile());
        const auto start = std::chrono::steady_clock::now();
        engine.Play();
        engine.Pull(block.data(), kSinkFrames);
        const auto end = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(block.data());
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
}
BENCHMARK(PlayToFirstBlock)->UseManualTime()->Unit(benchmark::kMillisecond);

void SetFileNameThenPlay(benchmark::State& state) {
    if (!Ready(state)) {
        return;
    }
    sv::PlaybackEngine engine(kRate);
    engine.SetSynthesizer(Synth());
    std::vector<float> block(kSinkFrames * sv::kChannels);
    for (auto _ : state) {
        engine.SetFileName({});
        engine.SetFileName(DemoSongFile());
        engine.Play();
        engine.Pull(block.data(), kSinkFrames);
        benchmark::DoNotOptimize(block.data());
    }
}
BENCHMARK(SetFileNameThenPlay)->Unit(benchmark::kMillisecond);

// A whole demo song, as `render` does it; the counter is seconds of music per second of work.
void RenderDemoSong(benchmark::State& state) {
    if (!Ready(state)) {
        return;
    }
    sv::PlaybackEngine engine(kRate);
    engine.SetSynthesizer(Synth());
    std::vector<float> block(4096 * sv::kChannels);
    double music = 0;
    for (auto _ : state) {
        engine.SetFileName(DemoSongFile());
        engine.Play();
        while (engine.State() == sv::PlayState::Playing) {
            engine.Pull(block.data(), 4096);
        }
        music += static_cast<double>(engine.FramesPlayed()) / kRate;
    }
    state.counters["realtime_x"] = benchmark::Counter(music, benchmark::Counter::kIsRate);
}
BENCHMARK(RenderDemoSong)->Unit(benchmark::kMillisecond)->Iterations(2);

// The 15 listed demo songs as MIDI files, as the soundtrack export converts them.
const std::vector<std::vector<std::uint8_t>>& DemoSongs() {
    static const auto songs = [] {
        std::vector<std::vector<std::uint8_t>> all;
        for (int i = 1; i <= 15; ++i) {
            SongConverter converter;
            all.emplace_back();
            converter.Convert(demo::MakeSong(i, false), all.back());
        }
        return all;
    }();
    return songs;
}

// Every demo song rendered whole, release tails included, on one voice; the counter is seconds
// of music per second of processor time.
void RenderDemoSongs(benchmark::State& state, SongVoice voice) {
    if (voice == SongVoice::SoundFont && !Ready(state)) {
        return;
    }
    std::vector<float> block(4096 * sv::kChannels);
    double music = 0;
    for (auto _ : state) {
        for (const auto& midi : DemoSongs()) {
            LoadError error = LoadError::None;
            std::unique_ptr<Renderer> r;
            if (voice == SongVoice::Fm) {
                r = FmRenderer::Create(midi, kRate, error);
            } else {
                r = MidiRenderer::Create(Synth(), midi, error);
            }
            std::size_t n = 0;
            while (r && (n = r->Render(block.data(), 4096)) > 0) {
                music += static_cast<double>(n) / kRate;
            }
            benchmark::DoNotOptimize(block.data());
        }
    }
    state.counters["realtime_x"] = benchmark::Counter(music, benchmark::Counter::kIsRate);
}
BENCHMARK_CAPTURE(RenderDemoSongs, fm, SongVoice::Fm)
    ->Name("render_demo_songs/fm")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(RenderDemoSongs, soundfont, SongVoice::SoundFont)
    ->Name("render_demo_songs/soundfont")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// Why the SoundFont is loaded off the user-interface thread.
void LoadSoundFont(benchmark::State& state) {
    const std::string path = sv::FindDefaultSoundFont();
    for (auto _ : state) {
        auto synth = sv::Synthesizer::Load(path, kRate);
        if (!synth) {
            state.SkipWithError("no General MIDI SoundFont");
            return;
        }
    }
}
BENCHMARK(LoadSoundFont)->Unit(benchmark::kMillisecond)->Iterations(3);

// Resampling a demo effect from 11025 Hz.
void ResampleEffect(benchmark::State& state) {
    const std::vector<std::uint8_t> samples = demo::MakeEffect(8, false);
    std::vector<std::uint8_t> wav{'R',  'I',  'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V',  'E',  'f', 'm',
                                  't',  ' ',  16,  0,   0, 0, 1, 0, 1,   0,   0x11, 0x2B, 0,   0,
                                  0x11, 0x2B, 0,   0,   1, 0, 8, 0, 'd', 'a', 't',  'a'};
    const auto n = static_cast<std::uint32_t>(samples.size());
    for (int i = 0; i < 4; ++i) {
        wav.push_back(static_cast<std::uint8_t>(n >> (8 * i)));
    }
    wav.insert(wav.end(), samples.begin(), samples.end());
    std::vector<float> block(4096 * sv::kChannels);
    std::int64_t frames = 0;
    for (auto _ : state) {
        sv::LoadError error = sv::LoadError::None;
        auto r = sv::WavRenderer::Create(wav, kRate, error);
        while (r && r->Render(block.data(), 4096) == 4096) {
            frames += 4096;
        }
    }
    state.counters["frames_per_s"] =
        benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
}
BENCHMARK(ResampleEffect)->Unit(benchmark::kMillisecond);

} // namespace sv::bench

BENCHMARK_MAIN();
