// The shared whole-file reader against what a hostile or unlucky user may put
// in a file's place: folders, pipes without a writer, endless devices, links
// to them, files past the cap. None may hang, abort, or read without limit.
#include "base/FileReader.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "base/FileFolder.h"
#include "base/OrvException.h"
#include "base/OrvLog.h"
#include "base/OrvStream.h"

namespace {

class FileReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ =
            std::filesystem::temp_directory_path() / ("moswick-reader-" + std::to_string(getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    std::string Write(const std::string& name, const std::string& bytes) {
        std::ofstream(Path(name), std::ios::binary) << bytes;
        return Path(name);
    }
    std::string Fifo(const std::string& name) {
        EXPECT_EQ(::mkfifo(Path(name).c_str(), 0600), 0);
        return Path(name);
    }
    std::filesystem::path dir_;
};

std::string MessageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const OrvException& e) {
        return e.Message();
    } catch (...) {
        return "(an exception that is not OrvException)";
    }
    return "(no error)";
}

TEST_F(FileReaderTest, ReadsRegularFilesWholeUpToAndIncludingTheCap) {
    const std::string bytes("a\0b\r\nc", 6);
    EXPECT_EQ(ReadFileText(Write("six", bytes), 6), bytes);
    EXPECT_EQ(ReadFileText(Write("empty", "")), "");
    EXPECT_EQ(ReadFileBytes(Path("six")).size(), 6u);
    EXPECT_EQ(MessageOf([&] { ReadFileText(Path("six"), 5); }),
              "Cannot read file " + Path("six") + " (larger than 5 bytes)");
    // A /proc file claims a size of 0 and is read all the same.
    EXPECT_NE(ReadFileText("/proc/self/status").find("Name:"), std::string::npos);
}

TEST_F(FileReaderTest, EveryFailureIsAnOrvExceptionNamingTheFile) {
    std::filesystem::create_directories(Path("folder"));
    EXPECT_EQ(MessageOf([&] { ReadFileText(Path("missing")); }), "Cannot open file " + Path("missing"));
    EXPECT_EQ(MessageOf([&] { ReadFileText(Path("folder")); }),
              "Cannot read file " + Path("folder") + " (it is a folder)");
    EXPECT_EQ(MessageOf([&] { ReadFileText(Path("folder"), 10, TFileKinds::AlsoStreams); }),
              "Cannot read file " + Path("folder") + " (it is a folder)");
    EXPECT_EQ(MessageOf([&] { ReadFileText("/dev/zero"); }), "Cannot read file /dev/zero (not a regular file)");

    // The non-throwing form reports the same without a word in the log.
    std::string out = "old";
    std::string error;
    TReadFailure failure = TReadFailure::None;
    EXPECT_FALSE(TryReadFile(Path("folder"), out, error, 100, TFileKinds::RegularOnly, &failure));
    EXPECT_EQ(failure, TReadFailure::NotAFile);
    EXPECT_EQ(out, "");
    EXPECT_EQ(error, "Cannot read file " + Path("folder") + " (it is a folder)");
    EXPECT_FALSE(TryReadFile(Path("missing"), out, error, 100, TFileKinds::RegularOnly, &failure));
    EXPECT_EQ(failure, TReadFailure::CannotOpen);
}

TEST_F(FileReaderTest, PipesAreRefusedOrReadWithoutHanging) {
    // No writer: refused at once for the game's files, and read as empty
    // (not waited on) when streams are allowed.
    const std::string fifo = Fifo("fifo");
    EXPECT_EQ(MessageOf([&] { ReadFileText(fifo); }), "Cannot read file " + fifo + " (not a regular file)");
    EXPECT_EQ(ReadFileText(fifo, 100, TFileKinds::AlsoStreams), "");

    // A pipe with a writer (as --input <(generator) gives) is read to its
    // end, and only up to the cap.
    const auto pipeHolding = [](const std::string& bytes, int fds[2]) {
        EXPECT_EQ(::pipe(fds), 0);
        EXPECT_EQ(::write(fds[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        ::close(fds[1]);
        return "/dev/fd/" + std::to_string(fds[0]);
    };
    int fds[2];
    const std::string script = pipeHolding("frame 1 quit\n", fds);
    EXPECT_EQ(ReadFileText(script, 100, TFileKinds::AlsoStreams), "frame 1 quit\n");
    ::close(fds[0]);
    const std::string flood = pipeHolding(std::string(5000, 'x'), fds);
    EXPECT_EQ(MessageOf([&] { ReadFileText(flood, 1000, TFileKinds::AlsoStreams); }),
              "Cannot read file " + flood + " (larger than 1000 bytes)");
    ::close(fds[0]);
}

TEST_F(FileReaderTest, EndlessDevicesAndLinksToThemStopAtTheCap) {
    std::filesystem::create_symlink("/dev/zero", Path("options.cfg"));
    EXPECT_EQ(MessageOf([&] { ReadFileText(Path("options.cfg")); }),
              "Cannot read file " + Path("options.cfg") + " (not a regular file)");
    EXPECT_EQ(MessageOf([&] { ReadFileText(Path("options.cfg"), 1 << 20, TFileKinds::AlsoStreams); }),
              "Cannot read file " + Path("options.cfg") + " (larger than 1048576 bytes)");
}

TEST_F(FileReaderTest, StreamAndArchiveRefuseFoldersAndPipesByName) {
    std::filesystem::create_directories(Path("game.zxc"));
    EXPECT_EQ(MessageOf([&] { TFileFolder f(Path("game.zxc")); }),
              "Cannot read file " + Path("game.zxc") + " (it is a folder)");
    const std::string fifo = Fifo("pipe.zxc");
    EXPECT_EQ(MessageOf([&] { TFileFolder f(fifo); }), "Cannot read file " + fifo + " (not a regular file)");

    // A failed load leaves the stream as it was.
    TMemoryStream stream(std::string_view("kept"));
    EXPECT_THROW(stream.LoadFromFile(Path("game.zxc")), OrvException);
    EXPECT_EQ(stream.AsString(), "kept");
    EXPECT_THROW(stream.LoadFromFile(Write("big", "12345"), 4), OrvException);
    EXPECT_EQ(stream.AsString(), "kept");
}

TEST_F(FileReaderTest, TheLogSurvivesAFolderOrPipeInItsPlace) {
    // A folder: the line is lost, the folder (and what is in it) stays.
    std::filesystem::create_directories(Path("Moswick.log"));
    Write("Moswick.log/keep", "mine");
    TOrvLog::Instance().Open(Path("Moswick.log"), 0);
    EXPECT_NO_THROW(TOrvLog::Instance().Write("a line"));
    TOrvLog::Instance().Close();
    EXPECT_TRUE(std::filesystem::is_directory(Path("Moswick.log")));
    EXPECT_EQ(ReadFileText(Path("Moswick.log/keep")), "mine");
    std::filesystem::remove_all(Path("Moswick.log"));

    // A pipe nobody reads: never waited on, replaced by the log itself.
    const std::string fifo = Fifo("other.log");
    TOrvLog::WriteLine(fifo, 0, "first");
    EXPECT_EQ(ReadFileText(fifo), "{0:0:0} first\r\n");
}

TEST_F(FileReaderTest, ALogPastItsCapKeepsItsLinesInsteadOfStartingOver) {
    const std::string path = Write("big.log", std::string(TOrvLog::kMaxLogSize + 1, 'x'));
    TOrvLog::WriteLine(path, 0, "one more");
    EXPECT_EQ(std::filesystem::file_size(path), TOrvLog::kMaxLogSize + 1);
}

}  // namespace
