// The languages of the interface: files "lng/CODE_POSITION.lng" in the
// interface file's format whose texts replace the interface's own, the
// optional scene texts "lng/code_scn.lng", and the chosen code kept in the
// per-user key store ("Software\Quorvane\Moswick", value "LangStr"). English
// ("ENU") is the fallback and owns the template button "WLanguage_RBENU" of
// the language window; every further language gets a copy of it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TOrvInterfaceEngine;
class TKeyStore;

class TShellLanguages {
public:
    static constexpr const char* kKey = "Software\\Quorvane\\Moswick";
    static constexpr const char* kValue = "LangStr";
    static constexpr const char* kFallback = "ENU";
    static constexpr const char* kWindow = "WLanguage";
    static constexpr const char* kButtonPrefix = "WLanguage_RB";
    // Rows of one column of buttons (the template's row included) and the
    // distances between rows and columns.
    static constexpr int32_t kRowsPerColumn = 6;
    static constexpr int32_t kRowHeight = 24;
    static constexpr int32_t kColumnWidth = 200;
    // The labels that show numbers the game writes: a change of language
    // keeps what they show.
    static const std::vector<std::string>& NumberLabels();

    // One installed language: its code (upper case) and the files that
    // carry it, in the order they are applied.
    struct TLanguage {
        std::string Code;
        int64_t Position = 0;
        std::vector<std::string> Files;
    };

    // langDir: the folder of the language files with a trailing '/'.
    explicit TShellLanguages(std::string langDir);

    // The code shown now (three letters, compared without regard to case).
    std::string Language;
    // The code the options window goes back to on Cancel.
    std::string ConfirmedLanguage;
    // Language in upper case, as the buttons and the state dump name it.
    std::string Code() const;
    // Where refusals go (the game's log); nothing when unset.
    std::function<void(const std::string&)> Log;

    // Splits a file name of the language folder: true for a language file
    // (lower-cased name ends in "lng", holds no "scn", starts with three
    // ASCII letters), with its code upper-cased and the decimal number
    // between the first "_" and the "." after it (a name without one sorts
    // last).
    static bool ParseFileName(const std::string& name, std::string& code, int64_t& position);
    // The language files of the folder, sorted by name; empty when the
    // folder does not exist.
    std::vector<std::string> LanguageFiles() const;
    // The installed languages in the order of the list: smallest position
    // first, equal positions by file name; one entry per code.
    std::vector<TLanguage> InstalledLanguages() const;

    // Reads Language from the store: its first three characters, lower-cased
    // (empty when nothing is stored).
    void ReadChoice(const TKeyStore& store);
    // Writes Language to the store; false (and a log line) when it could not
    // be written: the game goes on with the language it shows.
    bool SaveChoice(TKeyStore& store) const;

    // Puts one radio button per installed language other than English on the
    // language window, a copy of "WLanguage_RBENU" unchecked, captioned with
    // the language's own name (the caption its file gives its own button),
    // kRowsPerColumn to a column. Nothing without the folder, the window or
    // the template. Returns the number of buttons made.
    int BuildLanguageList(TOrvInterfaceEngine& ui) const;

    // Gives the interface its own texts back, then applies every file of
    // Language and its scene texts. A language without a file, or whose file
    // cannot be read, falls back to "ENU" (stored); a refused file is logged
    // and leaves the interface's own texts. Checks the language's button
    // and keeps what the number labels show. Nothing when the folder does
    // not exist. Returns whether a file was applied.
    bool ApplyLanguage(TOrvInterfaceEngine& ui, TKeyStore& store);

    // The code of the first checked radio button of the language window, or
    // empty when none is checked.
    std::string SelectedCode(const TOrvInterfaceEngine& ui) const;
    // The OK button of the language window: when the checked language
    // differs from Language, remembers Language as confirmed, applies the
    // new one and stores it. Returns whether the language changed.
    bool ChooseSelected(TOrvInterfaceEngine& ui, TKeyStore& store);
    // The options window's OK: the language shown becomes the confirmed one.
    void Confirm() { ConfirmedLanguage = Language; }
    // The options window's Cancel: applies and stores the confirmed language
    // again when another is shown. Returns whether it changed.
    bool RevertToConfirmed(TOrvInterfaceEngine& ui, TKeyStore& store);

private:
    bool ApplyFiles(TOrvInterfaceEngine& ui) const;
    void Say(const std::string& text) const;

    std::string langDir_;
};
