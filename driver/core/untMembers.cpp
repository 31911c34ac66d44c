#include "untMembers.h"

#include "untCodePage.h"
#include "untDriver.h"

#include <exception>
#include <functional>
#include <type_traits>

namespace {
// The value alternative of each member type.
template <TMemberType> struct TValueOf;
template <> struct TValueOf<TMemberType::Long> { using Type = std::int32_t; };
template <> struct TValueOf<TMemberType::Boolean> { using Type = bool; };
template <> struct TValueOf<TMemberType::String> { using Type = std::string; };
template <> struct TValueOf<TMemberType::Date> { using Type = double; };
template <> struct TValueOf<TMemberType::Variant> { using Type = TByteBlock; };

// Braces: a driver value that does not fit its member's type does not compile.
template <TMemberType Type, class V> TMemberValue ToValue(const V& value) {
    return typename TValueOf<Type>::Type{value};
}

// Word registers keep the low 16 bits.
template <TMemberType Type, class V> V FromValue(const TMemberValue& value) {
    const auto& alternative = std::get<typename TValueOf<Type>::Type>(value);
    if constexpr (Type == TMemberType::Variant)
        return alternative.Data;
    else
        return static_cast<V>(alternative);
}

// A getter and a setter of the driver, for By().
template <class Get, class Set> struct TGetSet {
    Get Getter;
    Set Setter;
};

template <class R, class A> auto By(R (TDriver::*get)() const, void (TDriver::*set)(A)) {
    return TGetSet<decltype(get), decltype(set)>{get, set};
}

// The accessor of the automation object's own members: the driver core has nothing behind them.
struct TOwn {};
const TOwn Own;

// A field or a getter, read alike.
template <TMemberType Type, class Source> TMemberGet Reader(Source source) {
    return [source](const TDriver& d) { return ToValue<Type>(std::invoke(source, d)); };
}

template <TMemberType Type, class V> TMemberSet Writer(V TDriver::*field) {
    return [field](TDriver& d, const TMemberValue& v) { d.*field = FromValue<Type, V>(v); };
}

template <TMemberType Type, class A> TMemberSet Writer(void (TDriver::*set)(A)) {
    return
        [set](TDriver& d, const TMemberValue& v) { (d.*set)(FromValue<Type, std::decay_t<A>>(v)); };
}

TMember Row(const char* name, int id, const char* russian, TMemberKind kind, TMemberType type,
            bool writable, TMemberCall call, TMemberGet get = {}, TMemberSet set = {}) {
    return {name,           Ansi(russian), kind, id, type, writable, std::move(call),
            std::move(get), std::move(set)};
}

// One function per access of the list, named as it.
template <TMemberType Type>
TMember Method(const char* name, int id, const char* russian, int (TDriver::*operation)()) {
    return Row(name, id, russian, TMemberKind::Method, Type, false, operation);
}

template <TMemberType Type> TMember Method(const char* name, int id, const char* russian, TOwn) {
    return Row(name, id, russian, TMemberKind::Method, Type, false, {});
}

template <TMemberType Type>
TMember Procedure(const char* name, int id, const char* russian, TOwn own) {
    return Method<Type>(name, id, russian, own);
}

template <TMemberType Type, class Source>
TMember ReadOnly(const char* name, int id, const char* russian, Source source) {
    return Row(name, id, russian, TMemberKind::Property, Type, false, {}, Reader<Type>(source));
}

template <TMemberType Type> TMember ReadOnly(const char* name, int id, const char* russian, TOwn) {
    return Row(name, id, russian, TMemberKind::Property, Type, false, {});
}

template <TMemberType Type, class V>
TMember ReadWrite(const char* name, int id, const char* russian, V TDriver::*field) {
    return Row(name, id, russian, TMemberKind::Property, Type, true, {}, Reader<Type>(field),
               Writer<Type>(field));
}

template <TMemberType Type, class Get, class Set>
TMember ReadWrite(const char* name, int id, const char* russian, TGetSet<Get, Set> by) {
    return Row(name, id, russian, TMemberKind::Property, Type, true, {}, Reader<Type>(by.Getter),
               Writer<Type>(by.Setter));
}

template <TMemberType Type> TMember ReadWrite(const char* name, int id, const char* russian, TOwn) {
    return Row(name, id, russian, TMemberKind::Property, Type, true, {});
}

std::vector<TMember> BuildMembers() {
    using D = TDriver;
    return {
#define MEMBER(Name, DispId, Access, Type, Russian, Accessor)                                      \
    Access<TMemberType::Type>(#Name, DispId, Russian, Accessor),
#include "untMemberList.h"
    };
}

unsigned char Fold(unsigned char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDF))
        return static_cast<unsigned char>(c + 0x20);
    return c == 0xA8 ? 0xB8 : c; // Ё
}
} // namespace

const std::vector<TMember>& Members() {
    static const std::vector<TMember> members = BuildMembers();
    return members;
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Fold(static_cast<unsigned char>(a[i])) != Fold(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

const TMember* FindMember(const std::string& name) {
    for (const TMember& m : Members())
        if (SameName(m.Name, name) || SameName(m.RussianName, name))
            return &m;
    return nullptr;
}

const TMember* FindMember(const std::string& name, TMemberKind kind) {
    for (const TMember& m : Members())
        if (m.Kind == kind && (SameName(m.Name, name) || SameName(m.RussianName, name)))
            return &m;
    return nullptr;
}

const TMember* FindMemberById(int dispId) {
    for (const TMember& m : Members())
        if (m.DispId == dispId)
            return &m;
    return nullptr;
}

int InvokeMethod(const TMember& method, TDriver& driver) {
    int value = 0;
    try {
        value = method.Call(driver);
    } catch (...) {
        return driver.HandleException(std::current_exception());
    }
    driver.GetLog().WriteMethod(method.Name);
    driver.GetLog().WriteMethodResult(static_cast<long>(value));
    return value;
}

const char* TypeName(TMemberType type) {
    switch (type) {
    case TMemberType::Long:
        return "long";
    case TMemberType::Boolean:
        return "boolean";
    case TMemberType::String:
        return "string";
    case TMemberType::Variant:
        return "variant";
    case TMemberType::Date:
        return "date";
    }
    return "";
}
