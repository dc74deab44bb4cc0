#include "game/GameParams.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <utility>
#include <vector>

#include "base/OrvException.h"
#include "base/OrvLog.h"
#include "base/OrvStream.h"
#include "base/SFunctions.h"

namespace {

// A small shape table: "Sq" alone, the four turns of "L", a two-cycle "I".
class TTestShapes : public IShapeTable {
public:
    explicit TTestShapes(std::vector<std::pair<std::string, std::string>> shapes) : shapes_(std::move(shapes)) {}
    int32_t ShapeCount() const override { return static_cast<int32_t>(shapes_.size()); }
    std::string ShapeName(int32_t i) const override { return shapes_[static_cast<size_t>(i)].first; }
    std::string NextName(int32_t i) const override { return shapes_[static_cast<size_t>(i)].second; }

private:
    std::vector<std::pair<std::string, std::string>> shapes_;
};

const TTestShapes kShapes(
    {{"Sq", "Sq"}, {"L1", "L2"}, {"L2", "L3"}, {"L3", "L4"}, {"L4", "L1"}, {"I1", "I2"}, {"I2", "I1"}});

const char* kFullFile =
    "<GamePlayParams>\r\n"
    "\t<btBomb RMax=\"12\" PMax=\"300\" RollTime=\"900\" kP=\"0.25\"/>\r\n"
    "\t<btBigBomb RMax=\"20\" PMax=\"500\" RollTime=\"1400\" kP=\"1.5\"/>\r\n"
    "\t<FallShifts paramFallGX=\"3px\" paramFallGY=\"-40\" paramFallK=\"0.75\"/>\r\n"
    "\t<ScrollSpeed MaxVelX=\"30\" MaxVelY=\"25\" MinVelX=\"2\" MinVelY=\"abc\"/>\r\n"
    "\t<FishkaScores>\r\n"
    "\t\t<Shape Name=\"Sq\" Score=\"10\"/>\r\n"
    "\t\t<Shape Name=\"L1\" Score=\"50\" Size=\"1\"/>\r\n"
    "\t\t<Shape Name=\"I2\" Size=\"2\"/>\r\n"
    "\t\t<Shape Name=\"Nobody\" Score=\"999\"/>\r\n"
    "\t</FishkaScores>\r\n"
    "\t<ShiftSkill1 x=\"4\" y=\"-6\"/>\r\n"
    "\t<ShiftSkill9 x=\"7\" y=\"8\"/>\r\n"
    "\t<Acceleration Max=\"9\" Step=\"2\" SparkleTime=\"600\" SparkleMax=\"5\"/>\r\n"
    "\t<Unknown Whatever=\"1\"/>\r\n"
    "</GamePlayParams>\r\n";

class GameParamsTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ =
            std::filesystem::temp_directory_path() / (std::string("moswick-params-") + std::to_string(getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        path_ = (dir_ / "GameParams.xml").string();
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    void Write(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }
    std::filesystem::path dir_;
    std::string path_;
};

TEST_F(GameParamsTest, ReadsEveryValue) {
    Write(kFullFile);
    TGameParams p;
    p.LoadGameParams(path_, &kShapes);
    EXPECT_EQ(p.BombRMax, 12);
    EXPECT_EQ(p.BombPMax, 300);
    EXPECT_EQ(p.BombRollTime, 900);
    EXPECT_DOUBLE_EQ(p.BombKP, 0.25);
    EXPECT_EQ(p.BigBombRollTime, 1400);
    EXPECT_DOUBLE_EQ(p.BigBombKP, 1.5);
    EXPECT_EQ(p.FallGX, 3);  // lenient: the leading number
    EXPECT_EQ(p.FallGY, -40);
    EXPECT_DOUBLE_EQ(p.FallK, 0.75);
    EXPECT_EQ(p.ScrollMaxVelX, 30);
    EXPECT_EQ(p.ScrollMinVelY, 0);  // lenient: not a number is 0
    // Sq 10; the whole L cycle 50/size 1; I2 takes the previous score 50
    // and walks to I1; an unknown name changes nothing.
    EXPECT_EQ(p.FishkaScore, (TIntegers{10, 50, 50, 50, 50, 50, 50}));
    EXPECT_EQ(p.FishkaSize, (TIntegers{0, 1, 1, 1, 1, 2, 2}));
    EXPECT_EQ(p.SkillIconX[0], 4);
    EXPECT_EQ(p.SkillIconY[0], -6);
    EXPECT_EQ(p.SkillIconX[8], 7);
    EXPECT_EQ(p.SkillIconX[4], 0);
    EXPECT_EQ(p.AccelerationMax, 9);
    EXPECT_EQ(p.AccelerationStep, 2);
    EXPECT_EQ(p.SparkleTime, 600);
    EXPECT_EQ(p.SparkleMax, 5);
}

TEST_F(GameParamsTest, ScrambledFileGivesTheSameValues) {
    TMemoryStream plain(std::string_view{kFullFile});
    TMemoryStream scrambled;
    ScrambleStream(plain, scrambled, kGameParamsKey);
    ASSERT_FALSE(IsPlainText(scrambled));
    scrambled.SaveToFile(path_);
    TGameParams fromScrambled;
    fromScrambled.LoadGameParams(path_, &kShapes);
    Write(kFullFile);
    TGameParams fromPlain;
    fromPlain.LoadGameParams(path_, &kShapes);
    EXPECT_EQ(fromScrambled.FishkaScore, fromPlain.FishkaScore);
    EXPECT_EQ(fromScrambled.BombRMax, fromPlain.BombRMax);
    EXPECT_DOUBLE_EQ(fromScrambled.FallK, fromPlain.FallK);
    EXPECT_EQ(fromScrambled.SparkleMax, 5);
}

TEST_F(GameParamsTest, MissingFileAndForeignDocumentChangeNothing) {
    TGameParams p;
    p.BombRMax = 77;
    p.LoadGameParams(path_, &kShapes);
    EXPECT_EQ(p.BombRMax, 77);
    Write("<OtherParams><btBomb RMax=\"1\" PMax=\"1\" RollTime=\"1\" kP=\"1\"/></OtherParams>");
    p.LoadGameParams(path_, &kShapes);
    EXPECT_EQ(p.BombRMax, 77);
}

TEST_F(GameParamsTest, AFolderInTheFilesPlaceIsAnErrorNamingIt) {
    std::filesystem::create_directories(path_);
    TGameParams p;
    try {
        p.LoadGameParams(path_, &kShapes);
        FAIL() << "no error";
    } catch (const OrvException& e) {
        EXPECT_EQ(e.Message(), "Cannot read file " + path_ + " (it is a folder)");
    }
}

TEST_F(GameParamsTest, DocumentWithoutElementsIsAnError) {
    Write("just text, no markup");
    TGameParams p;
    try {
        p.LoadGameParams(path_, &kShapes);
        FAIL() << "no error";
    } catch (const OrvException& e) {
        EXPECT_EQ(std::string(e.what()), path_ + "XML file does not has tags!");
    }
}

TEST_F(GameParamsTest, StrictErrorsStopTheReadingButKeepEarlierValues) {
    const char* bad[] = {
        "<GamePlayParams><btBomb RMax=\"5\" PMax=\"6\" RollTime=\"7\" kP=\"1,5\"/>"
        "<Acceleration Max=\"1\" Step=\"1\" SparkleTime=\"1\" SparkleMax=\"1\"/></GamePlayParams>",
        "<GamePlayParams><btBomb RMax=\"5\" PMax=\"6\" RollTime=\"7\"/>"
        "<Acceleration Max=\"1\" Step=\"1\" SparkleTime=\"1\" SparkleMax=\"1\"/></GamePlayParams>",
        "<GamePlayParams><btBomb RMax=\"5\" PMax=\"6\" RollTime=\"7x\" kP=\"1\"/></GamePlayParams>",
        "<GamePlayParams><btBomb RMax=\"5\" PMax=\"6\" RollTime=\"99999999999\" kP=\"1\"/></GamePlayParams>",
        "<GamePlayParams><btBomb RMax=\"5\" PMax=\"6\" RollTime=\"\" kP=\"1\"/></GamePlayParams>",
    };
    for (const char* text : bad) {
        Write(text);
        TGameParams p;
        EXPECT_THROW(p.LoadGameParams(path_, &kShapes), OrvException) << text;
        EXPECT_EQ(p.BombRMax, 5) << text;
        EXPECT_EQ(p.BombPMax, 6) << text;
        EXPECT_EQ(p.AccelerationMax, 0) << text;  // after the error: never read
    }
    Write("<GamePlayParams><ShiftSkill3 x=\"1\"/></GamePlayParams>");
    TGameParams p;
    EXPECT_THROW(p.LoadGameParams(path_, &kShapes), OrvException);
    EXPECT_EQ(p.SkillIconX[2], 1);
}

TEST_F(GameParamsTest, NumbersOutOfRangeFailTheStrictCheckInsteadOfReadingAsZero) {
    const std::string digits(3 * 1024 * 1024, '9');
    for (const std::string& kP : {std::string("1e400"), std::string("-1e400"), digits}) {
        Write("<GamePlayParams><btBomb RMax=\"5\" PMax=\"6\" RollTime=\"7\" kP=\"" + kP + "\"/></GamePlayParams>");
        TGameParams p;
        p.BombKP = 0.5;
        EXPECT_THROW(p.LoadGameParams(path_, &kShapes), OrvException) << kP.substr(0, 10);
        EXPECT_DOUBLE_EQ(p.BombKP, 0.5);
    }
    Write("<GamePlayParams><btBomb RMax=\"5\" PMax=\"6\" RollTime=\"" + digits + "\" kP=\"1\"/></GamePlayParams>");
    TGameParams p;
    EXPECT_THROW(p.LoadGameParams(path_, &kShapes), OrvException);
    EXPECT_EQ(p.BombRollTime, 0);
}

TEST_F(GameParamsTest, PlainFileWithBareLineFeedsIsReadAsPlainText) {
    std::string text = kFullFile;
    for (size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
    Write(text);
    TGameParams p;
    p.LoadGameParams(path_, &kShapes);
    EXPECT_EQ(p.BombRMax, 12);
    EXPECT_EQ(p.SparkleMax, 5);
}

TEST_F(GameParamsTest, FileCutShortKeepsLaterValuesAndLogsWhichWereMissing) {
    const std::string log = (dir_ / "test.log").string();
    TOrvLog::Instance().Open(log, 0);
    const std::string text = kFullFile;
    Write(text.substr(0, text.find("\t<ScrollSpeed")));
    TGameParams p;
    p.AccelerationMax = 3;
    p.LoadGameParams(path_, &kShapes);
    TOrvLog::Instance().Close();
    EXPECT_DOUBLE_EQ(p.FallK, 0.75);
    EXPECT_EQ(p.AccelerationMax, 3);
    std::string logged;
    ReadWholeFile(log, logged);
    EXPECT_NE(logged.find(path_ + ": no \"ScrollSpeed\", \"FishkaScores\", \"ShiftSkill1\""), std::string::npos)
        << logged;
    EXPECT_NE(logged.find("\"ShiftSkill9\", \"Acceleration\" element; those values stay as they were"),
              std::string::npos)
        << logged;
}

TEST_F(GameParamsTest, ScoreRulesOfFishkaScores) {
    // No children: every score 0, sizes kept.
    TGameParams p;
    p.FishkaScore = {1, 2, 3, 4, 5, 6, 7};
    p.FishkaSize = {2, 2, 2, 2, 2, 2, 2};
    Write("<GamePlayParams><FishkaScores/></GamePlayParams>");
    p.LoadGameParams(path_, &kShapes);
    EXPECT_EQ(p.FishkaScore, (TIntegers{0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(p.FishkaSize, (TIntegers{2, 2, 2, 2, 2, 2, 2}));

    // Starting inside a cycle sets all of it; a shape without Score after one
    // with "50" gets 50; without Size the size is 0.
    Write(
        "<GamePlayParams><FishkaScores><Shape Name=\"L3\" Score=\"50\" Size=\"1\"/>"
        "<Shape Name=\"Sq\"/></FishkaScores></GamePlayParams>");
    p.LoadGameParams(path_, &kShapes);
    EXPECT_EQ(p.FishkaScore, (TIntegers{50, 50, 50, 50, 50, 0, 0}));
    EXPECT_EQ(p.FishkaSize, (TIntegers{0, 1, 1, 1, 1, 2, 2}));

    // A shape without a name is an error.
    Write("<GamePlayParams><FishkaScores><Shape Score=\"5\"/></FishkaScores></GamePlayParams>");
    EXPECT_THROW(p.LoadGameParams(path_, &kShapes), OrvException);
}

TEST_F(GameParamsTest, RotationWalkEndsOnBrokenCyclesAndMissingTables) {
    // A -> B -> C -> B never comes back to A; D names a shape that is not
    // there. Both walks must end.
    const TTestShapes broken({{"A", "B"}, {"B", "C"}, {"C", "B"}, {"D", "Gone"}});
    Write(
        "<GamePlayParams><FishkaScores><Shape Name=\"A\" Score=\"8\"/><Shape Name=\"D\" Score=\"3\"/>"
        "</FishkaScores></GamePlayParams>");
    TGameParams p;
    p.LoadGameParams(path_, &broken);
    EXPECT_EQ(p.FishkaScore, (TIntegers{8, 8, 8, 3}));

    // Without a shape table (no scene data yet) the lists stay empty.
    TGameParams none;
    none.LoadGameParams(path_, nullptr);
    EXPECT_TRUE(none.FishkaScore.empty());
}

}  // namespace
