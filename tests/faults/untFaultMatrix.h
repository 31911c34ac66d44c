// The fault matrix: every fault the virtual board can put on the line, against a set of the
// driver's operations that covers each answer decoder of the command catalogue and each kind
// of operation. One source
// for the native test and the Windows programs run under Wine; only the way to the board
// differs (untMatrixBoardPosix.cpp, untMatrixBoardWin.cpp).
#pragma once

#include "untDriver.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace faultmatrix {

// The virtual board as the matrix reaches it.
class TBoard {
public:
    virtual ~TBoard() = default;
    // The reply to one control command: its lines up to OK, ERR or END.
    virtual std::string Command(const std::string& line) = 0;
    // Points a driver at the board's line.
    virtual void Attach(TDriver& driver) = 0;
    // The board's trace for a failure report; empty where the test runner shows it.
    virtual std::string Trace() { return std::string(); }
};

// Takes the platform's arguments (on Windows the two COM ports); false after printing the
// usage when they do not fit.
bool SetUpBoard(int argc, char** argv);
// The board of this process; where the test starts it itself, at the first call.
TBoard& Board();
// The result of an operation on a device that vanished under an open port.
extern const int GoneCode;

struct TOperation {
    const char* Name;
    std::uint8_t Code;                     // a command of the catalogue
    std::function<void(TDriver&)> Prepare; // inputs, and the structure a value step needs
    std::function<int(TDriver&)> Run;
    std::function<void(TDriver&)> Spoil; // outputs set to values no answer gives
    std::function<std::string(const TDriver&)> Outputs;
    std::size_t ExtraData = 0; // what the answer to these inputs needs beyond the catalogue's
};

// The answer data the operation's decoder needs; fewer are -5.
std::size_t MinData(const TOperation& operation);

// What the test does after a case, before the operation must succeed again.
enum class TAfter {
    Nothing,
    Flush,   // the rest of a slow answer would still trickle in: reset the board
    Restart, // wait for the board's restart to end
    Return,  // the device comes back; the driver reconnects
};

const int WholeFrame = -1; // Input holds one whole frame, as long as its header announces

struct TFault {
    const char* Name;
    const char* Control;  // the board command; a fault is restricted to the operation's code
    int Code;             // result code; 0 where the operation needs no data but loses them
    bool Framed;          // the answer was read whole: the log shows it
    bool Decoded;         // the answer's data reached the decoder
    bool LosesData;       // the answer keeps one byte less than the decoder needs, or none
    int InputBytes;       // bytes in Input, or WholeFrame
    const char* InputHex; // what Input starts with
    int CommandTimeout;   // for this case, 0: the matrix's
    int MinMs, MaxMs;     // bounds of the operation's time, 0: none
    TAfter After;
    int ByteTimeout = 0; // for this case, 0: the matrix's
};

const std::vector<TOperation>& Operations();
const std::vector<TFault>& Faults();

// The line settings of the matrix: short time-outs, so silent cases end quickly.
const int ByteTimeoutMs = 100;
const int CommandTimeoutMs = 300;
void Configure(TDriver& driver);

// The control line that arms `fault` for `operation`, whose clean answer had `dataSize`
// bytes of data.
std::string ControlLine(const TFault& fault, const TOperation& operation, std::size_t dataSize);
// The fixed result text of a code, cp1251.
std::string ResultText(int code);
// The log text with the time stamps taken off the lines' beginnings.
std::string WithoutStamps(const std::string& log);
// The command block the log must show, without time stamps.
std::string CommandBlock(const TOperation& operation, const TBytes& request, const TBytes& answer,
                         int code, const std::string& text);
// The payload of a frame given as the driver's hex text; empty when it holds no whole header.
TBytes FramePayload(const std::string& hex);
// The board has ended its restart and its relay pulse, which the flag bytes report: an
// earlier case must not change what the next one reads. False after a generous limit.
bool WaitForQuietBoard(TBoard& board);

} // namespace faultmatrix
