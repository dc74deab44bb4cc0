// Decodes arbitrary bytes as a picture. A picture that decodes must have a
// consistent size and survive a PNG round trip unchanged; small ones are also
// packed into JPEG colour + grey alpha and joined again, which must give the
// same size and the same alpha.
#include <cstdint>
#include <cstdlib>

#include "base/OrvException.h"
#include "base/OrvStream.h"
#include "media/PNGMorf.h"
#include "render/PictureCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TPicture picture;
    try {
        picture = DecodePicture(data, size);
    } catch (const OrvException&) {
        return 0;
    }
    if (picture.Empty() || picture.Channels < 1 || picture.Channels > 4 ||
        picture.Pixels.size() != picture.RowBytes() * size_t(picture.Height))
        std::abort();
    const std::vector<uint8_t> png = EncodePNG(picture);
    const TPicture back = DecodePNG(png.data(), png.size());
    if (back.Width != picture.Width || back.Height != picture.Height || back.Pixels != picture.Pixels) std::abort();
    if (size_t(picture.Width) * size_t(picture.Height) > 4096 || SniffPicture(data, size) != pfPNG) return 0;
    TMemoryStream source(png), jpeg, alpha, joined;
    TPNGMorf::SplitPicture(source, 90, jpeg, alpha);
    TPNGMorf::JoinPicture(jpeg, alpha, joined);
    const TPicture rejoined = DecodePNG(joined.Data(), joined.Size());
    if (rejoined.Width != picture.Width || rejoined.Height != picture.Height || rejoined.Channels != 4) std::abort();
    const size_t count = size_t(picture.Width) * size_t(picture.Height);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t expected = picture.HasAlpha() ? picture.Pixels[i * picture.Channels + picture.Channels - 1] : 255;
        if (rejoined.Pixels[i * 4 + 3] != expected) std::abort();
    }
    return 0;
}
