// Writes the demo folder's two archives in the game's BSA format: a 4-byte header (i16 record
// count, i16 directory type: 0x100 for 18-byte name entries, anything else for 8-byte number
// entries), the records back to back from offset 4, and the directory at the end of the file.
#include "DemoData.h"

#include "Catalog.h"
#include "io/OutputFile.h"
#include "io/Paths.h"

#include <filesystem>
#include <system_error>

namespace demo {

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t kNameDirectory = 0x100;
constexpr std::uint16_t kNumberDirectory = 0x200;

void Put16(Bytes& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void Put32(Bytes& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
}

// The directory entries are passed in already encoded, one per record.
bool WriteBsa(const std::string& path, std::uint16_t type, const std::vector<Bytes>& records,
              const std::vector<Bytes>& entries) {
    Bytes file;
    Put16(file, static_cast<std::uint16_t>(records.size()));
    Put16(file, type);
    for (const Bytes& r : records) {
        file.insert(file.end(), r.begin(), r.end());
    }
    for (const Bytes& e : entries) {
        file.insert(file.end(), e.begin(), e.end());
    }
    return sv::WriteWholeFile(path, file.data(), file.size()).Ok();
}

bool WriteSongs(const std::string& path, bool full) {
    const std::vector<std::string> names = SongNames(full);
    std::vector<Bytes> records;
    std::vector<Bytes> entries;
    for (std::size_t i = 0; i < names.size(); ++i) {
        records.push_back(MakeSong(static_cast<int>(i), full));
        Bytes entry(14, 0);
        std::copy(names[i].begin(), names[i].end(), entry.begin());
        Put32(entry, static_cast<std::uint32_t>(records.back().size()));
        entries.push_back(std::move(entry));
    }
    return WriteBsa(path, kNameDirectory, records, entries);
}

bool WriteEffects(const std::string& path, bool full) {
    const std::vector<std::int32_t> numbers = EffectNumbers(full);
    std::vector<Bytes> records;
    std::vector<Bytes> entries;
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        records.push_back(MakeEffect(static_cast<int>(i), full));
        Bytes entry;
        Put32(entry, static_cast<std::uint32_t>(numbers[i]));
        Put32(entry, static_cast<std::uint32_t>(records.back().size()));
        entries.push_back(std::move(entry));
    }
    return WriteBsa(path, kNumberDirectory, records, entries);
}

} // namespace

std::vector<std::string> SongNames(bool full) {
    std::vector<std::string> names;
    for (const SongEntry& e : SongEntries(full)) {
        names.push_back(e.name);
    }
    return names;
}

std::vector<std::int32_t> EffectNumbers(bool full) {
    std::vector<std::int32_t> numbers;
    for (const EffectEntry& e : EffectEntries(full)) {
        numbers.push_back(e.number);
    }
    return numbers;
}

bool WriteDemoFolder(const std::string& folder, const Options& options) {
    std::error_code error;
    std::filesystem::create_directories(sv::ToPath(folder), error);
    if (error) {
        return false;
    }
    return WriteSongs(sv::JoinPath(folder, "MIDI.BSA"), options.full) &&
           WriteEffects(sv::JoinPath(folder, "WYVERN.SND"), options.full);
}

} // namespace demo
