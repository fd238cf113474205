// Renders a Standard MIDI File with FluidSynth: a fluid_player feeds the shared synthesizer, and
// because the player follows the synthesizer's sample clock, the music's timing comes from the
// frames rendered, not from the wall clock; rendering is as fast as the processor allows.
// After the last event of the last pass the synthesizer plays on until the sound has died away (a
// release tail of at most kMaxTailSeconds), so that the final chord and its reverb are not cut.
#pragma once

#include "MidiTiming.h"
#include "Renderer.h"
#include "Synthesizer.h"

#include <memory>
#include <vector>

namespace sv {

class MidiRenderer final : public Renderer {
public:
    static constexpr double kMaxTailSeconds = 3.0;

    // Null with `error` set when the bytes are not a readable MIDI file (BadData) or the
    // player cannot be made. The synthesizer is reset and then belongs to this renderer.
    static std::unique_ptr<MidiRenderer> Create(std::shared_ptr<Synthesizer> synth,
                                                std::vector<std::uint8_t> file, LoadError& error);
    ~MidiRenderer() override;

    // Plays the song `loops` times back to back from the start (the synthesizer runs on across
    // the seams); the release tail follows the last pass only.
    void SetLoops(int loops) override;
    std::size_t Render(float* out, std::size_t frames) override;
    void Seek(double seconds) override;
    double Duration() const override { return m_timing.Duration(); }
    double Position() const override;
    std::string Instrument() const override;

    const MidiTiming& Timing() const { return m_timing; }

private:
    MidiRenderer() = default;
    bool StartPlayer(std::uint32_t tick);
    std::size_t RenderTail(float* out, std::size_t frames);

    std::shared_ptr<Synthesizer> m_synth;
    std::vector<std::uint8_t> m_file;
    MidiTiming m_timing;
    FluidPlayerPtr m_player;
    int m_loops = 1;
    int m_pass = 0;               // of m_loops, counted from 0
    std::uint64_t m_frame = 0;    // frames since the start of the pass
    std::uint64_t m_endFrame = 0; // the song's length in frames
    std::uint64_t m_tailFrames = 0;
    bool m_tailDone = false;
};

} // namespace sv
