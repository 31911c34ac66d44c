// The wire-limit figures: whole transfers through the driver against a board that keeps the
// line's pace (trelmo-board --line-timing), each set against the least time its frames need:
// every byte both ways at 10 bits at the line rate, plus the board's processing delay per
// exchange. The frames are counted as the driver sent and got them, not as the protocol says
// they should be. A ratio (wire / driver) of 1.0 is a driver that never keeps the line idle.
#pragma once

#include "untDriver.h"

#include <cstddef>
#include <string>
#include <vector>

namespace bench {

// The board's delay between a request's last byte and its answer's first in these runs
// (trelmo-board --process-us).
const int WireProcessUs = 2000;
const double WireTarget = 0.97;
// The speeds measured unless the caller chooses.
const std::vector<int> DefaultWireBaudRates = {2400, 115200};
const char* const WireHeading =
    "wire limit: whole transfers against a board at the line's pace, ratio = wire / driver";

// The exchanges of one transfer on the line: their frames' bytes and times.
class TWireAccount {
public:
    TWireAccount(int baudRate, int processUs) : BaudRate(baudRate), ProcessUs(processUs) {}

    // The least time of one exchange of `frameBytes` bytes both ways.
    double WireSeconds(std::size_t frameBytes) const;
    // The exchange the driver has just made, `seconds` long by the caller's clock: its
    // request and its answer as the driver keeps them (GetOutput, GetInput).
    void Add(const TDriver& driver, double seconds);
    void Add(std::size_t frameBytes, double seconds);

    std::size_t Exchanges() const { return Excess.size(); }
    std::size_t Bytes() const { return FrameBytes; }
    double WireSeconds() const { return Wire; }
    // How much longer than on the wire each exchange took, in microseconds.
    const std::vector<double>& ExcessUs() const { return Excess; }

private:
    int BaudRate;
    int ProcessUs;
    std::size_t FrameBytes = 0;
    double Wire = 0;
    std::vector<double> Excess;
};

// The bytes of a frame written in the driver's hex form ("02 00 00 01 11 10 ").
std::size_t HexBytes(const std::string& hex);

struct TWireResult {
    std::string Work;
    int BaudRate = 0;
    std::size_t Exchanges = 0, Bytes = 0;
    double DriverSeconds = 0, WireSeconds = 0;
    double MedianExcessUs = 0, MaxExcessUs = 0;
    double Ratio() const { return DriverSeconds > 0 ? WireSeconds / DriverSeconds : 0; }
};

struct TWireOptions {
    bool Quick = false; // a short cut of each transfer: a smoke run
    int ProcessUs = WireProcessUs;
};

// Each on a driver open at its speed to a line-timing board at the same speed; a failed
// exchange throws std::runtime_error. The firmware needs a board that restarts at once
// (--restart-ms 0); it sets the board back to the driver's speed afterwards, as new
// firmware starts at 2400 baud.
TWireResult WireFirmware(TDriver& driver, const TBytes& image, const TWireOptions& options);
TWireResult WireTables(TDriver& driver, const TWireOptions& options);
// The largest dump area, every block.
TWireResult WireDump(TDriver& driver, const TWireOptions& options);
TWireResult WireStatus(TDriver& driver, const TWireOptions& options);
// The status exchanges through the raw loop instead: what the platform, the line and the
// board leave of the wire's time without any driver, the floor of the driver's figures.
TWireResult WireStatusRaw(const std::string& device, int baudRate, const TWireOptions& options);

// All four in turn on the driver open on `device`, then the raw floor (the driver's port is
// closed meanwhile, as the line is exclusive), each printed as it ends.
std::vector<TWireResult> RunWire(TDriver& driver, const std::string& device, const TBytes& image,
                                 const TWireOptions& options);
void PrintWire(const TWireResult& result);

// "2400,115200" (blanks or commas between) or "none": the speeds; false when a value is no
// speed the board has.
bool ParseBaudRates(const std::string& text, std::vector<int>& rates);

} // namespace bench
