// Reads arbitrary bytes as a saved game, plain or scrambled. Only an
// OrvException may refuse it; a file that is accepted and fits the small
// test scene is restored into a level, which then plays a few seconds and
// is saved again, so every index the file could smuggle in is followed.
#include <cstdint>
#include <cstdio>
#include <string>

#include <unistd.h>

#include "../tests/game/PlayTestWorld.h"
#include "base/OrvException.h"
#include "base/OrvStream.h"
#include "game/SavedGame.h"

namespace {

std::string TempPath() {
    static const std::string root = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return root + "/moswick_fuzz_save_" + std::to_string(::getpid()) + ".sav";
}

struct TScratchCleanup {
    ~TScratchCleanup() { std::remove(TempPath().c_str()); }
};

struct TWorld {
    TShapeTables Tables;
    TGameParams Params;
    TWorld() {
        playtest::LoadTables(Tables);
        Params.FishkaScore = {10, 20, 20, 6, 40};
        Params.FishkaSize = {0, 0, 0, 0, 1};
    }
    std::string SceneText() const {
        playtest::TSceneRecipe recipe;
        recipe.Frags = {playtest::Square(0, 0), playtest::Square(1, 0), playtest::Half(2, 0), playtest::Square(3, 1)};
        recipe.Extra = "<Fish Image=\"E.png\" PosX=\"10\" PosY=\"10\"/><Fish Image=\"F.png\" PosX=\"20\" PosY=\"20\"/>";
        recipe.BonusFishka = "0.3";
        return playtest::SceneText(recipe);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TScratchCleanup cleanup;
    static const TWorld world;
    const std::string path = TempPath();
    if (!WriteFileAtomically(path, data, size)) return 0;
    TSavedGame game;
    TOrvRandom random(7);
    playtest::TRecorder events;
    TScene scene;
    playtest::LoadScene(scene, world.SceneText(), world.Tables, random);
    try {
        game = ReadSavedGameFile(path);
        CheckSavedGameFits(game, scene, world.Tables.ShapeCount(), path);
    } catch (const OrvException&) {
        return 0;
    }
    TPlayLevel level(world.Tables, world.Params, random, events);
    level.Step(1000);
    level.TakeScene(std::move(scene));
    level.RestoreSaved(game, size % 2 == 1);
    for (int i = 0; i < 40; ++i) level.Step(level.Now + 100);
    (void)SavedGameDocument(CaptureSavedGame(level))->SaveToString();
    return 0;
}
