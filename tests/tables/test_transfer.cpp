// The transfer between the virtual board and memory, through the native driver, with a
// scripted user who answers the questions and remembers them.
#include "untCodePage.h"
#include "untDriver.h"
#include "untDriverTables.h"
#include "untTestBoard.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <unistd.h>

namespace {
using testboard::TBoardProcess;

class TScriptedUser : public TTransferUi {
public:
    std::deque<bool> Answers; // to the questions, in order; no when they run out
    std::vector<std::string> Questions;
    std::vector<std::string> Progress; // "text/maximum" per start
    int Steps = 0, Stops = 0;

    void StartProgress(const std::string& text, int maximum) override {
        Progress.push_back(text + "/" + std::to_string(maximum));
    }
    void StepProgress() override { ++Steps; }
    void StopProgress() override { ++Stops; }
    bool BreakRequested() override { return false; }
    bool ConfirmBreak() override { return true; }
    bool AskContinue(const std::string& message) override {
        Questions.push_back(message);
        if (Answers.empty())
            return false;
        const bool answer = Answers.front();
        Answers.pop_front();
        return answer;
    }
};

class Transfer : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/trelmo-transfer-test.XXXXXX";
        Home = mkdtemp(dir);
        setenv("XDG_CONFIG_HOME", Home.c_str(), 1);
        Driver.SetDevicePath(Board.Link);
        Driver.SetTimeout(100);
        Driver.SetCommandTimeout(300);
    }
    void TearDown() override { std::system(("rm -rf " + Home).c_str()); }

    // A cell as the board holds it now, read past the transfer.
    std::string Cell(int table, int row, int field) {
        Driver.TableNumber = table;
        Driver.RowNumber = static_cast<std::uint16_t>(row);
        Driver.FieldNumber = field;
        EXPECT_EQ(Driver.ReadTable(), 0);
        return Driver.FieldValue;
    }
    int SetCell(int table, int row, int field, const std::string& value) {
        Driver.TableNumber = table;
        Driver.RowNumber = static_cast<std::uint16_t>(row);
        Driver.FieldNumber = field;
        Driver.FieldValue = value;
        return Driver.WriteTable();
    }

    TBoardProcess Board;
    std::string Home;
    TDriver Driver;
    TDriverTables Tables{Driver};
    TScriptedUser User;
    TVarnokBrd Brd{Tables, User};
};

TEST_F(Transfer, ReadsTheStructureUpToTheUndefinedTable) {
    ASSERT_TRUE(Brd.ReadStructure());
    ASSERT_EQ(Brd.Tables.Count(), 5);
    const int rows[] = {1, 8, 24, 1, 4}, fields[] = {9, 3, 3, 2, 4};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(Brd.Tables[i].Number, i + 1);
        EXPECT_EQ(Brd.Tables[i].RowCount, rows[i]);
        EXPECT_EQ(Brd.Tables[i].FieldCount, fields[i]);
        EXPECT_TRUE(Brd.Tables[i].Selected);
    }
    EXPECT_EQ(Brd.Tables[1].Name, Ansi("Реле"));
    EXPECT_TRUE(User.Questions.empty());
}

TEST_F(Transfer, AFailedStepIsAskedAboutThenRepeatedOrStopped) {
    Board.Command("fault error 33 for 2d");
    User.Answers = {true};
    ASSERT_TRUE(Brd.ReadStructure());
    EXPECT_EQ(Brd.Tables.Count(), 5); // table 1 asked again
    ASSERT_EQ(User.Questions.size(), 1u);
    EXPECT_EQ(User.Questions[0].rfind(Ansi("Ошибка: (51) "), 0), 0u) << User.Questions[0];
    EXPECT_NE(User.Questions[0].find(Ansi("\r\nПродолжить выполнение ?")), std::string::npos);

    // A failed cell read is read again: every cell is there once, in order.
    Board.Command("fault error 33 for 1f");
    ASSERT_TRUE(Brd.ReadWholeTable(Brd.Tables[1]) == false);
    EXPECT_EQ(User.Questions.size(), 2u);
    EXPECT_EQ(Brd.Tables[1].Fields.Count(), 0);
    EXPECT_EQ(User.Stops, 1);

    Board.Command("fault error 33 for 1f");
    User.Answers = {true};
    ASSERT_TRUE(Brd.ReadWholeTable(Brd.Tables[1]));
    ASSERT_EQ(Brd.Tables[1].Fields.Count(), 24);
    for (int i = 0; i < 24; ++i) {
        EXPECT_EQ(Brd.Tables[1].Fields[i].FieldNumber, i / 8 + 1);
        EXPECT_EQ(Brd.Tables[1].Fields[i].RowNumber, i % 8 + 1);
    }
    EXPECT_EQ(Brd.Tables[1].Fields[0].Value, Ansi("Модем"));
    EXPECT_NE(Brd.Tables[1].Fields[0].FieldType, 0);
    EXPECT_EQ(Brd.Tables[1].Fields[8].Value, "1");
    EXPECT_EQ(Brd.Tables[1].Fields[8].FieldType, 0);
    EXPECT_EQ(Brd.Tables[1].Fields[16].MaxValue, 60000);
    EXPECT_EQ(User.Progress.back(), Ansi("Чтение таблицы") + "/24");
    EXPECT_EQ(User.Steps, 25); // the retry steps too: the bar may reach its end early
}

TEST_F(Transfer, WritesReadOnlyCellsWithoutAQuestionAndStopsOnNo) {
    ASSERT_TRUE(Brd.ReadStructure());
    for (int i = 0; i < 5; ++i)
        Brd.Tables[i].Selected = i == 2 || i == 3;
    ASSERT_TRUE(Brd.ReadSelected());
    EXPECT_EQ(User.Progress.back(), Ansi("Чтение таблиц") + "/74");
    ASSERT_TRUE(Brd.WriteSelected());
    EXPECT_TRUE(User.Questions.empty());
    EXPECT_EQ(User.Steps, 148);

    // A value the field cannot take is the driver's answer, not an exception.
    const std::string speed = Brd.Tables[3].Fields[0].Value;
    Brd.Tables[3].Fields[0].Value = "12a";
    Brd.Tables[2].Selected = false;
    EXPECT_FALSE(Brd.WriteSelected());
    ASSERT_EQ(User.Questions.size(), 1u);
    EXPECT_EQ(Cell(4, 1, 1), speed);
    EXPECT_EQ(User.Stops, 3);
}

TEST_F(Transfer, TablesReadAndSavedComeBackFromTheFile) {
    ASSERT_TRUE(Brd.ReadStructure());
    ASSERT_TRUE(Brd.ReadSelected());
    const std::string path = Home + "/set.txt";
    Brd.Tables.SaveToFile(path);

    ASSERT_EQ(SetCell(1, 1, 9, Ansi("Другой")), 0);
    ASSERT_EQ(SetCell(2, 3, 3, "250"), 0);
    ASSERT_EQ(SetCell(5, 2, 1, "  x  "), 0);
    ASSERT_EQ(SetCell(4, 1, 2, "9"), 0);

    TVarnokBrd again(Tables, User);
    ASSERT_TRUE(again.ReadStructure());
    again.Tables.LoadFromFile(path);
    ASSERT_TRUE(again.WriteSelected());
    EXPECT_TRUE(User.Questions.empty());
    for (int t = 0; t < 5; ++t) {
        const TTable& table = Brd.Tables[t];
        ASSERT_EQ(table.Fields.Count(), table.RowCount * table.FieldCount);
        for (int i = 0; i < table.Fields.Count(); ++i) {
            const TField& f = table.Fields[i];
            if (f.TableNumber == 3)
                continue; // the event log moves on by itself
            EXPECT_EQ(Cell(f.TableNumber, f.RowNumber, f.FieldNumber), f.Value)
                << f.TableNumber << '/' << f.RowNumber << '/' << f.FieldNumber;
        }
    }
}
} // namespace
