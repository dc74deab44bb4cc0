// Draws the play field of every level state into "MemoryBufer": the scene,
// the current layer with its reveal mask and halo, fragment marks, the fit
// preview, decorations, the Chameleons' shots, belts and pieces (or the
// layer animations), the frame, the drop section, effects and the held
// piece. Only the changed areas of the frame are drawn: the frame's dirty
// rectangles are gathered into tiles first and every picture is clipped to
// them, so an idle field costs what its moving belts cover.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/OrvTypes.h"

class TPlayRules;
class TSurfEngine;
struct TFishka;
struct TOneShotEffect;
struct TLenta;

class TPlayFieldPainter {
public:
    static constexpr int32_t kTile = 50;

    explicit TPlayFieldPainter(TPlayRules& rules) : rules_(rules) {}

    // A new scene: the layer surfaces and Chameleons are made anew.
    void SceneLoaded();
    // The current layer's fragments changed: rebuild its reveal mask and
    // halo before the next frame.
    void InvalidateLayer() { layerDirty_ = true; }
    // Rebuilds the reveal mask and halo now.
    void RebuildLayer();
    void HeldMoved() {}
    // Composes the play-field part of a frame of the given state.
    void Draw(int32_t state);
    // The held piece, drawn after the interface's windows within the clips
    // of the frame just composed.
    void DrawHeld();
    // The clip rectangles of the last frame drawn (screen, right/bottom
    // exclusive).
    const TRects& Clips() const { return clips_; }

private:
    void BuildClips(bool whole);
    void PrepareChameleons();
    void Blit(const std::string& picture, int32_t x, int32_t y, uint8_t opacity = 255, uint32_t tintColour = 0,
              uint8_t tintLevel = 0, const TRect* source = nullptr);
    void DrawScene();
    void DrawLayer();
    void DrawFragmentMarks();
    void DrawPreview();
    void DrawDecorations();
    void DrawShots();
    void DrawPlacedPieces();
    void DrawTrack(TLenta& belt, int32_t id);
    // Calls at(top-left on screen) for every copy of the belt's track.
    template <class At>
    void ForEachTrackCopy(const TLenta& belt, At&& at) const;
    // What changes on screen by itself between two frames, added to dirty
    // before anything is drawn: the moving (or pulsing) tracks, the placed
    // pieces that fade or pulse, the fit preview that came or went.
    void MarkTracks(TRects& dirty);
    void MarkPlacedPieces(TRects& dirty);
    void DrawBeltPieces(const TLenta& belt);
    void DrawChameleons(int32_t id, bool danger, bool playing);
    void DrawLayerAnimation(int32_t state);
    void DrawFrame();
    void DrawDropSection();
    void DrawEffects();
    void DrawEffectText(const TOneShotEffect& fx, const TRect& clip);
    void DrawPiece(const TFishka& f, TPoint screen, int32_t shadowOffset, uint8_t opacity);
    TSurfEngine& Engine() const;

    TPlayRules& rules_;
    TRects clips_;
    bool layerDirty_ = true;
    int32_t preparedLayer_ = -1;
    std::string sceneFile_;
    std::vector<uint8_t> fading_;
    TRect lastHand_{0, 0, 0, 0};
    TRect lastPreview_{0, 0, 0, 0};
    // The track copies' rectangles drawn last, by belt id.
    std::vector<TRects> lastTrack_;
    // The play clock of the last frame drawn in play (-1: none yet).
    int64_t lastNow_ = -1;
};
