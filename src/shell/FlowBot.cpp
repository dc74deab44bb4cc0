#include "shell/FlowBot.h"

#include <utility>

#include "base/OrvParser.h"
#include "game/Main.h"
#include "game/PlayRules.h"

namespace {

// Windows a player may have left open over the flow, and the button that
// closes each without harm.
struct TStrayWindow {
    const char* Window;
    const char* Button;
};
const TStrayWindow kStrayWindows[] = {
    {"WOptions", "WOptions_BCancel"},
    {"WLanguage", "WLanguage_BCancel"},
    {"WSaveGame", "WSaveGame_BCancel"},
    {"WLoadGame", "WLoadGame_BCancel"},
    {"WReplace", "WReplace_BOk"},
    {"WMessage", "WMessage_BOk"},
    {"WDelete", "WDelete_BCancel"},
    {"WExitToMainMenu", "WExitToMainMenu_BCancel"},
    {"WAbortLevel", "WAbortLevel_BCancel"},
    {"WClearHighScores", "WClearHighScores_BCancel"},
    {"WHelp", "WHelp_BClose"},
    {"WSkills", "WSkills_BClose"},
    {"WGameFinished", "WGameFinished_BOk"},
    {"WStartGame", "WStartGame_BBack"},
};

}  // namespace

TFlowBot::TFlowBot(TOrvGameEngine& game, uint32_t games, std::unique_ptr<TMischief> mischief)
    : game_(game), hands_(game), mischief_(std::move(mischief)), games_(games) {}

void TFlowBot::Trace(const std::string& line) const {
    auto* rules = dynamic_cast<TPlayRules*>(game_.Rules.get());
    if (!rules) return;
    rules->Trace(line);
    rules->FlushTrace();
}

void TFlowBot::DumpState(TOrvXMLTag& root) const {
    TOrvXMLTag* tag = root.AddTag("Autoplay");
    tag->AddAttribute("Games", std::to_string(gamesFinished_));
    tag->AddAttribute("Restarts", std::to_string(restarts_));
    tag->AddAttribute("Finished", finished_ ? "true" : "false");
    if (mischief_) mischief_->DumpCounts(*tag->AddTag("Mischief"));
}

void TFlowBot::Act() {
    const uint32_t now = game_.NowTime;
    if (next_ == 0) next_ = now + kPause;
    if (static_cast<int32_t>(now - next_) < 0) return;
    // After each mischief the flow gets a turn, or a mischief due at once
    // again (a short gap) would keep the game on the title or between
    // levels for ever.
    if (mischief_ && !finished_ && (mischief_->Busy() || !flowOwed_) && mischief_->Act()) {
        flowOwed_ = !mischief_->Busy();
        next_ = now + kPause;
        return;
    }
    flowOwed_ = false;
    const std::string top = game_.Interface->TopWindowName();
    bool acted = true;
    if (top == "WTitle") {
        acted = ActOnTitle();
    } else if (top == "WQuit") {
        hands_.Click("WQuit_BOk");
    } else if (top == "WHighScores") {
        hands_.Click("WHighScores_BClose");
    } else if (top == "WBetweenLevel") {
        acted = ActOnBetweenLevels();
    } else if (top == "WLevelComplete") {
        hands_.Click("WLevelComplete_BOk");
    } else if (top == "WGameOver") {
        hands_.Click("WGameOver_BOk");
    } else if (top == "WUpgrade") {
        // Every second offer takes the right-hand skill, so both choices
        // are played.
        if (++upgrades_ % 2 == 0 && hands_.Shown("WUpgrade_RBCursorSkill2")) hands_.Click("WUpgrade_RBCursorSkill2");
        hands_.Click("WUpgrade_BOk");
    } else if (top == "WGameMenu") {
        hands_.Click("WGameMenu_BResume");
    } else {
        acted = CloseStrayWindow(top);
    }
    if (top == "WGame") started_ = true;
    if (acted) next_ = now + kPause;
}

bool TFlowBot::ActOnTitle() {
    if (finished_) return hands_.Click("WTitle_BQuit");
    // Back on the title with a game under way: a saved game was refused
    // after the player left for the load window. Begin anew.
    if (started_) {
        ++restarts_;
        Trace("autoplay-restart games=" + std::to_string(gamesFinished_));
    }
    started_ = true;
    if (mischief_) mischief_->NewGame();
    return hands_.Click("WTitle_BNewGame");
}

bool TFlowBot::ActOnBetweenLevels() {
    started_ = true;
    if (hands_.Shown("WBetweenLevel_BOK")) {
        hands_.Click("WBetweenLevel_EName");
        hands_.Type("\x01");
        hands_.Type(kName);
        hands_.Click("WBetweenLevel_BOK");
        started_ = false;
        ++gamesFinished_;
        Trace("autoplay-game-finished games=" + std::to_string(gamesFinished_));
        if (games_ != 0 && gamesFinished_ >= games_) finished_ = true;
        return true;
    }
    if (hands_.Shown("WBetweenLevel_TNextScene_BNextScene")) return hands_.Click("WBetweenLevel_TNextScene_BNextScene");
    return hands_.Click("WBetweenLevel_BNextLevel");
}

bool TFlowBot::CloseStrayWindow(const std::string& top) {
    for (const TStrayWindow& w : kStrayWindows)
        if (top == w.Window) return hands_.Click(w.Button);
    return false;
}
