// The level designer's scene sources (data/scenes/sceneN.txt) and the scene
// documents the game reads ("SceneN.xml").
//
// A source is a list of keyword lines; ';' starts a comment. Scene-wide lines
// come first, then one block per layer started by "layer <Name>":
//
//   title <words>                  name of the picture (for the contact sheet)
//   painting <name>                which painter draws the picture
//   size <width> <height>          scene size in pixels
//   music <file>                   the scene's music
//   bonus <chance>                 base chance that a new piece is a bonus
//   bonusweights <b> <r> <s> <B>   weights of bomb, reverse, stop, big bomb
//   weight <Shape> <n>             spawn weight of every turn of a shape
//   decor <kind> <x> <y> <layer>   an animated decoration (layer -1: all)
//   regions ... end                the whole scene on the lattice, one
//                                  character per cell: the letter of the
//                                  layer that restores it, '.' for none
//
//   layer <Name>
//   region <letter>                the layer's cells are the letter's cells of
//                                  the regions map (instead of at and map);
//                                  the build cuts staircase corners on the
//                                  diagonal where no painted object lies
//   stack <n>                      n inner squares take two pieces each
//   at <x> <y>                     scene position of the map's top-left cell
//   view <ShX> <ShY>               view offset (optional; else centred on the
//                                  map as far as the scene allows)
//   quest <Name>                   the artefact ("Quest<Name>.png")
//   fishes <count> <min> <max>     extra fishes and the pieces between them
//   artefact <x> <y>               where the artefact is assembled (view),
//   artefact auto                  or the free place nearest the top middle
//                                  (off the fragments, clear of the belts,
//                                  off other layers' fragments if it can)
//   belt <speed> <part> : x,y ...  a belt: pixels per second, track picture,
//                                  way points in view coordinates; a speed
//                                  written "<n>s" is the time a piece takes
//                                  to cross, whatever the belt's length
//   belt <speed> <part> : auto     a belt round the layer, chosen from a set
//                                  of tracks along the view's edges
//   map ... end                    the fragments, drawn as in the shape list
#pragma once

#include <string>
#include <vector>

#include "ShapeTables.h"

namespace forge {

inline constexpr int kViewWidth = 650;
inline constexpr int kViewHeight = 590;
// Largest scene side the build paints (the painting is held in memory whole).
inline constexpr int kMaxSceneSide = 4096;
// Pixels between neighbouring track pictures of a belt. The game lays
// PathLength / PointsBetween + 1 copies evenly along the path, so the
// written PointsBetween is this spacing whatever the belt's length.
inline constexpr int kTrackSpacing = 30;
// The square kept free of the layer's fragments round each end of a belt:
// the start box sits on the first point, the Chameleon on the last.
inline constexpr int kEndSquare = 128;

struct TBeltSource {
    int Speed = 10;   // pixels per second
    int Seconds = 0;  // the crossing time asked for instead, 0 for none
    std::string PartImage;
    std::vector<TPointF> WayPoints;  // view coordinates, as written
    bool Auto = false;               // the way points are chosen by the build
    std::vector<TPointF> Path;       // scene coordinates, the polyline driven
    double Length = 0;
    int TimeMs = 0;
    int PointsBetween = kTrackSpacing;
    int Layer = 0;
};

struct TLayerSource {
    std::string Name;
    std::string Quest;
    int X = 0, Y = 0;
    bool HasView = false;
    int ShX = 0, ShY = 0;
    int Fishes = 0, MinBefore = 0, MaxBefore = 0;
    int ArtX = 0, ArtY = 0;  // view coordinates of the artefact's top-left
    bool ArtAuto = false;
    char Region = 0;  // letter of the regions map, 0 for a drawn map
    int Stack = 0;    // inner squares raised to two pieces
    int Cols = 0, Rows = 0;
    std::vector<TCell> Cells;
    std::vector<int> Belts;  // indexes into the scene's belt list

    int ViewX() const { return X + ShX; }
    int ViewY() const { return Y + ShY; }
    std::string PictureName(int scene, int layer) const;
};

struct TDecorSource {
    std::string Kind;
    int X = 0, Y = 0;
    int Layer = -1;
};

struct TSceneSource {
    int Number = 0;
    std::string Title;
    std::string Painting;
    std::string Music;
    int Width = 0, Height = 0;
    double Bonus = 0;
    int BonusWeights[4] = {0, 0, 0, 0};
    std::vector<std::pair<std::string, int>> Weights;  // shape name (family or turn), weight
    std::vector<TLayerSource> Layers;
    std::vector<TBeltSource> Belts;
    std::vector<TDecorSource> Decor;
    std::vector<std::string> Regions;  // one row of letters per lattice row

    std::string FileName() const { return "Scene" + std::to_string(Number) + ".xml"; }
    std::string PictureName() const { return "Scene" + std::to_string(Number) + ".jpg"; }
};

// Reads a scene source. number is the scene's number. Throws OrvException
// naming the file and line for anything malformed, and for a layer whose view
// leaves the scene or whose map is empty or too large.
TSceneSource ParseSceneSource(const std::string& text, int number, const std::string& where);

// A painted object a layer's outline must not cut (a house, a tree, the
// sun): its outline in scene pixels.
struct TProtected {
    std::string Name;
    TPolygon Outline;
};

// Cuts the staircase corners of the region layers on the diagonal: a whole
// cell whose two neighbours on one corner belong to one other layer gives
// that layer the half square at the corner, so outlines run along slopes
// instead of in steps. Cells under a protected object stay whole. Artefacts
// placed automatically are placed again afterwards.
void RefineRegionOutlines(TSceneSource& scene, const std::vector<TProtected>& objects);

// Which layer (index) restores the scene point, -1 for none.
int LayerAt(const TSceneSource& scene, float sx, float sy);

// Chooses the artefact's place for a layer (see "artefact auto"); false
// when the view has no room. The place keeps off the layer's fragments and
// belts, and prefers free background, then earlier layers (their restored
// picture is there already); a later layer is taken only when the view holds
// nothing else, as with a picture covered almost whole by its layers. The
// scene's belts must be laid out already.
bool PlaceArtefact(const TSceneSource& scene, TLayerSource& layer);

// Whether the scene point lies inside one of the layer's cells (points on a
// cell's edge do not count).
bool PointOnLayer(const TLayerSource& layer, float sx, float sy);
// Whether any of the rectangle (scene coordinates, w x h pixels) lies on the
// layer's cells, to within 4 pixels.
bool RectOnLayer(const TLayerSource& layer, int x, int y, int w, int h);
// The number of b's cells that share some area with a's cells.
int OverlappingCells(const TLayerSource& a, const TLayerSource& b);

// The smooth polyline a belt drives along: the way points joined by a
// centripetal Catmull-Rom curve, sampled about every step pixels.
std::vector<TPointF> SmoothPath(const std::vector<TPointF>& wayPoints, float step);

// The extra fish pictures of a layer's artefact and their spots (scene
// coordinates of each piece's top-left).
struct TFishSpot {
    std::string Image;
    int PosX = 0, PosY = 0;
    int SrcX = 0, SrcY = 0, W = 0, H = 0;  // the piece's part of the artefact
};
inline constexpr int kArtefactSize = 96;
std::vector<TFishSpot> FishSpots(const TLayerSource& layer);

// The path script of a belt in the effects' path syntax.
std::string BeltScript(const TBeltSource& belt);

// The scene document, as the game reads it.
std::string SceneXml(const TSceneSource& scene, const std::vector<TShape>& shapes);

}  // namespace forge
