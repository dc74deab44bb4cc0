#include "platform/WinVer.h"

#include "base/OrvStream.h"

#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <sstream>

namespace {

std::string Unquote(std::string v) {
    while (!v.empty() && (v.back() == '\r' || v.back() == ' ')) v.pop_back();
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    return v;
}

}  // namespace

std::string TWinVer::OsNameFromOsRelease(const std::string& osRelease) {
    std::istringstream in(osRelease);
    std::string line;
    std::string pretty;
    std::string name;
    std::string version;
    while (std::getline(in, line)) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = line.substr(0, eq);
        const std::string value = Unquote(line.substr(eq + 1));
        if (key == "PRETTY_NAME")
            pretty = value;
        else if (key == "NAME")
            name = value;
        else if (key == "VERSION")
            version = value;
    }
    if (!pretty.empty()) return pretty;
    if (!name.empty()) return version.empty() ? name : name + " " + version;
    return "Linux";
}

std::string TWinVer::OsName() {
    std::string text;
    if (!ReadWholeFile("/etc/os-release", text)) ReadWholeFile("/usr/lib/os-release", text);
    std::string result = OsNameFromOsRelease(text);
    struct utsname u {};
    if (uname(&u) == 0) result += std::string(", ") + u.sysname + " " + u.release + " " + u.machine;
    return result;
}

uint64_t TWinVer::TotalMemoryBytes() {
    struct sysinfo si {};
    if (sysinfo(&si) != 0) return 0;
    return static_cast<uint64_t>(si.totalram) * static_cast<uint64_t>(si.mem_unit);
}
