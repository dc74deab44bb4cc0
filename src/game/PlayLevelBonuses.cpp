// Bonus pieces, throw-offs, the belt clear, the loss of a level, the
// Chameleons at the belts' ends and the alarm.
#include <algorithm>
#include <cmath>

#include "game/PlayLevel.h"

namespace {

constexpr int32_t kStatePlaying = 1;
constexpr TGameTime kChameleonRenewal = 14000;
// Where the shot icons sit in the Chameleon's 128 x 128 square before it is
// turned to face its belt.
constexpr TPoint kShotIconBase[4] = {{68, 24}, {96, 34}, {115, 56}, {115, 85}};

}  // namespace

void TPlayLevel::SetupChameleons() {
    const TLayer* l = Layer();
    if (!l) return;
    for (int32_t id : l->BeltIds) {
        TLenta& b = Scene.Belts[size_t(id)];
        const TPoint s = b.PointAt(0);
        const TPoint e = b.PointAt(b.PathTime);
        b.StartMarkerX = s.X - 75;
        b.StartMarkerY = s.Y - 75;
        b.ChameleonX = e.X - 64;
        b.ChameleonY = e.Y - 64;
        double dx = 1, dy = 0;
        b.DirectionAt(b.PathTime, dx, dy);
        for (size_t i = 0; i < 4; ++i) {
            const double x = kShotIconBase[i].X - 64.0;
            const double y = kShotIconBase[i].Y - 64.0;
            b.ShotIcons[i] = {static_cast<int32_t>(std::lround(64 + x * dx - y * dy)),
                              static_cast<int32_t>(std::lround(64 + x * dy + y * dx))};
        }
        b.ShotStart = -1;
        b.BombEnd = -1;
        b.ReverseUntil = b.StopUntil = b.RushUntil = -1;
        b.NextBornTime = Now;
        b.TrackTime = 0;
        b.StartFrame = b.EndFrame = 0;
    }
}

void TPlayLevel::ThrowOff(int32_t belt, int32_t index) {
    TLenta& b = Scene.Belts[size_t(belt)];
    if (index < 0 || index >= static_cast<int32_t>(b.BeltFishkas.size())) return;
    const TFishka& f = b.BeltFishkas[size_t(index)];
    double dx = 1, dy = 0;
    b.DirectionAt(Now - f.BornTime, dx, dy);
    events_.ThrowOffEffect(f, PiecePicture(f), f.IsBonus() ? f.BonusFrames : 1, dx, dy);
    Trace("throwoff belt=" + std::to_string(belt) + " shape=" + std::to_string(f.FType) +
          " bonus=" + std::to_string(f.BonusType) + " extra=" + std::to_string(f.ExtraFishType));
    ExtraFishGone(f);
    RemoveBeltFishka(belt, index);
}

void TPlayLevel::FireBonus(int32_t belt, int32_t index) {
    TLenta& b = Scene.Belts[size_t(belt)];
    if (index < 0 || index >= static_cast<int32_t>(b.BeltFishkas.size())) return;
    const TFishka bonus = b.BeltFishkas[size_t(index)];
    const TGameTime bonusAge = Now - bonus.BornTime;
    switch (bonus.BonusType) {
        case btBomb:
        case btBigBomb: {
            const bool big = bonus.BonusType == btBigBomb;
            b.BombAge = bonusAge;
            b.BombEnd = Now + 1000;
            b.BombRMax = big ? params_.BigBombRMax : params_.BombRMax;
            b.BombPMax = big ? params_.BigBombPMax : params_.BombPMax;
            b.BombRollTime = big ? params_.BigBombRollTime : params_.BombRollTime;
            b.BombKP = big ? params_.BigBombKP : params_.BombKP;
            const double reach = big ? 400 : 200;
            const TGameTime ref = bonusAge % b.PathTime;
            std::vector<int32_t> victims;
            for (size_t i = 0; i < b.BeltFishkas.size(); ++i) {
                const TGameTime age = Now - b.BeltFishkas[i].BornTime;
                if (age < 0) continue;
                const double d = std::fabs(double(age % b.PathTime - ref)) * b.PathLength / double(b.PathTime);
                if (d < reach || int32_t(i) == index) victims.push_back(int32_t(i));
            }
            Trace("bonus kind=" + std::to_string(bonus.BonusType) + " belt=" + std::to_string(belt) +
                  " victims=" + std::to_string(victims.size()));
            for (auto it = victims.rbegin(); it != victims.rend(); ++it) ThrowOff(belt, *it);
            events_.RedrawAll();
            if (b.BeltFishkas.empty()) b.NextBornTime = Now - 1;
            events_.Sound(big ? "8_bigl_spider.ogg" : "7_small_spider.ogg");
            break;
        }
        case btReverse:
            RemoveBeltFishka(belt, index);
            b.ReverseUntil = Now + 1300 + std::llround(1300 * Skills.Percent(skRevercer) / 100.0);
            b.ReverseStart = Now;
            b.StopUntil = -1;
            Trace("bonus kind=2 belt=" + std::to_string(belt) + " until=" + std::to_string(b.ReverseUntil));
            events_.Sound("9_chainback.ogg");
            break;
        case btStop: {
            RemoveBeltFishka(belt, index);
            const TGameTime d = b.NextBornTime - Now;
            b.StopStart = Now;
            b.StopUntil = Now + 7000 + std::llround(7000 * Skills.Percent(skClockPause) / 100.0);
            b.NextBornTime = b.StopUntil + d;
            b.ReverseUntil = -1;
            Trace("bonus kind=3 belt=" + std::to_string(belt) + " until=" + std::to_string(b.StopUntil));
            events_.Sound("10_clock.ogg");
            break;
        }
        default:
            break;
    }
}

void TPlayLevel::ThrowOffBonus(int32_t belt, int32_t index) {
    ThrowOff(belt, index);
}

void TPlayLevel::ClearFirstBelt() {
    const TLayer* l = Layer();
    if (State != kStatePlaying || !l || l->BeltIds.empty() || BeltClears < 1) return;
    const int32_t id = l->BeltIds.front();
    TLenta& b = Scene.Belts[size_t(id)];
    for (int32_t i = static_cast<int32_t>(b.BeltFishkas.size()) - 1; i >= 0; --i) ThrowOff(id, i);
    b.BeltFishkas.clear();
    b.NextBornTime = Now - 1;
    --BeltClears;
    events_.ChargesChanged(BeltClears, DropResets);
    events_.RedrawAll();
    events_.Sound("7_small_spider.ogg");
    Trace("belt-clear belt=" + std::to_string(id) + " left=" + std::to_string(BeltClears));
}

void TPlayLevel::LoseGame() {
    const TLayer* l = Layer();
    if (!l) return;
    for (int32_t id : l->BeltIds)
        for (int32_t i = static_cast<int32_t>(Scene.Belts[size_t(id)].BeltFishkas.size()) - 1; i >= 0; --i)
            ThrowOff(id, i);
}

void TPlayLevel::ChameleonClick(TPoint p) {
    const TLayer* l = Layer();
    if (!l) return;
    for (int32_t id : l->BeltIds) {
        TLenta& b = Scene.Belts[size_t(id)];
        // The 150 x 150 square around the Chameleon (its picture is 128).
        const bool onChameleon = p.X >= b.ChameleonX - 11 && p.X < b.ChameleonX + 139 && p.Y >= b.ChameleonY - 11 &&
                                 p.Y < b.ChameleonY + 139;
        if (onChameleon && b.ChameleonShots > 0 && b.ShotStart < 0) {
            b.ShotStart = Now;
            const TPoint icon = b.ShotIcons[size_t(std::clamp(b.ChameleonShots - 1, 0, 3))];
            const TPoint s = ToScreen(b.ChameleonX + icon.X, b.ChameleonY + icon.Y);
            events_.Redraw({s.X - 16, s.Y - 16, s.X + 16, s.Y + 16});
            --b.ChameleonShots;
            if (b.ChameleonRenewTime < Now)
                b.ChameleonRenewTime = Now + kChameleonRenewal -
                                       std::llround(kChameleonRenewal * Skills.Percent(skChameleonRenewal) / 100.0);
            events_.Sound("17_chameleon.ogg");
            if (SceneInd == 1) events_.HideHint("WGame_HintClickChameleon");
            Trace("shot belt=" + std::to_string(id) + " left=" + std::to_string(b.ChameleonShots));
            return;
        }
        const double d = std::hypot(double(p.X - (b.StartMarkerX + 75)), double(p.Y - (b.StartMarkerY + 75)));
        if (d < 25 && b.RushUntil < Now) {
            b.RushUntil = Now + 1000;
            Trace("rush belt=" + std::to_string(id));
            return;
        }
    }
}

void TPlayLevel::UpdateShots() {
    const TLayer* l = Layer();
    if (!l) return;
    for (int32_t id : l->BeltIds) {
        TLenta& b = Scene.Belts[size_t(id)];
        if (b.ShotStart < 0) continue;
        const TGameTime ts = b.PathTime - (Now - b.ShotStart) * 40;
        const TPoint at = ToScreen(b.PointAt(ts).X, b.PointAt(ts).Y);
        events_.Redraw({at.X - 40, at.Y - 40, at.X + 40, at.Y + 40});
        if (ts < 0 || ts > b.PathTime) {
            b.ShotStart = -1;
            continue;
        }
        for (TFishka& f : b.BeltFishkas) {
            const TGameTime age = Now - f.BornTime;
            if (age < 0 || f.IsBonus() || f.IsExtraFish()) continue;
            if (f.FType < 0 || f.FType >= tables_.ShapeCount() || tables_.Shape(f.FType).Cells.size() <= 1) continue;
            if (age <= ts) continue;
            b.ShotStart = -1;
            Trace("shot-hit belt=" + std::to_string(id) + " shape=" + std::to_string(f.FType));
            f.FType = 0;
            const TPoint size = events_.PictureSize(tables_.Shape(0).Picture);
            f.HalfLength = std::llround(double(b.PathTime) / b.PathLength * std::max(size.X, size.Y) / 2);
            events_.RedrawAll();
            break;
        }
    }
}

void TPlayLevel::UpdateAlarm() {
    const TLayer* l = Layer();
    AlarmOn = false;
    if (!l || State != kStatePlaying || Mode == 1) return;
    int32_t danger = -1;
    for (int32_t id : l->BeltIds)
        if (BeltInDanger(Scene.Belts[size_t(id)])) {
            danger = id;
            break;
        }
    AlarmOn = danger >= 0;
    if (!AlarmOn || Now <= NextAlarmTime || l->BeltIds.empty()) return;
    for (const TFishka& f : Scene.Belts[size_t(l->BeltIds.front())].BeltFishkas)
        if (f.Acceleration != 0) return;
    NextAlarmTime = Now + 1500;
    events_.Sound("19_alarm.ogg");
    Trace("alarm belt=" + std::to_string(danger));
    if (SceneInd == 1 && CurrentLayer == 0 && !ChameleonHintShown) {
        ChameleonHintShown = true;
        TLenta& b = Scene.Belts[size_t(danger)];
        const TPoint s = ToScreen(b.ChameleonX + 64, b.ChameleonY + 64);
        events_.ShowHint("WGame_HintChameleon", s.X, s.Y);
        b.ReverseUntil = Now + 2500;
        b.ReverseStart = Now;
    }
}
