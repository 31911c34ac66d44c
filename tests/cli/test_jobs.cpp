// The tool's long jobs (firmware, search, dump, monitor) as a user runs them: real processes
// against the virtual board, with the settings in a directory of the test's own.
#include "untTestBoard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {
using testboard::ElapsedMs;
using testboard::TBoardProcess;
using testboard::TClock;

using testboard::ExecInChild;
using testboard::ReadFileText;
using testboard::TRun;

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Bytes of every value, none of them a pattern the board could produce by itself.
std::string Image(std::size_t size) {
    std::mt19937 random(static_cast<unsigned>(size));
    std::string image(size, '\0');
    for (char& c : image)
        c = static_cast<char>(random() & 0xFF);
    return image;
}

class TJobs : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/trelmo-jobs-test.XXXXXX";
        Dir = mkdtemp(dir);
    }
    void TearDown() override { std::system(("rm -rf " + Dir).c_str()); }

    pid_t Start(std::vector<std::string> args) {
        const pid_t pid = fork();
        if (pid == 0) {
            setenv("XDG_CONFIG_HOME", Dir.c_str(), 1);
            dup2(open((Dir + "/out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
            dup2(open((Dir + "/err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
            args.insert(args.begin(), TRELMO_PROGRAM);
            ExecInChild(args);
        }
        return pid;
    }

    TRun Finish(pid_t pid) {
        int status = 0;
        waitpid(pid, &status, 0);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFileText(Dir + "/out"),
                ReadFileText(Dir + "/err")};
    }

    TRun Run(const std::vector<std::string>& args) { return Finish(Start(args)); }

    // Status -1 when the tool had to be killed after `timeoutMs`.
    TRun FinishWithin(pid_t pid, int timeoutMs) {
        const auto start = TClock::now();
        int status = 0;
        while (waitpid(pid, &status, WNOHANG) == 0) {
            if (ElapsedMs(start) > timeoutMs) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                return {-1, ReadFileText(Dir + "/out"), ReadFileText(Dir + "/err")};
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFileText(Dir + "/out"),
                ReadFileText(Dir + "/err")};
    }

    TRun On(const TBoardProcess& board, std::vector<std::string> args) {
        args.insert(args.begin(), {"--device", board.Link});
        return Run(args);
    }

    std::string File(const std::string& name, const std::string& bytes) {
        const std::string path = Dir + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    static int Requests(const TBoardProcess& board) {
        std::istringstream trace(board.Trace());
        int count = 0;
        for (std::string line; std::getline(trace, line);)
            count += line.rfind("-> ", 0) == 0;
        return count;
    }

    // Waits until the running tool's output holds `part`.
    bool OutputShows(const std::string& part, int timeoutMs = testboard::AnswerMs) {
        const auto start = TClock::now();
        while (ElapsedMs(start) < timeoutMs) {
            if (Has(ReadFileText(Dir + "/out"), part))
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    std::string Dir;
};

// A named pipe that gives `size` bytes and never ends, as a device does: a reader that waits
// for the end waits for ever, but with a bounded memory.
class TEndlessPipe {
public:
    TEndlessPipe(const std::string& path, std::size_t size) : Path(path) {
        mkfifo(Path.c_str(), 0600);
        // Read and write: the pipe then has a writer until the end, and opening never blocks.
        Fd = open(Path.c_str(), O_RDWR | O_NONBLOCK);
        Feeder = std::thread([this, size] {
            const std::string block(4096, '\0');
            for (std::size_t done = 0; done < size && !Stop;) {
                const ssize_t n = write(Fd, block.data(), std::min(block.size(), size - done));
                if (n > 0)
                    done += static_cast<std::size_t>(n);
                else
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
    }
    ~TEndlessPipe() {
        Stop = true;
        Feeder.join();
        close(Fd);
    }

    const std::string Path;

private:
    int Fd = -1;
    std::atomic<bool> Stop{false};
    std::thread Feeder;
};

// The program memory as the board holds it after the update: the image, its last block
// padded with zeros.
void ExpectProgramMemory(const std::string& dump, const std::string& image) {
    const std::size_t blocks = (image.size() + 63) / 64;
    ASSERT_GE(dump.size(), blocks * 64);
    std::string written = image;
    written.resize(blocks * 64, '\0');
    EXPECT_TRUE(dump.compare(0, written.size(), written) == 0) << image.size() << " bytes";
}
} // namespace

TEST_F(TJobs, FirmwareEndsInMainModeAtTheDriversSpeed) {
    TBoardProcess board;
    ASSERT_EQ(On(board, {"DeviceBaudRate=9600", "DeviceTimeout=100", "SetExchangeParam"}).Status,
              0);
    for (const std::size_t size : {129u, 65536u}) {
        const std::string image = Image(size);
        const TRun r =
            On(board, {"firmware", "BaudRate=9600", "Timeout=150", File("image.bin", image)});
        EXPECT_EQ(r.Status, 0) << r.Out << r.Err;
        EXPECT_TRUE(Has(r.Out, "EnterProgramMode: 0 ")) << r.Out;
        EXPECT_TRUE(Has(r.Out, "BlockNumber=" + std::to_string((size + 63) / 64))) << r.Out;
        EXPECT_TRUE(Has(r.Out, "SetExchangeParam: 0 ")) << r.Out;
        EXPECT_TRUE(Has(r.Err, "firmware 100%")) << r.Err;
        EXPECT_EQ(board.State("mode"), "0");
        EXPECT_EQ(board.State("baud"), "9600");
        EXPECT_EQ(board.State("byte_timeout"), "150");
        EXPECT_EQ(board.State("program_blocks_written"), std::to_string((size + 63) / 64));

        const std::string dump = Dir + "/program.bin";
        const TRun d = On(board, {"dump", "BaudRate=9600", "program", dump});
        EXPECT_EQ(d.Status, 0) << d.Out << d.Err;
        ExpectProgramMemory(ReadFileText(dump), image);
    }
}

TEST_F(TJobs, RefusedBlocksAreWrittenAgainOrLeaveProgramMode) {
    TBoardProcess board;
    const std::string image = File("image.bin", Image(200));
    board.Command("fault error 33 for c1");
    TRun r = On(board, {"firmware", image});
    EXPECT_EQ(r.Status, 0) << r.Out << r.Err;
    EXPECT_TRUE(Has(r.Out, "WriteProgramBlock: 51 ")) << r.Out;
    EXPECT_TRUE(Has(r.Out, "(block 1, try 1 of 4)")) << r.Out;
    EXPECT_EQ(board.State("program_blocks_written"), "4");

    // Given up: the board stays in program mode, and the next update still gets through.
    board.Command("fault error 33 always for c1");
    r = On(board, {"firmware", "--retries", "2", image});
    EXPECT_EQ(r.Status, 1);
    EXPECT_TRUE(Has(r.Out, "(block 1, try 3 of 3)")) << r.Out;
    EXPECT_FALSE(Has(r.Out, "ExitProgramMode")) << r.Out;
    EXPECT_TRUE(Has(r.Err, "program mode")) << r.Err;
    EXPECT_EQ(board.State("mode"), "1");
    board.Command("clear");
    r = On(board, {"firmware", image});
    EXPECT_EQ(r.Status, 0) << r.Out << r.Err;
    EXPECT_EQ(board.State("mode"), "0");
    const std::string dump = Dir + "/program.bin";
    ASSERT_EQ(On(board, {"dump", "0x31", dump}).Status, 0);
    ExpectProgramMemory(ReadFileText(dump), Image(200));
}

TEST_F(TJobs, BoardSilentAfterProgramModeFailsAfterThreeSeconds) {
    TBoardProcess board({"--restart-ms", "6000"});
    const auto start = TClock::now();
    const TRun r = On(board, {"firmware", File("image.bin", Image(129))});
    const int elapsed = ElapsedMs(start);
    EXPECT_EQ(r.Status, 1);
    EXPECT_TRUE(Has(r.Out, "ExitProgramMode: 0 ")) << r.Out;
    EXPECT_TRUE(Has(r.Out, "ReadStatus: -1 Нет связи")) << r.Out;
    EXPECT_FALSE(Has(r.Out, "SetExchangeParam")) << r.Out;
    EXPECT_TRUE(Has(r.Err, "trelmo: firmware: the board did not come back after its restart; "
                           "the firmware is written, the exchange settings are not restored\n"))
        << r.Err;
    EXPECT_EQ(r.Err.find("trelmo: "), r.Err.rfind("trelmo: ")) << r.Err;
    EXPECT_GE(elapsed, 3000);
    EXPECT_LT(elapsed, 5500);
}

TEST_F(TJobs, FirmwareFileIsCheckedBeforeAnythingIsSent) {
    TBoardProcess board;
    for (const std::string& path : {Dir + "/missing.bin", File("empty.bin", ""), Dir}) {
        const TRun r = On(board, {"firmware", path});
        EXPECT_EQ(r.Status, 1) << path;
        EXPECT_TRUE(Has(r.Err, "nothing sent")) << r.Err;
    }
    EXPECT_EQ(On(board, {"firmware"}).Status, 2);
    EXPECT_EQ(On(board, {"firmware", "--retries", "x", File("a.bin", "1")}).Status, 2);
    EXPECT_EQ(On(board, {"firmware", "Baudrate=fast", File("a.bin", "1")}).Status, 2);
    EXPECT_EQ(Requests(board), 0);

    // Larger than the ATmega128's program memory: refused before program mode erases it.
    const TRun r = On(board, {"firmware", File("big.bin", Image(128 * 1024 + 1))});
    EXPECT_EQ(r.Status, 1);
    EXPECT_TRUE(Has(r.Err, "big.bin' is larger than the board's program memory")) << r.Err;
    EXPECT_EQ(Requests(board), 0);
}

// A device or pipe without end is refused after a bounded read, naming the file, with
// nothing sent.
TEST_F(TJobs, EndlessInputIsRefusedUnread) {
    TBoardProcess board;
    const struct {
        std::vector<std::string> Args;
        std::size_t Cap;
        const char* Why;
    } jobs[] = {{{"firmware"}, 128 * 1024, "larger than the board's program memory"},
                {{"tables", "load"}, 1024 * 1024, "larger than the 1048576 bytes"}};
    for (const auto& job : jobs) {
        TEndlessPipe pipe(Dir + "/endless", job.Cap + 65536);
        std::vector<std::string> args = {"--device", board.Link};
        args.insert(args.end(), job.Args.begin(), job.Args.end());
        args.push_back(pipe.Path);
        const TRun r = FinishWithin(Start(args), 5000);
        ASSERT_EQ(r.Status, 1) << job.Args[0] << " did not stop reading";
        EXPECT_TRUE(Has(r.Err, "'" + pipe.Path + "' is " + job.Why)) << r.Err;
        EXPECT_TRUE(Has(r.Err, "nothing sent")) << r.Err;
        std::remove(pipe.Path.c_str());

        args.back() = "/dev/zero";
        EXPECT_EQ(FinishWithin(Start(args), 5000).Status, 1) << job.Args[0];
    }
    EXPECT_EQ(Requests(board), 0);
}

// Only a board's own error is a refusal; a silent board or a spoiled line is told apart.
TEST_F(TJobs, FirmwareSaysWhyABlockFailed) {
    TBoardProcess board;
    const std::string image = File("image.bin", Image(100));
    const struct {
        const char* Fault;
        const char* Why;
    } cases[] = {{"error 33", "block 1 was refused (1 try)"},
                 {"noanswer", "the board did not answer block 1 (1 try)"},
                 {"crc", "the link was lost at block 1 (1 try)"}};
    for (const auto& c : cases) {
        board.Command("clear");
        board.Command(std::string("fault ") + c.Fault + " always for c1");
        const TRun r = On(board, {"firmware", "--retries", "0", "CommandTimeout=300", image});
        EXPECT_EQ(r.Status, 1) << c.Fault;
        EXPECT_TRUE(Has(r.Err, "trelmo: firmware: " + std::string(c.Why) + "; the board stays"))
            << r.Err;
    }
}

TEST_F(TJobs, SearchFindsTheBoardAtItsSpeed) {
    TBoardProcess board({"--baud", "9600"});
    TRun r = On(board, {"search", "CommandTimeout=300"});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, board.Link + " 9600 Варнок-плата ВП-1\n");
    const std::string trace = board.Trace();
    EXPECT_TRUE(Has(trace, "noise (line at 2400 baud") && Has(trace, "noise (line at 4800 baud"))
        << trace;

    r = On(board, {"search", "--speeds", "2400,4800", "CommandTimeout=300"});
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Out, board.Link + " не найдено\n");

    // Port numbers: one mapped to the board, one to nothing, one held by another program.
    ASSERT_EQ(Run({"ports", "map", "7", board.Link}).Status, 0);
    ASSERT_EQ(Run({"ports", "map", "8", Dir + "/missing"}).Status, 0);
    r = Run({"search", "--ports", "8,7", "--speeds", "9600"});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, "COM8 Порт недоступен\nCOM7 9600 Варнок-плата ВП-1\n");
    const int held = open(board.Link.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    r = Run({"search", "--ports", "7"});
    close(held);
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Out, "COM7 Порт занят другим приложением\n");

    // A board left in program mode refuses to name itself, and is found all the same.
    ASSERT_EQ(On(board, {"BaudRate=9600", "EnterProgramMode"}).Status, 0);
    r = On(board, {"search", "--speeds", "9600"});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_TRUE(r.Out.rfind(board.Link + " 9600 (115) ", 0) == 0) << r.Out;

    EXPECT_EQ(Run({"--device", Dir + "/missing", "search"}).Out,
              Dir + "/missing Порт недоступен\n");
    EXPECT_EQ(On(board, {"search", "--speeds", "9601"}).Status, 2);
    EXPECT_EQ(On(board, {"search", "--ports", "7"}).Status, 2);
}

TEST_F(TJobs, DumpWritesEveryBlockInOrder) {
    TBoardProcess board({"--serial", "4321"});
    const std::string data = Dir + "/data.bin", eeprom = Dir + "/eeprom.bin";
    TRun r = On(board, {"dump", "data", data});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, "ReadDumpSize: 0 Ошибок нет\nBlockCount=64\nReadDump: 0 Ошибок нет\n");
    const std::string memory = ReadFileText(data);
    ASSERT_EQ(memory.size(), 4096u);
    // The board keeps its relays at 3 and its serial number at 12 of its data memory.
    EXPECT_EQ(std::to_string(static_cast<unsigned char>(memory[3])), board.State("relays"));
    EXPECT_EQ(static_cast<unsigned char>(memory[12]) + 256 * static_cast<unsigned char>(memory[13]),
              4321);

    ASSERT_EQ(On(board, {"dump", "EEPROM", eeprom}).Status, 0);
    const std::string bytes = ReadFileText(eeprom);
    ASSERT_EQ(bytes.size(), 4096u);
    r = On(board, {"MemoryType=0x32", "BlockNumber=5", "ReadDump", "DataBlockHex"});
    std::string hex;
    for (std::size_t i = 5 * 64; i < 6 * 64; ++i) {
        char pair[4];
        std::snprintf(pair, sizeof pair, "%02X ", static_cast<unsigned char>(bytes[i]));
        hex += pair;
    }
    EXPECT_TRUE(Has(r.Out, "DataBlockHex=" + hex)) << r.Out;

    EXPECT_EQ(On(board, {"dump", "flash", data}).Status, 2);
    EXPECT_EQ(On(board, {"dump", "0x33", data}).Status, 2);
}

// Whatever stops a dump, the file from before stays as it was.
TEST_F(TJobs, FailedDumpKeepsTheOldFile) {
    TBoardProcess board;
    const std::string old = "a whole dump from before", path = File("dump.bin", old);
    auto expectKept = [&](const TRun& r, const std::string& why) {
        EXPECT_EQ(r.Status, 1) << why << r.Out;
        EXPECT_TRUE(Has(r.Err, "'" + path + "' not written")) << why << r.Err;
        EXPECT_EQ(ReadFileText(path), old) << why;
        EXPECT_FALSE(testboard::Exists(path + ".new")) << why;
    };
    expectKept(Run({"--device", Dir + "/missing", "dump", "data", path}), "no board");

    board.Command("fault error 33 for d2");
    expectKept(On(board, {"dump", "data", path}), "a refused block");

    const int held = open(board.Link.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    expectKept(On(board, {"dump", "data", path}), "a busy port");
    close(held);

    // Slowed, program memory takes long enough to stop half way.
    board.Command("fault delay 5 always for d2");
    pid_t tool = Start({"--device", board.Link, "dump", "program", path});
    ASSERT_TRUE(OutputShows("BlockCount="));
    kill(tool, SIGINT);
    expectKept(Finish(tool), "Ctrl-C");
    tool = Start({"--device", board.Link, "dump", "program", path});
    ASSERT_TRUE(OutputShows("BlockCount="));
    board.Command("away");
    expectKept(Finish(tool), "the board gone");
    board.Command("return");
    board.Command("clear");

    const TRun r = On(board, {"dump", "eeprom", Dir + "/missing/dump.bin"});
    EXPECT_EQ(r.Status, 1);
    EXPECT_TRUE(Has(r.Err, "trelmo: dump: cannot write '" + Dir +
                               "/missing/dump.bin': No such file or directory\n"))
        << r.Err;
}

TEST_F(TJobs, MonitorReportsChangesUntilInterrupted) {
    TBoardProcess board;
    const pid_t tool = Start({"--device", board.Link, "monitor", "--period", "100"});
    ASSERT_TRUE(OutputShows(" Mode=0 RelayStatus=" + board.State("relays") + " MBPowerState=1"))
        << ReadFileText(Dir + "/out");
    board.Command("mains off");
    EXPECT_TRUE(OutputShows(" MBPowerState=0 MBPowerSensor=0\n")) << ReadFileText(Dir + "/out");
    board.Command("away");
    EXPECT_TRUE(OutputShows(" ReadStatus: -")) << ReadFileText(Dir + "/out");
    board.Command("return");
    EXPECT_TRUE(OutputShows(" ReadStatus: 0 Ошибок нет\n")) << ReadFileText(Dir + "/out");

    kill(tool, SIGINT);
    const auto start = TClock::now();
    const TRun r = Finish(tool);
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_LT(ElapsedMs(start), 2000);
    std::istringstream lines(r.Out);
    for (std::string line; std::getline(lines, line);)
        EXPECT_EQ(line.find_first_not_of("0123456789-:. "), 24u) << line;
}
