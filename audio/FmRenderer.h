// Renders a Standard MIDI File on an emulated OPL3 chip (FmSynth): the channel messages of every
// track are merged into one list in time order, each placed at the frame its tick falls on, and
// the chip is run from one to the next. As with the SoundFont, the last pass is followed by the
// release tail until the sound has died away, at most kMaxTailSeconds.
#pragma once

#include "FmSynth.h"
#include "MidiTiming.h"
#include "Renderer.h"

#include <array>
#include <memory>
#include <vector>

namespace sv {

class FmRenderer final : public Renderer {
public:
    static constexpr double kMaxTailSeconds = 3.0;

    // Null with `error` set when the bytes are not a readable MIDI file (BadData) or AdPlug gives
    // no instrument bank (NoFmBank).
    static std::unique_ptr<FmRenderer> Create(std::span<const std::uint8_t> file, int rate,
                                              LoadError& error);

    void SetLoops(int loops) override;
    std::size_t Render(float* out, std::size_t frames) override;
    void Seek(double seconds) override;
    double Duration() const override { return m_timing.Duration(); }
    double Position() const override;
    std::string Instrument() const override { return PlayedBy(SongVoice::Fm, {}); }

private:
    struct Event {
        std::uint64_t frame; // from the start of a pass
        std::uint8_t status;
        std::uint8_t data1;
        std::uint8_t data2;
    };

    FmRenderer() = default;
    bool ReadEvents(std::span<const std::uint8_t> file);
    std::uint64_t FrameAt(std::uint32_t tick) const;
    void Restart(std::uint64_t frame);
    std::size_t Generate(float* out, std::size_t frames);
    std::size_t RenderTail(float* out, std::size_t frames);

    std::unique_ptr<FmSynth> m_synth;
    MidiTiming m_timing;
    std::vector<Event> m_events; // sorted by frame; within a frame, by track, then file order
    std::vector<std::int16_t> m_chipBlock;
    float m_dcPole = 0.0f;                 // the DC filter's feedback
    std::array<float, kChannels> m_dcIn{}; // its last input and output, per channel
    std::array<float, kChannels> m_dcOut{};
    int m_rate = 0;
    int m_loops = 1;
    int m_pass = 0;
    std::size_t m_next = 0;       // the first event not yet sent in this pass
    std::uint64_t m_frame = 0;    // frames since the start of the pass
    std::uint64_t m_endFrame = 0; // the song's length in frames
    std::uint64_t m_tailFrames = 0;
    bool m_tailDone = false;
};

} // namespace sv
