// render INPUT OUTPUT [--format wav|flac|ogg] [--voice soundfont|fm] [--soundfont FILE]
// [--rate HZ] [--loops N] [--fade SECONDS]: a song or an effect as an audio file, rendered faster
// than real time, played N times with its end faded. An ".hmi" song is converted to MIDI in memory
// first. Songs are played through the General MIDI SoundFont of the system unless --soundfont names
// another, or on an emulated OPL3 FM chip with --voice fm.
// --format picks WAV, FLAC or Ogg Vorbis; without it the output's extension does, and "-"
// (standard output) gets WAV.
#include "Cli.h"
#include "export/SoundRender.h"
#include "io/File.h"
#include "io/Paths.h"

#include <cmath>

namespace sv {
namespace {

struct RenderOptions {
    std::string input;
    std::string output;
    SoundFileType format = SoundFileType::Unknown; // none given
    RenderSettings settings;
};

bool IsHmiName(const std::string& path) {
    const std::string lower = sv::AsciiLower(path);
    return lower.size() > 4 && lower.compare(lower.size() - 4, 4, ".hmi") == 0;
}

SoundFileType OutputType(const RenderOptions& options) {
    if (options.format != SoundFileType::Unknown) {
        return options.format;
    }
    return options.output == "-" ? SoundFileType::Wav : SoundFileTypeFor(options.output);
}

// The rendering's failure as the command says it.
int Failed(const RenderResult& result) {
    Fail(result.stop == RenderResult::Stop::NoSoundFont ? SoundFontFailure({}) : result.message);
    return kFailed;
}

int RunRender(const RenderOptions& options) {
    const SoundFileType type = OutputType(options);
    if (type == SoundFileType::Unknown) {
        Fail("Unknown output format for \"" + options.output + "\": use .wav, .flac or .ogg.");
        return kFailed;
    }
    std::vector<std::uint8_t> bytes;
    if (const Status read = ReadWholeFile(options.input, bytes); !read) {
        Fail(read.Message());
        return kFailed;
    }
    RenderResult result;
    const std::unique_ptr<Renderer> renderer =
        OpenSound(std::move(bytes), IsHmiName(options.input), "\"" + options.input + "\"",
                  options.settings, result);
    if (!renderer) {
        return Failed(result);
    }
    if (!MakeFolderFor(options.output)) {
        return kFailed;
    }
    TerminalProgress progress("Rendering");
    // Titled by the input's name, as the soundtrack's files are by their records'.
    result = WriteSound(*renderer, options.settings, options.output, type, &progress,
                        FromPath(ToPath(options.input).stem()));
    return result.Done() ? kDone : Failed(result);
}

} // namespace

void AddRenderOptions(CLI::App& command, RenderSettings& settings) {
    AddVoiceOption(command, settings.voice);
    command.add_option("--soundfont", settings.soundFont,
                       "SoundFont (.sf2) for songs (default: the system's General MIDI SoundFont)");
    command.add_option("--rate", settings.rate, "Sample rate in Hz (default 44100)")
        ->check(CLI::Range(8000, 192000));
    AddShapeOptions(command, settings.shape);
}

void AddRenderCommand(CLI::App& app, Action& action) {
    auto options = std::make_shared<RenderOptions>();
    CLI::App* cmd = app.add_subcommand(
        "render",
        "Render a song (.mid, .hmi) or an effect (.wav) to a WAV, FLAC or Ogg Vorbis file");
    cmd->add_option("INPUT", options->input, "A Standard MIDI File, an HMI song or a WAV file")
        ->required();
    cmd->add_option("OUTPUT", options->output,
                    "The file to write: .wav, .flac or .ogg; - for standard output")
        ->required();
    AddWordOption(*cmd, "--format", options->format,
                  {{"wav", SoundFileType::Wav},
                   {"flac", SoundFileType::Flac},
                   {"ogg", SoundFileType::Ogg}},
                  "wav, flac or ogg, whatever OUTPUT's extension (default: by the extension; "
                  "wav for -)");
    AddRenderOptions(*cmd, options->settings);
    cmd->callback([options, &action] { action = [options] { return RunRender(*options); }; });
}

} // namespace sv
