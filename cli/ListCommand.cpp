// list FOLDER [--work DIR] [--verbose]: what the main window's tree shows, one tab-separated line
// per item.
#include "Cli.h"
#include "archive/GameData.h"
#include "archive/Listing.h"

#include <iostream>

namespace sv {
namespace {

struct ListOptions {
    std::string folder;
    FolderOptions open;
};

void Print(const std::vector<ListedRecord>& records, const char* kind) {
    for (const ListedRecord& r : records) {
        std::cout << kind << '\t' << r.index << '\t' << r.name << '\t' << r.size << '\n';
    }
}

int RunList(const ListOptions& options) {
    TerminalProgress progress("Rebuilding wyvern.snd");
    GameData data;
    if (const int status = OpenGameFolder(data, options.folder, options.open, progress);
        status != kDone) {
        return status;
    }
    Print(ListEffects(data), "effect");
    Print(ListSongs(data), "song");
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
