// render INPUT OUTPUT [--soundfont FILE] [--rate HZ] [--loops N] [--fade SECONDS]: a song or an
// effect as an audio file, rendered faster than real time, played N times with its end faded. An
// ".hmi" song is converted to MIDI in memory first. Songs are played through the General MIDI
// SoundFont of the system unless --soundfont names another; the output's extension picks WAV, FLAC
// or Ogg Vorbis.
#include "Cli.h"
#include "audio/MidiRenderer.h"
#include "audio/PlaybackEngine.h"
#include "audio/SoundFileWriter.h"
#include "audio/WavRenderer.h"
#include "decode/SongConverter.h"
#include "io/File.h"
#include "io/Paths.h"

#include <cmath>

namespace sv {
namespace {

struct RenderOptions {
    std::string input;
    std::string output;
    std::string soundFont;
    int rate = kDefaultRate;
    sv::SongShape shape;
};

std::shared_ptr<Synthesizer> LoadSoundFont(const RenderOptions& options) {
    const std::string path = options.soundFont.empty() ? FindDefaultSoundFont() : options.soundFont;
    auto synth = path.empty() ? nullptr : Synthesizer::Load(path, options.rate);
    if (!synth) {
        Fail(SoundFontFailure(options.soundFont));
    }
    return synth;
}

bool IsHmiName(const std::string& path) {
    const std::string lower = sv::AsciiLower(path);
    return lower.size() > 4 && lower.compare(lower.size() - 4, 4, ".hmi") == 0;
}

int RunRender(const RenderOptions& options) {
    const SoundFileType type = SoundFileTypeFor(options.output);
    if (type == SoundFileType::Unknown) {
        Fail("Unknown output format for \"" + options.output + "\": use .wav, .flac or .ogg.");
        return kFailed;
    }
    std::vector<std::uint8_t> bytes;
    if (const Status read = ReadWholeFile(options.input, bytes); !read) {
        Fail(read.Message());
        return kFailed;
    }
    if (IsHmiName(options.input)) {
        std::vector<std::uint8_t> midi;
        SongConverter converter;
        if (converter.Convert(bytes, midi) < 0) {
            Fail("Cannot render \"" + options.input + "\": it is not an HMI song that converts.");
            return kFailed;
        }
        bytes = std::move(midi);
    }

    std::unique_ptr<Renderer> renderer;
    LoadError error = LoadError::None;
    switch (DetectKind(bytes)) {
    case FileKind::Midi: {
        auto synth = LoadSoundFont(options);
        if (!synth) {
            return kFailed;
        }
        renderer = MidiRenderer::Create(std::move(synth), std::move(bytes), error);
        break;
    }
    case FileKind::Wav:
        renderer = WavRenderer::Create(bytes, options.rate, error);
        break;
    case FileKind::None:
        error = LoadError::UnknownFormat;
        break;
    }
    if (!renderer) {
        Fail("Cannot render \"" + options.input + "\": " + Describe(error));
        return kFailed;
    }

    if (!MakeFolderFor(options.output)) {
        return kFailed;
    }
    TerminalProgress progress("Rendering");
    const Status written =
        RenderToFile(*renderer, options.rate, options.shape, options.output, type, &progress);
    if (!written) {
        Fail(written.Message());
        return kFailed;
    }
    return kDone;
}

} // namespace

void AddRenderCommand(CLI::App& app, Action& action) {
    auto options = std::make_shared<RenderOptions>();
    CLI::App* cmd = app.add_subcommand(
        "render",
        "Render a song (.mid, .hmi) or an effect (.wav) to a WAV, FLAC or Ogg Vorbis file");
    cmd->add_option("INPUT", options->input, "A Standard MIDI File, an HMI song or a WAV file")
        ->required();
    cmd->add_option("OUTPUT", options->output, "The file to write: .wav, .flac or .ogg")
        ->required();
    cmd->add_option("--soundfont", options->soundFont,
                    "SoundFont (.sf2) for songs (default: the system's General MIDI SoundFont)");
    cmd->add_option("--rate", options->rate, "Sample rate in Hz (default 44100)")
        ->check(CLI::Range(8000, 192000));
    AddShapeOptions(*cmd, options->shape);
    cmd->callback([options, &action] { action = [options] { return RunRender(*options); }; });
}

} // namespace sv
