// The level's flow and the belts: states, animations, scrolling, spawning,
// the chain's motion and the loss at a path's end.
#include "game/PlayLevel.h"

#include <algorithm>
#include <cmath>

#include "base/SFunctions.h"
#include "fx/OrvFXBase.h"

namespace {

constexpr int32_t kStatePlaying = 1;
constexpr int32_t kStateScroll = 9;
constexpr int32_t kStateGameOver = 10;
constexpr int32_t kStateLayerStart = 11;
constexpr int32_t kStateLayerComplete = 12;
constexpr int32_t kStateGameWindow = 4;

int32_t PercentOf(int64_t base, int32_t percent) {
    return static_cast<int32_t>(std::llround(static_cast<double>(base) * percent / 100.0));
}

}  // namespace

TPlayLevel::TPlayLevel(const TShapeTables& tables, const TGameParams& params, TOrvRandom& random, IPlayEvents& events)
    : tables_(tables), params_(params), random_(random), events_(events) {
    Skills.Reset();
    SnapshotSkills = Skills;
}

TLayer* TPlayLevel::Layer() {
    if (CurrentLayer < 0 || CurrentLayer >= static_cast<int32_t>(Scene.Layers.size())) return nullptr;
    return &Scene.Layers[static_cast<size_t>(CurrentLayer)];
}

const TLayer* TPlayLevel::Layer() const {
    if (CurrentLayer < 0 || CurrentLayer >= static_cast<int32_t>(Scene.Layers.size())) return nullptr;
    return &Scene.Layers[static_cast<size_t>(CurrentLayer)];
}

void TPlayLevel::Trace(const std::string& text) {
    events_.Trace(text);
}

// ---------------------------------------------------------------------------
// Game and level flow

void TPlayLevel::NewGame(int32_t mode) {
    TotalScore = PrevScore = 0;
    Mode = std::clamp(mode, 1, 3);
    SceneInd = 1;
    Skills.Reset();
    Skills[skEconomy] = Mode == 3 ? 2 : 0;
    Lost = false;
    TakeSnapshot();
}

void TPlayLevel::TakeScene(TScene&& scene) {
    Scene = std::move(scene);
    CurrentLayer = 0;
    FishkaUnderCursor = -1;
    BeltClears = DropResets = 5;
    DropBusy = false;
    FitPreview = FitPreviewLost = false;
    indexedLayer_ = -1;
    ++fragVersion_;
    if (const TLayer* l = Layer()) {
        ScrollX = ScrollTargetX = l->X + l->ShX;
        ScrollY = ScrollTargetY = l->Y + l->ShY;
    }
    ComputeBonusWeights();
    BuildFragmentIndex();
}

void TPlayLevel::TakeSnapshot() {
    PrevScore = TotalScore;
    SnapshotScore = TotalScore;
    SnapshotSkills = Skills;
}

void TPlayLevel::RestoreSnapshot() {
    TotalScore = SnapshotScore;
    Skills = SnapshotSkills;
    ComputeBonusWeights();
}

void TPlayLevel::StartLevel(int32_t layer) {
    if (layer < 0 || layer >= static_cast<int32_t>(Scene.Layers.size())) return;
    CurrentLayer = layer;
    const TLayer& l = *Layer();
    ScrollX = ScrollTargetX = l.X + l.ShX;
    ScrollY = ScrollTargetY = l.Y + l.ShY;
    BeltClears = DropResets = 5;
    ArtefactWindowTime = -1;
    LayerCompleteTime = -1;
    GameOverTime = -1;
    Lost = false;
    ComputeRushTimes();
    TakeSnapshot();
    BuildFragmentIndex();
    SetupChameleons();
    State = kStateLayerStart;
    AnimationStart = Now;
    AnimationT1 = Now + 1440;
    AnimationT2 = AnimationT1 + 1000;
    NextAnimationStep = Now + kAnimationStep;
    events_.FragmentsChanged();
    events_.RedrawAll();
    // The panel shows the level and the score a loaded or restarted game
    // brings along, not what the last level left there.
    events_.LevelChanged(SceneInd, CurrentLayer);
    events_.ScoreChanged(TotalScore);
    events_.ChargesChanged(BeltClears, DropResets);
    Trace("layer-start scene=" + std::to_string(SceneInd) + " layer=" + std::to_string(CurrentLayer));
}

bool TPlayLevel::AdvanceToNextLayer() {
    if (CurrentLayer + 1 >= static_cast<int32_t>(Scene.Layers.size())) return false;
    const TLayer& done = *Layer();
    events_.PaintIntoScene(done.Picture, done.X + done.PictureX, done.Y + done.PictureY);
    for (TLenta& b : Scene.Belts) b.BeltFishkas.clear();
    Scene.Fishkas.clear();
    FishkaUnderCursor = -1;
    ++CurrentLayer;
    const TLayer& l = *Layer();
    ScrollTargetX = l.X + l.ShX;
    ScrollTargetY = l.Y + l.ShY;
    scrollTurnX_ = ScrollX + (ScrollTargetX - ScrollX) / 2;
    scrollTurnY_ = ScrollY + (ScrollTargetY - ScrollY) / 2;
    scrollVelX_ = scrollVelY_ = 0;
    BuildFragmentIndex();
    SetupChameleons();
    State = kStateScroll;
    NextAnimationStep = Now + kAnimationStep;
    events_.FragmentsChanged();
    events_.RedrawAll();
    return true;
}

void TPlayLevel::Step(TGameTime now) {
    PrevFrameTime = Now;
    Now = now;
    switch (State) {
        case kStatePlaying:
            UpdatePlay();
            break;
        case kStateLayerStart:
            while (Now >= NextAnimationStep) {
                NextAnimationStep += kAnimationStep;
                StepAnimationFrames(-1);
            }
            if (Now > AnimationT2) {
                State = kStatePlaying;
                events_.RedrawAll();
                for (TLenta& b : Scene.Belts) {
                    b.ChameleonShots = 0;
                    b.ChameleonRenewTime = Now + 14000;
                }
            }
            break;
        case kStateLayerComplete:
            while (Now >= NextAnimationStep) {
                NextAnimationStep += kAnimationStep;
                StepAnimationFrames(1);
            }
            if (Now > AnimationT1) {
                for (TFishka& f : Scene.Fishkas) f.Trans = 0;
                State = kStateGameWindow;
                events_.FragmentsChanged();
                events_.RedrawAll();
                events_.LayerCompleteEnded();
            }
            break;
        case kStateGameOver:
            if (Now > GameOverTime) {
                State = kStateGameWindow;
                events_.RedrawAll();
                events_.GameOverEnded();
            }
            break;
        case kStateScroll:
            UpdateScroll();
            break;
        default:
            break;
    }
}

void TPlayLevel::StepAnimationFrames(int32_t delta) {
    const TLayer* l = Layer();
    if (!l) return;
    for (int32_t id : l->BeltIds) {
        TLenta& b = Scene.Belts[static_cast<size_t>(id)];
        b.StartFrame = (b.StartFrame + delta + 36) % 36;
        b.EndFrame = (b.EndFrame + delta + 36) % 36;
        const TPoint s = ToScreen(b.StartMarkerX, b.StartMarkerY);
        const TPoint c = ToScreen(b.ChameleonX, b.ChameleonY);
        events_.Redraw({s.X - 10, s.Y - 10, s.X + 160, s.Y + 160});
        events_.Redraw({c.X - 21, c.Y - 21, c.X + 149, c.Y + 149});
    }
}

void TPlayLevel::UpdateScroll() {
    while (Now >= NextAnimationStep && State == kStateScroll) {
        NextAnimationStep += kAnimationStep;
        auto axis = [](int32_t& pos, int32_t& vel, int32_t target, int32_t turn, int32_t maxVel, int32_t minVel) {
            if (pos == target) return false;
            const int32_t dir = target > pos ? 1 : -1;
            const bool beforeTurn = dir > 0 ? pos < turn : pos > turn;
            if (beforeTurn)
                vel = std::clamp(vel + dir, -127, 127);
            else if (vel != 0)
                vel -= vel > 0 ? 1 : -1;
            int32_t move = vel;
            if (move == 0) move = dir;
            if (maxVel > 0) move = std::min(move, maxVel);
            if (minVel < 0) move = std::max(move, minVel);
            // The velocity may point away from the target after a turn; the
            // view never walks away from where it goes.
            if ((move > 0) != (dir > 0)) move = dir;
            pos += move;
            if ((dir > 0 && pos >= target) || (dir < 0 && pos <= target)) {
                pos = target;
                vel = 0;
            }
            return true;
        };
        const bool movedX =
            axis(ScrollX, scrollVelX_, ScrollTargetX, scrollTurnX_, params_.ScrollMaxVelX, params_.ScrollMinVelX);
        const bool movedY =
            axis(ScrollY, scrollVelY_, ScrollTargetY, scrollTurnY_, params_.ScrollMaxVelY, params_.ScrollMinVelY);
        if (movedX || movedY) events_.RedrawAll();
        if (ScrollX == ScrollTargetX && ScrollY == ScrollTargetY) StartLevel(CurrentLayer);
    }
}

// ---------------------------------------------------------------------------
// Play

void TPlayLevel::UpdatePlay() {
    UpdateBelts();
    if (State != kStatePlaying) return;
    UpdateShots();
    UpdateAlarm();
    RemovePassedPieces();
    FadePlacedPieces();
    UpdateDecorations();
    if (DropBusy && Now >= DropStart + DropTime) {
        DropBusy = false;
        events_.Redraw({kDropRect.Left, kDropRect.Top, kDropRect.Right + 1, kDropRect.Bottom + 1});
    }
    if (ArtefactWindowTime >= 0 && Now > ArtefactWindowTime) {
        ArtefactWindowTime = -1;
        events_.ArtefactWindowDue();
    }
    const TLayer* l = Layer();
    if (l && l->Complete) {
        bool carried = false;
        for (int32_t id : l->BeltIds) carried = carried || !Scene.Belts[static_cast<size_t>(id)].BeltFishkas.empty();
        if (Now >= LayerCompleteTime || !carried) {
            State = kStateLayerComplete;
            AnimationT1 = AnimationT2 = Now + 1440;
            NextAnimationStep = Now + kAnimationStep;
            events_.RedrawAll();
        }
    }
    if (Now > StepTime) StepTime = Now + 20;
}

void TPlayLevel::RemovePassedPieces() {
    // A lower piece of a stack is shown while it fades, then leaves its
    // fragments to the next piece.
    for (int32_t i = static_cast<int32_t>(Scene.Fishkas.size()) - 1; i >= 0; --i) {
        const TFishka& f = Scene.Fishkas[static_cast<size_t>(i)];
        if (i != FishkaUnderCursor && f.NeedDelAfterDis && f.DrawUntilTime <= Now) {
            RemoveFishka(i);
            events_.RedrawAll();
        }
    }
}

void TPlayLevel::FadePlacedPieces() {
    // A placed piece fades out over its last second while the picture under
    // it shows through; once gone, its fragments show the picture whole.
    bool changed = false;
    for (size_t i = 0; i < Scene.Fishkas.size(); ++i) {
        TFishka& f = Scene.Fishkas[i];
        if (int32_t(i) == FishkaUnderCursor || f.OnLayer < 0) continue;
        const TGameTime left = f.DrawUntilTime - Now;
        const uint8_t t = left <= 0 ? 0 : left < 1000 ? static_cast<uint8_t>(std::llround(255.0 * left / 1000)) : 255;
        if (t != f.Trans) {
            f.Trans = t;
            changed = changed || !f.NeedDelAfterDis;
        }
    }
    if (changed) events_.FragmentsChanged();
}

void TPlayLevel::UpdateDecorations() {
    for (TScenePicture& p : Scene.ScenePictures) {
        if (p.Frames.size() < 2 || Now <= p.NextFrameTime) continue;
        p.Frame = (p.Frame + 1) % static_cast<int32_t>(p.Frames.size());
        p.NextFrameTime = Now + p.FrameTimes[static_cast<size_t>(p.Frame)];
        const TPoint size = events_.PictureSize(p.Frames[static_cast<size_t>(p.Frame)]);
        const TPoint s = ToScreen(p.X, p.Y);
        events_.Redraw({s.X, s.Y, s.X + size.X, s.Y + size.Y});
    }
}

void TPlayLevel::ComputeBonusWeights() {
    const int32_t bombPct = SkillTableValue(skSpiderProbability, Skills[skSpiderProbability]);
    const int32_t bigPct = SkillTableValue(skBigSpiderProbability, Skills[skBigSpiderProbability]);
    const int32_t stopPct = SkillTableValue(skClockProbability, Skills[skClockProbability]);
    const auto& base = Scene.BonusBaseWeights;
    Scene.BonusWeights[0] = std::max(0, base[0] + PercentOf(base[0], bombPct));
    Scene.BonusWeights[1] = std::max(0, base[1]);
    Scene.BonusWeights[2] = std::max(0, base[2] + PercentOf(base[2], stopPct));
    Scene.BonusWeights[3] = std::max(0, base[3] + PercentOf(base[3], bigPct));
    int64_t sumBase = 0;
    int64_t sum = 0;
    for (size_t i = 0; i < 4; ++i) {
        sumBase += base[i];
        sum += Scene.BonusWeights[i];
    }
    Scene.BonusProbability = sumBase > 0 ? Scene.BonusFishka * static_cast<double>(sum) / sumBase : 0.0;
}

void TPlayLevel::ComputeRushTimes() {
    for (TLenta& b : Scene.Belts) b.RushTime = Mode == 3 ? std::llround(b.PathTime * 0.6) : b.PathTime / 3;
}

bool TPlayLevel::BeltInDanger(const TLenta& b) const {
    if (!b.HasPath()) return false;
    for (const TFishka& f : b.BeltFishkas) {
        const TGameTime age = Now - f.BornTime;
        if (age < 0) continue;
        return b.PathTime - age < 5000;
    }
    return false;
}

// ---------------------------------------------------------------------------
// Spawning

std::string TPlayLevel::PiecePicture(const TFishka& f) const {
    if (f.IsBonus()) return f.BonusPicture;
    if (f.IsExtraFish()) {
        const TLayer* l = Layer();
        if (l && f.ExtraFishType < static_cast<int32_t>(l->ExtraFishes.size()))
            return l->ExtraFishes[static_cast<size_t>(f.ExtraFishType)].Image;
        return {};
    }
    if (f.FType < 0 || f.FType >= tables_.ShapeCount()) return {};
    return tables_.Shape(f.FType).Picture;
}

TPoint TPlayLevel::PieceSize(const TFishka& f) const {
    TPoint s = events_.PictureSize(PiecePicture(f));
    if (f.IsBonus()) s.X /= std::max(1, f.BonusFrames);
    return s;
}

TPoint TPlayLevel::PieceOrigin(const TFishka& f) const {
    if (f.IsOrdinary() && f.FType >= 0 && f.FType < tables_.ShapeCount()) return tables_.Shape(f.FType).Center;
    // Bonus pieces and extra fishes ride centred on their point, which is
    // also where they are hit.
    const TPoint s = PieceSize(f);
    return {s.X / 2, s.Y / 2};
}

void TPlayLevel::SizeBeltPiece(TFishka& p, const TLenta& b) const {
    const TPoint origin = PieceOrigin(p);
    p.CenterX = origin.X;
    p.CenterY = origin.Y;
    const TPoint size = events_.PictureSize(PiecePicture(p));
    int32_t extent = 0;
    if (size.X > 0 && size.Y > 0) {
        if (p.IsBonus()) {
            extent = std::max(size.Y, size.X / std::max(1, p.BonusFrames)) + (p.BonusType == btBigBomb ? 20 : 0);
        } else {
            extent = std::max(size.X, size.Y);
            const std::string name = p.IsExtraFish() ? std::string() : tables_.Shape(p.FType).Name;
            if (name.find("stand") != std::string::npos || name == "circ1") extent += 20;
        }
    }
    p.HalfLength = std::llround(static_cast<double>(b.PathTime) / b.PathLength * extent / 2);
}

void TPlayLevel::SpawnFishka(int32_t beltId) {
    TLayer* l = Layer();
    if (!l || beltId < 0 || beltId >= static_cast<int32_t>(Scene.Belts.size())) return;
    TLenta& b = Scene.Belts[static_cast<size_t>(beltId)];
    if (!b.HasPath()) return;
    if (!b.BeltFishkas.empty() && b.BeltFishkas.back().BornTime > Now) return;
    TFishka p;
    if (l->FishesBeforeExtra != 0) {
        const int32_t rescue = RescueShape();
        bool shape0OnBelts = false;
        for (int32_t id : l->BeltIds)
            for (const TFishka& f : Scene.Belts[static_cast<size_t>(id)].BeltFishkas)
                shape0OnBelts = shape0OnBelts || (f.IsOrdinary() && f.FType == 0);
        if (rescue >= 0) {
            p.FType = rescue;
        } else if (l->FreeFragments() == 1 && !shape0OnBelts) {
            p.FType = 0;
        } else {
            const double r = random_.Unit();
            const bool afterBonus = !b.BeltFishkas.empty() && b.BeltFishkas.back().IsBonus();
            if (r < Scene.BonusProbability && !afterBonus) {
                TIntegers w(Scene.BonusWeights.begin(), Scene.BonusWeights.end());
                p.BonusType = 1 + WeightedIndex(w, random_);
                p.FType = 0;
                static const char* pictures[4] = {"pauk_20.png", "amulet.png", "sand_glass.png", "pauk_big.png"};
                p.BonusPicture = pictures[p.BonusType - 1];
                p.BonusFrames = p.BonusType == btReverse ? 40 : 20;
                events_.BonusSpawned(p);
            } else {
                p.FType = WeightedIndex(EndgameWeights(), random_);
            }
        }
        if (l->FishesBeforeExtra != -1) --l->FishesBeforeExtra;
    }
    if (l->FishesBeforeExtra == 0) {
        l->FishesBeforeExtra = l->MinFishBefore + random_.Between(0, l->MaxFishBefore - l->MinFishBefore);
        p.ExtraFishType = WeightedIndex(l->ExtraFishWeights, random_);
        if (p.ExtraFishType < static_cast<int32_t>(l->ExtraFishWeights.size()))
            l->ExtraFishWeights[static_cast<size_t>(p.ExtraFishType)] = 0;
        p.BonusType = btNone;
        p.FType = 0;
        if (!IntInArray(1, l->ExtraFishWeights) || l->FishesBeforeExtra <= 0) l->FishesBeforeExtra = -1;
    }
    SizeBeltPiece(p, b);
    const TPoint start = b.PointAt(0);
    p.X = start.X - p.CenterX;
    p.Y = start.Y - p.CenterY;
    if (!b.BeltFishkas.empty() && b.BeltFishkas.back().Acceleration == 0) {
        const TFishka& q = b.BeltFishkas.back();
        p.BornTime = q.BornTime + q.HalfLength + p.HalfLength + b.Gap;
    } else {
        p.BornTime = Now + p.HalfLength;
    }
    p.Trans = 0;
    b.NextBornTime = Now + 2 * p.HalfLength + b.Gap;
    b.BeltFishkas.push_back(std::move(p));
}

TIntegers TPlayLevel::EndgameWeights() const {
    // With only a few fragments left open, a chain of pieces that fit
    // nowhere would just run out the clock: the belt sends, by the same
    // weights, only shapes that fit somewhere now (or in a turn).
    const TLayer* l = Layer();
    if (!l) return Scene.FishkaWeights;
    int32_t open = 0;
    for (size_t k = 0; k < l->Frags.size(); ++k) open += l->FragsBusy[k] == -1 && l->FragsLevel[k] > 0;
    if (open > kEndgameFragments) return Scene.FishkaWeights;
    TIntegers w = Scene.FishkaWeights;
    int64_t sum = 0;
    for (size_t s = 0; s < w.size(); ++s) {
        if (w[s] <= 0) continue;
        bool fits = false;
        int32_t turn = int32_t(s);
        for (int32_t i = 0; i < 8 && turn >= 0 && !fits; ++i) {
            fits = !Placements(turn, 1).empty();
            turn = tables_.FindShape(tables_.NextName(turn));
            if (turn == int32_t(s)) break;
        }
        if (!fits) w[s] = 0;
        sum += w[s];
    }
    return sum > 0 ? w : Scene.FishkaWeights;
}

// ---------------------------------------------------------------------------
// The belt step

void TPlayLevel::UpdateBelts() {
    const TLayer* l = Layer();
    if (!l) return;
    const TIntegers ids = l->BeltIds;
    for (int32_t id : ids) {
        UpdateBelt(id);
        if (State != kStatePlaying) return;
    }
}

void TPlayLevel::DirtyPiece(const TFishka& f, TPoint oldPos) {
    const TPoint size = PieceSize(f);
    const TPoint a = ToScreen(std::min(oldPos.X, f.X), std::min(oldPos.Y, f.Y));
    const TPoint c = ToScreen(std::max(oldPos.X, f.X), std::max(oldPos.Y, f.Y));
    events_.Redraw({a.X, a.Y, c.X + size.X + 5, c.Y + size.Y + 5});
}

void TPlayLevel::UpdateBelt(int32_t beltId) {
    TLenta& b = Scene.Belts[static_cast<size_t>(beltId)];
    if (!b.HasPath()) return;
    const TLayer& layer = *Layer();
    const TGameTime dt = std::max<TGameTime>(0, Now - PrevFrameTime);
    if (b.NextBornTime < Now) SpawnFishka(beltId);

    // Chameleon renewal.
    const int32_t power = Skills.Percent(skChameleonPower);
    if (b.ChameleonRenewTime < Now && b.ChameleonShots < power) {
        ++b.ChameleonShots;
        b.ChameleonRenewTime = Now + 14000;
        events_.Sound("renewal.ogg");
        const TPoint icon = b.ShotIcons[static_cast<size_t>(std::clamp(b.ChameleonShots - 1, 0, 3))];
        const TPoint s = ToScreen(b.ChameleonX + icon.X, b.ChameleonY + icon.Y);
        events_.Redraw({s.X - 16, s.Y - 16, s.X + 16, s.Y + 16});
        if (SceneInd == 1 && CurrentLayer == 1 && !ChameleonClickHintShown) {
            ChameleonClickHintShown = true;
            events_.ShowHint("WGame_HintClickChameleon", s.X, s.Y);
        }
    }

    bool anyAccel = false;
    for (const TFishka& f : b.BeltFishkas) anyAccel = anyAccel || f.Acceleration != 0;
    const bool reversing = b.ReverseUntil > Now;
    const bool stopped = b.StopUntil > Now;
    // Fast start.
    if (b.RushUntil <= Now) {
        if (!reversing && !layer.Complete) {
            if (b.BeltFishkas.empty()) {
                b.RushUntil = Now + b.RushTime / 4;
            } else {
                const TGameTime frontAge = Now - b.BeltFishkas.front().BornTime;
                if (frontAge < b.RushTime && !anyAccel) b.RushUntil = Now + (b.RushTime - frontAge) / 4;
            }
            if (b.RushUntil > Now && b.BeltFishkas.size() < 4 && !stopped) events_.Sound("11_chain_stop.ogg");
        }
    } else if (!reversing && !stopped) {
        for (TFishka& f : b.BeltFishkas) f.BornTime -= 4 * dt;
        b.NextBornTime -= 4 * dt;
    }
    const bool rushing = b.RushUntil > Now;
    // The track moves as the chain does.
    TGameTime trackStep = dt;
    std::vector<size_t> marked;
    if (reversing) {
        for (size_t i = 0; i < b.BeltFishkas.size(); ++i) {
            TFishka& f = b.BeltFishkas[i];
            f.BornTime += 4 * dt;
            if (f.BornTime > Now) marked.push_back(i);
        }
        b.NextBornTime = b.ReverseUntil + b.Gap;
        trackStep = -3 * dt;
    } else if (stopped) {
        for (TFishka& f : b.BeltFishkas) f.BornTime += dt;
        trackStep = 0;
    } else if (rushing) {
        trackStep = 5 * dt;
    }
    b.TrackTime += trackStep;
    if (b.PathTime > 0) b.TrackTime = ((b.TrackTime % b.PathTime) + b.PathTime) % b.PathTime;

    const bool doStep = Now > StepTime;
    for (size_t i = 0; i < b.BeltFishkas.size(); ++i) {
        TFishka& f = b.BeltFishkas[i];
        const TGameTime age = Now - f.BornTime;
        if (age < 0) continue;
        if (age < 1000)
            f.Trans = static_cast<uint8_t>(255 * age / 1000);
        else if (b.PathTime - age < 1000)
            f.Trans = static_cast<uint8_t>(std::clamp<TGameTime>(255 * (b.PathTime - age) / 1000, 0, 255));
        else
            f.Trans = 255;
        if (age > b.PathTime && !rushing) {
            if (std::find(marked.begin(), marked.end(), i) == marked.end()) marked.push_back(i);
            events_.RedrawAll();
            if (Mode != 1 && !anyAccel) {
                Trace("lost belt=" + std::to_string(beltId) + " shape=" + std::to_string(f.FType));
                LoseGame();
                State = kStateGameOver;
                Lost = true;
                GameOverTime = Now + 3000;
                events_.Sound("15_gameover_v1.ogg");
                return;
            }
        }
        if (doStep) {
            const bool last = i + 1 == b.BeltFishkas.size();
            if (!(last && stopped)) {
                const TGameTime touch =
                    last ? f.HalfLength + b.Gap : b.Gap + f.HalfLength + b.BeltFishkas[i + 1].HalfLength;
                const TGameTime room = last ? b.NextBornTime - f.BornTime : b.BeltFishkas[i + 1].BornTime - f.BornTime;
                bool moving = false;
                if (room > touch) {
                    if (f.Acceleration < params_.AccelerationMax) f.Acceleration += params_.AccelerationStep;
                    f.BornTime += f.Acceleration;
                    const TGameTime left =
                        (last ? b.NextBornTime - f.BornTime : b.BeltFishkas[i + 1].BornTime - f.BornTime) - touch;
                    moving = left > 0 && f.Acceleration > 0;
                    if (!moving) {
                        f.BornTime = (last ? b.NextBornTime : b.BeltFishkas[i + 1].BornTime) - touch;
                        if (f.Acceleration > params_.AccelerationStep) {
                            events_.Sound("diamond" + std::to_string(random_.Between(1, 5)) + ".ogg");
                            f.PulseStart = Now;
                            f.PulseEnd = Now + params_.SparkleTime;
                            f.PulseKind = 1;
                            if (!last) f.PulseMax = params_.SparkleMax;
                        }
                    }
                }
                if (!moving) f.Acceleration = 0;
            }
        }
        // Position.
        const TGameTime at = Now - f.BornTime;
        const TPoint p = b.PointAt(at);
        const TPoint origin = PieceOrigin(f);
        const TPoint old{f.X, f.Y};
        f.X = p.X - origin.X;
        f.Y = p.Y - origin.Y;
        if (old.X != f.X || old.Y != f.Y) {
            f.CenterX = f.X + origin.X;
            f.CenterY = f.Y + origin.Y;
        }
        if (f.IsBonus()) f.BonusFrame = static_cast<int32_t>((Now / 50) % std::max(1, f.BonusFrames));
        DirtyPiece(f, old);
    }
    std::sort(marked.begin(), marked.end());
    for (auto it = marked.rbegin(); it != marked.rend(); ++it) {
        ExtraFishGone(b.BeltFishkas[*it]);
        RemoveBeltFishka(beltId, static_cast<int32_t>(*it));
    }
}

void TPlayLevel::ExtraFishGone(const TFishka& f) {
    TLayer* l = Layer();
    if (!l || !f.IsExtraFish() || f.ExtraFishType >= static_cast<int32_t>(l->ExtraFishWeights.size())) return;
    l->ExtraFishWeights[static_cast<size_t>(f.ExtraFishType)] = 1;
    if (l->FishesBeforeExtra == -1)
        l->FishesBeforeExtra = std::max(1, l->MinFishBefore + random_.Between(0, l->MaxFishBefore - l->MinFishBefore));
}

void TPlayLevel::RemoveBeltFishka(int32_t belt, int32_t index) {
    auto& list = Scene.Belts[static_cast<size_t>(belt)].BeltFishkas;
    if (index < 0 || index >= static_cast<int32_t>(list.size())) return;
    list.erase(list.begin() + index);
    events_.RedrawAll();
}

void TPlayLevel::RemoveFishka(int32_t index) {
    if (index < 0 || index >= static_cast<int32_t>(Scene.Fishkas.size())) return;
    if (FishkaUnderCursor == index) FishkaUnderCursor = -1;
    for (TLayer& l : Scene.Layers)
        for (int32_t& busy : l.FragsBusy) {
            if (busy == index)
                busy = -1;
            else if (busy > index)
                --busy;
        }
    Scene.Fishkas.erase(Scene.Fishkas.begin() + index);
    if (FishkaUnderCursor > index) --FishkaUnderCursor;
    ++fragVersion_;
    events_.FragmentsChanged();
}
