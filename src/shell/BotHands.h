// The bots' hands on the controls: every action is an event sent through
// the engine's event dispatch, as a player's mouse or keyboard would send
// it, aimed at where a control stands on the screen now.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Window.h"

class TOrvGameEngine;

class TBotHands {
public:
    explicit TBotHands(TOrvGameEngine& game) : game_(game) {}

    // Whether the control is shown now (it and every form it sits in).
    bool Shown(const std::string& control) const;
    // Moves the mouse to the control's centre and clicks the left button
    // there. False (and nothing sent) when the control is not shown.
    bool Click(const std::string& control);
    // Clicks the control at a point given as fractions of its width and
    // height (0..1, clamped inside it). False when it is not shown.
    bool ClickWithin(const std::string& control, double fx, double fy);
    // Moves the mouse to the screen point and clicks the left button.
    void ClickAt(int32_t x, int32_t y);
    // Types text (UTF-8) as key presses; "\x01" selects all in an edit box.
    void Type(const std::string& text);
    // Presses and releases a key (a VK code) with the modifiers held.
    void Key(int32_t vk, TShiftState shift = 0);

private:
    TOrvGameEngine& game_;
};
