// The whole content build on a small scene: the same bytes on every run, an
// archive whose packed pictures and composed pictures prepare into PNG
// pictures that decode, and game parameters the game can read. The build is
// the costly part, so one test makes it once and checks it in steps (each
// test case runs in a process of its own).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "Forge.h"
#include "ForgeCheck.h"
#include "base/FileFolder.h"
#include "base/OrvParser.h"
#include "base/OrvStream.h"
#include "media/PNGMorf.h"
#include "render/PictureCodec.h"

namespace fs = std::filesystem;
using namespace forge;

namespace {

class ForgeBuild : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        root_ = fs::temp_directory_path() /
                ("forge-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                 std::to_string(reinterpret_cast<uintptr_t>(&root_) % 100000));
        fs::remove_all(root_);
        fs::create_directories(root_ / "data" / "scenes");
        fs::copy_file(fs::path(MOSWICK_SOURCE_DIR) / "data" / "shapes.txt", root_ / "data" / "shapes.txt");
        fs::copy(fs::path(MOSWICK_SOURCE_DIR) / "data" / "ui", root_ / "data" / "ui", fs::copy_options::recursive);
        // Four layers restore the whole picture; their belts are laid out
        // by the build, one by hand.
        std::string regions;
        for (int r = 0; r < 15; ++r) regions += r < 7 ? "AAAAAAAAABBBBBBBB\n" : "CCCCCCCCDDDDDDDDD\n";
        std::string scene =
            "title Test\npainting meadow\nsize 680 600\nbonus 0.05\nbonusweights 1 1 1 1\n"
            "weight Dot 3\nweight Wedge 2\nweight Gem 1\ndecor bird 100 100 -1\nregions\n" +
            regions +
            "end\n"
            "layer A\nregion A\nstack 2\nquest Key\nfishes 3 2 4\nartefact auto\nbelt 40s BeltPart1.png : auto\n"
            "layer B\nregion B\nquest Sun\nfishes 2 2 4\nartefact auto\nbelt 40s BeltPart2.png : auto\n"
            "layer C\nregion C\nquest Leaf\nfishes 2 2 4\nartefact auto\nbelt 12 BeltPart3.png : auto\n"
            "layer D\nregion D\nquest Moon\nfishes 2 2 4\nartefact auto\nbelt 12 BeltPart1.png : auto\n";
        ASSERT_TRUE(
            WriteFileAtomically((root_ / "data" / "scenes" / "scene1.txt").string(), scene.data(), scene.size()));
        build_ = new TContentBuild((root_ / "data").string(), "");
        build_->Run();
        // A prepared copy from an earlier start must not outlive new data.
        fs::create_directories(root_ / "out1" / "temp");
        ASSERT_TRUE(WriteFileAtomically((root_ / "out1" / "temp" / "game.zxc").string(), "old", 3));
        build_->Write((root_ / "out1").string());
        TContentBuild again((root_ / "data").string(), "");
        again.Run();
        again.Write((root_ / "out2").string());
    }
    static void TearDownTestSuite() {
        delete build_;
        build_ = nullptr;
        fs::remove_all(root_);
    }
    static std::string Bytes(const fs::path& p) {
        std::string s;
        EXPECT_TRUE(ReadWholeFile(p.string(), s)) << p;
        return s;
    }

    static void TwoRunsWriteTheSameBytes();
    static void ContentPassesItsOwnChecks();
    static void ArchivePreparesIntoPicturesThatDecode();
    static void GameParametersGiveEveryValue();

    static inline fs::path root_;
    static inline TContentBuild* build_ = nullptr;
};

}  // namespace

void ForgeBuild::TwoRunsWriteTheSameBytes() {
    std::string a = Bytes(root_ / "out1" / "game.zxc"), b = Bytes(root_ / "out2" / "game.zxc");
    ASSERT_GT(a.size(), 100000u);
    EXPECT_TRUE(a == b);
    EXPECT_EQ(Bytes(root_ / "out1" / "GameParams.xml"), Bytes(root_ / "out2" / "GameParams.xml"));
    EXPECT_TRUE(fs::is_directory(root_ / "out1" / "lng"));
    // The distributor's logo file is there for editing and adds nothing yet.
    TOrvParser logos;
    logos.LoadFromString(Bytes(root_ / "out1" / "AddLogo.xml"));
    ASSERT_NE(logos.GetTag(0), nullptr);
    EXPECT_EQ(logos.GetTag(0)->TagCount(), 0);
    EXPECT_FALSE(fs::exists(root_ / "out1" / "temp" / "game.zxc"));
}

void ForgeBuild::ContentPassesItsOwnChecks() {
    TCheckReport r = CheckContent(*build_);
    for (const std::string& p : r.Problems) ADD_FAILURE() << p;
    // Every name fits the archive directory and is unique without regard to case.
    std::vector<std::string> seen;
    for (const TArchiveEntry& e : build_->Entries()) {
        EXPECT_LE(e.Name.size(), 31u) << e.Name;
        std::string low = LowerAscii(e.Name);
        EXPECT_EQ(std::count(seen.begin(), seen.end(), low), 0) << e.Name;
        seen.push_back(low);
    }
    // Start-up loads every listed picture; all of them must be there.
    const TArchiveEntry* list = build_->FindEntry("surfaces.dat");
    ASSERT_NE(list, nullptr);
    std::string text(list->Bytes.begin(), list->Bytes.end());
    size_t lines = 0;
    for (size_t at = 0, nl; (nl = text.find('\n', at)) != std::string::npos; at = nl + 1, ++lines)
        EXPECT_TRUE(build_->HasPicture(text.substr(at, nl - at))) << text.substr(at, nl - at);
    EXPECT_GT(lines, 60u);
}

void ForgeBuild::ArchivePreparesIntoPicturesThatDecode() {
    fs::path prepared = root_ / "prepared.zxc";
    TPNGMorf morf(90);
    morf.ProcessArchive((root_ / "out1" / "game.zxc").string(), prepared.string());
    TFileFolder folder(prepared.string());
    // Each picture the game asks for resolves to a prepared entry that decodes.
    for (const std::string& name : build_->ReferencedPictures()) {
        TMemoryStream* s = folder.Stream(name);
        ASSERT_NE(s, nullptr) << name;
        TPicture pic = DecodePicture(s->Data(), s->Size());
        EXPECT_FALSE(pic.Empty()) << name;
        bool png = name.size() > 3 && LowerAscii(name.substr(name.size() - 3)) == "png";
        if (png) {
            EXPECT_TRUE(pic.HasAlpha()) << name;
        }
    }
    // The left balloon is the right one mirrored, tail and all.
    TMemoryStream* right = folder.Stream("HintWindowRight.png");
    TPicture r = DecodePNG(right->Data(), right->Size());
    TMemoryStream* left = folder.Stream("HintWindowLeft.png");
    TPicture l = DecodePNG(left->Data(), left->Size());
    ASSERT_EQ(l.Width, r.Width);
    ASSERT_EQ(l.Height, r.Height);
    EXPECT_EQ(r.Width, 263);
    EXPECT_EQ(r.Height, 127);
    // The tail tips: at 174,118 on the right balloon, at 88,118 on the left.
    EXPECT_GT(r.Row(118)[174 * 4 + 3], 128);
    EXPECT_GT(l.Row(118)[88 * 4 + 3], 128);
    EXPECT_LT(r.Row(118)[88 * 4 + 3], 16);
    // The artefact pieces are cuts of the artefact.
    TMemoryStream* piece = folder.Stream("QuestKey_31.png");
    ASSERT_NE(piece, nullptr);
    TPicture p = DecodePNG(piece->Data(), piece->Size());
    EXPECT_EQ(p.Width, kArtefactSize / 3);
    EXPECT_EQ(p.Height, kArtefactSize);
}

void ForgeBuild::GameParametersGiveEveryValue() {
    TOrvParser doc;
    doc.LoadFromString(Bytes(root_ / "out1" / "GameParams.xml"));
    TOrvXMLTag* root = doc.GetTag(0);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->Name, "GamePlayParams");
    const std::vector<std::pair<std::string, std::vector<std::string>>> required = {
        {"btBomb", {"RMax", "PMax", "RollTime", "kP"}},
        {"btBigBomb", {"RMax", "PMax", "RollTime", "kP"}},
        {"FallShifts", {"paramFallGX", "paramFallGY", "paramFallK"}},
        {"ScrollSpeed", {"MaxVelX", "MaxVelY", "MinVelX", "MinVelY"}},
        {"Acceleration", {"Max", "Step", "SparkleTime", "SparkleMax"}}};
    for (const auto& [tag, attrs] : required) {
        TOrvXMLTag* t = root->FindTag(tag);
        ASSERT_NE(t, nullptr) << tag;
        for (const std::string& a : attrs) EXPECT_NE(t->FindAttribute(a), nullptr) << tag << "." << a;
    }
    for (int i = 1; i <= 9; ++i) {
        TOrvXMLTag* t = root->FindTag("ShiftSkill" + std::to_string(i));
        ASSERT_NE(t, nullptr);
        EXPECT_NE(t->FindAttribute("x"), nullptr);
        EXPECT_NE(t->FindAttribute("y"), nullptr);
    }
    // One score per rotation cycle, naming a shape that exists; the cycle
    // walk gives the score to every turn.
    TOrvXMLTag* scores = root->FindTag("FishkaScores");
    ASSERT_NE(scores, nullptr);
    int covered = 0;
    for (auto& s : scores->Tags) {
        int at = FindShape(build_->Shapes(), s->AttributeValue("Name"));
        ASSERT_GE(at, 0) << s->AttributeValue("Name");
        EXPECT_FALSE(s->AttributeValue("Score").empty());
        std::string name = build_->Shapes()[size_t(at)].Name;
        do {
            ++covered;
            name = build_->Shapes()[size_t(FindShape(build_->Shapes(), name))].NextName;
        } while (name != s->AttributeValue("Name"));
    }
    EXPECT_EQ(covered, int(build_->Shapes().size()));
}

TEST_F(ForgeBuild, SmallSceneBuildsRepeatablyPreparesAndChecks) {
    {
        SCOPED_TRACE("two runs write the same bytes");
        TwoRunsWriteTheSameBytes();
    }
    {
        SCOPED_TRACE("content passes its own checks");
        ContentPassesItsOwnChecks();
    }
    {
        SCOPED_TRACE("archive prepares into pictures that decode");
        ArchivePreparesIntoPicturesThatDecode();
    }
    {
        SCOPED_TRACE("game parameters give every value");
        GameParametersGiveEveryValue();
    }
}
