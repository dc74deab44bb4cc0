// Event scripts and the modal stack: command syntax, queue order and re-entry,
// handlers by name, and the stack operations with the areas they redraw.
#include "UiTestKit.h"
#include "base/OrvException.h"
#include "base/OrvParser.h"
#include "ui/OrvForm.h"
#include "ui/OrvGrid.h"
#include "ui/OrvLabel.h"

namespace {

class ScriptsTest : public TUiTest {
protected:
    void SetUp() override {
        std::string forms;
        for (const std::string name : {"A", "B", "C", "D"})
            forms += Obj("TOrvForm", {{"Name", name},
                                      {"ParentName", "Screen"},
                                      {"Left", std::to_string((name[0] - 'A') * 100)},
                                      {"Width", "50"},
                                      {"Height", "40"}});
        Load(forms);
    }
    void Run(const std::string& script) {
        ui.ExecScript("A", script);
        ui.RunScripts();
    }
};

TEST_F(ScriptsTest, CommandSyntax) {
    Run("PlaySound Sound=\"a;b.ogg\";");
    EXPECT_EQ(graphic.sounds, std::vector<std::string>{"a;b.ogg"});
    Run("ShowModal Form=\"A\"");  // no final ";"
    EXPECT_TRUE(Stack().empty());
    Run("ShowModal Form=\"A\"; HideModal;");  // the second begins with a blank
    EXPECT_EQ(Stack(), std::vector<std::string>{"A"});
    Run("ShowModal Form=\"B\";ShowModal Form=\"B\";");
    EXPECT_EQ(Stack(), (std::vector<std::string>{"A", "B"}));
    Run("ShowModal Form=\"Nobody\";SetProp Object=\"Nobody\" Prop=\"Visible\" Value=\"false\";Dance Steps=\"3\";"
        "HideModalList Now=\"yes\";PlaySound;");
    EXPECT_EQ(Stack(), (std::vector<std::string>{"A", "B"}));
    Run("SetProp Value=\"false\" Prop=\"visible\" Object=\"A\";");
    EXPECT_FALSE(Get<TOrvForm>("A").Visible);
    EXPECT_THROW(ui.ExecScript("A", "ShowModal Form=A;"), OrvException);
    EXPECT_THROW(Run("SetProp Object=\"A\" Prop=\"Width\" Value=\"wide\";"), OrvException);
    EXPECT_TRUE(ui.Scripts->Tags.empty());
}

TEST_F(ScriptsTest, EventSoundPlaysFirstEvenWithoutAScript) {
    Load(Obj("TOrvLabel", {{"Name", "A_B"},
                           {"ParentName", "A"},
                           {"Width", "50"},
                           {"Height", "40"},
                           {"SoundMouseUp", "click.ogg"},
                           {"OnMouseDown", "PlaySound Sound=\"down.ogg\";"},
                           {"SoundMouseDown", "press.ogg"}}));
    ui.ShowModal("A");
    Click(10, 10);
    EXPECT_EQ(graphic.sounds, (std::vector<std::string>{"press.ogg", "down.ogg", "click.ogg"}));
}

TEST_F(ScriptsTest, ModalStackOperations) {
    for (const char* f : {"A", "B", "C"}) ui.ShowModal(f);
    ui.DrawModal();
    ui.HideModal("B");
    EXPECT_EQ(Stack(), std::vector<std::string>{"A"});
    EXPECT_FALSE(Get<TOrvForm>("B").Visible);
    TRects rects;
    ui.CollectDirtyRects(rects);
    // A is redrawn, and so is the area B and C covered.
    EXPECT_NE(std::find(rects.begin(), rects.end(), TRect{0, 0, 50, 40}), rects.end());
    EXPECT_NE(std::find(rects.begin(), rects.end(), TRect{100, 0, 250, 40}), rects.end());
    ui.DrawModal();

    // Not on the stack: nothing happens, whatever the command.
    Run("HideModal Form=\"D\";ChangeModal HideForm=\"D\" ShowForm=\"C\";");
    EXPECT_EQ(Stack(), std::vector<std::string>{"A"});
    for (const char* f : {"B", "C"}) ui.ShowModal(f);
    Run("ChangeModal HideForm=\"B\" ShowForm=\"D\";");
    EXPECT_EQ(Stack(), (std::vector<std::string>{"A", "D"}));
    EXPECT_EQ(ui.UpdateRect, (TRect{0, 0, 800, 600}));
    ui.ShowModal("B");
    Run("ChangeModal ShowForm=\"C\";");
    EXPECT_EQ(Stack(), (std::vector<std::string>{"A", "D", "C"}));
    Run("HideModal;");
    EXPECT_EQ(Stack(), (std::vector<std::string>{"A", "D"}));
    Run("HideModalList;");
    EXPECT_TRUE(Stack().empty());
    Run("HideModal;HideModalList;ChangeModal ShowForm=\"A\";");
    EXPECT_TRUE(Stack().empty());
}

TEST_F(ScriptsTest, ScriptsQueuedWhileTheQueueRunsRunInTheSameCall) {
    methods.Add("Moved", [&] { graphic.sounds.push_back("moved"); });
    Load(Obj("TOrvGrid", {{"Name", "A_G"},
                          {"ParentName", "A"},
                          {"AddColumns", "Width=\"50\";"},
                          {"AddCells", "Text=\"1\";Text=\"2\";Text=\"3\";"},
                          {"OnMouseDown", "ExecMethod Method=\"Moved\";"}}));
    Run("PlaySound Sound=\"first\";SetProp Object=\"A_G\" Prop=\"Position\" Value=\"2\";PlaySound Sound=\"last\";");
    EXPECT_EQ(graphic.sounds, (std::vector<std::string>{"first", "last", "moved"}));
    EXPECT_TRUE(ui.Scripts->Tags.empty());
}

TEST_F(ScriptsTest, EndlessRequeueingStopsAndKeepsTheRest) {
    int calls = 0;
    methods.Add("Again", [&] {
        ++calls;
        ui.ExecScript("A", "ExecMethod Method=\"Again\";");
    });
    Run("ExecMethod Method=\"Again\";");
    EXPECT_EQ(calls, TOrvInterfaceEngine::kMaxScriptRounds);
    EXPECT_EQ(ui.Scripts->Tags.size(), 1u);
}

TEST_F(ScriptsTest, HandlersByNameAndTheObjectThatFired) {
    std::string seen = "unset";
    methods.Add("Vanish", [&] {
        ui.DeleteObject(ui.SenderName);
        seen = ui.SenderObject() ? ui.SenderObject()->Name() : "gone";
    });
    methods.Add("NotYet");
    Load(Obj("TOrvLabel", {{"Name", "A_B"},
                           {"ParentName", "A"},
                           {"Width", "50"},
                           {"Height", "40"},
                           {"OnMouseUp", "ExecMethod Method=\"Vanish\";ExecMethod Method=\"NotYet\";"}}));
    ui.ShowModal("A");
    Click(10, 10);
    EXPECT_EQ(seen, "gone");
    EXPECT_EQ(Get<TOrvForm>("A").Children.size(), 0u);
    // A name missing from the table is an error, raised after the rest ran.
    try {
        Run("ExecMethod Method=\"Nowhere\";PlaySound Sound=\"after\";");
        FAIL() << "an unknown handler was called silently";
    } catch (const OrvException& e) {
        EXPECT_NE(e.Message().find("\"Nowhere\""), std::string::npos) << e.Message();
    }
    EXPECT_EQ(graphic.sounds, std::vector<std::string>{"after"});
    EXPECT_FALSE(methods.IsBound("NotYet"));
    EXPECT_FALSE(methods.Call("NotYet"));
}

}  // namespace
