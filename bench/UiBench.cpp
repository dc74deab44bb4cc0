// Speed of the interface engine: drawing a full-screen window of 40 controls
// through the surface engine at 32 bits, laying out a rich label of 2000
// characters, and reading an interface file the size of the game's.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <string>

#include "base/OrvFontEngine.h"
#include "base/OrvGraphic.h"
#include "platform/Display.h"
#include "render/SurfEngine.h"
#include "ui/OrvInterfaceEngine.h"
#include "ui/OrvRichLabel.h"

namespace {

// The game engine's drawing services, reduced to the calls the interface
// makes: every one a thin call into the surface engine onto "MemoryBufer".
class TSurfaceGraphic : public IOrvGraphic {
public:
    TSurfaceGraphic(TSurfEngine& surfaces, const TOrvFontEngine& fonts) : s_(surfaces), fonts_(fonts) {}
    void Draw(const std::string& picture, const std::string&, TBlendingMode, int32_t x, int32_t y, uint8_t alpha,
              const TRect* source) override {
        s_.DrawWithAlphaChannel(picture, "MemoryBufer", x, y, alpha, source, 0, 0);
    }
    void DrawBumpMap(const std::string&, const std::string&, int32_t, int32_t) override {}
    void DrawRect(const std::string&, const TRect& rect, uint32_t colour, uint8_t alpha, int32_t) override {
        s_.DrawRect("MemoryBufer", rect, colour, alpha);
    }
    void ExtDraw(const std::string& picture, int32_t count) override {
        s_.DrawGlyphs(picture, "MemoryBufer", static_cast<size_t>(count), fonts_.CharsRects.data());
    }
    void DrawColoredAlpha(const std::string&, const std::string&, int32_t, int32_t, uint32_t, uint8_t) override {}
    void GetPictureSize(int32_t& w, int32_t& h, const std::string& picture) override {
        s_.GetPictureSize(picture, w, h);
    }
    void GetScreenSize(int32_t& w, int32_t& h) override {
        w = 800;
        h = 600;
    }
    void PlaySound(const std::string&) override {}
    void PostFormDraw(const std::string&) override {}
    void LowExtDraw(const std::string&, int32_t, int32_t, uint32_t, uint8_t, const TRect*) override {}

private:
    TSurfEngine& s_;
    const TOrvFontEngine& fonts_;
};

std::string Obj(const std::string& cls, const std::vector<std::pair<std::string, std::string>>& props) {
    std::string out = "<o c=\"" + cls + "\">";
    for (const auto& [n, v] : props) out += "<p n=\"" + n + "\">" + v + "</p>";
    return out + "</o>\r\n";
}

// A picture with a soft rounded edge in its opacity plane, like the game's buttons.
void MakePicture(TSurfEngine& s, const std::string& name, int32_t w, int32_t h, bool withAlpha) {
    s.CreateEmptySurface(name, w, h);
    s.ClearSurface(name, 0x80);
    if (!withAlpha) return;
    s.CreateAlphaChannel(name, 255);
    SurfaceRecord* r = s.GetSurface(name);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            const int32_t edge = std::min({x, y, w - 1 - x, h - 1 - y});
            r->AlphaMap[static_cast<size_t>(y) * static_cast<size_t>(r->AlphaStride) + static_cast<size_t>(x)] =
                static_cast<uint8_t>(std::min(255, edge * 64));
        }
}

// Fonts, surfaces and an engine drawing through them.
struct TUiScene {
    TUiScene() : surfaces(TPixelFormat::Xrgb8888(), 800, 600), graphic(surfaces, fonts) {
        RegisterInterfaceClasses(TOrvClassReg::Instance());
        std::string metrics;
        for (int c = 32; c < 127; ++c)
            metrics +=
                (metrics.empty() ? "" : ",") + std::to_string(c) + ":" + std::to_string((c - 32) * 10) + ":0:1:8:1";
        fonts.LoadFontsFromString("<Font><Name>F</Name><Height>18</Height><Picture>F.png</Picture><Metrics>" + metrics +
                                  "</Metrics></Font>");
        fonts.Graphic = &graphic;
        MakePicture(surfaces, "MemoryBufer", 800, 600, false);
        MakePicture(surfaces, "F.png", 950, 18, true);
        MakePicture(surfaces, "Back.jpg", 800, 600, false);
        MakePicture(surfaces, "Button.png", 200, 44, true);
        MakePicture(surfaces, "Box.png", 24, 24, true);
        ui.Graphic = &graphic;
        ui.Fonts = &fonts;
    }
    TOrvFontEngine fonts;
    TSurfEngine surfaces;
    TSurfaceGraphic graphic;
    TOrvInterfaceEngine ui;
};

// A full-screen window: its picture, 24 buttons with captions, 8 check boxes
// and 8 labels of text, 40 controls in all.
std::string FullScreenForm() {
    std::string text =
        Obj("TOrvForm",
            {{"Name", "W"}, {"ParentName", "Screen"}, {"Width", "800"}, {"Height", "600"}, {"Picture", "Back.jpg"}});
    for (int i = 0; i < 24; ++i)
        text += Obj("TOrvLabel", {{"Name", "W_B" + std::to_string(i)},
                                  {"ParentName", "W"},
                                  {"Left", std::to_string(20 + (i % 3) * 260)},
                                  {"Top", std::to_string(20 + (i / 3) * 52)},
                                  {"Width", "200"},
                                  {"Height", "44"},
                                  {"Picture", "Button.png"},
                                  {"FontName", "F"},
                                  {"Alignment", "taCenter"},
                                  {"Layout", "tlCenter"},
                                  {"Caption", "Button " + std::to_string(i)}});
    for (int i = 0; i < 8; ++i)
        text += Obj("TOrvCheckBox", {{"Name", "W_CB" + std::to_string(i)},
                                     {"ParentName", "W"},
                                     {"Left", "20"},
                                     {"Top", std::to_string(440 + i * 19)},
                                     {"Width", "360"},
                                     {"Height", "24"},
                                     {"Picture", "Box.png"},
                                     {"FontName", "F"},
                                     {"Caption", "Switch number " + std::to_string(i)}});
    for (int i = 0; i < 8; ++i)
        text += Obj("TOrvLabel", {{"Name", "W_L" + std::to_string(i)},
                                  {"ParentName", "W"},
                                  {"Left", "420"},
                                  {"Top", std::to_string(440 + i * 19)},
                                  {"Width", "360"},
                                  {"Height", "20"},
                                  {"FontName", "F"},
                                  {"Caption", "A line of text for label " + std::to_string(i)}});
    return "<OrvInterface>" + text + "</OrvInterface>";
}

void BM_DrawFullScreenFormOf40Controls(benchmark::State& state) {
    TUiScene scene;
    scene.ui.LoadInterfaceFromString(FullScreenForm());
    scene.ui.ShowModal("W");
    for (auto _ : state) {
        TRects dirty;
        scene.ui.CollectDirtyRects(dirty);
        scene.ui.DrawModal();
        benchmark::DoNotOptimize(dirty.data());
    }
    state.SetItemsProcessed(state.iterations() * 800 * 600);
}
BENCHMARK(BM_DrawFullScreenFormOf40Controls)->Unit(benchmark::kMicrosecond);

// Words of varied length with breaks, an aligned block, a table and links.
std::string RichText2000() {
    std::string text = "{Center}A title line{/Center}{BR 6/}";
    const char* words[] = {"pieces", "ride", "on", "belts", "across", "the", "picture", "and", "wait", "for", "you"};
    int n = 0;
    while (text.size() < 1700) {
        text += words[n % 11];
        text += (n % 37 == 36) ? "{BR/}" : " ";
        if (n % 53 == 52) text += "{Link Action=PlaySound Sound=\"a.ogg\";}a link{/Link} ";
        ++n;
    }
    text += "{Table}";
    while (text.size() < 2000) text += "{TRight 40/}12{TLeft 60/}Name{TRight 300/}3400{BR/}";
    return text + "{/Table}";
}

void BM_LayOutRichLabelOf2000Characters(benchmark::State& state) {
    TUiScene scene;
    scene.ui.LoadInterfaceFromString(
        "<OrvInterface>" + Obj("TOrvForm", {{"Name", "W"}, {"ParentName", "Screen"}}) +
        Obj("TOrvRichLabel",
            {{"Name", "W_R"}, {"ParentName", "W"}, {"Width", "500"}, {"Height", "400"}, {"FontName", "F"}}) +
        "</OrvInterface>");
    auto* rich = scene.ui.FindObjectAs<TOrvRichLabel>("W_R");
    const std::string text = RichText2000();
    for (auto _ : state) {
        rich->SetCaption(text);
        benchmark::DoNotOptimize(rich->Fragments().data());
    }
    state.SetLabel(std::to_string(text.size()) + " chars, " + std::to_string(rich->Fragments().size()) + " fragments");
}
BENCHMARK(BM_LayOutRichLabelOf2000Characters)->Unit(benchmark::kMicrosecond);

// 25 windows of 16 controls each with defaults: about the size of the
// game's interface file (340 objects, 160 kB).
std::string InterfaceFileText(int forms, int controls) {
    std::string text = "<OrvInterface>\r\n" + Obj("TOrvDefaults", {{"DefLine", "TOrvLabel;FontName;F"},
                                                                   {"DefLine", "TOrvLabel;Alignment;taCenter"},
                                                                   {"DefLine", "TOrvLabel;Layout;tlCenter"},
                                                                   {"DefLine", "TOrvLabel;SoundMouseUp;click.ogg"}});
    for (int f = 0; f < forms; ++f) {
        const std::string form = "WForm" + std::to_string(f);
        text += Obj("TOrvForm", {{"Name", form},
                                 {"ParentName", "Screen"},
                                 {"Width", "520"},
                                 {"Height", "440"},
                                 {"HAlign", "haCenter"},
                                 {"VAlign", "vaCenter"},
                                 {"Picture", "Back.jpg"},
                                 {"HeadLine", "0;0;520;40;"}});
        for (int c = 0; c < controls; ++c)
            text += Obj("TOrvLabel", {{"Name", form + "_B" + std::to_string(c)},
                                      {"ParentName", form},
                                      {"Left", std::to_string(20 + (c % 2) * 250)},
                                      {"Top", std::to_string(50 + (c / 2) * 46)},
                                      {"Width", "200"},
                                      {"Height", "44"},
                                      {"Picture", "Button.png"},
                                      {"MouseOverPicture", "Button.png"},
                                      {"MouseDownPicture", "Button.png"},
                                      {"TextDownShiftTop", "1"},
                                      {"Caption", "Control number " + std::to_string(c)},
                                      {"OnMouseUp", "PlaySound Sound=\"a.ogg\";HideModal Form=\"" + form + "\";"}});
    }
    return text + "</OrvInterface>\r\n";
}

void BM_LoadInterfaceFile(benchmark::State& state) {
    const std::string text = InterfaceFileText(25, 16);
    for (auto _ : state) {
        state.PauseTiming();
        auto scene = std::make_unique<TUiScene>();
        state.ResumeTiming();
        scene->ui.LoadInterfaceFromString(text);
        benchmark::DoNotOptimize(scene->ui.Count());
        state.PauseTiming();
        scene.reset();
        state.ResumeTiming();
    }
    state.SetLabel(std::to_string(text.size() / 1024) + " kB, 425 objects");
}
BENCHMARK(BM_LoadInterfaceFile)->Unit(benchmark::kMillisecond);

}  // namespace
