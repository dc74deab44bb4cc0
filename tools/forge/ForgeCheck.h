// Checks of the built content for level designers ("forge --check") and the
// contact sheet ("forge --sheet"): whether every scene reads back, every
// fragment exists and lies under its layer's picture, every layer can be
// completed with the pieces its weights can bring, every belt stays in view,
// every picture the game asks for is in the archive, and the archive
// prepares into pictures that decode.
#pragma once

#include <string>
#include <vector>

#include "Forge.h"

namespace forge {

struct TCheckReport {
    std::vector<std::string> Problems;  // the content is wrong
    std::vector<std::string> Notes;     // facts for the designer
    std::vector<std::string> Table;     // one line a scene, with a heading
};

// A scene's layers together must restore this share of its picture.
inline constexpr double kMinCoverage = 0.95;
// Restoring a layer must change its area by this mean colour difference
// (0..255 a channel) at least, or the player hardly sees the reward.
inline constexpr double kMinRestoredChange = 28.0;

TCheckReport CheckContent(const TContentBuild& build);

// One piece laid by the solver: shape index and the lattice offset of the
// shape's cells within the layer.
struct TPlacement {
    int Shape = 0;
    int Col = 0, Row = 0;
};

// Fills the layer with the usable shapes by the game's rules: every cell on a
// free fragment of its kind, all fragments under one piece at the same stack
// level, each piece lowering their levels by one. Returns false when no way
// was found within the search limit; the placements are in laying order.
bool SolveLayer(const TLayerSource& layer, const std::vector<TShape>& shapes, const std::vector<int>& usable,
                std::vector<TPlacement>* placements, long nodeLimit = 400000);

// The shapes a scene's weights can spawn, plus shape 0 (the game hands it out
// when one fragment is left).
std::vector<int> SpawnableShapes(const TSceneSource& scene, const std::vector<TShape>& shapes);

// The share (0..1) of the scene's picture its layers restore.
double SceneCoverage(const TSceneSource& scene);
// The names of the objects whose area more than one layer restores.
std::vector<std::string> CutObjects(const TSceneSource& scene, const std::vector<TProtected>& objects);
// The scene's lattice as text, one character a cell: the letter of the
// object over it ('*' for several, '.' for none), then the letters' legend.
// For drawing a regions map round the objects.
std::string LatticeChart(const TSceneSource& scene, const std::vector<TProtected>& objects);

// Renders every scene with its layers' fragments, views, belts and artefact
// spots into one PNG picture.
// Scene i as a player sees it half way: the faded print with every second
// layer (the first, third, ...) restored, so the outlines between restored
// and faded parts show.
TCanvas HalfRestored(const TContentBuild& build, size_t i);

void WriteSheet(const TContentBuild& build, const std::string& path);

}  // namespace forge
