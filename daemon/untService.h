// The service's one loop: the clients' socket, the board's status poll, the link's state and
// the subscribers' events, the watchdog keeper, the hooks and the metrics, all on one thread,
// so a client's request runs on the driver with nothing else between.
#pragma once

#include "untConfig.h"
#include "untDaemonDriver.h"
#include "untHooks.h"
#include "untKeeper.h"
#include "untMetrics.h"
#include "untServer.h"
#include "untState.h"

#include <functional>
#include <memory>
#include <string>

// "trelmod: text" on standard error, which the journal keeps.
void Log(const std::string& text);

class TService {
public:
    // The configuration again, for SIGHUP; throws std::runtime_error when it cannot be read.
    using TReload = std::function<TConfig()>;

    // Listens at once; throws std::runtime_error when the socket cannot be set up.
    TService(const TConfig& config, TReload reload);
    ~TService();

    // Until SIGTERM or SIGINT comes through `signals`, a pipe carrying each signal's number
    // as one byte. Ends in order (the board's watchdog off, the hooks finished, the socket
    // removed); the exit status.
    int Run(int signals);

private:
    void OnLine(TClient& client, const std::string& line, bool over);
    void Poll(TMillis now);
    void Publish(const TSnapshot& next, TMillis now);
    void PublishMetrics();
    void Reload();
    bool Signals(int fd); // false once a stop is asked
    void Configure(const TConfig& config);
    void OpenMetrics();
    std::string Device() const;

    TConfig Config;
    std::string DevicePath; // the port's device, for the hello answers
    void ReportKeeper();
    std::string KeeperProblem; // as last logged
    bool KeeperRunning = false;
    TReload Reloader;
    TDaemonDriver Driver;
    std::unique_ptr<TServer> Server;
    TWatchdogKeeper Keeper;
    THooks Hooks;
    std::unique_ptr<TMetricsPublisher> Metrics;
    TSnapshot Current; // the last poll's
    TSnapshot Sent;    // the last status event's
    TServiceCounters Counters;
    TMillis NextPoll = 0;
};
