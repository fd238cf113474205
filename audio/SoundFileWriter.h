// Writes rendered audio to a sound file with libsndfile: WAV (16-bit PCM), FLAC (16-bit) or Ogg
// Vorbis, chosen by the file's extension. The file is encoded in memory and written through
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

// The texts a file carries. libsndfile's own fields go everywhere the format has room for them;
// `extra` (ReplayGain and the like) only into FLAC and Ogg, as Vorbis comments.
struct SoundTags {
    std::string title;
    std::string album;
    std::string trackNumber;
    std::string comment;
    std::vector<std::pair<std::string, std::string>> extra;
};

// Interleaved stereo float `samples` (within -1..1) as a whole file of `type` in `out`; false
// when libsndfile refuses. The bytes depend on nothing but the arguments.
bool EncodeSound(std::span<const float> samples, int rate, SoundFileType type,
                 const SoundTags& tags, std::vector<std::uint8_t>& out);

// Renders `renderer` from its start as `shape` asks into `path`, peaks limited. `progress` (may
// be null) follows the passes; a release tail beyond them is written but not counted.
Status RenderToFile(Renderer& renderer, int rate, const sv::SongShape& shape,
                    const std::string& path, SoundFileType type, ProgressControl* progress);

} // namespace sv
