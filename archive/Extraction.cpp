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

// The record's bytes. A closed archive gives none (its sizes are all 0). False for an index
// outside the archive, a record that reaches past the end of the file, or a failed allocation:
// nothing is ever allocated beyond the bytes the file holds.
bool ReadWholeRecord(BsaArchive& archive, int index, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    if (!archive.IsOpen()) {
        return true;
    }
    const std::uint32_t size = archive.RecordSize(index);
    // ReadRecord compares sizes as signed 32-bit numbers.
    if (!archive.RecordWithinFile(index) ||
        size > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max())) {
        return false;
    }
    try {
        bytes.resize(size);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return archive.ReadRecord(index, bytes.data(), size);
}

} // namespace

bool GameData::ExtractSong(int index, const std::string& path, bool convert) {
    return ExtractSongFile(index, path, convert) != Extraction::Failed;
}

GameData::Extraction GameData::ExtractSongFile(int index, const std::string& path, bool convert) {
    std::vector<std::uint8_t> record;
    if (!ReadWholeRecord(songArchive, index, record)) {
        return Extraction::Failed;
    }
    if (!convert) {
        return WriteWholeFile(RawSongPath(path), record.data(), record.size()) ? Extraction::Written
                                                                               : Extraction::Failed;
    }

    OutputFile midi;
    if (!midi.Create(MidiSongPath(path))) {
        return Extraction::Failed;
    }
    std::vector<std::uint8_t> converted;
    SongConverter converter;
    if (converter.Convert(record, converted) < 0) {
        midi.Discard();
        return Extraction::NotConverted;
    }
    return midi.Write(converted.data(), converted.size()) && midi.Commit() ? Extraction::Written
                                                                           : Extraction::Failed;
}

bool GameData::ExtractEffect(int index, const std::string& path, bool asWav) {
    std::vector<std::uint8_t> record;
    if (!ReadWholeRecord(soundArchive, index, record)) {
        return false;
    }
    if (asWav) {
        return WriteWav(record.data(), static_cast<std::uint32_t>(record.size()),
                        WavEffectPath(path));
    }
    return WriteWholeFile(path, record.data(), record.size());
}

bool GameData::WriteWav(const std::uint8_t* samples, std::uint32_t count, const std::string& path) {
    std::uint8_t header[44] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm',
                               't', ' ', 0,   0,   0, 0, 0, 0, 0,   0,   0,   0,   0,   0,
                               0,   0,   0,   0,   0, 0, 0, 0, 'd', 'a', 't', 'a'};
    StoreLE32(header + 4, count + 36); // no pad byte follows an odd count
    StoreLE32(header + 16, 16);
    StoreLE16(header + 20, 1); // PCM
    StoreLE16(header + 22, 1); // mono
    StoreLE32(header + 24, 11025);
    StoreLE32(header + 28, 11025);
    StoreLE16(header + 32, 1);
    StoreLE16(header + 34, 8);
    StoreLE32(header + 40, count);

    OutputFile out;
    return out.Create(path) && out.Write(header, sizeof header) && out.Write(samples, count) &&
           out.Commit();
}

} // namespace sv
