#include "MidiRenderer.h"

#include "MidiCleaner.h"

#include <algorithm>
#include <cmath>

namespace sv {
namespace {

// The tail ends once the voices and the reverb have faded below -60 dBFS: some instruments keep a
// voice alive, inaudibly, for seconds, and a file should not end in them.
constexpr float kSilence = 0.001f;
constexpr std::size_t kTailBlock = 256;

float Peak(const float* samples, std::size_t count) {
    float peak = 0.0f;
    for (std::size_t i = 0; i < count; ++i) {
        peak = std::max(peak, std::fabs(samples[i]));
    }
    return peak;
}

} // namespace

std::unique_ptr<MidiRenderer> MidiRenderer::Create(std::shared_ptr<Synthesizer> synth,
                                                   std::vector<std::uint8_t> file,
                                                   LoadError& error) {
    if (!synth) {
        error = LoadError::NoSoundFont;
        return nullptr;
    }
    std::unique_ptr<MidiRenderer> r(new MidiRenderer());
    if (!r->m_timing.Parse(file)) {
        error = LoadError::BadData;
        return nullptr;
    }
    r->m_synth = std::move(synth);
    r->m_file = StripSystemCommon(file);
    r->m_endFrame = static_cast<std::uint64_t>(std::llround(r->Duration() * r->m_synth->Rate()));
    if (!r->StartPlayer(0)) {
        error = LoadError::BadData;
        return nullptr;
    }
    error = LoadError::None;
    return r;
}

MidiRenderer::~MidiRenderer() {
    m_player.reset();
    if (m_synth) {
        m_synth->Reset();
    }
}

// A fresh player for every start: a finished fluid_player cannot be sought back, and making one
// from the bytes in memory costs far less than a block of audio.
bool MidiRenderer::StartPlayer(std::uint32_t tick) {
    m_player.reset();
    m_synth->Reset();
    m_player.reset(new_fluid_player(m_synth->Handle()));
    // The player plays the song again by itself, after it has sent every event of a pass
    // (the last note-offs included) and without touching the synthesizer, so voices sounding
    // at the seam ring on into the next pass as they would in the game.
    if (m_player && m_loops > 1) {
        fluid_player_set_loop(m_player.get(), m_loops - m_pass);
    }
    // A seek is only taken while the player is still READY: once it plays, FluidSynth checks
    // the target against a length it learns only when it has parsed the file.
    if (!m_player ||
        fluid_player_add_mem(m_player.get(), m_file.data(), m_file.size()) != FLUID_OK ||
        (tick > 0 && fluid_player_seek(m_player.get(), static_cast<int>(tick)) != FLUID_OK) ||
        fluid_player_play(m_player.get()) != FLUID_OK) {
        m_player.reset();
        return false;
    }
    m_frame = static_cast<std::uint64_t>(std::llround(m_timing.SecondsAt(tick) * m_synth->Rate()));
    m_tailFrames = 0;
    m_tailDone = false;
    return true;
}

void MidiRenderer::SetLoops(int loops) {
    m_loops = std::max(1, loops);
    m_pass = 0;
    StartPlayer(0);
}

std::size_t MidiRenderer::Render(float* out, std::size_t frames) {
    std::size_t done = 0;
    fluid_synth_t* synth = m_synth->Handle();
    for (;;) {
        // The next pass is counted from the ideal seam; the player keeps its own time, which
        // differs from it by less than one of the synthesizer's blocks.
        if (m_frame >= m_endFrame && m_pass + 1 < m_loops && m_endFrame > 0) {
            ++m_pass;
            m_frame = 0;
        }
        if (done >= frames || m_frame >= m_endFrame || !m_player) {
            break;
        }
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::uint64_t>(frames - done, m_endFrame - m_frame));
        float* at = out + done * kChannels;
        fluid_synth_write_float(synth, static_cast<int>(n), at, 0, kChannels, at, 1, kChannels);
        m_frame += n;
        done += n;
    }
    if (done < frames && m_player) {
        done += RenderTail(out + done * kChannels, frames - done);
    }
    return done;
}

std::size_t MidiRenderer::RenderTail(float* out, std::size_t frames) {
    const auto maxTail = static_cast<std::uint64_t>(kMaxTailSeconds * m_synth->Rate());
    std::size_t done = 0;
    while (done < frames && !m_tailDone && m_tailFrames < maxTail) {
        const std::size_t n = static_cast<std::size_t>(
            std::min<std::uint64_t>({frames - done, kTailBlock, maxTail - m_tailFrames}));
        float* at = out + done * kChannels;
        fluid_synth_write_float(m_synth->Handle(), static_cast<int>(n), at, 0, kChannels, at, 1,
                                kChannels);
        m_tailFrames += n;
        done += n;
        m_tailDone = Peak(at, n * kChannels) < kSilence;
    }
    return done;
}

void MidiRenderer::Seek(double seconds) {
    m_pass = 0;
    StartPlayer(m_timing.TickAt(seconds));
}

double MidiRenderer::Position() const {
    return static_cast<double>(std::min(m_frame, m_endFrame)) / m_synth->Rate();
}

std::string MidiRenderer::Instrument() const {
    return PlayedBy(SongVoice::SoundFont, m_synth->SoundFont());
}

} // namespace sv
