#include "shell/ShellLanguages.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <limits>

#include "base/OrvException.h"
#include "base/OrvParser.h"
#include "platform/KeyStore.h"
#include "ui/OrvForm.h"
#include "ui/OrvInterfaceEngine.h"
#include "ui/OrvLabel.h"

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

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The text of the <p n="prop"> child of an <o> element, or nullptr.
const TOrvXMLTag* PropertyTag(const TOrvXMLTag& o, const std::string& prop) {
    for (int i = 0; i < o.TagCount(); ++i) {
        const TOrvXMLTag* p = o.GetTag(i);
        if (p->Name == "p" && p->AttributeValue("n") == prop) return p;
    }
    return nullptr;
}

// The caption a language file gives the named object; empty when it gives
// none or the file cannot be read.
std::string CaptionInFile(const std::string& path, const std::string& objectName) {
    TOrvParser doc;
    doc.LoadFromFile(path);
    const TOrvXMLTag* root = doc.GetTag(0);
    for (int i = 0; root != nullptr && i < root->TagCount(); ++i) {
        const TOrvXMLTag* o = root->GetTag(i);
        const TOrvXMLTag* name = PropertyTag(*o, "Name");
        if (name == nullptr || name->Value != objectName) continue;
        if (const TOrvXMLTag* caption = PropertyTag(*o, "Caption")) return caption->Value;
    }
    return {};
}

}  // namespace

const std::vector<std::string>& TShellLanguages::NumberLabels() {
    static const std::vector<std::string> names = {"WGame_LScoreCount", "WGame_LLevelCount", "WGame_LShiftCount",
                                                   "WGame_LShuffleCount", "WBetweenLevel_TOnGame_LScoreCount"};
    return names;
}

TShellLanguages::TShellLanguages(std::string langDir) : langDir_(std::move(langDir)) {}

std::string TShellLanguages::Code() const {
    return Upper(Language);
}

void TShellLanguages::Say(const std::string& text) const {
    if (Log) Log(text);
}

bool TShellLanguages::ParseFileName(const std::string& name, std::string& code, int64_t& position) {
    const std::string lower = Lower(name);
    // A name that is only the ending ("lng") carries no code.
    if (!EndsWith(lower, "lng") || lower.find("scn") != std::string::npos || name.size() <= 3) return false;
    if (!IsAsciiLetter(name[0]) || !IsAsciiLetter(name[1]) || !IsAsciiLetter(name[2])) return false;
    code = Upper(name.substr(0, 3));
    position = std::numeric_limits<int64_t>::max();
    const size_t bar = name.find('_');
    if (bar == std::string::npos) return true;
    const size_t dot = name.find('.', bar + 1);
    const std::string digits = name.substr(bar + 1, dot == std::string::npos ? std::string::npos : dot - bar - 1);
    // Nine digits at most: a longer "number" is no position a person wrote.
    if (digits.empty() || digits.size() > 9 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return true;
    position = std::stoll(digits);
    return true;
}

std::vector<std::string> TShellLanguages::LanguageFiles() const {
    std::vector<std::string> files;
    std::error_code ec;
    if (!std::filesystem::is_directory(langDir_, ec)) return files;
    for (const auto& entry : std::filesystem::directory_iterator(langDir_, ec)) {
        const std::string name = entry.path().filename().string();
        std::string code;
        int64_t position = 0;
        if (entry.is_regular_file(ec) && ParseFileName(name, code, position)) files.push_back(name);
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<TShellLanguages::TLanguage> TShellLanguages::InstalledLanguages() const {
    std::vector<TLanguage> list;
    for (const std::string& name : LanguageFiles()) {
        TLanguage lang;
        ParseFileName(name, lang.Code, lang.Position);
        auto same = std::find_if(list.begin(), list.end(), [&](const TLanguage& l) { return l.Code == lang.Code; });
        if (same != list.end()) {
            same->Position = std::min(same->Position, lang.Position);
            same->Files.push_back(name);
            continue;
        }
        lang.Files.push_back(name);
        list.push_back(lang);
    }
    std::stable_sort(list.begin(), list.end(),
                     [](const TLanguage& a, const TLanguage& b) { return a.Position < b.Position; });
    return list;
}

void TShellLanguages::ReadChoice(const TKeyStore& store) {
    Language = Lower(store.ReadString(kKey, kValue).substr(0, 3));
}

bool TShellLanguages::SaveChoice(TKeyStore& store) const {
    if (store.WriteString(kKey, kValue, Language.substr(0, 3))) return true;
    Say("Exception Error in TOrvGameEngine.SaveLanguageToReg.");
    return false;
}

int TShellLanguages::BuildLanguageList(TOrvInterfaceEngine& ui) const {
    auto* form = ui.FindObjectAs<TOrvForm>(kWindow);
    auto* model = ui.FindObjectAs<TOrvRadioButton>(std::string(kButtonPrefix) + kFallback);
    if (form == nullptr || model == nullptr) return 0;
    int made = 0;
    for (const TLanguage& lang : InstalledLanguages()) {
        if (lang.Code == kFallback) continue;
        const std::string name = kButtonPrefix + lang.Code;
        if (ui.FindInterfaceObject(name) != nullptr) continue;
        std::string caption;
        try {
            caption = CaptionInFile(langDir_ + lang.Files.front(), name);
        } catch (const OrvException& ex) {
            Say("Language " + lang.Code + " left out: " + ex.what());
            continue;
        }
        ui.CreateObject(name, kWindow, "TOrvRadioButton");
        auto* button = ui.FindObjectAs<TOrvRadioButton>(name);
        button->Assign(model);
        button->SetChecked(false);
        if (!caption.empty()) button->SetCaption(caption);
        ++made;
        const int32_t row = made % kRowsPerColumn;
        const int32_t column = made / kRowsPerColumn;
        button->SetTop(model->Top + row * kRowHeight);
        button->SetLeft(model->Left + column * kColumnWidth);
    }
    ui.RebuildChildren();
    return made;
}

bool TShellLanguages::ApplyFiles(TOrvInterfaceEngine& ui) const {
    bool found = false;
    for (const TLanguage& lang : InstalledLanguages()) {
        if (lang.Code != Upper(Language)) continue;
        for (const std::string& file : lang.Files) {
            ui.RestoreModProps();
            ui.ReloadInterface(langDir_ + file);
            const std::string scenes = langDir_ + Lower(lang.Code) + "_scn.lng";
            std::error_code ec;
            if (std::filesystem::is_regular_file(scenes, ec)) ui.ReloadInterface(scenes);
            found = true;
        }
    }
    return found;
}

bool TShellLanguages::ApplyLanguage(TOrvInterfaceEngine& ui, TKeyStore& store) {
    std::error_code ec;
    if (!std::filesystem::is_directory(langDir_, ec)) return false;
    std::vector<std::string> numbers;
    for (const std::string& label : NumberLabels())
        numbers.push_back(ui.FindInterfaceObject(label) ? ui.GetProp(label, "Caption").ToString() : std::string());

    bool applied = false;
    for (int attempt = 0; attempt < 2 && !applied; ++attempt) {
        if (attempt == 1) {
            if (Upper(Language) == kFallback && !Language.empty()) break;
            Language = kFallback;
            SaveChoice(store);
        }
        try {
            applied = ApplyFiles(ui);
        } catch (const OrvException& ex) {
            // A damaged file must not keep the game from starting or leave
            // half its texts in place: the interface's own texts come back.
            Say("Language " + Upper(Language) + " refused: " + ex.what());
            ui.RestoreModProps();
        }
    }
    if (!applied) Language = kFallback;

    ui.SetProp(kButtonPrefix + Upper(Language), "Checked", "true");
    for (size_t i = 0; i < numbers.size(); ++i)
        if (!numbers[i].empty()) ui.SetProp(NumberLabels()[i], "Caption", numbers[i]);
    return applied;
}

std::string TShellLanguages::SelectedCode(const TOrvInterfaceEngine& ui) const {
    const auto* form = ui.FindObjectAs<TOrvForm>(kWindow);
    if (form == nullptr) return {};
    const std::string prefix = kButtonPrefix;
    for (const TOrvInterfaceObject* child : form->Children) {
        const auto* button = dynamic_cast<const TOrvRadioButton*>(child);
        if (button == nullptr || !button->Checked || button->Name().rfind(prefix, 0) != 0) continue;
        return Upper(button->Name().substr(prefix.size(), 3));
    }
    return {};
}

bool TShellLanguages::ChooseSelected(TOrvInterfaceEngine& ui, TKeyStore& store) {
    const std::string code = SelectedCode(ui);
    if (code.empty() || code == Upper(Language)) return false;
    ConfirmedLanguage = Language;
    Language = code;
    ApplyLanguage(ui, store);
    SaveChoice(store);
    return true;
}

bool TShellLanguages::RevertToConfirmed(TOrvInterfaceEngine& ui, TKeyStore& store) {
    if (ConfirmedLanguage.empty() || Upper(ConfirmedLanguage) == Upper(Language)) return false;
    Language = ConfirmedLanguage;
    ApplyLanguage(ui, store);
    SaveChoice(store);
    return true;
}
