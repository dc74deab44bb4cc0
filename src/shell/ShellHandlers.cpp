#include "shell/ShellHandlers.h"

#include "game/Main.h"
#include "shell/OptionsWindow.h"
#include "shell/SaveScreens.h"
#include "ui/OrvInterfaceEngine.h"
#include "ui/OrvInterfaceObject.h"

const std::vector<std::string_view>& TShellHandlers::Names() {
    static const std::vector<std::string_view> names = {
        // Screens and level flow
        "WTitle_BNewGame_MouseUp", "WTitle_BQuit_MouseUp", "WGameMenu_BQuit_MouseUp",
        "WBetweenLevel_TNewGame_RNormal_MouseUp", "WBetweenLevel_TNewGame_RHard_MouseUp",
        "WBetweenLevel_TNewGame_RNoLose_MouseUp", "WBetweenLevel_BNextLevel_MouseUp", "WBetweenLevel_BOK_MouseUp",
        "WLevelComplete_BOk_MouseUp", "WGameOver_BOk_MouseUp", "WAbortLevel_BOk_MouseUp", "WGame_BMenu_MouseUp",
        "WGame_BHelp_MouseUp", "WGame_BQuit_MouseUp", "WGameMenu_BResume_MouseUp", "WHelp_BClose_MouseUp",
        "WQuit_BCancel_MouseUp", "WExitToMainMenu_BOk_MouseUp", "WStartGame_BBack_MouseUp", "WGame_BMize_MouseUp",
        "WStartGame_BPlay_MouseUp", "WGameFinished_BOk_MouseUp", "WGame_BUndo_MouseUp", "YesMouseUp",
        // Saved games
        "WTitle_BLoadGame_MouseUp", "WBetweenLevel_BSaveGame_MouseUp", "WLoadGame_GFiles_MouseDown",
        "WSaveGame_GFiles_MouseDown", "WLoadGame_BLoad_MouseUp", "WSaveGame_BSave_MouseUp", "WReplace_BOk_MouseUp",
        "WLoadGame_BDelete_MouseUp", "WSaveGame_BDelete_MouseUp", "WDelete_BOk_MouseUp", "WGame_BQuickSave_MouseUp",
        // Options
        "WOptions_SMusicVolume_Change", "WOptions_SSoundVolume_Change", "WOptions_BOk_MouseUp",
        "WOptions_BCancel_MouseUp",
        // High scores
        "WTitle_BHighScores_MouseUp", "WHighScores_BClear_MouseUp", "WClearHighScores_BOk_MouseUp",
        // Languages
        "WLanguage_BOk_MouseUp",
        // Upgrade and skills
        "WUpgrade_BOk_MouseUp", "WUpgrade_BSkills_MouseUp", "WSkills_BClose_MouseUp",
        // Logo links
        "AddLogoMouseUp", "WTitle_LQuorvaneLink_MouseUp"};
    return names;
}

TShellHandlers::TShellHandlers(TOrvGameEngine& game, TOrvInterfaceEngine& ui) : game_(game), ui_(ui) {
    for (std::string_view name : Names()) table_.Add(std::string(name));
    BindOwnHandlers();
    saves_ = std::make_unique<TSaveScreens>(game_, ui_, table_);
    options_ = std::make_unique<TOptionsWindow>(game_, ui_, table_);
}

TShellHandlers::~TShellHandlers() = default;

void TShellHandlers::OpenGameWindow() {
    game_.FreezeGameTime();
    game_.GameState = gsGameWindow;
    game_.RedrawAll();
}

void TShellHandlers::ResumePlay() {
    const bool atTarget = game_.ScrollX == game_.ScrollTargetX && game_.ScrollY == game_.ScrollTargetY;
    game_.GameState = atTarget ? gsPlaying : gsScrollToLayer;
    game_.RedrawAll();
}

void TShellHandlers::BindOwnHandlers() {
    const auto quit = [this] { game_.Terminate(0); };
    table_.Bind("WTitle_BQuit_MouseUp", quit);
    table_.Bind("WGameMenu_BQuit_MouseUp", quit);
    const auto window = [this] { OpenGameWindow(); };
    table_.Bind("WGame_BMenu_MouseUp", window);
    table_.Bind("WGame_BHelp_MouseUp", window);
    table_.Bind("WGame_BQuit_MouseUp", window);
    table_.Bind("WGameMenu_BResume_MouseUp", [this] { ResumePlay(); });
    table_.Bind("WHelp_BClose_MouseUp", [this] {
        ui_.HideModal("WHelp");
        const TOrvInterfaceObject* top = ui_.TopModal();
        if (top != nullptr && top->Name() == "WGame") {
            game_.GameState = gsPlaying;
            game_.RedrawAll();
        }
    });
    table_.Bind("WQuit_BCancel_MouseUp", [this] {
        const TOrvInterfaceObject* top = ui_.TopModal();
        if (top != nullptr && top->Name() == "WGame") {
            game_.GameState = gsPlaying;
            game_.RedrawAll();
        }
    });
    table_.Bind("WGame_BMize_MouseUp", [this] { game_.ChangewindowMode(); });
    // The scripts of these buttons do all the work.
    for (const char* name :
         {"WStartGame_BPlay_MouseUp", "WGameFinished_BOk_MouseUp", "WGame_BUndo_MouseUp", "YesMouseUp"})
        table_.Bind(name, [] {});
}
