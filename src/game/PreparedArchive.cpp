#include "game/PreparedArchive.h"

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "base/FileFolder.h"
#include "base/FileReader.h"
#include "base/OrvException.h"
#include "base/OrvStream.h"

namespace {

// A stamp is a few lines; anything longer is not one.
constexpr uint64_t kMaxStampSize = 4096;

struct TFileCloser {
    void operator()(std::FILE* f) const {
        if (f) std::fclose(f);
    }
};

// FNV-1a, 64 bits: enough to tell one archive directory from another.
uint64_t Checksum(const uint8_t* data, size_t size) {
    uint64_t h = 14695981039346656037ull;
    for (size_t i = 0; i < size; ++i) {
        h ^= data[i];
        h *= 1099511628211ull;
    }
    return h;
}

bool ParseNumber(const std::string& text, uint64_t& out) {
    if (text.empty() || text.size() > 20) return false;
    uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        const uint64_t digit = static_cast<uint64_t>(c - '0');
        if (v > (UINT64_MAX - digit) / 10) return false;
        v = v * 10 + digit;
    }
    out = v;
    return true;
}

// The size of a file, or false when it is no regular file.
bool RegularFileSize(const std::string& path, uint64_t& size) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    size = static_cast<uint64_t>(st.st_size);
    return true;
}

// Why an archive that opens is still unusable: an entry past its end.
std::string EntryPastEnd(const TFileFolder& folder, uint64_t fileSize) {
    for (size_t i = 0; i < folder.Dir.size(); ++i) {
        const uint64_t end = uint64_t(folder.DataOffset()) + folder.Dir[i].Offset + folder.Dir[i].Size;
        if (end > fileSize) return "its entry " + std::to_string(i) + " runs past its end";
    }
    return {};
}

}  // namespace

std::string TPreparedStamp::ToText() const {
    return "SourceSize=" + std::to_string(SourceSize) + "\nSourceTime=" + std::to_string(SourceTime) +
           "\nSourceDirectory=" + std::to_string(SourceDirectory) + "\nPreparedSize=" + std::to_string(PreparedSize) +
           "\n";
}

bool TPreparedStamp::Parse(const std::string& text, TPreparedStamp& out) {
    TPreparedStamp s;
    int seen = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (line.empty()) continue;
        const size_t eq = line.find('=');
        if (eq == std::string::npos) return false;
        const std::string key = line.substr(0, eq);
        uint64_t value = 0;
        if (!ParseNumber(line.substr(eq + 1), value)) return false;
        if (key == "SourceSize") {
            s.SourceSize = value;
        } else if (key == "SourceTime") {
            s.SourceTime = static_cast<int64_t>(value);
        } else if (key == "SourceDirectory") {
            s.SourceDirectory = value;
        } else if (key == "PreparedSize") {
            s.PreparedSize = value;
        } else {
            return false;
        }
        ++seen;
    }
    if (seen != 4) return false;
    out = s;
    return true;
}

std::string StampPathOf(const std::string& dest) {
    return dest + ".stamp";
}

bool DescribeSource(const std::string& source, TPreparedStamp& out) {
    try {
        std::unique_ptr<std::FILE, TFileCloser> f(OpenRegularFileForReading(source));
        struct stat st {};
        if (::fstat(::fileno(f.get()), &st) != 0) return false;
        out.SourceSize = static_cast<uint64_t>(st.st_size);
        out.SourceTime = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        // The header and directory: at most 8 + 48 x 65535 bytes, and what
        // changes when an entry is added, removed, renamed or resized.
        uint8_t header[TFileFolder::HeaderSize] = {};
        const size_t got = std::fread(header, 1, sizeof header, f.get());
        const size_t count = got == sizeof header ? size_t(header[4] | (header[5] << 8)) : 0;
        std::vector<uint8_t> bytes(header, header + got);
        bytes.resize(got + TFileFolder::DirEntrySize * count);
        const size_t dir = count == 0 ? 0 : std::fread(bytes.data() + got, 1, bytes.size() - got, f.get());
        bytes.resize(got + dir);
        out.SourceDirectory = Checksum(bytes.data(), bytes.size());
        return true;
    } catch (const OrvException&) {
        return false;
    }
}

std::string WhyPrepareAgain(const std::string& source, const std::string& dest) {
    TPreparedStamp now;
    if (!DescribeSource(source, now)) return {};
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::symlink_status(dest, ec))) return {};

    std::string text;
    std::string error;
    TPreparedStamp made;
    if (!TryReadFile(StampPathOf(dest), text, error, kMaxStampSize) || !TPreparedStamp::Parse(text, made))
        return "there is no record of what it was made from";
    if (made.SourceSize != now.SourceSize || made.SourceTime != now.SourceTime ||
        made.SourceDirectory != now.SourceDirectory)
        return "the shipped archive " + source + " is not the one it was made from";
    uint64_t size = 0;
    if (!RegularFileSize(dest, size)) return "it is not a regular file";
    if (size != made.PreparedSize) return "it was cut short or changed after it was made";
    try {
        const TFileFolder folder(dest);
        return EntryPastEnd(folder, size);
    } catch (const OrvException& e) {
        return "it does not open (" + e.Message() + ")";
    }
}

bool DiscardPrepared(const std::string& dest) {
    std::error_code ec;
    std::filesystem::remove(StampPathOf(dest), ec);
    std::filesystem::remove(dest, ec);
    return !std::filesystem::exists(std::filesystem::symlink_status(dest, ec));
}

bool RecordPreparation(const std::string& source, const std::string& dest) {
    TPreparedStamp stamp;
    if (!DescribeSource(source, stamp) || !RegularFileSize(dest, stamp.PreparedSize)) return false;
    const std::string text = stamp.ToText();
    return WriteFileAtomically(StampPathOf(dest), text.data(), text.size());
}
