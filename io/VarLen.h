// MIDI variable-length numbers: seven bits a byte, the most significant group first, bit 7 set on
// every byte but the last.
#pragma once

#include "ByteCursor.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

namespace sv {

inline constexpr std::size_t kAnyVarLenLength = std::numeric_limits<std::size_t>::max();

// Writes `value` in the shortest form, at most 4 bytes: 0x200000 and above always take four and
// lose the bits above bit 27. Returns the byte count (1 to 4).
std::size_t WriteVarLen(std::uint8_t* destination, std::uint32_t value);

// Appends `value` in the shortest form, with no length limit: 0x10000000 and above take five.
void AppendVarLen(std::vector<std::uint8_t>& out, std::uint32_t value);

// Reads one number of at most maxBytes bytes; groups shifted out of 32 bits are lost. False when
// the data ends inside it or it runs past maxBytes.
bool ReadVarLen(ByteCursor& in, std::uint32_t& value, std::size_t maxBytes = kAnyVarLenLength);

// The same from data[position], of any length, advancing position past it; on false neither
// position nor value changes.
bool ReadVarLen(std::span<const std::uint8_t> data, std::size_t& position, std::uint32_t& value);

} // namespace sv
