#include <algorithm>

#include "game/PlayLevel.h"

namespace {

constexpr int32_t kStatePlaying = 1;
constexpr int32_t kStateBetweenLevels = 3;

TFishka Restore(const TSavedFishka& s, TGameTime now) {
    TFishka f;
    f.FType = s.FType;
    f.OnLayer = s.OnLayer;
    f.BornTime = now - s.Age;
    f.Acceleration = s.Acceleration;
    f.BonusType = s.BonusType;
    f.ExtraFishType = s.ExtraFishType;
    f.X = s.X;
    f.Y = s.Y;
    f.DrawUntilTime = s.DrawLeft + now;
    f.Trans = static_cast<uint8_t>(s.Trans & 255);
    f.NeedDelAfterDis = s.NeedDelAfterDis;
    return f;
}

}  // namespace

void TPlayLevel::RestoreSaved(const TSavedGame& g, bool restarting) {
    TotalScore = g.TotalScore;
    Mode = g.Mode;
    SceneInd = g.SceneInd;
    Lost = false;
    if (g.HasSkills) Skills.Levels = g.Skills;
    const int32_t current = std::clamp(g.Current, 0, std::max(0, int32_t(Scene.Layers.size()) - 1));
    for (size_t i = 0; i < g.Arts.size() && i < Scene.Layers.size(); ++i) Scene.Layers[i].Art = g.Arts[i];
    for (int32_t i = 0; i < current; ++i) {
        TLayer& l = Scene.Layers[size_t(i)];
        l.Complete = true;
        events_.PaintIntoScene(l.Picture, l.X + l.PictureX, l.Y + l.PictureY);
        if (l.Art)
            for (const TExtraFish& f : l.ExtraFishes) events_.PaintIntoScene(f.Image, f.PosX, f.PosY);
    }
    StartLevel(current);
    // The snapshot a lost level goes back to is the level's start, not the
    // moment of saving.
    PrevScore = SnapshotScore = std::min(g.PrevScore, g.TotalScore);
    SnapshotSkills = Skills;
    TLayer& l = *Layer();
    if (g.HasLayer) {
        l.FragsLevel = g.FragsLevel;
        l.FragsBusy = g.FragsBusy;
        l.ExtraFishWeights = g.ExtraFishWeights;
        l.FishesBeforeExtra = g.FishesBeforeExtra;
        l.Complete = g.Complete;
    }
    Scene.Fishkas.clear();
    for (TLenta& b : Scene.Belts) b.BeltFishkas.clear();
    if (restarting) {
        std::fill(l.FragsBusy.begin(), l.FragsBusy.end(), -1);
    } else {
        for (const TSavedFishka& s : g.Fishkas) Scene.Fishkas.push_back(Restore(s, Now));
        for (size_t b = 0; b < g.Belts.size() && b < Scene.Belts.size(); ++b) {
            TLenta& belt = Scene.Belts[b];
            for (const TSavedFishka& s : g.Belts[b]) {
                TFishka f = Restore(s, Now);
                if (f.IsBonus()) {
                    static const char* pictures[4] = {"pauk_20.png", "amulet.png", "sand_glass.png", "pauk_big.png"};
                    f.BonusPicture = pictures[f.BonusType - 1];
                    f.BonusFrames = f.BonusType == btReverse ? 40 : 20;
                    events_.BonusSpawned(f);
                }
                if (belt.HasPath()) SizeBeltPiece(f, belt);
                belt.BeltFishkas.push_back(std::move(f));
            }
            if (!belt.BeltFishkas.empty())
                belt.NextBornTime = std::max(belt.NextBornTime, belt.BeltFishkas.back().BornTime + belt.Gap);
        }
    }
    FishkaUnderCursor = -1;
    FitPreview = FitPreviewLost = false;
    ++fragVersion_;
    BuildFragmentIndex();
    // Straight into play: the start animation ran before the save was made.
    AnimationT1 = AnimationT2 = Now - 1;
    for (TLenta& b : Scene.Belts) {
        b.ChameleonShots = 0;
        b.ChameleonRenewTime = Now + 14000;
    }
    State = l.Complete ? kStateBetweenLevels : kStatePlaying;
    events_.FragmentsChanged();
    events_.RedrawAll();
    Trace("load scene=" + std::to_string(SceneInd) + " layer=" + std::to_string(CurrentLayer));
}
