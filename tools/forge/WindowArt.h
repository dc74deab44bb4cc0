// The art of the game's windows, in the style of the play screen's frame:
// dark carved wood, brass trims and parchment panels. Every picture the
// interface file names is painted here; the content build lists them.
#pragma once

#include <string>
#include <vector>

#include "FontBuild.h"
#include "Raster.h"
#include "SceneSource.h"
#include "ShapeTables.h"

namespace forge {

// One picture of the windows, painted on demand.
struct TWindowPicture {
    std::string Name;  // ".png" pictures keep their opacity, ".jpg" are opaque
    TCanvas Canvas;
};

// What the screens are painted from.
struct TWindowArtInput {
    const TCanvas* TitlePainting = nullptr;  // a restored scene for the title and loading screens
    const TBitmapFont* HugeFont = nullptr;   // the game's name on the title screen
    int ChapterWidth = 360;                  // the chapter picture's size on the between-levels window
    int ChapterHeight = 264;
    const std::vector<TShape>* Shapes = nullptr;
    std::string HelpQuest;  // the artefact shown on the help page
};

// Every picture of the windows: backgrounds, dialog frames, buttons in three
// states, check and radio boxes, slider and scroll bar parts, grid and edit
// backgrounds, caret, progress bar, skill slots, hint balloons and help pages.
std::vector<TWindowPicture> PaintWindowArt(const TWindowArtInput& in);

// A dialog window of the given size: parchment in a wooden frame with a
// title band (46 pixels) along its top.
TCanvas PaintDialog(int w, int h);
// A button of the given size; state 0 normal, 1 under the mouse, 2 pressed.
TCanvas PaintButton(int w, int h, int state);

}  // namespace forge
