// The work the benchmarks time, each written twice: through the driver object and through
// the raw port with the same frames, so the two differ only by the driver's own cost.
// Each function does its work once and returns the number of exchanges; a failed exchange
// throws std::runtime_error, as the figures of a failing link would mean nothing.
#pragma once

#include "untDriver.h"
#include "untPaired.h"
#include "untRawPort.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace bench {

// 64 KB of firmware, 1024 blocks of the board's block size.
TBytes FirmwareImage();

// The driver object as the benchmarks use it: the default time-outs and no log, whatever
// the saved settings say.
void Prepare(TDriver& driver);

std::size_t StatusRaw(TRawPort& port);
std::size_t StatusDriver(TDriver& driver);
// One exchange of a driver work: runs `operation` and returns its result, which must be 0 or
// `accept` (a board error the work handles itself). Throws std::runtime_error otherwise.
using TDriverCall = std::function<int(const char* what, int (TDriver::*operation)(), int accept)>;
// Runs the operation and checks it, nothing more.
int PlainCall(TDriver& driver, const char* what, int (TDriver::*operation)(), int accept);

// Program mode, every block of the image, back to the main mode. The board must restart
// at once (trelmo-board --restart-ms 0), or the next round finds it deaf.
std::size_t FirmwareDriver(TDriver& driver, const TBytes& image);
// FirmwareDriver with the first `blocks` blocks only, each exchange through `call`.
std::size_t WriteFirmware(TDriver& driver, const TBytes& image, std::size_t blocks,
                          const TDriverCall& call);
// One round of the firmware benchmark. A whole image per side and turn would last so long
// that a load coming and going on the machine falls on one side only; here both write the
// image in one program-mode session, taking turns block by block (every block reaches the
// board twice, with the same bytes). One side enters program mode, the other leaves it, and
// they swap from round to round.
void FirmwarePaired(TRawPort& port, TDriver& driver, const TBytes& image, TPairedMeter& meter);
// Every table's structure, every field's structure and every row's value, up to the table
// the board does not know.
std::size_t TablesRaw(TRawPort& port);
std::size_t TablesDriver(TDriver& driver);
// TablesDriver with each exchange through `call`, ending early once `enough` says so.
std::size_t ReadAllTables(TDriver& driver, const TDriverCall& call,
                          const std::function<bool()>& enough);

// One round of a paired benchmark, on the raw port and the open driver of one board.
using TPairedRound = std::function<void(TPairedMeter&, TRawPort&, TDriver&)>;
// Rounds of whole works, one per side in turn: status and tables.
TPairedRound WholeRounds(std::function<std::size_t(TRawPort&)> raw,
                         std::function<std::size_t(TDriver&)> driver);
TPairedRound FirmwareRounds(const TBytes& image);

// Milliseconds from each of `samples` ReadStatus calls to a silent board until "no link".
std::vector<double> NoLinkSamples(TDriver& driver, int commandTimeoutMs, int samples);

double Median(std::vector<double> values);
double Max(const std::vector<double>& values);

} // namespace bench
