// Files as the program reads them: a handle that closes itself, opening by UTF-8 path in binary
// mode, 64-bit positions whatever the platform's long, and reading a whole file into memory.
#pragma once

#include "Result.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace sv {

struct FileCloser {
    void operator()(std::FILE* f) const noexcept {
        if (f != nullptr) {
            (void)std::fclose(f);
        }
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// fopen with a UTF-8 path on every platform; the mode must name binary access.
FilePtr OpenFile(const std::string& path, const char* mode);

// True for a regular file or a link to one; a directory, a device or a pipe is none.
bool IsRegularFile(const std::string& path);

// OpenFile for an existing file that must be a regular one (or a link to one): fopen on Linux
// opens a directory too, and a pipe would block. Anything else gives none.
FilePtr OpenRegularFile(const std::string& path, const char* mode = "rb");

// 64-bit seek and tell, whatever the platform's long.
bool SeekTo(std::FILE* file, std::uint64_t offset);
bool SeekFromEnd(std::FILE* file, std::int64_t offset);
std::int64_t Tell(std::FILE* file);
// The file's length, leaving its position unchanged; -1 when it cannot be told.
std::int64_t FileLength(std::FILE* file);

// Opens an existing file for binary reading. A folder is refused ("Is a directory"), and so, when
// regularOnly, is anything else that is no regular file (or link to one), without opening it: a
// pipe would block.
Result<FilePtr> OpenForReading(const std::string& path, bool regularOnly);

// The file's bytes (a pipe's too); on a failure they are empty or partial.
Status ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes);

} // namespace sv
