#include "SoundRecipes.h"

#include <algorithm>
#include <cmath>

using namespace dsp;

namespace {

// Loudness targets (RMS of the loudest 50 ms): events of play sit in the
// middle, big moments a little above, interface sounds well below.
constexpr double Soft = 0.07;
constexpr double Normal = 0.16;
constexpr double Strong = 0.2;

void Scale(TBuffer& b, double gain) {
    for (float& v : b) v = float(v * gain);
}

// A bell-like FM ping at a MIDI note.
TBuffer Ping(double midi, double length, double decay, double brightness = 2.0) {
    TBuffer b = Fm(length, NoteHz(midi), 3.5, brightness, 0.2, decay * 0.4, 0.001, decay);
    TBuffer body = Fm(length, NoteHz(midi), 1.0, 0.6, 0.0, 0.1, 0.001, decay * 0.7);
    Mix(b, body, 0.5);
    return b;
}

// Every effect is two layers: a short noisy front that tells the ear what
// struck what (a glassy tick for bells, a snap for a shot, a thump for wood),
// and a tonal body that carries the pitch and the mood. Without the front a
// synthetic tone sounds like a test signal; without the body a noise burst
// sounds like static.

// The front: length seconds of noise through a band round centre (Hz).
TBuffer Strike(double length, double centre, double q, TOrvRandom& random) {
    TBuffer n = Noise(length, 0.0003, length * 0.28, random);
    Filter(n, fmBand, centre, centre * 0.8, q);
    return n;
}

// A sparkle of air over a magical moment: high noise swelling in and out.
TBuffer Shimmer(double length, double attack, double decay, TOrvRandom& random) {
    TBuffer air = Noise(length, attack, decay, random);
    Filter(air, fmHigh, 5200, 7000, 0.7);
    return air;
}

// A bell note struck: the striker's tick, then the ring.
TBuffer StruckPing(double midi, double length, double decay, double brightness, TOrvRandom& random) {
    TBuffer out = Strike(0.015, std::clamp(NoteHz(midi) * 4, 2500.0, 5500.0), 1.1, random);
    Scale(out, 3.0);
    Mix(out, Ping(midi, length, decay, brightness), 0.9, Frames(0.003));
    return out;
}

// A woody knock: a short low tone with a filtered noise transient.
TBuffer Knock(double hz, double length, TOrvRandom& random) {
    TBuffer tone = Sweep(length, hz * 1.5, hz, 0.001, length * 0.25, 0.2);
    TBuffer hit = Noise(0.03, 0.0005, 0.008, random);
    Filter(hit, fmBand, hz * 6, hz * 4, 1.2);
    Mix(tone, hit, 0.7);
    return tone;
}

// A tile on a board: a bright click (the transient), the tile's own short
// ring of two inharmonic modes (the body) and the board's thud under it.
TBuffer Clack(double pitch, double length, TOrvRandom& random) {
    TBuffer click = Noise(0.014, 0.0003, 0.0035, random);
    Filter(click, fmHigh, 2600, 2600, 0.8);
    TBuffer ring = Fm(length, pitch, 2.76, 0.9, 0.0, 0.02, 0.0005, length * 0.16);
    TBuffer mode = Sweep(length, pitch * 1.58, pitch * 1.56, 0.0005, length * 0.1);
    Mix(ring, mode, 0.35);
    TBuffer thud = Sweep(length, 190, 120, 0.001, 0.03, 0.3);
    Mix(click, ring, 0.6);
    Mix(click, thud, 0.55);
    return click;
}

TBuffer Finished(TBuffer b, double loudness) {
    Finish(b);
    Normalise(b, loudness);
    return b;
}

TBuffer Get(TOrvRandom& random) {
    // The tile lifted off the belt: a light clack, then a small rise.
    TBuffer out = Clack(1500, 0.12, random);
    TBuffer up = Sweep(0.12, 620, 980, 0.004, 0.04, 0.6);
    TBuffer over = Sweep(0.12, 1240, 1960, 0.004, 0.025, 0.6);
    Mix(up, over, 0.25);
    Mix(out, up, 0.45, Frames(0.01));
    return Finished(out, Normal);
}

TBuffer PutOn(double chime, double knock, double length, TOrvRandom& random) {
    // Set down into its place: the tile's clack, the board's knock and a
    // chime for the fit.
    TBuffer k = Clack(knock * 2.2, length, random);
    Mix(k, Knock(knock, length, random), 0.7);
    TBuffer c = Ping(chime, length, length * 0.35);
    Mix(k, c, 0.4, Frames(0.006));
    return Finished(k, Normal);
}

TBuffer Rotate(TOrvRandom& random) {
    TBuffer swish = Noise(0.11, 0.02, 0.03, random);
    Filter(swish, fmBand, 1800, 5200, 2.5);
    TBuffer tick = Sweep(0.03, 2400, 2000, 0.0005, 0.006);
    Mix(swish, tick, 0.35, Frames(0.06));
    // A faint rising tone under the air: the tile's edge cutting round.
    Mix(swish, Sweep(0.11, 700, 1050, 0.02, 0.04), 0.25);
    return Finished(swish, Soft * 1.6);
}

TBuffer PutOnChain(TOrvRandom& random) {
    TBuffer a = Knock(700, 0.09, random);
    TBuffer b = Knock(560, 0.12, random);
    Mix(a, b, 0.9, Frames(0.07));
    return Finished(a, Normal);
}

TBuffer Spider(double scale, TOrvRandom& random) {
    // A crunching bite: a falling buzz under gritty noise, twice for the big one.
    TBuffer out;
    int bites = scale > 1 ? 3 : 2;
    for (int i = 0; i < bites; ++i) {
        TBuffer buzz = Square(0.16 * scale, 260 / scale);
        Filter(buzz, fmLow, 2400 / scale, 300, 1.5);
        Shape(buzz, 0.003, 0.05 * scale);
        TBuffer grit = Noise(0.16 * scale, 0.002, 0.04 * scale, random);
        Filter(grit, fmLow, 3500 / scale, 900, 0.8);
        Mix(buzz, grit, 0.8);
        // The bite itself: a dry crunch before the buzz.
        Mix(buzz, Strike(0.02, 2600 / scale, 0.9, random), 1.4);
        Mix(out, buzz, 1.0 - 0.2 * i, Frames(0.11 * scale * i));
    }
    if (scale > 1) {
        TBuffer rumble = Sweep(0.6, 90, 45, 0.01, 0.2);
        Mix(out, rumble, 0.6);
    }
    return Finished(out, Strong);
}

TBuffer ChainBack(TOrvRandom& random) {
    // A magical downward glissando over a reversed swell of air.
    TBuffer out = Strike(0.015, 6500, 0.9, random);
    const double notes[] = {88, 84, 81, 79, 76, 72};
    for (int i = 0; i < 6; ++i) Mix(out, StruckPing(notes[i], 0.5, 0.18, 1.2, random), 0.5, Frames(0.06 * i));
    Mix(out, Shimmer(0.5, 0.03, 0.15, random), 0.25);
    TBuffer air = Noise(0.7, 0.45, 0.08, random);
    Filter(air, fmBand, 4000, 900, 1.5);
    Mix(out, air, 0.5);
    return Finished(out, Normal);
}

TBuffer Clock(TOrvRandom& random) {
    TBuffer out;
    for (int i = 0; i < 4; ++i) {
        TBuffer tick = Knock(i % 2 ? 1500 : 1900, 0.05, random);
        Filter(tick, fmHigh, 600, 600, 0.7);
        Mix(out, tick, 0.8, Frames(0.16 * i));
    }
    Mix(out, StruckPing(84, 0.9, 0.35, 2.0, random), 0.55, Frames(0.66));
    return Finished(out, Normal);
}

TBuffer ChainStop(TOrvRandom& random) {
    // A motor winding up: the belt is pushed on.
    TBuffer motor = Saw(0.5, 70, 2, 12);
    Filter(motor, fmLow, 300, 2600, 2.0);
    for (size_t i = 0; i < motor.size(); ++i) {
        double t = double(i) / Rate;
        motor[i] *= float(std::min(1.0, t / 0.08) * std::exp(-std::max(0.0, t - 0.3) / 0.06));
    }
    TBuffer rattle = Noise(0.5, 0.05, 0.2, random);
    Filter(rattle, fmBand, 1200, 2400, 3.0);
    Mix(motor, rattle, 0.25);
    // The motor's whine rising as it comes up to speed.
    Mix(motor, Sweep(0.45, 330, 560, 0.06, 0.25), 0.7, Frames(0.02));
    // The clutch catching: a dull clunk that starts the motor.
    TBuffer clunk = Strike(0.03, 900, 1.2, random);
    Mix(clunk, Knock(160, 0.12, random), 0.8);
    Mix(clunk, motor, 1.0, Frames(0.01));
    return Finished(clunk, Normal * 0.9);
}

TBuffer Arpeggio(const std::vector<double>& notes, double gap, double length, double decay, double loudness,
                 TOrvRandom& random) {
    TBuffer out = Shimmer(0.25, 0.002, 0.06, random);
    Scale(out, 0.5);
    for (size_t i = 0; i < notes.size(); ++i)
        Mix(out, StruckPing(notes[i], length, decay, 1.6, random), 0.6, Frames(gap * double(i)));
    Echo(out, 0.11, 0.35, 0.3, 0.4);
    return Finished(out, loudness);
}

TBuffer ArtefactComplete(TOrvRandom& random) {
    TBuffer out = Strike(0.02, 5000, 0.8, random);
    const double run[] = {72, 76, 79, 84, 88, 91};
    for (int i = 0; i < 6; ++i) Mix(out, StruckPing(run[i], 1.2, 0.45, 1.4, random), 0.5, Frames(0.07 * i));
    Mix(out, Shimmer(1.2, 0.25, 0.4, random), 0.12, Frames(0.3));
    // A warm chord underneath holds the moment.
    for (double n : {60.0, 64.0, 67.0, 72.0}) {
        TBuffer tone = Fm(1.6, NoteHz(n), 1.0, 0.8, 0.2, 0.4, 0.08, 0.6);
        Mix(out, tone, 0.18, Frames(0.35));
    }
    Echo(out, 0.13, 0.35, 0.3, 0.5);
    return Finished(out, Strong);
}

TBuffer GameOver(TOrvRandom& random) {
    TBuffer out;
    const double fall[] = {67, 63, 60, 55};
    for (int i = 0; i < 4; ++i) {
        // Each note a soft felt mallet on a low bar: a muffled thump, then
        // the tone.
        TBuffer tone = Strike(0.025, 700, 0.9, random);
        Scale(tone, 1.6);
        Mix(tone, Fm(0.9, NoteHz(fall[i]), 1.0, 1.2, 0.3, 0.3, 0.01, 0.35), 1.0);
        Mix(tone, Fm(0.9, NoteHz(fall[i] - 12), 1.0, 0.5, 0.1, 0.3, 0.01, 0.35), 0.5);
        Mix(out, tone, 0.6, Frames(0.32 * i));
    }
    TBuffer low = Fm(1.6, NoteHz(36), 1.0, 1.0, 0.1, 0.5, 0.05, 0.6);
    Mix(out, low, 0.4, Frames(0.96));
    Echo(out, 0.17, 0.3, 0.25, 0.5);
    return Finished(out, Normal);
}

TBuffer Win(TOrvRandom& random) {
    TBuffer out;
    const double tune[] = {72, 76, 79, 84};
    const double at[] = {0.0, 0.12, 0.24, 0.36};
    for (int i = 0; i < 4; ++i) Mix(out, StruckPing(tune[i], 0.7, 0.3, 1.3, random), 0.55, Frames(at[i]));
    Mix(out, Strike(0.02, 5500, 0.8, random), 0.5, Frames(0.5));
    for (double n : {72.0, 76.0, 79.0, 84.0, 88.0}) Mix(out, Ping(n, 1.4, 0.5, 1.0), 0.3, Frames(0.5));
    Mix(out, Shimmer(1.0, 0.15, 0.35, random), 0.1, Frames(0.5));
    Echo(out, 0.12, 0.3, 0.3, 0.5);
    return Finished(out, Strong);
}

TBuffer Chameleon(TOrvRandom& random) {
    // A tongue shot: a quick falling zap with a wet snap.
    TBuffer zap = Fm(0.3, 1500, 0.5, 4.0, 0.5, 0.05, 0.001, 0.07);
    for (size_t i = 0; i < zap.size(); ++i) {
        double t = double(i) / Rate;
        zap[i] *= float(std::exp(-t / 0.09));
    }
    TBuffer sweep = Sweep(0.28, 1600, 180, 0.001, 0.08, 0.6);
    Mix(zap, sweep, 0.8);
    TBuffer snap = Strike(0.035, 2400, 1.0, random);
    Mix(snap, Strike(0.01, 6000, 0.8, random), 0.6);
    Mix(snap, zap, 0.55, Frames(0.004));
    zap = snap;
    return Finished(zap, Strong * 0.9);
}

TBuffer Alarm(TOrvRandom& random) {
    // Two softened tones, urgent but not harsh: it repeats every 1.5 s. Each
    // starts with a striker's tick, like a small desk bell.
    TBuffer out;
    for (int i = 0; i < 2; ++i) {
        Mix(out, Strike(0.012, 4200, 1.0, random), 1.5, Frames(0.19 * i));
        TBuffer tone = Square(0.16, i ? 660 : 880);
        Filter(tone, fmLow, 2200, 2200, 0.8);
        for (size_t k = 0; k < tone.size(); ++k) {
            double t = double(k) / Rate;
            tone[k] *= float(std::min(1.0, t / 0.01) * std::min(1.0, (0.16 - t) / 0.03));
        }
        Mix(out, tone, 1.0, Frames(0.19 * i));
    }
    return Finished(out, Normal);
}

TBuffer Diamond(int n, TOrvRandom& random) {
    const double notes[] = {84, 86, 88, 91, 93};
    TBuffer p = StruckPing(notes[n], 0.55, 0.16, 2.2, random);
    TBuffer sparkle = Ping(notes[n] + 12, 0.3, 0.06, 1.0);
    Mix(p, sparkle, 0.25, Frames(0.03));
    return Finished(p, Normal * 0.85);
}

TBuffer PutBig(double scale, TOrvRandom& random) {
    TBuffer k = Knock(150 / scale, 0.3 * scale, random);
    TBuffer thud = Sweep(0.35 * scale, 110 / scale, 55 / scale, 0.002, 0.1 * scale);
    Mix(k, thud, 0.8);
    for (double n : {72.0, 76.0, 79.0})
        Mix(k, Ping(n - (scale > 1 ? 5 : 0), 0.6 * scale, 0.22 * scale), 0.22, Frames(0.01));
    if (scale > 1) {
        TBuffer shimmer = Noise(0.8, 0.05, 0.2, random);
        Filter(shimmer, fmHigh, 6000, 6000, 0.7);
        Mix(k, shimmer, 0.08, Frames(0.02));
    }
    return Finished(k, Strong);
}

TBuffer Drop(TOrvRandom& random) {
    // Flung off the belt: the flick of the throw, its whoosh and falling
    // whistle, and the knock where it lands.
    TBuffer whoop = Strike(0.015, 3000, 1.0, random);
    TBuffer whoosh = Noise(0.2, 0.01, 0.06, random);
    Filter(whoosh, fmBand, 3200, 700, 1.6);
    Mix(whoop, whoosh, 0.7);
    Mix(whoop, Sweep(0.22, 900, 260, 0.005, 0.08, 0.8), 0.8);
    TBuffer k = Knock(180, 0.2, random);
    Mix(whoop, k, 0.9, Frames(0.16));
    return Finished(whoop, Normal);
}

TBuffer Renewal(TOrvRandom& random) {
    TBuffer out = StruckPing(79, 0.5, 0.18, 1.2, random);
    Mix(out, StruckPing(84, 0.7, 0.25, 1.2, random), 0.9, Frames(0.1));
    Echo(out, 0.09, 0.25, 0.25, 0.25);
    return Finished(out, Soft * 1.8);
}

TBuffer Error(TOrvRandom& random) {
    TBuffer out;
    for (int i = 0; i < 2; ++i) {
        // A dull bump, then the low buzz: a piece that will not go in.
        TBuffer buzz = Strike(0.02, 1100, 1.0, random);
        TBuffer tone = Square(0.09, 180);
        Filter(tone, fmLow, 900, 700, 0.8);
        Shape(tone, 0.004, 0.05);
        Mix(buzz, tone, 0.8);
        Mix(out, buzz, 1.0, Frames(0.11 * i));
    }
    return Finished(out, Normal * 0.8);
}

TBuffer Click(TOrvRandom& random) {
    TBuffer click = Strike(0.03, 3400, 1.0, random);
    Scale(click, 1.5);
    TBuffer body = Sweep(0.05, 1100, 900, 0.001, 0.012);
    Mix(click, body, 0.5, Frames(0.002));
    return Finished(click, Soft);
}

TBuffer Over(TOrvRandom& random) {
    // The lightest touch: a tiny tick and a soft rising blip.
    TBuffer blip = Strike(0.008, 5000, 1.0, random);
    Scale(blip, 3.0);
    Mix(blip, Sweep(0.06, 1250, 1400, 0.004, 0.018), 0.7, Frames(0.003));
    return Finished(blip, Soft * 0.6);
}

}  // namespace

std::vector<TSoundRecipe> MakeSounds() {
    TOrvRandom random(0x5EED50D5ull);
    std::vector<TSoundRecipe> s;
    s.push_back({"1_get.ogg", Get(random)});
    s.push_back({"2_put_on_main.ogg", PutOn(84, 220, 0.3, random)});
    s.push_back({"3_put_on2.ogg", PutOn(86, 250, 0.26, random)});
    s.push_back({"4_put_on3.ogg", PutOn(88, 280, 0.24, random)});
    s.push_back({"5_rotate.ogg", Rotate(random)});
    s.push_back({"6_put_on_chain.ogg", PutOnChain(random)});
    s.push_back({"7_small_spider.ogg", Spider(1.0, random)});
    s.push_back({"8_bigl_spider.ogg", Spider(1.6, random)});
    s.push_back({"9_chainback.ogg", ChainBack(random)});
    s.push_back({"10_clock.ogg", Clock(random)});
    s.push_back({"11_chain_stop.ogg", ChainStop(random)});
    s.push_back({"13_artefact.ogg", Arpeggio({79, 84, 88}, 0.08, 0.6, 0.2, Normal, random)});
    s.push_back({"14_artefact_complete.ogg", ArtefactComplete(random)});
    s.push_back({"15_gameover_v1.ogg", GameOver(random)});
    s.push_back({"16_win.ogg", Win(random)});
    s.push_back({"17_chameleon.ogg", Chameleon(random)});
    s.push_back({"19_alarm.ogg", Alarm(random)});
    for (int i = 0; i < 5; ++i) s.push_back({"diamond" + std::to_string(i + 1) + ".ogg", Diamond(i, random)});
    s.push_back({"PutBig.ogg", PutBig(1.0, random)});
    s.push_back({"PutVeryBig.ogg", PutBig(1.5, random)});
    s.push_back({"drop.ogg", Drop(random)});
    s.push_back({"renewal.ogg", Renewal(random)});
    s.push_back({"error.ogg", Error(random)});
    s.push_back({"click.ogg", Click(random)});
    s.push_back({"over.ogg", Over(random)});
    return s;
}
