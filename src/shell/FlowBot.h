// The bot's hands on the windows (--autoplay from the title): it starts a new
// game, clicks through the between-levels, level-complete, game-over and
// upgrade windows (taking the first or the second skill in turn), enters its
// name in the high scores at the end and quits from the title, after as many
// whole games as asked (--games). Windows a player may leave open (options,
// a message, the save window ...) are closed. Play itself is the rules' bot.
// With a restless player (TMischief) it also saves, loads, changes options
// and languages and switches the display now and then. Every action is
// input sent through the engine's event dispatch, as a player's would be.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "shell/BotHands.h"
#include "shell/Mischief.h"

class TOrvGameEngine;
class TOrvXMLTag;

class TFlowBot {
public:
    // Time between two clicks, so each window is seen for a moment.
    static constexpr uint32_t kPause = 400;
    // The name the bot enters in the high scores.
    static constexpr const char* kName = "Autoplay";

    // games: whole games to play before quitting (0: until the program is
    // ended). mischief may be null (a calm player); it is owned from now on.
    TFlowBot(TOrvGameEngine& game, uint32_t games = 1, std::unique_ptr<TMischief> mischief = nullptr);

    // One decision; called once a frame.
    void Act();
    // Whether the bot has played all its games and entered its last score.
    bool Finished() const { return finished_; }
    // Whole games played to their end (the score entered).
    uint32_t GamesFinished() const { return gamesFinished_; }
    // The restless player, or null.
    const TMischief* Mischief() const { return mischief_.get(); }
    // Adds an "Autoplay" child to the state dump: games finished and begun
    // again after a refused load, and the mischiefs done by kind.
    void DumpState(TOrvXMLTag& root) const;

private:
    bool ActOnTitle();
    bool ActOnBetweenLevels();
    bool CloseStrayWindow(const std::string& top);
    void Trace(const std::string& line) const;

    TOrvGameEngine& game_;
    TBotHands hands_;
    std::unique_ptr<TMischief> mischief_;
    uint32_t games_;
    uint32_t next_ = 0;
    bool started_ = false;
    bool finished_ = false;
    bool flowOwed_ = false;
    uint32_t gamesFinished_ = 0;
    int32_t restarts_ = 0;
    int32_t upgrades_ = 0;
};
