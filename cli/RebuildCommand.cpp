// rebuild FOLDER DEST [--entry N]: one entry of FOLDER's "PACKED.DAT" into DEST under the entry's
// own (safe) name, with the decoder's lines on standard output and a progress bar on a terminal.
#include "Cli.h"
#include "archive/GameData.h"

#include <memory>

namespace sv {
namespace {

struct RebuildOptions {
    std::string folder;
    std::string destination;
    int entry = 1;
};

int RunRebuild(const RebuildOptions& options) {
    if (!MakeFolder(options.destination)) {
        return kFailed;
    }
    TerminalProgress progress("Rebuilding entry " + std::to_string(options.entry));
    GameData data;
    data.SetProgressControl(&progress);
    data.SetDecoderLines([](std::string_view line) { DecoderLine(stdout, line); });
    const Status rebuilt =
        data.RebuildSoundArchive(options.folder, options.destination, options.entry);
    if (rebuilt) {
        return kDone;
    }
    if (rebuilt.DecoderFatal()) {
        return kFatal;
    }
    Fail(rebuilt.Message());
    return kFailed;
}

} // namespace

void AddRebuildCommand(CLI::App& app, Action& action) {
    auto options = std::make_shared<RebuildOptions>();
    CLI::App* cmd = app.add_subcommand(
        "rebuild", "Unpack an entry of PACKED.DAT, as a missing sound archive is");
    cmd->add_option("FOLDER", options->folder, "The folder holding PACKED.DAT")->required();
    cmd->add_option("DEST", options->destination,
                    "The folder to write the entry into; created when missing")
        ->required();
    cmd->add_option("--entry", options->entry, "Directory index of the entry (default 1)")
        ->check(CLI::Range(0, 2147483647));
    cmd->callback([options, &action] { action = [options] { return RunRebuild(*options); }; });
}

} // namespace sv
