#include <gtest/gtest.h>

#include "platform/CPUInfo.h"
#include "platform/WinVer.h"

namespace {

TEST(SystemInfoTest, ProcessorNameFromCpuInfo) {
    EXPECT_EQ(TCPUInfo::ProcessorNameFromCpuInfo("processor\t: 0\nmodel name\t: Intel(R)  Core(TM)   i5\n"
                                                 "processor\t: 1\nmodel name\t: Intel(R)  Core(TM)   i5\n"),
              "Intel(R) Core(TM) i5 (2 logical processors)");
    EXPECT_EQ(TCPUInfo::ProcessorNameFromCpuInfo("processor : 0\nHardware : BCM2835\n"),
              "BCM2835 (1 logical processor)");
    EXPECT_EQ(TCPUInfo::ProcessorNameFromCpuInfo(""), "Unknown processor");
    EXPECT_FALSE(TCPUInfo::ProcessorName().empty());
}

TEST(SystemInfoTest, OsNameAndMemory) {
    EXPECT_EQ(
        TWinVer::OsNameFromOsRelease("NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n"),
        "Debian GNU/Linux 12 (bookworm)");
    EXPECT_EQ(TWinVer::OsNameFromOsRelease("NAME=Fedora\nVERSION='39 (Workstation)'\n"), "Fedora 39 (Workstation)");
    EXPECT_EQ(TWinVer::OsNameFromOsRelease("garbage"), "Linux");
    EXPECT_EQ(TWinVer::WholeMegabytes((3ull << 20) + (1ull << 20) - 1), 3u);
    EXPECT_GT(TWinVer::TotalMemoryBytes(), 0u);
    EXPECT_FALSE(TWinVer::OsName().empty());
}

}  // namespace
