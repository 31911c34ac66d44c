// trelmo monitor: the board's status polled at a period; a line for every change of the mode,
// the relays and the status flags, and for the link going and coming back. The lines use the
// tool's own forms, "Name=value" and "ReadStatus: code description", after a time stamp.
#include "untClock.h"
#include "untToolDriver.h"
#include "untJobCommon.h"
#include "untJobSystem.h"
#include "untJobs.h"

#include <cstdio>

namespace {
const int DefaultPeriodMs = 1000;

struct TSnapshot {
    int Mode, Flags, Flags2, Relays;
};

struct TItem {
    const char* Name;
    int (*Value)(const TSnapshot& s);
};

template <int Mask> int Flag(const TSnapshot& s) {
    return (s.Flags & Mask) != 0;
}

const TItem Items[] = {
    {"Mode", [](const TSnapshot& s) { return s.Mode; }},
    {"RelayStatus", [](const TSnapshot& s) { return s.Relays; }},
    {"MBPowerState", Flag<pfMBPowerState>},
    {"ButtonPowerPressed", Flag<pfButtonPowerPressed>},
    {"ButtonResetPressed", Flag<pfButtonResetPressed>},
    {"DoorLockOpened", Flag<pfDoorLockOpened>},
    {"TurnOnDelay", Flag<pfTurnOnDelay>},
    {"TurnOffDelay", Flag<pfTurnOffDelay>},
    {"RelayToggled", Flag<pfRelayToggled>},
    {"MBPowerSensor", Flag<pfMBPowerSensor>},
    {"WatchDogEnabled",
     [](const TSnapshot& s) { return int((s.Flags2 & pf2WatchDogEnabled) != 0); }},
};

TSnapshot Snapshot(const TDriver& driver) {
    return {driver.Mode, driver.ParamFlags, driver.ParamFlags2, driver.RelayStatus};
}

// What differs from the last snapshot; everything when there is none yet.
std::string Changes(const TSnapshot* before, const TSnapshot& now) {
    std::string text;
    for (const TItem& item : Items) {
        const int value = item.Value(now);
        if (before && item.Value(*before) == value)
            continue;
        text += (text.empty() ? "" : " ") + std::string(item.Name) + '=' + std::to_string(value);
    }
    return text;
}

std::string Stamp() {
    const TLocalTime t = LocalTimeNow();
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", t.Year, t.Month, t.Day,
                  t.Hour, t.Minute, t.Second, t.Millisecond);
    return text;
}

class TMonitor {
public:
    TMonitor(TDriver& driver, std::ostream& out) : Driver(driver), Out(out) {}

    void Poll() {
        const int code = Call(Driver, "ReadStatus");
        // Said once when the link goes or its failure changes, and once when it is back.
        if (code != LastCode && (code != 0 || !First))
            Say(ResultLine(Driver, "ReadStatus"));
        if (code == 0) {
            const TSnapshot now = Snapshot(Driver);
            const std::string changes = Changes(Known ? &Last : nullptr, now);
            if (!changes.empty())
                Say(changes);
            Last = now;
            Known = true;
        } else if (code < 0) {
            // The device may come back as a new one (a USB adapter plugged in again).
            Call(Driver, "Disconnect");
        }
        LastCode = code;
        First = false;
    }

private:
    void Say(const std::string& text) { Out << Stamp() << ' ' << text << std::endl; }

    TDriver& Driver;
    std::ostream& Out;
    TSnapshot Last{};
    bool Known = false;
    bool First = true;
    int LastCode = 0;
};
} // namespace

int RunMonitor(const TCommandLine& line, std::ostream& out) {
    const TJobArgs args = ParseJobArgs(line, {"--period"}, 0);
    const int period = args.Number("--period", DefaultPeriodMs, 10, 3600000);
    TToolDriver driver(line);
    SetUpDriver(driver, line, args);
    CatchInterrupt();
    TMonitor monitor(driver, out);
    while (!Interrupted()) {
        monitor.Poll();
        SleepMs(period);
    }
    Call(driver, "Disconnect");
    return exOk;
}
