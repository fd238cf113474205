// sonvault-demo: writes the demo game folder (see DemoData.h).
#include "DemoData.h"

#include <CLI/CLI.hpp>
#include <iostream>

int main(int argc, char** argv) {
    CLI::App app{"Writes a synthesized demo game folder (\"MIDI.BSA\" and \"WYVERN.SND\").",
                 "sonvault-demo"};
    std::string folder;
    demo::Options options;
    app.add_option("FOLDER", folder, "The folder to write (created when missing)")->required();
    app.add_flag("--full", options.full, "Full size: about 130 songs and 450 effects (~10 MB)");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int status = app.exit(e);
        return status == 0 ? 0 : 64;
    }
    if (!demo::WriteDemoFolder(folder, options)) {
        std::cerr << "Failed to write the demo folder " << folder << ".\n";
        return 1;
    }
    return 0;
}
