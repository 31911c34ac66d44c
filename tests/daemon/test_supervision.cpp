// The service's supervision as a process on the virtual board: the board's watchdog kept fed
// under load and left to reset the machine when the service dies, hooks on the board's events,
// the metrics file. The board's period is its minimum, 10 s, set in its settings.
#include "untDaemonProcess.h"
#include "untDriver.h"
#include "untTestBoard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <functional>
#include <thread>

using namespace testdaemon;
using testboard::ReadFileText;
using testboard::TBoardProcess;

namespace {
using namespace std::chrono_literals;

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(100ms);
    }
    return true;
}

// The board's own settings and watchdog, reached directly while no service holds the port.
void OnBoard(const std::string& link, const std::function<void(TDriver&)>& work) {
    TDriver driver;
    driver.SetDevicePath(link);
    driver.SetTimeout(100);
    driver.SetCommandTimeout(300);
    work(driver);
}

void SetPeriod(const std::string& link, int seconds) {
    OnBoard(link, [seconds](TDriver& driver) {
        driver.TableNumber = driver.RowNumber = driver.FieldNumber = 1;
        driver.FieldValue = std::to_string(seconds);
        EXPECT_EQ(driver.WriteTable(), 0) << driver.GetResultDescription();
    });
}

long ResidentKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return -1;
}

int OpenFiles(pid_t pid) {
    int count = 0;
    DIR* dir = opendir(("/proc/" + std::to_string(pid) + "/fd").c_str());
    while (dir && readdir(dir))
        ++count;
    if (dir)
        closedir(dir);
    return count - 2;
}

int Lines(const std::string& path) {
    const std::string text = ReadFileText(path);
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

class SupervisionTest : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/trelmo-supervision-test.XXXXXX";
        Home = mkdtemp(dir);
        SetPeriod(Board.Link, 10);
    }
    void TearDown() override { std::system(("rm -rf " + Home).c_str()); }

    TBoardProcess Board;
    std::string Home;
};

TEST_F(SupervisionTest, TheWatchdogIsFedForTwoMinutesUnderLoad) {
    const std::string metrics = Home + "/trelmo.prom";
    TDaemonProcess daemon(Board.Link, "PollInterval = 200\nMetricsFile = " + metrics + "\n");
    ASSERT_TRUE(WaitFor([&] { return Board.State("watchdog_enabled") == "1"; }, 10s))
        << daemon.Log();
    std::atomic<bool> stop{false};
    std::atomic<int> answered{0}, failed{0};
    std::vector<std::thread> clients;
    for (int c = 0; c < 3; ++c)
        clients.emplace_back([&, c] {
            TDaemonClient client(daemon);
            for (int i = 0; !stop; ++i) {
                const TJson answer = client.Request(
                    {{"id", c * 1000000 + i}, {"call", "ReadStatus"}, {"get", {"WatchDogEnabled"}}});
                ++(answer.value("result", -100) == 0 ? answered : failed);
                std::this_thread::sleep_for(10ms);
            }
        });
    std::this_thread::sleep_for(60s);
    const long rss = ResidentKb(daemon.Pid);
    const int files = OpenFiles(daemon.Pid);
    std::this_thread::sleep_for(60s);
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizer's quarantine keeps freed memory for a while, so resident memory grows
    // anyway; its leak check at the service's end takes this check's place there.
    (void)rss;
#else
    EXPECT_LE(ResidentKb(daemon.Pid), rss + 2048) << "from " << rss << " kB";
#endif
    EXPECT_LE(OpenFiles(daemon.Pid), files + 2) << "from " << files;
    stop = true;
    for (std::thread& client : clients)
        client.join();

    EXPECT_EQ(Board.State("watchdog_resets"), "0");
    EXPECT_EQ(Board.State("watchdog_enabled"), "1");
    EXPECT_GT(answered, 1000);
    EXPECT_EQ(failed, 0);
    const std::string text = ReadFileText(metrics);
    const std::size_t feeds = text.find("\ntrelmo_watchdog_feeds_total ");
    ASSERT_NE(feeds, std::string::npos) << text;
    EXPECT_GE(std::atoi(text.c_str() + feeds + 29), 30) << text; // every 3.3 s for 2 minutes
    if (access("/usr/bin/promtool", X_OK) == 0) {
        EXPECT_EQ(std::system(("/usr/bin/promtool check metrics < " + metrics).c_str()), 0);
    }
    EXPECT_EQ(daemon.Stop(), 0) << daemon.Log();
}

// A service that dies leaves the watchdog on: the board resets the machine. One that stops in
// order turns it off.
TEST_F(SupervisionTest, TheBoardResetsTheMachineWhenTheServiceDies) {
    {
        TDaemonProcess daemon(Board.Link);
        ASSERT_TRUE(WaitFor([&] { return Board.State("watchdog_enabled") == "1"; }, 10s))
            << daemon.Log();
        daemon.Kill();
    }
    EXPECT_EQ(Board.State("watchdog_resets"), "0");
    EXPECT_TRUE(WaitFor([&] { return Board.State("watchdog_resets") == "1"; }, 15s));

    OnBoard(Board.Link, [](TDriver& driver) { EXPECT_EQ(driver.DisableWatchDog(), 0); });
    TDaemonProcess daemon(Board.Link);
    ASSERT_TRUE(WaitFor([&] { return Board.State("watchdog_enabled") == "1"; }, 10s))
        << daemon.Log();
    EXPECT_EQ(daemon.Stop(), 0) << daemon.Log();
    EXPECT_EQ(Board.State("watchdog_enabled"), "0");
}

TEST_F(SupervisionTest, AHookRunsOnceWhenItsStateOutlastsTheHoldOff) {
    const std::string log = Home + "/hooks.log";
    TDaemonProcess daemon(Board.Link, "PollInterval = 100\nHook.mains-lost = echo "
                                      "$TRELMO_EVENT $TRELMO_MAINS >> " + log +
                                          "\nHoldOff.mains-lost = 2\n");
    std::this_thread::sleep_for(500ms); // the first poll has seen the board
    EXPECT_EQ(Board.Command("mains off"), "OK\n");
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(Board.Command("mains on"), "OK\n");
    std::this_thread::sleep_for(3500ms);
    EXPECT_EQ(ReadFileText(log), "");

    EXPECT_EQ(Board.Command("mains off"), "OK\n");
    EXPECT_TRUE(WaitFor([&] { return Lines(log) > 0; }, 15s)) << daemon.Log();
    std::this_thread::sleep_for(2s);
    EXPECT_EQ(ReadFileText(log), "mains-lost 0\n");
    EXPECT_EQ(daemon.Stop(), 0) << daemon.Log();
}

TEST_F(SupervisionTest, HooksOfEventsTogetherDoNotOverlap) {
    const std::string log = Home + "/hooks.log";
    const std::string hook = "echo start $TRELMO_EVENT $TRELMO_POWER12 >> " + log +
                             "; sleep 1; echo end $TRELMO_EVENT >> " + log;
    TDaemonProcess daemon(Board.Link, "PollInterval = 100\nHook.power12-lost = " + hook +
                                          "\nHook.door-opened = " + hook + "\n");
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(Board.Command("power12 off"), "OK\n");
    EXPECT_EQ(Board.Command("door open"), "OK\n");
    EXPECT_TRUE(WaitFor([&] { return Lines(log) >= 4; }, 20s)) << daemon.Log();
    const std::string text = ReadFileText(log);
    const std::string power = "start power12-lost 0\nend power12-lost\n";
    const std::string door = "start door-opened 0\nend door-opened\n";
    EXPECT_TRUE(text == power + door || text == door + power) << text;
    EXPECT_EQ(daemon.Stop(), 0) << daemon.Log();
}
} // namespace
