// One song or effect of an open game folder written to the file a user named, in the form the
// name's extension (in any letter case) asks for. The application's own forms, with its
// file-name rules: a song as ".mid" (".hmi" names the same), an effect as ".wav" (".raw" names
// the same). Rendered through the SoundFont or resampled: ".flac" and ".ogg" for both, ".wav" for
// a song. A name without an extension, and "-" (standard output), take the application's form.
// The command line's extract and the window's export of one track both follow this rule.
#pragma once

#include "SoundRender.h"
#include "archive/GameData.h"

#include <string>

namespace sv {

enum class RecordKind { Song, Effect };

struct RecordForm {
    enum class Is { Application, Rendered, Unknown };
    Is is = Is::Application;
    SoundFileType type = SoundFileType::Unknown; // what a rendered form is written as
};

RecordForm FormFor(RecordKind kind, const std::string& path);

// The extensions FormFor knows for the kind, for a message: ".mid, .hmi, .wav, .flac or .ogg".
std::string KnownExtensions(RecordKind kind);

// Renders record `index` of the kind's archive into `path` as `type`. The record must lie
// within its archive.
RenderResult RenderRecord(GameData& data, RecordKind kind, int index,
                          const RenderSettings& settings, const std::string& path,
                          SoundFileType type, ProgressControl* progress);

} // namespace sv
