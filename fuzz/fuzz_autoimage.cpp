// Runs arbitrary text as an AutoImage script against a small archive of
// pictures. Any outcome but a clean OrvException or a well-formed picture in
// the archive is a fault.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "base/FileFolder.h"
#include "base/OrvException.h"
#include "media/AutoImage.h"
#include "render/PictureCodec.h"

namespace {

std::vector<uint8_t> Picture(int w, int h, int channels) {
    TPicture p = TPicture::Create(w, h, channels);
    for (size_t i = 0; i < p.Pixels.size(); ++i) p.Pixels[i] = uint8_t(i * 29 + 7);
    return EncodePNG(p);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::vector<uint8_t> a = Picture(8, 6, 4), b = Picture(5, 5, 3), c = Picture(4, 7, 2);
    TFileFolder archive = TFileFolder::CreateNew("fuzz.zxc");
    const std::pair<const char*, const std::vector<uint8_t>*> entries[] = {{"a.png", &a}, {"b.png", &b}, {"c.png", &c}};
    for (const auto& [name, bytes] : entries) {
        TMemoryStream s(*bytes);
        archive.AddFile(name, 2, s);
    }
    TAutoImage image(archive, "fuzz.aim");
    // Keeps every input quick: the scripts may scale and rotate.
    image.MaxCanvasPixels = 128 * 128;
    try {
        image.Run(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const OrvException&) {
        if (archive.Dir.size() != 3) std::abort();
        return 0;
    }
    const TPicture& canvas = image.Canvas();
    if (canvas.Empty() || (canvas.Channels != 3 && canvas.Channels != 4) ||
        canvas.Pixels.size() != canvas.RowBytes() * size_t(canvas.Height) || archive.Dir.size() != 4)
        std::abort();
    return 0;
}
