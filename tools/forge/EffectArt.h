// The pictures of the game's particle effects, written as PNG files for the
// content build to pack beside the effect files.
#pragma once

#include <string>

// Writes every effect picture ("LightPoint1.png", "particle1.png",
// "Spark1.png", "Star1.png", "Glow1.png") into outDir, which must exist.
// The bytes are the same on every run. Throws OrvException when a file
// cannot be written.
void WriteEffectPictures(const std::string& outDir);
