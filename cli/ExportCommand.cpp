// export FOLDER [--effects DIR] [--songs DIR] [--work DIR] [--verbose]: the application's bulk
// export. Every effect as NAME.wav into the effects folder, every song but "TAVERN.HMI" as its
// lower-cased name with ".mid" into the songs folder; a summary line on standard error.
#include "Cli.h"
#include "archive/GameData.h"
#include "export/BulkExport.h"

#include <chrono>
#include <cstdio>
#include <cstring>

namespace sv {
namespace {

struct ExportOptions {
    std::string folder;
    FolderOptions open;
    BulkExportOptions run;
};

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
    {
        TerminalProgress progress("Exporting");
        result = BulkExport(data, options.run, progress);
    }
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;

    ReportPassedOver(result);
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
    CLI::Option* effects =
        cmd->add_option("--effects", options->run.effectsPath,
                        "Folder to write every effect into as NAME.wav; created when missing");
    CLI::Option* songs =
        cmd->add_option("--songs", options->run.songsPath,
                        "Folder to write every song into as name.mid; created when missing");
    AddFolderOptions(*cmd, options->open);
    cmd->callback([options, effects, songs, &action] {
        options->run.allEffects = effects->count() > 0;
        options->run.allSongs = songs->count() > 0;
        action = [options] { return RunExport(*options); };
    });
}

} // namespace sv
