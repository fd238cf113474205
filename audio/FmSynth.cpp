#include "FmSynth.h"

#include <adplug/nemuopl.h>
#include <algorithm>
#include <cmath>

namespace sv {
namespace {

constexpr int kDrumChannel = 9;
constexpr double kChipRate = 49716.0;  // the OPL3's own sample rate: its 14.318 MHz clock / 288
constexpr double kBendSemitones = 2.0; // the General MIDI default range
constexpr double kLevelStepDb = 0.75;  // one step of an operator's total level
// The first operator of each of a register bank's nine channels; its carrier lies 3 above.
constexpr int kOperator[9] = {0x00, 0x01, 0x02, 0x08, 0x09, 0x0A, 0x10, 0x11, 0x12};

// Attenuation of a MIDI level (volume, expression or velocity) in dB: the 40 log10 curve the
// General MIDI recommendations give for volume and expression.
double LevelDb(int value) {
    return value <= 0 ? 96.0 : -40.0 * std::log10(value / 127.0);
}

// The output bits of register 0xC0: both sides, or one for a pan well off the centre.
int PanBits(int pan) {
    return pan < 32 ? 0x10 : pan > 96 ? 0x20 : 0x30;
}

} // namespace

std::unique_ptr<FmSynth> FmSynth::Create(int rate) {
    const FmMelodicBank* bank = GeneralMidiFmBank();
    if (!bank) {
        return nullptr;
    }
    std::unique_ptr<FmSynth> synth(new FmSynth(rate, *bank));
    synth->Reset();
    return synth;
}

FmSynth::FmSynth(int rate, const FmMelodicBank& bank)
    : m_chip(std::make_unique<CNemuopl>(rate)), m_bank(bank) {}

FmSynth::~FmSynth() = default;

void FmSynth::Reset() {
    m_chip->init();
    m_chip->setchip(1);
    m_chip->write(0x05, 0x01); // OPL3 mode: 18 channels, stereo outputs, every waveform
    m_chip->setchip(0);
    m_chip->write(0xBD, 0x00); // melodic mode: channels 7 to 9 are no rhythm section
    m_channels.fill(Channel());
    m_voices.fill(Voice());
    m_clock = 0;
}

void FmSynth::Generate(std::int16_t* out, int frames) {
    m_chip->update(out, frames);
}

void FmSynth::Message(std::uint8_t status, std::uint8_t data1, std::uint8_t data2) {
    const int channel = status & 0x0F;
    Channel& c = m_channels[static_cast<std::size_t>(channel)];
    switch (status & 0xF0) {
    case 0x80:
        NoteOff(channel, data1);
        break;
    case 0x90:
        if (data2 == 0) {
            NoteOff(channel, data1);
        } else {
            NoteOn(channel, data1, data2);
        }
        break;
    case 0xB0:
        Controller(channel, data1, data2);
        break;
    case 0xC0:
        c.program = data1 & 0x7F;
        break;
    case 0xE0:
        c.bend = ((data2 & 0x7F) << 7 | (data1 & 0x7F)) - 8192;
        for (int v = 0; v < kVoices; ++v) {
            if (m_voices[v].channel == channel && m_voices[v].on) {
                WritePitch(v, true);
            }
        }
        break;
    default: // key and channel pressure change nothing on this chip
        break;
    }
}

void FmSynth::NoteOn(int channel, std::uint8_t key, std::uint8_t velocity) {
    NoteOff(channel, key); // a key struck again starts afresh
    const Channel& c = m_channels[static_cast<std::size_t>(channel)];
    const int v = FreeVoice();
    Voice& voice = m_voices[v];
    if (voice.on) {
        Release(v);
    }
    const FmPatch* patch = &m_bank[c.program];
    voice.pitch = key;
    if (channel == kDrumChannel) {
        const FmDrum drum = FmDrumFor(key & 0x7F);
        patch = &m_bank[drum.program];
        voice.pitch = drum.note;
    }
    voice.channel = channel;
    voice.key = key;
    voice.velocity = velocity;
    if (voice.patch != patch) {
        voice.patch = patch;
        WritePatch(v);
    }
    WriteLevel(v);
    Write(v, 0xC0, patch->bytes[10] | PanBits(c.pan));
    voice.on = true;
    voice.held = false;
    voice.stamp = ++m_clock;
    WritePitch(v, true);
}

void FmSynth::NoteOff(int channel, std::uint8_t key) {
    const bool sustain = m_channels[static_cast<std::size_t>(channel)].sustain;
    for (int v = 0; v < kVoices; ++v) {
        Voice& voice = m_voices[v];
        if (voice.on && voice.channel == channel && voice.key == key) {
            if (sustain && channel != kDrumChannel) {
                voice.held = true;
            } else {
                Release(v);
            }
        }
    }
}

void FmSynth::Controller(int channel, std::uint8_t number, std::uint8_t value) {
    Channel& c = m_channels[static_cast<std::size_t>(channel)];
    switch (number) {
    case 7:
        c.volume = value;
        break;
    case 10:
        c.pan = value;
        break;
    case 11:
        c.expression = value;
        break;
    case 64:
        c.sustain = value >= 64;
        break;
    case 121: // reset all controllers: volume and pan stay
        c.expression = 127;
        c.bend = 0;
        c.sustain = false;
        break;
    case 120: // all sound off
    case 123: // all notes off
        c.sustain = false;
        break;
    default:
        return;
    }
    for (int v = 0; v < kVoices; ++v) {
        Voice& voice = m_voices[v];
        if (voice.channel != channel || !voice.on) {
            continue;
        }
        if (number == 120 || number == 123 || (voice.held && !c.sustain)) {
            Release(v);
        } else if (number == 10) {
            Write(v, 0xC0, voice.patch->bytes[10] | PanBits(c.pan));
        } else if (number == 7 || number == 11) {
            WriteLevel(v);
        }
    }
}

// A voice that is silent or fading (the one released longest ago), else the oldest sounding one.
int FmSynth::FreeVoice() {
    int best = -1;
    for (int v = 0; v < kVoices; ++v) {
        const Voice& voice = m_voices[v];
        if (!voice.on && (best < 0 || voice.stamp < m_voices[best].stamp)) {
            best = v;
        }
    }
    if (best >= 0) {
        return best;
    }
    best = 0;
    for (int v = 1; v < kVoices; ++v) {
        if (m_voices[v].stamp < m_voices[best].stamp) {
            best = v;
        }
    }
    return best;
}

void FmSynth::Release(int v) {
    Voice& voice = m_voices[v];
    voice.on = false;
    voice.held = false;
    voice.stamp = ++m_clock;
    WritePitch(v, false);
}

void FmSynth::WritePatch(int v) {
    const auto& b = m_voices[v].patch->bytes;
    for (int i = 0; i < 4; ++i) {
        const int reg = 0x20 + 0x20 * i;
        WriteOperator(v, false, reg, b[2 * i]);
        WriteOperator(v, true, reg, b[2 * i + 1]);
    }
    WriteOperator(v, false, 0xE0, b[8]);
    WriteOperator(v, true, 0xE0, b[9]);
}

void FmSynth::WriteLevel(int v) {
    const Voice& voice = m_voices[v];
    const Channel& c = m_channels[static_cast<std::size_t>(voice.channel)];
    const double db = LevelDb(c.volume) + LevelDb(c.expression) + LevelDb(voice.velocity);
    const int steps = static_cast<int>(std::lround(db / kLevelStepDb));
    const auto& b = voice.patch->bytes;
    const auto level = [steps](std::uint8_t scaling) {
        return (scaling & 0xC0) | std::min(0x3F, (scaling & 0x3F) + steps);
    };
    WriteOperator(v, true, 0x40, level(b[3]));
    // A modulator that is heard is turned down with the carrier; one that modulates keeps the
    // level that shapes the timbre.
    WriteOperator(v, false, 0x40, voice.patch->Additive() ? level(b[2]) : b[2]);
}

void FmSynth::WritePitch(int v, bool keyOn) {
    const Voice& voice = m_voices[v];
    const Channel& c = m_channels[static_cast<std::size_t>(voice.channel)];
    const double semitones = voice.pitch + kBendSemitones * c.bend / 8192.0;
    const double hz = 440.0 * std::pow(2.0, (semitones - 69.0) / 12.0);
    // The frequency is a 10-bit number times a power of two (the block): the lowest block
    // whose number fits keeps the most precision.
    int block = 0;
    double fnum = hz * (1 << 20) / kChipRate;
    while (fnum >= 1023.5 && block < 7) {
        ++block;
        fnum /= 2.0;
    }
    const int f = std::clamp(static_cast<int>(std::lround(fnum)), 0, 1023);
    Write(v, 0xA0, f & 0xFF);
    Write(v, 0xB0, (keyOn ? 0x20 : 0x00) | block << 2 | f >> 8);
}

void FmSynth::Write(int v, int reg, int value) {
    m_chip->setchip(v / 9);
    m_chip->write(reg + v % 9, value);
}

void FmSynth::WriteOperator(int v, bool carrier, int reg, int value) {
    m_chip->setchip(v / 9);
    m_chip->write(reg + kOperator[v % 9] + (carrier ? 3 : 0), value);
}

} // namespace sv
