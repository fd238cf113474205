// extract FOLDER song|effect INDEX OUTPUT [--raw] [--work DIR] [--verbose] [render's options]: one
// record in the form OUTPUT's extension names (export/RecordExport.h). The application's forms keep
// its file-name rules (the file name lower-cased, ".mid"/".hmi" and ".raw"/".wav" swapped as the
// kind asks); the rendered ones are written under the name given, as render writes them.
#include "Cli.h"
#include "archive/Extraction.h"
#include "archive/GameData.h"
#include "export/RecordExport.h"

namespace sv {
namespace {

struct ExtractOptions {
    std::string folder;
    std::string kind;
    int index = 0;
    std::string output;
    bool raw = false;
    FolderOptions open;
    RenderSettings render;
};

// Status 64 with the reason when OUTPUT names no form of the kind; else kDone.
int CheckForm(const ExtractOptions& options, const RecordForm& form) {
    const bool song = options.kind == "song";
    if (form.is == RecordForm::Is::Unknown) {
        const RecordKind kind = song ? RecordKind::Song : RecordKind::Effect;
        Fail("\"" + options.output + "\" names no form of " + (song ? "a song" : "an effect") +
             ": use " + KnownExtensions(kind) + ".");
        return kUsage;
    }
    if (form.is == RecordForm::Is::Rendered && options.raw) {
        Fail("--raw keeps the record's bytes, but \"" + options.output +
             "\" names a rendered form.");
        return kUsage;
    }
    return kDone;
}

int RenderTo(GameData& data, const ExtractOptions& options, const RecordForm& form) {
    TerminalProgress progress("Rendering");
    const RenderResult result =
        RenderRecord(data, options.kind == "song" ? RecordKind::Song : RecordKind::Effect,
                     options.index, options.render, options.output, form.type, &progress);
    if (result.Done()) {
        return kDone;
    }
    Fail(result.stop == RenderResult::Stop::NoSoundFont ? SoundFontFailure({}) : result.message);
    return kFailed;
}

int RunExtract(const ExtractOptions& options) {
    const RecordForm form =
        FormFor(options.kind == "song" ? RecordKind::Song : RecordKind::Effect, options.output);
    if (const int status = CheckForm(options, form); status != kDone) {
        return status;
    }
    TerminalProgress progress("Rebuilding wyvern.snd");
    GameData data;
    if (const int status = OpenGameFolder(data, options.folder, options.open, progress);
        status != kDone) {
        return status;
    }
    const bool song = options.kind == "song";
    BsaArchive& archive = song ? data.songArchive : data.soundArchive;
    const std::string file = song ? "midi.bsa" : "wyvern.snd";
    const std::string record = "Record " + std::to_string(options.index) + " of " + file;
    if (options.index < 0 || options.index >= archive.RecordCount()) {
        Fail(record + " does not exist: it holds " + std::to_string(archive.RecordCount()) +
             " records.");
        return kFailed;
    }
    if (!archive.RecordWithinFile(options.index)) {
        Fail(record + " reaches past the end of the file.");
        return kFailed;
    }

    if (!MakeFolderFor(options.output)) {
        return kFailed;
    }
    if (form.is == RecordForm::Is::Rendered) {
        return RenderTo(data, options, form);
    }
    Result<GameData::Extraction> result = GameData::Extraction::Written;
    if (song) {
        result = data.ExtractSongFile(options.index, options.output, !options.raw);
    } else if (Status written = data.ExtractEffect(options.index, options.output, !options.raw);
               !written) {
        result = written;
    }
    if (!result) {
        Fail(result.Message());
        return kFailed;
    }
    if (*result == GameData::Extraction::NotConverted) {
        const std::string target = MidiSongPath(options.output);
        Fail(record + " is not an HMI song that converts; \"" + target + "\" was not written.");
        return kFailed;
    }
    return kDone;
}

} // namespace

void AddExtractCommand(CLI::App& app, Action& action) {
    auto options = std::make_shared<ExtractOptions>();
    CLI::App* cmd = app.add_subcommand(
        "extract", "Write one song or effect of a game folder to a file, in the form OUTPUT's "
                   "extension names");
    cmd->add_option("FOLDER", options->folder, "The game's data folder (Arena2)")->required();
    cmd->add_option("KIND", options->kind, "song or effect")
        ->required()
        ->check(CLI::IsMember({"song", "effect"}));
    cmd->add_option("INDEX", options->index, "Record index, as `list` shows it")->required();
    cmd->add_option("OUTPUT", options->output,
                    "The file to write. A song: .mid or .hmi as MIDI, .wav, .flac or .ogg "
                    "rendered; an effect: .wav or .raw as WAV, .flac or .ogg rendered; no "
                    "extension as MIDI or WAV; - for standard output")
        ->required();
    cmd->add_flag("--raw", options->raw,
                  "Keep the record's bytes (.hmi song, .raw effect) instead of MIDI or WAV");
    AddFolderOptions(*cmd, options->open);
    AddRenderOptions(*cmd, options->render);
    cmd->callback([options, &action] { action = [options] { return RunExtract(*options); }; });
}

} // namespace sv
