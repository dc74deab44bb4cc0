#include "Forge.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include <unistd.h>

#include "Art.h"
#include "DecorTable.h"
#include "base/FileFolder.h"
#include "base/FileReader.h"
#include "base/OrvException.h"
#include "base/OrvParser.h"
#include "base/OrvStream.h"
#include "render/PictureCodec.h"

#if __has_include("EffectArt.h")
#include "EffectArt.h"
#include "ParticleArt.h"
#define FORGE_HAS_EFFECT_ART 1
#endif

namespace fs = std::filesystem;

namespace forge {

namespace {

std::string ReadText(const std::string& path) {
    return ReadFileText(path);
}

std::string BaseName(const std::string& name) {
    size_t dot = name.find('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::vector<std::string> SortedFiles(const std::string& dir, const std::string& ext) {
    std::vector<std::string> files;
    std::error_code ec;
    if (dir.empty() || !fs::is_directory(dir, ec)) return files;
    for (const auto& e : fs::directory_iterator(dir, ec)) {
        if (!e.is_regular_file()) continue;
        std::string n = e.path().filename().string();
        if (!ext.empty() && (n.size() < ext.size() || n.compare(n.size() - ext.size(), ext.size(), ext) != 0)) continue;
        files.push_back(n);
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace

double RestoredChange(const TCanvas& layer, const TCanvas& faded, int x0, int y0) {
    double sum = 0, weight = 0;
    for (int y = 0; y < layer.Height(); ++y)
        for (int x = 0; x < layer.Width(); ++x) {
            const TColor& a = layer.At(x, y);
            if (a.A <= 0 || !faded.Inside(x0 + x, y0 + y)) continue;
            const TColor& b = faded.At(x0 + x, y0 + y);
            sum += a.A * (std::abs(a.R - b.R) + std::abs(a.G - b.G) + std::abs(a.B - b.B)) / 3.0 * 255.0;
            weight += a.A;
        }
    return weight > 0 ? sum / weight : 0;
}

std::string LowerAscii(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

TContentBuild::TContentBuild(std::string dataDir, std::string audioDir)
    : dataDir_(std::move(dataDir)), audioDir_(std::move(audioDir)) {}

void TContentBuild::AddPlain(const std::string& name, std::vector<uint8_t> bytes) {
    if (name.size() > TFileFolder::MaxNameLength) throw OrvException("Archive name too long: " + name);
    std::string key = LowerAscii(name);
    if (index_.count(key)) throw OrvException("Archive name used twice: " + name);
    index_[key] = entries_.size();
    entries_.push_back(TArchiveEntry{name, kKindPlain, std::move(bytes)});
}

void TContentBuild::AddPacked(const std::string& name, TCanvas canvas) {
    // The colour plane of transparent pixels is invisible, but JPEG smears
    // it into the visible edge; fill it from the neighbours first.
    canvas.BleedColour(6);
    std::string base = BaseName(name);
    AddPlain(base + "._JPG", EncodeJPEG(canvas.ToRGB(), kJpegQuality));
    entries_.back().Kind = kKindPicture;
    AddPlain(base + "._PNG", EncodePNG(canvas.AlphaToGrey()));
    entries_.back().Kind = kKindPicture;
    pictures_.push_back(name);
    sizes_[LowerAscii(name)] = {canvas.Width(), canvas.Height()};
}

void TContentBuild::AddJpeg(const std::string& name, const TCanvas& canvas, int quality) {
    AddPlain(name, EncodeJPEG(canvas.ToRGB(), quality));
    pictures_.push_back(name);
    sizes_[LowerAscii(name)] = {canvas.Width(), canvas.Height()};
}

void TContentBuild::AddScript(const std::string& name, const std::string& script) {
    std::string base = BaseName(name);
    AddPlain(base + "._aim", std::vector<uint8_t>(script.begin(), script.end()));
    entries_.back().Kind = kKindScript;
    pictures_.push_back(name);
}

bool TContentBuild::HasPicture(const std::string& name) const {
    std::string key = LowerAscii(name);
    for (const std::string& p : pictures_)
        if (LowerAscii(p) == key) return true;
    return false;
}

const TArchiveEntry* TContentBuild::FindEntry(const std::string& name) const {
    auto it = index_.find(LowerAscii(name));
    return it == index_.end() ? nullptr : &entries_[it->second];
}

void TContentBuild::Run() {
    shapes_ = ParseShapes(ReadText(dataDir_ + "/shapes.txt"));
    BuildPieces();
    BuildScreenArt();
    BuildScenes();
    BuildEffectsAndAudio();
    BuildInterface();
    std::string list;
    for (const std::string& s : surfaces_) list += s + "\n";
    AddPlain("surfaces.dat", std::vector<uint8_t>(list.begin(), list.end()));
}

void TContentBuild::BuildPieces() {
    AddPlain("TriSqrPoints.dat", WritePointTable());
    AddPlain("TriSqrFishes.dat", WriteFragmentTable());
    AddPlain("TriSqrFishkaTypes.dat", WriteShapeTable(shapes_));
    AddPlain("TriSqrFishType.dat", WriteKindTable());
    for (size_t i = 0; i < shapes_.size(); ++i) {
        AddPacked(shapes_[i].Picture, PaintShape(shapes_[i], int(i)));
        AddSurface(shapes_[i].Picture);
    }
    for (int k = 1; k <= kKindCount; ++k) {
        std::string mask = "FragMask" + std::to_string(k) + ".png";
        AddPacked(mask, PaintFragMask(k));
        AddSurface(mask);
        std::string halo = "FragOreol" + std::to_string(k) + ".png";
        if (k <= ckTopLeft) {
            AddPacked(halo, PaintFragOreol(k));
        } else {
            // The three other half squares are the first one turned; a soft
            // halo survives the resampling unharmed.
            static const char* kAngle[] = {"", "", "", "-90", "180", "90"};
            AddScript(halo, "<AutoImage name=\"FragOreol" + std::to_string(k) +
                                "\" autosize=\"true\">\r\n"
                                "<AddImage name=\"FragOreol2.png\"/>\r\n"
                                "<RotateImage x=\"28\" y=\"28\" angle=\"" +
                                kAngle[k] + "\"/>\r\n");
        }
        AddSurface(halo);
        for (int level = 2; level <= 3; ++level) {
            std::string mark = "Frag" + std::to_string(k) + std::to_string(level) + ".png";
            AddPacked(mark, PaintFragLevel(k, level));
            AddSurface(mark);
        }
    }
    for (int v = 1; v <= kBeltPartVariants; ++v) {
        AddPacked(BeltPartName(v), PaintBeltPart(v));
        AddSurface(BeltPartName(v));
    }
}

void TContentBuild::BuildScreenArt() {
    AddPacked("cursor_line.png", PaintCursorStrip());
    AddSurface("cursor_line.png");
    AddJpeg("GamePlay1.jpg", PaintGameFrame(), 92);
    AddSurface("GamePlay1.jpg");
    AddPacked("Boxy.png", PaintBoxy());
    AddPacked("Hum.png", PaintChameleon());
    AddPacked("ChamShot.png", PaintChamShot());
    AddScript("ChamShotSmall.png",
              "<AutoImage name=\"ChamShotSmall\" autosize=\"true\">\r\n"
              "<AddImage name=\"ChamShot.png\"/>\r\n"
              "<ScaleImage width=\"22\" height=\"22\"/>\r\n");
    AddScript("SkillHum.png",
              "<AutoImage name=\"SkillHum\" autosize=\"true\">\r\n"
              "<AddImage name=\"Hum.png\" srcrect=\"17 17 132 132\"/>\r\n"
              "<ScaleImage width=\"64\" height=\"64\"/>\r\n");
    AddPacked("pauk_20.png", PaintSpiderStrip());
    // The big spider is the small one grown and darkened toward blood red.
    AddScript("pauk_big.png",
              "<AutoImage name=\"pauk_big\" autosize=\"true\">\r\n"
              "<AddImage name=\"pauk_20.png\" color=\"150 30 20\" colorvalue=\"170\"/>\r\n"
              "<ScaleImage width=\"1280\" height=\"64\"/>\r\n");
    AddPacked("amulet.png", PaintAmuletStrip());
    AddPacked("sand_glass.png", PaintSandGlassStrip());
    AddPacked("DropGrid.png", PaintDropGrid());
    AddPacked("DropBit.png", PaintDropBit());
    AddPacked("LevelCursor.png", PaintLevelCursor());
    AddPacked("ShadowSpot.png", PaintShadowSpot());
    AddPacked("SkillDropSection.png", PaintSkillDropSection());
    AddPacked("SkillEconomy.png", PaintSkillEconomyStrip());
    for (const char* n : {"Boxy.png", "Hum.png", "ChamShot.png", "ChamShotSmall.png", "SkillHum.png", "pauk_20.png",
                          "pauk_big.png", "amulet.png", "sand_glass.png", "DropGrid.png", "DropBit.png",
                          "LevelCursor.png", "ShadowSpot.png", "SkillDropSection.png", "SkillEconomy.png"})
        AddSurface(n);
    for (const std::string& kind : DecorKinds()) {
        std::vector<TDecorFrame> frames = DecorFrames(kind);
        for (size_t i = 0; i < frames.size(); ++i) {
            AddPacked(frames[i].Picture, PaintDecorFrame(kind, int(i), int(frames.size())));
            AddSurface(frames[i].Picture);
        }
    }
}

void TContentBuild::BuildScenes() {
    std::vector<std::string> files = SortedFiles(dataDir_ + "/scenes", ".txt");
    int chapterHeight = 0;
    for (int n = 1;; ++n) {
        std::string file = "scene" + std::to_string(n) + ".txt";
        if (std::find(files.begin(), files.end(), file) == files.end()) break;
        std::string path = dataDir_ + "/scenes/" + file;
        scenes_.push_back(ParseSceneSource(ReadText(path), n, path));
    }
    if (scenes_.empty()) throw OrvException("No scenes in " + dataDir_ + "/scenes");
    std::vector<std::string> quests;
    for (TSceneSource& sc : scenes_) {
        std::vector<TProtected> objects;
        TCanvas painting = PaintScene(sc, &objects);
        RefineRegionOutlines(sc, objects);
        TCanvas faded = FadeScene(painting, uint32_t(sc.Number));
        AddJpeg(sc.PictureName(), faded, 88);
        std::vector<double> changes;
        for (size_t i = 0; i < sc.Layers.size(); ++i) {
            const TLayerSource& l = sc.Layers[i];
            TCanvas pic = painting.Crop(l.X, l.Y, l.Cols * kCellSize, l.Rows * kCellSize);
            // The opacity is rebuilt by the game as pieces are laid; ship
            // the layer's outline so the picture reads on its own too.
            TCanvas mask(pic.Width(), pic.Height());
            for (const TCell& c : l.Cells) mask.Draw(PaintFragMask(c.Kind), c.Col * kCellSize, c.Row * kCellSize);
            for (int y = 0; y < pic.Height(); ++y)
                for (int x = 0; x < pic.Width(); ++x) pic.At(x, y).A = mask.At(x, y).A;
            changes.push_back(RestoredChange(pic, faded, l.X, l.Y));
            AddPacked(l.PictureName(sc.Number, int(i)), pic);
            if (std::find(quests.begin(), quests.end(), l.Quest) == quests.end()) {
                quests.push_back(l.Quest);
                AddPacked("Quest" + l.Quest + ".png", PaintArtefact(l.Quest));
            }
            std::string cut = l.Quest + "/" + std::to_string(l.Fishes);
            if (std::find(quests.begin(), quests.end(), cut) == quests.end()) {
                quests.push_back(cut);
                for (const TFishSpot& f : FishSpots(l))
                    AddScript(f.Image, "<AutoImage name=\"" + BaseName(f.Image) + "\" autosize=\"true\">\r\n" +
                                           "<AddImage name=\"Quest" + l.Quest + ".png\" srcrect=\"" +
                                           std::to_string(f.SrcX) + " " + std::to_string(f.SrcY) + " " +
                                           std::to_string(f.SrcX + f.W - 1) + " " + std::to_string(f.SrcY + f.H - 1) +
                                           "\"/>\r\n");
            }
        }
        std::string xml = SceneXml(sc, shapes_);
        AddPlain(sc.FileName(), std::vector<uint8_t>(xml.begin(), xml.end()));
        int ch = int(std::lround(double(sc.Height) * kChapterWidth / sc.Width));
        chapterHeight = std::max(chapterHeight, ch);
        std::string chapter = "Chapter" + std::to_string(sc.Number) + ".jpg";
        AddJpeg(chapter, painting.Downscale(kChapterWidth, ch), 90);
        AddSurface(chapter);
        paintings_.push_back(std::move(painting));
        objects_.push_back(std::move(objects));
        changes_.push_back(std::move(changes));
    }
    AddJpeg("Shadow.jpg", PaintShadowVeil(kChapterWidth, chapterHeight), 90);
    AddSurface("Shadow.jpg");
}

void TContentBuild::BuildEffectsAndAudio() {
#ifdef FORGE_HAS_EFFECT_ART
    fs::path tmp = fs::temp_directory_path() / ("forge-effects-" + std::to_string(::getpid()));
    fs::create_directories(tmp);
    WriteEffectPictures(tmp.string());
    for (const std::string& f : SortedFiles(tmp.string(), ".png")) {
        TPicture pic = LoadPictureFile((tmp / f).string());
        TPicture rgba = ConvertChannels(pic, 4);
        TCanvas c(rgba.Width, rgba.Height);
        for (int y = 0; y < rgba.Height; ++y)
            for (int x = 0; x < rgba.Width; ++x) {
                const uint8_t* p = rgba.Row(y) + 4 * x;
                c.At(x, y) = TColor{p[0] / 255.0f, p[1] / 255.0f, p[2] / 255.0f, p[3] / 255.0f};
            }
        if (TakesDarkRim(f)) AddDarkRim(c, 2);
        AddPacked(f, c);
        AddSurface(f);
    }
    fs::remove_all(tmp);
    AddPacked("Bloom1.png", PaintBloom(512));
    AddSurface("Bloom1.png");
#endif
    for (const std::string& f : SortedFiles(dataDir_ + "/effects", ".xml")) {
        std::string text = ReadText(dataDir_ + "/effects/" + f);
        AddPlain(f, std::vector<uint8_t>(text.begin(), text.end()));
    }
    for (const std::string& f : SortedFiles(audioDir_, "")) {
        if (f.empty() || f[0] == '.' || f.find(".stamp") != std::string::npos) continue;
        std::string bytes = ReadText(audioDir_ + "/" + f);
        AddPlain(f, std::vector<uint8_t>(bytes.begin(), bytes.end()));
    }
}

std::vector<std::string> TContentBuild::ReferencedPictures() const {
    std::vector<std::string> names = {"GamePlay1.jpg",
                                      "cursor_line.png",
                                      "Boxy.png",
                                      "Hum.png",
                                      "ChamShot.png",
                                      "ChamShotSmall.png",
                                      "pauk_20.png",
                                      "amulet.png",
                                      "sand_glass.png",
                                      "pauk_big.png",
                                      "DropGrid.png",
                                      "DropBit.png",
                                      "LevelCursor.png",
                                      "Shadow.jpg",
                                      "ShadowSpot.png",
                                      "HintWindowRight.png",
                                      "HintWindowLeft.png",
                                      "HintWindowRightTop.png",
                                      "HintWindowLeftTop.png",
                                      "SkillDropSection.png",
                                      "SkillHum.png",
                                      "SkillEconomy.png"};
    for (const TShape& s : shapes_) names.push_back(s.Picture);
#ifdef FORGE_HAS_EFFECT_ART
    // The sparkle along a big piece's outline and the light points.
    names.push_back("particle1.png");
    names.push_back("LightPoint1.png");
#endif
    for (int k = 1; k <= kKindCount; ++k) {
        names.push_back("FragMask" + std::to_string(k) + ".png");
        names.push_back("FragOreol" + std::to_string(k) + ".png");
        names.push_back("Frag" + std::to_string(k) + "2.png");
        names.push_back("Frag" + std::to_string(k) + "3.png");
    }
    for (const TSceneSource& sc : scenes_) {
        names.push_back(sc.PictureName());
        names.push_back("Chapter" + std::to_string(sc.Number) + ".jpg");
        for (size_t i = 0; i < sc.Layers.size(); ++i) {
            names.push_back(sc.Layers[i].PictureName(sc.Number, int(i)));
            names.push_back("Quest" + sc.Layers[i].Quest + ".png");
            for (const TFishSpot& f : FishSpots(sc.Layers[i])) names.push_back(f.Image);
        }
        for (const TBeltSource& b : sc.Belts) names.push_back(b.PartImage);
        for (const TDecorSource& d : sc.Decor)
            for (const TDecorFrame& f : DecorFrames(d.Kind)) names.push_back(f.Picture);
    }
    return names;
}

std::string TContentBuild::GameParamsXml() const {
    TOrvParser doc;
    TOrvXMLTag* root = doc.AddTag("GamePlayParams");
    auto add = [](TOrvXMLTag* parent, const char* name,
                  std::initializer_list<std::pair<const char*, std::string>> attrs) {
        TOrvXMLTag* t = parent->AddTag(name);
        for (const auto& [k, v] : attrs) t->AddAttribute(k, v);
        return t;
    };
    // The spider's roll: a ripple along the track that fades with the path
    // time distance from the spider (PMax, ms) and over the roll time.
    add(root, "btBomb", {{"RMax", "14"}, {"PMax", "9000"}, {"RollTime", "1000"}, {"kP", "0.08"}});
    add(root, "btBigBomb", {{"RMax", "22"}, {"PMax", "18000"}, {"RollTime", "1000"}, {"kP", "0.05"}});
    // Thrown-off pieces leave with about 240 px/s and fall with 2 x 700 px/s².
    add(root, "FallShifts", {{"paramFallGX", "0"}, {"paramFallGY", "700"}, {"paramFallK", "240"}});
    // Scrolling between layers: pixels per 20 ms step.
    add(root, "ScrollSpeed", {{"MaxVelX", "28"}, {"MaxVelY", "28"}, {"MinVelX", "-28"}, {"MinVelY", "-28"}});
    TOrvXMLTag* scores = root->AddTag("FishkaScores");
    std::string lastFamily;
    for (const TShape& s : shapes_) {
        if (s.Family == lastFamily) continue;  // the rotation cycle carries the rest
        lastFamily = s.Family;
        add(scores, "Shape", {{"Name", s.Name}, {"Score", std::to_string(s.Score)}, {"Size", std::to_string(s.Size)}});
    }
    // Icon offsets within the offer slots: the strips are centred already;
    // the single-frame icons sit a little higher to leave room for the text.
    static const int kSkillShiftY[9] = {-4, 0, 0, 0, 0, 0, -4, -4, 0};
    for (int i = 0; i < 9; ++i)
        add(root, ("ShiftSkill" + std::to_string(i + 1)).c_str(), {{"x", "0"}, {"y", std::to_string(kSkillShiftY[i])}});
    // Gap closing: the closing speed grows by Step ms of path time every 20 ms
    // step up to Max, so a gap of one piece closes in about a second.
    add(root, "Acceleration", {{"Max", "120"}, {"Step", "6"}, {"SparkleTime", "700"}, {"SparkleMax", "150"}});
    return doc.SaveToString();
}

void TContentBuild::Write(const std::string& outDir) const {
    fs::create_directories(outDir);
    fs::create_directories(fs::path(outDir) / "lng");
    TFileFolder archive = TFileFolder::CreateNew((fs::path(outDir) / "game.zxc").string());
    for (const TArchiveEntry& e : entries_) {
        TMemoryStream s(e.Bytes);
        archive.AddFile(e.Name, e.Kind, s);
    }
    archive.SaveToFile();
    // The game prepares "game.zxc" once into "temp/game.zxc" and reuses that
    // copy while it exists; drop it so the next start prepares the new data
    // instead of showing the old.
    std::error_code ec;
    fs::remove(fs::path(outDir) / "temp" / "game.zxc", ec);
    auto write = [&](const char* name, const std::string& text) {
        std::string path = (fs::path(outDir) / name).string();
        if (!WriteFileAtomically(path, text.data(), text.size())) throw OrvException("Cannot write file " + path);
    };
    write("GameParams.xml", GameParamsXml());
    write("AddLogo.xml", AddLogoXml());
    // The title's link: the project's page, one address on the first line.
    write("Quorvane.link", "https://moswick.github.io/\n");
    for (const auto& [file, text] : languageFiles_) write(("lng/" + file).c_str(), text);
}

std::string TContentBuild::AddLogoXml() {
    // The distributor's file of extra logo links: shipped with no entries,
    // so the game adds nothing until someone fills it in.
    TOrvParser doc;
    doc.AddTag("AddLogo");
    return doc.SaveToString();
}

}  // namespace forge
