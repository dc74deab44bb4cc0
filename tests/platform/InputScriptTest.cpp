#include "platform/InputScript.h"

#include <gtest/gtest.h>

#include "base/OrvException.h"

namespace {

std::vector<TWindowEvent> Frame(TInputScript& s, uint32_t f) {
    std::vector<TWindowEvent> out;
    s.EventsForFrame(f, out);
    return out;
}

TEST(InputScriptTest, ParsesEveryEventKindInFrameOrder) {
    TInputScript s;
    s.Parse(
        "# a test script\r\n"
        "frame 20 key escape\n"
        "frame 10 mousemove 400 300\n"
        "\n"
        "frame 12 mousedown left 400 300 shift\n"
        "frame 12 mouseup left 401 301\n"
        "frame 14 wheel -1 10 20\n"
        "frame 30 key enter alt\n"
        "frame 31 key a shift\n"
        "frame 32 text \"h\xC3\xA9llo world\"\n"
        "frame 33 click right 5 6 ctrl alt\n"
        "frame 40 deactivate\n"
        "frame 41 activate\n"
        "frame 50 quit");
    EXPECT_TRUE(Frame(s, 9).empty());
    auto f10 = Frame(s, 10);
    ASSERT_EQ(f10.size(), 1u);
    EXPECT_EQ(f10[0].Kind, TWindowEventKind::MouseMove);
    EXPECT_EQ(f10[0].X, 400);
    auto f12 = Frame(s, 12);
    ASSERT_EQ(f12.size(), 2u);
    EXPECT_EQ(f12[0].Kind, TWindowEventKind::MouseDown);
    EXPECT_EQ(f12[0].Shift, ssShift | ssLeft);
    EXPECT_EQ(f12[1].Kind, TWindowEventKind::MouseUp);
    EXPECT_EQ(f12[1].X, 401);
    auto f14 = Frame(s, 14);
    ASSERT_EQ(f14.size(), 1u);
    EXPECT_EQ(f14[0].WheelDelta, -120);
    auto f20 = Frame(s, 20);  // escape: down, its character, up
    ASSERT_EQ(f20.size(), 2u);
    EXPECT_EQ(f20[0].Kind, TWindowEventKind::KeyDown);
    EXPECT_EQ(f20[0].Key, VK::Escape);
    EXPECT_EQ(f20[1].Kind, TWindowEventKind::KeyUp);
    auto f30 = Frame(s, 30);
    ASSERT_EQ(f30.size(), 2u);
    EXPECT_EQ(f30[0].Shift, ssAlt);
    auto f31 = Frame(s, 31);
    ASSERT_EQ(f31.size(), 3u);
    EXPECT_EQ(f31[1].Kind, TWindowEventKind::KeyPress);
    EXPECT_EQ(f31[1].Text, "A");
    auto f32 = Frame(s, 32);
    ASSERT_EQ(f32.size(), 1u);
    EXPECT_EQ(f32[0].Text, "h\xC3\xA9llo world");
    auto f33 = Frame(s, 33);
    ASSERT_EQ(f33.size(), 2u);
    EXPECT_EQ(f33[0].Button, mbRight);
    EXPECT_EQ(f33[0].Shift, ssCtrl | ssAlt | ssRight);
    EXPECT_FALSE(s.Finished());
    // A frame that is skipped still delivers its events later, in order.
    auto rest = Frame(s, 60);
    ASSERT_EQ(rest.size(), 3u);
    EXPECT_EQ(rest[0].Kind, TWindowEventKind::Deactivate);
    EXPECT_EQ(rest[1].Kind, TWindowEventKind::Activate);
    EXPECT_EQ(rest[2].Kind, TWindowEventKind::Quit);
    EXPECT_TRUE(s.Finished());
}

// The example of the README, with comments after the events; a '#' inside
// quoted text is part of the text.
TEST(InputScriptTest, CommentsAfterEventsAreIgnored) {
    TInputScript s;
    s.Parse(
        "frame 14 click right 120 80 shift        # down and up\n"
        "frame 15 wheel -1 400 300                # notches: 1 away from you, -1 towards you\n"
        "frame 20 key escape                      # key down, its character, key up\n"
        "   # an indented comment line\n"
        "frame 40 text \"#1 Anna\"                 # typed characters (UTF-8)\n");
    auto f14 = Frame(s, 14);
    ASSERT_EQ(f14.size(), 2u);
    EXPECT_EQ(f14[0].Shift, ssShift | ssRight);
    EXPECT_EQ(f14[1].Shift, ssShift);
    auto f15 = Frame(s, 15);
    ASSERT_EQ(f15.size(), 1u);
    EXPECT_EQ(f15[0].WheelDelta, -120);
    EXPECT_EQ(f15[0].Y, 300);
    EXPECT_EQ(Frame(s, 20).size(), 2u);
    auto f40 = Frame(s, 40);
    ASSERT_EQ(f40.size(), 1u);
    EXPECT_EQ(f40[0].Text, "#1 Anna");
    EXPECT_TRUE(s.Finished());
}

TEST(InputScriptTest, BadLinesNameTheLine) {
    const char* bad[] = {
        "frame x key a",
        "frame 1 key nosuchkey",
        "frame 1 mousedown up 1 2",
        "frame 1 mousemove 1",
        "frame 1 mousemove 1 2 hyper",
        "frame 1 wheel 0 1 2",
        "frame 99999999999 key a",
        "frame -1 key a",
        "frame 1 text \"open",
        "frame 1 jump",
        "key a",
        "frame 1 quit now",
        "frame 1 mousemove 1 99999999",
    };
    for (const char* line : bad) {
        TInputScript s;
        try {
            s.Parse(std::string("frame 0 key a\n") + line + "\n");
            ADD_FAILURE() << "accepted: " << line;
        } catch (const OrvException& e) {
            EXPECT_EQ(std::string(e.what()).rfind("Input script line 2: ", 0), 0u) << e.what();
        }
    }
    TInputScript s;
    EXPECT_THROW(s.LoadFromFile("/nonexistent/script.txt"), OrvException);
}

TEST(InputScriptTest, FoldersAndEndlessDevicesGiveErrorsNamingThePath) {
    const std::string dir = ::testing::TempDir();
    const auto message = [](const std::string& path) {
        try {
            TInputScript().LoadFromFile(path);
        } catch (const OrvException& e) {
            return e.Message();
        }
        return std::string("(no error)");
    };
    EXPECT_EQ(message(dir), "Cannot read file " + dir + " (it is a folder)");
    EXPECT_EQ(message("/dev/zero"),
              "Cannot read file /dev/zero (larger than " + std::to_string(TInputScript::kMaxFileSize) + " bytes)");
}

}  // namespace
