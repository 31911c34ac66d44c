#include "driver/core/untUtil.h"

#include "untCodePage.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

TBytes HexToBytes(const std::string& source) {
    std::string text = source;
    if (text.size() % 2 != 0)
        text += '0';
    TBytes bytes;
    int pending = -1;
    for (char c : text) {
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit >= 0 && pending < 0) {
            pending = digit;
        } else if (digit >= 0) {
            bytes += static_cast<char>(pending * 16 + digit);
            pending = -1;
        } else if (pending >= 0) {
            bytes += static_cast<char>(pending);
            pending = -1;
        }
    }
    return bytes;
}

std::string TrimTrailing(const std::string& text, unsigned char firstCode) {
    std::size_t end = text.size();
    while (end > 0) {
        const unsigned char c = static_cast<unsigned char>(text[end - 1]);
        if (c < firstCode || c > 32)
            break;
        --end;
    }
    return text.substr(0, end);
}

std::uint32_t GetNumber(const TBytes& bytes) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < bytes.size() && i < 4; ++i)
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
    return value;
}

std::int32_t StrToInt(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    const std::size_t last = text.find_last_not_of(' ');
    bool valid = first != std::string::npos;
    long long value = 0;
    if (valid) {
        const std::string number = text.substr(first, last - first + 1);
        std::size_t i = (number[0] == '-' || number[0] == '+') ? 1 : 0;
        // No limit on the digits: leading zeros are allowed, and strtoll saturates, so the range
        // check below turns away what is too long.
        valid = i < number.size();
        for (; valid && i < number.size(); ++i)
            valid = number[i] >= '0' && number[i] <= '9';
        if (valid)
            value = std::strtoll(number.c_str(), nullptr, 10);
        valid = valid && value >= INT32_MIN && value <= INT32_MAX;
    }
    if (!valid) {
        // Control bytes shown as \xNN: a NUL would end the result text wherever it is a C string.
        std::string shown;
        for (const char c : text) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(c));
            shown += static_cast<unsigned char>(c) < 0x20 ? std::string(escaped) : std::string(1, c);
        }
        throw std::invalid_argument("\"" + shown + Ansi("\" не является целым числом"));
    }
    return static_cast<std::int32_t>(value);
}

bool EncodeDate(int year, int month, int day, double& date) {
    static const int daysInMonth[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1)
        return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    const int monthDays = daysInMonth[month - 1] + (month == 2 && leap ? 1 : 0);
    if (day > monthDays)
        return false;
    // Days from 1.1.0001 to the date, then shifted to the 30.12.1899 epoch.
    long days = day;
    for (int m = 1; m < month; ++m)
        days += daysInMonth[m - 1] + (m == 2 && leap ? 1 : 0);
    const long y = year - 1;
    days += y * 365 + y / 4 - y / 100 + y / 400;
    date = static_cast<double>(days - 693594);
    return true;
}
