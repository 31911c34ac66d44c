// The members of the automation interface ITrelmo as a table, in the interface's order, with
// their Russian names and their accessors onto a TDriver. The COM server, the 1C add-in and the
// command-line tool all work from this one table. Its rows come from untMemberList.h, as do
// the type library and the COM object's vtable methods: a member is added there, in one row.
#pragma once

#include "untProtocol.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <variant>
#include <vector>

class TDriver;

enum class TMemberKind { Method, Property };
// Automation types: VT_I4, VT_BOOL, VT_BSTR, VT_VARIANT, VT_DATE.
enum class TMemberType { Long, Boolean, String, Variant, Date };

// DataBlockSafeArray's value: the data block as the array that the interface passes.
struct TByteBlock {
    TBytes Data;
    bool operator==(const TByteBlock& other) const { return Data == other.Data; }
};

// One property value. The alternative follows the member's type: Long -> int32_t,
// Boolean -> bool, String -> cp1251 string, Date -> automation date (days since
// 30.12.1899), Variant -> TByteBlock.
using TMemberValue = std::variant<std::int32_t, bool, std::string, double, TByteBlock>;

using TMemberCall = std::function<int(TDriver&)>;
using TMemberGet = std::function<TMemberValue(const TDriver&)>;
// Takes the alternative of the member's type; another one throws std::bad_variant_access.
using TMemberSet = std::function<void(TDriver&, const TMemberValue&)>;

// Each member's place in Members(), for code bound to one member at compile time.
enum class TMemberIndex : std::size_t {
#define MEMBER(Name, ...) Name,
#include "untMemberList.h"
};

// Each member's dispatch identifier.
enum class TMemberId : int {
#define MEMBER(Name, DispId, ...) Name = DispId,
#include "untMemberList.h"
};

const int DispIdAboutBox = static_cast<int>(TMemberId::AboutBox);

struct TMember {
    const char* Name;
    std::string RussianName; // cp1251
    TMemberKind Kind;
    int DispId;
    TMemberType Type; // a method's result is Long (AboutBox has none)
    bool Writable;    // properties only
    // Empty where the driver core has nothing behind the member and its owner must supply
    // it: the dialog methods and AboutBox, and the automation object's ParentWnd and Version.
    TMemberCall Call;
    TMemberGet Get;
    TMemberSet Set; // also empty for read-only properties

    bool IsMethod() const { return Kind == TMemberKind::Method; }
    bool IsProperty() const { return Kind == TMemberKind::Property; }
    bool HasResult() const { return IsMethod() && DispId != DispIdAboutBox; }
    bool OfDriver() const { return IsMethod() ? bool(Call) : bool(Get); }
};

// All members: the 43 methods, then the 77 properties.
const std::vector<TMember>& Members();

template <TMemberIndex Index> const TMember& MemberAt() {
    return Members()[static_cast<std::size_t>(Index)];
}

// Look-up by English or Russian (cp1251) name in any letter case; nullptr when unknown.
const TMember* FindMember(const std::string& name);
const TMember* FindMember(const std::string& name, TMemberKind kind);
const TMember* FindMemberById(int dispId);

// Names compared as the interface's clients do: ASCII and cp1251 Cyrillic letters
// (А-Я/а-я, Ё/ё) without regard to case.
bool SameName(const std::string& a, const std::string& b);

// The method wrapper every owner of a driver shares: runs the operation, then writes the
// method line to the protocol log. A failure that escapes the operation goes to
// HandleException and writes no method line. The method must be one of the driver's.
int InvokeMethod(const TMember& method, TDriver& driver);

const char* TypeName(TMemberType type); // "long", "boolean", "string", "variant", "date"
