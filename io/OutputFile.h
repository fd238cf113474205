// Every file the program writes goes through OutputFile: the bytes go to a temporary file in the
// target's folder, which is renamed over the target only when everything was written. A failure,
// a full disk or a crash therefore never leaves a half-written file, and an older file of the
// target's name survives until the new one is complete.
#pragma once

#include "File.h"
#include "Paths.h"

#include <cstddef>
#include <memory>
#include <string>

namespace sv {

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates the temporary file. False when the target's folder does not exist or is not
    // writable; nothing is then created, and errno says why.
    bool Create(const std::string& target);

    // The open temporary file, for writers that seek (nullptr before Create).
    std::FILE* Stream() const { return m_file.get(); }

    // Remembers a failed write, so that Commit refuses the file.
    bool Write(const void* data, std::size_t size);

    // Flushes and closes the temporary file and renames it over the target. On any failure the
    // temporary file is removed, the target is left as it was, the result is false and errno
    // says why.
    bool Commit();

    // Removes the temporary file; the target is left as it was. errno is kept, so that a caller
    // can still tell why the write that led here failed.
    void Discard();

    const std::string& Target() const { return m_target; }

private:
    std::unique_ptr<char[]>
        m_buffer; // the stream's buffer; declared first, so it outlives the stream
    FilePtr m_file;
    std::string m_target;
    std::string m_temporary;
    int m_slot = -1; // in the list RemoveTemporaryFiles walks
    bool m_failed = false;
};

// Writes a whole file at once through OutputFile.
bool WriteWholeFile(const std::string& target, const void* data, std::size_t size);

// Removes every temporary file of an OutputFile that is still being written. Only unlinks paths
// registered beforehand, so a signal handler may call it. Files beyond the first 64 written at
// the same time are not registered and would survive.
void RemoveTemporaryFiles() noexcept;

} // namespace sv
