// General MIDI played on an emulated OPL3 (AdPlug's Nuked OPL3 core): channel messages in,
// register writes to the chip out. The chip's 18 two-operator channels are the voices; a note
// takes a free one (the one released longest ago, so that release tails ring on), or else the
// one sounding longest. Volume, expression and velocity lower the carrier's level (and the
// modulator's too where both are heard), pan picks the chip's left, right or both outputs, pitch
// bend moves the frequency by up to two semitones, the sustain pedal holds note-offs, and
// channel 10 plays percussion through FmDrumFor.
#pragma once

#include "FmBank.h"

#include <array>
#include <cstdint>
#include <memory>

class CNemuopl;

namespace sv {

class FmSynth {
public:
    // Null when AdPlug gives no instrument bank.
    static std::unique_ptr<FmSynth> Create(int rate);
    ~FmSynth();

    // Silences the chip and resets every channel's program and controllers.
    void Reset();
    // One channel message: status 0x80..0xEF and its data bytes.
    void Message(std::uint8_t status, std::uint8_t data1, std::uint8_t data2);
    // The chip's next `frames` stereo frames as 16-bit samples, interleaved.
    void Generate(std::int16_t* out, int frames);

private:
    static constexpr int kVoices = 18;
    static constexpr int kChannels = 16;

    struct Channel {
        std::uint8_t program = 0;
        std::uint8_t volume = 100;
        std::uint8_t expression = 127;
        std::uint8_t pan = 64;
        int bend = 0; // -8192..8191
        bool sustain = false;
    };
    struct Voice {
        int channel = -1; // -1: never used
        std::uint8_t key = 0;
        std::uint8_t velocity = 0;
        const FmPatch* patch = nullptr;
        double pitch = 0.0; // semitones before the bend
        bool on = false;
        bool held = false;       // released while the sustain pedal was down
        std::uint64_t stamp = 0; // when it was keyed on or off
    };

    explicit FmSynth(int rate, const FmMelodicBank& bank);
    void NoteOn(int channel, std::uint8_t key, std::uint8_t velocity);
    void NoteOff(int channel, std::uint8_t key);
    void Controller(int channel, std::uint8_t number, std::uint8_t value);
    int FreeVoice();
    void Release(int voice);
    void WritePatch(int voice);
    void WriteLevel(int voice);
    void WritePitch(int voice, bool keyOn);
    void Write(int voice, int reg, int value);
    void WriteOperator(int voice, bool carrier, int reg, int value);

    std::unique_ptr<CNemuopl> m_chip;
    const FmMelodicBank& m_bank;
    std::array<Channel, kChannels> m_channels{};
    std::array<Voice, kVoices> m_voices{};
    std::uint64_t m_clock = 0; // counts key events, to order the voices
};

} // namespace sv
