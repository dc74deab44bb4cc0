#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "Instruments.h"
#include "Score.h"
#include "SoundRecipes.h"
#include "XmWriter.h"
#include "platform/AudioMixer.h"

namespace {

// Renders a module and finds the main pitch (Hz) of the left channel
// between from and to seconds by autocorrelation: the shortest lag whose
// correlation comes within 5 % of the best.
double PitchOf(const std::vector<uint8_t>& xm, double from, double to) {
    TAudioMixer mixer;
    uint32_t m = mixer.LoadMusic(xm.data(), xm.size(), 5);
    EXPECT_NE(m, 0u);
    EXPECT_TRUE(mixer.PlayMusic(m, 0, -1, true));
    std::vector<float> out(size_t(TAudioMixer::SampleRate * to) * 2);
    mixer.Render(out.data(), out.size() / 2);
    const size_t a = size_t(TAudioMixer::SampleRate * from), n = 8192;
    std::vector<double> corr(1000, 0.0);
    double best = 0;
    for (size_t lag = 30; lag < corr.size(); ++lag) {
        for (size_t i = 0; i < n; ++i) corr[lag] += double(out[2 * (a + i)]) * out[2 * (a + i + lag)];
        best = std::max(best, corr[lag]);
    }
    for (size_t lag = 31; lag + 1 < corr.size(); ++lag) {
        if (corr[lag] >= 0.95 * best && corr[lag] >= corr[lag - 1] && corr[lag] >= corr[lag + 1]) {
            // Parabolic refinement between neighbouring lags.
            double y0 = corr[lag - 1], y1 = corr[lag], y2 = corr[lag + 1];
            double shift = 0.5 * (y0 - y2) / (y0 - 2 * y1 + y2);
            return TAudioMixer::SampleRate / (double(lag) + shift);
        }
    }
    return 0;
}

std::string OneNote(const std::string& lead, const std::string& note) {
    return "file t.xm\nbpm 120\npattern p\n chords C | C | C | C\n lead " + lead + "\n melody " + note +
           ":64\nsong p\n";
}

}  // namespace

TEST(Score, NotesChordsAndComments) {
    EXPECT_EQ(ParseNoteName("C4"), 60);
    EXPECT_EQ(ParseNoteName("A4"), 69);
    EXPECT_EQ(ParseNoteName("F#5"), 78);
    EXPECT_EQ(ParseNoteName("Bb3"), 58);
    EXPECT_EQ(ParseNoteName("B#3"), 60);
    EXPECT_EQ(ParseNoteName("Cb4"), 59);
    EXPECT_EQ(ParseNoteName("H4"), -1);
    EXPECT_EQ(ParseNoteName("C"), -1);
    EXPECT_EQ(ParseNoteName("C44"), -1);

    int root = -1, bass = -1;
    EXPECT_EQ(ChordTones("Fmaj7", root, bass), (std::vector<int>{5, 9, 0, 4}));
    EXPECT_EQ(root, 5);
    EXPECT_EQ(ChordTones("C#m7", root, bass), (std::vector<int>{1, 4, 8, 11}));
    EXPECT_EQ(ChordTones("G/B", root, bass), (std::vector<int>{7, 11, 2}));
    EXPECT_EQ(bass, 11);
    EXPECT_THROW(ChordTones("Cfoo", root, bass), TScoreError);
    EXPECT_THROW(ChordTones("X7", root, bass), TScoreError);

    // '#' inside a word is a sharp; at the start of a word a comment.
    TScore s = ParseScore(
        "file t.xm # the file\npattern p\n chords C#m | F#7 | C | C  # four bars\n"
        " melody C#5:8 F#5:8 # end\nsong p\n",
        "t.txt");
    ASSERT_EQ(s.Patterns.size(), 1u);
    EXPECT_EQ(s.File, "t.xm");
    ASSERT_EQ(s.Patterns[0].Melody.size(), 2u);
    EXPECT_EQ(s.Patterns[0].Melody[1].Midi, 78);
}

TEST(Score, MistakesAreReportedWithTheirLine) {
    auto error = [](const std::string& text) {
        try {
            ParseScore(text, "s.txt");
        } catch (const TScoreError& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    EXPECT_EQ(error("file a.xm\npattern p\n chords C | C | C | C\n melody C5:6 |\nsong p\n"),
              "s.txt:4: bar does not add up to 16 steps before '|'");
    EXPECT_EQ(error("file a.xm\npattern p\n chords C | C | C\nsong p\n"), "s.txt:3: chords need four bars");
    EXPECT_EQ(error("file a.xm\nfoo 1\n"), "s.txt:2: unknown statement 'foo'");
    EXPECT_EQ(error("file a.xm\ngroove g\n kick x.x\n"), "s.txt:3: a drum line is 16 of x, o and .");
    EXPECT_EQ(error("file a.xm\nbpm 7\n"), "s.txt:2: '7' is out of range");
    EXPECT_EQ(error("file a.xm\npattern p\n chords C | C | C | C\n melody Q5\nsong p\n"), "s.txt:4: not a note: 'Q5'");
    EXPECT_EQ(error("pattern p\n chords C | C | C | C\nsong p\n"), "s.txt: no 'file' line");

    // A song naming a missing pattern, and starts that share a pattern.
    TScore missing = ParseScore("file a.xm\nsong nope\n", "s.txt");
    EXPECT_THROW(ComposeScore(missing, {}), TScoreError);
    TScore same = ParseScore("file a.xm\nstarts 0 1\npattern p\n chords C | C | C | C\nsong p p\n", "s.txt");
    EXPECT_THROW(ComposeScore(same, {}), TScoreError);
}

TEST(Score, InstrumentsPlayInTune) {
    const std::vector<TXmInstrument> instruments = MakeInstruments();
    // A4 on the looping lead must sound at 440 Hz, A3 at 220 Hz.
    TXmModule lead = ComposeScore(ParseScore(OneNote("lead", "A4"), "t"), instruments);
    EXPECT_NEAR(PitchOf(WriteXm(lead), 0.2, 1.2), 440.0, 4.0);
    TXmModule low = ComposeScore(ParseScore(OneNote("lead", "A3"), "t"), instruments);
    EXPECT_NEAR(PitchOf(WriteXm(low), 0.2, 1.2), 220.0, 3.0);
    // The electric piano, tuned from another source pitch.
    TXmModule piano = ComposeScore(ParseScore(OneNote("epiano", "C5"), "t"), instruments);
    EXPECT_NEAR(PitchOf(WriteXm(piano), 0.05, 0.6), 523.25, 6.0);
}

TEST(XmWriter, RefusesWhatTheFormatCannotHold) {
    TXmModule m;
    m.Channels = 4;
    EXPECT_THROW(WriteXm(m), std::runtime_error);  // no orders
    m.Orders = {0};
    m.Patterns.resize(1);
    m.Patterns[0].Rows = 64;
    m.Patterns[0].Cells.resize(64 * 4);
    EXPECT_NO_THROW(WriteXm(m));
    m.Orders = {1};
    EXPECT_THROW(WriteXm(m), std::runtime_error);  // order names a missing pattern
    m.Orders = {0};
    m.Channels = 3;
    EXPECT_THROW(WriteXm(m), std::runtime_error);
    m.Channels = 4;
    m.Patterns[0].Cells.resize(10);
    EXPECT_THROW(WriteXm(m), std::runtime_error);
}

TEST(Sounds, FinishedAndNormalised) {
    for (const TSoundRecipe& s : MakeSounds()) {
        ASSERT_FALSE(s.Pcm.empty()) << s.File;
        // Starts and ends at silence: no click.
        EXPECT_LT(std::fabs(s.Pcm.front()), 0.01f) << s.File;
        EXPECT_LT(std::fabs(s.Pcm.back()), 0.01f) << s.File;
        EXPECT_LE(dsp::Peak(s.Pcm), 0.891f) << s.File;
        EXPECT_GT(dsp::Peak(s.Pcm), 0.1f) << s.File;
    }
}

namespace {

// The row of the pattern's channel ch.
const TXmCell& At(const TXmModule& m, size_t pattern, int row, int ch) {
    return m.Patterns[pattern].Cells[size_t(row * m.Channels + ch)];
}

}  // namespace

TEST(Score, StereoEchoesAndMelodiesMadeFromTheChords) {
    const char* text =
        "file t.xm\nbpm 100\nlevel 50\n"
        "groove g\n  kick x...............\n  shaker ..x...x...x...x.\n"
        "pattern a\n  chords C | Am | F | G\n  keys pluck\n  drums g\n  melody auto\n  counter auto\n"
        "song a\n";
    TScore score = ParseScore(text, "t");
    TXmModule m = ComposeScore(score, MakeInstruments());
    ASSERT_EQ(m.Patterns.size(), 1u);
    // Every note carries its channel's place between left and right, and
    // the band is spread out.
    std::vector<int> pans;
    int melodyNotes = 0, echoes = 0, shakes = 0;
    for (int row = 0; row < 64; ++row)
        for (int ch = 0; ch < m.Channels; ++ch) {
            const TXmCell& c = At(m, 0, row, ch);
            if (c.Note == 0 || c.Note == 97) continue;
            if (c.Effect == 0x08) pans.push_back(c.Param);
            EXPECT_LE(c.Volume, 0x10 + 32) << "level 50 halves every note";
            melodyNotes += c.Instrument == inLead && ch == 0;
            echoes += c.Instrument == inLead && ch != 0;
            shakes += c.Instrument == inShaker;
        }
    std::sort(pans.begin(), pans.end());
    pans.erase(std::unique(pans.begin(), pans.end()), pans.end());
    EXPECT_GE(pans.size(), 4u);
    EXPECT_GT(melodyNotes, 8);
    EXPECT_GT(echoes, 8);
    EXPECT_EQ(shakes, 16);
    // The made melody ends on the root of the last chord, and the same
    // score makes the same notes again.
    int last = 0;
    for (int row = 0; row < 64; ++row)
        if (At(m, 0, row, 0).Note != 0 && At(m, 0, row, 0).Note != 97) last = At(m, 0, row, 0).Note;
    EXPECT_EQ((last + 11) % 12, 7) << "G";
    TXmModule again = ComposeScore(ParseScore(text, "t"), MakeInstruments());
    for (size_t i = 0; i < m.Patterns[0].Cells.size(); ++i)
        EXPECT_EQ(m.Patterns[0].Cells[i].Note, again.Patterns[0].Cells[i].Note);
    EXPECT_THROW(ParseScore("file t.xm\nlevel 400\nsong a\n", "t"), TScoreError);
}

TEST(Score, EveryScenesTunePlaysAtLeastNinetySecondsBeforeItRepeats) {
    int tunes = 0;
    for (const auto& entry : std::filesystem::directory_iterator(std::string(MOSWICK_SOURCE_DIR) + "/data/music")) {
        if (entry.path().extension() != ".txt" || entry.path().filename().string().rfind("scene_", 0) != 0) continue;
        std::ifstream in(entry.path());
        std::stringstream text;
        text << in.rdbuf();
        TScore score = ParseScore(text.str(), entry.path().filename().string());
        TXmModule m = ComposeScore(score, MakeInstruments());
        // Every pattern sets the score's tempo; a row lasts speed ticks of
        // 2.5 / bpm seconds.
        double loop = double(m.Orders.size() - size_t(score.Restart)) * 64 * score.Speed * 2.5 / score.Bpm;
        EXPECT_GE(loop, 90.0) << entry.path().filename();
        ++tunes;
    }
    EXPECT_GE(tunes, 10);
}

namespace {

// Power spectrum of n frames from at (Hann window, plain DFT: the sounds are
// short and this runs once).
std::vector<double> PowerSpectrum(const dsp::TBuffer& pcm, size_t at, size_t n) {
    std::vector<double> x(n), c(n), s(n);
    for (size_t i = 0; i < n; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2 * dsp::Pi * double(i) / double(n));
        x[i] = (at + i < pcm.size() ? pcm[at + i] : 0.0) * w;
        c[i] = std::cos(2 * dsp::Pi * double(i) / double(n));
        s[i] = std::sin(2 * dsp::Pi * double(i) / double(n));
    }
    std::vector<double> power(n / 2, 0.0);
    for (size_t k = 1; k < n / 2; ++k) {
        double re = 0, im = 0;
        for (size_t i = 0, j = 0; i < n; ++i, j = (j + k) % n) {
            re += x[i] * c[j];
            im -= x[i] * s[j];
        }
        power[k] = re * re + im * im;
    }
    return power;
}

// Spectral flatness (geometric over arithmetic mean of the power) of the
// bins above 1 kHz: near 1 for noise, near 0 for a few clean tones.
double Flatness(const std::vector<double>& power) {
    const size_t from = power.size() * 2 * 1000 / dsp::Rate;
    double logSum = 0, sum = 0;
    size_t n = 0;
    for (size_t k = std::max<size_t>(from, 1); k < power.size(); ++k, ++n) {
        logSum += std::log(power[k] + 1e-12);
        sum += power[k];
    }
    return n && sum > 0 ? std::exp(logSum / double(n)) / (sum / double(n)) : 0.0;
}

// How far the clearest peak stands above the bins round it (its own main
// lobe left out): a tone stands tall, noise, however narrow its band, does
// not.
double Tonality(const std::vector<double>& power) {
    double best = 0;
    for (size_t k = 6; k + 12 < power.size(); ++k) {
        double around = 0;
        int n = 0;
        for (size_t j = k > 13 ? k - 12 : 1; j <= k + 12; ++j)
            if (j + 3 < k || j > k + 3) around += power[j], ++n;
        best = std::max(best, power[k] / (around / n + 1e-12));
    }
    return best;
}

}  // namespace

// Each effect is layered: its first 12 ms are noise-like (the strike), and
// somewhere in its first 0.8 s a clear tone stands out (the body). A sound
// of bare tones, or of bare noise, fails.
TEST(Sounds, EachHasANoisyFrontAndATonalBody) {
    for (const TSoundRecipe& s : MakeSounds()) {
        const double front = Flatness(PowerSpectrum(s.Pcm, 0, 512));
        double body = 0;
        for (size_t at = dsp::Frames(0.02); at + 512 <= s.Pcm.size() && at < dsp::Frames(0.8); at += 2048)
            body = std::max(body, Tonality(PowerSpectrum(s.Pcm, at, 2048)));
        EXPECT_GT(front, 0.05) << s.File << " starts without a noisy strike";
        EXPECT_GT(body, 250.0) << s.File << " has no tonal body";
    }
}
