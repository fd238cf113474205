// The demo effects: one recipe per kind of sound, from noise, filtered noise, oscillators,
// resonant partials and envelopes. A voice's seed varies pitch, length and the random details,
// so that the full-size archive holds hundreds of different takes of the same few dozen sounds.
#include "Catalog.h"
#include "DemoData.h"
#include "Synth.h"

#include <algorithm>

namespace demo {

namespace {

struct Voice {
    Rng rng;
    double pitch;  // frequency factor
    double length; // duration factor

    Signal Make(double seconds) const { return Signal(Samples(seconds * length), 0.0); }
    double Noise() { return rng.Signed(); }
};

// A short broadband knock or click through a resonance: the basis of steps, clicks and rattles.
void AddKnock(Signal& out, std::size_t at, Voice& v, double centre, double q, double tau,
              double gain) {
    BandPass band(centre, q);
    for (std::size_t i = at; i < out.size(); ++i) {
        const double t = Time(i - at);
        if (t > 8 * tau) {
            break;
        }
        out[i] += gain * band.Run(v.Noise() * Decay(t, tau / 3)) * Decay(t, tau);
    }
}

// A low thump: a sine falling in pitch.
void AddThud(Signal& out, std::size_t at, double from, double to, double tau, double gain) {
    Osc osc;
    for (std::size_t i = at; i < out.size(); ++i) {
        const double t = Time(i - at);
        if (t > 8 * tau) {
            break;
        }
        out[i] += gain * Decay(t, tau) * osc.Sine(to + (from - to) * Decay(t, tau / 2));
    }
}

// A wooden creak: stick-slip pulses at a wandering rate exciting two body resonances.
void AddCreak(Signal& out, std::size_t from, std::size_t to, Voice& v, double rate, double body,
              double gain) {
    BandPass a(body, 12), b(body * 1.9, 10);
    double phase = 0;
    const double wobble = v.rng.Range(2, 5);
    for (std::size_t i = from; i < to && i < out.size(); ++i) {
        const double t = Time(i - from);
        const double span = Time(to - from);
        const double r =
            rate * (0.7 + 0.6 * Hump(t, -0.2 * span, span) + 0.1 * Sin(2 * kPi * wobble * t));
        phase += r / kRate;
        double pulse = 0;
        if (phase >= 1) {
            phase -= 1;
            pulse = 1 + 0.3 * v.Noise();
        }
        const double env = Hump(t, 0, span) * gain;
        out[i] += env * (a.Run(pulse) + 0.6 * b.Run(pulse));
    }
}

Signal SwordSwing(Voice& v) {
    Signal s = v.Make(0.38);
    BandPass band(600, 2.5);
    const double span = Time(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        const double t = Time(i);
        const double h = Hump(t, 0, span);
        band.Set(v.pitch * (350 + 1500 * h * h), 2.5);
        s[i] = band.Run(v.Noise()) * h * h;
    }
    return s;
}

Signal SwordClash(Voice& v) {
    Signal s = v.Make(1.1);
    AddKnock(s, 0, v, 3500, 1, 0.01, 2);
    AddPartials(s, 0, 880 * v.pitch, {1, 1.47, 2.09, 2.56, 3.17, 4.3}, 0.8, 0.35 * v.length);
    AddPartials(s, Samples(0.004), 1310 * v.pitch, {1, 1.61, 2.33}, 0.4, 0.2 * v.length);
    return s;
}

Signal Punch(Voice& v) {
    Signal s = v.Make(0.3);
    AddThud(s, 0, 160 * v.pitch, 55 * v.pitch, 0.07, 1);
    OnePole low(900);
    for (std::size_t i = 0; i < s.size(); ++i) {
        s[i] += 0.8 * low.Low(v.Noise()) * Decay(Time(i), 0.025);
    }
    return s;
}

Signal ArrowShot(Voice& v) {
    Signal s = v.Make(0.6);
    Osc string;
    BandPass air(1800, 1.5);
    for (std::size_t i = 0; i < s.size(); ++i) {
        const double t = Time(i);
        const double twang =
            string.Saw(170 * v.pitch * (1 + 0.05 * Decay(t, 0.02))) * Decay(t, 0.09);
        air.Set(2200 * v.pitch - 1500 * t, 1.5);
        s[i] = 0.7 * twang + 0.8 * air.Run(v.Noise()) * Hump(t, 0.01, 0.45);
    }
    return s;
}

Signal DoorOpen(Voice& v) {
    Signal s = v.Make(1.5);
    AddKnock(s, 0, v, 2200, 6, 0.012, 3); // the latch
    AddCreak(s, Samples(0.08), s.size() - Samples(0.25), v, 55 * v.pitch, 650 * v.pitch, 1.0);
    AddThud(s, s.size() - Samples(0.25), 110, 60, 0.06, 0.25);
    return s;
}

Signal DoorClose(Voice& v) {
    Signal s = v.Make(0.9);
    AddThud(s, 0, 140 * v.pitch, 50 * v.pitch, 0.12, 1.2);
    OnePole low(500);
    for (std::size_t i = 0; i < s.size(); ++i) {
        s[i] += 0.7 * low.Low(v.Noise()) * Decay(Time(i), 0.06);
    }
    for (int k = 1; k <= 4; ++k) { // the latch and the frame rattling
        AddKnock(s, Samples(0.05 * k + 0.01 * v.rng.Unit()), v, 1800 + 300 * k, 8, 0.015, 0.6 / k);
    }
    return s;
}

Signal StepStone(Voice& v) {
    Signal s = v.Make(0.2);
    AddKnock(s, 0, v, 1900 * v.pitch, 1.2, 0.02, 1.5);
    AddThud(s, 0, 120, 70, 0.03, 0.5);
    return s;
}

Signal StepGrass(Voice& v) {
    Signal s = v.Make(0.32);
    BandPass band(3000 * v.pitch, 1);
    for (std::size_t i = 0; i < s.size(); ++i) {
        const double t = Time(i);
        const double grain = v.rng.Chance(15) ? v.Noise() * 3 : v.Noise() * 0.3;
        s[i] = band.Run(grain) * Strike(t, 0.03, 0.08);
    }
    return s;
}

Signal StepWood(Voice& v) {
    Signal s = v.Make(0.25);
    AddKnock(s, 0, v, 420 * v.pitch, 8, 0.05, 2);
    AddKnock(s, 0, v, 950 * v.pitch, 6, 0.03, 1);
    return s;
}

Signal Fireball(Voice& v) {
    Signal s = v.Make(1.3);
    OnePole low(300);
    const double span = Time(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        const double t = Time(i);
        low.SetCutoff(v.pitch * (250 + 1600 * Hump(t, 0, span * 0.8)));
        const double roar = low.Low(v.Noise()) * 3 * Strike(t, 0.15, 0.45);
        const double crackle = v.rng.Chance(2) ? v.Noise() * Decay(t, 0.6) : 0;
        s[i] = roar + 0.8 * crackle;
    }
    return s;
}

Signal Heal(Voice& v) {
    Signal s = v.Make(1.6);
    static constexpr double kChord[] = {523.25, 659.26, 783.99, 1046.5, 1318.5, 1568.0};
    for (int k = 0; k < 6; ++k) {
        const std::size_t at = Samples(0.09 * k * v.length);
        AddPartials(s, at, kChord[k] * v.pitch, {1, 2.0, 3.0}, 0.5, 0.5);
    }
    for (std::size_t i = 0; i < s.size(); ++i) { // shimmer
        s[i] *= 0.85 + 0.15 * Sin(2 * kPi * 7 * Time(i));
    }
    return s;
}

Signal Lightning(Voice& v) {
    Signal s = v.Make(1.2);
    OnePole rumble(120);
    double burst = 1;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const double t = Time(i);
        if (v.rng.Chance(1)) {
            burst = v.rng.Range(0.3, 1.0);
        }
        burst *= 0.995;
        s[i] = v.Noise() * (t < 0.012 ? 1.5 : burst * Decay(t, 0.3)) +
               4 * rumble.Low(v.Noise()) * Decay(t, 0.5);
    }
    return s;
}

Signal FireLoop(Voice& v) {
    Signal s = v.Make(2.0);
    OnePole low(220);
    for (std::size_t i = 0; i < s.size(); ++i) {
        s[i] = 3 * low.Low(v.Noise()) * (0.8 + 0.2 * Sin(2 * kPi * 3 * Time(i)));
    }
    for (int k = 0; k < static_cast<int>(14 * v.length); ++k) { // pops of the wood
        AddKnock(s, Samples(v.rng.Range(0, Time(s.size()) - 0.05)), v, v.rng.Range(1500, 3500), 3,
                 0.006, v.rng.Range(0.4, 1.2));
    }
    return s;
}

Signal Splash(Voice& v) {
    Signal s = v.Make(0.8);
    BandPass band(1200, 1.2);
    for (std::size_t i = 0; i < s.size(); ++i) {
        const double t = Time(i);
        band.Set(v.pitch * (1400 - 900 * t), 1.2);
        s[i] = band.Run(v.Noise()) * Strike(t, 0.01, 0.16) * 1.5;
    }
    for (int k = 0; k < 8; ++k) { // bubbles: short rising blips
        const std::size_t at = Samples(v.rng.Range(0.05, 0.6));
        Osc osc;
        const double f = v.rng.Range(500, 1300) * v.pitch;
        for (std::size_t i = at; i < s.size() && i < at + Samples(0.04); ++i) {
            const double t = Time(i - at);
            s[i] += 0.3 * osc.Sine(f * (1 + 8 * t)) * Decay(t, 0.012);
        }
    }
    return s;
}

Signal Drip(Voice& v) {
    Signal s = v.Make(0.35);
    for (int echo = 0; echo < 3; ++echo) {
        const std::size_t at = Samples(0.09 * echo);
        Osc osc;
        for (std::size_t i = at; i < s.size(); ++i) {
            const double t = Time(i - at);
            s[i] += (echo == 0 ? 1.0 : 0.3 / echo) * osc.Sine(v.pitch * 900 * (1 + 25 * t)) *
                    Decay(t, 0.025);
        }
    }
    return s;
}

Signal RiverLoop(Voice& v) {
    Signal s = v.Make(2.5);
    BandPass band(600, 0.8);
    for (std::size_t i = 0; i < s.size(); ++i) {
        band.Set(v.pitch * (550 + 150 * Sin(2 * kPi * 0.7 * Time(i))), 0.8);
        s[i] = band.Run(v.Noise());
    }
    for (int k = 0; k < static_cast<int>(30 * v.length); ++k) {
        const std::size_t at = Samples(v.rng.Range(0, Time(s.size()) - 0.04));
        Osc osc;
        const double f = v.rng.Range(700, 1800) * v.pitch;
        for (std::size_t i = at; i < s.size() && i < at + Samples(0.03); ++i) {
            const double t = Time(i - at);
            s[i] += 0.25 * osc.Sine(f * (1 + 10 * t)) * Decay(t, 0.01);
        }
    }
    return s;
}

Signal RatSqueak(Voice& v) {
    Signal s = v.Make(0.45);
    Osc carrier, vibrato;
    const int squeaks = 2 + v.rng.Below(2);
    const double each = Time(s.size()) / squeaks;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const double t = Time(i);
        const double local = t - each * static_cast<int>(t / each);
        const double env = Hump(local, 0, each * 0.7);
        const double f = v.pitch * (2600 + 700 * env) + 120 * vibrato.Sine(38);
        s[i] = carrier.Sine(f) * env;
    }
    return s;
}

Signal WolfGrowl(Voice& v) {
    Signal s = v.Make(1.4);
    Osc voice;
    OnePole low(900);
    BandPass formant(500 * v.pitch, 3);
    const double span = Time(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        const double t = Time(i);
        const double rough = 0.6 + 0.4 * Sin(2 * kPi * 27 * t);
        const double f = v.pitch * (85 + 15 * Hump(t, 0, span) + 4 * v.Noise());
        const double x = voice.Saw(f) + 0.4 * v.Noise();
        s[i] = (low.Low(x) + 0.7 * formant.Run(x)) * rough * Hump(t, 0, span);
    }
    return s;
}

Signal Roar(Voice& v) {
    Signal s = v.Make(1.9);
    Osc voice;
    BandPass f1(550, 4), f2(1150, 5);
    const double span = Time(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        const double t = Time(i);
        const double f = v.pitch * (150 - 60 * t / span) * (1 + 0.03 * Sin(2 * kPi * 6 * t));
        const double x = voice.Saw(f) + 0.6 * v.Noise();
        s[i] = (f1.Run(x) + 0.6 * f2.Run(x) + 0.3 * x) * Strike(t, 0.25, span / 2.5);
    }
    return s;
}

Signal BatWings(Voice& v) {
    Signal s = v.Make(0.9);
    OnePole low(700);
    const double rate = 9 * v.pitch;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const double t = Time(i);
        const double flap = t * rate - static_cast<int>(t * rate);
        s[i] = 2.5 * low.Low(v.Noise()) * Decay(flap, 0.03);
    }
    Osc squeak;
    for (std::size_t i = Samples(0.3); i < Samples(0.42) && i < s.size(); ++i) {
        const double t = Time(i) - 0.3;
        s[i] += 0.5 * squeak.Sine(v.pitch * (3800 - 4000 * t)) * Hump(t, 0, 0.12);
    }
    return s;
}

Signal GhostMoan(Voice& v) {
    Signal s = v.Make(2.3);
    Osc voice;
    BandPass breath(700, 2);
    const double span = Time(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        const double t = Time(i);
        const double glide = 300 + 130 * Hump(t, 0, span * 0.6) - 60 * (t / span);
        const double f = v.pitch * glide * (1 + 0.02 * Sin(2 * kPi * 5 * t));
        s[i] = (voice.Sine(f) + 0.4 * breath.Run(v.Noise())) * Hump(t, 0, span);
    }
    return s;
}

Signal Bell(Voice& v) {
    Signal s = v.Make(2.6);
    AddPartials(s, 0, 660 * v.pitch, {0.56, 0.92, 1.19, 1.71, 2, 2.74, 3, 3.76, 4.07}, 1, 1.6);
    return s;
}

Signal ChestOpen(Voice& v) {
    Signal s = v.Make(1.3);
    AddKnock(s, 0, v, 2600, 10, 0.012, 1.4); // the clasp
    AddKnock(s, Samples(0.06), v, 1900, 10, 0.01, 1.0);
    AddCreak(s, Samples(0.15), Samples(1.0 * v.length), v, 75 * v.pitch, 900 * v.pitch, 0.9);
    AddThud(s, Samples(1.05 * v.length), 120, 80, 0.05, 0.6); // the lid against its hinge
    return s;
}

Signal Coins(Voice& v) {
    Signal s = v.Make(0.9);
    const int count = 6 + v.rng.Below(6);
    for (int k = 0; k < count; ++k) {
        AddPartials(s, Samples(v.rng.Range(0, 0.55) * v.length), v.rng.Range(2200, 3000) * v.pitch,
                    {1, 1.37, 1.83}, v.rng.Range(0.3, 0.8), 0.06);
    }
    return s;
}

Signal LevelUp(Voice& v) {
    Signal s = v.Make(1.3);
    static constexpr double kNotes[] = {523.25, 659.26, 783.99, 1046.5};
    for (int k = 0; k < 4; ++k) {
        const std::size_t at = Samples(0.11 * k * v.length);
        Osc osc;
        for (std::size_t i = at; i < s.size(); ++i) {
            const double t = Time(i - at);
            const double hold = k == 3 ? 0.7 : 0.1;
            const double vib = k == 3 ? 1 + 0.006 * Sin(2 * kPi * 6 * t) : 1;
            s[i] += 0.4 * osc.Square(kNotes[k] * v.pitch * vib) *
                    (t < hold ? 1 : Decay(t - hold, 0.08));
        }
    }
    return s;
}

Signal Grunt(Voice& v) {
    Signal s = v.Make(0.42);
    Osc glottis;
    BandPass f1(650 * v.pitch, 5), f2(1100 * v.pitch, 6);
    const double span = Time(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        const double t = Time(i);
        const double x = glottis.Saw(v.pitch * (130 - 50 * t / span)) + 0.3 * v.Noise();
        s[i] = (f1.Run(x) + 0.5 * f2.Run(x)) * Strike(t, 0.02, 0.12);
    }
    return s;
}

Signal Scream(Voice& v) {
    Signal s = v.Make(1.1);
    Osc glottis;
    BandPass f1(850, 6), f2(1300, 7), f3(2600, 8);
    const double span = Time(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        const double t = Time(i);
        const double f =
            v.pitch * (420 + 200 * Hump(t, 0, span * 0.7)) * (1 + 0.03 * Sin(2 * kPi * 7 * t));
        const double x = glottis.Saw(f) + 0.2 * v.Noise();
        s[i] = (f1.Run(x) + 0.8 * f2.Run(x) + 0.4 * f3.Run(x)) * Strike(t, 0.05, span / 2);
    }
    return s;
}

Signal WindLoop(Voice& v) {
    Signal s = v.Make(3.0);
    BandPass band(500, 3);
    const double span = Time(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        const double t = Time(i);
        band.Set(v.pitch * (450 + 300 * Sin(2 * kPi * 0.35 * t) + 120 * Sin(2 * kPi * 1.1 * t)), 3);
        s[i] =
            band.Run(v.Noise()) * (0.7 + 0.3 * Sin(2 * kPi * 0.5 * t)) * Hump(t, -0.3, span + 0.3);
    }
    return s;
}

Signal Rain(Voice& v) {
    Signal s = v.Make(2.0);
    OnePole hiss(2500);
    for (std::size_t i = 0; i < s.size(); ++i) {
        s[i] = 0.25 * hiss.High(v.Noise());
    }
    for (int k = 0; k < static_cast<int>(160 * v.length); ++k) {
        AddKnock(s, Samples(v.rng.Range(0, Time(s.size()) - 0.02)), v, v.rng.Range(2500, 4500), 2,
                 0.003, v.rng.Range(0.2, 0.7));
    }
    return s;
}

Signal Thunder(Voice& v) {
    Signal s = v.Make(3.0);
    OnePole low(140 * v.pitch), crack(2500);
    double swell = 1;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const double t = Time(i);
        if (v.rng.Below(2000) == 0) {
            swell = v.rng.Range(0.6, 1.4);
        }
        s[i] = 6 * low.Low(v.Noise()) * swell * Strike(t, 0.08, 0.9) +
               crack.High(v.Noise()) * Decay(t, 0.04);
    }
    return s;
}

Signal LockClick(Voice& v) {
    Signal s = v.Make(0.18);
    AddKnock(s, 0, v, 3200 * v.pitch, 12, 0.006, 1);
    AddKnock(s, Samples(0.07), v, 2500 * v.pitch, 12, 0.008, 1.3);
    return s;
}

Signal Drink(Voice& v) {
    Signal s = v.Make(1.0);
    for (int k = 0; k < 4; ++k) {
        const std::size_t at = Samples((0.05 + 0.22 * k) * v.length);
        Osc osc;
        for (std::size_t i = at; i < s.size() && i < at + Samples(0.12); ++i) {
            const double t = Time(i - at);
            s[i] += osc.Sine(v.pitch * (180 + 1400 * t)) * Hump(t, 0, 0.12);
        }
    }
    return s;
}

Signal SpellFail(Voice& v) {
    Signal s = v.Make(0.85);
    Osc buzz;
    OnePole low(2000);
    const double span = Time(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        const double t = Time(i);
        const double f = v.pitch * (420 * Exp(-2.2 * t / span));
        s[i] = low.Low(buzz.Square(f) + 0.3 * v.Noise()) * Strike(t, 0.01, span / 3);
    }
    return s;
}

Signal Teleport(Voice& v) {
    Signal s = v.Make(1.2);
    Osc carrier, modulator;
    const double span = Time(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        const double t = Time(i);
        const double f = v.pitch * (200 + 1800 * (t / span) * (t / span));
        const double m = modulator.Sine(f * 1.5) * 2.5 * (1 - t / span);
        s[i] = carrier.Sine(f * (1 + 0.2 * m)) * Hump(t, 0, span);
    }
    return s;
}

Signal Skeleton(Voice& v) {
    Signal s = v.Make(0.9);
    const int bones = 10 + v.rng.Below(6);
    for (int k = 0; k < bones; ++k) {
        const double at = v.rng.Range(0, 0.7) * v.length;
        AddKnock(s, Samples(at), v, v.rng.Range(1100, 2300) * v.pitch, 10, 0.012,
                 v.rng.Range(0.5, 1.0) * Decay(at, 0.5));
    }
    return s;
}

Signal BirdChirp(Voice& v) {
    Signal s = v.Make(1.0);
    const int chirps = 3 + v.rng.Below(3);
    for (int k = 0; k < chirps; ++k) {
        const std::size_t at = Samples((0.05 + 0.16 * k) * v.length);
        const double base = v.rng.Range(2300, 3000) * v.pitch;
        Osc osc;
        for (std::size_t i = at; i < s.size() && i < at + Samples(0.09); ++i) {
            const double t = Time(i - at);
            s[i] += osc.Sine(base * (1 + 5 * t) + 300 * Sin(2 * kPi * 45 * t)) * Hump(t, 0, 0.09);
        }
    }
    return s;
}

Signal Crickets(Voice& v) {
    Signal s = v.Make(2.0);
    Osc tone;
    const double period = 0.45 / v.pitch;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const double t = Time(i);
        const double local = t - period * static_cast<int>(t / period);
        const double pulse =
            local < 0.12 ? Hump(local - 0.04 * static_cast<int>(local / 0.04), 0, 0.03) : 0;
        s[i] = tone.Sine(4100) * pulse;
    }
    return s;
}

Signal Portcullis(Voice& v) {
    Signal s = v.Make(2.6);
    const double span = Time(s.size());
    BandPass grind(300, 2);
    for (std::size_t i = 0; i < s.size(); ++i) {
        const double t = Time(i);
        s[i] = 0.6 * grind.Run(v.Noise()) * Hump(t, 0, span - 0.35);
    }
    for (double t = 0.02; t < span - 0.4; t += v.rng.Range(0.02, 0.06)) { // links of the chain
        AddPartials(s, Samples(t), v.rng.Range(1500, 2400) * v.pitch, {1, 1.41}, 0.25, 0.02);
    }
    AddThud(s, Samples(span - 0.38), 90, 40, 0.15, 1.6);
    AddKnock(s, Samples(span - 0.38), v, 800, 2, 0.05, 1.5);
    return s;
}

using Recipe = Signal (*)(Voice&);

Recipe RecipeFor(Sound sound) {
    static constexpr Recipe kRecipes[] = {
        nullptr,   SwordSwing, SwordClash, Punch,     ArrowShot, DoorOpen,   DoorClose, StepStone,
        StepGrass, StepWood,   Fireball,   Heal,      Lightning, FireLoop,   Splash,    Drip,
        RiverLoop, RatSqueak,  WolfGrowl,  Roar,      BatWings,  GhostMoan,  Bell,      ChestOpen,
        Coins,     LevelUp,    Grunt,      WindLoop,  Rain,      Thunder,    LockClick, Drink,
        SpellFail, Teleport,   Skeleton,   BirdChirp, Crickets,  Portcullis, Scream,
    };
    static_assert(sizeof kRecipes / sizeof kRecipes[0] == static_cast<std::size_t>(Sound::Count));
    return kRecipes[static_cast<std::size_t>(sound)];
}

} // namespace

std::vector<std::uint8_t> MakeEffect(int index, bool full) {
    const std::vector<EffectEntry>& entries = EffectEntries(full);
    if (index < 0 || index >= static_cast<int>(entries.size())) {
        return {};
    }
    const EffectEntry& entry = entries[static_cast<std::size_t>(index)];
    const Recipe recipe = RecipeFor(entry.sound);
    if (recipe == nullptr) {
        return {};
    }
    Voice voice{Rng(0xEFFEC700ull + entry.seed), 1.0, 1.0};
    if (entry.seed >= 1000) { // the full set's takes: other sizes, other pitches, longer
        voice.pitch = voice.rng.Range(0.8, 1.25);
        voice.length = voice.rng.Range(0.9, 2.3);
    }
    return ToUnsigned8(recipe(voice), 0.9);
}

} // namespace demo
