#include "platform/KeyStore.h"

#include "base/OrvException.h"
#include "platform/IniFile.h"
#include "platform/Platform.h"

#include <filesystem>

std::string TKeyStore::DefaultPath() {
    return Platform::UserConfigDir() + "registry.ini";
}

TKeyStore::TKeyStore(std::string path) : path_(std::move(path)), ini_(std::make_unique<TIniFile>(path_)) {}

TKeyStore::~TKeyStore() = default;

std::string TKeyStore::NormaliseKey(const std::string& keyPath) {
    std::string k;
    k.reserve(keyPath.size());
    for (char c : keyPath) {
        if (c == '\\') c = '/';
        // Brackets and line breaks would break the section header.
        if (c == '[' || c == ']' || c == '\r' || c == '\n') c = '_';
        if (c == '/' && (k.empty() || k.back() == '/')) continue;
        k += c;
    }
    while (!k.empty() && k.back() == '/') k.pop_back();
    return k;
}

std::string TKeyStore::ReadString(const std::string& keyPath, const std::string& name, const std::string& def) const {
    return ini_->ReadString(NormaliseKey(keyPath), name, def);
}

bool TKeyStore::WriteString(const std::string& keyPath, const std::string& name, const std::string& value) {
    if (name.empty() || name.find_first_of("=\r\n") != std::string::npos) return false;
    if (value.find_first_of("\r\n") != std::string::npos) return false;
    std::error_code ec;
    const auto folder = std::filesystem::path(path_).parent_path();
    if (!folder.empty()) std::filesystem::create_directories(folder, ec);
    try {
        // Always quoted, so leading or trailing blanks and quotes survive the
        // round trip (the reader removes exactly one pair).
        ini_->WriteString(NormaliseKey(keyPath), name, "\"" + value + "\"");
    } catch (const OrvException&) {
        ini_ = std::make_unique<TIniFile>(path_);
        return false;
    }
    return true;
}

bool TKeyStore::ValueExists(const std::string& keyPath, const std::string& name) const {
    return ini_->ValueExists(NormaliseKey(keyPath), name);
}

bool TKeyStore::KeyExists(const std::string& keyPath) const {
    return ini_->SectionExists(NormaliseKey(keyPath));
}

std::vector<std::string> TKeyStore::ValueNames(const std::string& keyPath) const {
    return ini_->ReadSection(NormaliseKey(keyPath));
}

bool TKeyStore::DeleteValue(const std::string& keyPath, const std::string& name) {
    try {
        ini_->DeleteKey(NormaliseKey(keyPath), name);
    } catch (const OrvException&) {
        ini_ = std::make_unique<TIniFile>(path_);
        return false;
    }
    return true;
}
