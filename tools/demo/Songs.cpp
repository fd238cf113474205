// The demo songs: short pieces in the manner of a fantasy role-playing game's score, composed
// from a seed. A song is a plan (mood, key, metre, tempo, instruments, chord progressions) and
// a form (intro, sections of eight bars, outro); the melody of a section is generated once and
// repeated, so that a listener hears themes come back. One channel per part, one track each,
// plus a first track holding the system-exclusive and private events.
//
// Time: the converter keeps HMI ticks and plays them at about 119.6 ticks per second, so a beat
// of 60 ticks is 120 beats per minute.
#include "Catalog.h"
#include "DemoData.h"
#include "DemoMath.h"
#include "HmiWriter.h"

#include <algorithm>
#include <array>

namespace demo {

namespace {

constexpr double kTicksPerSecond = 119.6;
constexpr int kDrumChannel = 9;

using Mode = std::array<int, 7>;
constexpr Mode kMajor{0, 2, 4, 5, 7, 9, 11};
constexpr Mode kMinor{0, 2, 3, 5, 7, 8, 10};
constexpr Mode kDorian{0, 2, 3, 5, 7, 9, 10};
constexpr Mode kMixolydian{0, 2, 4, 5, 7, 9, 10};
constexpr Mode kPhrygian{0, 1, 3, 5, 7, 8, 10};

// General MIDI programs (0-based) used below.
enum Program : int {
    kCelesta = 8,
    kMusicBox = 10,
    kTubularBells = 14,
    kChurchOrgan = 19,
    kNylonGuitar = 24,
    kAcousticBass = 32,
    kViolin = 40,
    kCello = 42,
    kContrabass = 43,
    kTremoloStrings = 44,
    kPizzicato = 45,
    kHarp = 46,
    kTimpani = 47,
    kStrings = 48,
    kSlowStrings = 49,
    kChoir = 52,
    kTrumpet = 56,
    kTrombone = 57,
    kTuba = 58,
    kHorn = 60,
    kBrass = 61,
    kOboe = 68,
    kEnglishHorn = 69,
    kClarinet = 71,
    kFlute = 73,
    kRecorder = 74,
    kPanFlute = 75,
    kWarmPad = 89,
    kFiddle = 110,
};

enum class Arp { None, Strum, Harp, Fingerpick, Ostinato, Sparkle, Bells, Sparse };
enum class Bass { Drone, RootFifth, OomPah, Eighths };
enum class Drums { None, Jig, Light, Battle, March, Boom, Shaker };

struct Plan {
    Mood mood = Mood::Town;
    int root = 50; // tonic of the bass register's octave above (MIDI note)
    Mode mode = kMajor;
    bool raiseLeading = false; // harmonic minor's major dominant
    int beats = 4;             // per bar
    int division = 2;          // steps per beat
    int beat = 60;             // ticks per beat
    int melody = kFlute, counter = -1, pad = -1, arp = -1, bass = kAcousticBass;
    int timpani = -1;
    Arp arpKind = Arp::None;
    Bass bassKind = Bass::RootFifth;
    Drums drums = Drums::None;
    int legatoPercent = 90;
    int reverb = 60;
    bool swell = false;            // the pad breathes with expression
    std::vector<int> progA, progB; // chord degrees, one per bar, 8 each

    int Step() const { return beat / division; }
    int StepsPerBar() const { return beats * division; }
    int Bar() const { return beat * beats; }
};

// Pitch of scale degree `degree` (any integer) above the tonic in octave 0 of the plan.
int Pitch(const Plan& plan, int degree, int chord) {
    const int octave = degree >= 0 ? degree / 7 : -((6 - degree) / 7);
    const int inScale = degree - 7 * octave;
    int pitch = plan.root + 12 * octave + plan.mode[static_cast<std::size_t>(inScale)];
    const int chordRoot = ((chord % 7) + 7) % 7;
    if (plan.raiseLeading && inScale == 6 && (chordRoot == 4 || chordRoot == 6)) {
        ++pitch;
    }
    return pitch;
}

bool IsChordTone(int degree, int chord) {
    const int d = (((degree - chord) % 7) + 7) % 7;
    return d == 0 || d == 2 || d == 4;
}

int NearestChordTone(int degree, int chord) {
    for (int distance = 0; distance < 4; ++distance) {
        if (IsChordTone(degree - distance, chord)) {
            return degree - distance;
        }
        if (IsChordTone(degree + distance, chord)) {
            return degree + distance;
        }
    }
    return degree;
}

const std::vector<std::vector<int>>& MajorProgressions() {
    static const std::vector<std::vector<int>> p{
        {0, 3, 4, 0, 0, 5, 3, 4}, {0, 5, 3, 4, 0, 5, 1, 4}, {0, 4, 5, 3, 0, 3, 4, 0},
        {0, 3, 0, 4, 5, 3, 1, 4}, {5, 3, 0, 4, 5, 3, 4, 4}, {0, 1, 4, 0, 3, 4, 0, 4},
    };
    return p;
}

const std::vector<std::vector<int>>& MinorProgressions() {
    static const std::vector<std::vector<int>> p{
        {0, 5, 2, 6, 0, 5, 3, 4}, {0, 6, 5, 4, 0, 6, 5, 4}, {0, 3, 4, 0, 5, 3, 4, 4},
        {0, 5, 3, 4, 0, 3, 6, 4}, {0, 3, 6, 2, 5, 3, 4, 4}, {5, 6, 0, 0, 5, 6, 4, 4},
    };
    return p;
}

const std::vector<std::vector<int>>& ModalProgressions() {
    static const std::vector<std::vector<int>> p{
        {0, 1, 0, 6, 0, 1, 5, 0},
        {0, 0, 5, 1, 0, 0, 6, 1},
        {0, 6, 5, 6, 0, 6, 1, 0},
    };
    return p;
}

// A progression, with its last bars turned into a cadence: the dominant (the flat second in
// the Phrygian mode, whose fifth degree carries a diminished chord) then the tonic for the A
// section, a half cadence on it for the B section.
std::vector<int> Cadenced(std::vector<int> bars, bool home, int dominant) {
    if (home) {
        bars[6] = dominant;
        bars[7] = 0;
    } else {
        bars[7] = dominant;
    }
    return bars;
}

template <typename T> const T& Pick(Rng& rng, const std::vector<T>& items) {
    return items[static_cast<std::size_t>(rng.Below(static_cast<int>(items.size())))];
}

Plan MakePlan(Mood mood, Rng& rng) {
    Plan p;
    p.mood = mood;
    const std::vector<std::vector<int>>* progressions = &MajorProgressions();
    switch (mood) {
    case Mood::Jig:
        p.mode = rng.Chance(50) ? kMajor : kMixolydian;
        p.beats = 2, p.division = 3, p.beat = 3 * rng.Between(20, 23);
        p.melody = rng.Chance(60) ? kFiddle : kFlute;
        p.counter = p.melody == kFiddle ? kRecorder : kViolin;
        p.arp = kNylonGuitar, p.arpKind = Arp::Strum;
        p.bass = kAcousticBass, p.bassKind = Bass::RootFifth;
        p.drums = Drums::Jig, p.legatoPercent = 80, p.reverb = 45;
        break;
    case Mood::Dungeon:
        p.mode = rng.Chance(50) ? kPhrygian : kMinor;
        progressions = &ModalProgressions();
        p.beats = 4, p.beat = rng.Between(85, 100);
        p.melody = rng.Chance(50) ? kEnglishHorn : kPanFlute;
        p.pad = rng.Chance(50) ? kChoir : kWarmPad;
        p.arp = rng.Chance(50) ? kHarp : kCelesta, p.arpKind = Arp::Sparse;
        p.bass = kContrabass, p.bassKind = Bass::Drone;
        p.drums = Drums::Boom, p.reverb = 100, p.swell = true;
        break;
    case Mood::Town:
        p.mode = kMajor;
        p.beats = rng.Chance(50) ? 4 : 3, p.beat = rng.Between(62, 72);
        p.melody = Pick(rng, std::vector<int>{kFlute, kRecorder, kOboe});
        p.counter = kClarinet, p.pad = kStrings;
        p.arp = kHarp, p.arpKind = Arp::Harp;
        p.bass = kPizzicato, p.bassKind = Bass::OomPah;
        p.drums = Drums::Shaker;
        break;
    case Mood::Battle:
        p.mode = kMinor, p.raiseLeading = true;
        progressions = &MinorProgressions();
        p.beats = 4, p.beat = rng.Between(46, 52);
        p.melody = rng.Chance(50) ? kHorn : kTrumpet;
        p.counter = kTrombone, p.pad = kBrass;
        p.arp = kStrings, p.arpKind = Arp::Ostinato;
        p.bass = kContrabass, p.bassKind = Bass::Eighths;
        p.timpani = kTimpani, p.drums = Drums::Battle, p.legatoPercent = 85;
        break;
    case Mood::Night:
        p.mode = rng.Chance(50) ? kDorian : kMinor;
        progressions = &MinorProgressions();
        p.beats = 3, p.beat = rng.Between(78, 90);
        p.melody = rng.Chance(50) ? kFlute : kOboe;
        p.pad = kSlowStrings;
        p.arp = kNylonGuitar, p.arpKind = Arp::Fingerpick;
        p.bass = kAcousticBass, p.bassKind = Bass::Drone;
        p.reverb = 80, p.swell = true;
        break;
    case Mood::Temple:
        p.mode = rng.Chance(50) ? kDorian : kMajor;
        progressions = p.mode == kMajor ? &MajorProgressions() : &MinorProgressions();
        p.beats = 4, p.beat = rng.Between(90, 105);
        p.melody = kChoir, p.pad = kChurchOrgan;
        p.arp = kTubularBells, p.arpKind = Arp::Bells;
        p.bass = kContrabass, p.bassKind = Bass::Drone;
        p.reverb = 110, p.swell = true;
        break;
    case Mood::Snow:
        p.mode = rng.Chance(50) ? kMinor : kMajor;
        progressions = p.mode == kMajor ? &MajorProgressions() : &MinorProgressions();
        p.beats = 3, p.beat = rng.Between(70, 80);
        p.melody = kFlute, p.counter = kClarinet, p.pad = kSlowStrings;
        p.arp = rng.Chance(50) ? kCelesta : kMusicBox, p.arpKind = Arp::Sparkle;
        p.bass = kHarp, p.bassKind = Bass::RootFifth;
        p.reverb = 90;
        break;
    case Mood::March:
        p.mode = kMajor;
        p.beats = 4, p.beat = rng.Between(56, 62);
        p.melody = kTrumpet, p.counter = kHorn, p.pad = kBrass;
        p.bass = kTuba, p.bassKind = Bass::OomPah;
        p.timpani = kTimpani, p.drums = Drums::March, p.legatoPercent = 80;
        break;
    case Mood::Lament:
        p.mode = kMinor, p.raiseLeading = true;
        progressions = &MinorProgressions();
        p.beats = 4, p.beat = rng.Between(75, 85);
        p.melody = kCello, p.counter = kViolin, p.pad = kSlowStrings;
        p.arp = kHarp, p.arpKind = Arp::Harp;
        p.bass = kContrabass, p.bassKind = Bass::Drone;
        p.reverb = 90, p.swell = true;
        break;
    case Mood::Travel:
        p.mode = kMajor;
        p.beats = 4, p.beat = rng.Between(60, 68);
        p.melody = rng.Chance(50) ? kHorn : kViolin;
        p.counter = kFlute, p.pad = kStrings;
        p.arp = rng.Chance(50) ? kNylonGuitar : kHarp;
        p.arpKind = p.arp == kHarp ? Arp::Harp : Arp::Strum;
        p.bass = kCello, p.bassKind = Bass::RootFifth;
        p.timpani = kTimpani, p.drums = Drums::Light;
        break;
    }
    p.root = 48 + rng.Between(0, 9); // C3..A3
    const auto& progs = *progressions;
    const std::size_t a = static_cast<std::size_t>(rng.Below(static_cast<int>(progs.size())));
    std::size_t b = static_cast<std::size_t>(rng.Below(static_cast<int>(progs.size())));
    if (b == a) {
        b = (a + 1) % progs.size();
    }
    const int dominant = p.mode == kPhrygian ? 1 : 4;
    p.progA = Cadenced(progs[a], true, dominant);
    p.progB = Cadenced(progs[b], false, dominant);
    return p;
}

enum class Section { Intro, A, A2, B, B2, Outro };

struct BarInfo {
    std::uint32_t start;
    int chord;
    Section section;
    int inSection; // bar number within its section
};

bool IsB(Section s) {
    return s == Section::B || s == Section::B2;
}

// Intro, then sections of eight bars for about a minute in all, never ending on the B section's
// half cadence, then two bars of outro.
std::vector<BarInfo> MakeForm(const Plan& plan) {
    const int target = static_cast<int>(58 * kTicksPerSecond) / plan.Bar() + 2;
    static constexpr Section kOrder[] = {Section::A,  Section::B, Section::A2,
                                         Section::B2, Section::A, Section::A2};
    std::vector<Section> sections{Section::A};
    int length = 2 + 8;
    for (std::size_t i = 1; length + (IsB(kOrder[i % 6]) ? 16 : 8) <= target; ++i) {
        sections.push_back(kOrder[i % 6]);
        length += 8;
    }
    if (sections.size() < 2 || IsB(sections.back())) {
        sections.push_back(Section::A2);
    }

    std::vector<BarInfo> bars;
    std::uint32_t tick = static_cast<std::uint32_t>(plan.beat / 2);
    auto add = [&](Section s, int chord, int n) {
        bars.push_back({tick, chord, s, n});
        tick += static_cast<std::uint32_t>(plan.Bar());
    };
    add(Section::Intro, plan.progA[0], 0);
    add(Section::Intro, plan.progA[1], 1);
    for (const Section s : sections) {
        const std::vector<int>& prog = IsB(s) ? plan.progB : plan.progA;
        for (int n = 0; n < 8; ++n) {
            add(s, prog[static_cast<std::size_t>(n)], n);
        }
    }
    add(Section::Outro, 0, 0);
    add(Section::Outro, 0, 1);
    return bars;
}

struct MelodyNote {
    int step;   // from the section's start
    int length; // in steps
    int degree;
    bool rest;
};

// Rhythm cells filling one bar, in steps; negative lengths are rests.
std::vector<std::vector<int>> Cells(int stepsPerBar, int division) {
    if (division == 3) {
        return {{1, 1, 1, 1, 1, 1}, {2, 1, 2, 1}, {3, 1, 1, 1}, {1, 1, 1, 3}, {2, 1, 3}, {3, 2, 1}};
    }
    if (stepsPerBar == 6) {
        return {{2, 2, 2}, {3, 1, 2}, {4, 2}, {2, 1, 1, 2}, {2, 4}, {1, 1, 2, 2}};
    }
    return {{2, 2, 2, 2}, {1, 1, 2, 2, 2}, {3, 1, 2, 2}, {2, 1, 1, 4},
            {4, 2, 2},    {2, 2, 4},       {3, 1, 4},    {2, 2, 1, 1, 2}};
}

// Eight bars of melody over the section's chords: a two-bar motif, its answer, the motif again
// and a closing phrase that lands on the tonic (or the fifth before a return).
std::vector<MelodyNote> ComposeMelody(const Plan& plan, const std::vector<int>& chords, Rng& rng,
                                      bool home) {
    const int spb = plan.StepsPerBar();
    const auto cells = Cells(spb, plan.division);
    std::vector<int> rhythm[8];
    rhythm[0] = Pick(rng, cells);
    rhythm[1] = Pick(rng, cells);
    rhythm[2] = rhythm[0];
    rhythm[3] = Pick(rng, cells);
    rhythm[4] = rhythm[0];
    rhythm[5] = rhythm[1];
    rhythm[6] = Pick(rng, cells);
    rhythm[7] = plan.division == 3 ? std::vector<int>{3, -3} : std::vector<int>{spb / 2, -spb / 2};

    std::vector<MelodyNote> notes;
    int cursor = 7 + 2 * rng.Below(2);
    for (int bar = 0; bar < 8; ++bar) {
        const int chord = chords[static_cast<std::size_t>(bar)];
        if (bar == 4) { // the motif comes back, moved to fit its chord
            const int shift = chords[4] - chords[0];
            std::size_t count = notes.size();
            for (std::size_t i = 0; i < count && notes[i].step < 2 * spb; ++i) {
                MelodyNote n = notes[i];
                n.step += 4 * spb;
                n.degree += (shift > 3 ? shift - 7 : shift < -3 ? shift + 7 : shift);
                notes.push_back(n);
            }
            bar = 5;
            cursor = notes.back().degree;
            continue;
        }
        int step = 0;
        for (const int cell : rhythm[bar]) {
            const int length = cell < 0 ? -cell : cell;
            const int at = bar * spb + step;
            if (cell < 0) {
                notes.push_back({at, length, cursor, true});
                step += length;
                continue;
            }
            const bool strong = step % plan.division == 0;
            if (bar == 7 && step == 0) {
                cursor =
                    home ? NearestChordTone(cursor <= 9 ? 7 : 9, 0) : NearestChordTone(cursor, 4);
            } else if (strong) {
                cursor = NearestChordTone(cursor + rng.Between(-2, 2), chord);
            } else {
                static constexpr int kMoves[] = {-1, 1, -1, 1, -2, 2, 0, 1, -1};
                cursor += kMoves[rng.Below(9)];
            }
            cursor = std::clamp(cursor, 4, 13);
            notes.push_back({at, length, cursor, false});
            step += length;
        }
    }
    return notes;
}

struct Part {
    HmiTrack track;
    int program;
};

void Setup(HmiTrack& t, int program, int volume, int pan, int reverb, int chorus) {
    if (program >= 0) {
        t.Program(2, program);
    }
    t.Controller(2, 7, volume);
    t.Controller(2, 10, pan);
    t.Controller(2, 91, reverb);
    t.Controller(2, 93, chorus);
}

int Velocity(Rng& rng, int base, bool downbeat, bool onBeat) {
    return std::clamp(base + (downbeat ? 10 : onBeat ? 4 : 0) + rng.Between(-5, 5), 1, 127);
}

// A short upward scoop into a note: bend from below, back to centre within a few ticks.
void Scoop(HmiTrack& t, std::uint32_t tick) {
    t.PitchBend(tick, -1600);
    for (int i = 1; i <= 4; ++i) {
        t.PitchBend(tick + static_cast<std::uint32_t>(3 * i), -1600 + 400 * i);
    }
}

// A falling bend over the end of a note, back to centre once the note is over.
void Sigh(HmiTrack& t, std::uint32_t from, std::uint32_t end) {
    const std::uint32_t span = end > from ? end - from : 1;
    for (std::uint32_t i = 1; i <= 4; ++i) {
        t.PitchBend(from + span * i / 5, -300 * static_cast<int>(i));
    }
    t.PitchBend(end, 0);
}

class Composer {
public:
    Composer(const Plan& plan, std::uint64_t seed) : m_plan(plan), m_seed(seed), m_rng(seed) {
        m_bars = MakeForm(plan);
    }

    std::vector<HmiTrack> Compose();

private:
    void WriteMelody(HmiTrack& melody, HmiTrack* counter);
    void WritePad(HmiTrack& t);
    void WriteArp(HmiTrack& t);
    void WriteBass(HmiTrack& t);
    void WriteTimpani(HmiTrack& t);
    void WriteDrums(HmiTrack& t);
    void WriteConductor(HmiTrack& t);
    std::uint32_t StepTick(const BarInfo& bar, int step) const {
        return bar.start + static_cast<std::uint32_t>(step * m_plan.Step());
    }

    const Plan& m_plan;
    std::uint64_t m_seed;
    Rng m_rng;
    std::vector<BarInfo> m_bars;
};

void Composer::WriteConductor(HmiTrack& t) {
    t.Sysex(0, {0x7E, 0x7F, 0x09, 0x01}); // General MIDI on
    t.Private(0, {0xFE, 0x10, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00, 'T', 'H', 'M'});
    t.Sysex(1, {0x7F, 0x7F, 0x04, 0x01, 0x00, 0x70});     // master volume
    t.Private(m_bars[2].start, {0xFE, 0x14, 0x00, 0x00}); // loop start after the intro
    t.Private(m_bars.back().start, {0xFE, 0x15, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
}

void Composer::WriteMelody(HmiTrack& melody, HmiTrack* counter) {
    const int spb = m_plan.StepsPerBar();
    const int step = m_plan.Step();
    const int scoops = m_plan.melody == kChoir ? 15 : 30; // percent of the longer notes
    const bool sighs = m_plan.mood == Mood::Dungeon || m_plan.mood == Mood::Lament;
    std::vector<MelodyNote> themeA;
    std::vector<MelodyNote> themeB;
    {
        Rng a(m_seed * 31 + 1);
        themeA = ComposeMelody(m_plan, m_plan.progA, a, true);
        Rng b(m_seed * 31 + 2);
        themeB = ComposeMelody(m_plan, m_plan.progB, b, false);
    }
    for (std::size_t i = 0; i < m_bars.size(); ++i) {
        const BarInfo& bar = m_bars[i];
        if (bar.inSection != 0 || bar.section == Section::Intro || bar.section == Section::Outro) {
            continue;
        }
        const bool isB = IsB(bar.section);
        const bool second = bar.section == Section::A2 || bar.section == Section::B2;
        // The B section and the second time round are played with more weight.
        const int loudness = 86 + (isB ? 5 : 0) + (second ? 6 : 0);
        const auto& theme = isB ? themeB : themeA;
        const std::vector<int>& chords = isB ? m_plan.progB : m_plan.progA;
        for (std::size_t n = 0; n < theme.size(); ++n) {
            const MelodyNote& note = theme[n];
            if (note.rest) {
                continue;
            }
            const int barIndex = note.step / spb;
            const int chord = chords[static_cast<std::size_t>(barIndex)];
            const std::uint32_t tick = bar.start + static_cast<std::uint32_t>(note.step * step);
            const int ticks = note.length * step;
            const int duration = std::max(3, ticks * m_plan.legatoPercent / 100);
            const bool downbeat = note.step % spb == 0;
            const bool onBeat = note.step % m_plan.division == 0;
            int degree = note.degree;
            if (second && !onBeat && m_rng.Chance(25)) { // a variation the second time round
                degree = NearestChordTone(degree, chord);
            }
            const int pitch = Pitch(m_plan, degree, chord);
            if (ticks >= m_plan.beat && m_rng.Chance(scoops)) {
                Scoop(melody, tick);
            } else if (sighs && ticks >= 2 * m_plan.beat && m_rng.Chance(50)) {
                Sigh(melody, tick + static_cast<std::uint32_t>(duration * 2 / 3),
                     tick + static_cast<std::uint32_t>(duration));
            }
            if (ticks >= 2 * m_plan.beat) { // vibrato grows on long notes
                melody.Controller(tick, 1, 0);
                melody.Controller(tick + static_cast<std::uint32_t>(ticks / 3), 1, 45);
                melody.Controller(tick + static_cast<std::uint32_t>(duration), 1, 0);
            }
            if (m_plan.mood == Mood::Jig && second && onBeat && !downbeat && ticks >= step &&
                m_rng.Chance(40)) { // a fiddler's cut
                melody.Note(tick - 2, Pitch(m_plan, degree + 1, chord), 70, 2);
            }
            melody.Note(tick, pitch, Velocity(m_rng, loudness, downbeat, onBeat),
                        static_cast<std::uint32_t>(duration));

            if (counter != nullptr && second && onBeat) {
                // Harmony a third or more below, held to the next beat.
                int below = NearestChordTone(degree - 2, chord);
                if (below >= degree - 1) {
                    below = NearestChordTone(degree - 4, chord);
                }
                const int hold = std::max(ticks, m_plan.beat) * 9 / 10;
                counter->Note(tick, Pitch(m_plan, below, chord),
                              Velocity(m_rng, loudness - 20, downbeat, true),
                              static_cast<std::uint32_t>(std::min(hold, ticks + step)));
            }
        }
    }
    // The last word: the tonic, held.
    const BarInfo& outro = m_bars[m_bars.size() - 2];
    melody.Controller(outro.start, 1, 0);
    melody.Note(outro.start, Pitch(m_plan, 7, 0), 84,
                static_cast<std::uint32_t>(m_plan.Bar() * 3 / 2));
    melody.Controller(outro.start + static_cast<std::uint32_t>(m_plan.Bar() / 2), 1, 40);
    melody.Controller(outro.start + static_cast<std::uint32_t>(m_plan.Bar() * 3 / 2), 1, 0);
}

void Composer::WritePad(HmiTrack& t) {
    const int bar = m_plan.Bar();
    for (std::size_t i = 0; i < m_bars.size(); ++i) {
        const BarInfo& b = m_bars[i];
        const bool last = i + 1 == m_bars.size();
        if (b.section == Section::Outro && b.inSection == 1) {
            continue; // held from the first outro bar
        }
        const int length = b.section == Section::Outro ? 2 * bar - 6 : bar - 3;
        if (m_plan.pad == kBrass) { // brass plays stabs on the beats, not a carpet
            for (int beat = 0; beat < m_plan.beats; beat += 2) {
                if (b.section == Section::Intro && beat > 0) {
                    continue;
                }
                for (int k = 0; k < 3; ++k) {
                    const int note = Pitch(m_plan, b.chord + 2 * k, b.chord);
                    t.Note(b.start + static_cast<std::uint32_t>(beat * m_plan.beat),
                           60 + ((note - 60) % 12 + 12) % 12, beat == 0 ? 84 : 72,
                           static_cast<std::uint32_t>(m_plan.beat * (last ? 6 : 1) * 8 / 10));
                }
            }
            continue;
        }
        for (int k = 0; k < 3; ++k) {
            const int note = Pitch(m_plan, b.chord + 2 * k, b.chord);
            const int placed = 55 + ((note - 55) % 12 + 12) % 12; // close position above G3
            t.Note(b.start, placed, 62 + (k == 0 ? 4 : 0), static_cast<std::uint32_t>(length));
        }
        if (m_plan.swell && b.inSection % 2 == 0) { // a breath over two bars
            for (int s = 0; s <= 8; ++s) {
                const int value = 70 + (s <= 4 ? s : 8 - s) * 10;
                t.Controller(b.start + static_cast<std::uint32_t>(s * bar / 4), 11, value);
            }
        }
    }
}

void Composer::WriteArp(HmiTrack& t) {
    const int step = m_plan.Step();
    const int spb = m_plan.StepsPerBar();
    for (const BarInfo& b : m_bars) {
        const bool outro = b.section == Section::Outro;
        if (outro && b.inSection == 1) {
            continue;
        }
        const int chord = b.chord;
        auto tone = [&](int index, int base) { // chord tone `index` (0 root, 1 third, 2 fifth...)
            const int note = Pitch(m_plan, chord + 2 * (index % 3), chord) + 12 * (index / 3);
            return base + ((note - base) % 12 + 12) % 12 + 12 * (index / 3);
        };
        if (outro) { // one last rolled chord
            for (int k = 0; k < 5; ++k) {
                t.Note(b.start + static_cast<std::uint32_t>(4 * k), tone(k, 50), 70,
                       static_cast<std::uint32_t>(2 * m_plan.Bar() - 20));
            }
            continue;
        }
        switch (m_plan.arpKind) {
        case Arp::Strum: {
            static constexpr int kJig[] = {0, 2, 3, 5};
            const int strokes = m_plan.division == 3 ? 4 : m_plan.beats * 2;
            for (int s = 0; s < strokes; ++s) {
                const int at = m_plan.division == 3 ? kJig[s] : s;
                const bool down = m_plan.division == 3 ? (s % 2 == 0) : (s % 2 == 0);
                for (int k = 0; k < 4; ++k) {
                    const int index = down ? k : 3 - k;
                    t.Note(StepTick(b, at) + static_cast<std::uint32_t>(2 * k), tone(index, 48),
                           (down ? 74 : 58) + m_rng.Between(-4, 4),
                           static_cast<std::uint32_t>(step * (down ? 2 : 1) - 2 * k - 2));
                }
            }
            break;
        }
        case Arp::Harp: {
            static constexpr int kShape[] = {0, 1, 2, 3, 4, 5, 4, 3, 2, 1, 2, 3};
            for (int s = 0; s < spb; ++s) {
                t.Note(StepTick(b, s), tone(kShape[s % 12], 48),
                       60 + (s == 0 ? 10 : 0) + m_rng.Between(-4, 4),
                       static_cast<std::uint32_t>(step * 2 - 2));
            }
            break;
        }
        case Arp::Fingerpick: {
            static constexpr int kPattern[] = {0, 2, 3, 4, 3, 2};
            for (int s = 0; s < spb; ++s) {
                const int index = kPattern[s % 6];
                t.Note(StepTick(b, s), index == 0 ? tone(0, 40) : tone(index, 52),
                       (s == 0 ? 72 : 58) + m_rng.Between(-4, 4),
                       static_cast<std::uint32_t>(s == 0 ? m_plan.Bar() - 4 : step * 2 - 2));
            }
            break;
        }
        case Arp::Ostinato: {
            const int sixteenth = m_plan.beat / 4;
            static constexpr int kPattern[] = {0, 0, 3, 0, 0, 0, 2, 0};
            for (int s = 0; s < m_plan.beats * 4; ++s) {
                t.Note(b.start + static_cast<std::uint32_t>(s * sixteenth),
                       tone(kPattern[s % 8], 50), (s % 4 == 0 ? 88 : 66) + m_rng.Between(-4, 4),
                       static_cast<std::uint32_t>(sixteenth - 3));
            }
            break;
        }
        case Arp::Sparkle:
            for (int s = 0; s < spb; ++s) {
                if (s == 0 || m_rng.Chance(45)) {
                    t.Note(StepTick(b, s), tone(m_rng.Below(5), 72), 50 + m_rng.Between(0, 20),
                           static_cast<std::uint32_t>(step * 3));
                }
            }
            break;
        case Arp::Bells:
            if (b.inSection % 2 == 0) {
                t.Note(b.start, tone(0, 60), 70, static_cast<std::uint32_t>(m_plan.Bar()));
                t.Note(b.start + static_cast<std::uint32_t>(m_plan.beat * 2), tone(2, 60), 55,
                       static_cast<std::uint32_t>(m_plan.Bar()));
            }
            break;
        case Arp::Sparse:
            for (int beat = 0; beat < m_plan.beats; ++beat) {
                if (m_rng.Chance(35)) {
                    t.Note(b.start + static_cast<std::uint32_t>(beat * m_plan.beat +
                                                                m_rng.Below(2) * m_plan.beat / 2),
                           tone(m_rng.Below(4), 62), 48 + m_rng.Between(0, 18),
                           static_cast<std::uint32_t>(m_plan.beat * 2));
                }
            }
            break;
        case Arp::None:
            break;
        }
    }
}

void Composer::WriteBass(HmiTrack& t) {
    const int beat = m_plan.beat;
    for (std::size_t i = 0; i < m_bars.size(); ++i) {
        const BarInfo& b = m_bars[i];
        const int root = Pitch(m_plan, b.chord, b.chord) - 12;
        const int low = 36 + ((root - 36) % 12 + 12) % 12;
        const int fifth = Pitch(m_plan, b.chord + 4, b.chord) - 12;
        const int fifthLow = 36 + ((fifth - 36) % 12 + 12) % 12;
        if (b.section == Section::Outro) {
            if (b.inSection == 0) {
                t.Note(b.start, low, 80, static_cast<std::uint32_t>(2 * m_plan.Bar() - 8));
            }
            continue;
        }
        switch (m_plan.bassKind) {
        case Bass::Drone:
            t.Note(b.start, low, 72, static_cast<std::uint32_t>(m_plan.Bar() - 4));
            break;
        case Bass::RootFifth:
            for (int k = 0; k < m_plan.beats; ++k) {
                t.Note(b.start + static_cast<std::uint32_t>(k * beat), k % 2 == 0 ? low : fifthLow,
                       k == 0 ? 84 : 72, static_cast<std::uint32_t>(beat * 8 / 10));
            }
            break;
        case Bass::OomPah:
            for (int k = 0; k < m_plan.beats; ++k) {
                const bool strong = k == 0 || (m_plan.beats == 4 && k == 2);
                if (strong) {
                    t.Note(b.start + static_cast<std::uint32_t>(k * beat), k == 0 ? low : fifthLow,
                           k == 0 ? 86 : 76, static_cast<std::uint32_t>(beat * 7 / 10));
                }
            }
            break;
        case Bass::Eighths:
            for (int k = 0; k < m_plan.beats * 2; ++k) {
                const int note = (k == 7 && b.inSection % 4 == 3) ? low + 12 : low;
                t.Note(b.start + static_cast<std::uint32_t>(k * beat / 2), note,
                       (k % 2 == 0 ? 90 : 74) + m_rng.Between(-3, 3),
                       static_cast<std::uint32_t>(beat / 2 - 4));
            }
            break;
        }
    }
}

void Composer::WriteTimpani(HmiTrack& t) {
    const int beat = m_plan.beat;
    for (std::size_t i = 0; i < m_bars.size(); ++i) {
        const BarInfo& b = m_bars[i];
        const int root = 41 + ((Pitch(m_plan, 0, 0) - 41) % 12 + 12) % 12;
        const int fifth = root - 5;
        if (b.section == Section::Outro) {
            if (b.inSection == 0) {
                for (int k = 0; k < 12; ++k) { // roll into the final chord
                    t.Note(b.start + static_cast<std::uint32_t>(k * 6), root, 60 + 4 * k, 5);
                }
            }
            continue;
        }
        if (b.inSection == 7 && b.section != Section::Intro) {
            for (int k = 0; k < 8; ++k) {
                t.Note(b.start + static_cast<std::uint32_t>(2 * beat + k * beat / 4), fifth,
                       60 + 6 * k, static_cast<std::uint32_t>(beat / 4 - 2));
            }
        }
        t.Note(b.start, root, 96, static_cast<std::uint32_t>(beat - 4));
        if (m_plan.beats == 4 && b.inSection != 7) {
            t.Note(b.start + static_cast<std::uint32_t>(2 * beat), fifth, 80,
                   static_cast<std::uint32_t>(beat - 4));
        }
    }
}

void Composer::WriteDrums(HmiTrack& t) {
    enum : int {
        kKick = 36,
        kSnare = 38,
        kHat = 42,
        kCrash = 49,
        kTambourine = 54,
        kTriangle = 81,
        kShaker = 70,
        kLowTom = 41,
        kMidTom = 45,
        kHighTom = 48
    };
    const int step = m_plan.Step();
    const std::uint32_t hit = 10;
    for (std::size_t i = 0; i < m_bars.size(); ++i) {
        const BarInfo& b = m_bars[i];
        const bool sectionStart = b.inSection == 0 && b.section != Section::Intro;
        if (b.section == Section::Outro) {
            if (b.inSection == 0 && m_plan.drums != Drums::None && m_plan.drums != Drums::Shaker) {
                t.Note(b.start, kCrash, 90, 60);
                t.Note(b.start, kKick, 100, hit);
            }
            continue;
        }
        switch (m_plan.drums) {
        case Drums::Jig:
            for (int s = 0; s < 6; ++s) {
                t.Note(StepTick(b, s), kTambourine, (s % 3 == 0 ? 78 : 52) + m_rng.Between(-5, 5),
                       hit);
            }
            t.Note(StepTick(b, 0), kKick, 88, hit);
            t.Note(StepTick(b, 3), kKick, 76, hit);
            break;
        case Drums::Light:
            if (b.inSection % 2 == 0) {
                t.Note(b.start, kTriangle, 60, 40);
            }
            for (int s = 0; s < m_plan.StepsPerBar(); ++s) {
                t.Note(StepTick(b, s), kTambourine, (s % 2 == 0 ? 56 : 40) + m_rng.Between(-4, 4),
                       hit);
            }
            break;
        case Drums::Shaker:
            for (int s = 0; s < m_plan.StepsPerBar(); ++s) {
                t.Note(StepTick(b, s), kShaker, (s % 2 == 0 ? 58 : 42) + m_rng.Between(-4, 4), hit);
            }
            break;
        case Drums::Battle:
            if (sectionStart) {
                t.Note(b.start, kCrash, 100, 60);
            }
            for (int s = 0; s < 8; ++s) {
                if (s == 0 || s == 3 || s == 5) {
                    t.Note(StepTick(b, s), kKick, 100, hit);
                }
                if (s == 2 || s == 6) {
                    t.Note(StepTick(b, s), kSnare, 96, hit);
                }
                t.Note(StepTick(b, s), kHat, 60 + m_rng.Between(-5, 5), hit);
            }
            if (b.inSection % 4 == 3) { // a fill of toms into the next phrase
                static constexpr int kToms[] = {kHighTom, kHighTom, kMidTom, kLowTom};
                for (int k = 0; k < 4; ++k) {
                    t.Note(StepTick(b, 6) + static_cast<std::uint32_t>(k * step / 2), kToms[k], 90,
                           hit);
                }
            }
            break;
        case Drums::March:
            if (sectionStart) {
                t.Note(b.start, kCrash, 90, 60);
            }
            t.Note(StepTick(b, 0), kKick, 92, hit);
            t.Note(StepTick(b, 4), kKick, 84, hit);
            for (int s = 0; s < 8; ++s) {
                const bool roll = s == 6 && b.inSection % 2 == 1;
                if (roll) {
                    for (int k = 0; k < 4; ++k) {
                        t.Note(StepTick(b, s) + static_cast<std::uint32_t>(k * step / 4), kSnare,
                               60 + 8 * k, 4);
                    }
                } else if (s % 2 == 1 || s == 2 || s == 6) {
                    t.Note(StepTick(b, s), kSnare, (s % 2 == 0 ? 86 : 62) + m_rng.Between(-4, 4),
                           hit);
                }
            }
            break;
        case Drums::Boom:
            if (b.inSection % 2 == 0 && b.section != Section::Intro) {
                t.Note(b.start, kLowTom, 70, 60);
                t.Note(b.start + static_cast<std::uint32_t>(m_plan.beat / 2), kLowTom, 50, 60);
            }
            break;
        case Drums::None:
            break;
        }
    }
}

std::vector<HmiTrack> Composer::Compose() {
    std::vector<HmiTrack> tracks;
    HmiTrack conductor(0);
    WriteConductor(conductor);
    tracks.push_back(std::move(conductor));

    const int wet = m_plan.reverb;
    HmiTrack melody(0);
    Setup(melody, m_plan.melody, 108, 70, wet, 10);
    HmiTrack counter(1);
    Setup(counter, m_plan.counter, 88, 44, wet, 10);
    WriteMelody(melody, m_plan.counter >= 0 ? &counter : nullptr);
    tracks.push_back(std::move(melody));
    if (m_plan.counter >= 0) {
        tracks.push_back(std::move(counter));
    }
    if (m_plan.pad >= 0) {
        HmiTrack pad(2);
        Setup(pad, m_plan.pad, m_plan.pad == kBrass ? 78 : 74, 58, wet, 40);
        WritePad(pad);
        tracks.push_back(std::move(pad));
    }
    if (m_plan.arpKind != Arp::None) {
        HmiTrack arp(3);
        Setup(arp, m_plan.arp, 86, 84, wet, 20);
        WriteArp(arp);
        tracks.push_back(std::move(arp));
    }
    HmiTrack bass(4);
    Setup(bass, m_plan.bass, 96, 56, wet / 2, 0);
    WriteBass(bass);
    tracks.push_back(std::move(bass));
    if (m_plan.timpani >= 0) {
        HmiTrack timpani(5);
        Setup(timpani, m_plan.timpani, 92, 64, wet, 0);
        WriteTimpani(timpani);
        tracks.push_back(std::move(timpani));
    }
    if (m_plan.drums != Drums::None) {
        HmiTrack drums(kDrumChannel);
        Setup(drums, -1, 84, 64, wet / 2, 0);
        WriteDrums(drums);
        tracks.push_back(std::move(drums));
    }
    return tracks;
}

} // namespace

std::vector<std::uint8_t> MakeSong(int index, bool full) {
    const std::vector<SongEntry>& entries = SongEntries(full);
    if (index < 0 || index >= static_cast<int>(entries.size())) {
        return {};
    }
    const SongEntry& entry = entries[static_cast<std::size_t>(index)];
    const std::uint64_t seed = 0x5EED0000ull + entry.seed;
    Rng rng(seed);
    const Plan plan = MakePlan(entry.mood, rng);
    Composer composer(plan, seed);
    return AssembleSong(composer.Compose(), static_cast<int>(60 * kTicksPerSecond / plan.beat));
}

} // namespace demo
