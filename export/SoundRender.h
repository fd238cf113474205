// The one way a song or an effect becomes a sound file, shared by the render command, extract
// and the window's export of one track: a Standard MIDI File (or an HMI song, converted in
// memory first) played through a SoundFont or on the FM chip, or a WAV file resampled, then shaped,
// peak-limited and written as WAV, FLAC or Ogg Vorbis through a temporary file.
#pragma once

#include "audio/Mastering.h"
#include "audio/Renderer.h"
#include "audio/SoundFileWriter.h"
#include "io/ProgressControl.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace sv {

struct RenderSettings {
    SongVoice voice = SongVoice::SoundFont;
    std::string soundFont; // empty: the system's General MIDI SoundFont; unused for Fm
    int rate = kDefaultRate;
    SongShape shape;
};

// How a rendering ended; `message` is the one line that says why it stopped.
struct RenderResult {
    enum class Stop {
        Done,
        NoSoundFont,  // none named and none of the system's found
        BadSoundFont, // the SoundFont named or found does not load
        BadInput,     // the bytes are no song or sound that plays
        CannotWrite,  // the output could not be written
    };
    Stop stop = Stop::Done;
    std::string message;

    bool Done() const { return stop == Stop::Done; }
};

// Why the SoundFont at `path` did not load: `Cannot read "PATH": REASON.` when it cannot be
// read, else `"PATH" is not a SoundFont.`
std::string SoundFontProblem(const std::string& path);

// The first step: a renderer for `file`, an HMI song when `hmi`, else a Standard MIDI File or a
// WAV file as its bytes say; `name` says what it is in a message ("\"tune.hmi\""). A song
// loads its SoundFont here. Null with `failure` set when it cannot be played.
std::unique_ptr<Renderer> OpenSound(std::vector<std::uint8_t> file, bool hmi,
                                    const std::string& name, const RenderSettings& settings,
                                    RenderResult& failure);

// The second step: the renderer from its start into `output`, which "-" makes standard output.
// A FLAC or Ogg file is tagged with `title` (if any), what played it and the shape in the
// comment, and the ReplayGain track gain and peak.
RenderResult WriteSound(Renderer& renderer, const RenderSettings& settings,
                        const std::string& output, SoundFileType type, ProgressControl* progress,
                        const std::string& title = {});

// Both steps.
RenderResult RenderSound(std::vector<std::uint8_t> file, bool hmi, const std::string& name,
                         const RenderSettings& settings, const std::string& output,
                         SoundFileType type, ProgressControl* progress);

} // namespace sv
