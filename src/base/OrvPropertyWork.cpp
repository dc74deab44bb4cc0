#include "base/OrvPropertyWork.h"

#include <charconv>

#include "base/OrvException.h"
#include "base/OrvParser.h"

namespace {

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameTextAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = LowerAscii(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string Quoted(std::string_view s) {
    return "\"" + std::string(s) + "\"";
}

[[noreturn]] void Fail(const TOrvPersistent& obj, const TOrvPropInfo& prop, const std::string& what) {
    throw OrvException("[TOrvPropertyWork.SetPropValue] Property \"" + prop.Name + "\" of class " + obj.ClassName() +
                       ": " + what);
}

std::string NamesList(TOrvEnumNames names) {
    std::string out;
    for (const auto& n : names) {
        if (!out.empty()) out += ", ";
        out += n;
    }
    return out;
}

const TOrvPropInfo& FindOrFail(const TOrvPersistent& obj, std::string_view propName, const char* operation) {
    const TOrvPropInfo* prop = obj.PropTable().Find(propName);
    if (prop == nullptr)
        throw OrvException(std::string("[TOrvPropertyWork.") + operation + "] Class " + obj.ClassName() +
                           " has no property " + Quoted(propName) + "!");
    return *prop;
}

// Converts text to the typed variant the property's setter expects.
TOrvVariant Convert(const TOrvPersistent& obj, const TOrvPropInfo& prop, std::string_view text) {
    switch (prop.Kind) {
        case TPropKind::pkString:
            return TOrvVariant::FromString(std::string(text));
        case TPropKind::pkInteger: {
            int64_t v = 0;
            if (!TryTextToInteger(text, v)) Fail(obj, prop, Quoted(text) + " is not an integer!");
            if (v < prop.MinValue || v > prop.MaxValue)
                Fail(obj, prop,
                     std::to_string(v) + " is out of range " + std::to_string(prop.MinValue) + ".." +
                         std::to_string(prop.MaxValue) + "!");
            return TOrvVariant::FromInteger(v);
        }
        case TPropKind::pkFloat: {
            double v = 0;
            if (!TryValToFloat(text, v)) Fail(obj, prop, Quoted(text) + " is not a number!");
            return TOrvVariant::FromFloat(v);
        }
        case TPropKind::pkBoolean: {
            bool v = false;
            if (!TryTextToBoolean(text, v)) Fail(obj, prop, Quoted(text) + " is neither True nor False!");
            return TOrvVariant::FromBoolean(v);
        }
        case TPropKind::pkEnumeration: {
            const int v = EnumValueOf(prop.EnumNames, TrimBlanks(text));
            if (v < 0) Fail(obj, prop, Quoted(text) + " is not one of " + NamesList(prop.EnumNames) + "!");
            return TOrvVariant::FromInteger(v);
        }
        case TPropKind::pkSet: {
            uint64_t mask = 0;
            if (!TryTextToSet(prop.EnumNames, text, mask))
                Fail(obj, prop, Quoted(text) + " is not a set of " + NamesList(prop.EnumNames) + "!");
            if (prop.MaxValue < 64 && (mask >> prop.MaxValue) != 0)
                Fail(obj, prop, Quoted(text) + " holds an element the property cannot store!");
            return TOrvVariant::FromInteger(static_cast<int64_t>(mask));
        }
    }
    Fail(obj, prop, "unknown property type!");
}

}  // namespace

// ---------------------------------------------------------------------------
// TOrvVariant

TOrvVariant TOrvVariant::FromString(std::string value) {
    TOrvVariant v;
    v.value_ = std::move(value);
    return v;
}

TOrvVariant TOrvVariant::FromInteger(int64_t value) {
    TOrvVariant v;
    v.value_ = value;
    return v;
}

TOrvVariant TOrvVariant::FromFloat(double value) {
    TOrvVariant v;
    v.value_ = value;
    return v;
}

TOrvVariant TOrvVariant::FromBoolean(bool value) {
    TOrvVariant v;
    v.value_ = value;
    return v;
}

std::string TOrvVariant::ToString() const {
    switch (Kind()) {
        case TKind::vkEmpty:
            return std::string();
        case TKind::vkString:
            return std::get<std::string>(value_);
        case TKind::vkInteger:
            return std::to_string(std::get<int64_t>(value_));
        case TKind::vkFloat: {
            char buf[64];
            const auto res = std::to_chars(buf, buf + sizeof buf, std::get<double>(value_));
            return std::string(buf, res.ptr);
        }
        case TKind::vkBoolean:
            return std::get<bool>(value_) ? "True" : "False";
    }
    return std::string();
}

int64_t TOrvVariant::AsInteger() const {
    switch (Kind()) {
        case TKind::vkInteger:
            return std::get<int64_t>(value_);
        case TKind::vkBoolean:
            return std::get<bool>(value_) ? 1 : 0;
        case TKind::vkEmpty:
            return 0;
        case TKind::vkFloat:
        case TKind::vkString:
            break;
    }
    int64_t v = 0;
    if (!TryTextToInteger(ToString(), v))
        throw OrvException("[TOrvVariant.AsInteger] " + Quoted(ToString()) + " is not an integer!");
    return v;
}

double TOrvVariant::AsFloat() const {
    switch (Kind()) {
        case TKind::vkFloat:
            return std::get<double>(value_);
        case TKind::vkInteger:
            return static_cast<double>(std::get<int64_t>(value_));
        case TKind::vkBoolean:
            return std::get<bool>(value_) ? 1.0 : 0.0;
        case TKind::vkEmpty:
            return 0.0;
        case TKind::vkString:
            break;
    }
    double v = 0;
    if (!TryValToFloat(ToString(), v))
        throw OrvException("[TOrvVariant.AsFloat] " + Quoted(ToString()) + " is not a number!");
    return v;
}

bool TOrvVariant::AsBoolean() const {
    switch (Kind()) {
        case TKind::vkBoolean:
            return std::get<bool>(value_);
        case TKind::vkInteger:
            return std::get<int64_t>(value_) != 0;
        case TKind::vkFloat:
            return std::get<double>(value_) != 0.0;
        case TKind::vkEmpty:
            return false;
        case TKind::vkString:
            break;
    }
    bool v = false;
    if (!TryTextToBoolean(ToString(), v))
        throw OrvException("[TOrvVariant.AsBoolean] " + Quoted(ToString()) + " is neither True nor False!");
    return v;
}

// ---------------------------------------------------------------------------
// TOrvPropTable

TOrvPropTable::TOrvPropTable(std::string className, const TOrvPropTable* base)
    : className_(std::move(className)), base_(base) {}

const TOrvPropInfo* TOrvPropTable::Find(std::string_view name) const {
    for (const TOrvPropTable* t = this; t != nullptr; t = t->base_)
        for (const auto& prop : t->props_)
            if (SameTextAscii(prop.Name, name)) return &prop;
    return nullptr;
}

std::vector<const TOrvPropInfo*> TOrvPropTable::All() const {
    std::vector<const TOrvPropTable*> chain;
    for (const TOrvPropTable* t = this; t != nullptr; t = t->base_) chain.push_back(t);
    std::vector<const TOrvPropInfo*> out;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        for (const auto& prop : (*it)->props_) {
            // A redeclared property stays at its first place but takes the
            // most derived declaration, the one Find returns.
            const TOrvPropInfo* effective = Find(prop.Name);
            bool seen = false;
            for (const TOrvPropInfo* p : out)
                if (p == effective) seen = true;
            if (!seen) out.push_back(effective);
        }
    return out;
}

void TOrvPropTable::Add(TOrvPropInfo info) {
    props_.push_back(std::move(info));
}

const TOrvPropTable& TOrvPersistent::ClassPropTable() {
    static const TOrvPropTable table("TOrvPersistent");
    return table;
}

// ---------------------------------------------------------------------------
// Setting and reading by name

void SetPropValue(TOrvPersistent& obj, std::string_view propName, std::string_view value) {
    const TOrvPropInfo& prop = FindOrFail(obj, propName, "SetPropValue");
    if (!prop.CanWrite()) Fail(obj, prop, "the property is read-only!");
    const TOrvVariant converted = Convert(obj, prop, value);
    prop.Set(obj, converted);
}

void SetPropValue(TOrvPersistent& obj, std::string_view propName, const TOrvVariant& value) {
    SetPropValue(obj, propName, value.ToString());
}

TOrvVariant GetPropValue(const TOrvPersistent& obj, std::string_view propName) {
    const TOrvPropInfo& prop = FindOrFail(obj, propName, "GetPropValue");
    if (!prop.CanRead())
        throw OrvException("[TOrvPropertyWork.GetPropValue] Property \"" + prop.Name + "\" of class " +
                           obj.ClassName() + " is write-only!");
    TOrvVariant v = prop.Get(obj);
    if (prop.Kind == TPropKind::pkEnumeration) {
        const int64_t ordinal = v.AsInteger();
        if (ordinal >= 0 && static_cast<uint64_t>(ordinal) < prop.EnumNames.size())
            return TOrvVariant::FromString(std::string(prop.EnumNames[static_cast<size_t>(ordinal)]));
        return v;
    }
    if (prop.Kind == TPropKind::pkSet)
        return TOrvVariant::FromString(SetToText(prop.EnumNames, static_cast<uint64_t>(v.AsInteger())));
    return v;
}

bool IsPublishedProp(const TOrvPersistent& obj, std::string_view propName) {
    return obj.PropTable().Find(propName) != nullptr;
}

// ---------------------------------------------------------------------------
// Text conversions

bool TryTextToInteger(std::string_view text, int64_t& out) {
    const std::string t = TrimBlanks(text);
    size_t i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
        negative = t[i] == '-';
        ++i;
    }
    unsigned base = 10;
    if (i < t.size() && t[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < t.size() && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= t.size()) return false;
    // Accumulate the magnitude unsigned; the limit allows -2^63 but not +2^63.
    const uint64_t limit = negative ? uint64_t{1} << 63 : static_cast<uint64_t>(INT64_MAX);
    uint64_t magnitude = 0;
    for (; i < t.size(); ++i) {
        const int d = base == 16 ? HexDigit(t[i]) : (t[i] >= '0' && t[i] <= '9' ? t[i] - '0' : -1);
        if (d < 0) return false;
        if (magnitude > (limit - static_cast<uint64_t>(d)) / base) return false;
        magnitude = magnitude * base + static_cast<uint64_t>(d);
    }
    out = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
    return true;
}

bool TryTextToBoolean(std::string_view text, bool& out) {
    const std::string t = TrimBlanks(text);
    if (SameTextAscii(t, "true")) {
        out = true;
        return true;
    }
    if (SameTextAscii(t, "false")) {
        out = false;
        return true;
    }
    return false;
}

int EnumValueOf(TOrvEnumNames names, std::string_view name) {
    for (size_t i = 0; i < names.size(); ++i)
        if (SameTextAscii(names[i], name)) return static_cast<int>(i);
    return -1;
}

std::string SetToText(TOrvEnumNames names, uint64_t mask) {
    std::string out = "[";
    bool first = true;
    for (size_t i = 0; i < names.size() && i < 64; ++i) {
        if ((mask >> i & 1u) == 0) continue;
        if (!first) out += ',';
        out += names[i];
        first = false;
    }
    out += ']';
    return out;
}

bool TryTextToSet(TOrvEnumNames names, std::string_view text, uint64_t& out) {
    std::string t = TrimBlanks(text);
    // The brackets are customary but may be left out.
    if (!t.empty() && t.front() == '[') {
        if (t.back() != ']') return false;
        t = TrimBlanks(std::string_view(t).substr(1, t.size() - 2));
    }
    uint64_t mask = 0;
    if (!t.empty()) {
        size_t start = 0;
        for (;;) {
            const size_t comma = t.find(',', start);
            const std::string element = TrimBlanks(
                std::string_view(t).substr(start, comma == std::string::npos ? std::string::npos : comma - start));
            const int v = EnumValueOf(names, element);
            if (v < 0 || v >= 64) return false;
            mask |= uint64_t{1} << v;
            if (comma == std::string::npos) break;
            start = comma + 1;
        }
    }
    out = mask;
    return true;
}
