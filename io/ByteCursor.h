// The one way the program reads fields out of bytes: little-endian loads (the game's files) and
// big-endian ones (MIDI files) through a cursor that cannot move past the end of its data. A read
// past the end yields 0, consumes nothing and marks the cursor failed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace sv {

class ByteCursor {
public:
    explicit ByteCursor(std::span<const std::uint8_t> data, std::size_t position = 0)
        : m_data(data), m_pos(position), m_failed(position > data.size()) {}

    std::uint8_t U8() {
        if (!Has(1)) {
            return 0;
        }
        return m_data[m_pos++];
    }
    std::uint16_t U16() {
        if (!Has(2)) {
            return 0;
        }
        const std::uint16_t v =
            static_cast<std::uint16_t>(m_data[m_pos] | (m_data[m_pos + 1] << 8));
        m_pos += 2;
        return v;
    }
    std::uint32_t U32() {
        if (!Has(4)) {
            return 0;
        }
        const std::uint32_t v = static_cast<std::uint32_t>(m_data[m_pos]) |
                                static_cast<std::uint32_t>(m_data[m_pos + 1]) << 8 |
                                static_cast<std::uint32_t>(m_data[m_pos + 2]) << 16 |
                                static_cast<std::uint32_t>(m_data[m_pos + 3]) << 24;
        m_pos += 4;
        return v;
    }
    std::uint16_t U16BE() {
        if (!Has(2)) {
            return 0;
        }
        const std::uint16_t v = static_cast<std::uint16_t>(m_data[m_pos] << 8 | m_data[m_pos + 1]);
        m_pos += 2;
        return v;
    }
    std::uint32_t U32BE() {
        if (!Has(4)) {
            return 0;
        }
        const std::uint32_t v = static_cast<std::uint32_t>(m_data[m_pos]) << 24 |
                                static_cast<std::uint32_t>(m_data[m_pos + 1]) << 16 |
                                static_cast<std::uint32_t>(m_data[m_pos + 2]) << 8 |
                                static_cast<std::uint32_t>(m_data[m_pos + 3]);
        m_pos += 4;
        return v;
    }
    // The next n bytes, or an empty span (and a failed cursor) when fewer remain.
    std::span<const std::uint8_t> Bytes(std::size_t n) {
        if (!Has(n)) {
            return {};
        }
        auto out = m_data.subspan(m_pos, n);
        m_pos += n;
        return out;
    }
    bool Skip(std::size_t n) { return !Bytes(n).empty() || n == 0; }

    std::size_t Position() const { return m_pos; }
    std::size_t Remaining() const { return m_failed ? 0 : m_data.size() - m_pos; }
    bool Failed() const { return m_failed; }

private:
    bool Has(std::size_t n) {
        if (m_failed || m_data.size() - m_pos < n) {
            m_failed = true;
            return false;
        }
        return true;
    }

    std::span<const std::uint8_t> m_data;
    std::size_t m_pos;
    bool m_failed;
};

inline void StoreLE16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void StoreLE32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

inline void StoreBE16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 8);
    p[1] = static_cast<std::uint8_t>(v);
}
inline void StoreBE32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
    }
}

} // namespace sv
