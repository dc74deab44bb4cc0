#include "render/ResourceList.h"

#include "base/FileFolder.h"
#include "base/OrvException.h"
#include "render/SurfEngine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Fixture {
    std::unique_ptr<TSurfEngine> engine;
    TResourceList list;
    TFileFolder archive = TFileFolder::CreateNew("unused.zxc");

    explicit Fixture(const TPixelFormat& format, const std::string& folder = "/nowhere")
        : engine(std::make_unique<TSurfEngine>(format, 800, 600)), list(folder, engine) {}

    void Add(const std::string& name, const std::vector<uint8_t>& bytes) {
        TMemoryStream s(bytes);
        archive.AddFile(name, 2, s);
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> out;
        for (size_t i = 0; i < engine->SurfaceCount(); ++i) out.push_back(engine->SurfaceAt(i).Name);
        return out;
    }
};

uint32_t Pixel32(const SurfaceRecord& r, int x, int y) {
    uint32_t v;
    std::memcpy(&v, r.Bits + size_t(y) * r.Pitch + size_t(x) * 4, 4);
    return v;
}

uint16_t Pixel16(const SurfaceRecord& r, int x, int y) {
    uint16_t v;
    std::memcpy(&v, r.Bits + size_t(y) * r.Pitch + size_t(x) * 2, 2);
    return v;
}

TPicture Solid(int w, int h, int channels, std::initializer_list<uint8_t> px) {
    TPicture p = TPicture::Create(w, h, channels);
    for (size_t i = 0; i < p.Pixels.size(); ++i) p.Pixels[i] = *(px.begin() + i % px.size());
    return p;
}

}  // namespace

TEST(ResourceList, SixteenBitConversionTruncatesAndWideFormatsKeepEightBits) {
    Fixture f(TPixelFormat::Rgb565());
    TPicture p = TPicture::Create(3, 1, 3);
    p.Pixels = {255, 255, 255, 7, 3, 7, 0x84, 0x86, 0x08};
    f.Add("p.png", EncodePNG(p));
    ASSERT_TRUE(f.list.LoadPNGFromArchive(f.archive, "p.png", "p.png"));
    const SurfaceRecord& r = *f.engine->GetSurface("p.png");
    EXPECT_EQ(Pixel16(r, 0, 0), 0xFFFF);
    EXPECT_EQ(Pixel16(r, 1, 0), 0);
    EXPECT_EQ(Pixel16(r, 2, 0), (0x10 << 11) | (0x21 << 5) | 0x01);

    Fixture g(TPixelFormat::Rgb555());
    g.Add("p.png", EncodePNG(p));
    g.list.LoadPNGFromArchive(g.archive, "p.png", "p.png");
    EXPECT_EQ(Pixel16(*g.engine->GetSurface("p.png"), 0, 0), 0x7FFF);
    EXPECT_EQ(Pixel16(*g.engine->GetSurface("p.png"), 2, 0), (0x10 << 10) | (0x10 << 5) | 0x01);

    Fixture h(TPixelFormat::Xrgb8888());
    h.Add("p.png", EncodePNG(p));
    h.list.LoadPNGFromArchive(h.archive, "p.png", "p.png");
    EXPECT_EQ(Pixel32(*h.engine->GetSurface("p.png"), 2, 0), 0x848608u);
}

TEST(ResourceList, AlphaMapsFollowThePictureKind) {
    Fixture f(TPixelFormat::Xrgb8888());
    f.Add("grey.png", EncodePNG(Solid(2, 2, 1, {90})));
    f.Add("rgb.png", EncodePNG(Solid(2, 2, 3, {1, 2, 3})));
    f.Add("rgba.png", EncodePNG(Solid(2, 1, 4, {10, 20, 30, 40, 50, 60, 70, 0})));
    f.Add("greya.png", EncodePNG(Solid(1, 1, 2, {200, 33})));
    f.Add("photo.jpg", EncodeJPEG(Solid(8, 8, 3, {100, 150, 200}), 95));
    for (const char* n : {"grey.png", "rgb.png", "rgba.png", "greya.png"})
        ASSERT_TRUE(f.list.LoadPNGFromArchive(f.archive, n, n)) << n;
    ASSERT_TRUE(f.list.LoadJPEGFromArchive(f.archive, "photo", "photo.jpg"));

    const SurfaceRecord& grey = *f.engine->GetSurface("grey.png");
    EXPECT_EQ(grey.AlphaStride, 2);
    EXPECT_EQ(grey.AlphaMap, std::vector<uint8_t>(4, 255));
    EXPECT_EQ(Pixel32(grey, 1, 1), 0x5A5A5Au);
    EXPECT_EQ(f.engine->GetSurface("rgb.png")->AlphaMap, std::vector<uint8_t>(4, 255));
    EXPECT_EQ(f.engine->GetSurface("rgba.png")->AlphaMap, (std::vector<uint8_t>{40, 0}));
    EXPECT_EQ(Pixel32(*f.engine->GetSurface("rgba.png"), 1, 0), 0x323C46u);
    EXPECT_EQ(f.engine->GetSurface("greya.png")->AlphaMap, (std::vector<uint8_t>{33}));
    const SurfaceRecord& photo = *f.engine->GetSurface("photo");
    EXPECT_EQ(photo.AlphaStride, -1);
    EXPECT_FALSE(photo.HasAlpha());
    EXPECT_EQ(photo.FileName, "photo.jpg");
    EXPECT_EQ(photo.Width, 8);

    EXPECT_FALSE(f.list.LoadPNGFromArchive(f.archive, "x", "missing.png"));
    EXPECT_FALSE(f.list.LoadPNGFromFile("x", "/no/such/file.png"));
    f.Add("broken.png", {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0});
    EXPECT_THROW(f.list.LoadPNGFromArchive(f.archive, "b", "broken.png"), OrvException);
    EXPECT_EQ(f.engine->FindSurface("b"), -1);
}

TEST(ResourceList, PicturesReadFromAnArchiveFileLeaveTheEntryUnreadNotEmpty) {
    const fs::path dir = fs::temp_directory_path() / ("moswick_reslist_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string path = (dir / "pics.zxc").string();
    const std::vector<uint8_t> png = EncodePNG(Solid(3, 2, 4, {10, 20, 30, 255}));
    {
        TFileFolder out = TFileFolder::CreateNew(path);
        TMemoryStream s(png);
        out.AddFile("p.png", 2, s);
        out.SaveToFile();
    }
    Fixture f(TPixelFormat::Xrgb8888());
    f.archive = TFileFolder(path);
    ASSERT_TRUE(f.list.LoadPNGFromArchive(f.archive, "p.png", "p.png"));
    // The packed bytes are dropped once decoded, and the slot says so: a
    // later save reads them again rather than writing an empty entry.
    EXPECT_EQ(f.archive.Files[0].State, fsNotLoaded);
    EXPECT_EQ(f.archive.Files[0].Stream->Size(), 0u);
    // Their memory goes too: a long session loads every scene's pictures.
    EXPECT_EQ(f.archive.Files[0].Stream->Bytes().capacity(), 0u);
    f.archive.SaveToFile();
    EXPECT_EQ(TFileFolder(path).Stream("p.png")->Bytes(), png);
    fs::remove_all(dir);
}

TEST(ResourceList, SurfacesListLoadsInOrderSkipsKnownMissingAndBrokenPictures) {
    Fixture f(TPixelFormat::Xrgb8888());
    f.Add("a.png", EncodePNG(Solid(1, 1, 3, {1, 1, 1})));
    f.Add("b.jpg", EncodeJPEG(Solid(4, 4, 3, {9, 9, 9}), 90));
    f.Add("c.png", EncodePNG(Solid(3, 3, 4, {1, 2, 3, 4})));
    f.Add("bad.png", {1, 2, 3, 4});
    f.Add("OrvUnicode.png", EncodePNG(Solid(2, 2, 4, {5, 5, 5, 5})));
    std::string list;
    for (int i = 0; i < 40; ++i) list += "missing" + std::to_string(i) + ".png\n";
    list = "c.png\r\nbad.png\n\nb.jpg\na.png\nc.png\n" + list;
    f.Add("surfaces.dat", std::vector<uint8_t>(list.begin(), list.end()));

    f.engine->CreateEmptySurface("a.png", 50, 50);  // registered before: wins
    std::vector<int32_t> progress;
    f.engine->ProgressCallback = [&](int32_t p) { progress.push_back(p); };
    std::vector<std::string> atPreload;
    f.list.PreloadPictures = {"OrvUnicode.png"};
    f.list.AfterPreload = [&] { atPreload = f.Names(); };
    f.list.LoadSurfacesList(f.archive);

    EXPECT_EQ(atPreload, (std::vector<std::string>{"a.png", "OrvUnicode.png"}));
    EXPECT_EQ(f.Names(), (std::vector<std::string>{"a.png", "OrvUnicode.png", "c.png", "b.jpg"}));
    EXPECT_EQ(f.engine->GetSurface("a.png")->Width, 50);
    // 45 lines: a step of 2, so about every other line reports.
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.front(), 0);
    EXPECT_EQ(progress.size(), 23u);
    EXPECT_EQ(progress[1], 4);  // line 2 of 45

    TFileFolder empty = TFileFolder::CreateNew("none.zxc");
    EXPECT_THROW(f.list.LoadSurfacesList(empty), OrvException);
    f.engine.reset();  // before start-up creates the engine
    EXPECT_THROW(f.list.LoadSurfacesList(f.archive), OrvException);
}

TEST(ResourceList, ReinitRebuildsEverySurfaceInOrder) {
    const std::string dir = std::string(MOSWICK_BUILD_DIR) + "/resourcelist_test";
    fs::create_directories(dir + "/pics");
    SavePNGFile(dir + "/pics/loose.png", Solid(2, 3, 4, {7, 8, 9, 128}));

    Fixture f(TPixelFormat::Xrgb8888(), dir);
    f.Add("a.png", EncodePNG(Solid(2, 2, 4, {200, 100, 50, 77})));
    f.Add("b.jpg", EncodeJPEG(Solid(8, 8, 3, {0, 0, 0}), 90));
    f.Add("font.png", EncodePNG(Solid(1, 1, 3, {1, 2, 3})));
    f.list.LoadPNGFromArchive(f.archive, "a.png", "a.png");
    f.engine->CreateEmptySurface("MemoryBufer", 40, 30);
    f.engine->CreateAlphaChannel("MemoryBufer", 255);
    f.engine->ClearSurface("MemoryBufer", 0x55);
    f.list.LoadJPEGFromArchive(f.archive, "b.jpg", "b.jpg");
    ASSERT_TRUE(f.list.LoadPNGFromFile("loose", dir + "/pics/loose.png"));
    f.engine->GetSurface("loose")->FileName = "pics/loose.png";  // relative to the program folder
    f.list.LoadPNGFromArchive(f.archive, "font.png", "font.png");
    ASSERT_TRUE(f.list.LoadPNGFromFile("abs", dir + "/pics/loose.png"));  // absolute File name
    const std::vector<std::string> before = f.Names();

    f.engine->ReleaseSurfaces();
    std::vector<int32_t> progress;
    f.engine->ProgressCallback = [&](int32_t p) { progress.push_back(p); };
    f.list.ReinitSurfaces(f.archive, dir, "");
    EXPECT_EQ(f.Names(), before);
    for (size_t i = 0; i < f.engine->SurfaceCount(); ++i)
        EXPECT_NE(f.engine->SurfaceAt(i).Bits, nullptr) << f.engine->SurfaceAt(i).Name;
    EXPECT_EQ(progress, (std::vector<int32_t>{20, 40, 60, 80, 100}));

    const SurfaceRecord& buffer = *f.engine->GetSurface("MemoryBufer");
    EXPECT_EQ(buffer.Width, 40);
    EXPECT_EQ(buffer.Height, 30);
    EXPECT_FALSE(buffer.HasAlpha());
    EXPECT_EQ(Pixel32(buffer, 5, 5), 0u) << "blank content";
    EXPECT_EQ(f.engine->GetSurface("a.png")->AlphaMap, std::vector<uint8_t>(4, 77));
    EXPECT_EQ(Pixel32(*f.engine->GetSurface("a.png"), 1, 1), 0xC86432u);
    EXPECT_EQ(f.engine->GetSurface("loose")->AlphaMap, std::vector<uint8_t>(6, 128));

    // Names to reload first come back at once and end up at the front.
    f.engine->ReleaseSurfaces();
    f.list.ReinitSurfaces(f.archive, dir, "font.png nothing a.png");
    EXPECT_EQ(f.Names(), (std::vector<std::string>{"font.png", "a.png", "MemoryBufer", "b.jpg", "loose", "abs"}));
    for (size_t i = 0; i < f.engine->SurfaceCount(); ++i) EXPECT_NE(f.engine->SurfaceAt(i).Bits, nullptr);

    // A picture whose source is gone is dropped, the rest still rebuilt.
    fs::remove(dir + "/pics/loose.png");
    f.engine->ReleaseSurfaces();
    f.list.ReinitSurfaces(f.archive, dir, "");
    EXPECT_EQ(f.Names(), (std::vector<std::string>{"font.png", "a.png", "MemoryBufer", "b.jpg"}));
    fs::remove_all(dir);
}

namespace {

// Everything a loaded list leaves behind: the surfaces in order with their
// pixels and opacity, the progress reported, and which entries stay read.
struct TListOutcome {
    std::vector<std::tuple<std::string, std::string, int32_t, int32_t, std::vector<uint8_t>, std::vector<uint8_t>>>
        Surfaces;
    std::vector<int32_t> Progress;
    std::vector<uint8_t> SlotStates;
    bool operator==(const TListOutcome&) const = default;
};

TListOutcome LoadListWith(unsigned threads, const TPixelFormat& format, const std::string& list, bool fromFile) {
    Fixture f(format);
    std::mt19937 rng(7);
    // Pictures of every kind and odd sizes, each with its own noise.
    for (int i = 0; i < 30; ++i) {
        const int channels = 1 + i % 4;
        TPicture p = TPicture::Create(1 + int(rng() % 37), 1 + int(rng() % 23), channels);
        for (uint8_t& b : p.Pixels) b = uint8_t(rng());
        f.Add("p" + std::to_string(i) + ".png", EncodePNG(p, i % 3 == 0 ? 1 : -1));
        f.Add("j" + std::to_string(i) + ".jpg", EncodeJPEG(ConvertChannels(p, 3), 60 + i));
    }
    f.Add("broken.png", {0x89, 'P', 'N', 'G', 1, 2, 3});
    std::vector<uint8_t> cut = EncodePNG(Solid(9, 9, 4, {1, 2, 3, 4}));
    cut.resize(cut.size() / 2);
    f.Add("cut.png", cut);
    f.Add("jpeg-named.png", EncodeJPEG(Solid(5, 3, 3, {200, 10, 10}), 90));
    f.Add("surfaces.dat", std::vector<uint8_t>(list.begin(), list.end()));
    f.engine->CreateEmptySurface("p3.png", 7, 7);  // registered before the list: wins
    // From a file the entries are read first and dropped after decoding.
    const fs::path dir = fs::temp_directory_path() / ("moswick_listcores_" + std::to_string(::getpid()));
    if (fromFile) {
        fs::create_directories(dir);
        TFileFolder saved = TFileFolder::CreateNew((dir / "pics.zxc").string());
        for (size_t i = 0; i < f.archive.Dir.size(); ++i)
            saved.AddFile(f.archive.Dir[i].Name, f.archive.Dir[i].Kind, *f.archive.Files[i].Stream);
        saved.SaveToFile();
        f.archive = TFileFolder((dir / "pics.zxc").string());
    }

    TListOutcome out;
    f.engine->ProgressCallback = [&](int32_t p) { out.Progress.push_back(p); };
    f.list.Threads = threads;
    f.list.LoadSurfacesList(f.archive);
    const int bpp = f.engine->Format().BytesPerPixel();
    for (size_t i = 0; i < f.engine->SurfaceCount(); ++i) {
        const SurfaceRecord& r = f.engine->SurfaceAt(i);
        std::vector<uint8_t> pixels;
        for (int y = 0; y < r.Height; ++y)
            pixels.insert(pixels.end(), r.Bits + size_t(y) * r.Pitch,
                          r.Bits + size_t(y) * r.Pitch + size_t(r.Width) * bpp);
        out.Surfaces.emplace_back(r.Name, r.FileName, r.Width, r.Height, pixels, r.AlphaMap);
    }
    for (const TMemFile& slot : f.archive.Files) out.SlotStates.push_back(slot.State);
    fs::remove_all(dir);
    return out;
}

}  // namespace

TEST(ResourceList, EveryCoreLoadsTheListExactlyAsOneThreadDoes) {
    // Duplicates, names differing only in case (one entry, two surfaces),
    // missing, broken and cut pictures, a JPEG under a PNG name, a name
    // registered before, blank lines: all among ordinary pictures.
    std::string list;
    for (int i = 0; i < 30; ++i) {
        list += "p" + std::to_string(i) + ".png\n";
        if (i % 4 == 1) list += "j" + std::to_string(i) + ".jpg\n";
        if (i == 5) list += "broken.png\nmissing.png\n\nP5.PNG\np5.png\ncut.png\n";
        if (i == 20) list += "jpeg-named.png\r\np2.png\nJ1.jpg\n";
    }
    for (const TPixelFormat& format : {TPixelFormat::Xrgb8888(), TPixelFormat::Rgb565()}) {
        const bool fromFile = format.BitsPerPixel == 32;
        const TListOutcome reference = LoadListWith(1, format, list, fromFile);
        // Every listed picture but the broken, cut and missing ones, once.
        EXPECT_EQ(reference.Surfaces.size(), 30u + 8 + 1 + 1 + 1);
        EXPECT_EQ(std::get<2>(reference.Surfaces[0]), 7);  // the one registered before
        for (unsigned threads : {2u, 3u, 8u}) {
            const TListOutcome fast = LoadListWith(threads, format, list, fromFile);
            ASSERT_EQ(fast.Surfaces.size(), reference.Surfaces.size()) << threads << " threads";
            for (size_t i = 0; i < fast.Surfaces.size(); ++i)
                EXPECT_TRUE(fast.Surfaces[i] == reference.Surfaces[i])
                    << threads << " threads, surface " << std::get<0>(reference.Surfaces[i]);
            EXPECT_EQ(fast.Progress, reference.Progress) << threads << " threads";
            EXPECT_EQ(fast.SlotStates, reference.SlotStates) << threads << " threads";
        }
        if (fromFile) {  // the packed bytes of decoded pictures were let go; the list and the broken stay
            EXPECT_EQ(std::count(reference.SlotStates.begin(), reference.SlotStates.end(), fsLoaded), 3);
        }
    }
}
