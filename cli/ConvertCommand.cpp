// convert INPUT OUTPUT: one HMI song file to a Standard MIDI File. Nothing is left at OUTPUT
// unless the whole song converted and was written.
#include "Cli.h"
#include "decode/SongConverter.h"
#include "io/File.h"
#include "io/OutputFile.h"
#include "io/Paths.h"

#include <cerrno>
#include <filesystem>

namespace sv {
namespace {

struct ConvertOptions {
    std::string input;
    std::string output;
};

int RunConvert(const ConvertOptions& options) {
    errno = 0;
    FilePtr input = std::filesystem::is_directory(ToPath(options.input))
                        ? nullptr
                        : OpenFile(options.input, "rb");
    if (!input) {
        CannotRead(options.input, errno != 0 ? errno : EISDIR);
        return kFailed;
    }
    if (!MakeFolderFor(options.output)) {
        return kFailed;
    }
    OutputFile output;
    if (!output.Create(options.output)) {
        CannotWrite(options.output, errno);
        return kFailed;
    }
    SongConverter converter;
    errno = 0;
    const std::int32_t result = converter.Convert(input.get(), output.Stream());
    if (std::ferror(input.get()) != 0) {
        const int error = errno != 0 ? errno : EIO;
        output.Discard();
        CannotRead(options.input, error);
        return kFailed;
    }
    if (result < 0) {
        output.Discard();
        Fail("\"" + options.input + "\" is not an HMI song that converts.");
        return kFailed;
    }
    if (!output.Commit()) {
        CannotWrite(options.output, errno != 0 ? errno : EIO);
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
    cmd->add_option("OUTPUT", options->output, "The MIDI file to write")->required();
    cmd->callback([options, &action] { action = [options] { return RunConvert(*options); }; });
}

} // namespace sv
