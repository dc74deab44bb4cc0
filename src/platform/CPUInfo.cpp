#include "platform/CPUInfo.h"

#include "base/OrvStream.h"

#include <sstream>

namespace {

std::string TrimBlanks(const std::string& s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

}  // namespace

std::string TCPUInfo::ProcessorNameFromCpuInfo(const std::string& cpuinfo) {
    std::istringstream in(cpuinfo);
    std::string line;
    std::string name;
    int processors = 0;
    while (std::getline(in, line)) {
        const size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        const std::string key = TrimBlanks(line.substr(0, colon));
        const std::string value = TrimBlanks(line.substr(colon + 1));
        if (key == "processor") ++processors;
        // x86 says "model name"; ARM and others use "Hardware" or "cpu model".
        if (name.empty() && (key == "model name" || key == "Hardware" || key == "cpu model" || key == "cpu"))
            name = value;
    }
    // Runs of blanks inside vendor strings are common; one blank reads better.
    std::string compact;
    for (char c : name) {
        if (c == ' ' && !compact.empty() && compact.back() == ' ') continue;
        compact += c;
    }
    if (compact.empty()) compact = "Unknown processor";
    if (processors > 0)
        compact +=
            " (" + std::to_string(processors) + (processors == 1 ? " logical processor)" : " logical processors)");
    return compact;
}

std::string TCPUInfo::ProcessorName() {
    std::string text;
    if (!ReadWholeFile("/proc/cpuinfo", text)) return "Unknown processor";
    return ProcessorNameFromCpuInfo(text);
}
