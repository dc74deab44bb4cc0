// A bot that plays a level by the rules, for tests and for trying scenes:
// each action is a mouse move, press or key sent through the engine's event
// dispatch, exactly what a player's mouse would send, never a call into the
// rules. It reads the state of play to decide, the way a good player does:
// it watches how long each chain has before its front piece reaches the
// end, takes the most useful piece that fits (from the most endangered belt
// first) and places it where it leaves no fragment that no piece can cover,
// delivers extra fishes, fires bonuses where they help and throws them off
// where they do not, and gets rid of pieces that fit nowhere through the
// drop section (freed with Shift+Space when needed), the Chameleon, the belt
// clear (Ctrl+Space) or by moving them onto a belt with time to spare.
#pragma once

#include <cstdint>
#include <vector>

#include "base/OrvTypes.h"
#include "game/BotPlanner.h"
#include "game/Scene.h"
#include "platform/Window.h"

class TPlayRules;
class TPlayLevel;

class TAutoPlayer {
public:
    // Milliseconds of game time between two actions.
    static constexpr TGameTime kActionInterval = 90;

    explicit TAutoPlayer(TPlayRules& rules);
    // One decision; called once a frame while a level is played.
    void Act();

    // How long until the belt's front piece reaches the end of its path,
    // counting the gaps the chain is closing and the stop, reverse or fast
    // start running now. A belt without pieces has its whole path time.
    static TGameTime TimeLeft(const TPlayLevel& level, const TLenta& belt);

private:
    enum class TGoal { Place, Drop, Transfer };
    struct TBeltState {
        int32_t Id = -1;
        TGameTime Left = 0;
        bool First = false;
    };

    std::vector<TBeltState> Belts(const TPlayLevel& level) const;
    bool ActHolding(TPlayLevel& level);
    bool RescueBelt(TPlayLevel& level, const std::vector<TBeltState>& belts, const TBeltState& belt);
    bool UseBonuses(TPlayLevel& level, const std::vector<TBeltState>& belts);
    bool UseBonus(TPlayLevel& level, const TBeltState& belt, int32_t index, bool critical);
    bool TakeExtraFish(TPlayLevel& level, const std::vector<TBeltState>& belts);
    bool TakeBest(TPlayLevel& level, const std::vector<TBeltState>& belts, int32_t onlyBelt);
    bool ShootUseless(TPlayLevel& level, const std::vector<TBeltState>& belts, bool critical);
    bool DropUseless(TPlayLevel& level, const std::vector<TBeltState>& belts, int32_t onlyBelt);
    bool Transfer(TPlayLevel& level, const std::vector<TBeltState>& belts, const TBeltState& from);

    // Whether a belt piece fits somewhere well enough to be taken for it.
    bool Useful(const TFishka& piece) const;
    bool Fits(const TFishka& piece) const;
    // The front-most born piece of a belt the Chameleon's shot would turn.
    int32_t ShotTarget(const TPlayLevel& level, const TLenta& belt) const;
    int32_t FrontUseless(const TPlayLevel& level, int32_t belt) const;
    // Spider victims of firing the bonus at index: (pieces that fit, others).
    std::pair<int32_t, int32_t> SpiderVictims(const TPlayLevel& level, const TLenta& belt, int32_t index) const;

    bool Take(TPlayLevel& level, int32_t belt, int32_t index, TGoal goal);
    bool ClickPoint(const TPlayLevel& level, int32_t belt, int32_t index, TPoint& screen) const;
    bool ChameleonPoint(const TPlayLevel& level, const TLenta& belt, TPoint& screen) const;
    bool PathPoint(const TPlayLevel& level, int32_t belt, TPoint& screen) const;
    void Move(int32_t x, int32_t y);
    void Click(int32_t x, int32_t y, bool right, bool shift = false);
    void Key(int32_t key, TShiftState shift);

    TPlayRules& rules_;
    TBotPlanner planner_;
    TGameTime nextAction_ = 0;
    TGoal goal_ = TGoal::Place;
    TBotPlacement plan_;
    bool planned_ = false;
    int32_t transferTo_ = -1;
};
