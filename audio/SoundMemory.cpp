#include "SoundMemory.h"

#include <algorithm>
#include <cstring>

namespace sv {

SNDFILE* SoundMemory::Open(int mode, SF_INFO& info) {
    SF_VIRTUAL_IO io{Length, Seek, Read, Write, Tell};
    m_position = 0;
    return sf_open_virtual(&io, mode, &info, this);
}

sf_count_t SoundMemory::Size() const {
    return static_cast<sf_count_t>(m_out != nullptr ? m_out->size() : m_in.size());
}

sf_count_t SoundMemory::Length(void* self) {
    return static_cast<SoundMemory*>(self)->Size();
}

sf_count_t SoundMemory::Seek(sf_count_t offset, int whence, void* self) {
    auto* m = static_cast<SoundMemory*>(self);
    const sf_count_t base = whence == SEEK_CUR ? m->m_position : whence == SEEK_END ? m->Size() : 0;
    if (m->m_out == nullptr) {
        // Bytes that are only read end where they end, as a file does for its reader.
        m->m_position = std::clamp<sf_count_t>(base + offset, 0, m->Size());
        return m->m_position;
    }
    // A writer may seek past the end; the gap is filled when it writes there.
    if (base + offset < 0) {
        return -1;
    }
    m->m_position = base + offset;
    return m->m_position;
}

sf_count_t SoundMemory::Read(void* out, sf_count_t count, void* self) {
    auto* m = static_cast<SoundMemory*>(self);
    const std::uint8_t* data = m->m_out != nullptr ? m->m_out->data() : m->m_in.data();
    const sf_count_t n = std::clamp<sf_count_t>(m->Size() - m->m_position, 0, count);
    if (n > 0) {
        std::memcpy(out, data + m->m_position, static_cast<std::size_t>(n));
    }
    m->m_position += n;
    return n;
}

sf_count_t SoundMemory::Write(const void* data, sf_count_t count, void* self) {
    auto* m = static_cast<SoundMemory*>(self);
    if (m->m_out == nullptr) {
        return 0;
    }
    const auto end = static_cast<std::size_t>(m->m_position + count);
    if (end > m->m_out->size()) {
        m->m_out->resize(end);
    }
    std::memcpy(m->m_out->data() + m->m_position, data, static_cast<std::size_t>(count));
    m->m_position += count;
    return count;
}

sf_count_t SoundMemory::Tell(void* self) {
    return static_cast<SoundMemory*>(self)->m_position;
}

} // namespace sv
