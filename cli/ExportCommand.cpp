// export FOLDER [--effects DIR] [--songs DIR] [--work DIR]: the application's bulk export. Every
// effect as NAME.wav into the effects folder, every song but "TAVERN.HMI" as its lower-cased name
// with ".mid" into the songs folder; a summary line on standard error.
#include "Cli.h"
#include "archive/GameData.h"
#include "export/BulkExport.h"

#include <chrono>
#include <cstdio>

namespace sv {
namespace {

struct ExportOptions {
    std::string folder;
    std::string work;
    BulkExportOptions run;
};

int RunExport(const ExportOptions& options) {
    TerminalProgress rebuild("Rebuilding wyvern.snd");
    GameData data;
    if (const int status = OpenGameFolder(data, options.folder, options.work, rebuild);
        status != kDone) {
        return status;
    }
    const auto start = std::chrono::steady_clock::now();
    BulkExportResult result;
    {
        TerminalProgress progress("Exporting");
        result = BulkExport(data, options.run, progress);
    }
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;

    constexpr std::size_t kShown = 10;
    for (std::size_t i = 0; i < result.notWritten.size() && i < kShown; ++i) {
        Fail("Not written: " + result.notWritten[i]);
    }
    if (result.notWritten.size() > kShown) {
        Fail("... and " + std::to_string(result.notWritten.size() - kShown) + " more not written");
    }
    (void)std::fprintf(stderr, "%d files written, %d files passed over, %llu bytes, %.2f seconds\n",
                       result.written, result.passedOver,
                       static_cast<unsigned long long>(result.bytes), seconds.count());
    return result.passedOver == 0 ? kDone : kFailed;
}

} // namespace

void AddExportCommand(CLI::App& app, Action& action) {
    auto options = std::make_shared<ExportOptions>();
    CLI::App* cmd = app.add_subcommand(
        "export", "Export every effect as .wav and every song as .mid into folders");
    cmd->add_option("FOLDER", options->folder, "The game's data folder (Arena2)")->required();
    CLI::Option* effects = cmd->add_option("--effects", options->run.effectsPath,
                                           "Folder for the effects (none: no effects)");
    CLI::Option* songs =
        cmd->add_option("--songs", options->run.songsPath, "Folder for the songs (none: no songs)");
    cmd->add_option("--work", options->work,
                    "Work folder, where a missing sound archive is rebuilt (default: current)");
    cmd->callback([options, effects, songs, &action] {
        options->run.allEffects = effects->count() > 0;
        options->run.allSongs = songs->count() > 0;
        action = [options] { return RunExport(*options); };
    });
}

} // namespace sv
