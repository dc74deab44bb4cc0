// Reads arbitrary bytes as the picture list "surfaces.dat" of an archive
// holding a few pictures (one of them broken), loads the list, then rebuilds
// every surface as after a display change. Each listed picture the archive
// holds is registered once, under a line of the list; nothing else is.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "base/FileFolder.h"
#include "base/OrvException.h"
#include "render/PictureCodec.h"
#include "render/ResourceList.h"
#include "render/SurfEngine.h"

namespace {

std::vector<uint8_t> Png(int w, int h, int channels) {
    TPicture p = TPicture::Create(w, h, channels);
    for (size_t i = 0; i < p.Pixels.size(); ++i) p.Pixels[i] = uint8_t(i * 31 + 5);
    return EncodePNG(p);
}

std::vector<uint8_t> Jpeg(int w, int h) {
    TPicture p = TPicture::Create(w, h, 3);
    for (size_t i = 0; i < p.Pixels.size(); ++i) p.Pixels[i] = uint8_t(i * 13);
    return EncodeJPEG(p, 80);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::vector<std::pair<std::string, std::vector<uint8_t>>> pictures{
        {"cursor_line.png", Png(6, 4, 4)},
        {"Title.jpg", Jpeg(8, 8)},
        {"grey.png", Png(3, 3, 1)},
        {"misnamed.png", Jpeg(4, 4)},
        {"broken.png", {0x89, 'P', 'N', 'G', 1, 2, 3}},
        {"font.PNG", Png(5, 2, 2)},
    };
    TFileFolder archive = TFileFolder::CreateNew("fuzz.zxc");
    for (const auto& [name, bytes] : pictures) {
        TMemoryStream s(bytes);
        archive.AddFile(name, 2, s);
    }
    TMemoryStream list(std::string_view(reinterpret_cast<const char*>(data), size));
    archive.AddFile("surfaces.dat", 0, list);

    std::unique_ptr<TSurfEngine> engine = std::make_unique<TSurfEngine>(TPixelFormat::Rgb565(), 800, 600);
    TResourceList resources("/nowhere", engine);
    resources.PreloadPictures = {"font.PNG"};
    try {
        resources.LoadSurfacesList(archive);
    } catch (const OrvException&) {
        std::abort();  // the list is there; failing pictures are skipped
    }

    // The lines as the loader reads them: trimmed, blank ones skipped.
    std::set<std::string> lines{"font.PNG"};
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
        size_t b = 0;
        while (b < line.size() && (line[b] == ' ' || line[b] == '\t' || line[b] == '\r')) ++b;
        lines.insert(line.substr(b));
        start = end + 1;
    }
    std::set<std::string> seen;
    for (size_t i = 0; i < engine->SurfaceCount(); ++i) {
        const SurfaceRecord& r = engine->SurfaceAt(i);
        if (!seen.insert(r.Name).second || lines.count(r.Name) == 0 || archive.IndexOf(r.Name) < 0 || !r.Bits)
            std::abort();
    }

    // A display change: every surface released and rebuilt in its order.
    std::vector<std::string> before;
    for (size_t i = 0; i < engine->SurfaceCount(); ++i) before.push_back(engine->SurfaceAt(i).Name);
    engine->ReleaseSurfaces();
    resources.ReinitSurfaces(archive, "/nowhere/", text.substr(0, 64));
    std::set<std::string> after;
    for (size_t i = 0; i < engine->SurfaceCount(); ++i) {
        const SurfaceRecord& r = engine->SurfaceAt(i);
        if (!r.Bits || !after.insert(r.Name).second) std::abort();
    }
    if (after != std::set<std::string>(before.begin(), before.end())) std::abort();
    return 0;
}
