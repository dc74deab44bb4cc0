// Reads arbitrary bytes as an INI file ("options.cfg", "registry.ini"): every
// key listed must read back, the text a rewrite would write must read back
// as the same document, a write must read back, and the key store over the
// same bytes must keep what it stores.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "base/OrvException.h"
#include "base/OrvStream.h"
#include "platform/IniFile.h"
#include "platform/KeyStore.h"

namespace {

std::string TempPath(const char* what) {
    static const std::string root = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return root + "/moswick_fuzz_ini_" + std::to_string(::getpid()) + "_" + what;
}

struct TScratchCleanup {
    ~TScratchCleanup() {
        for (const char* what : {"in.cfg", "again.cfg", "store.ini"}) std::remove(TempPath(what).c_str());
    }
};

bool WriteBytes(const std::string& path, const uint8_t* data, size_t size) {
    return WriteFileAtomically(path, data, size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TScratchCleanup cleanup;
    const std::string path = TempPath("in.cfg");
    if (!WriteBytes(path, data, size)) return 0;

    TIniFile ini(path);
    if (ini.Refused()) return 0;
    for (const std::string& section : ini.ReadSections()) {
        for (const std::string& key : ini.ReadSection(section)) {
            if (!ini.ValueExists(section, key)) std::abort();
            ini.ReadInteger(section, key, 7);
            ini.ReadBool(section, key, true);
        }
    }

    // What a rewrite writes reads back as the same document.
    const std::string text = ini.Text();
    const std::string againPath = TempPath("again.cfg");
    if (!WriteFileAtomically(againPath, text.data(), text.size())) return 0;
    if (TIniFile(againPath).Text() != text) std::abort();

    // A write changes the value and keeps the rest readable.
    try {
        ini.WriteString("Options", "PlayerName", "Fuzz \"x\" = y");
        ini.WriteInteger("Options", "SoundVolume", -42);
    } catch (const OrvException&) {
        return 0;
    }
    TIniFile back(path);
    if (back.ReadString("Options", "PlayerName", "") != "Fuzz \"x\" = y") std::abort();
    if (back.ReadInteger("Options", "SoundVolume", 0) != -42) std::abort();

    // The key store over the same bytes.
    const std::string storePath = TempPath("store.ini");
    if (!WriteBytes(storePath, data, size)) return 0;
    {
        TKeyStore store(storePath);
        store.ReadString("Software\\Moswick", "Language");
        store.ValueNames("Software/Moswick");
        if (!store.WriteString("Software\\Moswick", "Language", " Deutsch \"quoted\" ")) return 0;
    }
    TKeyStore reopened(storePath);
    if (reopened.ReadString("software/moswick/", "Language") != " Deutsch \"quoted\" ") std::abort();
    return 0;
}
