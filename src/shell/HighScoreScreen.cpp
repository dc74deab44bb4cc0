#include "shell/HighScoreScreen.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "game/Main.h"
#include "ui/OrvGrid.h"
#include "ui/OrvInterfaceEngine.h"
#include "ui/OrvMethodTable.h"

THighScoreScreen::THighScoreScreen(TOrvGameEngine& game, TOrvInterfaceEngine& ui, TOrvMethodTable& table)
    : game_(game), ui_(ui) {
    table.Bind("WTitle_BHighScores_MouseUp", [this] { FillGrid(); });
    table.Bind("WHighScores_BClear_MouseUp", [this] { AskToClear(); });
    table.Bind("WClearHighScores_BOk_MouseUp", [this] { Clear(); });
}

std::string THighScoreScreen::FilePath() const {
    return game_.WriteDir + THighScores::kFileName;
}

void THighScoreScreen::Load() {
    std::string error;
    refused_ = !table_.Load(FilePath(), error);
    if (refused_) game_.Log(error);
}

void THighScoreScreen::Save() {
    const std::string path = FilePath();
    if (refused_) {
        // The refused file may still be the player's only copy of their
        // scores: keep it beside the new one rather than overwrite it.
        std::error_code ec;
        std::filesystem::rename(path, path + ".refused", ec);
        if (ec) game_.Log("The refused high scores could not be kept aside: " + ec.message());
        refused_ = false;
    }
    if (!table_.Save(path)) game_.Log("The high scores cannot be written: " + path);
}

int THighScoreScreen::Enter(const std::string& name, int32_t score) {
    const int position = table_.Insert(name, score);
    Save();
    return position;
}

void THighScoreScreen::FillGrid() {
    auto* grid = ui_.FindObjectAs<TOrvGrid>("WHighScores_GHighScores");
    if (grid == nullptr) return;
    grid->SetCells(table_.GridCells());
}

void THighScoreScreen::AskToClear() {
    if (!table_.Entries.empty()) ui_.ShowModal("WClearHighScores");
}

void THighScoreScreen::Clear() {
    table_.Entries.clear();
    std::error_code ec;
    std::filesystem::remove(FilePath(), ec);
    if (ec) game_.Log("The high scores cannot be deleted: " + ec.message());
    refused_ = false;
    FillGrid();
}
