#include "BsaArchive.h"

#include "io/ByteCursor.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace sv {

namespace {

constexpr std::int32_t kNameDirectory = 256;
constexpr std::int32_t kNameEntrySize = 18;
constexpr std::int32_t kNumberEntrySize = 8;
constexpr std::size_t kNameBytes = 14;

} // namespace

BsaArchive::~BsaArchive() {
    Close();
}

bool BsaArchive::Open(const std::string& folder, const std::string& fileName, bool readOnly) {
    Close();

    const std::string path = ResolveCase(JoinPath(folder, fileName));
    FilePtr f = OpenRegularFile(path, readOnly ? "rb" : "r+b");
    if (!f) {
        return false;
    }

    // Header bytes that cannot be read count as 0.
    std::uint8_t head[4] = {};
    SeekTo(f.get(), 0);
    const std::size_t got = std::fread(head, 1, sizeof head, f.get());
    std::memset(head + got, 0, sizeof head - got);
    ByteCursor cursor(head);
    header = {cursor.U16(), cursor.U16()};

    const std::int32_t count = static_cast<std::int16_t>(header[0]);
    const std::int32_t type = static_cast<std::int16_t>(header[1]);
    const std::int32_t size = type == kNameDirectory ? kNameEntrySize : kNumberEntrySize;
    const std::int64_t length = sv::FileLength(f.get());
    const std::int64_t directoryBytes = static_cast<std::int64_t>(count) * size;
    if (count < 0 || length < 0 || directoryBytes > length) {
        return false;
    }

    std::vector<std::uint8_t> raw;
    try {
        raw.resize(static_cast<std::size_t>(directoryBytes));
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (directoryBytes > 0 && (!SeekFromEnd(f.get(), -directoryBytes) ||
                               std::fread(raw.data(), 1, raw.size(), f.get()) != raw.size())) {
        return false;
    }

    ByteCursor entries(raw);
    if (type == kNameDirectory) {
        nameDirectory.resize(static_cast<std::size_t>(count));
        for (BsaNameRecord& entry : nameDirectory) {
            const auto name = entries.Bytes(kNameBytes);
            std::copy(name.begin(), name.end(), entry.name.begin());
            entry.size = entries.U32();
        }
    } else {
        numberDirectory.resize(static_cast<std::size_t>(count));
        for (BsaNumberRecord& entry : numberDirectory) {
            entry.number = entries.U32();
            entry.size = entries.U32();
        }
    }

    file = std::move(f);
    isOpen = true;
    filePath = path;
    recordCount = count;
    directoryType = type;
    entrySize = size;
    fileLength = length;
    return true;
}

void BsaArchive::Close() {
    if (!isOpen) {
        return;
    }
    file.reset();
    isOpen = false;
    filePath.clear();
    recordCount = 0;
    directoryType = 0;
    entrySize = 0;
    fileLength = 0;
    header = {};
    nameDirectory.clear();
    nameDirectory.shrink_to_fit();
    numberDirectory.clear();
    numberDirectory.shrink_to_fit();
}

std::uint32_t BsaArchive::RecordSize(int index) const {
    if (!ValidIndex(index)) {
        return 0;
    }
    const auto i = static_cast<std::size_t>(index);
    return directoryType == kNameDirectory ? nameDirectory[i].size : numberDirectory[i].size;
}

bool BsaArchive::RecordName(int index, int capacity, std::string& name) const {
    if (!ValidIndex(index)) {
        return false;
    }
    const auto i = static_cast<std::size_t>(index);
    if (directoryType == kNameDirectory) {
        const auto& field = nameDirectory[i].name;
        const auto end = std::find(field.begin(), field.end(), '\0');
        name.assign(field.begin(), end);
    } else {
        name = std::to_string(static_cast<std::int32_t>(numberDirectory[i].number));
    }
    if (capacity < 0) {
        capacity = 0;
    }
    if (name.size() > static_cast<std::size_t>(capacity)) {
        name.resize(static_cast<std::size_t>(capacity));
    }
    return true;
}

std::uint64_t BsaArchive::RecordOffset(int index) const {
    std::uint64_t offset = 4;
    for (int i = 0; i < index && i < recordCount; ++i) {
        offset += RecordSize(i);
    }
    return offset;
}

bool BsaArchive::RecordWithinFile(int index) const {
    return ValidIndex(index) &&
           RecordOffset(index) + RecordSize(index) <= static_cast<std::uint64_t>(fileLength);
}

bool BsaArchive::ReadRecord(int index, void* buffer, std::uint32_t capacity) {
    if (!ValidIndex(index)) {
        return false;
    }
    const auto offset = static_cast<std::uint32_t>(RecordOffset(index));
    const std::int32_t n =
        std::min(static_cast<std::int32_t>(capacity), static_cast<std::int32_t>(RecordSize(index)));
    if (n <= 0 || offset >= static_cast<std::uint64_t>(fileLength)) {
        return true;
    }
    // Stop at the end of the file; what lies beyond keeps the buffer's previous bytes.
    const std::uint64_t available = static_cast<std::uint64_t>(fileLength) - offset;
    const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(n, available));
    if (SeekTo(file.get(), offset)) {
        (void)std::fread(buffer, 1, count, file.get());
    }
    return true;
}

} // namespace sv
