// The service's one driver: every exchange with the board goes through it, so it counts them
// (for the metrics) and carries out the exchanges that `trelmo` beside the service forwards.
#pragma once

#include "untDriver.h"
#include "untMembers.h"

#include <cstdint>
#include <map>
#include <string>

struct TDriverCounters {
    std::uint64_t Exchanges = 0;        // requests that went out, answered or not
    std::uint64_t ExchangesFailed = 0;  // of them, those without a good answer
    double ExchangeSeconds = 0;         // the exchanges' time in all
    double LastExchangeSeconds = 0;
    std::uint64_t Calls = 0;            // operations run (the service's own and its clients')
    std::map<int, std::uint64_t> Failures; // non-zero results of those operations, by code
};

// What a forwarded exchange gave: the answer payload, or the driver's failure.
struct TForwarded {
    int Code = 0;          // 0, or the driver code the exchange failed with
    std::string Text;      // cp1251, the failure's text
    TBytes Answer;         // the answer payload when Code is 0
    std::string Output, Input; // the frames in hex, as the Output and Input properties
    std::uint16_t Time = 0;    // ms, as ExecutionTime
};

class TDaemonDriver : public TDriver {
public:
    // A method of the member table run as a client's call runs it, counted.
    int Invoke(const TMember& method);
    // A method by its English name (the service's own calls: ReadStatus, ResetWatchDog...).
    int Invoke(const char* method);

    // One exchange for another driver: `baudRate` is that driver's line speed (a request at
    // another speed than the service's line is not heard, as on the wire: code -1), the
    // time-outs are its own for this exchange only.
    TForwarded Forward(const TBytes& payload, int baudRate, int timeout, int commandTimeout);

    const TDriverCounters& Counters() const { return Stats; }

protected:
    TBytes Exchange(const TBytes& payload) override;

private:
    TDriverCounters Stats;
};
