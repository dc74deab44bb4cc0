// Opens arbitrary bytes as a resource archive, loads every entry through both
// ways callers use, and when that succeeds saves the archive again (in place,
// and as a copy built entry by entry) and checks that it reads back the same.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "base/FileFolder.h"
#include "base/OrvException.h"
#include "base/OrvStream.h"

namespace {

std::string TempPath(const char* what) {
    // tmpfs when there is one: every input is written to a file.
    static const std::string root = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return root + "/moswick_fuzz_archive_" + std::to_string(::getpid()) + "_" + what;
}

// Removes this run's scratch files when the fuzzer exits.
struct TScratchCleanup {
    std::string In = TempPath("in.zxc");
    std::string Out = TempPath("out.zxc");
    ~TScratchCleanup() {
        std::remove(In.c_str());
        std::remove(Out.c_str());
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TScratchCleanup cleanup;
    const std::string path = TempPath("in.zxc");
    if (!WriteFileAtomically(path, data, size)) return 0;
    try {
        TFileFolder folder(path);
        if (folder.Dir.size() != folder.Count() || folder.Files.size() != folder.Count()) std::abort();
        bool complete = true;
        for (size_t i = 0; i < folder.Dir.size(); ++i) {
            if (folder.Dir[i].Name.size() > TFileFolder::MaxNameLength) std::abort();
            try {
                folder.LoadFile(folder.Dir[i].Name);
                const int first = folder.IndexOf(folder.Dir[i].Name);
                if (first < 0 || static_cast<size_t>(first) > i) std::abort();
                if (static_cast<size_t>(first) == i && folder.Files[i].Stream->Size() != folder.Dir[i].Size)
                    std::abort();
                TMemoryStream* s = folder.Stream(folder.Dir[i].Name);
                if (s == nullptr || s->Position() != 0) std::abort();
            } catch (const OrvException&) {
                complete = false;
                if (folder.Files[i].Stream->Size() != 0) std::abort();
            }
        }
        if (complete) {
            // The opened archive saved again, in place of a copy of its file:
            // every entry, those sharing a name with an earlier one included,
            // must come back with its bytes, name and kind.
            {
                const std::string again = TempPath("out.zxc");
                if (!WriteFileAtomically(again, data, size)) return 0;
                TFileFolder whole(again);
                whole.SaveToFile();
                TFileFolder back(again);
                if (back.Count() != whole.Count()) std::abort();
                back.LoadAll();
                TFileFolder original(path);
                original.LoadAll();
                for (size_t i = 0; i < back.Dir.size(); ++i) {
                    if (back.Dir[i].Name != original.Dir[i].Name || back.Dir[i].Kind != original.Dir[i].Kind ||
                        back.Files[i].Stream->Bytes() != original.Files[i].Stream->Bytes())
                        std::abort();
                }
            }
            // Duplicate names (possible in a foreign archive) cannot all be
            // loaded by name, so only archives where every name is unique
            // are copied through AddFile and compared.
            TFileFolder copy = TFileFolder::CreateNew(TempPath("out.zxc"));
            for (size_t i = 0; i < folder.Dir.size(); ++i) {
                if (folder.IndexOf(folder.Dir[i].Name) != static_cast<int>(i)) return 0;
                copy.AddFile(folder.Dir[i].Name, folder.Dir[i].Kind, *folder.Files[i].Stream);
            }
            copy.SaveToFile();
            TFileFolder back(TempPath("out.zxc"));
            if (back.Count() != folder.Count()) std::abort();
            for (size_t i = 0; i < back.Dir.size(); ++i) {
                TMemoryStream* s = back.Stream(back.Dir[i].Name);
                if (s == nullptr || s->Bytes() != folder.Files[i].Stream->Bytes()) std::abort();
            }
        }
    } catch (const OrvException&) {
        // Refused archives are the expected outcome for most inputs.
    }
    return 0;
}
