// Fuzz inputs become files: the readers under test take paths, as the program does.
#pragma once

#include "io/Paths.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace fuzz {

// A folder of this process's own, made once and reused by every run.
inline const std::string& ScratchFolder() {
    static const std::string folder = [] {
        const std::filesystem::path base = std::filesystem::exists("/dev/shm")
                                               ? std::filesystem::path("/dev/shm")
                                               : std::filesystem::temp_directory_path();
        const std::filesystem::path p = base / ("sonvault-fuzz-" + std::to_string(getpid()));
        std::filesystem::create_directories(p);
        return p.string();
    }();
    return folder;
}

inline void Write(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        std::abort();
    }
    if (size != 0) {
        (void)std::fwrite(data, 1, size, f);
    }
    (void)std::fclose(f);
}

} // namespace fuzz
