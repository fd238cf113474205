// sonvault-cli: the game's songs and sound effects from the command line. main only parses,
// dispatches and turns errors into exit statuses; each command lives in a file of its own.
#include "Cli.h"

#include <exception>
#include <iostream>
#include <string>

namespace {

// CLI11 reads an unknown first word as a missing subcommand and never names it; this names it.
// Empty when the word is a command or an option of the tool's own.
std::string UnknownFirstWord(const CLI::App& app, const std::string& word) {
    if (word == "-h" || word == "--help" || word == "--version") {
        return {};
    }
    if (!word.empty() && word[0] == '-') {
        return "Unknown option \"" + word + "\".";
    }
    for (const CLI::App* command : app.get_subcommands([](const CLI::App*) { return true; })) {
        if (command->get_name() == word) {
            return {};
        }
    }
    return "Unknown command \"" + word + "\".";
}

} // namespace

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
    // After the commands, which would inherit it.
    app.footer("Run sonvault-cli COMMAND --help for the arguments of a command.");

    if (argc > 1) {
        if (const std::string unknown = UnknownFirstWord(app, argv[1]); !unknown.empty()) {
            std::cerr << unknown << "\nRun with --help for the commands.\n";
            return sv::kUsage;
        }
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int status = app.exit(e);
        return status == 0 ? sv::kDone : sv::kUsage;
    }

    sv::InstallInterruptHandlers();
    try {
        return action ? action() : sv::kUsage;
    } catch (const std::exception& e) {
        sv::Fail(e.what());
        return sv::kFailed;
    }
}
