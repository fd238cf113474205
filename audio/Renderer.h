// What every renderer produces, whatever the kind of file: interleaved stereo float frames
// (left, right) at the rate it was made for, nominally within -1..1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace sv {

inline constexpr int kChannels = 2;
inline constexpr int kDefaultRate = 44100;

// Why a file cannot be played or rendered.
enum class LoadError {
    None,
    Unreadable,    // the file cannot be opened or read
    UnknownFormat, // neither a Standard MIDI File nor a RIFF WAVE file
    BadData,       // the file's own structure is broken
    NoSoundFont,   // a song, but no SoundFont is loaded
    NoFmBank,      // a song for the FM chip, but AdPlug gives no instrument bank
};

// A plain sentence for the user.
const char* Describe(LoadError error);

// What plays a song: FluidSynth with a General MIDI SoundFont, or an emulated OPL3 FM chip.
enum class SongVoice { SoundFont, Fm };
// The voice's name on the command line and in tags: "soundfont" or "fm".
inline const char* VoiceName(SongVoice voice) {
    return voice == SongVoice::Fm ? "fm" : "soundfont";
}
// What played a song, as tags and playlists name it: "SoundFont gm.sf2" (the file's name without
// its folder) or "FM synthesis (OPL3)".
std::string PlayedBy(SongVoice voice, const std::string& soundFont);

class Renderer {
public:
    virtual ~Renderer() = default;

    // Writes up to `frames` frames to `out` (2 floats each) and returns how many were written;
    // fewer than asked means the end was reached.
    virtual std::size_t Render(float* out, std::size_t frames) = 0;

    // Plays the piece `loops` times back to back (at least once), starting again from the
    // start; Duration() and Position() stay those of one pass.
    virtual void SetLoops(int loops) = 0;

    // Moves to `seconds` from the start (clamped to the length) and silences what sounds.
    virtual void Seek(double seconds) = 0;

    // The length of the piece, without any release tail.
    virtual double Duration() const = 0;
    // Where the next rendered frame lies, within 0..Duration().
    virtual double Position() const = 0;

    // What plays the piece, as a rendered file's comment names it ("SoundFont gm.sf2"); empty
    // for a recorded sound.
    virtual std::string Instrument() const { return {}; }
};

} // namespace sv
