// The service's settings: the driver's own (as the driver loads them, or the configuration
// file's lines with the same names), the socket, the poll, the watchdog keeper, the hooks and
// the metrics. The file is read at the start and again on SIGHUP.
#pragma once

#include <map>
#include <optional>
#include <string>

struct THookConfig {
    std::string Command; // run by /bin/sh -c, the event in its environment
    int HoldOffMs = 0;   // the state must last this long before the hook runs
};

struct TConfig {
    // The driver's settings; each one not given keeps what the driver loaded.
    std::optional<int> PortNumber, BaudRate, Timeout, CommandTimeout;
    std::string Device; // a device path instead of PortNumber

    std::string Socket = "/run/trelmo/trelmod.sock";
    std::string SocketGroup; // empty: the service's own group
    int SocketMode = 0660;
    std::size_t MaxLine = 65536; // bytes of one request line, its newline not counted
    int PollMs = 1000;           // status poll interval

    bool Watchdog = true;       // keep the board's watchdog fed
    int WatchdogIntervalMs = 0; // 0: a third of the board's period

    std::map<std::string, THookConfig> Hooks; // by event name (see untState.h)

    std::string MetricsFile; // empty: none
    int MetricsPort = 0;     // 0: none; else HTTP on 127.0.0.1 only
};

// Throws std::runtime_error "FILE:LINE: why" for an unknown key or a bad value.
TConfig LoadConfig(const std::string& path, TConfig defaults = {});
