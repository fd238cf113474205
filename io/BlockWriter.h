// Writes a file's bytes on a background thread while the caller makes the next ones, so that a
// decoder and the file system work at the same time instead of taking turns. Two buffers take
// turns: the caller fills one and hands it over with Submit, which gives back the other as soon
// as its own write has finished. One write is in flight at a time, and blocks reach the file in
// the order they were submitted. The last block is written on the caller's thread by Finish, so
// that output which fits in one block starts no thread at all.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace sv {

class OutputFile;

class BlockWriter {
public:
    // Writes size bytes; false when that failed, with errno saying why.
    using Sink = std::function<bool(const std::uint8_t* data, std::size_t size)>;

    BlockWriter(Sink sink, std::size_t blockSize);
    // Into the OutputFile's temporary file; committing it stays the caller's business, after
    // Finish.
    BlockWriter(OutputFile& out, std::size_t blockSize);
    BlockWriter(std::FILE* out, std::size_t blockSize);
    // Waits for the write in flight; a block handed over but not yet begun is dropped.
    ~BlockWriter();
    BlockWriter(const BlockWriter&) = delete;
    BlockWriter& operator=(const BlockWriter&) = delete;

    // False when the first buffer could not be allocated.
    bool Ready() const { return m_blocks[0] != nullptr; }
    std::size_t BlockSize() const { return m_blockSize; }

    // The buffer to fill next, BlockSize() bytes.
    std::uint8_t* Block() const { return m_blocks[m_current].get(); }

    // Hands the first size bytes of Block() over to be written in the background and makes the
    // other buffer Block(), waiting for that buffer's own write to end. Where no second buffer or
    // thread can be had, the block is written here instead. False once any write failed, with
    // errno saying why; later blocks are then dropped.
    bool Submit(std::size_t size);

    // Writes the first size bytes of Block() after everything submitted, and waits for that.
    // True when every byte was written; else false with errno of the first failure.
    bool Finish(std::size_t size);

private:
    bool WriteHere(std::size_t size);
    void Run();
    void Stop(bool dropQueued);

    Sink m_sink;
    std::size_t m_blockSize;
    std::unique_ptr<std::uint8_t[]> m_blocks[2];
    int m_current = 0;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    const std::uint8_t* m_queued = nullptr; // handed over, not yet taken by the thread
    std::size_t m_queuedSize = 0;
    bool m_writing = false;
    bool m_stop = false;
    bool m_failed = false;
    int m_error = 0;
    std::thread m_thread; // last: started after everything it reads is set up
};

} // namespace sv
