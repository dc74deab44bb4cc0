// The pictures the rules of play measure: piece pictures that match their
// cells, fragment pictures of the sizes the halo and reveal code assume, and
// animation strips with the frame counts the game divides them by.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "Art.h"
#include "DecorTable.h"
#include "ForgeCheck.h"
#include "ParticleArt.h"
#include "base/OrvException.h"
#include "base/OrvParser.h"
#include "base/OrvStream.h"

using namespace forge;

namespace {

std::vector<TShape> RealShapes() {
    std::string text;
    EXPECT_TRUE(ReadWholeFile(std::string(MOSWICK_SOURCE_DIR) + "/data/shapes.txt", text));
    return ParseShapes(text);
}

}  // namespace

TEST(ForgeArt, PiecePicturesAreOpaqueOnTheirCellsAndClearElsewhere) {
    std::vector<TShape> shapes = RealShapes();
    for (size_t i = 0; i < shapes.size(); i += 3) {
        const TShape& s = shapes[i];
        TCanvas c = PaintShape(s, int(i));
        ASSERT_EQ(c.Width(), s.Cols * kCellSize) << s.Name;
        ASSERT_EQ(c.Height(), s.Rows * kCellSize) << s.Name;
        for (int row = 0; row < s.Rows; ++row)
            for (int col = 0; col < s.Cols; ++col) {
                bool square = false, any = false;
                for (const TCell& cell : s.Cells)
                    if (cell.Col == col && cell.Row == row) {
                        any = true;
                        square = square || cell.Kind == ckSquare;
                    }
                // Sample inside the cell away from its diagonal.
                int x = col * kCellSize, y = row * kCellSize;
                if (square) {
                    EXPECT_FLOAT_EQ(c.At(x + 20, y + 20).A, 1.0f) << s.Name;
                    EXPECT_FLOAT_EQ(c.At(x + 1, y + 1).A, 1.0f) << s.Name;
                }
                if (!any) {
                    EXPECT_FLOAT_EQ(c.At(x + 20, y + 20).A, 0.0f) << s.Name;
                }
            }
    }
}

TEST(ForgeArt, FragmentPicturesHaveTheSizesTheHaloCodeAssumes) {
    for (int k = 1; k <= kKindCount; ++k) {
        TCanvas mask = PaintFragMask(k), halo = PaintFragOreol(k);
        EXPECT_EQ(mask.Width(), kCellSize);
        EXPECT_EQ(mask.Height(), kCellSize);
        // The halo is 16 pixels larger and drawn 8 up and left.
        EXPECT_EQ(halo.Width(), kCellSize + 16);
        EXPECT_EQ(halo.Height(), kCellSize + 16);
        EXPECT_LT(halo.At(0, 0).A, 0.05f);
        for (int level = 2; level <= 3; ++level) {
            TCanvas mark = PaintFragLevel(k, level);
            EXPECT_EQ(mark.Width(), kCellSize);
            // The mark stays on its cell: nothing where the mask is empty.
            for (int y = 0; y < kCellSize; y += 3)
                for (int x = 0; x < kCellSize; x += 3)
                    if (mask.At(x, y).A == 0 && x > 2 && y > 2 && x + y != kCellSize - 1) {
                        EXPECT_LT(mark.At(x, y).A, 0.6f) << k << " " << x << "," << y;
                    }
        }
    }
}

TEST(ForgeArt, StripsHoldTheFrameCountsTheGameDividesBy) {
    struct TStrip {
        TCanvas Pic;
        int Frames;
        const char* Name;
    };
    TStrip strips[] = {{PaintSpiderStrip(), 20, "pauk_20"},
                       {PaintAmuletStrip(), 40, "amulet"},
                       {PaintSandGlassStrip(), 20, "sand_glass"},
                       {PaintSkillEconomyStrip(), 30, "SkillEconomy"},
                       {PaintCursorStrip(), 30, "cursor_line"}};
    for (const TStrip& s : strips) {
        EXPECT_EQ(s.Pic.Width() % s.Frames, 0) << s.Name;
        int fw = s.Pic.Width() / s.Frames;
        // Every frame shows something, so no step of the animation blinks out.
        for (int f = 0; f < s.Frames; ++f) {
            double sum = 0;
            for (int y = 0; y < s.Pic.Height(); ++y)
                for (int x = f * fw; x < (f + 1) * fw; ++x) sum += s.Pic.At(x, y).A;
            EXPECT_GT(sum, 20.0) << s.Name << " frame " << f;
        }
    }
    EXPECT_EQ(PaintCursorStrip().Width(), 30 * 41);
    // The big spider is made by scaling the small strip to 1280 x 64.
    EXPECT_EQ(PaintSpiderStrip().Width() * 64 / PaintSpiderStrip().Height(), 1280);
}

TEST(ForgeArt, ActorsTurnAboutTheirCentre) {
    // Boxy and the Chameleon are turned about 75,75 in 170-pixel frames, so
    // their drawing must stay within 75 pixels of that point; the Chameleon
    // also goes into a 128-pixel square at the end of a belt, so within 64.
    const std::pair<TCanvas, double> actors[] = {{PaintBoxy(), 75.0}, {PaintChameleon(), 64.0}};
    for (const auto& [c, radius] : actors) {
        ASSERT_EQ(c.Width(), 150);
        ASSERT_EQ(c.Height(), 150);
        for (int y = 0; y < 150; ++y)
            for (int x = 0; x < 150; ++x)
                if (std::hypot(x + 0.5 - 75, y + 0.5 - 75) > radius) {
                    EXPECT_LT(c.At(x, y).A, 0.02f) << x << "," << y << " beyond " << radius;
                }
    }
    TCanvas frame = PaintGameFrame();
    EXPECT_EQ(frame.Width(), 800);
    EXPECT_EQ(frame.Height(), 600);
}

TEST(ForgeArt, DecorationsNameDistinctFramesWithPositiveTimes) {
    std::set<std::string> names;
    for (const std::string& kind : DecorKinds()) {
        std::vector<TDecorFrame> frames = DecorFrames(kind);
        ASSERT_GE(frames.size(), 2u) << kind;
        for (const TDecorFrame& f : frames) {
            EXPECT_GT(f.TimeMs, 0);
            EXPECT_TRUE(names.insert(f.Picture).second) << f.Picture;
        }
        TCanvas first = PaintDecorFrame(kind, 0, int(frames.size()));
        EXPECT_GT(first.Width(), 1) << kind;
    }
    EXPECT_TRUE(DecorFrames("dragon").empty());
}

TEST(ForgeArt, ArtefactsDifferByQuest) {
    TCanvas a = PaintArtefact("Key"), b = PaintArtefact("Moon");
    ASSERT_EQ(a.Width(), kArtefactSize);
    int differ = 0;
    for (int y = 0; y < kArtefactSize; y += 2)
        for (int x = 0; x < kArtefactSize; x += 2) differ += std::abs(a.At(x, y).R - b.At(x, y).R) > 0.1f;
    EXPECT_GT(differ, 100);
}

TEST(ForgeArt, SceneDocumentsNameTheirWeightsDecorAndMusic) {
    std::vector<TShape> shapes = RealShapes();
    TSceneSource sc = ParseSceneSource(
        "size 700 620\nweight Pair 4\nweight Dot 0\ndecor star 10 20 0\n"
        "layer A\nat 300 300\nquest Sun\nfishes 2 3 5\nartefact 20 20\n"
        "belt 10 BeltPart1.png : 60,100 60,500 600,500\nmap\n##\nend\n",
        3, "test");
    TOrvParser doc;
    doc.LoadFromString(SceneXml(sc, shapes));
    TOrvXMLTag* root = doc.GetTag(0);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->FindAttribute("MusicName"), nullptr);  // no music line: no attribute
    TOrvXMLTag* weights = root->FindTag("Probabilities")->FindTag("FishkaWeights");
    ASSERT_EQ(weights->TagCount(), 3);  // both turns of the pair, and the dot
    EXPECT_EQ(weights->GetTag(0)->AttributeValue("Name"), "Pair_1");
    EXPECT_EQ(weights->GetTag(1)->AttributeValue("Weight"), "4");
    TOrvXMLTag* pic = root->FindTag("Pictures")->GetTag(0);
    EXPECT_EQ(pic->AttributeValue("DrawOnlyLayer"), "0");
    EXPECT_EQ(pic->TagCount(), int(DecorFrames("star").size()));
    // The dot with weight 0 spawns only when one fragment is left.
    std::vector<int> usable = SpawnableShapes(sc, shapes);
    EXPECT_EQ(usable.front(), 0);
    EXPECT_EQ(usable.size(), 3u);
    // An unknown shape name in the weights is a mistake of the source.
    sc.Weights.push_back({"Nonesuch", 1});
    EXPECT_THROW(SceneXml(sc, shapes), OrvException);
}

// A white spark gets a dark rim just outside its light, so it reads over a
// bright picture, while its light stays white; the celebration's bloom is
// clear at its edge.
TEST(ForgeArt, SparksGetADarkRimAndTheBloomFadesToNothing) {
    TCanvas spark(32, 32);
    spark.SoftDisc(16, 16, 5, 1, Rgb(255, 255, 255));
    forge::AddDarkRim(spark, 2);
    EXPECT_GT(spark.At(16, 16).R, 0.95f);
    EXPECT_GT(spark.At(16, 16).A, 0.95f);
    const TColor& rim = spark.At(16 + 6, 16);
    EXPECT_GT(rim.A, 0.2f);
    EXPECT_LT(rim.R, 0.4f);
    EXPECT_EQ(spark.At(0, 0).A, 0.0f);
    EXPECT_TRUE(forge::TakesDarkRim("Spark1.png"));
    EXPECT_FALSE(forge::TakesDarkRim("LightPoint1.png"));  // a light, also used to light the picture

    TCanvas bloom = forge::PaintBloom(64);
    EXPECT_GT(bloom.At(32, 32).A, 0.8f);
    for (int i = 0; i < 64; ++i) {
        EXPECT_LT(bloom.At(i, 0).A, 1.0f / 255);
        EXPECT_LT(bloom.At(0, i).A, 1.0f / 255);
    }
}
