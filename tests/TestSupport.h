// Scratch folders and byte builders shared by the tests.
#pragma once

#include "io/Paths.h"
#include "io/ProgressControl.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace sv::test {

using Bytes = std::vector<std::uint8_t>;

// A fresh folder under the system's temporary folder, removed again with the fixture.
class ScratchDir {
public:
    ScratchDir() {
        std::random_device seed;
        m_path = std::filesystem::temp_directory_path() /
                 ("sonvault-test-" + std::to_string(seed()) + "-" + std::to_string(seed()));
        std::filesystem::create_directories(m_path);
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::string Path() const { return sv::FromPath(m_path); }
    std::string File(const std::string& name) const { return sv::FromPath(m_path / name); }
    std::string Sub(const std::string& name) const {
        std::filesystem::create_directories(m_path / name);
        return sv::FromPath(m_path / name);
    }

private:
    std::filesystem::path m_path;
};

inline void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(sv::ToPath(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

inline Bytes ReadFile(const std::string& path) {
    std::ifstream in(sv::ToPath(path), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool Exists(const std::string& path) {
    return std::filesystem::exists(sv::ToPath(path));
}

// The names directly in `folder`, sorted; none when it does not exist.
inline std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(sv::ToPath(folder), ec)) {
        names.push_back(sv::FromPath(e.path().filename()));
    }
    std::sort(names.begin(), names.end());
    return names;
}

inline void PutLE16(Bytes& b, std::uint16_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void PutLE32(Bytes& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
}

struct Record {
    std::string name; // name directory; ignored for a number directory
    std::uint32_t number = 0;
    Bytes data;
};

// A BSA archive as the game writes it: header, records back to back, directory at the end.
inline Bytes MakeBsa(const std::vector<Record>& records, bool nameDirectory) {
    Bytes b;
    PutLE16(b, static_cast<std::uint16_t>(records.size()));
    PutLE16(b, nameDirectory ? 0x0100 : 0x0200);
    for (const Record& r : records) {
        b.insert(b.end(), r.data.begin(), r.data.end());
    }
    for (const Record& r : records) {
        if (nameDirectory) {
            std::string field = r.name;
            field.resize(14, '\0');
            b.insert(b.end(), field.begin(), field.end());
        } else {
            PutLE32(b, r.number);
        }
        PutLE32(b, static_cast<std::uint32_t>(r.data.size()));
    }
    return b;
}

inline Bytes Filled(std::size_t n, std::uint8_t first) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) {
        b[i] = static_cast<std::uint8_t>(first + i);
    }
    return b;
}

// A PCM WAV file with a sine on its first channel and silence on any other: 8-bit unsigned
// samples at level 100 of 128, or 16-bit ones at level 16000.
inline Bytes Wav(int rate, int channels, int bits, std::size_t frames, double frequency) {
    const auto align = static_cast<std::uint32_t>(channels * bits / 8);
    const auto size = static_cast<std::uint32_t>(frames) * align;
    Bytes b{'R', 'I', 'F', 'F'};
    PutLE32(b, 36 + size);
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0});
    PutLE16(b, static_cast<std::uint16_t>(channels));
    PutLE32(b, static_cast<std::uint32_t>(rate));
    PutLE32(b, static_cast<std::uint32_t>(rate) * align);
    PutLE16(b, static_cast<std::uint16_t>(align));
    PutLE16(b, static_cast<std::uint16_t>(bits));
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    PutLE32(b, size);
    for (std::size_t i = 0; i < frames; ++i) {
        const double s = std::sin(2 * std::numbers::pi * frequency * static_cast<double>(i) / rate);
        for (int c = 0; c < channels; ++c) {
            const double level = c == 0 ? s : 0.0;
            if (bits == 8) {
                b.push_back(static_cast<std::uint8_t>(std::lround(128 + 100 * level)));
            } else {
                PutLE16(b, static_cast<std::uint16_t>(std::lround(16000 * level)));
            }
        }
    }
    return b;
}

// An effect as extraction writes it: a 44-byte header, 8-bit mono samples at 11025 Hz.
inline Bytes EffectWav(std::size_t samples, double frequency) {
    return Wav(11025, 1, 8, samples, frequency);
}

// Records every call as a line ("show", "range 0 10", "pos 3", "hide").
class RecordingProgress final : public ProgressControl {
public:
    void Show() override { calls.push_back("show"); }
    void SetRange(std::int32_t low, std::int32_t high) override {
        calls.push_back("range " + std::to_string(low) + " " + std::to_string(high));
    }
    void SetPos(std::int32_t pos) override { calls.push_back("pos " + std::to_string(pos)); }
    void Hide() override { calls.push_back("hide"); }
    std::vector<std::string> calls;
};

} // namespace sv::test
