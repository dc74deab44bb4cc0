// Taking, turning, fitting and placing pieces; putting them back and
// dropping them; layer and artefact completion.
#include <algorithm>
#include <cmath>
#include <set>

#include "base/SFunctions.h"
#include "game/PlayLevel.h"

namespace {

constexpr int32_t kStatePlaying = 1;
// How far a cell's corner may lie from a fragment's corner once the piece has
// snapped: the shape and fragment tables are on one lattice, so only rounding
// separates them.
constexpr int32_t kCornerSlack = 2;

uint64_t FragKey(int32_t x, int32_t y, uint8_t kind) {
    return (static_cast<uint64_t>(static_cast<uint32_t>(x)) << 32) |
           (static_cast<uint64_t>(static_cast<uint32_t>(y) & 0xFFFFFFu) << 8) | kind;
}

bool PointInPolygon(const std::vector<TPoint>& poly, TPoint p) {
    // Points on an edge count as inside; the winding of the data may go
    // either way, so all edges must agree on one side.
    bool anyPos = false;
    bool anyNeg = false;
    const size_t n = poly.size();
    for (size_t i = 0; i < n; ++i) {
        const TPoint a = poly[i];
        const TPoint b = poly[(i + 1) % n];
        const int64_t c = int64_t(p.Y - a.Y) * (b.X - a.X) - int64_t(p.X - a.X) * (b.Y - a.Y);
        anyPos = anyPos || c > 0;
        anyNeg = anyNeg || c < 0;
    }
    return !(anyPos && anyNeg);
}

}  // namespace

// ---------------------------------------------------------------------------
// The fit test

void TPlayLevel::BuildFragmentIndex() {
    fragIndex_.clear();
    indexedLayer_ = CurrentLayer;
    const TLayer* l = Layer();
    if (!l) return;
    for (size_t k = 0; k < l->Frags.size(); ++k) {
        const int32_t f = l->Frags[k];
        const TPoint a = tables_.FragmentAnchor(f);
        fragIndex_[FragKey(l->X + a.X, l->Y + a.Y, tables_.Fragments()[size_t(f)].Kind)].push_back(int32_t(k));
    }
    ++fragVersion_;
}

TFitResult TPlayLevel::FitAt(int32_t shape, TPoint pos, bool needFree) const {
    TFitResult r;
    const TLayer* l = Layer();
    if (!l || shape < 0 || shape >= tables_.ShapeCount()) return r;
    const TShape& s = tables_.Shape(shape);
    for (const TShapeCell& cell : s.Cells) {
        const auto it = fragIndex_.find(FragKey(pos.X + cell.AnchorX, pos.Y + cell.AnchorY, cell.Kind));
        if (it == fragIndex_.end()) return {};
        int32_t found = -1;
        for (int32_t k : it->second) {
            // A fit maps every cell onto a fragment of its own.
            if (std::find(r.Cells.begin(), r.Cells.end(), k) != r.Cells.end()) continue;
            if (needFree && l->FragsBusy[size_t(k)] != -1) continue;
            const std::vector<TPoint> poly = tables_.FragmentPolygon(l->Frags[size_t(k)]);
            if (poly.size() != cell.Vertices.size()) continue;
            bool all = true;
            for (const TPoint& v : cell.Vertices) {
                bool near = false;
                for (const TPoint& q : poly)
                    near = near || (std::abs(pos.X + v.X - l->X - q.X) <= kCornerSlack &&
                                    std::abs(pos.Y + v.Y - l->Y - q.Y) <= kCornerSlack);
                all = all && near;
            }
            if (!all) continue;
            found = k;
            break;
        }
        if (found < 0) return {};
        r.Cells.push_back(found);
    }
    const int32_t level = l->FragsLevel[size_t(r.Cells.front())];
    for (int32_t k : r.Cells)
        if (l->FragsLevel[size_t(k)] != level || level < 1) return {};
    r.Fits = true;
    r.Position = pos;
    return r;
}

TFitResult TPlayLevel::TestFit(const TFishka& piece) const {
    const TLayer* l = Layer();
    if (!l || !piece.IsOrdinary() || piece.FType < 0 || piece.FType >= tables_.ShapeCount()) return {};
    const TShapeCell& first = tables_.Shape(piece.FType).Cells.front();
    // Every free fragment of the first cell's kind proposes one snap
    // position; the nearest one within reach where all cells fit wins.
    TFitResult best;
    int64_t bestDist = -1;
    for (size_t k = 0; k < l->Frags.size(); ++k) {
        if (l->FragsBusy[k] != -1) continue;
        const int32_t f = l->Frags[k];
        if (tables_.Fragments()[size_t(f)].Kind != first.Kind) continue;
        const TPoint a = tables_.FragmentAnchor(f);
        const TPoint pos{l->X + a.X - first.AnchorX, l->Y + a.Y - first.AnchorY};
        const int64_t dx = pos.X - piece.X;
        const int64_t dy = pos.Y - piece.Y;
        const int64_t dist = std::llround(std::sqrt(double(dx * dx + dy * dy)));
        if (dist >= kSnapDistance || (bestDist >= 0 && dist >= bestDist)) continue;
        TFitResult r = FitAt(piece.FType, pos, true);
        if (!r.Fits) continue;
        best = std::move(r);
        bestDist = dist;
    }
    return best;
}

std::vector<TFitResult> TPlayLevel::Placements(int32_t shape, size_t maxCount) const {
    std::vector<TFitResult> out;
    const TLayer* l = Layer();
    if (!l || shape < 0 || shape >= tables_.ShapeCount()) return out;
    const TShapeCell& first = tables_.Shape(shape).Cells.front();
    for (size_t k = 0; k < l->Frags.size() && out.size() < maxCount; ++k) {
        if (l->FragsBusy[k] != -1) continue;
        const int32_t f = l->Frags[k];
        if (tables_.Fragments()[size_t(f)].Kind != first.Kind) continue;
        const TPoint a = tables_.FragmentAnchor(f);
        TFitResult r = FitAt(shape, {l->X + a.X - first.AnchorX, l->Y + a.Y - first.AnchorY}, true);
        if (r.Fits) out.push_back(std::move(r));
    }
    return out;
}

bool TPlayLevel::ShapeSpawnable(int32_t shape) const {
    // A shape the player can get: its own weight or that of a turn of it.
    int32_t s = shape;
    for (int32_t steps = 0; steps < 64 && s >= 0; ++steps) {
        if (s < static_cast<int32_t>(Scene.FishkaWeights.size()) && Scene.FishkaWeights[size_t(s)] > 0) return true;
        s = tables_.FindShape(tables_.NextName(s));
        if (s == shape) break;
    }
    return false;
}

int32_t TPlayLevel::RescueShape() const {
    const TLayer* l = Layer();
    if (!l) return -1;
    if (rescueVersion_ != fragVersion_) {
        rescueVersion_ = fragVersion_;
        rescueShape_ = NeededShape();
    }
    if (rescueShape_ < 0) return -1;
    // One rescue piece at a time: none while the belts or the hand carry a
    // piece of that shape or a turn of it.
    auto sameCycle = [this](int32_t a, int32_t b) {
        int32_t s = a;
        for (int32_t steps = 0; steps < 64 && s >= 0; ++steps) {
            if (s == b) return true;
            s = tables_.FindShape(tables_.NextName(s));
            if (s == a) break;
        }
        return false;
    };
    for (int32_t id : l->BeltIds)
        for (const TFishka& f : Scene.Belts[size_t(id)].BeltFishkas)
            if (f.IsOrdinary() && sameCycle(f.FType, rescueShape_)) return -1;
    if (const TFishka* h = Held(); h && h->IsOrdinary() && sameCycle(h->FType, rescueShape_)) return -1;
    return rescueShape_;
}

int32_t TPlayLevel::NeededShape() const {
    const TLayer* l = Layer();
    if (!l) return -1;
    std::vector<bool> covered(l->Frags.size(), false);
    bool anyFree = false;
    for (size_t k = 0; k < l->Frags.size(); ++k) {
        covered[k] = l->FragsBusy[k] != -1 || l->FragsLevel[k] < 1;
        anyFree = anyFree || !covered[k];
    }
    if (!anyFree) return -1;
    for (int32_t s = 0; s < tables_.ShapeCount(); ++s) {
        if (!ShapeSpawnable(s)) continue;
        for (const TFitResult& r : Placements(s, 512))
            for (int32_t k : r.Cells) covered[size_t(k)] = true;
    }
    const auto uncovered = std::find(covered.begin(), covered.end(), false);
    if (uncovered == covered.end()) return -1;
    const int32_t target = static_cast<int32_t>(uncovered - covered.begin());
    // The smallest shape that covers the fragment no spawnable shape can.
    int32_t best = -1;
    size_t bestCells = SIZE_MAX;
    for (int32_t s = 0; s < tables_.ShapeCount(); ++s) {
        if (tables_.Shape(s).Cells.size() >= bestCells) continue;
        for (const TFitResult& r : Placements(s, 512))
            if (std::find(r.Cells.begin(), r.Cells.end(), target) != r.Cells.end()) {
                best = s;
                bestCells = tables_.Shape(s).Cells.size();
                break;
            }
    }
    return best;
}

// ---------------------------------------------------------------------------
// Hit tests

bool TPlayLevel::PieceContains(const TFishka& f, TPoint p) const {
    if (f.IsBonus() || f.IsExtraFish()) {
        const TPoint size = PieceSize(f);
        const TPoint origin = PieceOrigin(f);
        const int32_t left = f.IsBonus() ? f.CenterX - size.X / 2 : f.X;
        const int32_t top = f.IsBonus() ? f.CenterY - size.Y / 2 : f.Y;
        (void)origin;
        return p.X >= left && p.X < left + size.X && p.Y >= top && p.Y < top + size.Y;
    }
    if (f.FType < 0 || f.FType >= tables_.ShapeCount()) return false;
    for (const TShapeCell& c : tables_.Shape(f.FType).Cells) {
        std::vector<TPoint> poly;
        for (const TPoint& v : c.Vertices) poly.push_back({v.X + f.X, v.Y + f.Y});
        if (PointInPolygon(poly, p)) return true;
    }
    return false;
}

std::pair<int32_t, int32_t> TPlayLevel::BeltFishkaAtPoint(TPoint p) const {
    const TLayer* l = Layer();
    if (!l) return {-1, -1};
    for (int32_t id : l->BeltIds) {
        const auto& list = Scene.Belts[size_t(id)].BeltFishkas;
        for (size_t i = 0; i < list.size(); ++i)
            if (list[i].BornTime <= Now && PieceContains(list[i], p)) return {id, int32_t(i)};
    }
    return {-1, -1};
}

int32_t TPlayLevel::FishkaAtPoint(TPoint p) const {
    for (size_t i = 0; i < Scene.Fishkas.size(); ++i)
        if (int32_t(i) != FishkaUnderCursor && PieceContains(Scene.Fishkas[i], p)) return int32_t(i);
    return -1;
}

// ---------------------------------------------------------------------------
// Holding and turning

void TPlayLevel::FollowMouse() {
    TFishka* h = Held();
    if (!h) return;
    const TPoint m = ToScene(MouseX, MouseY);
    const TPoint o = PieceOrigin(*h);
    h->X = m.X - o.X;
    h->Y = m.Y - o.Y;
    h->CenterX = m.X;
    h->CenterY = m.Y;
}

void TPlayLevel::RefreshFitPreview() {
    const TFishka* h = Held();
    const bool before = FitPreview;
    if (!h || !h->IsOrdinary()) {
        FitPreview = false;
        FitPreviewResult = {};
    } else {
        FitPreviewResult = TestFit(*h);
        FitPreview = FitPreviewResult.Fits;
    }
    FitPreviewLost = before && !FitPreview;
}

void TPlayLevel::MouseMove(int32_t x, int32_t y) {
    MouseX = x;
    MouseY = y;
    if (!HasHeld()) return;
    FollowMouse();
    RefreshFitPreview();
}

void TPlayLevel::RotateHeld(bool previous) {
    TFishka* h = Held();
    if (!h || !h->IsOrdinary()) return;
    const int32_t next = previous ? tables_.FindShapeByNextName(tables_.ShapeName(h->FType))
                                  : tables_.FindShape(tables_.NextName(h->FType));
    if (next >= 0) h->FType = next;
    FollowMouse();
    RefreshFitPreview();
    events_.Sound("5_rotate.ogg");
    events_.RedrawAll();
    Trace("rotate shape=" + std::to_string(h->FType));
}

void TPlayLevel::TakeFromBelt(int32_t belt, int32_t index) {
    TFishka f = Scene.Belts[size_t(belt)].BeltFishkas[size_t(index)];
    f.OnLayer = -1;
    f.Acceleration = 0;
    f.Trans = 255;
    f.OriginBelt = belt;
    Scene.Fishkas.push_back(std::move(f));
    FishkaUnderCursor = static_cast<int32_t>(Scene.Fishkas.size()) - 1;
    RemoveBeltFishka(belt, index);
    FollowMouse();
    const TFishka& h = *Held();
    Trace("take belt=" + std::to_string(belt) + " shape=" + std::to_string(h.FType) +
          " extra=" + std::to_string(h.ExtraFishType));
    const TLayer* l = Layer();
    if (h.IsExtraFish() && SceneInd == 1 && CurrentLayer == 0 && l && !ArtefactHintShown &&
        h.ExtraFishType < static_cast<int32_t>(l->ExtraFishes.size())) {
        ArtefactHintShown = true;
        const TExtraFish& spot = l->ExtraFishes[size_t(h.ExtraFishType)];
        events_.Sparkle("SparkleHintEffect.xml", spot.PosX, spot.PosY, 200);
        const TPoint s = ToScreen(spot.PosX, spot.PosY);
        events_.ShowHint("WGame_HintArtefact", s.X, s.Y);
    }
}

void TPlayLevel::RemoveHeld() {
    if (HasHeld()) RemoveFishka(FishkaUnderCursor);
    FishkaUnderCursor = -1;
    FitPreview = false;
}

// ---------------------------------------------------------------------------
// Clicks

void TPlayLevel::LeftClick(int32_t x, int32_t y) {
    MouseX = x;
    MouseY = y;
    TLayer* l = Layer();
    if (State != kStatePlaying || !l || l->Complete) return;
    const TPoint scene = ToScene(x, y);
    if (TFishka* h = Held()) {
        if (h->IsExtraFish()) {
            DeliverExtraFish();
            return;
        }
        FollowMouse();
        const TFitResult fit = TestFit(*h);
        if (fit.Fits) {
            PlaceHeld(fit);
            return;
        }
        const bool inDrop = x >= kDropRect.Left && x <= kDropRect.Right && y >= kDropRect.Top && y <= kDropRect.Bottom;
        if (!DropBusy && inDrop) {
            DropPiece();
        } else if (!PutOnChain(scene)) {
            events_.Sound("error.ogg");
        }
        return;
    }
    if (FishkaAtPoint(scene) >= 0) return;
    const auto [belt, index] = BeltFishkaAtPoint(scene);
    if (belt >= 0) {
        if (Scene.Belts[size_t(belt)].BeltFishkas[size_t(index)].IsBonus()) {
            FireBonus(belt, index);
        } else {
            TakeFromBelt(belt, index);
            RefreshFitPreview();
            events_.Sound("1_get.ogg");
        }
        events_.RedrawAll();
        return;
    }
    ChameleonClick(scene);
}

void TPlayLevel::RightClick(int32_t x, int32_t y, bool shift) {
    MouseX = x;
    MouseY = y;
    if (State != kStatePlaying) return;
    if (const TFishka* h = Held(); h && h->IsOrdinary()) {
        RotateHeld(shift);
        return;
    }
    if (HasHeld()) return;
    const auto [belt, index] = BeltFishkaAtPoint(ToScene(x, y));
    if (belt >= 0 && Scene.Belts[size_t(belt)].BeltFishkas[size_t(index)].IsBonus()) {
        ThrowOffBonus(belt, index);
        events_.Sound("1_get.ogg");
    }
}

// ---------------------------------------------------------------------------
// Placing

int32_t TPlayLevel::FishkaScore(int32_t shape) const {
    if (shape < 0 || shape >= static_cast<int32_t>(params_.FishkaScore.size())) return 0;
    return params_.FishkaScore[size_t(shape)];
}

int32_t TPlayLevel::FishkaSize(int32_t shape) const {
    if (shape < 0 || shape >= static_cast<int32_t>(params_.FishkaSize.size())) return 0;
    return params_.FishkaSize[size_t(shape)];
}

void TPlayLevel::AddScore(int32_t shape) {
    if (Mode == 1) return;
    TotalScore += static_cast<uint32_t>(std::max(0, FishkaScore(shape)));
    events_.ScoreChanged(TotalScore);
}

void TPlayLevel::PlaceHeld(const TFitResult& fit) {
    TLayer& l = *Layer();
    TFishka& h = *Held();
    const int32_t index = FishkaUnderCursor;
    const size_t first = size_t(fit.Cells.front());
    const bool top = l.FragsLevel[first] < 2;
    for (int32_t k : fit.Cells) {
        --l.FragsLevel[size_t(k)];
        l.FragsBusy[size_t(k)] = index;
    }
    h.NeedDelAfterDis = !top;
    h.X = fit.Position.X;
    h.Y = fit.Position.Y;
    h.OnLayer = CurrentLayer;
    h.DrawUntilTime = Now + 1500;
    const int32_t size = FishkaSize(h.FType);
    if (size > 0) {
        h.PulseStart = Now;
        h.PulseEnd = Now + 300;
        h.PulseKind = 2;
    }
    const uint32_t before = TotalScore;
    AddScore(h.FType);
    ++PlacedPieces;
    std::string frags;
    for (int32_t k : fit.Cells) frags += (frags.empty() ? "" : ",") + std::to_string(l.Frags[size_t(k)]);
    Trace("place shape=" + std::to_string(h.FType) + " x=" + std::to_string(h.X) + " y=" + std::to_string(h.Y) +
          " frags=" + frags + " score=" + std::to_string(TotalScore - before) + (top ? "" : " stacked=1"));
    // Placing effects.
    if (size == 2) {
        std::vector<TPoint> outline;
        for (int32_t k : fit.Cells)
            for (const TPoint& p : tables_.FragmentPolygon(l.Frags[size_t(k)]))
                outline.push_back({l.X + p.X, l.Y + p.Y});
        events_.ContourSparkle(outline);
    }
    if (size > 0) {
        const TPoint m = ToScene(MouseX, MouseY);
        events_.ScoreText(FishkaScore(h.FType), m.X, m.Y);
    }
    if (top) {
        events_.Sound(size == 0 ? "2_put_on_main.ogg" : size == 1 ? "PutBig.ogg" : "PutVeryBig.ogg");
    } else {
        events_.Sound(size == 0   ? (l.FragsLevel[first] == 2 ? "4_put_on3.ogg" : "3_put_on2.ogg")
                      : size == 1 ? "PutBig.ogg"
                                  : "PutVeryBig.ogg");
    }
    FishkaUnderCursor = -1;
    FitPreview = false;
    ++fragVersion_;
    events_.FragmentsChanged();
    events_.RedrawAll();
    if (top) CheckLayerComplete();
}

void TPlayLevel::CheckLayerComplete() {
    TLayer* l = Layer();
    if (!l || l->Complete) return;
    // Done when every fragment has had its last piece: a lower piece of a
    // stack still lying on a fragment does not finish it.
    for (size_t k = 0; k < l->Frags.size(); ++k)
        if (l->FragsLevel[k] > 0) return;
    l->Complete = true;
    for (int32_t id : l->BeltIds) {
        TLenta& b = Scene.Belts[size_t(id)];
        const TGameTime headAge =
            b.BeltFishkas.empty() ? 0 : std::max<TGameTime>(0, Now - b.BeltFishkas.front().BornTime);
        b.ReverseUntil = Now + headAge;
        b.ReverseStart = Now;
        b.StopUntil = -1;
    }
    LayerCompleteTime = Now + 1500;
    events_.MusicFadeOut(500);
    events_.Sound("16_win.ogg");
    LayerBonus = static_cast<int32_t>(std::llround(double(TotalScore - PrevScore) * Skills.Percent(skEconomy) / 100.0));
    TotalScore += static_cast<uint32_t>(std::max(0, LayerBonus));
    events_.ScoreChanged(TotalScore);
    Trace("layer-complete layer=" + std::to_string(CurrentLayer) + " bonus=" + std::to_string(LayerBonus) +
          " total=" + std::to_string(TotalScore));
    events_.AutoSave();
}

bool TPlayLevel::CheckArtefactComplete() const {
    const TLayer* l = Layer();
    if (!l || l->ExtraFishes.empty()) return false;
    if (IntInArray(1, l->ExtraFishWeights)) return false;
    for (int32_t id : l->BeltIds)
        for (const TFishka& f : Scene.Belts[size_t(id)].BeltFishkas)
            if (f.IsExtraFish()) return false;
    for (size_t i = 0; i < Scene.Fishkas.size(); ++i)
        if (Scene.Fishkas[i].IsExtraFish()) return false;
    return true;
}

void TPlayLevel::DeliverExtraFish() {
    TLayer& l = *Layer();
    TFishka& h = *Held();
    FollowMouse();
    const TPoint scene = ToScene(MouseX, MouseY);
    if (h.ExtraFishType >= static_cast<int32_t>(l.ExtraFishes.size())) return;
    const TExtraFish spot = l.ExtraFishes[size_t(h.ExtraFishType)];
    const double d = std::hypot(double(h.X - spot.PosX), double(h.Y - spot.PosY));
    if (d >= 24) {
        if (!PutOnChain(scene)) events_.Sound("error.ogg");
        return;
    }
    events_.PaintIntoScene(spot.Image, spot.PosX, spot.PosY);
    Trace("deliver fish=" + std::to_string(h.ExtraFishType));
    RemoveFishka(FishkaUnderCursor);
    FishkaUnderCursor = -1;
    events_.RedrawAll();
    if (CheckArtefactComplete()) {
        for (const TExtraFish& f : l.ExtraFishes) events_.Sparkle("SparkleFishesEffect.xml", f.PosX, f.PosY, 0);
        ArtefactWindowTime = Now + 1300;
        events_.Sound("14_artefact_complete.ogg");
        l.Art = true;
        Trace("artefact-complete layer=" + std::to_string(CurrentLayer));
    } else {
        events_.Sparkle("SparkleFishesEffect.xml", spot.PosX, spot.PosY, 0);
        events_.Sound("13_artefact.ogg");
    }
}

bool TPlayLevel::PutOnChain(TPoint scene) {
    TLayer* l = Layer();
    if (!l || !HasHeld()) return false;
    int32_t bestBelt = -1;
    TGameTime bestT = 0;
    int64_t bestD2 = 40 * 40;
    for (int32_t id : l->BeltIds) {
        const TLenta& b = Scene.Belts[size_t(id)];
        if (!b.HasPath()) continue;
        // About every 4 pixels; a path shorter than that is sampled at its
        // ends only.
        const TGameTime step = std::max<TGameTime>(1, b.PathTime * 4 / std::max(1, b.PathLength));
        for (TGameTime t = 0;; t += step) {
            const TGameTime at = std::min(t, b.PathTime);
            const TPoint p = b.PointAt(at);
            const int64_t dx = p.X - scene.X;
            const int64_t dy = p.Y - scene.Y;
            if (dx * dx + dy * dy < bestD2) {
                bestD2 = dx * dx + dy * dy;
                bestBelt = id;
                bestT = at;
            }
            if (at >= b.PathTime) break;
        }
    }
    if (bestBelt < 0) return false;
    TLenta& b = Scene.Belts[size_t(bestBelt)];
    TFishka piece = *Held();
    RemoveFishka(FishkaUnderCursor);
    FishkaUnderCursor = -1;
    FitPreview = false;
    const TPoint size = events_.PictureSize(PiecePicture(piece));
    const int32_t extent = std::max(size.X / (piece.IsBonus() ? std::max(1, piece.BonusFrames) : 1), size.Y);
    piece.HalfLength = std::llround(double(b.PathTime) / b.PathLength * extent / 2);
    piece.OnLayer = -1;
    piece.Acceleration = 0;
    if (!b.BeltFishkas.empty()) {
        const TFishka& head = b.BeltFishkas.front();
        const TGameTime headAge = Now - head.BornTime;
        if (bestT < headAge + b.Gap + head.HalfLength + piece.HalfLength) {
            piece.BornTime = head.BornTime - (b.Gap + head.HalfLength + piece.HalfLength);
        } else {
            piece.BornTime = Now - std::min(bestT, std::max<TGameTime>(0, b.PathTime - 100));
            piece.Acceleration = 100;
        }
    } else {
        piece.BornTime = Now - std::min(bestT, std::max<TGameTime>(0, b.PathTime - 100));
        piece.Acceleration = 100;
    }
    // Never beyond the end of the path, where it would be lost at once.
    piece.BornTime = std::max(piece.BornTime, Now - std::max<TGameTime>(0, b.PathTime - 100));
    b.BeltFishkas.insert(b.BeltFishkas.begin(), std::move(piece));
    events_.Sound("6_put_on_chain.ogg");
    events_.RedrawAll();
    Trace("putback belt=" + std::to_string(bestBelt) + " t=" + std::to_string(bestT));
    return true;
}

void TPlayLevel::DropPiece() {
    const TFishka* h = Held();
    if (!h) return;
    DropBusy = true;
    DropStart = Now;
    DropTime = kDropTime - std::llround(kDropTime * Skills.Percent(skDropSectionRenewal) / 100.0);
    DropPicture = PiecePicture(*h);
    const TPoint size = PieceSize(*h);
    DropX = 727 - size.X / 2;
    DropY = std::max<int32_t>(kDropRect.Top, 550 - size.Y);
    Trace("drop shape=" + std::to_string(h->FType));
    RemoveFishka(FishkaUnderCursor);
    FishkaUnderCursor = -1;
    FitPreview = false;
    events_.RedrawAll();
    events_.Sound("drop.ogg");
    events_.DelayedSound("renewal.ogg", DropStart + DropTime - 1000);
}

void TPlayLevel::FreeDropSection() {
    if (State != kStatePlaying || !DropBusy || DropResets < 1) return;
    // Frees the section now whatever the clock says, and the renewal sound
    // scheduled for the old end is no longer due.
    DropBusy = false;
    DropStart = 0;
    --DropResets;
    events_.ChargesChanged(BeltClears, DropResets);
    events_.DelayedSound("", -1);
    events_.RedrawAll();
    Trace("drop-reset left=" + std::to_string(DropResets));
}

void TPlayLevel::CompleteLayerNow() {
    TLayer* l = Layer();
    if (!l || l->Complete || State != kStatePlaying) return;
    for (size_t k = 0; k < l->Frags.size(); ++k) l->FragsLevel[k] = 0;
    ++fragVersion_;
    CheckLayerComplete();
}
