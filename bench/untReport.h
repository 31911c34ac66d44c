// The figures both benchmark programs print after their runs, in one layout, so the native
// and the Windows results read side by side (and scripts/bench can pick them out).
#pragma once

#include "untDriver.h"
#include "untHeapCount.h"
#include "untRawPort.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace bench {

const double RatioTarget = 0.9;
// The command-line tool, process start included, against the raw loop.
const double ToolRatioTarget = 0.95;
// How much later than CommandTimeout + 4 ms the "no link" result may come.
const double NoLinkSlackMs = 15;

void PrintHeading(const std::string& title);
// Exchanges per second of the raw loop and of the measured side (the driver, or the COM
// object over it), and their ratio, measured in the same run; flagged when below `target`.
void PrintRatio(const std::string& work, double rawPerSecond, double measuredPerSecond,
                double ratio, const char* measured = "driver", double target = RatioTarget);
// The times from a request to a silent board until the "no link" result.
void PrintNoLink(int commandTimeoutMs, const std::vector<double>& samplesMs);
void PrintHeap(const std::string& what, const THeapCount& held);
void PrintPerExchange(const std::string& work, const THeapCount& used, std::size_t exchanges);

// The heap one driver object holds through its life, and what each kind of exchange
// allocates, the raw loop's for comparison. `make` gives a driver set up for the board's
// port, not yet open.
void MeasureDriverHeap(const std::function<std::unique_ptr<TDriver>()>& make, TRawPort& raw,
                       const TBytes& image);

} // namespace bench
