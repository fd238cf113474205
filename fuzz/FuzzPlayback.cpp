// Any bytes given to the player as a file: the MIDI timing reader, the cleaner, the FM and the
// WAV renderers must refuse or play them without reading out of bounds, a seek must stay within
// the piece, and cleaning must not change a song's length.
#include "audio/FmRenderer.h"
#include "audio/MidiCleaner.h"
#include "audio/MidiTiming.h"
#include "audio/WavRenderer.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    sv::MidiTiming timing;
    if (timing.Parse(bytes)) {
        const double length = timing.Duration();
        if (timing.TickAt(length / 2) > timing.EndTick() || timing.SecondsAt(0) != 0.0) {
            __builtin_trap();
        }
        // What the player is given must keep the song's timing.
        sv::MidiTiming cleaned;
        if (!cleaned.Parse(sv::StripSystemCommon(bytes)) || cleaned.EndTick() != timing.EndTick()) {
            __builtin_trap();
        }
    }
    sv::LoadError error = sv::LoadError::None;
    std::vector<float> block(2 * 1024);
    if (auto fm = sv::FmRenderer::Create(bytes, 44100, error)) {
        fm->Seek(fm->Duration() / 3);
        if (fm->Position() > fm->Duration() + 1.0 / 44100) { // a frame of rounding
            __builtin_trap();
        }
        for (int i = 0; i < 8 && fm->Render(block.data(), 1024) == 1024; ++i) {
        }
    }
    if (auto wav = sv::WavRenderer::Create(bytes, 44100, error)) {
        wav->Seek(wav->Duration() / 3);
        for (int i = 0; i < 64 && wav->Render(block.data(), 1024) == 1024; ++i) {
        }
    }
    return 0;
}
