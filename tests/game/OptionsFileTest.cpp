// The options file written and read back, and a corpus of damaged copies:
// reading never throws and every value the game acts on stays in range.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "base/OrvStream.h"
#include "game/GameOptions.h"

namespace {

TEST(OptionsFileTest, RoundTripAndDamagedCopiesStayInRange) {
    const auto dir = std::filesystem::temp_directory_path() / ("moswick-options-corpus-" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "options.cfg").string();

    TGameOptions o;
    o.SoundVolume = 35;
    o.MusicVolume = 0;
    o.FullScreenMode = 1;
    o.TurnOffHint = 1;
    o.BitsPerPixel = 16;
    o.PlayerName = "Ann \"the\" Quick";
    o.SaveOptions(path);
    TGameOptions back;
    back.LoadOptions(path);
    EXPECT_EQ(back.SoundVolume, 35);
    EXPECT_EQ(back.MusicVolume, 0);
    EXPECT_EQ(back.FullScreenMode, 1);
    EXPECT_EQ(back.TurnOffHint, 1);
    EXPECT_EQ(back.BitsPerPixel, 16);

    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(path, bytes));
    auto check = [&](const std::string& data) {
        ASSERT_TRUE(WriteFileAtomically(path, data.data(), data.size()));
        TGameOptions r;
        EXPECT_NO_THROW(r.LoadOptions(path));
        EXPECT_GE(r.SoundVolume, 0);
        EXPECT_LE(r.SoundVolume, 100);
        EXPECT_GE(r.MusicVolume, 0);
        EXPECT_LE(r.MusicVolume, 100);
        EXPECT_TRUE(r.BitsPerPixel == 16 || r.BitsPerPixel == 32);
        EXPECT_TRUE(r.FullScreenMode == 0 || r.FullScreenMode == 1);
    };
    for (size_t n = 0; n < bytes.size(); n += 7) check(bytes.substr(0, n));
    for (size_t i = 0; i < bytes.size(); i += 3) {
        std::string flipped = bytes;
        flipped[i] = char(flipped[i] ^ 0x21);
        check(flipped);
    }
    check("[Options]\nSoundVolume=99999999999999999999\nMusicVolume=-2147483648\nBitsPerPixel=0x7fffffff\n");
    check("[Other]\nSoundVolume=5\n");
    std::filesystem::remove_all(dir);
}

}  // namespace
