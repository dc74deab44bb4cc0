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
}
