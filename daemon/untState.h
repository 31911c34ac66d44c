// What the service knows of the board between two polls, and the changes its subscribers and
// hooks hear of. One definition of a change, so an event and a hook never disagree.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TDriver;

// One ReadStatus, as far as the service watches it.
struct TStatus {
    bool Mains = false;   // 220 V present (MBPowerSensor)
    bool Power12 = false; // +12 V on the motherboard (MBPowerState)
    bool Door = false;    // door lock open (DoorLockOpened)
    bool WatchdogEnabled = false;
    int Mode = 0;
    int Relays = 0;
    int ParamFlags = 0, ParamFlags2 = 0;
    bool operator==(const TStatus& other) const;
    bool operator!=(const TStatus& other) const { return !(*this == other); }
};

// The driver's registers after a successful ReadStatus.
TStatus StatusOf(const TDriver& driver);

struct TSnapshot {
    bool LinkUp = false;
    bool Known = false; // a status has been read since the start: Status means something
    TStatus Status;
};

// Event names: "link-up", "link-down", "mains-lost", "mains-back", "power12-lost",
// "power12-back", "door-opened", "door-closed", "mode-changed", "relays-changed".
struct TEvent {
    std::string Name;
    std::string Field; // "link", "mains", "power12", "door", "mode", "relays"
    std::int64_t Old = 0, New = 0;
};

// The events between two snapshots, link first. The first known status after the start
// gives no status events (nothing changed that anyone saw); a link change always counts.
std::vector<TEvent> Changes(const TSnapshot& before, const TSnapshot& after);

// Every event name, for the configuration's checks and the help.
const std::vector<std::string>& EventNames();
