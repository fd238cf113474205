// libsndfile reading and writing bytes in memory instead of a file: decoding a WAV file the
// player was handed, encoding a whole sound file before it is written in one go.
#pragma once

#include <cstdint>
#include <sndfile.h>
#include <span>
#include <vector>

namespace sv {

class SoundMemory {
public:
    // Reads `bytes`, which must outlive the open file; writes are refused.
    explicit SoundMemory(std::span<const std::uint8_t> bytes) : m_in(bytes) {}
    // Reads and writes `bytes`, which grows as the file is written past its end.
    explicit SoundMemory(std::vector<std::uint8_t>& bytes) : m_in(bytes), m_out(&bytes) {}
    SoundMemory(const SoundMemory&) = delete;
    SoundMemory& operator=(const SoundMemory&) = delete;

    // sf_open_virtual on these bytes; null when libsndfile refuses them. The SoundMemory must
    // outlive the returned handle.
    SNDFILE* Open(int mode, SF_INFO& info);

private:
    static sf_count_t Length(void* self);
    static sf_count_t Seek(sf_count_t offset, int whence, void* self);
    static sf_count_t Read(void* out, sf_count_t count, void* self);
    static sf_count_t Write(const void* data, sf_count_t count, void* self);
    static sf_count_t Tell(void* self);

    sf_count_t Size() const;

    std::span<const std::uint8_t> m_in;
    std::vector<std::uint8_t>* m_out = nullptr;
    sf_count_t m_position = 0;
};

} // namespace sv
