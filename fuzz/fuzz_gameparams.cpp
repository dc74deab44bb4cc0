// Reads arbitrary bytes as "GameParams.xml": plain or scrambled, with any
// line ends, typed values strict or lenient. Only an OrvException may stop
// it; the score lists are empty or one per shape; every decimal is finite;
// and a plain file scrambled with the game's key reads to the same values.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

#include "base/OrvException.h"
#include "base/OrvStream.h"
#include "base/SFunctions.h"
#include "game/GameParams.h"

namespace {

// A small shape table: a shape alone, a cycle of four, a cycle of two and
// a broken cycle.
class TShapes : public IShapeTable {
public:
    int32_t ShapeCount() const override { return static_cast<int32_t>(kShapes.size()); }
    std::string ShapeName(int32_t i) const override { return kShapes[static_cast<size_t>(i)].first; }
    std::string NextName(int32_t i) const override { return kShapes[static_cast<size_t>(i)].second; }

private:
    const std::vector<std::pair<std::string, std::string>> kShapes{
        {"Sq", "Sq"}, {"L1", "L2"}, {"L2", "L3"}, {"L3", "L4"}, {"L4", "L1"},
        {"I1", "I2"}, {"I2", "I1"}, {"B1", "B2"}, {"B2", "B3"}, {"B3", "B2"}};
};

std::string TempPath(const char* what) {
    static const std::string root = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return root + "/moswick_fuzz_params_" + std::to_string(::getpid()) + "_" + what;
}

struct TScratchCleanup {
    ~TScratchCleanup() {
        std::remove(TempPath("plain.xml").c_str());
        std::remove(TempPath("scrambled.xml").c_str());
    }
};

// Loads the file; false when it was refused.
bool Load(const std::string& path, TGameParams& p, const IShapeTable& shapes) {
    try {
        p.LoadGameParams(path, &shapes);
    } catch (const OrvException&) {
        return false;
    }
    return true;
}

bool Same(const TGameParams& a, const TGameParams& b) {
    return a.BombRMax == b.BombRMax && a.BombPMax == b.BombPMax && a.BombRollTime == b.BombRollTime &&
           a.BombKP == b.BombKP && a.BigBombRMax == b.BigBombRMax && a.BigBombKP == b.BigBombKP &&
           a.FallGX == b.FallGX && a.FallGY == b.FallGY && a.FallK == b.FallK && a.ScrollMaxVelX == b.ScrollMaxVelX &&
           a.ScrollMinVelY == b.ScrollMinVelY && a.FishkaScore == b.FishkaScore && a.FishkaSize == b.FishkaSize &&
           a.SkillIconX == b.SkillIconX && a.SkillIconY == b.SkillIconY && a.AccelerationMax == b.AccelerationMax &&
           a.SparkleMax == b.SparkleMax;
}

// No byte below 32 but tab, line feed and carriage return.
bool TextWithAnyLineEnds(const TMemoryStream& s) {
    for (size_t i = 0; i < s.Size(); ++i) {
        const uint8_t c = s.Data()[i];
        if (c < 32 && c != 9 && c != 10 && c != 13) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TScratchCleanup cleanup;
    static const TShapes shapes;
    const std::string plainPath = TempPath("plain.xml");
    if (!WriteFileAtomically(plainPath, data, size)) return 0;
    TGameParams p;
    const bool loaded = Load(plainPath, p, shapes);
    if (!p.FishkaScore.empty() && p.FishkaScore.size() != static_cast<size_t>(shapes.ShapeCount())) std::abort();
    if (p.FishkaScore.size() != p.FishkaSize.size() && !p.FishkaSize.empty()) std::abort();
    for (double v : {p.BombKP, p.BigBombKP, p.FallK})
        if (!std::isfinite(v)) std::abort();

    // The same document scrambled: read to the same values, unless the
    // scrambled bytes happen to look like text themselves.
    TMemoryStream plain(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!TextWithAnyLineEnds(plain)) return 0;
    TMemoryStream source(plain.Bytes());
    TMemoryStream scrambled;
    ScrambleStream(source, scrambled, kGameParamsKey);
    if (TextWithAnyLineEnds(scrambled)) return 0;
    const std::string scrambledPath = TempPath("scrambled.xml");
    if (!WriteFileAtomically(scrambledPath, scrambled.Data(), scrambled.Size())) return 0;
    TGameParams q;
    const bool loadedScrambled = Load(scrambledPath, q, shapes);
    if (loaded != loadedScrambled || !Same(p, q)) std::abort();
    return 0;
}
