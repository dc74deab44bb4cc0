#include "game/SavedGame.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "base/FileReader.h"
#include "base/OrvException.h"
#include "base/OrvParser.h"
#include "base/OrvStream.h"
#include "base/SFunctions.h"
#include "game/PlayLevel.h"
#include "game/Scene.h"

namespace {

// A save is a few kilobytes; anything far larger is not one of ours.
constexpr uint64_t kMaxSaveFileSize = 4u << 20;
// Times and positions beyond this are not from a real game.
constexpr int64_t kFarTime = 1'000'000'000;
constexpr int32_t kFarPosition = 1'000'000;

[[noreturn]] void Refuse(const std::string& file, const std::string& what) {
    throw OrvException(file + ": " + what);
}

std::string Bool(bool b) {
    return b ? "true" : "false";
}

int64_t ParseNumber(std::string_view text, int64_t low, int64_t high, const std::string& file,
                    const std::string& where) {
    const std::string trimmed = TrimBlanks(text);
    int64_t v = 0;
    const char* first = trimmed.data();
    const char* last = first + trimmed.size();
    const auto [end, ec] = std::from_chars(first, last, v);
    if (trimmed.empty() || ec != std::errc() || end != last)
        Refuse(file, where + ": \"" + trimmed.substr(0, 32) + "\" is not a whole number");
    if (v < low || v > high)
        Refuse(file, where + ": " + trimmed + " is not in " + std::to_string(low) + ".." + std::to_string(high));
    return v;
}

const TOrvXMLTag& Child(const TOrvXMLTag& tag, std::string_view name, const std::string& file,
                        const std::string& where) {
    const TOrvXMLTag* c = tag.FindTag(name);
    if (!c) Refuse(file, where + " lacks " + std::string(name));
    return *c;
}

int64_t Attribute(const TOrvXMLTag& tag, std::string_view name, int64_t low, int64_t high, const std::string& file,
                  const std::string& where) {
    const TOrvParserAttribute* a = tag.FindAttribute(name);
    if (!a) Refuse(file, where + " lacks " + std::string(name));
    return ParseNumber(a->Value, low, high, file, where + "/" + std::string(name));
}

TIntegers ReadList(const std::string& text, int32_t low, int32_t high, const std::string& file,
                   const std::string& where) {
    const int count = WordCount(text);
    if (count > static_cast<int>(TScene::kMaxListLength)) Refuse(file, where + " holds more than 255 numbers");
    TIntegers out;
    for (int i = 1; i <= count; ++i)
        out.push_back(static_cast<int32_t>(ParseNumber(GetWord(text, i), low, high, file, where)));
    return out;
}

std::string WriteList(const TIntegers& values) {
    std::string s;
    for (int32_t v : values) s += " " + std::to_string(v);
    return s;
}

TSavedFishka ReadFishka(const TOrvXMLTag& t, const std::string& file, const std::string& where) {
    TSavedFishka f;
    constexpr int32_t kInt = std::numeric_limits<int32_t>::max();
    f.FType = static_cast<int32_t>(Attribute(t, "FType", 0, kInt, file, where));
    f.OnLayer = static_cast<int32_t>(Attribute(t, "OnLayer", -1, kInt, file, where));
    f.Age = Attribute(t, "BornTime", -kFarTime, kFarTime, file, where);
    f.Acceleration = static_cast<int32_t>(Attribute(t, "Acceleration", -1000000, 1000000, file, where));
    f.BonusType = static_cast<int32_t>(Attribute(t, "BonusType", -1, 4, file, where));
    if (f.BonusType == 0) Refuse(file, where + "/BonusType: 0 is no bonus kind");
    f.ExtraFishType = static_cast<int32_t>(Attribute(t, "ExtraFishType", -1, kInt, file, where));
    f.X = static_cast<int32_t>(Attribute(t, "x", -kFarPosition, kFarPosition, file, where));
    f.Y = static_cast<int32_t>(Attribute(t, "y", -kFarPosition, kFarPosition, file, where));
    f.DrawLeft = Attribute(t, "DrawUntilTime", -kFarTime, kFarTime, file, where);
    // Older files may hold the full int; only its low byte ever mattered.
    f.Trans = static_cast<int32_t>(Attribute(t, "Trans", std::numeric_limits<int32_t>::min(), kInt, file, where) & 255);
    const TOrvParserAttribute* del = t.FindAttribute("NeedDelAfterDis");
    if (!del) Refuse(file, where + " lacks NeedDelAfterDis");
    f.NeedDelAfterDis = del->Value == "true";
    return f;
}

void WriteFishka(TOrvXMLTag& t, const TSavedFishka& f) {
    t.AddAttribute("FType", std::to_string(f.FType));
    t.AddAttribute("OnLayer", std::to_string(f.OnLayer));
    t.AddAttribute("BornTime", std::to_string(f.Age));
    t.AddAttribute("Acceleration", std::to_string(f.Acceleration));
    t.AddAttribute("BonusType", std::to_string(f.BonusType));
    t.AddAttribute("ExtraFishType", std::to_string(f.ExtraFishType));
    t.AddAttribute("x", std::to_string(f.X));
    t.AddAttribute("y", std::to_string(f.Y));
    t.AddAttribute("DrawUntilTime", std::to_string(f.DrawLeft));
    t.AddAttribute("Trans", std::to_string(f.Trans));
    t.AddAttribute("NeedDelAfterDis", Bool(f.NeedDelAfterDis));
}

TSavedFishka Capture(const TFishka& f, TGameTime now) {
    TSavedFishka s;
    s.FType = f.FType;
    s.OnLayer = f.OnLayer;
    s.Age = std::clamp<int64_t>(now - f.BornTime, -kFarTime, kFarTime);
    s.Acceleration = f.Acceleration;
    s.BonusType = f.BonusType;
    s.ExtraFishType = f.ExtraFishType;
    s.X = std::clamp(f.X, -kFarPosition, kFarPosition);
    s.Y = std::clamp(f.Y, -kFarPosition, kFarPosition);
    s.DrawLeft = std::clamp<int64_t>(f.DrawUntilTime - now, -kFarTime, kFarTime);
    s.Trans = f.Trans;
    s.NeedDelAfterDis = f.NeedDelAfterDis;
    return s;
}

void ReadLayer(const TOrvXMLTag& layer, TSavedGame& g, const std::string& file) {
    const std::string at = "Layer";
    g.HasLayer = true;
    g.Current = static_cast<int32_t>(Attribute(layer, "Current", 0, 254, file, at));
    const TOrvParserAttribute* complete = layer.FindAttribute("Complete");
    if (!complete) Refuse(file, at + " lacks Complete");
    g.Complete = complete->Value == "true";
    g.FragsLevel = ReadList(Child(layer, "FragsLevel", file, at).Value, 0, 9, file, at + "/FragsLevel");
    g.FragsBusy =
        ReadList(Child(layer, "FragsBusy", file, at).Value, -1, int32_t(kMaxSavedPieces) - 1, file, at + "/FragsBusy");
    g.ExtraFishWeights =
        ReadList(Child(layer, "ExtraFishWeights", file, at).Value, 0, 1000000, file, at + "/ExtraFishWeights");
    g.FishesBeforeExtra = static_cast<int32_t>(
        ParseNumber(Child(layer, "FishesBeforeExtra", file, at).Value, -1, 1000000, file, at + "/FishesBeforeExtra"));
}

void ReadPieces(const TOrvXMLTag& root, TSavedGame& g, const std::string& file) {
    if (const TOrvXMLTag* free = root.FindTag("Fishkas")) {
        for (const auto& c : free->Tags) {
            if (c->Name != "Fishka") continue;
            if (g.Fishkas.size() >= kMaxSavedPieces) Refuse(file, "Fishkas holds too many pieces");
            g.Fishkas.push_back(ReadFishka(*c, file, "Fishkas/Fishka " + std::to_string(g.Fishkas.size())));
        }
    }
    if (const TOrvXMLTag* belts = root.FindTag("FishkaLentas")) {
        for (const auto& b : belts->Tags) {
            if (b->Name != "Lenta") continue;
            if (g.Belts.size() >= TScene::kMaxListLength) Refuse(file, "FishkaLentas holds too many belts");
            const std::string at = "FishkaLentas/Lenta " + std::to_string(g.Belts.size());
            std::vector<TSavedFishka>& list = g.Belts.emplace_back();
            for (const auto& c : b->Tags) {
                if (c->Name != "Fishka") continue;
                if (list.size() >= kMaxSavedPieces) Refuse(file, at + " holds too many pieces");
                list.push_back(ReadFishka(*c, file, at + "/Fishka " + std::to_string(list.size())));
            }
        }
    }
}

}  // namespace

TSavedGame CaptureSavedGame(const TPlayLevel& level) {
    TSavedGame g;
    const TScene& scene = level.Scene;
    const TGameTime now = level.Now;
    g.Scene = scene.SceneFileName;
    g.TotalScore = level.TotalScore;
    g.PrevScore = level.PrevScore;
    g.Mode = level.Mode;
    g.SceneInd = level.SceneInd;
    for (int32_t i = 0; i < level.CurrentLayer && i < int32_t(scene.Layers.size()); ++i)
        g.Arts.push_back(scene.Layers[size_t(i)].Art);
    const int32_t held = level.HasHeld() ? level.FishkaUnderCursor : -1;
    if (const TLayer* l = level.Layer()) {
        g.HasLayer = true;
        g.Current = level.CurrentLayer;
        g.Complete = l->Complete;
        g.FragsLevel = l->FragsLevel;
        g.FragsBusy = l->FragsBusy;
        // The held piece leaves the list: later indexes move down by one.
        for (int32_t& busy : g.FragsBusy)
            if (held >= 0 && busy > held) --busy;
        g.ExtraFishWeights = l->ExtraFishWeights;
        g.FishesBeforeExtra = l->FishesBeforeExtra;
    }
    for (size_t i = 0; i < scene.Fishkas.size(); ++i)
        if (int32_t(i) != held) g.Fishkas.push_back(Capture(scene.Fishkas[i], now));
    for (const TLenta& b : scene.Belts) {
        std::vector<TSavedFishka>& list = g.Belts.emplace_back();
        for (const TFishka& f : b.BeltFishkas) list.push_back(Capture(f, now));
    }
    if (held >= 0) {
        // Back on the chain it came from: the belt of its layer whose chain
        // its age falls into (front first means oldest first).
        const TFishka& f = scene.Fishkas[size_t(held)];
        TSavedFishka s = Capture(f, now);
        s.OnLayer = level.CurrentLayer;
        s.Trans = 255;
        int32_t belt = -1;
        if (const TLayer* l = level.Layer())
            for (int32_t id : l->BeltIds)
                if (id >= 0 && id < int32_t(g.Belts.size()) && (belt < 0 || f.OriginBelt == id)) belt = id;
        if (belt >= 0) {
            std::vector<TSavedFishka>& list = g.Belts[size_t(belt)];
            const auto at =
                std::find_if(list.begin(), list.end(), [&](const TSavedFishka& o) { return o.Age < s.Age; });
            list.insert(at, s);
        }
    }
    g.HasSkills = true;
    g.Skills = level.Skills.Levels;
    return g;
}

std::unique_ptr<TOrvParser> SavedGameDocument(const TSavedGame& g) {
    auto parser = std::make_unique<TOrvParser>();
    TOrvXMLTag* doc = parser->AddTag("SaveGame");
    doc->AddAttribute("Scene", g.Scene);
    doc->AddAttribute("TotalScore", std::to_string(g.TotalScore));
    doc->AddAttribute("PrevScore", std::to_string(g.PrevScore));
    doc->AddAttribute("Mode", std::to_string(g.Mode));
    doc->AddAttribute("SceneInd", std::to_string(g.SceneInd));
    TOrvXMLTag* arts = doc->AddTag("LayersArtefacts");
    for (bool a : g.Arts) arts->AddTag("Art", Bool(a));
    TOrvXMLTag* layer = doc->AddTag("Layer");
    layer->AddAttribute("Current", std::to_string(g.Current));
    layer->AddAttribute("Complete", Bool(g.Complete));
    layer->AddTag("FragsLevel", WriteList(g.FragsLevel));
    layer->AddTag("FragsBusy", WriteList(g.FragsBusy));
    layer->AddTag("ExtraFishWeights", WriteList(g.ExtraFishWeights));
    layer->AddTag("FishesBeforeExtra", std::to_string(g.FishesBeforeExtra));
    TOrvXMLTag* free = doc->AddTag("Fishkas");
    free->AddAttribute("FishkaUnderCursor", "-1");
    for (const TSavedFishka& f : g.Fishkas) WriteFishka(*free->AddTag("Fishka"), f);
    TOrvXMLTag* belts = doc->AddTag("FishkaLentas");
    for (const auto& list : g.Belts) {
        TOrvXMLTag* b = belts->AddTag("Lenta");
        for (const TSavedFishka& f : list) WriteFishka(*b->AddTag("Fishka"), f);
    }
    TOrvXMLTag* skills = doc->AddTag("Skills");
    for (size_t i = 0; i < TSkills::kNames.size(); ++i) skills->AddTag(TSkills::kNames[i], std::to_string(g.Skills[i]));
    return parser;
}

TSavedGame ReadSavedGame(const TOrvXMLTag& document, const std::string& fileName) {
    const TOrvXMLTag* first = document.GetTag(0);
    if (!first) throw OrvException(fileName + "XML file does not has tags!");
    const TOrvXMLTag& root = *first;
    if (root.Name != "SaveGame") throw OrvException("Wrong Save File format!");
    TSavedGame g;
    const TOrvParserAttribute* scene = root.FindAttribute("Scene");
    if (!scene || scene->Value.empty() || scene->Value.size() > 64) Refuse(fileName, "SaveGame names no scene");
    g.Scene = scene->Value;
    constexpr int64_t kMaxScore = std::numeric_limits<int32_t>::max();
    if (root.FindAttribute("TotalScore"))
        g.TotalScore = uint32_t(Attribute(root, "TotalScore", 0, kMaxScore, fileName, "SaveGame"));
    if (root.FindAttribute("PrevScore"))
        g.PrevScore = uint32_t(Attribute(root, "PrevScore", 0, kMaxScore, fileName, "SaveGame"));
    if (root.FindAttribute("Mode")) g.Mode = int32_t(Attribute(root, "Mode", 1, 3, fileName, "SaveGame"));
    if (root.FindAttribute("SceneInd"))
        g.SceneInd = int32_t(Attribute(root, "SceneInd", 1, 1000, fileName, "SaveGame"));
    if (g.PrevScore > g.TotalScore) Refuse(fileName, "PrevScore is above TotalScore");
    if (const TOrvXMLTag* arts = root.FindTag("LayersArtefacts"))
        for (const auto& a : arts->Tags) {
            if (a->Name != "Art") continue;
            if (g.Arts.size() >= TScene::kMaxListLength) Refuse(fileName, "LayersArtefacts is too long");
            g.Arts.push_back(a->Value == "true");
        }
    if (const TOrvXMLTag* layer = root.FindTag("Layer")) ReadLayer(*layer, g, fileName);
    ReadPieces(root, g, fileName);
    if (const TOrvXMLTag* skills = root.FindTag("Skills")) {
        g.HasSkills = true;
        for (size_t i = 0; i < TSkills::kNames.size(); ++i) {
            const TOrvXMLTag& s = Child(*skills, TSkills::kNames[i], fileName, "Skills");
            g.Skills[i] = int32_t(ParseNumber(s.Value, 0, kMaxSkillLevel, fileName, "Skills/" + s.Name));
        }
    }
    return g;
}

void CheckSavedGameFits(const TSavedGame& g, const TScene& scene, int32_t shapeCount, const std::string& file) {
    const int32_t layers = int32_t(scene.Layers.size());
    if (g.Current >= layers) Refuse(file, "Layer " + std::to_string(g.Current) + " does not exist in " + g.Scene);
    if (g.Arts.size() > size_t(layers)) Refuse(file, "LayersArtefacts names more layers than " + g.Scene + " has");
    if (g.Belts.size() > scene.Belts.size()) Refuse(file, "FishkaLentas names more belts than " + g.Scene + " has");
    if (!g.HasLayer) return;
    const TLayer& l = scene.Layers[size_t(g.Current)];
    if (g.FragsLevel.size() != l.Frags.size() || g.FragsBusy.size() != l.Frags.size())
        Refuse(file, "Layer holds " + std::to_string(g.FragsLevel.size()) + " levels and " +
                         std::to_string(g.FragsBusy.size()) + " pieces for " + std::to_string(l.Frags.size()) +
                         " fragments");
    if (g.ExtraFishWeights.size() != l.ExtraFishes.size())
        Refuse(file, "Layer/ExtraFishWeights holds " + std::to_string(g.ExtraFishWeights.size()) + " weights for " +
                         std::to_string(l.ExtraFishes.size()) + " extra fishes");
    for (int32_t busy : g.FragsBusy)
        if (busy >= int32_t(g.Fishkas.size()))
            Refuse(file,
                   "Layer/FragsBusy names piece " + std::to_string(busy) + " of " + std::to_string(g.Fishkas.size()));
    auto check = [&](const TSavedFishka& f, const std::string& where) {
        if (f.FType >= std::max(shapeCount, 1))
            Refuse(file, where + ": shape " + std::to_string(f.FType) + " does not exist");
        if (f.OnLayer >= layers) Refuse(file, where + ": layer " + std::to_string(f.OnLayer) + " does not exist");
        if (f.ExtraFishType >= int32_t(l.ExtraFishes.size()))
            Refuse(file, where + ": extra fish " + std::to_string(f.ExtraFishType) + " does not exist");
        if (f.ExtraFishType >= 0 && f.BonusType > 0) Refuse(file, where + ": a bonus cannot be an extra fish");
    };
    for (size_t i = 0; i < g.Fishkas.size(); ++i) check(g.Fishkas[i], "Fishkas/Fishka " + std::to_string(i));
    for (size_t b = 0; b < g.Belts.size(); ++b)
        for (size_t i = 0; i < g.Belts[b].size(); ++i)
            check(g.Belts[b][i], "FishkaLentas/Lenta " + std::to_string(b) + "/Fishka " + std::to_string(i));
}

TSavedGame ReadSavedGameFile(const std::string& path) {
    std::string bytes;
    std::string error;
    if (!TryReadFile(path, bytes, error, kMaxSaveFileSize)) throw OrvException(error);
    TMemoryStream stream;
    stream.Write(bytes.data(), bytes.size());
    stream.Seek(0);
    TOrvParser doc;
    WhileReading(path, [&] { LoadScrambledXML(doc, stream, kSaveGameKey); });
    return ReadSavedGame(doc, path);
}

void WriteSavedGameFile(const TSavedGame& game, const std::string& path) {
    std::unique_ptr<TOrvParser> doc = SavedGameDocument(game);
    SaveScrambledXML(*doc, path, kSaveGameKey);
}
