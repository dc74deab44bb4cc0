// Interface objects: placement and alignment, redraw marks, input routing to
// the top form, focus and Tab order, dragging, drawing and the areas the
// engine reports for redrawing.
#include "UiTestKit.h"
#include "base/OrvException.h"
#include "ui/OrvEdit.h"
#include "ui/OrvForm.h"
#include "ui/OrvLabel.h"
#include "ui/OrvSlider.h"

namespace {

class InterfaceObjectTest : public TUiTest {};

TEST_F(InterfaceObjectTest, AlignmentAndSizingRules) {
    graphic.sizes["big.png"] = {300, 50};
    graphic.sizes["btn.png"] = {64, 32};
    Load(Obj("TOrvForm",
             {{"Name", "WA"}, {"ParentName", "Screen"}, {"Left", "10"}, {"Width", "101"}, {"Height", "80"}}) +
         Obj("TOrvLabel", {{"Name", "WA_LCentre"},
                           {"ParentName", "WA"},
                           {"Width", "40"},
                           {"Height", "10"},
                           {"ShiftLeft", "3"},
                           {"HAlign", "haCenter"}}) +
         Obj("TOrvLabel",
             {{"Name", "WA_LRight"}, {"ParentName", "WA"}, {"Width", "20"}, {"HAlign", "haRight"}, {"Left", "5"}}) +
         Obj("TOrvLabel", {{"Name", "WA_BSized"},
                           {"ParentName", "WA"},
                           {"AutoSize", "asPicture"},
                           {"Width", "7"},
                           {"Picture", "btn.png"}}) +
         Obj("TOrvLabel", {{"Name", "WA_LBig"},
                           {"ParentName", "WA"},
                           {"Width", "100"},
                           {"Height", "20"},
                           {"PictureHAlign", "phaCenter"},
                           {"Picture", "big.png"}}));
    const auto& centre = Get<TOrvLabel>("WA_LCentre");
    EXPECT_EQ(centre.Left, 33);  // 50 - 20 + 3
    EXPECT_EQ(centre.AbsLeft, 43);
    // Left is ignored while aligned right.
    const auto& right = Get<TOrvLabel>("WA_LRight");
    EXPECT_EQ(right.Left, 81);
    // Width is ignored while sized to the picture; the picture sizes it.
    const auto& sized = Get<TOrvLabel>("WA_BSized");
    EXPECT_EQ(sized.Width, 64);
    EXPECT_EQ(sized.Height, 32);
    // A picture wider than its object, centred, starts left of it.
    EXPECT_EQ(Get<TOrvLabel>("WA_LBig").PicX, -100);
    // The right edge is outside.
    EXPECT_TRUE(centre.Inside(centre.AbsLeft + 39, centre.AbsTop));
    EXPECT_FALSE(centre.Inside(centre.AbsLeft + 40, centre.AbsTop));
}

TEST_F(InterfaceObjectTest, InvalidateKeepsTheFirstAreaOfAFrame) {
    Load(Obj("TOrvForm", {{"Name", "WA"}, {"ParentName", "Screen"}, {"Width", "800"}, {"Height", "600"}}) +
         Obj("TOrvLabel", {{"Name", "WA_L"}, {"ParentName", "WA"}, {"Width", "10"}, {"Height", "10"}}));
    ui.ShowModal("WA");
    TRects first;
    ui.CollectDirtyRects(first);
    ui.DrawModal();
    auto& label = Get<TOrvLabel>("WA_L");
    label.MoveTo(100, 100);
    label.MoveTo(200, 200);
    TRects rects;
    ui.CollectDirtyRects(rects);
    ASSERT_EQ(rects.size(), 2u);
    EXPECT_EQ(rects[0], (TRect{200, 200, 210, 210}));
    EXPECT_EQ(rects[1], (TRect{0, 0, 10, 10}));
    ui.DrawModal();
    rects.clear();
    ui.CollectDirtyRects(rects);
    EXPECT_TRUE(rects.empty());
}

TEST_F(InterfaceObjectTest, InputGoesOnlyToTheTopFormAndNothingWithoutOne) {
    Load(Obj("TOrvForm", {{"Name", "WA"}, {"ParentName", "Screen"}, {"Width", "800"}, {"Height", "600"}}) +
         Obj("TOrvLabel", {{"Name", "WA_B"},
                           {"ParentName", "WA"},
                           {"Width", "100"},
                           {"Height", "100"},
                           {"OnMouseUp", "PlaySound Sound=\"a.ogg\";"}}) +
         Obj("TOrvForm",
             {{"Name", "WB"}, {"ParentName", "Screen"}, {"Left", "500"}, {"Width", "100"}, {"Height", "100"}}));
    Click(50, 50);
    ui.DrawModal();
    EXPECT_TRUE(graphic.sounds.empty());
    EXPECT_TRUE(graphic.draws.empty() && graphic.texts.empty() && graphic.postDraws.empty());

    ui.ShowModal("WA");
    Click(50, 50);
    EXPECT_EQ(graphic.sounds, std::vector<std::string>{"a.ogg"});
    ui.ShowModal("WB");
    Click(50, 50);  // the top form is WB now
    EXPECT_EQ(graphic.sounds.size(), 1u);
    ui.DrawModal();
    EXPECT_EQ(graphic.postDraws, (std::vector<std::string>{"WA", "WB"}));
}

TEST_F(InterfaceObjectTest, TabOrderWrapsAndSurvivesGapsAndDuplicates) {
    std::string objects =
        Obj("TOrvForm", {{"Name", "WA"}, {"ParentName", "Screen"}, {"Width", "800"}, {"Height", "600"}});
    // Tab orders 7, 3, 3 and none: sorted, the two 3s kept in file order.
    const std::vector<std::pair<std::string, std::string>> edits = {{"WA_E1", "7"}, {"WA_E2", "3"}, {"WA_E3", "3"}};
    for (const auto& [name, order] : edits)
        objects += Obj("TOrvEdit", {{"Name", name}, {"ParentName", "WA"}, {"TabOrder", order}});
    objects += Obj("TOrvEdit", {{"Name", "WA_E4"}, {"ParentName", "WA"}, {"Focused", "true"}});
    objects += Obj("TOrvLabel", {{"Name", "WA_LText"}, {"ParentName", "WA"}});
    Load(objects);
    auto& form = Get<TOrvForm>("WA");
    ASSERT_EQ(form.TabList.size(), 4u);
    EXPECT_EQ(form.TabList[0]->Name(), "WA_E4");
    EXPECT_EQ(form.TabList[1]->Name(), "WA_E2");
    EXPECT_EQ(form.TabList[2]->Name(), "WA_E3");
    EXPECT_EQ(form.TabList[3]->Name(), "WA_E1");
    EXPECT_EQ(Get<TOrvEdit>("WA_E1").TabOrder, 3);
    ui.ShowModal("WA");
    Key(VK::Tab, ssShift);  // from the first to the last
    EXPECT_TRUE(Get<TOrvEdit>("WA_E1").Focused);
    EXPECT_FALSE(Get<TOrvEdit>("WA_E4").Focused);
    Key(VK::Tab);  // from the last to the first
    EXPECT_TRUE(Get<TOrvEdit>("WA_E4").Focused);
    EXPECT_FALSE(Get<TOrvEdit>("WA_E1").Focused);

    // Moving an object in the list clamps the index and renumbers.
    Get<TOrvEdit>("WA_E4").SetTabOrder(99);
    EXPECT_EQ(form.TabList.back()->Name(), "WA_E4");
    EXPECT_EQ(Get<TOrvEdit>("WA_E4").TabOrder, 3);
    EXPECT_EQ(Get<TOrvEdit>("WA_E2").TabOrder, 0);

    // A control made at run time with an order already taken is kept too.
    ui.CreateObject("WA_E5", "WA", "TOrvEdit");
    ui.SetProp("WA_E5", "TabOrder", "0");
    ui.RebuildChildren();
    ASSERT_EQ(form.TabList.size(), 5u);
    EXPECT_EQ(form.TabList[0]->Name(), "WA_E2");
    EXPECT_EQ(form.TabList[1]->Name(), "WA_E5");

    // A form without any Tab stop takes Tab without harm.
    Load(Obj("TOrvForm", {{"Name", "WEmpty"}, {"ParentName", "Screen"}}));
    ui.ShowModal("WEmpty");
    Key(VK::Tab);
    Key(VK::Tab, ssShift);
    EXPECT_TRUE(Get<TOrvForm>("WEmpty").TabList.empty());
}

TEST_F(InterfaceObjectTest, APressFocusesAndAFreedControlLeavesTheTabList) {
    Load(
        Obj("TOrvForm", {{"Name", "WA"}, {"ParentName", "Screen"}, {"Width", "800"}, {"Height", "600"}}) +
        Obj("TOrvEdit",
            {{"Name", "WA_E1"}, {"ParentName", "WA"}, {"Width", "100"}, {"Height", "20"}, {"Focused", "true"}}) +
        Obj("TOrvEdit", {{"Name", "WA_E2"}, {"ParentName", "WA"}, {"Top", "100"}, {"Width", "100"}, {"Height", "20"}}));
    ui.ShowModal("WA");
    Click(10, 110);
    EXPECT_TRUE(Get<TOrvEdit>("WA_E2").Focused);
    EXPECT_FALSE(Get<TOrvEdit>("WA_E1").Focused);
    ui.DeleteObject("WA_E2");
    ASSERT_EQ(Get<TOrvForm>("WA").TabList.size(), 1u);
    Key(VK::Tab);
    Key(VK::Tab);
    EXPECT_TRUE(Get<TOrvEdit>("WA_E1").Focused);
}

TEST_F(InterfaceObjectTest, HeadLineDragsTheForm) {
    Load(Obj("TOrvForm", {{"Name", "WA"},
                          {"ParentName", "Screen"},
                          {"Width", "200"},
                          {"Height", "150"},
                          {"HAlign", "haCenter"},
                          {"VAlign", "vaCenter"},
                          {"HeadLine", "0;0;200;30;"}}) +
         Obj("TOrvLabel", {{"Name", "WA_L"}, {"ParentName", "WA"}, {"Left", "10"}, {"Top", "40"}}));
    ui.ShowModal("WA");
    auto& form = Get<TOrvForm>("WA");
    EXPECT_EQ(form.GetHeadLine(), "0;0;200;30;");
    ASSERT_EQ(form.Left, 300);
    ui.MouseDown(mbLeft, ssLeft, 310, 300);  // below the head line: no drag
    ui.MouseMove(ssLeft, 330, 310);
    EXPECT_EQ(form.Left, 300);
    ui.MouseUp(mbLeft, 0, 330, 310);
    ui.MouseDown(mbLeft, ssLeft, 310, 230);
    ui.MouseMove(ssLeft, 290, 250);
    EXPECT_EQ(form.Left, 280);
    EXPECT_EQ(form.Top, 245);
    EXPECT_EQ(Get<TOrvLabel>("WA_L").AbsLeft, 290);
    EXPECT_TRUE(ui.Changed);
    ui.MouseUp(mbLeft, 0, 290, 250);
    ui.MouseMove(0, 100, 100);
    EXPECT_EQ(form.Left, 280);
    EXPECT_THROW(form.SetHeadLine("1;x;3;4;"), OrvException);
}

TEST_F(InterfaceObjectTest, DrawingOrderAndTheBumpLayer) {
    graphic.sizes["back.png"] = {800, 600};
    Load(Obj("TOrvForm",
             {{"Name", "WA"}, {"ParentName", "Screen"}, {"Picture", "back.png"}, {"Width", "800"}, {"Height", "600"}}) +
         Obj("TOrvLabel", {{"Name", "WA_L1"}, {"ParentName", "WA"}, {"Picture", "one.png"}, {"Left", "5"}}) +
         Obj("TOrvLabel", {{"Name", "WA_L2"}, {"ParentName", "WA"}, {"Picture", "two.png"}, {"Visible", "false"}}) +
         Obj("TOrvLabel", {{"Name", "WA_L3"}, {"ParentName", "WA"}, {"Picture", "three.png"}}));
    ui.ShowModal("WA");
    ui.DrawModal();
    std::vector<std::string> drawn;
    for (const TDrawCall& c : graphic.draws) drawn.push_back(c.Picture);
    EXPECT_EQ(drawn, (std::vector<std::string>{"back.png", "one.png", "three.png"}));
    EXPECT_EQ(graphic.bumps, (std::vector<std::string>{"back.png", "one.png", "three.png"}));
    EXPECT_FALSE(ui.Changed);
    graphic.Reset();
    ui.DrawModal();
    EXPECT_TRUE(graphic.bumps.empty());
}

}  // namespace
