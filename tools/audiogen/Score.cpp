#include "Score.h"

#include <algorithm>
#include <map>
#include <sstream>

#include "Instruments.h"
#include "base/OrvRandom.h"

namespace {

constexpr int StepsPerBar = 16;
constexpr int Bars = 4;
constexpr int Rows = StepsPerBar * Bars;

enum TChannel {
    chMelody = 0,
    chKeys = 1,  // 1..3
    chPad = 4,   // 4..6
    chBass = 7,
    chKick = 8,
    chSnare = 9,
    chHat = 10,
    chBell = 11,
    chPluck = 12,  // 12..13
    chShaker = 14,
    chEcho = 15,      // the melody's echo
    chBellEcho = 16,  // the bell's echo
    chSpare = 17,     // the format wants an even count
    chCount = 18,
};

// Where each channel sits between left (0) and right (255): the band spread
// out as on a small stage, each echo on the other side of its voice.
const uint8_t kPan[chCount] = {0x68, 0x50, 0xB0, 0x80, 0x48, 0x80, 0xB8, 0x80, 0x80,
                               0x74, 0xA8, 0xB8, 0x40, 0xC0, 0x58, 0xA8, 0x48, 0x80};

std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    std::string w;
    while (in >> w) words.push_back(w);
    return words;
}

int PitchClass(char letter) {
    switch (letter) {
        case 'C':
            return 0;
        case 'D':
            return 2;
        case 'E':
            return 4;
        case 'F':
            return 5;
        case 'G':
            return 7;
        case 'A':
            return 9;
        case 'B':
            return 11;
        default:
            return -1;
    }
}

// Reads a pitch class at text[pos] (letter and optional # or b); -1 if none.
int ReadPitchClass(const std::string& text, size_t& pos) {
    if (pos >= text.size()) return -1;
    int pc = PitchClass(text[pos]);
    if (pc < 0) return -1;
    ++pos;
    if (pos < text.size() && text[pos] == '#') {
        pc += 1;
        ++pos;
    } else if (pos < text.size() && text[pos] == 'b') {
        pc += 11;
        ++pos;
    }
    return pc % 12;
}

std::vector<TNoteEvent> ParseLine(const std::vector<std::string>& words, size_t first, const std::string& where) {
    std::vector<TNoteEvent> events;
    int length = 4;
    int total = 0;
    for (size_t i = first; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (w == "|") {
            if (total % StepsPerBar != 0) throw TScoreError(where + ": bar does not add up to 16 steps before '|'");
            continue;
        }
        std::string name = w;
        size_t colon = w.find(':');
        if (colon != std::string::npos) {
            name = w.substr(0, colon);
            try {
                length = std::stoi(w.substr(colon + 1));
            } catch (...) {
                throw TScoreError(where + ": bad length in '" + w + "'");
            }
            if (length < 1 || length > Rows) throw TScoreError(where + ": bad length in '" + w + "'");
        }
        TNoteEvent e;
        e.Steps = length;
        if (name != "r") {
            e.Midi = ParseNoteName(name);
            if (e.Midi < 0) throw TScoreError(where + ": not a note: '" + w + "'");
        }
        events.push_back(e);
        total += length;
    }
    if (total > Rows) throw TScoreError(where + ": line is longer than four bars");
    return events;
}

bool OnOff(const std::string& word, const std::string& where) {
    if (word == "on") return true;
    if (word == "off") return false;
    throw TScoreError(where + ": expected on or off, found '" + word + "'");
}

uint8_t Vol(int v) {
    return uint8_t(0x10 + std::clamp(v, 0, 64));
}

struct TComposer {
    TXmPattern& P;
    TOrvRandom& Random;

    TXmCell& Cell(int row, int ch) { return P.Cells[size_t(row * chCount + ch)]; }

    // A note with a touch of human variation in its loudness.
    void Note(int row, int ch, int midi, int instrument, int volume) {
        if (row < 0 || row >= Rows) return;
        TXmCell& c = Cell(row, ch);
        c.Note = uint8_t(XmNote(midi));
        c.Instrument = uint8_t(instrument);
        c.Volume = Vol(volume + Random.Between(-3, 3));
        // A new instrument resets the panning to the sample's, so every
        // note carries its channel's place.
        if (c.Effect == 0) {
            c.Effect = 0x08;
            c.Param = kPan[ch];
        }
    }
    void Off(int row, int ch) {
        if (row < 0 || row >= Rows) return;
        TXmCell& c = Cell(row, ch);
        if (c.Note == 0) c.Note = 97;
    }
};

// One chord of the pattern: where it starts and how long it lasts.
struct TChordSpan {
    int Start;
    int Length;
    std::vector<int> Tones;  // pitch classes, root first
    int Root;
    int BassPc;
};

std::vector<TChordSpan> Spans(const TPatternRecipe& recipe) {
    std::vector<TChordSpan> spans;
    for (size_t bar = 0; bar < recipe.Chords.size() && bar < Bars; ++bar) {
        const auto& chords = recipe.Chords[bar];
        int n = int(chords.size());
        for (int k = 0; k < n; ++k) {
            TChordSpan s;
            s.Start = int(bar) * StepsPerBar + k * StepsPerBar / n;
            s.Length = StepsPerBar / n;
            s.Tones = ChordTones(chords[size_t(k)], s.Root, s.BassPc);
            spans.push_back(s);
        }
    }
    return spans;
}

// Places pitch class pc in the octave that puts it within [low, low + 12).
int Place(int pc, int low) {
    int m = low + ((pc - low) % 12 + 12) % 12;
    return m;
}

void ComposePad(TComposer& c, const std::vector<TChordSpan>& spans) {
    std::vector<int> previous;
    for (const TChordSpan& s : spans) {
        // Colour tones above the root; the bass carries the root itself.
        std::vector<int> pcs(s.Tones.begin() + (s.Tones.size() > 3 ? 1 : 0), s.Tones.end());
        if (pcs.size() > 3) pcs.resize(3);
        std::vector<int> notes;
        for (int pc : pcs) notes.push_back(Place(pc, 55));
        std::sort(notes.begin(), notes.end());
        if (notes == previous) continue;
        for (size_t v = 0; v < notes.size(); ++v) c.Note(s.Start, chPad + int(v), notes[v], inPad, 26);
        for (size_t v = notes.size(); v < 3; ++v) c.Off(s.Start, chPad + int(v));
        previous = notes;
    }
}

void ComposeKeys(TComposer& c, const std::vector<TChordSpan>& spans, const std::string& style) {
    if (style == "off") return;
    for (const TChordSpan& s : spans) {
        std::vector<int> up;
        for (int pc : s.Tones) up.push_back(Place(pc, 60));
        std::sort(up.begin(), up.end());
        up.push_back(up.front() + 12);
        if (style == "pluck") {
            // A picked pattern on the string, bouncing between two channels
            // that sit left and right.
            static const int kPick[8] = {0, 2, 1, 3, 2, 1, 3, 1};
            int k = 0;
            for (int r = s.Start; r < s.Start + s.Length; r += 2, ++k) {
                int idx = kPick[k % 8] % int(up.size());
                c.Note(r, chPluck + (k % 2), up[size_t(idx)] + 12, inPluck, (r % 4) == 0 ? 34 : 27);
            }
        } else if (style == "arp" || style == "arp16") {
            int step = style == "arp" ? 2 : 1;
            int k = 0;
            for (int r = s.Start; r < s.Start + s.Length; r += step, ++k) {
                // Up then down, alternating channels so each note rings on.
                int cycle = int(up.size()) * 2 - 2;
                int idx = k % cycle;
                if (idx >= int(up.size())) idx = cycle - idx;
                int accent = ((r % 4) == 0) ? 34 : 26;
                c.Note(r, chKeys + (k % 2), up[size_t(idx)], inEPiano, accent);
            }
        } else if (style == "stabs") {
            for (int r = s.Start; r < s.Start + s.Length; ++r) {
                if (r % 8 != 6) continue;
                for (size_t v = 0; v < 3 && v < up.size(); ++v)
                    c.Note(r, chKeys + int(v), up[v + (up.size() > 4 ? 1 : 0)], inEPiano, 28);
            }
        } else if (style == "block") {
            for (size_t v = 0; v < 3 && v < up.size(); ++v) c.Note(s.Start, chKeys + int(v), up[v], inEPiano, 30);
        }
    }
}

void ComposeBass(TComposer& c, const std::vector<TChordSpan>& spans, const std::string& style) {
    if (style == "none") return;
    for (size_t i = 0; i < spans.size(); ++i) {
        const TChordSpan& s = spans[i];
        int root = Place(s.BassPc, 36);
        int fifth = Place((s.Root + 7) % 12, 36);
        if (fifth < root) fifth += 12;
        if (style == "sparse") {
            c.Note(s.Start, chBass, root, inBass, 50);
        } else if (style == "roots") {
            c.Note(s.Start, chBass, root, inBass, 52);
            if (s.Length >= 16) {
                c.Note(s.Start + 10, chBass, root, inBass, 40);
                c.Note(s.Start + 14, chBass, fifth, inBass, 36);
            } else if (s.Length >= 8) {
                c.Note(s.Start + 6, chBass, root, inBass, 38);
            }
        } else if (style == "pulse") {
            for (int r = s.Start; r < s.Start + s.Length; r += 2) c.Note(r, chBass, root, inBass, (r % 4) ? 36 : 48);
        } else if (style == "walk") {
            int third = Place(s.Tones.size() > 1 ? s.Tones[1] : s.Root, 36);
            if (third < root) third += 12;
            int next = i + 1 < spans.size() ? Place(spans[i + 1].BassPc, 36) : root;
            int approach = next + ((next > root) ? -1 : 1);
            std::vector<int> line = {root, third, fifth, approach};
            int beats = std::max(1, s.Length / 4);
            for (int b = 0; b < beats; ++b) {
                int note = beats == 4 ? line[size_t(b)] : (b == beats - 1 && beats > 1 ? approach : (b ? fifth : root));
                c.Note(s.Start + 4 * b, chBass, note, inBass, b ? 40 : 50);
            }
        } else {
            throw TScoreError("unknown bass style '" + style + "'");
        }
    }
}

void ComposeDrums(TComposer& c, const TGroove* groove, bool fill) {
    if (groove == nullptr) return;
    for (int bar = 0; bar < Bars; ++bar) {
        for (int step = 0; step < StepsPerBar; ++step) {
            int r = bar * StepsPerBar + step;
            bool inFill = fill && bar == Bars - 1 && step >= 12;
            auto hit = [&](char mark, int ch, int inst, int loud, int soft) {
                if (mark == 'x')
                    c.Note(r, ch, 60, inst, loud);
                else if (mark == 'o')
                    c.Note(r, ch, 60, inst, soft);
            };
            hit(groove->Kick[size_t(step)], chKick, inKick, 56, 38);
            if (inFill)
                c.Note(r, chSnare, 60, inSnare, 28 + (step - 12) * 8);
            else
                hit(groove->Snare[size_t(step)], chSnare, inSnare, 42, 22);
            hit(groove->Hat[size_t(step)], chHat, inHat, 24, 14);
            hit(groove->Shaker[size_t(step)], chShaker, inShaker, 22, 13);
        }
    }
}

void ComposeLine(TComposer& c, const std::vector<TNoteEvent>& line, int ch, int instrument, int volume) {
    int row = 0;
    for (size_t i = 0; i < line.size(); ++i) {
        const TNoteEvent& e = line[i];
        if (e.Midi >= 0) {
            c.Note(row, ch, e.Midi, instrument, volume);
        } else if (i > 0 && line[i - 1].Midi >= 0) {
            c.Off(row, ch);
        }
        row += e.Steps;
    }
    // A line that ends before the pattern does lets its last note go.
    if (row < Rows && !line.empty() && line.back().Midi >= 0) c.Off(row, ch);
}

void ComposeSparkle(TComposer& c, const std::vector<TChordSpan>& spans) {
    for (const TChordSpan& s : spans) {
        int top = Place(s.Tones.back(), 79);
        c.Note(s.Start + (s.Length >= 8 ? 4 : 0), chBell, top, inBell, 20);
    }
}

int LeadInstrument(const std::string& name) {
    if (name == "lead") return inLead;
    if (name == "epiano") return inEPiano;
    if (name == "bell") return inBell;
    if (name == "pluck") return inPluck;
    throw TScoreError("unknown lead instrument '" + name + "'");
}

// Repeats every note of one channel on another, delay rows later and
// softer: the echo of a tape delay, heard from the other side.
void ComposeEcho(TComposer& c, int from, int to, int delay, double level) {
    for (int r = Rows - 1; r >= 0; --r) {
        const TXmCell src = c.Cell(r, from);
        if (src.Note == 0 || r + delay >= Rows) continue;
        if (src.Note == 97) {
            c.Off(r + delay, to);
            continue;
        }
        TXmCell& dst = c.Cell(r + delay, to);
        dst.Note = src.Note;
        dst.Instrument = src.Instrument;
        dst.Volume = Vol(int((src.Volume - 0x10) * level));
        dst.Effect = 0x08;
        dst.Param = kPan[to];
    }
}

// A melody made from the chords: phrases of a few rhythms, chord tones on
// the strong steps and passing tones between, moving mostly by step and
// coming home to the root at the end of the fourth bar.
std::vector<TNoteEvent> AutoLine(const std::vector<TChordSpan>& spans, TOrvRandom& random, int low, bool sparse) {
    static const std::vector<std::vector<int>> kRhythms = {
        {4, 2, 2, 4, 4}, {6, 2, 8}, {2, 2, 4, 8}, {3, 3, 2, 4, 4}, {4, 4, 8}, {2, 2, 2, 2, 8}, {8, 4, 4}, {4, 2, 2, 8}};
    static const std::vector<std::vector<int>> kSparse = {{8, 8}, {12, 4}, {4, 12}, {16}};
    static const int kScale[7] = {0, 2, 4, 5, 7, 9, 11};
    std::vector<TNoteEvent> line;
    int prev = low + 7;
    for (int bar = 0; bar < Bars; ++bar) {
        const auto& set = sparse ? kSparse : kRhythms;
        const std::vector<int>& rhythm = set[size_t(random.Between(0, int(set.size()) - 1))];
        int step = bar * StepsPerBar;
        for (size_t k = 0; k < rhythm.size(); ++k, step += rhythm[k - 1]) {
            const TChordSpan* span = &spans.front();
            for (const TChordSpan& sp : spans)
                if (sp.Start <= step) span = &sp;
            bool strong = step % 4 == 0;
            bool last = bar == Bars - 1 && k + 1 == rhythm.size();
            if (!last && random.Between(0, 9) == 0) {
                line.push_back(TNoteEvent{-1, rhythm[k]});
                continue;
            }
            int best = prev, bestCost = 1 << 20;
            for (int m = low; m < low + 17; ++m) {
                int pc = m % 12;
                bool chordTone = std::find(span->Tones.begin(), span->Tones.end(), pc) != span->Tones.end();
                int rel = ((pc - span->Root) % 12 + 12) % 12;
                bool inScale = std::find(std::begin(kScale), std::end(kScale), rel) != std::end(kScale) || chordTone;
                if (!inScale || ((strong || last) && !chordTone)) continue;
                if (last && pc != span->Root) continue;
                int cost = std::abs(m - prev) * 3 + random.Between(0, 6) + (m == prev ? 4 : 0);
                if (cost < bestCost) {
                    bestCost = cost;
                    best = m;
                }
            }
            prev = best;
            line.push_back(TNoteEvent{best, rhythm[k]});
        }
    }
    return line;
}

}  // namespace

int ParseNoteName(const std::string& text) {
    size_t pos = 0;
    int pc = ReadPitchClass(text, pos);
    if (pc < 0 || pos >= text.size()) return -1;
    // The octave belongs to the letter: B#3 is C4 and Cb4 is B3.
    int letterPc = PitchClass(text[0]);
    int shift = (pc - letterPc + 12) % 12;
    if (shift == 11) shift = -1;
    std::string octave = text.substr(pos);
    if (octave.size() != 1 || octave[0] < '0' || octave[0] > '8') return -1;
    int midi = 12 * (octave[0] - '0' + 1) + letterPc + shift;
    return (midi >= 12 && midi <= 107) ? midi : -1;
}

std::vector<int> ChordTones(const std::string& symbol, int& rootPc, int& bassPc) {
    size_t pos = 0;
    rootPc = ReadPitchClass(symbol, pos);
    if (rootPc < 0) throw TScoreError("not a chord: '" + symbol + "'");
    std::string rest = symbol.substr(pos);
    bassPc = rootPc;
    size_t slash = rest.find('/');
    if (slash != std::string::npos) {
        size_t bpos = slash + 1;
        bassPc = ReadPitchClass(rest, bpos);
        if (bassPc < 0 || bpos != rest.size()) throw TScoreError("bad bass note in chord '" + symbol + "'");
        rest = rest.substr(0, slash);
    }
    static const std::map<std::string, std::vector<int>> qualities = {
        {"", {0, 4, 7}},         {"m", {0, 3, 7}},          {"7", {0, 4, 7, 10}},        {"maj7", {0, 4, 7, 11}},
        {"m7", {0, 3, 7, 10}},   {"m9", {0, 3, 7, 10, 14}}, {"maj9", {0, 4, 7, 11, 14}}, {"9", {0, 4, 7, 10, 14}},
        {"add9", {0, 4, 7, 14}}, {"sus2", {0, 2, 7}},       {"sus4", {0, 5, 7}},         {"7sus4", {0, 5, 7, 10}},
        {"6", {0, 4, 7, 9}},     {"m6", {0, 3, 7, 9}},      {"dim", {0, 3, 6}},          {"m7b5", {0, 3, 6, 10}},
    };
    auto it = qualities.find(rest);
    if (it == qualities.end()) throw TScoreError("unknown chord quality in '" + symbol + "'");
    std::vector<int> tones;
    for (int interval : it->second) tones.push_back((rootPc + interval) % 12);
    return tones;
}

TScore ParseScore(const std::string& text, const std::string& source) {
    TScore score;
    std::istringstream in(text);
    std::string line;
    int number = 0;
    TGroove* groove = nullptr;
    TPatternRecipe* pattern = nullptr;
    while (std::getline(in, line)) {
        ++number;
        const std::string where = source + ":" + std::to_string(number);
        // A comment starts with '#' at the start of a word ('#' inside a
        // word is a sharp: F#5, C#m7).
        for (size_t i = 0; i < line.size(); ++i) {
            if (line[i] == '#' && (i == 0 || line[i - 1] == ' ' || line[i - 1] == '\t')) {
                line.resize(i);
                break;
            }
        }
        std::vector<std::string> w = Words(line);
        if (w.empty()) continue;
        const std::string& key = w[0];
        auto needArgs = [&](size_t n) {
            if (w.size() < n + 1) throw TScoreError(where + ": '" + key + "' needs " + std::to_string(n) + " value(s)");
        };
        auto number1 = [&](size_t i, int lo, int hi) {
            int v = 0;
            try {
                size_t used = 0;
                v = std::stoi(w[i], &used);
                if (used != w[i].size()) throw 0;
            } catch (...) {
                throw TScoreError(where + ": not a number: '" + w[i] + "'");
            }
            if (v < lo || v > hi) throw TScoreError(where + ": '" + w[i] + "' is out of range");
            return v;
        };
        try {
            if (key == "file") {
                needArgs(1);
                score.File = w[1];
            } else if (key == "title") {
                needArgs(1);
                score.Title = line.substr(line.find("title") + 5);
                score.Title.erase(0, score.Title.find_first_not_of(" \t"));
                score.Title.erase(score.Title.find_last_not_of(" \t\r") + 1);
            } else if (key == "speed") {
                needArgs(1);
                score.Speed = number1(1, 1, 31);
            } else if (key == "bpm") {
                needArgs(1);
                score.Bpm = number1(1, 32, 255);
            } else if (key == "level") {
                needArgs(1);
                score.Level = number1(1, 25, 200);
            } else if (key == "restart") {
                needArgs(1);
                score.Restart = number1(1, 0, 255);
            } else if (key == "starts") {
                for (size_t i = 1; i < w.size(); ++i) score.Starts.push_back(number1(i, 0, 255));
            } else if (key == "groove") {
                needArgs(1);
                score.Grooves.push_back(TGroove{w[1], std::string(16, '.'), std::string(16, '.'), std::string(16, '.'),
                                                std::string(16, '.')});
                groove = &score.Grooves.back();
                pattern = nullptr;
            } else if (key == "kick" || key == "snare" || key == "hat" || key == "shaker") {
                if (groove == nullptr) throw TScoreError(where + ": '" + key + "' outside a groove");
                needArgs(1);
                if (w[1].size() != 16 || w[1].find_first_not_of("xo.") != std::string::npos)
                    throw TScoreError(where + ": a drum line is 16 of x, o and .");
                (key == "kick"    ? groove->Kick
                 : key == "snare" ? groove->Snare
                 : key == "hat"   ? groove->Hat
                                  : groove->Shaker) = w[1];
            } else if (key == "pattern") {
                needArgs(1);
                score.Patterns.push_back(TPatternRecipe{});
                pattern = &score.Patterns.back();
                pattern->Name = w[1];
                groove = nullptr;
            } else if (key == "song") {
                score.Song.assign(w.begin() + 1, w.end());
                pattern = nullptr;
                groove = nullptr;
            } else if (pattern == nullptr) {
                throw TScoreError(where + ": unknown statement '" + key + "'");
            } else if (key == "chords") {
                pattern->Chords.assign(1, {});
                for (size_t i = 1; i < w.size(); ++i) {
                    if (w[i] == "|") {
                        pattern->Chords.push_back({});
                        continue;
                    }
                    int root = 0, bass = 0;
                    ChordTones(w[i], root, bass);
                    pattern->Chords.back().push_back(w[i]);
                }
                if (pattern->Chords.size() != Bars) throw TScoreError(where + ": chords need four bars");
                for (auto& bar : pattern->Chords)
                    if (bar.empty() || bar.size() == 3 || bar.size() > 4)
                        throw TScoreError(where + ": a bar holds 1, 2 or 4 chords");
            } else if (key == "bass") {
                needArgs(1);
                static const std::vector<std::string> styles = {"none", "sparse", "roots", "pulse", "walk"};
                if (std::find(styles.begin(), styles.end(), w[1]) == styles.end())
                    throw TScoreError(where + ": unknown bass style '" + w[1] + "'");
                pattern->Bass = w[1];
            } else if (key == "pad") {
                needArgs(1);
                pattern->Pad = OnOff(w[1], where);
            } else if (key == "keys") {
                needArgs(1);
                static const std::vector<std::string> styles = {"off", "arp", "arp16", "stabs", "block", "pluck"};
                if (std::find(styles.begin(), styles.end(), w[1]) == styles.end())
                    throw TScoreError(where + ": unknown keys style '" + w[1] + "'");
                pattern->Keys = w[1];
            } else if (key == "drums") {
                needArgs(1);
                pattern->Drums = w[1];
            } else if (key == "fill") {
                needArgs(1);
                pattern->Fill = OnOff(w[1], where);
            } else if (key == "lead") {
                needArgs(1);
                LeadInstrument(w[1]);
                pattern->Lead = w[1];
            } else if (key == "melody") {
                pattern->MelodyAuto = w.size() == 2 && w[1] == "auto";
                if (!pattern->MelodyAuto) pattern->Melody = ParseLine(w, 1, where);
            } else if (key == "counter") {
                pattern->CounterAuto = w.size() == 2 && w[1] == "auto";
                if (!pattern->CounterAuto) pattern->Counter = ParseLine(w, 1, where);
            } else if (key == "sparkle") {
                needArgs(1);
                pattern->Sparkle = OnOff(w[1], where);
            } else {
                throw TScoreError(where + ": unknown statement '" + key + "'");
            }
        } catch (const TScoreError& e) {
            std::string msg = e.what();
            if (msg.rfind(source, 0) == 0) throw;
            throw TScoreError(where + ": " + msg);
        }
    }
    if (score.File.empty()) throw TScoreError(source + ": no 'file' line");
    if (score.Song.empty()) throw TScoreError(source + ": no 'song' line");
    for (auto& p : score.Patterns)
        if (p.Chords.empty()) throw TScoreError(source + ": pattern '" + p.Name + "' has no chords");
    return score;
}

TXmModule ComposeScore(const TScore& score, const std::vector<TXmInstrument>& instruments) {
    TXmModule m;
    m.Name = score.Title;
    m.Channels = chCount;
    m.Speed = score.Speed;
    m.Bpm = score.Bpm;
    m.Restart = score.Restart;
    m.Instruments = instruments;

    std::map<std::string, int> index;
    for (const std::string& name : score.Song) {
        if (index.count(name)) {
            m.Orders.push_back(uint8_t(index[name]));
            continue;
        }
        auto recipe =
            std::find_if(score.Patterns.begin(), score.Patterns.end(), [&](auto& p) { return p.Name == name; });
        if (recipe == score.Patterns.end())
            throw TScoreError(score.File + ": song names unknown pattern '" + name + "'");
        const TGroove* groove = nullptr;
        if (recipe->Drums != "none") {
            auto g = std::find_if(score.Grooves.begin(), score.Grooves.end(),
                                  [&](auto& gr) { return gr.Name == recipe->Drums; });
            if (g == score.Grooves.end()) throw TScoreError(score.File + ": unknown groove '" + recipe->Drums + "'");
            groove = &*g;
        }
        TXmPattern p;
        p.Rows = Rows;
        p.Cells.resize(size_t(Rows * chCount));
        uint64_t seed = 1469598103934665603ull;
        for (char ch : recipe->Name) seed = (seed ^ uint8_t(ch)) * 1099511628211ull;
        TOrvRandom random(seed);
        TComposer c{p, random};
        std::vector<TChordSpan> spans = Spans(*recipe);
        if (recipe->Pad) ComposePad(c, spans);
        ComposeKeys(c, spans, recipe->Keys);
        ComposeBass(c, spans, recipe->Bass);
        ComposeDrums(c, groove, recipe->Fill);
        std::vector<TNoteEvent> melody = recipe->MelodyAuto ? AutoLine(spans, random, 67, false) : recipe->Melody;
        std::vector<TNoteEvent> counter = recipe->CounterAuto ? AutoLine(spans, random, 79, true) : recipe->Counter;
        ComposeLine(c, melody, chMelody, LeadInstrument(recipe->Lead), recipe->Lead == "lead" ? 44 : 40);
        ComposeLine(c, counter, chBell, inBell, 26);
        if (recipe->Sparkle && counter.empty()) ComposeSparkle(c, spans);
        ComposeEcho(c, chMelody, chEcho, 3, 0.45);
        ComposeEcho(c, chBell, chBellEcho, 3, 0.5);
        // Every pattern sets its tempo, so a start at any order sounds right.
        c.Cell(0, chKick).Effect = 0x0F;
        c.Cell(0, chKick).Param = uint8_t(score.Speed);
        c.Cell(0, chSnare).Effect = 0x0F;
        c.Cell(0, chSnare).Param = uint8_t(score.Bpm);
        // The score's level scales every note, so tunes of thin and of full
        // arrangements sound equally loud.
        if (score.Level != 100)
            for (TXmCell& cell : p.Cells)
                if (cell.Volume >= 0x10 && cell.Volume <= 0x50)
                    cell.Volume = Vol((cell.Volume - 0x10) * score.Level / 100);
        index[name] = int(m.Patterns.size());
        m.Orders.push_back(uint8_t(m.Patterns.size()));
        m.Patterns.push_back(std::move(p));
    }
    if (score.Restart >= int(m.Orders.size())) throw TScoreError(score.File + ": restart lies past the song");
    for (size_t i = 0; i < score.Starts.size(); ++i) {
        int a = score.Starts[i];
        if (a >= int(m.Orders.size()))
            throw TScoreError(score.File + ": start " + std::to_string(a) + " lies past the song");
        for (size_t j = 0; j < i; ++j)
            if (m.Orders[size_t(a)] == m.Orders[size_t(score.Starts[j])])
                throw TScoreError(score.File + ": starts " + std::to_string(score.Starts[j]) + " and " +
                                  std::to_string(a) + " begin the same pattern");
    }
    return m;
}
