#include "game/GameOptions.h"

#include "platform/IniFile.h"

#include <algorithm>

namespace {
constexpr const char* kSection = "Options";
}

void TGameOptions::LoadOptions(const std::string& fileName) {
    const TIniFile ini(fileName);
    const TGameOptions d;
    ScreenWidth = ini.ReadInteger(kSection, "ScreenWidth", d.ScreenWidth);
    ScreenHeight = ini.ReadInteger(kSection, "ScreenHeight", d.ScreenHeight);
    BitsPerPixel = ini.ReadInteger(kSection, "BitsPerPixel", d.BitsPerPixel);
    SoundVolume = ini.ReadInteger(kSection, "SoundVolume", d.SoundVolume);
    MusicVolume = ini.ReadInteger(kSection, "MusicVolume", d.MusicVolume);
    DebugMode = ini.ReadInteger(kSection, "DebugMode", d.DebugMode);
    FullScreenMode = ini.ReadInteger(kSection, "FullScreenMode", d.FullScreenMode);
    WindowModeX = ini.ReadInteger(kSection, "WindowModeX", d.WindowModeX);
    WindowModeY = ini.ReadInteger(kSection, "WindowModeY", d.WindowModeY);
    TurnOffHint = ini.ReadInteger(kSection, "TurnOffHint", d.TurnOffHint);
    PlayerName = ini.ReadString(kSection, "PlayerName", d.PlayerName);
    VSync = ini.ReadInteger(kSection, "VSync", d.VSync ? 1 : 0) != 0;
    SmoothScaling = ini.ReadInteger(kSection, "SmoothScaling", d.SmoothScaling ? 1 : 0) != 0;
    HasWindowModePosition = ini.ValueExists(kSection, "WindowModeX") || ini.ValueExists(kSection, "WindowModeY");
    HasWindowPlacement = ini.ValueExists(kSection, "WindowWidth") && ini.ValueExists(kSection, "WindowHeight");
    WindowLeft = ini.ReadInteger(kSection, "WindowLeft", 0);
    WindowTop = ini.ReadInteger(kSection, "WindowTop", 0);
    WindowWidth = ini.ReadInteger(kSection, "WindowWidth", 0);
    WindowHeight = ini.ReadInteger(kSection, "WindowHeight", 0);
    WindowBaseX = ini.ReadInteger(kSection, "WindowBaseX", WindowModeX);
    WindowBaseY = ini.ReadInteger(kSection, "WindowBaseY", WindowModeY);
    // A hand-edited file must not push the audio layer or the display set-up
    // outside what they accept.
    SoundVolume = std::clamp(SoundVolume, 0, 100);
    MusicVolume = std::clamp(MusicVolume, 0, 100);
    if (BitsPerPixel != 16 && BitsPerPixel != 32) BitsPerPixel = d.BitsPerPixel;
    FullScreenMode = FullScreenMode != 0 ? 1 : 0;
}

void TGameOptions::SaveOptions(const std::string& fileName) const {
    TIniFile ini(fileName);
    ini.WriteString("Version", "Build", "122");
    ini.WriteString(kSection, "PlayerName", PlayerName);
    ini.WriteInteger(kSection, "SoundVolume", SoundVolume);
    ini.WriteInteger(kSection, "MusicVolume", MusicVolume);
    ini.WriteInteger(kSection, "FullScreenMode", FullScreenMode);
    ini.WriteInteger(kSection, "TurnOffHint", TurnOffHint);
    ini.WriteInteger(kSection, "BitsPerPixel", BitsPerPixel);
    ini.WriteInteger(kSection, "VSync", VSync ? 1 : 0);
    ini.WriteInteger(kSection, "SmoothScaling", SmoothScaling ? 1 : 0);
    if (!HasWindowPlacement) return;
    ini.WriteInteger(kSection, "WindowLeft", WindowLeft);
    ini.WriteInteger(kSection, "WindowTop", WindowTop);
    ini.WriteInteger(kSection, "WindowWidth", WindowWidth);
    ini.WriteInteger(kSection, "WindowHeight", WindowHeight);
    ini.WriteInteger(kSection, "WindowBaseX", WindowBaseX);
    ini.WriteInteger(kSection, "WindowBaseY", WindowBaseY);
}

TWindowPlacement TGameOptions::SavedPlacement() const {
    TWindowPlacement p;
    if (HasWindowPlacement) {
        p.Width = WindowWidth;
        p.Height = WindowHeight;
    }
    const bool handEdited = WindowBaseX != WindowModeX || WindowBaseY != WindowModeY;
    if (HasWindowPlacement && !handEdited) {
        p.HasPosition = true;
        p.Left = WindowLeft;
        p.Top = WindowTop;
    } else if (HasWindowModePosition) {
        p.HasPosition = true;
        p.Left = WindowModeX;
        p.Top = WindowModeY;
    }
    return p;
}

void TGameOptions::RememberPlacement(const TWindowPlacement& placement) {
    if (!placement.HasPosition || placement.Width <= 0 || placement.Height <= 0) return;
    HasWindowPlacement = true;
    WindowLeft = placement.Left;
    WindowTop = placement.Top;
    WindowWidth = placement.Width;
    WindowHeight = placement.Height;
    WindowBaseX = WindowModeX;
    WindowBaseY = WindowModeY;
}
