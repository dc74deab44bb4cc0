#include "media/AutoImage.h"
#include "media/PNGMorf.h"

#include "base/FileFolder.h"
#include "base/OrvException.h"
#include "render/PictureCodec.h"
#include "render/ResourceList.h"
#include "render/SurfEngine.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

namespace fs = std::filesystem;

namespace {

std::string TestDir(const std::string& name) {
    const std::string dir = std::string(MOSWICK_BUILD_DIR) + "/pngmorf_test/" + name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

TPicture Pattern(int w, int h, int channels) {
    TPicture p = TPicture::Create(w, h, channels);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < channels; ++c) p.Row(y)[x * channels + c] = uint8_t(x * 20 + y * 3 + c * 40);
    return p;
}

void Add(TFileFolder& archive, const std::string& name, const std::vector<uint8_t>& bytes, uint16_t kind = 2) {
    TMemoryStream s(bytes);
    archive.AddFile(name, kind, s);
}

void AddText(TFileFolder& archive, const std::string& name, const std::string& text, uint16_t kind = 1) {
    TMemoryStream s(text);
    archive.AddFile(name, kind, s);
}

TPicture Entry(TFileFolder& archive, const std::string& name) {
    TMemoryStream* s = archive.Stream(name);
    EXPECT_NE(s, nullptr) << name;
    if (!s) return {};
    return DecodePicture(s->Data(), s->Size());
}

std::string ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const OrvException& e) {
        return e.Message();
    }
    return "(no error)";
}

const uint8_t* Px(const TPicture& p, int x, int y) {
    return p.Row(y) + size_t(x) * p.Channels;
}

}  // namespace

TEST(HueConversion, KnownColoursAndZeroShiftSwapsRedAndBlue) {
    const THLS red = RGBToHLS(255, 0, 0);
    EXPECT_EQ(red.H, 0);
    EXPECT_EQ(red.L, 120);
    EXPECT_EQ(red.S, 240);
    const THLS grey = RGBToHLS(90, 90, 90);
    EXPECT_EQ(grey.H, 160);
    EXPECT_EQ(grey.S, 0);
    EXPECT_EQ(RGBToHLS(0, 0, 255).H, 160);
    EXPECT_EQ(RGBToHLS(0, 255, 0).H, 80);

    TPicture p = TPicture::Create(4, 1, 3);
    p.Pixels = {255, 0, 0, 10, 200, 30, 77, 77, 77, 0, 0, 255};
    ChangeHue(p, 0, 0, 0);
    EXPECT_EQ(p.Pixels, (std::vector<uint8_t>{0, 0, 255, 30, 200, 10, 77, 77, 77, 255, 0, 0}));

    // Worked by hand: stored (30, 200, 10) is read as (10, 200, 30), giving
    // H 84, L 99, S 218; one step lighter it comes back as (10, 204, 30),
    // stored the right way round.
    TPicture lit = TPicture::Create(1, 1, 3);
    lit.Pixels = {30, 200, 10};
    ChangeHue(lit, 0, 0, 1);
    EXPECT_EQ(lit.Pixels, (std::vector<uint8_t>{10, 204, 30}));
    const THLS green = RGBToHLS(10, 200, 30);
    EXPECT_EQ(green.H, 84);
    EXPECT_EQ(green.L, 99);
    EXPECT_EQ(green.S, 218);

    // A positive hue shift turns what the script sees as red towards blue.
    TPicture q = TPicture::Create(1, 1, 4);
    q.Pixels = {0, 0, 255, 99};  // stored blue is read as red
    ChangeHue(q, 80, 0, 0);
    EXPECT_EQ(q.Pixels[3], 99) << "alpha untouched";
    EXPECT_GT(q.Pixels[1], 200) << "red + 80 is green";
    EXPECT_LT(q.Pixels[0], 10);

    uint8_t r, g, b;
    HLSToRGB({0, 500, 900}, r, g, b);  // far out of range: clamped, no fault
    HLSToRGB({-1000, -5, 300}, r, g, b);
}

TEST(CanvasOperations, FlipsRotateAndScale) {
    TPicture p = Pattern(3, 2, 4);
    const TPicture orig = p;
    FlipColumns(p);
    EXPECT_EQ(0, std::memcmp(Px(p, 1, 0), Px(orig, 1, 0), 4)) << "middle column stays";
    EXPECT_EQ(0, std::memcmp(Px(p, 0, 1), Px(orig, 2, 1), 4));
    FlipRows(p);
    EXPECT_EQ(0, std::memcmp(Px(p, 0, 0), Px(orig, 2, 1), 4));

    const TPicture src = Pattern(5, 5, 4);
    EXPECT_EQ(RotatePicture(src, 2, 2, 0).Pixels, src.Pixels);
    const TPicture half = RotatePicture(src, 2, 2, 180);
    EXPECT_EQ(0, std::memcmp(Px(half, 0, 0), Px(src, 4, 4), 4));
    EXPECT_EQ(0, std::memcmp(Px(half, 4, 1), Px(src, 0, 3), 4));
    // About a corner, a quarter turn moves most of the picture out of view:
    // uncovered pixels are black and transparent.
    const TPicture corner = RotatePicture(src, 0, 0, 90);
    EXPECT_EQ(Px(corner, 3, 3)[0] | Px(corner, 3, 3)[3], 0);

    EXPECT_EQ(ScalePicture(src, 5, 5).Pixels, src.Pixels);
    TPicture four = TPicture::Create(4, 2, 3);
    four.Pixels = {0, 0, 0, 10, 10, 10, 100, 100, 100, 200, 200, 200, 20, 20, 20, 30, 30, 30, 40, 40, 40, 50, 50, 50};
    // 4 -> 2 columns: u = 0 and 1 round onto 0 and 1 (0.5 rounds to even
    // 0), u = 2 onto 1, u = 3 onto 2 which is dropped.
    const TPicture small = ScalePicture(four, 2, 2);
    EXPECT_EQ(Px(small, 0, 0)[0], 5);    // (0 + 10) / 2
    EXPECT_EQ(Px(small, 1, 0)[0], 100);  // u = 2 only
    EXPECT_EQ(Px(small, 0, 1)[0], 25);

    // Enlarging keeps the edges: no black right column or bottom row.
    TPicture two = TPicture::Create(2, 2, 3, 200);
    const TPicture big = ScalePicture(two, 5, 5);
    for (uint8_t v : big.Pixels) EXPECT_EQ(v, 200);
    EXPECT_THROW(ScalePicture(two, 0, 3), OrvException);
}

TEST(AutoImageScript, AutosizeDrawsBlendsAndMergesOpacity) {
    TFileFolder archive = TFileFolder::CreateNew("unused.zxc");
    TPicture opaque = Pattern(40, 40, 3);
    Add(archive, "base.PNG", EncodePNG(opaque));
    TPicture ghost = TPicture::Create(4, 4, 4);
    for (int i = 0; i < 16; ++i) {
        ghost.Pixels[i * 4] = 200, ghost.Pixels[i * 4 + 1] = 100, ghost.Pixels[i * 4 + 2] = 0;
        ghost.Pixels[i * 4 + 3] = i < 8 ? 255 : 0;
    }
    Add(archive, "ghost.PNG", EncodePNG(ghost));

    TAutoImage image(archive, "t.aim");
    image.Run(
        "<AutoImage name=\"made\" autosize=\"true\">\r\n"
        "<AddImage name=\"base.png\" left=\"5\" top=\"5\" srcrect=\"10 20 19 29\"/>\r\n"
        "<AddImage name=\"ghost.png\" left=\"2\" top=\"3\" alfa=\"128\"/>\r\n"
        "</AutoImage>\r\n");
    const TPicture& c = image.Canvas();
    ASSERT_EQ(c.Width, 10);
    ASSERT_EQ(c.Height, 10);
    // autosize ignores left/top of the first picture
    EXPECT_EQ(0, std::memcmp(Px(c, 0, 0), Px(opaque, 10, 20), 3));
    // ghost row 0 at (2, 3) with m = 255, A = 128: a = 127, blended
    const uint8_t* under = Px(opaque, 12, 23);
    const uint8_t* mixed = Px(c, 2, 3);
    EXPECT_EQ(mixed[0], ((255 - 127) * under[0] + 127 * 200) >> 8);
    EXPECT_EQ(mixed[2], ((255 - 127) * under[2] + 127 * 0) >> 8);
    // the canvas had no alpha: it gains one from ghost, 0 elsewhere
    ASSERT_EQ(c.Channels, 4);
    EXPECT_EQ(Px(c, 2, 3)[3], 255 - (((255 - ((128 * 255) >> 8)) * 255) >> 8));
    EXPECT_EQ(Px(c, 2, 5)[3], 0);  // ghost's transparent half
    EXPECT_EQ(Px(c, 0, 0)[3], 0);  // outside ghost
    EXPECT_EQ(Px(c, 2, 5)[0], Px(opaque, 12, 25)[0]) << "m = 0 leaves the canvas";
    ASSERT_NE(archive.Stream("made.pNg"), nullptr);
    EXPECT_EQ(Entry(archive, "made.pNg").Pixels, c.Pixels);
}

TEST(AutoImageScript, TintFirstImageAndCanvasCommands) {
    TFileFolder archive = TFileFolder::CreateNew("unused.zxc");
    TPicture grey = TPicture::Create(2, 2, 1, 100);
    Add(archive, "g.PNG", EncodePNG(grey));
    TAutoImage image(archive, "");
    image.Run(
        "<AutoImage name=\"t\" width=\"3\" height=\"2\">\n"
        "<AddImage name=\"g.PNG\" left=\"1\" colorvalue=\"128\" color=\"255 0 10\" alfa=\"200\"/>\n"
        "<FlipImageVertical/>\n");
    const TPicture& c = image.Canvas();
    ASSERT_EQ(c.Channels, 3);
    // first image: the tinted value is stored, not blended.
    // t = C + floor((s - C) * 128 / 256): red 255 + floor(-155 / 2) = 177,
    // green 0 + 50 = 50, blue 10 + 45 = 55. After the flip it is at x = 0..1.
    EXPECT_EQ(Px(c, 0, 0)[0], 177);
    EXPECT_EQ(Px(c, 0, 0)[1], 50);
    EXPECT_EQ(Px(c, 1, 1)[2], 55);
    EXPECT_EQ(Px(c, 2, 0)[0], 0) << "blank canvas is black";

    TAutoImage crop(archive, "");
    crop.Run(
        "<AutoImage name=\"c\" width=\"8\" height=\"6\">\n<ScaleImage width=\"16\"/>\n"
        "<CropImage left=\"2\" top=\"1\" width=\"5\" height=\"4\"/>\n<RotateImage angle=\"90\"/>\n"
        "<ImageHueChange hue=\"10\"/>\n");
    EXPECT_EQ(crop.Canvas().Width, 5);
    EXPECT_EQ(crop.Canvas().Height, 4);
}

TEST(AutoImageScript, BadScriptsGiveClearErrorsAndAddNothing) {
    TFileFolder archive = TFileFolder::CreateNew("unused.zxc");
    Add(archive, "p.PNG", EncodePNG(Pattern(8, 8, 4)));
    Add(archive, "junk.PNG", {1, 2, 3});
    const auto run = [&](const std::string& script) {
        return ErrorOf([&] { TAutoImage(archive, "x.aim").Run(script); });
    };
    EXPECT_EQ(run("<AutoImage name=\"a\" autosize=\"true\">\n<AddImage name=\"nope.png\"/>"),
              "File nope.png does not exist in File Folder!");
    const std::string prefix = "[TPNGMorf.RunAutoImage] ";
    for (const char* script : {
             "<AutoImage name=\"a\" autosize=\"true\">\n<AddImage name=\"p.PNG\" srcrect=\"0 0 8 7\"/>",
             "<AutoImage name=\"a\" autosize=\"true\">\n<AddImage name=\"p.PNG\" srcrect=\"5 0 4 7\"/>",
             "<AutoImage name=\"a\" autosize=\"true\">\n<AddImage name=\"p.PNG\" srcrect=\"0 0 3\"/>",
             "<AutoImage name=\"a\" width=\"0\" height=\"5\">",
             "<AutoImage name=\"a\" width=\"100000\" height=\"100000\">",
             "<AutoImage name=\"a\" width=\"4\" height=\"4\">\n<ScaleImage width=\"-2\"/>",
             "<AutoImage name=\"a\" width=\"4\" height=\"4\">\n<CropImage left=\"2\" width=\"3\"/>",
             "<AutoImage name=\"a\" width=\"4x\" height=\"4\">",
             "<AutoImage name=\"a\" width=\"4\" height=\"4\">\n<BlurImage radius=\"2\"/>",
             "<AutoImage name=\"a\" width=\"4\" height=\"4\">\n<FlipImageVertical />",
             "<AutoImage name=\"a\" autosize=\"true\">",
             "<AddImage name=\"p.PNG\"/>",
             "<FlipImageVertical/>",
             "",
         })
        EXPECT_EQ(run(script).rfind(prefix, 0), 0u) << script << " -> " << run(script);
    EXPECT_EQ(
        run("<AutoImage name=\"a\" autosize=\"true\">\n<AddImage name=\"junk.PNG\"/>").rfind("[DecodePicture]", 0), 0u);
    EXPECT_EQ(archive.IndexOf("a.pNg"), -1);
}

TEST(PictureSplitting, JoinRestoresAlphaExactlyAndOpaquePicturesStayOpaque) {
    TPicture src = TPicture::Create(16, 12, 4);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x) {
            uint8_t* p = src.Row(y) + x * 4;
            p[0] = uint8_t(40 + x * 8), p[1] = uint8_t(60 + y * 6), p[2] = 90, p[3] = uint8_t(x * 17 ^ y * 5);
        }
    TMemoryStream png(EncodePNG(src)), jpeg, alpha, joined;
    TPNGMorf::SplitPicture(png, 95, jpeg, alpha);
    EXPECT_EQ(SniffPicture(jpeg.Data(), jpeg.Size()), pfJPEG);
    const TPicture a = DecodePNG(alpha.Data(), alpha.Size());
    EXPECT_EQ(a.Channels, 1);
    TPNGMorf::JoinPicture(jpeg, alpha, joined);
    const TPicture back = DecodePNG(joined.Data(), joined.Size());
    ASSERT_EQ(back.Channels, 4);
    for (size_t i = 0; i < 16 * 12; ++i) {
        EXPECT_EQ(back.Pixels[i * 4 + 3], src.Pixels[i * 4 + 3]);
        EXPECT_NEAR(back.Pixels[i * 4], src.Pixels[i * 4], 8);
    }

    // A picture without alpha must come back opaque, not invisible.
    TMemoryStream rgb(EncodePNG(Pattern(5, 5, 3)));
    TPNGMorf::SplitPicture(rgb, 90, jpeg, alpha);
    TPNGMorf::JoinPicture(jpeg, alpha, joined);
    const TPicture opaque = DecodePNG(joined.Data(), joined.Size());
    for (size_t i = 0; i < 25; ++i) EXPECT_EQ(opaque.Pixels[i * 4 + 3], 255);

    TMemoryStream other(EncodePNG(TPicture::Create(3, 3, 1)));
    EXPECT_EQ(ErrorOf([&] { TPNGMorf::JoinPicture(jpeg, other, joined); }).rfind("[TPNGMorf.JoinPicture]", 0), 0u);
}

TEST(ArchivePreparation, PackThenUnpackAndRunOnlyOnce) {
    const std::string dir = TestDir("roundtrip");
    const TPicture sprite = Pattern(12, 10, 4);
    {
        TFileFolder src = TFileFolder::CreateNew(dir + "/plain.zxc");
        Add(src, "sprite.PNG", EncodePNG(sprite));
        Add(src, "back.jpg", EncodeJPEG(Pattern(12, 10, 3), 90));
        Add(src, "back.PnG", EncodePNG(Pattern(12, 10, 4)));
        AddText(src, "star.aim",
                "<AutoImage name=\"star\" autosize=\"true\">\n<AddImage name=\"sprite.png\" srcrect=\"2 2 7 5\"/>\n"
                "<FlipImageHorizontal/>\n</AutoImage>\n");
        AddText(src, "old.pNg", "stale", 2);
        AddText(src, "x.a.PNG", "not a picture", 7);
        AddText(src, "readme", "hello", 5);
        src.SaveToFile();
    }
    std::vector<int32_t> percents;
    TPNGMorf pack(90);
    // On one thread every entry reports; with more, the main thread reports
    // only the entries it finished itself (tested beside the reference path).
    pack.Threads = 1;
    pack.Progress = [&](const std::string& text, int32_t p) {
        EXPECT_EQ(text, dir + "/plain.zxc");
        percents.push_back(p);
    };
    pack.ProcessArchive(dir + "/plain.zxc", dir + "/packed.zxc");
    EXPECT_EQ(percents, (std::vector<int32_t>{0, 16, 33, 50, 66, 83, 100}));

    TFileFolder packed(dir + "/packed.zxc");
    std::vector<std::string> names;
    for (auto& e : packed.Dir) names.push_back(e.Name + ":" + std::to_string(e.Kind));
    // packing leaves scripts packed and drops stale script results
    EXPECT_EQ(names, (std::vector<std::string>{"sprite._JPG:2", "sprite._PNG:2", "back.jpg:2", "back._PnG:2",
                                               "back._jpg:2", "star._aim:1", "x.a.PNG:7", "readme:5"}));

    TPNGMorf morf(90);
    morf.AddCommand("Source=\"" + dir + "/packed.zxc\" Dest=\"" + dir + "/temp/sub/game.zxc\"");
    morf.Run();
    TFileFolder ready(dir + "/temp/sub/game.zxc");
    names.clear();
    for (auto& e : ready.Dir) names.push_back(e.Name + ":" + std::to_string(e.Kind));
    EXPECT_EQ(names, (std::vector<std::string>{"sprite.PNG:2", "back.jpg:2", "back.PnG:2", "star.aim:1", "x.a.PNG:7",
                                               "readme:5", "star.pNg:2"}));
    const TPicture s = Entry(ready, "sprite.png");
    ASSERT_EQ(s.Channels, 4);
    for (size_t i = 0; i < 120; ++i) EXPECT_EQ(s.Pixels[i * 4 + 3], sprite.Pixels[i * 4 + 3]);
    const TPicture star = Entry(ready, "star.png");
    EXPECT_EQ(star.Width, 6);
    EXPECT_EQ(star.Height, 4);
    EXPECT_EQ(Px(star, 0, 0)[3], 255 - (((255 - Px(sprite, 2, 5)[3]) * 255) >> 8)) << "flipped top to bottom";

    // Done before: the destination exists, so nothing is touched.
    std::ofstream(dir + "/temp/sub/game.zxc", std::ios::trunc) << "marker";
    morf.Run();
    std::ifstream in(dir + "/temp/sub/game.zxc");
    std::string content;
    in >> content;
    EXPECT_EQ(content, "marker");
}

TEST(ArchivePreparation, FailuresNameTheProblemAndWriteNothing) {
    const std::string dir = TestDir("failures");
    TPNGMorf morf(90);
    morf.AddCommand("Source=\"" + dir + "/missing.zxc\" Dest=\"" + dir + "/out.zxc\"");
    EXPECT_EQ(ErrorOf([&] { morf.Run(); }), "Can not find file " + dir + "/missing.zxc!");

    const auto attempt = [&](const std::function<void(TFileFolder&)>& fill) {
        {
            TFileFolder src = TFileFolder::CreateNew(dir + "/in.zxc");
            fill(src);
            src.SaveToFile();
        }
        fs::remove(dir + "/out.zxc");
        const std::string error = ErrorOf([&] { TPNGMorf(90).ProcessArchive(dir + "/in.zxc", dir + "/out.zxc"); });
        EXPECT_FALSE(fs::exists(dir + "/out.zxc")) << error;
        return error;
    };
    EXPECT_EQ(attempt([](TFileFolder& a) { Add(a, "lone._PNG", EncodePNG(TPicture::Create(2, 2, 1))); }),
              "File lone._JPG does not exist!");
    EXPECT_EQ(attempt([](TFileFolder& a) { Add(a, "lone._PnG", EncodePNG(TPicture::Create(2, 2, 1))); }),
              "File lone._jpg does not exist!");
    EXPECT_EQ(attempt([](TFileFolder& a) { Add(a, "pic.PnG", EncodePNG(TPicture::Create(2, 2, 4))); }),
              "File pic.jpg does not exist!");
    // A picture that cannot be packed stops everything with an error rather
    // than silently dropping it and the entries after it.
    EXPECT_EQ(attempt([](TFileFolder& a) {
                  AddText(a, "bad.PNG", "garbage", 2);
                  AddText(a, "after.txt", "x", 0);
              }).rfind("[TPNGMorf.ProcessArchive] Cannot split picture bad.PNG: [DecodePNG]", 0),
              0u);
    EXPECT_EQ(attempt([](TFileFolder& a) {
                  AddText(a, "s._aim", "<AutoImage name=\"s\" width=\"0\">");
              }).rfind("[TPNGMorf.RunAutoImage] Bad picture size 0x0 (script s.aim)", 0),
              0u);
}

TEST(ArchivePreparation, PackedPicturesAndScriptsPrepareIntoLoadableSurfaces) {
    const std::string dir = TestDir("surfaces");
    {
        TFileFolder packed = TFileFolder::CreateNew(dir + "/game.zxc");
        TMemoryStream sprite(EncodePNG(Pattern(6, 4, 4)));
        TPNGMorf::AddSplitPicture(packed, "sprite.png", sprite, 90);
        AddText(packed, "wide._aim",
                "<AutoImage name=\"wide\" width=\"12\" height=\"4\">\n<AddImage name=\"sprite.png\"/>\n"
                "<AddImage name=\"sprite.png\" left=\"6\"/>\n<ImageHueChange hue=\"30\"/>\n");
        Add(packed, "photo.jpg", EncodeJPEG(Pattern(5, 5, 3), 90));
        AddText(packed, "surfaces.dat", "sprite.png\nwide.png\nphoto.jpg\n", 0);
        packed.SaveToFile();
    }
    TPNGMorf morf(90);
    morf.AddCommand("Source=\"" + dir + "/game.zxc\" Dest=\"" + dir + "/temp/game.zxc\"");
    morf.Run();

    std::unique_ptr<TSurfEngine> engine = std::make_unique<TSurfEngine>(TPixelFormat::Rgb565(), 800, 600);
    TResourceList list(dir, engine);
    list.AddArchive(dir + "/temp/game.zxc");
    list.LoadSurfacesList(*list.Archives[0]);
    ASSERT_EQ(engine->SurfaceCount(), 3u);
    const SurfaceRecord* sprite = engine->GetSurface("sprite.png");
    ASSERT_NE(sprite, nullptr);
    ASSERT_EQ(sprite->AlphaMap.size(), 24u);
    const TPicture original = Pattern(6, 4, 4);
    for (size_t i = 0; i < 24; ++i) EXPECT_EQ(sprite->AlphaMap[i], original.Pixels[i * 4 + 3]);
    const SurfaceRecord* wide = engine->GetSurface("wide.png");
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(wide->Width, 12);
    EXPECT_EQ(wide->FileName, "wide.png");
    EXPECT_TRUE(wide->HasAlpha());
    EXPECT_NE(wide->Bits, nullptr);
    EXPECT_FALSE(engine->GetSurface("photo.jpg")->HasAlpha());
}

TEST(ZxcTool, PackSplitAndPrepareRoundTrip) {
    const std::string zxc = std::string(MOSWICK_BUILD_DIR) + "/zxc";
    if (!fs::exists(zxc)) GTEST_SKIP() << "zxc is not built in this tree";
    const std::string dir = TestDir("zxc");
    SavePNGFile(dir + "/icon.png", Pattern(7, 5, 4));
    std::ofstream(dir + "/notes.txt") << "plain";
    std::ofstream(dir + "/twice.v2.png") << "not split";
    std::ofstream(dir + "/glow.aim") << "<AutoImage name=\"glow\" autosize=\"true\">\n"
                                        "<AddImage name=\"icon.png\" srcrect=\"1 1 4 3\"/>\n";
    const auto run = [&](const std::string& args) {
        return std::system((zxc + " " + args + " 2>/dev/null >/dev/null").c_str());
    };
    ASSERT_EQ(run("pack --split " + dir + "/p.zxc " + dir + "/icon.png " + dir + "/notes.txt " + dir +
                  "/twice.v2.png " + dir + "/glow.aim"),
              0);
    TFileFolder packed(dir + "/p.zxc");
    ASSERT_EQ(packed.Dir.size(), 5u);
    EXPECT_EQ(packed.Dir[0].Name, "icon._JPG");
    EXPECT_EQ(packed.Dir[1].Name, "icon._PNG");
    EXPECT_EQ(packed.Dir[3].Name, "twice.v2.png");
    EXPECT_EQ(packed.Dir[4].Name, "glow._aim");
    EXPECT_EQ(packed.Dir[4].Kind, 1);

    ASSERT_EQ(run("prepare " + dir + "/p.zxc " + dir + "/new/ready.zxc"), 0);
    TFileFolder ready(dir + "/new/ready.zxc");
    const TPicture icon = Entry(ready, "icon.png");
    EXPECT_EQ(icon.Width, 7);
    EXPECT_EQ(icon.Channels, 4);
    // The script ran during preparation and its picture is there.
    const TPicture glow = Entry(ready, "glow.pNg");
    EXPECT_EQ(glow.Width, 4);
    EXPECT_EQ(glow.Height, 3);
    EXPECT_NE(run("prepare " + dir + "/missing.zxc " + dir + "/x.zxc"), 0);
    SavePNGFile(dir + "/bad.png", Pattern(2, 2, 3));
    std::ofstream(dir + "/bad.png", std::ios::trunc) << "broken";
    EXPECT_NE(run("pack --split " + dir + "/q.zxc " + dir + "/bad.png"), 0);
    EXPECT_FALSE(fs::exists(dir + "/q.zxc"));
}

namespace {

// A packed archive with pictures, a picture whose colour is a plain JPEG,
// plain files and scripts, among them one that uses another script's result
// and one that uses a picture twice.
void FillPackedArchive(TFileFolder& a) {
    for (int i = 0; i < 12; ++i)
        TPNGMorf::AddSplitPicture(a, "pic" + std::to_string(i) + ".PNG",
                                  TMemoryStream(EncodePNG(Pattern(16 + i, 9 + i, i % 2 ? 4 : 3))), 90);
    Add(a, "photo._jpg", EncodeJPEG(Pattern(8, 8, 3), 90));
    Add(a, "photo._PnG", EncodePNG(Pattern(8, 8, 1)));
    AddText(a, "notes.txt", "plain", 0);
    AddText(a, "first._aim", "<AutoImage name=\"first\" autosize=\"true\">\n<AddImage name=\"pic3.png\"/>\n");
    AddText(a, "second._aim",
            "<AutoImage name=\"second\" width=\"30\" height=\"20\">\n<AddImage name=\"first.pNg\" left=\"2\"/>\n"
            "<AddImage name=\"PIC1.png\" top=\"3\" alfa=\"128\"/>\n<FlipImageVertical/>\n");
    AddText(
        a, "third._aim",
        "<AutoImage name=\"third\" autosize=\"true\">\n<AddImage name=\"pic5.PNG\" colorvalue=\"90\" "
        "color=\"200 10 10\"/>\n<AddImage name=\"pic5.png\" left=\"4\"/>\n<ScaleImage width=\"11\" height=\"7\"/>\n");
}

}  // namespace

TEST(ArchivePreparation, EveryCoreGivesTheReferenceResultEntryForEntry) {
    TFileFolder packed = TFileFolder::CreateNew(TestDir("cores") + "/packed.zxc");
    FillPackedArchive(packed);
    auto prepare = [&](unsigned threads) {
        TFileFolder out = TFileFolder::CreateNew(TestDir("cores-out") + "/out.zxc");
        TPNGMorf morf(90);
        morf.Threads = threads;
        int32_t last = -1;
        bool ordered = true;
        morf.Progress = [&](const std::string&, int32_t percent) {
            ordered = ordered && percent >= last;
            last = percent;
        };
        morf.ConvertArchive(packed, out);
        EXPECT_TRUE(ordered);
        EXPECT_EQ(last, 100);
        std::vector<std::tuple<std::string, uint16_t, std::vector<uint8_t>>> entries;
        for (size_t i = 0; i < out.Dir.size(); ++i)
            entries.emplace_back(out.Dir[i].Name, out.Dir[i].Kind, out.Files[i].Stream->Bytes());
        return entries;
    };
    const auto reference = prepare(1);
    ASSERT_EQ(reference.size(), 12u + 1 + 1 + 3 + 3);  // pictures, the photo, notes, scripts, their results
    for (unsigned threads : {2u, 4u, 7u}) {
        const auto fast = prepare(threads);
        ASSERT_EQ(fast.size(), reference.size()) << threads;
        for (size_t i = 0; i < fast.size(); ++i)
            EXPECT_TRUE(fast[i] == reference[i]) << threads << " threads, entry " << std::get<0>(reference[i]);
    }
}

TEST(ArchivePreparation, OnEveryCoreTheFirstBrokenEntryNamesTheError) {
    TFileFolder packed = TFileFolder::CreateNew(TestDir("cores-broken") + "/packed.zxc");
    FillPackedArchive(packed);
    AddText(packed, "bad.PNG", "garbage", 2);
    Add(packed, "lone._PNG", EncodePNG(TPicture::Create(2, 2, 1)));
    AddText(packed, "late._aim", "<AutoImage name=\"late\" autosize=\"true\">\n<AddImage name=\"nowhere.png\"/>\n");
    for (unsigned threads : {1u, 4u}) {
        TFileFolder out = TFileFolder::CreateNew(TestDir("cores-broken-out") + "/out.zxc");
        TPNGMorf morf(90);
        morf.Threads = threads;
        EXPECT_EQ(ErrorOf([&] {
                      morf.ConvertArchive(packed, out);
                  }).rfind("[TPNGMorf.ProcessArchive] Cannot split picture bad.PNG", 0),
                  0u)
            << threads;
    }
    // A script that needs a picture nobody has fails the same way on one
    // thread and on many.
    TFileFolder scripts = TFileFolder::CreateNew(TestDir("cores-script") + "/packed.zxc");
    FillPackedArchive(scripts);
    AddText(scripts, "late._aim", "<AutoImage name=\"late\" autosize=\"true\">\n<AddImage name=\"nowhere.png\"/>\n");
    for (unsigned threads : {1u, 4u}) {
        TFileFolder out = TFileFolder::CreateNew(TestDir("cores-script-out") + "/out.zxc");
        TPNGMorf morf(90);
        morf.Threads = threads;
        EXPECT_EQ(ErrorOf([&] { morf.ConvertArchive(scripts, out); }),
                  "File nowhere.png does not exist in File Folder!")
            << threads;
    }
}

TEST(ArchivePreparation, JoinedPicturesAreDecodedOnceAndLoadAsIfReadFromTheArchive) {
    const std::string dir = TestDir("decoded-once");
    {
        TFileFolder packed = TFileFolder::CreateNew(dir + "/game.zxc");
        // A plain picture and a script's among joined ones; a line twice,
        // and in another case (a surface of its own from the same entry).
        Add(packed, "plain.png", EncodePNG(Pattern(3, 3, 3)));
        FillPackedArchive(packed);
        AddText(packed, "surfaces.dat", "pic1.png\nPIC2.PNG\nphoto.PnG\nplain.png\nfirst.pNg\npic1.png\nPic1.png\n", 0);
        packed.SaveToFile();
    }
    TPNGMorf morf(90);
    morf.Threads = 2;
    morf.KeepDecoded = true;
    morf.AddCommand("Source=\"" + dir + "/game.zxc\" Dest=\"" + dir + "/temp/game.zxc\"");
    morf.Run();
    EXPECT_EQ(morf.Decoded.count("PIC1.PNG"), 1u);
    EXPECT_EQ(morf.Decoded.count("PHOTO.PNG"), 1u);
    EXPECT_EQ(morf.Decoded.count("PLAIN.PNG"), 0u);

    // The same prepared archive with the joined pictures' bytes spoilt: a
    // loader that took the given pixels cannot tell.
    {
        TFileFolder prepared(dir + "/temp/game.zxc");
        TFileFolder spoilt = TFileFolder::CreateNew(dir + "/spoilt.zxc");
        for (size_t i = 0; i < prepared.Dir.size(); ++i) {
            const std::string& name = prepared.Dir[i].Name;
            std::string folded = name;
            for (char& c : folded)
                if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
            const bool given = morf.Decoded.count(folded) != 0;
            TMemoryStream bytes = given ? TMemoryStream(std::vector<uint8_t>{1, 2, 3}) : *prepared.Stream(name);
            spoilt.AddFile(name, prepared.Dir[i].Kind, bytes);
        }
        spoilt.SaveToFile();
    }

    using TSurfaces =
        std::vector<std::tuple<std::string, int32_t, int32_t, std::vector<uint8_t>, std::vector<uint8_t>>>;
    auto load = [&](const std::string& path, bool given, unsigned threads) {
        std::unique_ptr<TSurfEngine> engine = std::make_unique<TSurfEngine>(TPixelFormat::Xrgb8888(), 800, 600);
        TResourceList list(dir, engine);
        list.Threads = threads;
        list.AddArchive(path);
        TFileFolder& archive = *list.Archives[0];
        if (given) list.KeepDecoded(archive, "surfaces.dat", morf.Decoded);
        list.LoadSurfacesList(archive);
        TSurfaces out;
        for (size_t i = 0; i < engine->SurfaceCount(); ++i) {
            const SurfaceRecord& r = engine->SurfaceAt(i);
            std::vector<uint8_t> pixels;
            for (int y = 0; y < r.Height; ++y)
                pixels.insert(pixels.end(), r.Bits + size_t(y) * r.Pitch,
                              r.Bits + size_t(y) * r.Pitch + size_t(r.Width) * 4);
            out.emplace_back(r.Name, r.Width, r.Height, pixels, r.AlphaMap);
        }
        return out;
    };
    const TSurfaces reference = load(dir + "/temp/game.zxc", false, 1);
    ASSERT_EQ(reference.size(), 6u);
    EXPECT_EQ(std::get<0>(reference[5]), "Pic1.png");
    EXPECT_LT(load(dir + "/spoilt.zxc", false, 1).size(), reference.size());
    for (unsigned threads : {1u, 2u}) {
        const TSurfaces given = load(dir + "/spoilt.zxc", true, threads);
        ASSERT_EQ(given.size(), reference.size()) << threads;
        for (size_t i = 0; i < given.size(); ++i)
            EXPECT_TRUE(given[i] == reference[i]) << threads << " threads, " << std::get<0>(reference[i]);
    }
}
