#include "InterfacePreview.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>

#include "base/FileFolder.h"
#include "base/OrvException.h"
#include "base/OrvStream.h"
#include "media/PNGMorf.h"
#include "render/PictureCodec.h"

namespace fs = std::filesystem;

namespace forge {

namespace {

bool IsBlank(uint32_t c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string Encode(const std::vector<uint32_t>& cps, size_t from, size_t to) {
    std::string out;
    for (size_t i = from; i < to; ++i) {
        uint32_t c = cps[i];
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

int Advance(const TBitmapFont& font, uint32_t c) {
    const TGlyph& g = font.GlyphOf(c > 0xFFFF ? 0 : c);
    return g.A + g.B + g.C;
}

// The pictures as the game sees them once the archive is prepared.
class TPictures {
public:
    explicit TPictures(const TContentBuild& build) : ready_(TFileFolder::CreateNew("temp/game.zxc")) {
        TFileFolder packed = TFileFolder::CreateNew("game.zxc");
        for (const TArchiveEntry& e : build.Entries()) {
            TMemoryStream s(e.Bytes);
            packed.AddFile(e.Name, e.Kind, s);
        }
        TPNGMorf(kJpegQuality).ConvertArchive(packed, ready_);
    }
    const TCanvas* Get(const std::string& name) {
        if (name.empty()) return nullptr;
        auto it = cache_.find(name);
        if (it != cache_.end()) return it->second.get();
        std::unique_ptr<TCanvas> c;
        if (TMemoryStream* s = ready_.Stream(name)) {
            try {
                TPicture p = ConvertChannels(DecodePicture(s->Data(), s->Size()), 4);
                c = std::make_unique<TCanvas>(p.Width, p.Height);
                for (int y = 0; y < p.Height; ++y)
                    for (int x = 0; x < p.Width; ++x) {
                        const uint8_t* q = p.Row(y) + 4 * x;
                        c->At(x, y) = TColor{q[0] / 255.0f, q[1] / 255.0f, q[2] / 255.0f, q[3] / 255.0f};
                    }
            } catch (const OrvException&) {
            }
        }
        return (cache_[name] = std::move(c)).get();
    }

private:
    TFileFolder ready_;
    std::map<std::string, std::unique_ptr<TCanvas>> cache_;
};

TColor FromGameColour(const std::string& v) {
    long c = std::atol(v.c_str());
    return Rgb(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

const TBitmapFont* FontOf(const TContentBuild& build, const std::string& name) {
    for (const TBitmapFont& f : build.Fonts())
        if (f.Name == name) return &f;
    return nullptr;
}

struct TPainter {
    const TContentBuild& build;
    TPictures& pictures;
    std::map<std::string, const TUiResolved*> byName;
    std::map<std::string, std::vector<const TUiResolved*>> children;
    std::vector<std::string> forcedVisible;

    int Int(const TUiResolved& o, const char* prop, int def = 0) const {
        std::string v = o.Get(prop);
        return v.empty() ? def : std::atoi(v.c_str());
    }
    bool Visible(const TUiResolved& o) const {
        if (std::find(forcedVisible.begin(), forcedVisible.end(), o.Name) != forcedVisible.end()) return true;
        std::string v = o.Get("Visible", "true");
        return v == "true" || v == "True";
    }
    void Size(const TUiResolved& o, int& w, int& h) const {
        w = Int(o, "Width");
        h = Int(o, "Height");
        if (o.Get("AutoSize") == "asPicture") build.PictureSize(o.Get("Picture"), w, h);
    }
    void Picture(TCanvas& c, const TUiResolved& o, const std::string& name, int x, int y, int w, int h, int alpha) {
        const TCanvas* p = pictures.Get(name);
        if (!p) return;
        std::string ha = o.Get("PictureHAlign"), va = o.Get("PictureVAlign");
        int px = ha == "phaCenter" ? w / 2 - p->Width() / 2 : ha == "phaRight" ? w - p->Width() : 0;
        int py = va == "pvaCenter" ? h / 2 - p->Height() / 2 : va == "pvaBottom" ? h - p->Height() : 0;
        c.Draw(*p, x + px, y + py, float(alpha) / 255.0f);
    }
    void Text(TCanvas& c, const TUiResolved& o, int x, int y, int w, int h, bool rich) {
        std::string caption = o.Get("Caption");
        const TBitmapFont* font = FontOf(build, o.Get("FontName", "OrvUnicode"));
        if (caption.empty() || !font) return;
        int shiftL = Int(o, "TextShiftLeft"), shiftT = Int(o, "TextShiftTop"), space = Int(o, "LineSpace");
        int avail = w;
        if (o.Class == "TOrvCheckBox" || o.Class == "TOrvRadioButton") {
            int bw = 0, bh = 0;
            build.PictureSize(o.Get("Picture"), bw, bh);
            avail -= bw;
        }
        std::vector<TTextLine> lines =
            rich ? BreakRichText(*font, caption, avail - shiftL) : BreakLabelText(*font, caption, avail);
        if (o.Class == "TOrvHint") h = TextBlockHeight(*font, lines, space) + shiftT;
        int block = TextBlockHeight(*font, lines, space);
        std::string layout = o.Get("Layout"), align = o.Get("Alignment");
        int top = shiftT + (rich ? 0 : layout == "tlCenter" ? (h - block) / 2 : layout == "tlBottom" ? h - block : 0);
        TColor colour = FromGameColour(o.Get("Color", "0"));
        if (o.Class == "TOrvRadioButton" && o.Get("Checked") == "true")
            colour = FromGameColour(o.Get("CheckedColor", "0"));
        for (const TTextLine& l : lines) {
            int a = rich ? l.Align : align == "taCenter" ? 1 : align == "taRight" ? 2 : 0;
            int lx = a == 1 ? (avail - l.Width) / 2 + shiftL : a == 2 ? avail - l.Width + shiftL : shiftL;
            if (rich && a != 0) lx = (a == 1 ? (avail - shiftL - l.Width) / 2 : avail - shiftL - l.Width) + shiftL;
            DrawText(c, *font, x + lx, y + top, l.Text, colour);
            top += font->Height + space + l.Extra;
        }
    }
    void Object(TCanvas& c, const TUiResolved& o, int px, int py) {
        if (!Visible(o)) return;
        int x = px + Int(o, "Left"), y = py + Int(o, "Top"), w = 0, h = 0;
        Size(o, w, h);
        int alpha = Int(o, "PictureAlpha", 255);
        const std::string& cls = o.Class;
        if (cls == "TOrvMoving") {
            std::string seq = o.Get("Picture");
            std::string name = seq.substr(0, seq.find(':'));
            int frames = std::max(1, std::atoi(seq.substr(seq.find(':') + 1).c_str()));
            if (const TCanvas* p = pictures.Get(name)) c.Draw(p->Crop(0, 0, p->Width() / frames, p->Height()), x, y);
            return;
        }
        if (cls == "TOrvHint") return;  // hints are on their own sheet
        std::string pic = o.Get("Picture");
        if ((cls == "TOrvCheckBox" || cls == "TOrvRadioButton") && o.Get("Checked") == "true")
            pic = o.Get("MouseDownPicture", pic);
        Picture(c, o, pic, x, y, w, h, alpha);
        if (cls == "TOrvSlider") {
            bool vertical = o.Get("Orientation") == "trVertical";
            Picture(c, o, o.Get("UpPicture"), x, y, w, h, 255);
            int bw = 0, bh = 0;
            build.PictureSize(o.Get("DownPicture"), bw, bh);
            if (const TCanvas* d = pictures.Get(o.Get("DownPicture")))
                c.Draw(*d, vertical ? x : x + w - bw, vertical ? y + h - bh : y);
            build.PictureSize(o.Get("BarPicture"), bw, bh);
            int pos = Int(o, "Position"), lo = Int(o, "Min"), hi = std::max(lo + 1, Int(o, "Max", 100));
            if (const TCanvas* b = pictures.Get(o.Get("BarPicture"))) {
                int track = (vertical ? h : w) - 2 * (vertical ? Int(o, "BarShiftTop") : Int(o, "BarShiftLeft")) -
                            (vertical ? bh : bw);
                int off = track * (pos - lo) / (hi - lo);
                c.Draw(*b, x + Int(o, "BarShiftLeft") + (vertical ? 0 : off),
                       y + Int(o, "BarShiftTop") + (vertical ? off : 0));
            }
            return;
        }
        if (cls == "TOrvProgressBar") {
            const TCanvas* bar = pictures.Get(o.Get("BarPicture"));
            int step = Int(o, "StepWidth"), shift = Int(o, "BarShiftLeft");
            if (bar && step > 0)
                for (int k = 0; k < (w - 2 * shift) / step * 3 / 5; ++k)
                    c.Draw(*bar, x + shift + k * step, y + Int(o, "BarShiftTop"));
            return;
        }
        if (cls == "TOrvGrid") {
            const TBitmapFont* font = FontOf(build, "OrvUnicode");
            int rows = Int(o, "RowsHeight", 28), border = Int(o, "BorderWidth");
            if (const TCanvas* cur = pictures.Get(o.Get("CursorPicture"))) c.Draw(*cur, x + border, y + border);
            static const char* kSample[] = {"AutoSave", "QuickSave", "Evening by the sea", "Garden, level 5.3"};
            for (int r = 0; r < 4 && font; ++r)
                DrawText(c, *font, x + border + 10, y + border + r * rows + (rows - font->Height) / 2, kSample[r],
                         Rgb(58, 36, 20));
            return;
        }
        if (cls == "TOrvEdit") {
            const TBitmapFont* font = FontOf(build, o.Get("FontName", "OrvUnicode"));
            std::string text = o.Get("Caption", "Evening by the sea");
            if (text.empty()) text = "Evening by the sea";
            if (font) {
                int end = DrawText(c, *font, x + Int(o, "TextShiftLeft"), y + Int(o, "TextShiftTop"), text,
                                   FromGameColour(o.Get("Color", "0")));
                if (const TCanvas* caret = pictures.Get(o.Get("CursorPicture")))
                    c.Draw(*caret, end + 1, y + Int(o, "TextShiftTop"));
            }
            return;
        }
        bool rich = cls == "TOrvRichLabel";
        Text(c, o, x, y, w, h, rich);
        for (const TUiResolved* child : children[o.Name]) Object(c, *child, x, y);
    }
};

}  // namespace

std::vector<TTextLine> BreakLabelText(const TBitmapFont& font, const std::string& text, int width) {
    std::vector<uint32_t> cps = DecodeUtf8(text);
    for (uint32_t& c : cps)
        if (IsBlank(c)) c = ' ';
    std::vector<TTextLine> out;
    size_t start = 0;
    while (start < cps.size()) {
        int w = 0;
        size_t i = start, lastBlank = std::string::npos;
        while (i < cps.size()) {
            int a = Advance(font, cps[i]);
            if (w + a > width && i > start) break;
            if (cps[i] == ' ') lastBlank = i;
            w += a;
            ++i;
        }
        size_t end = i, next = i;
        if (i < cps.size() && lastBlank != std::string::npos && lastBlank > start) {
            end = lastBlank;
            next = lastBlank;
            while (next < cps.size() && cps[next] == ' ') ++next;
        }
        TTextLine l;
        l.Text = Encode(cps, start, end);
        l.Width = font.TextWidth(l.Text);
        out.push_back(l);
        start = next;
    }
    return out;
}

std::vector<TTextLine> BreakRichText(const TBitmapFont& font, const std::string& text, int width) {
    std::vector<TTextLine> out;
    int align = 0;
    std::string para;
    auto flush = [&](int extra) {
        std::vector<TTextLine> lines = BreakLabelText(font, para, width);
        if (lines.empty()) lines.push_back(TTextLine{});
        for (TTextLine& l : lines) l.Align = align;
        lines.back().Extra = extra;
        out.insert(out.end(), lines.begin(), lines.end());
        para.clear();
    };
    size_t i = 0;
    while (i < text.size()) {
        if (text.compare(i, 2, "{{") == 0) {
            para += '{';
            i += 2;
            continue;
        }
        if (text[i] != '{') {
            para += text[i++];
            continue;
        }
        size_t close = text.find('}', i);
        if (close == std::string::npos) {  // an unclosed brace is text
            para += text.substr(i);
            break;
        }
        std::string tag = text.substr(i + 1, close - i - 1);
        i = close + 1;
        if (tag == "BR/" || tag.rfind("BR ", 0) == 0) {
            flush(tag == "BR/" ? 0 : std::atoi(tag.c_str() + 3));
        } else if (tag == "Center" || tag == "Left" || tag == "Right" || tag == "Justify") {
            if (!para.empty()) flush(0);
            align = tag == "Center" ? 1 : tag == "Right" ? 2 : 0;
        } else if (tag == "/Center" || tag == "/Left" || tag == "/Right" || tag == "/Justify") {
            if (!para.empty()) flush(0);
            align = 0;
        }
        // Other tags (tables, links, line heights) only place text; their
        // words are laid out as plain text.
    }
    if (!para.empty()) flush(0);
    return out;
}

int TextBlockHeight(const TBitmapFont& font, const std::vector<TTextLine>& lines, int lineSpace) {
    if (lines.empty()) return 0;
    int h = int(lines.size()) * font.Height + (int(lines.size()) - 1) * lineSpace;
    for (size_t i = 0; i + 1 < lines.size(); ++i) h += lines[i].Extra;
    return h;
}

int WriteFormPreviews(const TContentBuild& build, const std::string& dir, const std::string& language) {
    // The objects with the captions of the language asked for.
    std::vector<TUiResolved> objects = build.UiObjects();
    if (!language.empty()) {
        const auto& langs = build.Languages();
        auto lang = std::find_if(langs.begin(), langs.end(), [&](const TUiTexts& t) { return t.Code == language; });
        if (lang == langs.end()) throw OrvException("forge --forms: no language " + language);
        for (TUiResolved& o : objects)
            if (const std::string* text = lang->Find(o.Name)) o.All.push_back(TUiProp{"Caption", *text});
    }
    fs::create_directories(dir);
    TPictures pictures(build);
    TPainter p{build, pictures, {}, {}, {}};
    for (const TUiResolved& o : objects) {
        p.byName[o.Name] = &o;
        if (o.Parent != kScreenParent) p.children[o.Parent].push_back(&o);
    }
    // The pages a player sees first on the between-levels window and help.
    p.forcedVisible = {"WBetweenLevel_TChapter1", "WBetweenLevel_TChapter1.1", "WBetweenLevel_TNewGame",
                       "WBetweenLevel_TPlay", "WBetweenLevel_MEconomy"};
    int written = 0;
    for (const TUiResolved& o : objects) {
        if (o.Parent != kScreenParent || o.Class != "TOrvForm" || o.Name == "WResource") continue;
        TCanvas c(800, 600, Rgb(0, 0, 0));
        if (o.Name == "WGame" || o.Name == "WGameMenu" || o.Name == "WLevelComplete" || o.Name == "WGameOver" ||
            o.Name == "WUpgrade" || o.Name == "WSkills" || o.Name == "WAbortLevel") {
            if (const TCanvas* scene = pictures.Get("Scene1.jpg")) c.Draw(scene->Crop(0, 0, 650, 590), 5, 5);
            if (const TCanvas* frame = pictures.Get("GamePlay1.jpg")) {
                c.Draw(frame->Crop(655, 0, 145, 600), 655, 0);
                c.Draw(frame->Crop(0, 0, 655, 5), 0, 0);
                c.Draw(frame->Crop(0, 5, 5, 595), 0, 5);
                c.Draw(frame->Crop(5, 595, 650, 5), 5, 595);
            }
        } else if (const TCanvas* title = pictures.Get("TitleBack.jpg")) {
            c.Draw(*title, 0, 0);
        }
        TUiResolved shown = o;
        p.forcedVisible.push_back(o.Name);
        p.Object(c, shown, 0, 0);
        p.forcedVisible.pop_back();
        SavePNGFile(dir + "/" + o.Name + ".png", c.ToRGB());
        ++written;
    }
    // Every hint in its balloon (or on its background), three to a row.
    std::vector<const TUiResolved*> hints;
    for (const TUiResolved& o : objects)
        if (o.Class == "TOrvHint") hints.push_back(&o);
    TCanvas sheet(3 * 290, int((hints.size() + 2) / 3) * 170 + 10, Rgb(70, 90, 110));
    for (size_t i = 0; i < hints.size(); ++i) {
        const TUiResolved& h = *hints[i];
        int x = 10 + int(i % 3) * 290, y = 10 + int(i / 3) * 170;
        int w = p.Int(h, "Width"), hh = p.Int(h, "Height");
        if (h.Get("Picture").empty())
            sheet.FillRect(x, y, x + w + 32, y + hh + 20, [&](int, int) {
                return WithAlpha(FromGameColour(h.Get("BackGroundColor", "0")),
                                 p.Int(h, "BackGroundAlpha", 200) / 255.0f);
            });
        else
            p.Picture(sheet, h, h.Get("Picture"), x, y, w, hh, 255);
        p.Text(sheet, h, h.Get("Picture").empty() ? x + 16 : x, h.Get("Picture").empty() ? y + 10 : y, w, hh, true);
    }
    SavePNGFile(dir + "/hints.png", sheet.ToRGB());
    return written + 1;
}

}  // namespace forge
