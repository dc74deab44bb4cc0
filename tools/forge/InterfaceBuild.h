// The interface file "Moswick.li" and the language files, made from the
// readable sources in data/ui: interface.txt (defaults, styles, includes of
// one file per form), text/<code>.txt (every visible text by object name)
// and the scenes (one chapter page per scene, one level page per layer, one
// artefact name per quest). The syntax is described in data/README.md.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "SceneSource.h"

namespace forge {

// The ParentName of the forms: no object has this name, so a form's
// position is relative to the screen.
inline const char* const kScreenParent = "Screen";

struct TUiProp {
    std::string Name;
    std::string Value;
};

struct TUiObject {
    std::string Name;
    std::string Class;
    std::string Parent;
    std::vector<std::string> Styles;
    std::vector<TUiProp> Props;  // own properties, in the order written
    std::string Where;           // file:line of the "object" line
    bool Generated = false;      // made from the scenes (its texts go to the scene-text file)

    // The value of a property (last one wins), or def.
    std::string Prop(const std::string& name, const std::string& def = std::string()) const;
    bool HasProp(const std::string& name) const;
    void SetProp(const std::string& name, const std::string& value);
};

struct TUiDefault {
    std::string Class, Prop, Value;
};

struct TUiSource {
    std::vector<TUiDefault> Defaults;
    std::map<std::string, std::vector<TUiProp>> Styles;  // expanded: bases first
    std::vector<TUiObject> Objects;                      // in file order
};

// Reads interface.txt and the files it includes (relative to its folder).
// Throws OrvException naming file and line for anything malformed: an
// unknown keyword, a property outside a block, a style or parent not
// defined before use, a repeated object name, an unbalanced repeat.
TUiSource ParseUiSource(const std::string& path);
// The same from text; include names are read with readFile.
TUiSource ParseUiSourceText(const std::string& text, const std::string& where,
                            std::string (*readFile)(const std::string&), const std::string& folder);

// One language's texts.
struct TUiTexts {
    std::string Code;  // upper case, e.g. "ENU"
    int Position = 1;
    std::vector<std::pair<std::string, std::string>> Items;  // object name, text, in file order
    // "template NAME = text": the patterns of the chapter pages made from
    // the scenes ({n}, {title}, {level}, {layer}, {fragments}, {belts},
    // {artefact} stand for the scene's values).
    std::map<std::string, std::string> Templates;
    // "title N = text" and "layer ID = text": the names of scene N and of
    // the layer ID in this language.
    std::map<std::string, std::string> Titles, LayerNames;
    const std::string* Find(const std::string& name) const;
};
TUiTexts ParseUiTexts(const std::string& text, const std::string& where);

// Evaluates an integer expression with + - * / % and parentheses, with the
// one variable given; throws OrvException on a malformed expression or a
// division by zero.
long EvalUiExpression(const std::string& expr, const std::string& var, long value);

// What the build needs to know about a scene's pages.
struct TChapterInfo {
    int Number = 0;
    std::string Title;
    std::string Picture;  // "Chapter<n>.jpg"
    int PictureHeight = 0;
    std::vector<std::string> LayerNames;
    std::vector<std::string> Quests;  // per layer
    std::vector<int> Fragments;       // per layer
    std::vector<int> Belts;           // per layer
};

// Adds the chapter pages, level pages and artefact names made from the
// scenes; English texts for them go into texts (unless already given).
void AddChapterObjects(TUiSource& src, const std::vector<TChapterInfo>& chapters, TUiTexts& english);
// The texts of the chapter pages in a language with templates: for every
// page without a text of its own, the language's pattern filled with the
// scene's values and the names the language gives (the English ones where it
// gives none). Throws OrvException naming a pattern the language lacks.
void ComposeChapterTexts(const std::vector<TChapterInfo>& chapters, TUiTexts& texts);

// The object with every property it ends up with in the game: its styles,
// its own properties, its caption from the texts and the class defaults,
// colours as decimal numbers, ordered so that each setter finds what it
// depends on.
struct TUiResolved {
    std::string Name, Class, Parent, Where;
    bool Generated = false;
    std::vector<TUiProp> Props;  // as written into the file
    std::vector<TUiProp> All;    // Props plus the defaults that reach it
    std::string Get(const std::string& name, const std::string& def = std::string()) const;
};

std::vector<TUiResolved> ResolveUiObjects(const TUiSource& src, const TUiTexts& texts);

// "Moswick.li": the defaults object first, then every object.
std::string InterfaceXml(const TUiSource& src, const std::vector<TUiResolved>& objects);
// A language file: the captions of the given texts for the objects that are
// (scene=false) or are not (scene=true) made from the scenes.
std::string LanguageXml(const std::vector<TUiResolved>& objects, const TUiTexts& texts, bool sceneTexts);

// "#RRGGBB" as the game's colour number (red in the lowest byte), written
// in decimal; other text unchanged. Quoted colours inside grid column and
// cell descriptions are converted too.
std::string UiColourValue(const std::string& value);

}  // namespace forge
