// The bot's hands on the windows (--autoplay from the title): it starts a new
// game, clicks through the between-levels, level-complete, game-over and
// upgrade windows (taking the first or the second skill in turn), enters its
// name in the high scores at the end and quits from the title. Play itself
// is the rules' bot. Every action is input sent through the engine's event
// dispatch at a control's centre, as a player's mouse would send it.
#pragma once

#include <cstdint>
#include <string>

class TOrvGameEngine;

class TFlowBot {
public:
    // Time between two clicks, so each window is seen for a moment.
    static constexpr uint32_t kPause = 400;
    // The name the bot enters in the high scores.
    static constexpr const char* kName = "Autoplay";

    explicit TFlowBot(TOrvGameEngine& game) : game_(game) {}

    // One decision; called once a frame.
    void Act();
    // Whether the bot has entered its score (the game is over).
    bool Finished() const { return finished_; }

private:
    bool Shown(const std::string& control) const;
    void Click(const std::string& control);
    void Type(const std::string& text);

    TOrvGameEngine& game_;
    uint32_t next_ = 0;
    bool started_ = false;
    bool finished_ = false;
    int32_t upgrades_ = 0;
};
