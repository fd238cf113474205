// Writes what a renderer produces to a sound file with libsndfile: WAV (16-bit PCM), FLAC (16-bit)
// or Ogg Vorbis, chosen by the file's extension. The file goes through OutputFile, so a
// failure leaves no half-written file and an older file of that name survives.
#pragma once

#include "Renderer.h"
#include "io/ProgressControl.h"

#include <string>

namespace sv {

enum class SoundFileType { Unknown, Wav, Flac, Ogg };

// By the extension, in any letter case: ".wav", ".flac", ".ogg" (or ".oga").
SoundFileType SoundFileTypeFor(const std::string& path);

enum class WriteResult { Done, CannotCreate, WriteFailed };

// Renders `renderer` from where it stands to its end into `path`. `progress` (may be null) runs
// from 0 to `expectedFrames`, the frames the caller expects; a release tail beyond them is
// written but not counted.
WriteResult RenderToFile(Renderer& renderer, int rate, std::uint64_t expectedFrames,
                         const std::string& path, SoundFileType type, ProgressControl* progress);

} // namespace sv
