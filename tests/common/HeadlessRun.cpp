#include "HeadlessRun.h"

#include <unistd.h>

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <regex>

#include "base/OrvStream.h"

namespace moswick_test {

void HeadlessProgramTest::SetUp() {
    const std::filesystem::path built(MOSWICK_BUILD_DIR);
    if (!std::filesystem::exists(built / "game.zxc")) GTEST_SKIP() << "no game.zxc built beside the program";
    dir_ = std::filesystem::temp_directory_path() / ("moswick-" + tag_ + "-" + std::to_string(getpid()) + "-" +
                                                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    std::filesystem::copy_file(built / "game.zxc", dir_ / "game.zxc");
    if (std::filesystem::exists(built / "GameParams.xml"))
        std::filesystem::copy_file(built / "GameParams.xml", dir_ / "GameParams.xml");
}

void HeadlessProgramTest::TearDown() {
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
}

int HeadlessProgramTest::RunProgram(const std::string& args) const {
    // The user configuration (the key store) lives in the folder too, so a
    // run never reads or changes the configuration of whoever runs the tests.
    const std::string cmd = "XDG_CONFIG_HOME=\"" + dir_.string() +
                            "\" SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy \"" MOSWICK_BUILD_DIR
                            "/moswick\" --no-window --data-dir \"" +
                            dir_.string() + "\" " + args + " >\"" + (dir_ / "out.txt").string() + "\" 2>&1";
    const int status = std::system(cmd.c_str());
    if (status == -1 || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

std::string HeadlessProgramTest::Read(const std::string& name) const {
    std::string text;
    ReadWholeFile((dir_ / name).string(), text);
    return text;
}

void HeadlessProgramTest::Write(const std::string& name, const std::string& text) const {
    std::ofstream(dir_ / name, std::ios::binary) << text;
}

std::string HeadlessProgramTest::Path(const std::string& name) const {
    return "\"" + (dir_ / name).string() + "\"";
}

bool HeadlessProgramTest::CopyLanguages() const {
    const std::filesystem::path built = std::filesystem::path(MOSWICK_BUILD_DIR) / "lng";
    if (!std::filesystem::exists(built / "deu_2.lng")) return false;
    std::filesystem::copy(built, dir_ / "lng", std::filesystem::copy_options::recursive);
    return true;
}

std::string HeadlessProgramTest::Attr(const std::string& text, const std::string& name) {
    std::smatch m;
    if (std::regex_search(text, m, std::regex(" " + name + "=\"([^\"]*)\""))) return m[1];
    return {};
}

bool HeadlessProgramTest::Centre(const std::string& dump, const std::string& control, int& x, int& y) {
    TBox box;
    if (!Box(dump, control, box)) return false;
    x = box.Left + box.Width / 2;
    y = box.Top + box.Height / 2;
    return true;
}

bool HeadlessProgramTest::Box(const std::string& dump, const std::string& control, TBox& box) {
    std::smatch m;
    const std::regex re("<Control[^>]*Name=\"" + control +
                        "\"[^>]*Left=\"(-?\\d+)\" Top=\"(-?\\d+)\" Width=\"(\\d+)\" Height=\"(\\d+)\"");
    if (!std::regex_search(dump, m, re)) return false;
    box = {std::stoi(m[1]), std::stoi(m[2]), std::stoi(m[3]), std::stoi(m[4])};
    return true;
}

std::string HeadlessProgramTest::Shown(const std::string& dump, const std::string& control) {
    std::smatch m;
    if (std::regex_search(dump, m,
                          std::regex("<Control Name=\"" + std::regex_replace(control, std::regex("\\."), "\\.") +
                                     "\"[^>]*>([^<]*)</Control>")))
        return m[1];
    if (dump.find("<Control Name=\"" + control + "\"") != std::string::npos) return "";
    return "(hidden)";
}

}  // namespace moswick_test
