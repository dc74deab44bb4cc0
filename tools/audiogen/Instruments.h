// The instrument samples every composed module carries, synthesised here:
// an electric piano, a soft pad, a plucked bass, a bell, kick, snare, hi-hat,
// a soft lead, a plucked string and a shaker. The tuned ones carry a little
// room in their tails. Their order is the instrument numbering of the modules.
#pragma once

#include <vector>

#include "XmWriter.h"

enum TInstrumentNumber {
    inEPiano = 1,
    inPad = 2,
    inBass = 3,
    inBell = 4,
    inKick = 5,
    inSnare = 6,
    inHat = 7,
    inLead = 8,
    inPluck = 9,
    inShaker = 10,
};

// The instruments, numbered as above (index 0 is instrument 1).
std::vector<TXmInstrument> MakeInstruments();

// XM note number (1..96, 49 = middle C) of a MIDI note (60 = middle C).
int XmNote(int midi);
