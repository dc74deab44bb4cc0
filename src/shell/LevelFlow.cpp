#include "shell/LevelFlow.h"

#include <algorithm>
#include <cstdint>

#include "base/FileFolder.h"
#include "game/Main.h"
#include "game/PlayRules.h"
#include "render/SurfEngine.h"
#include "shell/Celebration.h"
#include "shell/ChapterShadow.h"
#include "shell/HighScoreScreen.h"
#include "ui/OrvEdit.h"
#include "ui/OrvInterfaceEngine.h"
#include "ui/OrvInterfaceObject.h"
#include "ui/OrvLabel.h"
#include "ui/OrvMethodTable.h"

namespace {

std::string SceneFile(int32_t scene) {
    return "Scene" + std::to_string(scene) + ".xml";
}

}  // namespace

TLevelFlow::TLevelFlow(TOrvGameEngine& game, TOrvInterfaceEngine& ui, TOrvMethodTable& table, THighScoreScreen& scores,
                       TCelebration& celebration, TChapterShadow& shadow)
    : game_(game), ui_(ui), table_(table), scores_(scores), celebration_(celebration), shadow_(shadow) {
    Bind();
}

void TLevelFlow::Bind() {
    table_.Bind("WTitle_BNewGame_MouseUp", [this] { NewGame(); });
    table_.Bind("WBetweenLevel_TNewGame_RNormal_MouseUp", [this] { ChooseMode(2); });
    table_.Bind("WBetweenLevel_TNewGame_RHard_MouseUp", [this] { ChooseMode(3); });
    table_.Bind("WBetweenLevel_TNewGame_RNoLose_MouseUp", [this] { ChooseMode(1); });
    table_.Bind("WBetweenLevel_BNextLevel_MouseUp", [this] { NextLevel(); });
    table_.Bind("WLevelComplete_BOk_MouseUp", [this] { LevelCompleteOk(); });
    table_.Bind("WGameOver_BOk_MouseUp", [this] { RestartLostLevel(); });
    table_.Bind("WAbortLevel_BOk_MouseUp", [this] { RestartLostLevel(); });
    table_.Bind("WExitToMainMenu_BOk_MouseUp", [this] { ExitToTitle(); });
    table_.Bind("WBetweenLevel_BOK_MouseUp", [this] { FinishGame(); });
}

TPlayRules* TLevelFlow::Rules() const {
    return dynamic_cast<TPlayRules*>(game_.Rules.get());
}

bool TLevelFlow::HasScene(int32_t n) const {
    return n >= 1 && game_.FileFolder && game_.FileFolder->IndexOf(SceneFile(n)) >= 0;
}

// ---------------------------------------------------------------------------
// Small interface helpers: a missing object is a data fault the interface
// check reports; the flow goes on without it.

std::string TLevelFlow::Caption(const std::string& name) const {
    if (ui_.FindInterfaceObject(name) == nullptr) return {};
    return ui_.GetProp(name, "Caption").ToString();
}

void TLevelFlow::SetCaption(const std::string& name, const std::string& text) {
    if (ui_.FindInterfaceObject(name) != nullptr) ui_.SetProp(name, "Caption", text);
}

void TLevelFlow::SetVisible(const std::string& name, bool visible) {
    if (ui_.FindInterfaceObject(name) != nullptr) ui_.SetProp(name, "Visible", visible ? "true" : "false");
}

void TLevelFlow::StartMusic(const std::string& name, uint32_t fadeOut, uint32_t fadeIn, bool randomStart,
                            int64_t delay) {
    // The between-levels tune starts at one of its seven parts, drawn from
    // the sound's own random source so the music never changes the play.
    const uint16_t order = randomStart ? static_cast<uint16_t>(2 * game_.SoundRandom.Between(0, 6) + 5) : 0;
    game_.Audio.SwitchMusic(name, fadeOut, order, fadeIn, game_.NowTime, delay);
}

void TLevelFlow::SetLoadingProgress(int32_t percent) {
    if (!ui_.IsOnModalStack("WLoadLevel")) return;
    // A step that would not move the bar is not drawn again.
    if (!loadingSteps_.empty() && loadingSteps_.back() == percent) return;
    loadingSteps_.push_back(percent);
    if (ui_.FindInterfaceObject("WLoadLevel_PBLoadLevel") != nullptr)
        ui_.SetProp("WLoadLevel_PBLoadLevel", "Position", std::to_string(percent));
    game_.RedrawAll();
    game_.FormPaint();
}

void TLevelFlow::ShowLoadingWindow() {
    // The loading window stands over whatever is shown while the scene's
    // pictures load; its bar moves as they come in.
    ui_.ShowModal("WLoadLevel");
    loadingSteps_.clear();
    SetLoadingProgress(0);
    if (game_.SurfEngine) game_.SurfEngine->ProgressCallback = [this](int32_t p) { SetLoadingProgress(p); };
}

void TLevelFlow::HideLoadingWindow(bool finished) {
    if (finished) SetLoadingProgress(100);
    if (game_.SurfEngine) game_.SurfEngine->ProgressCallback = nullptr;
    ui_.HideModal("WLoadLevel");
}

bool TLevelFlow::Loading(const std::string& what, const std::function<void()>& work) {
    ShowLoadingWindow();
    bool ok = true;
    try {
        work();
    } catch (const std::exception& e) {
        game_.Log(what + " cannot be loaded: " + e.what());
        ok = false;
    }
    HideLoadingWindow(ok);
    return ok;
}

bool TLevelFlow::LoadScene(int32_t scene) {
    TPlayRules* rules = Rules();
    if (rules == nullptr || !HasScene(scene)) return false;
    return Loading(SceneFile(scene), [&] {
        rules->LoadScene(SceneFile(scene));
        rules->Level().SceneInd = scene;
    });
}

// ---------------------------------------------------------------------------
// New game and modes

bool TLevelFlow::NewGame() {
    TPlayRules* rules = Rules();
    if (rules == nullptr) return false;
    TPlayLevel& level = rules->Level();
    // A test run may begin the game further on (--new-game-scene); the
    // layers before the one begun with count as restored.
    const TRunOptions& run = game_.RunOptions();
    const int32_t scene = run.NewGameScene > 0 ? run.NewGameScene : 1;
    const int32_t layer = run.NewGameScene > 0 ? run.StartLayer : 0;
    if (!HasScene(scene)) {
        game_.Log("A new game cannot begin: the archive has no " + SceneFile(scene));
        return false;
    }
    SceneDone = false;
    game_.Log("New game from scene " + std::to_string(scene) + ", layer " + std::to_string(layer + 1));
    if (!Loading(SceneFile(scene), [&] { rules->StartGame(2, scene, layer); })) return false;
    StartMusic(kBetweenLevelsMusic, 1000, 1000, true);
    level.ChameleonHintShown = false;
    if (ui_.FindInterfaceObject("WBetweenLevel_TNewGame_RNormal") != nullptr)
        ui_.SetProp("WBetweenLevel_TNewGame_RNormal", "Checked", "true");
    game_.GameState = gsBetweenLevels;
    ui_.HideModalList();
    ShowBetweenLevels();
    return true;
}

void TLevelFlow::ChooseMode(int32_t mode) {
    TPlayRules* rules = Rules();
    if (rules == nullptr) return;
    TPlayLevel& level = rules->Level();
    level.Mode = mode;
    level.Skills[skEconomy] = mode == 3 ? 2 : 0;
    level.TakeSnapshot();
    PrepareBetweenLevels();
    game_.RedrawAll();
}

// ---------------------------------------------------------------------------
// The between-levels window

void TLevelFlow::PrepareBetweenLevels() {
    TPlayRules* rules = Rules();
    if (rules == nullptr) return;
    const TPlayLevel& level = rules->Level();
    const int32_t layers = static_cast<int32_t>(level.Scene.Layers.size());
    const TLayer* current = level.Layer();
    const bool complete = current != nullptr && current->Complete;
    const bool last = layers > 0 && level.CurrentLayer == layers - 1;
    const bool firstLevel = level.SceneInd == 1 && level.CurrentLayer == 0;
    const bool finished = last && complete && !HasScene(level.SceneInd + 1);

    SetVisible(firstLevel && !complete ? "WBetweenLevel_TNewGame" : "WBetweenLevel_TOnGame", true);
    if (finished) {
        SetVisible("WBetweenLevel_TOK", true);
        SetVisible("WBetweenLevel_TGameOver", true);
    } else {
        SetVisible(last && complete ? "WBetweenLevel_TNextScene" : "WBetweenLevel_TPlay", true);
    }

    const std::string chapter = "WBetweenLevel_TChapter" + std::to_string(level.SceneInd);
    SetVisible(chapter, true);
    const int32_t n = level.CurrentLayer + (complete ? 2 : 1);
    if (level.CurrentLayer < layers) SetVisible(chapter + "." + std::to_string(n), true);

    const std::string sceneLevel = std::to_string(level.SceneInd) + "." + std::to_string(n);
    SetCaption("WBetweenLevel_LCaption",
               complete && last ? Caption("WResource_LSceneComp") : Caption("WGame_LLevel") + " " + sceneLevel);

    const int32_t economy = level.Skills[skEconomy];
    for (const char* name :
         {"WBetweenLevel_LEconomy", "WBetweenLevel_LEconomyLevel", "WBetweenLevel_LPercent", "WBetweenLevel_MEconomy"})
        SetVisible(name, economy > 0);
    if (economy > 0) {
        SetCaption("WBetweenLevel_LPercent", "+" + std::to_string(level.LayerBonus) + " (" +
                                                 std::to_string(level.Skills.Percent(skEconomy)) + "%)");
        SetCaption("WBetweenLevel_LEconomyLevel", Caption("WResource_LLevel") + " " + std::to_string(economy + 1));
    }

    const std::string score = std::to_string(level.TotalScore);
    SetCaption("WBetweenLevel_TOnGame_LScoreCount", score);
    // The final score sits on the last page of the last chapter: the page
    // after the scene's last level.
    shadow_.Prepare(level, rules->Tables());
    if (finished) {
        SetCaption(chapter + "." + std::to_string(layers + 1) + "_LYourScoreCount", score);
        // The name box offers the name entered last time.
        SetCaption("WBetweenLevel_EName", game_.Options.PlayerName);
    }
    game_.RedrawAll();
}

void TLevelFlow::ShowBetweenLevels() {
    PrepareBetweenLevels();
    if (!ui_.IsOnModalStack("WBetweenLevel")) ui_.ShowModal("WBetweenLevel");
    game_.RedrawAll();
}

void TLevelFlow::UpdatePlayLabels() {
    TPlayRules* rules = Rules();
    if (rules == nullptr) return;
    const TPlayLevel& level = rules->Level();
    SetCaption("WGame_LScoreCount", std::to_string(level.TotalScore));
    SetCaption("WGame_LLevelCount", std::to_string(level.SceneInd) + "." + std::to_string(level.CurrentLayer + 1));
}

void TLevelFlow::WatchBetweenLevels() {
    const bool shown = ui_.IsOnModalStack("WBetweenLevel");
    if (shown && !betweenShown_) {
        if (TPlayRules* rules = Rules()) {
            const TPlayLevel& level = rules->Level();
            const TLayer* layer = level.Layer();
            if (layer != nullptr && layer->Complete &&
                level.CurrentLayer + 1 >= static_cast<int32_t>(level.Scene.Layers.size()))
                SceneDone = true;
        }
        PrepareBetweenLevels();
    }
    betweenShown_ = shown;
}

void TLevelFlow::UpdateCounters() {
    TPlayRules* rules = Rules();
    if (rules == nullptr || !ui_.IsOnModalStack("WGame")) return;
    const TPlayLevel& level = rules->Level();
    if (level.BeltClears != shownClears_) {
        shownClears_ = level.BeltClears;
        SetCaption("WGame_LShiftCount", std::to_string(shownClears_));
    }
    if (level.DropResets != shownResets_) {
        shownResets_ = level.DropResets;
        SetCaption("WGame_LShuffleCount", std::to_string(shownResets_));
    }
}

// ---------------------------------------------------------------------------
// Levels

void TLevelFlow::NextLevel() {
    TPlayRules* rules = Rules();
    if (rules == nullptr) return;
    TPlayLevel& level = rules->Level();
    const TLayer* current = level.Layer();
    const bool lastDone = current != nullptr && current->Complete &&
                          level.CurrentLayer + 1 >= static_cast<int32_t>(level.Scene.Layers.size());
    // A completed last layer leads to the next scene, never past the scene's
    // end: whoever came here without SceneDone set still gets the next scene.
    if (SceneDone || lastDone) {
        const int32_t next = level.SceneInd + 1;
        if (!HasScene(next)) {
            PrepareBetweenLevels();
            return;
        }
        SetCaption("WLoadLevel_LLoadLevelText", Caption("WResource_LLoadNextScene"));
        if (!LoadScene(next)) {
            PrepareBetweenLevels();
            return;
        }
        SceneDone = false;
        level.BeltClears = level.DropResets = 5;
        level.ArtefactWindowTime = -1;
        level.ArtefactHintShown = false;
        game_.GameState = gsBetweenLevels;
        ShowBetweenLevels();
        return;
    }
    level.ArtefactHintShown = false;
    game_.ThawGameTime();
    if (!rules->StartCurrentLevel()) return;
    ui_.HideModalList();
    ui_.ShowModal("WGame");
    StartMusic(level.Scene.SceneMusic, 1000, 1000, false);
    UpdatePlayLabels();
    game_.RedrawAll();
}

void TLevelFlow::LevelCompleteOk() {
    TPlayRules* rules = Rules();
    if (rules == nullptr) return;
    const TPlayLevel& level = rules->Level();
    celebration_.Stop();
    game_.GameState = gsBetweenLevels;
    SceneDone = level.CurrentLayer + 1 >= static_cast<int32_t>(level.Scene.Layers.size());
    ui_.HideModalList();
    ShowBetweenLevels();
}

void TLevelFlow::RestartLostLevel() {
    TPlayRules* rules = Rules();
    if (rules == nullptr) return;
    const int32_t layer = rules->Level().CurrentLayer;
    SetCaption("WLoadLevel_LLoadLevelText", Caption("WGameLoading_LLoading"));
    ShowLoadingWindow();
    try {
        if (!rules->RestartLostLevelFromFile()) rules->RestartLostLevel();
    } catch (const std::exception& e) {
        // The scene cannot be read again: nothing of it is left to play.
        game_.Log(std::string("The lost level cannot be restarted: ") + e.what());
        HideLoadingWindow(false);
        ui_.HideModalList();
        ExitToTitle();
        ui_.ShowModal("WTitle");
        return;
    }
    HideLoadingWindow(true);
    // The first level of a scene keeps the music that plays.
    if (layer > 0) StartMusic(kBetweenLevelsMusic, 1000, 1000, true);
    SceneDone = false;
    game_.ThawGameTime();
    game_.GameState = gsBetweenLevels;
    ui_.HideModalList();
    ShowBetweenLevels();
}

void TLevelFlow::ExitToTitle() {
    celebration_.Stop();
    game_.ThawGameTime();
    game_.GameState = gsMenuScreen;
    SceneDone = false;
    StartMusic(kBetweenLevelsMusic, 1000, 1000, false);
    if (TPlayRules* rules = Rules()) rules->LeavePlay();
    game_.RedrawAll();
}

void TLevelFlow::FinishGame() {
    TPlayRules* rules = Rules();
    const int32_t score = rules ? static_cast<int32_t>(std::min<uint32_t>(rules->Level().TotalScore, INT32_MAX)) : 0;
    std::string name;
    if (const auto* edit = ui_.FindObjectAs<TOrvEdit>("WBetweenLevel_EName")) name = edit->GetCaption();
    name = THighScores::CleanName(name);
    game_.Options.PlayerName = name;
    scores_.Enter(name, score);
    scores_.FillGrid();
    ExitToTitle();
    ui_.HideModalList();
    ui_.ShowModal("WTitle");
    ui_.ShowModal("WHighScores");
}

void TLevelFlow::ShowPlayWindow(const std::string& name) {
    if (name == "WLevelComplete") {
        StartMusic(kBetweenLevelsMusic, 0, 1000, true, 3000);
        game_.GameState = gsGameWindow;
        // The scene's last layer: the whole picture is back.
        if (TPlayRules* rules = Rules()) {
            const TPlayLevel& level = rules->Level();
            if (level.CurrentLayer + 1 >= static_cast<int32_t>(level.Scene.Layers.size())) celebration_.Start();
        }
    } else if (name == "WGameOver") {
        game_.GameState = gsGameWindow;
    }
    ui_.ShowModal(name);
    game_.RedrawAll();
}
