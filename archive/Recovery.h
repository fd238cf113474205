// Rebuilding a file, the sound archive in practice, from one entry of the game's "PACKED.DAT".
//
// The container, little-endian, offsets from the start of the file:
// - header, 8 bytes: u32 directory offset, then 4 bytes that are not interpreted;
// - directory of 25-byte entries from the directory offset: u32 decompressed size (compared as a
//   signed number), 4 bytes not interpreted, 13-byte NUL-terminated name, u32 data offset;
// - entry data from the data offset: blocks of 36 skipped bytes followed by one implode stream.
//   The next block starts right after the last byte from which the stream's decoding took a bit,
//   and blocks follow until the decompressed total reaches the entry's size. A block yields at
//   most 1,048,576 bytes.
#pragma once

#include "decode/Explode.h"
#include "io/Result.h"

#include <string>

namespace sv {

class ProgressControl;

inline constexpr std::uint32_t kBlockLimit = 1048576;

// Unpacks entry entryIndex of sourceFolder's "PACKED.DAT" into destinationFolder, under the
// entry's own name made safe as a file name; a file there whose name differs from it only in
// ASCII case is replaced (atomically) instead of being shadowed. progress, when given, is shown,
// ranged 0 .. size, set to the running total after each block and hidden again; lines receives the
// decoder's lines. On any failure nothing is left in destinationFolder (an older file of the name
// survives). The failure names the container (it cannot be opened, the entry is cut or has no
// name, or a stream is broken: DecoderFatal) or the destination folder (the file cannot be
// written there).
Status RebuildFromContainer(const std::string& sourceFolder, const std::string& destinationFolder,
                            int entryIndex, ProgressControl* progress,
                            const DecoderLineSink& lines);

// A name for sourceFolder's "PACKED.DAT" as it is now: "packed-" and 16 hex digits of an FNV-1a
// hash of its size, its modification time, its header and up to 4096 directory entries. A file
// rebuilt from the container can be kept under it, so that it is never taken for another
// container's, nor for this one's once it changed. Fails when the container cannot be opened.
Result<std::string> ContainerIdentity(const std::string& sourceFolder);

} // namespace sv
