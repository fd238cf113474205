#include "SoundRender.h"

#include "audio/PlaybackEngine.h"
#include "audio/Synthesizer.h"
#include "decode/SongConverter.h"
#include "io/File.h"
#include "io/Paths.h"
#include "io/Result.h"

#include <cerrno>
#include <filesystem>

namespace sv {
namespace {

RenderResult Stopped(RenderResult::Stop stop, std::string message) {
    return {stop, std::move(message)};
}

std::shared_ptr<Synthesizer> LoadSoundFont(const RenderSettings& settings, RenderResult& failure) {
    const std::string path =
        settings.soundFont.empty() ? FindDefaultSoundFont() : settings.soundFont;
    if (path.empty()) {
        std::string places;
        for (const std::string& candidate : DefaultSoundFontCandidates()) {
            places += (places.empty() ? "" : ", ") + candidate;
        }
        failure = Stopped(RenderResult::Stop::NoSoundFont,
                          "No General MIDI SoundFont could be loaded (looked for " + places + ").");
        return nullptr;
    }
    auto synth = Synthesizer::Load(path, settings.rate);
    if (!synth) {
        failure = Stopped(RenderResult::Stop::BadSoundFont, SoundFontProblem(path));
    }
    return synth;
}

} // namespace

std::string SoundFontProblem(const std::string& path) {
    std::error_code ec;
    const auto status = std::filesystem::status(ToPath(path), ec);
    if (ec) {
        return Status::ReadError(path, ec.value()).Message();
    }
    if (std::filesystem::is_directory(status)) {
        return Status::ReadError(path, EISDIR).Message();
    }
    // Only a regular file is opened: a named pipe would wait for a writer.
    if (std::filesystem::is_regular_file(status) && !OpenFile(path, "rb")) {
        return Status::ReadError(path, errno).Message();
    }
    return "\"" + path + "\" is not a SoundFont.";
}

std::unique_ptr<Renderer> OpenSound(std::vector<std::uint8_t> file, bool hmi,
                                    const std::string& name, const RenderSettings& settings,
                                    RenderResult& failure) {
    if (hmi) {
        std::vector<std::uint8_t> midi;
        SongConverter converter;
        if (converter.Convert(file, midi) < 0) {
            failure = Stopped(RenderResult::Stop::BadInput,
                              "Cannot render " + name + ": it is not an HMI song that converts.");
            return nullptr;
        }
        file = std::move(midi);
    }
    std::shared_ptr<Synthesizer> synth;
    if (DetectKind(file) == FileKind::Midi && settings.voice == SongVoice::SoundFont) {
        synth = LoadSoundFont(settings, failure);
        if (!synth) {
            return nullptr;
        }
    }
    LoadError error = LoadError::None;
    std::unique_ptr<Renderer> renderer =
        MakeRenderer(std::move(file), settings.voice, std::move(synth), settings.rate, error);
    if (!renderer) {
        failure =
            Stopped(RenderResult::Stop::BadInput, "Cannot render " + name + ": " + Describe(error));
    }
    return renderer;
}

RenderResult WriteSound(Renderer& renderer, const RenderSettings& settings,
                        const std::string& output, SoundFileType type, ProgressControl* progress,
                        const std::string& title) {
    SoundTags tags;
    tags.title = title;
    tags.comment = RenderingComment(renderer.Instrument(), settings.shape);
    const Status written =
        RenderToFile(renderer, settings.rate, settings.shape, output, type, progress, tags);
    if (written) {
        return {};
    }
    return Stopped(RenderResult::Stop::CannotWrite, written.Message());
}

RenderResult RenderSound(std::vector<std::uint8_t> file, bool hmi, const std::string& name,
                         const RenderSettings& settings, const std::string& output,
                         SoundFileType type, ProgressControl* progress) {
    RenderResult result;
    std::unique_ptr<Renderer> renderer = OpenSound(std::move(file), hmi, name, settings, result);
    return renderer ? WriteSound(*renderer, settings, output, type, progress) : result;
}

} // namespace sv
