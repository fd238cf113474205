// convert INPUT OUTPUT: one HMI song file to a Standard MIDI File. Nothing is left at OUTPUT
// unless the whole song converted and was written. The song is converted in memory and written
// in one go, so OUTPUT may be "-" (standard output) or a pipe, which cannot seek.
#include "Cli.h"
#include "decode/SongConverter.h"
#include "io/File.h"
#include "io/OutputFile.h"

namespace sv {
namespace {

struct ConvertOptions {
    std::string input;
    std::string output;
};

int RunConvert(const ConvertOptions& options) {
    std::vector<std::uint8_t> song;
    if (const Status read = ReadWholeFile(options.input, song); !read) {
        Fail(read.Message());
        return kFailed;
    }
    if (!MakeFolderFor(options.output)) {
        return kFailed;
    }
    OutputFile output;
    if (const Status created = output.Create(options.output); !created) {
        Fail(created.Message());
        return kFailed;
    }
    std::vector<std::uint8_t> midi;
    SongConverter converter;
    if (converter.Convert(song, midi) < 0) {
        output.Discard();
        Fail("\"" + options.input + "\" is not an HMI song that converts.");
        return kFailed;
    }
    (void)output.Write(midi.data(), midi.size()); // a failed write is Commit's to report
    if (const Status written = output.Commit(); !written) {
        Fail(written.Message());
        return kFailed;
    }
    return kDone;
}

} // namespace

void AddConvertCommand(CLI::App& app, Action& action) {
    auto options = std::make_shared<ConvertOptions>();
    CLI::App* cmd =
        app.add_subcommand("convert", "Convert an HMI song file to a Standard MIDI File");
    cmd->add_option("INPUT", options->input, "The HMI song")->required();
    cmd->add_option("OUTPUT", options->output, "The MIDI file to write; - for standard output")
        ->required();
    cmd->callback([options, &action] { action = [options] { return RunConvert(*options); }; });
}

} // namespace sv
