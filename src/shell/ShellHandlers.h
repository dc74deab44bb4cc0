// The game's handlers that the interface's scripts call by name with
// "ExecMethod": every name the screens use, in one table, so the interface
// file is checked against it when it loads. Handlers that need nothing of
// play or the level flow are bound here (quitting, opening the in-game
// windows over the frozen game, the display mode, the
// handlers whose work the scripts do); the others are named and bound by the
// screens that implement them (Bind), and until then say so in the log when
// a script calls them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "ui/OrvMethodTable.h"

#include <memory>

class TSaveScreens;
class TOptionsWindow;

class TOrvGameEngine;
class TOrvInterfaceEngine;

class TShellHandlers {
public:
    // Every handler name of the game's screens.
    static const std::vector<std::string_view>& Names();

    // The table with every name, the shell's own handlers bound to the game
    // engine and the interface (neither owned; both outlive the table).
    TShellHandlers(TOrvGameEngine& game, TOrvInterfaceEngine& ui);
    ~TShellHandlers();

    // The saved games' windows and the options window (owned).
    TSaveScreens& Saves() { return *saves_; }
    TOptionsWindow& Options() { return *options_; }

    TOrvMethodTable& Table() { return table_; }
    const TOrvMethodTable& Table() const { return table_; }

    // Freezes game time and puts the game into the window state over the
    // frozen scene with a full redraw (the game's menu, help and quit buttons).
    void OpenGameWindow();
    // Back to play from the game menu: playing when the view stands at its
    // target, else scrolling to it; full redraw.
    void ResumePlay();

private:
    void BindOwnHandlers();

    TOrvGameEngine& game_;
    TOrvInterfaceEngine& ui_;
    TOrvMethodTable table_;
    std::unique_ptr<TSaveScreens> saves_;
    std::unique_ptr<TOptionsWindow> options_;
};
