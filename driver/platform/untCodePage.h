// Code page 1251 <-> Unicode. Inside the driver every text is a cp1251 byte string, as on the
// wire and in the files; these convert at the edges (UTF-8 on Linux, UTF-16 at COM).
#pragma once

#include <string>

// Bytes that cp1251 leaves undefined (0x98) map to the C1 control of the same value, so a
// round trip never loses a byte. Characters cp1251 lacks become '?'.
std::string Cp1251ToUtf8(const std::string& text);
std::string Utf8ToCp1251(const std::string& text);
std::wstring Cp1251ToWide(const std::string& text);
std::string WideToCp1251(const std::wstring& text);

// A cp1251 byte string from UTF-8 source text, for the system's own Russian texts.
inline std::string Ansi(const char* utf8) {
    return Utf8ToCp1251(utf8);
}
