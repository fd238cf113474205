// What the benchmarks share: the scratch folder that takes everything they write, and
// deterministic inputs for the explode benchmarks: text-like, audio-like and incompressible data
// of any length, and one implode stream of it with the dictionary StormLib's packer picks for
// that length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sv::bench {

using Bytes = std::vector<std::uint8_t>;

enum class Kind { kText, kAudio, kNoise };
inline constexpr Kind kKinds[] = {Kind::kText, Kind::kAudio, Kind::kNoise};

const char* KindName(Kind kind);

// The first size bytes of the kind's data; a shorter input is a prefix of a longer one.
Bytes MakeInput(Kind kind, std::size_t size);

// 1024 bytes below 0x600 of input, 2048 below 0xC00, else 4096: small inputs get small windows.
unsigned DictionaryFor(std::size_t size);

// One binary implode stream of data, or empty when StormLib refuses. Built only where StormLib
// is (the target sonvault_dcl).
Bytes ImplodeStream(const Bytes& data);

// A size in bytes as "1KiB", "16MiB" or the plain number.
std::string SizeName(std::size_t size);

// The whole file; false when it cannot be read.
bool ReadFile(const std::string& path, Bytes& bytes);

// A folder of its own for this process's output, removed at exit, made under
// $SONVAULT_BENCH_SCRATCH (else the temporary folder) on first use. Nothing in it is deleted while
// the benchmarks run: writing where files were just deleted is much slower on some file systems,
// and would be measured.
const std::string& ScratchFolder();

// A new, empty folder under ScratchFolder() on every call.
std::string FreshFolder();

} // namespace sv::bench
