// render INPUT OUTPUT [--soundfont FILE] [--rate HZ]: a song or an effect as an audio file,
// rendered faster than real time. An ".hmi" song is converted to MIDI in memory first. Songs are
// played through the General MIDI SoundFont of the system unless --soundfont names another; the
// output's extension picks WAV, FLAC or Ogg Vorbis.
#include "Cli.h"
#include "audio/MidiRenderer.h"
#include "audio/PlaybackEngine.h"
#include "audio/SoundFileWriter.h"
#include "audio/WavRenderer.h"
#include "decode/SongConverter.h"
#include "io/File.h"
#include "io/Paths.h"

#include <cerrno>
#include <cmath>

namespace sv {
namespace {

struct RenderOptions {
    std::string input;
    std::string output;
    std::string soundFont;
    int rate = kDefaultRate;
};

std::shared_ptr<Synthesizer> LoadSoundFont(const RenderOptions& options) {
    if (!options.soundFont.empty()) {
        auto synth = Synthesizer::Load(options.soundFont, options.rate);
        if (!synth) {
            Fail("Cannot load the SoundFont \"" + options.soundFont + "\".");
        }
        return synth;
    }
    const std::string found = FindDefaultSoundFont();
    auto synth = found.empty() ? nullptr : Synthesizer::Load(found, options.rate);
    if (!synth) {
        std::string places;
        for (const std::string& path : DefaultSoundFontCandidates()) {
            places += (places.empty() ? "" : ", ") + path;
        }
        Fail("No General MIDI SoundFont could be loaded (looked for " + places +
             "); name one with --soundfont.");
    }
    return synth;
}

bool IsHmiName(const std::string& path) {
    const std::string lower = AsciiLower(path);
    return lower.size() > 4 && lower.compare(lower.size() - 4, 4, ".hmi") == 0;
}

int RunRender(const RenderOptions& options) {
    const SoundFileType type = SoundFileTypeFor(options.output);
    if (type == SoundFileType::Unknown) {
        Fail("Unknown output format for \"" + options.output + "\": use .wav, .flac or .ogg.");
        return kFailed;
    }
    std::vector<std::uint8_t> bytes;
    errno = 0;
    if (!ReadWholeFile(options.input, bytes)) {
        CannotRead(options.input, errno != 0 ? errno : EIO);
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
    const auto expected =
        static_cast<std::uint64_t>(std::llround(renderer->Duration() * options.rate));
    errno = 0;
    if (RenderToFile(*renderer, options.rate, expected, options.output, type, &progress) ==
        WriteResult::Done) {
        return kDone;
    }
    CannotWrite(options.output, errno != 0 ? errno : EIO);
    return kFailed;
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
    cmd->callback([options, &action] { action = [options] { return RunRender(*options); }; });
}

} // namespace sv
