// Metrics for fleets, in Prometheus' text format: written atomically to a file for
// node_exporter's textfile collector, and served on a localhost HTTP port when asked.
#pragma once

#include "untDaemonDriver.h"
#include "untHooks.h"
#include "untKeeper.h"
#include "untState.h"

#include <cstdint>
#include <memory>
#include <string>

struct TServiceCounters {
    std::uint64_t Clients = 0;       // connected now
    std::uint64_t Connections = 0;   // accepted in all
    std::uint64_t Requests = 0;      // answered with a result
    std::uint64_t BadRequests = 0;   // answered with an error
    std::uint64_t Polls = 0;
    double StartUnix = 0;
};

// The whole exposition text: trelmo_* gauges and counters with HELP and TYPE lines.
std::string FormatMetrics(const TSnapshot& board, const TDriverCounters& driver,
                          const TKeeperState& keeper, const THookCounters& hooks,
                          const TServiceCounters& service);

class TMetricsPublisher {
public:
    // file empty: no file; port 0: no HTTP. Throws std::runtime_error when the port cannot be
    // bound.
    TMetricsPublisher(const std::string& file, int port);
    ~TMetricsPublisher();
    // Writes the file (a temporary beside it, then rename) and hands the text to the HTTP
    // server. Returns false (and says why in `error`) when the file cannot be written.
    bool Publish(const std::string& text, std::string& error);

private:
    struct TImpl;
    std::unique_ptr<TImpl> Impl;
};
