// The text readers of the driver core under any text: the hex reader behind CommandHex and
// DataBlockHex, and the decimal reader behind number field values.
#include "untDriver.h"
#include "untFuzzSupport.h"
#include "driver/core/untUtil.h"

#include <cstdint>
#include <stdexcept>

namespace {
// The decimal text of the 32-bit integer that `text` stands for (a sign, digits, blanks around
// them), worked out digit by digit; empty when it stands for none.
std::string CanonicalInteger(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    std::string digits = text.substr(first, text.find_last_not_of(' ') - first + 1);
    const bool negative = digits[0] == '-';
    if (digits[0] == '-' || digits[0] == '+')
        digits.erase(0, 1);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos)
        return {};
    digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - 1));
    const std::string limit = negative ? "2147483648" : "2147483647";
    if (digits.size() > limit.size() || (digits.size() == limit.size() && digits > limit))
        return {};
    return negative && digits != "0" ? "-" + digits : digits;
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzHome();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    const TBytes bytes = HexToBytes(text);
    // Every byte takes two characters: two digits, or a digit and what ends it.
    Require(bytes.size() <= (text.size() + 1) / 2, "more bytes than the text can hold");
    Require(HexToBytes(StrToHex(text)) == text, "hex text does not read back as its bytes");

    static TDriver driver;
    driver.SetDataBlockHex(text);
    const std::string hex = driver.GetDataBlockHex();
    driver.SetDataBlockHex(hex);
    Require(driver.GetDataBlockHex() == hex, "DataBlockHex does not round-trip", hex);

    const std::string expected = CanonicalInteger(text);
    try {
        const std::int32_t value = StrToInt(text);
        Require(std::to_string(value) == expected, "StrToInt read a wrong number",
                std::to_string(value) + " for \"" + text + "\"");
    } catch (const std::invalid_argument&) {
        Require(expected.empty(), "StrToInt refused an integer", text);
    }
    return 0;
}
