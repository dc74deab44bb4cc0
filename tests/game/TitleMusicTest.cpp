// Runs the built program with the game's own data and SDL's disk audio
// driver in place of a sound card: what the device would play is written to
// a file, so the test hears the title music through the real output path.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "base/OrvStream.h"

namespace {

double Rms(const std::vector<float>& out, size_t from, size_t frames) {
    double sum = 0;
    size_t n = 0;
    for (size_t i = from * 2; i < (from + frames) * 2 && i < out.size(); ++i, ++n) sum += double(out[i]) * out[i];
    return n ? std::sqrt(sum / double(n)) : 0.0;
}

// A fresh folder holding the game's own data; empty when the content build
// has not made it.
std::filesystem::path GameFolder(const std::string& tag) {
    const std::filesystem::path built(MOSWICK_BUILD_DIR);
    if (!std::filesystem::exists(built / "game.zxc")) return {};
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("moswick-" + tag + "-" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    std::filesystem::copy_file(built / "game.zxc", dir / "game.zxc");
    if (std::filesystem::exists(built / "GameParams.xml"))
        std::filesystem::copy_file(built / "GameParams.xml", dir / "GameParams.xml");
    return dir;
}

}  // namespace

TEST(TitleMusic, PlaysThroughTheOutputDeviceAndFadesIn) {
    const std::filesystem::path dir = GameFolder("title-music");
    if (dir.empty()) GTEST_SKIP() << "no game.zxc built beside the program";

    // The disk driver takes a short pause per buffer instead of waiting for
    // real time, so the device runs several times faster than a sound card
    // and the whole fade-in is written while the program runs its frames
    // (frames that show nothing new keep the display's pace of 60 a second).
    const std::filesystem::path sound = dir / "device.raw";
    const std::string cmd = "SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=disk SDL_DISKAUDIODELAY=4 SDL_DISKAUDIOFILE=\"" +
                            sound.string() + "\" \"" MOSWICK_BUILD_DIR "/moswick\" --data-dir \"" + dir.string() +
                            "\" --frames 600 >\"" + (dir / "out.txt").string() + "\" 2>&1";
    const int status = std::system(cmd.c_str());
    ASSERT_TRUE(status != -1 && WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    std::string log;
    ReadWholeFile((dir / "Moswick.log").string(), log);
    EXPECT_NE(log.find("Bass init Ok..."), std::string::npos);

    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(sound.string(), bytes));
    std::filesystem::remove_all(dir);
    std::vector<float> out(bytes.size() / sizeof(float));
    std::memcpy(out.data(), bytes.data(), out.size() * sizeof(float));
    ASSERT_TRUE(std::all_of(out.begin(), out.end(), [](float v) { return std::isfinite(v) && std::fabs(v) <= 1.0f; }));

    // Silent while the game loads, then the music: from near silence up to
    // its level over the fade of one second.
    const size_t rate = 44100;
    size_t first = 0;
    while (first < out.size() / 2 && std::fabs(out[2 * first]) < 1e-4f && std::fabs(out[2 * first + 1]) < 1e-4f)
        ++first;
    ASSERT_GT(out.size() / 2, first + 2 * rate) << "less than two seconds of music reached the device";
    const double start = Rms(out, first, rate / 20);
    const double full = Rms(out, first + rate * 6 / 5, rate / 2);
    EXPECT_GT(full, 0.02);
    EXPECT_LT(start, full * 0.5);
}

// No usable audio device: the game starts, runs and ends as usual, silent,
// and the start-up log reads as always.
TEST(TitleMusic, WithoutAnAudioDeviceTheGameRunsSilent) {
    const std::filesystem::path dir = GameFolder("no-audio");
    if (dir.empty()) GTEST_SKIP() << "no game.zxc built beside the program";
    const std::string cmd = "SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=no-such-driver \"" MOSWICK_BUILD_DIR
                            "/moswick\" --data-dir \"" +
                            dir.string() + "\" --frames 100 >\"" + (dir / "out.txt").string() + "\" 2>&1";
    const int status = std::system(cmd.c_str());
    ASSERT_TRUE(status != -1 && WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    std::string log;
    ReadWholeFile((dir / "Moswick.log").string(), log);
    std::filesystem::remove_all(dir);
    const size_t bass = log.find("Bass init Ok...");
    EXPECT_NE(bass, std::string::npos) << log;
    EXPECT_NE(log.find("Game Started...", bass), std::string::npos) << log;
    EXPECT_NE(log.find("Average FPS: "), std::string::npos) << log;
}
