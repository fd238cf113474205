#include "FmBank.h"

#include <adplug/mid.h>
#include <adplug/silentopl.h>
#include <binstr.h>
#include <cstring>
#include <memory>

namespace sv {
namespace {

// The player keeps its bank in a protected member that its loader fills for a General MIDI file.
class BankReader final : public CmidPlayer {
public:
    explicit BankReader(Copl* opl) : CmidPlayer(opl) {}
    bool Read(FmMelodicBank& bank) {
        for (std::size_t i = 0; i < bank.size(); ++i) {
            std::memcpy(bank[i].bytes.data(), myinsbank[i], bank[i].bytes.size());
        }
        return getinstruments() == bank.size();
    }
};

// Serves the loader one Standard MIDI File from memory, whatever name it asks for.
class MemoryProvider final : public CFileProvider {
public:
    binistream* open(std::string) const override {
        // The stream only reads, though binio's constructor takes a mutable pointer.
        return new binisstream(const_cast<std::uint8_t*>(kSong), sizeof kSong);
    }
    void close(binistream* f) const override { delete f; }

private:
    // Format 0, one track, 192 ticks per quarter, nothing but its end.
    static constexpr std::uint8_t kSong[] = {'M', 'T', 'h', 'd', 0,    0,    0,    6,   0,
                                             0,   0,   1,   0,   0xC0, 'M',  'T',  'r', 'k',
                                             0,   0,   0,   4,   0,    0xFF, 0x2F, 0};
};

std::unique_ptr<FmMelodicBank> ReadBank() {
    CSilentopl opl;
    BankReader reader(&opl);
    auto bank = std::make_unique<FmMelodicBank>();
    if (!reader.load("bank.mid", MemoryProvider()) || !reader.Read(*bank)) {
        return nullptr;
    }
    return bank;
}

struct DrumRange {
    std::uint8_t first, last;
    FmDrum drum; // a note of 0: the key's own pitch
};

// General MIDI programs used as drums: 112 tinkle bell, 113 agogo, 115 woodblock, 116 taiko,
// 117 melodic tom, 78 whistle, 127 gunshot (the bank's one noise burst with a fast attack, for
// snares, hats, cymbals and shakers, told apart by pitch).
constexpr DrumRange kDrums[] = {
    {35, 36, {116, 30}}, {37, 37, {115, 72}}, {38, 38, {127, 60}}, {39, 39, {115, 64}},
    {40, 40, {127, 64}}, {41, 41, {117, 0}},  {42, 42, {127, 88}}, {43, 43, {117, 0}},
    {44, 44, {127, 84}}, {45, 45, {117, 0}},  {46, 46, {127, 80}}, {47, 48, {117, 0}},
    {49, 49, {127, 76}}, {50, 50, {117, 0}},  {51, 53, {127, 82}}, {54, 54, {127, 96}},
    {55, 55, {127, 80}}, {56, 56, {113, 67}}, {57, 57, {127, 76}}, {58, 58, {127, 70}},
    {59, 59, {127, 82}}, {60, 66, {117, 0}},  {67, 68, {113, 0}},  {69, 70, {127, 96}},
    {71, 72, {78, 0}},   {73, 74, {127, 92}}, {75, 77, {115, 0}},  {78, 79, {117, 0}},
    {80, 81, {112, 0}},  {82, 82, {127, 96}},
};

} // namespace

const FmMelodicBank* GeneralMidiFmBank() {
    static const std::unique_ptr<FmMelodicBank> bank = ReadBank();
    return bank.get();
}

FmDrum FmDrumFor(int key) {
    for (const DrumRange& range : kDrums) {
        if (key >= range.first && key <= range.last) {
            return {range.drum.program,
                    range.drum.note != 0 ? range.drum.note : static_cast<std::uint8_t>(key)};
        }
    }
    return {127, static_cast<std::uint8_t>(key)};
}

} // namespace sv
