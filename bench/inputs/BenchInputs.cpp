#include "BenchInputs.h"

#ifdef SONVAULT_BENCH_STREAMS
#include "Dcl.h"
#endif

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>

namespace sv::bench {

const char* KindName(Kind kind) {
    switch (kind) {
    case Kind::kText:
        return "text";
    case Kind::kAudio:
        return "audio";
    case Kind::kNoise:
        return "noise";
    }
    return "";
}

Bytes MakeInput(Kind kind, std::size_t size) {
    std::mt19937 random(42);
    Bytes b(size);
    static const char* const words[] = {"wyvern ",  "tavern ", "song ", "the ",
                                        "dungeon ", "a ",      "\n"};
    double phase = 0;
    std::size_t at = 0;
    while (at < size) {
        switch (kind) {
        case Kind::kText:
            for (const char* p = words[random() % 7]; *p != 0 && at < size; ++p) {
                b[at++] = static_cast<std::uint8_t>(*p);
            }
            break;
        case Kind::kAudio: {
            // 8-bit effects: decaying tones with a little noise, and stretches of near-silence.
            phase += 0.04 + 0.02 * static_cast<double>((at / 5000) % 4);
            const double envelope = 1.0 - static_cast<double>(at % 20000) / 20000;
            const int v = static_cast<int>(90 * envelope * std::sin(phase));
            b[at++] = static_cast<std::uint8_t>(128 + v + static_cast<int>(random() % 5) - 2);
            break;
        }
        case Kind::kNoise:
            b[at++] = static_cast<std::uint8_t>(random());
            break;
        }
    }
    return b;
}

unsigned DictionaryFor(std::size_t size) {
    if (size < 0x600) {
        return 1024;
    }
    return size < 0xC00 ? 2048 : 4096;
}

#ifdef SONVAULT_BENCH_STREAMS
Bytes ImplodeStream(const Bytes& data) {
    return dcl::Implode(data, DictionaryFor(data.size()));
}
#endif

std::string SizeName(std::size_t size) {
    if (size >= (1u << 20) && size % (1u << 20) == 0) {
        return std::to_string(size >> 20) + "MiB";
    }
    if (size >= 1024 && size % 1024 == 0) {
        return std::to_string(size >> 10) + "KiB";
    }
    return std::to_string(size);
}

bool ReadFile(const std::string& path, Bytes& bytes) {
    bytes.clear();
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) {
        return false;
    }
    std::uint8_t chunk[65536];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    const bool ok = std::ferror(f) == 0;
    std::fclose(f);
    return ok;
}

namespace {

// Removed with everything in it when the process ends.
struct Scratch {
    Scratch() {
        const char* root = std::getenv("SONVAULT_BENCH_SCRATCH");
        const std::filesystem::path base = root != nullptr && *root != 0
                                               ? std::filesystem::path(root)
                                               : std::filesystem::temp_directory_path();
        std::random_device seed;
        std::filesystem::path folder;
        do {
            folder = base / ("sonvault-bench-" + std::to_string(seed()));
        } while (!std::filesystem::create_directories(folder));
        path = folder.string();
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string path;
};

} // namespace

const std::string& ScratchFolder() {
    static const Scratch scratch;
    return scratch.path;
}

std::string FreshFolder() {
    static int next = 0;
    const std::filesystem::path path =
        std::filesystem::path(ScratchFolder()) / ("run-" + std::to_string(next++));
    std::filesystem::create_directories(path);
    return path.string();
}

} // namespace sv::bench
