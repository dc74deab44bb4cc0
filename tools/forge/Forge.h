// TContentBuild: turns the level sources in data/ and the painters into the
// shipped game data: the archive "game.zxc" in its packed form (pictures with
// transparency as a JPEG colour entry "<base>._JPG" plus a greyscale opacity
// entry "<base>._PNG", composed pictures as AutoImage scripts "<base>._aim",
// everything else as it is), "GameParams.xml", "AddLogo.xml" and the folder "lng".
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "FontBuild.h"
#include "InterfaceBuild.h"
#include "Raster.h"
#include "SceneSource.h"
#include "ShapeTables.h"

namespace forge {

// Archive entry kinds as the picture preparation writes them.
inline constexpr uint16_t kKindPlain = 0;
inline constexpr uint16_t kKindScript = 1;
inline constexpr uint16_t kKindPicture = 2;
inline constexpr int kJpegQuality = 90;
inline constexpr int kChapterWidth = 360;

struct TArchiveEntry {
    std::string Name;
    uint16_t Kind = kKindPlain;
    std::vector<uint8_t> Bytes;
};

class TContentBuild {
public:
    // dataDir holds shapes.txt, scenes/ and effects/; audioDir (may be empty
    // or missing) the music and sounds to pack as they are.
    TContentBuild(std::string dataDir, std::string audioDir);

    // Reads the sources, paints every picture and assembles the entries.
    // Throws OrvException for a malformed source (naming file and line).
    void Run();

    // Writes "game.zxc", "GameParams.xml", "AddLogo.xml" and "lng/" into
    // outDir (created if
    // missing). Every file goes through a temporary file and a rename. A
    // prepared copy "temp/game.zxc" left by an earlier start is removed, so
    // the game prepares the new archive.
    void Write(const std::string& outDir) const;

    // The archive's entries in archive order, and lookups by the name a
    // game file uses (case of A-Z ignored, packed and composed forms found
    // under their picture name).
    const std::vector<TArchiveEntry>& Entries() const { return entries_; }
    bool HasPicture(const std::string& name) const;
    const TArchiveEntry* FindEntry(const std::string& name) const;

    const std::vector<TShape>& Shapes() const { return shapes_; }
    const std::vector<TSceneSource>& Scenes() const { return scenes_; }
    const std::vector<std::string>& SurfaceList() const { return surfaces_; }
    // The restored painting of scene i (0-based), kept for the contact sheet.
    const TCanvas& Painting(size_t i) const { return paintings_[i]; }
    // The objects painted into scene i that a layer's outline must not cut.
    const std::vector<TProtected>& Objects(size_t i) const { return objects_[i]; }
    // How much restoring each layer of scene i changes its area: the mean
    // colour difference between the faded and the painted picture.
    const std::vector<double>& LayerChanges(size_t i) const { return changes_[i]; }
    // Every picture name the scenes and the play screen refer to.
    std::vector<std::string> ReferencedPictures() const;

    // The interface (ForgeInterface.cpp): the fonts, the objects of
    // "Moswick.li" as the game will hold them, the language files written
    // into lng/ (file name, text) and the size of every picture painted.
    const std::vector<TBitmapFont>& Fonts() const { return fonts_; }
    const std::vector<TUiResolved>& UiObjects() const { return uiObjects_; }
    const std::vector<std::pair<std::string, std::string>>& LanguageFiles() const { return languageFiles_; }
    // Every language's texts as written into its files (chapter pages
    // composed), English first.
    const std::vector<TUiTexts>& Languages() const { return languages_; }
    // Width and height of a picture by name (case of A-Z ignored); false
    // when the build did not paint it.
    bool PictureSize(const std::string& name, int& width, int& height) const;

    // The plain-text "GameParams.xml": every tuning value of play.
    std::string GameParamsXml() const;
    // The plain-text "AddLogo.xml": a root element without entries.
    static std::string AddLogoXml();

private:
    void AddPlain(const std::string& name, std::vector<uint8_t> bytes);
    void AddPacked(const std::string& name, TCanvas canvas);  // picture with transparency
    void AddJpeg(const std::string& name, const TCanvas& canvas, int quality = kJpegQuality);
    void AddScript(const std::string& name, const std::string& script);
    void AddSurface(const std::string& name) { surfaces_.push_back(name); }

    void BuildPieces();
    void BuildScreenArt();
    void BuildScenes();
    void BuildEffectsAndAudio();
    void BuildInterface();

    std::string dataDir_, audioDir_;
    std::vector<TArchiveEntry> entries_;
    std::map<std::string, size_t> index_;  // lower-case name -> entry
    std::vector<std::string> pictures_;    // picture names as the game asks for them
    std::vector<TShape> shapes_;
    std::vector<TSceneSource> scenes_;
    std::vector<TCanvas> paintings_;
    std::vector<std::vector<TProtected>> objects_;
    std::vector<std::vector<double>> changes_;
    std::vector<std::string> surfaces_;
    std::map<std::string, std::pair<int, int>> sizes_;  // lower-case picture name -> size
    std::vector<TBitmapFont> fonts_;
    std::vector<TUiResolved> uiObjects_;
    std::vector<std::pair<std::string, std::string>> languageFiles_;
    std::vector<TUiTexts> languages_;
};

// The mean colour difference (0..255 a channel) between a layer's picture
// and the faded picture under it, weighted by the layer's opacity; x0, y0
// is the layer's place in the scene.
double RestoredChange(const TCanvas& layer, const TCanvas& faded, int x0, int y0);

// Lower-cases A-Z only, the way the archive compares names.
std::string LowerAscii(std::string s);

}  // namespace forge
