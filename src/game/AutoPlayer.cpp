#include "game/AutoPlayer.h"

#include <algorithm>
#include <cmath>

#include "game/Main.h"
#include "game/PlayRules.h"

namespace {

constexpr int32_t kStatePlaying = 1;
// A belt whose front piece is this close to the end is rescued before
// anything else is done.
constexpr TGameTime kCritical = 8000;
// Below this the belt's pieces are preferred the more, the closer it is.
constexpr TGameTime kDanger = 16000;
constexpr double kUrgencyWeight = 1.5;
// A placement judged below this (it leaves fragments hard to cover) is
// not worth a piece unless its belt is in danger.
constexpr double kPoorScore = -1.0;
// Pieces are moved onto another belt only when that one has at least this
// much more time.
constexpr TGameTime kTransferMargin = 12000;
// Where the drop section is clicked (inside its rectangle).
constexpr TPoint kDropPoint{727, 520};

}  // namespace

TAutoPlayer::TAutoPlayer(TPlayRules& rules) : rules_(rules), planner_(rules.Tables()) {}

// ---------------------------------------------------------------------------
// Input: what a player's mouse and keyboard send

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
    ev.Shift = (right ? ssRight : ssLeft) | (shift ? ssShift : 0u);
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

// ---------------------------------------------------------------------------
// Reading the belts

TGameTime TAutoPlayer::TimeLeft(const TPlayLevel& level, const TLenta& b) {
    if (!b.HasPath()) return 0;
    const auto& list = b.BeltFishkas;
    if (list.empty()) return b.PathTime;
    // Pieces close a gap by moving back toward the piece behind them, so
    // once the chain is closed the front stands where the back of the chain
    // reaches, or where it is now if that is further back.
    TGameTime born = list.back().BornTime;
    for (size_t i = list.size() - 1; i-- > 0;)
        born = std::max(list[i].BornTime, born - (b.Gap + list[i].HalfLength + list[i + 1].HalfLength));
    TGameTime left = b.PathTime - (level.Now - born);
    if (b.StopUntil > level.Now) left += b.StopUntil - level.Now;
    if (b.ReverseUntil > level.Now) left += 4 * (b.ReverseUntil - level.Now);
    if (b.RushUntil > level.Now && b.StopUntil <= level.Now && b.ReverseUntil <= level.Now)
        left -= 4 * (b.RushUntil - level.Now);
    return left;
}

std::vector<TAutoPlayer::TBeltState> TAutoPlayer::Belts(const TPlayLevel& level) const {
    std::vector<TBeltState> out;
    const TLayer* l = level.Layer();
    if (!l) return out;
    for (size_t i = 0; i < l->BeltIds.size(); ++i) {
        const TLenta& b = level.Scene.Belts[size_t(l->BeltIds[i])];
        if (!b.HasPath()) continue;
        out.push_back({l->BeltIds[i], TimeLeft(level, b), i == 0});
    }
    std::stable_sort(out.begin(), out.end(), [](const TBeltState& a, const TBeltState& b) { return a.Left < b.Left; });
    return out;
}

bool TAutoPlayer::Fits(const TFishka& f) const {
    return f.IsOrdinary() && planner_.Fits(f.FType);
}

bool TAutoPlayer::Useful(const TFishka& f) const {
    if (!f.IsOrdinary()) return false;
    const auto best = planner_.Best(f.FType);
    return best && best->Score >= kPoorScore;
}

int32_t TAutoPlayer::ShotTarget(const TPlayLevel& level, const TLenta& b) const {
    const TShapeTables& t = rules_.Tables();
    for (size_t i = 0; i < b.BeltFishkas.size(); ++i) {
        const TFishka& f = b.BeltFishkas[i];
        if (f.BornTime > level.Now || !f.IsOrdinary()) continue;
        if (f.FType < 0 || f.FType >= t.ShapeCount() || t.Shape(f.FType).Cells.size() <= 1) continue;
        return static_cast<int32_t>(i);
    }
    return -1;
}

int32_t TAutoPlayer::FrontUseless(const TPlayLevel& level, int32_t belt) const {
    const TLenta& b = level.Scene.Belts[size_t(belt)];
    TPoint s;
    for (size_t i = 0; i < b.BeltFishkas.size(); ++i) {
        const TFishka& f = b.BeltFishkas[i];
        if (f.BornTime > level.Now || !f.IsOrdinary() || Useful(f)) continue;
        if (ClickPoint(level, belt, static_cast<int32_t>(i), s)) return static_cast<int32_t>(i);
    }
    return -1;
}

std::pair<int32_t, int32_t> TAutoPlayer::SpiderVictims(const TPlayLevel& level, const TLenta& b, int32_t index) const {
    // The same reach the spider has when it is fired.
    const TFishka& bonus = b.BeltFishkas[size_t(index)];
    const double reach = bonus.BonusType == btBigBomb ? 400 : 200;
    const TGameTime ref = (level.Now - bonus.BornTime) % b.PathTime;
    int32_t fit = 0, other = 0;
    for (size_t i = 0; i < b.BeltFishkas.size(); ++i) {
        const TFishka& f = b.BeltFishkas[i];
        const TGameTime age = level.Now - f.BornTime;
        if (age < 0 || int32_t(i) == index) continue;
        const double d = std::fabs(double(age % b.PathTime - ref)) * b.PathLength / double(b.PathTime);
        if (d >= reach) continue;
        if (Useful(f) || f.IsExtraFish())
            ++fit;
        else
            ++other;
    }
    return {fit, other};
}

bool TAutoPlayer::ClickPoint(const TPlayLevel& level, int32_t belt, int32_t index, TPoint& screen) const {
    const TFishka& f = level.Scene.Belts[size_t(belt)].BeltFishkas[size_t(index)];
    std::vector<TPoint> candidates;
    if (f.IsBonus()) {
        candidates.push_back({f.CenterX, f.CenterY});
    } else if (f.IsExtraFish()) {
        const TPoint size = level.PieceSize(f);
        candidates.push_back({f.X + size.X / 2, f.Y + size.Y / 2});
    } else if (f.FType >= 0 && f.FType < rules_.Tables().ShapeCount()) {
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

bool TAutoPlayer::ChameleonPoint(const TPlayLevel& level, const TLenta& b, TPoint& screen) const {
    // Somewhere on the Chameleon's square that no piece covers (a click on
    // a piece takes the piece) and away from every start marker.
    const TLayer& l = *level.Layer();
    for (int32_t dy = 64; dy <= 128; dy += 16)
        for (int32_t sign : {1, -1})
            for (int32_t dx = 0; dx <= 64; dx += 16) {
                const TPoint p{b.ChameleonX + 64 + sign * dx, b.ChameleonY + 64 + (dy - 64) * sign};
                const TPoint s = level.ToScreen(p.X, p.Y);
                if (s.X < 6 || s.Y < 6 || s.X > 653 || s.Y > 593) continue;
                if (level.FishkaAtPoint(p) >= 0 || level.BeltFishkaAtPoint(p).first >= 0) continue;
                bool nearStart = false;
                for (int32_t id : l.BeltIds) {
                    const TLenta& o = level.Scene.Belts[size_t(id)];
                    nearStart = nearStart ||
                                std::hypot(double(p.X - o.StartMarkerX - 75), double(p.Y - o.StartMarkerY - 75)) < 30;
                }
                if (nearStart) continue;
                // The first belt whose square holds the point gets the click.
                for (int32_t id : l.BeltIds) {
                    const TLenta& o = level.Scene.Belts[size_t(id)];
                    if (p.X >= o.ChameleonX - 11 && p.X < o.ChameleonX + 139 && p.Y >= o.ChameleonY - 11 &&
                        p.Y < o.ChameleonY + 139) {
                        if (&o == &b) {
                            screen = s;
                            return true;
                        }
                        break;
                    }
                }
            }
    return false;
}

bool TAutoPlayer::PathPoint(const TPlayLevel& level, int32_t belt, TPoint& screen) const {
    // A point of the belt's early path that no other belt passes near, so
    // a piece set down there joins this belt's chain.
    const TLayer& l = *level.Layer();
    const TLenta& b = level.Scene.Belts[size_t(belt)];
    for (int32_t part : {25, 15, 35, 45, 10, 55}) {
        const TPoint p = b.PointAt(b.PathTime * part / 100);
        const TPoint s = level.ToScreen(p.X, p.Y);
        if (s.X < 6 || s.Y < 6 || s.X > 653 || s.Y > 593) continue;
        bool clear = true;
        for (int32_t id : l.BeltIds) {
            if (id == belt || !clear) continue;
            const TLenta& o = level.Scene.Belts[size_t(id)];
            if (!o.HasPath()) continue;
            const TGameTime step = std::max<TGameTime>(1, o.PathTime * 8 / std::max(1, o.PathLength));
            for (TGameTime t = 0; t <= o.PathTime && clear; t += step) {
                const TPoint q = o.PointAt(t);
                clear = std::hypot(double(q.X - p.X), double(q.Y - p.Y)) > 60;
            }
        }
        if (!clear) continue;
        screen = s;
        return true;
    }
    return false;
}

bool TAutoPlayer::Take(TPlayLevel& level, int32_t belt, int32_t index, TGoal goal) {
    TPoint s;
    if (!ClickPoint(level, belt, index, s)) return false;
    goal_ = goal;
    planned_ = false;
    Click(s.X, s.Y, false);
    return true;
}

// ---------------------------------------------------------------------------
// Deciding

void TAutoPlayer::Act() {
    TPlayLevel& level = rules_.Level();
    if (level.State != kStatePlaying || level.Now < nextAction_) return;
    const TLayer* l = level.Layer();
    if (!l || l->Complete) return;
    nextAction_ = level.Now + kActionInterval;
    planner_.Update(level);
    if (level.HasHeld()) {
        ActHolding(level);
        return;
    }
    const std::vector<TBeltState> belts = Belts(level);
    for (const TBeltState& b : belts)
        if (b.Left < kCritical && RescueBelt(level, belts, b)) return;
    if (TakeExtraFish(level, belts)) return;
    if (UseBonuses(level, belts)) return;
    if (TakeBest(level, belts, -1)) return;
    if (ShootUseless(level, belts, false)) return;
    DropUseless(level, belts, -1);
}

bool TAutoPlayer::RescueBelt(TPlayLevel& level, const std::vector<TBeltState>& belts, const TBeltState& belt) {
    TLenta& b = level.Scene.Belts[size_t(belt.Id)];
    // Bonuses first: one click each, and each buys seconds.
    for (size_t i = 0; i < b.BeltFishkas.size(); ++i)
        if (b.BeltFishkas[i].IsBonus() && b.BeltFishkas[i].BornTime <= level.Now &&
            UseBonus(level, belt, static_cast<int32_t>(i), true))
            return true;
    if (TakeBest(level, belts, belt.Id)) return true;
    for (size_t i = 0; i < b.BeltFishkas.size(); ++i)
        if (b.BeltFishkas[i].IsExtraFish() && b.BeltFishkas[i].BornTime <= level.Now &&
            Take(level, belt.Id, static_cast<int32_t>(i), TGoal::Place))
            return true;
    if (ShootUseless(level, {belt}, true)) return true;
    if (!level.DropBusy && DropUseless(level, {belt}, belt.Id)) return true;
    if (belt.First && level.BeltClears > 0 && belt.Left < kCritical / 2) {
        Key(VK::Space, ssCtrl);
        return true;
    }
    if (level.DropBusy && level.DropResets > 0 && FrontUseless(level, belt.Id) >= 0) {
        Key(VK::Space, ssShift);
        return true;
    }
    return Transfer(level, belts, belt);
}

bool TAutoPlayer::UseBonus(TPlayLevel& level, const TBeltState& belt, int32_t index, bool critical) {
    const TLenta& b = level.Scene.Belts[size_t(belt.Id)];
    const TFishka& f = b.BeltFishkas[size_t(index)];
    TPoint s;
    if (!ClickPoint(level, belt.Id, index, s)) return false;
    const bool stopped = b.StopUntil > level.Now;
    const bool reversing = b.ReverseUntil > level.Now;
    const bool rushing = b.RushUntil > level.Now;
    const TGameTime ownLeft = b.PathTime - (level.Now - f.BornTime);
    // Any bonus about to reach the end goes: fired if that does any good,
    // else thrown off (which also shortens the chain).
    const bool late = ownLeft < kCritical / 2;
    bool fire = false;
    switch (f.BonusType) {
        case btStop:
        case btReverse:
            // One phase at a time: a new one would cut the running one short.
            fire = !stopped && !reversing && (critical || late || (!rushing && belt.Left < b.PathTime * 6 / 10));
            break;
        case btBomb:
        case btBigBomb: {
            // A spider always takes itself off the chain, so near the end
            // firing it is never worse than throwing it away.
            const auto [fit, other] = SpiderVictims(level, b, index);
            fire = critical || late || (other >= 2 && other > fit) ||
                   (belt.Left < b.PathTime / 2 && fit + other >= 3 && other >= fit);
            break;
        }
        default:
            break;
    }
    if (fire || late) {
        Click(s.X, s.Y, !fire);
        return true;
    }
    return false;
}

bool TAutoPlayer::UseBonuses(TPlayLevel& level, const std::vector<TBeltState>& belts) {
    for (const TBeltState& belt : belts) {
        const TLenta& b = level.Scene.Belts[size_t(belt.Id)];
        for (size_t i = 0; i < b.BeltFishkas.size(); ++i)
            if (b.BeltFishkas[i].IsBonus() && b.BeltFishkas[i].BornTime <= level.Now &&
                UseBonus(level, belt, static_cast<int32_t>(i), false))
                return true;
    }
    return false;
}

bool TAutoPlayer::TakeExtraFish(TPlayLevel& level, const std::vector<TBeltState>& belts) {
    const TLayer& l = *level.Layer();
    for (const TBeltState& belt : belts) {
        const TLenta& b = level.Scene.Belts[size_t(belt.Id)];
        for (size_t i = 0; i < b.BeltFishkas.size(); ++i) {
            const TFishka& f = b.BeltFishkas[i];
            if (!f.IsExtraFish() || f.BornTime > level.Now) continue;
            if (f.ExtraFishType >= static_cast<int32_t>(l.ExtraFishes.size())) continue;
            if (Take(level, belt.Id, static_cast<int32_t>(i), TGoal::Place)) return true;
        }
    }
    return false;
}

bool TAutoPlayer::TakeBest(TPlayLevel& level, const std::vector<TBeltState>& belts, int32_t onlyBelt) {
    struct TCandidate {
        int32_t Belt;
        int32_t Index;
        double Value;
    };
    std::vector<TCandidate> candidates;
    for (const TBeltState& belt : belts) {
        if (onlyBelt >= 0 && belt.Id != onlyBelt) continue;
        const TLenta& b = level.Scene.Belts[size_t(belt.Id)];
        const bool danger = belt.Left < kDanger;
        const double urgency = danger ? kUrgencyWeight * double(kDanger - belt.Left) / double(kDanger) : 0.0;
        for (size_t i = 0; i < b.BeltFishkas.size(); ++i) {
            const TFishka& f = b.BeltFishkas[i];
            if (f.BornTime > level.Now || !f.IsOrdinary()) continue;
            const auto best = planner_.Best(f.FType);
            if (!best || (best->Score < kPoorScore && !danger)) continue;
            candidates.push_back({belt.Id, static_cast<int32_t>(i), best->Score + urgency});
        }
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const TCandidate& a, const TCandidate& b) { return a.Value > b.Value; });
    for (const TCandidate& c : candidates)
        if (Take(level, c.Belt, c.Index, TGoal::Place)) return true;
    return false;
}

bool TAutoPlayer::ShootUseless(TPlayLevel& level, const std::vector<TBeltState>& belts, bool critical) {
    for (const TBeltState& belt : belts) {
        const TLenta& b = level.Scene.Belts[size_t(belt.Id)];
        if (b.ChameleonShots <= 0 || b.ShotStart >= 0) continue;
        const int32_t target = ShotTarget(level, b);
        if (target < 0) continue;
        // A piece that fits is worth more whole, unless time is short.
        if (!critical && Useful(b.BeltFishkas[size_t(target)])) continue;
        TPoint s;
        if (!ChameleonPoint(level, b, s)) continue;
        Click(s.X, s.Y, false);
        return true;
    }
    return false;
}

bool TAutoPlayer::DropUseless(TPlayLevel& level, const std::vector<TBeltState>& belts, int32_t onlyBelt) {
    if (level.DropBusy) return false;
    for (const TBeltState& belt : belts) {
        if (onlyBelt >= 0 && belt.Id != onlyBelt) continue;
        const TLenta& b = level.Scene.Belts[size_t(belt.Id)];
        // A chain that has hardly set out keeps its pieces: one of them may
        // fit once the layer has filled more.
        if (onlyBelt < 0 && belt.Left > b.PathTime * 3 / 4) continue;
        const int32_t i = FrontUseless(level, belt.Id);
        if (i >= 0 && Take(level, belt.Id, i, TGoal::Drop)) return true;
    }
    return false;
}

bool TAutoPlayer::Transfer(TPlayLevel& level, const std::vector<TBeltState>& belts, const TBeltState& from) {
    // Moving a piece that fits nowhere onto a belt with time to spare: onto
    // the first belt while it can still be cleared, else the safest one.
    const TBeltState* to = nullptr;
    for (const TBeltState& b : belts) {
        if (b.Id == from.Id || b.Left < from.Left + kTransferMargin) continue;
        if (!to || (b.First && level.BeltClears > 0) || (!(to->First && level.BeltClears > 0) && b.Left > to->Left))
            to = &b;
    }
    if (!to) return false;
    TPoint s;
    if (!PathPoint(level, to->Id, s)) return false;
    const int32_t i = FrontUseless(level, from.Id);
    if (i < 0) return false;
    transferTo_ = to->Id;
    return Take(level, from.Id, i, TGoal::Transfer);
}

// ---------------------------------------------------------------------------
// The piece in the hand

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
    if (goal_ == TGoal::Place) {
        if (planned_) {
            // The plan holds while its fragments are still free.
            TFishka probe = h;
            probe.FType = plan_.Shape;
            probe.X = plan_.Position.X;
            probe.Y = plan_.Position.Y;
            const TFitResult fit = level.TestFit(probe);
            planned_ = fit.Fits && fit.Position == plan_.Position;
        }
        if (!planned_) {
            const auto best = planner_.Best(h.FType);
            planned_ = best.has_value();
            if (best) plan_ = *best;
        }
        if (!planned_) goal_ = TGoal::Drop;
    }
    if (goal_ == TGoal::Place) {
        const int32_t turns = planner_.TurnsBetween(h.FType, plan_.Shape);
        if (turns != 0) {
            Click(GameEngine->MouseX, GameEngine->MouseY, true, turns < 0);
            return true;
        }
        const TPoint c = rules_.Tables().Shape(plan_.Shape).Center;
        const TPoint s = level.ToScreen(plan_.Position.X + c.X, plan_.Position.Y + c.Y);
        Click(s.X, s.Y, false);
        return true;
    }
    if (goal_ == TGoal::Drop) {
        if (!level.DropBusy) {
            Click(kDropPoint.X, kDropPoint.Y, false);
            return true;
        }
        if (level.DropResets > 0) {
            Key(VK::Space, ssShift);
            return true;
        }
        goal_ = TGoal::Transfer;
        transferTo_ = -1;
    }
    // Onto another belt: the chosen one, else the one with the most time.
    const std::vector<TBeltState> belts = Belts(level);
    int32_t to = transferTo_;
    if (to < 0 || std::none_of(belts.begin(), belts.end(), [to](const TBeltState& b) { return b.Id == to; }))
        to = belts.empty() ? -1 : belts.back().Id;
    TPoint s;
    if (to >= 0 && PathPoint(level, to, s)) {
        Click(s.X, s.Y, false);
        return true;
    }
    if (!belts.empty()) {
        const TLenta& b = level.Scene.Belts[size_t(belts.back().Id)];
        const TPoint p = b.PointAt(b.PathTime / 5);
        const TPoint q = level.ToScreen(p.X, p.Y);
        Click(q.X, q.Y, false);
        return true;
    }
    return false;
}
