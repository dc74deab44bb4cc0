#include "game/AutoPlayer.h"

#include <algorithm>

#include "game/Main.h"
#include "game/PlayRules.h"

namespace {

TShiftState ButtonState(bool right) {
    return right ? ssRight : ssLeft;
}

}  // namespace

void TAutoPlayer::Move(int32_t x, int32_t y) {
    TWindowEvent ev;
    ev.Kind = TWindowEventKind::MouseMove;
    ev.X = std::clamp(x, 0, 799);
    ev.Y = std::clamp(y, 0, 599);
    GameEngine->DispatchEvent(ev);
}

void TAutoPlayer::Click(int32_t x, int32_t y, bool right, bool shift) {
    Move(x, y);
    TWindowEvent ev;
    ev.X = std::clamp(x, 0, 799);
    ev.Y = std::clamp(y, 0, 599);
    ev.Button = right ? mbRight : mbLeft;
    ev.Shift = ButtonState(right) | (shift ? ssShift : 0u);
    ev.Kind = TWindowEventKind::MouseDown;
    GameEngine->DispatchEvent(ev);
    ev.Kind = TWindowEventKind::MouseUp;
    ev.Shift = shift ? ssShift : 0u;
    GameEngine->DispatchEvent(ev);
}

void TAutoPlayer::Key(int32_t key, TShiftState shift) {
    TWindowEvent ev;
    ev.Kind = TWindowEventKind::KeyDown;
    ev.Key = key;
    ev.Shift = shift;
    GameEngine->DispatchEvent(ev);
    ev.Kind = TWindowEventKind::KeyUp;
    GameEngine->DispatchEvent(ev);
}

bool TAutoPlayer::Fits(const TPlayLevel& level, int32_t shape) const {
    const TShapeTables& t = rules_.Tables();
    int32_t s = shape;
    for (int32_t i = 0; i < 8 && s >= 0; ++i) {
        if (!level.Placements(s, 1).empty()) return true;
        s = t.FindShape(t.NextName(s));
        if (s == shape) break;
    }
    return false;
}

bool TAutoPlayer::PlanFor(TPlayLevel& level, int32_t shape) {
    const TShapeTables& t = rules_.Tables();
    int32_t s = shape;
    // Prefer the placement touching the most filled neighbours would be
    // smarter; the first one found keeps the bot simple and predictable.
    for (int32_t i = 0; i < 8 && s >= 0; ++i) {
        const auto found = level.Placements(s, 1);
        if (!found.empty()) {
            planned_ = true;
            planShape_ = s;
            planPos_ = found.front().Position;
            rotations_ = 0;
            return true;
        }
        s = t.FindShape(t.NextName(s));
        if (s == shape) break;
    }
    planned_ = false;
    return false;
}

bool TAutoPlayer::ClickPoint(const TPlayLevel& level, int32_t belt, int32_t index, TPoint& screen) const {
    const TFishka& f = level.Scene.Belts[size_t(belt)].BeltFishkas[size_t(index)];
    std::vector<TPoint> candidates;
    if (f.IsBonus()) {
        candidates.push_back({f.CenterX, f.CenterY});
    } else if (f.IsExtraFish()) {
        const TPoint size = level.PieceSize(f);
        candidates.push_back({f.X + size.X / 2, f.Y + size.Y / 2});
    } else {
        for (const TShapeCell& c : rules_.Tables().Shape(f.FType).Cells) {
            int64_t x = 0, y = 0;
            for (const TPoint& v : c.Vertices) {
                x += v.X;
                y += v.Y;
            }
            const int64_t n = std::max<int64_t>(1, int64_t(c.Vertices.size()));
            candidates.push_back({f.X + int32_t(x / n), f.Y + int32_t(y / n)});
        }
    }
    for (const TPoint& p : candidates) {
        const TPoint s = level.ToScreen(p.X, p.Y);
        if (s.X < 6 || s.Y < 6 || s.X > 653 || s.Y > 593) continue;
        if (level.FishkaAtPoint(p) >= 0) continue;
        const auto hit = level.BeltFishkaAtPoint(p);
        if (hit.first != belt || hit.second != index) continue;
        screen = s;
        return true;
    }
    return false;
}

void TAutoPlayer::Act() {
    TPlayLevel& level = rules_.Level();
    if (level.State != gsPlaying || level.Now < nextAction_) return;
    const TLayer* l = level.Layer();
    if (!l || l->Complete) return;
    nextAction_ = level.Now + kActionInterval;
    if (level.HasHeld()) {
        ActHolding(level);
        return;
    }
    planned_ = false;
    if (RescueBelts(level)) return;
    TakeUseful(level);
}

bool TAutoPlayer::ActHolding(TPlayLevel& level) {
    const TFishka& h = *level.Held();
    const TLayer& l = *level.Layer();
    if (h.IsExtraFish()) {
        if (h.ExtraFishType < 0 || h.ExtraFishType >= int32_t(l.ExtraFishes.size())) return false;
        const TExtraFish& spot = l.ExtraFishes[size_t(h.ExtraFishType)];
        const TPoint size = level.PieceSize(h);
        const TPoint s = level.ToScreen(spot.PosX + size.X / 2, spot.PosY + size.Y / 2);
        Click(s.X, s.Y, false);
        return true;
    }
    if (planned_ && planShape_ >= 0) {
        // The plan still holds while its fragments are free.
        TFishka probe = h;
        probe.FType = planShape_;
        probe.X = planPos_.X;
        probe.Y = planPos_.Y;
        if (!level.TestFit(probe).Fits) planned_ = false;
    }
    if (!planned_ && !PlanFor(level, h.FType)) {
        // Nowhere to go: into the drop section, else back onto a belt.
        if (!level.DropBusy) {
            Click(727, 520, false);
            return true;
        }
        const TLenta& b = level.Scene.Belts[size_t(l.BeltIds.front())];
        const TPoint p = b.PointAt(std::min<TGameTime>(b.PathTime / 5, 4000));
        const TPoint s = level.ToScreen(p.X, p.Y);
        Click(s.X, s.Y, false);
        return true;
    }
    if (h.FType != planShape_) {
        if (++rotations_ > 8) {
            planned_ = false;
            return false;
        }
        Click(GameEngine->MouseX, GameEngine->MouseY, true);
        return true;
    }
    const TPoint c = rules_.Tables().Shape(planShape_).Center;
    const TPoint s = level.ToScreen(planPos_.X + c.X, planPos_.Y + c.Y);
    Click(s.X, s.Y, false);
    return true;
}

bool TAutoPlayer::RescueBelts(TPlayLevel& level) {
    const TLayer& l = *level.Layer();
    for (size_t bi = 0; bi < l.BeltIds.size(); ++bi) {
        const int32_t id = l.BeltIds[bi];
        TLenta& b = level.Scene.Belts[size_t(id)];
        int32_t front = -1;
        for (size_t i = 0; i < b.BeltFishkas.size(); ++i)
            if (b.BeltFishkas[i].BornTime <= level.Now) {
                front = int32_t(i);
                break;
            }
        if (front < 0) continue;
        const TFishka& f = b.BeltFishkas[size_t(front)];
        const TGameTime left = b.PathTime - (level.Now - f.BornTime);
        if (left > 9000) continue;
        TPoint s;
        // A bonus near the end: fire a sand glass or an amulet (the chain
        // stands or backs off), throw the rest away.
        for (size_t i = 0; i < b.BeltFishkas.size(); ++i) {
            const TFishka& g = b.BeltFishkas[i];
            if (!g.IsBonus() || g.BornTime > level.Now) continue;
            if ((g.BonusType == btStop || g.BonusType == btReverse) && left < 6000 &&
                ClickPoint(level, id, int32_t(i), s)) {
                Click(s.X, s.Y, false);
                return true;
            }
        }
        if (f.IsBonus() && ClickPoint(level, id, front, s)) {
            Click(s.X, s.Y, f.BonusType == btStop || f.BonusType == btReverse ? false : left > 3000);
            return true;
        }
        if (f.IsExtraFish() || Fits(level, f.FType)) {
            if (ClickPoint(level, id, front, s)) {
                Click(s.X, s.Y, false);
                return true;
            }
            continue;
        }
        // The front piece fits nowhere.
        if (!level.DropBusy && ClickPoint(level, id, front, s)) {
            Click(s.X, s.Y, false);
            return true;
        }
        if (level.DropBusy && level.DropResets > 0 && left < 5000) {
            Key(VK::Space, ssShift);
            return true;
        }
        if (b.ChameleonShots > 0 && b.ShotStart < 0 && rules_.Tables().Shape(f.FType).Cells.size() > 1) {
            const TPoint c = level.ToScreen(b.ChameleonX + 64, b.ChameleonY + 64);
            Click(c.X, c.Y, false);
            return true;
        }
        if (left < 3000 && bi == 0 && level.BeltClears > 0) {
            Key(VK::Space, ssCtrl);
            return true;
        }
    }
    return false;
}

bool TAutoPlayer::TakeUseful(TPlayLevel& level) {
    const TLayer& l = *level.Layer();
    for (int32_t id : l.BeltIds) {
        const TLenta& b = level.Scene.Belts[size_t(id)];
        for (size_t i = 0; i < b.BeltFishkas.size(); ++i) {
            const TFishka& f = b.BeltFishkas[i];
            if (f.BornTime > level.Now || f.Trans < 128) continue;
            if (f.IsBonus()) continue;
            if (!f.IsExtraFish() && !Fits(level, f.FType)) continue;
            TPoint s;
            if (!ClickPoint(level, id, int32_t(i), s)) continue;
            Click(s.X, s.Y, false);
            return true;
        }
    }
    return false;
}
