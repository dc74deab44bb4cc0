// Particle templates, particles, particle systems and effects: reading an
// effect file, copying a prototype, starting, updating and drawing it.
#include "fx/OrvFXParticles.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstring>

#include "base/OrvException.h"
#include "base/OrvParser.h"
#include "base/OrvStream.h"
#include "render/PictureCodec.h"
#include "render/SurfEngine.h"

namespace {

struct FixedParam {
    const char* Name;
    uint8_t Dim;
    TOrvVector Default;
};

const FixedParam kFixedParams[6] = {
    {"Position", 2, TOrvVector(0, 0, 0)}, {"Alpha", 1, TOrvVector(1.0f)}, {"Color", 3, TOrvVector(255, 255, 255)},
    {"ColorValue", 1, TOrvVector(0)},     {"Frame", 1, TOrvVector(0)},    {"Size", 2, TOrvVector(1, 1, 1)},
};

// Signed difference of two 32-bit ticks.
int64_t TickDiff(uint32_t later, uint32_t earlier) {
    return static_cast<int32_t>(later - earlier);
}

int32_t AsTime(uint32_t tick) {
    return static_cast<int32_t>(tick);
}

// A whole count of particles, 0..kMaxSystemParticles.
int32_t ReadCount(const TOrvXMLTag& tag) {
    int32_t v = 0;
    if (!FXParseInt(tag.Value, v) || v < 0 || v > kMaxSystemParticles)
        throw OrvException("<ParticleSystem> tag <" + tag.Name + "> has invalid value \"" + tag.Value + "\"");
    return v;
}

// Seconds to milliseconds, 0..2^31 - 1.
uint32_t ReadSeconds(std::string_view text, const std::string& tagName) {
    double s = 0.0;
    if (!FXParseNumber(text, s) || s < 0.0 || s * 1000.0 > 2147483647.0)
        throw OrvException("<" + tagName + "> has invalid value \"" + std::string(text) + "\"");
    return static_cast<uint32_t>(std::llround(s * 1000.0));
}

// The parameter's morph followed by every morph it is bound to, each once.
void CollectChain(TOrvMorph* m, std::vector<TOrvMorph*>& chain) {
    if (!m || std::find(chain.begin(), chain.end(), m) != chain.end()) return;
    chain.push_back(m);
    for (const TOrvBoundMorph& b : m->BoundMorphs) CollectChain(b.Morph, chain);
}

// Orders the entries so that one comes after every entry whose morph one of
// its settings takes a value from. Throws on a cycle.
void SortInitMorphs(std::vector<TOrvInitMorph>& entries) {
    const size_t n = entries.size();
    auto dependsOn = [&](size_t e, size_t f) {
        if (e == f || entries[e].MorphIndex == entries[f].MorphIndex) return false;
        for (const TOrvInitSetting& s : entries[e].Settings)
            if (s.Mode == smMorph && s.MorphIndex == entries[f].MorphIndex) return true;
        return false;
    };
    std::vector<bool> placed(n, false);
    std::vector<TOrvInitMorph> sorted;
    sorted.reserve(n);
    while (sorted.size() < n) {
        bool progress = false;
        for (size_t e = 0; e < n; ++e) {
            if (placed[e]) continue;
            bool ready = true;
            for (size_t f = 0; f < n && ready; ++f)
                if (!placed[f] && dependsOn(e, f)) ready = false;
            if (!ready) continue;
            placed[e] = true;
            sorted.push_back(entries[e]);
            progress = true;
        }
        if (!progress) throw OrvException("<InitMorphs> tag contains cyclic Morph references");
    }
    entries = std::move(sorted);
}

}  // namespace

// ---------------------------------------------------------------------------
// TOrvParticleTemplate

TOrvParticleTemplate::TOrvParticleTemplate() {
    SetDefaultName("TOrvParticleTemplate");
    for (const FixedParam& f : kFixedParams) {
        TOrvParticleParam p;
        p.Name = f.Name;
        p.Dim = f.Dim;
        p.Default = f.Default;
        Params.push_back(p);
    }
}

std::unique_ptr<TOrvBaseObject> TOrvParticleTemplate::NewInstance() const {
    return std::make_unique<TOrvParticleTemplate>();
}

bool TOrvParticleTemplate::Assign(const TOrvBaseObject* source) {
    const auto* src = dynamic_cast<const TOrvParticleTemplate*>(source);
    if (!src) return false;
    TOrvBaseObject::Assign(source);
    Params = src->Params;
    return true;
}

int32_t TOrvParticleTemplate::ParamIndexOf(std::string_view name) const {
    for (size_t i = 0; i < Params.size(); ++i)
        if (FXSameText(Params[i].Name, name)) return static_cast<int32_t>(i);
    return -1;
}

void TOrvParticleTemplate::LoadFromXML(const TOrvXMLTag& tag, const TOrvMorphLib& morphs) {
    const TOrvParserAttribute* name = tag.FindAttribute("Name");
    if (!name) throw OrvException("<Particle> tag has no \"Name\" attribute");
    SetName(name->Value);
    for (const auto& child : tag.Tags) {
        if (child->Name != "Parameter")
            throw OrvException("<Particle> tag contains invalid tag \"" + child->Name + "\"");
        const TOrvXMLTag& pt = *child;
        const TOrvParserAttribute* pname = pt.FindAttribute("Name");
        if (!pname) throw OrvException("<Parameter> tag has no \"Name\" attribute");
        const TOrvParserAttribute* pdim = pt.FindAttribute("Dim");
        if (!pdim) throw OrvException("<Parameter> tag has no \"Dim\" attribute");
        const TOrvParserAttribute* pmorph = pt.FindAttribute("Morph");
        if (!pmorph) throw OrvException("<Parameter> tag has no \"Morph\" attribute");
        int32_t dim = 0;
        if (!FXParseInt(pdim->Value, dim) || dim < 1 || dim > 3)
            throw OrvException("<Parameter> tag has invalid \"Dim\" attribute value \"" + pdim->Value + "\"");
        const int32_t morphIndex = morphs.IndexOf(pmorph->Value);
        if (morphIndex < 0)
            throw OrvException("<Parameter> tag \"Morph\" attribute contains unknown Morph name \"" + pmorph->Value +
                               "\"");

        int32_t slot = -1;
        for (int i = 0; i < 6; ++i)
            if (FXSameText(pname->Value, kFixedParams[i].Name)) slot = i;
        if (slot < 0) {
            TOrvParticleParam extra;
            extra.Name = pname->Value;
            Params.push_back(extra);
            slot = static_cast<int32_t>(Params.size()) - 1;
        }
        TOrvParticleParam& p = Params[static_cast<size_t>(slot)];
        p.Dim = static_cast<uint8_t>(dim);
        p.MorphIndex = morphIndex;
        p.ClonedMorph = pt.AttributeValue("ClonedMorph") == "true";
        p.InitMorphs.clear();
        p.HasLiveRange = false;

        if (const TOrvXMLTag* inits = pt.FindTag("InitMorphs")) {
            for (const auto& im : inits->Tags) {
                if (im->Name != "InitMorph")
                    throw OrvException("<InitMorphs> tag contains invalid tag \"" + im->Name + "\"");
                const TOrvParserAttribute* imName = im->FindAttribute("Name");
                if (!imName) throw OrvException("<InitMorph> tag has no \"Name\" attribute");
                TOrvInitMorph entry;
                entry.MorphName = imName->Value;
                entry.MorphIndex = morphs.IndexOf(imName->Value);
                if (entry.MorphIndex < 0)
                    throw OrvException("<InitMorph> tag \"Name\" attribute contains unknown Morph name \"" +
                                       imName->Value + "\"");
                const TOrvMorph* target = morphs.Get(entry.MorphIndex);
                for (const auto& prop : im->Tags) {
                    if (prop->Name != "Property")
                        throw OrvException("<InitMorph> tag contains invalid tag <" + prop->Name + ">");
                    const TOrvParserAttribute* propName = prop->FindAttribute("Name");
                    if (!propName) throw OrvException("<Property> tag has no \"Name\" attribute");
                    TOrvInitSetting s;
                    s.Name = propName->Value;
                    target->ResolveProperty(s.Name, s.Kind, s.FuncIndex, s.ParamIndex);
                    const std::string text(FXTrim(prop->Value));
                    s.StartTickMark = s.Kind == mpStartTime && text == "T";
                    const int32_t bound = morphs.IndexOf(text);
                    if (bound >= 0) {
                        s.Mode = smMorph;
                        s.MorphIndex = bound;
                        entry.Settings.push_back(s);
                        continue;
                    }
                    // "T" stands for the effect's start tick, 0 while loading. A
                    // StartTime of just "T" puts the morph on the effect's clock
                    // when a particle is made (see CreateParticle).
                    if (s.StartTickMark) {
                        entry.Settings.push_back(s);
                        continue;
                    }
                    std::string constant = text;
                    std::replace(constant.begin(), constant.end(), 'T', '0');
                    const TOrvPropertyValue v = ParsePropertyValue(constant, nullptr);
                    if (v.Ignored) continue;
                    s.Mode = v.Mode;
                    s.First = v.First;
                    s.Second = v.Second;
                    entry.Settings.push_back(s);
                }
                p.InitMorphs.push_back(std::move(entry));
            }
            SortInitMorphs(p.InitMorphs);
        }

        if (const TOrvXMLTag* live = pt.FindTag("LiveValue")) {
            const std::string& text = live->Value;
            const size_t cut = text.find(")-(");
            try {
                if (cut == std::string::npos) throw OrvException("", false);
                p.LiveLow = StrToVector(std::string_view(text).substr(0, cut + 1));
                p.LiveHigh = StrToVector(std::string_view(text).substr(cut + 2));
            } catch (const OrvException&) {
                throw OrvException("<LiveValue> tag value \"" + text + "\" has invalid syntax");
            }
            p.HasLiveRange = true;
        }
    }
}

// ---------------------------------------------------------------------------
// TOrvParticle

namespace {

// Particles alive in the process; every particle counts itself in and out.
std::atomic<int64_t> liveParticles{0};

}  // namespace

TOrvParticle::TOrvParticle() {
    liveParticles.fetch_add(1, std::memory_order_relaxed);
}

TOrvParticle::~TOrvParticle() {
    liveParticles.fetch_sub(1, std::memory_order_relaxed);
}

int64_t TOrvParticle::LiveCount() {
    return liveParticles.load(std::memory_order_relaxed);
}

void TOrvParticle::Update(uint32_t now) {
    CurrentTime = now;
    Dead = false;
    for (size_t i = 0; i < Params.size(); ++i) {
        TOrvParticleValue& v = Params[i];
        if (v.Morph) {
            // A shared morph runs on the effect's clock shifted by the
            // particle's offset; a particle's own copy runs from its birth.
            if (!v.Own) v.Morph->ExtraOffset = TimeOffset;
            v.Value = v.Morph->GetValue(AsTime(now), false);
        }
        if (!Template || i >= Template->Params.size()) continue;
        const TOrvParticleParam& p = Template->Params[i];
        if (!p.HasLiveRange) continue;
        for (int c = 0; c < p.Dim; ++c) {
            // A value that is not a number is outside every range.
            if (!(v.Value[c] >= p.LiveLow[c] && v.Value[c] <= p.LiveHigh[c])) {
                Dead = true;
                return;
            }
        }
    }
}

TOrvVector TOrvParticle::Value(int32_t index) const {
    if (index < 0 || static_cast<size_t>(index) >= Params.size()) return TOrvVector();
    return Params[static_cast<size_t>(index)].Value;
}

// ---------------------------------------------------------------------------
// TOrvParticleSystem

TOrvParticleSystem::TOrvParticleSystem() {
    SetDefaultName("TOrvParticleSystem");
}

std::unique_ptr<TOrvBaseObject> TOrvParticleSystem::NewInstance() const {
    return std::make_unique<TOrvParticleSystem>();
}

bool TOrvParticleSystem::Assign(const TOrvBaseObject* source) {
    const auto* src = dynamic_cast<const TOrvParticleSystem*>(source);
    if (!src) return false;
    TOrvBaseObject::Assign(source);
    Template = src->Template;
    Position = src->Position;
    InitParticles = src->InitParticles;
    InitInterval = src->InitInterval;
    InitDivisor = src->InitDivisor;
    MinParticles = src->MinParticles;
    MaxParticles = src->MaxParticles;
    MaxLifetime = src->MaxLifetime;
    ThrowInterval = src->ThrowInterval;
    ParticlesPerThrow = src->ParticlesPerThrow;
    EmissionInterval = src->EmissionInterval;
    ThrowsPerEmission = src->ThrowsPerEmission;
    FrameCount = src->FrameCount;
    Resource = src->Resource;
    Particles.clear();
    LastThrow = LastEmissionEnd = 0;
    Emitting = false;
    EmissionThrows = 0;
    return true;
}

TOrvParticle* TOrvParticleSystem::Particle(int32_t index) const {
    if (index < 0 || index >= ParticleCount()) return nullptr;
    return Particles[static_cast<size_t>(index)].get();
}

void TOrvParticleSystem::SetInitParticles(int32_t count, int32_t divisor) {
    InitParticles = std::clamp(count, 0, kMaxSystemParticles);
    InitDivisor = divisor;
}

bool TOrvParticleSystem::Validate() {
    if (!Effect) return false;
    Particles.clear();
    if (InitParticles != 0 && InitDivisor > 0) {
        // Spread the initial particles evenly along the template's path.
        InitInterval = 0;
        const TOrvParticleTemplate* tmpl = Effect->Templates().Find(Template);
        const TOrvMorph* m = tmpl ? Effect->Morphs().Get(tmpl->Params[0].MorphIndex) : nullptr;
        for (int32_t i = 0; m && i < m->FunctionCount(); ++i)
            if (const auto* path = dynamic_cast<const TOrvPiecewiseFunc*>(m->Function(i))) {
                InitInterval = path->TotalDuration / static_cast<uint32_t>(InitDivisor);
                break;
            }
    }
    LastEmissionEnd = Effect->CurrentTick - EmissionInterval;
    Emitting = false;
    EmissionThrows = 0;
    return Throw(InitParticles, true);
}

std::unique_ptr<TOrvParticle> TOrvParticleSystem::CreateParticle(const TOrvParticleTemplate& tmpl, uint32_t c,
                                                                 bool& ok) {
    TOrvMorphLib& morphs = Effect->Morphs();
    auto p = std::make_unique<TOrvParticle>();
    p->Template = &tmpl;
    p->BirthTime = c;
    p->CurrentTime = c;
    p->Params.resize(tmpl.Params.size());
    for (size_t i = 0; i < tmpl.Params.size(); ++i) {
        const TOrvParticleParam& param = tmpl.Params[i];
        TOrvParticleValue& value = p->Params[i];
        value.Value = param.Default;
        TOrvMorph* source = morphs.Get(param.MorphIndex);
        if (!source) continue;
        if (param.ClonedMorph) {
            auto own = std::make_unique<TOrvMorph>();
            own->FuncLib = &Effect->Functions();
            own->MorphLib = &morphs;
            own->Random = Effect->Random();
            if (!own->Assign(source)) ok = false;
            own->SetStartTime(AsTime(c));
            if (!own->Validate()) ok = false;
            value.Morph = own.get();
            value.Own = std::move(own);
        } else {
            value.Morph = source;
        }

        std::vector<TOrvMorph*> chain;
        if (!param.InitMorphs.empty()) CollectChain(value.Morph, chain);
        for (const TOrvInitMorph& im : param.InitMorphs) {
            TOrvMorph* target = nullptr;
            for (TOrvMorph* m : chain)
                if (FXSameText(m->Name(), im.MorphName)) {
                    target = m;
                    break;
                }
            const bool inChain = target != nullptr;
            if (!target) target = morphs.Get(im.MorphIndex);
            if (!target) continue;
            for (const TOrvInitSetting& s : im.Settings) {
                TOrvVector v = s.First;
                if (s.StartTickMark && s.Mode != smMorph) {
                    target->SetStartTime(AsTime(Effect->StartTick));
                    continue;
                }
                if (s.Mode == smMorph) {
                    TOrvMorph* from = morphs.Get(s.MorphIndex);
                    if (!from) continue;
                    from->SetStartTime(AsTime(s.StartTickMark ? Effect->StartTick : c));
                    v = from->GetValue(AsTime(c), false);
                } else if (s.Mode == smRange) {
                    for (int k = 0; k < target->Dim(); ++k) {
                        const double r = Effect->Random() ? Effect->Random()->Unit() : 0.0;
                        v[k] = static_cast<float>(s.First[k] + r * (double(s.Second[k]) - double(s.First[k])));
                    }
                }
                try {
                    target->ApplyProperty(s.Kind, s.FuncIndex, s.ParamIndex, v);
                } catch (const OrvException&) {
                    ok = false;
                }
            }
            if (!inChain && !target->Validate()) ok = false;
        }
    }
    return p;
}

bool TOrvParticleSystem::Throw(int32_t n, bool staggered) {
    if (!Effect) return false;
    const uint32_t c = Effect->CurrentTick;
    LastThrow = c;
    const TOrvParticleTemplate* tmpl = Effect->Templates().Find(Template);
    if (!tmpl) return false;
    // What the limits still allow: this system's, the effect's, and the one
    // of all running effects.
    const int64_t room = std::min({int64_t(kMaxSystemParticles) - ParticleCount(),
                                   int64_t(kMaxEffectParticles) - Effect->LiveParticles(),
                                   kMaxLiveParticles - TOrvParticle::LiveCount()});
    const int32_t count = static_cast<int32_t>(std::clamp<int64_t>(room, 0, std::max(n, 0)));
    bool ok = true;
    for (int32_t k = 0; k < count; ++k) {
        std::unique_ptr<TOrvParticle> p = CreateParticle(*tmpl, c, ok);
        p->Name = tmpl->Name() + std::to_string(Particles.size());
        p->TimeOffset = staggered ? static_cast<int32_t>(static_cast<uint32_t>(int64_t(k) * InitInterval)) : 0;
        p->Update(c);
        const TOrvVector pos = p->Value(ppPosition);
        p->DrawX = pos.X + Position.X;
        p->DrawY = pos.Y + Position.Y;
        Particles.push_back(std::move(p));
    }
    return ok;
}

void TOrvParticleSystem::Update(uint32_t now) {
    for (size_t i = 0; i < Particles.size();) {
        TOrvParticle& p = *Particles[i];
        p.Update(now);
        const bool expired = p.Dead || (MaxLifetime != 0 && TickDiff(now, p.BirthTime) > int64_t(MaxLifetime));
        if (expired && ParticleCount() > MinParticles) {
            Particles.erase(Particles.begin() + static_cast<std::ptrdiff_t>(i));
            continue;
        }
        const TOrvVector pos = p.Value(ppPosition);
        p.DrawX = pos.X + Position.X;
        p.DrawY = pos.Y + Position.Y;
        ++i;
    }

    auto throwRule = [&] {
        if (ThrowInterval == 0 || TickDiff(now, LastThrow) < int64_t(ThrowInterval)) return false;
        if (int64_t(ParticleCount()) + ParticlesPerThrow > MaxParticles) return false;
        Throw(ParticlesPerThrow, false);
        return true;
    };
    if (EmissionInterval == 0) {
        throwRule();
        return;
    }
    if (!Emitting && TickDiff(now, LastEmissionEnd) >= int64_t(EmissionInterval)) {
        Emitting = true;
        EmissionThrows = 0;
    }
    if (Emitting && throwRule()) {
        ++EmissionThrows;
        if (EmissionThrows == ThrowsPerEmission) {
            Emitting = false;
            LastEmissionEnd = now;
        }
    }
}

void TOrvParticleSystem::LoadFromXML(const TOrvXMLTag& tag) {
    const TOrvParserAttribute* name = tag.FindAttribute("Name");
    if (!name) throw OrvException("<ParticleSystem> tag has no \"Name\" attribute");
    const TOrvParserAttribute* tmpl = tag.FindAttribute("Template");
    if (!tmpl) throw OrvException("<ParticleSystem> tag has no \"Template\" attribute");
    SetName(name->Value);
    Template = tmpl->Value;
    for (const auto& child : tag.Tags) {
        const std::string& n = child->Name;
        const std::string_view text = FXTrim(child->Value);
        if (n == "Position") {
            Position = StrToVector(text);
        } else if (n == "InitParticles") {
            InitParticles = ReadCount(*child);
        } else if (n == "InitInterval") {
            if (!text.empty() && text.front() == '/') {
                int32_t d = 0;
                if (!FXParseInt(text.substr(1), d) || d < 1)
                    throw OrvException("<InitInterval> has invalid value \"" + std::string(text) + "\"");
                InitDivisor = d;
            } else {
                InitInterval = ReadSeconds(text, n);
                InitDivisor = 0;
            }
        } else if (n == "MinParticles") {
            MinParticles = ReadCount(*child);
        } else if (n == "MaxParticles") {
            MaxParticles = ReadCount(*child);
        } else if (n == "ThrowInterval") {
            ThrowInterval = ReadSeconds(text, n);
        } else if (n == "ParticlesPerThrow") {
            ParticlesPerThrow = ReadCount(*child);
        } else if (n == "EmissionInterval") {
            EmissionInterval = ReadSeconds(text, n);
        } else if (n == "ThrowsPerEmission") {
            ThrowsPerEmission = ReadCount(*child);
        } else if (n == "MaxLifetime") {
            MaxLifetime = ReadSeconds(text, n);
        } else if (n == "FrameCount") {
            FrameCount = ReadCount(*child);
        } else if (n == "Resource") {
            Resource = std::string(text.substr(0, TOrvBaseObject::MaxNameLength));
        } else {
            throw OrvException("<ParticleSystem> tag contains invalid tag \"" + n + "\"");
        }
    }
}

TOrvParticleTemplateLib::TOrvParticleTemplateLib() {
    SetDefaultName("TOrvParticleTemplateLib");
}

std::unique_ptr<TOrvBaseObject> TOrvParticleTemplateLib::NewInstance() const {
    return std::make_unique<TOrvParticleTemplateLib>();
}

TOrvParticleSystemLib::TOrvParticleSystemLib() {
    SetDefaultName("TOrvParticleSystemLib");
}

std::unique_ptr<TOrvBaseObject> TOrvParticleSystemLib::NewInstance() const {
    return std::make_unique<TOrvParticleSystemLib>();
}

// ---------------------------------------------------------------------------
// TOrvParticleEffect

TOrvParticleEffect::TOrvParticleEffect() {
    SetDefaultName("TOrvParticleEffect");
    Clear();
}

TOrvParticleEffect::~TOrvParticleEffect() {
    // Particles hold copies linked to the libraries: free them first.
    if (systems_) systems_->Clear();
}

std::unique_ptr<TOrvBaseObject> TOrvParticleEffect::NewInstance() const {
    return std::make_unique<TOrvParticleEffect>();
}

void TOrvParticleEffect::Clear() {
    if (systems_) systems_->Clear();
    systems_ = std::make_unique<TOrvParticleSystemLib>();
    templates_ = std::make_unique<TOrvParticleTemplateLib>();
    morphs_ = std::make_unique<TOrvMorphLib>();
    funcs_ = std::make_unique<TOrvMorphFuncLib>();
    ParticleCount = 0;
    HasLifetime = false;
    Lifetime = 4294967295u;
    HasMinParticles = false;
    MinParticles = 0;
    finished_ = false;
    LinkLibraries();
}

void TOrvParticleEffect::LinkLibraries() {
    morphs_->FuncLib = funcs_.get();
    morphs_->Random = random_;
    for (int32_t i = 0; i < morphs_->Count(); ++i)
        if (TOrvMorph* m = morphs_->Get(i)) {
            m->FuncLib = funcs_.get();
            m->MorphLib = morphs_.get();
            m->Random = random_;
        }
    for (int32_t i = 0; i < systems_->Count(); ++i)
        if (TOrvParticleSystem* s = systems_->Get(i)) {
            s->Effect = this;
            for (auto& p : s->Particles)
                for (auto& v : p->Params)
                    if (v.Own) v.Own->Random = random_;
        }
}

void TOrvParticleEffect::SetRandom(TOrvRandom* random) {
    random_ = random ? random : &ownRandom_;
    LinkLibraries();
}

TOrvPiecewiseFunc* TOrvParticleEffect::FindPiecewise(std::string_view name) const {
    return dynamic_cast<TOrvPiecewiseFunc*>(funcs_->Find(name));
}

TOrvParabolicFunc* TOrvParticleEffect::FindParabolic(std::string_view name) const {
    return dynamic_cast<TOrvParabolicFunc*>(funcs_->Find(name));
}

TOrvParticleSystem* TOrvParticleEffect::FindSystem(std::string_view name) const {
    return systems_->Find(name);
}

void TOrvParticleEffect::LoadFromStream(TMemoryStream& stream) {
    if (stream.Position() >= stream.Size()) throw OrvException("Invalid effect XML stream");
    if (stream.Size() - stream.Position() > kMaxEffectFileSize)
        throw OrvException("\"" + Name() + "\" XML description is larger than " + std::to_string(kMaxEffectFileSize) +
                           " bytes");
    TOrvParser doc;
    try {
        doc.LoadFromStream(stream);
    } catch (...) {
        Clear();
        throw;
    }
    LoadFromXML(doc);
}

void TOrvParticleEffect::LoadFromXML(const TOrvXMLTag& root) {
    const std::string oldName = Name();
    Clear();
    try {
        auto missing = [&](const char* tagName) {
            return OrvException("\"" + Name() + "\" XML description has no " + tagName + " tag");
        };
        const TOrvXMLTag* pe = root.FindTag("ParticleEffect");
        if (!pe) throw missing("<ParticleEffect>");
        const TOrvParserAttribute* name = pe->FindAttribute("Name");
        if (!name) throw OrvException("Tag <ParticleEffect> has no \"Name\" attribute");
        SetName(name->Value);
        if (const TOrvParserAttribute* life = pe->FindAttribute("Lifetime")) {
            Lifetime = ReadSeconds(life->Value, "ParticleEffect Lifetime");
            HasLifetime = true;
        }
        if (const TOrvParserAttribute* minp = pe->FindAttribute("MinParticles")) {
            if (!FXParseInt(minp->Value, MinParticles))
                throw OrvException("<ParticleEffect> tag has invalid \"MinParticles\" value \"" + minp->Value + "\"");
            HasMinParticles = true;
        }
        const TOrvXMLTag* funcs = pe->FindTag("Functions");
        if (!funcs) throw missing("<Functions>");
        const TOrvXMLTag* morphs = pe->FindTag("Morphs");
        if (!morphs) throw missing("<Morphs>");
        const TOrvXMLTag* particles = pe->FindTag("Particles");
        if (!particles) throw missing("<Particles>");
        const TOrvXMLTag* systems = pe->FindTag("ParticleSystems");
        if (!systems) throw missing("<ParticleSystems>");

        funcs_->LoadFromXML(*funcs);
        morphs_->LoadFromXML(*morphs);
        for (const auto& child : particles->Tags) {
            if (child->Name != "Particle")
                throw OrvException("<Particles> tag contains invalid tag \"" + child->Name + "\"");
            auto t = std::make_unique<TOrvParticleTemplate>();
            t->LoadFromXML(*child, *morphs_);
            templates_->Add(std::move(t));
        }
        int64_t initial = 0;
        for (const auto& child : systems->Tags) {
            if (child->Name != "ParticleSystem")
                throw OrvException("<ParticleSystems> tag contains invalid tag \"" + child->Name + "\"");
            auto s = std::make_unique<TOrvParticleSystem>();
            s->LoadFromXML(*child);
            if (!templates_->Find(s->Template)) continue;
            initial += s->InitParticles;
            s->Effect = this;
            systems_->Add(std::move(s));
        }
        // Refused here, with the numbers, rather than cut short unseen when
        // the effect starts.
        if (initial > kMaxEffectParticles)
            throw OrvException("\"" + Name() + "\" XML description asks for " + std::to_string(initial) +
                               " initial particles; an effect may have at most " + std::to_string(kMaxEffectParticles));
    } catch (...) {
        Clear();
        SetName(oldName);
        throw;
    }
}

bool TOrvParticleEffect::Assign(const TOrvBaseObject* source) {
    const auto* src = dynamic_cast<const TOrvParticleEffect*>(source);
    if (!src) return false;
    if (src == this) return true;
    Clear();
    TOrvBaseObject::Assign(source);
    StartTick = src->StartTick;
    CurrentTick = src->CurrentTick;
    HasLifetime = src->HasLifetime;
    Lifetime = src->Lifetime;
    HasMinParticles = src->HasMinParticles;
    MinParticles = src->MinParticles;
    finished_ = false;
    if (src->random_ != &src->ownRandom_) {
        random_ = src->random_;
    } else {
        ownRandom_ = src->ownRandom_;
        random_ = &ownRandom_;
    }
    LinkLibraries();
    const bool ok = funcs_->Assign(src->funcs_.get()) && morphs_->Assign(src->morphs_.get()) &&
                    templates_->Assign(src->templates_.get()) && systems_->Assign(src->systems_.get());
    LinkLibraries();
    if (!ok) Clear();
    return ok;
}

void TOrvParticleEffect::SetStartTick(uint32_t tick) {
    StartTick = CurrentTick = tick;
}

bool TOrvParticleEffect::Validate() {
    // The shared morphs first: their ranges and bindings are resolved once
    // per start of the effect.
    bool ok = morphs_->Validate();
    for (int32_t i = 0; i < systems_->Count(); ++i)
        if (TOrvParticleSystem* s = systems_->Get(i)) {
            s->Effect = this;
            if (!s->Validate()) ok = false;
        }
    return ok;
}

int32_t TOrvParticleEffect::LiveParticles() const {
    int64_t total = 0;
    for (int32_t i = 0; i < systems_->Count(); ++i)
        if (const TOrvParticleSystem* s = systems_->Get(i)) total += s->ParticleCount();
    return static_cast<int32_t>(std::min<int64_t>(total, INT32_MAX));
}

void TOrvParticleEffect::Update(uint32_t tick) {
    if (TickDiff(tick, StartTick) < 0) return;
    CurrentTick = tick;
    ParticleCount = 0;
    for (int32_t i = 0; i < systems_->Count(); ++i)
        if (TOrvParticleSystem* s = systems_->Get(i)) {
            s->Update(tick);
            ParticleCount += s->ParticleCount();
        }
    finished_ = (HasLifetime && int64_t(CurrentTick - StartTick) > int64_t(Lifetime)) ||
                (HasMinParticles && ParticleCount < MinParticles);
}

// ---------------------------------------------------------------------------
// Drawing

TOrvParticleDraw ParticleDrawParams(const TOrvParticle& particle, int32_t frameCount, int32_t frameWidth,
                                    int32_t height, int32_t originX, int32_t originY, uint8_t opacity) {
    TOrvParticleDraw d;
    auto place = [](float pos, int32_t half, int32_t origin) {
        const int64_t v = int64_t(FXRound(pos)) - half + origin;
        return static_cast<int32_t>(std::clamp<int64_t>(v, -1000000000, 1000000000));
    };
    d.X = place(particle.DrawX, frameWidth / 2, originX);
    d.Y = place(particle.DrawY, height / 2, originY);

    const int32_t alpha = std::clamp(FXRound(double(particle.Value(ppAlpha).X) * 255.0), 0, 255);
    d.Opacity = static_cast<uint8_t>((alpha * opacity + 127) / 255);

    const TOrvVector c = particle.Value(ppColor);
    auto channel = [](float v) {
        if (!(v > 0.0f)) return 0u;
        return v >= 255.0f ? 255u : static_cast<uint32_t>(v);
    };
    d.TintColour = channel(c.X) | (channel(c.Y) << 8) | (channel(c.Z) << 16);

    const float cv = particle.Value(ppColorValue).X;
    if (cv >= 1.0f) {
        d.TintLevel = 0;
    } else {
        d.TintLevel = static_cast<uint8_t>(std::clamp(FXRound((1.0 - double(cv)) * 255.0), 1, 255));
    }

    if (frameCount >= 2) {
        int32_t f = FXRound(particle.Value(ppFrame).X) % frameCount;
        if (f < 0) f += frameCount;
        d.Frame = f;
    }
    return d;
}

void DrawParticleEffect(TSurfEngine& engine, const TOrvParticleEffect& effect, const std::string& dest, int32_t originX,
                        int32_t originY, const TRect* clip, uint8_t opacity, const std::string& picture) {
    const SurfaceRecord* target = engine.GetSurface(dest);
    if (!target) return;
    // Everything is cut to the destination, and to the clip rectangle if any.
    int64_t cl = 0, ct = 0, cr = int64_t(target->Width) - 1, cb = int64_t(target->Height) - 1;
    if (clip) {
        cl = std::max<int64_t>(cl, clip->Left);
        ct = std::max<int64_t>(ct, clip->Top);
        cr = std::min<int64_t>(cr, clip->Right);
        cb = std::min<int64_t>(cb, clip->Bottom);
    }
    if (cr < cl || cb < ct) return;

    const TOrvParticleSystemLib& systems = effect.Systems();
    for (int32_t si = 0; si < systems.Count(); ++si) {
        const TOrvParticleSystem* sys = systems.Get(si);
        if (!sys) continue;
        const std::string& name = picture.empty() ? sys->Resource : picture;
        const SurfaceRecord* pic = engine.GetSurface(name);
        if (!pic || !pic->Bits) continue;
        const int32_t frames = sys->FrameCount >= 2 ? sys->FrameCount : 1;
        const int32_t fw = pic->Width / frames;
        const int32_t h = pic->Height;
        if (fw <= 0 || h <= 0) continue;
        for (const auto& p : sys->Particles) {
            const TOrvParticleDraw d = ParticleDrawParams(*p, frames, fw, h, originX, originY, opacity);
            if (d.Opacity == 0) continue;
            int64_t x = d.X, y = d.Y;
            int64_t left = int64_t(d.Frame) * fw, top = 0, right = left + fw - 1, bottom = h - 1;
            if (x < cl) {
                left += cl - x;
                x = cl;
            }
            if (y < ct) {
                top += ct - y;
                y = ct;
            }
            if (x + (right - left) > cr) right = left + (cr - x);
            if (y + (bottom - top) > cb) bottom = top + (cb - y);
            if (right < left || bottom < top) continue;
            const TRect src{static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(right),
                            static_cast<int32_t>(bottom)};
            engine.DrawWithAlphaChannel(name, dest, static_cast<int32_t>(x), static_cast<int32_t>(y), d.Opacity, &src,
                                        d.TintColour, d.TintLevel);
        }
    }
}

bool AddEffectPicture(TSurfEngine& engine, const std::string& name, const TPicture& picture) {
    if (picture.Empty() || picture.Channels < 1 || picture.Channels > 4) return false;
    const TPicture rgba = picture.Channels == 4 ? picture : ConvertChannels(picture, 4);
    engine.DeleteSurface(name);
    if (!engine.CreateEmptySurface(name, rgba.Width, rgba.Height)) return false;
    SurfaceRecord* rec = engine.GetSurface(name);
    if (!rec || !rec->Bits) return false;
    const int bytes = engine.Format().BytesPerPixel();
    for (int32_t y = 0; y < rgba.Height; ++y) {
        const uint8_t* src = rgba.Row(y);
        uint8_t* row = rec->Bits + size_t(y) * size_t(rec->Pitch);
        for (int32_t x = 0; x < rgba.Width; ++x) {
            const uint32_t v = engine.ConvertRGB(src[4 * x], src[4 * x + 1], src[4 * x + 2]);
            if (bytes == 2) {
                const uint16_t w = static_cast<uint16_t>(v);
                std::memcpy(row + 2 * x, &w, 2);
            } else {
                std::memcpy(row + 4 * x, &v, 4);
            }
        }
    }
    if (picture.HasAlpha()) {
        rec->AlphaStride = rgba.Width;
        rec->AlphaMap.resize(size_t(rgba.Width) * size_t(rgba.Height));
        for (int32_t y = 0; y < rgba.Height; ++y)
            for (int32_t x = 0; x < rgba.Width; ++x)
                rec->AlphaMap[size_t(y) * size_t(rgba.Width) + size_t(x)] = rgba.Row(y)[4 * x + 3];
    }
    return true;
}
