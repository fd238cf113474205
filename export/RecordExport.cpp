#include "RecordExport.h"

#include "archive/Extraction.h"
#include "io/Paths.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>
#include <vector>

namespace sv {
namespace {

struct KnownExtension {
    std::string_view extension;
    bool song;
    bool effect;
    RecordForm form;
};

using Is = RecordForm::Is;

// In the order a message lists them.
constexpr std::array kExtensions = {
    KnownExtension{".mid", true, false, {Is::Application, SoundFileType::Unknown}},
    KnownExtension{".hmi", true, false, {Is::Application, SoundFileType::Unknown}},
    KnownExtension{".wav", true, false, {Is::Rendered, SoundFileType::Wav}},
    KnownExtension{".wav", false, true, {Is::Application, SoundFileType::Unknown}},
    KnownExtension{".raw", false, true, {Is::Application, SoundFileType::Unknown}},
    KnownExtension{".flac", true, true, {Is::Rendered, SoundFileType::Flac}},
    KnownExtension{".ogg", true, true, {Is::Rendered, SoundFileType::Ogg}},
};

bool Fits(const KnownExtension& known, RecordKind kind) {
    return kind == RecordKind::Song ? known.song : known.effect;
}

// The file name's extension in lower case, dot included; empty when it has none.
std::string ExtensionOf(const std::string& path) {
    const std::size_t sep = LastSeparator(path);
    const std::string name = path.substr(sep == std::string::npos ? 0 : sep + 1);
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? std::string() : AsciiLower(name.substr(dot));
}

// The record's bytes; an effect's samples wrapped as the WAV file extraction writes.
std::vector<std::uint8_t> RecordFile(BsaArchive& archive, RecordKind kind, int index) {
    const std::uint32_t size = archive.RecordSize(index);
    const std::size_t header = kind == RecordKind::Effect ? kWavHeaderSize : 0;
    std::vector<std::uint8_t> file(header + size);
    if (size > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max()) ||
        !archive.ReadRecord(index, file.data() + header, size)) {
        file.resize(header);
    }
    if (kind == RecordKind::Effect) {
        const auto wav = WavHeader(static_cast<std::uint32_t>(file.size() - header));
        std::copy(wav.begin(), wav.end(), file.begin());
    }
    return file;
}

} // namespace

RecordForm FormFor(RecordKind kind, const std::string& path) {
    const std::string extension = ExtensionOf(path);
    if (path == "-" || extension.empty()) {
        return {};
    }
    for (const KnownExtension& known : kExtensions) {
        if (Fits(known, kind) && known.extension == extension) {
            return known.form;
        }
    }
    return {Is::Unknown, SoundFileType::Unknown};
}

std::string KnownExtensions(RecordKind kind) {
    std::vector<std::string_view> names;
    for (const KnownExtension& known : kExtensions) {
        if (Fits(known, kind)) {
            names.push_back(known.extension);
        }
    }
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        text += i == 0 ? "" : (i + 1 == names.size() ? " or " : ", ");
        text += names[i];
    }
    return text;
}

RenderResult RenderRecord(GameData& data, RecordKind kind, int index,
                          const RenderSettings& settings, const std::string& path,
                          SoundFileType type, ProgressControl* progress) {
    const bool song = kind == RecordKind::Song;
    BsaArchive& archive = song ? data.songArchive : data.soundArchive;
    const std::string name =
        "record " + std::to_string(index) + " of " + (song ? "midi.bsa" : "wyvern.snd");
    return RenderSound(RecordFile(archive, kind, index), song, name, settings, path, type,
                       progress);
}

} // namespace sv
