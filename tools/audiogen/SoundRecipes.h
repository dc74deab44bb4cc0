// The game's sound effects, each a small synthesis recipe with its own
// parameters, rendered as finished mono buffers (declicked and normalised).
#pragma once

#include <string>
#include <vector>

#include "Dsp.h"

struct TSoundRecipe {
    std::string File;  // the name the game plays it by
    dsp::TBuffer Pcm;  // mono, 44100 Hz, finished
};

// Every sound of the game in the order of "sounds.dat".
std::vector<TSoundRecipe> MakeSounds();
