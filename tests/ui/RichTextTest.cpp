// Rich labels (markup, wrapping, tables, links) and hints (background, timing).
#include "UiTestKit.h"
#include "ui/OrvForm.h"
#include "ui/OrvRichLabel.h"

namespace {

class RichTextTest : public TUiTest {
protected:
    TOrvRichLabel& MakeRich(const std::string& caption, const std::string& width = "200",
                            const std::string& cls = "TOrvRichLabel") {
        Load(Obj("TOrvForm", {{"Name", "W"}, {"ParentName", "S"}, {"Width", "800"}, {"Height", "600"}}) +
             Obj(cls, {{"Name", "W_R"},
                       {"ParentName", "W"},
                       {"Left", "100"},
                       {"Top", "50"},
                       {"Width", width},
                       {"Height", "100"},
                       {"FontName", "F"},
                       {"LineSpace", "2"},
                       {"Caption", caption}}));
        ui.ShowModal("W");
        return Get<TOrvRichLabel>("W_R");
    }
    std::vector<std::string> Drawn() {
        graphic.Reset();
        ui.DrawModal();
        return graphic.Texts();
    }
};

TEST_F(RichTextTest, BracesBreaksAndUnknownTags) {
    auto& rich = MakeRich("a {{b}{BR/}c{BR 8/}d {Bold}e{HR 5/}{BR/}f {g");
    EXPECT_EQ(Drawn(), (std::vector<std::string>{"a {b}", "c", "d {Bold}e", "f {g"}));
    const auto& f = rich.Fragments();
    ASSERT_EQ(f.size(), 4u);
    EXPECT_EQ(f[1].Y, 22);
    EXPECT_EQ(f[2].Y, 22 + 22 + 8);
    EXPECT_EQ(f[3].Y, 52 + 25 + 2);
    EXPECT_EQ(graphic.texts[0].X, 100);
    EXPECT_EQ(graphic.texts[0].Y, 50);
}

TEST_F(RichTextTest, WrapsAtBlanksAndAligns) {
    auto& rich = MakeRich("aaa bbb ccc {Center}dd{/Center}{Right}ee{/Right}{Justify}x y zz qq{/Justify}", "80");
    const auto& f = rich.Fragments();
    ASSERT_GE(f.size(), 6u);
    EXPECT_EQ(f[0].Text, u"aaa bbb");
    EXPECT_EQ(f[1].Text, u"ccc");
    EXPECT_EQ(f[2].Text, u"dd");
    EXPECT_EQ(f[2].X, 30);
    EXPECT_EQ(f[3].Text, u"ee");
    EXPECT_EQ(f[3].X, 60);
    // The wrapped justified line fills the width; its last line does not.
    EXPECT_EQ(f[4].Text, u"x");
    EXPECT_EQ(f[5].Text, u"y");
    EXPECT_EQ(f[6].Text, u"zz");
    EXPECT_EQ(f[6].X + f[6].Width, 80);
    EXPECT_EQ(f.back().Text, u"qq");
    EXPECT_EQ(f.back().X, 0);
    // A word longer than the line is cut, a character at least per line.
    ui.SetProp("W_R", "Caption", "abcdefghij");
    ui.SetProp("W_R", "Width", "5");
    EXPECT_EQ(rich.Fragments().size(), 10u);
    ui.SetProp("W_R", "Width", "-20");
    EXPECT_EQ(rich.Fragments().size(), 10u);
}

TEST_F(RichTextTest, TablesPlaceTextAtTabStops) {
    auto& rich = MakeRich("{Table}{TRight 30/}1{TLeft 50/}Anna{TCenter 150/}xx{BR/}{TRight 30/}10{/Table}", "400");
    const auto& f = rich.Fragments();
    ASSERT_EQ(f.size(), 4u);
    EXPECT_EQ(f[0].X, 20);
    EXPECT_EQ(f[1].X, 50);
    EXPECT_EQ(f[2].X, 140);
    EXPECT_EQ(f[3].X, 10);
    EXPECT_EQ(f[3].Y, 22);
}

TEST_F(RichTextTest, LinksRunOnceAfterTheDispatchAndRelayoutKeepsNames) {
    int pressed = 0;
    std::vector<std::string> stackAtCall;
    methods.Add("Go", [&] {
        ++pressed;
        for (const auto* form : ui.ModalStack) stackAtCall.push_back(form->Name());
    });
    auto& rich = MakeRich("Press {Link Action=ExecMethod Method=\"Go\";ShowModal Form=\"W\";}here{/Link} now");
    ASSERT_EQ(rich.Links().size(), 1u);
    const TOrvLabel& link = *rich.Links()[0];
    EXPECT_EQ(link.Name(), "W_R_Link0");
    EXPECT_EQ(link.AbsLeft, 160);
    EXPECT_EQ(link.Width, 40);
    EXPECT_EQ(ui.FindObject("W_R_Link0"), nullptr);
    Click(110, 55);
    EXPECT_EQ(pressed, 0);
    Click(165, 55);
    EXPECT_EQ(pressed, 1);
    EXPECT_EQ(stackAtCall, std::vector<std::string>{"W"});
    EXPECT_EQ(Drawn(), (std::vector<std::string>{"Press", "now", "here"}));
    // Laid out again: the old link label is freed, the new one has the same name.
    for (int i = 0; i < 3; ++i) ui.SetProp("W_R", "Width", std::to_string(300 + i));
    ASSERT_EQ(rich.Links().size(), 1u);
    EXPECT_EQ(rich.Links()[0]->Name(), "W_R_Link0");
    ui.SetProp("W_R", "LinkMouseOverColor", "255");
    EXPECT_EQ(rich.Links()[0]->HoverColor(), 255u);
}

TEST_F(RichTextTest, HintTimingAndBackground) {
    auto& hint = MakeRich("Watch the belt", "200", "TOrvHint");
    ASSERT_FALSE(hint.Visible);
    ui.SetProp("W_R", "ShowTime", "3000");
    now = 1000;
    ui.SetProp("W_R", "Visible", "true");
    EXPECT_TRUE(hint.Visible);
    EXPECT_EQ(hint.Height, 20);
    now = 3999;
    ui.TickTopModal();
    EXPECT_TRUE(hint.Visible);
    graphic.Reset();
    ui.DrawModal();
    ASSERT_EQ(graphic.rects.size(), 1u);
    EXPECT_EQ(graphic.rects[0], (TRect{84, 40, 316, 80}));
    now = 4000;
    ui.TickTopModal();
    EXPECT_FALSE(hint.Visible);
    TRects dirty;
    ui.CollectDirtyRects(dirty);
    EXPECT_NE(std::find(dirty.begin(), dirty.end(), TRect{84, 40, 316, 80}), dirty.end());

    // With a picture there is no coloured background.
    ui.SetProp("W_R", "Picture", "balloon.png");
    ui.SetProp("W_R", "Visible", "true");
    graphic.Reset();
    ui.DrawModal();
    EXPECT_TRUE(graphic.rects.empty());
    // Without text a hint does not show.
    ui.SetProp("W_R", "Visible", "false");
    ui.SetProp("W_R", "Caption", "");
    ui.SetProp("W_R", "Visible", "true");
    EXPECT_FALSE(hint.Visible);
}

}  // namespace
