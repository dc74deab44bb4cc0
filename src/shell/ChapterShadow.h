// The chapter picture's progress on the between-levels window: "Shadow.jpg"
// veils the parts of the painting whose layers are still to be restored
// (every such fragment shaded in its opacity, scaled from the scene to the
// picture, the edges softened), and the pulsing "LevelCursor.png" marks the
// middle of the layer that is played next.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/OrvTypes.h"

class TOrvGameEngine;
class TOrvInterfaceEngine;
class TPlayLevel;
class TShapeTables;
struct SurfaceRecord;

class TChapterShadow {
public:
    static constexpr const char* kShadow = "Shadow.jpg";
    static constexpr const char* kCursor = "LevelCursor.png";

    TChapterShadow(TOrvGameEngine& game, TOrvInterfaceEngine& ui) : game_(game), ui_(ui) {}

    // Builds the veil and the cursor's place for the level's progress.
    // Nothing is drawn when the chapter's picture or the veil is missing.
    void Prepare(const TPlayLevel& level, const TShapeTables& tables);
    // After "WBetweenLevel" is drawn: the veil over the chapter picture and
    // the level cursor.
    void PostFormDraw(const std::string& formName);
    // Each frame while the window is on top: the pulsing cursor is redrawn.
    void Update();

private:
    TRect CursorRect() const;
    static void ShadePolygon(SurfaceRecord& veil, const std::vector<TPoint>& poly);
    static void Soften(SurfaceRecord& veil);

    TOrvGameEngine& game_;
    TOrvInterfaceEngine& ui_;
    bool ready_ = false;
    bool hasCursor_ = false;
    std::string pictureControl_;
    TPoint cursor_;
    TRect clip_{};
};
