#include "shell/ShellLanguages.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "platform/KeyStore.h"
#include "ui/OrvInterfaceEngine.h"

namespace {

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

TShellLanguages::TShellLanguages(std::string langDir) : langDir_(std::move(langDir)) {}

std::vector<std::string> TShellLanguages::LanguageFiles() const {
    std::vector<std::string> files;
    std::error_code ec;
    if (!std::filesystem::is_directory(langDir_, ec)) return files;
    for (const auto& entry : std::filesystem::directory_iterator(langDir_, ec)) {
        const std::string name = entry.path().filename().string();
        const std::string lower = Lower(name);
        if (entry.is_regular_file(ec) && EndsWith(lower, "lng") && lower.find("scn") == std::string::npos &&
            name.size() >= 3)
            files.push_back(name);
    }
    std::sort(files.begin(), files.end());
    return files;
}

void TShellLanguages::ReadChoice(const TKeyStore& store) {
    Language = Lower(store.ReadString(kKey, kValue).substr(0, 3));
}

bool TShellLanguages::SaveChoice(TKeyStore& store) const {
    return store.WriteString(kKey, kValue, Language.substr(0, 3));
}

bool TShellLanguages::ApplyFiles(TOrvInterfaceEngine& ui) const {
    bool found = false;
    for (const std::string& name : LanguageFiles()) {
        if (Upper(name.substr(0, 3)) != Upper(Language)) continue;
        ui.RestoreModProps();
        ui.ReloadInterface(langDir_ + name);
        const std::string scenes = langDir_ + Lower(name.substr(0, 3)) + "_scn.lng";
        std::error_code ec;
        if (std::filesystem::is_regular_file(scenes, ec)) ui.ReloadInterface(scenes);
        found = true;
    }
    return found;
}

bool TShellLanguages::ApplyLanguage(TOrvInterfaceEngine& ui, TKeyStore& store) {
    std::error_code ec;
    if (!std::filesystem::is_directory(langDir_, ec)) return false;
    bool applied = ApplyFiles(ui);
    if (!applied) {
        Language = kFallback;
        SaveChoice(store);
        applied = ApplyFiles(ui);
    }
    ui.SetProp("WLanguage_RB" + Upper(Language), "Checked", "true");
    for (const char* label : {"WGame_LShiftCount", "WGame_LShuffleCount", "WGame_LLevelCount", "WGame_LScoreCount"})
        ui.SetProp(label, "Caption", "0");
    return applied;
}
