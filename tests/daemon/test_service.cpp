// The service as a process: clients that misbehave, its socket's access, the link to a board
// that goes away and comes back, status events, reloads and its end.
#include "untConfig.h"
#include "untDaemonProcess.h"
#include "untTestBoard.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <functional>
#include <grp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace testdaemon;

namespace {
bool Contains(const TJson& list, const std::string& item) {
    return list.is_array() && std::find(list.begin(), list.end(), item) != list.end();
}

// The next status event whose changes name `change`; null when none came in time.
TJson StatusWith(TDaemonClient& client, const std::string& change) {
    const auto start = testboard::TClock::now();
    for (;;) {
        const TJson event = client.Event("status", ReplyMs - testboard::ElapsedMs(start));
        if (event.is_null() || Contains(event["changes"], change))
            return event;
    }
}

TJson Subscribe(TDaemonClient& client) {
    return client.Request({{"id", "s"}, {"subscribe", true}});
}

TEST(Service, ServesOthersWhileClientsMisbehave) {
    testboard::TBoardProcess board;
    TDaemonProcess daemon(board.Link, "", {"--no-watchdog"});
    TDaemonClient good(daemon), huge(daemon), unfinished(daemon), deaf(daemon), noise(daemon);

    std::thread hugeLine([&] { EXPECT_TRUE(huge.Write(std::string(10 << 20, '{') + "\n")); });
    // Answers of 60 KB each, never read: its queue passes the cap and it is dropped.
    std::thread neverReads([&] {
        const std::string id(60000, 'i');
        for (int i = 0; i < 60 && deaf.Send(TJson{{"id", id}}); ++i) {
        }
    });
    ASSERT_TRUE(unfinished.Write("{\"id\":\"late\","));
    const char binary[] = "\0\x01\x02\xff garbage \0\n\n\r\n";
    ASSERT_TRUE(noise.Write(std::string(binary, sizeof binary - 1)));
    for (int i = 0; i < 50; ++i) {
        const TJson answer = good.Request({{"id", i}, {"call", "ReadStatus"}});
        ASSERT_EQ(answer["id"], i) << answer;
        ASSERT_EQ(answer["result"], 0) << answer;
    }
    hugeLine.join();
    neverReads.join();

    EXPECT_TRUE(deaf.Closed());
    const TJson tooLong = huge.Answer();
    EXPECT_TRUE(tooLong.contains("error")) << tooLong;
    EXPECT_EQ(huge.Request({{"id", "next"}})["id"], "next");
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(noise.Answer().contains("error"));
    ASSERT_TRUE(unfinished.Write("\"get\":[\"Mode\"]}\n"));
    EXPECT_EQ(unfinished.Answer()["id"], "late");
    EXPECT_EQ(good.Request({{"id", "end"}})["id"], "end");
}

TEST(Service, LetsOnlyTheSocketsGroupIn) {
    testboard::TBoardProcess board;
    TDaemonProcess daemon(board.Link, "", {"--no-watchdog"});
    struct stat info {};
    ASSERT_EQ(stat(daemon.Socket.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0660u);
    ASSERT_NE(info.st_gid, 65534u);
    const auto refused = testboard::ResultWithin(ReplyMs, [&] {
        if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)
            return -1;
        return daemon.Connect() < 0 ? errno : 0;
    });
    EXPECT_EQ(refused, EACCES);
}

TEST(Service, FollowsABoardThatGoesAwayAndComesBack) {
    testboard::TBoardProcess board;
    TDaemonProcess daemon(board.Link, "", {"--no-watchdog", "--poll", "100"});
    TDaemonClient subscriber(daemon), client(daemon);
    ASSERT_EQ(Subscribe(subscriber)["subscribed"], true);

    const auto goAndComeBack = [&](const std::function<void()>& away,
                                   const std::function<void()>& back) {
        away();
        EXPECT_EQ(subscriber.Event("link"), TJson({{"event", "link"}, {"up", false}}));
        const TJson failed = client.Request({{"call", "ReadStatus"}});
        EXPECT_LT(failed["result"].get<int>(), 0) << failed;
        EXPECT_FALSE(failed["text"].get<std::string>().empty());
        back();
        EXPECT_EQ(subscriber.Event("link"), TJson({{"event", "link"}, {"up", true}}));
        EXPECT_EQ(client.Request({{"call", "ReadStatus"}})["result"], 0);
    };
    goAndComeBack([&] { EXPECT_EQ(board.Command("away"), "OK\n"); },
                  [&] { EXPECT_EQ(board.Command("return"), "OK\n"); });
    goAndComeBack(
        [&] {
            kill(board.Pid, SIGKILL);
            board.Wait();
        },
        [&] {
            board.Start({"-v", "--control", board.Socket, board.Link});
        });
    EXPECT_EQ(daemon.Stop(), 0) << daemon.Log();
}

TEST(Service, TellsSubscribersOfStatusChanges) {
    testboard::TBoardProcess board;
    TDaemonProcess daemon(board.Link, "", {"--no-watchdog", "--poll", "100"});
    TDaemonClient subscriber(daemon), other(daemon);
    ASSERT_EQ(Subscribe(subscriber), TJson({{"id", "s"}, {"subscribed", true}}));

    EXPECT_EQ(board.Command("mains off"), "OK\n");
    TJson event = StatusWith(subscriber, "mains-lost");
    ASSERT_FALSE(event.is_null());
    EXPECT_EQ(event["values"]["Mains"], false);
    EXPECT_EQ(board.Command("mains on"), "OK\n");
    event = StatusWith(subscriber, "mains-back");
    ASSERT_FALSE(event.is_null());
    EXPECT_EQ(event["values"]["Mains"], true);

    // Events go to subscribers only.
    EXPECT_EQ(other.Request({{"id", 1}})["id"], 1);
    EXPECT_EQ(other.ReadLine(300), "");
}

TEST(Service, ReloadsItsSettingsOnSighup) {
    testboard::TBoardProcess board;
    TDaemonProcess daemon(board.Link, "PollInterval = 600000\n", {"--no-watchdog"});
    TDaemonClient subscriber(daemon);
    Subscribe(subscriber);
    EXPECT_EQ(board.Command("mains off"), "OK\n");
    // The first poll was at the start; the next is ten minutes away.
    EXPECT_TRUE(subscriber.Event("status", 1500).is_null());

    daemon.WriteConfig("pollinterval = 100\n# the socket waits for a restart\nSocketMode = 600\n");
    daemon.Signal(SIGHUP);
    EXPECT_FALSE(StatusWith(subscriber, "mains-lost").is_null());
    EXPECT_NE(daemon.Log().find("restart"), std::string::npos) << daemon.Log();
    EXPECT_EQ(TDaemonClient(daemon).Request({{"id", 2}})["id"], 2);

    // A file that no longer reads keeps the settings in force.
    daemon.WriteConfig("PollInterval = soon\n");
    daemon.Signal(SIGHUP);
    EXPECT_EQ(board.Command("mains on"), "OK\n");
    EXPECT_FALSE(StatusWith(subscriber, "mains-back").is_null());
    EXPECT_NE(daemon.Log().find("trelmod.conf:1"), std::string::npos) << daemon.Log();
}

TEST(Service, StopsInOrderOnSigterm) {
    testboard::TBoardProcess board;
    TDaemonProcess daemon(board.Link, "", {"--no-watchdog"});
    TDaemonClient client(daemon);
    EXPECT_EQ(client.Request({{"id", 1}})["id"], 1);
    EXPECT_EQ(daemon.Stop(), 0) << daemon.Log();
    EXPECT_FALSE(testboard::Exists(daemon.Socket));
    EXPECT_TRUE(client.Closed());
}

TEST(Service, RefusesBadSettingsAndOptions) {
    testboard::TBoardProcess board;
    const std::string dir = board.Dir;
    std::ofstream(dir + "/bad.conf") << "# fine\nPollInterval = 100\nHook.no-such-event = true\n";
    testboard::TRun run = testboard::RunProgram(
        TRELMOD_PROGRAM, {"--config", dir + "/bad.conf", "--socket", dir + "/s"}, dir);
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Err.find("bad.conf:3: "), std::string::npos) << run.Err;
    EXPECT_FALSE(testboard::Exists(dir + "/s"));
    EXPECT_EQ(testboard::RunProgram(TRELMOD_PROGRAM, {"--poll"}, dir).Status, 2);
    run = testboard::RunProgram(TRELMOD_PROGRAM, {"--help"}, dir);
    EXPECT_EQ(run.Status, 0);
    EXPECT_NE(run.Out.find("usage: trelmod"), std::string::npos);
}
} // namespace

namespace {
// The settings file itself, in the process: the shipped sample and the forms a key takes.
TEST(Settings, ReadsTheSampleAndEachForm) {
    EXPECT_NO_THROW(LoadConfig(TRELMOD_SAMPLE_CONFIG));

    char name[] = "/tmp/trelmod-conf.XXXXXX";
    const int fd = mkstemp(name);
    const std::string text = "  # comment\n\nSOCKETMODE = 0640\nholdoff.mains-lost = 2.5\n"
                             "Hook.Mains-Lost = echo \"$EVENT\" = gone\nwatchdog=OFF\n"
                             "BaudRate = 19200\nPollInterval=250\n";
    ASSERT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    close(fd);
    TConfig defaults;
    defaults.Timeout = 77;
    const TConfig config = LoadConfig(name, defaults);
    EXPECT_EQ(config.SocketMode, 0640);
    EXPECT_EQ(config.Hooks.at("mains-lost").HoldOffMs, 2500);
    EXPECT_EQ(config.Hooks.at("mains-lost").Command, "echo \"$EVENT\" = gone");
    EXPECT_FALSE(config.Watchdog);
    EXPECT_EQ(config.BaudRate, 19200);
    EXPECT_EQ(config.Timeout, 77);
    EXPECT_FALSE(config.CommandTimeout);
    EXPECT_EQ(config.PollMs, 250);

    for (const char* bad : {"SocketMode = 0980\n", "Watchdog = maybe\n", "Nothing = 1\n",
                            "HoldOff.door-opened = -1\n", "PollInterval\n", "MaxLine = 10x\n"}) {
        std::ofstream(name) << "# first\n" << bad;
        try {
            LoadConfig(name);
            ADD_FAILURE() << bad;
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()).rfind(std::string(name) + ":2: ", 0), 0u) << e.what();
        }
    }
    unlink(name);
}
} // namespace
