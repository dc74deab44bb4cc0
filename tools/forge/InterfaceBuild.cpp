#include "InterfaceBuild.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <sstream>

#include "base/OrvException.h"
#include "base/OrvParser.h"
#include "base/OrvStream.h"

namespace forge {

namespace {

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return std::string();
    size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

std::vector<std::string> Words(const std::string& s) {
    std::vector<std::string> out;
    std::istringstream in(s);
    std::string w;
    while (in >> w) out.push_back(w);
    return out;
}

bool IsIdentifier(const std::string& s) {
    if (s.empty() || !(std::isalpha(static_cast<unsigned char>(s[0])) || s[0] == '_')) return false;
    for (char c : s)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
    return true;
}

// Object names may hold dots (the level pages "WBetweenLevel_TChapter1.2").
bool IsObjectName(const std::string& s) {
    if (s.empty() || s[0] != 'W') return false;
    for (char c : s)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.')) return false;
    return true;
}

std::string ReadFileOrThrow(const std::string& path) {
    std::string text;
    if (!ReadWholeFile(path, text)) throw OrvException("Cannot open file " + path);
    return text;
}

// ---- the expression evaluator of repeat blocks ---------------------------

struct TExpr {
    const std::string& s;
    const std::string& var;
    long value;
    size_t i = 0;

    void Skip() {
        while (i < s.size() && s[i] == ' ') ++i;
    }
    [[noreturn]] void Fail(const std::string& why) const { throw OrvException("expression \"" + s + "\": " + why); }
    long Primary() {
        Skip();
        if (i >= s.size()) Fail("ends too early");
        if (s[i] == '(') {
            ++i;
            long v = Sum();
            Skip();
            if (i >= s.size() || s[i] != ')') Fail("missing )");
            ++i;
            return v;
        }
        if (s[i] == '-') {
            ++i;
            return -Primary();
        }
        if (std::isdigit(static_cast<unsigned char>(s[i]))) {
            long v = 0;
            while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
                v = v * 10 + (s[i] - '0');
                if (v > 100000000) Fail("number too large");
                ++i;
            }
            return v;
        }
        size_t b = i;
        while (i < s.size() && (std::isalnum(static_cast<unsigned char>(s[i])) || s[i] == '_')) ++i;
        std::string name = s.substr(b, i - b);
        if (name.empty() || name != var) Fail("unknown name \"" + (name.empty() ? s.substr(b, 1) : name) + "\"");
        return value;
    }
    long Product() {
        long v = Primary();
        for (;;) {
            Skip();
            if (i >= s.size() || (s[i] != '*' && s[i] != '/' && s[i] != '%')) return v;
            char op = s[i++];
            long r = Primary();
            if (op != '*' && r == 0) Fail("division by zero");
            v = op == '*' ? v * r : op == '/' ? v / r : v % r;
        }
    }
    long Sum() {
        long v = Product();
        for (;;) {
            Skip();
            if (i >= s.size() || (s[i] != '+' && s[i] != '-')) return v;
            char op = s[i++];
            long r = Product();
            v = op == '+' ? v + r : v - r;
        }
    }
};

// Replaces every $(expr) of the line.
std::string Substitute(const std::string& line, const std::string& var, long value) {
    std::string out;
    size_t i = 0;
    while (i < line.size()) {
        if (line.compare(i, 2, "$(") == 0) {
            int depth = 0;
            size_t j = i + 1;
            for (; j < line.size(); ++j) {
                if (line[j] == '(') ++depth;
                if (line[j] == ')' && --depth == 0) break;
            }
            if (j >= line.size()) throw OrvException("unclosed $(");
            out += std::to_string(EvalUiExpression(line.substr(i + 2, j - i - 2), var, value));
            i = j + 1;
            continue;
        }
        out += line[i++];
    }
    return out;
}

// ---- the source reader ------------------------------------------------------

struct TReader {
    TUiSource& src;
    std::string (*readFile)(const std::string&);
    std::string folder;
    std::set<std::string> names;
    int depth = 0;

    enum class Block { None, Defaults, Style, Object };
    Block block = Block::None;
    std::string blockName;  // class of defaults, style name
    TUiObject* object = nullptr;

    [[noreturn]] static void Fail(const std::string& where, const std::string& why) {
        throw OrvException(where + ": " + why);
    }

    TUiObject* FindObject(const std::string& name) {
        for (TUiObject& o : src.Objects)
            if (o.Name == name) return &o;
        return nullptr;
    }

    void Line(const std::string& raw, const std::string& where) {
        std::string t = Trim(raw);
        if (t.empty() || t[0] == ';') return;
        std::vector<std::string> w = Words(t);
        const std::string& key = w[0];
        bool indented = !raw.empty() && (raw[0] == ' ' || raw[0] == '\t');
        if (indented) {
            Property(t, where);
            return;
        }
        block = Block::None;
        object = nullptr;
        if (key == "defaults") {
            if (w.size() != 2 || !IsIdentifier(w[1])) Fail(where, "expected \"defaults <Class>\"");
            block = Block::Defaults;
            blockName = w[1];
        } else if (key == "style") {
            if (w.size() < 2 || !IsIdentifier(w[1]) || (w.size() > 2 && w[2] != ":"))
                Fail(where, "expected \"style <Name> [: <Style> ...]\"");
            if (src.Styles.count(w[1])) Fail(where, "style " + w[1] + " defined twice");
            std::vector<TUiProp> props;
            for (size_t k = 3; k < w.size(); ++k) {
                auto it = src.Styles.find(w[k]);
                if (it == src.Styles.end()) Fail(where, "style " + w[k] + " is not defined before");
                props.insert(props.end(), it->second.begin(), it->second.end());
            }
            src.Styles[w[1]] = props;
            block = Block::Style;
            blockName = w[1];
        } else if (key == "object") {
            // object <Name> <Class> [in <Parent>] [: <Style> ...]
            if (w.size() < 3 || !IsObjectName(w[1]) || !IsIdentifier(w[2]))
                Fail(where, "expected \"object <Name> <Class> [in <Parent>] [: <Style> ...]\"");
            TUiObject o;
            o.Name = w[1];
            o.Class = w[2];
            o.Where = where;
            size_t k = 3;
            if (k < w.size() && w[k] == "in") {
                if (k + 1 >= w.size()) Fail(where, "\"in\" without a parent");
                o.Parent = w[k + 1];
                if (!names.count(o.Parent)) Fail(where, "parent " + o.Parent + " is not defined before");
                k += 2;
            }
            if (k < w.size()) {
                if (w[k] != ":") Fail(where, "expected \":\" before the styles");
                for (++k; k < w.size(); ++k) {
                    if (!src.Styles.count(w[k])) Fail(where, "style " + w[k] + " is not defined before");
                    o.Styles.push_back(w[k]);
                }
            }
            if (!names.insert(o.Name).second) Fail(where, "object " + o.Name + " defined twice");
            src.Objects.push_back(o);
            object = &src.Objects.back();
            block = Block::Object;
        } else if (key == "amend") {
            if (w.size() != 2) Fail(where, "expected \"amend <Name>\"");
            object = FindObject(w[1]);
            if (!object) Fail(where, "object " + w[1] + " is not defined before");
            block = Block::Object;
        } else if (key == "include") {
            if (w.size() != 2) Fail(where, "expected \"include <file>\"");
            if (++depth > 8) Fail(where, "includes nest too deep");
            std::string path = folder + "/" + w[1];
            Text(readFile(path), path);
            --depth;
        } else {
            Fail(where, "unknown keyword \"" + key + "\"");
        }
    }

    void Property(const std::string& t, const std::string& where) {
        size_t eq = t.find('=');
        if (eq == std::string::npos) Fail(where, "expected \"<Property> = <value>\"");
        std::string name = Trim(t.substr(0, eq)), value = Trim(t.substr(eq + 1));
        if (!IsIdentifier(name)) Fail(where, "\"" + name + "\" is not a property name");
        if (name == "Name" || name == "ParentName" || name == "Caption")
            Fail(where, name + " is given by the object line or the texts, not as a property");
        switch (block) {
            case Block::Defaults:
                src.Defaults.push_back(TUiDefault{blockName, name, value});
                break;
            case Block::Style:
                src.Styles[blockName].push_back(TUiProp{name, value});
                break;
            case Block::Object:
                object->Props.push_back(TUiProp{name, value});
                break;
            case Block::None:
                Fail(where, "property outside a defaults, style or object block");
        }
    }

    void Text(const std::string& text, const std::string& where) {
        std::vector<std::string> lines;
        std::istringstream in(text);
        std::string l;
        while (std::getline(in, l)) lines.push_back(l);
        for (size_t n = 0; n < lines.size(); ++n) {
            std::string at = where + ":" + std::to_string(n + 1);
            std::vector<std::string> w = Words(lines[n]);
            if (!w.empty() && w[0] == "repeat" && lines[n][0] != ' ') {
                long from = 0, to = 0;
                if (w.size() != 4 || !IsIdentifier(w[1])) Fail(at, "expected \"repeat <name> <from> <to>\"");
                try {
                    from = std::stol(w[2]);
                    to = std::stol(w[3]);
                } catch (...) {
                    Fail(at, "repeat bounds are not numbers");
                }
                if (to < from || to - from > 1000) Fail(at, "repeat bounds out of order or too far apart");
                size_t end = n + 1;
                for (; end < lines.size(); ++end) {
                    std::vector<std::string> e = Words(lines[end]);
                    if (!e.empty() && e[0] == "repeat" && lines[end][0] != ' ')
                        Fail(where + ":" + std::to_string(end + 1), "repeat inside repeat");
                    if (!e.empty() && e[0] == "end" && lines[end][0] != ' ') break;
                }
                if (end >= lines.size()) Fail(at, "repeat without end");
                for (long v = from; v <= to; ++v)
                    for (size_t k = n + 1; k < end; ++k) {
                        std::string lineAt = where + ":" + std::to_string(k + 1);
                        std::string s;
                        try {
                            s = Substitute(lines[k], w[1], v);
                        } catch (const OrvException& ex) {
                            Fail(lineAt, ex.Message());
                        }
                        Line(s, lineAt);
                    }
                block = Block::None;
                object = nullptr;
                n = end;
                continue;
            }
            if (lines[n].find("$(") != std::string::npos) Fail(at, "$( ) outside a repeat block");
            Line(lines[n], at);
        }
        block = Block::None;
        object = nullptr;
    }
};

// The order in which a property is set: what a setter depends on first.
// Sizes and alignment before positions (a position is ignored while an
// alignment holds), pictures before text, the font before the caption,
// ranges before positions, and visibility last, so a tab page made visible
// hides its group's others only when they exist with all their properties.
int Rank(const std::string& name) {
    static const std::map<std::string, int> kRank = {
        {"Name", 0},       {"ParentName", 0},    {"Style", 1},         {"AutoSize", 1},
        {"HAlign", 1},     {"VAlign", 1},        {"Orientation", 1},   {"FixedRow", 1},
        {"RowsHeight", 1}, {"BorderWidth", 1},   {"DivisorHeight", 1}, {"Min", 1},
        {"Max", 1},        {"Left", 2},          {"Top", 2},           {"Width", 2},
        {"Height", 2},     {"ShiftLeft", 2},     {"ShiftTop", 2},      {"HeadLine", 2},
        {"Picture", 3},    {"PictureHAlign", 3}, {"PictureVAlign", 3}, {"FontName", 4},
        {"AddColumns", 5}, {"AddCells", 6},      {"Cells", 6},         {"LinkedObjectName", 6},
        {"Caption", 7},    {"Position", 8},      {"Checked", 8},       {"Focused", 9},
        {"TabOrder", 9},   {"Visible", 10}};
    auto it = kRank.find(name);
    if (it != kRank.end()) return it->second;
    if (name.rfind("On", 0) == 0 || name.rfind("Sound", 0) == 0) return 9;
    return 4;
}

bool Focusable(const std::string& cls) {
    return cls == "TOrvLabel" || cls == "TOrvCheckBox" || cls == "TOrvRadioButton" || cls == "TOrvEdit" ||
           cls == "TOrvSlider" || cls == "TOrvGrid" || cls == "TOrvRichLabel" || cls == "TOrvHint";
}

bool IsForm(const std::string& cls) {
    return cls == "TOrvForm" || cls == "TOrvTabForm";
}

// Interactive controls come first in the Tab order: those with a script or
// that take input.
bool Interactive(const TUiResolved& o) {
    if (o.Class == "TOrvEdit" || o.Class == "TOrvSlider" || o.Class == "TOrvGrid" || o.Class == "TOrvCheckBox" ||
        o.Class == "TOrvRadioButton")
        return true;
    for (const TUiProp& p : o.Props)
        if (p.Name.rfind("OnMouse", 0) == 0 && !p.Value.empty()) return true;
    return false;
}

void AppendObject(TOrvXMLTag* root, const TUiResolved& o, bool captionOnly, const std::string& caption) {
    TOrvXMLTag* e = root->AddTag("o");
    e->AddAttribute("c", o.Class);
    e->AddTag("p", o.Name)->AddAttribute("n", "Name");
    if (captionOnly) {
        e->AddTag("p", caption)->AddAttribute("n", "Caption");
        return;
    }
    e->AddTag("p", o.Parent)->AddAttribute("n", "ParentName");
    for (const TUiProp& p : o.Props) e->AddTag("p", p.Value)->AddAttribute("n", p.Name);
}

}  // namespace

std::string TUiObject::Prop(const std::string& name, const std::string& def) const {
    for (auto it = Props.rbegin(); it != Props.rend(); ++it)
        if (it->Name == name) return it->Value;
    return def;
}

bool TUiObject::HasProp(const std::string& name) const {
    for (const TUiProp& p : Props)
        if (p.Name == name) return true;
    return false;
}

void TUiObject::SetProp(const std::string& name, const std::string& value) {
    Props.push_back(TUiProp{name, value});
}

std::string TUiResolved::Get(const std::string& name, const std::string& def) const {
    for (auto it = All.rbegin(); it != All.rend(); ++it)
        if (it->Name == name) return it->Value;
    return def;
}

const std::string* TUiTexts::Find(const std::string& name) const {
    for (auto it = Items.rbegin(); it != Items.rend(); ++it)
        if (it->first == name) return &it->second;
    return nullptr;
}

long EvalUiExpression(const std::string& expr, const std::string& var, long value) {
    TExpr e{expr, var, value};
    long v = e.Sum();
    e.Skip();
    if (e.i != expr.size()) e.Fail("unexpected \"" + expr.substr(e.i) + "\"");
    return v;
}

TUiSource ParseUiSourceText(const std::string& text, const std::string& where,
                            std::string (*readFile)(const std::string&), const std::string& folder) {
    TUiSource src;
    TReader r{src, readFile, folder, {}, 0, TReader::Block::None, std::string(), nullptr};
    r.Text(text, where);
    return src;
}

TUiSource ParseUiSource(const std::string& path) {
    std::string folder = path.substr(0, path.find_last_of('/'));
    return ParseUiSourceText(ReadFileOrThrow(path), path, &ReadFileOrThrow, folder);
}

TUiTexts ParseUiTexts(const std::string& text, const std::string& where) {
    TUiTexts t;
    std::istringstream in(text);
    std::string line;
    int n = 0;
    bool header = false;
    // Where each key was first given, so a key written twice (a merge that
    // kept both sides) names both lines instead of silently losing one.
    std::map<std::string, int> firstLine;
    auto once = [&](const std::string& key, const std::string& shown) {
        auto [it, fresh] = firstLine.emplace(key, n);
        if (!fresh)
            throw OrvException(where + ":" + std::to_string(n) + ": " + shown + " given twice (lines " +
                               std::to_string(it->second) + " and " + std::to_string(n) + ")");
    };
    while (std::getline(in, line)) {
        ++n;
        std::string at = where + ":" + std::to_string(n);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::string s = Trim(line);
        if (s.empty() || s[0] == ';') continue;
        bool continued = line[0] == ' ' || line[0] == '\t';
        if (continued) {
            if (t.Items.empty()) throw OrvException(at + ": continuation without a text before it");
            // A text broken after a markup tag goes on without a blank, so
            // the next line does not start with one.
            std::string& v = t.Items.back().second;
            v += (!v.empty() && v.back() == '}' ? "" : " ") + s;
            continue;
        }
        std::vector<std::string> w = Words(s);
        if (w[0] == "template" || w[0] == "title" || w[0] == "layer") {
            size_t eq = s.find('=');
            if (w.size() < 3 || eq == std::string::npos || Trim(s.substr(w[0].size(), eq - w[0].size())).empty())
                throw OrvException(at + ": expected \"" + w[0] + " <name> = <text>\"");
            std::string key = Trim(s.substr(w[0].size(), eq - w[0].size()));
            auto& map = w[0] == "template" ? t.Templates : w[0] == "title" ? t.Titles : t.LayerNames;
            once(w[0] + " " + key, w[0] + " " + key);
            map.emplace(key, Trim(s.substr(eq + 1)));
            continue;
        }
        if (w[0] == "language") {
            if (header || w.size() != 3 || w[1].size() != 3)
                throw OrvException(at + ": expected \"language <CODE> <n>\"");
            t.Code = w[1];
            for (char& c : t.Code) c = char(std::toupper(static_cast<unsigned char>(c)));
            try {
                t.Position = std::stoi(w[2]);
            } catch (...) {
                throw OrvException(at + ": the position is not a number");
            }
            header = true;
            continue;
        }
        size_t eq = s.find('=');
        std::string name = eq == std::string::npos ? s : Trim(s.substr(0, eq));
        if (eq == std::string::npos || !IsObjectName(name))
            throw OrvException(at + ": expected \"<ObjectName> = <text>\"");
        once(name, "text for " + name);
        t.Items.emplace_back(name, Trim(s.substr(eq + 1)));
    }
    if (!header) throw OrvException(where + ": no \"language <CODE> <n>\" line");
    return t;
}

std::string UiColourValue(const std::string& value) {
    auto hex = [](const std::string& s, size_t at, uint32_t& out) {
        if (at + 7 > s.size() || s[at] != '#') return false;
        uint32_t v = 0;
        for (size_t k = at + 1; k < at + 7; ++k) {
            char c = s[k];
            int d = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                           : -1;
            if (d < 0) return false;
            v = v * 16 + uint32_t(d);
        }
        // #RRGGBB to the game's 0x00BBGGRR.
        out = ((v >> 16) & 0xFF) | (v & 0xFF00) | ((v & 0xFF) << 16);
        return true;
    };
    uint32_t c = 0;
    if (value.size() == 7 && hex(value, 0, c)) return std::to_string(c);
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '"' && hex(value, i + 1, c) && i + 8 < value.size() && value[i + 8] == '"') {
            out += "\"" + std::to_string(c) + "\"";
            i += 8;
            continue;
        }
        out += value[i];
    }
    return out;
}

// A layer's name as the scenes write it ("WesternRidge") in words
// ("Western Ridge").
std::string SpacedName(const std::string& name) {
    std::string out;
    for (size_t i = 0; i < name.size(); ++i) {
        const bool upper = name[i] >= 'A' && name[i] <= 'Z';
        if (upper && i > 0 && name[i - 1] >= 'a' && name[i - 1] <= 'z') out += ' ';
        out += name[i];
    }
    return out;
}

void AddChapterObjects(TUiSource& src, const std::vector<TChapterInfo>& chapters, TUiTexts& english) {
    auto style = [&](const char* name) {
        if (!src.Styles.count(name))
            throw OrvException(std::string("the interface source has no style ") + name +
                               " for the pages made from the scenes");
        return std::string(name);
    };
    auto text = [&](const std::string& name, const std::string& value) {
        if (!english.Find(name)) english.Items.emplace_back(name, value);
    };
    auto add = [&](const std::string& name, const std::string& cls, const std::string& parent,
                   std::vector<std::string> styles) -> TUiObject& {
        for (const TUiObject& o : src.Objects)
            if (o.Name == name) throw OrvException("the interface source already has " + name);
        TUiObject o;
        o.Name = name;
        o.Class = cls;
        o.Parent = parent;
        o.Styles = std::move(styles);
        o.Where = "(made from the scenes)";
        o.Generated = true;
        src.Objects.push_back(o);
        return src.Objects.back();
    };
    bool hasForm = false;
    for (const TUiObject& o : src.Objects) hasForm = hasForm || o.Name == "WBetweenLevel";
    if (!hasForm) throw OrvException("the interface source has no form WBetweenLevel for the chapter pages");
    std::set<std::string> quests;
    static const char* kNumbers[] = {"no", "one", "two", "three", "four", "five", "six"};
    for (size_t ci = 0; ci < chapters.size(); ++ci) {
        const TChapterInfo& ch = chapters[ci];
        std::string page = "WBetweenLevel_TChapter" + std::to_string(ch.Number);
        add(page, "TOrvTabForm", "WBetweenLevel", {style("ChapterPage")});
        add(page + "_LTitle", "TOrvLabel", page, {style("ChapterTitle")});
        text(page + "_LTitle", "Chapter " + std::to_string(ch.Number) + ": " + ch.Title);
        add(page + "_LPicture", "TOrvLabel", page, {style("ChapterPicture")}).SetProp("Picture", ch.Picture);
        // The level pages sit below the picture, whatever its height.
        int top = 40;
        for (const TUiProp& p : src.Styles[style("ChapterPicture")])
            if (p.Name == "Top") top = std::atoi(p.Value.c_str());
        // Below the frame, which is as tall as the tallest chapter picture.
        int frameHeight = 0;
        for (const TChapterInfo& other : chapters) frameHeight = std::max(frameHeight, other.PictureHeight);
        top += frameHeight + 14;
        size_t layers = ch.LayerNames.size();
        for (size_t l = 0; l <= layers; ++l) {
            std::string sub = page + "." + std::to_string(l + 1);
            add(sub, "TOrvTabForm", page, {style("LevelPage")}).SetProp("Top", std::to_string(top));
            add(sub + "_LText", "TOrvRichLabel", sub, {style("LevelText")});
            if (l < layers) {
                int belts = ch.Belts[l];
                text(
                    sub + "_LText", "{Center}Level " + std::to_string(ch.Number) + "." + std::to_string(l + 1) + ": " +
                                        SpacedName(ch.LayerNames[l]) + "{BR 6/}{/Center}Restore " +
                                        std::to_string(ch.Fragments[l]) + " fragments from " +
                                        (belts >= 0 && belts <= 6 ? kNumbers[belts] : std::to_string(belts)) +
                                        (belts == 1 ? " belt" : " belts") + ". The artefact of this layer: " +
                                        [&] {
                                            const std::string* q = english.Find("WResource_LQuest" + ch.Quests[l]);
                                            return q ? *q : ch.Quests[l];
                                        }() +
                                        ".");
            } else if (ci + 1 < chapters.size()) {
                text(sub + "_LText", "{Center}" + ch.Title + " shines again.{BR 6/}{/Center}" +
                                         "Every layer of the picture is restored. The next chapter waits.");
            } else {
                text(sub + "_LText", "{Center}" + ch.Title + " shines again.{BR 6/}{/Center}" +
                                         "The last picture is restored: the game is won!");
                // The final score on the last page of the last chapter.
                add(sub + "_LYourScore", "TOrvLabel", sub, {style("LevelScore")}).SetProp("Top", "46");
                text(sub + "_LYourScore", "Final score");
                TUiObject& count = add(sub + "_LYourScoreCount", "TOrvLabel", sub, {style("LevelScore")});
                count.SetProp("Top", "80");
                text(sub + "_LYourScoreCount", "0");
            }
        }
        for (const std::string& q : ch.Quests) quests.insert(q);
    }
    for (const std::string& q : quests) {
        std::string name = "WResource_LQuest" + q;
        TUiObject& o = add(name, "TOrvLabel", "WResource", {style("Resource")});
        o.Generated = false;  // artefact names are interface texts, kept with the others
        text(name, q);
    }
}

void ComposeChapterTexts(const std::vector<TChapterInfo>& chapters, TUiTexts& texts) {
    auto pattern = [&](const std::string& name) {
        auto it = texts.Templates.find(name);
        if (it == texts.Templates.end())
            throw OrvException("language " + texts.Code + " has no \"template " + name + "\" for the chapter pages");
        return it->second;
    };
    auto fill = [](std::string text, const std::map<std::string, std::string>& values) {
        for (const auto& [key, value] : values) {
            const std::string mark = "{" + key + "}";
            for (size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + value.size()))
                text.replace(at, mark.size(), value);
        }
        return text;
    };
    auto text = [&](const std::string& name, const std::string& value) {
        if (!texts.Find(name)) texts.Items.emplace_back(name, value);
    };
    for (size_t ci = 0; ci < chapters.size(); ++ci) {
        const TChapterInfo& ch = chapters[ci];
        const std::string n = std::to_string(ch.Number);
        auto title = texts.Titles.find(n);
        const std::string name = title == texts.Titles.end() ? ch.Title : title->second;
        const std::string page = "WBetweenLevel_TChapter" + n;
        text(page + "_LTitle", fill(pattern("ChapterTitle"), {{"n", n}, {"title", name}}));
        for (size_t l = 0; l < ch.LayerNames.size(); ++l) {
            auto layer = texts.LayerNames.find(ch.LayerNames[l]);
            const std::string* artefact = texts.Find("WResource_LQuest" + ch.Quests[l]);
            text(page + "." + std::to_string(l + 1) + "_LText",
                 fill(pattern("LevelText"),
                      {{"level", n + "." + std::to_string(l + 1)},
                       {"layer", layer == texts.LayerNames.end() ? ch.LayerNames[l] : layer->second},
                       {"fragments", std::to_string(ch.Fragments[l])},
                       {"belts", std::to_string(ch.Belts[l])},
                       {"artefact", artefact ? *artefact : ch.Quests[l]}}));
        }
        const std::string last = page + "." + std::to_string(ch.LayerNames.size() + 1);
        const bool won = ci + 1 == chapters.size();
        text(last + "_LText", fill(pattern(won ? "GameWon" : "ChapterDone"), {{"title", name}}));
        if (won) text(last + "_LYourScore", pattern("FinalScore"));
    }
}

std::vector<TUiResolved> ResolveUiObjects(const TUiSource& src, const TUiTexts& texts) {
    std::vector<TUiResolved> out;
    std::set<std::string> names;
    for (const TUiObject& o : src.Objects) names.insert(o.Name);
    for (const TUiObject& o : src.Objects) {
        TUiResolved r;
        r.Name = o.Name;
        r.Class = o.Class;
        r.Parent = o.Parent.empty() ? kScreenParent : o.Parent;
        r.Where = o.Where;
        r.Generated = o.Generated;
        std::vector<TUiProp> props;
        for (const std::string& s : o.Styles) {
            auto it = src.Styles.find(s);
            if (it != src.Styles.end()) props.insert(props.end(), it->second.begin(), it->second.end());
        }
        props.insert(props.end(), o.Props.begin(), o.Props.end());
        if (const std::string* t = texts.Find(o.Name)) props.push_back(TUiProp{"Caption", *t});
        // The last value of a property wins; it keeps no earlier copy.
        std::vector<TUiProp> unique;
        for (auto it = props.rbegin(); it != props.rend(); ++it)
            if (std::none_of(unique.begin(), unique.end(), [&](const TUiProp& p) { return p.Name == it->Name; }))
                unique.push_back(*it);
        std::reverse(unique.begin(), unique.end());
        for (TUiProp& p : unique)
            if (p.Name != "Caption" && p.Name.rfind("On", 0) != 0) p.Value = UiColourValue(p.Value);
        std::stable_sort(unique.begin(), unique.end(),
                         [](const TUiProp& a, const TUiProp& b) { return Rank(a.Name) < Rank(b.Name); });
        r.Props = unique;
        out.push_back(r);
    }
    // Tab order: per form, contiguous from 0, interactive controls first in
    // the order written, then the rest; a TabOrder written in the source
    // moves its object to that place among the interactive ones.
    std::map<std::string, std::vector<TUiResolved*>> byForm;
    std::map<std::string, std::string> classOf;
    for (TUiResolved& r : out) classOf[r.Name] = r.Class;
    for (TUiResolved& r : out)
        if (Focusable(r.Class) && IsForm(classOf[r.Parent])) byForm[r.Parent].push_back(&r);
    for (auto& [form, list] : byForm) {
        std::vector<TUiResolved*> first, rest;
        for (TUiResolved* r : list) (Interactive(*r) ? first : rest).push_back(r);
        std::stable_sort(first.begin(), first.end(), [](const TUiResolved* a, const TUiResolved* b) {
            auto key = [](const TUiResolved* r) {
                for (const TUiProp& p : r->Props)
                    if (p.Name == "TabOrder") return std::atoi(p.Value.c_str());
                return 1 << 20;
            };
            return key(a) < key(b);
        });
        first.insert(first.end(), rest.begin(), rest.end());
        for (size_t i = 0; i < first.size(); ++i) {
            auto& props = first[i]->Props;
            props.erase(
                std::remove_if(props.begin(), props.end(), [](const TUiProp& p) { return p.Name == "TabOrder"; }),
                props.end());
            auto at = std::find_if(props.begin(), props.end(), [](const TUiProp& p) { return Rank(p.Name) > 9; });
            props.insert(at, TUiProp{"TabOrder", std::to_string(i)});
        }
    }
    for (TUiResolved& r : out) {
        r.All = r.Props;
        for (const TUiDefault& d : src.Defaults)
            if (d.Class == r.Class &&
                std::none_of(r.Props.begin(), r.Props.end(), [&](const TUiProp& p) { return p.Name == d.Prop; }))
                r.All.push_back(TUiProp{d.Prop, UiColourValue(d.Value)});
    }
    return out;
}

std::string InterfaceXml(const TUiSource& src, const std::vector<TUiResolved>& objects) {
    TOrvParser doc;
    TOrvXMLTag* root = doc.AddTag("OrvInterface");
    TOrvXMLTag* defs = root->AddTag("o");
    defs->AddAttribute("c", "TOrvDefaults");
    for (const TUiDefault& d : src.Defaults)
        defs->AddTag("p", d.Class + ";" + d.Prop + ";" + UiColourValue(d.Value))->AddAttribute("n", "DefLine");
    if (src.Defaults.empty()) throw OrvException("the interface source has no defaults");
    for (const TUiResolved& o : objects) AppendObject(root, o, false, std::string());
    return doc.SaveToString();
}

std::string LanguageXml(const std::vector<TUiResolved>& objects, const TUiTexts& texts, bool sceneTexts) {
    TOrvParser doc;
    TOrvXMLTag* root = doc.AddTag("OrvInterface");
    for (const TUiResolved& o : objects) {
        if (o.Generated != sceneTexts) continue;
        if (const std::string* t = texts.Find(o.Name)) AppendObject(root, o, true, *t);
    }
    // A language names itself on the button the game makes for it on the
    // language window (English's button is the interface's own).
    const std::string own = "WLanguage_RB" + texts.Code;
    const bool known = std::any_of(objects.begin(), objects.end(), [&](const TUiResolved& o) { return o.Name == own; });
    if (!sceneTexts && !known)
        if (const std::string* t = texts.Find(own)) {
            TUiResolved button;
            button.Name = own;
            button.Class = "TOrvRadioButton";
            AppendObject(root, button, true, *t);
        }
    return doc.SaveToString();
}

}  // namespace forge
