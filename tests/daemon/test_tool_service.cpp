// The tool beside the service: what trelmod answers the tool (hello, forwarded exchanges) on
// the real board, and the tool's runs through the socket against the same runs on the port.
#include "untCodePage.h"
#include "untDaemonDriver.h"
#include "untDriverCode.h"
#include "untExchange.h"
#include "untDaemonProcess.h"
#include "untTestBoard.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
using nlohmann::json;
using testboard::ReadFileText;
using testboard::TBoardProcess;
using testboard::TRun;
using testdaemon::TDaemonProcess;

const std::string NoWatchdog = "Watchdog = off\n"; // the keeper would change the board's flags

int Requests(const TBoardProcess& board) {
    std::istringstream trace(board.Trace());
    int count = 0;
    for (std::string line; std::getline(trace, line);)
        count += line.rfind("-> ", 0) == 0;
    return count;
}

std::string RealPath(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? resolved : path;
}

int Listening(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    EXPECT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(listen(fd, 4), 0);
    return fd;
}

// A socket nobody accepts on: whether a run knocked shows as a connection waiting.
class TListener {
public:
    explicit TListener(const std::string& path) : Fd(Listening(path)) {}
    ~TListener() { close(Fd); }
    bool Knocked() const {
        pollfd p{Fd, POLLIN, 0};
        return poll(&p, 1, 0) == 1;
    }
    int Fd;
};

class TToolBesideService : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/trelmo-service-test.XXXXXX";
        Dir = mkdtemp(dir);
        Socket = Dir + "/trelmod.sock";
        // The service's driver loads its settings as the tool does: from the test's own.
        setenv("XDG_CONFIG_HOME", Dir.c_str(), 1);
        unsetenv("TRELMOD_SOCKET");
    }
    void TearDown() override { std::system(("rm -rf " + Dir).c_str()); }

    // The tool on `board`'s link, asking `socket`.
    TRun Tool(const TBoardProcess& board, const std::string& socket,
              std::vector<std::string> args) {
        args.insert(args.begin(), {"--socket", socket, "--device", board.Link});
        return testboard::RunProgram(TRELMO_PROGRAM, args, Dir);
    }

    void ExpectSame(const TRun& direct, const TRun& served) {
        EXPECT_EQ(served.Status, direct.Status);
        EXPECT_EQ(served.Out, direct.Out);
        EXPECT_EQ(served.Err, direct.Err);
    }

    std::string Dir, Socket;
};

TEST(ServeExchange, ForwardsAtTheCallersSettingsAndRefusesMalformedRequests) {
    TBoardProcess board({"--process-us", "150000"});
    TDaemonDriver driver;
    driver.SetDevicePath(board.Link);
    ASSERT_EQ(driver.OpenPort(), 0);

    const json hello = ServeHello(driver, Ansi("/dev/порт"));
    EXPECT_EQ(hello["service"], "trelmod");
    EXPECT_EQ(hello["version"], TRELMO_VERSION);
    EXPECT_EQ(hello["device"], "/dev/порт");
    EXPECT_EQ(hello["baud"], driver.GetBaudRate());

    const int baud = driver.GetBaudRate();
    json answer = ServeExchange(driver, {{"exchange", "11"}, {"baud", baud},
                                         {"timeout", 50}, {"command_timeout", 2000}});
    ASSERT_EQ(answer["code"], 0) << answer;
    const std::string payload = answer["answer"], input = answer["input"];
    // The answer is the payload inside the input frame: after STX, number, 0 and length.
    EXPECT_EQ(payload.rfind("11 00 ", 0), 0u) << payload;
    EXPECT_EQ(input.substr(12, payload.size()), payload) << input;
    EXPECT_EQ(std::string(answer["output"]).substr(12, 3), "11 ");
    EXPECT_GE(answer["time"], 150);

    // The caller's command time-out, shorter than the board's answer takes, is the one run.
    answer = ServeExchange(driver, {{"exchange", "11"}, {"baud", baud},
                                    {"timeout", 50}, {"command_timeout", 30}});
    EXPECT_EQ(answer["code"], ecNoLink) << answer;
    EXPECT_EQ(answer["text"], Cp1251ToUtf8(TextOfDriverCode(ecNoLink)));
    EXPECT_EQ(driver.GetCommandTimeout(), 1000);

    // Another speed than the line's is not heard: nothing goes out.
    const int sent = Requests(board);
    answer = ServeExchange(driver, {{"exchange", "11"}, {"baud", baud == 9600 ? 4800 : 9600}});
    EXPECT_EQ(answer["code"], ecNoLink);
    for (const json& bad : {json{{"exchange", "1"}}, json{{"exchange", "zz"}},
                            json{{"exchange", ""}}, json{{"exchange", 17}},
                            json{{"exchange", std::string(256 * 3, '1')}},
                            json{{"exchange", "11"}, {"baud", "fast"}},
                            json{{"exchange", "11"}, {"timeout", 1e12}}})
        EXPECT_THROW(ServeExchange(driver, bad), std::invalid_argument) << bad;
    EXPECT_EQ(Requests(board), sent);
}

TEST_F(TToolBesideService, RunsGiveWhatThePortGives) {
    TBoardProcess board({"--serial", "4321"});
    const std::vector<std::string> calls = {
        "ReadStatus", "SerialNumber", "RelayStatus", "ReadDeviceMetrics", "UDescription",
        "TableNumber=77", "ReadTableStruct", "ПолучитьПараметрыОбмена", "DeviceBaudRate"};
    const TRun direct = Tool(board, Socket, calls);
    ASSERT_EQ(direct.Status, 1) << direct.Out << direct.Err;
    const TRun save = Tool(board, Socket, {"tables", "save", Dir + "/direct.txt"});
    ASSERT_EQ(save.Status, 0) << save.Err;
    const TRun dump = Tool(board, Socket, {"dump", "eeprom", Dir + "/direct.bin"});
    ASSERT_EQ(dump.Status, 0) << dump.Err;

    // The service knows the board by the link's target, the tool by the link.
    TDaemonProcess service(RealPath(board.Link), NoWatchdog);
    const std::string& socket = service.Socket;
    ExpectSame(direct, Tool(board, socket, calls));
    ExpectSame(save, Tool(board, socket, {"tables", "save", Dir + "/served.txt"}));
    EXPECT_EQ(ReadFileText(Dir + "/served.txt"), ReadFileText(Dir + "/direct.txt"));
    ExpectSame(dump, Tool(board, socket, {"dump", "eeprom", Dir + "/served.bin"}));
    EXPECT_EQ(ReadFileText(Dir + "/served.bin"), ReadFileText(Dir + "/direct.bin"));

    const TRun refused = Tool(board, socket, {"--direct", "ReadStatus"});
    EXPECT_EQ(refused.Status, 1);
    EXPECT_EQ(refused.Out, "ReadStatus: -3 Порт занят другим приложением\n");

    // Runs that never reach the board never ask.
    TListener listener(Socket);
    ASSERT_EQ(Tool(board, Socket, {"--help"}).Status, 0);
    ASSERT_EQ(Tool(board, Socket, {"SerialNumber", "Version"}).Status, 0);
    ASSERT_EQ(Tool(board, Socket, {"ports"}).Status, 0);
    EXPECT_FALSE(listener.Knocked());
}

TEST_F(TToolBesideService, SearchFindsTheBoardAtTheServicesSpeed) {
    TBoardProcess board({"--baud", "9600"});
    TDaemonProcess service(board.Link, NoWatchdog + "BaudRate = 9600\n");
    setenv("TRELMOD_SOCKET", service.Socket.c_str(), 1);
    const TRun r = testboard::RunProgram(
        TRELMO_PROGRAM, {"--device", board.Link, "search", "--speeds", "2400,9600"}, Dir);
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, board.Link + " 9600 Варнок-плата ВП-1\n");
}

// No service for the tool's device: the tool opens its port itself.
TEST_F(TToolBesideService, OtherwiseTheToolOpensThePort) {
    TBoardProcess board, other;
    TDaemonProcess elsewhere(other.Link, NoWatchdog);
    TRun r = Tool(board, elsewhere.Socket, {"ReadStatus"});
    EXPECT_EQ(r.Out, "ReadStatus: 0 Ошибок нет\n") << r.Err;

    // A service killed leaves its socket behind.
    TDaemonProcess gone(board.Link, NoWatchdog);
    gone.Kill();
    ASSERT_TRUE(testboard::Exists(gone.Socket));
    r = Tool(board, gone.Socket, {"ReadStatus"});
    EXPECT_EQ(r.Out, "ReadStatus: 0 Ошибок нет\n") << r.Err;

    // A socket that is no service's.
    ASSERT_EQ(symlink("/dev/null", Socket.c_str()), 0);
    r = Tool(board, Socket, {"ReadStatus"});
    EXPECT_EQ(r.Out, "ReadStatus: 0 Ошибок нет\n") << r.Err;
}
} // namespace
