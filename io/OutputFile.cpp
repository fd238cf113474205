#include "OutputFile.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

namespace sv {
namespace {

constexpr std::size_t kBuffer = 64 * 1024;

// The temporary files being written, for a signal handler to remove: each slot points at the
// path buffer of a live OutputFile, or is null. Fixed in size so that nothing is allocated there.
constexpr std::size_t kSlots = 64;
std::atomic<const char*> g_temporaries[kSlots];
static_assert(std::atomic<const char*>::is_always_lock_free);

int Register(const char* path) {
    for (std::size_t i = 0; i < kSlots; ++i) {
        const char* expected = nullptr;
        if (g_temporaries[i].compare_exchange_strong(expected, path)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void Unregister(int& slot) {
    if (slot >= 0) {
        g_temporaries[slot].store(nullptr);
        slot = -1;
    }
}

} // namespace

void RemoveTemporaryFiles() noexcept {
    for (std::atomic<const char*>& slot : g_temporaries) {
        if (const char* path = slot.load()) {
#ifdef _WIN32
            (void)std::remove(path);
#else
            (void)::unlink(path);
#endif
        }
    }
}

OutputFile::~OutputFile() {
    Discard();
}

Status OutputFile::Create(const std::string& target) {
    Discard();
    m_target = target;
    m_error = 0;
    m_failed = false;
    if (target == "-") {
        return CreateDirect(target, true);
    }
    std::error_code ec;
    const std::filesystem::path path = ToPath(target);
    const auto own = std::filesystem::symlink_status(path, ec);
    if (!std::filesystem::is_symlink(own)) {
        if (std::filesystem::is_directory(own)) {
            return Status::WriteError(target, EISDIR);
        }
        const bool special = std::filesystem::exists(own) && !std::filesystem::is_regular_file(own);
        return special ? CreateDirect(target, false) : CreateTemporary(target);
    }
    const auto linked = std::filesystem::status(path, ec);
    if (!std::filesystem::exists(linked)) {
        return Status::WriteFailed(target, "a symbolic link to nothing");
    }
    if (std::filesystem::is_directory(linked)) {
        return Status::WriteError(target, EISDIR);
    }
    if (!std::filesystem::is_regular_file(linked)) {
        return CreateDirect(target, false);
    }
    const std::filesystem::path resolved = std::filesystem::canonical(path, ec);
    if (ec) {
        return Status::WriteError(target, ec.value());
    }
    return CreateTemporary(FromPath(resolved));
}

Status OutputFile::CreateDirect(const std::string& target, bool standardOutput) {
    if (standardOutput) {
        // Whatever the program printed before comes first. A duplicate of the descriptor, so
        // that closing the stream leaves standard output open.
        (void)std::fflush(stdout);
#ifdef _WIN32
        (void)_setmode(_fileno(stdout), _O_BINARY);
        const int fd = _dup(_fileno(stdout));
        m_file.reset(fd < 0 ? nullptr : _fdopen(fd, "wb"));
#else
        const int fd = ::dup(STDOUT_FILENO);
        m_file.reset(fd < 0 ? nullptr : ::fdopen(fd, "wb"));
#endif
    } else {
        m_file = OpenFile(target, "wb");
    }
    if (!m_file) {
        return Status::WriteError(target, errno);
    }
    m_final.clear();
    return {};
}

Status OutputFile::CreateTemporary(const std::string& final) {
    const std::size_t sep = LastSeparator(final);
    const std::string folder = sep == std::string::npos ? std::string() : final.substr(0, sep + 1);
    const std::string name = final.substr(sep == std::string::npos ? 0 : sep + 1);
    if (name.empty()) {
        return Status::WriteError(m_target, EISDIR);
    }

    // Seeded once per thread: a random_device per file was a measurable share of a bulk export.
    thread_local std::mt19937 random(std::random_device{}());
    int error = EEXIST;
    for (int attempt = 0; attempt < 16 && error == EEXIST; ++attempt) {
        char suffix[16];
        (void)std::snprintf(suffix, sizeof suffix, ".%08x.tmp", static_cast<unsigned>(random()));
        m_temporary = folder;
        m_temporary.append(".").append(name).append(suffix);
        // Registered before it exists: a signal must not find it made but unknown. The buffer
        // stays put until Unregister, as an OutputFile never moves.
        m_slot = Register(m_temporary.c_str());
        // "x": never reuse a file that someone else made in the meantime.
        m_file = OpenFile(m_temporary, "wbx");
        if (m_file) {
            // Most exported files fit, so each is written with one system call at Commit.
            if (!m_buffer) {
                m_buffer = std::make_unique<char[]>(kBuffer);
            }
            std::setvbuf(m_file.get(), m_buffer.get(), _IOFBF, kBuffer);
            m_final = final;
            return {};
        }
        error = errno;
        Unregister(m_slot);
        m_temporary.clear();
    }
    return Status::WriteError(m_target, error);
}

bool OutputFile::Write(const void* data, std::size_t size) {
    if (!m_file) {
        return false;
    }
    if (!m_failed && size != 0 && std::fwrite(data, 1, size, m_file.get()) != size) {
        m_error = errno;
        m_failed = true;
    }
    return !m_failed;
}

Status OutputFile::Commit() {
    if (!m_file) {
        return Status::WriteError(m_target, EBADF);
    }
    int error = m_error;
    if (!m_failed && std::fflush(m_file.get()) != 0) {
        error = errno;
        m_failed = true;
    }
    if (std::fclose(m_file.release()) != 0 && !m_failed) {
        error = errno;
        m_failed = true;
    }
    if (!m_failed && !m_temporary.empty()) {
        std::error_code ec;
        std::filesystem::rename(ToPath(m_temporary), ToPath(m_final), ec);
        m_failed = static_cast<bool>(ec);
        error = ec.value();
    }
    if (m_failed) {
        Discard();
        return Status::WriteError(m_target, error);
    }
    Unregister(m_slot);
    m_temporary.clear();
    return {};
}

void OutputFile::Discard() {
    m_file.reset();
    if (!m_temporary.empty()) {
        std::error_code ec;
        std::filesystem::remove(ToPath(m_temporary), ec);
        Unregister(m_slot);
        m_temporary.clear();
    }
}

Status WriteWholeFile(const std::string& target, const void* data, std::size_t size) {
    OutputFile out;
    if (Status created = out.Create(target); !created) {
        return created;
    }
    (void)out.Write(data, size); // a failed write is reported by Commit
    return out.Commit();
}

} // namespace sv
