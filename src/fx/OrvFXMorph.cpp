// Rotators, morphs and the morph library.
#include <cmath>

#include "base/OrvException.h"
#include "base/OrvParser.h"
#include "fx/OrvFXBase.h"

namespace {

// Differences of 32-bit millisecond ticks wrap like the tick counter itself.
int32_t WrapTime(int64_t t) {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(t)));
}

TOrvMatrix Translation(const TOrvVector& t) {
    TOrvMatrix m;
    m.M[3][0] = t.X;
    m.M[3][1] = t.Y;
    m.M[3][2] = t.Z;
    return m;
}

// Rotation of row vectors about one axis through the origin.
TOrvMatrix AxisRotation(char axis, float angle) {
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    TOrvMatrix m;
    switch (axis) {
        case 'X':
            m.M[1][1] = c;
            m.M[1][2] = s;
            m.M[2][1] = -s;
            m.M[2][2] = c;
            break;
        case 'Y':
            m.M[0][0] = c;
            m.M[0][2] = -s;
            m.M[2][0] = s;
            m.M[2][2] = c;
            break;
        default:
            m.M[0][0] = c;
            m.M[0][1] = s;
            m.M[1][0] = -s;
            m.M[1][1] = c;
            break;
    }
    return m;
}

}  // namespace

// ---------------------------------------------------------------------------
// TOrvMatrix

TOrvMatrix TOrvMatrix::operator*(const TOrvMatrix& other) const {
    TOrvMatrix r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) sum += M[i][k] * other.M[k][j];
            r.M[i][j] = sum;
        }
    return r;
}

TOrvVector TOrvMatrix::Transform(const TOrvVector& v) const {
    TOrvVector r;
    for (int j = 0; j < 3; ++j) r[j] = v.X * M[0][j] + v.Y * M[1][j] + v.Z * M[2][j] + M[3][j];
    return r;
}

// ---------------------------------------------------------------------------
// TOrvRotator

TOrvRotator::TOrvRotator() {
    SetDefaultName("TOrvRotator");
}

std::unique_ptr<TOrvBaseObject> TOrvRotator::NewInstance() const {
    return std::make_unique<TOrvRotator>();
}

bool TOrvRotator::Assign(const TOrvBaseObject* source) {
    const auto* src = dynamic_cast<const TOrvRotator*>(source);
    if (!src) return false;
    TOrvBaseObject::Assign(source);
    Steps = src->Steps;
    Matrix = src->Matrix;
    partial_ = src->partial_;
    return true;
}

void TOrvRotator::SetPattern(std::string_view pattern) {
    std::vector<TOrvRotationStep> steps;
    TOrvVector translation;
    std::string_view rest = pattern;
    while (!rest.empty()) {
        const size_t semi = rest.find(';');
        const std::string_view item = FXTrim(rest.substr(0, semi));
        rest = semi == std::string_view::npos ? std::string_view() : rest.substr(semi + 1);
        if (item.empty()) continue;
        if (item.front() == '(') {
            translation = StrToVector(item);
            continue;
        }
        TOrvRotationStep step;
        char axis = item.front();
        if (axis >= 'a' && axis <= 'z') axis = static_cast<char>(axis - 32);
        if (axis != 'X' && axis != 'Y' && axis != 'Z')
            throw OrvException("Invalid base axis value \"" + std::string(1, item.front()) + "\"");
        step.Axis = axis;
        step.Translation = translation;
        std::string_view tail = FXTrim(item.substr(1));
        if (!tail.empty() && tail.front() == '[') {
            const size_t close = tail.find(']');
            int32_t k = 0;
            if (close == std::string_view::npos || !FXParseInt(tail.substr(1, close - 1), k) || k < 1 || k > 3)
                throw OrvException("Invalid rotation pattern parameter index");
            step.Source = static_cast<uint8_t>(k);
            tail = FXTrim(tail.substr(close + 1));
        }
        if (!tail.empty()) {
            if (tail.front() != '=' || !FXParseFloat(tail.substr(1), step.Angle))
                throw OrvException("Invalid rotation pattern item \"" + std::string(item) + "\"");
        }
        steps.push_back(step);
    }
    int32_t next = -1;
    for (size_t i = steps.size(); i-- > 0;) {
        steps[i].NextSourced = next;
        if (steps[i].Source != 0) next = static_cast<int32_t>(i);
    }
    Steps = std::move(steps);
    Rebuild(0);
}

void TOrvRotator::SetDefaultPattern() {
    SetPattern("X[1];Y[2];Z[3]");
}

void TOrvRotator::SetAngles(const TOrvVector& rotation) {
    size_t first = Steps.size();
    for (size_t i = 0; i < Steps.size(); ++i)
        if (Steps[i].Source != 0) {
            Steps[i].Angle = rotation[Steps[i].Source - 1];
            if (first == Steps.size()) first = i;
        }
    if (first < Steps.size()) Rebuild(first);
}

void TOrvRotator::SetStepAngle(size_t step, float angle) {
    if (step >= Steps.size()) return;
    Steps[step].Angle = angle;
    Rebuild(step);
}

void TOrvRotator::Rebuild(size_t from) {
    partial_.resize(Steps.size());
    if (from > Steps.size()) from = Steps.size();
    for (size_t i = from; i < Steps.size(); ++i) {
        TOrvRotationStep& s = Steps[i];
        s.Matrix =
            Translation(VecScale(s.Translation, -1.0f)) * AxisRotation(s.Axis, s.Angle) * Translation(s.Translation);
        partial_[i] = i == 0 ? s.Matrix : partial_[i - 1] * s.Matrix;
    }
    Matrix = Steps.empty() ? TOrvMatrix::Identity() : partial_.back();
}

// ---------------------------------------------------------------------------
// Property values

TOrvPropertyValue ParsePropertyValue(std::string_view text, const TOrvMorphLib* lib) {
    TOrvPropertyValue v;
    const std::string_view t = FXTrim(text);
    if (lib) {
        if (TOrvMorph* m = lib->Find(t)) {
            v.Mode = smMorph;
            v.Morph = m;
            return v;
        }
    }
    const size_t range = t.find("..");
    if (range != std::string_view::npos) {
        v.First = StrToVector(t.substr(0, range));
        v.Second = StrToVector(t.substr(range + 2));
        bool differ = false;
        for (int i = 0; i < 3; ++i)
            if (std::fabs(v.First[i] - v.Second[i]) >= 1e-6f) differ = true;
        v.Mode = differ ? smRange : smConstant;
        return v;
    }
    v.First = StrToVector(t);
    v.Mode = smConstant;
    v.Ignored = VecDot(v.First, v.First) <= 1e-12f;
    return v;
}

// ---------------------------------------------------------------------------
// TOrvMorph

TOrvMorph::TOrvMorph() {
    SetDefaultName("TOrvMorph");
}

TOrvMorph::~TOrvMorph() = default;

std::unique_ptr<TOrvBaseObject> TOrvMorph::NewInstance() const {
    return std::make_unique<TOrvMorph>();
}

void TOrvMorph::SetDim(int dim) {
    if (dim < 1 || dim > 3 || dim == dim_) return;
    dim_ = static_cast<uint8_t>(dim);
    if (dim == 3) {
        Rotator.SetDefaultPattern();
        RotationMatrix = Rotator.Matrix;
    }
}

void TOrvMorph::SetStartTime(int32_t t) {
    startTime_ = t;
    for (TOrvBoundMorph& b : BoundMorphs)
        if (b.Morph) b.Morph->SetStartTime(t);
}

void TOrvMorph::SetTimeOffset(int32_t t) {
    timeOffset_ = t;
    for (TOrvBoundMorph& b : BoundMorphs)
        if (b.Morph) b.Morph->SetTimeOffset(t);
}

int32_t TOrvMorph::AppendFunc(TOrvMorphFunc* func, std::unique_ptr<TOrvMorphFunc> own) {
    if (!func || func->Dim != dim_) return -1;
    funcs_.push_back(FuncRef{func, std::move(own)});
    return FunctionCount() - 1;
}

int32_t TOrvMorph::AddFunction(TOrvMorphFunc* func) {
    return AppendFunc(func, nullptr);
}

int32_t TOrvMorph::AddOwnedFunction(std::unique_ptr<TOrvMorphFunc> func) {
    if (!func) return -1;
    func->Owned = true;
    TOrvMorphFunc* raw = func.get();
    return AppendFunc(raw, std::move(func));
}

int32_t TOrvMorph::AddClonedFunction(const TOrvMorphFunc* func) {
    if (!func) return -1;
    std::unique_ptr<TOrvBaseObject> copy = func->NewInstance();
    auto* f = dynamic_cast<TOrvMorphFunc*>(copy.get());
    if (!f || !f->Assign(func)) return -1;
    copy.release();
    return AddOwnedFunction(std::unique_ptr<TOrvMorphFunc>(f));
}

int32_t TOrvMorph::AddLibraryFunction(std::string_view name, bool clone) {
    if (!FuncLib) return -1;
    TOrvMorphFunc* f = FuncLib->Find(name);
    if (!f) return -1;
    return clone ? AddClonedFunction(f) : AddFunction(f);
}

int32_t TOrvMorph::AddPathFunction(std::string_view name, std::string_view script) {
    auto f = std::make_unique<TOrvPiecewiseFunc>();
    f->SetName(name);
    f->Dim = dim_;
    f->BuildFromScript(script);
    return AddOwnedFunction(std::move(f));
}

TOrvMorphFunc* TOrvMorph::Function(int32_t index) const {
    if (index < 0 || index >= FunctionCount()) return nullptr;
    return funcs_[static_cast<size_t>(index)].Func;
}

bool TOrvMorph::FunctionOwned(int32_t index) const {
    if (index < 0 || index >= FunctionCount()) return false;
    return funcs_[static_cast<size_t>(index)].Own != nullptr;
}

int32_t TOrvMorph::FunctionIndexOf(std::string_view name) const {
    for (size_t i = 0; i < funcs_.size(); ++i)
        if (FXSameText(funcs_[i].Func->Name(), name)) return static_cast<int32_t>(i);
    return -1;
}

bool TOrvMorph::Assign(const TOrvBaseObject* source) {
    const auto* src = dynamic_cast<const TOrvMorph*>(source);
    if (!src) return false;
    if (src == this) return true;
    TOrvBaseObject::Assign(source);
    if (!FuncLib) FuncLib = src->FuncLib;
    if (!MorphLib) MorphLib = src->MorphLib;
    if (!Random) Random = src->Random;
    dim_ = src->dim_;
    startTime_ = src->startTime_;
    timeOffset_ = src->timeOffset_;
    ExtraOffset = src->ExtraOffset;
    ViewX = src->ViewX;
    ViewY = src->ViewY;
    ViewDistance = src->ViewDistance;
    Scale = src->Scale;
    Position = src->Position;
    RotationAngle = src->RotationAngle;
    RotationMatrix = src->RotationMatrix;
    ScaleSet = src->ScaleSet;
    RotationSet = src->RotationSet;
    PositionSet = src->PositionSet;
    Rotator.Assign(&src->Rotator);

    funcs_.clear();
    for (const FuncRef& ref : src->funcs_) {
        TOrvMorphFunc* lib = FuncLib ? FuncLib->Find(ref.Func->Name()) : nullptr;
        if (lib && lib->Dim != dim_) lib = nullptr;
        if (ref.Own) {
            // A fresh copy of the library's function, so changes the game made
            // to the library reach new particles; the weight stays the source's.
            const int32_t i = AddClonedFunction(lib ? lib : ref.Func);
            if (i < 0) return false;
            Function(i)->Weight = ref.Func->Weight;
        } else if (AddFunction(lib ? lib : ref.Func) < 0) {
            return false;
        }
    }

    Bindings = src->Bindings;
    BoundMorphs.clear();
    for (const TOrvBoundMorph& b : src->BoundMorphs) {
        TOrvMorph* m = b.Morph;
        if (MorphLib && m) {
            if (TOrvMorph* found = MorphLib->Find(m->Name())) m = found;
        }
        BoundMorphs.push_back(TOrvBoundMorph{m, b.Value});
    }
    return true;
}

TOrvVector TOrvMorph::BindingValue(const TOrvPropertyBinding& b) {
    switch (b.Mode) {
        case smRange: {
            TOrvVector v = b.First;
            for (int c = 0; c < dim_; ++c) {
                const double r = Random ? Random->Unit() : 0.0;
                v[c] = static_cast<float>(b.First[c] + r * (double(b.Second[c]) - double(b.First[c])));
            }
            return v;
        }
        case smMorph:
            if (b.BoundIndex >= 0 && static_cast<size_t>(b.BoundIndex) < BoundMorphs.size())
                return BoundMorphs[static_cast<size_t>(b.BoundIndex)].Value;
            return TOrvVector();
        default:
            return b.First;
    }
}

void TOrvMorph::ApplyBinding(const TOrvPropertyBinding& b, const TOrvVector& v) {
    ApplyProperty(b.Kind, b.FuncIndex, b.ParamIndex, v);
}

void TOrvMorph::SetPosition(const TOrvVector& v) {
    Position = v;
    PositionSet = true;
}

void TOrvMorph::SetRotation(const TOrvVector& v) {
    if (dim_ == 3) {
        Rotator.SetAngles(v);
        RotationMatrix = Rotator.Matrix;
    } else {
        RotationAngle = v.X;
    }
    RotationSet = true;
}

void TOrvMorph::SetScale(const TOrvVector& v) {
    Scale = v;
    ScaleSet = true;
}

void TOrvMorph::ApplyProperty(TOrvMorphProperty kind, int32_t funcIndex, int32_t paramIndex, const TOrvVector& v) {
    switch (kind) {
        case mpPosition:
            SetPosition(v);
            break;
        case mpRotation:
            SetRotation(v);
            break;
        case mpScale:
            SetScale(v);
            break;
        case mpStartTime:
            SetTimeOffset(FXRound(v.X));
            break;
        case mpFuncParam:
            if (TOrvMorphFunc* f = Function(funcIndex)) f->SetParam(paramIndex, v);
            break;
    }
}

bool TOrvMorph::Validate() {
    bool ok = true;
    const int32_t at = WrapTime(int64_t(startTime_) + timeOffset_ + ExtraOffset);
    for (TOrvBoundMorph& b : BoundMorphs) {
        if (!b.Morph) {
            ok = false;
            continue;
        }
        if (!b.Morph->Validate()) ok = false;
        b.Value = b.Morph->GetValue(at, false);
    }
    for (const TOrvPropertyBinding& b : Bindings) {
        try {
            ApplyBinding(b, BindingValue(b));
        } catch (const OrvException&) {
            ok = false;
        }
    }
    return ok;
}

TOrvVector TOrvMorph::GetValue(int32_t t, bool derivative) {
    if (!BoundMorphs.empty()) {
        for (TOrvBoundMorph& b : BoundMorphs)
            if (b.Morph) b.Value = b.Morph->GetValue(t, false);
        for (const TOrvPropertyBinding& b : Bindings) {
            if (b.Mode != smMorph) continue;
            try {
                ApplyBinding(b, BindingValue(b));
            } catch (const OrvException&) {
                // A parameter the function refuses keeps its old value.
            }
        }
    }
    const int32_t s = WrapTime(int64_t(t) - startTime_ + timeOffset_ + ExtraOffset);
    TOrvVector v;
    for (const FuncRef& ref : funcs_) v = VecAdd(v, VecScale(ref.Func->GetValue(s, derivative), ref.Func->Weight));
    if (ScaleSet) v = TOrvVector(v.X * Scale.X, v.Y * Scale.Y, v.Z * Scale.Z);
    if (RotationSet) {
        if (dim_ == 1) {
            v.X *= std::cos(RotationAngle);
        } else if (dim_ == 2) {
            const float c = std::cos(RotationAngle);
            const float sn = std::sin(RotationAngle);
            v = TOrvVector(v.X * c + v.Y * sn, -v.X * sn + v.Y * c);
        } else {
            TOrvMatrix m = RotationMatrix;
            // A direction turns but does not move.
            if (derivative) m.M[3][0] = m.M[3][1] = m.M[3][2] = 0.0f;
            v = m.Transform(v);
        }
    }
    // A derivative is not moved by the position.
    if (PositionSet && !derivative) v = VecAdd(v, Position);
    for (int i = dim_; i < 3; ++i) v[i] = 0.0f;
    return v;
}

void TOrvMorph::ResolveProperty(std::string_view name, TOrvMorphProperty& kind, int32_t& funcIndex,
                                int32_t& paramIndex) const {
    funcIndex = paramIndex = -1;
    if (FXSameText(name, "Position"))
        kind = mpPosition;
    else if (FXSameText(name, "Rotation"))
        kind = mpRotation;
    else if (FXSameText(name, "Scale"))
        kind = mpScale;
    else if (FXSameText(name, "StartTime"))
        kind = mpStartTime;
    else {
        const size_t dot = name.size() > 1 ? name.find('.', 1) : std::string_view::npos;
        if (dot == std::string_view::npos)
            throw OrvException("<Property> tag \"Name\" attribute has invalid value \"" + std::string(name) + "\"");
        const std::string_view func = name.substr(0, dot);
        funcIndex = FunctionIndexOf(func);
        if (funcIndex < 0)
            throw OrvException("<Property> tag \"Name\" attribute value contains unknown Function name \"" +
                               std::string(func) + "\"");
        paramIndex = Function(funcIndex)->ParamIndex(name.substr(dot + 1));
        kind = mpFuncParam;
    }
}

int32_t TOrvMorph::BindMorph(TOrvMorph* morph) {
    for (size_t i = 0; i < BoundMorphs.size(); ++i)
        if (BoundMorphs[i].Morph == morph) return static_cast<int32_t>(i);
    BoundMorphs.push_back(TOrvBoundMorph{morph, TOrvVector()});
    return static_cast<int32_t>(BoundMorphs.size()) - 1;
}

int32_t TOrvMorph::BindingCost() const {
    int64_t cost = 1;
    for (const TOrvBoundMorph& b : BoundMorphs) {
        if (b.Morph == this) return MaxBindingCost + 1;
        if (b.Morph) cost += b.Morph->BindingCost();
        if (cost > MaxBindingCost) return MaxBindingCost + 1;
    }
    return static_cast<int32_t>(cost);
}

void TOrvMorph::AddPropertyText(std::string_view name, std::string_view value) {
    if (FXSameText(name, "RotationPattern")) {
        if (dim_ != 3) return;
        if (FXTrim(value).empty()) {
            Rotator.Steps.clear();
            Rotator.SetPattern("");
            RotationSet = false;
        } else {
            Rotator.SetPattern(value);
            RotationSet = true;
        }
        RotationMatrix = Rotator.Matrix;
        return;
    }
    TOrvPropertyBinding b;
    ResolveProperty(name, b.Kind, b.FuncIndex, b.ParamIndex);
    const TOrvPropertyValue v = ParsePropertyValue(value, MorphLib);
    if (v.Ignored) return;
    b.Mode = v.Mode;
    b.First = v.First;
    b.Second = v.Second;
    if (v.Mode == smMorph) {
        const size_t before = BoundMorphs.size();
        b.BoundIndex = BindMorph(v.Morph);
        if (v.Morph == this || BindingCost() > MaxBindingCost) {
            BoundMorphs.resize(before);
            throw OrvException("Morph \"" + Name() + "\" property \"" + std::string(name) +
                               "\" binds too deep a chain of morphs");
        }
    }
    Bindings.push_back(b);
}

void TOrvMorph::LoadFromXML(const TOrvXMLTag& tag) {
    const TOrvParserAttribute* name = tag.FindAttribute("Name");
    if (!name) throw OrvException("<Morph> tag has no \"Name\" attribute");
    const TOrvParserAttribute* dim = tag.FindAttribute("Dim");
    if (!dim) throw OrvException("<Morph> tag has no \"Dim\" attribute");
    SetName(name->Value);
    int32_t d = 0;
    if (FXParseInt(dim->Value, d)) SetDim(d);
    if (const TOrvParserAttribute* st = tag.FindAttribute("StartTime")) {
        int32_t t = 0;
        if (!FXParseInt(st->Value, t))
            throw OrvException("<Morph> tag \"StartTime\" attribute has invalid value \"" + st->Value + "\"");
        SetStartTime(t);
    }
    if (const TOrvXMLTag* funcs = tag.FindTag("Functions")) {
        for (const auto& f : funcs->Tags) {
            if (f->Name != "Function")
                throw OrvException("<Functions> tag contains invalid child tag <" + f->Name + ">");
            const TOrvParserAttribute* fname = f->FindAttribute("Name");
            if (!fname) throw OrvException("<Function> tag has no \"Name\" attribute");
            const bool clone = f->AttributeValue("Clone") == "true";
            TOrvMorphFunc* libFunc = FuncLib ? FuncLib->Find(fname->Value) : nullptr;
            if (!libFunc)
                throw OrvException("<Function> tag \"Name\" attribute contains unknown Function name \"" +
                                   fname->Value + "\"");
            const int32_t index = AddLibraryFunction(fname->Value, clone);
            if (index < 0)
                throw OrvException("Function \"" + fname->Value + "\" has another dimension than Morph \"" + Name() +
                                   "\"");
            if (const TOrvParserAttribute* w = f->FindAttribute("Weight")) {
                float weight = 0.0f;
                if (!FXParseFloat(w->Value, weight))
                    throw OrvException("<Function> tag \"Weight\" attribute has invalid value \"" + w->Value + "\"");
                Function(index)->Weight = weight;
            }
        }
    }
    if (const TOrvXMLTag* props = tag.FindTag("Properties")) {
        for (const auto& p : props->Tags) {
            if (p->Name != "Property")
                throw OrvException("Morph + \"" + Name() + "\" <Properties> tag contains invalid tag \"" + p->Name +
                                   "\"");
            const TOrvParserAttribute* pname = p->FindAttribute("Name");
            if (!pname) throw OrvException("<Property> tag has no \"Name\" attribute");
            AddPropertyText(pname->Value, p->Value);
        }
    }
}

// ---------------------------------------------------------------------------
// TOrvMorphLib

TOrvMorphLib::TOrvMorphLib() {
    SetDefaultName("TOrvMorphLib");
}

std::unique_ptr<TOrvBaseObject> TOrvMorphLib::NewInstance() const {
    return std::make_unique<TOrvMorphLib>();
}

bool TOrvMorphLib::Assign(const TOrvBaseObject* source) {
    const auto* src = dynamic_cast<const TOrvMorphLib*>(source);
    if (!src) return false;
    if (src == this) return true;
    TOrvBaseObject::Assign(source);
    Clear();
    // Every morph exists (by name) before any is copied, so bindings to later
    // morphs of the library resolve among the copies.
    for (int32_t i = 0; i < src->Count(); ++i) {
        const TOrvMorph* m = src->Get(i);
        if (!m) {
            AddItem(nullptr);
            continue;
        }
        auto copy = std::make_unique<TOrvMorph>();
        copy->SetName(m->Name());
        copy->FuncLib = FuncLib;
        copy->MorphLib = this;
        copy->Random = Random;
        Add(std::move(copy));
    }
    for (int32_t i = 0; i < src->Count(); ++i) {
        if (!src->Get(i)) continue;
        if (!Get(i)->Assign(src->Get(i))) {
            Clear();
            return false;
        }
    }
    return true;
}

void TOrvMorphLib::LoadFromXML(const TOrvXMLTag& tag) {
    for (const auto& child : tag.Tags) {
        if (child->Name != "Morph") throw OrvException("<Morphs> tag contains invalid child tag <" + child->Name + ">");
        auto m = std::make_unique<TOrvMorph>();
        m->FuncLib = FuncLib;
        m->MorphLib = this;
        m->Random = Random;
        m->LoadFromXML(*child);
        Add(std::move(m));
    }
}
