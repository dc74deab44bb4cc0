// zxc: the command-line tool for the game's resource archives.
//
//   zxc list ARCHIVE                       index, name, kind, size, offset
//   zxc extract ARCHIVE [NAME...] [-o DIR] every (or the named) entry to DIR
//   zxc pack OUT FILE... [--kind N]        a new archive of the files
//   zxc pack --split OUT FILE...           .png files as JPEG colour + grey
//                                          alpha pairs, .aim scripts packed
//                                          for preparation, the rest as they are
//   zxc prepare SRC DEST                   unpack pictures, run AutoImages
//   zxc add ARCHIVE FILE... [--kind N]     the files appended to an archive
//   zxc verify ARCHIVE                     reads every entry, reports damage
//   zxc scramble IN OUT [--key KEY]        the game's file scrambling (its
//   zxc unscramble IN OUT [--key KEY]      own inverse; the default key is
//                                          that of parameters and saves)
//
// Commands live in one table (name, minimum argument count, handler, usage)
// so further commands are one row and one function each. An archive error
// prints its message to stderr and exits with 1; a usage error exits with 2.
// Archives and extracted files are written through a temporary file and a
// rename, so an interrupted or failed run never leaves a half-written file.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/FileFolder.h"
#include "base/OrvException.h"
#include "base/OrvStream.h"
#include "base/SFunctions.h"
#include "media/PNGMorf.h"

namespace {

using TArgs = std::vector<std::string>;

// A command line that does not fit the command: reported with its usage.
struct TUsageError {
    std::string Message;
};

// The value after an option, which must be there.
const std::string& OptionValue(const TArgs& args, size_t& i) {
    if (i + 1 >= args.size()) throw TUsageError{"missing value after " + args[i]};
    return args[++i];
}

// An entry name is written as a file name of its own, never as a path: a
// crafted archive must not write outside the target folder.
bool IsSafeFileName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    return name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
}

// A name as it can be shown on a terminal (control bytes as \xNN).
std::string PrintableName(const std::string& name) {
    return PrintableText(name);
}

// The file the command is working on, so an error that does not name it
// (an archive's "broked label", a duplicate entry) is printed with it.
std::string& ConcernedFile() {
    static std::string file;
    return file;
}

void Concerning(const std::string& path) {
    ConcernedFile() = path;
}

// The archive's letter-case rule: names equal but for the case of A-Z are
// the same name.
std::string FoldedName(const std::string& name) {
    std::string folded = name;
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return folded;
}

// A file name for an entry whose name an earlier entry already took:
// "~" and its index before the first ".", kept unique among the used names.
std::string DistinctName(const std::string& name, size_t index, const std::unordered_set<std::string>& used) {
    const size_t dot = name.find('.');
    const std::string base = name.substr(0, dot);
    const std::string rest = dot == std::string::npos ? std::string() : name.substr(dot);
    std::string mark = "~" + std::to_string(index);
    while (used.count(FoldedName(base + mark + rest)) != 0) mark += "~";
    return base + mark + rest;
}

int CmdList(const TArgs& args) {
    if (args.size() != 1) throw TUsageError{"list takes exactly one archive"};
    Concerning(args[0]);
    TFileFolder folder(args[0]);
    std::printf("%5s  %-31s  %5s  %10s  %10s\n", "Index", "Name", "Kind", "Size", "Offset");
    for (size_t i = 0; i < folder.Dir.size(); ++i) {
        const TDirEntry& e = folder.Dir[i];
        std::printf("%5zu  %-31s  %5u  %10u  %10u\n", i, PrintableName(e.Name).c_str(), static_cast<unsigned>(e.Kind),
                    static_cast<unsigned>(e.Size), static_cast<unsigned>(e.Offset));
    }
    return 0;
}

int CmdExtract(const TArgs& args) {
    std::string dir = ".";
    std::string archive;
    std::vector<std::string> names;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o") {
            dir = OptionValue(args, i);
        } else if (archive.empty()) {
            archive = args[i];
        } else {
            names.push_back(args[i]);
        }
    }
    if (archive.empty()) throw TUsageError{"extract needs an archive"};

    Concerning(archive);
    TFileFolder folder(archive);
    // Entries are taken by slot, not looked up by name, so entries that
    // share a name are each extracted: every entry, or every entry of each
    // name asked for.
    std::vector<size_t> slots;
    if (names.empty()) {
        for (size_t i = 0; i < folder.Dir.size(); ++i) slots.push_back(i);
    } else {
        std::unordered_set<size_t> chosen;
        for (const std::string& name : names) {
            const std::string wanted = FoldedName(name);
            bool found = false;
            for (size_t i = 0; i < folder.Dir.size(); ++i) {
                if (FoldedName(folder.Dir[i].Name) != wanted) continue;
                found = true;
                if (chosen.insert(i).second) slots.push_back(i);
            }
            if (!found) throw OrvException("Cannot load file (wrong file name): " + PrintableName(name), false);
        }
        std::sort(slots.begin(), slots.end());
    }
    // Every name is checked before anything is written.
    for (size_t i : slots)
        if (!IsSafeFileName(folder.Dir[i].Name))
            throw OrvException("Cannot extract file (unsafe name): " + PrintableName(folder.Dir[i].Name), false);
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (!std::filesystem::is_directory(dir)) throw OrvException("Cannot create folder " + dir, false);

    // A later entry of a name already written (letter case aside: the
    // archive, and a case-blind disk, would not tell them apart) would
    // overwrite the earlier file; it is written under a name of its own.
    std::unordered_set<std::string> used;
    std::unordered_map<std::string, size_t> firstOf;
    for (size_t i : slots) firstOf.emplace(FoldedName(folder.Dir[i].Name), i);
    for (size_t i : slots) used.insert(FoldedName(folder.Dir[i].Name));
    for (size_t i : slots) {
        const std::string& name = folder.Dir[i].Name;
        std::string fileName = name;
        const size_t first = firstOf[FoldedName(name)];
        if (first != i) {
            fileName = DistinctName(name, i, used);
            used.insert(FoldedName(fileName));
            std::fprintf(stderr, "zxc extract: entry %zu \"%s\" shares its name with entry %zu; written as \"%s\"\n", i,
                         PrintableName(name).c_str(), first, PrintableName(fileName).c_str());
        }
        folder.LoadFileAt(i);
        folder.Files[i].Stream->SaveToFile(dir + "/" + fileName);
        folder.Files[i].Stream->Clear();  // one entry in memory at a time
        folder.Files[i].State = fsNotLoaded;
    }
    return 0;
}

// The arguments of pack and add: the archive, the files, one --kind and
// whether pictures are split.
struct TPackArgs {
    std::string Archive;
    std::vector<std::string> Files;
    uint16_t Kind = 0;
    bool Split = false;
};

TPackArgs ParsePackArgs(const TArgs& args) {
    TPackArgs parsed;
    bool kindGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--kind") {
            if (kindGiven) throw TUsageError{"--kind given twice"};
            const std::string& value = OptionValue(args, i);
            char* end = nullptr;
            const long v = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || v < 0 || v > 65535)
                throw TUsageError{"--kind wants a number 0..65535, not " + value};
            parsed.Kind = static_cast<uint16_t>(v);
            kindGiven = true;
        } else if (args[i] == "--split") {
            parsed.Split = true;
        } else if (parsed.Archive.empty()) {
            parsed.Archive = args[i];
        } else {
            parsed.Files.push_back(args[i]);
        }
    }
    if (parsed.Archive.empty() || parsed.Files.empty())
        throw TUsageError{"an archive and at least one file are needed"};
    return parsed;
}

// Adds every file under its base name, then writes the archive; nothing is
// written unless every file could be added.
void AddFilesAndSave(TFileFolder& folder, const TPackArgs& parsed) {
    for (const std::string& file : parsed.Files) {
        Concerning(file);
        TMemoryStream data;
        // An entry holds at most 4 GiB - 1 bytes; a pipe is read too.
        data.LoadFromFile(file, 0xFFFFFFFFull, TFileKinds::AlsoStreams);
        const std::string name = std::filesystem::path(file).filename().string();
        // Only base.png splits and only base.aim is packed as a script: an
        // entry's extension is all after its first ".".
        const size_t dot = name.find('.');
        const std::string ext = dot == std::string::npos ? std::string() : name.substr(dot + 1);
        if (parsed.Split && ext.size() == 3 && (ext[0] | 0x20) == 'p' && (ext[1] | 0x20) == 'n' &&
            (ext[2] | 0x20) == 'g')
            TPNGMorf::AddSplitPicture(folder, name, data, 90);
        else if (parsed.Split && ext == "aim")
            folder.AddFile(name.substr(0, dot) + "._aim", 1, data);  // preparation runs it
        else
            folder.AddFile(name, parsed.Kind, data);
    }
    Concerning(parsed.Archive);
    folder.SaveToFile();
}

int CmdPack(const TArgs& args) {
    const TPackArgs parsed = ParsePackArgs(args);
    Concerning(parsed.Archive);
    TFileFolder folder = TFileFolder::CreateNew(parsed.Archive);
    AddFilesAndSave(folder, parsed);
    return 0;
}

int CmdAdd(const TArgs& args) {
    const TPackArgs parsed = ParsePackArgs(args);
    Concerning(parsed.Archive);
    TFileFolder folder(parsed.Archive);
    AddFilesAndSave(folder, parsed);
    return 0;
}

int CmdVerify(const TArgs& args) {
    if (args.size() != 1) throw TUsageError{"verify takes exactly one archive"};
    Concerning(args[0]);
    TFileFolder folder(args[0]);
    // The names are indexed once; a look-up per entry would make a full
    // archive of 65535 entries take quadratic time.
    std::unordered_map<std::string, size_t> firstOf;
    firstOf.reserve(folder.Dir.size());
    int problems = 0;
    for (size_t i = 0; i < folder.Dir.size(); ++i) {
        const std::string& name = folder.Dir[i].Name;
        const auto [at, isFirst] = firstOf.emplace(FoldedName(name), i);
        if (!isFirst) {
            // Look-ups by name never reach this entry.
            std::fprintf(stderr, "%zu %s: same name as entry %zu\n", i, PrintableName(name).c_str(), at->second);
            ++problems;
            continue;
        }
        try {
            folder.LoadFileAt(i);
            folder.Files[i].Stream->Clear();  // only readability matters here
            folder.Files[i].State = fsNotLoaded;
        } catch (const OrvException& e) {
            std::fprintf(stderr, "%zu %s: %s\n", i, PrintableName(name).c_str(), e.what());
            ++problems;
        }
    }
    std::printf("%zu entries, %d with problems\n", folder.Dir.size(), problems);
    return problems == 0 ? 0 : 1;
}

int CmdScramble(const TArgs& args) {
    std::string key(GameFileKey);
    std::vector<std::string> paths;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--key") {
            key = OptionValue(args, i);
        } else {
            paths.push_back(args[i]);
        }
    }
    if (paths.size() != 2) throw TUsageError{"an input and an output file are needed"};
    Concerning(paths[0]);
    TMemoryStream source;
    source.LoadFromFile(paths[0], kDefaultMaxFileSize, TFileKinds::AlsoStreams);
    TMemoryStream result;
    ScrambleStream(source, result, key);
    Concerning(paths[1]);
    result.SaveToFile(paths[1]);
    return 0;
}

int CmdPrepare(const TArgs& args) {
    if (args.size() != 2) throw TUsageError{"prepare takes a source and a destination archive"};
    Concerning(args[0]);
    CreateFoldersFor(args[1]);
    TPNGMorf(90).ProcessArchive(args[0], args[1]);
    return 0;
}

struct TZxcCommand {
    const char* Name;
    size_t MinArgs;
    int (*Handler)(const TArgs& args);
    const char* Usage;
};

const TZxcCommand Commands[] = {
    {"list", 1, CmdList, "zxc list ARCHIVE"},
    {"extract", 1, CmdExtract, "zxc extract ARCHIVE [NAME...] [-o DIR]"},
    {"pack", 2, CmdPack, "zxc pack [--split] OUT FILE... [--kind N]"},
    {"prepare", 2, CmdPrepare, "zxc prepare SRC DEST"},
    {"add", 2, CmdAdd, "zxc add [--split] ARCHIVE FILE... [--kind N]"},
    {"verify", 1, CmdVerify, "zxc verify ARCHIVE"},
    {"scramble", 2, CmdScramble, "zxc scramble IN OUT [--key KEY]"},
    {"unscramble", 2, CmdScramble, "zxc unscramble IN OUT [--key KEY]"},
};

// An error reaching the top: printed with the file it concerns (unless the
// message names it already), exit code 1.
int Failed(const std::string& message) {
    const std::string& file = ConcernedFile();
    if (file.empty() || message.find(file) != std::string::npos)
        std::fprintf(stderr, "%s\n", PrintableText(message).c_str());
    else
        std::fprintf(stderr, "%s: %s\n", PrintableText(file).c_str(), PrintableText(message).c_str());
    return 1;
}

void PrintUsage() {
    std::fprintf(stderr, "usage:\n");
    for (const TZxcCommand& c : Commands) std::fprintf(stderr, "  %s\n", c.Usage);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        PrintUsage();
        return 2;
    }
    const std::string name = argv[1];
    const TArgs args(argv + 2, argv + argc);
    for (const TZxcCommand& c : Commands) {
        if (name != c.Name) continue;
        try {
            if (args.size() < c.MinArgs) throw TUsageError{"too few arguments"};
            return c.Handler(args);
        } catch (const TUsageError& e) {
            std::fprintf(stderr, "zxc %s: %s\nusage: %s\n", c.Name, e.Message.c_str(), c.Usage);
            return 2;
        } catch (const std::exception& e) {
            return Failed(e.what());
        } catch (...) {
            return Failed("an error of unknown kind");
        }
    }
    std::fprintf(stderr, "zxc: unknown command %s\n", name.c_str());
    PrintUsage();
    return 2;
}
