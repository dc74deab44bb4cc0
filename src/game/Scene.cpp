#include "game/Scene.h"

#include <algorithm>
#include <cmath>

#include "base/OrvException.h"
#include "base/OrvParser.h"
#include "base/SFunctions.h"
#include "fx/OrvFXBase.h"
#include "game/ShapeTables.h"

namespace {

// Positions are kept within this, so screen arithmetic never overflows.
constexpr int32_t kFar = 1000000;

[[noreturn]] void Refuse(const std::string& where, const std::string& what) {
    throw OrvException(where + ": " + what);
}

std::string Required(const TOrvXMLTag& tag, const char* name, const std::string& where) {
    const TOrvParserAttribute* a = tag.FindAttribute(name);
    if (!a) Refuse(where, std::string("the attribute \"") + name + "\" is missing");
    return a->Value;
}

// Attributes are read leniently, as the scene files always were: a leading
// number, else 0 (with its sign).
int32_t Lenient(const TOrvXMLTag& tag, const char* name) {
    const std::string v = TrimBlanks(tag.AttributeValue(name));
    // A whole number keeps its sign; a number with trailing junk comes back
    // without it, and gets it back here.
    const int32_t n = ValInt(v);
    return (n > 0 && !v.empty() && v[0] == '-') ? -n : n;
}

int32_t StrictInt(const std::string& text, const std::string& where) {
    int32_t v = 0;
    if (!FXParseInt(text, v)) Refuse(where, "\"" + text + "\" is not a whole number");
    return v;
}

void ReadLayer(const TOrvXMLTag& t, const std::string& where, const TShapeTables& tables, TScene& scene,
               TOrvRandom& random) {
    TLayer l;
    l.Name = Required(t, "Name", where);
    const std::string at = where + " \"" + l.Name + "\"";
    Required(t, "x", at);
    Required(t, "y", at);
    l.X = Lenient(t, "x");
    l.Y = Lenient(t, "y");
    l.ShX = Lenient(t, "ShX");
    l.ShY = Lenient(t, "ShY");
    l.QuestName = t.AttributeValue("QuestName");
    for (const auto& child : t.Tags) {
        const TOrvXMLTag& c = *child;
        const std::string cw = at + "/" + c.Name;
        if (c.Name == "Picture") {
            l.Picture = c.AttributeValue("Name");
            l.PictureX = Lenient(c, "x");
            l.PictureY = Lenient(c, "y");
        } else if (c.Name == "Frags") {
            l.Frags = ReadIntegerList(c.Value, cw);
            l.FragsLevel.assign(l.Frags.size(), 1);
            l.FragsBusy.assign(l.Frags.size(), -1);
        } else if (c.Name == "FragsLevel") {
            l.FragsLevel = ReadIntegerList(c.Value, cw);
        } else if (c.Name == "Belts") {
            for (int32_t b : ReadIntegerList(c.Value, cw))
                if (!IntInArray(b, l.BeltIds)) l.BeltIds.push_back(b);
        } else if (c.Name == "ExtraFishes") {
            l.MinFishBefore = Lenient(c, "MinFishBefore");
            l.MaxFishBefore = Lenient(c, "MaxFishBefore");
            for (const auto& f : c.Tags) {
                if (f->Name != "Fish") continue;
                if (l.ExtraFishes.size() >= TScene::kMaxListLength) Refuse(cw, "more than 255 extra fishes");
                l.ExtraFishes.push_back({f->AttributeValue("Image"), Lenient(*f, "PosX"), Lenient(*f, "PosY")});
            }
        }
    }
    // Every index is checked here, once, so play never follows one out of a
    // table.
    if (l.FragsLevel.size() != l.Frags.size())
        Refuse(at + "/FragsLevel", "holds " + std::to_string(l.FragsLevel.size()) + " levels for " +
                                       std::to_string(l.Frags.size()) + " fragments");
    std::string why;
    for (size_t i = 0; i < l.Frags.size(); ++i) {
        if (!tables.FragmentUsable(l.Frags[i], why)) Refuse(at + "/Frags", why);
        if (l.FragsLevel[i] < 1 || l.FragsLevel[i] > 9)
            Refuse(at + "/FragsLevel", "level " + std::to_string(l.FragsLevel[i]) + " is not 1 to 9");
    }
    for (int32_t b : l.BeltIds)
        if (b < 0) Refuse(at + "/Belts", "belt " + std::to_string(b) + " does not exist");
    for (int32_t v : {l.X, l.Y, l.ShX, l.ShY, l.PictureX, l.PictureY})
        if (v < -kFar || v > kFar) Refuse(at, "a position of " + std::to_string(v) + " lies far outside any scene");
    for (TExtraFish& f : l.ExtraFishes) {
        f.PosX = std::clamp(f.PosX, -kFar, kFar);
        f.PosY = std::clamp(f.PosY, -kFar, kFar);
    }
    l.ExtraFishWeights.assign(l.ExtraFishes.size(), 1);
    l.FishesBeforeExtra = l.MinFishBefore + random.Between(0, l.MaxFishBefore - l.MinFishBefore);
    if (l.MinFishBefore < 0 || l.MaxFishBefore < l.MinFishBefore) l.FishesBeforeExtra = std::max(0, l.MinFishBefore);
    if (l.FishesBeforeExtra <= 0 || l.ExtraFishes.empty()) l.FishesBeforeExtra = -1;
    // Keep the 650 x 590 view inside the scene.
    if (l.X + l.ShX + TScene::kViewWidth > scene.SceneWidth) l.ShX = scene.SceneWidth - l.X - TScene::kViewWidth;
    if (l.Y + l.ShY + TScene::kViewHeight > scene.SceneHeight) l.ShY = scene.SceneHeight - l.Y - TScene::kViewHeight;
    scene.PictureNames.push_back(l.Picture);
    if (l.QuestName != "RingB") scene.PictureNames.push_back("Quest" + l.QuestName + ".png");
    for (const TExtraFish& f : l.ExtraFishes) scene.PictureNames.push_back(f.Image);
    scene.Layers.push_back(std::move(l));
}

void ReadBelt(const TOrvXMLTag& t, const std::string& where, TScene& scene) {
    TLenta b;
    b.Speed = Lenient(t, "Speed");
    b.PartImage = t.AttributeValue("PartImage");
    b.PointsBetween = Lenient(t, "PointsBetween");
    if (const TOrvXMLTag* p = t.FindTag("Path")) {
        b.PathText = p->Value;
        auto morph = std::make_unique<TOrvMorph>();
        morph->SetName("Lenta");
        morph->SetDim(2);
        try {
            morph->AddPathFunction("Lenta", p->Value);
        } catch (const std::exception& e) {
            Refuse(where + "/Path", e.what());
        }
        const auto* f = dynamic_cast<const TOrvPiecewiseFunc*>(morph->Function(0));
        if (f) {
            b.PathLength = static_cast<int32_t>(std::lround(std::min<double>(f->TotalLength, 1e9)));
            b.PathTime = f->TotalDuration;
        }
        b.Path = std::move(morph);
    }
    b.PointSpacing = b.PointsBetween > 0 ? b.PathLength / b.PointsBetween : 0;
    scene.Belts.push_back(std::move(b));
}

void ReadPictures(const TOrvXMLTag& t, TScene& scene) {
    for (const auto& p : t.Tags) {
        if (p->Name != "Picture") continue;
        TScenePicture sp;
        sp.Name = p->AttributeValue("Name");
        sp.X = std::clamp(Lenient(*p, "x"), -kFar, kFar);
        sp.Y = std::clamp(Lenient(*p, "y"), -kFar, kFar);
        sp.DrawOnlyLayer = p->FindAttribute("DrawOnlyLayer") ? Lenient(*p, "DrawOnlyLayer") : -1;
        for (const auto& img : p->Tags) {
            if (img->Name != "Image" || !img->FindAttribute("Name") || !img->FindAttribute("t")) continue;
            if (sp.Frames.size() >= TScene::kMaxListLength) break;
            sp.Frames.push_back(img->AttributeValue("Name"));
            sp.FrameTimes.push_back(std::max(1, Lenient(*img, "t")));
            scene.PictureNames.push_back(sp.Frames.back());
        }
        scene.ScenePictures.push_back(std::move(sp));
    }
}

void ReadProbabilities(const TOrvXMLTag& t, const std::string& where, const TShapeTables& tables, TScene& scene) {
    if (const TOrvXMLTag* w = t.FindTag("FishkaWeights")) {
        int32_t previous = 0;
        for (const auto& s : w->Tags) {
            if (s->Name != "Shape") continue;
            const int32_t weight = s->FindAttribute("Weight") ? Lenient(*s, "Weight") : previous;
            previous = weight;
            const int32_t index = tables.FindShape(s->AttributeValue("Name"));
            if (index >= 0) scene.FishkaWeights[static_cast<size_t>(index)] = std::max(0, weight);
        }
    }
    if (const TOrvXMLTag* b = t.FindTag("BonusFishka")) {
        double v = 0;
        if (!TryValToFloat(TrimBlanks(b->Value), v) || !std::isfinite(v))
            Refuse(where + "/BonusFishka", "\"" + b->Value + "\" is not a number");
        scene.BonusFishka = std::clamp(v, 0.0, 1.0);
    }
    const char* names[4] = {"BombBonusWeight", "ReverseBonusWeight", "StopBonusWeight", "BigBombBonusWeight"};
    for (size_t i = 0; i < 4; ++i)
        if (const TOrvXMLTag* b = t.FindTag(names[i])) {
            const int32_t v = StrictInt(TrimBlanks(b->Value), where + "/" + names[i]);
            if (v < 0 || v > 100000) Refuse(where + "/" + names[i], "weight " + std::to_string(v) + " out of range");
            scene.BonusBaseWeights[i] = v * 10;
        }
}

}  // namespace

TIntegers ReadIntegerList(const std::string& text, const std::string& where) {
    TIntegers out;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n')) ++i;
        size_t j = i;
        while (j < text.size() && text[j] != ' ' && text[j] != '\t' && text[j] != '\r' && text[j] != '\n') ++j;
        if (j == i) break;
        if (out.size() >= TScene::kMaxListLength) Refuse(where, "the list holds more than 255 numbers");
        out.push_back(StrictInt(text.substr(i, j - i), where));
        i = j;
    }
    return out;
}

int32_t TLayer::FreeFragments() const {
    return static_cast<int32_t>(std::count(FragsBusy.begin(), FragsBusy.end(), -1));
}

TPoint TLenta::PointAt(TGameTime t) const {
    if (!Path) return {-1000, -1000};
    t = std::clamp<TGameTime>(t, 0, PathTime);
    const TOrvVector v = Path->GetValue2(static_cast<int32_t>(t), false);
    return {std::clamp(FXRound(v.X), -kFar, kFar), std::clamp(FXRound(v.Y), -kFar, kFar)};
}

void TLenta::DirectionAt(TGameTime t, double& dx, double& dy) const {
    dx = 1;
    dy = 0;
    if (!HasPath()) return;
    t = std::clamp<TGameTime>(t, 0, PathTime);
    TOrvVector d = Path->GetValue2(static_cast<int32_t>(t), true);
    double len = std::hypot(double(d.X), double(d.Y));
    if (!(len > 1e-6) || !std::isfinite(len)) {
        // Where the path's own derivative vanishes (its end), take the chord
        // of the last stretch before t instead.
        const TGameTime back = std::max<TGameTime>(0, t - 100);
        const TOrvVector a = Path->GetValue2(static_cast<int32_t>(back), false);
        const TOrvVector b = Path->GetValue2(static_cast<int32_t>(std::max<TGameTime>(t, back + 1)), false);
        d = TOrvVector(b.X - a.X, b.Y - a.Y);
        len = std::hypot(double(d.X), double(d.Y));
        if (!(len > 1e-6) || !std::isfinite(len)) return;
    }
    dx = d.X / len;
    dy = d.Y / len;
}

void TScene::Clear() {
    SceneFileName.clear();
    ScenePicture.clear();
    SceneWidth = SceneHeight = 0;
    SceneMusic.clear();
    Layers.clear();
    Belts.clear();
    ScenePictures.clear();
    FishkaWeights.clear();
    BonusFishka = 0;
    BonusBaseWeights = {};
    BonusWeights = {};
    BonusProbability = 0;
    Fishkas.clear();
    PictureNames.clear();
}

void TScene::LoadFromDocument(const TOrvXMLTag& document, const std::string& fileName, const TShapeTables& tables,
                              TOrvRandom& random) {
    Clear();
    try {
        const TOrvXMLTag* root = document.GetTag(0);
        if (!root) throw OrvException(fileName + "XML file does not has tags!");
        const std::string where = fileName + ": " + root->Name;
        ScenePicture = Required(*root, "Picture", where);
        Required(*root, "Width", where);
        Required(*root, "Height", where);
        SceneWidth = Lenient(*root, "Width");
        SceneHeight = Lenient(*root, "Height");
        if (SceneWidth <= 0 || SceneHeight <= 0 || SceneWidth > 16384 || SceneHeight > 16384)
            Refuse(where, "the scene size " + std::to_string(SceneWidth) + " x " + std::to_string(SceneHeight) +
                              " is not usable");
        SceneMusic = root->AttributeValue("MusicName");
        SceneFileName = fileName;
        FishkaWeights.assign(tables.Shapes().size(), 0);
        if (const TOrvXMLTag* layers = root->FindTag("Layers"))
            for (const auto& t : layers->Tags)
                if (t->Name == "Layer") ReadLayer(*t, where + "/Layers/Layer", tables, *this, random);
        if (const TOrvXMLTag* belts = root->FindTag("Belts"))
            for (const auto& t : belts->Tags)
                if (t->Name == "Belt") ReadBelt(*t, where + "/Belts/Belt " + std::to_string(Belts.size()), *this);
        if (const TOrvXMLTag* pics = root->FindTag("Pictures")) ReadPictures(*pics, *this);
        if (const TOrvXMLTag* prob = root->FindTag("Probabilities"))
            ReadProbabilities(*prob, where + "/Probabilities", tables, *this);
        if (Layers.empty()) Refuse(where, "the scene has no layer");
        for (const TLayer& l : Layers)
            for (int32_t b : l.BeltIds) {
                const std::string at = where + "/Layers/Layer \"" + l.Name + "\"/Belts";
                if (b >= static_cast<int32_t>(Belts.size()))
                    Refuse(at, "belt " + std::to_string(b) + " does not exist (" + std::to_string(Belts.size()) +
                                   " belts)");
                if (!Belts[static_cast<size_t>(b)].HasPath())
                    Refuse(at, "belt " + std::to_string(b) + " has no path of some length and time");
            }
    } catch (...) {
        Clear();
        throw;
    }
}
