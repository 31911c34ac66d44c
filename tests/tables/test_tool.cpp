// trelmo tables as a user runs it: real processes against two virtual boards.
#include "untCodePage.h"
#include "untTestBoard.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {
using testboard::TBoardProcess;

using testboard::ReadFileText;
using testboard::TRun;

// The file without the event log's section, which the board keeps moving by itself.
std::string WithoutEventLog(const std::string& text) {
    const std::size_t from = text.find("[3]\r\n");
    if (from == std::string::npos)
        return text;
    const std::size_t to = text.find("\r\n[", from);
    return text.substr(0, from) + (to == std::string::npos ? "" : text.substr(to + 2));
}

class Tool : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/trelmo-tables-tool.XXXXXX";
        Dir = mkdtemp(dir);
    }
    void TearDown() override { std::system(("rm -rf " + Dir).c_str()); }

    TRun On(const TBoardProcess& board, std::vector<std::string> args) {
        args.insert(args.begin(), {"--device", board.Link});
        return testboard::RunProgram(TRELMO_PROGRAM, args, Dir);
    }

    std::string File(const std::string& name, const std::string& bytes) {
        const std::string path = Dir + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    std::string Dir;
};

// Frames of command `code` the board received, from its trace.
int Requests(const TBoardProcess& board, const std::string& code) {
    std::istringstream trace(board.Trace());
    int count = 0;
    for (std::string line; std::getline(trace, line);)
        count += line.rfind("-> 02 ", 0) == 0 && line.substr(15, 2) == code;
    return count;
}

TEST_F(Tool, SaveAndLoadMakeASecondBoardEqual) {
    TBoardProcess first, second({"--serial", "4321"});
    TRun run = On(second, {"tables", "list"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out, "1\tОбщие параметры\t1\t9\n2\tРеле\t8\t3\n3\tЖурнал событий\t24\t3\n"
                       "4\tСвязь\t1\t2\n5\tДоступ\t4\t4\n");
    run = On(second, {"TableNumber=2", "RowNumber=1", "FieldNumber=1", "FieldValue=  Другое  ",
                      "WriteTable", "TableNumber=5", "RowNumber=4", "FieldNumber=3",
                      "FieldValue=77", "WriteTable"});
    ASSERT_EQ(run.Status, 0) << run.Out << run.Err;

    const std::string one = Dir + "/one.txt", two = Dir + "/two.txt";
    run = On(first, {"tables", "save", one});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_NE(run.Err.find("100% (123/123)"), std::string::npos) << run.Err;
    ASSERT_EQ(On(second, {"tables", "save", two}).Status, 0);
    ASSERT_NE(WithoutEventLog(ReadFileText(one)), WithoutEventLog(ReadFileText(two)));

    run = On(second, {"tables", "load", one});
    ASSERT_EQ(run.Status, 0) << run.Out << run.Err;
    EXPECT_NE(run.Out.find("2\tРеле\t8\t3\t24 written\n"), std::string::npos) << run.Out;
    ASSERT_EQ(On(second, {"tables", "save", two}).Status, 0);
    EXPECT_EQ(WithoutEventLog(ReadFileText(two)), WithoutEventLog(ReadFileText(one)));

    // Chosen tables only, and a whole new file.
    run = On(second, {"tables", "save", two, "4", "2"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    const std::string chosen = ReadFileText(two);
    EXPECT_EQ(chosen.rfind("[2]\r\n0001.0001=\"" + Ansi("Модем") + "\"\r\n", 0), 0u) << chosen;
    EXPECT_NE(chosen.find("\r\n[4]\r\n0001.0001="), std::string::npos);
    EXPECT_EQ(chosen.find("[1]"), std::string::npos);
}

TEST_F(Tool, FailuresAreRetriedThenStopTheJob) {
    TBoardProcess board;
    const std::string file = Dir + "/set.txt";
    ASSERT_EQ(On(board, {"tables", "save", file, "4"}).Status, 0);

    board.Command("fault error 33 for 1e");
    TRun run = On(board, {"tables", "load", file});
    EXPECT_EQ(run.Status, 0) << run.Out << run.Err;
    EXPECT_NE(run.Out.find("WriteTable: 51 "), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("(table 4, row 1, field 1) (try 1 of 4)"), std::string::npos);

    board.Command("fault error 33 always for 1e");
    run = On(board, {"tables", "load", "--retries", "1", file});
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Out.find("(try 2 of 2)"), std::string::npos) << run.Out;
    EXPECT_EQ(run.Out.find("try 3"), std::string::npos);
    EXPECT_NE(run.Err.find("gave up after 2 tries"), std::string::npos) << run.Err;
    board.Command("clear");

    EXPECT_EQ(On(board, {"tables", "save"}).Status, 2);
    EXPECT_EQ(On(board, {"tables", "load", file, "2"}).Status, 2);
    EXPECT_EQ(On(board, {"tables", "copy"}).Status, 2);
    run = On(board, {"tables", "save", file, "9"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Err.find("no table 9"), std::string::npos) << run.Err;
    EXPECT_EQ(On(board, {"tables", "load", Dir + "/missing.txt"}).Status, 1);
}

// A cell named more than once, by a repeated key, another spelling of its key or a repeated
// section, is written once with its first value, as the Windows profile functions read it.
TEST_F(Tool, RepeatedCellsAreWrittenOnce) {
    TBoardProcess board;
    std::string text = "[1]\r\n0001.0001=60\r\n0001.0001=61\r\n0001-0001=62\r\n";
    for (int i = 0; i < 20; ++i)
        text += "0001.0002=30\r\n[1]\r\n";
    const TRun run = On(board, {"tables", "load", File("set.txt", text)});
    ASSERT_EQ(run.Status, 0) << run.Out << run.Err;
    EXPECT_EQ(run.Out, "1\tОбщие параметры\t1\t9\t2 written\n");
    EXPECT_NE(run.Err.find("(2/9)"), std::string::npos) << run.Err;
    EXPECT_EQ(run.Err.find("(3/9)"), std::string::npos) << run.Err;
    EXPECT_EQ(Requests(board, "1E"), 2);
    const TRun read = On(board, {"TableNumber=1", "RowNumber=1", "FieldNumber=1",
                                 "ReadFieldStructure", "ReadTable", "FieldValue"});
    EXPECT_NE(read.Out.find("FieldValue=60\n"), std::string::npos) << read.Out;
}

// A cell the board's table does not have is named before anything is written.
TEST_F(Tool, CellsPastTheTableAreRefusedUnwritten) {
    TBoardProcess board;
    const std::pair<const char*, const char*> cases[] = {
        {"[2]\r\n0001.0001=1\r\n0009.0001=5\r\n", "table 2 has no row 9 (rows 1 to 8)"},
        {"[2]\r\n0001.0004=5\r\n", "table 2 has no field 4 (fields 1 to 3)"},
    };
    for (const auto& c : cases) {
        const std::string file = File("past.txt", c.first);
        const TRun run = On(board, {"tables", "load", file});
        EXPECT_EQ(run.Status, 1);
        EXPECT_NE(run.Err.find("'" + file + "': " + c.second + "; nothing written"),
                  std::string::npos)
            << run.Err;
    }
    EXPECT_EQ(Requests(board, "1E"), 0);
}

// File errors name the file in the tool's words; a NUL in a value does not end the report.
TEST_F(Tool, FileErrorsNameTheFile) {
    TBoardProcess board;
    const std::string lost = Dir + "/missing/set.txt";
    TRun run = On(board, {"tables", "save", lost, "4"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Err.find("trelmo: tables save: cannot write '" + lost +
                           "': No such file or directory\n"),
              std::string::npos)
        << run.Err;
    EXPECT_EQ(run.Err.find('\r'), std::string::npos) << run.Err;

    const int before = Requests(board, "2D");
    run = On(board, {"tables", "load", lost});
    EXPECT_EQ(run.Err, "trelmo: tables load: cannot read '" + lost +
                           "': No such file or directory; nothing sent\n");
    EXPECT_EQ(Requests(board, "2D"), before);

    const char nul[] = "[1]\r\n0001.0001=12\0xyz\r\n";
    run = On(board, {"tables", "load", "--retries", "0",
                     File("nul.txt", std::string(nul, sizeof nul - 1))});
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Out.find(", value \"12\\x00xyz\")"), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("\"12\\x00xyz\" не является целым числом"), std::string::npos) << run.Out;
}
} // namespace
