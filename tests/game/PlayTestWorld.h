// A small world for the rules' tests: shape tables made in memory on a
// 40-pixel lattice (squares of kind 1, half squares of kind 2), a scene
// document built from a few lines, and events that record what the rules
// asked for.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "base/OrvParser.h"
#include "game/PlayLevel.h"

namespace playtest {

// Little-endian record writers.
inline void Put16(std::string& s, int32_t v) {
    s.push_back(char(v & 0xFF));
    s.push_back(char((v >> 8) & 0xFF));
}
inline void Put32(std::string& s, int32_t v) {
    Put16(s, v & 0xFFFF);
    Put16(s, (v >> 16) & 0xFFFF);
}
inline void PutShort(std::string& s, const std::string& text, size_t field) {
    std::string f(field, '\0');
    f[0] = char(text.size());
    for (size_t i = 0; i < text.size() && i + 1 < field; ++i) f[i + 1] = text[i];
    s += f;
}

struct TCellRecipe {
    int Kind;
    int Col;
    int Row;
};

// One shape record: name, next name, cells on the lattice (kind 1 square,
// kind 2 the half square with its right angle at the top left).
inline std::string ShapeRecord(const std::string& name, const std::string& next, const std::vector<TCellRecipe>& cells,
                               int vertexOverride = -1, int cellCountOverride = -1) {
    std::string r;
    PutShort(r, name, 33);
    PutShort(r, next, 35);
    Put32(r, cellCountOverride >= 0 ? cellCountOverride : int(cells.size()));
    PutShort(r, "Piece" + name + ".png", 33);
    r += std::string(33 + 330, '\0');
    for (const TCellRecipe& c : cells) {
        std::string cell;
        Put32(cell, c.Kind);
        Put32(cell, c.Col * 40);
        Put32(cell, c.Row * 40);
        const int x = c.Col * 40;
        const int y = c.Row * 40;
        std::vector<std::pair<int, int>> v;
        if (c.Kind == 1)
            v = {{x, y}, {x + 40, y}, {x + 40, y + 40}, {x, y + 40}};
        else
            v = {{x, y}, {x + 40, y}, {x, y + 40}};
        cell.push_back(char(vertexOverride >= 0 ? vertexOverride : int(v.size())));
        cell.push_back('\0');
        for (const auto& [px, py] : v) {
            Put16(cell, px);
            Put16(cell, py);
        }
        cell.resize(36, '\0');
        r += cell;
    }
    r.resize(900, '\0');
    return r;
}

// Points of a 9 x 9 lattice; fragment (kind, col, row) indexes.
constexpr int kGrid = 9;
inline int PointIndex(int col, int row) {
    return row * kGrid + col;
}
inline std::string Points() {
    std::string s;
    for (int r = 0; r < kGrid; ++r)
        for (int c = 0; c < kGrid; ++c) {
            Put16(s, c * 40);
            Put16(s, r * 40);
        }
    return s;
}
// Fragment 2 * (row * 8 + col) is the square of a cell, the next one its
// top-left half.
inline std::string Fragments() {
    std::string s;
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 8; ++c) {
            s.push_back(1);
            s.push_back(4);
            Put16(s, PointIndex(c, r));
            Put16(s, PointIndex(c + 1, r));
            Put16(s, PointIndex(c + 1, r + 1));
            Put16(s, PointIndex(c, r + 1));
            s.push_back(2);
            s.push_back(3);
            Put16(s, PointIndex(c, r));
            Put16(s, PointIndex(c + 1, r));
            Put16(s, PointIndex(c, r + 1));
            Put16(s, 0);
        }
    return s;
}
inline int Square(int col, int row) {
    return 2 * (row * 8 + col);
}
inline int Half(int col, int row) {
    return 2 * (row * 8 + col) + 1;
}
inline std::string Kinds() {
    std::string s;
    for (int k = 0; k < 2; ++k) {
        std::string r;
        Put32(r, 1);  // YSlot: the top-left point
        Put32(r, 1);  // XSlot
        r.resize(404, '\0');
        s += r;
    }
    return s;
}
// Shapes: 0 Dot (one square), 1 Pair_1 (two across), 2 Pair_2 (two down),
// 3 Wedge (one half square), 4 Block (two by two).
inline std::string Shapes() {
    return ShapeRecord("Dot", "Dot", {{1, 0, 0}}) + ShapeRecord("Pair_1", "Pair_2", {{1, 0, 0}, {1, 1, 0}}) +
           ShapeRecord("Pair_2", "Pair_1", {{1, 0, 0}, {1, 0, 1}}) + ShapeRecord("Wedge", "Wedge", {{2, 0, 0}}) +
           ShapeRecord("Block", "Block", {{1, 0, 0}, {1, 1, 0}, {1, 0, 1}, {1, 1, 1}});
}

inline void LoadTables(TShapeTables& t) {
    t.LoadFromBytes(Points(), Fragments(), Shapes(), Kinds());
}

// Records sounds and trace lines; every picture is 40 x 40 (bonus strips
// 20 frames of 40).
class TRecorder : public IPlayEvents {
public:
    std::vector<std::string> Sounds;
    std::vector<std::string> Lines;
    std::string Delayed;
    TGameTime DelayedAt = -1;
    int ThrowOffs = 0;
    double LastDirX = 0, LastDirY = 0;
    std::map<std::string, TPoint> Sizes;
    void Sound(const std::string& name) override { Sounds.push_back(name); }
    void DelayedSound(const std::string& name, TGameTime at) override {
        Delayed = name;
        DelayedAt = at;
    }
    void Trace(const std::string& e) override { Lines.push_back(e); }
    void ThrowOffEffect(const TFishka&, const std::string&, int32_t, double dx, double dy) override {
        ++ThrowOffs;
        LastDirX = dx;
        LastDirY = dy;
    }
    TPoint PictureSize(const std::string& name) const override {
        const auto it = Sizes.find(name);
        if (it != Sizes.end()) return it->second;
        if (name.empty()) return {0, 0};
        if (name == "amulet.png") return {40 * 40, 40};
        if (name.find("pauk") != std::string::npos || name == "sand_glass.png") return {20 * 40, 40};
        return {40, 40};
    }
    bool Heard(const std::string& s) const {
        for (const auto& x : Sounds)
            if (x == s) return true;
        return false;
    }
};

// A scene document: one layer at (layerX, layerY) with the given fragments
// (and levels), one straight belt of length pathLength pixels run in
// pathLength * 10 ms, and weights for the shapes.
struct TSceneRecipe {
    int LayerX = 40;
    int LayerY = 40;
    std::vector<int> Frags;
    std::vector<int> Levels;
    std::string Weights = "<Shape Name=\"Dot\" Weight=\"1\"/>";
    int PathLength = 1000;
    std::string Extra;  // children of the layer
    std::string BonusFishka = "0";
    std::string BonusWeights = "<BombBonusWeight>1</BombBonusWeight>";
    int ExtraMin = 0, ExtraMax = 0;
};

inline std::string SceneText(const TSceneRecipe& s) {
    std::string frags, levels;
    for (int f : s.Frags) frags += " " + std::to_string(f);
    for (int l : s.Levels) levels += " " + std::to_string(l);
    std::string t = "<Scene Picture=\"S.jpg\" Width=\"2000\" Height=\"1500\"><Layers>";
    t += "<Layer Name=\"L\" x=\"" + std::to_string(s.LayerX) + "\" y=\"" + std::to_string(s.LayerY) + "\">";
    t += "<Picture Name=\"L.png\" x=\"0\" y=\"0\"/><Frags>" + frags + "</Frags>";
    if (!s.Levels.empty()) t += "<FragsLevel>" + levels + "</FragsLevel>";
    t += "<Belts>0</Belts><ExtraFishes MinFishBefore=\"" + std::to_string(s.ExtraMin) + "\" MaxFishBefore=\"" +
         std::to_string(s.ExtraMax) + "\">" + s.Extra + "</ExtraFishes></Layer></Layers>";
    t += "<Belts><Belt Speed=\"100\" PartImage=\"B.png\" PointsBetween=\"30\"><Path>set linear; set timing +0.1; path "
         "(0,600) (" +
         std::to_string(s.PathLength) + ",600);</Path></Belt></Belts>";
    t += "<Probabilities><FishkaWeights>" + s.Weights + "</FishkaWeights><BonusFishka>" + s.BonusFishka +
         "</BonusFishka>" + s.BonusWeights + "</Probabilities></Scene>";
    return t;
}

inline void LoadScene(TScene& scene, const std::string& text, const TShapeTables& tables, TOrvRandom& random) {
    TOrvParser doc;
    doc.LoadFromString(text);
    scene.LoadFromDocument(doc, "Test.xml", tables, random);
}

}  // namespace playtest
