// The player behind the media player control, without any user interface or sound card: it
// holds at most one file, read whole into memory when it is set (so that the file on disk may be
// overwritten or deleted at once), renders it on demand through the renderer for its kind, and
// keeps the transport state. The output pulls frames with Pull from its own thread; every other
// call may come from another thread, and all of them are serialised by one mutex.
#pragma once

#include "MidiRenderer.h"
#include "Renderer.h"
#include "Synthesizer.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace sv {

enum class PlayState { Stopped, Playing, Paused };
enum class FileKind { None, Midi, Wav };

// The kind that the first bytes of a file announce.
FileKind DetectKind(std::span<const std::uint8_t> file);

// A renderer for the bytes, of the kind they announce: a song on `voice` (the SoundFont's needs
// `synth`, the FM chip plays at `rate`), a sound resampled to `rate`.
std::unique_ptr<Renderer> MakeRenderer(std::vector<std::uint8_t> file, SongVoice voice,
                                       std::shared_ptr<Synthesizer> synth, int rate,
                                       LoadError& error);

class PlaybackEngine {
public:
    explicit PlaybackEngine(int rate = kDefaultRate);
    ~PlaybackEngine();
    PlaybackEngine(const PlaybackEngine&) = delete;
    PlaybackEngine& operator=(const PlaybackEngine&) = delete;

    int Rate() const { return m_rate; }

    // Stops, lets go of the current file and reads the new one. An empty name only stops and
    // releases. On an error the engine holds no file. A song set before a SoundFont is loaded is
    // kept and gets its renderer when the synthesizer arrives (WaitingForSoundFont()).
    LoadError SetFileName(const std::string& name);
    LoadError SetData(std::vector<std::uint8_t> file);

    // What plays the songs set from now on; the one held plays on as it was.
    void SetVoice(SongVoice voice);

    // The synthesizer for songs, loaded elsewhere (it takes a while). Its rate must be Rate().
    // A song already set is restarted on it from where it was, keeping the transport state.
    void SetSynthesizer(std::shared_ptr<Synthesizer> synth);

    void Play(); // from the current position; at the end of a piece, from the start
    void Pause();
    void Stop(); // silence at once, back to the start
    void Seek(double seconds);
    void SetVolume(float gain); // linear, 0..1
    // When on, a piece that ends starts again from its start instead of stopping.
    void SetRepeat(bool repeat);
    bool Repeat() const;

    PlayState State() const;
    FileKind Kind() const;
    bool WaitingForSoundFont() const;
    double Position() const;
    double Duration() const;

    // Fills `frames` stereo frames: the next piece of the file while playing, silence otherwise.
    // When the piece ends the engine stops and rewinds, as a player does.
    void Pull(float* out, std::size_t frames);

    // How many frames of the file Pull has handed out since the last Play; a benchmark and the
    // tests watch it to see rendering begin.
    std::uint64_t FramesPlayed() const { return m_framesPlayed.load(); }
    // How many times a piece has played to its end and stopped (not counting Stop() or the
    // restarts of repeat), so that the owner, polling, can tell an end from a stop.
    std::uint64_t Endings() const { return m_endings.load(); }

private:
    void ReleaseLocked();
    void BuildRendererLocked(double position);

    const int m_rate;
    mutable std::mutex m_mutex;
    std::shared_ptr<Synthesizer> m_synth;
    FileKind m_kind = FileKind::None;
    std::vector<std::uint8_t> m_song; // a song's bytes, kept for a change of SoundFont
    SongVoice m_voice = SongVoice::SoundFont;
    SongVoice m_songVoice = SongVoice::SoundFont; // the voice m_song was set with
    std::unique_ptr<Renderer> m_renderer;
    PlayState m_state = PlayState::Stopped;
    float m_volume = 1.0f;
    bool m_repeat = false;
    std::atomic<std::uint64_t> m_framesPlayed{0};
    std::atomic<std::uint64_t> m_endings{0};
};

} // namespace sv
