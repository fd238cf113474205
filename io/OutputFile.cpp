#include "OutputFile.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <random>
#include <system_error>

#ifndef _WIN32
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

bool OutputFile::Create(const std::string& target) {
    Discard();
    const std::size_t sep = LastSeparator(target);
    const std::string folder = sep == std::string::npos ? std::string() : target.substr(0, sep + 1);
    const std::string name = target.substr(sep == std::string::npos ? 0 : sep + 1);
    if (name.empty()) {
        return false;
    }

    // Seeded once per thread: a random_device per file was a measurable share of a bulk export.
    thread_local std::mt19937 random(std::random_device{}());
    for (int attempt = 0; attempt < 16; ++attempt) {
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
            m_target = target;
            m_failed = false;
            return true;
        }
        const int error = errno;
        Unregister(m_slot);
        m_temporary.clear();
        errno = error;
        if (error != EEXIST) {
            return false;
        }
    }
    return false;
}

bool OutputFile::Write(const void* data, std::size_t size) {
    if (!m_file) {
        return false;
    }
    if (size != 0 && std::fwrite(data, 1, size, m_file.get()) != size) {
        m_failed = true;
    }
    return !m_failed;
}

bool OutputFile::Commit() {
    if (!m_file) {
        return false;
    }
    bool ok = !m_failed && std::fflush(m_file.get()) == 0 && std::ferror(m_file.get()) == 0;
    int error = errno;
    if (std::fclose(m_file.release()) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok) {
        std::error_code ec;
        std::filesystem::rename(ToPath(m_temporary), ToPath(m_target), ec);
        ok = !ec;
        error = ec.value();
    }
    if (!ok) {
        Discard();
        errno = error;
        return false;
    }
    Unregister(m_slot);
    m_temporary.clear();
    return true;
}

void OutputFile::Discard() {
    const int error = errno;
    m_file.reset();
    if (!m_temporary.empty()) {
        std::error_code ec;
        std::filesystem::remove(ToPath(m_temporary), ec);
        Unregister(m_slot);
        m_temporary.clear();
    }
    errno = error;
}

bool WriteWholeFile(const std::string& target, const void* data, std::size_t size) {
    OutputFile out;
    return out.Create(target) && out.Write(data, size) && out.Commit();
}

} // namespace sv
