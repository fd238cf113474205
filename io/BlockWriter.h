// Writes a file's bytes on a background thread while the caller makes the next ones, so that a
// decoder and the file system work at the same time instead of taking turns. Two buffers take
// turns: the caller appends to one, which is handed over to be written once too little room is
// left in it, and goes on in the other as soon as that one's own write has finished. One write is
// in flight at a time, and the bytes reach the file in order. Few large hand-overs keep the
// caller from waiting on a thread that a busy machine schedules late. What is buffered last is
// written on the caller's thread by Finish, so that output which fits in one buffer starts no
// thread at all.
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
    // Writes size bytes; false when that failed. Why is the sink's to keep (an OutputFile's
    // Commit reports it).
    using Sink = std::function<bool(const std::uint8_t* data, std::size_t size)>;

    BlockWriter(Sink sink, std::size_t bufferSize);
    // Into the OutputFile's temporary file; committing it stays the caller's business, after
    // Finish.
    BlockWriter(OutputFile& out, std::size_t bufferSize);
    BlockWriter(std::FILE* out, std::size_t bufferSize);
    // Waits for the write in flight; bytes handed over but not yet begun are dropped.
    ~BlockWriter();
    BlockWriter(const BlockWriter&) = delete;
    BlockWriter& operator=(const BlockWriter&) = delete;

    // False when the first buffer could not be allocated.
    bool Ready() const { return m_blocks[0] != nullptr; }

    // Where the next bytes go, and how many fit there.
    std::uint8_t* Space() const { return m_blocks[m_current].get() + m_fill; }
    std::size_t Room() const { return m_bufferSize - m_fill; }

    // Takes the size bytes the caller put at Space(). When fewer than `need` bytes of room are
    // left, the buffer is handed over to be written in the background, and the other one takes
    // the next bytes once its own write is over. Where no second buffer or thread can be had,
    // the buffer is written here instead. False once a write failed; later bytes are then
    // dropped.
    bool Add(std::size_t size, std::size_t need);

    // Writes what is buffered after everything handed over, and waits for that. True when every
    // byte was written.
    bool Finish();

private:
    bool HandOver();
    bool WriteHere();
    void Run();
    void Stop(bool dropQueued);

    Sink m_sink;
    std::size_t m_bufferSize;
    std::unique_ptr<std::uint8_t[]> m_blocks[2];
    int m_current = 0;
    std::size_t m_fill = 0; // bytes in the current buffer

    std::mutex m_mutex;
    std::condition_variable m_changed;
    const std::uint8_t* m_queued = nullptr; // handed over, not yet taken by the thread
    std::size_t m_queuedSize = 0;
    bool m_writing = false;
    bool m_stop = false;
    bool m_failed = false;
    std::thread m_thread; // last: started after everything it reads is set up
};

} // namespace sv
