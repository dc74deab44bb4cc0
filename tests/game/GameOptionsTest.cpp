#include "game/GameOptions.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "base/OrvStream.h"

namespace {

TEST(GameOptionsTest, DefaultsWrittenOrderAndReadOnlyKeys) {
    const auto dir = std::filesystem::temp_directory_path() / ("moswick-options-test-" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "options.cfg").string();

    TGameOptions o;
    o.LoadOptions(path);  // no file: every default
    EXPECT_EQ(o.BitsPerPixel, 32);
    EXPECT_EQ(o.SoundVolume, 100);
    EXPECT_EQ(o.PlayerName, "Player");
    EXPECT_TRUE(o.VSync);
    EXPECT_FALSE(o.Debug());

    std::ofstream(path, std::ios::binary) << "[Options]\r\nWindowModeX=120\r\nWindowModeY=-5\r\nDebugMode=429\r\n"
                                             "SoundVolume=250\r\nMusicVolume=-3\r\nBitsPerPixel=24\r\nVSync=0\r\n"
                                             "FullScreenMode=7\r\n";
    o.LoadOptions(path);
    EXPECT_EQ(o.WindowModeX, 120);
    EXPECT_EQ(o.WindowModeY, -5);
    EXPECT_TRUE(o.Debug());
    EXPECT_EQ(o.SoundVolume, 100);  // kept within what the audio layer takes
    EXPECT_EQ(o.MusicVolume, 0);
    EXPECT_EQ(o.BitsPerPixel, 32);  // only 16 and 32 exist
    EXPECT_FALSE(o.VSync);
    EXPECT_EQ(o.FullScreenMode, 1);

    o.PlayerName = "Ann";
    o.WindowModeX = 999;  // never written back
    o.SaveOptions(path);
    std::string text;
    ASSERT_TRUE(ReadWholeFile(path, text));
    EXPECT_EQ(text,
              "[Options]\r\nWindowModeX=120\r\nWindowModeY=-5\r\nDebugMode=429\r\nSoundVolume=100\r\n"
              "MusicVolume=0\r\nBitsPerPixel=32\r\nVSync=0\r\nFullScreenMode=1\r\nPlayerName=Ann\r\n"
              "TurnOffHint=0\r\nSmoothScaling=1\r\n[Version]\r\nBuild=122\r\n");
    std::filesystem::remove_all(dir);
}

TEST(GameOptionsTest, WindowPlacementIsRememberedUnlessTheHandSetPositionChanged) {
    const auto dir = std::filesystem::temp_directory_path() / ("moswick-placement-test-" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "options.cfg").string();

    TGameOptions o;
    o.LoadOptions(path);
    EXPECT_EQ(o.SavedPlacement(), TWindowPlacement{});  // nothing known: centred, sized by the desktop

    std::ofstream(path, std::ios::binary) << "[Options]\r\nWindowModeX=40\r\nWindowModeY=30\r\n";
    o.LoadOptions(path);
    EXPECT_EQ(o.SavedPlacement(), (TWindowPlacement{true, 40, 30, 0, 0}));

    o.RememberPlacement({true, 300, 200, 1600, 1200});
    o.SaveOptions(path);
    o = TGameOptions();
    o.LoadOptions(path);
    EXPECT_EQ(o.SavedPlacement(), (TWindowPlacement{true, 300, 200, 1600, 1200}));
    EXPECT_EQ(o.WindowModeX, 40);  // the hand-set keys stay as they were

    // Editing the hand-set position moves the window again; the size stays.
    std::string text;
    ASSERT_TRUE(ReadWholeFile(path, text));
    text.replace(text.find("WindowModeX=40"), 14, "WindowModeX=90");
    std::ofstream(path, std::ios::binary) << text;
    o.LoadOptions(path);
    EXPECT_EQ(o.SavedPlacement(), (TWindowPlacement{true, 90, 30, 1600, 1200}));
    std::filesystem::remove_all(dir);
}

}  // namespace
