// The high-score window of the title screen and the table behind it: loaded
// at start-up, filled into the grid, entered at the end of a game, cleared
// after the player confirms. The file lies with the player's other files.
#pragma once

#include <cstdint>
#include <string>

#include "shell/HighScores.h"

class TOrvGameEngine;
class TOrvInterfaceEngine;
class TOrvMethodTable;

class THighScoreScreen {
public:
    // Binds its handlers in table (all three outlive this object).
    THighScoreScreen(TOrvGameEngine& game, TOrvInterfaceEngine& ui, TOrvMethodTable& table);

    THighScores& Table() { return table_; }
    // The file of the table: WriteDir + "HighScores.dat".
    std::string FilePath() const;
    // Reads the file. A refused file is logged with the reason, leaves the
    // table empty and is kept aside (renamed with ".refused") before the
    // table is next written, so nothing the player had is overwritten.
    void Load();
    // Enters a finished game and writes the file (a failed write is logged).
    // Returns the entry's position (-1 when it did not make the table).
    int Enter(const std::string& name, int32_t score);
    // Fills "WHighScores_GHighScores" from the table.
    void FillGrid();
    // "WClearHighScores" when there is anything to clear.
    void AskToClear();
    // Empties the table, deletes the file and the grid.
    void Clear();

private:
    void Save();

    TOrvGameEngine& game_;
    TOrvInterfaceEngine& ui_;
    THighScores table_;
    bool refused_ = false;
};
