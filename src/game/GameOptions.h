// The player's settings in "options.cfg" (INI, section "Options"): screen
// size and depth, window or full screen, window position, volumes, the hint
// switch, the player's name, the developer switch DebugMode, and VSync
// (presenting waits for the display's refresh; default on).
#pragma once

#include <cstdint>
#include <string>

#include "platform/Window.h"

// The value of DebugMode that turns the developer aids on.
inline constexpr int32_t kDebugModeOn = 429;

struct TGameOptions {
    int32_t ScreenWidth = 800;
    int32_t ScreenHeight = 600;
    int32_t BitsPerPixel = 32;
    int32_t SoundVolume = 100;
    int32_t MusicVolume = 100;
    int32_t DebugMode = 0;
    int32_t FullScreenMode = 0;
    int32_t WindowModeX = 0;
    int32_t WindowModeY = 0;
    int32_t TurnOffHint = 0;
    std::string PlayerName = "Player";
    bool VSync = true;
    // 1: a window or screen that is not a whole multiple of the frame is
    // filled (aspect kept) with a smooth filter; 0: the frame is enlarged by
    // whole factors only, every pixel sharp, with wider black bars.
    bool SmoothScaling = true;

    // Where the player left the window, written by the game ("WindowLeft",
    // "WindowTop", "WindowWidth", "WindowHeight") with the hand-set position
    // it was saved against ("WindowBaseX", "WindowBaseY"), so that editing
    // "WindowModeX"/"WindowModeY" in the file still moves the window.
    bool HasWindowModePosition = false;  // the file names "WindowModeX" or "WindowModeY"
    bool HasWindowPlacement = false;     // the file holds a remembered placement
    int32_t WindowLeft = 0;
    int32_t WindowTop = 0;
    int32_t WindowWidth = 0;
    int32_t WindowHeight = 0;
    int32_t WindowBaseX = 0;
    int32_t WindowBaseY = 0;

    bool Debug() const { return DebugMode == kDebugModeOn; }
    // The placement to start the window with: the remembered one unless the
    // hand-set position changed since it was saved, then that position (with
    // the remembered size); no position at all when the file has neither.
    TWindowPlacement SavedPlacement() const;
    // Remembers the window's placement for the next start.
    void RememberPlacement(const TWindowPlacement& placement);

    // Reads the file; every key that is missing or not a number gets its
    // default. A missing file gives all defaults. Never throws.
    void LoadOptions(const std::string& fileName);
    // Writes "Version"/"Build" = "122", then in "Options": "PlayerName",
    // "SoundVolume", "MusicVolume", "FullScreenMode", "TurnOffHint",
    // "BitsPerPixel", "VSync", "SmoothScaling", then the remembered window
    // placement when there is one. Keys that are only read stay as the user
    // left them. Throws OrvException "Cannot write file " + fileName on failure
    // (the old file is then untouched).
    void SaveOptions(const std::string& fileName) const;
};
