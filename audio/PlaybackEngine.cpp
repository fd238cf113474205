#include "PlaybackEngine.h"

#include "FmRenderer.h"
#include "WavRenderer.h"
#include "io/File.h"
#include "io/Paths.h"

#include <algorithm>
#include <cstring>

namespace sv {

const char* Describe(LoadError error) {
    switch (error) {
    case LoadError::None:
        return "";
    case LoadError::Unreadable:
        return "The file cannot be read.";
    case LoadError::UnknownFormat:
        return "The file is neither a MIDI song nor a WAV sound.";
    case LoadError::BadData:
        return "The file is damaged and cannot be played.";
    case LoadError::NoSoundFont:
        return "Songs cannot be played without a SoundFont.";
    case LoadError::NoFmBank:
        return "The FM instrument bank could not be loaded.";
    }
    return "";
}

std::string PlayedBy(SongVoice voice, const std::string& soundFont) {
    return voice == SongVoice::Fm ? "FM synthesis (OPL3)"
                                  : "SoundFont " + FromPath(ToPath(soundFont).filename());
}

FileKind DetectKind(std::span<const std::uint8_t> file) {
    if (file.size() >= 4 && std::memcmp(file.data(), "MThd", 4) == 0) {
        return FileKind::Midi;
    }
    if (file.size() >= 12 && std::memcmp(file.data(), "RIFF", 4) == 0 &&
        std::memcmp(file.data() + 8, "WAVE", 4) == 0) {
        return FileKind::Wav;
    }
    return FileKind::None;
}

std::unique_ptr<Renderer> MakeRenderer(std::vector<std::uint8_t> file, SongVoice voice,
                                       std::shared_ptr<Synthesizer> synth, int rate,
                                       LoadError& error) {
    switch (DetectKind(file)) {
    case FileKind::Midi:
        if (voice == SongVoice::Fm) {
            return FmRenderer::Create(file, rate, error);
        }
        return MidiRenderer::Create(std::move(synth), std::move(file), error);
    case FileKind::Wav:
        return WavRenderer::Create(file, rate, error);
    case FileKind::None:
        break;
    }
    error = LoadError::UnknownFormat;
    return nullptr;
}

PlaybackEngine::PlaybackEngine(int rate) : m_rate(rate) {}

PlaybackEngine::~PlaybackEngine() {
    std::lock_guard lock(m_mutex);
    ReleaseLocked();
}

void PlaybackEngine::ReleaseLocked() {
    m_renderer.reset();
    m_song.clear();
    m_song.shrink_to_fit();
    m_kind = FileKind::None;
    m_state = PlayState::Stopped;
    m_framesPlayed = 0;
}

LoadError PlaybackEngine::SetFileName(const std::string& name) {
    {
        std::lock_guard lock(m_mutex);
        ReleaseLocked();
    }
    if (name.empty()) {
        return LoadError::None;
    }
    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(name, bytes)) {
        return LoadError::Unreadable;
    }
    return SetData(std::move(bytes));
}

LoadError PlaybackEngine::SetData(std::vector<std::uint8_t> file) {
    std::lock_guard lock(m_mutex);
    ReleaseLocked();
    const FileKind kind = DetectKind(file);
    if (kind == FileKind::Midi) {
        // Checked now, so that a broken song is reported even before the SoundFont is there.
        MidiTiming timing;
        if (!timing.Parse(file)) {
            return LoadError::BadData;
        }
        m_kind = kind;
        m_song = std::move(file);
        m_songVoice = m_voice;
        BuildRendererLocked(0.0);
        return LoadError::None;
    }
    LoadError error = LoadError::None;
    m_renderer = MakeRenderer(std::move(file), m_voice, nullptr, m_rate, error);
    if (m_renderer) {
        m_kind = kind;
    }
    return error;
}

void PlaybackEngine::BuildRendererLocked(double position) {
    m_renderer.reset(); // the old renderer gives the synthesizer back first
    LoadError error = LoadError::None;
    if (m_kind == FileKind::Midi && (m_songVoice == SongVoice::Fm || m_synth)) {
        m_renderer = MakeRenderer(m_song, m_songVoice, m_synth, m_rate, error);
    }
    if (m_renderer && position > 0.0) {
        m_renderer->Seek(position);
    }
}

void PlaybackEngine::SetVoice(SongVoice voice) {
    std::lock_guard lock(m_mutex);
    m_voice = voice;
}

void PlaybackEngine::SetSynthesizer(std::shared_ptr<Synthesizer> synth) {
    std::lock_guard lock(m_mutex);
    if (m_kind != FileKind::Midi || m_songVoice == SongVoice::Fm) {
        m_synth = std::move(synth); // an effect, or a song on the FM chip, plays on untouched
        return;
    }
    const double position = m_renderer ? m_renderer->Position() : 0.0;
    m_renderer.reset(); // gives the old synthesizer back before it may go
    m_synth = std::move(synth);
    BuildRendererLocked(position);
}

void PlaybackEngine::Play() {
    std::lock_guard lock(m_mutex);
    if (m_kind == FileKind::None) {
        return;
    }
    if (m_state != PlayState::Paused) {
        m_framesPlayed = 0;
    }
    m_state = PlayState::Playing;
}

void PlaybackEngine::Pause() {
    std::lock_guard lock(m_mutex);
    if (m_state == PlayState::Playing) {
        m_state = PlayState::Paused;
    }
}

void PlaybackEngine::Stop() {
    std::lock_guard lock(m_mutex);
    m_state = PlayState::Stopped;
    if (m_renderer) {
        m_renderer->Seek(0.0);
    }
}

void PlaybackEngine::Seek(double seconds) {
    std::lock_guard lock(m_mutex);
    if (m_renderer) {
        m_renderer->Seek(seconds);
    }
}

void PlaybackEngine::SetVolume(float gain) {
    std::lock_guard lock(m_mutex);
    m_volume = std::clamp(gain, 0.0f, 1.0f);
}

PlayState PlaybackEngine::State() const {
    std::lock_guard lock(m_mutex);
    return m_state;
}

FileKind PlaybackEngine::Kind() const {
    std::lock_guard lock(m_mutex);
    return m_kind;
}

bool PlaybackEngine::WaitingForSoundFont() const {
    std::lock_guard lock(m_mutex);
    return m_kind == FileKind::Midi && !m_renderer;
}

double PlaybackEngine::Position() const {
    std::lock_guard lock(m_mutex);
    return m_renderer ? m_renderer->Position() : 0.0;
}

double PlaybackEngine::Duration() const {
    std::lock_guard lock(m_mutex);
    if (m_renderer) {
        return m_renderer->Duration();
    }
    MidiTiming timing;
    return m_kind == FileKind::Midi && timing.Parse(m_song) ? timing.Duration() : 0.0;
}

void PlaybackEngine::SetRepeat(bool repeat) {
    std::lock_guard lock(m_mutex);
    m_repeat = repeat;
}

bool PlaybackEngine::Repeat() const {
    std::lock_guard lock(m_mutex);
    return m_repeat;
}

void PlaybackEngine::Pull(float* out, std::size_t frames) {
    std::lock_guard lock(m_mutex);
    std::size_t done = 0;
    if (m_state == PlayState::Playing && m_renderer) {
        done = m_renderer->Render(out, frames);
        // With repeat on, the piece starts again at its end; one that renders nothing stops.
        while (m_repeat && done < frames) {
            m_renderer->Seek(0.0);
            const std::size_t more = m_renderer->Render(out + done * kChannels, frames - done);
            if (more == 0) {
                break;
            }
            done += more;
        }
        m_framesPlayed += done;
        if (done < frames) {
            m_state = PlayState::Stopped;
            m_renderer->Seek(0.0);
            ++m_endings;
        }
        if (m_volume != 1.0f) {
            std::for_each(out, out + done * kChannels, [this](float& s) { s *= m_volume; });
        }
    }
    std::fill(out + done * kChannels, out + frames * kChannels, 0.0f);
}

} // namespace sv
