// Writing one record to a file: a song as its raw HMI bytes or converted to a Standard MIDI File,
// an effect as its raw bytes or as a WAV file (8-bit mono PCM at 11025 Hz, 44-byte header).
//
// Every file goes through OutputFile, so nothing is left half-written and an existing file
// of the same name survives a failure. With conversion on, the record is converted in memory:
// no raw ".hmi" file is ever written beside the target, so none can be left behind.
#include "Extraction.h"

#include "GameData.h"
#include "decode/SongConverter.h"
#include "io/ByteCursor.h"
#include "io/File.h"
#include "io/OutputFile.h"
#include "io/Paths.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <limits>
#include <new>
#include <string_view>
#include <vector>

namespace sv {

namespace {

std::string ReplaceAll(std::string text, std::string_view from, std::string_view to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

bool EndsWith(std::string_view text, std::string_view ending) {
    return text.size() >= ending.size() && text.substr(text.size() - ending.size()) == ending;
}

// Applies `rename` to the lower-cased file name and puts the folder back as it was.
template <typename Rename> std::string RenameFile(const std::string& path, Rename rename) {
    const std::size_t sep = LastSeparator(path);
    const std::size_t nameStart = sep == std::string::npos ? 0 : sep + 1;
    return path.substr(0, nameStart) + rename(AsciiLower(std::string_view(path).substr(nameStart)));
}

} // namespace

std::string RawSongPath(const std::string& path) {
    return RenameFile(path, [](std::string name) {
        return EndsWith(name, ".mid") ? ReplaceAll(std::move(name), ".mid", ".hmi") : name;
    });
}

std::string MidiSongPath(const std::string& path) {
    return RenameFile(path, [](std::string name) {
        return EndsWith(name, ".hmi") ? ReplaceAll(std::move(name), ".hmi", ".mid") : name;
    });
}

std::string WavEffectPath(const std::string& path) {
    return RenameFile(path,
                      [](std::string name) { return ReplaceAll(std::move(name), ".raw", ".wav"); });
}

namespace {

// The record's bytes. A closed archive gives none (its sizes are all 0). Fails for an index
// outside the archive, a record that reaches past the end of the file, or a failed allocation:
// nothing is ever allocated beyond the bytes the file holds.
Status ReadWholeRecord(BsaArchive& archive, int index, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    if (!archive.IsOpen()) {
        return {};
    }
    const std::string record = "record " + std::to_string(index);
    const std::uint32_t size = archive.RecordSize(index);
    if (index < 0 || index >= archive.RecordCount()) {
        return Status::ReadFailed(archive.Path(), record + " does not exist");
    }
    // ReadRecord compares sizes as signed 32-bit numbers.
    if (!archive.RecordWithinFile(index) ||
        size > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max())) {
        return Status::ReadFailed(archive.Path(), record + " reaches past the end of the file");
    }
    try {
        bytes.resize(size);
    } catch (const std::bad_alloc&) {
        return Status::ReadError(archive.Path(), ENOMEM);
    }
    if (!archive.ReadRecord(index, bytes.data(), size)) {
        return Status::ReadFailed(archive.Path(), record + " cannot be read");
    }
    return {};
}

} // namespace

Status GameData::ExtractSong(int index, const std::string& path, bool convert) {
    const Result<Extraction> result = ExtractSongFile(index, path, convert);
    return result ? Status() : result.Error();
}

Result<GameData::Extraction> GameData::ExtractSongFile(int index, const std::string& path,
                                                       bool convert) {
    std::vector<std::uint8_t> record;
    if (Status read = ReadWholeRecord(songArchive, index, record); !read) {
        return read;
    }
    if (!convert) {
        if (Status written = WriteWholeFile(RawSongPath(path), record.data(), record.size());
            !written) {
            return written;
        }
        return Extraction::Written;
    }

    OutputFile midi;
    if (Status created = midi.Create(MidiSongPath(path)); !created) {
        return created;
    }
    std::vector<std::uint8_t> converted;
    SongConverter converter;
    if (converter.Convert(record, converted) < 0) {
        midi.Discard();
        return Extraction::NotConverted;
    }
    (void)midi.Write(converted.data(), converted.size()); // a failed write is Commit's to report
    if (Status committed = midi.Commit(); !committed) {
        return committed;
    }
    return Extraction::Written;
}

Status GameData::ExtractEffect(int index, const std::string& path, bool asWav) {
    std::vector<std::uint8_t> record;
    if (Status read = ReadWholeRecord(soundArchive, index, record); !read) {
        return read;
    }
    if (asWav) {
        return WriteWav(record.data(), static_cast<std::uint32_t>(record.size()),
                        WavEffectPath(path));
    }
    return WriteWholeFile(path, record.data(), record.size());
}

std::array<std::uint8_t, kWavHeaderSize> WavHeader(std::uint32_t count) {
    std::array<std::uint8_t, kWavHeaderSize> header = {
        'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 0,   0,   0,   0,
        0,   0,   0,   0,   0, 0, 0, 0, 0,   0,   0,   0,   0,   0,   0,   0,   'd', 'a', 't', 'a'};
    StoreLE32(header.data() + 4, count + 36); // no pad byte follows an odd count
    StoreLE32(header.data() + 16, 16);
    StoreLE16(header.data() + 20, 1); // PCM
    StoreLE16(header.data() + 22, 1); // mono
    StoreLE32(header.data() + 24, 11025);
    StoreLE32(header.data() + 28, 11025);
    StoreLE16(header.data() + 32, 1);
    StoreLE16(header.data() + 34, 8);
    StoreLE32(header.data() + 40, count);
    return header;
}

Status GameData::WriteWav(const std::uint8_t* samples, std::uint32_t count,
                          const std::string& path) {
    const auto header = WavHeader(count);
    OutputFile out;
    if (Status created = out.Create(path); !created) {
        return created;
    }
    (void)(out.Write(header.data(), header.size()) && out.Write(samples, count));
    return out.Commit();
}

} // namespace sv
