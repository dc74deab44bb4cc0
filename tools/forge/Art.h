// The painters of the content build: every picture the game shows, made in
// code. Each returns a canvas; the build decides how it is stored.
#pragma once

#include <string>
#include <vector>

#include "Raster.h"
#include "SceneSource.h"
#include "ShapeTables.h"

namespace forge {

// Pieces and the lattice.
TCanvas PaintShape(const TShape& shape, int shapeIndex);
TCanvas PaintFragMask(int kind);
TCanvas PaintFragOreol(int kind);
TCanvas PaintFragLevel(int kind, int level);
TCanvas PaintBeltPart(int variant);  // variant 1..3
inline constexpr int kBeltPartVariants = 3;
inline std::string BeltPartName(int variant) {
    return "BeltPart" + std::to_string(variant) + ".png";
}

// The play screen and its actors.
TCanvas PaintGameFrame();               // "GamePlay1.jpg", 800 x 600
TCanvas PaintCursorStrip();             // "cursor_line.png", 30 frames of 41 pixels
TCanvas PaintBoxy();                    // "Boxy.png", the belt's start
TCanvas PaintChameleon();               // "Hum.png"
TCanvas PaintChamShot();                // "ChamShot.png"
TCanvas PaintSpiderStrip();             // "pauk_20.png", 20 frames
TCanvas PaintAmuletStrip();             // "amulet.png", 40 frames
TCanvas PaintSandGlassStrip();          // "sand_glass.png", 20 frames
TCanvas PaintDropGrid();                // "DropGrid.png"
TCanvas PaintDropBit();                 // "DropBit.png"
TCanvas PaintLevelCursor();             // "LevelCursor.png"
TCanvas PaintShadowVeil(int w, int h);  // "Shadow.jpg"
TCanvas PaintShadowSpot();              // "ShadowSpot.png"
TCanvas PaintHintWindow();              // "HintWindowRight.png"; the others are its mirrors
TCanvas PaintSkillDropSection();        // "SkillDropSection.png"
TCanvas PaintSkillEconomyStrip();       // "SkillEconomy.png", 30 frames
TCanvas PaintDecorFrame(const std::string& kind, int frame, int frames);
// The artefact of a quest, kArtefactSize square.
TCanvas PaintArtefact(const std::string& quest);

// The scenes: the restored painting, and the faded picture the player starts
// from.
// objects, when given, receives the painted objects a layer must not cut.
// Throws OrvException for a painting name no painter knows.
TCanvas PaintScene(const TSceneSource& scene, std::vector<TProtected>* objects = nullptr);
// The painters' names, for the scene sources' "painting" line.
std::vector<std::string> PaintingNames();
TCanvas FadeScene(const TCanvas& painting, uint32_t seed);

}  // namespace forge
