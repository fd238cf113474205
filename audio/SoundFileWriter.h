// Writes rendered audio to a sound file, chosen by the file's extension: WAV (16-bit PCM) through
// libsndfile, FLAC (16-bit) through libFLAC's stream encoder, Ogg Vorbis through libvorbisenc and
// libogg. FLAC and Ogg carry their tags as Vorbis comments given to the encoder before the first
// byte; TagLib adds tags to a finished file. The file is encoded in memory and written through
// sv::OutputFile, so a failure leaves no half-written file and an older file of that name
// survives.
#pragma once

#include "Mastering.h"
#include "Renderer.h"
#include "io/ProgressControl.h"
#include "io/Result.h"

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace sv {

enum class SoundFileType { Unknown, Wav, Flac, Ogg };

// By the extension, in any letter case: ".wav", ".flac", ".ogg" (or ".oga").
SoundFileType SoundFileTypeFor(const std::string& path);
// ".wav", ".flac" or ".ogg".
const char* ExtensionOf(SoundFileType type);

// The texts a file carries: in FLAC and Ogg all of them, as Vorbis comments; in WAV those its
// INFO chunk has room for, `extra` (ReplayGain and the like) left out.
struct SoundTags {
    std::string title;
    std::string album;
    std::string trackNumber;
    std::string comment;
    std::vector<std::pair<std::string, std::string>> extra;
};

// Interleaved stereo float `samples` (within -1..1) as a whole file of `type` in `out`; false
// when an encoder refuses. The bytes depend on nothing but the arguments (an Ogg stream is
// numbered by the track number).
bool EncodeSound(std::span<const float> samples, int rate, SoundFileType type,
                 const SoundTags& tags, std::vector<std::uint8_t>& out);

// Sets `comments` in a whole FLAC or Ogg Vorbis `file` (a key already there is replaced, the
// other tags are kept). False, with `file` unchanged, when it is no such file.
bool AddComments(std::vector<std::uint8_t>& file, SoundFileType type,
                 const std::vector<std::pair<std::string, std::string>>& comments);

// The comment tag of a rendered file: what played it ("SoundFont gm.sf2"; empty for a recorded
// sound) and the shape, as in "SoundFont gm.sf2, loops 2, fade 4 s".
std::string RenderingComment(const std::string& instrument, const SongShape& shape);

// Renders `renderer` from its start as `shape` asks into `path`, peaks limited, with `tags` and,
// in FLAC and Ogg, the ReplayGain track gain and peak. `progress` (may be null) follows the
// passes; a release tail beyond them is written but not counted.
Status RenderToFile(Renderer& renderer, int rate, const sv::SongShape& shape,
                    const std::string& path, SoundFileType type, ProgressControl* progress,
                    const SoundTags& tags = {});

} // namespace sv
