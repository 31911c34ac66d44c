// The virtual board's state model: every command of the board's catalogue, its settings
// tables and its timed behaviour (relay pulses, button presses, delayed power-off, door lock,
// watchdog, restarts). It knows nothing of frames, ports or faults: the transport hands it
// request payloads and asks for the time of its next event.
#pragma once

#include "untProtocol.h"

#include <cstdint>
#include <memory>
#include <string>

// Milliseconds on a monotonic clock; the caller supplies the time, so the model is exact
// and can be driven without waiting.
using TMillis = std::int64_t;
// Microseconds on the same clock, for the line's timing: a byte at 115200 baud takes 87 us.
using TMicros = std::int64_t;

struct TBoardOptions {
    int baudRate = 2400;     // line speed at power-up
    int byteTimeoutMs = 100; // inter-byte time-out of the board's receiver
    std::uint16_t serialNumber = 1234;
    TMillis restartMs = 300;      // silence after a reset or after leaving program mode
    TMillis watchdogPeriodMs = 0; // > 0 overrides the period kept in the settings tables
    // 1 to 5: that settings table reports no rows on the line and refuses its cells there;
    // the board's own logic still reads its values. 0: none.
    int emptyTable = 0;
};

class TBoardModel {
public:
    explicit TBoardModel(const TBoardOptions& options, TMillis now = 0);
    ~TBoardModel();
    TBoardModel(const TBoardModel&) = delete;
    TBoardModel& operator=(const TBoardModel&) = delete;

    // Executes one request payload (command code and parameters) received at `now` and
    // returns the answer payload: the echoed code, the error byte and the answer data.
    // An empty result means the board stays silent (for example while it restarts).
    TBytes Execute(const TBytes& payload, TMillis now);

    // Runs every timed event due at or before `now`.
    void Advance(TMillis now);
    // Time of the next timed event, or -1 when none is pending.
    TMillis NextEvent() const;

    // The speed the board's receiver listens at now; frames at another speed are lost.
    int LineBaudRate() const;
    // The board's inter-byte time-out: a partial frame older than this is dropped.
    int ByteTimeoutMs() const;
    // True while the board restarts and hears nothing.
    bool Restarting(TMillis now) const;

    // Outside events, for the control interface.
    void Reset(TMillis now); // a reset as after power loss of the CPU
    void SetMainsPresent(bool present, TMillis now);
    // The motherboard's +12 V as the board senses it: off as when the supply fails (pending
    // power delays end with it); on only while mains are present. False: refused.
    bool SetPower12(bool on, TMillis now);
    // The door as the lock reports it, until changed again (no lock time runs out).
    void SetDoorOpen(bool open, TMillis now);
    // 1 to 5: that settings table shows no rows on the line from now on (as emptyTable);
    // 0: every table shows its rows.
    void SetEmptyTable(int table);

    // The state as "name=value" lines (flags, relays, mode, speed, counters such as
    // watchdog resets), for the control interface and the tests.
    std::string Describe(TMillis now) const;

private:
    struct TState;
    std::unique_ptr<TState> State;
};
