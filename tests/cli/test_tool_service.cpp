// The tool beside the service: what trelmod answers the tool (hello, forwarded exchanges) on
// the real board, and the tool's runs through the socket against the same runs on the port.
#include "untCodePage.h"
#include "untDaemonDriver.h"
#include "untDriverCode.h"
#include "untExchange.h"
#include "untTestBoard.h"

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {
using nlohmann::json;
using testboard::ReadFileText;
using testboard::TBoardProcess;
using testboard::TRun;

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

// The service's side of the socket for the tool, one client at a time: hello and exchange
// answered by the service's own functions on a driver that holds the board's port.
class TToolService {
public:
    TToolService(const std::string& socket, const std::string& device, const std::string& served,
                 int baudRate = 2400)
        : Served(served), Listener(Listening(socket)) {
        Driver.SetDevicePath(device);
        Driver.SetBaudRate(baudRate);
        EXPECT_EQ(Driver.OpenPort(), 0);
        Thread = std::thread([this] { Loop(); });
    }
    ~TToolService() { Stop(); }

    // Leaves the socket file behind, as a service that was killed does.
    void Stop() {
        Stopping = true;
        if (Thread.joinable())
            Thread.join();
        if (Listener >= 0)
            close(Listener);
        Listener = -1;
        Driver.ClosePort();
    }

    std::atomic<int> Clients{0}, Exchanges{0};

private:
    void Loop() {
        while (!Stopping) {
            pollfd p{Listener, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0)
                continue;
            const int client = accept(Listener, nullptr, nullptr);
            ++Clients;
            Serve(client);
            close(client);
        }
    }

    void Serve(int client) {
        std::string pending;
        while (!Stopping) {
            pollfd p{client, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0)
                continue;
            char buffer[4096];
            const ssize_t n = read(client, buffer, sizeof buffer);
            if (n <= 0)
                return;
            pending.append(buffer, static_cast<std::size_t>(n));
            for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
                const std::string line = Answer(json::parse(pending.substr(0, end))).dump() + '\n';
                pending.erase(0, end + 1);
                EXPECT_EQ(write(client, line.data(), line.size()),
                          static_cast<ssize_t>(line.size()));
            }
        }
    }

    json Answer(const json& request) {
        json answer;
        if (request.contains("hello")) {
            answer = ServeHello(Driver, Served);
        } else {
            ++Exchanges;
            answer = ServeExchange(Driver, request);
        }
        answer["id"] = request.value("id", json());
        return answer;
    }

    TDaemonDriver Driver;
    const std::string Served;
    int Listener;
    std::atomic<bool> Stopping{false};
    std::thread Thread;
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

    // The tool on `board`'s link (its name, not the service's), asking this test's socket.
    TRun Tool(const TBoardProcess& board, std::vector<std::string> args) {
        args.insert(args.begin(), {"--socket", Socket, "--device", board.Link});
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
    const TRun direct = Tool(board, calls);
    ASSERT_EQ(direct.Status, 1) << direct.Out << direct.Err;
    const TRun save = Tool(board, {"tables", "save", Dir + "/direct.txt"});
    ASSERT_EQ(save.Status, 0) << save.Err;
    const TRun dump = Tool(board, {"dump", "eeprom", Dir + "/direct.bin"});
    ASSERT_EQ(dump.Status, 0) << dump.Err;

    // The service knows the board by the link's target, the tool by the link.
    TToolService service(Socket, board.Link, RealPath(board.Link));
    ASSERT_EQ(Tool(board, {"--help"}).Status, 0);
    ASSERT_EQ(Tool(board, {"SerialNumber", "Version"}).Status, 0);
    EXPECT_EQ(service.Clients, 0);

    ExpectSame(direct, Tool(board, calls));
    ExpectSame(save, Tool(board, {"tables", "save", Dir + "/served.txt"}));
    EXPECT_EQ(ReadFileText(Dir + "/served.txt"), ReadFileText(Dir + "/direct.txt"));
    ExpectSame(dump, Tool(board, {"dump", "eeprom", Dir + "/served.bin"}));
    EXPECT_EQ(ReadFileText(Dir + "/served.bin"), ReadFileText(Dir + "/direct.bin"));
    EXPECT_GT(service.Exchanges, 50);

    const TRun refused = Tool(board, {"--direct", "ReadStatus"});
    EXPECT_EQ(refused.Status, 1);
    EXPECT_EQ(refused.Out, "ReadStatus: -3 Порт занят другим приложением\n");
}

TEST_F(TToolBesideService, SearchFindsTheBoardAtTheServicesSpeed) {
    TBoardProcess board({"--baud", "9600"});
    TToolService service(Socket, board.Link, board.Link, 9600);
    setenv("TRELMOD_SOCKET", Socket.c_str(), 1);
    const TRun r = testboard::RunProgram(
        TRELMO_PROGRAM, {"--device", board.Link, "search", "--speeds", "2400,9600"}, Dir);
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, board.Link + " 9600 Варнок-плата ВП-1\n");
    EXPECT_EQ(service.Exchanges, 2);
}

// No service for the tool's device: the tool opens its port itself.
TEST_F(TToolBesideService, OtherwiseTheToolOpensThePort) {
    TBoardProcess board, other;
    {
        TToolService service(Socket, other.Link, other.Link);
        const TRun r = Tool(board, {"ReadStatus"});
        EXPECT_EQ(r.Out, "ReadStatus: 0 Ошибок нет\n") << r.Err;
        EXPECT_EQ(service.Clients, 1);
        EXPECT_EQ(service.Exchanges, 0);
    }
    // The service is gone, its socket left behind.
    ASSERT_TRUE(testboard::Exists(Socket));
    TRun r = Tool(board, {"ReadStatus"});
    EXPECT_EQ(r.Out, "ReadStatus: 0 Ошибок нет\n") << r.Err;
    // A socket that is no service's.
    ASSERT_EQ(unlink(Socket.c_str()), 0);
    ASSERT_EQ(symlink("/dev/null", Socket.c_str()), 0);
    r = Tool(board, {"ReadStatus"});
    EXPECT_EQ(r.Out, "ReadStatus: 0 Ошибок нет\n") << r.Err;
}
} // namespace
