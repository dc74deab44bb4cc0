#include "InterfaceCheck.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>

#include "InterfacePreview.h"
#include "base/OrvException.h"
#include "base/OrvParser.h"

namespace forge {

namespace {

const std::set<std::string>& ClassNames() {
    static const std::set<std::string> kNames = {"TOrvForm",        "TOrvTabForm", "TOrvLabel",     "TOrvCheckBox",
                                                 "TOrvRadioButton", "TOrvEdit",    "TOrvSlider",    "TOrvGrid",
                                                 "TOrvProgressBar", "TOrvMoving",  "TOrvRichLabel", "TOrvHint"};
    return kNames;
}

bool IsForm(const std::string& cls) {
    return cls == "TOrvForm" || cls == "TOrvTabForm";
}

// name="value" pairs of a command or grid description, in order.
std::vector<std::pair<std::string, std::string>> Params(const std::string& s, size_t from, bool* ok) {
    std::vector<std::pair<std::string, std::string>> out;
    *ok = true;
    size_t i = from;
    for (;;) {
        while (i < s.size() && s[i] == ' ') ++i;
        if (i >= s.size()) return out;
        size_t eq = s.find('=', i);
        if (eq == std::string::npos || eq + 1 >= s.size() || s[eq + 1] != '"') {
            *ok = false;
            return out;
        }
        size_t close = s.find('"', eq + 2);
        if (close == std::string::npos) {
            *ok = false;
            return out;
        }
        std::string name = s.substr(i, eq - i);
        while (!name.empty() && name.back() == ' ') name.pop_back();
        out.emplace_back(name, s.substr(eq + 2, close - eq - 2));
        i = close + 1;
    }
}

std::string Param(const std::vector<std::pair<std::string, std::string>>& ps, const std::string& name) {
    for (const auto& p : ps)
        if (p.first == name) return p.second;
    return std::string();
}

bool HasParam(const std::vector<std::pair<std::string, std::string>>& ps, const std::string& name) {
    return std::any_of(ps.begin(), ps.end(), [&](const auto& p) { return p.first == name; });
}

const TBitmapFont* FontNamed(const TContentBuild& build, const std::string& name) {
    for (const TBitmapFont& f : build.Fonts())
        if (f.Name == name) return &f;
    return nullptr;
}

struct TChecker {
    const TContentBuild& build;
    const std::vector<std::string>& handlers;
    TCheckReport& r;
    std::map<std::string, const TUiResolved*> objects;
    std::set<std::string> surfaces;

    void Problem(const std::string& what) { r.Problems.push_back("interface: " + what); }

    void Picture(const TUiResolved& o, const std::string& prop, const std::string& name) {
        if (name.empty()) return;
        if (!build.HasPicture(name))
            Problem(o.Name + "." + prop + " names the picture " + name + ", which is not in the archive");
        else if (!surfaces.count(LowerAscii(name)))
            Problem(o.Name + "." + prop + " names the picture " + name + ", which surfaces.dat does not load");
    }
    void Sound(const std::string& where, const std::string& name) {
        // Without the audio (forge --check alone) there is nothing to look in.
        if (!build.FindEntry("sounds.dat")) return;
        if (!name.empty() && !build.FindEntry(name))
            Problem(where + " plays the sound " + name + ", which is not in the archive");
    }
    void Form(const std::string& where, const std::string& name) {
        auto it = objects.find(name);
        if (it == objects.end() || !IsForm(it->second->Class))
            Problem(where + " names the form \"" + name + "\", which does not exist");
    }

    void Script(const TUiResolved& o, const std::string& prop, const std::string& script) {
        std::string where = o.Name + "." + prop;
        std::string rest;
        for (const std::string& cmd : SplitScript(script, &rest)) {
            if (cmd.empty() || cmd[0] == ' ') {
                Problem(where + ": a command begins with a blank or is empty, so the game ignores it");
                continue;
            }
            size_t blank = cmd.find(' ');
            std::string name = cmd.substr(0, blank);
            bool ok = true;
            auto ps = blank == std::string::npos ? decltype(Params(cmd, 0, &ok)){} : Params(cmd, blank, &ok);
            if (!ok) {
                Problem(where + ": \"" + cmd + "\" is not Name=\"value\" syntax");
                continue;
            }
            if (name == "PlaySound") {
                if (!HasParam(ps, "Sound")) Problem(where + ": PlaySound without Sound");
                Sound(where, Param(ps, "Sound"));
            } else if (name == "ShowModal") {
                Form(where, Param(ps, "Form"));
            } else if (name == "HideModal") {
                if (!ps.empty()) Form(where, Param(ps, "Form"));
            } else if (name == "HideModalList") {
                if (!ps.empty()) Problem(where + ": HideModalList takes no parameters");
            } else if (name == "ChangeModal") {
                Form(where, Param(ps, "ShowForm"));
                if (ps.size() >= 2) Form(where, Param(ps, "HideForm"));
            } else if (name == "ExecMethod") {
                std::string m = Param(ps, "Method");
                if (std::find(handlers.begin(), handlers.end(), m) == handlers.end())
                    Problem(where + ": ExecMethod names \"" + m + "\", which is not a handler of the game");
            } else if (name == "SetProp") {
                std::string obj = Param(ps, "Object");
                if (!objects.count(obj))
                    Problem(where + ": SetProp names the object \"" + obj + "\", which does not exist");
                if (Param(ps, "Prop").empty()) Problem(where + ": SetProp without Prop");
            } else {
                Problem(where + ": unknown command \"" + name + "\"");
            }
        }
        std::string tail = rest;
        tail.erase(0, tail.find_first_not_of(' '));
        if (!tail.empty()) Problem(where + ": \"" + tail + "\" has no closing \";\", so the game drops it");
    }

    void GridDescriptions(const TUiResolved& o, const std::string& prop, const std::string& text) {
        std::string rest;
        for (const std::string& d : SplitScript(text, &rest)) {
            bool ok = true;
            auto ps = Params(d, 0, &ok);
            if (!ok) {
                Problem(o.Name + "." + prop + ": \"" + d + "\" is not Name=\"value\" syntax");
                continue;
            }
            std::string font = Param(ps, "FontName");
            if (!font.empty() && !FontNamed(build, font))
                Problem(o.Name + "." + prop + " names the font " + font + ", which is not built");
            Picture(o, prop, Param(ps, "Picture"));
        }
    }

    // The caption has to fit: no word wider than the line, the lines no
    // taller than the control.
    void Fit(const TUiResolved& o, const std::string& caption, int width, int height, const std::string& what) {
        const TBitmapFont* font = FontNamed(build, o.Get("FontName"));
        if (!font || caption.empty()) return;
        bool rich = o.Class == "TOrvRichLabel" || o.Class == "TOrvHint";
        int shiftL = std::atoi(o.Get("TextShiftLeft").c_str()), shiftT = std::atoi(o.Get("TextShiftTop").c_str());
        int space = std::atoi(o.Get("LineSpace").c_str());
        int avail = width;
        if (o.Class == "TOrvCheckBox" || o.Class == "TOrvRadioButton") {
            int bw = 0, bh = 0;
            build.PictureSize(o.Get("Picture"), bw, bh);
            avail -= bw;
        }
        if (rich) avail -= std::max(0, shiftL);
        std::vector<TTextLine> lines =
            rich ? BreakRichText(*font, caption, avail) : BreakLabelText(*font, caption, avail);
        for (const TTextLine& l : lines)
            if (l.Width > avail) {
                Problem(what + ": \"" + l.Text + "\" is " + std::to_string(l.Width) + " pixels wide in " + font->Name +
                        ", the control has room for " + std::to_string(avail));
                return;
            }
        if (!rich && (o.Class == "TOrvCheckBox" || o.Class == "TOrvRadioButton"))
            for (const TTextLine& l : lines)
                if (shiftL + l.Width > width) {
                    Problem(what + ": \"" + l.Text + "\" runs past the right edge of the control");
                    return;
                }
        int block = TextBlockHeight(*font, lines, space) + std::max(0, shiftT);
        if (block > height)
            Problem(what + " needs " + std::to_string(lines.size()) + " line(s), " + std::to_string(block) +
                    " pixels high in " + font->Name + "; the control is " + std::to_string(height) + " high");
    }

    void Size(const TUiResolved& o, int& w, int& h) {
        w = std::atoi(o.Get("Width").c_str());
        h = std::atoi(o.Get("Height").c_str());
        if (o.Get("AutoSize") == "asPicture") build.PictureSize(o.Get("Picture"), w, h);
    }

    void Caption(const TUiResolved& o) {
        std::string caption = o.Get("Caption");
        if (caption.empty() || o.Class == "TOrvEdit") return;
        if (!o.Get("FontName").empty() && !FontNamed(build, o.Get("FontName"))) return;  // reported with the fonts
        int w = 0, h = 0;
        Size(o, w, h);
        if (o.Class == "TOrvHint") {
            // A hint grows to its text; in a balloon the text must stay
            // inside the balloon's body, as the Height given says.
            if (o.Get("Picture").empty()) h = 1 << 20;
        }
        Fit(o, caption, w, h, o.Name + "'s caption");
    }
};

std::string UpperAscii(std::string s) {
    for (char& ch : s)
        if (ch >= 'a' && ch <= 'z') ch = char(ch - 'a' + 'A');
    return s;
}

// A text worth translating: one with a letter in it (numbers the game
// writes over, such as "0" or "+0 (7%)", need none).
bool HasLetter(const std::string& text) {
    for (uint32_t ch : DecodeUtf8(text))
        if ((ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || ch >= 0xC0) return true;
    return false;
}

// Every language other than English: a text for every visible caption, each
// fitting its control in its font, every character in that font, and the
// texts the game composes fitting where it puts them.
void CheckTranslations(TChecker& c, const TContentBuild& build) {
    const auto& languages = build.Languages();
    if (languages.empty()) return;
    for (const TUiTexts& t : languages) {
        const std::string where = "language " + t.Code + ": ";
        if (t.Code != "ENU" && !t.Find("WLanguage_RB" + t.Code))
            c.Problem(where + "no name of its own for its button (WLanguage_RB" + t.Code + ")");
        auto caption = [&](const std::string& name) {
            if (const std::string* s = t.Find(name)) return *s;
            auto it = c.objects.find(name);
            return it == c.objects.end() ? std::string() : it->second->Get("Caption");
        };
        for (const TUiResolved& o : build.UiObjects()) {
            const std::string english = o.Get("Caption");
            const std::string* text = t.Find(o.Name);
            if (!text) {
                if (HasLetter(english) && o.Class != "TOrvEdit")
                    c.Problem(where + "no text for " + o.Name + " (\"" + english + "\")");
                continue;
            }
            const TBitmapFont* font = FontNamed(build, o.Get("FontName"));
            if (font) {
                for (uint32_t ch : DecodeUtf8(*text))
                    if (ch >= 0x20 && std::none_of(font->Glyphs.begin(), font->Glyphs.end(),
                                                   [&](const TGlyph& g) { return g.Code == ch; })) {
                        c.Problem(where + o.Name + " uses U+" + std::to_string(ch) + ", which " + font->Name +
                                  " lacks");
                        break;
                    }
            }
            if (t.Code == "ENU" || o.Class == "TOrvEdit" || o.Parent == "WResource") continue;
            int w = 0, h = 0;
            c.Size(o, w, h);
            if (o.Class == "TOrvHint" && o.Get("Picture").empty()) h = 1 << 20;
            c.Fit(o, *text, w, h, where + o.Name);
        }
        if (t.Code == "ENU") continue;
        // The own button sits in the language window like English's.
        if (auto it = c.objects.find("WLanguage_RBENU"); it != c.objects.end())
            if (const std::string* own = t.Find("WLanguage_RB" + t.Code)) {
                int w = 0, h = 0;
                c.Size(*it->second, w, h);
                c.Fit(*it->second, *own, w, h, where + "WLanguage_RB" + t.Code);
            }
        auto composed = [&](const std::string& target, const std::string& text, const std::string& what) {
            auto it = c.objects.find(target);
            if (it == c.objects.end()) return;
            int w = 0, h = 0;
            c.Size(*it->second, w, h);
            c.Fit(*it->second, text, w, h, where + target + " showing " + what);
        };
        composed("WBetweenLevel_LCaption", caption("WResource_LSceneComp"), "WResource_LSceneComp");
        composed("WBetweenLevel_LCaption", caption("WGame_LLevel") + " 10.10", "the level number");
        composed("WLoadLevel_LLoadLevelText", caption("WResource_LLoadNextScene"), "WResource_LLoadNextScene");
        composed("WBetweenLevel_LEconomyLevel", caption("WResource_LLevel") + " 11", "the economy level");
        for (int n = 1; n <= 9; ++n) {
            std::string name = caption("WResource_LSkill" + std::to_string(n) + "_Label");
            std::string next = "+100% (" + caption("WResource_LLevel") + " 11)";
            composed("WUpgrade_LSkill1", name + " " + next, "skill " + std::to_string(n));
            composed("WSkills_LSkill" + std::to_string(n) + "_Label", next, "the skill's level");
        }
        for (const auto& item : t.Items)
            if (item.first.rfind("WResource_LQuest", 0) == 0)
                composed("WUpgrade_LArtefaktName", item.second, item.first);
    }
}

}  // namespace

std::vector<std::string> SplitScript(const std::string& script, std::string* rest) {
    std::vector<std::string> out;
    std::string buf;
    bool outside = true;
    for (char c : script) {
        if (c == '"') outside = !outside;
        if (c == ';' && outside) {
            out.push_back(buf);
            buf.clear();
            continue;
        }
        buf += c;
    }
    if (rest) *rest = buf;
    return out;
}

const std::vector<std::string>& GameHandlerNames() {
    // The handlers of the game window that the screens' scripts call.
    static const std::vector<std::string> kHandlers = {
        "WTitle_BNewGame_MouseUp",
        "WTitle_BQuit_MouseUp",
        "WGameMenu_BQuit_MouseUp",
        "WBetweenLevel_TNewGame_RNormal_MouseUp",
        "WBetweenLevel_TNewGame_RHard_MouseUp",
        "WBetweenLevel_TNewGame_RNoLose_MouseUp",
        "WBetweenLevel_BNextLevel_MouseUp",
        "WBetweenLevel_BOK_MouseUp",
        "WLevelComplete_BOk_MouseUp",
        "WGameOver_BOk_MouseUp",
        "WAbortLevel_BOk_MouseUp",
        "WGame_BMenu_MouseUp",
        "WGame_BHelp_MouseUp",
        "WGame_BQuit_MouseUp",
        "WGameMenu_BResume_MouseUp",
        "WHelp_BClose_MouseUp",
        "WQuit_BCancel_MouseUp",
        "WExitToMainMenu_BOk_MouseUp",
        "WStartGame_BBack_MouseUp",
        "WGame_BMize_MouseUp",
        "WStartGame_BPlay_MouseUp",
        "WGameFinished_BOk_MouseUp",
        "WGame_BUndo_MouseUp",
        "YesMouseUp",
        "WTitle_BLoadGame_MouseUp",
        "WBetweenLevel_BSaveGame_MouseUp",
        "WLoadGame_GFiles_MouseDown",
        "WSaveGame_GFiles_MouseDown",
        "WLoadGame_BLoad_MouseUp",
        "WSaveGame_BSave_MouseUp",
        "WReplace_BOk_MouseUp",
        "WLoadGame_BDelete_MouseUp",
        "WSaveGame_BDelete_MouseUp",
        "WDelete_BOk_MouseUp",
        "WGame_BQuickSave_MouseUp",
        "WOptions_SMusicVolume_Change",
        "WOptions_SSoundVolume_Change",
        "WOptions_BOk_MouseUp",
        "WOptions_BCancel_MouseUp",
        "WTitle_BHighScores_MouseUp",
        "WHighScores_BClear_MouseUp",
        "WClearHighScores_BOk_MouseUp",
        "WLanguage_BOk_MouseUp",
        "WUpgrade_BOk_MouseUp",
        "WUpgrade_BSkills_MouseUp",
        "WSkills_BClose_MouseUp",
        "AddLogoMouseUp",
        "WTitle_LQuorvaneLink_MouseUp",
    };
    return kHandlers;
}

std::vector<std::string> GameObjectNames(const TContentBuild& build) {
    std::vector<std::string> names = {
        "WTitle", "WGame", "WGameMenu", "WHelp", "WQuit", "WExitToMainMenu", "WAbortLevel", "WBetweenLevel",
        "WLevelComplete", "WGameOver", "WGameFinished", "WStartGame", "WUpgrade", "WSkills", "WSaveGame", "WLoadGame",
        "WReplace", "WDelete", "WOptions", "WHighScores", "WClearHighScores", "WLanguage", "WGameLoading", "WLoadLevel",
        "WResource",
        // controls the game reads or writes
        "WBetweenLevel_TNewGame", "WBetweenLevel_TOnGame", "WBetweenLevel_TOK", "WBetweenLevel_TGameOver",
        "WBetweenLevel_TNextScene", "WBetweenLevel_TPlay", "WBetweenLevel_TNewGame_RNormal",
        "WBetweenLevel_TNewGame_RHard", "WBetweenLevel_TNewGame_RNoLose", "WBetweenLevel_LCaption",
        "WBetweenLevel_LEconomyLevel", "WBetweenLevel_LPercent", "WBetweenLevel_MEconomy",
        "WBetweenLevel_TOnGame_LScoreCount", "WBetweenLevel_EName", "WGame_LScoreCount", "WGame_LLevelCount",
        "WGame_LLevel", "WGame_LShiftCount", "WGame_LShuffleCount", "WGame_BQuickSave", "WGame_HintChameleon",
        "WGame_HintClickChameleon", "WGame_HintArtefact", "WQuit_BOk", "WLevelComplete_BOk", "WGameLoading_LLoading",
        "WGameLoading_PBGameLoading", "WLoadLevel_LLoadLevelText", "WLoadLevel_PBLoadLevel", "WLoadGame_GFiles",
        "WLoadGame_ELoadFile", "WSaveGame_GFiles", "WSaveGame_ESaveFile", "WHighScores_GHighScores",
        "WOptions_CBFullScreen", "WOptions_CB32bitColor", "WOptions_CBTurnOffHints", "WOptions_SMusicVolume",
        "WOptions_SSoundVolume", "WLanguage_RBENU", "WResource_LLoadNextScene", "WResource_LSceneComp",
        "WResource_LLevel", "WUpgrade_LArtefakt", "WUpgrade_LArtefaktName", "WUpgrade_LQuestScore", "WUpgrade_LSkill1",
        "WUpgrade_LSkill2", "WUpgrade_LSkillBack1", "WUpgrade_LSkillBack2", "WUpgrade_RBCursorSkill1",
        "WUpgrade_RBCursorSkill2"};
    for (int n = 1; n <= 9; ++n) {
        std::string k = std::to_string(n);
        for (const std::string& s : {"WUpgrade_HSkill" + k, "WSkills_LSkill" + k + "_Label", "WSkills_MSkill" + k,
                                     "WSkills_HSkill" + k, "WResource_LSkill" + k + "_Label"})
            names.push_back(s);
    }
    const auto& scenes = build.Scenes();
    for (size_t i = 0; i < scenes.size(); ++i) {
        const TSceneSource& sc = scenes[i];
        std::string page = "WBetweenLevel_TChapter" + std::to_string(sc.Number);
        names.push_back(page);
        names.push_back(page + "_LPicture");
        for (size_t l = 0; l <= sc.Layers.size(); ++l) names.push_back(page + "." + std::to_string(l + 1));
        for (const TLayerSource& l : sc.Layers) names.push_back("WResource_LQuest" + l.Quest);
        // The final score shows on the last page of the last chapter.
        if (i + 1 == scenes.size())
            names.push_back(page + "." + std::to_string(sc.Layers.size() + 1) + "_LYourScoreCount");
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

void CheckInterface(const TContentBuild& build, const std::vector<std::string>& handlers, TCheckReport& report) {
    TChecker c{build, handlers, report, {}, {}};
    for (const std::string& s : build.SurfaceList()) c.surfaces.insert(LowerAscii(s));

    // The file itself, read back with the game's structure rules.
    const TArchiveEntry* li = build.FindEntry("Moswick.li");
    if (!li) {
        c.Problem("Moswick.li is not in the archive");
        return;
    }
    TOrvParser doc;
    try {
        doc.LoadFromString(std::string(li->Bytes.begin(), li->Bytes.end()));
    } catch (const OrvException& ex) {
        c.Problem("Moswick.li does not parse: " + std::string(ex.what()));
        return;
    }
    TOrvXMLTag* root = doc.GetTag(0);
    if (!root || root->Name != "OrvInterface") {
        c.Problem("Moswick.li has no OrvInterface root");
        return;
    }
    std::set<std::string> fileNames;
    for (int i = 0; i < root->TagCount(); ++i) {
        TOrvXMLTag* o = root->GetTag(i);
        if (o->Name != "o" || o->AttributeCount() != 1 || o->GetAttribute(0)->Name != "c" || o->TagCount() == 0) {
            c.Problem("Moswick.li element " + std::to_string(i) + " is not <o c=\"...\"> with properties");
            continue;
        }
        std::string cls = o->GetAttribute(0)->Value;
        if (cls == "TOrvDefaults") {
            if (i != 0) c.Problem("the defaults are not the first object");
            for (const auto& p : o->Tags)
                if (p->AttributeValue("n") != "DefLine" || std::count(p->Value.begin(), p->Value.end(), ';') < 2)
                    c.Problem("a default line is not \"Class;Property;Value\": " + p->Value);
            continue;
        }
        if (!ClassNames().count(cls)) c.Problem("class " + cls + " is not one the game registers");
        std::string name, parent;
        for (const auto& p : o->Tags) {
            if (p->Name != "p" || p->AttributeCount() != 1 || p->GetAttribute(0)->Name != "n")
                c.Problem("a property of " + name + " is not <p n=\"...\">");
            if (p->AttributeValue("n") == "Name") name = p->Value;
            if (p->AttributeValue("n") == "ParentName") parent = p->Value;
        }
        if (name.empty() || parent.empty()) c.Problem("an object of class " + cls + " lacks its Name or ParentName");
        if (!fileNames.insert(name).second) c.Problem("the name " + name + " is used twice");
    }

    for (const TUiResolved& o : build.UiObjects()) c.objects[o.Name] = &o;
    for (const std::string& n : GameObjectNames(build))
        if (!c.objects.count(n)) c.Problem("the game looks up " + n + ", which the interface file lacks");

    std::map<std::string, std::vector<int>> tabOrders;
    int scripts = 0;
    for (const TUiResolved& o : build.UiObjects()) {
        if (o.Parent != kScreenParent && o.Parent != "WResource") {
            auto p = c.objects.find(o.Parent);
            if (p == c.objects.end() || !IsForm(p->second->Class))
                c.Problem(o.Name + " lies in " + o.Parent + ", which is not a form");
        }
        for (const TUiProp& p : o.All) {
            const std::string& n = p.Name;
            if (n.rfind("On", 0) == 0) {
                c.Script(o, n, p.Value);
                ++scripts;
            } else if (n.rfind("Sound", 0) == 0 || n == "ButtonsSound") {
                c.Sound(o.Name + "." + n, p.Value);
            } else if (n == "FontName" || n == "FixedFontName") {
                if (!FontNamed(build, p.Value))
                    c.Problem(o.Name + "." + n + " names the font " + p.Value + ", which is not built");
            } else if (n == "AddColumns" || n == "AddCells" || n == "Cells") {
                c.GridDescriptions(o, n, p.Value);
            } else if (n == "TabOrder") {
                tabOrders[o.Parent].push_back(std::atoi(p.Value.c_str()));
            } else if (n == "Picture" && o.Class == "TOrvMoving") {
                std::string rest;
                for (const std::string& seq : SplitScript(p.Value, &rest))
                    c.Picture(o, n, seq.substr(0, seq.find(':')));
            } else if (n == "LinkedObjectName") {
                if (!c.objects.count(p.Value))
                    c.Problem(o.Name + " is linked to " + p.Value + ", which does not exist");
            } else if (n.find("Picture") != std::string::npos && n != "PictureAlpha" && n != "PictureHAlign" &&
                       n != "PictureVAlign") {
                c.Picture(o, n, p.Value);
            }
        }
        if (o.Parent != "WResource") c.Caption(o);
    }
    for (auto& [form, orders] : tabOrders) {
        std::sort(orders.begin(), orders.end());
        for (size_t i = 0; i < orders.size(); ++i)
            if (orders[i] != int(i)) {
                c.Problem("the Tab order of " + form + " is not 0.." + std::to_string(orders.size() - 1) +
                          " without gaps");
                break;
            }
    }

    // Captions the game composes from others: they must fit where it puts them.
    auto caption = [&](const std::string& name) {
        auto it = c.objects.find(name);
        return it == c.objects.end() ? std::string() : it->second->Get("Caption");
    };
    auto composed = [&](const std::string& target, const std::string& text, const std::string& what) {
        auto it = c.objects.find(target);
        if (it == c.objects.end()) return;
        int w = 0, h = 0;
        c.Size(*it->second, w, h);
        c.Fit(*it->second, text, w, h, target + " showing " + what);
    };
    composed("WBetweenLevel_LCaption", caption("WResource_LSceneComp"), "WResource_LSceneComp");
    composed("WBetweenLevel_LCaption", caption("WGame_LLevel") + " 10.10", "the level number");
    composed("WLoadLevel_LLoadLevelText", caption("WResource_LLoadNextScene"), "WResource_LLoadNextScene");
    composed("WLoadLevel_LLoadLevelText", caption("WGameLoading_LLoading"), "WGameLoading_LLoading");
    composed("WGame_BQuickSave", caption("WQuit_BOk"), "WQuit_BOk");
    composed("WGame_LScoreCount", "9999999", "a seven-digit score");
    composed("WBetweenLevel_TOnGame_LScoreCount", "9999999", "a seven-digit score");
    composed("WUpgrade_LQuestScore", "+400", "the quest bonus");
    composed("WBetweenLevel_LEconomyLevel", caption("WResource_LLevel") + " 11", "the economy level");
    composed("WBetweenLevel_LPercent", "+99999 (25%)", "the economy bonus");
    for (int n = 1; n <= 9; ++n) {
        std::string name = caption("WResource_LSkill" + std::to_string(n) + "_Label");
        std::string next = "+100% (" + caption("WResource_LLevel") + " 11)";
        composed("WUpgrade_LSkill1", name + " " + next, "skill " + std::to_string(n));
        composed("WSkills_LSkill" + std::to_string(n) + "_Label", next, "the skill's level");
    }
    for (const TUiResolved& o : build.UiObjects())
        if (o.Name.rfind("WResource_LQuest", 0) == 0) composed("WUpgrade_LArtefaktName", o.Get("Caption"), o.Name);

    // The language files name only objects of the interface.
    for (const auto& [file, text] : build.LanguageFiles()) {
        TOrvParser lng;
        try {
            lng.LoadFromString(text);
        } catch (const OrvException& ex) {
            c.Problem("lng/" + file + " does not parse: " + std::string(ex.what()));
            continue;
        }
        TOrvXMLTag* lroot = lng.GetTag(0);
        for (int i = 0; lroot && i < lroot->TagCount(); ++i) {
            TOrvXMLTag* name = lroot->GetTag(i)->FindTag("p");
            const bool ownButton = name && name->Value == "WLanguage_RB" + UpperAscii(file.substr(0, 3));
            if (!name || (!c.objects.count(name->Value) && !ownButton))
                c.Problem("lng/" + file + " names " + (name ? name->Value : std::string("nothing")) +
                          ", which is not in the interface");
        }
    }
    CheckTranslations(c, build);
    if (!build.FindEntry("sounds.dat"))
        report.Notes.push_back("interface: sounds not checked (no audio in this build)");
    report.Notes.push_back("interface: " + std::to_string(build.UiObjects().size()) + " objects, " +
                           std::to_string(scripts) + " scripts, " + std::to_string(build.Fonts().size()) + " fonts, " +
                           std::to_string(build.LanguageFiles().size()) + " language files");
}

}  // namespace forge
