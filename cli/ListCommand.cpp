// list FOLDER [--work DIR] [--verbose]: what the main window's tree shows, one tab-separated line
// per item.
#include "Cli.h"
#include "archive/GameData.h"

#include <iostream>

namespace sv {
namespace {

struct ListOptions {
    std::string folder;
    FolderOptions open;
};

void PrintArchive(const BsaArchive& archive, const char* kind, bool skipTavern) {
    for (int i = 0; i < archive.RecordCount(); ++i) {
        std::string name;
        archive.RecordName(i, 16, name);
        if (skipTavern && name == "TAVERN.HMI") {
            continue;
        }
        std::cout << kind << '\t' << i << '\t' << name << '\t' << archive.RecordSize(i) << '\n';
    }
}

int RunList(const ListOptions& options) {
    TerminalProgress progress("Rebuilding wyvern.snd");
    GameData data;
    if (const int status = OpenGameFolder(data, options.folder, options.open, progress);
        status != kDone) {
        return status;
    }
    PrintArchive(data.soundArchive, "effect", false);
    PrintArchive(data.songArchive, "song", true);
    std::cout.flush();
    return std::cout ? kDone : kFailed;
}

} // namespace

void AddListCommand(CLI::App& app, Action& action) {
    auto options = std::make_shared<ListOptions>();
    CLI::App* cmd = app.add_subcommand("list", "List the effects and songs of a game folder");
    cmd->add_option("FOLDER", options->folder, "The game's data folder (Arena2)")->required();
    AddFolderOptions(*cmd, options->open);
    cmd->callback([options, &action] { action = [options] { return RunList(*options); }; });
}

} // namespace sv
