// The watchdog keeper against the virtual board. The keeper takes the time from its caller,
// so the feeds are driven by the clock the test passes in; the board's own period (10 s at
// least) never runs out in these tests.
#include "untKeeper.h"

#include "untTestBoard.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {
using testboard::TBoardProcess;

class KeeperTest : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/trelmo-keeper-test.XXXXXX";
        Home = mkdtemp(dir);
        setenv("XDG_CONFIG_HOME", Home.c_str(), 1);
        unsetenv("NOTIFY_SOCKET");
        unsetenv("WATCHDOG_USEC");
        Driver.SetDevicePath(Board.Link);
        Driver.SetTimeout(100);
        Driver.SetCommandTimeout(300);
    }
    void TearDown() override {
        unsetenv("NOTIFY_SOCKET");
        unsetenv("WATCHDOG_USEC");
        unsetenv("WATCHDOG_PID");
        std::system(("rm -rf " + Home).c_str());
    }
    // The board's watchdog period in its settings, as an operator would set it.
    void SetPeriod(int seconds) {
        Driver.TableNumber = 1;
        Driver.RowNumber = 1;
        Driver.FieldNumber = 1;
        Driver.FieldValue = std::to_string(seconds);
        ASSERT_EQ(Driver.WriteTable(), 0) << Driver.GetResultDescription();
    }
    std::string BoardWatchdog() { return Board.State("watchdog_enabled"); }

    TBoardProcess Board{{"--restart-ms", "100"}};
    TDaemonDriver Driver;
    std::string Home;
};

TEST_F(KeeperTest, EnablesFeedsWithinItsIntervalAndStops) {
    SetPeriod(12);
    Driver.TableNumber = 2; // a client's registers, set for its next request
    Driver.RowNumber = 3;
    Driver.FieldNumber = 1;
    Driver.FieldValue = "Насос";
    TWatchdogKeeper keeper(true, 0);
    keeper.Tick(Driver, 1000);
    const TKeeperState& state = keeper.State();
    ASSERT_TRUE(state.Running) << state.Problem;
    EXPECT_EQ(state.PeriodMs, 12000);
    EXPECT_EQ(Driver.TableNumber * 100 + Driver.RowNumber * 10 + Driver.FieldNumber, 231);
    EXPECT_EQ(Driver.FieldValue, "Насос");
    EXPECT_EQ(state.IntervalMs, 4000);
    EXPECT_EQ(BoardWatchdog(), "1");
    EXPECT_EQ(state.Feeds, 1u);
    EXPECT_GT(state.LastFeedUnix, 1e9);
    EXPECT_EQ(keeper.NextDue(), 5000);

    keeper.Tick(Driver, 4999);
    EXPECT_EQ(state.Feeds, 1u);
    keeper.Tick(Driver, 5000);
    EXPECT_EQ(state.Feeds, 2u);
    EXPECT_EQ(keeper.NextDue(), 9000);

    EXPECT_EQ(keeper.Stop(Driver), 0);
    EXPECT_FALSE(state.Running);
    EXPECT_EQ(BoardWatchdog(), "0");
    EXPECT_EQ(Board.State("watchdog_resets"), "0");
}

// A board that restarted has forgotten its watchdog: the next feed's answer shows it off.
TEST_F(KeeperTest, ABoardResetIsNoticedAtTheNextFeed) {
    TWatchdogKeeper keeper(true, 1000);
    keeper.Tick(Driver, 0);
    ASSERT_TRUE(keeper.State().Running) << keeper.State().Problem;
    EXPECT_EQ(keeper.State().PeriodMs, 60000); // the board's factory setting
    EXPECT_EQ(Board.Command("reset"), "OK\n");
    EXPECT_EQ(BoardWatchdog(), "0");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    keeper.Tick(Driver, 1000);
    EXPECT_EQ(keeper.State().Feeds, 2u);
    EXPECT_EQ(BoardWatchdog(), "1");
}

TEST_F(KeeperTest, AnIntervalOfHalfThePeriodIsRefused) {
    SetPeriod(10);
    TWatchdogKeeper keeper(true, 5000);
    keeper.Tick(Driver, 0);
    EXPECT_FALSE(keeper.State().Running);
    EXPECT_NE(keeper.State().Problem.find("10 s"), std::string::npos) << keeper.State().Problem;
    EXPECT_EQ(BoardWatchdog(), "0");

    keeper.Configure(true, 4999);
    keeper.Tick(Driver, 100);
    EXPECT_TRUE(keeper.State().Running) << keeper.State().Problem;
    EXPECT_EQ(keeper.State().Problem, "");
    EXPECT_EQ(BoardWatchdog(), "1");

    // A reload with a bad interval stops the keeping rather than feed too seldom.
    keeper.Configure(true, 6000);
    keeper.Tick(Driver, 200);
    EXPECT_FALSE(keeper.State().Running);
    EXPECT_NE(keeper.State().Problem, "");
    EXPECT_EQ(BoardWatchdog(), "0");
}

TEST_F(KeeperTest, SwitchedOffItLeavesTheBoardAlone) {
    TWatchdogKeeper keeper(false, 0);
    keeper.Tick(Driver, 0);
    EXPECT_FALSE(keeper.State().Running);
    EXPECT_EQ(Driver.Counters().Calls, 0u);
    EXPECT_EQ(keeper.Stop(Driver), 0);
    EXPECT_EQ(Driver.Counters().Calls, 0u);

    keeper.Configure(true, 0);
    keeper.Tick(Driver, 10);
    EXPECT_EQ(BoardWatchdog(), "1");
    keeper.Configure(false, 0);
    keeper.Tick(Driver, 20);
    EXPECT_FALSE(keeper.State().Running);
    EXPECT_EQ(BoardWatchdog(), "0");
}

TEST_F(KeeperTest, ABoardAwayIsRetriedAndFailedFeedsCounted) {
    EXPECT_EQ(Board.Command("away"), "OK\n");
    TWatchdogKeeper keeper(true, 0);
    keeper.Tick(Driver, 0);
    EXPECT_FALSE(keeper.State().Running);
    EXPECT_NE(keeper.State().Problem, "");
    Driver.ClosePort();
    EXPECT_EQ(Board.Command("return"), "OK\n");
    keeper.Tick(Driver, 10);
    EXPECT_FALSE(keeper.State().Running); // not before the retry is due
    keeper.Tick(Driver, keeper.NextDue());
    ASSERT_TRUE(keeper.State().Running) << keeper.State().Problem;

    EXPECT_EQ(Board.Command("fault noanswer always for 7b"), "OK\n");
    const TMillis due = keeper.NextDue();
    keeper.Tick(Driver, due);
    EXPECT_EQ(keeper.State().FeedFailures, 1u);
    EXPECT_EQ(keeper.State().Feeds, 1u);
    EXPECT_LE(keeper.NextDue(), due + 1000); // a failed feed is tried again soon
    EXPECT_EQ(Board.Command("clear"), "OK\n");
    keeper.Tick(Driver, keeper.NextDue());
    EXPECT_EQ(keeper.State().Feeds, 2u);
}

// The service manager hears WATCHDOG=1 after good feeds only, at least twice per its period.
TEST_F(KeeperTest, TheServiceManagerIsToldAfterGoodFeedsOnly) {
    const std::string path = Home + "/notify";
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    setenv("NOTIFY_SOCKET", path.c_str(), 1);
    setenv("WATCHDOG_USEC", "3000000", 1);
    setenv("WATCHDOG_PID", std::to_string(getpid()).c_str(), 1);
    auto message = [fd] {
        pollfd p{fd, POLLIN, 0};
        char text[64] = {};
        if (poll(&p, 1, 200) != 1)
            return std::string();
        return std::string(text, static_cast<std::size_t>(recv(fd, text, sizeof text, 0)));
    };

    TWatchdogKeeper keeper(true, 0);
    keeper.Tick(Driver, 0);
    ASSERT_TRUE(keeper.State().Running) << keeper.State().Problem;
    EXPECT_EQ(keeper.State().IntervalMs, 1500);
    EXPECT_EQ(message(), "WATCHDOG=1");
    EXPECT_EQ(Board.Command("fault noanswer once for 7b"), "OK\n");
    keeper.Tick(Driver, 1500);
    EXPECT_EQ(keeper.State().FeedFailures, 1u);
    EXPECT_EQ(message(), "");
    keeper.Tick(Driver, keeper.NextDue());
    EXPECT_EQ(message(), "WATCHDOG=1");
    close(fd);
}
} // namespace
