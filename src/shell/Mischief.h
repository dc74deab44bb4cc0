// The restless player of the whole-game bot (--autoplay-mischief MS). Now and
// then, at moments drawn from its own seeded random source, it saves into a
// random slot, quick-saves, loads a random saved game from the title's load
// window, changes random options, switches the language or toggles full
// screen with Alt+Enter, and then leaves the game to the bot again. Every
// action is input on the real controls (a click where a control stands, a
// key), never a call into the game; each mischief writes one trace line, so
// a run that fails can be replayed with the same seed.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/OrvRandom.h"
#include "shell/BotHands.h"

class TOrvGameEngine;
class TOrvXMLTag;
class TShellInterface;

enum class TMischiefKind : int32_t { Save, QuickSave, Load, Options, Language, FullScreen };

class TMischief {
public:
    static constexpr int32_t kKinds = 6;
    // The save slots it writes ("Slot 1" ...); few, so slots get replaced.
    static constexpr int32_t kSlots = 4;
    // Loads a game may suffer; each may send it back some levels, and the
    // game must still come to its end.
    static constexpr int32_t kMaxLoadsPerGame = 3;

    // The shell and the engine are not owned and outlive this object. seed
    // starts its own random source (the game's is left alone, so play draws
    // the same chances with or without it); meanGapMs is the mean game time
    // between two mischiefs (at least 1).
    TMischief(TOrvGameEngine& game, TShellInterface& shell, uint64_t seed, uint32_t meanGapMs);

    // Called by the flow bot when its pause between actions is over. Takes
    // the next step of a mischief under way, or starts one when one is due
    // and the screen allows it. True when it acted (the flow bot then waits),
    // false when the moment is the flow bot's.
    bool Act();
    // A mischief is under way (its windows may be open).
    bool Busy() const { return next_ < steps_.size(); }
    // A new game began: it may be loaded into kMaxLoadsPerGame times again.
    void NewGame() { loadsThisGame_ = 0; }

    // Mischiefs started of a kind, and those given up half way because a
    // control they needed was not shown.
    int32_t Count(TMischiefKind kind) const { return counts_[static_cast<size_t>(kind)]; }
    int32_t Abandoned() const { return abandoned_; }
    // "save", "quicksave", "load", "options", "language", "fullscreen".
    static const char* KindName(TMischiefKind kind);
    // Adds the counts as attributes ("Save", "QuickSave" ... "Abandoned").
    void DumpCounts(TOrvXMLTag& tag) const;

private:
    enum class TOp { Click, ClickIfShown, ClickWithin, ClickRow, Key, Type };
    struct TStep {
        TOp Op = TOp::Click;
        std::string Control;
        double Fx = 0.5;
        double Fy = 0.5;
        int32_t Key = 0;
        TShiftState Shift = 0;
        std::string Text;
    };

    std::vector<TMischiefKind> Fitting(const std::string& top) const;
    TMischiefKind Choose(const std::vector<TMischiefKind>& fitting);
    std::string Plan(TMischiefKind kind, const std::string& top);
    // Steps that get from the screen shown to the options window, and back.
    void OpenOptions(const std::string& top);
    void CloseMenu(const std::string& top);
    std::string PlanOptions(const std::string& top);
    std::string PlanLanguage(const std::string& top);
    std::string PlanLoad(const std::string& top);
    std::string PlanSave();
    bool RunStep(const TStep& step);
    bool ClickGridRow(const std::string& grid, double pick);
    bool HasSavedGames() const;
    void Trace(const std::string& line) const;

    void Add(TOp op, const std::string& control, double fx = 0.5) {
        TStep s;
        s.Op = op;
        s.Control = control;
        s.Fx = fx;
        steps_.push_back(s);
    }
    void Click(const std::string& control) { Add(TOp::Click, control); }
    void ClickIfShown(const std::string& control) { Add(TOp::ClickIfShown, control); }
    void PressKey(int32_t vk, TShiftState shift) {
        TStep s;
        s.Op = TOp::Key;
        s.Key = vk;
        s.Shift = shift;
        steps_.push_back(s);
    }
    void TypeText(const std::string& text) {
        TStep s;
        s.Op = TOp::Type;
        s.Text = text;
        steps_.push_back(s);
    }

    TOrvGameEngine& game_;
    TShellInterface& shell_;
    TBotHands hands_;
    TOrvRandom random_;
    uint32_t meanGap_;
    uint32_t due_ = 0;
    bool dueSet_ = false;
    std::vector<TStep> steps_;
    size_t next_ = 0;
    TMischiefKind current_ = TMischiefKind::Save;
    std::array<int32_t, kKinds> counts_{};
    int32_t abandoned_ = 0;
    int32_t loadsThisGame_ = 0;
};
