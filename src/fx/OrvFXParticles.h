// Particle effects: a named animation read from one XML file with its own
// functions, morphs, particle templates and particle systems. The game keeps
// loaded effects as prototypes and runs copies:
//
//   TOrvParticleEffect proto;
//   proto.SetName("SparkleEffect.xml");
//   proto.LoadFromStream(stream);                 // throws OrvException
//   proto.SetRandom(&gameRandom);                 // copies share it
//   auto fx = std::make_unique<TOrvParticleEffect>();
//   fx->Assign(&proto);
//   fx->SetStartTick(NowTime);
//   fx->Validate();
//   every frame: fx->Update(NowTime); DrawParticleEffect(...); free it once fx->Finished().
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/OrvTypes.h"
#include "fx/OrvFXBase.h"

class TMemoryStream;
class TOrvParticleEffect;
struct TPicture;
class TSurfEngine;
class TOrvXMLTag;

// Indices of the six parameters every particle template starts with.
enum : int32_t { ppPosition = 0, ppAlpha = 1, ppColor = 2, ppColorValue = 3, ppFrame = 4, ppSize = 5 };

// Largest particle count one system may be given (initial particles, per
// throw, at most alive).
inline constexpr int32_t kMaxSystemParticles = 10000;
// Most particles alive in one effect (all its systems together), and in all
// running effects of the process together. A particle with its own morph
// copies takes a few kilobytes, so without these an effect file of many
// large systems could ask for gigabytes. The game's own effects stay far
// below: a few dozen particles each.
inline constexpr int32_t kMaxEffectParticles = 10000;
inline constexpr int64_t kMaxLiveParticles = 40000;
// Largest effect description read (the game's are a few kilobytes).
inline constexpr size_t kMaxEffectFileSize = 1024 * 1024;

// One initial property setting of an InitMorph.
struct TOrvInitSetting {
    std::string Name;
    TOrvMorphProperty Kind = mpPosition;
    int32_t FuncIndex = -1;
    int32_t ParamIndex = -1;
    TOrvSettingMode Mode = smConstant;
    TOrvVector First, Second;
    int32_t MorphIndex = -1;     // smMorph: the effect morph it takes its value from
    bool StartTickMark = false;  // "StartTime" of exactly "T": the morph's StartTime becomes the effect's StartTick
};

// Initial settings for one morph of a particle parameter's chain (or of the effect).
struct TOrvInitMorph {
    std::string MorphName;
    int32_t MorphIndex = -1;  // in the effect's morph library
    std::vector<TOrvInitSetting> Settings;
};

// One parameter of a particle template.
struct TOrvParticleParam {
    std::string Name;
    uint8_t Dim = 1;
    int32_t MorphIndex = -1;  // in the effect's morph library; -1: the default value
    bool ClonedMorph = false;
    std::vector<TOrvInitMorph> InitMorphs;
    bool HasLiveRange = false;
    TOrvVector LiveLow, LiveHigh;
    TOrvVector Default;
};

class TOrvParticleTemplate : public TOrvBaseObject {
public:
    // Created with the six parameters Position, Alpha, Color, ColorValue, Frame, Size.
    TOrvParticleTemplate();
    const char* ClassName() const override { return "TOrvParticleTemplate"; }
    std::unique_ptr<TOrvBaseObject> NewInstance() const override;
    bool Assign(const TOrvBaseObject* source) override;

    std::vector<TOrvParticleParam> Params;

    // Index of a parameter by name (case-insensitive), -1 if none.
    int32_t ParamIndexOf(std::string_view name) const;
    // Reads a <Particle> element against the effect's morph library.
    // Throws the <Particle>, <Parameter>, <InitMorphs>, <InitMorph> and
    // <LiveValue> reading errors.
    void LoadFromXML(const TOrvXMLTag& tag, const TOrvMorphLib& morphs);
};

// One parameter value of a live particle.
struct TOrvParticleValue {
    TOrvMorph* Morph = nullptr;      // the effect's morph, or Own
    std::unique_ptr<TOrvMorph> Own;  // the particle's own copy (ClonedMorph)
    TOrvVector Value;
};

class TOrvParticle {
public:
    TOrvParticle();
    ~TOrvParticle();
    TOrvParticle(const TOrvParticle&) = delete;
    TOrvParticle& operator=(const TOrvParticle&) = delete;

    // Particles alive in the whole process (all effects).
    static int64_t LiveCount();

    const TOrvParticleTemplate* Template = nullptr;  // not owned
    std::string Name;
    std::vector<TOrvParticleValue> Params;
    uint32_t BirthTime = 0;
    int32_t TimeOffset = 0;
    uint32_t CurrentTime = 0;
    bool Dead = false;
    // Where the particle is drawn: Position plus the system's Position.
    float DrawX = 0.0f;
    float DrawY = 0.0f;

    // Evaluates every parameter at now; a value leaving its live range kills
    // the particle and leaves the later parameters as they were.
    void Update(uint32_t now);
    // Value of parameter index, or the zero vector when out of range.
    TOrvVector Value(int32_t index) const;
};

class TOrvParticleSystem : public TOrvBaseObject {
public:
    TOrvParticleSystem();
    const char* ClassName() const override { return "TOrvParticleSystem"; }
    std::unique_ptr<TOrvBaseObject> NewInstance() const override;
    // Copies the description (not the running particles).
    bool Assign(const TOrvBaseObject* source) override;

    std::string Template;
    TOrvVector Position;
    int32_t InitParticles = 0;
    uint32_t InitInterval = 0;
    int32_t InitDivisor = 0;  // > 0: InitInterval is the path duration divided by it
    int32_t MinParticles = 0;
    int32_t MaxParticles = kMaxSystemParticles;
    uint32_t MaxLifetime = 0;
    uint32_t ThrowInterval = 0;
    int32_t ParticlesPerThrow = 1;
    uint32_t EmissionInterval = 0;
    int32_t ThrowsPerEmission = 1;
    int32_t FrameCount = 1;
    std::string Resource;

    // Run-time state.
    std::vector<std::unique_ptr<TOrvParticle>> Particles;
    uint32_t LastThrow = 0;
    uint32_t LastEmissionEnd = 0;
    bool Emitting = false;
    int32_t EmissionThrows = 0;

    // The effect this system belongs to (not owned; set by the effect).
    TOrvParticleEffect* Effect = nullptr;

    int32_t ParticleCount() const { return static_cast<int32_t>(Particles.size()); }
    TOrvParticle* Particle(int32_t index) const;
    // Sets the initial particle count and the divisor form of InitInterval
    // (the game spreads a contour's sparks this way).
    void SetInitParticles(int32_t count, int32_t divisor);
    // Starts the system: resolves the divisor form, throws the initial
    // particles staggered by InitInterval. False when a particle's morph fails.
    bool Validate() override;
    // Updates, removes expired particles and throws new ones.
    void Update(uint32_t now);
    // Throws n particles at the effect's current tick, fewer when the
    // system's, the effect's or the process's particle limit is reached.
    bool Throw(int32_t n, bool staggered);
    // Reads a <ParticleSystem> element. Throws its reading errors.
    void LoadFromXML(const TOrvXMLTag& tag);

private:
    std::unique_ptr<TOrvParticle> CreateParticle(const TOrvParticleTemplate& tmpl, uint32_t c, bool& ok);
};

class TOrvParticleTemplateLib : public TOrvCollectionOf<TOrvParticleTemplate> {
public:
    TOrvParticleTemplateLib();
    const char* ClassName() const override { return "TOrvParticleTemplateLib"; }
    std::unique_ptr<TOrvBaseObject> NewInstance() const override;
};

class TOrvParticleSystemLib : public TOrvCollectionOf<TOrvParticleSystem> {
public:
    TOrvParticleSystemLib();
    const char* ClassName() const override { return "TOrvParticleSystemLib"; }
    std::unique_ptr<TOrvBaseObject> NewInstance() const override;
};

class TOrvParticleEffect : public TOrvBaseObject {
public:
    TOrvParticleEffect();
    ~TOrvParticleEffect() override;
    const char* ClassName() const override { return "TOrvParticleEffect"; }
    std::unique_ptr<TOrvBaseObject> NewInstance() const override;

    uint32_t StartTick = 0;
    uint32_t CurrentTick = 0;
    int32_t ParticleCount = 0;
    bool HasLifetime = false;
    uint32_t Lifetime = 4294967295u;
    bool HasMinParticles = false;
    int32_t MinParticles = 0;

    bool Finished() const { return finished_; }
    // CurrentTick - StartTick.
    uint32_t Age() const { return CurrentTick - StartTick; }

    TOrvMorphFuncLib& Functions() { return *funcs_; }
    TOrvMorphLib& Morphs() { return *morphs_; }
    TOrvParticleTemplateLib& Templates() { return *templates_; }
    TOrvParticleSystemLib& Systems() { return *systems_; }
    const TOrvParticleSystemLib& Systems() const { return *systems_; }

    // Look-ups by name (case-insensitive); null when missing or of another kind.
    TOrvPiecewiseFunc* FindPiecewise(std::string_view name) const;
    TOrvParabolicFunc* FindParabolic(std::string_view name) const;
    TOrvParticleSystem* FindSystem(std::string_view name) const;

    // The random source of ranges and particle copies (not owned; null
    // restores the effect's own, seeded alike for every effect). Copies made
    // by Assign share a source given here.
    void SetRandom(TOrvRandom* random);
    TOrvRandom* Random() const { return random_; }

    // Reads the effect from the stream's bytes (from its position). Throws
    // OrvException "Invalid effect XML stream" for an empty stream, the
    // effect's name in quotes + " XML description is larger than N bytes"
    // past kMaxEffectFileSize (before anything is parsed), else the reading
    // errors; the effect is then empty.
    void LoadFromStream(TMemoryStream& stream);
    // Reads the effect from a document's root element. Besides the reading
    // errors, throws "\"" + name + "\" XML description asks for N initial
    // particles; an effect may have at most " + kMaxEffectParticles.
    void LoadFromXML(const TOrvXMLTag& root);
    // Particles alive in all systems of this effect.
    int32_t LiveParticles() const;
    // Deep copy of a prototype: libraries and their objects are cloned,
    // running particles are not.
    bool Assign(const TOrvBaseObject* source) override;
    // StartTick := CurrentTick := tick.
    void SetStartTick(uint32_t tick);
    // Validates the shared morphs, then starts every system (throws the
    // initial particles); false if one fails.
    bool Validate() override;
    // Advances to tick (ignored before StartTick) and decides Finished.
    void Update(uint32_t tick);
    // Drops every library and particle.
    void Clear();

private:
    void LinkLibraries();

    std::unique_ptr<TOrvMorphFuncLib> funcs_;
    std::unique_ptr<TOrvMorphLib> morphs_;
    std::unique_ptr<TOrvParticleTemplateLib> templates_;
    std::unique_ptr<TOrvParticleSystemLib> systems_;
    TOrvRandom ownRandom_;
    TOrvRandom* random_ = &ownRandom_;
    bool finished_ = false;
};

// How one particle is drawn with a picture whose frames are frameWidth wide
// and height high.
struct TOrvParticleDraw {
    int32_t X = 0;  // top-left of the frame on the destination
    int32_t Y = 0;
    uint8_t Opacity = 255;
    uint32_t TintColour = 0;  // 0x00BBGGRR
    uint8_t TintLevel = 0;
    int32_t Frame = 0;  // 0..frameCount - 1
};

// Drawing values of a particle: the frame centred at its drawing position
// plus (originX, originY); opacity round(Alpha x 255) combined with the
// drawing's own opacity; tint colour from Color; tint level from ColorValue
// (round((1 - v) x 255), at least 1 below 1, 0 at 1 or more); the frame
// round(Frame) wrapped into 0..frameCount - 1 when frameCount is 2 or more.
TOrvParticleDraw ParticleDrawParams(const TOrvParticle& particle, int32_t frameCount, int32_t frameWidth,
                                    int32_t height, int32_t originX, int32_t originY, uint8_t opacity);

// Draws every particle of every system of the effect onto dest through the
// engine, with the system's Resource picture (or picture when not empty),
// offset by (originX, originY) and cut to clip (inclusive; null = no clip).
// Systems whose picture is not registered are skipped.
void DrawParticleEffect(TSurfEngine& engine, const TOrvParticleEffect& effect, const std::string& dest, int32_t originX,
                        int32_t originY, const TRect* clip, uint8_t opacity = 255,
                        const std::string& picture = std::string());

// Registers a decoded picture (1 to 4 channels) as a surface of the engine
// under name, replacing one of that name; its alpha channel, if any, becomes
// the opacity plane. False when the surface cannot be created.
bool AddEffectPicture(TSurfEngine& engine, const std::string& name, const TPicture& picture);
