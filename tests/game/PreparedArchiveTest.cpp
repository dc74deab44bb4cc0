// The decision whether the prepared copy of the archive is still current:
// the ways a copy goes stale or bad, each of which used to be kept in use.
#include "game/PreparedArchive.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "base/FileFolder.h"
#include "base/OrvStream.h"

namespace {

class PreparedArchiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ =
            std::filesystem::temp_directory_path() / ("moswick-prepared-" + std::to_string(getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_ / "temp");
        source_ = (dir_ / "game.zxc").string();
        dest_ = (dir_ / "temp" / "game.zxc").string();
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    static void MakeArchive(const std::string& path, const std::string& content, const std::string& name = "a.txt") {
        TFileFolder folder = TFileFolder::CreateNew(path);
        TMemoryStream a(content);
        folder.AddFile(name, 0, a);
        TMemoryStream b(std::string_view("second entry"));
        folder.AddFile("b.txt", 0, b);
        folder.SaveToFile();
    }
    // A preparation as start-up makes it: the copy, then its stamp.
    void Prepare(const std::string& content = "first") {
        MakeArchive(source_, content);
        std::filesystem::copy_file(source_, dest_, std::filesystem::copy_options::overwrite_existing);
        ASSERT_TRUE(RecordPreparation(source_, dest_));
    }

    std::filesystem::path dir_;
    std::string source_;
    std::string dest_;
};

TEST_F(PreparedArchiveTest, AFreshPreparationIsCurrentAndAMissingOneNeedsNoWords) {
    Prepare();
    EXPECT_EQ(WhyPrepareAgain(source_, dest_), "");
    std::filesystem::remove(dest_);
    EXPECT_EQ(WhyPrepareAgain(source_, dest_), "");
    // Without the shipped archive the preparation itself reports it.
    std::filesystem::remove(source_);
    EXPECT_EQ(WhyPrepareAgain(source_, dest_), "");
}

TEST_F(PreparedArchiveTest, ACopyCutShortOrDamagedIsPreparedAgain) {
    Prepare();
    std::filesystem::resize_file(dest_, std::filesystem::file_size(dest_) - 3);
    EXPECT_EQ(WhyPrepareAgain(source_, dest_), "it was cut short or changed after it was made");

    // Damaged to the same size: it no longer opens.
    Prepare();
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(dest_, bytes));
    bytes[0] = 'X';
    ASSERT_TRUE(WriteFileAtomically(dest_, bytes.data(), bytes.size()));
    EXPECT_EQ(WhyPrepareAgain(source_, dest_), "it does not open (Cannot open FileFolder (broked label))");

    // A copy left by an older game, without a stamp.
    Prepare();
    std::filesystem::remove(StampPathOf(dest_));
    EXPECT_EQ(WhyPrepareAgain(source_, dest_), "there is no record of what it was made from");
    std::ofstream(StampPathOf(dest_)) << "SourceSize=12\nnonsense\n";
    EXPECT_EQ(WhyPrepareAgain(source_, dest_), "there is no record of what it was made from");
}

TEST_F(PreparedArchiveTest, ReplacingTheShippedArchiveMakesTheCopyStale) {
    Prepare("first");
    // An entry renamed, the file's size and time as they were: only the
    // directory's checksum tells the archives apart.
    const auto time = std::filesystem::last_write_time(source_);
    MakeArchive(source_, "first", "c.txt");
    std::filesystem::last_write_time(source_, time);
    EXPECT_EQ(WhyPrepareAgain(source_, dest_), "the shipped archive " + source_ + " is not the one it was made from");

    // Content changed at the same size: the time tells them apart.
    Prepare("first");
    MakeArchive(source_, "other");
    std::filesystem::last_write_time(source_, time + std::chrono::seconds(5));
    EXPECT_EQ(WhyPrepareAgain(source_, dest_), "the shipped archive " + source_ + " is not the one it was made from");

    // A bigger archive differs in size.
    Prepare("first");
    MakeArchive(source_, "a longer first entry");
    std::filesystem::last_write_time(source_, time);
    EXPECT_EQ(WhyPrepareAgain(source_, dest_), "the shipped archive " + source_ + " is not the one it was made from");

    EXPECT_TRUE(DiscardPrepared(dest_));
    EXPECT_FALSE(std::filesystem::exists(dest_));
    EXPECT_FALSE(std::filesystem::exists(StampPathOf(dest_)));
}

TEST_F(PreparedArchiveTest, StampsReadBackOnlyWhenComplete) {
    TPreparedStamp s;
    s.SourceSize = 1;
    s.SourceTime = 1700000000123456789;
    s.SourceDirectory = 18446744073709551615ull;
    s.PreparedSize = 4;
    TPreparedStamp back;
    ASSERT_TRUE(TPreparedStamp::Parse(s.ToText(), back));
    EXPECT_EQ(back, s);
    EXPECT_FALSE(TPreparedStamp::Parse("", back));
    EXPECT_FALSE(TPreparedStamp::Parse("SourceSize=1\nSourceTime=2\nSourceDirectory=3\n", back));
    EXPECT_FALSE(TPreparedStamp::Parse(s.ToText() + "Other=1\n", back));
    EXPECT_FALSE(TPreparedStamp::Parse("SourceSize=99999999999999999999999\n", back));
}

}  // namespace
