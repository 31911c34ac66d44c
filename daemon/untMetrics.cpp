#include "untMetrics.h"

#include "driver/platform/posix/untPosixFiles.h"

#include <arpa/inet.h>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {
// Shortest text that reads back as the same double.
std::string Number(double value) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return std::string(text, end);
}

class TExposition {
public:
    // A family's HELP and TYPE, then its samples.
    TExposition& Family(const char* name, const char* type, const char* help) {
        Name = name;
        Text += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type +
                "\n";
        return *this;
    }
    TExposition& Sample(double value, const std::string& labels = "") {
        Text += Name + (labels.empty() ? "" : "{" + labels + "}") + " " + Number(value) + "\n";
        return *this;
    }
    TExposition& Gauge(const char* name, const char* help, double value) {
        return Family(name, "gauge", help).Sample(value);
    }
    TExposition& Counter(const char* name, const char* help, double value) {
        return Family(name, "counter", help).Sample(value);
    }
    std::string Text;

private:
    std::string Name;
};

void BoardMetrics(TExposition& out, const TSnapshot& board) {
    if (!board.Known)
        return;
    const TStatus& s = board.Status;
    out.Gauge("trelmo_mains", "220 V mains present (1) or lost (0).", s.Mains);
    out.Gauge("trelmo_power12", "+12 V on the motherboard (1) or off (0).", s.Power12);
    out.Gauge("trelmo_door_open", "The door lock is open (1) or closed (0).", s.Door);
    out.Gauge("trelmo_mode", "The board's mode: 0 main firmware, 1 program mode.", s.Mode);
    out.Family("trelmo_relay", "gauge", "Relay state: 1 on, 0 off.");
    for (int relay = 1; relay <= 8; ++relay)
        out.Sample((s.Relays >> (relay - 1)) & 1, "relay=\"" + std::to_string(relay) + "\"");
    out.Gauge("trelmo_watchdog_enabled", "The board's watchdog is on (1) or off (0).",
              s.WatchdogEnabled);
}

void KeeperMetrics(TExposition& out, const TKeeperState& keeper) {
    out.Gauge("trelmo_watchdog_keeper_running",
              "The service keeps the board's watchdog on and fed (1) or not (0).",
              keeper.Running);
    if (keeper.PeriodMs > 0)
        out.Gauge("trelmo_watchdog_period_seconds", "The board's watchdog period.",
                  keeper.PeriodMs / 1000.0);
    if (keeper.LastFeedUnix > 0)
        out.Gauge("trelmo_watchdog_last_feed_timestamp_seconds",
                  "When the board's watchdog was last fed, Unix time.", keeper.LastFeedUnix);
    out.Counter("trelmo_watchdog_feeds_total", "Good feeds of the board's watchdog.",
                static_cast<double>(keeper.Feeds));
    out.Counter("trelmo_watchdog_feed_failures_total", "Feeds of the board's watchdog that failed.",
                static_cast<double>(keeper.FeedFailures));
}
} // namespace

std::string FormatMetrics(const TSnapshot& board, const TDriverCounters& driver,
                          const TKeeperState& keeper, const THookCounters& hooks,
                          const TServiceCounters& service) {
    TExposition out;
    out.Gauge("trelmo_link_up", "The board answers (1) or not (0).", board.LinkUp);
    out.Counter("trelmo_exchanges_total", "Requests sent to the board, answered or not.",
                static_cast<double>(driver.Exchanges));
    out.Counter("trelmo_exchanges_failed_total", "Requests to the board without a good answer.",
                static_cast<double>(driver.ExchangesFailed));
    out.Counter("trelmo_exchange_seconds_total", "Time spent in exchanges with the board.",
                driver.ExchangeSeconds);
    out.Gauge("trelmo_last_exchange_seconds", "Duration of the last exchange with the board.",
              driver.LastExchangeSeconds);
    out.Counter("trelmo_calls_total", "Driver operations run, the service's own and its clients'.",
                static_cast<double>(driver.Calls));
    if (!driver.Failures.empty()) {
        out.Family("trelmo_failures_total", "counter", "Driver operations that failed, by result code.");
        for (const auto& [code, count] : driver.Failures)
            out.Sample(static_cast<double>(count), "code=\"" + std::to_string(code) + "\"");
    }
    BoardMetrics(out, board);
    KeeperMetrics(out, keeper);
    out.Counter("trelmo_hooks_started_total", "Hook commands started.",
                static_cast<double>(hooks.Started));
    out.Counter("trelmo_hooks_failed_total",
                "Hook commands that could not start, exited non-zero or were killed.",
                static_cast<double>(hooks.Failed));
    out.Gauge("trelmo_clients", "Clients connected to the service's socket.",
              static_cast<double>(service.Clients));
    out.Counter("trelmo_connections_total", "Connections accepted on the service's socket.",
                static_cast<double>(service.Connections));
    out.Counter("trelmo_requests_total", "Requests answered with a result.",
                static_cast<double>(service.Requests));
    out.Counter("trelmo_bad_requests_total", "Requests answered with an error.",
                static_cast<double>(service.BadRequests));
    out.Counter("trelmo_polls_total", "Status polls of the board.",
                static_cast<double>(service.Polls));
    out.Gauge("trelmo_start_time_seconds", "When the service started, Unix time.",
              service.StartUnix);
    return out.Text;
}

namespace {
std::runtime_error SystemError(const std::string& what) {
    return std::runtime_error(what + ": " + std::strerror(errno));
}

std::string Response(const char* status, const std::string& body) {
    return std::string("HTTP/1.1 ") + status +
           "\r\nContent-Type: text/plain; version=0.0.4\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

// A scraper that stalls must not hold the next one up for long.
const int ClientTimeoutMs = 2000;
const std::size_t MaxRequestHead = 8192;
} // namespace

struct TMetricsPublisher::TImpl {
    std::string File;
    int ListenFd = -1;
    int Wake[2] = {-1, -1};
    std::thread Server;
    std::mutex Lock;
    std::string Text;

    void Listen(int port);
    void Serve();
    void Answer(int fd);
    bool WriteFile(const std::string& text, std::string& error) const;
};

void TMetricsPublisher::TImpl::Listen(int port) {
    if (port < 1 || port > 65535)
        throw std::runtime_error("metrics port " + std::to_string(port) + " out of range");
    ListenFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (ListenFd < 0)
        throw SystemError("metrics socket");
    const int on = 1;
    setsockopt(ListenFd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(ListenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(ListenFd, 8) != 0 || pipe2(Wake, O_CLOEXEC) != 0) {
        const auto error = SystemError("metrics port 127.0.0.1:" + std::to_string(port));
        close(ListenFd);
        ListenFd = -1;
        throw error;
    }
    Server = std::thread([this] { Serve(); });
}

void TMetricsPublisher::TImpl::Serve() {
    for (;;) {
        pollfd fds[2] = {{ListenFd, POLLIN, 0}, {Wake[0], POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 && errno != EINTR)
            return;
        if (fds[1].revents)
            return;
        if (!(fds[0].revents & POLLIN))
            continue;
        const int fd = accept4(ListenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        Answer(fd);
        close(fd);
    }
}

void TMetricsPublisher::TImpl::Answer(int fd) {
    timeval limit{ClientTimeoutMs / 1000, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    std::string head;
    char buffer[1024];
    while (head.find("\r\n\r\n") == std::string::npos && head.find("\n\n") == std::string::npos &&
           head.size() < MaxRequestHead) {
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        head.append(buffer, static_cast<std::size_t>(n));
    }
    const std::string line = head.substr(0, head.find_first_of("\r\n"));
    const bool known = line.rfind("GET /metrics ", 0) == 0 || line.rfind("GET / ", 0) == 0;
    std::string body;
    if (known) {
        std::lock_guard<std::mutex> hold(Lock);
        body = Text;
    }
    SendAll(fd, known ? Response("200 OK", body) : Response("404 Not Found", "not found\n"));
}

// Readers of the folder see the old file or the new one whole, never a part; the text
// collector also wants it readable by others.
bool TMetricsPublisher::TImpl::WriteFile(const std::string& text, std::string& error) const {
    const std::size_t slash = File.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : File.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? File : File.substr(slash + 1);
    std::string temp = dir + (slash == std::string::npos ? "/." : ".") + base + ".XXXXXX";
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        error = "metrics file " + temp + ": " + std::strerror(errno);
        return false;
    }
    const bool written = fchmod(fd, 0644) == 0 && WriteAll(fd, text) && fsync(fd) == 0;
    const int saved = errno;
    if (close(fd) != 0 || !written || rename(temp.c_str(), File.c_str()) != 0) {
        error = "metrics file " + File + ": " + std::strerror(written ? errno : saved);
        unlink(temp.c_str());
        return false;
    }
    return true;
}

TMetricsPublisher::TMetricsPublisher(const std::string& file, int port)
    : Impl(std::make_unique<TImpl>()) {
    Impl->File = file;
    if (port != 0)
        Impl->Listen(port);
}

TMetricsPublisher::~TMetricsPublisher() {
    if (Impl->Server.joinable()) {
        const char stop = 1;
        (void)!write(Impl->Wake[1], &stop, 1);
        Impl->Server.join();
    }
    for (int fd : {Impl->ListenFd, Impl->Wake[0], Impl->Wake[1]})
        if (fd >= 0)
            close(fd);
}

bool TMetricsPublisher::Publish(const std::string& text, std::string& error) {
    {
        std::lock_guard<std::mutex> hold(Impl->Lock);
        Impl->Text = text;
    }
    return Impl->File.empty() || Impl->WriteFile(text, error);
}
