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

    cli::Action action;
    cli::AddListCommand(app, action);
    cli::AddConvertCommand(app, action);
    cli::AddExtractCommand(app, action);
    cli::AddExportCommand(app, action);
    cli::AddExplodeCommand(app, action);
    cli::AddRebuildCommand(app, action);
    cli::AddRenderCommand(app, action);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int status = app.exit(e);
        return status == 0 ? cli::kDone : cli::kUsage;
    }

    try {
        return action ? action() : cli::kUsage;
    } catch (const std::exception& e) {
        cli::Fail(e.what());
        return cli::kFailed;
    }
}
