// The player's settings in "options.cfg" (INI, section "Options"): screen
// size and depth, window or full screen, window position, volumes, the hint
// switch, the player's name, the developer switch DebugMode, and VSync
// (presenting waits for the display's refresh; default on).
#pragma once

#include <cstdint>
#include <string>

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

    bool Debug() const { return DebugMode == kDebugModeOn; }

    // Reads the file; every key that is missing or not a number gets its
    // default. A missing file gives all defaults. Never throws.
    void LoadOptions(const std::string& fileName);
    // Writes "Version"/"Build" = "122", then in "Options": "PlayerName",
    // "SoundVolume", "MusicVolume", "FullScreenMode", "TurnOffHint",
    // "BitsPerPixel", "VSync". Keys that are only read stay as the user left
    // them. Throws OrvException "Cannot write file " + fileName on failure
    // (the old file is then untouched).
    void SaveOptions(const std::string& fileName) const;
};
