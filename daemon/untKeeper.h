// The watchdog keeper: while the service runs, the board's watchdog is on and fed well within
// its period, and the service manager's own watchdog is fed only after a good feed of the
// board's. If the service dies or hangs, the board resets the machine: that is the point.
#pragma once

#include "untDaemonDriver.h"

#include <cstdint>
#include <string>

using TMillis = std::int64_t; // a monotonic clock's milliseconds

struct TKeeperState {
    bool Enabled = false;      // the keeper is configured on
    bool Running = false;      // the board's watchdog is on and being fed
    int PeriodMs = 0;          // the board's watchdog period, read from its settings
    int IntervalMs = 0;        // the feed interval in use
    double LastFeedUnix = 0;   // wall-clock seconds of the last good feed, 0: none yet
    std::uint64_t Feeds = 0, FeedFailures = 0;
    std::string Problem;       // UTF-8, why the keeper is not running (empty when it is)
};

class TWatchdogKeeper {
public:
    // intervalMs 0: a third of the board's period. enabled false: the keeper does nothing.
    TWatchdogKeeper(bool enabled, int intervalMs);

    // Each time the poll loop turns (at least every 100 ms): when the keeper is not running,
    // tries to start it (reads the period, checks the interval, enables the watchdog); when
    // it is, feeds the watchdog once the interval has passed (and enables it again when a
    // feed shows the board has forgotten it, as after a board reset). Each good feed also
    // tells the service manager WATCHDOG=1 when it watches the service.
    void Tick(TDaemonDriver& driver, TMillis now);
    // When the next Tick has work to do.
    TMillis NextDue() const;
    // An orderly stop: disables the board's watchdog. Returns its result code.
    int Stop(TDaemonDriver& driver);
    // A new interval or on/off from a reloaded configuration; takes effect at the next Tick.
    void Configure(bool enabled, int intervalMs);

    const TKeeperState& State() const { return Keeper; }

private:
    int ReadPeriod(TDaemonDriver& driver);
    void Start(TDaemonDriver& driver, TMillis now);
    void Feed(TDaemonDriver& driver, TMillis now);
    bool ChooseInterval();

    TKeeperState Keeper;
    int ConfiguredIntervalMs = 0;
    bool Reconfigured = false;
    TMillis Due = 0;
    TMillis ManagerMs = 0;  // the service manager's watchdog period, 0: it does not watch
    TMillis ManagerDue = 0; // its next notification while the board's watchdog is off
};
