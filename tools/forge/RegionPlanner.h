// Proposes a regions map for a scene: the lattice cut into layers that grow
// from seeds along the painting's colours, so their outlines run where the
// picture changes (a sky meets a hill, a pond its bank) and every painted
// object stays in one layer. The designer pastes the proposal into the
// scene source and edits it from there.
#pragma once

#include <string>
#include <vector>

#include "Raster.h"
#include "SceneSource.h"

namespace forge {

// Largest box of cells a proposed layer may span, leaving the view room for
// belts, the Chameleon and the artefact.
inline constexpr int kPlanMaxCols = 11;
inline constexpr int kPlanMaxRows = 10;

// The regions map (one string a lattice row, letters 'A'.. in the order
// the layers should be played, top to bottom) for about layers layers.
// Cells no layer can take within the box limits stay '.'.
std::vector<std::string> PlanRegions(const TCanvas& painting, const std::vector<TProtected>& objects, int layers);

}  // namespace forge
