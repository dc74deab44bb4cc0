// The processor's name for the log's system information.
#pragma once

#include <string>

class TCPUInfo {
public:
    // The processor's marketing name with its logical processor count, e.g.
    // "AMD EPYC 7B13 (2 logical processors)"; "Unknown processor" when the
    // system does not tell.
    static std::string ProcessorName();
    // The same from the text of a /proc/cpuinfo file (testable without the
    // machine's own file).
    static std::string ProcessorNameFromCpuInfo(const std::string& cpuinfo);
};
