#include "game/GameParams.h"

#include "base/FileReader.h"
#include "base/OrvException.h"
#include "base/OrvLog.h"
#include "base/OrvParser.h"
#include "base/OrvStream.h"
#include "base/SFunctions.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <vector>

int32_t IShapeTable::FindShape(const std::string& name) const {
    const int32_t n = ShapeCount();
    for (int32_t i = 0; i < n; ++i)
        if (ShapeName(i) == name) return i;
    return -1;
}

namespace {

// Largest "GameParams.xml" read; the real file is a few kilobytes.
constexpr uintmax_t kMaxParamsFileSize = 4u * 1024u * 1024u;

bool StrictInt(const std::string& text, int32_t& out) {
    size_t i = 0;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) i = 1;
    if (i >= text.size()) return false;
    int64_t v = 0;
    for (size_t k = i; k < text.size(); ++k) {
        if (text[k] < '0' || text[k] > '9') return false;
        v = v * 10 + (text[k] - '0');
        if (v > 2147483648ll) return false;
    }
    if (text[0] == '-') v = -v;
    if (v > std::numeric_limits<int32_t>::max()) return false;
    out = static_cast<int32_t>(v);
    return true;
}

// A decimal number with '.' as the separator: optional sign, digits with an
// optional fraction, optional exponent; nothing else around it.
bool StrictFloat(const std::string& text, double& out) {
    size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        size_t expDigits = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++expDigits;
        if (expDigits == 0) return false;
    }
    if (i != text.size()) return false;
    // The shape is right; the value must also fit a double. A number past
    // its range ("1e400", a megabyte of digits) is refused rather than read
    // as the 0 that the lenient converter gives for it.
    const size_t from = text[0] == '+' ? 1 : 0;
    double v = 0;
    const auto [end, ec] = std::from_chars(text.data() + from, text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v)) return false;
    out = v;
    return true;
}

class TElementReader {
public:
    TElementReader(const TOrvXMLTag& tag, const std::string& fileName) : tag_(tag), fileName_(fileName) {}

    const std::string& Required(const char* attr) const {
        const TOrvParserAttribute* a = tag_.FindAttribute(attr);
        if (!a)
            throw OrvException("[LoadGameParams] " + fileName_ + ": element \"" + tag_.Name +
                               "\" lacks the attribute \"" + attr + "\"");
        return a->Value;
    }
    void Int(const char* attr, int32_t& target) const {
        const std::string& text = Required(attr);
        int32_t v = 0;
        if (!StrictInt(text, v)) Bad(attr, text, "an integer");
        target = v;
    }
    void Float(const char* attr, double& target) const {
        const std::string& text = Required(attr);
        double v = 0;
        if (!StrictFloat(text, v)) Bad(attr, text, "a decimal number");
        target = v;
    }
    void LenientInt(const char* attr, int32_t& target) const { target = ValInt(Required(attr)); }
    void LenientFloat(const char* attr, double& target) const { target = ValFloat(Required(attr)); }

private:
    [[noreturn]] void Bad(const char* attr, const std::string& text, const char* what) const {
        // A value may be megabytes long; the message (and the log) shows its start.
        const std::string shown = text.size() > 40 ? text.substr(0, 40) + "..." : text;
        throw OrvException("[LoadGameParams] " + fileName_ + ": \"" + shown + "\" is not " + what + " (attribute \"" +
                           attr + "\" of element \"" + tag_.Name + "\")");
    }
    const TOrvXMLTag& tag_;
    const std::string& fileName_;
};

void ReadBomb(const TOrvXMLTag& tag, const std::string& fileName, int32_t& rMax, int32_t& pMax, int32_t& rollTime,
              double& kP) {
    TElementReader r(tag, fileName);
    r.Int("RMax", rMax);
    r.Int("PMax", pMax);
    r.Int("RollTime", rollTime);
    r.Float("kP", kP);
}

void ReadFishkaScores(const TOrvXMLTag& tag, const IShapeTable* shapes, TGameParams& p) {
    const size_t count = shapes ? static_cast<size_t>(std::max<int32_t>(0, shapes->ShapeCount())) : 0;
    p.FishkaScore.assign(count, 0);
    p.FishkaSize.resize(count, 0);
    int32_t score = 0;
    for (const auto& child : tag.Tags) {
        if (child->Name != "Shape") continue;
        const TOrvParserAttribute* name = child->FindAttribute("Name");
        if (!name)
            throw OrvException("[LoadGameParams] element \"Shape\" of \"FishkaScores\" lacks the attribute \"Name\"");
        if (const TOrvParserAttribute* s = child->FindAttribute("Score")) score = ValInt(s->Value);
        const TOrvParserAttribute* sizeAttr = child->FindAttribute("Size");
        const int32_t size = sizeAttr ? ValInt(sizeAttr->Value) : 0;
        if (!shapes) continue;
        const int32_t start = shapes->FindShape(name->Value);
        if (start < 0) continue;
        // Walk the rotation cycle. A table whose cycle does not lead back to
        // the start (A -> B -> C -> B) would otherwise loop for ever, so the
        // walk also ends at the first shape it has already set.
        std::vector<bool> visited(count, false);
        int32_t index = start;
        while (index >= 0 && static_cast<size_t>(index) < count && !visited[static_cast<size_t>(index)]) {
            visited[static_cast<size_t>(index)] = true;
            p.FishkaScore[static_cast<size_t>(index)] = score;
            p.FishkaSize[static_cast<size_t>(index)] = size;
            const std::string next = shapes->NextName(index);
            if (next == name->Value) break;
            index = shapes->FindShape(next);
        }
    }
}

// A file cut short still parses (elements left open are closed by the end
// of the text), so the values it no longer holds would silently keep their
// old ones: say which.
void LogMissingElements(const TOrvXMLTag& doc, const std::string& fileName) {
    std::vector<std::string> expected{"btBomb", "btBigBomb", "FallShifts", "ScrollSpeed", "FishkaScores"};
    for (int i = 1; i <= 9; ++i) expected.push_back("ShiftSkill" + std::to_string(i));
    expected.push_back("Acceleration");
    std::string missing;
    for (const std::string& name : expected) {
        if (doc.FindTag(name)) continue;
        missing += (missing.empty() ? "\"" : ", \"") + name + "\"";
    }
    if (!missing.empty())
        TOrvLog::Instance().Write(fileName + ": no " + missing + " element; those values stay as they were");
}

}  // namespace

void TGameParams::ReadDocument(const TOrvXMLTag& root, const std::string& fileName, const IShapeTable* shapes) {
    if (root.Tags.empty()) throw OrvException(fileName + "XML file does not has tags!");
    const TOrvXMLTag& doc = *root.Tags.front();
    if (doc.Name != "GamePlayParams") return;

    if (const TOrvXMLTag* t = doc.FindTag("btBomb")) ReadBomb(*t, fileName, BombRMax, BombPMax, BombRollTime, BombKP);
    if (const TOrvXMLTag* t = doc.FindTag("btBigBomb"))
        ReadBomb(*t, fileName, BigBombRMax, BigBombPMax, BigBombRollTime, BigBombKP);
    if (const TOrvXMLTag* t = doc.FindTag("FallShifts")) {
        TElementReader r(*t, fileName);
        r.LenientInt("paramFallGX", FallGX);
        r.LenientInt("paramFallGY", FallGY);
        r.LenientFloat("paramFallK", FallK);
    }
    if (const TOrvXMLTag* t = doc.FindTag("ScrollSpeed")) {
        TElementReader r(*t, fileName);
        r.LenientInt("MaxVelX", ScrollMaxVelX);
        r.LenientInt("MaxVelY", ScrollMaxVelY);
        r.LenientInt("MinVelX", ScrollMinVelX);
        r.LenientInt("MinVelY", ScrollMinVelY);
    }
    if (const TOrvXMLTag* t = doc.FindTag("FishkaScores")) ReadFishkaScores(*t, shapes, *this);
    for (size_t i = 0; i < SkillIconX.size(); ++i) {
        const std::string name = "ShiftSkill" + std::to_string(i + 1);
        if (const TOrvXMLTag* t = doc.FindTag(name)) {
            TElementReader r(*t, fileName);
            r.Int("x", SkillIconX[i]);
            r.Int("y", SkillIconY[i]);
        }
    }
    if (const TOrvXMLTag* t = doc.FindTag("Acceleration")) {
        TElementReader r(*t, fileName);
        r.Int("Max", AccelerationMax);
        r.Int("Step", AccelerationStep);
        r.Int("SparkleTime", SparkleTime);
        r.Int("SparkleMax", SparkleMax);
    }
    LogMissingElements(doc, fileName);
}

void TGameParams::LoadGameParams(const std::string& fileName, const IShapeTable* shapes) {
    std::string text;
    std::string error;
    TReadFailure failure = TReadFailure::None;
    if (!TryReadFile(fileName, text, error, kMaxParamsFileSize, TFileKinds::RegularOnly, &failure)) {
        // No file at all is the one failure that is not an error.
        std::error_code ec;
        if (failure == TReadFailure::CannotOpen &&
            !std::filesystem::exists(std::filesystem::symlink_status(fileName, ec)))
            return;
        throw OrvException(error);
    }
    TMemoryStream bytes{std::string_view(text)};
    // Plain or scrambled, with any line ends: the same decision as every
    // other scrambled file of the game.
    TOrvParser parser;
    LoadScrambledXML(parser, bytes, kGameParamsKey);
    ReadDocument(parser, fileName, shapes);
}
