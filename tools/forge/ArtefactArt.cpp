// The artefacts the extra fishes assemble: small emblems on a round medallion,
// one design per quest name.
#include <cmath>

#include "Art.h"

namespace forge {

namespace {

constexpr float kPi = 3.14159265f;

uint32_t NameHash(const std::string& s) {
    uint32_t h = 2166136261u;
    for (char c : s) h = (h ^ uint8_t(c)) * 16777619u;
    return h;
}

void Feather(TCanvas& c, TColor col) {
    c.Line(30, 76, 66, 20, 2.5f, Scale(col, 0.5f));
    for (int i = 0; i < 14; ++i) {
        float t = float(i) / 14.0f;
        float x = 30 + 36 * t, y = 76 - 56 * t;
        float w = 16 * std::sin(t * kPi) + 3;
        c.Line(x, y, x - w * 0.8f, y - w * 0.4f, 3.5f, Mix(col, Rgb(255, 255, 255), 0.2f * t));
        c.Line(x, y, x + w * 0.4f, y + w * 0.8f, 3.5f, Mix(col, Rgb(255, 255, 255), 0.1f + 0.2f * t));
    }
}

void Shell(TCanvas& c, TColor col) {
    TPolygon fan;
    for (int i = 0; i <= 20; ++i) {
        float a = kPi + kPi * float(i) / 20.0f;
        fan.push_back({48 + std::cos(a) * 34, 62 + std::sin(a) * 34});
    }
    fan.push_back({54, 74});
    fan.push_back({42, 74});
    c.FillPolygon(fan, [&](int x, int y) {
        float a = std::atan2(float(y) - 74, float(x) - 48);
        float rib = 0.5f + 0.5f * std::cos(a * 18);
        return Mix(col, Rgb(255, 245, 230), 0.35f * rib);
    });
}

void Key(TCanvas& c, TColor col) {
    c.SoftDisc(32, 36, 16, 1, col);
    c.SoftDisc(32, 36, 7, 1, Rgb(0, 0, 0, 0));
    c.SoftDisc(32, 36, 7, 1, Rgb(40, 30, 30, 0.8f));
    c.Line(44, 48, 74, 78, 7, col);
    c.Line(62, 66, 70, 58, 6, col);
    c.Line(70, 74, 78, 66, 6, col);
}

void Crown(TCanvas& c, TColor col) {
    c.FillPolygon(TPolygon{{18, 70}, {22, 32}, {35, 52}, {48, 26}, {61, 52}, {74, 32}, {78, 70}}, col);
    c.FillPolygon(TPolygon{{18, 70}, {78, 70}, {78, 78}, {18, 78}}, Scale(col, 0.8f));
    for (float x : {22.0f, 48.0f, 74.0f}) c.SoftDisc(x, x == 48 ? 26.0f : 32.0f, 4, 1, Rgb(230, 40, 70));
    c.SoftDisc(48, 62, 5, 1, Rgb(60, 140, 220));
}

void Leaf(TCanvas& c, TColor col) {
    TPolygon leaf;
    for (int i = 0; i <= 30; ++i) {
        float t = float(i) / 30.0f;
        leaf.push_back({20 + 56 * t, 48 - 22 * std::sin(t * kPi)});
    }
    for (int i = 30; i >= 0; --i) {
        float t = float(i) / 30.0f;
        leaf.push_back({20 + 56 * t, 48 + 22 * std::sin(t * kPi)});
    }
    c.FillPolygon(leaf, col);
    c.Line(16, 52, 76, 48, 2, Scale(col, 0.6f));
    for (int i = 1; i < 6; ++i) {
        float x = 20 + i * 9.0f;
        c.Line(x, 49, x + 8, 34 + std::abs(i - 3) * 3.0f, 1.5f, Scale(col, 0.65f));
        c.Line(x, 49, x + 8, 62 - std::abs(i - 3) * 3.0f, 1.5f, Scale(col, 0.65f));
    }
}

void Moon(TCanvas& c, TColor col) {
    TCanvas m(96, 96);
    m.SoftDisc(48, 48, 30, 1, col);
    for (int y = 0; y < 96; ++y)
        for (int x = 0; x < 96; ++x)
            if (std::hypot(x - 62.0f, y - 40.0f) < 26) m.At(x, y).A = 0;
    c.Draw(m, 0, 0);
    c.SoftDisc(70, 64, 3, 1, Rgb(255, 255, 230));
    c.SoftDisc(62, 76, 2, 1, Rgb(255, 255, 230));
}

void Sun(TCanvas& c, TColor col) {
    for (int i = 0; i < 12; ++i) {
        float a = kPi * 2 * float(i) / 12.0f;
        c.FillPolygon(TPolygon{{48 + std::cos(a) * 36, 48 + std::sin(a) * 36},
                               {48 + std::cos(a + 0.2f) * 20, 48 + std::sin(a + 0.2f) * 20},
                               {48 + std::cos(a - 0.2f) * 20, 48 + std::sin(a - 0.2f) * 20}},
                      col);
    }
    c.SoftDisc(48, 48, 20, 1, Mix(col, Rgb(255, 250, 200), 0.4f));
}

void Ring(TCanvas& c, TColor col) {
    c.SoftDisc(48, 56, 26, 1, col);
    c.SoftDisc(48, 56, 19, 1, Rgb(30, 24, 30));
    c.FillPolygon(TPolygon{{48, 16}, {60, 30}, {48, 40}, {36, 30}}, Rgb(120, 200, 255));
    c.FillPolygon(TPolygon{{48, 16}, {54, 24}, {48, 30}, {42, 24}}, Rgb(220, 245, 255));
}

void Lantern(TCanvas& c, TColor col) {
    c.SoftDisc(48, 52, 22, 10, Rgb(255, 220, 120, 0.6f));
    c.FillPolygon(TPolygon{{34, 30}, {62, 30}, {68, 72}, {28, 72}}, Mix(col, Rgb(255, 230, 150), 0.5f));
    c.Line(34, 30, 28, 72, 3, Scale(col, 0.6f));
    c.Line(62, 30, 68, 72, 3, Scale(col, 0.6f));
    c.Line(48, 30, 48, 72, 2, Scale(col, 0.6f));
    c.FillPolygon(TPolygon{{30, 30}, {66, 30}, {48, 16}}, Scale(col, 0.7f));
    c.FillPolygon(TPolygon{{26, 72}, {70, 72}, {70, 78}, {26, 78}}, Scale(col, 0.7f));
    c.SoftDisc(48, 12, 4, 1, Scale(col, 0.7f));
}

void Anchor(TCanvas& c, TColor col) {
    c.SoftDisc(48, 20, 8, 1, col);
    c.SoftDisc(48, 20, 4, 1, Rgb(30, 30, 40));
    c.Line(48, 26, 48, 78, 7, col);
    c.Line(32, 36, 64, 36, 6, col);
    TPolygon arc;
    for (int i = 0; i <= 20; ++i) {
        float a = kPi * float(i) / 20.0f;
        arc.push_back({48 - std::cos(a) * 28, 58 + std::sin(a) * 20});
    }
    c.Polyline(arc, 6, col);
    c.FillPolygon(TPolygon{{14, 54}, {26, 58}, {18, 66}}, col);
    c.FillPolygon(TPolygon{{82, 54}, {70, 58}, {78, 66}}, col);
}

void Flower(TCanvas& c, TColor col) {
    for (int i = 0; i < 6; ++i) {
        float a = kPi * 2 * float(i) / 6.0f;
        c.SoftEllipse(48 + std::cos(a) * 18, 48 + std::sin(a) * 18, 13, 13, 1,
                      Mix(col, Rgb(255, 255, 255), 0.15f * (i % 2)));
    }
    c.SoftDisc(48, 48, 11, 1, Rgb(250, 200, 60));
    c.SoftDisc(45, 45, 4, 2, Rgb(255, 240, 160));
}

void StarEmblem(TCanvas& c, TColor col) {
    TPolygon p;
    for (int i = 0; i < 10; ++i) {
        float a = -kPi / 2 + kPi * float(i) / 5.0f;
        float r = (i % 2) ? 15.0f : 36.0f;
        p.push_back({48 + std::cos(a) * r, 50 + std::sin(a) * r});
    }
    c.FillPolygon(p, [&](int x, int y) { return Mix(col, Rgb(255, 255, 240), Clamp01((96 - float(x + y)) / 120.0f)); });
}

}  // namespace

TCanvas PaintArtefact(const std::string& quest) {
    uint32_t h = NameHash(quest);
    static const TColor kMetal[] = {Rgb(226, 184, 84), Rgb(200, 206, 220), Rgb(206, 128, 76), Rgb(120, 200, 170)};
    TColor metal = kMetal[h % 4];
    TCanvas c(kArtefactSize, kArtefactSize);
    // The medallion the pieces are set into.
    c.SoftDisc(50, 51, 46, 3, Rgb(0, 0, 0, 0.35f));
    c.SoftDisc(48, 48, 46, 1, Scale(metal, 0.55f));
    c.FillRect(0, 0, 96, 96, [&](int x, int y) {
        float d = std::hypot(x - 48.0f, y - 48.0f);
        float k = 1 - SmoothStep(40, 41.5f, d);
        float n = Fbm(x * 0.08f, y * 0.08f, 3, h);
        return WithAlpha(Mix(Rgb(40, 46, 70), Rgb(70, 60, 96), n), k);
    });
    static const std::pair<const char*, void (*)(TCanvas&, TColor)> kDesigns[] = {
        {"Feather", Feather}, {"Shell", Shell},   {"Key", Key},       {"Crown", Crown},
        {"Leaf", Leaf},       {"Moon", Moon},     {"Sun", Sun},       {"Ring", Ring},
        {"Lantern", Lantern}, {"Anchor", Anchor}, {"Flower", Flower}, {"Star", StarEmblem}};
    void (*design)(TCanvas&, TColor) = nullptr;
    for (const auto& [name, fn] : kDesigns)
        if (quest.find(name) != std::string::npos) design = fn;
    if (!design) design = kDesigns[h % (sizeof kDesigns / sizeof kDesigns[0])].second;
    TColor col = Mix(metal, Rgb(255, 250, 240), 0.15f);
    if (quest.find("Leaf") != std::string::npos) col = Rgb(110, 190, 90);
    if (quest.find("Flower") != std::string::npos) col = Rgb(230, 110, 160);
    design(c, col);
    return c;
}

}  // namespace forge
