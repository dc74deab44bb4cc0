// The per-user key store that stands in for the Windows registry (the chosen
// language, the targets of extra logo links). Keys are paths such as
// "Software/Moswick" holding named text values; everything lives in one small
// file, "registry.ini" under $XDG_CONFIG_HOME/moswick/, one section per key,
// rewritten atomically on every change.
#pragma once

#include <memory>
#include <string>
#include <vector>

class TIniFile;

class TKeyStore {
public:
    // The default file: Platform::UserConfigDir() + "registry.ini".
    static std::string DefaultPath();

    // Binds to the store file at path (loaded when it exists; the folder is
    // created on the first write).
    explicit TKeyStore(std::string path = DefaultPath());
    ~TKeyStore();

    // The named value of a key, or def when the key or value is absent.
    // Key paths match without regard to letter case and '\' equals '/'.
    std::string ReadString(const std::string& keyPath, const std::string& name, const std::string& def = "") const;
    // Stores a value; false when the file could not be written (the store
    // then keeps its previous content on disk).
    bool WriteString(const std::string& keyPath, const std::string& name, const std::string& value);
    bool ValueExists(const std::string& keyPath, const std::string& name) const;
    bool KeyExists(const std::string& keyPath) const;
    // Names of the values of a key, in the order stored.
    std::vector<std::string> ValueNames(const std::string& keyPath) const;
    // Removes a value; false when it could not be written.
    bool DeleteValue(const std::string& keyPath, const std::string& name);

    const std::string& FileName() const { return path_; }

private:
    static std::string NormaliseKey(const std::string& keyPath);

    std::string path_;
    std::unique_ptr<TIniFile> ini_;
};
