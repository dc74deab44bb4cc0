#include "game/PlayFieldPainter.h"

#include <algorithm>
#include <cmath>

#include "base/SFunctions.h"
#include "fx/OrvFXParticles.h"
#include "game/PlayRules.h"
#include "render/SurfEngine.h"

namespace {

constexpr int32_t kPlaying = 1;
constexpr int32_t kGameWindow = 4;
constexpr int32_t kScroll = 9;
constexpr int32_t kGameOver = 10;
constexpr int32_t kLayerStart = 11;
constexpr int32_t kLayerComplete = 12;
constexpr TRect kField{5, 5, 655, 595};  // right/bottom exclusive
constexpr const char* kBuffer = "MemoryBufer";

uint8_t RoundByte(double v) {
    return static_cast<uint8_t>(std::clamp<long>(std::lround(v), 0, 255));
}

TRect Intersect(const TRect& a, const TRect& b) {
    return {std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right), std::min(a.Bottom, b.Bottom)};
}

bool Empty(const TRect& r) {
    return r.Right <= r.Left || r.Bottom <= r.Top;
}

}  // namespace

TSurfEngine& TPlayFieldPainter::Engine() const {
    return *GameEngine->SurfEngine;
}

void TPlayFieldPainter::SceneLoaded() {
    preparedLayer_ = -1;
    layerDirty_ = true;
    lastTrack_.clear();
    lastNow_ = -1;
}

// ---------------------------------------------------------------------------
// Clipping: the frame's dirty rectangles, gathered into 50-pixel tiles

void TPlayFieldPainter::BuildClips(bool whole) {
    clips_.clear();
    if (whole) {
        clips_.push_back({0, 0, 800, 600});
        return;
    }
    constexpr int32_t cols = 800 / kTile;
    constexpr int32_t rows = 600 / kTile;
    bool mask[rows][cols] = {};
    bool any = false;
    for (const TRect& r : GameEngine->DirtyRects) {
        // Dirty rectangles are inclusive; a pixel of slack on the far edges.
        const int32_t l = std::clamp(r.Left, 0, 799) / kTile;
        const int32_t t = std::clamp(r.Top, 0, 599) / kTile;
        const int32_t rr = std::clamp(r.Right, 0, 799) / kTile;
        const int32_t bb = std::clamp(r.Bottom, 0, 599) / kTile;
        if (r.Right < 0 || r.Bottom < 0 || r.Left > 799 || r.Top > 599 || r.Right < r.Left || r.Bottom < r.Top)
            continue;
        for (int32_t y = t; y <= bb; ++y)
            for (int32_t x = l; x <= rr; ++x) mask[y][x] = true;
        any = true;
    }
    if (!any) return;
    // Runs of tiles per row, joined with the run of the row above when they
    // span the same columns.
    for (int32_t y = 0; y < rows; ++y) {
        for (int32_t x = 0; x < cols;) {
            if (!mask[y][x]) {
                ++x;
                continue;
            }
            int32_t e = x;
            while (e < cols && mask[y][e]) ++e;
            const TRect run{x * kTile, y * kTile, e * kTile, (y + 1) * kTile};
            bool joined = false;
            for (TRect& c : clips_)
                if (c.Left == run.Left && c.Right == run.Right && c.Bottom == run.Top) {
                    c.Bottom = run.Bottom;
                    joined = true;
                    break;
                }
            if (!joined) clips_.push_back(run);
            x = e;
        }
    }
}

void TPlayFieldPainter::Blit(const std::string& picture, int32_t x, int32_t y, uint8_t opacity, uint32_t tintColour,
                             uint8_t tintLevel, const TRect* source) {
    const SurfaceRecord* rec = Engine().GetSurface(picture);
    if (!rec || !rec->Bits) return;
    const TRect src = source ? *source : TRect{0, 0, rec->Width - 1, rec->Height - 1};
    const TRect dest{x, y, x + src.Right - src.Left + 1, y + src.Bottom - src.Top + 1};
    for (const TRect& c : clips_) {
        const TRect i = Intersect(dest, c);
        if (Empty(i)) continue;
        const TRect part{src.Left + i.Left - x, src.Top + i.Top - y, src.Left + i.Right - 1 - x,
                         src.Top + i.Bottom - 1 - y};
        Engine().DrawWithAlphaChannel(picture, kBuffer, i.Left, i.Top, opacity, &part, tintColour, tintLevel);
    }
}

// ---------------------------------------------------------------------------
// The frame

void TPlayFieldPainter::Draw(int32_t state) {
    TPlayLevel& level = rules_.Level();
    if (state != kPlaying && state != kGameWindow && state != kScroll && state != kGameOver && state != kLayerStart &&
        state != kLayerComplete)
        return;
    if (preparedLayer_ != level.CurrentLayer || sceneFile_ != level.Scene.SceneFileName) PrepareChameleons();
    if (layerDirty_) RebuildLayer();

    // What moves on its own this frame is dirty before anything is drawn.
    TRects& dirty = GameEngine->DirtyRects;
    const bool animating = state == kLayerStart || state == kLayerComplete;
    if ((state == kPlaying || state == kGameOver) && !rules_.Effects().empty())
        dirty.push_back({kField.Left, kField.Top, kField.Right - 1, kField.Bottom - 1});
    if (state == kPlaying) {
        if (const TFishka* h = level.Held()) {
            const TPoint s = level.ToScreen(h->X, h->Y);
            const TPoint size = level.PieceSize(*h);
            const TRect now{s.X, s.Y, s.X + size.X + 10, s.Y + size.Y + 10};
            dirty.push_back(now);
            dirty.push_back(lastHand_);
            if (level.FitPreview) {
                const TPoint p = level.ToScreen(level.FitPreviewResult.Position.X, level.FitPreviewResult.Position.Y);
                const TRect preview{p.X - 10, p.Y - 10, p.X + size.X + 20, p.Y + size.Y + 20};
                dirty.push_back(preview);
                if (lastPreview_.Right > lastPreview_.Left) dirty.push_back(lastPreview_);
                lastPreview_ = preview;
            }
            const TPoint m{GameEngine->MouseX, GameEngine->MouseY};
            dirty.push_back({m.X - 41, m.Y - 41, m.X + 82, m.Y + 82});
            lastHand_ = now;
        } else if (lastHand_.Right > lastHand_.Left) {
            dirty.push_back(lastHand_);
            lastHand_ = {};
        }
        // A preview gone (the piece moved off its place, was placed or let
        // go) leaves its marks to be drawn over.
        if ((!level.HasHeld() || !level.FitPreview) && lastPreview_.Right > lastPreview_.Left) {
            dirty.push_back(lastPreview_);
            lastPreview_ = {};
        }
    }
    if (state == kPlaying || state == kGameOver) {
        MarkTracks(dirty);
        MarkPlacedPieces(dirty);
        lastNow_ = level.Now;
    }
    if (const TLayer* l = level.Layer(); l && (state == kPlaying || state == kGameOver)) {
        for (int32_t id : l->BeltIds) {
            const TLenta& b = level.Scene.Belts[size_t(id)];
            if (state == kPlaying && level.Mode != 1 && level.BeltInDanger(b)) {
                const TPoint c = level.ToScreen(b.ChameleonX, b.ChameleonY);
                dirty.push_back({c.X - 21, c.Y - 21, c.X + 149, c.Y + 149});
            }
            for (const TFishka& f : b.BeltFishkas)
                if (f.IsBonus() && f.BornTime <= level.Now) {
                    const TPoint c = level.ToScreen(f.CenterX, f.CenterY);
                    dirty.push_back({c.X - 48, c.Y - 48, c.X + 48, c.Y + 48});
                }
            if (b.ShotStart >= 0 || b.ChameleonShots > 0) {
                const TPoint c = level.ToScreen(b.ChameleonX, b.ChameleonY);
                dirty.push_back({c.X - 21, c.Y - 21, c.X + 149, c.Y + 149});
            }
        }
    }
    if (level.DropBusy) {
        const TRect r = TPlayLevel::kDropRect;
        dirty.push_back({r.Left, r.Top, r.Right, r.Bottom});
    }
    const bool whole = state == kScroll || animating;
    BuildClips(whole);
    // The engine copies exactly what was drawn.
    dirty = clips_;
    for (TRect& r : dirty) {
        r.Right -= 1;
        r.Bottom -= 1;
    }
    if (clips_.empty()) return;

    DrawScene();
    DrawLayer();
    DrawFragmentMarks();
    const TLayer* layer = level.Layer();
    if (state == kPlaying) {
        DrawPreview();
        DrawDecorations();
        DrawShots();
    }
    if (state == kPlaying || state == kGameOver) {
        DrawPlacedPieces();
        if (layer)
            for (int32_t id : layer->BeltIds) DrawTrack(level.Scene.Belts[size_t(id)], id);
        if (layer)
            for (int32_t id : layer->BeltIds) DrawBeltPieces(level.Scene.Belts[size_t(id)]);
        if (layer)
            for (int32_t id : layer->BeltIds)
                DrawChameleons(id, level.BeltInDanger(level.Scene.Belts[size_t(id)]), state == kPlaying);
    } else if (animating) {
        DrawLayerAnimation(state);
    }
    if (state == kGameOver) DrawEffects();
    DrawFrame();
    if (state == kPlaying || state == kGameWindow || state == kGameOver) DrawDropSection();
    if (state == kPlaying) DrawEffects();
}

void TPlayFieldPainter::DrawScene() {
    const TPlayLevel& level = rules_.Level();
    const SurfaceRecord* scene = Engine().GetSurface(level.Scene.ScenePicture);
    if (!scene) return;
    for (const TRect& c : clips_) {
        TRect i = Intersect(c, kField);
        if (Empty(i)) continue;
        TRect src{i.Left - 5 + level.ScrollX, i.Top - 5 + level.ScrollY, i.Right - 5 + level.ScrollX,
                  i.Bottom - 5 + level.ScrollY};
        const TRect clamped = Intersect(src, {0, 0, scene->Width, scene->Height});
        if (Empty(clamped)) continue;
        Engine().DrawSurface(level.Scene.ScenePicture, kBuffer, i.Left + clamped.Left - src.Left,
                             i.Top + clamped.Top - src.Top, &clamped);
    }
}

// ---------------------------------------------------------------------------
// The current layer: reveal mask and halo

void TPlayFieldPainter::RebuildLayer() {
    layerDirty_ = false;
    TPlayLevel& level = rules_.Level();
    const TLayer* l = level.Layer();
    if (!l || !GameEngine->SurfEngine) return;
    const TShapeTables& tables = rules_.Tables();
    TSurfEngine& engine = Engine();
    SurfaceRecord* pic = engine.GetSurface(l->Picture);
    if (!pic) return;
    if (!pic->HasAlpha()) engine.CreateAlphaChannel(l->Picture, 0);
    pic = engine.GetSurface(l->Picture);
    std::fill(pic->AlphaMap.begin(), pic->AlphaMap.end(), 0);
    for (size_t k = 0; k < l->Frags.size(); ++k) {
        const int32_t busy = l->FragsBusy[k];
        uint8_t strength = 0;
        if (busy >= 0 && busy < static_cast<int32_t>(level.Scene.Fishkas.size())) {
            const TFishka& f = level.Scene.Fishkas[size_t(busy)];
            if (!f.NeedDelAfterDis) strength = static_cast<uint8_t>(255 - f.Trans);
        } else if (l->FragsLevel[k] <= 0) {
            strength = 255;
        }
        if (strength == 0) continue;
        const int32_t f = l->Frags[k];
        const TPoint a = tables.FragmentAnchor(f);
        const std::string mask = "FragMask" + std::to_string(tables.Fragments()[size_t(f)].Kind) + ".png";
        engine.AddAlphaChannel(mask, l->Picture, a.X - l->PictureX, a.Y - l->PictureY, nullptr, strength);
    }
    // The halo marks what is still to be restored.
    const int32_t w = pic->Width + 16;
    const int32_t h = pic->Height + 16;
    SurfaceRecord* halo = engine.GetSurface("LayerOreol");
    if (!halo || halo->Width != w || halo->Height != h) {
        engine.DeleteSurface("LayerOreol");
        if (!engine.CreateEmptySurface("LayerOreol", w, h)) return;
        engine.CreateAlphaChannel("LayerOreol", 0);
        halo = engine.GetSurface("LayerOreol");
    }
    engine.ClearSurface("LayerOreol", 0);
    std::fill(halo->AlphaMap.begin(), halo->AlphaMap.end(), 0);
    for (size_t k = 0; k < l->Frags.size(); ++k) {
        const int32_t busy = l->FragsBusy[k];
        bool open = busy == -1 && l->FragsLevel[k] > 0;
        if (busy >= 0 && busy < static_cast<int32_t>(level.Scene.Fishkas.size()))
            open = level.Scene.Fishkas[size_t(busy)].NeedDelAfterDis;
        if (!open) continue;
        const int32_t f = l->Frags[k];
        const int32_t kind = tables.Fragments()[size_t(f)].Kind;
        const std::string oreol = "FragOreol" + std::to_string(kind) + ".png";
        const std::string mask = "FragMask" + std::to_string(kind) + ".png";
        int32_t ow = 0, oh = 0, mw = 0, mh = 0;
        engine.GetPictureSize(oreol, ow, oh);
        engine.GetPictureSize(mask, mw, mh);
        const TPoint a = tables.FragmentAnchor(f);
        const int32_t x = a.X - l->PictureX + 8 - (ow - mw) / 2;
        const int32_t y = a.Y - l->PictureY + 8 - (oh - mh) / 2;
        engine.DrawWithAlphaChannel(oreol, "LayerOreol", x, y, 255);
        engine.AddAlphaChannel(oreol, "LayerOreol", x, y, nullptr, 255);
    }
}

void TPlayFieldPainter::DrawLayer() {
    const TPlayLevel& level = rules_.Level();
    const TLayer* l = level.Layer();
    if (!l) return;
    const TPoint p = level.ToScreen(l->X + l->PictureX, l->Y + l->PictureY);
    const SurfaceRecord* pic = Engine().GetSurface(l->Picture);
    if (pic && pic->HasAlpha()) Blit(l->Picture, p.X, p.Y);
    if (!l->Complete) Blit("LayerOreol", p.X - 8, p.Y - 8);
}

void TPlayFieldPainter::DrawFragmentMarks() {
    const TPlayLevel& level = rules_.Level();
    const TShapeTables& tables = rules_.Tables();
    const TLayer* l = level.Layer();
    if (!l || l->Complete) return;
    for (size_t k = 0; k < l->Frags.size(); ++k) {
        if (l->FragsLevel[k] <= 1) continue;
        const int32_t f = l->Frags[k];
        const TPoint a = tables.FragmentAnchor(f);
        const TPoint s = level.ToScreen(l->X + a.X, l->Y + a.Y);
        Blit("Frag" + std::to_string(tables.Fragments()[size_t(f)].Kind) +
                 std::to_string(std::min(l->FragsLevel[k], 3)) + ".png",
             s.X, s.Y);
    }
}

void TPlayFieldPainter::DrawPreview() {
    const TPlayLevel& level = rules_.Level();
    const TLayer* l = level.Layer();
    if (!l || !level.FitPreview || !level.HasHeld()) return;
    const TShapeTables& tables = rules_.Tables();
    for (int32_t k : level.FitPreviewResult.Cells) {
        const int32_t f = l->Frags[size_t(k)];
        const TPoint a = tables.FragmentAnchor(f);
        const TPoint s = level.ToScreen(l->X + a.X, l->Y + a.Y);
        Blit("FragMask" + std::to_string(tables.Fragments()[size_t(f)].Kind) + ".png", s.X, s.Y, 120, 0xFFFFFF, 60);
    }
}

void TPlayFieldPainter::DrawDecorations() {
    const TPlayLevel& level = rules_.Level();
    for (const TScenePicture& p : level.Scene.ScenePictures) {
        if (p.DrawOnlyLayer != -1 && p.DrawOnlyLayer != level.CurrentLayer) continue;
        if (p.Frames.empty()) continue;
        const TPoint s = level.ToScreen(p.X, p.Y);
        Blit(p.Frames[size_t(std::clamp<int32_t>(p.Frame, 0, int32_t(p.Frames.size()) - 1))], s.X, s.Y);
    }
}

void TPlayFieldPainter::DrawShots() {
    const TPlayLevel& level = rules_.Level();
    const TLayer* l = level.Layer();
    if (!l) return;
    int32_t sw = 0, sh = 0, iw = 0, ih = 0;
    Engine().GetPictureSize("ChamShot.png", sw, sh);
    Engine().GetPictureSize("ChamShotSmall.png", iw, ih);
    for (int32_t id : l->BeltIds) {
        const TLenta& b = level.Scene.Belts[size_t(id)];
        if (b.ShotStart >= 0) {
            const TGameTime ts = b.PathTime - (level.Now - b.ShotStart) * 40;
            if (ts >= 0 && ts <= b.PathTime) {
                const TPoint p = b.PointAt(ts);
                const TPoint s = level.ToScreen(p.X, p.Y);
                Blit("ChamShot.png", s.X - sw / 2, s.Y - sh / 2);
            }
        }
    }
}

// ---------------------------------------------------------------------------
// Pieces and belts

void TPlayFieldPainter::DrawPiece(const TFishka& f, TPoint s, int32_t shadowOffset, uint8_t opacity) {
    const TPlayLevel& level = rules_.Level();
    uint32_t tint = 0;
    uint8_t tintLevel = 0;
    if (f.PulseKind > 0 && f.PulseStart < level.Now && level.Now < f.PulseEnd) {
        const double p = std::max<double>(1.0, double(f.PulseEnd - f.PulseStart) / f.PulseKind);
        const double phase = std::fmod(double(level.Now - f.PulseStart), p);
        const double max = f.PulseMax > 0 ? f.PulseMax : 100;
        tint = 0xFFFFFF;
        tintLevel = std::max<uint8_t>(1, RoundByte(255 - max * std::sin(M_PI * (p - phase) / p)));
    }
    if (f.IsBonus()) {
        int32_t w = 0, h = 0;
        Engine().GetPictureSize(f.BonusPicture, w, h);
        const int32_t fw = w / std::max(1, f.BonusFrames);
        const TRect src{f.BonusFrame * fw, 0, (f.BonusFrame + 1) * fw - 1, h - 1};
        const TPoint c = level.ToScreen(f.CenterX, f.CenterY);
        if (f.BonusEffect) {
            const TRect clip = Intersect({c.X - 48, c.Y - 48, c.X + 48, c.Y + 48}, {5, 5, 654, 594});
            if (!Empty(clip)) DrawParticleEffect(Engine(), *f.BonusEffect, kBuffer, c.X, c.Y, &clip, opacity);
        }
        Blit(f.BonusPicture, c.X - fw / 2, c.Y - h / 2, opacity, tint, tintLevel, &src);
        return;
    }
    if (f.IsExtraFish()) {
        Blit(level.PiecePicture(f), s.X, s.Y, opacity, tint, tintLevel);
        return;
    }
    const TShape& shape = rules_.Tables().Shape(f.FType);
    Blit(shape.ShadowPicture, s.X + shadowOffset, s.Y + shadowOffset, opacity);
    Blit(shape.Picture, s.X, s.Y, opacity, tint, tintLevel);
}

void TPlayFieldPainter::DrawPlacedPieces() {
    TPlayLevel& level = rules_.Level();
    for (size_t i = 0; i < level.Scene.Fishkas.size(); ++i) {
        const TFishka& f = level.Scene.Fishkas[i];
        if (int32_t(i) == level.FishkaUnderCursor || f.DrawUntilTime <= level.Now) continue;
        const TShape& shape = rules_.Tables().Shape(f.FType);
        const TPoint s = level.ToScreen(f.X, f.Y);
        int32_t w = 0, h = 0;
        Engine().GetPictureSize(shape.Picture, w, h);
        uint32_t tint = 0;
        uint8_t tintLevel = 0;
        if (f.PulseKind > 0 && f.PulseStart < level.Now && level.Now < f.PulseEnd) {
            const double p = std::max<double>(1.0, double(f.PulseEnd - f.PulseStart) / f.PulseKind);
            const double phase = std::fmod(double(level.Now - f.PulseStart), p);
            tint = 0xFFFFFF;
            tintLevel = std::max<uint8_t>(1, RoundByte(255 - 100 * std::sin(M_PI * phase / p)));
        }
        Blit(shape.Picture, s.X, s.Y, f.Trans, tint, tintLevel);
    }
}

template <class At>
void TPlayFieldPainter::ForEachTrackCopy(const TLenta& b, At&& at) const {
    const TPlayLevel& level = rules_.Level();
    if (!b.HasPath() || b.PointSpacing <= 0 || b.PartImage.empty()) return;
    const TGameTime step = std::max<TGameTime>(1, b.PathTime / b.PointSpacing);
    const bool rolling = b.BombEnd > level.Now && b.BombPMax > 0 && b.BombRollTime > 0;
    // Copies stand at every path time congruent to the track's time, so
    // they wrap from the path's end to its start as the belt runs.
    for (TGameTime t = b.TrackTime % step; t <= b.PathTime; t += step) {
        TPoint p = b.PointAt(t);
        double x = p.X;
        double y = p.Y;
        if (rolling) {
            const double d = std::fabs(double(t % b.PathTime) - double(b.BombAge % b.PathTime));
            if (d < b.BombPMax) {
                const double r = double(b.BombEnd - level.Now);
                const double h = std::max(1, b.BombRollTime / 2);
                double dx = 1, dy = 0;
                b.DirectionAt(t, dx, dy);
                const double a = VectorAngle(dx, -dy);
                const double m = std::sin((d * b.BombKP + double(level.Now - level.AnimationStart)) / 100.0) *
                                 std::max(0.0, 1 - std::fabs(r - h) / h) * b.BombRMax * (1 - d / b.BombPMax);
                x += m * std::sin(a);
                y += m * std::cos(a);
            }
        }
        const TPoint s = level.ToScreen(FXRound(x), FXRound(y));
        at(TPoint{s.X - b.PartWidth / 2, s.Y - b.PartHeight / 2});
    }
}

void TPlayFieldPainter::DrawTrack(TLenta& b, int32_t id) {
    (void)id;
    const TPlayLevel& level = rules_.Level();
    const bool danger = level.BeltInDanger(b) && level.Mode != 1;
    const uint8_t tintLevel = danger ? RoundByte(128 + 127 * std::sin(M_PI * double(level.Now) / 300.0)) : 0;
    ForEachTrackCopy(b, [&](TPoint p) { Blit(b.PartImage, p.X, p.Y, 255, danger ? 255u : 0u, tintLevel); });
}

void TPlayFieldPainter::MarkTracks(TRects& dirty) {
    const TPlayLevel& level = rules_.Level();
    const TLayer* layer = level.Layer();
    if (layer == nullptr) return;
    if (lastTrack_.size() < level.Scene.Belts.size()) lastTrack_.resize(level.Scene.Belts.size());
    for (int32_t id : layer->BeltIds) {
        const TLenta& b = level.Scene.Belts[size_t(id)];
        TRects now;
        ForEachTrackCopy(b, [&](TPoint p) { now.push_back({p.X, p.Y, p.X + b.PartWidth, p.Y + b.PartHeight}); });
        TRects& last = lastTrack_[size_t(id)];
        // The copies run with the chain; in danger they pulse in place.
        const bool pulsing = level.BeltInDanger(b) && level.Mode != 1;
        if (now != last || pulsing) {
            dirty.insert(dirty.end(), now.begin(), now.end());
            dirty.insert(dirty.end(), last.begin(), last.end());
        }
        last = std::move(now);
    }
}

void TPlayFieldPainter::MarkPlacedPieces(TRects& dirty) {
    const TPlayLevel& level = rules_.Level();
    // A look that changes between the last frame and this one: the last
    // second of the fade (and the frame it ends in), and a pulse.
    const int64_t from = lastNow_ < 0 ? level.Now : lastNow_;
    const auto overlaps = [&](int64_t start, int64_t end) { return start <= level.Now && end > from; };
    for (size_t i = 0; i < level.Scene.Fishkas.size(); ++i) {
        const TFishka& f = level.Scene.Fishkas[i];
        if (int32_t(i) == level.FishkaUnderCursor) continue;
        if (!overlaps(f.DrawUntilTime - 1000, f.DrawUntilTime) &&
            !(f.PulseKind > 0 && overlaps(f.PulseStart, f.PulseEnd)))
            continue;
        const TShape& shape = rules_.Tables().Shape(f.FType);
        int32_t w = 0, h = 0;
        Engine().GetPictureSize(shape.Picture, w, h);
        const TPoint s = level.ToScreen(f.X, f.Y);
        dirty.push_back({s.X, s.Y, s.X + w, s.Y + h});
    }
}

void TPlayFieldPainter::DrawBeltPieces(const TLenta& b) {
    const TPlayLevel& level = rules_.Level();
    for (const TFishka& f : b.BeltFishkas) {
        if (f.BornTime > level.Now) continue;
        DrawPiece(f, level.ToScreen(f.X, f.Y), 5, f.Trans);
    }
}

void TPlayFieldPainter::DrawChameleons(int32_t id, bool danger, bool playing) {
    const TPlayLevel& level = rules_.Level();
    const TLenta& b = level.Scene.Belts[size_t(id)];
    const TPoint s = level.ToScreen(b.StartMarkerX + 75, b.StartMarkerY + 75);
    Blit("Chameleon" + std::to_string(id), s.X - 85, s.Y - 85);
    const TPoint c = level.ToScreen(b.ChameleonX, b.ChameleonY);
    const std::string end = "ChameleonEnd" + std::to_string(id);
    if (danger && playing && level.Mode != 1) {
        Blit(end, c.X, c.Y, 255, 255, RoundByte(191 + 64 * std::sin(M_PI * double(level.Now) / 300.0)));
    } else {
        Blit(end, c.X, c.Y);
    }
    int32_t iw = 0, ih = 0;
    Engine().GetPictureSize("ChamShotSmall.png", iw, ih);
    for (int32_t i = 0; i < std::min(b.ChameleonShots, 4); ++i) {
        const TPoint icon = b.ShotIcons[size_t(i)];
        Blit("ChamShotSmall.png", c.X + icon.X - iw / 2, c.Y + icon.Y - ih / 2);
    }
}

void TPlayFieldPainter::PrepareChameleons() {
    TPlayLevel& level = rules_.Level();
    preparedLayer_ = level.CurrentLayer;
    sceneFile_ = level.Scene.SceneFileName;
    const TLayer* l = level.Layer();
    if (!l) return;
    TSurfEngine& engine = Engine();
    for (size_t id = 0; id < level.Scene.Belts.size(); ++id) {
        TLenta& b = level.Scene.Belts[id];
        const std::pair<std::string, std::pair<const char*, int32_t>> parts[2] = {
            {"Chameleon" + std::to_string(id), {"Boxy.png", 170}},
            {"ChameleonEnd" + std::to_string(id), {"Hum.png", 128}}};
        for (const auto& [name, what] : parts) {
            const auto& [source, side] = what;
            engine.DeleteSurface(name);
            if (!b.HasPath() || !engine.CreateEmptySurface(name, side, side)) continue;
            engine.CreateAlphaChannel(name, 0);
            const SurfaceRecord* src = engine.GetSurface(source);
            if (!src) continue;
            const int32_t ox = side / 2 - src->Width / 2;
            const int32_t oy = side / 2 - src->Height / 2;
            engine.DrawSurface(source, name, ox, oy);
            engine.AddAlphaChannel(source, name, ox, oy, nullptr, 255);
            // Turned in steps of ten degrees to face along the path: the
            // start marker looks where the chain goes, the Chameleon back at
            // the chain coming to it.
            double dx = 1, dy = 0;
            const bool start = side == 170;
            b.DirectionAt(start ? 0 : b.PathTime, dx, dy);
            double angle = std::atan2(dy, dx) + (start ? 0.0 : M_PI);
            angle = std::round(angle / (M_PI / 18)) * (M_PI / 18);
            engine.RotateSurface(name, side / 2.0, side / 2.0, angle);
        }
    }
}

void TPlayFieldPainter::DrawLayerAnimation(int32_t state) {
    const TPlayLevel& level = rules_.Level();
    const TLayer* l = level.Layer();
    if (!l) return;
    const TGameTime now = level.Now;
    for (int32_t id : l->BeltIds) {
        const TLenta& b = level.Scene.Belts[size_t(id)];
        const TPoint s = level.ToScreen(b.StartMarkerX + 75, b.StartMarkerY + 75);
        const TPoint c = level.ToScreen(b.ChameleonX + 64, b.ChameleonY + 64);
        if (now < level.AnimationT1) {
            const double left = double(level.AnimationT1 - now);
            const uint8_t a = state == kLayerStart ? RoundByte(255.0 * (1440 - left) / 1440)
                                                   : RoundByte(255 - 255.0 * (1440 - left) / 1440);
            uint32_t tint = 0;
            uint8_t tintLevel = 0;
            if (state == kLayerStart && left < 100) {
                tint = 0xFFFFFF;
                tintLevel = static_cast<uint8_t>((std::lround(left / 100 * 200) + 50) % 256);
            }
            rules_.FinishTables();  // turned on other threads since start-up
            Blit("BoxyRotate" + std::to_string(b.StartFrame), s.X - 85, s.Y - 85, a, tint, tintLevel);
            Blit("ChameleonRotate" + std::to_string(b.EndFrame), c.X - 85, c.Y - 85, a, tint, tintLevel);
        } else if (state == kLayerStart) {
            const double span = std::max<double>(1, double(level.AnimationT2 - level.AnimationT1));
            const uint8_t a = RoundByte(255 - 255 * double(level.AnimationT2 - now) / span);
            if (b.HasPath() && b.PointSpacing > 0) {
                const TGameTime step = std::max<TGameTime>(1, b.PathTime / b.PointSpacing);
                for (TGameTime t = 0; t <= b.PathTime; t += step) {
                    const TPoint p = level.ToScreen(b.PointAt(t).X, b.PointAt(t).Y);
                    Blit(b.PartImage, p.X - b.PartWidth / 2, p.Y - b.PartHeight / 2, a);
                }
            }
            Blit("Chameleon" + std::to_string(id), s.X - 85, s.Y - 85);
            Blit("ChameleonEnd" + std::to_string(id), c.X - 64, c.Y - 64);
        }
    }
}

// ---------------------------------------------------------------------------
// Frame, drop section, effects, the hand

void TPlayFieldPainter::DrawFrame() {
    const TRect parts[4] = {{0, 0, 655, 5}, {0, 5, 5, 600}, {5, 595, 655, 600}, {655, 0, 800, 600}};
    for (const TRect& p : parts) {
        const TRect src{p.Left, p.Top, p.Right - 1, p.Bottom - 1};
        Blit("GamePlay1.jpg", p.Left, p.Top, 255, 0, 0, &src);
    }
}

void TPlayFieldPainter::DrawDropSection() {
    const TPlayLevel& level = rules_.Level();
    const TRect r = TPlayLevel::kDropRect;
    int32_t gw = 0, gh = 0;
    Engine().GetPictureSize("DropGrid.png", gw, gh);
    const int32_t gx = (r.Left + r.Right + 1) / 2 - gw / 2;
    const int32_t gy = (r.Top + r.Bottom + 1) / 2 - gh / 2;
    if (!level.DropBusy) {
        Blit("DropGrid.png", gx, gy);
        return;
    }
    Blit(level.DropPicture, level.DropX, level.DropY, 150);
    Blit("DropGrid.png", gx, gy);
    // The renewal runs as a column of lit bits rising to full.
    int32_t bw = 0, bh = 0;
    Engine().GetPictureSize("DropBit.png", bw, bh);
    if (bh <= 0) return;
    const double done =
        std::clamp(double(level.Now - level.DropStart) / std::max<TGameTime>(1, level.DropTime), 0.0, 1.0);
    const int32_t slots = std::max(1, (r.Bottom - r.Top + 1 - 8) / (bh + 2));
    const int32_t lit = static_cast<int32_t>(done * slots);
    for (int32_t i = 0; i < lit; ++i) Blit("DropBit.png", r.Right - bw - 2, r.Bottom - 4 - (i + 1) * (bh + 2));
}

void TPlayFieldPainter::DrawEffects() {
    for (TOneShotEffect& fx : rules_.Effects()) {
        if (!fx.Effect) continue;
        const TRect clip{fx.Clip.Left, fx.Clip.Top, fx.Clip.Right - 1, fx.Clip.Bottom - 1};
        if (!fx.Text.empty()) {
            DrawEffectText(fx, clip);
            continue;
        }
        DrawParticleEffect(Engine(), *fx.Effect, kBuffer, fx.Origin.X, fx.Origin.Y, &clip, 255, fx.Picture);
    }
}

void TPlayFieldPainter::DrawEffectText(const TOneShotEffect& fx, const TRect& clip) {
    // The text stands where the particle's picture would, centred on its
    // point, with its opacity and tint colour; the fonts are the interface's.
    const TOrvParticleSystemLib& systems = fx.Effect->Systems();
    for (int32_t si = 0; si < systems.Count(); ++si) {
        const TOrvParticleSystem* sys = systems.Get(si);
        if (!sys) continue;
        for (const auto& p : sys->Particles) {
            const TOrvParticleDraw d = ParticleDrawParams(*p, 1, 0, 0, fx.Origin.X, fx.Origin.Y, 255);
            if (d.Opacity == 0) continue;
            const uint32_t colour = d.TintLevel > 0 ? d.TintColour : 0xFFFFFFu;
            GameEngine->Interface->DrawEffectText(fx.Text, d.X, d.Y, d.Opacity, colour, clip);
        }
    }
}

void TPlayFieldPainter::DrawHeld() {
    const TPlayLevel& level = rules_.Level();
    const TFishka* h = level.Held();
    if (!h) return;
    DrawPiece(*h, level.ToScreen(h->X, h->Y), 10, 255);
}
