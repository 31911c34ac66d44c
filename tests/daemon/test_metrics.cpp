// The metrics text as Prometheus' own checker reads it, the file as a collector reading it
// at any moment sees it, and the HTTP port as a scraper sees it.
#include "untMetrics.h"

#include "untTestBoard.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {
using testboard::ReadFileText;

std::string Everything(bool known) {
    TSnapshot board;
    board.LinkUp = true;
    board.Known = known;
    board.Status = {true, false, true, true, 1, 0x81, 0x89, 0x01};
    TDriverCounters driver;
    driver.Exchanges = 120;
    driver.ExchangesFailed = 3;
    driver.ExchangeSeconds = 1.25;
    driver.LastExchangeSeconds = 0.0105;
    driver.Calls = 118;
    driver.Failures = {{-1, 2}, {-2, 1}, {1, 4}};
    TKeeperState keeper;
    keeper.Enabled = keeper.Running = true;
    keeper.PeriodMs = 60000;
    keeper.IntervalMs = 20000;
    keeper.LastFeedUnix = 1767225600.5;
    keeper.Feeds = 40;
    keeper.FeedFailures = 1;
    THookCounters hooks{3, 1};
    TServiceCounters service{2, 7, 300, 5, 600, 1767225000.25};
    return FormatMetrics(board, driver, keeper, hooks, service);
}

// promtool's verdict on `text`: its exit status and what it said.
std::pair<int, std::string> Promtool(const std::string& text, const std::string& dir) {
    const std::string input = dir + "/metrics.prom", output = dir + "/promtool.out";
    FILE* file = std::fopen(input.c_str(), "w");
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
    const int status = std::system(("/usr/bin/promtool check metrics < " + input + " > " +
                                    output + " 2>&1").c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFileText(output)};
}

class MetricsTest : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/trelmo-metrics-test.XXXXXX";
        Home = mkdtemp(dir);
    }
    void TearDown() override { std::system(("rm -rf " + Home).c_str()); }
    std::string Home;
};

TEST_F(MetricsTest, TheTextPassesPromtoolAndShowsTheBoardOnlyWhenKnown) {
    const std::string text = Everything(true);
    for (const char* sample :
         {"trelmo_link_up 1\n", "trelmo_exchanges_total 120\n", "trelmo_exchanges_failed_total 3\n",
          "trelmo_exchange_seconds_total 1.25\n", "trelmo_last_exchange_seconds 0.0105\n",
          "trelmo_calls_total 118\n", "trelmo_failures_total{code=\"-1\"} 2\n",
          "trelmo_failures_total{code=\"1\"} 4\n", "trelmo_mains 1\n", "trelmo_power12 0\n",
          "trelmo_door_open 1\n", "trelmo_mode 1\n", "trelmo_relay{relay=\"1\"} 1\n",
          "trelmo_relay{relay=\"2\"} 0\n", "trelmo_relay{relay=\"8\"} 1\n",
          "trelmo_watchdog_enabled 1\n", "trelmo_watchdog_keeper_running 1\n",
          "trelmo_watchdog_period_seconds 60\n",
          "trelmo_watchdog_last_feed_timestamp_seconds 1767225600.5\n",
          "trelmo_watchdog_feeds_total 40\n", "trelmo_watchdog_feed_failures_total 1\n",
          "trelmo_hooks_started_total 3\n", "trelmo_hooks_failed_total 1\n", "trelmo_clients 2\n",
          "trelmo_connections_total 7\n", "trelmo_requests_total 300\n",
          "trelmo_bad_requests_total 5\n", "trelmo_polls_total 600\n",
          "trelmo_start_time_seconds 1767225000.25\n"})
        EXPECT_NE(text.find(std::string("\n") + sample), std::string::npos) << sample;

    const std::string unknown = Everything(false);
    for (const char* name : {"trelmo_mains", "trelmo_power12", "trelmo_door_open", "trelmo_mode",
                             "trelmo_relay", "trelmo_watchdog_enabled"})
        EXPECT_EQ(unknown.find(std::string("\n") + name + " "), std::string::npos) << name;
    EXPECT_NE(unknown.find("\ntrelmo_link_up 1\n"), std::string::npos);

    if (access("/usr/bin/promtool", X_OK) != 0)
        GTEST_SKIP() << "/usr/bin/promtool is missing (Debian package prometheus)";
    for (const std::string& t : {text, unknown, FormatMetrics({}, {}, {}, {}, {})}) {
        const auto [status, said] = Promtool(t, Home);
        EXPECT_EQ(status, 0) << said << "\n" << t;
    }
}

std::vector<std::string> Files(const std::string& dir) {
    std::vector<std::string> names;
    DIR* d = opendir(dir.c_str());
    while (dirent* e = readdir(d))
        if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
            names.push_back(e->d_name);
    closedir(d);
    return names;
}

// A reader sees one whole text or another, never a mix or a part, and the file stays
// readable by others even under a strict umask.
TEST_F(MetricsTest, TheFileIsReplacedWhole) {
    const std::string file = Home + "/trelmo.prom";
    TMetricsPublisher publisher(file, 0);
    const std::string a(300000, 'a'), b(200000, 'b');
    std::string error;
    const mode_t mask = umask(077);
    ASSERT_TRUE(publisher.Publish(a, error)) << error;
    std::atomic<bool> done{false};
    std::atomic<int> reads{0}, torn{0};
    std::thread reader([&] {
        while (!done) {
            const std::string seen = ReadFileText(file);
            if (seen != a && seen != b)
                ++torn;
            ++reads;
        }
    });
    for (int i = 0; i < 200; ++i)
        ASSERT_TRUE(publisher.Publish(i % 2 ? a : b, error)) << error;
    done = true;
    reader.join();
    umask(mask);
    EXPECT_EQ(torn, 0) << "of " << reads;
    struct stat st {};
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    EXPECT_EQ(Files(Home), std::vector<std::string>{"trelmo.prom"}); // no temporary left

    TMetricsPublisher nowhere(Home + "/no/such/dir/trelmo.prom", 0);
    EXPECT_FALSE(nowhere.Publish(a, error));
    EXPECT_NE(error.find("no/such/dir"), std::string::npos) << error;
}

// One HTTP exchange with 127.0.0.1:port: the whole response.
std::string Get(int port, const std::string& request) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd);
        return "connect failed";
    }
    send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string response;
    char buffer[4096];
    for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;)
        response.append(buffer, static_cast<std::size_t>(n));
    close(fd);
    return response;
}

// A port nobody listens on now: the kernel's pick for a socket closed again.
int FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t size = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &size);
    close(fd);
    return ntohs(addr.sin_port);
}

TEST_F(MetricsTest, TheLastTextIsServedOnLocalhost) {
    const int port = FreePort();
    TMetricsPublisher publisher("", port);
    EXPECT_THROW(TMetricsPublisher("", port), std::runtime_error); // the port is taken
    std::string error;
    ASSERT_TRUE(publisher.Publish("first\n", error));
    const std::string text = Everything(true);
    ASSERT_TRUE(publisher.Publish(text, error));

    for (const char* path : {"/metrics", "/"}) {
        const std::string response =
            Get(port, std::string("GET ") + path + " HTTP/1.1\r\nHost: localhost\r\n\r\n");
        EXPECT_EQ(response.rfind("HTTP/1.1 200 ", 0), 0u) << response;
        EXPECT_NE(response.find("\r\nContent-Type: text/plain; version=0.0.4\r\n"),
                  std::string::npos);
        ASSERT_GE(response.size(), text.size());
        EXPECT_EQ(response.substr(response.size() - text.size()), text);
    }
    for (const char* request : {"GET /other HTTP/1.1\r\n\r\n", "POST /metrics HTTP/1.1\r\n\r\n",
                                "GET /metricsx HTTP/1.0\r\n\r\n", "garbage\r\n\r\n"})
        EXPECT_EQ(Get(port, request).rfind("HTTP/1.1 404 ", 0), 0u) << request;
}
} // namespace
