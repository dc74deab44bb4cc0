// The saved games of the player: the save and load windows with their file
// list and name box, replacing and deleting with a question first, the quick
// save of the play screen, and loading a game by name at start-up
// (--load). Files live in the write folder's "saves/"; a save is written
// to a temporary file and renamed, so a crash never leaves half a save, and a
// file that does not read back as a game that fits its scene is refused
// whole before anything of the running game changes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class TOrvGameEngine;
class TOrvInterfaceEngine;
class TOrvMethodTable;
class TPlayRules;

// The name a player typed, made safe as a file name and as grid text:
// blanks at the ends are trimmed; the double quote, asterisk, full stop,
// slash, colon, less-than and greater-than signs, question mark, backslash,
// vertical bar, the semicolon (it ends a grid cell) and control
// characters are removed; at most 64 bytes are
// kept (never cutting a character in two). Empty when nothing is left.
std::string CleanSaveName(std::string_view name);

// The saved games in folder (with or without a trailing '/'): the names of
// the regular files ending in ".sav", without it, that are already clean
// (others could not be loaded or shown safely), sorted. Empty when the
// folder does not exist.
std::vector<std::string> ListSavedGames(const std::string& folder);

class TSaveScreens {
public:
    static constexpr const char* kQuickSaveName = "QuickSave";
    static constexpr int32_t kQuickSaveConfirmMs = 2000;

    // Binds the handlers of the save and load windows and the quick save in
    // table (all three outlive this object).
    TSaveScreens(TOrvGameEngine& game, TOrvInterfaceEngine& ui, TOrvMethodTable& table);

    // The folder of the saves, with a trailing '/'.
    std::string SaveFolder() const;
    // Fills the grid of "WLoadGame" or "WSaveGame" with the saved games and
    // copies the selected name into the window's edit box.
    void FillList(const std::string& window);
    // Saves the running game under a clean name (no question asked). False,
    // with the player told, when there is no game or the file cannot be
    // written; an older save of the name is then untouched.
    bool SaveUnder(const std::string& cleanName);
    // Loads the saved game of that name as the load window does: the name
    // must be one the list shows. On success play (or the window between
    // levels) is shown; on failure the player is told why and stays where
    // they were (on the title when nothing was running).
    bool LoadByName(const std::string& name);
    // Quick save with the short confirmation on the button.
    void QuickSave();
    // Restores the quick-save button's caption (called 2 s after).
    void RestoreQuickSaveCaption();
    // Shows "WMessage" with the caption of a "WResource" label and, after
    // it, detail (may be empty).
    void TellPlayer(const std::string& resourceLabel, const std::string& detail);

private:
    void Bind(TOrvMethodTable& table);
    TPlayRules* Rules() const;
    std::string EditText(const std::string& window) const;
    void CopySelection(const std::string& window);
    void AskSave();
    void AskDelete(const std::string& window);
    void ConfirmDelete();
    void ShowLoadedGame();

    TOrvGameEngine& game_;
    TOrvInterfaceEngine& ui_;
    std::string pendingSave_;
    std::string deleteWindow_;
    std::string pendingDelete_;
    std::string quickSaveCaption_;
    bool quickSaveShowing_ = false;
};
