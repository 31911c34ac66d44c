#include "untService.h"

#include "untCodePage.h"
#include "untRequests.h"
#include "untSerialPort.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <iostream>
#include <poll.h>
#include <signal.h>
#include <systemd/sd-daemon.h>
#include <unistd.h>

namespace {
const int TurnMs = 100; // the loop's longest sleep: the keeper and the hooks need no finer
const int FinishHooksMs = 5000;

TMillis Now() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

double UnixNow() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

void SetUpDriver(TDaemonDriver& driver, const TConfig& config) {
    if (config.PortNumber)
        driver.SetPortNumber(*config.PortNumber);
    if (config.BaudRate)
        driver.SetBaudRate(*config.BaudRate);
    if (config.Timeout)
        driver.SetTimeout(*config.Timeout);
    if (config.CommandTimeout)
        driver.SetCommandTimeout(*config.CommandTimeout);
    if (!config.Device.empty())
        driver.SetDevicePath(Utf8ToCp1251(config.Device)); // the driver's strings are cp1251
}

TJson StatusValues(const TStatus& s) {
    return {{"Mains", s.Mains},
            {"Power12", s.Power12},
            {"Door", s.Door},
            {"WatchdogEnabled", s.WatchdogEnabled},
            {"Mode", s.Mode},
            {"Relays", s.Relays},
            {"ParamFlags", s.ParamFlags},
            {"ParamFlags2", s.ParamFlags2}};
}
} // namespace

void Log(const std::string& text) {
    std::cerr << "trelmod: " << text << std::endl;
}

TService::TService(const TConfig& config, TReload reload)
    : Config(config), Reloader(std::move(reload)),
      Keeper(config.Watchdog, config.WatchdogIntervalMs), Hooks(config.Hooks) {
    SetUpDriver(Driver, Config);
    DevicePath = Device();
    Server = std::make_unique<TServer>(Config.Socket, Config.SocketGroup, Config.SocketMode,
                                       Config.MaxLine);
    OpenMetrics();
    Counters.StartUnix = UnixNow();
}

TService::~TService() = default;

// Once per setting: a port number's device comes from the port map's file.
std::string TService::Device() const {
    const std::string& path = Driver.GetDevicePath();
    return path.empty() ? TSerialPort::DeviceOfPort(Driver.GetPortNumber()) : path;
}

void TService::OpenMetrics() {
    Metrics.reset();
    if (Config.MetricsFile.empty() && Config.MetricsPort == 0)
        return;
    try {
        Metrics = std::make_unique<TMetricsPublisher>(Config.MetricsFile, Config.MetricsPort);
    } catch (const std::exception& e) {
        Log(std::string("no metrics: ") + e.what());
    }
}

// Once per change: a keeper that cannot start retries every second.
void TService::ReportKeeper() {
    const TKeeperState& keeper = Keeper.State();
    const std::string problem = keeper.Enabled ? keeper.Problem : std::string();
    const bool running = keeper.Enabled && keeper.Running;
    if (problem == KeeperProblem && running == KeeperRunning)
        return;
    if (!problem.empty())
        Log("watchdog keeper: " + problem);
    else if (running)
        Log("watchdog keeper: the board's watchdog is on, period " +
            std::to_string(keeper.PeriodMs) + " ms, fed every " + std::to_string(keeper.IntervalMs) +
            " ms");
    KeeperProblem = problem;
    KeeperRunning = running;
}

int TService::Run(int signals) {
    Log("listening on " + Server->Path() + " for " + Cp1251ToUtf8(DevicePath));
    sd_notify(0, "READY=1");
    std::vector<pollfd> fds;
    const TLineHandler onLine = [this](TClient& client, const std::string& line, bool over) {
        OnLine(client, line, over);
    };
    for (;;) {
        TMillis now = Now();
        TMillis due = std::min<TMillis>(NextPoll, now + TurnMs);
        for (TMillis next : {Keeper.NextDue(), Hooks.NextDue()})
            if (next >= 0)
                due = std::min(due, next);
        fds.clear();
        fds.push_back({signals, POLLIN, 0});
        Server->Watch(fds);
        if (poll(fds.data(), fds.size(), static_cast<int>(std::max<TMillis>(0, due - now))) < 0 &&
            errno != EINTR)
            Log(std::string("poll: ") + std::strerror(errno));
        if ((fds[0].revents & POLLIN) && !Signals(signals))
            break;
        Server->Turn(fds, 1, onLine);
        now = Now();
        if (now >= NextPoll)
            Poll(now);
        Keeper.Tick(Driver, now);
        ReportKeeper();
        Hooks.Tick(Now());
    }
    sd_notify(0, "STOPPING=1");
    Log("stopping");
    if (Keeper.State().Enabled && Keeper.Stop(Driver) != 0)
        Log("the board's watchdog could not be turned off: " +
            std::to_string(Driver.GetResultCode()));
    Hooks.Finish(FinishHooksMs);
    Server.reset();
    return 0;
}

bool TService::Signals(int fd) {
    char numbers[16];
    const ssize_t got = read(fd, numbers, sizeof numbers);
    bool running = true;
    for (ssize_t i = 0; i < got; ++i) {
        if (numbers[i] == SIGHUP)
            Reload();
        else
            running = false;
    }
    return running;
}

void TService::OnLine(TClient& client, const std::string& line, bool over) {
    if (over) {
        ++Counters.BadRequests;
        Server->Send(client, ErrorLine(nullptr, "a line over " + std::to_string(Config.MaxLine) +
                                                    " bytes; skipped to its end"));
        return;
    }
    TReply reply = ServeLine(Driver, DevicePath, line);
    ++(reply.Bad ? Counters.BadRequests : Counters.Requests);
    if (reply.Subscribe >= 0)
        client.Subscribed = reply.Subscribe == 1;
    // The port is reopened by the next exchange: a board back at the same path is found.
    if (reply.Code < 0)
        Driver.ClosePort();
    Server->Send(client, Line(reply.Answer));
}

void TService::Poll(TMillis now) {
    NextPoll = now + Config.PollMs;
    ++Counters.Polls;
    TSnapshot next = Current;
    const int code = Driver.Invoke("ReadStatus");
    if (code == 0) {
        next.LinkUp = true;
        next.Known = true;
        next.Status = StatusOf(Driver);
    } else if (code < 0) {
        next.LinkUp = false;
        Driver.ClosePort();
    }
    Publish(next, now);
    PublishMetrics();
}

void TService::Publish(const TSnapshot& next, TMillis now) {
    const std::vector<TEvent> events = Changes(Current, next);
    TJson changes = TJson::array();
    for (const TEvent& event : events) {
        if (event.Field == "link") {
            Log(event.Name);
            Server->Broadcast(Line({{"event", "link"}, {"up", event.New != 0}}));
        } else {
            changes.push_back(event.Name);
        }
    }
    if (next.Known && (!Sent.Known || next.Status != Sent.Status)) {
        Server->Broadcast(Line(
            {{"event", "status"}, {"values", StatusValues(next.Status)}, {"changes", changes}}));
        Sent = next;
    }
    Current = next;
    if (!events.empty())
        Hooks.OnEvents(events, Current, now);
}

void TService::PublishMetrics() {
    if (!Metrics)
        return;
    Counters.Clients = Server->Clients();
    Counters.Connections = Server->Counters().Connections;
    std::string error;
    if (!Metrics->Publish(
            FormatMetrics(Current, Driver.Counters(), Keeper.State(), Hooks.Counters(), Counters),
            error))
        Log("metrics: " + error);
}

void TService::Reload() {
    TConfig next;
    try {
        next = Reloader();
    } catch (const std::exception& e) {
        Log(std::string("the settings are kept: ") + e.what());
        return;
    }
    if (next.Socket != Config.Socket || next.SocketGroup != Config.SocketGroup ||
        next.SocketMode != Config.SocketMode)
        Log("a new socket path, group or mode needs a restart; kept " + Config.Socket);
    next.Socket = Config.Socket;
    next.SocketGroup = Config.SocketGroup;
    next.SocketMode = Config.SocketMode;
    Configure(next);
    Log("settings reloaded");
}

void TService::Configure(const TConfig& config) {
    const bool metrics =
        config.MetricsFile != Config.MetricsFile || config.MetricsPort != Config.MetricsPort;
    const std::string device = DevicePath;
    const int baudRate = Driver.GetBaudRate();
    Config = config;
    SetUpDriver(Driver, Config);
    DevicePath = Device();
    if (DevicePath != device || Driver.GetBaudRate() != baudRate)
        Driver.ClosePort();
    Server->SetMaxLine(Config.MaxLine);
    NextPoll = std::min(NextPoll, Now() + Config.PollMs);
    Keeper.Configure(Config.Watchdog, Config.WatchdogIntervalMs);
    Hooks.Configure(Config.Hooks);
    if (metrics)
        OpenMetrics();
}
