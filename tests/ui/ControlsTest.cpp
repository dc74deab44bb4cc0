// The controls driven with synthetic input: check boxes, radio groups, tab
// pages, edits and their limits, sliders, grids, progress bars, labels'
// line layout and animated pictures.
#include <algorithm>

#include "UiTestKit.h"
#include "base/OrvException.h"
#include "ui/OrvEdit.h"
#include "ui/OrvForm.h"
#include "ui/OrvGrid.h"
#include "ui/OrvLabel.h"
#include "ui/OrvMoving.h"
#include "ui/OrvProgressBar.h"
#include "ui/OrvSlider.h"

namespace {

class ControlsTest : public TUiTest {
protected:
    // A full-screen form "WA" shown, holding the given objects.
    void LoadOnForm(const std::string& objects) {
        Load(Obj("TOrvForm", {{"Name", "WA"}, {"ParentName", "Screen"}, {"Width", "800"}, {"Height", "600"}}) +
             objects);
        ui.ShowModal("WA");
    }
};

TEST_F(ControlsTest, CheckBoxTogglesOnlyOnPressAndReleaseInside) {
    graphic.sizes["off.png"] = {20, 20};
    LoadOnForm(Obj("TOrvCheckBox", {{"Name", "WA_CB"},
                                    {"ParentName", "WA"},
                                    {"Width", "100"},
                                    {"Height", "20"},
                                    {"Picture", "off.png"},
                                    {"MouseDownPicture", "on.png"},
                                    {"BoxPlace", "bpRight"},
                                    {"OnMouseUp", "PlaySound Sound=\"tick.ogg\";"}}));
    auto& box = Get<TOrvCheckBox>("WA_CB");
    Click(50, 10);
    EXPECT_TRUE(box.Checked);
    EXPECT_EQ(graphic.sounds.size(), 1u);
    // A checked box shows its pressed picture, here at the right edge.
    ui.MouseMove(0, 500, 500);
    graphic.Reset();
    ui.DrawModal();
    ASSERT_FALSE(graphic.draws.empty());
    EXPECT_EQ(graphic.draws.back().Picture, "on.png");
    EXPECT_EQ(graphic.draws.back().X, 80);
    ui.MouseDown(mbLeft, ssLeft, 50, 10);
    ui.MouseUp(mbLeft, 0, 150, 10);  // released outside
    EXPECT_TRUE(box.Checked);
    ui.MouseDown(mbLeft, ssLeft, 150, 10);  // pressed outside
    ui.MouseUp(mbLeft, 0, 50, 10);
    EXPECT_TRUE(box.Checked);
    ui.MouseDown(mbRight, ssRight, 50, 10);
    ui.MouseUp(mbRight, 0, 50, 10);
    EXPECT_TRUE(box.Checked);
    EXPECT_EQ(graphic.sounds.size(), 1u);
}

TEST_F(ControlsTest, ButtonPressedOutsideItsFormDoesNotClickLater) {
    Load(Obj("TOrvForm", {{"Name", "WA"}, {"ParentName", "Screen"}, {"Width", "200"}, {"Height", "200"}}) +
         Obj("TOrvLabel", {{"Name", "WA_B"},
                           {"ParentName", "WA"},
                           {"Width", "100"},
                           {"Height", "100"},
                           {"OnMouseUp", "PlaySound Sound=\"b.ogg\";"}}));
    ui.ShowModal("WA");
    ui.MouseDown(mbLeft, ssLeft, 50, 50);
    ui.MouseUp(mbLeft, 0, 500, 500);  // outside the form: the form ignores it
    ui.MouseDown(mbLeft, ssLeft, 150, 150);
    ui.MouseUp(mbLeft, 0, 50, 50);
    EXPECT_TRUE(graphic.sounds.empty());
}

TEST_F(ControlsTest, RadioButtonsOfAGroupExcludeEachOther) {
    auto radio = [](const std::string& name, int top, int group, bool checked) {
        return Obj("TOrvRadioButton", {{"Name", name},
                                       {"ParentName", "WA"},
                                       {"Top", std::to_string(top)},
                                       {"Width", "100"},
                                       {"Height", "20"},
                                       {"RadioGroup", std::to_string(group)},
                                       {"Checked", checked ? "true" : "false"},
                                       {"OnMouseUp", "PlaySound Sound=\"" + name + "\";"}});
    };
    LoadOnForm(radio("R1", 0, 1, true) + radio("R2", 30, 1, false) + radio("R3", 60, 2, true));
    Click(10, 40);
    EXPECT_FALSE(Get<TOrvRadioButton>("R1").Checked);
    EXPECT_TRUE(Get<TOrvRadioButton>("R2").Checked);
    EXPECT_TRUE(Get<TOrvRadioButton>("R3").Checked);
    Click(10, 40);  // already checked: nothing
    EXPECT_EQ(graphic.sounds, std::vector<std::string>{"R2"});
    ui.SetProp("R1", "Checked", "TRUE");
    EXPECT_FALSE(Get<TOrvRadioButton>("R2").Checked);
}

TEST_F(ControlsTest, ShowingATabPageHidesTheOthersOfItsGroup) {
    auto page = [](const std::string& name, int group, bool visible) {
        return Obj("TOrvTabForm", {{"Name", name},
                                   {"ParentName", "WA"},
                                   {"TabGroup", std::to_string(group)},
                                   {"Visible", visible ? "true" : "false"}});
    };
    LoadOnForm(page("T1", 1, true) + page("T2", 1, false) + page("T3", 2, true));
    ui.SetProp("T2", "Visible", "true");
    EXPECT_FALSE(Get<TOrvTabForm>("T1").Visible);
    EXPECT_TRUE(Get<TOrvTabForm>("T2").Visible);
    EXPECT_TRUE(Get<TOrvTabForm>("T3").Visible);
}

// Each edit on a full-screen form of its own, shown on top.
class EditTest : public ControlsTest {
protected:
    TOrvEdit& MakeEdit(const std::string& name, const std::vector<std::pair<std::string, std::string>>& extra) {
        const std::string form = "WF" + name;
        std::vector<std::pair<std::string, std::string>> props = {{"Name", name},    {"ParentName", form},
                                                                  {"Width", "200"},  {"Height", "20"},
                                                                  {"FontName", "F"}, {"Focused", "true"}};
        props.insert(props.end(), extra.begin(), extra.end());
        Load(Obj("TOrvForm", {{"Name", form}, {"ParentName", "Screen"}, {"Width", "800"}, {"Height", "600"}}) +
             Obj("TOrvEdit", props));
        ui.ShowModal(form);
        return Get<TOrvEdit>(name);
    }
};

TEST_F(EditTest, FullEditIgnoresTypedAndControlCharacters) {
    auto& edit = MakeEdit("E", {{"MaxLength", "5"}, {"Caption", "abcde"}});
    Type(u"x");
    Type(u"\x01");
    EXPECT_EQ(edit.GetCaption(), "abcde");
    EXPECT_FALSE(edit.HasSelection());
    Key(VK::Back);
    Type(u"z");
    EXPECT_EQ(edit.GetCaption(), "abcdz");
}

TEST_F(EditTest, RefusedCharactersAndTheWidthLimit) {
    auto& edit = MakeEdit("E", {{"InputMode", "imNumbersOnly"}, {"ForbiddenChars", "5"}});
    Type(u"a1<52\b\r\t");
    EXPECT_EQ(edit.GetCaption(), "12");
    auto& wide = MakeEdit("E2", {{"ForbiddenChars", "&lt;"}, {"MaxWidth", "100"}});
    Type(u"<abcdefghijkl");
    // 10 pixels a character: only a text narrower than 100 fits.
    EXPECT_EQ(wide.GetCaption(), "abcdefghi");
}

TEST_F(EditTest, PasteObeysTheSameLimitsAsTyping) {
    auto& edit = MakeEdit("E", {{"InputMode", "imNumbersOnly"}, {"ForbiddenChars", "&lt;"}, {"MaxLength", "6"}});
    clipboard = "12<a3\n45678901";
    Type(u"\x16");
    EXPECT_EQ(edit.GetCaption(), "123456");
    auto& narrow = MakeEdit("N", {{"Width", "50"}});
    clipboard = "abcdefgh";
    Type(u"\x16");
    EXPECT_EQ(narrow.GetCaption(), "abcd");
}

TEST_F(EditTest, CaretSelectionClipboardAndDeletion) {
    auto& edit = MakeEdit("E", {{"Caption", "hello"}});
    EXPECT_EQ(edit.Caret, 6);
    Key(VK::Home);
    Key(VK::Right, ssShift);
    Key(VK::Right, ssShift);
    EXPECT_EQ(edit.SelectedText(), "he");
    Type(u"\x03");
    EXPECT_EQ(clipboard, "he");
    Type(u"J");  // typing replaces the selection
    EXPECT_EQ(edit.GetCaption(), "Jllo");
    Key(VK::End);
    Key(VK::Back);
    Key(VK::Home);
    Key(VK::Delete);
    EXPECT_EQ(edit.GetCaption(), "ll");
    Type(u"\x01");
    Type(u"\x18");
    EXPECT_EQ(clipboard, "ll");
    EXPECT_EQ(edit.GetCaption(), "");
    Key(VK::Left);
    Key(VK::Back);
    EXPECT_EQ(edit.Caret, 1);
    // Without focus, or read-only, keys do nothing.
    edit.SetFocused(false);
    Type(u"q");
    edit.SetFocused(true);
    edit.ReadOnly = true;
    Type(u"q");
    EXPECT_EQ(edit.GetCaption(), "");
}

TEST_F(EditTest, PressPlacesTheCaretAndTheCaretBlinks) {
    auto& edit = MakeEdit("E", {{"Caption", "abcdef"}, {"CursorPicture", "caret.png"}});
    Click(33, 10);  // between c and d
    EXPECT_EQ(edit.Caret, 4);
    now = 0;
    edit.Tick(100);
    ui.DrawModal();
    bool caret = false;
    for (const TDrawCall& c : graphic.draws) caret = caret || (c.Picture == "caret.png" && c.X == 30);
    EXPECT_TRUE(caret);
    edit.Tick(600);
    graphic.Reset();
    ui.DrawModal();
    for (const TDrawCall& c : graphic.draws) EXPECT_NE(c.Picture, "caret.png");
}

class SliderTest : public ControlsTest {
protected:
    TOrvSlider& MakeSlider(const std::vector<std::pair<std::string, std::string>>& extra) {
        graphic.sizes["up.png"] = {20, 20};
        graphic.sizes["down.png"] = {20, 20};
        graphic.sizes["bar.png"] = {10, 20};
        std::vector<std::pair<std::string, std::string>> props = {{"Name", "WA_S"},
                                                                  {"ParentName", "WA"},
                                                                  {"Left", "100"},
                                                                  {"Top", "100"},
                                                                  {"Width", "200"},
                                                                  {"Height", "20"},
                                                                  {"Max", "10"},
                                                                  {"UpPicture", "up.png"},
                                                                  {"DownPicture", "down.png"},
                                                                  {"BarPicture", "bar.png"},
                                                                  {"BigStep", "3"},
                                                                  {"OnChange", "PlaySound Sound=\"moved\";"},
                                                                  {"BarShiftLeft", "20"}};
        props.insert(props.end(), extra.begin(), extra.end());
        LoadOnForm(Obj("TOrvSlider", props));
        return Get<TOrvSlider>("WA_S");
    }
    size_t Changes() const {
        return static_cast<size_t>(std::count(graphic.sounds.begin(), graphic.sounds.end(), "moved"));
    }
};

TEST_F(SliderTest, PositionClampsAndAnnouncesEachChangeOnce) {
    auto& slider = MakeSlider({{"Position", "4"}});
    EXPECT_EQ(slider.Position, 4);
    ui.SetProp("WA_S", "Position", "12");
    ui.RunScripts();
    EXPECT_EQ(slider.Position, 10);
    EXPECT_EQ(Changes(), 1u);
    ui.SetProp("WA_S", "Position", "10");
    ui.SetProp("WA_S", "Position", "99");
    ui.RunScripts();
    EXPECT_EQ(Changes(), 1u);
    ui.SetProp("WA_S", "Position", "-5");
    ui.RunScripts();
    EXPECT_EQ(slider.Position, 0);
    EXPECT_EQ(Changes(), 2u);
}

TEST_F(SliderTest, ButtonsTrackAndDragging) {
    auto& slider = MakeSlider({{"Position", "5"}});
    // 200 - 2 x 20 (the buttons' room) - 10 (thumb) = 150 pixels of travel.
    EXPECT_EQ(slider.ThumbRect(), (TRect{95, 0, 105, 20}));
    Click(110, 110);  // up button
    EXPECT_EQ(slider.Position, 4);
    Click(290, 110);  // down button
    EXPECT_EQ(slider.Position, 5);
    Click(130, 110);  // the track before the thumb
    EXPECT_EQ(slider.Position, 2);
    Click(270, 110);  // after it
    EXPECT_EQ(slider.Position, 5);
    ui.MouseDown(mbLeft, ssLeft, 200, 110);  // the thumb
    EXPECT_TRUE(slider.Dragging());
    ui.MouseMove(ssLeft, 230, 110);
    EXPECT_EQ(slider.Position, 7);
    ui.MouseMove(ssLeft, 900, 110);
    EXPECT_EQ(slider.Position, 10);
    ui.MouseUp(mbLeft, 0, 790, 110);
    EXPECT_FALSE(slider.Dragging());
    ui.MouseMove(0, 100, 110);
    EXPECT_EQ(slider.Position, 10);
    bool handled = false;
    ui.MouseWheel(0, 120, TPoint{200, 110}, handled);
    EXPECT_EQ(slider.Position, 9);
}

TEST_F(SliderTest, LinkedToAnEmptyGridItKeepsASaneRange) {
    graphic.sizes["up.png"] = {20, 20};
    LoadOnForm(Obj("TOrvGrid", {{"Name", "WA_G"},
                                {"ParentName", "WA"},
                                {"Width", "100"},
                                {"Height", "60"},
                                {"FixedRow", "true"},
                                {"AddColumns", "Width=\"100\";"}}) +
               Obj("TOrvSlider", {{"Name", "WA_S"},
                                  {"ParentName", "WA"},
                                  {"Left", "100"},
                                  {"Width", "20"},
                                  {"Height", "60"},
                                  {"Orientation", "trVertical"},
                                  {"LinkedObjectName", "WA_G"},
                                  {"Max", "50"},
                                  {"Position", "3"}}));
    auto& slider = Get<TOrvSlider>("WA_S");
    auto& grid = Get<TOrvGrid>("WA_G");
    EXPECT_EQ(slider.Max, 0);
    EXPECT_EQ(slider.Position, 0);
    EXPECT_EQ(grid.Position, 0);
    EXPECT_EQ(grid.SelectedText(), "");
    Click(110, 30);  // the empty track
    EXPECT_EQ(slider.Position, 0);
    ui.SetProp("WA_G", "AddCells", "Text=\"head\";Text=\"a\";Text=\"b\";Text=\"c\";Text=\"d\";");
    EXPECT_EQ(slider.Max, 3);
    ui.SetProp("WA_S", "Position", "2");
    EXPECT_EQ(grid.Position, 2);
    EXPECT_EQ(grid.SelectedText(), "c");
    grid.SetPosition(1);
    EXPECT_EQ(slider.Position, 1);
}

TEST_F(ControlsTest, GridScrollsAndSelects) {
    std::string cells;
    for (int i = 0; i < 10; ++i) cells += "Text=\"row" + std::to_string(i) + "\";";
    int selected = 0;
    methods.Add("Selected", [&] { ++selected; });
    LoadOnForm(Obj("TOrvGrid", {{"Name", "WA_G"},
                                {"ParentName", "WA"},
                                {"Width", "200"},
                                {"Height", "64"},
                                {"BorderWidth", "2"},
                                {"RowsHeight", "20"},
                                {"AddColumns", "Width=\"200\" FontName=\"F\";"},
                                {"AddCells", cells},
                                {"CursorPicture", "cursor.png"},
                                {"NotActiveCursorAlpha", "100"},
                                {"OnMouseDown", "ExecMethod Method=\"Selected\";"}}));
    auto& grid = Get<TOrvGrid>("WA_G");
    EXPECT_EQ(grid.RowCount, 10);
    EXPECT_EQ(grid.VisibleRows(), 3);
    grid.SetPosition(5);
    EXPECT_EQ(grid.FirstVisibleRow, 3);
    grid.SetPosition(1);
    EXPECT_EQ(grid.FirstVisibleRow, 1);
    grid.SetPosition(99);
    EXPECT_EQ(grid.Position, 9);
    EXPECT_EQ(grid.FirstVisibleRow, 7);
    ui.RunScripts();
    EXPECT_EQ(selected, 3);
    Click(50, 2 + 20 + 5);  // the second visible row
    EXPECT_EQ(grid.Position, 8);
    EXPECT_EQ(selected, 4);
    EXPECT_TRUE(grid.Focused);
    Key(VK::Up);
    EXPECT_EQ(grid.Position, 7);
    bool handled = false;
    ui.MouseWheel(0, -240, TPoint{50, 20}, handled);
    EXPECT_EQ(grid.Position, 9);
    graphic.Reset();
    ui.DrawModal();
    EXPECT_EQ(graphic.Texts(), (std::vector<std::string>{"row7", "row8", "row9"}));
    // Without the focus the cursor is composed fainter, like any picture.
    grid.SetFocused(false);
    graphic.Reset();
    ui.DrawModal();
    ASSERT_FALSE(graphic.draws.empty());
    EXPECT_EQ(graphic.draws.back().Picture, "cursor.png");
    EXPECT_EQ(graphic.draws.back().Alpha, 100);
    EXPECT_EQ(graphic.draws.back().Y, 2 + 2 * 20);
    // A row height of 0 shows no rows and divides by nothing.
    ui.SetProp("WA_G", "RowsHeight", "0");
    EXPECT_EQ(grid.VisibleRows(), 0);
    EXPECT_EQ(grid.RowAt(50, 30), -1);
    grid.SetPosition(3);
    ui.DrawModal();
    ui.SetProp("WA_G", "RowsHeight", "20");
    ui.SetProp("WA_G", "Cells", "");
    EXPECT_EQ(grid.Position, 0);
    EXPECT_EQ(grid.RowCount, 0);
    EXPECT_THROW(ui.SetProp("WA_G", "AddCells", "Text=oops;"), OrvException);
}

TEST_F(ControlsTest, ProgressBarCountsItsBars) {
    LoadOnForm(Obj("TOrvProgressBar", {{"Name", "WA_PB"},
                                       {"ParentName", "WA"},
                                       {"Width", "200"},
                                       {"StepWidth", "10"},
                                       {"BarPicture", "bar.png"},
                                       {"Position", "50"}}));
    auto& bar = Get<TOrvProgressBar>("WA_PB");
    EXPECT_EQ(bar.BarCount(), 10);
    ui.DrawModal();
    EXPECT_EQ(std::count_if(graphic.draws.begin(), graphic.draws.end(),
                            [](const TDrawCall& c) { return c.Picture == "bar.png"; }),
              10);
    bar.SetPosition(500);
    EXPECT_EQ(bar.BarCount(), 20);
    bar.SetPosition(-3);
    EXPECT_EQ(bar.BarCount(), 0);
    bar.StepWidth = 0;
    EXPECT_EQ(bar.BarCount(), 0);
    bar.StepWidth = 10;
    bar.Max = bar.Min;
    EXPECT_EQ(bar.BarCount(), 0);
}

TEST_F(ControlsTest, LabelLinesAreBrokenAndPlaced) {
    LoadOnForm(Obj("TOrvLabel", {{"Name", "WA_L"},
                                 {"ParentName", "WA"},
                                 {"Width", "60"},
                                 {"Height", "100"},
                                 {"FontName", "F"},
                                 {"LineSpace", "5"},
                                 {"Layout", "tlBottom"},
                                 {"Caption", "aaaa bbbb"}}) +
               Obj("TOrvLabel", {{"Name", "WA_N"},
                                 {"ParentName", "WA"},
                                 {"Width", "5"},
                                 {"Height", "20"},
                                 {"FontName", "F"},
                                 {"Caption", "xyz"}}));
    const auto& label = Get<TOrvLabel>("WA_L");
    ASSERT_EQ(label.Lines.size(), 2u);
    EXPECT_EQ(label.Lines[0].Text, u"aaaa");
    EXPECT_EQ(label.Lines[1].Text, u"bbbb");
    EXPECT_EQ(label.Lines[0].Y, 55);
    EXPECT_EQ(label.Lines[1].Y, 80);
    // Narrower than one glyph: one character a line, and the layout ends.
    EXPECT_EQ(Get<TOrvLabel>("WA_N").Lines.size(), 3u);
    ui.SetProp("WA_N", "Width", "0");
    ui.SetProp("WA_N", "Width", "-40");
    EXPECT_EQ(Get<TOrvLabel>("WA_N").Lines.size(), 3u);
    ui.SetProp("WA_L", "Alignment", "taRight");
    EXPECT_EQ(label.Lines[0].X, 20);
}

TEST_F(ControlsTest, AnimatedPictureFramesAndPause) {
    graphic.sizes["m.png"] = {80, 20};
    LoadOnForm(Obj("TOrvMoving", {{"Name", "WA_M"}, {"ParentName", "WA"}, {"Picture", "m.png:4:50:100;"}}));
    auto& m = Get<TOrvMoving>("WA_M");
    EXPECT_EQ(m.Width, 20);
    EXPECT_EQ(m.Height, 20);
    const std::vector<std::pair<uint32_t, int32_t>> frames = {{0, 0}, {60, 1}, {199, 3}, {250, 0}, {360, 1}};
    for (const auto& [t, frame] : frames) {
        now = t;
        ui.TickTopModal();
        EXPECT_EQ(m.CurrentFrame, frame) << t;
    }
    graphic.Reset();
    ui.DrawModal();
    const TDrawCall& c = graphic.draws.back();
    EXPECT_EQ(c.Picture, "m.png");
    EXPECT_EQ(c.Source, (TRect{20, 0, 39, 19}));
    // Frame counts and times of 0 neither divide by zero nor draw nonsense.
    ui.SetProp("WA_M", "Picture", "m.png:0:0:0;other.png:3:0:10");
    now = 5;
    ui.TickTopModal();
    EXPECT_THROW(ui.SetProp("WA_M", "Picture", "m.png:x:1:1;"), OrvException);
}

}  // namespace
