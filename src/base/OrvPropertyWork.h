// Published properties: properties a class lists by name, type, reader and
// writer, so that the interface file, event scripts and game logic can set and
// read them from text ("Visible" := "false", "BlendingMode" := "bmAddBlend").
//
// Every class with published properties owns one TOrvPropTable that links to
// its base class's table, so subclasses inherit their base's properties (and
// may redeclare one to change it). Property and enumeration names are matched
// without regard to letter case.
//
// Declaring the properties of a class, one line per property:
//
//   // OrvInterfaceClasses.h
//   class TOrvInterfaceObject : public TOrvObject {
//   public:
//       static const TOrvPropTable& ClassPropTable();
//       const TOrvPropTable& PropTable() const override { return ClassPropTable(); }
//
//       bool Visible = true;
//       void SetVisible(bool value);              // setter with side effects
//       TBlendingMode BlendingMode = bmNormal;    // plain field, no setter
//       uint8_t PictureAlpha = 255;               // range 0..255 from the type
//       const std::string& GetPicture() const;
//       void SetPicture(const std::string& value);
//       ...
//   };
//
//   // OrvInterfaceClasses.cpp
//   const TOrvPropTable& TOrvInterfaceObject::ClassPropTable() {
//       static const TOrvPropTable table = TOrvPropTable::Build<TOrvInterfaceObject>(
//           "TOrvInterfaceObject", &TOrvObject::ClassPropTable(), [](auto& p) {
//               p.Boolean("Visible", &TOrvInterfaceObject::Visible, &TOrvInterfaceObject::SetVisible);
//               p.Enum("BlendingMode", &TOrvInterfaceObject::BlendingMode, BlendingModeNames);
//               p.Integer("PictureAlpha", &TOrvInterfaceObject::PictureAlpha);
//               p.String("Picture", &TOrvInterfaceObject::GetPicture, &TOrvInterfaceObject::SetPicture);
//           });
//       return table;
//   }
//
// The reader is a data member pointer or a const member function returning
// the value; the writer is a member function taking the value (by value or
// const reference). Without a writer, a data member is assigned directly and
// a property read through a function is read-only. WriteOnlyString declares a
// property that can only be set (a font's "Metrics").
//
// Types: String (std::string), Integer (any integer type; range from the type
// or given with IntegerRange), Float (float/double), Boolean, Enum (an enum or
// integer holding the ordinal, with the value names in ordinal order) and
// SetOf (an unsigned mask, bit i for name i; an element beyond the mask's
// bits is refused when set).
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

// A small variant value: empty, text, integer, floating or boolean.
class TOrvVariant {
public:
    enum class TKind { vkEmpty, vkString, vkInteger, vkFloat, vkBoolean };

    TOrvVariant() = default;
    static TOrvVariant FromString(std::string value);
    static TOrvVariant FromInteger(int64_t value);
    static TOrvVariant FromFloat(double value);
    static TOrvVariant FromBoolean(bool value);

    TKind Kind() const { return static_cast<TKind>(value_.index()); }
    bool IsEmpty() const { return Kind() == TKind::vkEmpty; }

    // The value as text: "" when empty, "True"/"False" for booleans, decimal
    // integers, floats in their shortest exact form with "." as separator.
    std::string ToString() const;
    // Conversions; text is parsed as for property setting. Throw OrvException
    // when the value cannot be converted.
    int64_t AsInteger() const;
    double AsFloat() const;
    bool AsBoolean() const;

    friend bool operator==(const TOrvVariant&, const TOrvVariant&) = default;

private:
    std::variant<std::monostate, std::string, int64_t, double, bool> value_;
};

enum class TPropKind { pkString, pkInteger, pkFloat, pkBoolean, pkEnumeration, pkSet };

// Names of the values of an enumeration, in ordinal order. Point it at a
// constant array: `inline constexpr std::string_view BlendingModeNames[] = {...};`
using TOrvEnumNames = std::span<const std::string_view>;

class TOrvPersistent;

// One published property. Get receives the object and returns the value as a
// variant (string, integer, float, boolean; enumerations and sets as their
// integer ordinal / mask); Set receives the already converted value of the
// same kind. An empty Get means write-only, an empty Set read-only.
struct TOrvPropInfo {
    std::string Name;
    TPropKind Kind = TPropKind::pkString;
    int64_t MinValue = 0;
    int64_t MaxValue = 0;
    TOrvEnumNames EnumNames;
    std::function<TOrvVariant(const TOrvPersistent&)> Get;
    std::function<void(TOrvPersistent&, const TOrvVariant&)> Set;

    bool CanRead() const { return static_cast<bool>(Get); }
    bool CanWrite() const { return static_cast<bool>(Set); }
};

template <class T>
class TOrvPropBuilder;

// The published properties of one class, linked to its base class's table.
class TOrvPropTable {
public:
    explicit TOrvPropTable(std::string className, const TOrvPropTable* base = nullptr);
    // Builds the table of class T: fill is called once with a
    // TOrvPropBuilder<T>& that declares the properties.
    template <class T, class Fill>
    static TOrvPropTable Build(std::string className, const TOrvPropTable* base, Fill fill);

    const std::string& ClassName() const { return className_; }
    const TOrvPropTable* Base() const { return base_; }

    // The property of that name (any letter case), this class first, then its
    // bases; nullptr when the class has none.
    const TOrvPropInfo* Find(std::string_view name) const;
    // All properties, base classes first; a redeclared property appears once,
    // at its base's place.
    std::vector<const TOrvPropInfo*> All() const;
    // Adds a property to this class.
    void Add(TOrvPropInfo info);

private:
    std::string className_;
    const TOrvPropTable* base_ = nullptr;
    std::vector<TOrvPropInfo> props_;
};

// The base of every class with published properties.
class TOrvPersistent {
public:
    virtual ~TOrvPersistent() = default;
    // The table of this class (an empty one named "TOrvPersistent" here).
    static const TOrvPropTable& ClassPropTable();
    virtual const TOrvPropTable& PropTable() const { return ClassPropTable(); }
    // The name of the object's class as its property table states it.
    const std::string& ClassName() const { return PropTable().ClassName(); }
};

// Sets a published property from text, converted to the property's type:
// strings unchanged; integers as decimal (or "$"/"0x" hexadecimal) numbers
// within the declared range; floats as decimal numbers; booleans "True" or
// "False" in any case; enumerations by value name in any case; sets as
// "[name,name]". Throws OrvException for an unknown or read-only property and
// for a text that does not convert; the property then keeps its old value.
void SetPropValue(TOrvPersistent& obj, std::string_view propName, std::string_view value);
// Same with a variant value (converted through its text form).
void SetPropValue(TOrvPersistent& obj, std::string_view propName, const TOrvVariant& value);
// Reads a published property: strings as text, integers and floats as
// numbers, booleans as booleans, enumerations and sets as their names
// ("bmAddBlend", "[a,b]"). Throws OrvException for an unknown or write-only property.
TOrvVariant GetPropValue(const TOrvPersistent& obj, std::string_view propName);
// Whether the object's class publishes a property of that name (any case).
bool IsPublishedProp(const TOrvPersistent& obj, std::string_view propName);

// Text conversions used by the machinery, for callers that need the same rules.
// Each returns false (leaving out untouched) when the text does not convert.
bool TryTextToInteger(std::string_view text, int64_t& out);
bool TryTextToBoolean(std::string_view text, bool& out);
// Index of name among names (any letter case), or -1.
int EnumValueOf(TOrvEnumNames names, std::string_view name);
// "[a,b]" for the mask over names; bits beyond the names are ignored.
std::string SetToText(TOrvEnumNames names, uint64_t mask);
bool TryTextToSet(TOrvEnumNames names, std::string_view text, uint64_t& out);

// Fills the table of class T. Every method adds one property and returns the
// builder, so declarations may also be chained.
template <class T>
class TOrvPropBuilder {
public:
    explicit TOrvPropBuilder(TOrvPropTable& table) : table_(table) {}

    template <class G, class S = std::nullptr_t>
    TOrvPropBuilder& String(std::string_view name, G getter, S setter = nullptr) {
        return Add<G, S>(name, TPropKind::pkString, 0, 0, {}, getter, setter);
    }
    template <class G, class S = std::nullptr_t>
    TOrvPropBuilder& Integer(std::string_view name, G getter, S setter = nullptr) {
        using V = ValueOf<G>;
        static_assert(std::is_integral_v<V> && !std::is_same_v<V, bool>, "Integer needs an integer type");
        const int64_t lo = static_cast<int64_t>(std::numeric_limits<V>::min());
        int64_t hi = std::numeric_limits<int64_t>::max();
        if constexpr (!(std::is_unsigned_v<V> && sizeof(V) >= sizeof(int64_t)))
            hi = static_cast<int64_t>(std::numeric_limits<V>::max());
        return Add<G, S>(name, TPropKind::pkInteger, lo, hi, {}, getter, setter);
    }
    template <class G, class S = std::nullptr_t>
    TOrvPropBuilder& IntegerRange(std::string_view name, G getter, S setter, int64_t minValue, int64_t maxValue) {
        static_assert(std::is_integral_v<ValueOf<G>>, "IntegerRange needs an integer type");
        return Add<G, S>(name, TPropKind::pkInteger, minValue, maxValue, {}, getter, setter);
    }
    template <class G, class S = std::nullptr_t>
    TOrvPropBuilder& Float(std::string_view name, G getter, S setter = nullptr) {
        static_assert(std::is_floating_point_v<ValueOf<G>>, "Float needs a floating type");
        return Add<G, S>(name, TPropKind::pkFloat, 0, 0, {}, getter, setter);
    }
    template <class G, class S = std::nullptr_t>
    TOrvPropBuilder& Boolean(std::string_view name, G getter, S setter = nullptr) {
        static_assert(std::is_same_v<ValueOf<G>, bool>, "Boolean needs a bool");
        return Add<G, S>(name, TPropKind::pkBoolean, 0, 1, {}, getter, setter);
    }
    // Enumeration with its value names in ordinal order; the setter may be left out.
    template <class G, class S>
    TOrvPropBuilder& Enum(std::string_view name, G getter, S setter, TOrvEnumNames names) {
        static_assert(std::is_enum_v<ValueOf<G>> || std::is_integral_v<ValueOf<G>>, "Enum needs an enum type");
        return Add<G, S>(name, TPropKind::pkEnumeration, 0, static_cast<int64_t>(names.size()) - 1, names, getter,
                         setter);
    }
    template <class G>
    TOrvPropBuilder& Enum(std::string_view name, G getter, TOrvEnumNames names) {
        return Enum(name, getter, nullptr, names);
    }
    // Set of enumeration values held as a bit mask; the setter may be left out.
    template <class G, class S>
    TOrvPropBuilder& SetOf(std::string_view name, G getter, S setter, TOrvEnumNames names) {
        static_assert(std::is_integral_v<ValueOf<G>> && std::is_unsigned_v<ValueOf<G>>, "SetOf needs an unsigned mask");
        // MaxValue holds how many elements the mask can carry.
        return Add<G, S>(name, TPropKind::pkSet, 0, static_cast<int64_t>(sizeof(ValueOf<G>) * 8), names, getter,
                         setter);
    }
    template <class G>
    TOrvPropBuilder& SetOf(std::string_view name, G getter, TOrvEnumNames names) {
        return SetOf(name, getter, nullptr, names);
    }
    // A string property that can be set but not read.
    template <class S>
    TOrvPropBuilder& WriteOnlyString(std::string_view name, S setter) {
        TOrvPropInfo info;
        info.Name = std::string(name);
        info.Kind = TPropKind::pkString;
        info.Set = [setter](TOrvPersistent& obj, const TOrvVariant& v) {
            (static_cast<T&>(obj).*setter)(v.ToString());
        };
        table_.Add(std::move(info));
        return *this;
    }

private:
    template <class G>
    using ValueOf = std::remove_cvref_t<std::invoke_result_t<G, const T&>>;

    template <class V>
    static TOrvVariant ToVariant(TPropKind kind, const V& value) {
        if constexpr (std::is_same_v<V, std::string>) {
            return TOrvVariant::FromString(value);
        } else if constexpr (std::is_same_v<V, bool>) {
            return TOrvVariant::FromBoolean(value);
        } else if constexpr (std::is_floating_point_v<V>) {
            return TOrvVariant::FromFloat(static_cast<double>(value));
        } else if constexpr (std::is_enum_v<V>) {
            return TOrvVariant::FromInteger(static_cast<int64_t>(value));
        } else {
            static_assert(std::is_integral_v<V>, "unsupported property type");
            // A set is an unsigned mask that may use all 64 bits; it travels as
            // the same bits in a signed integer.
            if (kind == TPropKind::pkSet)
                return TOrvVariant::FromInteger(static_cast<int64_t>(static_cast<uint64_t>(value)));
            return TOrvVariant::FromInteger(static_cast<int64_t>(value));
        }
    }

    template <class V>
    static V FromVariant(TPropKind kind, const TOrvVariant& v) {
        if constexpr (std::is_same_v<V, std::string>) {
            return v.ToString();
        } else if constexpr (std::is_same_v<V, bool>) {
            return v.AsBoolean();
        } else if constexpr (std::is_floating_point_v<V>) {
            return static_cast<V>(v.AsFloat());
        } else if constexpr (std::is_enum_v<V>) {
            return static_cast<V>(v.AsInteger());
        } else {
            if (kind == TPropKind::pkSet) return static_cast<V>(static_cast<uint64_t>(v.AsInteger()));
            return static_cast<V>(v.AsInteger());
        }
    }

    template <class G, class S>
    TOrvPropBuilder& Add(std::string_view name, TPropKind kind, int64_t lo, int64_t hi, TOrvEnumNames names, G getter,
                         S setter) {
        using V = ValueOf<G>;
        TOrvPropInfo info;
        info.Name = std::string(name);
        info.Kind = kind;
        info.MinValue = lo;
        info.MaxValue = hi;
        info.EnumNames = names;
        info.Get = [getter, kind](const TOrvPersistent& obj) {
            return ToVariant<V>(kind, std::invoke(getter, static_cast<const T&>(obj)));
        };
        if constexpr (std::is_same_v<S, std::nullptr_t>) {
            if constexpr (std::is_member_object_pointer_v<G>) {
                info.Set = [getter, kind](TOrvPersistent& obj, const TOrvVariant& v) {
                    static_cast<T&>(obj).*getter = FromVariant<V>(kind, v);
                };
            }
        } else {
            info.Set = [setter, kind](TOrvPersistent& obj, const TOrvVariant& v) {
                std::invoke(setter, static_cast<T&>(obj), FromVariant<V>(kind, v));
            };
        }
        table_.Add(std::move(info));
        return *this;
    }

    TOrvPropTable& table_;
};

template <class T, class Fill>
TOrvPropTable TOrvPropTable::Build(std::string className, const TOrvPropTable* base, Fill fill) {
    TOrvPropTable table(std::move(className), base);
    TOrvPropBuilder<T> builder(table);
    fill(builder);
    return table;
}
