// Small conversions of the driver core.
#pragma once

#include "untProtocol.h"

#include <cstdint>
#include <string>

// Hex text to bytes. Digits are 0-9 and upper-case A-F; every other character separates,
// and a lone digit before a separator is a byte of its own. Odd-length text gets a "0"
// appended first; a digit left pending at the end is dropped.
TBytes HexToBytes(const std::string& text);

// The text without its trailing characters of codes firstCode..32.
std::string TrimTrailing(const std::string& text, unsigned char firstCode);

// Up to four bytes, little-endian, zero-extended.
std::uint32_t GetNumber(const TBytes& bytes);

// A 32-bit signed decimal integer (blanks around it allowed); throws a plain failure with
// a message naming the text otherwise.
std::int32_t StrToInt(const std::string& text);

// The automation date (days since 30.12.1899) of a valid calendar date.
bool EncodeDate(int year, int month, int day, double& date);
