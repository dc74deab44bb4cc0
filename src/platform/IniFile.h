// INI files ("options.cfg" and the key store): sections of key=value lines,
// read and written by our own code with the behaviour of the Windows profile
// routines the game was built around: section and key names match without
// regard to letter case, a write changes the file at once, lines the game
// does not know (comments, other keys, other sections) are kept as they were.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TIniFile {
public:
    // Largest file the reader accepts; bigger files are treated as empty
    // (and never overwritten by accident: writes then fail).
    static constexpr size_t kMaxFileSize = 4u * 1024u * 1024u;

    // Binds to path and loads the file when it exists. A missing file gives
    // an empty document. One that cannot be read (a folder, pipe or device
    // in its place, larger than kMaxFileSize, no permission) also reads as
    // empty, is refused for writing, and its reason is logged.
    explicit TIniFile(std::string path);

    const std::string& FileName() const { return path_; }
    // True when the file existed but was refused (see the constructor).
    bool Refused() const { return refused_; }
    // Why it was refused (a message naming the file), empty otherwise.
    const std::string& Error() const { return error_; }

    // The value of key in section (surrounding blanks removed, one pair of
    // surrounding double quotes removed), or def when absent.
    std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
    // The value as a decimal integer (optional sign, or hexadecimal written
    // "0x.."/"$.."); def when absent, not a number or out of 32-bit range.
    int32_t ReadInteger(const std::string& section, const std::string& key, int32_t def) const;
    bool ReadBool(const std::string& section, const std::string& key, bool def) const;

    // Sets the value (adding the section and key when missing) and writes the
    // whole file atomically, keeping its mode; a symbolic link is written
    // through to its target and stays a link. Throws OrvException path +
    // " is read-only; settings are not saved" when the file is read-only
    // (it is then left as it is), "Cannot write file " + path when the file
    // cannot be written.
    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteInteger(const std::string& section, const std::string& key, int32_t value);
    void WriteBool(const std::string& section, const std::string& key, bool value);

    bool SectionExists(const std::string& section) const;
    bool ValueExists(const std::string& section, const std::string& key) const;
    // Names of all sections, and of the keys of one section, in file order.
    std::vector<std::string> ReadSections() const;
    std::vector<std::string> ReadSection(const std::string& section) const;
    // Removes a key or a whole section and writes the file (same failure as
    // WriteString). Absent names change nothing and write nothing.
    void DeleteKey(const std::string& section, const std::string& key);
    void EraseSection(const std::string& section);

    // The document as it would be written (lines joined with "\r\n", after
    // the UTF-8 byte order mark when the file began with one).
    std::string Text() const;

private:
    struct Line {
        std::string Raw;    // the line as read, for lines that are not key=value
        std::string Key;    // key of a key=value line (empty otherwise)
        std::string Value;  // its value as written
        bool IsValue = false;
    };
    struct Section {
        std::string Name;  // empty for lines before the first section header
        std::string Header;
        std::vector<Line> Lines;
    };

    void Parse(const std::string& text);
    void Save();
    const Section* FindSection(const std::string& name) const;
    Section* FindSection(const std::string& name);

    std::string path_;
    std::vector<Section> sections_;
    bool refused_ = false;
    bool byteOrderMark_ = false;
    std::string error_;
};
