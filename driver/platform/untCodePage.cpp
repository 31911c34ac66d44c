#include "untCodePage.h"

#include <cstdint>

namespace {
// Unicode of bytes 0x80..0xFF.
const char16_t HighHalf[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409,
    0x2039, 0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0,
    0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB,
    0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6,
    0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

char32_t ByteToUnicode(unsigned char c) {
    if (c < 0x80)
        return c;
    if (c >= 0xC0)
        return 0x0410 + (c - 0xC0); // А..я are contiguous
    return HighHalf[c - 0x80];
}

char ByteOf(char32_t u) {
    if (u < 0x80)
        return static_cast<char>(u);
    if (u >= 0x0410 && u <= 0x044F)
        return static_cast<char>(0xC0 + (u - 0x0410));
    for (int i = 0; i < 64; ++i)
        if (HighHalf[i] == u)
            return static_cast<char>(0x80 + i);
    return '?';
}

void AppendUtf8(std::string& out, char32_t u) {
    if (u < 0x80) {
        out += static_cast<char>(u);
    } else if (u < 0x800) {
        out += static_cast<char>(0xC0 | (u >> 6));
        out += static_cast<char>(0x80 | (u & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (u >> 12));
        out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (u & 0x3F));
    }
}

// Decodes one UTF-8 sequence at `i`, advancing it; malformed input yields U+FFFD.
char32_t NextUtf8(const std::string& s, std::size_t& i) {
    const unsigned char c = s[i++];
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    if (c >= 0x80 && extra == 0)
        return 0xFFFD;
    char32_t u = extra == 0 ? c : c & (0x3F >> extra);
    for (; extra > 0; --extra) {
        if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80)
            return 0xFFFD;
        u = (u << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
    }
    return u;
}
} // namespace

std::string Cp1251ToUtf8(const std::string& text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (unsigned char c : text)
        AppendUtf8(out, ByteToUnicode(c));
    return out;
}

std::string Utf8ToCp1251(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();)
        out += ByteOf(NextUtf8(text, i));
    return out;
}

std::wstring Cp1251ToWide(const std::string& text) {
    std::wstring out;
    out.reserve(text.size());
    for (unsigned char c : text)
        out += static_cast<wchar_t>(ByteToUnicode(c));
    return out;
}

std::string WideToCp1251(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t u = static_cast<char32_t>(text[i]);
        // A surrogate pair stands for one character outside cp1251 either way.
        if (sizeof(wchar_t) == 2 && u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size())
            ++i;
        out += ByteOf(u);
    }
    return out;
}
