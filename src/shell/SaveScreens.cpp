#include "shell/SaveScreens.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "base/OrvException.h"
#include "base/OrvParser.h"
#include "base/SFunctions.h"
#include "game/Main.h"
#include "game/PlayRules.h"
#include "game/SavedGame.h"
#include "platform/Platform.h"
#include "ui/OrvEdit.h"
#include "ui/OrvGrid.h"
#include "ui/OrvInterfaceEngine.h"
#include "ui/OrvLabel.h"
#include "ui/OrvMethodTable.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kMaxNameBytes = 64;
constexpr std::string_view kUnsafe = "\"*./:<>?\\|;";
constexpr std::string_view kExtension = ".sav";

}  // namespace

std::string CleanSaveName(std::string_view name) {
    std::string out;
    for (char c : TrimBlanks(name)) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 32 || b == 127 || kUnsafe.find(c) != std::string_view::npos) continue;
        out += c;
    }
    if (out.size() > kMaxNameBytes) {
        size_t cut = kMaxNameBytes;
        // Back to the first byte of a character.
        while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80) --cut;
        out.resize(cut);
    }
    return TrimBlanks(out);
}

std::vector<std::string> ListSavedGames(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) return names;
    for (const fs::directory_entry& entry : it) {
        if (!entry.is_regular_file(ec)) continue;
        const std::string file = entry.path().filename().string();
        if (file.size() <= kExtension.size() || file.compare(file.size() - 4, 4, kExtension) != 0) continue;
        const std::string stem = file.substr(0, file.size() - kExtension.size());
        if (CleanSaveName(stem) != stem) continue;
        names.push_back(stem);
    }
    std::sort(names.begin(), names.end());
    return names;
}

TSaveScreens::TSaveScreens(TOrvGameEngine& game, TOrvInterfaceEngine& ui, TOrvMethodTable& table)
    : game_(game), ui_(ui) {
    Bind(table);
}

void TSaveScreens::Bind(TOrvMethodTable& table) {
    table.Bind("WTitle_BLoadGame_MouseUp", [this] { FillList("WLoadGame"); });
    table.Bind("WBetweenLevel_BSaveGame_MouseUp", [this] { FillList("WSaveGame"); });
    table.Bind("WLoadGame_GFiles_MouseDown", [this] { CopySelection("WLoadGame"); });
    table.Bind("WSaveGame_GFiles_MouseDown", [this] { CopySelection("WSaveGame"); });
    table.Bind("WLoadGame_BLoad_MouseUp", [this] {
        const std::string name = TrimBlanks(EditText("WLoadGame"));
        if (!name.empty()) LoadByName(name);
    });
    table.Bind("WSaveGame_BSave_MouseUp", [this] { AskSave(); });
    table.Bind("WReplace_BOk_MouseUp", [this] {
        ui_.HideTopModal();
        if (!pendingSave_.empty()) SaveUnder(pendingSave_);
        pendingSave_.clear();
    });
    table.Bind("WLoadGame_BDelete_MouseUp", [this] { AskDelete("WLoadGame"); });
    table.Bind("WSaveGame_BDelete_MouseUp", [this] { AskDelete("WSaveGame"); });
    table.Bind("WDelete_BOk_MouseUp", [this] { ConfirmDelete(); });
    table.Bind("WGame_BQuickSave_MouseUp", [this] { QuickSave(); });
}

std::string TSaveScreens::SaveFolder() const {
    return game_.WriteDir + "saves/";
}

TPlayRules* TSaveScreens::Rules() const {
    return dynamic_cast<TPlayRules*>(game_.Rules.get());
}

std::string TSaveScreens::EditText(const std::string& window) const {
    const auto* edit =
        ui_.FindObjectAs<TOrvEdit>(window == "WLoadGame" ? "WLoadGame_ELoadFile" : "WSaveGame_ESaveFile");
    return edit ? edit->GetCaption() : std::string();
}

void TSaveScreens::FillList(const std::string& window) {
    auto* grid = ui_.FindObjectAs<TOrvGrid>(window + "_GFiles");
    if (!grid) return;
    std::string cells;
    // Clean names hold no double quote, so the cell text cannot break out.
    for (const std::string& name : ListSavedGames(SaveFolder())) cells += "Text=\"" + name + "\";";
    grid->SetCells(cells);
    grid->SetPosition(0);
    CopySelection(window);
}

void TSaveScreens::CopySelection(const std::string& window) {
    const auto* grid = ui_.FindObjectAs<TOrvGrid>(window + "_GFiles");
    auto* edit = ui_.FindObjectAs<TOrvEdit>(window == "WLoadGame" ? "WLoadGame_ELoadFile" : "WSaveGame_ESaveFile");
    if (grid && edit) edit->SetCaption(grid->SelectedText());
}

void TSaveScreens::AskSave() {
    const std::string name = CleanSaveName(EditText("WSaveGame"));
    if (name.empty()) return;
    std::error_code ec;
    if (fs::exists(SaveFolder() + name + ".sav", ec)) {
        // Names that differ only in removed characters land here too.
        pendingSave_ = name;
        ui_.ShowModal("WReplace");
        return;
    }
    SaveUnder(name);
}

bool TSaveScreens::SaveUnder(const std::string& cleanName) {
    TPlayRules* rules = Rules();
    if (!rules || rules->Level().Scene.Empty() || cleanName.empty() || CleanSaveName(cleanName) != cleanName)
        return false;
    try {
        Platform::ForceDirectories(game_.WriteDir + "saves");
        WriteSavedGameFile(rules->CaptureGame(), SaveFolder() + cleanName + ".sav");
        game_.Log("Game saved: " + cleanName);
        return true;
    } catch (const std::exception& e) {
        game_.Log(std::string("The game could not be saved: ") + e.what());
        TellPlayer("WResource_LSaveFailed", "");
        return false;
    }
}

bool TSaveScreens::LoadByName(const std::string& name) {
    const std::vector<std::string> listed = ListSavedGames(SaveFolder());
    // Only what the list shows: no folders, no "..", no other extension.
    if (std::find(listed.begin(), listed.end(), name) == listed.end()) {
        game_.Log("No saved game named \"" + name.substr(0, 80) + "\"");
        TellPlayer("WResource_LLoadMissing", name.substr(0, 64));
        return false;
    }
    TPlayRules* rules = Rules();
    if (!rules) return false;
    const std::string path = SaveFolder() + name + ".sav";
    try {
        const TSavedGame saved = ReadSavedGameFile(path);
        rules->RestoreGame(saved, path, false);
    } catch (const std::exception& e) {
        game_.Log("Saved game refused: " + std::string(e.what()));
        TellPlayer("WResource_LLoadRefused", "");
        return false;
    }
    game_.Log("Game loaded: " + name);
    ShowLoadedGame();
    return true;
}

void TSaveScreens::ShowLoadedGame() {
    TPlayRules& rules = *Rules();
    const TPlayLevel& level = rules.Level();
    game_.Interface->SetScore(level.TotalScore);
    ui_.SetProp("WGame_LScoreCount", "Caption", std::to_string(level.TotalScore));
    ui_.SetProp("WGame_LLevelCount", "Caption",
                std::to_string(level.SceneInd) + "." + std::to_string(level.CurrentLayer + 1));
    ui_.HideModalList();
    game_.Paused = false;
    const TLayer* layer = level.Layer();
    if (layer && layer->Complete) {
        game_.GameState = gsBetweenLevels;
        ui_.ShowModal(ui_.FindInterfaceObject("WBetweenLevel") ? "WBetweenLevel" : "WGame");
        game_.Audio.PlayMusic("vibe-hah.mo3", 1000, 0);
    } else {
        game_.GameState = gsPlaying;
        ui_.ShowModal("WGame");
        if (!level.Scene.SceneMusic.empty()) game_.Audio.PlayMusic(level.Scene.SceneMusic, 1000, 0);
    }
    game_.RedrawAll();
}

void TSaveScreens::AskDelete(const std::string& window) {
    const std::string name = TrimBlanks(EditText(window));
    const std::vector<std::string> listed = ListSavedGames(SaveFolder());
    if (name.empty() || std::find(listed.begin(), listed.end(), name) == listed.end()) return;
    deleteWindow_ = window;
    pendingDelete_ = name;
    ui_.ShowModal("WDelete");
}

void TSaveScreens::ConfirmDelete() {
    ui_.HideTopModal();
    if (pendingDelete_.empty()) return;
    std::error_code ec;
    fs::remove(SaveFolder() + pendingDelete_ + ".sav", ec);
    if (ec) game_.Log("Cannot delete the saved game " + pendingDelete_ + ": " + ec.message());
    pendingDelete_.clear();
    FillList(deleteWindow_);
}

void TSaveScreens::QuickSave() {
    if (!SaveUnder(kQuickSaveName)) return;
    auto* button = ui_.FindObjectAs<TOrvLabel>("WGame_BQuickSave");
    const auto* ok = ui_.FindObjectAs<TOrvLabel>("WQuit_BOk");
    if (!button || !ok || quickSaveShowing_) return;
    quickSaveShowing_ = true;
    quickSaveCaption_ = button->GetCaption();
    button->SetCaption(ok->GetCaption());
    game_.QuickSaveCaptionTime = static_cast<int32_t>(game_.NowTime + kQuickSaveConfirmMs);
}

void TSaveScreens::RestoreQuickSaveCaption() {
    if (!quickSaveShowing_) return;
    quickSaveShowing_ = false;
    if (auto* button = ui_.FindObjectAs<TOrvLabel>("WGame_BQuickSave")) button->SetCaption(quickSaveCaption_);
}

void TSaveScreens::TellPlayer(const std::string& resourceLabel, const std::string& detail) {
    const auto* text = ui_.FindObjectAs<TOrvLabel>(resourceLabel);
    auto* target = ui_.FindObjectAs<TOrvLabel>("WMessage_LText");
    if (!text || !target) return;
    target->SetCaption(detail.empty() ? text->GetCaption() : text->GetCaption() + " (" + detail + ")");
    ui_.ShowModal("WMessage");
}
