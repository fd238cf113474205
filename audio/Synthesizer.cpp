#include "Synthesizer.h"

#include "io/File.h"
#include "io/Paths.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <mutex>

namespace sv {
namespace {

void QuietLog(int, const char*, void*) {}

// FluidSynth prints to the console by default; the callers decide what the user sees.
void SilenceFluidLog() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level = FLUID_PANIC; level <= FLUID_DBG; ++level) {
            fluid_set_log_function(level, QuietLog, nullptr);
        }
    });
}

// A SoundFont 2 file is a RIFF form of type "sfbk". Anything else is refused before FluidSynth
// sees it: its other loaders would take some non-SoundFont files and complain on the console.
bool LooksLikeSoundFont(const std::string& path) {
    FilePtr file = OpenFile(path, "rb");
    unsigned char head[12] = {};
    return file && std::fread(head, 1, sizeof head, file.get()) == sizeof head &&
           std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "sfbk", 4) == 0;
}

} // namespace

std::shared_ptr<Synthesizer> Synthesizer::Load(const std::string& soundFont, int rate) {
    SilenceFluidLog();
    std::error_code ec;
    if (soundFont.empty() || !std::filesystem::is_regular_file(ToPath(soundFont), ec)) {
        return nullptr;
    }
    if (!LooksLikeSoundFont(soundFont)) {
        return nullptr;
    }
    std::shared_ptr<Synthesizer> synth(new Synthesizer());
    synth->m_settings.reset(new_fluid_settings());
    if (!synth->m_settings) {
        return nullptr;
    }
    fluid_settings_t* settings = synth->m_settings.get();
    fluid_settings_setnum(settings, "synth.sample-rate", rate);
    // The songs were written for a sound card's synthesizer, louder than FluidSynth's 0.2.
    fluid_settings_setnum(settings, "synth.gain", 0.5);
    // The player must not reset the synth at the end of a song: that would cut the release tail.
    fluid_settings_setint(settings, "player.reset-synth", 0);
    fluid_settings_setstr(settings, "player.timing-source", "sample");

    synth->m_synth.reset(new_fluid_synth(settings));
    if (!synth->m_synth ||
        fluid_synth_sfload(synth->Handle(), soundFont.c_str(), 1) == FLUID_FAILED) {
        return nullptr;
    }
    synth->m_rate = rate;
    synth->m_soundFont = soundFont;
    return synth;
}

void Synthesizer::Reset() {
    fluid_synth_system_reset(m_synth.get());
    // The reset ends the voices but not the reverb and chorus, whose tails would sound under
    // the next start: run the effects dry until they are silent.
    constexpr int kBlock = 1024;
    float block[2 * kBlock];
    for (int done = 0; done < 2 * m_rate; done += kBlock) {
        fluid_synth_write_float(m_synth.get(), kBlock, block, 0, 2, block, 1, 2);
        float peak = 0.0f;
        for (const float s : block) {
            peak = std::max(peak, std::fabs(s));
        }
        if (peak < 1.0f / 65536) {
            break;
        }
    }
}

std::vector<std::string> DefaultSoundFontCandidates() {
    std::vector<std::string> paths;
    paths.emplace_back("/usr/share/sounds/sf2/default-GM.sf2");
    paths.emplace_back("/usr/share/soundfonts/default.sf2");
    paths.emplace_back("/usr/share/sounds/sf2/FluidR3_GM.sf2");
    return paths;
}

std::string FindDefaultSoundFont() {
    for (const std::string& path : DefaultSoundFontCandidates()) {
        std::error_code ec;
        if (std::filesystem::is_regular_file(ToPath(path), ec)) {
            return path;
        }
    }
    return {};
}

} // namespace sv
