// A bot that plays a level by the rules, for tests and for trying scenes:
// each action is a mouse move, press or key sent through the engine's event
// dispatch, exactly what a player's mouse would send, never a call into the
// rules. It looks at the state of play to decide: a piece on a belt that
// fits somewhere (in some turn) is taken, turned and carried to its place;
// extra fishes go to their spots; bonuses are fired when a chain nears its
// end and thrown away otherwise before they reach it; pieces that fit
// nowhere are dropped, shot by the Chameleon or cleared off the belt.
#pragma once

#include <cstdint>

#include "base/OrvTypes.h"
#include "game/Scene.h"
#include "platform/Window.h"

class TPlayRules;
class TPlayLevel;

class TAutoPlayer {
public:
    // Milliseconds of game time between two actions.
    static constexpr TGameTime kActionInterval = 90;

    explicit TAutoPlayer(TPlayRules& rules) : rules_(rules) {}
    // One decision; called once a frame while a level is played.
    void Act();

private:
    bool ActHolding(TPlayLevel& level);
    bool RescueBelts(TPlayLevel& level);
    bool TakeUseful(TPlayLevel& level);
    bool PlanFor(TPlayLevel& level, int32_t shape);
    bool ClickPoint(const TPlayLevel& level, int32_t belt, int32_t index, TPoint& screen) const;
    bool Fits(const TPlayLevel& level, int32_t shape) const;
    void Move(int32_t x, int32_t y);
    void Click(int32_t x, int32_t y, bool right, bool shift = false);
    void Key(int32_t key, TShiftState shift);

    TPlayRules& rules_;
    TGameTime nextAction_ = 0;
    bool planned_ = false;
    int32_t planShape_ = -1;
    TPoint planPos_;
    int32_t rotations_ = 0;
};
