// The nine skills the player raises between scenes and the tables that say
// what each level changes in play. Every lookup clamps the level to its
// table, so a level written by hand into a saved game cannot index past it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

enum TSkill : int32_t {
    skDropSectionRenewal = 0,
    skClockPause = 1,
    skClockProbability = 2,
    skSpiderProbability = 3,
    skBigSpiderProbability = 4,
    skRevercer = 5,
    skChameleonRenewal = 6,
    skChameleonPower = 7,
    skEconomy = 8,
};

struct TSkills {
    static constexpr int32_t kCount = 9;
    // The saved-game keys, in index order.
    static constexpr std::array<const char*, kCount> kNames{
        "DropSectionRenewalLevel", "ClockPauseLevel",           "ClockProbabilityLevel",
        "SpiderProbabilityLevel",  "BigSpiderProbabilityLevel", "RevercerLevel",
        "ChameleonRenewalLevel",   "ChameleonPowerLevel",       "EconomyLevel"};
    // The most shots a Chameleon can hold: there are four shot icons.
    static constexpr int32_t kMaxChameleonShots = 4;

    std::array<int32_t, kCount> Levels{};

    int32_t& operator[](TSkill s) { return Levels[static_cast<size_t>(s)]; }
    int32_t operator[](TSkill s) const { return Levels[static_cast<size_t>(s)]; }

    // The table value (a percentage) of a skill at its current level, the
    // level clamped to the table. For skChameleonPower: the number of shots,
    // clamped to 0..4.
    int32_t Percent(TSkill s) const;
    // New game: every level 0, the Chameleon holds one shot.
    void Reset();
};

// The table value of a skill at a level, clamped to the table's ends.
int32_t SkillTableValue(TSkill skill, int32_t level);
// The highest level a skill's table tells apart (for the Chameleon's power:
// the most shots). Raising a skill stops here, and a saved game must accept
// every level up to it.
int32_t SkillMaxLevel(TSkill skill);
