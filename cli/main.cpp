// sonvault-cli: the game's songs and sound effects from the command line. main only parses,
// dispatches and turns errors into exit statuses; each command lives in a file of its own.
#include "Cli.h"

#include <exception>
#include <iostream>

int main(int argc, char** argv) {
    CLI::App app{"Browse, convert and export the music and sound effects of Tarnholm.",
                 "sonvault-cli"};
    app.set_version_flag("--version", "sonvault-cli 1.0.0.1");
    app.require_subcommand(1);

    sv::Action action;
    sv::AddListCommand(app, action);
    sv::AddConvertCommand(app, action);
    sv::AddExtractCommand(app, action);
    sv::AddExportCommand(app, action);
    sv::AddExplodeCommand(app, action);
    sv::AddRebuildCommand(app, action);
    sv::AddRenderCommand(app, action);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int status = app.exit(e);
        return status == 0 ? sv::kDone : sv::kUsage;
    }

    try {
        return action ? action() : sv::kUsage;
    } catch (const std::exception& e) {
        sv::Fail(e.what());
        return sv::kFailed;
    }
}
