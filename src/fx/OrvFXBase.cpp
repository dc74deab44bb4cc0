// Vectors, number and vector text reading, and the base object and
// collection classes of the effects library.
#include "fx/OrvFXBase.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "base/OrvException.h"

// ---------------------------------------------------------------------------
// Vectors

float VecLength(const TOrvVector& v) {
    return VecLength(v, 3);
}

float VecLength(const TOrvVector& v, int dim) {
    double sum = 0.0;
    for (int i = 0; i < dim && i < 3; ++i) sum += double(v[i]) * double(v[i]);
    return static_cast<float>(std::sqrt(sum));
}

TOrvVector VecNormalize(const TOrvVector& v) {
    const float len = VecLength(v);
    if (!(len > 1e-6f)) return TOrvVector();
    return TOrvVector(v.X / len, v.Y / len, v.Z / len);
}

TOrvVector VecAdd(const TOrvVector& a, const TOrvVector& b) {
    return TOrvVector(a.X + b.X, a.Y + b.Y, a.Z + b.Z);
}

TOrvVector VecSub(const TOrvVector& a, const TOrvVector& b) {
    return TOrvVector(a.X - b.X, a.Y - b.Y, a.Z - b.Z);
}

TOrvVector VecScale(const TOrvVector& v, float k) {
    return TOrvVector(v.X * k, v.Y * k, v.Z * k);
}

float VecDot(const TOrvVector& a, const TOrvVector& b) {
    return a.X * b.X + a.Y * b.Y + a.Z * b.Z;
}

TOrvVector VecCross(const TOrvVector& a, const TOrvVector& b) {
    return TOrvVector(a.Y * b.Z - a.Z * b.Y, a.Z * b.X - a.X * b.Z, a.X * b.Y - a.Y * b.X);
}

TOrvVector VecLerp(const TOrvVector& a, const TOrvVector& b, float f) {
    return VecAdd(a, VecScale(VecSub(b, a), f));
}

TOrvVector VecRotateAxis(const TOrvVector& v, const TOrvVector& axis, float angle) {
    const TOrvVector n = VecNormalize(axis);
    if (n == TOrvVector()) return v;
    // Rodrigues: v cos a + (n x v) sin a + n (n . v)(1 - cos a).
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    const TOrvVector cross = VecCross(n, v);
    const float dot = VecDot(n, v);
    return VecAdd(VecAdd(VecScale(v, c), VecScale(cross, s)), VecScale(n, dot * (1.0f - c)));
}

// ---------------------------------------------------------------------------
// Text helpers

std::string_view FXTrim(std::string_view s) {
    size_t b = 0;
    size_t e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= 32) ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32) --e;
    return s.substr(b, e - b);
}

bool FXSameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
        if (x != y) return false;
    }
    return true;
}

bool FXParseNumber(std::string_view text, double& out) {
    std::string_view s = FXTrim(text);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    if (s.empty()) return false;
    // Only plain decimal notation: digits, one point, an optional exponent.
    for (char c : s) {
        const bool ok = (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E';
        if (!ok) return false;
    }
    double v = 0.0;
    const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v, std::chars_format::general);
    if (ec != std::errc() || ptr != s.data() + s.size()) return false;
    if (!std::isfinite(v)) return false;
    out = v;
    return true;
}

bool FXParseFloat(std::string_view text, float& out) {
    double v = 0.0;
    if (!FXParseNumber(text, v)) return false;
    if (std::fabs(v) > double(std::numeric_limits<float>::max())) return false;
    out = static_cast<float>(v);
    return true;
}

bool FXParseInt(std::string_view text, int32_t& out) {
    std::string_view s = FXTrim(text);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    if (s.empty()) return false;
    int32_t v = 0;
    const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v, 10);
    if (ec != std::errc() || ptr != s.data() + s.size()) return false;
    out = v;
    return true;
}

int32_t FXRound(double v) {
    if (std::isnan(v)) return 0;
    const double r = std::round(v);
    if (r >= 2147483647.0) return 2147483647;
    if (r <= -2147483648.0) return -2147483647 - 1;
    return static_cast<int32_t>(r);
}

TOrvVector StrToVector(std::string_view text) {
    std::string_view s = text;
    const size_t open = s.find('(');
    const size_t close = s.rfind(')');
    if (open != std::string_view::npos && close != std::string_view::npos && close > open)
        s = s.substr(open + 1, close - open - 1);
    s = FXTrim(s);
    TOrvVector v;
    int count = 0;
    bool ok = !s.empty();
    while (ok) {
        const size_t comma = s.find(',');
        const std::string_view item = s.substr(0, comma);
        float value = 0.0f;
        if (count >= 3 || !FXParseFloat(item, value)) {
            ok = false;
            break;
        }
        v[count++] = value;
        if (comma == std::string_view::npos) break;
        s.remove_prefix(comma + 1);
    }
    if (!ok) throw OrvException("\"" + std::string(text) + "\" string-to-vector convertation failed");
    return v;
}

// ---------------------------------------------------------------------------
// TOrvBaseObject

TOrvBaseObject::TOrvBaseObject() {
    SetDefaultName("TOrvBaseObject");
}

void TOrvBaseObject::SetName(std::string_view name) {
    name_ = std::string(name.substr(0, MaxNameLength));
}

void TOrvBaseObject::SetDefaultName(std::string_view className) {
    if (!className.empty() && className.front() == 'T') className.remove_prefix(1);
    SetName(std::string(className) + "_Default");
}

std::unique_ptr<TOrvBaseObject> TOrvBaseObject::NewInstance() const {
    return std::make_unique<TOrvBaseObject>();
}

bool TOrvBaseObject::Assign(const TOrvBaseObject* source) {
    if (!source) return false;
    name_ = source->name_;
    return true;
}

// ---------------------------------------------------------------------------
// TOrvStaticCollection

TOrvStaticCollection::TOrvStaticCollection() {
    SetDefaultName("TOrvStaticCollection");
}

std::unique_ptr<TOrvBaseObject> TOrvStaticCollection::NewInstance() const {
    return std::make_unique<TOrvStaticCollection>();
}

TOrvBaseObject* TOrvStaticCollection::GetItem(int32_t index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return items_[static_cast<size_t>(index)].get();
}

int32_t TOrvStaticCollection::IndexOf(std::string_view name) const {
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i] && FXSameText(items_[i]->Name(), name)) return static_cast<int32_t>(i);
    return -1;
}

int32_t TOrvStaticCollection::AddItem(std::unique_ptr<TOrvBaseObject> item) {
    items_.push_back(std::move(item));
    return Count() - 1;
}

bool TOrvStaticCollection::Assign(const TOrvBaseObject* source) {
    const auto* src = dynamic_cast<const TOrvStaticCollection*>(source);
    if (!src || src == this) return src == this;
    TOrvBaseObject::Assign(source);
    Clear();
    for (const auto& item : src->items_) {
        if (!item) {
            items_.push_back(nullptr);
            continue;
        }
        std::unique_ptr<TOrvBaseObject> copy = item->NewInstance();
        if (!copy->Assign(item.get())) {
            Clear();
            return false;
        }
        items_.push_back(std::move(copy));
    }
    return true;
}

bool TOrvStaticCollection::Validate() {
    validateErrors_.clear();
    bool ok = TOrvBaseObject::Validate();
    for (const auto& item : items_) {
        if (!item || item->Validate()) continue;
        validateErrors_.push_back("\"" + std::string(item->ClassName()) + "." + item->Name() +
                                  "\" initialization failed");
        ok = false;
    }
    return ok;
}
