#include "shell/Mischief.h"

#include <algorithm>

#include "base/OrvParser.h"
#include "game/Main.h"
#include "game/PlayRules.h"
#include "shell/SaveScreens.h"
#include "shell/ShellInterface.h"
#include "shell/ShellLanguages.h"
#include "ui/OrvGrid.h"

namespace {

const char* const kKindNames[TMischief::kKinds] = {"save", "quicksave", "load", "options", "language", "fullscreen"};
const char* const kDumpNames[TMischief::kKinds] = {"Save", "QuickSave", "Load", "Options", "Language", "FullScreen"};

std::string Fraction(double f) {
    return std::to_string(static_cast<int32_t>(f * 100.0));
}

}  // namespace

TMischief::TMischief(TOrvGameEngine& game, TShellInterface& shell, uint64_t seed, uint32_t meanGapMs)
    : game_(game), shell_(shell), hands_(game), random_(seed), meanGap_(std::max<uint32_t>(meanGapMs, 1)) {}

const char* TMischief::KindName(TMischiefKind kind) {
    return kKindNames[static_cast<size_t>(kind)];
}

void TMischief::DumpCounts(TOrvXMLTag& tag) const {
    for (size_t k = 0; k < kKinds; ++k) tag.AddAttribute(kDumpNames[k], std::to_string(counts_[k]));
    tag.AddAttribute("Abandoned", std::to_string(abandoned_));
}

void TMischief::Trace(const std::string& line) const {
    auto* rules = dynamic_cast<TPlayRules*>(game_.Rules.get());
    if (!rules) return;
    rules->Trace(line);
    rules->FlushTrace();
}

bool TMischief::HasSavedGames() const {
    return !ListSavedGames(game_.WriteDir + "saves/").empty();
}

// ---------------------------------------------------------------------------
// Choosing

std::vector<TMischiefKind> TMischief::Fitting(const std::string& top) const {
    std::vector<TMischiefKind> kinds;
    const bool loadable = HasSavedGames() && loadsThisGame_ < kMaxLoadsPerGame;
    const TShellLanguages* languages = shell_.Languages();
    const bool languageChoice = languages != nullptr && !languages->InstalledLanguages().empty();
    bool calm = false;
    if (top == "WGame") {
        // Only in play proper: while a layer scrolls in or ends, Escape does
        // not open the menu.
        calm = game_.GameState == gsPlaying;
        if (calm) kinds.push_back(TMischiefKind::QuickSave);
    } else if (top == "WBetweenLevel") {
        // Not on the page that asks for the name: the game is over there.
        calm = !hands_.Shown("WBetweenLevel_BOK") &&
               (hands_.Shown("WBetweenLevel_BNextLevel") || hands_.Shown("WBetweenLevel_TNextScene_BNextScene"));
        if (calm && hands_.Shown("WBetweenLevel_BSaveGame")) kinds.push_back(TMischiefKind::Save);
    } else if (top == "WTitle") {
        calm = true;
    }
    if (!calm) return {};
    kinds.push_back(TMischiefKind::Options);
    kinds.push_back(TMischiefKind::FullScreen);
    if (languageChoice) kinds.push_back(TMischiefKind::Language);
    if (loadable) kinds.push_back(TMischiefKind::Load);
    return kinds;
}

TMischiefKind TMischief::Choose(const std::vector<TMischiefKind>& fitting) {
    // The save button is only on the between-levels window, seen a moment
    // per layer: there, saving comes first half the time.
    const bool canSave = std::find(fitting.begin(), fitting.end(), TMischiefKind::Save) != fitting.end();
    if (canSave && random_.Below(2) == 0) return TMischiefKind::Save;
    // Half the time the kind done least so far, so a short run still sees
    // every kind; otherwise any that fits.
    if (random_.Below(2) == 0) {
        TMischiefKind least = fitting.front();
        for (TMischiefKind k : fitting)
            if (Count(k) < Count(least)) least = k;
        return least;
    }
    return fitting[static_cast<size_t>(random_.Below(static_cast<int32_t>(fitting.size())))];
}

bool TMischief::Act() {
    if (Busy()) {
        const TStep step = steps_[next_++];
        if (!RunStep(step)) {
            ++abandoned_;
            Trace(std::string("mischief-abandoned kind=") + KindName(current_) + " control=" + step.Control +
                  " screen=" + game_.Interface->TopWindowName());
            steps_.clear();
            next_ = 0;
        }
        return true;
    }
    const uint32_t now = game_.NowTime;
    const auto gap = [this] { return static_cast<uint32_t>(random_.Between(meanGap_ / 2, meanGap_ + meanGap_ / 2)); };
    if (!dueSet_) {
        dueSet_ = true;
        due_ = now + gap();
    }
    if (static_cast<int32_t>(now - due_) < 0) return false;
    const std::string top = game_.Interface->TopWindowName();
    const std::vector<TMischiefKind> fitting = Fitting(top);
    if (fitting.empty()) return false;
    current_ = Choose(fitting);
    steps_.clear();
    next_ = 0;
    const std::string details = Plan(current_, top);
    ++counts_[static_cast<size_t>(current_)];
    Trace(std::string("mischief kind=") + KindName(current_) + " screen=" + top + " now=" + std::to_string(now) +
          (details.empty() ? "" : " " + details));
    due_ = now + gap();
    return Act();
}

// ---------------------------------------------------------------------------
// Plans: the clicks and keys of each kind, from the screen shown

std::string TMischief::Plan(TMischiefKind kind, const std::string& top) {
    switch (kind) {
        case TMischiefKind::Save:
            return PlanSave();
        case TMischiefKind::QuickSave:
            Click("WGame_BQuickSave");
            return {};
        case TMischiefKind::Load:
            return PlanLoad(top);
        case TMischiefKind::Options:
            return PlanOptions(top);
        case TMischiefKind::Language:
            return PlanLanguage(top);
        case TMischiefKind::FullScreen:
            PressKey(VK::Return, ssAlt);
            return {};
    }
    return {};
}

void TMischief::OpenOptions(const std::string& top) {
    if (top == "WGame") {
        PressKey(VK::Escape, 0);
        Click("WGameMenu_BOptions");
    } else if (top == "WBetweenLevel") {
        Click("WBetweenLevel_BOptions");
    } else {
        Click("WTitle_BOptions");
    }
}

void TMischief::CloseMenu(const std::string& top) {
    if (top == "WGame") Click("WGameMenu_BResume");
}

std::string TMischief::PlanOptions(const std::string& top) {
    OpenOptions(top);
    std::string changes;
    const int32_t count = random_.Between(1, 3);
    for (int32_t i = 0; i < count; ++i) {
        if (!changes.empty()) changes += ",";
        switch (random_.Below(5)) {
            case 0:
                Click("WOptions_CBFullScreen");
                changes += "fullscreen";
                break;
            case 1:
                // Shown only while the game is full screen.
                ClickIfShown("WOptions_CB32bitColor");
                changes += "depth";
                break;
            case 2:
                Click("WOptions_CBTurnOffHints");
                changes += "hints";
                break;
            default: {
                const bool music = random_.Below(2) == 0;
                const double at = random_.Unit();
                Add(TOp::ClickWithin, music ? "WOptions_SMusicVolume" : "WOptions_SSoundVolume", at);
                changes += (music ? "music@" : "sound@") + Fraction(at);
                break;
            }
        }
    }
    const bool keep = random_.Below(4) != 0;
    Click(keep ? "WOptions_BOk" : "WOptions_BCancel");
    CloseMenu(top);
    return "changes=" + changes + (keep ? " close=ok" : " close=cancel");
}

std::string TMischief::PlanLanguage(const std::string& top) {
    TShellLanguages* languages = shell_.Languages();
    std::vector<std::string> codes = {TShellLanguages::kFallback};
    for (const TShellLanguages::TLanguage& l : languages->InstalledLanguages())
        if (std::find(codes.begin(), codes.end(), l.Code) == codes.end()) codes.push_back(l.Code);
    // Another language than the one shown, when there is one.
    const std::string shown = languages->Code();
    if (codes.size() > 1) codes.erase(std::remove(codes.begin(), codes.end(), shown), codes.end());
    const std::string code = codes[static_cast<size_t>(random_.Below(static_cast<int32_t>(codes.size())))];
    if (top == "WTitle") {
        Click("WTitle_BLanguage");
    } else {
        OpenOptions(top);
        Click("WOptions_BLanguage");
    }
    Click(TShellLanguages::kButtonPrefix + code);
    Click("WLanguage_BOk");
    if (top != "WTitle") {
        Click("WOptions_BOk");
        CloseMenu(top);
    }
    return "code=" + code;
}

std::string TMischief::PlanLoad(const std::string& top) {
    ++loadsThisGame_;
    if (top == "WGame") {
        PressKey(VK::Escape, 0);
        Click("WGameMenu_BMainMenu");
        Click("WExitToMainMenu_BOk");
    } else if (top == "WBetweenLevel") {
        Click("WBetweenLevel_BMenu");
        Click("WExitToMainMenu_BOk");
    }
    Click("WTitle_BLoadGame");
    const double pick = random_.Unit();
    Add(TOp::ClickRow, "WLoadGame_GFiles", pick);
    Click("WLoadGame_BLoad");
    // A refused file is told in a message; the bot then begins anew.
    ClickIfShown("WMessage_BOk");
    return "pick=" + Fraction(pick);
}

std::string TMischief::PlanSave() {
    const std::string slot = "Slot " + std::to_string(random_.Between(1, kSlots));
    Click("WBetweenLevel_BSaveGame");
    Click("WSaveGame_ESaveFile");
    TypeText("\x01");
    TypeText(slot);
    Click("WSaveGame_BSave");
    // The slot was written before: the game asks first.
    ClickIfShown("WReplace_BOk");
    return "slot=\"" + slot + "\"";
}

// ---------------------------------------------------------------------------
// Steps

bool TMischief::RunStep(const TStep& step) {
    switch (step.Op) {
        case TOp::Click:
            return hands_.Click(step.Control);
        case TOp::ClickIfShown:
            hands_.Click(step.Control);
            return true;
        case TOp::ClickWithin:
            return hands_.ClickWithin(step.Control, step.Fx, step.Fy);
        case TOp::ClickRow:
            return ClickGridRow(step.Control, step.Fx);
        case TOp::Key:
            hands_.Key(step.Key, step.Shift);
            return true;
        case TOp::Type:
            hands_.Type(step.Text);
            return true;
    }
    return false;
}

bool TMischief::ClickGridRow(const std::string& grid, double pick) {
    const auto* g = shell_.UI().FindObjectAs<TOrvGrid>(grid);
    if (g == nullptr || !shell_.UI().IsShown(*g)) return false;
    const int32_t visible = g->VisibleRows();
    if (visible <= 0) return false;
    const int32_t row =
        g->FirstVisibleRow + std::min(static_cast<int32_t>(pick * static_cast<double>(visible)), visible - 1);
    // Where the row stands is found the way a player's eye would: by looking
    // down the grid for it.
    const int32_t x = g->AbsLeft + g->Width / 2;
    for (int32_t y = g->AbsTop; y < g->AbsTop + g->Height; ++y) {
        if (g->RowAt(x, y) != row) continue;
        hands_.ClickAt(x, y + std::max(0, g->RowsHeight / 2 - 1));
        return true;
    }
    return false;
}
