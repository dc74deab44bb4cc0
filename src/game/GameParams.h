// The tuning values of play that are the same for every scene, read from
// "GameParams.xml" beside the program (plain or scrambled): the spiders' roll,
// the fall of thrown-off pieces, the scroll speed between layers, the score
// and size class of every shape, the skill icon offsets and the closing of
// gaps in a chain. Read at start-up and again on the debug key F4.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "base/OrvTypes.h"

class TOrvXMLTag;

// What the parameters need to know of the shape table (which the scene
// loader owns): how many shapes there are, their names and, for each, the
// name of the next shape of its rotation cycle.
class IShapeTable {
public:
    virtual ~IShapeTable() = default;
    virtual int32_t ShapeCount() const = 0;
    virtual std::string ShapeName(int32_t index) const = 0;
    virtual std::string NextName(int32_t index) const = 0;
    // Index of the first shape whose name equals name exactly, -1 when none.
    virtual int32_t FindShape(const std::string& name) const;
};

// The key that scrambles a shipped "GameParams.xml".
inline constexpr const char* kGameParamsKey = "wqpme83]";

struct TGameParams {
    int32_t BombRMax = 0;
    int32_t BombPMax = 0;
    int32_t BombRollTime = 0;
    double BombKP = 0;
    int32_t BigBombRMax = 0;
    int32_t BigBombPMax = 0;
    int32_t BigBombRollTime = 0;
    double BigBombKP = 0;
    int32_t FallGX = 0;
    int32_t FallGY = 0;
    double FallK = 0;
    int32_t ScrollMaxVelX = 0;
    int32_t ScrollMaxVelY = 0;
    int32_t ScrollMinVelX = 0;
    int32_t ScrollMinVelY = 0;
    TIntegers FishkaScore;  // one per shape, in the shape table's order
    TIntegers FishkaSize;   // 0 normal, 1 big, 2 very big
    std::array<int32_t, 9> SkillIconX{};
    std::array<int32_t, 9> SkillIconY{};
    int32_t AccelerationMax = 0;
    int32_t AccelerationStep = 0;
    int32_t SparkleTime = 0;
    int32_t SparkleMax = 0;

    // Reads fileName. A missing file changes nothing. Bytes that are not
    // text (with any line ends) are unscrambled with kGameParamsKey first.
    // Elements of the table that the file lacks are named in the log (their
    // values stay). Throws the file reader's error naming the file when it
    // cannot be read (a folder, larger than 4 MiB, ...), and
    // OrvException fileName + "XML file does not has tags!" for a document
    // without elements, the parser's error for a malformed one, and an
    // OrvException naming the element and attribute when a required
    // attribute is missing or a strict value is not a number; values read
    // before such an error stay set. A first element not named
    // "GamePlayParams" changes nothing. shapes may be null (no shape table
    // loaded yet): the score lists then stay empty.
    void LoadGameParams(const std::string& fileName, const IShapeTable* shapes);

    // The same from a document already parsed (for tests and tools).
    void ReadDocument(const TOrvXMLTag& root, const std::string& fileName, const IShapeTable* shapes);
};
