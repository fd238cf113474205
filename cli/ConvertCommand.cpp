// convert INPUT OUTPUT: one HMI song file to a Standard MIDI File. Nothing is left at OUTPUT
// unless the whole song converted and was written. The song is converted in memory and written
// in one go, so OUTPUT may be "-" (standard output) or a pipe, which cannot seek.
#include "Cli.h"
#include "decode/SongConverter.h"
#include "io/File.h"
#include "io/OutputFile.h"
#include "io/Paths.h"

#include <cerrno>
#include <filesystem>
#include <vector>

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
    // The converter reads no more than its input capacity.
    std::vector<std::uint8_t> song(SongConverter::kInputCapacity);
    errno = 0;
    song.resize(std::fread(song.data(), 1, song.size(), input.get()));
    if (std::ferror(input.get()) != 0) {
        const int error = errno != 0 ? errno : EIO;
        output.Discard();
        CannotRead(options.input, error);
        return kFailed;
    }
    std::vector<std::uint8_t> midi;
    SongConverter converter;
    if (converter.Convert(song, midi) < 0) {
        output.Discard();
        Fail("\"" + options.input + "\" is not an HMI song that converts.");
        return kFailed;
    }
    errno = 0;
    if (!output.Write(midi.data(), midi.size()) || !output.Commit()) {
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
    cmd->add_option("OUTPUT", options->output, "The MIDI file to write; - for standard output")
        ->required();
    cmd->callback([options, &action] { action = [options] { return RunConvert(*options); }; });
}

} // namespace sv
