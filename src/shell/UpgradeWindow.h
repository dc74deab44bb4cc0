// The upgrade window that opens when a layer's artefact is complete: the
// artefact with its name, the quest bonus, two skills drawn by weight from
// the engine's seeded random source (animated icons drawn over the window),
// the choice raising one skill by a level; and the skills window listing
// all nine levels.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "base/OrvTypes.h"

class TOrvGameEngine;
class TOrvInterfaceEngine;
class TOrvMethodTable;
class TPlayRules;
class TOrvRandom;

struct TSkillInfo {
    int32_t MaxLevel;
    int32_t Weight;  // offer weight while below the maximum
    const char* Icon;
    int32_t Frames;
};

class TUpgradeWindow {
public:
    static const std::array<TSkillInfo, 9>& Skills();
    // Quest bonus per delivered extra fish (not paid in no-lose mode).
    static constexpr int32_t kBonusPerFish = 100;

    // Binds its handlers in table (all three outlive this object).
    TUpgradeWindow(TOrvGameEngine& game, TOrvInterfaceEngine& ui, TOrvMethodTable& table);

    // The offer weights for these levels: each skill's weight, 0 at its
    // maximum (so a skill lowered again by a new game is offered again).
    static std::array<int32_t, 9> OfferWeights(const std::array<int32_t, 9>& levels);
    // Draws the two offers: the second differs from the first whenever
    // another skill has weight; -1 for an offer there is nothing left for.
    static std::pair<int32_t, int32_t> DrawOffers(const std::array<int32_t, 9>& levels, TOrvRandom& random);
    // "+v% (Level k)" texts of the next and the current level of a skill
    // (levelWord: the interface's word for level).
    static std::string NextText(int32_t skill, int32_t level, const std::string& levelWord);
    static std::string CurrentText(int32_t skill, int32_t level, const std::string& levelWord);
    // The source rectangle (inclusive) of an icon's frame at time now.
    static TRect IconFrame(int32_t pictureWidth, int32_t pictureHeight, int32_t frames, uint32_t now);

    int32_t Offer1 = -1;
    int32_t Offer2 = -1;

    // Freezes the game and shows the window with the bonus paid and two
    // offers made.
    void Open();
    // Writes the window's texts (artefact name, the two offers, and the
    // skills window's levels when it is shown) in the interface's language
    // now, keeping the offers drawn: after a change of language.
    void ComposeTexts();
    // The window's OK: the chosen skill rises a level (never past its
    // maximum), play goes on.
    void Accept();
    // The skills window: every skill's current level.
    void ShowSkills();
    // The skills window's close: back to the upgrade window during play.
    void CloseSkills();
    // After the interface drew a window: the offered skills' icons over it.
    void PostFormDraw(const std::string& formName);
    // Each frame: the animated icons' rectangles are marked for redraw and
    // the skills' hover hints come and go (UpdateHints).
    void Update();
    // The hover hints: while the mouse rests (more than kHintRestMs without
    // moving) on an offer of the upgrade window, or on a skill's picture in
    // the skills window, that skill's hint is shown beside it, once per
    // rest; it hides when the mouse leaves or its window is not on top. No
    // hint shows while the options turn hints off.
    void UpdateHints();
    static constexpr uint32_t kHintRestMs = 500;

private:
    TPlayRules* Rules() const;
    std::string Caption(const std::string& name) const;
    void SetCaption(const std::string& name, const std::string& text);
    TRect IconRect(int32_t slot, int32_t skill, TRect* source) const;
    bool MouseOn(const std::string& control) const;
    void HintAt(const std::string& hint, bool wanted, const std::string& anchor, bool aboveRight);

    // The hint last shown and the mouse rest it was shown for: a hint that
    // hid itself after its time does not come back until the mouse moves.
    std::string lastHint_;
    uint32_t lastHintRest_ = 0;

    TOrvGameEngine& game_;
    TOrvInterfaceEngine& ui_;
};
