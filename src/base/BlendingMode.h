// How a picture is combined with what lies under it. Every interface object
// carries one and hands it to the drawing interface with each picture.
#pragma once

#include <string_view>

enum TBlendingMode { bmNormal, bmAddBlend, bmMulBlend, bmAvrBlend, bmAddBump, bmMulBump, bmAvrBump };

// Value names in ordinal order, for published enumeration properties.
inline constexpr std::string_view BlendingModeNames[] = {"bmNormal",  "bmAddBlend", "bmMulBlend", "bmAvrBlend",
                                                         "bmAddBump", "bmMulBump",  "bmAvrBump"};
