// The high-score table and its file: ranking, the cleaning of names typed by
// the player, the bound on the table's length, and files that are refused
// whole.
#include "shell/HighScores.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "base/OrvStream.h"
#include "base/SFunctions.h"

namespace {

class HighScoresTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ =
            std::filesystem::temp_directory_path() / ("moswick-scores-" + std::to_string(getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string Path() const { return (dir_ / THighScores::kFileName).string(); }
    // Writes lines, each rotated as the game writes them.
    void WriteLines(const std::vector<std::string>& lines) {
        std::string text;
        for (const std::string& l : lines) text += RotateTextUp(l) + "\r\n";
        std::ofstream(Path(), std::ios::binary) << text;
    }
    std::filesystem::path dir_;
};

TEST_F(HighScoresTest, EqualScoresRankInOrderOfArrival) {
    THighScores t;
    EXPECT_EQ(t.Insert("Ann", 500), 0);
    EXPECT_EQ(t.Insert("Bob", 500), 1);
    EXPECT_EQ(t.Insert("Cid", 900), 0);
    EXPECT_EQ(t.Insert("Dan", 100), 3);
    ASSERT_EQ(t.Entries.size(), 4u);
    EXPECT_EQ(t.Entries[1].Name, "Ann");
    EXPECT_EQ(t.Entries[2].Name, "Bob");
}

TEST_F(HighScoresTest, NamesCannotForgeAScoreOrBreakTheGrid) {
    EXPECT_EQ(THighScores::CleanName("   "), "Player");
    EXPECT_EQ(THighScores::CleanName(""), "Player");
    EXPECT_EQ(THighScores::CleanName("  Eve  "), "Eve");
    // A quote would close the name attribute and let the rest pose as a
    // score; markup and control characters go too.
    EXPECT_EQ(THighScores::CleanName("x\" score=\"99999"), "x score=99999");
    EXPECT_EQ(THighScores::CleanName("<b>&\x01\tZed"), "bZed");
    // Long names are cut after whole characters, never inside one.
    EXPECT_EQ(THighScores::CleanName(std::string(30, 'a')), std::string(20, 'a'));
    EXPECT_EQ(THighScores::CleanName(std::string(19, 'a') + "\xc3\xa9xyz"), std::string(19, 'a') + "\xc3\xa9");

    THighScores t;
    t.Insert("x\" score=\"99999", 5);
    ASSERT_TRUE(t.Save(Path()));
    THighScores back;
    std::string error;
    ASSERT_TRUE(back.Load(Path(), error)) << error;
    ASSERT_EQ(back.Entries.size(), 1u);
    EXPECT_EQ(back.Entries[0].Score, 5);
    EXPECT_EQ(t.GridCells(), "Text=\"1\";Text=\"x score=99999\";Text=\"5\";");
}

TEST_F(HighScoresTest, TheTableKeepsAndWritesAtMostItsLength) {
    THighScores t;
    for (int i = 0; i < 30; ++i) t.Insert("P" + std::to_string(i), 1000 - i);
    EXPECT_EQ(t.Entries.size(), THighScores::kMaxEntries);
    // A score below the whole table does not make it.
    EXPECT_EQ(t.Insert("Late", 1), -1);
    EXPECT_EQ(t.Entries.back().Name, "P19");
    ASSERT_TRUE(t.Save(Path()));
    THighScores back;
    std::string error;
    ASSERT_TRUE(back.Load(Path(), error)) << error;
    EXPECT_EQ(back.Entries.size(), THighScores::kMaxEntries);
}

TEST_F(HighScoresTest, TheFileReadsBackAsPlainLinesAndRoundTrips) {
    THighScores t;
    t.Insert("Ann", 1234);
    ASSERT_TRUE(t.Save(Path()));
    std::string text;
    ASSERT_TRUE(ReadWholeFile(Path(), text));
    const std::string plain = RotateTextDown(text);
    EXPECT_NE(plain.find("<High name=\"Ann\" score=\"1234\" />\r\n"), std::string::npos) << plain;
    // A file of the first format (no version mark) still loads.
    WriteLines({"<High name=\"Old\" score=\"77\" />"});
    THighScores back;
    std::string error;
    ASSERT_TRUE(back.Load(Path(), error)) << error;
    ASSERT_EQ(back.Entries.size(), 1u);
    EXPECT_EQ(back.Entries[0].Name, "Old");
    // No file: an empty table and no complaint.
    std::filesystem::remove(Path());
    EXPECT_TRUE(back.Load(Path(), error));
    EXPECT_TRUE(back.Entries.empty());
}

TEST_F(HighScoresTest, DamagedNewerOrOutOfRangeFilesAreRefusedWhole) {
    const std::string good = "<High name=\"Ann\" score=\"10\" />";
    const std::vector<std::vector<std::string>> bad = {
        {good, "<High name=\"Bob\" score=\"1x\" />"},           // not a number
        {good, "<High name=\"Bob\" score=\"-5\" />"},           // below zero
        {good, "<High name=\"Bob\" score=\"99999999999\" />"},  // past 32 bits
        {good, "garbage"},                                      // not an entry
        {"<High name=\"Low\" score=\"1\" />", good},            // out of rank
        {"<HighScores version=\"2\" />", good},                 // newer build
        {good, "<High name=\"a<b\" score=\"1\" />"},            // unstorable name
        {good, "<High name=\"Bob\" score=\"5\""},               // cut off
    };
    for (const auto& lines : bad) {
        WriteLines(lines);
        THighScores t;
        t.Insert("Stale", 1);
        std::string error;
        EXPECT_FALSE(t.Load(Path(), error)) << lines.back();
        EXPECT_TRUE(t.Entries.empty());
        EXPECT_NE(error.find("refused"), std::string::npos) << error;
    }
    std::vector<std::string> many;
    for (size_t i = 0; i <= THighScores::kMaxEntries; ++i) many.push_back(good);
    WriteLines(many);
    THighScores t;
    std::string error;
    EXPECT_FALSE(t.Load(Path(), error));
    // Every truncation of a good file either loads a prefix of it or is
    // refused; nothing in between.
    THighScores full;
    for (int i = 0; i < 5; ++i) full.Insert("N" + std::to_string(i), 100 - i);
    const std::string text = full.ToText();
    for (size_t cut = 0; cut < text.size(); cut += 7) {
        std::ofstream(Path(), std::ios::binary | std::ios::trunc) << text.substr(0, cut);
        THighScores back;
        if (back.Load(Path(), error)) {
            ASSERT_LE(back.Entries.size(), full.Entries.size());
            for (size_t i = 0; i < back.Entries.size(); ++i) EXPECT_EQ(back.Entries[i].Name, full.Entries[i].Name);
        } else {
            EXPECT_TRUE(back.Entries.empty());
        }
    }
}

}  // namespace
