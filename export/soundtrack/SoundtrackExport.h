// The soundtrack as audio files: every song of an open game folder but "TAVERN.HMI" rendered
// into one folder, side by side on worker threads, in record order by name and in the playlist.
// Qt-free; the command line drives it with a terminal progress bar.
//
// For the SoundFont voice each worker loads the SoundFont into a synthesizer of its own (FluidSynth
// shares the loaded sample data between synthesizers of one process) and makes a fresh one for
// every song, so a song's bytes never depend on which songs the worker rendered before.
#pragma once

#include "archive/GameData.h"
#include "audio/Mastering.h"
#include "audio/SoundFileWriter.h"
#include "io/ProgressControl.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace sv {

struct SoundtrackOptions {
    std::string folder; // where the files go; must exist
    SoundFileType type = SoundFileType::Flac;
    int rate = kDefaultRate;
    SongVoice voice = SongVoice::SoundFont;
    std::string soundFont; // the SoundFont file, for that voice
    SongShape shape;
    int jobs = 0;           // worker threads; 0: one per core
    bool normalize = false; // scale to -16 LUFS instead of writing ReplayGain tags
    std::string album;      // the album tag: the game folder's name
};

struct SoundtrackResult {
    bool soundFontLoaded = true; // false: nothing was rendered
    bool cancelled = false;
    int written = 0; // the playlist included
    int passedOver = 0;
    std::uint64_t bytes = 0;
    std::vector<std::string> notWritten; // paths of the songs passed over
};

// The song's file name in the folder: its record name lower-cased and made safe, with the
// format's extension in place of ".hmi".
std::string SoundtrackFileName(const std::string& recordName, SoundFileType type);

// Renders every song as SoundtrackOptions asks into options.folder, each through a temporary
// file renamed into place, then writes "soundtrack.m3u" listing the files written in record
// order, after a line naming the album and the voice. FLAC and Ogg files are tagged: title (the
// record name without its extension), album, track number (the position in the listing), a
// comment with the voice (the SoundFont file name, or FM synthesis), loops and fade, and unless
// normalizing REPLAYGAIN_TRACK_GAIN/PEAK and REPLAYGAIN_ALBUM_GAIN/PEAK. A song that does not
// convert or render is passed over and the run goes on. `progress` runs over the songs, driven from
// the calling thread only. When `cancel` is set the workers stop between blocks, no file is left
// half-written, and the playlist is not written.
SoundtrackResult ExportSoundtrack(GameData& data, const SoundtrackOptions& options,
                                  ProgressControl& progress, const std::atomic<bool>& cancel);

} // namespace sv
