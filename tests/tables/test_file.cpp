// The table set file: what a save writes, what a load takes back, and what it passes over.
#include "untCodePage.h"
#include "untTables.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {
std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// Tables 1..count as the board reports them, without cells.
void AddTables(TTables& tables, int count) {
    for (int n = 1; n <= count; ++n)
        tables.Add({"table " + std::to_string(n), n, 2, 2});
}

void AddCell(TTable& table, int row, int field, bool string, const std::string& value) {
    TFieldInfo info;
    info.TableNumber = table.Number;
    info.RowNumber = row;
    info.FieldNumber = field;
    info.FieldType = string ? 1 : 0;
    table.Fields.Add(info).Value = value;
}

// Field 1 numbers, field 2 strings, stored field by field as a read stores them.
void FillTable(TTable& table, const std::string& a, const std::string& b) {
    AddCell(table, 1, 1, false, "10");
    AddCell(table, 2, 1, false, "-20");
    AddCell(table, 1, 2, true, a);
    AddCell(table, 2, 2, true, b);
}

class TableFile : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/trelmo-tables-test.XXXXXX";
        Dir = mkdtemp(dir);
        Path = Dir + "/set.txt";
    }
    void TearDown() override {
        chmod(Dir.c_str(), 0700);
        std::system(("rm -rf " + Dir).c_str());
    }
    std::string Dir, Path;
};

TEST_F(TableFile, SavesNumbersBareStringsQuotedAndLoadsThemBack) {
    TTables tables;
    AddTables(tables, 3);
    FillTable(tables[1], "  padded  ", Ansi("Реле \"1\""));
    AddCell(tables[2], 1, 1, false, "7");
    tables[2].Selected = false;
    tables.SaveToFile(Path);

    EXPECT_EQ(ReadFile(Path), "[2]\r\n0001.0001=10\r\n0002.0001=-20\r\n0001.0002=\"  padded  \"\r\n"
                              "0002.0002=\"" +
                                  Ansi("Реле \"1\"") + "\"\r\n");

    TTables loaded;
    AddTables(loaded, 3);
    AddCell(loaded[0], 1, 1, false, "stale");
    loaded.LoadFromFile(Path);
    EXPECT_FALSE(loaded[0].Selected);
    EXPECT_EQ(loaded[0].Fields.Count(), 0);
    EXPECT_FALSE(loaded[2].Selected);
    ASSERT_TRUE(loaded[1].Selected);
    ASSERT_EQ(loaded[1].Fields.Count(), 4);
    EXPECT_EQ(loaded[1].Fields.FindField(1, 2)->Value, "-20");
    EXPECT_EQ(loaded[1].Fields.FindField(2, 1)->Value, "  padded  ");
    EXPECT_EQ(loaded[1].Fields.FindField(2, 2)->Value, Ansi("Реле \"1\""));
}

TEST_F(TableFile, PassesOverWhatDoesNotParseOrTheBoardLacks) {
    WriteFile(Path, "[3]\n0001.0001=5\n12.3=6\nab01.0001=7\n0002x0003= 8 \n0003.00z1=9\n"
                    "[99]\n0001.0001=1\n[x]\n0001.0001=2\n[ 2 ]\n0001.0001=3\n");
    TTables tables;
    AddTables(tables, 3);
    tables.LoadFromFile(Path);
    EXPECT_FALSE(tables[0].Selected);
    // Windows trims the blanks inside the brackets: "[ 2 ]" is table 2.
    ASSERT_EQ(tables[1].Fields.Count(), 1);
    EXPECT_TRUE(tables[1].Selected);
    EXPECT_EQ(tables[1].Fields[0].Value, "3");
    ASSERT_TRUE(tables[2].Selected);
    ASSERT_EQ(tables[2].Fields.Count(), 2);
    EXPECT_EQ(tables[2].Fields[0].Value, "5");
    // The fifth character is not checked; the value loses its blanks.
    EXPECT_EQ(tables[2].Fields[1].RowNumber, 2);
    EXPECT_EQ(tables[2].Fields[1].FieldNumber, 3);
    EXPECT_EQ(tables[2].Fields[1].Value, "8");
}

// A cell named twice loads once, with the value the profile functions give the first name:
// a repeated key, another spelling of the key, a repeated section, and a first line without
// "=" whose key then reads as empty.
TEST_F(TableFile, ACellNamedTwiceLoadsOnceWithItsFirstValue) {
    WriteFile(Path, "[1]\n0001.0001=5\n0001.0001=6\n0001x0001=7\n0002.0001\n0002.0001=8\n"
                    "[1]\n0001.0002=9\n[01]\n0001.0001=10\n0001.0002=11\n");
    TTables tables;
    AddTables(tables, 1);
    tables.LoadFromFile(Path);
    TFields& fields = tables[0].Fields;
    ASSERT_EQ(fields.Count(), 3);
    EXPECT_EQ(fields.FindField(1, 1)->Value, "5");
    EXPECT_EQ(fields.FindField(1, 2)->Value, "");
    EXPECT_EQ(fields.FindField(2, 1)->Value, "11");
}

TEST_F(TableFile, ReadsCrLfAndKeepsEverythingWhenTheFileIsMissing) {
    TTables tables;
    AddTables(tables, 2);
    FillTable(tables[0], "a", "b");
    tables.LoadFromFile(Dir + "/missing.txt");
    EXPECT_TRUE(tables[0].Selected && tables[1].Selected);
    EXPECT_EQ(tables[0].Fields.Count(), 4);

    WriteFile(Path, "; a note\r\n[2]\r\n\r\n0001.0002 = \" x \" \r\n0002.0001='y'\r\n");
    tables.LoadFromFile(Path);
    EXPECT_FALSE(tables[0].Selected);
    ASSERT_EQ(tables[1].Fields.Count(), 2);
    EXPECT_EQ(tables[1].Fields[0].Value, " x ");
    EXPECT_EQ(tables[1].Fields[1].Value, "y");
}

TEST_F(TableFile, SaveReplacesTheWholeFileOrLeavesTheOldOne) {
    TTables tables;
    AddTables(tables, 2);
    FillTable(tables[0], "a", "b");
    FillTable(tables[1], "c", "d");
    tables.SaveToFile(Path);
    tables[0].Selected = false;
    tables.SaveToFile(Path);
    const std::string second = ReadFile(Path);
    EXPECT_EQ(second.find("[1]"), std::string::npos);
    EXPECT_EQ(second.rfind("[2]\r\n", 0), 0u);

    // Root writes into a read-only folder; a folder where the new file would go stops it too.
    if (geteuid() == 0)
        mkdir((Path + ".new").c_str(), 0700);
    else
        chmod(Dir.c_str(), 0500);
    tables[0].Selected = true;
    EXPECT_ANY_THROW(tables.SaveToFile(Path));
    EXPECT_EQ(ReadFile(Path), second);
}

TEST(FieldTexts, DescribeNumbersAndStrings) {
    TFieldInfo info;
    info.Size = 2;
    info.MinValue = 10;
    info.MaxValue = 3600;
    const TField number(info);
    info.FieldType = 1;
    info.Size = 32;
    const TField text(info);
    EXPECT_EQ(FieldTypeText(number), Ansi("Тип: число"));
    EXPECT_EQ(FieldTypeText(text), Ansi("Тип: строка"));
    EXPECT_EQ(FieldRangeText(number), Ansi("Диапазон: 10..3600"));
    EXPECT_EQ(FieldRangeText(text), "");
    EXPECT_EQ(FieldSizeText(number), Ansi("Размер, байт: 2"));
    EXPECT_EQ(FieldSizeText(text), Ansi("Максимальная длина: 32"));
}
} // namespace
