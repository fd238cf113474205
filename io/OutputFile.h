// Every file the program writes goes through OutputFile: the bytes go to a temporary file in the
// target's folder, which is renamed over the target only when everything was written. A failure,
// a full disk or a crash therefore never leaves a half-written file, and an older file of the
// target's name survives until the new one is complete.
//
// Targets that are no plain file are written directly, which cannot be atomic: a failure leaves
// whatever was written so far.
// - "-" is standard output (binary); nothing named "-" is made.
// - An existing device or named pipe is opened and written, never replaced (/dev/null stays a
//   device, whoever runs the program).
// A symbolic link (or a chain of them) to a regular file is followed: the file it ends at is
// replaced through a temporary file in that file's own folder, and the link stays. A link to
// nothing is refused, as is a folder.
#pragma once

#include "File.h"
#include "Paths.h"
#include "Result.h"

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

    // Opens the temporary file (or the device, the pipe, standard output). Fails, creating
    // nothing, when the target's folder does not exist or is not writable, or the target is a
    // folder or a link to nothing.
    Status Create(const std::string& target);

    // The open stream, for writers that seek (nullptr before Create).
    std::FILE* Stream() const { return m_file.get(); }

    // Remembers a failed write, so that Commit refuses the file.
    bool Write(const void* data, std::size_t size);

    // Flushes and closes the stream and renames the temporary file over the target. On any
    // failure the temporary file is removed and the target is left as it was.
    Status Commit();

    // Removes the temporary file; the target is left as it was.
    void Discard();

    const std::string& Target() const { return m_target; }

private:
    Status CreateDirect(const std::string& target, bool standardOutput);
    Status CreateTemporary(const std::string& final);

    std::unique_ptr<char[]>
        m_buffer; // the stream's buffer; declared first, so it outlives the stream
    FilePtr m_file;
    std::string m_target;    // as given, for messages
    std::string m_final;     // the file renamed over: the target, or where its links end
    std::string m_temporary; // empty for a direct write
    int m_slot = -1;         // in the list RemoveTemporaryFiles walks
    int m_error = 0;         // errno of the first failed write
    bool m_failed = false;
};

// Writes a whole file at once through OutputFile.
Status WriteWholeFile(const std::string& target, const void* data, std::size_t size);

// Removes every temporary file of an OutputFile that is still being written. Only unlinks paths
// registered beforehand, so a signal handler may call it. Files beyond the first 64 written at
// the same time are not registered and would survive.
void RemoveTemporaryFiles() noexcept;

} // namespace sv
