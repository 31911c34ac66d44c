// The trelmo tool as a user runs it: a real process against the virtual board, with its
// settings in a directory of the test's own.
#include "untTestBoard.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {
using testboard::ExecInChild;
using testboard::ReadFileText;
using testboard::TRun;

class TTool : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/trelmo-cli-test.XXXXXX";
        Dir = mkdtemp(dir);
    }
    void TearDown() override { std::system(("rm -rf " + Dir).c_str()); }

    TRun Run(std::vector<std::string> args) {
        return testboard::RunProgram(TRELMO_PROGRAM, args, Dir);
    }

    // The tool on the board's link.
    TRun OnBoard(std::vector<std::string> args) {
        args.insert(args.begin(), {"--device", Board.Link});
        return Run(args);
    }

    // Frames the board received, from its trace.
    int Requests() {
        std::istringstream trace(Board.Trace());
        int count = 0;
        for (std::string line; std::getline(trace, line);)
            count += line.rfind("-> ", 0) == 0;
        return count;
    }

    // The tool on the board's link, its standard output into `out` (a pipe when null),
    // standard error kept.
    TRun Piped(std::vector<std::string> args, const char* out = nullptr) {
        args.insert(args.begin(), {TRELMO_PROGRAM, "--device", Board.Link});
        int fds[2];
        EXPECT_EQ(pipe(fds), 0);
        const std::string err = Dir + "/err";
        const pid_t pid = fork();
        if (pid == 0) {
            setenv("XDG_CONFIG_HOME", Dir.c_str(), 1);
            dup2(out ? open(out, O_WRONLY) : fds[1], 1);
            dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
            close(fds[0]);
            close(fds[1]);
            ExecInChild(args);
        }
        close(fds[1]);
        TRun r;
        char buffer[4096];
        for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;)
            r.Out.append(buffer, static_cast<std::size_t>(n));
        close(fds[0]);
        int status = 0;
        waitpid(pid, &status, 0);
        r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.Err = ReadFileText(err);
        return r;
    }

    std::string Dir;
    testboard::TBoardProcess Board{{"--serial", "4321"}};
};
} // namespace

TEST_F(TTool, ReadsStatusAndPrintsTheOutputs) {
    const TRun r =
        OnBoard({"ReadStatus", "SerialNumber", "SoftVersion", "SoftDate", "MBPowerState"});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, "ReadStatus: 0 Ошибок нет\nSerialNumber=4321\nSoftVersion=1.5\n"
                     "SoftDate=2004-11-17\nMBPowerState=" +
                         Board.State("mb_power") + "\n");
    EXPECT_EQ(r.Err, "");
}

TEST_F(TTool, RunsLeftToRightAndSetsTheRelays) {
    TRun r = OnBoard({"RelayStatus", "RelayStatus=5", "RelaySetStatus", "RelayStatus"});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, "RelayStatus=0\nRelaySetStatus: 0 Ошибок нет\nRelayStatus=5\n");
    EXPECT_EQ(Board.State("relays"), "5");

    r = OnBoard({"СОСТОЯНИЕРЕЛЕ=0x0A", "установитьсостоянияреле", "ПолучитьСостояниеРеле",
                 "СостояниеРеле"});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, "УстановитьСостоянияРеле: 0 Ошибок нет\n"
                     "ПолучитьСостояниеРеле: 0 Ошибок нет\nСостояниеРеле=10\n");
    EXPECT_EQ(Board.State("relays"), "10");
}

TEST_F(TTool, FailingMethodsGiveExitStatusOne) {
    Board.Command("fault noanswer");
    TRun r = OnBoard({"ReadStatus", "SerialNumber"});
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Out, "ReadStatus: -1 Нет связи\nSerialNumber=0\n");

    // One failure among successes still fails the run; the later arguments run.
    r = OnBoard({"ReadStatus", "TestNumber=9", "TestDevice", "ReadMode"});
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Out, "ReadStatus: 0 Ошибок нет\n"
                     "TestDevice: -9 Значение свойства \"TestNumber\" должно быть в диапазоне "
                     "от 0 до 8\nReadMode: 0 Ошибок нет\n");

    r = Run({"--device", Dir + "/missing", "ReadStatus"});
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Out, "ReadStatus: -2 Порт недоступен\n");
}

TEST_F(TTool, UsageErrorsRunNothing) {
    const std::vector<std::vector<std::string>> cases = {
        {"RelayStatus=5", "RelaySetStatus", "ReadStatuss"},
        {"RelayStatus=5", "RelaySetStatus", "RelayStatus=five"},
        {"RelayStatus=5", "RelaySetStatus", "LogOn=2"},
        {"RelayStatus=5", "RelaySetStatus", "SerialNumber=1"},
        {"RelayStatus=5", "RelaySetStatus", "Version=2"},
        {"RelayStatus=5", "RelaySetStatus", "ReadStatus=1"},
        {"RelayStatus=5", "RelaySetStatus", "ShowSearchDlg"},
        {"RelayStatus=5", "RelaySetStatus", "ДиалогТаблиц"},
        {"RelayStatus=5", "RelaySetStatus", "ParentWnd=0"},
        {"RelayStatus=5", "RelaySetStatus", "--verbose"},
        {"RelayStatus=5", "RelaySetStatus", "DataBlockSafeArray=0"},
    };
    const std::string relays = Board.State("relays");
    for (const auto& args : cases) {
        const TRun r = OnBoard(args);
        EXPECT_EQ(r.Status, 2) << args.back();
        EXPECT_EQ(r.Out, "") << args.back();
        EXPECT_NE(r.Err.find("trelmo: "), std::string::npos) << args.back();
    }
    EXPECT_EQ(Requests(), 0);
    EXPECT_EQ(Board.State("relays"), relays);
    EXPECT_EQ(OnBoard({"ReadStatus"}).Status, 0);
    EXPECT_EQ(Requests(), 1);
    EXPECT_NE(OnBoard({"AboutBox"}).Err.find("not available in the command-line tool"),
              std::string::npos);
    EXPECT_EQ(Run({}).Status, 2);
    EXPECT_EQ(Run({"--device"}).Status, 2);
}

TEST_F(TTool, MethodLogAndTheEncodingFailureOfWriteTable) {
    const std::string log = Dir + "/trelmo.log";
    const TRun r =
        OnBoard({"LogOn=1", "LogMethods=true", "ComLogFile=" + log, "ReadStatus", "TableNumber=1",
                 "FieldNumber=2", "RowNumber=1", "FieldValue=300", "WriteTable"});
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Out.find("WriteTable: -9 Неверное значение поля (300). Допустимые значения: "
                         "1..255\n"),
              std::string::npos)
        << r.Out;
    const std::string text = ReadFileText(log);
    EXPECT_NE(text.find("] ReadStatus: 0\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("WriteTable"), std::string::npos) << text;
}

TEST_F(TTool, SettingsAndPortMapStayInTheConfigDirectory) {
    EXPECT_EQ(Run({"BaudRate=19200", "PortNumber=77", "SaveRegParams"}).Status, 0);
    EXPECT_EQ(Run({"BaudRate", "PortNumber"}).Out, "BaudRate=19200\nPortNumber=77\n");
    ASSERT_EQ(Run({"BaudRate=2400", "SaveRegParams"}).Status, 0);

    // A mapped number opens the board without --device.
    EXPECT_EQ(Run({"ports", "map", "77", Board.Link}).Status, 0);
    EXPECT_NE(Run({"ports"}).Out.find("77\tCOM77\t" + Board.Link + "\n"), std::string::npos);
    EXPECT_EQ(Run({"SerialNumber", "ReadStatus", "SerialNumber"}).Out,
              "SerialNumber=0\nReadStatus: 0 Ошибок нет\nSerialNumber=4321\n");
    EXPECT_EQ(Run({"ports", "unmap", "77"}).Status, 0);
    EXPECT_EQ(Run({"ports"}).Out.find("COM77"), std::string::npos);

    EXPECT_EQ(Run({"ports", "map", "0", Board.Link}).Status, 2);
    EXPECT_EQ(Run({"ports", "map", "5", "tty"}).Status, 2);
    EXPECT_EQ(Run({"ports", "list"}).Status, 2);
}

TEST_F(TTool, HelpListsEveryMember) {
    const TRun r = Run({"--help"});
    EXPECT_EQ(r.Status, 0);
    const std::size_t methods = r.Out.find("\nMethods:\n");
    const std::size_t properties = r.Out.find("\nProperties:\n");
    ASSERT_TRUE(methods != std::string::npos && properties != std::string::npos);
    auto lines = [&](std::size_t from, std::size_t to) {
        const std::string part = r.Out.substr(from, to - from);
        return std::count(part.begin(), part.end(), '\n');
    };
    EXPECT_EQ(lines(methods + 10, properties), 43);
    EXPECT_EQ(lines(properties + 13, r.Out.size()), 77);
    EXPECT_NE(r.Out.find("  ReadStatus                 ПолучитьСостояние\n"), std::string::npos);
    EXPECT_NE(r.Out.find("  RowNumber                  long     read/write  НомерРяда\n"),
              std::string::npos);
    EXPECT_NE(r.Out.find("  SoftDate                   date     read        ДатаПО\n"),
              std::string::npos);
    EXPECT_EQ(Run({"--version"}).Out, "trelmo " TRELMO_VERSION "\n");
    EXPECT_EQ(Run({"Version", "ВерсияДрайвера"}).Out,
              "Version=" TRELMO_VERSION "\nВерсияДрайвера=" TRELMO_VERSION "\n");
}

// Output to a pipe waits in a buffer: it must still come whole and in order, many buffers'
// worth, with the exit status of the run; and a write that fails only at the end must fail
// the run aloud, not pass as success.
TEST_F(TTool, BufferedOutputComesWholeAndAFailedWriteFailsTheRun) {
    std::vector<std::string> args;
    std::string expected;
    for (int i = 0; i < 200; ++i) {
        const std::string relays = std::to_string(i % 16);
        args.insert(args.end(), {"RelayStatus=" + relays, "RelaySetStatus", "RelayStatus"});
        expected += "RelaySetStatus: 0 Ошибок нет\nRelayStatus=" + relays + "\n";
        if (i == 75) {
            args.insert(args.end(), {"TestNumber=9", "TestDevice"});
            expected += "TestDevice: -9 Значение свойства \"TestNumber\" должно быть в диапазоне "
                        "от 0 до 8\n";
        }
    }
    TRun r = Piped(args);
    EXPECT_EQ(r.Status, 1) << r.Err;
    EXPECT_EQ(r.Out, expected);
    EXPECT_EQ(r.Err, "");
    EXPECT_GT(expected.size(), 8192u); // a few of the C library's buffers for a pipe

    const int before = Requests();
    r = Piped({"ReadStatus", "SerialNumber"}, "/dev/full");
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Err, "trelmo: cannot write the output: No space left on device\n");
    EXPECT_EQ(Requests(), before + 1); // the exchange ran; only its report was lost
}
