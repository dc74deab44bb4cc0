#include "shell/FlowBot.h"

#include "game/Main.h"
#include "platform/Window.h"

bool TFlowBot::Shown(const std::string& control) const {
    int32_t x = 0;
    int32_t y = 0;
    return game_.Interface->ControlCentre(control, x, y);
}

void TFlowBot::Click(const std::string& control) {
    int32_t x = 0;
    int32_t y = 0;
    if (!game_.Interface->ControlCentre(control, x, y)) return;
    TWindowEvent ev;
    ev.X = x;
    ev.Y = y;
    ev.Kind = TWindowEventKind::MouseMove;
    game_.DispatchEvent(ev);
    ev.Button = mbLeft;
    ev.Shift = ssLeft;
    ev.Kind = TWindowEventKind::MouseDown;
    game_.DispatchEvent(ev);
    ev.Shift = 0;
    ev.Kind = TWindowEventKind::MouseUp;
    game_.DispatchEvent(ev);
}

void TFlowBot::Type(const std::string& text) {
    TWindowEvent ev;
    ev.Kind = TWindowEventKind::KeyPress;
    ev.Text = text;
    game_.DispatchEvent(ev);
}

void TFlowBot::Act() {
    const uint32_t now = game_.NowTime;
    if (next_ == 0) next_ = now + kPause;
    if (static_cast<int32_t>(now - next_) < 0) return;
    const std::string top = game_.Interface->TopWindowName();
    bool acted = true;
    if (top == "WTitle") {
        if (finished_) {
            Click("WTitle_BQuit");
        } else if (!started_) {
            started_ = true;
            Click("WTitle_BNewGame");
        } else {
            acted = false;
        }
    } else if (top == "WQuit") {
        Click("WQuit_BOk");
    } else if (top == "WHighScores") {
        Click("WHighScores_BClose");
    } else if (top == "WBetweenLevel") {
        if (Shown("WBetweenLevel_BOK")) {
            Click("WBetweenLevel_EName");
            Type("\x01");
            Type(kName);
            Click("WBetweenLevel_BOK");
            finished_ = true;
        } else if (Shown("WBetweenLevel_TNextScene_BNextScene")) {
            Click("WBetweenLevel_TNextScene_BNextScene");
        } else {
            Click("WBetweenLevel_BNextLevel");
        }
    } else if (top == "WLevelComplete") {
        Click("WLevelComplete_BOk");
    } else if (top == "WGameOver") {
        Click("WGameOver_BOk");
    } else if (top == "WUpgrade") {
        // Every second offer takes the right-hand skill, so both choices
        // are played.
        if (++upgrades_ % 2 == 0 && Shown("WUpgrade_RBCursorSkill2")) Click("WUpgrade_RBCursorSkill2");
        Click("WUpgrade_BOk");
    } else if (top == "WGameMenu") {
        Click("WGameMenu_BResume");
    } else {
        acted = false;
    }
    if (acted) next_ = now + kPause;
}
