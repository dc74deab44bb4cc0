// The built program run headless from a test: a fresh write folder per test
// with the built game data copied into it, the dummy SDL drivers and a user
// configuration folder of its own, and helpers to read what the run wrote
// (its output, log, state dump, trace).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace moswick_test {

// The sanitizer builds run the program about ten times slower, and an
// unoptimised build (a packager's Debug) slower still; whole-program tests
// shorten or skip their longest runs there.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_UNDEFINED__) || !defined(__OPTIMIZE__)
inline constexpr bool kSlowBuild = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kSlowBuild = true;
#else
inline constexpr bool kSlowBuild = false;
#endif
#else
inline constexpr bool kSlowBuild = false;
#endif

// Base fixture of the whole-program tests. SetUp makes the folder
// "moswick-<tag>-<pid>-<test name>" under the temporary folder and copies
// game.zxc (and GameParams.xml where built) into it; it skips the test when
// no game.zxc was built beside the program. TearDown removes the folder.
class HeadlessProgramTest : public ::testing::Test {
protected:
    explicit HeadlessProgramTest(std::string tag) : tag_(std::move(tag)) {}
    void SetUp() override;
    void TearDown() override;

    // Runs the built program with --no-window --data-dir <folder> followed by
    // args; its standard output and error go to "out.txt" in the folder.
    // Returns the exit code, or -1 when the program did not exit normally.
    int RunProgram(const std::string& args) const;
    // The whole file `name` of the folder; empty when it cannot be read.
    std::string Read(const std::string& name) const;
    // Writes `text` to the file `name` of the folder (created or replaced).
    void Write(const std::string& name, const std::string& text) const;
    // The file `name` of the folder, quoted for the command line.
    std::string Path(const std::string& name) const;
    // Copies the built language files (lng/) into the folder; false when
    // the content build has made none.
    bool CopyLanguages() const;

    // The value of the first attribute `name` in a dump or save; empty when
    // there is none.
    static std::string Attr(const std::string& text, const std::string& name);
    // The centre of the shown control `control` in a state dump; false when
    // the dump does not show it.
    static bool Centre(const std::string& dump, const std::string& control, int& x, int& y);
    // The screen rectangle of a shown control in a state dump.
    struct TBox {
        int Left = 0, Top = 0, Width = 0, Height = 0;
    };
    // Its rectangle; false when the dump does not show the control.
    static bool Box(const std::string& dump, const std::string& control, TBox& box);
    // The text a shown control shows in a state dump, or "(hidden)".
    static std::string Shown(const std::string& dump, const std::string& control);

    std::filesystem::path dir_;

private:
    std::string tag_;
};

}  // namespace moswick_test
