#include "BlockWriter.h"

#include "OutputFile.h"

#include <new>
#include <system_error>

namespace sv {

BlockWriter::BlockWriter(Sink sink, std::size_t bufferSize)
    : m_sink(std::move(sink)), m_bufferSize(bufferSize) {
    m_blocks[0].reset(new (std::nothrow) std::uint8_t[bufferSize]);
}

BlockWriter::BlockWriter(OutputFile& out, std::size_t bufferSize)
    : BlockWriter(
          [&out](const std::uint8_t* data, std::size_t size) { return out.Write(data, size); },
          bufferSize) {}

BlockWriter::BlockWriter(std::FILE* out, std::size_t bufferSize)
    : BlockWriter(
          [out](const std::uint8_t* data, std::size_t size) {
              return size == 0 || std::fwrite(data, 1, size, out) == size;
          },
          bufferSize) {}

BlockWriter::~BlockWriter() {
    Stop(true);
}

bool BlockWriter::WriteHere() {
    const std::size_t size = m_fill;
    m_fill = 0;
    if (m_failed) {
        return false;
    }
    if (size != 0 && !m_sink(m_blocks[m_current].get(), size)) {
        m_failed = true;
    }
    return !m_failed;
}

bool BlockWriter::Add(std::size_t size, std::size_t need) {
    m_fill += size;
    return Room() >= need || HandOver();
}

bool BlockWriter::HandOver() {
    if (!m_blocks[1]) {
        m_blocks[1].reset(new (std::nothrow) std::uint8_t[m_bufferSize]);
    }
    if (!m_thread.joinable() && m_blocks[1]) {
        m_stop = false;
        try {
            m_thread = std::thread(&BlockWriter::Run, this);
        } catch (const std::system_error&) {
            // No thread to be had: every block is written here, as if there were one buffer.
        }
    }
    if (!m_thread.joinable()) {
        return WriteHere();
    }
    std::unique_lock lock(m_mutex);
    // The other buffer comes back only once its write is over.
    m_changed.wait(lock, [this] { return m_queued == nullptr && !m_writing; });
    if (m_failed) {
        return false;
    }
    m_queued = m_blocks[m_current].get();
    m_queuedSize = m_fill;
    m_current = 1 - m_current;
    m_fill = 0;
    m_changed.notify_all();
    return true;
}

bool BlockWriter::Finish() {
    Stop(false);
    return WriteHere();
}

void BlockWriter::Run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_queued != nullptr || m_stop; });
        if (m_queued == nullptr) {
            return;
        }
        const std::uint8_t* data = m_queued;
        const std::size_t size = m_queuedSize;
        m_queued = nullptr;
        m_writing = true;
        lock.unlock();
        const bool ok = size == 0 || m_sink(data, size);
        lock.lock();
        m_writing = false;
        if (!ok) {
            m_failed = true;
        }
        m_changed.notify_all();
    }
}

void BlockWriter::Stop(bool dropQueued) {
    if (!m_thread.joinable()) {
        return;
    }
    {
        const std::lock_guard lock(m_mutex);
        if (dropQueued) {
            m_queued = nullptr;
        }
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

} // namespace sv
