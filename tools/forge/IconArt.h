// The program's icon for the desktop: a picture being restored from
// triangle and square fragments, with one piece lifted above it. The same
// shapes are painted at every size and written as SVG, so the raster and
// the scalable icon never disagree.
#pragma once

#include <string>
#include <vector>

#include "render/PictureCodec.h"

namespace forge {

// The desktop's application id; icons, the desktop entry and the metainfo
// file are named after it.
inline constexpr const char* kAppId = "io.github.moswick.Moswick";
// The raster sizes the desktop's icon theme is given.
inline constexpr int kIconSizes[] = {16, 24, 32, 48, 64, 128, 256};

// The icon painted at size x size pixels (4 channels, straight alpha).
TPicture PaintIcon(int size);
// The icon as an SVG document (a 256-unit square).
std::string IconSvg();
// Writes icons/hicolor/<n>x<n>/apps/<id>.png for every size and
// icons/hicolor/scalable/apps/<id>.svg under outDir, each atomically.
// Throws OrvException when a file cannot be written.
void WriteIcons(const std::string& outDir);

}  // namespace forge
