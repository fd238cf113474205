#include "File.h"

#include "Paths.h"

#include <cerrno>
#include <sys/stat.h>
#include <system_error>

namespace sv {

FilePtr OpenFile(const std::string& path, const char* mode) {
#ifdef _WIN32
    std::wstring wmode(mode, mode + std::char_traits<char>::length(mode));
    return FilePtr(_wfopen(ToPath(path).c_str(), wmode.c_str()));
#else
    return FilePtr(std::fopen(path.c_str(), mode));
#endif
}

bool IsRegularFile(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(ToPath(path), ec);
}

FilePtr OpenRegularFile(const std::string& path, const char* mode) {
    // Checked before opening, so that a pipe is never opened, and again on the open file, in case
    // the name was replaced in between.
    if (!IsRegularFile(path)) {
        return {};
    }
    FilePtr file = OpenFile(path, mode);
    if (!file) {
        return file;
    }
#ifdef _WIN32
    struct _stat64 st;
    const bool regular =
        _fstat64(_fileno(file.get()), &st) == 0 && (st.st_mode & _S_IFMT) == _S_IFREG;
#else
    struct stat st;
    const bool regular = fstat(fileno(file.get()), &st) == 0 && S_ISREG(st.st_mode);
#endif
    return regular ? std::move(file) : FilePtr();
}

bool SeekTo(std::FILE* file, std::uint64_t offset) {
#ifdef _WIN32
    return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0;
#else
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

bool SeekFromEnd(std::FILE* file, std::int64_t offset) {
#ifdef _WIN32
    return _fseeki64(file, offset, SEEK_END) == 0;
#else
    return fseeko(file, static_cast<off_t>(offset), SEEK_END) == 0;
#endif
}

std::int64_t Tell(std::FILE* file) {
#ifdef _WIN32
    return _ftelli64(file);
#else
    return ftello(file);
#endif
}

std::int64_t FileLength(std::FILE* file) {
    const std::int64_t here = Tell(file);
    if (here < 0 || !SeekFromEnd(file, 0)) {
        return -1;
    }
    const std::int64_t length = Tell(file);
    SeekTo(file, static_cast<std::uint64_t>(here));
    return length;
}

Result<FilePtr> OpenForReading(const std::string& path, bool regularOnly) {
    std::error_code ec;
    const auto status = std::filesystem::status(ToPath(path), ec);
    if (std::filesystem::is_directory(status)) {
        return Status::ReadError(path, EISDIR);
    }
    if (regularOnly && std::filesystem::exists(status) &&
        !std::filesystem::is_regular_file(status)) {
        return Status::ReadFailed(path, "not a regular file");
    }
    FilePtr file = OpenFile(path, "rb");
    if (!file) {
        return Status::ReadError(path, errno);
    }
    return file;
}

Status ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    Result<FilePtr> file = OpenForReading(path, false);
    if (!file) {
        return file.Error();
    }
    std::uint8_t block[65536];
    for (;;) {
        const std::size_t got = std::fread(block, 1, sizeof block, file->get());
        if (got < sizeof block && std::ferror(file->get()) != 0) {
            return Status::ReadError(path, errno);
        }
        bytes.insert(bytes.end(), block, block + got);
        if (got < sizeof block) {
            return {};
        }
    }
}

} // namespace sv
