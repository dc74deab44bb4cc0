// The effects library: vectors, the base object and collection classes, the
// morph functions (paths, periodic and parabolic curves), rotators and morphs.
//
// A morph function maps a time in milliseconds to a vector of one to three
// components. A morph is the weighted sum of its functions evaluated at the
// morph's own time, then scaled, rotated and moved; its properties may be
// constants, random ranges resolved at initialisation, or follow another morph.
// Particle effects (OrvFXParticles.h) are built from these.
//
// Typical use, a belt path:
//   TOrvMorph path;
//   path.AddPathFunction("Lenta", "set linear; path (0,0) (100,0) (100,50);");
//   TOrvVector p = path.GetValue2(age, false);
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/OrvRandom.h"

class TOrvXMLTag;
class TOrvMorphLib;

// ---------------------------------------------------------------------------
// Vectors and text helpers

// Three single-precision components; a value of dimension Dim uses the first
// Dim of them and keeps the others at 0.
struct TOrvVector {
    float X = 0.0f;
    float Y = 0.0f;
    float Z = 0.0f;

    TOrvVector() = default;
    TOrvVector(float x, float y = 0.0f, float z = 0.0f) : X(x), Y(y), Z(z) {}

    // Component by 0-based index; indices outside 0..2 address Z.
    float& operator[](int i) { return i == 0 ? X : (i == 1 ? Y : Z); }
    float operator[](int i) const { return i == 0 ? X : (i == 1 ? Y : Z); }

    friend bool operator==(const TOrvVector&, const TOrvVector&) = default;
};

// Length over all three components (computed in double precision).
float VecLength(const TOrvVector& v);
// Length over the first dim components only.
float VecLength(const TOrvVector& v, int dim);
// v divided by its length, or the zero vector when the length is not above 1e-6.
TOrvVector VecNormalize(const TOrvVector& v);
TOrvVector VecAdd(const TOrvVector& a, const TOrvVector& b);
TOrvVector VecSub(const TOrvVector& a, const TOrvVector& b);
TOrvVector VecScale(const TOrvVector& v, float k);
float VecDot(const TOrvVector& a, const TOrvVector& b);
TOrvVector VecCross(const TOrvVector& a, const TOrvVector& b);
// a + (b - a) * f.
TOrvVector VecLerp(const TOrvVector& a, const TOrvVector& b, float f);
// Turns v by angle radians about axis (right-handed; the axis need not be
// unit length). A zero axis leaves v unchanged.
TOrvVector VecRotateAxis(const TOrvVector& v, const TOrvVector& axis, float angle);

// Parses a whole decimal number ("12", "-0.5", "+3", "1e-3"; "." separator,
// blanks around allowed). False for anything else, and for results that are
// not finite as a double.
bool FXParseNumber(std::string_view text, double& out);
// Parses a whole decimal number that fits a single-precision float.
bool FXParseFloat(std::string_view text, float& out);
// Parses a whole decimal integer in the signed 32-bit range.
bool FXParseInt(std::string_view text, int32_t& out);
// Removes bytes 0..32 at both ends.
std::string_view FXTrim(std::string_view s);
// Equality without regard to the case of A..Z.
bool FXSameText(std::string_view a, std::string_view b);
// Nearest integer (halves away from zero), saturated to the int32 range; NaN gives 0.
int32_t FXRound(double v);

// Reads a vector text: the text between the first "(" and the last ")" when
// both are present (else the whole text), trimmed, split at commas into one
// to three decimal numbers (missing components are 0). Throws OrvException
// "\"" + text + "\" string-to-vector convertation failed" otherwise.
TOrvVector StrToVector(std::string_view text);

// ---------------------------------------------------------------------------
// Base classes

// Base of every effects object: a name of at most 32 characters.
class TOrvBaseObject {
public:
    static constexpr size_t MaxNameLength = 32;

    TOrvBaseObject();
    virtual ~TOrvBaseObject() = default;
    TOrvBaseObject(const TOrvBaseObject&) = delete;
    TOrvBaseObject& operator=(const TOrvBaseObject&) = delete;

    const std::string& Name() const { return name_; }
    // Keeps at most the first 32 characters.
    virtual void SetName(std::string_view name);
    // The class name, e.g. "TOrvMorph".
    virtual const char* ClassName() const { return "TOrvBaseObject"; }
    // A new default object of the same class (used to copy collections).
    virtual std::unique_ptr<TOrvBaseObject> NewInstance() const;
    // Copies from source; false when source is null (nothing changes), else
    // copies the name (descendants copy their fields too) and returns true.
    virtual bool Assign(const TOrvBaseObject* source);
    // Checks / prepares the object for use; false on failure.
    virtual bool Validate() { return true; }

protected:
    // Sets the construction name: the class name without its leading T,
    // followed by "_Default" (TOrvMorph gives "OrvMorph_Default").
    void SetDefaultName(std::string_view className);

private:
    std::string name_;
};

// An owning, growable list of effects objects, searched by name without
// regard to case. Entries may be null.
class TOrvStaticCollection : public TOrvBaseObject {
public:
    TOrvStaticCollection();
    const char* ClassName() const override { return "TOrvStaticCollection"; }
    std::unique_ptr<TOrvBaseObject> NewInstance() const override;

    int32_t Count() const { return static_cast<int32_t>(items_.size()); }
    // The item at index; null when out of range. The collection keeps ownership.
    TOrvBaseObject* GetItem(int32_t index) const;
    // Index of the first item whose name equals name (case-insensitive); -1 if none.
    int32_t IndexOf(std::string_view name) const;
    // Frees every item.
    void Clear() { items_.clear(); }
    // Clears, then copies every item of source (a new object of the item's
    // class assigned from it; null items stay null). When one assignment
    // fails everything is cleared and the result is false.
    bool Assign(const TOrvBaseObject* source) override;
    // Validates every item; each failing item is recorded in ValidateErrors
    // as "\"Class.Name\" initialization failed". False when any fails.
    bool Validate() override;
    const std::vector<std::string>& ValidateErrors() const { return validateErrors_; }

protected:
    // Appends an item (may be null) and returns its index.
    int32_t AddItem(std::unique_ptr<TOrvBaseObject> item);

private:
    std::vector<std::unique_ptr<TOrvBaseObject>> items_;
    std::vector<std::string> validateErrors_;
};

// A collection that holds only objects of class T.
template <class T>
class TOrvCollectionOf : public TOrvStaticCollection {
public:
    T* Get(int32_t index) const { return static_cast<T*>(GetItem(index)); }
    // The first item of that name (case-insensitive), or null.
    T* Find(std::string_view name) const { return Get(IndexOf(name)); }
    // Appends the item, taking ownership; returns its index.
    int32_t Add(std::unique_ptr<T> item) { return AddItem(std::move(item)); }
};

// ---------------------------------------------------------------------------
// Morph functions

// Base of the three kinds of function: Dim components, a Weight (parameter 0)
// and an Owned flag telling whether the morph that holds it also frees it.
class TOrvMorphFunc : public TOrvBaseObject {
public:
    TOrvMorphFunc();
    const char* ClassName() const override { return "TOrvMorphFunc"; }

    uint8_t Dim = 2;
    bool Owned = true;
    float Weight = 1.0f;

    // Copies name, Dim and Weight from another function (Owned stays).
    bool Assign(const TOrvBaseObject* source) override;
    // Parameter index of a name (case-insensitive); "Weight" is 0. Throws
    // OrvException "Invalid <Class> function \"<name>\" parameter \"<param>\"".
    virtual int32_t ParamIndex(std::string_view name) const;
    // Sets a parameter by index. Throws OrvException "Invalid <Class>
    // function \"<name>\" parameter index <n>" for an index the class lacks.
    virtual void SetParam(int32_t index, const TOrvVector& value);
    void SetParamByName(std::string_view name, const TOrvVector& value) { SetParam(ParamIndex(name), value); }
    // The value (or, with derivative set, the derivative) at timeMs.
    virtual TOrvVector GetValue(int32_t timeMs, bool derivative) const = 0;
    // Reads the kind-specific children of a <Function> element.
    virtual void LoadFromXML(const TOrvXMLTag& tag) = 0;

protected:
    [[noreturn]] void ThrowBadParam(std::string_view param) const;
    [[noreturn]] void ThrowBadParamIndex(int32_t index) const;
};

// Segment kinds and ending modes of a piecewise function.
enum : uint8_t { skLinear = 0, skBezier = 1 };
enum : uint8_t { peStop = 0, peLoop = 1, peReverseStop = 2, peReverse = 3 };

// One segment of a path: from P0 to P3 with Bezier handles P1, P2.
struct TOrvSegment {
    uint32_t Duration = 1000;
    float Length = 0.0f;
    uint8_t Kind = skBezier;
    TOrvVector P0, P1, P2, P3;
};

// A control point of a path as read from its script.
struct TOrvPathPoint {
    TOrvVector Pos;
    float Timing = 1.0f;      // seconds; negative: a speed in units per ms
    float FirstAngle = 0.0f;  // degrees
    float SecondAngle = 0.0f;
    float PosCorrectionFirst = 1.0f;
    float PosCorrectionSecond = 1.0f;
    uint8_t Kind = skBezier;
};

// A path of linear and cubic Bezier segments built from a path script.
class TOrvPiecewiseFunc : public TOrvMorphFunc {
public:
    // Longest accepted path duration (ms) and most points of one script.
    static constexpr uint32_t MaxTotalDuration = 0x7FFFFFFFu;
    static constexpr size_t MaxPoints = 2048;

    TOrvPiecewiseFunc();
    const char* ClassName() const override { return "TOrvPiecewiseFunc"; }
    std::unique_ptr<TOrvBaseObject> NewInstance() const override;
    bool Assign(const TOrvBaseObject* source) override;

    std::vector<TOrvSegment> Segments;
    uint32_t TotalDuration = 0;
    float TotalLength = 0.0f;
    int32_t PointCount = 0;
    TOrvVector EndValue;
    uint8_t Ending = peStop;
    // Settings current while a script is read.
    float Timing = 1.0f;
    float FirstAngle = 0.0f;
    float SecondAngle = 0.0f;
    float PosCorrectionFirst = 1.0f;
    float PosCorrectionSecond = 1.0f;
    uint8_t SegmentKind = skBezier;

    // Replaces the path by the one a script describes (settings and ending
    // start from their defaults). Throws OrvException for a malformed script
    // or one giving fewer than two points; the function is then empty.
    void BuildFromScript(std::string_view script);
    // The script the path was last built from.
    const std::string& Script() const { return script_; }
    // The control points the path was built from (one more than segments).
    const std::vector<TOrvPathPoint>& Points() const { return points_; }

    // "Weight" is 0; a name holding "[n]" addresses control point n (index n + 1).
    int32_t ParamIndex(std::string_view name) const override;
    // Index 0 sets Weight; index n + 1 moves control point n and sets the
    // handles there again with angles 0 and correction 1.
    void SetParam(int32_t index, const TOrvVector& value) override;
    TOrvVector GetValue(int32_t timeMs, bool derivative) const override;
    void LoadFromXML(const TOrvXMLTag& tag) override;

    // Finds the segment for a time after applying the ending mode: its index
    // and the fraction within it. -1 when past the end (stop, reversestop)
    // or when there are no segments.
    int32_t SegmentAt(int32_t timeMs, float& fraction) const;
    // Length of one segment: the chord for linear segments, recursive
    // subdivision for Bezier ones.
    float SegmentLength(const TOrvSegment& s) const;

private:
    void ReadScript(std::string_view script);
    void ReadPathPoints(std::string_view text);
    void SetHandles(size_t point, float firstAngle, float secondAngle, float k);
    void ComputeDurations();
    TOrvVector Turn(const TOrvVector& v, float angle, const TOrvVector& chordA, const TOrvVector& chordB) const;

    std::vector<TOrvPathPoint> points_;
    std::string script_;
};

// Per-component parameters of a periodic function.
struct TOrvPeriodicComponent {
    bool AmplitudeModulation = false;
    bool PhaseModulation = false;
    float G1 = 1.0f, A1 = 1.0f, B1 = 0.0f, A2 = 0.0f, B2 = 0.0f, G3 = 0.0f, A3 = 0.0f, B3 = 0.0f, C = 0.0f;

    // Recomputes the two modulation flags from the parameters.
    void UpdateFlags();
};

// value = g1 sin(a1 s + b1 + g3 sin(a3 s + b3)) sin(a2 s + b2) + c per
// component, s in seconds; the modulations only when switched on.
class TOrvPeriodicFunc : public TOrvMorphFunc {
public:
    TOrvPeriodicFunc();
    const char* ClassName() const override { return "TOrvPeriodicFunc"; }
    std::unique_ptr<TOrvBaseObject> NewInstance() const override;
    bool Assign(const TOrvBaseObject* source) override;

    TOrvPeriodicComponent Comp[3];

    // Reads a parameter list "(g1=2; a1=3.14; c=1)" into component index 0..2.
    // Throws OrvException for an item that is not name=number.
    void ReadParams(int component, std::string_view text);
    // "g1", "a1", "b1", "a2", "b2", "g3", "a3", "b3", "c" are 1..9.
    int32_t ParamIndex(std::string_view name) const override;
    // Sets the parameter of each component from the matching vector component.
    void SetParam(int32_t index, const TOrvVector& value) override;
    TOrvVector GetValue(int32_t timeMs, bool derivative) const override;
    void LoadFromXML(const TOrvXMLTag& tag) override;
};

// value = (A s + V0) s + P0, s in seconds (A is half the acceleration).
class TOrvParabolicFunc : public TOrvMorphFunc {
public:
    TOrvParabolicFunc();
    const char* ClassName() const override { return "TOrvParabolicFunc"; }
    std::unique_ptr<TOrvBaseObject> NewInstance() const override;
    bool Assign(const TOrvBaseObject* source) override;

    TOrvVector P0, V0, A;

    // "P0", "V0", "A" are 1..3.
    int32_t ParamIndex(std::string_view name) const override;
    void SetParam(int32_t index, const TOrvVector& value) override;
    TOrvVector GetValue(int32_t timeMs, bool derivative) const override;
    void LoadFromXML(const TOrvXMLTag& tag) override;
};

// Creates a function from a <Function> element (attributes Name, Dim, Type).
// Throws OrvException "<Function> tag has no \"Dim\" attribute", "<Function>
// tag has no \"Type\" attribute", "Invalid <Function> tag \"Type\" attribute
// value", or a reading error of the function's children.
std::unique_ptr<TOrvMorphFunc> CreateMorphFuncFromXML(const TOrvXMLTag& tag);

class TOrvMorphFuncLib : public TOrvCollectionOf<TOrvMorphFunc> {
public:
    TOrvMorphFuncLib();
    const char* ClassName() const override { return "TOrvMorphFuncLib"; }
    std::unique_ptr<TOrvBaseObject> NewInstance() const override;
    // Reads every <Function> child of tag into the library (Owned false).
    void LoadFromXML(const TOrvXMLTag& tag);
};

// ---------------------------------------------------------------------------
// Rotators

// A 4 x 4 matrix applied to row vectors: v' = (v, 1) * M.
struct TOrvMatrix {
    float M[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};

    static TOrvMatrix Identity() { return TOrvMatrix(); }
    // this * other: applying the product applies this first, then other.
    TOrvMatrix operator*(const TOrvMatrix& other) const;
    TOrvVector Transform(const TOrvVector& v) const;
};

// One elementary rotation of a rotator.
struct TOrvRotationStep {
    char Axis = 'X';
    float Angle = 0.0f;        // radians
    int32_t NextSourced = -1;  // next step that takes its angle from the rotation vector
    uint8_t Source = 0;        // 0 fixed angle, 1..3 component of the Rotation vector
    TOrvMatrix Matrix;
    TOrvVector Translation;  // the point the step turns about
};

// A chain of rotations about the X, Y and Z axes; the total matrix applies the
// steps in pattern order, each turning about its translation point.
class TOrvRotator : public TOrvBaseObject {
public:
    TOrvRotator();
    const char* ClassName() const override { return "TOrvRotator"; }
    std::unique_ptr<TOrvBaseObject> NewInstance() const override;
    bool Assign(const TOrvBaseObject* source) override;

    std::vector<TOrvRotationStep> Steps;
    TOrvMatrix Matrix;

    // Replaces the steps by a pattern such as "X[1];Y[2];(0,0,100);Z=0.5".
    // Throws OrvException "Invalid base axis value \"c\"" or "Invalid rotation
    // pattern parameter index"; the old steps are kept then.
    void SetPattern(std::string_view pattern);
    // X from component 1, Y from component 2, Z from component 3.
    void SetDefaultPattern();
    // Every step whose source is component k takes rotation[k - 1] as its angle.
    void SetAngles(const TOrvVector& rotation);
    // Sets one step's angle and rebuilds the products from that step on.
    void SetStepAngle(size_t step, float angle);

private:
    void Rebuild(size_t from);
    std::vector<TOrvMatrix> partial_;  // product of steps 0..i
};

// ---------------------------------------------------------------------------
// Morphs

// What a property setting acts on.
enum TOrvMorphProperty : uint8_t { mpPosition = 0, mpRotation = 1, mpScale = 2, mpStartTime = 3, mpFuncParam = 4 };
// How a property setting gets its value.
enum TOrvSettingMode : uint8_t { smConstant = 0, smRange = 1, smMorph = 2 };

class TOrvMorph;

// A property setting: the value of one property as a constant, a random range
// or the value of another morph.
struct TOrvPropertyBinding {
    TOrvMorphProperty Kind = mpPosition;
    int32_t FuncIndex = -1;
    int32_t ParamIndex = -1;
    TOrvSettingMode Mode = smConstant;
    TOrvVector First, Second;
    int32_t BoundIndex = -1;  // index into the morph's bound morphs (smMorph)
};

struct TOrvBoundMorph {
    TOrvMorph* Morph = nullptr;  // not owned: a morph of the morph library
    TOrvVector Value;
};

// A parsed property value text (shared by morph properties and the
// initial settings of particles).
struct TOrvPropertyValue {
    TOrvSettingMode Mode = smConstant;
    TOrvVector First, Second;
    TOrvMorph* Morph = nullptr;
    bool Ignored = false;  // a zero constant: leaves the property at its default
};

// Reads a property value text: the name of a morph of lib (follows that
// morph), "vector..vector" (a random range, or a constant when both are
// equal) or one vector (a constant; the zero vector is marked Ignored).
// Throws the vector conversion error for anything else.
TOrvPropertyValue ParsePropertyValue(std::string_view text, const TOrvMorphLib* lib);

// The animated value driving one aspect of an effect.
class TOrvMorph : public TOrvBaseObject {
public:
    // Largest number of morph evaluations one evaluation may cause through
    // chains of bound morphs; deeper webs are refused when they are built.
    static constexpr int32_t MaxBindingCost = 4096;

    TOrvMorph();
    ~TOrvMorph() override;
    const char* ClassName() const override { return "TOrvMorph"; }
    std::unique_ptr<TOrvBaseObject> NewInstance() const override;

    uint8_t Dim() const { return dim_; }
    // Values other than 1, 2, 3 or the current one are ignored; 3 installs
    // the default rotation pattern.
    void SetDim(int dim);

    int32_t StartTime() const { return startTime_; }
    int32_t TimeOffset() const { return timeOffset_; }
    // Both also set the same time on every morph this one is bound to.
    void SetStartTime(int32_t t);
    void SetTimeOffset(int32_t t);
    int32_t ExtraOffset = 0;

    // Kept for compatibility with stored morphs; not used by the evaluation.
    int32_t ViewX = 400;
    int32_t ViewY = 300;
    float ViewDistance = 720.0f;

    // Where names are looked up (not owned).
    TOrvMorphFuncLib* FuncLib = nullptr;
    TOrvMorphLib* MorphLib = nullptr;
    // Random source for range properties (not owned); without one a range
    // gives its low end.
    TOrvRandom* Random = nullptr;

    TOrvVector Scale{1.0f, 1.0f, 1.0f};
    TOrvVector Position;
    float RotationAngle = 0.0f;
    TOrvMatrix RotationMatrix;
    bool ScaleSet = false;
    bool RotationSet = false;
    bool PositionSet = false;
    TOrvRotator Rotator;

    std::vector<TOrvPropertyBinding> Bindings;
    std::vector<TOrvBoundMorph> BoundMorphs;

    // Appends a function without taking ownership; -1 when it is null or its
    // Dim differs from the morph's, else its index.
    int32_t AddFunction(TOrvMorphFunc* func);
    // Appends a function the morph owns (same refusal rules; a refused
    // function is freed).
    int32_t AddOwnedFunction(std::unique_ptr<TOrvMorphFunc> func);
    // Appends an owned copy of func.
    int32_t AddClonedFunction(const TOrvMorphFunc* func);
    // Appends the function of that name from FuncLib, shared or cloned; -1
    // when FuncLib has no such function (or the Dim differs).
    int32_t AddLibraryFunction(std::string_view name, bool clone);
    // Creates an owned path of the morph's Dim from a script and appends it.
    // Throws OrvException for a bad script (nothing is appended then).
    int32_t AddPathFunction(std::string_view name, std::string_view script);
    int32_t FunctionCount() const { return static_cast<int32_t>(funcs_.size()); }
    // The function at index, null when out of range.
    TOrvMorphFunc* Function(int32_t index) const;
    bool FunctionOwned(int32_t index) const;
    // Index of a function of this morph by name (case-insensitive), -1 if none.
    int32_t FunctionIndexOf(std::string_view name) const;

    // Copies Dim, times, Scale, Position, rotation, rotator, flags; takes the
    // functions again by name from FuncLib (owned ones cloned afresh, others
    // shared; a function FuncLib lacks is cloned from the source) and copies
    // the bindings, resolving bound morphs by name in MorphLib.
    bool Assign(const TOrvBaseObject* source) override;
    // Validates the bound morphs, evaluates them at StartTime + TimeOffset +
    // ExtraOffset and applies every binding. False when one fails.
    bool Validate() override;

    // The value at time t (ms) by the morph's Dim; the derivative when
    // derivative is set.
    TOrvVector GetValue(int32_t t, bool derivative);
    float GetValue1(int32_t t, bool derivative) { return GetValue(t, derivative).X; }
    TOrvVector GetValue2(int32_t t, bool derivative) { return GetValue(t, derivative); }
    TOrvVector GetValue3(int32_t t, bool derivative) { return GetValue(t, derivative); }

    void SetPosition(const TOrvVector& v);
    // 3D: each rotator step sourced from component k takes v[k-1]; else the
    // angle (radians) is v.X.
    void SetRotation(const TOrvVector& v);
    void SetScale(const TOrvVector& v);
    // Applies a value to a property as an initialisation would.
    void ApplyProperty(TOrvMorphProperty kind, int32_t funcIndex, int32_t paramIndex, const TOrvVector& v);

    // Resolves a property name ("Position", "Rotation", "Scale", "StartTime"
    // or "Function.Param") to its kind and function/parameter index. Throws
    // the <Property> name errors.
    void ResolveProperty(std::string_view name, TOrvMorphProperty& kind, int32_t& funcIndex, int32_t& paramIndex) const;
    // Reads a <Property>-style setting (name and value text) into a binding
    // ("RotationPattern" sets the pattern at once). Throws OrvException.
    void AddPropertyText(std::string_view name, std::string_view value);
    // Adds a binding to another morph; returns the bound-morph index.
    int32_t BindMorph(TOrvMorph* morph);
    // Number of morph evaluations one evaluation of this morph causes.
    int32_t BindingCost() const;

    // Reads a <Morph> element; FuncLib and MorphLib must be set. Throws the
    // <Morph> reading errors.
    void LoadFromXML(const TOrvXMLTag& tag);

private:
    struct FuncRef {
        TOrvMorphFunc* Func = nullptr;
        std::unique_ptr<TOrvMorphFunc> Own;
    };
    int32_t AppendFunc(TOrvMorphFunc* func, std::unique_ptr<TOrvMorphFunc> own);
    TOrvVector BindingValue(const TOrvPropertyBinding& b);
    void ApplyBinding(const TOrvPropertyBinding& b, const TOrvVector& v);

    uint8_t dim_ = 2;
    int32_t startTime_ = 0;
    int32_t timeOffset_ = 0;
    std::vector<FuncRef> funcs_;
};

class TOrvMorphLib : public TOrvCollectionOf<TOrvMorph> {
public:
    TOrvMorphLib();
    const char* ClassName() const override { return "TOrvMorphLib"; }
    std::unique_ptr<TOrvBaseObject> NewInstance() const override;

    // Library that this library's morphs take their functions from (not owned).
    TOrvMorphFuncLib* FuncLib = nullptr;
    TOrvRandom* Random = nullptr;

    // Copies every morph of source, linked to this library's FuncLib and to
    // this library (so bound morphs resolve among the copies).
    bool Assign(const TOrvBaseObject* source) override;
    // Reads every <Morph> child of tag (each added after it is read).
    void LoadFromXML(const TOrvXMLTag& tag);
};
