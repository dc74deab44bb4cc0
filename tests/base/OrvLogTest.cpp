#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "base/OrvException.h"
#include "base/OrvLog.h"
#include "base/OrvStream.h"

namespace {

// Per process: test runs in several build folders may go on at once.
std::string TempPath(const std::string& name) {
    return (std::filesystem::temp_directory_path() / ("moswick_test_" + std::to_string(::getpid()) + "_" + name))
        .string();
}

TEST(OrvLog, StampsHaveNoLeadingZeros) {
    EXPECT_EQ(TOrvLog::Stamp(3027), "{0:3:27} ");
    EXPECT_EQ(TOrvLog::Stamp(2 * 60000 + 5007), "{2:5:7} ");
    EXPECT_EQ(TOrvLog::Stamp(0), "{0:0:0} ");
    EXPECT_EQ(TOrvLog::Stamp(59999), "{0:59:999} ");
}

TEST(OrvLog, OpenDeletesOldFileAndEachLineIsAppendedWithCrLf) {
    const std::string path = TempPath("log.txt");
    {
        TMemoryStream old(std::string_view("stale\r\n"));
        old.SaveToFile(path);
    }
    uint32_t now = 1000;
    TOrvLog& log = TOrvLog::Instance();
    log.SetClock([&] { return now; });
    log.Open(path, 1000);
    now = 1000 + 3027;
    log.Write("first");
    now = 1000 + 125007;
    try {
        throw OrvException("boom");
    } catch (const OrvException& e) {
        EXPECT_EQ(e.Message(), "boom");
    }
    log.Close();
    log.SetClock(nullptr);

    std::string text;
    ASSERT_TRUE(ReadWholeFile(path, text));
    EXPECT_EQ(text, "{0:3:27} first\r\n{2:5:7} boom\r\n");
    std::remove(path.c_str());
}

TEST(OrvLog, RewritingLeavesOnlyTheLogAndAFailedWriteIsSilent) {
    const std::filesystem::path dir = TempPath("logdir");
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "Moswick.log").string();
    for (uint32_t ms = 0; ms < 3; ++ms) TOrvLog::WriteLine(path, ms, "line " + std::to_string(ms));
    std::string text;
    ASSERT_TRUE(ReadWholeFile(path, text));
    EXPECT_EQ(text, "{0:0:0} line 0\r\n{0:0:1} line 1\r\n{0:0:2} line 2\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()), 1);

    // A log in a folder that does not exist: nothing is written, nothing thrown.
    const std::string nowhere = (dir / "missing" / "Moswick.log").string();
    EXPECT_NO_THROW(TOrvLog::WriteLine(nowhere, 5, "lost"));
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
    std::filesystem::remove_all(dir);
}

TEST(OrvLog, LinesWrittenFromSeveralThreadsAtOnceAreAllKept) {
    const std::string path = TempPath("threads.log");
    std::remove(path.c_str());
    constexpr int kThreads = 4, kLines = 25;
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t)
        writers.emplace_back([&, t] {
            for (int i = 0; i < kLines; ++i)
                TOrvLog::WriteLine(path, 0, "t" + std::to_string(t) + " " + std::to_string(i));
        });
    for (std::thread& w : writers) w.join();
    std::string text;
    ASSERT_TRUE(ReadWholeFile(path, text));
    for (int t = 0; t < kThreads; ++t)
        for (int i = 0; i < kLines; ++i)
            EXPECT_NE(text.find("} t" + std::to_string(t) + " " + std::to_string(i) + "\r\n"), std::string::npos)
                << "thread " << t << " line " << i;
    std::remove(path.c_str());
}

TEST(MemoryStream, ReadsStopAtTheEndAndWritesPastItGrow) {
    TMemoryStream s(std::string_view("abc"));
    char buf[8] = {};
    EXPECT_EQ(s.Read(buf, 8), 3u);
    EXPECT_EQ(s.Read(buf, 8), 0u);
    s.Seek(5);
    s.Write("z", 1);
    EXPECT_EQ(s.Size(), 6u);
    EXPECT_EQ(s.Bytes()[3], 0);
    s.SetSize(2);
    EXPECT_EQ(s.Position(), 2u);
}

TEST(MemoryStream, SaveReplacesTheFileWholeAndFailsCleanly) {
    const std::string path = TempPath("stream.bin");
    TMemoryStream s(std::string_view("payload"));
    s.SaveToFile(path);
    TMemoryStream back;
    back.LoadFromFile(path);
    EXPECT_EQ(back.AsString(), "payload");
    std::remove(path.c_str());

    EXPECT_THROW(s.SaveToFile("/nonexistent-dir/x.bin"), OrvException);
    EXPECT_THROW(back.LoadFromFile("/nonexistent-dir/x.bin"), OrvException);
}

}  // namespace

#include "base/OrvRandom.h"

namespace {

TEST(OrvRandom, SameSeedSameSequenceAndRangesHold) {
    TOrvRandom a(42), b(42), c(43);
    bool differs = false;
    for (int i = 0; i < 100; ++i) {
        const uint32_t x = a.Next();
        EXPECT_EQ(x, b.Next());
        differs |= (x != c.Next());
    }
    EXPECT_TRUE(differs);
    for (int i = 0; i < 1000; ++i) {
        const int32_t v = a.Between(-3, 3);
        EXPECT_GE(v, -3);
        EXPECT_LE(v, 3);
        EXPECT_LT(a.Below(7), 7);
        const double u = a.Unit();
        EXPECT_GE(u, 0.0);
        EXPECT_LT(u, 1.0);
    }
    EXPECT_EQ(a.Below(0), 0);
    EXPECT_EQ(a.Between(5, 5), 5);
    const int32_t wide = a.Between(INT32_MIN, INT32_MAX);
    (void)wide;
}

}  // namespace
