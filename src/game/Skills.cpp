#include "game/Skills.h"

#include <algorithm>

namespace {

constexpr std::array<int32_t, 10> kCommon{0, 10, 15, 20, 25, 30, 35, 40, 45, 50};
constexpr std::array<int32_t, 11> kClockPause{0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100};
constexpr std::array<int32_t, 11> kEconomy{0, 5, 7, 9, 11, 15, 17, 19, 21, 23, 25};

template <size_t N>
int32_t Lookup(const std::array<int32_t, N>& table, int32_t level) {
    return table[static_cast<size_t>(std::clamp<int32_t>(level, 0, static_cast<int32_t>(N) - 1))];
}

}  // namespace

int32_t SkillTableValue(TSkill skill, int32_t level) {
    switch (skill) {
        case skClockPause:
            return Lookup(kClockPause, level);
        case skEconomy:
            return Lookup(kEconomy, level);
        case skChameleonPower:
            return std::clamp<int32_t>(level, 0, TSkills::kMaxChameleonShots);
        default:
            return Lookup(kCommon, level);
    }
}

int32_t SkillMaxLevel(TSkill skill) {
    switch (skill) {
        case skClockPause:
            return int32_t(kClockPause.size()) - 1;
        case skEconomy:
            return int32_t(kEconomy.size()) - 1;
        case skChameleonPower:
            return TSkills::kMaxChameleonShots;
        default:
            return int32_t(kCommon.size()) - 1;
    }
}

int32_t TSkills::Percent(TSkill s) const {
    return SkillTableValue(s, (*this)[s]);
}

void TSkills::Reset() {
    Levels.fill(0);
    (*this)[skChameleonPower] = 1;
}
