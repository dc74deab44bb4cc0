// The languages of the interface: files "lng/CODE_POSITION.lng" in the
// interface file's format whose texts replace the interface's own, the
// optional scene texts "lng/code_scn.lng", and the chosen code kept in the
// per-user key store ("Software\Quorvane\Moswick", value "LangStr"). English
// ("ENU") is the fallback. The language window builds on this later.
#pragma once

#include <string>
#include <vector>

class TOrvInterfaceEngine;
class TKeyStore;

class TShellLanguages {
public:
    static constexpr const char* kKey = "Software\\Quorvane\\Moswick";
    static constexpr const char* kValue = "LangStr";
    static constexpr const char* kFallback = "ENU";

    // langDir: the folder of the language files with a trailing '/'.
    explicit TShellLanguages(std::string langDir);

    // The code chosen now (three letters, compared without regard to case).
    std::string Language;

    // The language files of the folder (names ending in "lng" without "scn",
    // any case), sorted by name; empty when the folder does not exist.
    std::vector<std::string> LanguageFiles() const;
    // Reads Language from the store: its first three characters, lower-cased.
    void ReadChoice(const TKeyStore& store);
    // Writes Language to the store; false when it could not be written.
    bool SaveChoice(TKeyStore& store) const;
    // Gives the interface its own texts back, then applies every file of
    // Language (and its scene texts). Without such a file Language becomes
    // "ENU", is stored, and is applied when there is an English file. Then
    // checks "WLanguage_RB" + the code. Nothing when the folder does not
    // exist. Returns whether a file was applied; a file that cannot be read
    // or parsed throws its OrvException.
    bool ApplyLanguage(TOrvInterfaceEngine& ui, TKeyStore& store);

private:
    bool ApplyFiles(TOrvInterfaceEngine& ui) const;

    std::string langDir_;
};
