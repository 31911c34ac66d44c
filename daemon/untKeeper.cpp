#include "untKeeper.h"

#include "untCodePage.h"

#include <chrono>
#include <cstdlib>
#include <systemd/sd-daemon.h>

namespace {
// Where the period lives: settings table 1 ("Общие параметры"), its only row, field 1.
const int GeneralTable = 1, GeneralRow = 1, PeriodField = 1;
// A board that is away or refused a step is asked again this much later.
const TMillis RetryMs = 1000;
// A refused interval stays refused until the board's period changes: look again now and then.
const TMillis RecheckMs = 10000;

double UnixNow() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// The service manager's watchdog period, 0 when it does not watch the service.
TMillis ManagerPeriodMs() {
    std::uint64_t usec = 0;
    if (sd_watchdog_enabled(0, &usec) <= 0)
        return 0;
    return static_cast<TMillis>(usec / 1000);
}

std::string Failure(const char* step, const TDaemonDriver& driver, int code) {
    return std::string(step) + " failed (" + std::to_string(code) +
           "): " + Cp1251ToUtf8(driver.GetResultDescription());
}
} // namespace

TWatchdogKeeper::TWatchdogKeeper(bool enabled, int intervalMs) {
    Configure(enabled, intervalMs);
    ManagerMs = ManagerPeriodMs();
}

void TWatchdogKeeper::Configure(bool enabled, int intervalMs) {
    Keeper.Enabled = enabled;
    ConfiguredIntervalMs = intervalMs;
    Reconfigured = true;
    Due = 0;
}

TMillis TWatchdogKeeper::NextDue() const {
    if (Keeper.Enabled || Keeper.Running)
        return Due;
    return ManagerMs > 0 ? ManagerDue : -1;
}

void TWatchdogKeeper::Tick(TDaemonDriver& driver, TMillis now) {
    if (!Keeper.Enabled) {
        if (Keeper.Running)
            Stop(driver);
        Keeper.Problem.clear();
        // Without the board's watchdog the loop's own liveness is all the manager can see.
        if (ManagerMs > 0 && now >= ManagerDue) {
            sd_notify(0, "WATCHDOG=1");
            ManagerDue = now + ManagerMs / 2;
        }
        return;
    }
    if (Keeper.Running && Reconfigured && !ChooseInterval()) {
        Stop(driver);
        Due = now + RecheckMs;
        return;
    }
    Reconfigured = false;
    if (now < Due)
        return;
    if (!Keeper.Running)
        Start(driver, now);
    else
        Feed(driver, now);
}

// The table registers are the clients' too: one that set them in one request and reads in
// the next finds them as it left them.
int TWatchdogKeeper::ReadPeriod(TDaemonDriver& driver) {
    const int table = driver.TableNumber, field = driver.FieldNumber;
    const auto row = driver.RowNumber;
    const std::string value = driver.FieldValue;
    driver.TableNumber = GeneralTable;
    driver.RowNumber = GeneralRow;
    driver.FieldNumber = PeriodField;
    const int code = driver.Invoke("ReadTable");
    if (code == 0)
        Keeper.PeriodMs = std::atoi(driver.FieldValue.c_str()) * 1000;
    driver.TableNumber = table;
    driver.RowNumber = row;
    driver.FieldNumber = field;
    driver.FieldValue = value;
    return code;
}

void TWatchdogKeeper::Start(TDaemonDriver& driver, TMillis now) {
    Due = now + RetryMs;
    int code = ReadPeriod(driver);
    if (code != 0) {
        Keeper.Problem = Failure("reading the board's watchdog period", driver, code);
        return;
    }
    if (!ChooseInterval()) {
        Due = now + RecheckMs;
        return;
    }
    code = driver.Invoke("EnableWatchDog");
    if (code != 0) {
        Keeper.Problem = Failure("EnableWatchDog", driver, code);
        return;
    }
    Keeper.Running = true;
    Keeper.Problem.clear();
    Feed(driver, now);
}

// The interval must leave a failed feed room for another try within the board's period.
bool TWatchdogKeeper::ChooseInterval() {
    const int period = Keeper.PeriodMs;
    const int interval = ConfiguredIntervalMs > 0 ? ConfiguredIntervalMs : period / 3;
    if (period <= 0 || interval >= period / 2) {
        Keeper.Problem = "WatchdogInterval " + std::to_string(interval) +
                         " ms is not under half the board's watchdog period (" +
                         std::to_string(period / 1000) + " s)";
        Keeper.IntervalMs = 0;
        return false;
    }
    Keeper.IntervalMs = interval;
    if (ManagerMs > 0 && ManagerMs / 2 < Keeper.IntervalMs)
        Keeper.IntervalMs = static_cast<int>(ManagerMs / 2);
    return true;
}

// A feed whose answer shows the watchdog off means the board restarted and forgot it.
void TWatchdogKeeper::Feed(TDaemonDriver& driver, TMillis now) {
    int code = driver.Invoke("ResetWatchDog");
    if (code == 0 && !driver.WatchDogEnabled)
        code = driver.Invoke("EnableWatchDog");
    if (code != 0) {
        ++Keeper.FeedFailures;
        Due = now + std::min<TMillis>(RetryMs, Keeper.IntervalMs);
        return;
    }
    ++Keeper.Feeds;
    Keeper.LastFeedUnix = UnixNow();
    Due = now + Keeper.IntervalMs;
    if (ManagerMs > 0)
        sd_notify(0, "WATCHDOG=1");
}

int TWatchdogKeeper::Stop(TDaemonDriver& driver) {
    if (!Keeper.Running)
        return 0;
    Keeper.Running = false;
    return driver.Invoke("DisableWatchDog");
}
