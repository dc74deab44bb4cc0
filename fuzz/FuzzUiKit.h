// What the interface fuzz targets share: a drawing interface that checks
// what it is handed (every glyph batch within the font engine's batch) and
// invents picture sizes from their names, a font, and a session of input,
// animation and drawing over every window of a loaded interface.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/OrvException.h"
#include "base/OrvFontEngine.h"
#include "base/OrvGraphic.h"
#include "ui/OrvInterfaceEngine.h"
#include "ui/OrvInterfaceObject.h"

class TFuzzGraphic : public IOrvGraphic {
public:
    explicit TFuzzGraphic(const TOrvFontEngine& fonts) : fonts_(fonts) {}
    void Draw(const std::string&, const std::string&, TBlendingMode, int32_t, int32_t, uint8_t, const TRect*) override {
        ++draws;
    }
    void DrawBumpMap(const std::string&, const std::string&, int32_t, int32_t) override {}
    void DrawRect(const std::string&, const TRect&, uint32_t, uint8_t, int32_t) override { ++draws; }
    void ExtDraw(const std::string&, int32_t count) override {
        if (count < 0 || static_cast<size_t>(count) > fonts_.CharsRects.size()) std::abort();
        for (int32_t i = 0; i < count; ++i) sum += static_cast<uint32_t>(fonts_.CharsRects[static_cast<size_t>(i)].X);
    }
    void DrawColoredAlpha(const std::string&, const std::string&, int32_t, int32_t, uint32_t, uint8_t) override {}
    // Sizes from the name, so pictures are found, missing and odd alike.
    void GetPictureSize(int32_t& w, int32_t& h, const std::string& picture) override {
        uint32_t hash = 2166136261u;
        for (const char c : picture) hash = (hash ^ static_cast<uint8_t>(c)) * 16777619u;
        w = picture.empty() || hash % 7 == 0 ? 0 : static_cast<int32_t>(1 + hash % 400);
        h = w == 0 ? 0 : static_cast<int32_t>(1 + (hash >> 9) % 300);
    }
    void GetScreenSize(int32_t& w, int32_t& h) override {
        w = 800;
        h = 600;
    }
    void PlaySound(const std::string&) override {}
    void PostFormDraw(const std::string&) override {}
    void LowExtDraw(const std::string&, int32_t, int32_t, uint32_t, uint8_t, const TRect*) override {}

    uint64_t draws = 0;
    uint32_t sum = 0;

private:
    const TOrvFontEngine& fonts_;
};

// Fonts "F" (every printable ASCII character) and "G" (a few, with odd
// advances), an engine drawing through the fuzz graphic, and a clock.
struct TFuzzUi {
    TFuzzUi() : graphic(fonts) {
        RegisterInterfaceClasses(TOrvClassReg::Instance());
        std::string metrics;
        for (int c = 32; c < 127; ++c)
            metrics +=
                (metrics.empty() ? "" : ",") + std::to_string(c) + ":" + std::to_string((c - 32) * 9) + ":0:1:7:1";
        fonts.LoadFontsFromString("<Font><Name>F</Name><Height>16</Height><Picture>F.png</Picture><Metrics>" + metrics +
                                  "</Metrics></Font>");
        fonts.LoadFontsFromString(
            "<Font><Name>G</Name><Height>0</Height><Metrics>65:0:0:-5:-3:9,32:0:0,66:1:1:0:2000000000:0</Metrics>"
            "</Font>");
        fonts.Graphic = &graphic;
        ui.Graphic = &graphic;
        ui.Fonts = &fonts;
        ui.Clock = [this] { return now; };
        ui.GetClipboardText = [] { return std::string("pasted <text>\n12;\"x\""); };
        ui.SetClipboardText = [](const std::string&) {};
    }

    // Shows every window, drives the mouse over a grid of points with every
    // button, presses keys and types, lets time pass and draws; a script
    // error (a bad property value, a handler that does not exist) is the
    // file's and is caught.
    void Exercise() {
        for (size_t i = 0; i < ui.Objects.size(); ++i)
            if (auto* o = dynamic_cast<TOrvInterfaceObject*>(ui.Objects[i].get()); o && o->ParentUI() == nullptr)
                Try([&] { ui.ShowModal(o->Name()); });
        for (int round = 0; round < 3 && !ui.ModalStack.empty(); ++round) {
            for (int32_t y = -10; y < 620; y += 45)
                for (int32_t x = -10; x < 820; x += 55) {
                    Try([&] { ui.MouseMove(ssLeft, x, y); });
                    Try([&] { ui.MouseDown(mbLeft, ssLeft, x, y); });
                    Try([&] { ui.MouseMove(ssLeft, x + 30, y + 7); });
                    Try([&] { ui.MouseUp(mbLeft, 0, x + 30, y + 7); });
                    bool handled = false;
                    Try([&] { ui.MouseWheel(0, (x & 1) ? 240 : -120, TPoint{x, y}, handled); });
                }
            for (int32_t key : {VK::Tab, VK::Left, VK::Right, VK::Home, VK::End, VK::Back, VK::Delete, VK::Up, VK::Down,
                                VK::Prior, VK::Next}) {
                int32_t k = key;
                Try([&] { ui.KeyDown(k, round == 1 ? TShiftState{ssShift} : TShiftState{0}); });
            }
            for (char16_t c : std::u16string(u"a7<\x01\x03\x16\x18 \x0d\u0416")) Try([&] { ui.KeyPress(c); });
            now += 777;
            ui.TickTopModal();
            TRects dirty;
            ui.CollectDirtyRects(dirty);
            ui.CollectUpdateRect();
            ui.DrawModal();
            Try([&] { ui.HideTopModal(); });
        }
        ui.HideModalList();
        ui.DrawModal();
    }

    template <class F>
    static void Try(F f) {
        try {
            f();
        } catch (const OrvException&) {
        }
    }

    TOrvFontEngine fonts;
    TFuzzGraphic graphic;
    TOrvInterfaceEngine ui;
    uint32_t now = 0;
};
