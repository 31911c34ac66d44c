#include "untState.h"

#include "untDriver.h"

bool TStatus::operator==(const TStatus& o) const {
    return Mains == o.Mains && Power12 == o.Power12 && Door == o.Door &&
           WatchdogEnabled == o.WatchdogEnabled && Mode == o.Mode && Relays == o.Relays &&
           ParamFlags == o.ParamFlags && ParamFlags2 == o.ParamFlags2;
}

TStatus StatusOf(const TDriver& driver) {
    TStatus status;
    status.Mains = driver.MBPowerSensor;
    status.Power12 = driver.MBPowerState;
    status.Door = driver.GetDoorLockOpened();
    status.WatchdogEnabled = driver.WatchDogEnabled;
    status.Mode = driver.Mode;
    status.Relays = driver.RelayStatus;
    status.ParamFlags = driver.ParamFlags;
    status.ParamFlags2 = driver.ParamFlags2;
    return status;
}

namespace {
void Flag(std::vector<TEvent>& events, const char* field, bool before, bool after,
          const char* set, const char* cleared) {
    if (before != after)
        events.push_back({after ? set : cleared, field, before, after});
}

void Number(std::vector<TEvent>& events, const char* field, int before, int after,
            const char* name) {
    if (before != after)
        events.push_back({name, field, before, after});
}
} // namespace

std::vector<TEvent> Changes(const TSnapshot& before, const TSnapshot& after) {
    std::vector<TEvent> events;
    Flag(events, "link", before.LinkUp, after.LinkUp, "link-up", "link-down");
    if (!before.Known || !after.Known)
        return events;
    const TStatus& a = before.Status;
    const TStatus& b = after.Status;
    Flag(events, "mains", a.Mains, b.Mains, "mains-back", "mains-lost");
    Flag(events, "power12", a.Power12, b.Power12, "power12-back", "power12-lost");
    Flag(events, "door", a.Door, b.Door, "door-opened", "door-closed");
    Number(events, "mode", a.Mode, b.Mode, "mode-changed");
    Number(events, "relays", a.Relays, b.Relays, "relays-changed");
    return events;
}

const std::vector<std::string>& EventNames() {
    static const std::vector<std::string> names = {
        "link-up",      "link-down",   "mains-lost",   "mains-back",   "power12-lost",
        "power12-back", "door-opened", "door-closed", "mode-changed", "relays-changed"};
    return names;
}
