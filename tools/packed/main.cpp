// sonvault-packed SOURCE DEST: writes DEST/MIDI.BSA (a copy of SOURCE's) and DEST/PACKED.DAT, a
// container as the game's recovery reads it:
// - header: u32 directory offset, u32 entry count (the reader ignores the count);
// - entry data: blocks of 36 header bytes (u32 stream size, u32 decompressed size, zeros) and
//   one implode stream each, 64 KiB of input per block, 4096-byte dictionary, binary literals;
// - directory at the end, 25 bytes per entry: u32 size, u32 stored size, 13-byte name, u32 offset.
// Entry 0 is "MIDI.BSA", entry 1 "WYVERN.SND" (upper case, as the game stores its files).
#include "Dcl.h"
#include "io/ByteCursor.h"
#include "io/OutputFile.h"
#include "io/Paths.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::size_t kBlockInput = 65536;
constexpr unsigned kDictionary = 4096;

bool ReadWhole(const std::string& path, Bytes& out) {
    std::ifstream in(sv::ToPath(sv::ResolveCase(path)), std::ios::binary);
    if (!in) {
        return false;
    }
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

void PutLE32(Bytes& b, std::uint32_t v) {
    const std::size_t at = b.size();
    b.resize(at + 4);
    sv::StoreLE32(b.data() + at, v);
}

struct Packed {
    std::string name;
    std::uint32_t size;
    std::uint32_t offset;
    std::uint32_t stored;
};

// Appends the entry's blocks; false when StormLib refuses a block.
bool AppendEntry(Bytes& file, const std::string& name, const Bytes& data,
                 std::vector<Packed>& dir) {
    Packed entry{name, static_cast<std::uint32_t>(data.size()),
                 static_cast<std::uint32_t>(file.size()), 0};
    for (std::size_t at = 0; at < data.size(); at += kBlockInput) {
        const std::size_t n = std::min(kBlockInput, data.size() - at);
        const Bytes stream = dcl::Implode(data.data() + at, n, kDictionary);
        if (stream.size() < 2) {
            return false;
        }
        PutLE32(file, static_cast<std::uint32_t>(stream.size()));
        PutLE32(file, static_cast<std::uint32_t>(n));
        file.resize(file.size() + 28, 0);
        file.insert(file.end(), stream.begin(), stream.end());
    }
    entry.stored = static_cast<std::uint32_t>(file.size()) - entry.offset;
    dir.push_back(entry);
    return true;
}

int Run(const std::string& source, const std::string& dest) {
    Bytes songs;
    Bytes sounds;
    if (!ReadWhole(sv::JoinPath(source, "MIDI.BSA"), songs) ||
        !ReadWhole(sv::JoinPath(source, "WYVERN.SND"), sounds)) {
        std::cerr << "sonvault-packed: cannot read MIDI.BSA and WYVERN.SND in " << source << '\n';
        return 1;
    }
    Bytes file(8, 0);
    std::vector<Packed> dir;
    if (!AppendEntry(file, "MIDI.BSA", songs, dir) ||
        !AppendEntry(file, "WYVERN.SND", sounds, dir)) {
        std::cerr << "sonvault-packed: StormLib's implode failed\n";
        return 1;
    }
    sv::StoreLE32(file.data(), static_cast<std::uint32_t>(file.size()));
    sv::StoreLE32(file.data() + 4, static_cast<std::uint32_t>(dir.size()));
    for (const Packed& e : dir) {
        PutLE32(file, e.size);
        PutLE32(file, e.stored);
        std::string name = e.name;
        name.resize(13, '\0');
        file.insert(file.end(), name.begin(), name.end());
        PutLE32(file, e.offset);
    }

    std::error_code ec;
    std::filesystem::create_directories(sv::ToPath(dest), ec);
    if (!sv::WriteWholeFile(sv::JoinPath(dest, "MIDI.BSA"), songs.data(), songs.size()) ||
        !sv::WriteWholeFile(sv::JoinPath(dest, "PACKED.DAT"), file.data(), file.size())) {
        std::cerr << "sonvault-packed: cannot write into " << dest << '\n';
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: sonvault-packed SOURCE_FOLDER DEST_FOLDER\n";
        return 64;
    }
    return Run(argv[1], argv[2]);
}
