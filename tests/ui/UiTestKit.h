// What the interface tests share: a drawing interface that records every
// call, a font whose every character is 10 pixels wide and 20 high, and an
// engine wired to both, a handler table and a clock the test moves.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "base/OrvFontEngine.h"
#include "base/OrvGraphic.h"
#include "base/OrvUnicode.h"
#include "ui/OrvInterfaceEngine.h"
#include "ui/OrvInterfaceObject.h"
#include "ui/OrvMethodTable.h"

struct TDrawCall {
    std::string Picture;
    int32_t X = 0;
    int32_t Y = 0;
    uint8_t Alpha = 0;
    bool HasSource = false;
    TRect Source{};
};

struct TTextCall {
    std::u16string Text;  // rebuilt from the glyphs' source columns
    int32_t X = 0;
    int32_t Y = 0;
    uint32_t Colour = 0;
};

class TFakeGraphic : public IOrvGraphic {
public:
    void Draw(const std::string& picture, const std::string&, TBlendingMode, int32_t x, int32_t y, uint8_t alpha,
              const TRect* source) override {
        TDrawCall c{picture, x, y, alpha, source != nullptr, source ? *source : TRect{}};
        draws.push_back(c);
    }
    void DrawBumpMap(const std::string& picture, const std::string&, int32_t, int32_t) override {
        bumps.push_back(picture);
    }
    void DrawRect(const std::string&, const TRect& rect, uint32_t colour, uint8_t alpha, int32_t) override {
        rects.push_back(rect);
        rectColours.push_back(colour);
        rectAlphas.push_back(alpha);
    }
    // Glyph i of the test font lies at x = 10 * (code - 32), so the text can
    // be read back from the batch.
    void ExtDraw(const std::string&, int32_t count) override {
        TTextCall t;
        for (int32_t i = 0; i < count; ++i) {
            const TGlyphItem& g = fonts->CharsRects[static_cast<size_t>(i)];
            if (i == 0) {
                t.X = g.X;
                t.Y = g.Y;
                t.Colour = g.Colour;
            }
            t.Text += static_cast<char16_t>(g.Source.Left / 10 + 32);
        }
        texts.push_back(t);
    }
    void DrawColoredAlpha(const std::string&, const std::string&, int32_t, int32_t, uint32_t, uint8_t) override {}
    void GetPictureSize(int32_t& w, int32_t& h, const std::string& picture) override {
        const auto it = sizes.find(picture);
        w = it == sizes.end() ? 0 : it->second.first;
        h = it == sizes.end() ? 0 : it->second.second;
    }
    void GetScreenSize(int32_t& w, int32_t& h) override {
        w = 800;
        h = 600;
    }
    void PlaySound(const std::string& sound) override { sounds.push_back(sound); }
    void PostFormDraw(const std::string& form) override { postDraws.push_back(form); }
    void LowExtDraw(const std::string&, int32_t, int32_t, uint32_t, uint8_t, const TRect*) override {}

    void Reset() {
        draws.clear();
        rects.clear();
        rectColours.clear();
        rectAlphas.clear();
        texts.clear();
        postDraws.clear();
        bumps.clear();
    }
    // The drawn texts as UTF-8, in drawing order.
    std::vector<std::string> Texts() const {
        std::vector<std::string> out;
        for (const TTextCall& t : texts) out.push_back(Utf16ToUtf8(t.Text));
        return out;
    }
    const TTextCall* FindText(const std::string& text) const {
        for (const TTextCall& t : texts)
            if (Utf16ToUtf8(t.Text) == text) return &t;
        return nullptr;
    }

    const TOrvFontEngine* fonts = nullptr;
    std::map<std::string, std::pair<int32_t, int32_t>> sizes;
    std::vector<TDrawCall> draws;
    std::vector<TRect> rects;
    std::vector<uint32_t> rectColours;
    std::vector<uint8_t> rectAlphas;
    std::vector<TTextCall> texts;
    std::vector<std::string> sounds;
    std::vector<std::string> postDraws;
    std::vector<std::string> bumps;
};

// "<o c=...><p n=...>...</p>...</o>" for a list of property name/value pairs.
inline std::string Obj(const std::string& cls, const std::vector<std::pair<std::string, std::string>>& props) {
    std::string out = "<o c=\"" + cls + "\">";
    for (const auto& [n, v] : props) out += "<p n=\"" + n + "\">" + v + "</p>";
    return out + "</o>";
}

class TUiTest : public ::testing::Test {
protected:
    TUiTest() {
        RegisterInterfaceClasses(TOrvClassReg::Instance());
        std::string metrics;
        for (int c = 32; c < 127; ++c) {
            if (!metrics.empty()) metrics += ',';
            metrics += std::to_string(c) + ":" + std::to_string((c - 32) * 10) + ":0:0:10:0";
        }
        fonts.LoadFontsFromString("<Font><Name>F</Name><Height>20</Height><Picture>F.png</Picture><Metrics>" + metrics +
                                  "</Metrics></Font>");
        graphic.fonts = &fonts;
        fonts.Graphic = &graphic;
        ui.Graphic = &graphic;
        ui.Fonts = &fonts;
        ui.Owner = &methods;
        ui.Clock = [this] { return now; };
        ui.GetClipboardText = [this] { return clipboard; };
        ui.SetClipboardText = [this](const std::string& t) { clipboard = t; };
    }

    // Loads an interface file made of the given <o> elements.
    void Load(const std::string& objects) {
        ui.LoadInterfaceFromString("<OrvInterface>" + objects + "</OrvInterface>");
    }

    template <class T>
    T& Get(const std::string& name) {
        T* obj = ui.FindObjectAs<T>(name);
        EXPECT_NE(obj, nullptr) << name;
        if (obj == nullptr) throw std::runtime_error("no object " + name);
        return *obj;
    }
    void Click(int32_t x, int32_t y) {
        ui.MouseDown(mbLeft, ssLeft, x, y);
        ui.MouseUp(mbLeft, 0, x, y);
    }
    void Key(int32_t key, TShiftState shift = 0) { ui.KeyDown(key, shift); }
    void Type(const std::u16string& text) {
        for (char16_t c : text) ui.KeyPress(c);
    }
    std::vector<std::string> Stack() const {
        std::vector<std::string> names;
        for (const auto* f : ui.ModalStack) names.push_back(f->Name());
        return names;
    }

    TOrvFontEngine fonts;
    TFakeGraphic graphic;
    TOrvInterfaceEngine ui;
    TOrvMethodTable methods;
    uint32_t now = 0;
    std::string clipboard;
};
