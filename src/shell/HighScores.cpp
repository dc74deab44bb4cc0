#include "shell/HighScores.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <system_error>

#include "base/OrvParser.h"
#include "base/OrvStream.h"
#include "base/SFunctions.h"

namespace {

// The file never legitimately grows past this: 20 short lines and a mark.
constexpr size_t kMaxFileSize = 64 * 1024;

bool UnsafeChar(unsigned char c) {
    return c < 32 || c == 127 || c == '"' || c == '<' || c == '>' || c == '&';
}

// Splits text into lines at LF, dropping a CR before it; the last line
// without a line end counts too, an empty tail does not.
std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

bool ParseScore(const std::string& text, int32_t& score) {
    if (text.empty()) return false;
    const char* end = text.data() + text.size();
    const auto [p, ec] = std::from_chars(text.data(), end, score);
    return ec == std::errc() && p == end && score >= 0;
}

}  // namespace

std::string THighScores::CleanName(const std::string& name) {
    std::string kept;
    for (unsigned char c : name)
        if (!UnsafeChar(c)) kept += static_cast<char>(c);
    kept = TrimBlanks(kept);
    // Cut after kMaxNameLength whole characters (UTF-8 lead bytes count).
    size_t chars = 0;
    for (size_t i = 0; i < kept.size(); ++i) {
        if ((static_cast<unsigned char>(kept[i]) & 0xC0) == 0x80) continue;
        if (chars == kMaxNameLength) {
            kept.resize(i);
            break;
        }
        ++chars;
    }
    kept = TrimBlanks(kept);
    return kept.empty() ? std::string(kDefaultName) : kept;
}

bool THighScores::Load(const std::string& path, std::string& error) {
    Entries.clear();
    error.clear();
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return true;
    std::string text;
    if (!ReadWholeFile(path, text)) {
        error = "The high scores cannot be read: " + path;
        return false;
    }
    const auto refuse = [&](const std::string& why) {
        Entries.clear();
        error = "The high scores in " + path + " are refused: " + why;
        return false;
    };
    if (text.size() > kMaxFileSize) return refuse("the file is too large");
    std::vector<THighScoreEntry> read;
    bool first = true;
    for (const std::string& rotated : SplitLines(text)) {
        const std::string line = RotateTextDown(rotated);
        if (first && line.rfind("<HighScores ", 0) == 0) {
            first = false;
            int32_t version = 0;
            if (!ParseScore(AttrValueOf(line, "version"), version) || version < 1)
                return refuse("the version mark is damaged");
            if (version > kVersion) return refuse("the file was written by a newer version of the game");
            continue;
        }
        first = false;
        if (line.rfind("<High name=\"", 0) != 0 || line.find("/>") == std::string::npos)
            return refuse("line " + std::to_string(read.size() + 1) + " is not an entry");
        THighScoreEntry entry;
        entry.Name = AttrValueOf(line, "name");
        if (entry.Name.empty() || CleanName(entry.Name) != entry.Name)
            return refuse("line " + std::to_string(read.size() + 1) + " holds a name that cannot be stored");
        if (!ParseScore(AttrValueOf(line, " score"), entry.Score))
            return refuse("line " + std::to_string(read.size() + 1) + " holds no valid score");
        if (!read.empty() && entry.Score > read.back().Score) return refuse("the entries are out of rank");
        read.push_back(std::move(entry));
        if (read.size() > kMaxEntries) return refuse("more than " + std::to_string(kMaxEntries) + " entries");
    }
    Entries = std::move(read);
    return true;
}

std::string THighScores::ToText() const {
    std::string text = RotateTextUp("<HighScores version=\"" + std::to_string(kVersion) + "\" />") + "\r\n";
    const size_t n = std::min(Entries.size(), kMaxEntries);
    for (size_t i = 0; i < n; ++i) {
        const THighScoreEntry& e = Entries[i];
        text += RotateTextUp("<High name=\"" + CleanName(e.Name) + "\" score=\"" +
                             std::to_string(std::max(0, e.Score)) + "\" />") +
                "\r\n";
    }
    return text;
}

bool THighScores::Save(const std::string& path) const {
    const std::string text = ToText();
    return WriteFileAtomically(path, text.data(), text.size());
}

int THighScores::Insert(const std::string& name, int32_t score) {
    THighScoreEntry entry{CleanName(name), std::max(0, score)};
    const auto at =
        std::find_if(Entries.begin(), Entries.end(), [&](const THighScoreEntry& e) { return e.Score < entry.Score; });
    const int position = static_cast<int>(at - Entries.begin());
    Entries.insert(at, std::move(entry));
    if (Entries.size() > kMaxEntries) Entries.resize(kMaxEntries);
    return position < static_cast<int>(kMaxEntries) ? position : -1;
}

std::string THighScores::GridCells() const {
    std::string cells;
    for (size_t i = 0; i < Entries.size(); ++i) {
        cells += "Text=\"" + std::to_string(i + 1) + "\";";
        cells += "Text=\"" + CleanName(Entries[i].Name) + "\";";
        cells += "Text=\"" + std::to_string(Entries[i].Score) + "\";";
    }
    return cells;
}
