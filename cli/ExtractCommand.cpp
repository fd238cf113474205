// extract FOLDER song|effect INDEX OUTPUT [--raw] [--work DIR] [--verbose]: one record written as
// the application writes it, with its file-name rules (the file name lower-cased, ".mid"/".hmi" and
// ".raw"/".wav" swapped as the kind asks).
#include "Cli.h"
#include "archive/Extraction.h"
#include "archive/GameData.h"

namespace sv {
namespace {

struct ExtractOptions {
    std::string folder;
    std::string kind;
    int index = 0;
    std::string output;
    bool raw = false;
    FolderOptions open;
};

int RunExtract(const ExtractOptions& options) {
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
        "extract", "Write one song (as .mid) or effect (as .wav) of a game folder to a file");
    cmd->add_option("FOLDER", options->folder, "The game's data folder (Arena2)")->required();
    cmd->add_option("KIND", options->kind, "song or effect")
        ->required()
        ->check(CLI::IsMember({"song", "effect"}));
    cmd->add_option("INDEX", options->index, "Record index, as `list` shows it")->required();
    cmd->add_option("OUTPUT", options->output, "The file to write")->required();
    cmd->add_flag("--raw", options->raw, "Keep the record's bytes (.hmi song, .raw effect)");
    AddFolderOptions(*cmd, options->open);
    cmd->callback([options, &action] { action = [options] { return RunExtract(*options); }; });
}

} // namespace sv
