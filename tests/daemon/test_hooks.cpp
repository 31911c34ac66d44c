// Hooks as the service runs them: real /bin/sh commands, times passed in by the test for
// the hold-offs, the real clock for the commands themselves.
#include "untHooks.h"

#include "untTestBoard.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace {
using testboard::ReadFileText;

class HooksTest : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/trelmo-hooks-test.XXXXXX";
        Home = mkdtemp(dir);
        Log = Home + "/log";
    }
    void TearDown() override { std::system(("rm -rf " + Home).c_str()); }

    // Ticks on the real clock at the service's time `now` until `started` hooks have started.
    static void StartUpTo(THooks& hooks, TMillis now, std::uint64_t started) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (hooks.Counters().Started < started && std::chrono::steady_clock::now() < until) {
            hooks.Tick(now);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    static TSnapshot Board(bool mains, bool power12, bool door, int mode, int relays) {
        TSnapshot s;
        s.LinkUp = s.Known = true;
        s.Status.Mains = mains;
        s.Status.Power12 = power12;
        s.Status.Door = door;
        s.Status.Mode = mode;
        s.Status.Relays = relays;
        return s;
    }

    std::string Home, Log;
};

const char* const Record = "echo \"$TRELMO_EVENT $TRELMO_FIELD $TRELMO_OLD $TRELMO_NEW "
                           "$TRELMO_MAINS $TRELMO_POWER12 $TRELMO_DOOR $TRELMO_MODE "
                           "$TRELMO_RELAYS $TRELMO_LINK\" >> ";

TEST_F(HooksTest, AStateMustLastItsHoldOffAndRunsItsHookOnce) {
    const std::string record = Record + Log;
    THooks hooks({{"mains-lost", {record, 500}}, {"mode-changed", {record, 500}}});
    const TSnapshot lost = Board(false, true, false, 0, 5);
    const TEvent mainsLost{"mains-lost", "mains", 1, 0}, mainsBack{"mains-back", "mains", 0, 1};

    hooks.OnEvents({mainsLost}, lost, 0);
    hooks.Tick(499);
    hooks.OnEvents({mainsBack}, Board(true, true, false, 0, 5), 499);
    EXPECT_EQ(hooks.NextDue(), -1); // mains-back has no hook and cancelled mains-lost
    hooks.OnEvents({{"mode-changed", "mode", 0, 1}}, lost, 600);
    hooks.OnEvents({{"mode-changed", "mode", 1, 0}}, lost, 700);
    hooks.Tick(2000);
    EXPECT_EQ(hooks.Counters().Started, 0u);

    hooks.OnEvents({mainsLost, {"mode-changed", "mode", 0, 1}}, lost, 3000);
    hooks.OnEvents({{"mode-changed", "mode", 1, 2}}, Board(false, true, false, 2, 5), 3200);
    hooks.Tick(3499);
    EXPECT_EQ(hooks.Counters().Started, 0u);
    StartUpTo(hooks, 3600, 1);
    hooks.Tick(3699); // the later mode waits out a hold-off of its own
    EXPECT_EQ(hooks.Counters().Started, 1u);
    StartUpTo(hooks, 3700, 2);
    hooks.Finish(10000);
    EXPECT_EQ(ReadFileText(Log), "mains-lost mains 1 0 0 1 0 0 5 1\n"
                                 "mode-changed mode 0 2 0 1 0 2 5 1\n");
    hooks.Tick(20000);
    EXPECT_EQ(hooks.Counters().Started, 2u);
    EXPECT_EQ(hooks.Counters().Failed, 0u);
}

TEST_F(HooksTest, HooksRunOneAtATimeInTheirOrder) {
    const std::string slow = "echo start $TRELMO_EVENT >> " + Log + "; sleep 0.3; echo end " +
                             "$TRELMO_EVENT >> " + Log;
    THooks hooks({{"power12-lost", {slow, 0}}, {"door-opened", {slow, 0}},
                  {"link-down", {slow, 100}}});
    const TSnapshot now = Board(true, false, true, 0, 0);
    hooks.OnEvents({{"power12-lost", "power12", 1, 0}, {"door-opened", "door", 0, 1}}, now, 0);
    hooks.OnEvents({{"link-down", "link", 1, 0}}, now, 0);
    hooks.Configure({{"power12-lost", {slow, 0}}, {"door-opened", {slow, 0}}});
    StartUpTo(hooks, 1000, 2);
    hooks.Finish(10000);
    EXPECT_EQ(ReadFileText(Log), "start power12-lost\nend power12-lost\n"
                                 "start door-opened\nend door-opened\n");
    EXPECT_EQ(hooks.NextDue(), -1); // the reload dropped link-down's hook
}

// What a hook writes goes to the service's standard error; it reads nothing of the
// service's input; a failure and a hook killed at the end are counted.
TEST_F(HooksTest, OutputFailuresAndTheEnd) {
    const std::string errors = Home + "/stderr";
    THooks hooks({{"door-opened", {"echo out; echo err >&2; cat; exit 3", 0}},
                  {"door-closed", {"sleep 30", 0}}});
    const int saved = dup(STDERR_FILENO);
    const int file = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(file, STDERR_FILENO);
    close(file);
    int input[2];
    ASSERT_EQ(pipe(input), 0);
    ASSERT_EQ(write(input[1], "leak\n", 5), 5);
    close(input[1]);
    const int savedIn = dup(STDIN_FILENO);
    dup2(input[0], STDIN_FILENO);
    hooks.OnEvents({{"door-opened", "door", 0, 1}}, Board(true, true, true, 0, 0), 0);
    StartUpTo(hooks, 0, 1);
    hooks.Finish(10000);
    dup2(savedIn, STDIN_FILENO);
    dup2(saved, STDERR_FILENO);
    close(saved);
    close(savedIn);
    close(input[0]);
    const std::string text = ReadFileText(errors);
    EXPECT_EQ(text.find("leak"), std::string::npos) << text;
    EXPECT_NE(text.find("out\n"), std::string::npos) << text;
    EXPECT_NE(text.find("err\n"), std::string::npos) << text;
    EXPECT_EQ(hooks.Counters().Failed, 1u);

    hooks.OnEvents({{"door-closed", "door", 1, 0}}, Board(true, true, false, 0, 0), 1);
    hooks.Tick(1);
    const auto start = std::chrono::steady_clock::now();
    hooks.Finish(200);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    EXPECT_EQ(hooks.Counters().Started, 2u);
    EXPECT_EQ(hooks.Counters().Failed, 2u);
}
} // namespace
