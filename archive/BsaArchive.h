// The game's BSA archives: a 4-byte header (record count, directory type; little-endian, signed),
// the records' bytes back to back from offset 4, and a directory of fixed-size entries that fills
// the end of the file. Type 256 means 18-byte name entries (14 name bytes, u32 size); any other
// type means 8-byte number entries (u32 number, u32 size). Records are addressed only by index.
#pragma once

#include "io/File.h"
#include "io/Paths.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace sv {

struct BsaNameRecord {
    std::array<char, 14> name{};
    std::uint32_t size = 0;
};

struct BsaNumberRecord {
    std::uint32_t number = 0;
    std::uint32_t size = 0;
};

class BsaArchive {
public:
    BsaArchive() = default;
    virtual ~BsaArchive();
    BsaArchive(const BsaArchive&) = delete;
    BsaArchive& operator=(const BsaArchive&) = delete;

    // Opens folder + separator (unless the folder ends with one) + fileName and loads the whole
    // directory. Fails, leaving the archive closed, when the file cannot be opened, the count is
    // negative, or the directory would be larger than the file.
    bool Open(const std::string& folder, const std::string& fileName, bool readOnly);
    void Close();

    bool IsOpen() const { return isOpen; }
    // The file opened, its spelling found on disk; empty while closed.
    const std::string& Path() const { return filePath; }
    // 0 while closed.
    std::int32_t RecordCount() const { return recordCount; }
    // The entry's size field; 0 while closed or for an index outside the directory.
    std::uint32_t RecordSize(int index) const;
    // The stored name up to its first NUL (at most 14 characters), or for a number directory the
    // number as signed decimal; cut to capacity characters. False while closed or out of range.
    bool RecordName(int index, int capacity, std::string& name) const;
    // Reads min(capacity, size) bytes of the record, compared as signed 32-bit numbers, from
    // 4 + the sum of the earlier sizes (32-bit unsigned). Bytes past the end of the file are not
    // read and keep what the buffer held. False while closed or out of range.
    bool ReadRecord(int index, void* buffer, std::uint32_t capacity);

    // Where record data starts, as the sum of the earlier sizes without 32-bit wrap-around, and
    // whether the whole record lies inside the file; extraction refuses records that do not.
    std::uint64_t RecordOffset(int index) const;
    bool RecordWithinFile(int index) const;
    std::int64_t FileLength() const { return fileLength; }

private:
    bool ValidIndex(int index) const { return isOpen && index >= 0 && index < recordCount; }

    FilePtr file;
    bool isOpen = false;
    std::string filePath;
    std::int32_t recordCount = 0;
    std::int32_t directoryType = 0;
    std::int32_t entrySize = 0;
    std::array<std::uint16_t, 2> header{};
    std::int64_t fileLength = 0;
    std::vector<BsaNameRecord> nameDirectory;
    std::vector<BsaNumberRecord> numberDirectory;
};

} // namespace sv
