// The high-score table: ranked entries (highest first) kept in
// "HighScores.dat" beside the player's files, one line per entry, each line
// "<High name="..." score="..." />" passed through RotateTextUp. A first line
// "<HighScores version="N" />" marks the format; files without it are the
// first version and load the same way.
//
// Names come from the player's keyboard and end up inside a quoted attribute
// and inside the grid's cell script, so they are cleaned before they enter
// the table; a file that does not read as such a table is refused whole, so a
// damaged file can never leave half a table or an impossible score.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct THighScoreEntry {
    std::string Name;
    int32_t Score = 0;
};

class THighScores {
public:
    static constexpr const char* kFileName = "HighScores.dat";
    // The most entries kept in the table, read from and written to the file.
    static constexpr size_t kMaxEntries = 20;
    // The longest name kept (the name box takes as many characters).
    static constexpr size_t kMaxNameLength = 20;
    static constexpr int32_t kVersion = 1;
    // The name of a player who left the name box empty.
    static constexpr const char* kDefaultName = "Player";

    std::vector<THighScoreEntry> Entries;

    // A name safe to store and show: without double quotes, markup
    // characters ('<', '>', '&') and control characters, blanks at both ends
    // removed, at most kMaxNameLength characters (whole UTF-8 characters);
    // kDefaultName when nothing is left.
    static std::string CleanName(const std::string& name);

    // Reads the table from path. A missing file gives an empty table and
    // true. A file that is not a table of this build (a line that does not
    // parse, a score that is not a whole number from 0 up, a name that could
    // not have been stored, more than kMaxEntries entries, entries out of
    // rank, a newer version mark, an oversized file) is refused whole: the
    // table stays empty, error says why, and the result is false.
    bool Load(const std::string& path, std::string& error);
    // Writes the table (at most kMaxEntries entries) through a temporary
    // file and a rename; false when it could not be written (the old file
    // then stays as it was).
    bool Save(const std::string& path) const;
    // Enters a finished game: the cleaned name goes after every entry with
    // the same or a higher score; the table keeps its best kMaxEntries.
    // Returns the new entry's position, or -1 when it did not make the table.
    int Insert(const std::string& name, int32_t score);
    // The file's text for the table as it is now.
    std::string ToText() const;
    // The grid's cell script for the table: three cells a row (rank, name,
    // score), each "Text=\"...\";".
    std::string GridCells() const;
};
