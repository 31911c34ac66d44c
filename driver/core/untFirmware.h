// Writes a firmware image to the board: program mode, the image in 64-byte blocks numbered
// from 1, and the board back in main mode at the driver's own speed. Like the table transfer
// it works through a small interface that both the driver object's automation interface and
// the native driver satisfy, and tells its front end (the library's dialog, Skavin's page, the
// command-line tool) through another.
#pragma once

#include "untClock.h"

#include <cstdint>
#include <functional>
#include <string>

// Block `number` (from 1) of an image: its 64 bytes at (number - 1) * 64, the part past the
// image's end zero bytes.
std::string FirmwareBlock(const std::string& image, int number);
// The image's 64-byte blocks, a last partial one counted.
int FirmwareBlockCount(const std::string& image);

// The members of the driver the writer uses. Data is cp1251; each method returns its result
// code, 0 for success.
class TFirmwareDriver {
public:
    virtual ~TFirmwareDriver() = default;
    virtual void SetDataBlock(const std::string& value) = 0;
    virtual void SetBlockNumber(int value) = 0;
    virtual int BaudRate() = 0;
    virtual void SetBaudRate(int value) = 0;
    virtual int Timeout() = 0;
    virtual void SetDeviceBaudRate(int value) = 0;
    virtual void SetDeviceTimeout(int value) = 0;
    virtual int EnterProgramMode() = 0;
    virtual int WriteProgramBlock() = 0;
    virtual int ExitProgramMode() = 0;
    virtual int OpenPort() = 0;
    virtual int ReadStatus() = 0;
    virtual int SetExchangeParam() = 0;
};

// The steps around the blocks. Restart is the wait for the board's first answer after it
// left program mode.
enum class TFirmwareStep { EnterProgramMode, ExitProgramMode, Restart, SetExchangeParam };
// The driver method whose result a step reports: Restart's is ReadStatus.
const char* FirmwareStepMethod(TFirmwareStep step);

// How the writer shows its progress, asks whether to go on and reports failures.
class TFirmwareUi {
public:
    virtual ~TFirmwareUi() = default;
    // Every step's result code; `failed` when the update ends there. Restart's is NoLink when
    // the board stayed silent for the whole wait.
    virtual void StepEnded(TFirmwareStep step, int code, bool failed) = 0;
    virtual void StartProgress(int blocks) = 0;
    virtual void BlockStarted(int number) = 0;
    // Also lets the user's cancel request through.
    virtual void BlockWritten(int number) = 0;
    // Asked before every try of a block.
    virtual bool CancelRequested() = 0;
    // Try `tries` of block `number` failed with `code`: true to send it again.
    virtual bool RetryBlock(int number, int tries, int code) = 0;
    virtual void BlocksWritten(int blocks) = 0;
    // The write stopped at block `number`, still unwritten after `tries` failed tries (none when
    // cancelled before its first): cancelled, or not sent again.
    virtual void BlocksAbandoned(int number, int tries, bool cancelled) = 0;
    // Between two status requests while the board restarts.
    virtual void Wait(int ms) = 0;
};

// When the board counts as back after its restart: once it answers at all (the library's
// dialog, where SetExchangeParam then tells what is wrong) or only with success (the tool).
enum class TRestartAnswer { Any, Success };

class TFirmwareWriter {
public:
    using TClock = std::function<std::uint32_t()>;

    TFirmwareWriter(TFirmwareDriver& driver, TFirmwareUi& ui, TClock clock = TickCount)
        : Driver(driver), Ui(ui), Clock(std::move(clock)) {}

    // Program mode, the blocks, main mode and the driver's exchange settings on the board.
    // False where a step fails, a block is given up or the user cancels; unless every block
    // went, the board stays in program mode, where the update can run again (leaving it would
    // start a half-written program). A driver call that throws passes through; the driver's
    // own speed is restored all the same.
    bool Update(const std::string& image, TRestartAnswer back = TRestartAnswer::Success);
    // The blocks alone, in whatever mode the board is.
    bool WriteBlocks(const std::string& image);

private:
    bool Step(TFirmwareStep step, int code);
    bool WriteBlock(const std::string& image, int number);
    bool RestoreExchange(TRestartAnswer back);
    bool AwaitRestart(TRestartAnswer back);

    TFirmwareDriver& Driver;
    TFirmwareUi& Ui;
    TClock Clock;
};
