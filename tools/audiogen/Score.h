// The text scores the game's music is written in, and their composition
// into tracker modules.
//
// A score is plain text, one statement per line, a word starting with '#'
// begins a comment (a '#' inside a word is a sharp):
//
//   file    vibe-hah.mo3          name of the module file written
//   title   Vibe Hah              module title (20 characters kept)
//   speed   6                     ticks per row (a row is a sixteenth note)
//   bpm     96                    beats per minute
//   restart 0                     order the song loops back to
//   level   120                   scales every note's volume (percent, 25..200)
//   starts  0 5 7                 orders that must begin different patterns
//
//   groove NAME                   a one-bar drum pattern, 16 steps per line:
//     kick  x.......x.o.....      x hit, o soft hit, . rest
//     snare ....x.......x...
//     hat   x.x.x.x.x.x.x.x.
//     shaker ..x...x...x...x.     (optional)
//
//   pattern NAME                  four bars of 16 steps
//     chords  Fmaj7 | Em7 | Dm7 G7 | Cmaj7     one to four chords per bar
//     bass    roots                 none, sparse, roots, pulse, walk
//     pad     on                    on or off
//     keys    arp                   off, arp, arp16, stabs, block, pluck
//     drums   NAME                  a groove, or none
//     fill    on                    a snare fill in the last bar
//     lead    lead                  the melody's instrument: lead, epiano, bell,
//                                   pluck
//     melody  E5:4 G5:2 A5:2 | ...  notes (C4 = middle C) or r for rest, with
//                                   a length in steps after ':' (default: the
//                                   previous length); '|' checks a bar line
//     counter C6:8 r:8 | ...        a second line on the bell
//                                   ("melody auto" and "counter auto" make
//                                   the line from the chords, the same on
//                                   every build)
//     sparkle on                    bell notes on the chord's top tone
//
//   song  intro a a2 b ...        the order list, by pattern names
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "XmWriter.h"

struct TScoreError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct TGroove {
    std::string Name;
    std::string Kick, Snare, Hat, Shaker;  // 16 characters each
};

struct TNoteEvent {
    int Midi = -1;  // -1 rest
    int Steps = 0;
};

struct TPatternRecipe {
    std::string Name;
    std::vector<std::vector<std::string>> Chords;  // per bar
    std::string Bass = "none";
    bool Pad = false;
    std::string Keys = "off";
    std::string Drums = "none";
    bool Fill = false;
    std::string Lead = "lead";
    std::vector<TNoteEvent> Melody;
    std::vector<TNoteEvent> Counter;
    bool MelodyAuto = false;  // "melody auto": made from the chords
    bool CounterAuto = false;
    bool Sparkle = false;
};

struct TScore {
    std::string File;
    std::string Title;
    int Speed = 6;
    int Bpm = 96;
    int Restart = 0;
    int Level = 100;  // percent every note's volume is scaled by
    std::vector<int> Starts;
    std::vector<TGroove> Grooves;
    std::vector<TPatternRecipe> Patterns;
    std::vector<std::string> Song;
};

// Reads a score; throws TScoreError "<source>:<line>: <problem>" on any
// mistake (unknown statement, bad chord or note, a bar that does not add
// up, a pattern or groove used but not defined).
TScore ParseScore(const std::string& text, const std::string& source);

// Composes the score into a module with the given instruments. Throws
// TScoreError when the starts are not different patterns.
TXmModule ComposeScore(const TScore& score, const std::vector<TXmInstrument>& instruments);

// Pitch classes (0 = C .. 11 = B) of the tones of a chord symbol, root
// first, in the order of their intervals above it, of a chord symbol such as "Fmaj7", "C#m7",
// "Bb7sus4", "G/B"; throws TScoreError for an unknown one. bassPc receives
// the bass note's pitch class (the root, or the note after '/').
std::vector<int> ChordTones(const std::string& symbol, int& rootPc, int& bassPc);

// MIDI number of a note name such as "C4" (60), "F#5", "Bb3"; -1 when the
// text is not a note.
int ParseNoteName(const std::string& text);
