#include "OutputFile.h"

#include <cerrno>
#include <cstdio>
#include <random>
#include <system_error>

namespace sv {
namespace {

constexpr std::size_t kBuffer = 64 * 1024;

} // namespace

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
        std::string temporary = folder;
        temporary.append(".").append(name).append(suffix);
        // "x": never reuse a file that someone else made in the meantime.
        m_file = OpenFile(temporary, "wbx");
        if (m_file) {
            // Most exported files fit, so each is written with one system call at Commit.
            if (!m_buffer) {
                m_buffer = std::make_unique<char[]>(kBuffer);
            }
            std::setvbuf(m_file.get(), m_buffer.get(), _IOFBF, kBuffer);
            m_temporary = std::move(temporary);
            m_target = target;
            m_failed = false;
            return true;
        }
        if (errno != EEXIST) {
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
    ok = (std::fclose(m_file.release()) == 0) && ok;
    if (ok) {
        std::error_code ec;
        std::filesystem::rename(ToPath(m_temporary), ToPath(m_target), ec);
        ok = !ec;
    }
    if (!ok) {
        Discard();
        return false;
    }
    m_temporary.clear();
    return true;
}

void OutputFile::Discard() {
    m_file.reset();
    if (!m_temporary.empty()) {
        std::error_code ec;
        std::filesystem::remove(ToPath(m_temporary), ec);
        m_temporary.clear();
    }
}

bool WriteWholeFile(const std::string& target, const void* data, std::size_t size) {
    OutputFile out;
    return out.Create(target) && out.Write(data, size) && out.Commit();
}

} // namespace sv
