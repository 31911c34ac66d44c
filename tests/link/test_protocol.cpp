#include "untProtocol.h"

#include <gtest/gtest.h>

TEST(Protocol, StatusRequestFrame) {
    const TBytes frame = BuildFrame(0, TBytes(1, '\x11'));
    EXPECT_EQ(StrToHex(frame), "02 00 00 01 11 10 ");
    EXPECT_EQ(FrameCrc(frame.substr(1)), 0);
}

TEST(Protocol, FrameCarriesSequenceAndLength) {
    const TBytes payload("\xC1\x02\x01", 3);
    const TBytes frame = BuildFrame(254, payload);
    ASSERT_EQ(frame.size(), 8u);
    EXPECT_EQ(static_cast<unsigned char>(frame[1]), 254);
    EXPECT_EQ(frame[3], 3);
    EXPECT_EQ(frame.substr(4, 3), payload);
    EXPECT_THROW(BuildFrame(0, TBytes(256, 'x')), std::length_error);
}

TEST(Protocol, HexTextOfEveryByteValue) {
    EXPECT_EQ(StrToHex(""), "");
    EXPECT_EQ(StrToHex(TBytes("\x00\xff\x0a", 3)), "00 FF 0A ");
}

TEST(Protocol, SpeedCodesBothWays) {
    const int rates[] = {2400, 4800, 9600, 19200, 38400, 57600, 115200};
    for (int code = 2; code <= 8; ++code) {
        EXPECT_EQ(CodeToBaudRate(code), rates[code - 2]);
        EXPECT_EQ(BaudRateToCode(rates[code - 2]), code);
    }
    EXPECT_EQ(BaudRateToCode(12345), 2);
    EXPECT_EQ(CodeToBaudRate(9), 2400);
    EXPECT_EQ(CodeToBaudRate(0), 2400);
    EXPECT_FALSE(IsValidBaudRate(1234));
}

TEST(Protocol, LittleEndianWords) {
    TBytes data;
    PutWord(data, 0x0102);
    EXPECT_EQ(data, TBytes("\x02\x01", 2));
    EXPECT_EQ(GetWord(data, 0), 0x0102);
    EXPECT_THROW(GetWord(data, 1), std::out_of_range);
}

#include "untCodePage.h"

TEST(CodePage, RussianTextBothWays) {
    const std::string utf8 = "Нет связи: Ёё №1";
    const std::string ansi = Utf8ToCp1251(utf8);
    EXPECT_EQ(ansi, std::string("\xCD\xE5\xF2 \xF1\xE2\xFF\xE7\xE8: \xA8\xB8 \xB9"
                                "1"));
    EXPECT_EQ(Cp1251ToUtf8(ansi), utf8);
    EXPECT_EQ(WideToCp1251(Cp1251ToWide(ansi)), ansi);
}

TEST(CodePage, EveryByteSurvivesARoundTrip) {
    std::string all;
    for (int c = 0; c < 256; ++c)
        all += static_cast<char>(c);
    EXPECT_EQ(Utf8ToCp1251(Cp1251ToUtf8(all)), all);
    EXPECT_EQ(WideToCp1251(Cp1251ToWide(all)), all);
}

TEST(CodePage, ForeignAndMalformedInputBecomesQuestionMarks) {
    EXPECT_EQ(Utf8ToCp1251("a\xE4\xB8\xAD"
                           "b"),
              "a?b");                          // a CJK character
    EXPECT_EQ(Utf8ToCp1251("\xFF\xD0"), "??"); // stray and cut sequences
    EXPECT_EQ(WideToCp1251(L"\x4E2D"), "?");
}
