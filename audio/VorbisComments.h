// Adds Vorbis comments ("KEY=value", the tags that FLAC and Ogg Vorbis players read) to a whole
// FLAC or Ogg Vorbis file in memory, for the tags that libsndfile has no field for.
//
// Format facts: a FLAC file is "fLaC" and metadata blocks, each a byte (bit 7: last block, bits
// 0..6: type, 4 = VORBIS_COMMENT) and a 24-bit big-endian length, before the audio frames. The
// comment block is a little-endian 32-bit length and vendor text, a 32-bit count, and each
// comment as a 32-bit length and its text. An Ogg Vorbis stream is pages ("OggS", version, flags,
// 64-bit granule position, 32-bit serial number, sequence number and CRC, all little-endian, and
// a lacing table of up to 255 segment sizes); a segment under 255 bytes ends a packet. The first
// three packets are the headers: identification (page 0, alone), comments (0x03 "vorbis", the
// block above, then a framing byte of 1) and setup; the audio starts on a fresh page. The CRC is
// CRC-32 with polynomial 0x04C11DB7, no reflection, start 0, over the page with its CRC zeroed.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace sv {

using Comments = std::vector<std::pair<std::string, std::string>>;

// Sets each of `comments` in `file` (a key already there, in any letter case, is replaced; the
// others are kept). An Ogg file is paged anew after its comment header and every page gets
// `oggSerial` as its serial number. False, with `file` unchanged, when the bytes are not such a
// file.
bool AddVorbisComments(std::vector<std::uint8_t>& file, bool ogg, const Comments& comments,
                       std::uint32_t oggSerial);

// The comments of a FLAC or Ogg Vorbis file, in their order; empty when there are none or the
// bytes are not such a file.
Comments ReadVorbisComments(const std::vector<std::uint8_t>& file, bool ogg);

} // namespace sv
