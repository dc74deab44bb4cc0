// The interface file: structure and its error messages, default lines,
// language files with remembered values, and the check of every script.
#include <unistd.h>

#include <filesystem>

#include "UiTestKit.h"
#include "base/OrvException.h"
#include "base/OrvParser.h"
#include "base/OrvStream.h"
#include "ui/OrvForm.h"
#include "ui/OrvLabel.h"

namespace {

class InterfaceFileTest : public TUiTest {
protected:
    // The message Load raises for the file text, or "" when it loads.
    std::string LoadError(const std::string& text) {
        try {
            ui.LoadInterfaceFromString(text);
        } catch (const OrvException& e) {
            return e.Message();
        }
        return {};
    }
};

TEST_F(InterfaceFileTest, StructuralErrorsAreNamed) {
    const std::string c = "[TOrvInterfaceEngine.CreateInterfaceObjects] ";
    EXPECT_EQ(LoadError("<OrvInterface/>"), "");
    EXPECT_EQ(ui.Count(), 0);
    EXPECT_EQ(LoadError("just text"), c + "XML file does not has tags!");
    EXPECT_EQ(LoadError("<Other><o c=\"TOrvForm\"/></Other>"), c + "XML file does not has \"OrvInterface\" tag!");
    EXPECT_EQ(LoadError("<OrvInterface><x/></OrvInterface>"), c + "OrvInterface XML file contains wrong tag!");
    EXPECT_EQ(LoadError("<OrvInterface><o/></OrvInterface>"), c + "Tag <o> has wrong number of attributes!");
    EXPECT_EQ(LoadError("<OrvInterface><o k=\"TOrvForm\"/></OrvInterface>"),
              c + "Tag <o> does not has \"c\" attribute!");
    EXPECT_EQ(LoadError("<OrvInterface><o c=\"TOrvForm\"/></OrvInterface>"), c + "Tag <o> does not has subtags!");
    const std::string p0 = c + "[ClassName:TOrvLabel] ";
    EXPECT_EQ(LoadError("<OrvInterface><o c=\"TOrvLabel\"><q/></o></OrvInterface>"),
              p0 + "Tag <o> contains wrong subtag!");
    EXPECT_EQ(LoadError("<OrvInterface><o c=\"TOrvLabel\"><p>x</p></o></OrvInterface>"),
              p0 + "Tag <p> has wrong number of attributes!");
    EXPECT_EQ(LoadError("<OrvInterface><o c=\"TOrvLabel\"><p m=\"Name\">x</p></o></OrvInterface>"),
              p0 + "Tag <p> does not has \"n\" attribute!");
    EXPECT_EQ(LoadError("<OrvInterface>" + Obj("TOrvLabel", {{"Name", "L"}}) + "</OrvInterface>"),
              p0 + "Attribute <n> does not has Name: \"ParentName\" or \"Name\"!");
    EXPECT_EQ(LoadError("<OrvInterface>" + Obj("TOrvDefaults", {{"Line", "a;b;c"}}) + "</OrvInterface>"),
              c + "[ClassName:TOrvDefaults] Tag <p> has wrong \"n\" attribute value!");
    EXPECT_EQ(LoadError("<OrvInterface>" + Obj("TOrvDefaults", {{"DefLine", "TOrvLabel;Alpha"}}) + "</OrvInterface>"),
              "[TOrvInterfaceEngine.DefLinePars] \";\" not found!");
    EXPECT_EQ(LoadError("<OrvInterface>" + Obj("TOrvForm", {{"Name", "W"}, {"ParentName", "S"}}) +
                        Obj("TOrvForm", {{"Name", "W"}, {"ParentName", "S"}}) + "</OrvInterface>"),
              "[TOrvBaseClasses.SetName] The name \"W\" is present !");
    EXPECT_NE(LoadError("<OrvInterface>" + Obj("TOrvForm", {{"Name", "X"}, {"ParentName", "S"}, {"Widht", "3"}}) +
                        "</OrvInterface>"),
              "");
}

TEST_F(InterfaceFileTest, ParentsInACircleOrTooDeepAreRefused) {
    const std::string circle = "<OrvInterface>" + Obj("TOrvForm", {{"Name", "A"}, {"ParentName", "B"}}) +
                               Obj("TOrvForm", {{"Name", "B"}, {"ParentName", "A"}}) + "</OrvInterface>";
    EXPECT_NE(LoadError(circle).find("is its own parent"), std::string::npos);
    ui.Clear();
    const std::string self =
        "<OrvInterface>" + Obj("TOrvForm", {{"Name", "S"}, {"ParentName", "S"}}) + "</OrvInterface>";
    EXPECT_NE(LoadError(self).find("\"S\" is its own parent"), std::string::npos);
    ui.Clear();
    std::string deep = "<OrvInterface>" + Obj("TOrvForm", {{"Name", "F0"}, {"ParentName", "Screen"}});
    for (int i = 1; i <= TOrvInterfaceEngine::kMaxNesting + 1; ++i)
        deep += Obj("TOrvForm", {{"Name", "F" + std::to_string(i)}, {"ParentName", "F" + std::to_string(i - 1)}});
    EXPECT_NE(LoadError(deep + "</OrvInterface>").find("deeper than"), std::string::npos);
}

TEST_F(InterfaceFileTest, DefaultLinesGiveExactlyTheirClassWhatItLacks) {
    Load(Obj("TOrvDefaults", {{"DefLine", " TOrvLabel ; Alpha ;128"}, {"DefLine", "TOrvLabel;Caption;a;b"}}) +
         Obj("TOrvForm", {{"Name", "W"}, {"ParentName", "S"}}) +
         Obj("TOrvLabel", {{"Name", "W_L1"}, {"ParentName", "W"}}) +
         Obj("TOrvLabel", {{"Name", "W_L2"}, {"ParentName", "W"}, {"Alpha", "7"}}) +
         Obj("TOrvCheckBox", {{"Name", "W_CB"}, {"ParentName", "W"}}) +
         Obj("TOrvNoSuchClass", {{"Name", "W_X"}, {"ParentName", "W"}, {"Bogus", "1"}}));
    EXPECT_EQ(Get<TOrvLabel>("W_L1").Alpha, 128);
    EXPECT_EQ(Get<TOrvLabel>("W_L1").GetCaption(), "a;b");
    EXPECT_EQ(Get<TOrvLabel>("W_L2").Alpha, 7);
    EXPECT_EQ(Get<TOrvCheckBox>("W_CB").Alpha, 255);
    EXPECT_EQ(ui.FindObject("W_X"), nullptr);
    EXPECT_EQ(Get<TOrvForm>("W").Children.size(), 3u);
    EXPECT_EQ(TOrvInterfaceEngine::DefLinePars("A ; B ;  c;d"), (std::vector<std::string>{"A", "B", "  c;d"}));
}

TEST_F(InterfaceFileTest, LanguagesReplaceAndRestoreTheFilesTexts) {
    Load(Obj("TOrvForm", {{"Name", "W"}, {"ParentName", "S"}}) +
         Obj("TOrvLabel", {{"Name", "W_L"}, {"ParentName", "W"}, {"Caption", "Hello"}, {"Color", "1"}}));
    ui.ReloadInterfaceFromString("<OrvInterface>" + Obj("", {{"Name", "W_L"}, {"Caption", "Hallo"}, {"Color", "2"}}) +
                                 Obj("", {{"Name", "W_Missing"}, {"Caption", "x"}}) + "</OrvInterface>");
    EXPECT_EQ(Get<TOrvLabel>("W_L").GetCaption(), "Hallo");
    ui.RestoreModProps();
    ui.ReloadInterfaceFromString("<OrvInterface>" + Obj("", {{"Name", "W_L"}, {"Caption", "Privet"}}) +
                                 "</OrvInterface>");
    EXPECT_EQ(Get<TOrvLabel>("W_L").GetCaption(), "Privet");
    EXPECT_EQ(Get<TOrvLabel>("W_L").Color, 1u);
    ui.RestoreModProps();
    EXPECT_EQ(Get<TOrvLabel>("W_L").GetCaption(), "Hello");
    EXPECT_EQ(Get<TOrvLabel>("W_L").Color, 1u);
    // Property names are one property in any letter case.
    ui.ReloadInterfaceFromString("<OrvInterface>" + Obj("", {{"Name", "W_L"}, {"caption", "A"}, {"CAPTION", "B"}}) +
                                 "</OrvInterface>");
    ui.RestoreModProps();
    EXPECT_EQ(Get<TOrvLabel>("W_L").GetCaption(), "Hello");
    // A structural fault stops a language file quietly, keeping what was set.
    ui.ReloadInterfaceFromString("<OrvInterface>" + Obj("", {{"Name", "W_L"}, {"Caption", "One"}}) +
                                 "<o c=\"\"><p n=\"Name\">W_L</p><q/></o>" +
                                 Obj("", {{"Name", "W_L"}, {"Caption", "Two"}}) + "</OrvInterface>");
    EXPECT_EQ(Get<TOrvLabel>("W_L").GetCaption(), "One");
}

TEST_F(InterfaceFileTest, LanguageFileErrorsNameTheFile) {
    // A player with a broken or oversized language file learns which file it
    // is: every error from a file on disk names its path.
    Load(Obj("TOrvForm", {{"Name", "W"}, {"ParentName", "S"}}) +
         Obj("TOrvLabel", {{"Name", "W_L"}, {"ParentName", "W"}, {"Caption", "Hello"}}));
    const auto dir = std::filesystem::temp_directory_path() / ("langfile_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    auto errorOf = [&](const std::string& name, const std::string& text) {
        const std::string path = (dir / name).string();
        TMemoryStream(text).SaveToFile(path);
        try {
            ui.ReloadInterface(path);
        } catch (const OrvException& e) {
            EXPECT_NE(e.Message().find(path), std::string::npos) << e.Message();
            return e.Message();
        }
        return std::string();
    };
    EXPECT_NE(errorOf("cut.lng", "<OrvInterface><!-- never closed").find("Comments started, but never ended"),
              std::string::npos);
    EXPECT_NE(errorOf("huge.lng", std::string(TOrvParser::MaxDocumentSize + 1, ' ')).find("larger than"),
              std::string::npos);
    EXPECT_EQ(
        errorOf("good.lng", "<OrvInterface>" + Obj("", {{"Name", "W_L"}, {"Caption", "Hallo"}}) + "</OrvInterface>"),
        "");
    EXPECT_EQ(Get<TOrvLabel>("W_L").GetCaption(), "Hallo");
    std::filesystem::remove_all(dir);
}

TEST_F(InterfaceFileTest, EveryScriptIsCheckedAtLoad) {
    methods.Add("Known");
    auto withScript = [](const std::string& script) {
        return "<OrvInterface>" + Obj("TOrvForm", {{"Name", "W"}, {"ParentName", "S"}, {"OnMouseUp", script}}) +
               "</OrvInterface>";
    };
    EXPECT_EQ(LoadError(withScript("ExecMethod Method=\"Known\";ShowModal Form=\"W\";HideModal;")), "");
    ui.Clear();
    const std::vector<std::pair<std::string, std::string>> faults = {
        {"ExecMethod Method=\"Unknown\";", "unknown method \"Unknown\""},
        {"ShowModal Form=\"W\"", "is not ended by \";\""},
        {"ShowModal Form=\"W\"; HideModal;", "begins with a blank"},
        {"ShowModl Form=\"W\";", "unknown command \"ShowModl\""},
        {"PlaySound;", "lacks a parameter"},
        {"HideModalList Form=\"W\";", "lacks a parameter or has one too many"},
        {"ShowModal Form=W;", "Expected open"}};
    for (const auto& [script, fault] : faults) {
        const std::string message = LoadError(withScript(script));
        EXPECT_NE(message.find("Object \"W\", OnMouseUp: "), std::string::npos) << message;
        EXPECT_NE(message.find(fault), std::string::npos) << script << " -> " << message;
        ui.Clear();
    }
    // Links of rich labels are scripts too.
    const std::string rich =
        "<OrvInterface>" + Obj("TOrvForm", {{"Name", "W"}, {"ParentName", "S"}}) +
        Obj("TOrvRichLabel", {{"Name", "W_R"},
                              {"ParentName", "W"},
                              {"Width", "300"},
                              {"Height", "40"},
                              {"FontName", "F"},
                              {"Caption", "see {Link Action=ExecMethod Method=\"Gone\";}here{/Link}"}}) +
        "</OrvInterface>";
    EXPECT_NE(LoadError(rich).find("unknown method \"Gone\""), std::string::npos);
}

}  // namespace
