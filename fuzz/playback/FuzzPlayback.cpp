// Any bytes given to the player as a file: the MIDI timing reader and the WAV renderer must
// refuse or play them without reading out of bounds, and a seek must stay within the piece.
#include "audio/MidiTiming.h"
#include "audio/WavRenderer.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    audio::MidiTiming timing;
    if (timing.Parse(bytes)) {
        const double length = timing.Duration();
        if (timing.TickAt(length / 2) > timing.EndTick() || timing.SecondsAt(0) != 0.0) {
            __builtin_trap();
        }
    }
    audio::LoadError error = audio::LoadError::None;
    if (auto wav = audio::WavRenderer::Create(bytes, 44100, error)) {
        std::vector<float> block(2 * 1024);
        wav->Seek(wav->Duration() / 3);
        for (int i = 0; i < 64 && wav->Render(block.data(), 1024) == 1024; ++i) {
        }
    }
    return 0;
}
