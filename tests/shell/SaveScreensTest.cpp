// The player's files from the shell's side: cleaning save names, listing
// only what can be loaded, and the options window going back to what was
// confirmed without running the sliders' change scripts.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "game/Main.h"
#include "shell/OptionsWindow.h"
#include "shell/SaveScreens.h"
#include "shell/ShellInterface.h"
#include "ui/OrvEdit.h"
#include "ui/OrvLabel.h"
#include "ui/OrvMethodTable.h"
#include "ui/OrvSlider.h"

namespace {

TEST(SaveNames, UnsafeCharactersAreRemovedAndLengthBounded) {
    EXPECT_EQ(CleanSaveName("my:game?"), "mygame");
    EXPECT_EQ(CleanSaveName("  a\"b*c.d/e<f>g\\h|i;j  "), "abcdefghij");
    EXPECT_EQ(CleanSaveName("../../etc/passwd"), "etcpasswd");
    EXPECT_EQ(CleanSaveName("tab\there\n"), "tabhere");
    EXPECT_EQ(CleanSaveName(" . "), "");
    // Two names that clean to the same file meet at that file (the window
    // then asks before replacing).
    EXPECT_EQ(CleanSaveName("game?"), CleanSaveName("game*"));
    // Long names are cut at a character's start, never inside one.
    std::string longName;
    for (int i = 0; i < 40; ++i) longName += "\xC3\xA9";  // e with acute, two bytes
    const std::string cut = CleanSaveName(longName);
    EXPECT_LE(cut.size(), 64u);
    EXPECT_EQ(cut.size() % 2, 0u);
}

TEST(SaveNames, OnlyCleanNamesEndingInSavAreListed) {
    const auto dir = std::filesystem::temp_directory_path() / ("moswick-list-" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "folder.sav");
    for (const char* name : {"b.sav", "a.sav", "UPPER.SAV", "notsav", ".sav", "x\"y.sav", "semi;colon.sav",
                             "keep.sav.tmp123", "QuickSave.sav"})
        std::ofstream(dir / name) << "x";
    EXPECT_EQ(ListSavedGames(dir.string()), (std::vector<std::string>{"QuickSave", "a", "b"}));
    EXPECT_TRUE(ListSavedGames((dir / "missing").string()).empty());
    std::filesystem::remove_all(dir);
}

std::string Obj(const std::string& cls, const std::vector<std::pair<std::string, std::string>>& props) {
    std::string out = "<o c=\"" + cls + "\">";
    for (const auto& [n, v] : props) out += "<p n=\"" + n + "\">" + v + "</p>";
    return out + "</o>";
}

class OptionsWindowTest : public ::testing::Test {
protected:
    OptionsWindowTest() {
        auto shell = std::make_unique<TShellInterface>(game);
        ui = shell.get();
        game.Interface = std::move(shell);
        auto slider = [](const std::string& name, const std::string& top) {
            return Obj("TOrvSlider", {{"Name", name},
                                      {"ParentName", "WOptions"},
                                      {"Top", top},
                                      {"Width", "200"},
                                      {"Height", "20"},
                                      {"Max", "100"},
                                      {"OnChange", "ExecMethod Method=\"" + name + "_Change\";"}});
        };
        ui->UI().LoadInterfaceFromString(
            "<OrvInterface>" +
            Obj("TOrvForm", {{"Name", "WOptions"}, {"ParentName", "Screen"}, {"Width", "800"}, {"Height", "600"}}) +
            Obj("TOrvCheckBox", {{"Name", "WOptions_CBFullScreen"}, {"ParentName", "WOptions"}}) +
            Obj("TOrvCheckBox", {{"Name", "WOptions_CB32bitColor"}, {"ParentName", "WOptions"}}) +
            Obj("TOrvCheckBox", {{"Name", "WOptions_CBTurnOffHints"}, {"ParentName", "WOptions"}}) +
            slider("WOptions_SMusicVolume", "100") + slider("WOptions_SSoundVolume", "200") + "</OrvInterface>");
        ui->UI().ShowModal("WOptions");
        // Counts the change scripts that really run.
        ui->Handlers().Table().Add("WOptions_SMusicVolume_Change", [this] {
            ++changes;
            ui->Handlers().Options().MusicVolumeChanged();
        });
        game.WriteDir = "/nonexistent-moswick-folder/";
    }
    TOrvSlider& Slider(const char* name) { return *ui->UI().FindObjectAs<TOrvSlider>(name); }

    TOrvGameEngine game;
    TShellInterface* ui = nullptr;
    int changes = 0;
};

TEST_F(OptionsWindowTest, CancelGoesBackWithoutChangeScriptsAndOkReadsTheHintSwitch) {
    game.Options.MusicVolume = 60;
    game.Options.SoundVolume = 40;
    ui->Handlers().Options().SyncControls();
    ui->UI().RunScripts();
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(Slider("WOptions_SMusicVolume").Position, 60);

    Slider("WOptions_SMusicVolume").SetPosition(10);
    ui->UI().RunScripts();
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(game.Options.MusicVolume, 10);
    EXPECT_EQ(game.Audio.MusicVolume, 10);

    ui->Handlers().Options().Cancel();
    ui->UI().RunScripts();
    EXPECT_EQ(changes, 1) << "Cancel must not run the slider's script";
    EXPECT_EQ(game.Options.MusicVolume, 60);
    EXPECT_EQ(game.Audio.MusicVolume, 60);
    EXPECT_EQ(Slider("WOptions_SMusicVolume").Position, 60);

    // OK stores the hint switch as the box shows it; the folder cannot be
    // written, which is told to the player once, not at every change.
    ui->UI().FindObjectAs<TOrvCheckBox>("WOptions_CBTurnOffHints")->SetChecked(true);
    ui->Handlers().Options().Confirm();
    EXPECT_EQ(game.Options.TurnOffHint, 1);
    EXPECT_FALSE(game.StoreOptions());
    // The depth box is hidden in window mode, and ticking it changes nothing.
    EXPECT_FALSE(ui->UI().FindObjectAs<TOrvCheckBox>("WOptions_CB32bitColor")->Visible);
    ui->UI().FindObjectAs<TOrvCheckBox>("WOptions_CB32bitColor")->SetChecked(false);
    ui->Handlers().Options().Confirm();
    EXPECT_EQ(game.Options.BitsPerPixel, 32);
}

class LoadWindowTest : public ::testing::Test {
protected:
    LoadWindowTest() {
        dir = std::filesystem::temp_directory_path() / ("moswick-loadwin-" + std::to_string(getpid()));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir / "saves");
        for (const char* name : {"one.sav", "two.sav", "keep.txt"}) std::ofstream(dir / "saves" / name) << "x";
        game.WriteDir = dir.string() + "/";
        auto shell = std::make_unique<TShellInterface>(game);
        ui = shell.get();
        game.Interface = std::move(shell);
        ui->UI().LoadInterfaceFromString(
            "<OrvInterface>" +
            Obj("TOrvForm", {{"Name", "WLoadGame"}, {"ParentName", "Screen"}, {"Width", "500"}, {"Height", "400"}}) +
            Obj("TOrvGrid", {{"Name", "WLoadGame_GFiles"},
                             {"ParentName", "WLoadGame"},
                             {"Width", "400"},
                             {"Height", "200"},
                             {"AddColumns", "Width=\"400\";"}}) +
            Obj("TOrvEdit", {{"Name", "WLoadGame_ELoadFile"},
                             {"ParentName", "WLoadGame"},
                             {"Top", "300"},
                             {"Width", "300"},
                             {"Height", "20"}}) +
            Obj("TOrvForm", {{"Name", "WDelete"}, {"ParentName", "Screen"}, {"Width", "300"}, {"Height", "200"}}) +
            "</OrvInterface>");
        ui->UI().ShowModal("WLoadGame");
    }
    ~LoadWindowTest() override { std::filesystem::remove_all(dir); }
    void Type(const std::string& text) { ui->UI().FindObjectAs<TOrvEdit>("WLoadGame_ELoadFile")->SetCaption(text); }
    std::string Shown() const { return ui->UI().FindObjectAs<TOrvEdit>("WLoadGame_ELoadFile")->GetCaption(); }

    std::filesystem::path dir;
    TOrvGameEngine game;
    TShellInterface* ui = nullptr;
};

TEST_F(LoadWindowTest, DeleteAsksFirstAndTakesOnlyListedNames) {
    TOrvMethodTable& table = ui->Handlers().Table();
    table.Call("WTitle_BLoadGame_MouseUp");
    EXPECT_EQ(Shown(), "one") << "the first listed name is offered";
    // Names the list does not show are never deleted, nor asked about.
    for (const char* name : {"../saves/one", "keep", "missing", ""}) {
        Type(name);
        table.Call("WLoadGame_BDelete_MouseUp");
        EXPECT_EQ(ui->TopWindowName(), "WLoadGame") << name;
    }
    Type(" two ");
    table.Call("WLoadGame_BDelete_MouseUp");
    ASSERT_EQ(ui->TopWindowName(), "WDelete");
    EXPECT_TRUE(std::filesystem::exists(dir / "saves" / "two.sav")) << "nothing goes before the answer";
    table.Call("WDelete_BOk_MouseUp");
    EXPECT_EQ(ui->TopWindowName(), "WLoadGame");
    EXPECT_FALSE(std::filesystem::exists(dir / "saves" / "two.sav"));
    EXPECT_TRUE(std::filesystem::exists(dir / "saves" / "one.sav"));
    EXPECT_TRUE(std::filesystem::exists(dir / "saves" / "keep.txt"));
    // Loading a name that is not listed is refused before any file is read.
    EXPECT_FALSE(ui->Handlers().Saves().LoadByName("../saves/one"));
    EXPECT_FALSE(ui->Handlers().Saves().LoadByName("two"));
}

}  // namespace
