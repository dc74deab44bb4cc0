// The language list, the choice and its store, applying and reverting
// languages over a small interface, and damaged or odd files in lng/.
#include "shell/ShellLanguages.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/KeyStore.h"
#include "ui/OrvInterfaceEngine.h"
#include "ui/OrvLabel.h"

namespace {

std::string Obj(const std::string& cls, const std::vector<std::pair<std::string, std::string>>& props) {
    std::string out = "<o c=\"" + cls + "\">";
    for (const auto& [n, v] : props) out += "<p n=\"" + n + "\">" + v + "</p>";
    return out + "</o>";
}

std::string Caption(const std::string& name, const std::string& text) {
    return Obj("TOrvLabel", {{"Name", name}, {"Caption", text}});
}

class ShellLanguagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterInterfaceClasses(TOrvClassReg::Instance());
        dir_ =
            std::filesystem::temp_directory_path() / ("moswick-lang-" + std::to_string(getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_ / "lng");
        ui_.LoadInterfaceFromString(
            "<OrvInterface>" + Obj("TOrvForm", {{"Name", "WLanguage"}, {"ParentName", "Screen"}}) +
            Obj("TOrvRadioButton", {{"Name", "WLanguage_RBENU"},
                                    {"ParentName", "WLanguage"},
                                    {"Left", "40"},
                                    {"Top", "60"},
                                    {"Width", "190"},
                                    {"Height", "24"},
                                    {"RadioGroup", "1"},
                                    {"Caption", "English"},
                                    {"Checked", "true"}}) +
            Obj("TOrvLabel", {{"Name", "WTitle_BQuit"}, {"ParentName", "WLanguage"}, {"Caption", "Quit"}}) +
            Obj("TOrvLabel", {{"Name", "WGame_LScoreCount"}, {"ParentName", "WLanguage"}, {"Caption", "0"}}) +
            "</OrvInterface>");
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    void Write(const std::string& name, const std::string& body) {
        std::ofstream(dir_ / "lng" / name) << "<OrvInterface>" << body << "</OrvInterface>";
    }
    std::string LangDir() const { return (dir_ / "lng").string() + "/"; }
    std::string Shown(const std::string& name) const { return ui_.GetProp(name, "Caption").ToString(); }
    const TOrvRadioButton* Button(const std::string& code) const {
        return ui_.FindObjectAs<TOrvRadioButton>("WLanguage_RB" + code);
    }

    std::filesystem::path dir_;
    TOrvInterfaceEngine ui_;
};

TEST_F(ShellLanguagesTest, FileNamesGiveCodeAndPosition) {
    std::string code;
    int64_t position = 0;
    EXPECT_TRUE(TShellLanguages::ParseFileName("deu_2.lng", code, position));
    EXPECT_EQ(code, "DEU");
    EXPECT_EQ(position, 2);
    EXPECT_TRUE(TShellLanguages::ParseFileName("Fra_10.LNG", code, position));
    EXPECT_EQ(code, "FRA");
    EXPECT_EQ(position, 10);
    // No number, or one too long to be a position: last in the list.
    EXPECT_TRUE(TShellLanguages::ParseFileName("ita.lng", code, position));
    EXPECT_EQ(position, INT64_MAX);
    EXPECT_TRUE(TShellLanguages::ParseFileName("ita_99999999999999999999.lng", code, position));
    EXPECT_EQ(position, INT64_MAX);
    EXPECT_FALSE(TShellLanguages::ParseFileName("deu_scn.lng", code, position));
    EXPECT_FALSE(TShellLanguages::ParseFileName("deu_2.txt", code, position));
    EXPECT_FALSE(TShellLanguages::ParseFileName("d\"u_2.lng", code, position));
    EXPECT_FALSE(TShellLanguages::ParseFileName("lng", code, position));
}

TEST_F(ShellLanguagesTest, ButtonsFollowThePositionsAndNameTheirLanguage) {
    Write("enu_1.lng", Caption("WTitle_BQuit", "Quit"));
    Write("deu_2.lng", Caption("WLanguage_RBDEU", "Deutsch") + Caption("WTitle_BQuit", "Beenden"));
    Write("fra_1.lng", Caption("WLanguage_RBFRA", "Français"));
    Write("deu_scn.lng", Caption("WTitle_BQuit", "Ende"));
    TShellLanguages langs(LangDir());
    EXPECT_EQ(langs.BuildLanguageList(ui_), 2);
    ASSERT_NE(Button("FRA"), nullptr);
    ASSERT_NE(Button("DEU"), nullptr);
    EXPECT_EQ(Button("FRA")->Top, 84);
    EXPECT_EQ(Button("DEU")->Top, 108);
    EXPECT_EQ(Button("DEU")->Left, 40);
    EXPECT_EQ(Button("DEU")->Width, 190);
    EXPECT_FALSE(Button("DEU")->Checked);
    EXPECT_TRUE(Button("ENU")->Checked);
    EXPECT_EQ(Button("FRA")->GetCaption(), "Français");
    EXPECT_EQ(Button("DEU")->GetCaption(), "Deutsch");
    // Choosing German applies both its files, the scene texts last.
    TKeyStore store((dir_ / "registry.ini").string());
    ui_.SetProp("WLanguage_RBDEU", "Checked", "true");
    langs.Language = "enu";
    EXPECT_TRUE(langs.ChooseSelected(ui_, store));
    EXPECT_EQ(Shown("WTitle_BQuit"), "Ende");
    EXPECT_EQ(langs.Code(), "DEU");
    EXPECT_EQ(langs.ConfirmedLanguage, "enu");
    EXPECT_EQ(store.ReadString(TShellLanguages::kKey, TShellLanguages::kValue), "DEU");
    EXPECT_FALSE(langs.ChooseSelected(ui_, store));
}

TEST_F(ShellLanguagesTest, SeventhLanguageGoesToTheSecondColumn) {
    const char* codes[] = {"aaa", "bbb", "ccc", "ddd", "eee", "fff", "ggg"};
    for (int i = 0; i < 7; ++i) Write(std::string(codes[i]) + "_" + std::to_string(i + 2) + ".lng", "");
    TShellLanguages langs(LangDir());
    EXPECT_EQ(langs.BuildLanguageList(ui_), 7);
    EXPECT_EQ(Button("EEE")->Top, 60 + 5 * 24);
    EXPECT_EQ(Button("EEE")->Left, 40);
    EXPECT_EQ(Button("FFF")->Top, 60);
    EXPECT_EQ(Button("FFF")->Left, 240);
    EXPECT_EQ(Button("GGG")->Top, 84);
    EXPECT_EQ(Button("GGG")->Left, 240);
}

TEST_F(ShellLanguagesTest, TwoFilesOfOneCodeMakeOneButton) {
    // A second file of the same language once made a second object of the
    // same name, which stopped the start.
    Write("deu_2.lng", Caption("WLanguage_RBDEU", "Deutsch"));
    Write("DEU_3.lng", Caption("WTitle_BQuit", "Beenden"));
    TShellLanguages langs(LangDir());
    EXPECT_EQ(langs.BuildLanguageList(ui_), 1);
    ASSERT_EQ(langs.InstalledLanguages().size(), 1u);
    EXPECT_EQ(langs.InstalledLanguages()[0].Files.size(), 2u);
}

TEST_F(ShellLanguagesTest, ChoiceRoundTripsThroughTheStore) {
    Write("enu_1.lng", Caption("WTitle_BQuit", "Quit"));
    Write("deu_2.lng", Caption("WTitle_BQuit", "Beenden"));
    {
        TKeyStore store((dir_ / "registry.ini").string());
        TShellLanguages langs(LangDir());
        langs.Language = "DEU";
        ASSERT_TRUE(langs.SaveChoice(store));
    }
    TKeyStore store((dir_ / "registry.ini").string());
    TShellLanguages langs(LangDir());
    langs.ReadChoice(store);
    EXPECT_EQ(langs.Language, "deu");
    EXPECT_TRUE(langs.ApplyLanguage(ui_, store));
    EXPECT_EQ(Shown("WTitle_BQuit"), "Beenden");
}

TEST_F(ShellLanguagesTest, UnknownOrEmptyChoiceEndsInEnglishAndIsStored) {
    Write("enu_1.lng", Caption("WTitle_BQuit", "Quit"));
    Write("deu_2.lng", Caption("WTitle_BQuit", "Beenden"));
    for (const char* stored : {"", "xyz", "../../etc"}) {
        TKeyStore store((dir_ / "registry.ini").string());
        ASSERT_TRUE(store.WriteString(TShellLanguages::kKey, TShellLanguages::kValue, stored));
        TShellLanguages langs(LangDir());
        langs.ReadChoice(store);
        EXPECT_TRUE(langs.ApplyLanguage(ui_, store)) << stored;
        EXPECT_EQ(langs.Code(), "ENU") << stored;
        EXPECT_EQ(store.ReadString(TShellLanguages::kKey, TShellLanguages::kValue), "ENU") << stored;
        EXPECT_EQ(Shown("WTitle_BQuit"), "Quit");
    }
}

TEST_F(ShellLanguagesTest, DamagedFileFallsBackToTheInterfaceTexts) {
    // A broken German file once ended the start-up with its parse error.
    Write("enu_1.lng", Caption("WTitle_BQuit", "Quit"));
    std::ofstream(dir_ / "lng" / "deu_2.lng")
        << "<OrvInterface>" << Caption("WTitle_BQuit", "Beenden") << "<o c=\"x\"><p n=Name>WTitle_BQuit</p></o>";
    std::vector<std::string> log;
    TKeyStore store((dir_ / "registry.ini").string());
    TShellLanguages langs(LangDir());
    langs.Log = [&](const std::string& line) { log.push_back(line); };
    EXPECT_EQ(langs.BuildLanguageList(ui_), 0);
    langs.Language = "deu";
    EXPECT_TRUE(langs.ApplyLanguage(ui_, store));
    EXPECT_EQ(langs.Code(), "ENU");
    EXPECT_EQ(Shown("WTitle_BQuit"), "Quit");
    ASSERT_FALSE(log.empty());
    EXPECT_NE(log.back().find("Language DEU refused"), std::string::npos) << log.back();
}

TEST_F(ShellLanguagesTest, SwitchingKeepsNumbersAndRevertsToTheConfirmedLanguage) {
    Write("enu_1.lng", Caption("WTitle_BQuit", "Quit") + Caption("WGame_LScoreCount", "0"));
    Write("deu_2.lng", Caption("WTitle_BQuit", "Beenden") + Caption("WGame_LScoreCount", "0"));
    Write("rus_3.lng", Caption("WTitle_BQuit", "Выход") + Caption("WGame_LScoreCount", "0"));
    TKeyStore store((dir_ / "registry.ini").string());
    TShellLanguages langs(LangDir());
    langs.BuildLanguageList(ui_);
    langs.Language = "ENU";
    langs.ApplyLanguage(ui_, store);
    langs.Confirm();
    ui_.SetProp("WGame_LScoreCount", "Caption", "1234");
    ui_.SetProp("WLanguage_RBRUS", "Checked", "true");
    EXPECT_TRUE(langs.ChooseSelected(ui_, store));
    EXPECT_EQ(Shown("WTitle_BQuit"), "Выход");
    EXPECT_EQ(Shown("WGame_LScoreCount"), "1234");
    // Applying German after Russian restores the file's texts first.
    langs.Language = "DEU";
    langs.ApplyLanguage(ui_, store);
    EXPECT_EQ(Shown("WTitle_BQuit"), "Beenden");
    EXPECT_TRUE(Button("DEU")->Checked);
    EXPECT_FALSE(Button("RUS")->Checked);
    // Cancel in the options window: back to English, stored.
    EXPECT_TRUE(langs.RevertToConfirmed(ui_, store));
    EXPECT_EQ(Shown("WTitle_BQuit"), "Quit");
    EXPECT_EQ(store.ReadString(TShellLanguages::kKey, TShellLanguages::kValue), "ENU");
    EXPECT_FALSE(langs.RevertToConfirmed(ui_, store));
}

TEST_F(ShellLanguagesTest, WithoutTheFolderNothingChanges) {
    std::filesystem::remove_all(dir_ / "lng");
    TKeyStore store((dir_ / "registry.ini").string());
    TShellLanguages langs(LangDir());
    langs.Language = "deu";
    EXPECT_EQ(langs.BuildLanguageList(ui_), 0);
    EXPECT_FALSE(langs.ApplyLanguage(ui_, store));
    EXPECT_EQ(Shown("WTitle_BQuit"), "Quit");
    EXPECT_FALSE(store.ValueExists(TShellLanguages::kKey, TShellLanguages::kValue));
}

}  // namespace
