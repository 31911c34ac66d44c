// How the tool reads values from the command line and prints them.
#include "untCodePage.h"
#include "driver/core/untUtil.h"
#include "untValues.h"

#include <gtest/gtest.h>

TEST(Values, Numbers) {
    std::int32_t n = 0;
    EXPECT_TRUE(ParseLong("2147483647", n) && n == 2147483647);
    EXPECT_TRUE(ParseLong("-2147483648", n) && n == INT32_MIN);
    EXPECT_TRUE(ParseLong("0x1f", n) && n == 31);
    EXPECT_TRUE(ParseLong("0XFFFFFFFF", n) && n == -1);
    n = 7;
    for (const char* bad : {"", "-", "2147483648", "-2147483649", "0x", "0x100000000", "-0x1",
                            "12a", " 1", "+1", "1.5"})
        EXPECT_FALSE(ParseLong(bad, n)) << bad;
    EXPECT_EQ(n, 7);
}

TEST(Values, BooleansAndBytes) {
    bool b = false;
    EXPECT_TRUE(ParseBool("-1", b) && b);
    EXPECT_TRUE(ParseBool("TRUE", b) && b);
    EXPECT_TRUE(ParseBool("False", b) && !b);
    EXPECT_FALSE(ParseBool("2", b));
    EXPECT_FALSE(ParseBool("yes", b));

    TBytes bytes;
    EXPECT_TRUE(ParseBytes(" 01 a2FF ", bytes));
    EXPECT_EQ(bytes, TBytes("\x01\xA2\xFF"));
    EXPECT_TRUE(ParseBytes("", bytes) && bytes.empty());
    for (const char* bad : {"1", "012", "0g", "01,02"})
        EXPECT_FALSE(ParseBytes(bad, bytes)) << bad;
}

TEST(Values, ParsedByTheMembersType) {
    TMemberValue v;
    EXPECT_TRUE(ParseValue(TMemberType::String, "Ключ 1", v));
    EXPECT_EQ(std::get<std::string>(v), Ansi("Ключ 1"));
    EXPECT_TRUE(ParseValue(TMemberType::Variant, "00 7F", v));
    EXPECT_EQ(std::get<TByteBlock>(v).Data, TBytes("\x00\x7F", 2));
    EXPECT_TRUE(ParseValue(TMemberType::Boolean, "1", v) && std::get<bool>(v));
    EXPECT_FALSE(ParseValue(TMemberType::Long, "true", v));
    EXPECT_FALSE(ParseValue(TMemberType::Date, "2004-11-17", v));
}

TEST(Values, Printed) {
    double date = 0;
    ASSERT_TRUE(EncodeDate(2004, 11, 17, date));
    EXPECT_EQ(FormatValue(date), "2004-11-17");
    EXPECT_EQ(FormatValue(0.0), "1899-12-30");
    EXPECT_EQ(FormatValue(0.5), "1899-12-30 12:00:00");
    EXPECT_EQ(FormatValue(-1.25), "1899-12-29 06:00:00"); // the time counts forward
    ASSERT_TRUE(EncodeDate(2000, 2, 29, date));
    EXPECT_EQ(FormatValue(date + 0.75), "2000-02-29 18:00:00");

    EXPECT_EQ(FormatValue(true), "1");
    EXPECT_EQ(FormatValue(false), "0");
    EXPECT_EQ(FormatValue(std::int32_t{-5}), "-5");
    EXPECT_EQ(FormatValue(TByteBlock{TBytes("\x01\xA2", 2)}), "01 A2 ");
    EXPECT_EQ(FormatValue(Ansi("Плата\r\n\x01") + "\\"), "Плата\\x0D\\x0A\\x01\\");
    EXPECT_EQ(OneLine("Код: 2.\r\nNo such file\r\n"), "Код: 2. No such file");
}
