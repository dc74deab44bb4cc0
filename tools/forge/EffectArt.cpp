#include "EffectArt.h"

#include "fx/OrvFXArt.h"
#include "render/PictureCodec.h"

void WriteEffectPictures(const std::string& outDir) {
    for (const auto& [name, picture] : fxart::EffectPictures()) SavePNGFile(outDir + "/" + name, picture);
}
