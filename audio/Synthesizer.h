// A FluidSynth synthesizer with one SoundFont loaded. Loading a General MIDI SoundFont reads
// its whole sample data (well over 100 MB for the system's), so it is done once and shared by
// every song; only one renderer may use a synthesizer at a time.
#pragma once

#include <fluidsynth.h>
#include <memory>
#include <string>
#include <vector>

namespace sv {

struct FluidSettingsDeleter {
    void operator()(fluid_settings_t* s) const noexcept { delete_fluid_settings(s); }
};
struct FluidSynthDeleter {
    void operator()(fluid_synth_t* s) const noexcept { delete_fluid_synth(s); }
};
struct FluidPlayerDeleter {
    void operator()(fluid_player_t* p) const noexcept { delete_fluid_player(p); }
};
using FluidSettingsPtr = std::unique_ptr<fluid_settings_t, FluidSettingsDeleter>;
using FluidSynthPtr = std::unique_ptr<fluid_synth_t, FluidSynthDeleter>;
using FluidPlayerPtr = std::unique_ptr<fluid_player_t, FluidPlayerDeleter>;

class Synthesizer {
public:
    // Loads `soundFont` into a new synthesizer running at `rate` Hz. Null when the file is
    // missing or is not a SoundFont; FluidSynth's own messages are kept off the console.
    static std::shared_ptr<Synthesizer> Load(const std::string& soundFont, int rate);

    fluid_synth_t* Handle() const { return m_synth.get(); }
    int Rate() const { return m_rate; }
    const std::string& SoundFont() const { return m_soundFont; }

    // Silences every voice and resets every channel's program and controllers.
    void Reset();

private:
    Synthesizer() = default;

    FluidSettingsPtr m_settings; // outlives the synth, which reads it
    FluidSynthPtr m_synth;
    int m_rate = 0;
    std::string m_soundFont;
};

// Where the system's General MIDI SoundFont is looked for, in order.
std::vector<std::string> DefaultSoundFontCandidates();
// The first candidate that exists, or an empty string.
std::string FindDefaultSoundFont();

} // namespace sv
