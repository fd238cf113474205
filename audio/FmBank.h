// The General MIDI instrument bank for the OPL3: the 128 two-operator patches that AdPlug's MIDI
// player carries, and the percussion keys of channel 10 mapped onto some of them at a fixed pitch
// (that player has no percussion bank of its own; it plays channel 10 as a piano).
//
// Patch bytes, in order, and the register each is written to (modulator, then carrier):
// 0x20 and 0x23 (tremolo, vibrato, sustain, key scaling, multiplier), 0x40 and 0x43 (level
// scaling, total level in 0.75 dB steps), 0x60 and 0x63 (attack, decay), 0x80 and 0x83 (sustain
// level, release), 0xE0 and 0xE3 (waveform), 0xC0 (feedback, connection: bit 0 set adds the
// modulator to the output instead of modulating the carrier).
#pragma once

#include <array>
#include <cstdint>

namespace sv {

struct FmPatch {
    std::array<std::uint8_t, 11> bytes{};
    bool Additive() const { return (bytes[10] & 1) != 0; }
};

using FmMelodicBank = std::array<FmPatch, 128>;

// The bank, read from the library once; null when the library gives none.
const FmMelodicBank* GeneralMidiFmBank();

struct FmDrum {
    std::uint8_t program; // of the melodic bank
    std::uint8_t note;    // the pitch it is played at
};

// How percussion key `key` (0..127) is played.
FmDrum FmDrumFor(int key);

} // namespace sv
