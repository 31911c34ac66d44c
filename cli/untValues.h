// Property values as the command line gives and shows them: UTF-8 text outside, the driver's
// values (cp1251 strings) inside.
#pragma once

#include "untMembers.h"

#include <cstdint>
#include <string>

// Decimal -2147483648..2147483647, or hex 0x0..0xFFFFFFFF taken as the 32 bits.
bool ParseLong(const std::string& text, std::int32_t& value);
// 1, -1, true: true; 0, false: false. Words in any case.
bool ParseBool(const std::string& text, bool& value);
// Pairs of hex digits, either case, blanks allowed between bytes.
bool ParseBytes(const std::string& text, TBytes& bytes);

// The value of a property of the type from the command line's text; false when the text
// does not fit the type. Strings are taken as they are, converted to cp1251.
bool ParseValue(TMemberType type, const std::string& utf8, TMemberValue& value);
// What ParseValue takes for the type, for messages and the help.
const char* ValueSyntax(TMemberType type);

// A value as the tool prints it: numbers in decimal, booleans 0 or 1, dates as
// YYYY-MM-DD (with HH:MM:SS when the time is not midnight), byte blocks as hex text like
// DataBlockHex, strings in UTF-8 with control characters shown as \xNN.
std::string FormatValue(const TMemberValue& value);
std::string FormatDate(double date);

// UTF-8 text fit for one output line: line breaks become one blank, other control
// characters \xNN.
std::string OneLine(const std::string& utf8);
