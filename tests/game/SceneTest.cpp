// Reading the shape tables and scene documents: what they hold, and the
// clear refusal of files that would send play out of its tables.
#include <gtest/gtest.h>

#include "PlayTestWorld.h"
#include "base/OrvException.h"

using namespace playtest;

namespace {

class SceneTest : public ::testing::Test {
protected:
    void SetUp() override { LoadTables(tables); }
    // The message of the load's refusal, empty when the scene loaded.
    std::string Refusal(const std::string& text) {
        TScene scene;
        try {
            LoadScene(scene, text, tables, random);
        } catch (const OrvException& e) {
            EXPECT_TRUE(scene.Empty());
            return e.what();
        }
        return {};
    }
    std::string Replace(std::string text, const std::string& from, const std::string& to) {
        const size_t at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        if (at != std::string::npos) text.replace(at, from.size(), to);
        return text;
    }
    TShapeTables tables;
    TOrvRandom random{3};
};

TSceneRecipe Basic() {
    TSceneRecipe s;
    s.Frags = {Square(0, 0), Square(1, 0), Half(2, 0)};
    return s;
}

}  // namespace

TEST_F(SceneTest, ShapeTablesReadTheirRecordsAndIgnoreAShortTail) {
    EXPECT_EQ(tables.Points().size(), size_t(kGrid * kGrid));
    EXPECT_EQ(tables.Fragments().size(), 128u);
    ASSERT_EQ(tables.ShapeCount(), 5);
    EXPECT_EQ(tables.Shape(1).NextName, "Pair_2");
    EXPECT_EQ(tables.Shape(1).ShadowPicture, "PiecePair_1.pngsh");
    EXPECT_EQ(tables.Shape(4).Center, (TPoint{40, 40}));
    EXPECT_EQ(tables.FindShapeByNextName("Pair_1"), 2);
    TShapeTables t;
    t.LoadFromBytes(Points() + "xy", Fragments() + "123", Shapes() + std::string(899, '\0'), Kinds());
    EXPECT_EQ(t.ShapeCount(), 5);
    EXPECT_EQ(t.Points().size(), size_t(kGrid * kGrid));
}

TEST_F(SceneTest, ShapeRecordsWithImpossibleCountsAreRefused) {
    TShapeTables t;
    for (const std::string& bad :
         {ShapeRecord("Big", "Big", {{1, 0, 0}}, -1, 13), ShapeRecord("None", "None", {{1, 0, 0}}, -1, 0),
          ShapeRecord("Spiky", "Spiky", {{1, 0, 0}}, 9)}) {
        try {
            t.LoadFromBytes(Points(), Fragments(), Shapes() + bad, Kinds());
            ADD_FAILURE() << "accepted";
        } catch (const OrvException& e) {
            EXPECT_NE(std::string(e.what()).find("TriSqrFishkaTypes.dat: record 5"), std::string::npos) << e.what();
        }
        EXPECT_EQ(t.ShapeCount(), 0);
    }
    EXPECT_THROW(t.LoadFromBytes(Points(), Fragments(), "", Kinds()), OrvException);
}

TEST_F(SceneTest, SceneDocumentBuildsLayersBeltsAndWeights) {
    TSceneRecipe recipe = Basic();
    recipe.Weights = "<Shape Name=\"Dot\" Weight=\"4\"/><Shape Name=\"Pair_1\"/><Shape Name=\"Nope\" Weight=\"9\"/>";
    TScene scene;
    LoadScene(scene, SceneText(recipe), tables, random);
    ASSERT_EQ(scene.Layers.size(), 1u);
    const TLayer& l = scene.Layers[0];
    EXPECT_EQ(l.Frags, (TIntegers{Square(0, 0), Square(1, 0), Half(2, 0)}));
    EXPECT_EQ(l.FragsLevel, (TIntegers{1, 1, 1}));
    EXPECT_EQ(l.FragsBusy, (TIntegers{-1, -1, -1}));
    ASSERT_EQ(scene.Belts.size(), 1u);
    EXPECT_EQ(scene.Belts[0].PathLength, 1000);
    EXPECT_EQ(scene.Belts[0].PathTime, 10000);
    EXPECT_EQ(scene.Belts[0].PointSpacing, 1000 / 30);
    EXPECT_EQ(scene.FishkaWeights, (TIntegers{4, 4, 0, 0, 0})) << "a weightless shape takes the one before";
    EXPECT_EQ(scene.BonusBaseWeights[0], 10);
    EXPECT_EQ(scene.PictureNames.front(), "L.png");
}

TEST_F(SceneTest, BeltListSkipsRepeatsAndViewStaysInsideTheScene) {
    std::string text = SceneText(Basic());
    text = Replace(text, "<Belts>0</Belts>", "<Belts>2 2 3</Belts>");
    const std::string belt = text.substr(text.find("<Belt "), text.find("</Belt>") + 7 - text.find("<Belt "));
    text = Replace(text, "</Belt></Belts>", "</Belt>" + belt + belt + belt + "</Belts>");
    text = Replace(text, "x=\"40\" y=\"40\">", "x=\"400\" y=\"40\" ShX=\"100\">");
    text = Replace(text, "Width=\"2000\"", "Width=\"1000\"");
    TScene scene;
    LoadScene(scene, text, tables, random);
    EXPECT_EQ(scene.Layers[0].BeltIds, (TIntegers{2, 3}));
    EXPECT_EQ(scene.Layers[0].ShX, -50);
}

TEST_F(SceneTest, LayerWithoutRoomBetweenFishesNeverGetsOne) {
    TSceneRecipe recipe = Basic();
    recipe.Extra = "<Fish PosX=\"1\" PosY=\"2\" Image=\"F.png\"/>";
    TScene scene;
    LoadScene(scene, SceneText(recipe), tables, random);
    EXPECT_EQ(scene.Layers[0].FishesBeforeExtra, -1);
    EXPECT_EQ(scene.Layers[0].ExtraFishWeights, (TIntegers{1}));
}

TEST_F(SceneTest, BadScenesAreRefusedNamingFileAndElement) {
    const std::string good = SceneText(Basic());
    ASSERT_EQ(Refusal(good), "");
    struct TCase {
        std::string From, To, Says;
    };
    const std::vector<TCase> cases = {
        {"Picture=\"S.jpg\" ", "", "\"Picture\" is missing"},
        {"Height=\"1500\"", "", "\"Height\" is missing"},
        {" x=\"40\" y=\"40\">", " y=\"40\">", "\"x\" is missing"},
        {"</Frags>", "</Frags><FragsLevel>1 1</FragsLevel>", "FragsLevel: holds 2 levels for 3 fragments"},
        {"<Frags>", "<Frags>9999 ", "fragment 9999 is not in the fragment table"},
        {"<Frags>", "<Frags>-1 ", "fragment -1"},
        {"<Frags>", "<Frags>1x ", "\"1x\" is not a whole number"},
        {"<Belts>0</Belts>", "<Belts>5</Belts>", "belt 5 does not exist"},
        {"<Belts>0</Belts>", "<Belts>-2</Belts>", "belt -2 does not exist"},
        {"<BombBonusWeight>1<", "<BombBonusWeight>1.5<", "BombBonusWeight: \"1.5\""},
        {"<BonusFishka>0<", "<BonusFishka>lots<", "BonusFishka"},
        {"path (0,600)", "path (0,600) (0,600) (0,600);", "Belt 0"},
        {"Width=\"2000\"", "Width=\"0\"", "scene size"},
    };
    for (const TCase& c : cases) {
        const std::string said = Refusal(Replace(good, c.From, c.To));
        EXPECT_NE(said.find("Test.xml"), std::string::npos) << c.To << ": " << said;
        EXPECT_NE(said.find(c.Says), std::string::npos) << c.To << ": " << said;
    }
    std::string many = "<Frags>";
    for (int i = 0; i < 256; ++i) many += "0 ";
    EXPECT_NE(Refusal(Replace(good, "<Frags>", many)).find("more than 255"), std::string::npos);
    EXPECT_NE(Refusal("").find("XML file does not has tags!"), std::string::npos);
}

TEST_F(SceneTest, FragmentsPointingOutsideTheirTablesAreUnusable) {
    std::string fragments = Fragments();
    fragments += std::string{char(1), char(4)};
    for (int i = 0; i < 4; ++i) Put16(fragments, 30000);  // past the grid
    fragments += std::string{char(7), char(3)};           // a kind without a record
    for (int i = 0; i < 4; ++i) Put16(fragments, 0);
    fragments += std::string{char(1), char(9)};  // nine corners
    for (int i = 0; i < 4; ++i) Put16(fragments, 0);
    TShapeTables t;
    t.LoadFromBytes(Points(), fragments, Shapes(), Kinds());
    std::string why;
    EXPECT_TRUE(t.FragmentUsable(0, why));
    EXPECT_FALSE(t.FragmentUsable(128, why));
    EXPECT_NE(why.find("past the point grid"), std::string::npos);
    EXPECT_FALSE(t.FragmentUsable(129, why));
    EXPECT_NE(why.find("no kind record"), std::string::npos);
    EXPECT_FALSE(t.FragmentUsable(130, why));
    EXPECT_FALSE(t.FragmentUsable(131, why));
}
