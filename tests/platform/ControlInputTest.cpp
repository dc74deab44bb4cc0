// Input aimed at the interface: scripted mouse events that name a control,
// and the control characters that key chords type for edits.
#include <gtest/gtest.h>

#include "base/OrvException.h"
#include "platform/InputScript.h"
#include "platform/Window.h"

namespace {

TEST(ControlInputTest, ScriptedMouseEventsMayNameAControl) {
    TInputScript s;
    s.Parse(
        "frame 1 click WTitle_BNewGame\n"
        "frame 2 click right WBetweenLevel_TChapter1.2_LPicture shift\n"
        "frame 3 mousemove WOptions_SMusicVolume\n"
        "frame 4 mousedown WA_B\n"
        "frame 4 mouseup left 10 20\n");
    std::vector<TWindowEvent> e;
    s.EventsForFrame(4, e);
    ASSERT_EQ(e.size(), 7u);
    EXPECT_EQ(e[0].Kind, TWindowEventKind::MouseDown);
    EXPECT_EQ(e[0].Button, mbLeft);
    EXPECT_EQ(e[0].Target, "WTitle_BNewGame");
    EXPECT_EQ(e[1].Kind, TWindowEventKind::MouseUp);
    EXPECT_EQ(e[1].Target, "WTitle_BNewGame");
    EXPECT_EQ(e[2].Button, mbRight);
    EXPECT_EQ(e[2].Shift, ssShift | ssRight);
    EXPECT_EQ(e[2].Target, "WBetweenLevel_TChapter1.2_LPicture");
    EXPECT_EQ(e[4].Kind, TWindowEventKind::MouseMove);
    EXPECT_EQ(e[4].Target, "WOptions_SMusicVolume");
    EXPECT_EQ(e[5].Target, "WA_B");
    std::vector<TWindowEvent> plain;
    s.EventsForFrame(5, plain);
    ASSERT_EQ(plain.size(), 0u);

    TInputScript t;
    t.Parse("frame 4 mouseup left 10 20\n");
    t.EventsForFrame(4, plain);
    ASSERT_EQ(plain.size(), 1u);
    EXPECT_TRUE(plain[0].Target.empty());
    EXPECT_EQ(plain[0].Y, 20);

    for (const char* bad : {"frame 1 click", "frame 1 click left", "frame 1 click 400 300", "frame 1 click W-X",
                            "frame 1 mousemove 400", "frame 1 click WA_B shiftt"})
        EXPECT_THROW(TInputScript().Parse(bad), OrvException) << bad;
}

TEST(ControlInputTest, ChordsTypeTheCharactersEditsTake) {
    EXPECT_EQ(ControlCharForChord('A', ssCtrl), "\x01");
    EXPECT_EQ(ControlCharForChord('C', ssCtrl | ssShift), "\x03");
    EXPECT_EQ(ControlCharForChord('V', ssCtrl), "\x16");
    EXPECT_EQ(ControlCharForChord('X', ssCtrl), "\x18");
    EXPECT_EQ(ControlCharForChord('V', ssCtrl | ssAlt), "");
    EXPECT_EQ(ControlCharForChord('B', ssCtrl), "");
    EXPECT_EQ(ControlCharForChord('V', 0), "");
    EXPECT_EQ(ControlCharForChord(VK::Back, 0), "\b");
    EXPECT_EQ(ControlCharForChord(VK::Return, ssAlt), "");
}

}  // namespace
