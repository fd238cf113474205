// export FOLDER [--effects DIR] [--songs DIR] [--work DIR] [--verbose] [--audio DIR ...]: the
// application's bulk export. Every effect as NAME.wav into the effects folder, every song but
// "TAVERN.HMI" as its lower-cased name with ".mid" into the songs folder, and with --audio the
// soundtrack rendered as FLAC, Ogg Vorbis or WAV files plus a playlist; one summary line on
// standard error.
#include "Cli.h"
#include "archive/GameData.h"
#include "audio/Synthesizer.h"
#include "export/BulkExport.h"
#include "export/soundtrack/SoundtrackExport.h"
#include "io/Paths.h"

#include <chrono>
#include <cstdio>
#include <filesystem>

namespace sv {
namespace {

struct ExportOptions {
    std::string folder;
    FolderOptions open;
    BulkExportOptions run;
    std::string audioFolder; // empty: no soundtrack
    std::string soundFont;
    SoundtrackOptions soundtrack;
};

// The game folder's own name, for the album tag ("Arena2" for ".../Arena2/").
std::string FolderName(const std::string& folder) {
    std::filesystem::path path = sv::ToPath(folder).lexically_normal();
    if (path.filename().empty()) {
        path = path.parent_path();
    }
    return sv::FromPath(path.filename());
}

// The folders asked for, before anything is opened: a typo in one costs no rebuild.
bool MakeOutputFolders(const BulkExportOptions& run) {
    for (const auto& [asked, folder] :
         {std::pair{run.allEffects, &run.effectsPath}, std::pair{run.allSongs, &run.songsPath}}) {
        if (asked && !folder->empty() && !MakeFolder(*folder)) {
            return false;
        }
    }
    return true;
}

void ReportPassedOver(const BulkExportResult& result) {
    constexpr std::size_t kShown = 10;
    std::size_t shown = 0;
    std::size_t unshown = 0;
    for (std::size_t i = 0; i < result.notWritten.size(); ++i) {
        // An empty folder text asks for nothing: the summary's count is all there is to say.
        if (result.reasons[i] == kNoFolder) {
            continue;
        }
        if (shown == kShown) {
            ++unshown;
            continue;
        }
        ++shown;
        Fail("Cannot write \"" + result.notWritten[i] + "\": " + result.reasons[i] + ".");
    }
    if (unshown > 0) {
        Fail("... and " + std::to_string(unshown) + " more not written.");
    }
}

// The soundtrack into options.audioFolder, added to `result`; a status other than kDone when it
// could not start or was interrupted.
int RunSoundtrack(GameData& data, ExportOptions options, sv::BulkExportResult& result) {
    if (!MakeFolder(options.audioFolder)) {
        return kFailed;
    }
    sv::SoundtrackOptions& run = options.soundtrack;
    run.folder = options.audioFolder;
    run.soundFont = options.soundFont.empty() ? FindDefaultSoundFont() : options.soundFont;
    run.album = FolderName(options.folder);

    sv::SoundtrackResult sound;
    {
        // The workers stop between blocks, and what they were writing is never renamed into
        // place.
        const DeferInterrupts defer;
        TerminalProgress progress("Rendering songs", TerminalProgress::Form::Count);
        sound = sv::ExportSoundtrack(data, run, progress, DeferInterrupts::Interrupted());
    }
    if (!sound.soundFontLoaded) {
        Fail(SoundFontFailure(run.soundFont));
        return kFailed;
    }
    if (sound.cancelled) {
        return DeferInterrupts::Status();
    }
    result.written += sound.written;
    result.passedOver += sound.passedOver;
    result.bytes += sound.bytes;
    result.notWritten.insert(result.notWritten.end(), sound.notWritten.begin(),
                             sound.notWritten.end());
    result.reasons.resize(result.notWritten.size(), "the song did not render");
    return kDone;
}

int RunExport(const ExportOptions& options) {
    if (!MakeOutputFolders(options.run)) {
        return kFailed;
    }
    TerminalProgress rebuild("Rebuilding wyvern.snd");
    GameData data;
    if (const int status = OpenGameFolder(data, options.folder, options.open, rebuild);
        status != kDone) {
        return status;
    }
    const auto start = std::chrono::steady_clock::now();
    BulkExportResult result;
    if (options.run.allEffects || options.run.allSongs) {
        TerminalProgress progress("Exporting");
        result = BulkExport(data, options.run, progress);
    }
    if (!options.audioFolder.empty()) {
        if (const int status = RunSoundtrack(data, options, result); status != kDone) {
            return status;
        }
    }
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;

    ReportPassedOver(result);
    (void)std::fprintf(stderr, "%d files written, %d files passed over, %llu bytes, %.2f seconds\n",
                       result.written, result.passedOver,
                       static_cast<unsigned long long>(result.bytes), seconds.count());
    return result.passedOver == 0 ? kDone : kFailed;
}

void AddAudioOptions(CLI::App& cmd, ExportOptions& options) {
    cmd.add_option("--audio", options.audioFolder,
                   "Folder for the soundtrack rendered as audio files, with soundtrack.m3u");
    AddWordOption(cmd, "--format", options.soundtrack.type,
                  {{"wav", SoundFileType::Wav},
                   {"flac", SoundFileType::Flac},
                   {"ogg", SoundFileType::Ogg}},
                  "Audio format: flac (default), ogg or wav");
    cmd.add_option("--rate", options.soundtrack.rate, "Sample rate in Hz (default 44100)")
        ->check(CLI::Range(8000, 192000));
    AddVoiceOption(cmd, options.soundtrack.voice);
    cmd.add_option("--soundfont", options.soundFont,
                   "SoundFont (.sf2) (default: the system's General MIDI SoundFont)");
    AddShapeOptions(cmd, options.soundtrack.shape);
    cmd.add_option("--jobs", options.soundtrack.jobs,
                   "Songs rendered side by side (default: the number of cores)")
        ->check(CLI::Range(1, 256));
    cmd.add_flag("--normalize", options.soundtrack.normalize,
                 "Scale each song to -16 LUFS, true peak at most -1 dBTP, instead of ReplayGain "
                 "tags");
}

} // namespace

void AddExportCommand(CLI::App& app, Action& action) {
    auto options = std::make_shared<ExportOptions>();
    CLI::App* cmd = app.add_subcommand(
        "export", "Export every effect as .wav and every song as .mid or as audio into folders");
    cmd->add_option("FOLDER", options->folder, "The game's data folder (Arena2)")->required();
    CLI::Option* effects =
        cmd->add_option("--effects", options->run.effectsPath,
                        "Folder to write every effect into as NAME.wav; created when missing");
    CLI::Option* songs =
        cmd->add_option("--songs", options->run.songsPath,
                        "Folder to write every song into as name.mid; created when missing");
    AddFolderOptions(*cmd, options->open);
    AddAudioOptions(*cmd, *options);
    cmd->callback([options, effects, songs, &action] {
        options->run.allEffects = effects->count() > 0;
        options->run.allSongs = songs->count() > 0;
        action = [options] { return RunExport(*options); };
    });
}

} // namespace sv
