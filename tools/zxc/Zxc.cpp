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
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
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

// A name as it can be shown on a terminal: control bytes (and the zero
// byte, which would cut the name short) as \xNN, so a crafted archive
// cannot send escape sequences or break the columns. Other bytes, UTF-8
// included, stay as they are.
std::string PrintableName(const std::string& name) {
    std::string out;
    for (char c : name) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 32 || u == 127 || c == '\\') {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", u);
            out += buf;
        } else {
            out += c;
        }
    }
    return out;
}

int CmdList(const TArgs& args) {
    if (args.size() != 1) throw TUsageError{"list takes exactly one archive"};
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

    TFileFolder folder(archive);
    if (names.empty()) {
        for (const TDirEntry& e : folder.Dir) names.push_back(e.Name);
    }
    // Every name is checked before anything is written.
    for (const std::string& name : names) {
        if (folder.IndexOf(name) < 0)
            throw OrvException("Cannot load file (wrong file name): " + PrintableName(name), false);
        if (!IsSafeFileName(folder.Dir[static_cast<size_t>(folder.IndexOf(name))].Name))
            throw OrvException("Cannot extract file (unsafe name): " + PrintableName(name), false);
    }
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (!std::filesystem::is_directory(dir)) throw OrvException("Cannot create folder " + dir, false);
    for (const std::string& name : names) {
        const TMemoryStream* data = folder.Stream(name);
        const std::string target = dir + "/" + folder.Dir[static_cast<size_t>(folder.IndexOf(name))].Name;
        data->SaveToFile(target);
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
    folder.SaveToFile();
}

int CmdPack(const TArgs& args) {
    const TPackArgs parsed = ParsePackArgs(args);
    TFileFolder folder = TFileFolder::CreateNew(parsed.Archive);
    AddFilesAndSave(folder, parsed);
    return 0;
}

int CmdAdd(const TArgs& args) {
    const TPackArgs parsed = ParsePackArgs(args);
    TFileFolder folder(parsed.Archive);
    AddFilesAndSave(folder, parsed);
    return 0;
}

int CmdVerify(const TArgs& args) {
    if (args.size() != 1) throw TUsageError{"verify takes exactly one archive"};
    TFileFolder folder(args[0]);
    int problems = 0;
    for (size_t i = 0; i < folder.Dir.size(); ++i) {
        const std::string& name = folder.Dir[i].Name;
        const int first = folder.IndexOf(name);
        if (first != static_cast<int>(i)) {
            // Lookups by name never reach this entry.
            std::fprintf(stderr, "%zu %s: same name as entry %d\n", i, PrintableName(name).c_str(), first);
            ++problems;
            continue;
        }
        try {
            folder.LoadFile(name);
            folder.Files[i].Stream->Clear();  // only readability matters here
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
    TMemoryStream source;
    source.LoadFromFile(paths[0], kDefaultMaxFileSize, TFileKinds::AlsoStreams);
    TMemoryStream result;
    ScrambleStream(source, result, key);
    result.SaveToFile(paths[1]);
    return 0;
}

int CmdPrepare(const TArgs& args) {
    if (args.size() != 2) throw TUsageError{"prepare takes a source and a destination archive"};
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
            std::fprintf(stderr, "%s\n", e.what());
            return 1;
        }
    }
    std::fprintf(stderr, "zxc: unknown command %s\n", name.c_str());
    PrintUsage();
    return 2;
}
