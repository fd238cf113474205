#include "SoundFileWriter.h"

#include "SoundMemory.h"
#include "VorbisComments.h"
#include "io/OutputFile.h"
#include "io/Paths.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sndfile.h>

namespace sv {
namespace {

int FormatOf(SoundFileType type) {
    switch (type) {
    case SoundFileType::Wav:
        return SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    case SoundFileType::Flac:
        return SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    case SoundFileType::Ogg:
        return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    case SoundFileType::Unknown:
        break;
    }
    return 0;
}

void SetStrings(SNDFILE* file, const SoundTags& tags) {
    const std::pair<int, const std::string*> fields[] = {{SF_STR_TITLE, &tags.title},
                                                         {SF_STR_ALBUM, &tags.album},
                                                         {SF_STR_TRACKNUMBER, &tags.trackNumber},
                                                         {SF_STR_COMMENT, &tags.comment}};
    for (const auto& [field, text] : fields) {
        // A format without room for a field refuses it; the sound is still written.
        if (!text->empty()) {
            (void)sf_set_string(file, field, text->c_str());
        }
    }
}

// The samples as the file's 16-bit steps; the limiter has kept them within full scale.
bool WriteShorts(SNDFILE* file, std::span<const float> samples) {
    constexpr std::size_t kBlock = 8192;
    std::vector<short> block(kBlock);
    for (std::size_t at = 0; at < samples.size(); at += kBlock) {
        const std::size_t n = std::min(kBlock, samples.size() - at);
        for (std::size_t i = 0; i < n; ++i) {
            const float s = std::clamp(samples[at + i], -1.0f, 1.0f);
            block[i] = static_cast<short>(std::lrint(s * 32767.0f));
        }
        if (sf_write_short(file, block.data(), static_cast<sf_count_t>(n)) !=
            static_cast<sf_count_t>(n)) {
            return false;
        }
    }
    return true;
}

} // namespace

SoundFileType SoundFileTypeFor(const std::string& path) {
    const std::string lower = sv::AsciiLower(path);
    const auto endsWith = [&lower](std::string_view ext) {
        return lower.size() > ext.size() &&
               lower.compare(lower.size() - ext.size(), ext.size(), ext) == 0;
    };
    if (endsWith(".wav")) {
        return SoundFileType::Wav;
    }
    if (endsWith(".flac")) {
        return SoundFileType::Flac;
    }
    if (endsWith(".ogg") || endsWith(".oga")) {
        return SoundFileType::Ogg;
    }
    return SoundFileType::Unknown;
}

const char* ExtensionOf(SoundFileType type) {
    switch (type) {
    case SoundFileType::Wav:
        return ".wav";
    case SoundFileType::Flac:
        return ".flac";
    case SoundFileType::Ogg:
        return ".ogg";
    case SoundFileType::Unknown:
        break;
    }
    return "";
}

bool EncodeSound(std::span<const float> samples, int rate, SoundFileType type,
                 const SoundTags& tags, std::vector<std::uint8_t>& out) {
    out.clear();
    if (FormatOf(type) == 0) {
        return false;
    }
    SoundMemory memory(out);
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = kChannels;
    info.format = FormatOf(type);
    SNDFILE* file = memory.Open(SFM_WRITE, info);
    if (file == nullptr) {
        return false;
    }
    SetStrings(file, tags);
    bool ok = true;
    if (type == SoundFileType::Ogg) {
        // In blocks: the Vorbis encoder takes its analysis buffer from the stack, and a whole
        // song at once overflows it.
        constexpr sf_count_t kBlockFrames = 4096;
        const auto frames = static_cast<sf_count_t>(samples.size() / kChannels);
        for (sf_count_t at = 0; ok && at < frames; at += kBlockFrames) {
            const sf_count_t n = std::min(kBlockFrames, frames - at);
            ok = sf_writef_float(file, samples.data() + at * kChannels, n) == n;
        }
    } else {
        ok = WriteShorts(file, samples);
    }
    ok = sf_close(file) == 0 && ok;
    // libsndfile numbers an Ogg stream at random; the comments pass numbers it by the track, so
    // that the same song gives the same bytes.
    if (ok && type != SoundFileType::Wav) {
        const std::uint32_t serial =
            static_cast<std::uint32_t>(std::strtoul(tags.trackNumber.c_str(), nullptr, 10)) + 1;
        ok = sv::AddVorbisComments(out, type == SoundFileType::Ogg, tags.extra, serial);
    }
    return ok;
}

Status RenderToFile(Renderer& renderer, int rate, const sv::SongShape& shape,
                    const std::string& path, SoundFileType type, ProgressControl* progress) {
    if (FormatOf(type) == 0) {
        return Status::WriteFailed(path, "no sound file format has that extension");
    }
    sv::OutputFile out;
    // The target is checked before the rendering, which may take a while.
    if (Status created = out.Create(path); !created) {
        return created;
    }
    std::vector<float> samples = sv::RenderWhole(renderer, rate, shape, progress, nullptr);
    sv::LimitPeaks(samples, rate);
    std::vector<std::uint8_t> bytes;
    if (!EncodeSound(samples, rate, type, {}, bytes)) {
        return Status::WriteFailed(path, "the sound could not be encoded");
    }
    (void)out.Write(bytes.data(), bytes.size()); // a failed write is Commit's to report
    return out.Commit();
}

} // namespace sv
