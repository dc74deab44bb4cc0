#include "platform/IniFile.h"

#include "base/FileReader.h"
#include "base/OrvException.h"
#include "base/OrvLog.h"
#include "base/OrvStream.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>

#include <cerrno>
#include <cstdlib>
#include <limits>

namespace {

std::string Trim(const std::string& s) {
    size_t b = 0;
    size_t e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
    return s.substr(b, e - b);
}

bool SameText(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
        if (x != y) return false;
    }
    return true;
}

bool ParseInteger(const std::string& text, int32_t& out) {
    std::string t = Trim(text);
    if (t.empty()) return false;
    bool negative = false;
    size_t i = 0;
    if (t[0] == '+' || t[0] == '-') {
        negative = t[0] == '-';
        i = 1;
    }
    int base = 10;
    if (t.compare(i, 2, "0x") == 0 || t.compare(i, 2, "0X") == 0) {
        base = 16;
        i += 2;
    } else if (i < t.size() && t[i] == '$') {
        base = 16;
        i += 1;
    }
    if (i >= t.size()) return false;
    int64_t value = 0;
    for (; i < t.size(); ++i) {
        const char c = t[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return false;
        value = value * base + digit;
        // Hexadecimal may spell the full 32-bit pattern (0xFFFFFFFF = -1).
        const int64_t limit = base == 16 ? 0xFFFFFFFFll : 2147483648ll;
        if (value > limit) return false;
    }
    if (base == 16 && !negative) {
        out = static_cast<int32_t>(static_cast<uint32_t>(value));
        return true;
    }
    if (negative) value = -value;
    if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max()) return false;
    out = static_cast<int32_t>(value);
    return true;
}

// The file at the end of a chain of symbolic links (relative links are taken
// from the folder of the link); the path itself when it is no link. A loop
// of links ends after 40 steps at the last link, which then fails to write.
std::string LinkTarget(const std::string& path) {
    std::string p = path;
    for (int step = 0; step < 40; ++step) {
        struct stat st {};
        if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p;
        std::string target(static_cast<size_t>(PATH_MAX), '\0');
        const ssize_t n = ::readlink(p.c_str(), target.data(), target.size());
        if (n <= 0) return p;
        target.resize(static_cast<size_t>(n));
        if (target.front() != '/') {
            const size_t slash = p.rfind('/');
            target = (slash == std::string::npos ? std::string() : p.substr(0, slash + 1)) + target;
        }
        p = target;
    }
    return p;
}

// A file nobody may write to. Checked on the mode bits as well as by access(),
// because a process running as root may write anything.
bool IsReadOnly(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(path.c_str(), W_OK) != 0;
}

}  // namespace

TIniFile::TIniFile(std::string path) : path_(std::move(path)) {
    std::string text;
    TReadFailure failure = TReadFailure::None;
    if (!TryReadFile(path_, text, error_, kMaxFileSize, TFileKinds::RegularOnly, &failure)) {
        // A missing file is an empty document. Anything else in its place (a
        // folder, a pipe, a device, a file too large) is left alone: its
        // values read as absent and writes fail instead of replacing it.
        if (failure == TReadFailure::CannotOpen && ::access(path_.c_str(), F_OK) != 0) {
            error_.clear();
            return;
        }
        refused_ = true;
        TOrvLog::Instance().Write(error_);
        return;
    }
    Parse(text);
}

void TIniFile::Parse(const std::string& text) {
    sections_.clear();
    sections_.push_back(Section{});
    size_t pos = 0;
    // A UTF-8 byte order mark in front of the first line is not part of it;
    // it is written back as it was found.
    byteOrderMark_ = text.compare(0, 3, "\xEF\xBB\xBF") == 0;
    if (byteOrderMark_) pos = 3;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string raw = text.substr(pos, end - pos);
        if (!raw.empty() && raw.back() == '\r') raw.pop_back();
        pos = end + 1;
        const std::string t = Trim(raw);
        if (!t.empty() && t.front() == '[') {
            const size_t close = t.find(']');
            Section s;
            s.Name = Trim(close == std::string::npos ? t.substr(1) : t.substr(1, close - 1));
            s.Header = raw;
            sections_.push_back(std::move(s));
            continue;
        }
        Line line;
        line.Raw = raw;
        const size_t eq = t.find('=');
        if (!t.empty() && t[0] != ';' && t[0] != '#' && eq != std::string::npos && eq > 0) {
            line.IsValue = true;
            line.Key = Trim(t.substr(0, eq));
            line.Value = Trim(t.substr(eq + 1));
        }
        sections_.back().Lines.push_back(std::move(line));
    }
}

const TIniFile::Section* TIniFile::FindSection(const std::string& name) const {
    for (size_t i = 1; i < sections_.size(); ++i)
        if (SameText(sections_[i].Name, name)) return &sections_[i];
    return nullptr;
}

TIniFile::Section* TIniFile::FindSection(const std::string& name) {
    return const_cast<Section*>(static_cast<const TIniFile*>(this)->FindSection(name));
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key, const std::string& def) const {
    const Section* s = FindSection(section);
    if (!s) return def;
    for (const Line& l : s->Lines) {
        if (!l.IsValue || !SameText(l.Key, key)) continue;
        std::string v = l.Value;
        if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
        return v;
    }
    return def;
}

int32_t TIniFile::ReadInteger(const std::string& section, const std::string& key, int32_t def) const {
    if (!ValueExists(section, key)) return def;
    int32_t v = 0;
    return ParseInteger(ReadString(section, key, ""), v) ? v : def;
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void TIniFile::WriteString(const std::string& section, const std::string& key, const std::string& rawValue) {
    // A line break inside a value would split it into lines of its own and
    // corrupt the file; it is stored as a blank instead.
    std::string value = rawValue;
    for (char& c : value)
        if (c == '\r' || c == '\n') c = ' ';
    if (sections_.empty()) sections_.push_back(Section{});
    Section* s = FindSection(section);
    if (!s) {
        Section ns;
        ns.Name = section;
        ns.Header = "[" + section + "]";
        sections_.push_back(std::move(ns));
        s = &sections_.back();
    }
    bool found = false;
    for (Line& l : s->Lines) {
        if (l.IsValue && SameText(l.Key, key)) {
            l.Value = value;
            l.Raw = l.Key + "=" + value;
            found = true;
            break;
        }
    }
    if (!found) {
        Line l;
        l.IsValue = true;
        l.Key = key;
        l.Value = value;
        l.Raw = key + "=" + value;
        // New keys go after the section's last key, before trailing blank lines.
        size_t at = s->Lines.size();
        while (at > 0 && Trim(s->Lines[at - 1].Raw).empty()) --at;
        s->Lines.insert(s->Lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(l));
    }
    Save();
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key, int32_t value) {
    WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

bool TIniFile::SectionExists(const std::string& section) const {
    return FindSection(section) != nullptr;
}

bool TIniFile::ValueExists(const std::string& section, const std::string& key) const {
    const Section* s = FindSection(section);
    if (!s) return false;
    for (const Line& l : s->Lines)
        if (l.IsValue && SameText(l.Key, key)) return true;
    return false;
}

std::vector<std::string> TIniFile::ReadSections() const {
    std::vector<std::string> names;
    for (size_t i = 1; i < sections_.size(); ++i) names.push_back(sections_[i].Name);
    return names;
}

std::vector<std::string> TIniFile::ReadSection(const std::string& section) const {
    std::vector<std::string> keys;
    const Section* s = FindSection(section);
    if (!s) return keys;
    for (const Line& l : s->Lines)
        if (l.IsValue) keys.push_back(l.Key);
    return keys;
}

void TIniFile::DeleteKey(const std::string& section, const std::string& key) {
    Section* s = FindSection(section);
    if (!s) return;
    for (auto it = s->Lines.begin(); it != s->Lines.end(); ++it) {
        if (it->IsValue && SameText(it->Key, key)) {
            s->Lines.erase(it);
            Save();
            return;
        }
    }
}

void TIniFile::EraseSection(const std::string& section) {
    for (size_t i = 1; i < sections_.size(); ++i) {
        if (SameText(sections_[i].Name, section)) {
            sections_.erase(sections_.begin() + static_cast<std::ptrdiff_t>(i));
            Save();
            return;
        }
    }
}

std::string TIniFile::Text() const {
    std::string out = byteOrderMark_ ? "\xEF\xBB\xBF" : "";
    for (size_t i = 0; i < sections_.size(); ++i) {
        const Section& s = sections_[i];
        if (i > 0) out += s.Header + "\r\n";
        for (const Line& l : s.Lines) out += l.Raw + "\r\n";
    }
    return out;
}

void TIniFile::Save() {
    if (refused_) throw OrvException("Cannot write file " + path_);
    // The rewrite goes to the file a link points at, so the link stays; and
    // a file the user made read-only stays as it is.
    const std::string target = LinkTarget(path_);
    if (IsReadOnly(target)) throw OrvException(path_ + " is read-only; settings are not saved");
    const std::string text = Text();
    if (!WriteFileAtomically(target, text.data(), text.size())) throw OrvException("Cannot write file " + path_);
}
