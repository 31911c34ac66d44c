#include "untValues.h"

#include "untCodePage.h"

#include <cmath>
#include <cstdio>

namespace {
int DigitValue(char c, int base) {
    int d = -1;
    if (c >= '0' && c <= '9')
        d = c - '0';
    else if (c >= 'a' && c <= 'f')
        d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        d = c - 'A' + 10;
    return d < base ? d : -1;
}

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// Year, month and day of a day count from 1.1.1970 (proleptic Gregorian).
void CivilFromDays(long long z, int& year, int& month, int& day) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

std::string Escaped(unsigned char c) {
    char text[8];
    std::snprintf(text, sizeof text, "\\x%.2X", c);
    return text;
}
} // namespace

bool ParseLong(const std::string& text, std::int32_t& value) {
    std::string digits = text;
    const bool negative = !digits.empty() && digits[0] == '-';
    if (negative)
        digits.erase(0, 1);
    int base = 10;
    if (!negative && digits.size() > 2 && digits[0] == '0' &&
        (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits.erase(0, 2);
    }
    if (digits.empty())
        return false;
    unsigned long long n = 0;
    for (char c : digits) {
        const int d = DigitValue(c, base);
        if (d < 0)
            return false;
        n = n * base + d;
        if (n > 0xFFFFFFFFull)
            return false;
    }
    if (base == 10 && n > (negative ? 2147483648ull : 2147483647ull))
        return false;
    value = negative ? static_cast<std::int32_t>(-static_cast<long long>(n))
                     : static_cast<std::int32_t>(static_cast<std::uint32_t>(n));
    return true;
}

bool ParseBool(const std::string& text, bool& value) {
    const std::string word = Lower(text);
    if (word == "1" || word == "-1" || word == "true")
        value = true;
    else if (word == "0" || word == "false")
        value = false;
    else
        return false;
    return true;
}

bool ParseBytes(const std::string& text, TBytes& bytes) {
    bytes.clear();
    std::size_t i = 0;
    for (;;) {
        while (i < text.size() && text[i] == ' ')
            ++i;
        if (i == text.size())
            return true;
        if (i + 1 >= text.size())
            return false;
        const int high = DigitValue(text[i], 16), low = DigitValue(text[i + 1], 16);
        if (high < 0 || low < 0)
            return false;
        bytes += static_cast<char>(high * 16 + low);
        i += 2;
    }
}

bool ParseValue(TMemberType type, const std::string& utf8, TMemberValue& value) {
    switch (type) {
    case TMemberType::Long: {
        std::int32_t n = 0;
        if (!ParseLong(utf8, n))
            return false;
        value = n;
        return true;
    }
    case TMemberType::Boolean: {
        bool b = false;
        if (!ParseBool(utf8, b))
            return false;
        value = b;
        return true;
    }
    case TMemberType::String:
        value = Utf8ToCp1251(utf8);
        return true;
    case TMemberType::Variant: {
        TByteBlock block;
        if (!ParseBytes(utf8, block.Data))
            return false;
        value = block;
        return true;
    }
    case TMemberType::Date: // no date property is writable
        return false;
    }
    return false;
}

const char* ValueSyntax(TMemberType type) {
    switch (type) {
    case TMemberType::Long:
        return "a 32-bit number, decimal or 0x hex";
    case TMemberType::Boolean:
        return "1, 0, -1, true or false";
    case TMemberType::String:
        return "any text";
    case TMemberType::Variant:
        return "hex bytes such as \"01 A2 FF\"";
    case TMemberType::Date:
        return "no date can be set";
    }
    return "";
}

std::string FormatDate(double date) {
    const double whole = std::trunc(date);
    // The fraction is the time of day on either side of the epoch.
    const long long seconds = std::llround(std::fabs(date - whole) * 86400.0);
    int year = 0, month = 0, day = 0;
    CivilFromDays(static_cast<long long>(whole) - 25569, year, month, day);
    char text[48];
    if (seconds == 0 || seconds >= 86400)
        std::snprintf(text, sizeof text, "%.4d-%.2d-%.2d", year, month, day);
    else
        std::snprintf(text, sizeof text, "%.4d-%.2d-%.2d %.2lld:%.2lld:%.2lld", year, month, day,
                      seconds / 3600, seconds / 60 % 60, seconds % 60);
    return text;
}

std::string FormatValue(const TMemberValue& value) {
    if (const auto* n = std::get_if<std::int32_t>(&value))
        return std::to_string(*n);
    if (const auto* b = std::get_if<bool>(&value))
        return *b ? "1" : "0";
    if (const auto* date = std::get_if<double>(&value))
        return FormatDate(*date);
    if (const auto* block = std::get_if<TByteBlock>(&value))
        return StrToHex(block->Data);
    std::string text;
    for (char c : Cp1251ToUtf8(std::get<std::string>(value))) {
        const auto u = static_cast<unsigned char>(c);
        text += u < 0x20 || u == 0x7F ? Escaped(u) : std::string(1, c);
    }
    return text;
}

std::string OneLine(const std::string& utf8) {
    std::string text;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto u = static_cast<unsigned char>(utf8[i]);
        if (u == '\r' || u == '\n') {
            if (text.empty() || text.back() != ' ')
                text += ' ';
        } else {
            text += u < 0x20 || u == 0x7F ? Escaped(u) : std::string(1, utf8[i]);
        }
    }
    if (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}
