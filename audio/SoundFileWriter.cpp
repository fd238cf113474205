#include "SoundFileWriter.h"

#include "io/File.h"
#include "io/OutputFile.h"
#include "io/Paths.h"

#include <algorithm>
#include <memory>
#include <sndfile.h>
#include <vector>

namespace sv {
namespace {

// libsndfile writes into the OutputFile's temporary file through these callbacks.
sf_count_t FileLength(void* user) {
    return sv::FileLength(static_cast<std::FILE*>(user));
}

sf_count_t FileSeek(sf_count_t offset, int whence, void* user) {
    auto* f = static_cast<std::FILE*>(user);
    std::int64_t target = offset;
    if (whence == SEEK_CUR) {
        target += Tell(f);
    } else if (whence == SEEK_END) {
        target += FileLength(f);
    }
    if (target < 0 || !SeekTo(f, static_cast<std::uint64_t>(target))) {
        return -1;
    }
    return target;
}

sf_count_t FileRead(void* out, sf_count_t count, void* user) {
    return static_cast<sf_count_t>(
        std::fread(out, 1, static_cast<std::size_t>(count), static_cast<std::FILE*>(user)));
}

sf_count_t FileWrite(const void* data, sf_count_t count, void* user) {
    return static_cast<sf_count_t>(
        std::fwrite(data, 1, static_cast<std::size_t>(count), static_cast<std::FILE*>(user)));
}

sf_count_t FileTell(void* user) {
    return Tell(static_cast<std::FILE*>(user));
}

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

int ProgressUnits(std::uint64_t frames) {
    return static_cast<int>(std::min<std::uint64_t>(frames / 1024, INT32_MAX));
}

} // namespace

SoundFileType SoundFileTypeFor(const std::string& path) {
    const std::string lower = AsciiLower(path);
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

WriteResult RenderToFile(Renderer& renderer, int rate, std::uint64_t expectedFrames,
                         const std::string& path, SoundFileType type, ProgressControl* progress) {
    OutputFile out;
    if (FormatOf(type) == 0 || !out.Create(path)) {
        return WriteResult::CannotCreate;
    }
    SF_VIRTUAL_IO io{FileLength, FileSeek, FileRead, FileWrite, FileTell};
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = kChannels;
    info.format = FormatOf(type);
    SNDFILE* file = sf_open_virtual(&io, SFM_WRITE, &info, out.Stream());
    if (file == nullptr) {
        return WriteResult::CannotCreate;
    }
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);

    if (progress != nullptr) {
        progress->SetRange(0, ProgressUnits(expectedFrames));
        progress->Show();
    }
    constexpr std::size_t kBlock = 4096;
    std::vector<float> block(kBlock * kChannels);
    std::uint64_t written = 0;
    bool ok = true;
    for (;;) {
        const std::size_t n = renderer.Render(block.data(), kBlock);
        if (n > 0 && sf_writef_float(file, block.data(), static_cast<sf_count_t>(n)) !=
                         static_cast<sf_count_t>(n)) {
            ok = false;
            break;
        }
        written += n;
        if (progress != nullptr) {
            progress->SetPos(ProgressUnits(std::min(written, expectedFrames)));
        }
        if (n < kBlock) {
            break;
        }
    }
    ok = sf_close(file) == 0 && ok;
    if (progress != nullptr) {
        progress->Hide();
    }
    if (!ok || !out.Commit()) {
        return WriteResult::WriteFailed;
    }
    return WriteResult::Done;
}

} // namespace sv
