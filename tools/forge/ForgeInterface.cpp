// The interface part of the content build: fonts, window art, "Moswick.li",
// "fonts.dat" and the language files, from data/ui and the scenes.
#include <algorithm>
#include <filesystem>
#include <set>

#include "Forge.h"
#include "WindowArt.h"
#include "base/OrvException.h"
#include "base/OrvStream.h"

namespace fs = std::filesystem;

namespace forge {

namespace {

std::string ReadUiFile(const std::string& path) {
    std::string text;
    if (!ReadWholeFile(path, text)) throw OrvException("Cannot open file " + path);
    return text;
}

}  // namespace

bool TContentBuild::PictureSize(const std::string& name, int& width, int& height) const {
    auto it = sizes_.find(LowerAscii(name));
    if (it == sizes_.end()) return false;
    width = it->second.first;
    height = it->second.second;
    return true;
}

void TContentBuild::BuildInterface() {
    const std::string ui = dataDir_ + "/ui";
    TUiSource src = ParseUiSource(ui + "/interface.txt");

    // Every language's texts; English is the one the interface file carries.
    std::vector<TUiTexts> languages;
    std::error_code ec;
    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(ui + "/text", ec))
        if (e.path().extension() == ".txt") files.push_back(e.path().filename().string());
    std::sort(files.begin(), files.end());
    for (const std::string& f : files)
        languages.push_back(ParseUiTexts(ReadUiFile(ui + "/text/" + f), ui + "/text/" + f));
    auto english = std::find_if(languages.begin(), languages.end(), [](const TUiTexts& t) { return t.Code == "ENU"; });
    if (english == languages.end()) throw OrvException(ui + "/text: no English texts (language ENU)");
    for (const TUiTexts& t : languages)
        for (const TUiTexts& o : languages)
            if (&t != &o && t.Code == o.Code) throw OrvException(ui + "/text: language " + t.Code + " twice");

    // The chapter and level pages, from the scenes.
    std::vector<TChapterInfo> chapters;
    for (const TSceneSource& sc : scenes_) {
        TChapterInfo ch;
        ch.Number = sc.Number;
        ch.Title = sc.Title;
        ch.Picture = "Chapter" + std::to_string(sc.Number) + ".jpg";
        int w = 0, h = 0;
        if (!PictureSize(ch.Picture, w, h)) throw OrvException("no chapter picture " + ch.Picture);
        ch.PictureHeight = h;
        for (const TLayerSource& l : sc.Layers) {
            ch.LayerNames.push_back(l.Name);
            ch.Quests.push_back(l.Quest);
            ch.Fragments.push_back(int(l.Cells.size()));
            ch.Belts.push_back(int(l.Belts.size()));
        }
        chapters.push_back(ch);
    }
    // English names its layers by their ids unless its text file says more;
    // the other languages fill their patterns.
    std::vector<std::vector<std::string>> layerIds;
    for (const TChapterInfo& ch : chapters) layerIds.push_back(ch.LayerNames);
    for (TChapterInfo& ch : chapters) {
        auto title = english->Titles.find(std::to_string(ch.Number));
        if (title != english->Titles.end()) ch.Title = title->second;
        for (std::string& l : ch.LayerNames)
            if (auto it = english->LayerNames.find(l); it != english->LayerNames.end()) l = it->second;
    }
    AddChapterObjects(src, chapters, *english);
    for (TUiTexts& t : languages) {
        if (&t == &*english) continue;
        std::vector<TChapterInfo> own = chapters;
        for (size_t i = 0; i < own.size(); ++i) own[i].LayerNames = layerIds[i];
        ComposeChapterTexts(own, t);
    }
    uiObjects_ = ResolveUiObjects(src, *english);

    // The fonts carry every character of every language's texts.
    std::vector<uint32_t> used;
    for (const TUiTexts& t : languages)
        for (const auto& item : t.Items)
            for (uint32_t c : DecodeUtf8(item.second)) used.push_back(c);
    std::sort(used.begin(), used.end());
    used.erase(std::unique(used.begin(), used.end()), used.end());
    std::vector<TFontRecipe> recipes = ParseFontRecipes(ReadUiFile(ui + "/fonts.txt"), ui + "/fonts.txt");
    std::string fontList;
    for (const TFontRecipe& recipe : recipes) {
        fonts_.push_back(RasteriseFont(recipe, BaseCharacterSet(), used));
        const TBitmapFont& f = fonts_.back();
        std::string xml = f.DocumentXml();
        AddPlain(f.Name + ".xml", std::vector<uint8_t>(xml.begin(), xml.end()));
        AddPacked(f.PictureName(), f.Picture);
        fontList += f.Name + ".xml\n";
    }
    // The game loads "OrvUnicode.xml" at start-up; this list names every
    // font document, that one first, for loading the others as well.
    AddPlain("fonts.dat", std::vector<uint8_t>(fontList.begin(), fontList.end()));

    // The windows' art. The loading screen's pictures and the first font's
    // picture lead the picture list, so the loading screen can show at once.
    TWindowArtInput in;
    in.TitlePainting = paintings_.empty() ? nullptr : &paintings_.front();
    auto huge = std::find_if(fonts_.begin(), fonts_.end(), [](const TBitmapFont& f) { return f.Name == "OrvHuge"; });
    in.HugeFont = huge == fonts_.end() ? &fonts_.back() : &*huge;
    in.ChapterWidth = kChapterWidth;
    in.ChapterHeight = 0;
    for (const TChapterInfo& ch : chapters) in.ChapterHeight = std::max(in.ChapterHeight, ch.PictureHeight);
    in.Shapes = &shapes_;
    if (!scenes_.empty() && !scenes_.front().Layers.empty()) in.HelpQuest = scenes_.front().Layers.front().Quest;
    std::vector<std::string> first;
    for (TWindowPicture& p : PaintWindowArt(in)) {
        bool jpg = p.Name.size() > 4 && LowerAscii(p.Name.substr(p.Name.size() - 4)) == ".jpg";
        if (jpg)
            AddJpeg(p.Name, p.Canvas, 90);
        else
            AddPacked(p.Name, std::move(p.Canvas));
        if (p.Name == "LoadingBack.jpg" || p.Name == "ProgressFrame.png" || p.Name == "ProgressStep.png")
            first.push_back(p.Name);
        else
            AddSurface(p.Name);
    }
    // The balloons whose tail points to the left are the others mirrored.
    AddScript("HintWindowLeft.png",
              "<AutoImage name=\"HintWindowLeft\" autosize=\"true\">\r\n"
              "<AddImage name=\"HintWindowRight.png\"/>\r\n"
              "<FlipImageVertical/>\r\n");
    AddScript("HintWindowLeftTop.png",
              "<AutoImage name=\"HintWindowLeftTop\" autosize=\"true\">\r\n"
              "<AddImage name=\"HintWindowRightTop.png\"/>\r\n"
              "<FlipImageVertical/>\r\n");
    AddSurface("HintWindowLeft.png");
    AddSurface("HintWindowLeftTop.png");
    for (const TBitmapFont& f : fonts_) first.push_back(f.PictureName());
    surfaces_.insert(surfaces_.begin(), first.begin(), first.end());

    std::string li = InterfaceXml(src, uiObjects_);
    AddPlain("Moswick.li", std::vector<uint8_t>(li.begin(), li.end()));

    // The language files: lng/<code>_<n>.lng with the interface texts and,
    // where a language has any, lng/<code>_scn.lng with the chapter texts.
    for (const TUiTexts& t : languages) {
        std::string code = LowerAscii(t.Code);
        languageFiles_.emplace_back(code + "_" + std::to_string(t.Position) + ".lng",
                                    LanguageXml(uiObjects_, t, false));
        bool scene = std::any_of(uiObjects_.begin(), uiObjects_.end(),
                                 [&](const TUiResolved& o) { return o.Generated && t.Find(o.Name); });
        if (&t == &*english || scene) languageFiles_.emplace_back(code + "_scn.lng", LanguageXml(uiObjects_, t, true));
    }
    std::stable_partition(languages.begin(), languages.end(), [](const TUiTexts& t) { return t.Code == "ENU"; });
    languages_ = languages;
}

}  // namespace forge
