// Prepares arbitrary bytes as the game's shipped archive, the way the first
// start does (packed pictures joined, packed scripts unpacked, AutoImage
// scripts run, the result written through a temporary file). Either a clean
// OrvException leaves no prepared archive behind, or the prepared archive
// opens, every entry of it reads back, and every picture it holds decodes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "base/FileFolder.h"
#include "base/OrvException.h"
#include "base/OrvStream.h"
#include "media/PNGMorf.h"
#include "render/PictureCodec.h"

namespace {

std::string TempPath(const char* what) {
    static const std::string root = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return root + "/moswick_fuzz_prepare_" + std::to_string(::getpid()) + "_" + what;
}

struct TScratchCleanup {
    ~TScratchCleanup() {
        std::remove(TempPath("game.zxc").c_str());
        std::remove(TempPath("prepared.zxc").c_str());
    }
};

// Whether an entry of the prepared archive is a picture the game decodes:
// the extensions preparation writes pictures under.
bool IsPreparedPicture(const std::string& name) {
    const size_t dot = name.find('.');
    if (dot == std::string::npos) return false;
    const std::string ext = name.substr(dot + 1);
    return ext == "PNG" || ext == "PnG" || ext == "pNg";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TScratchCleanup cleanup;
    const std::string source = TempPath("game.zxc");
    const std::string dest = TempPath("prepared.zxc");
    std::remove(dest.c_str());
    if (!WriteFileAtomically(source, data, size)) return 0;
    try {
        TPNGMorf(90).ProcessArchive(source, dest);
    } catch (const OrvException&) {
        if (std::FILE* f = std::fopen(dest.c_str(), "rb")) {
            std::fclose(f);
            std::abort();  // a failed preparation must not leave a copy to be used
        }
        return 0;
    }
    TFileFolder prepared(dest);
    prepared.LoadAll();
    for (size_t i = 0; i < prepared.Dir.size(); ++i) {
        if (prepared.Files[i].Stream->Size() != prepared.Dir[i].Size) std::abort();
        if (!IsPreparedPicture(prepared.Dir[i].Name) || prepared.Dir[i].Kind != 2) continue;
        const TMemoryStream& s = *prepared.Files[i].Stream;
        // Joined pairs and AutoImage results are encoded by preparation
        // itself: they must decode.
        try {
            if (DecodePicture(s.Data(), s.Size()).Empty()) std::abort();
        } catch (const OrvException&) {
            std::abort();
        }
    }
    return 0;
}
