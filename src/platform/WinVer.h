// Operating-system name and memory size for the log's system information.
#pragma once

#include <cstdint>
#include <string>

class TWinVer {
public:
    // The system's name and version in words, e.g.
    // "Debian GNU/Linux 12 (bookworm), Linux 6.1.0-18-amd64 x86_64".
    static std::string OsName();
    // The pretty name from the text of an os-release file ("PRETTY_NAME",
    // else "NAME" + "VERSION"); "Linux" when it names nothing.
    static std::string OsNameFromOsRelease(const std::string& osRelease);
    // Total physical memory in bytes (0 when unknown).
    static uint64_t TotalMemoryBytes();
    // Whole megabytes of a byte count (bytes / 2^20, fraction dropped).
    static uint64_t WholeMegabytes(uint64_t bytes) { return bytes >> 20; }
};
