#include "untFirmware.h"

#include "untDriverCode.h"
#include "untProtocol.h"

namespace {
// Leaving program mode restarts the board with its factory exchange settings.
const int RestartBaudRate = 2400;
const std::uint32_t RestartLimitMs = 3000;
const int RestartPollMs = 50;
} // namespace

std::string FirmwareBlock(const std::string& image, int number) {
    std::string block;
    if (number >= 1) {
        const std::size_t offset = static_cast<std::size_t>(number - 1) * BlockSize;
        if (offset < image.size())
            block = image.substr(offset, BlockSize);
    }
    block.resize(BlockSize, '\0');
    return block;
}

int FirmwareBlockCount(const std::string& image) {
    return static_cast<int>((image.size() + BlockSize - 1) / BlockSize);
}

const char* FirmwareStepMethod(TFirmwareStep step) {
    switch (step) {
    case TFirmwareStep::EnterProgramMode:
        return "EnterProgramMode";
    case TFirmwareStep::ExitProgramMode:
        return "ExitProgramMode";
    case TFirmwareStep::Restart:
        return "ReadStatus";
    case TFirmwareStep::SetExchangeParam:
        return "SetExchangeParam";
    }
    return "";
}

bool TFirmwareWriter::Update(const std::string& image, TRestartAnswer back) {
    return Step(TFirmwareStep::EnterProgramMode, Driver.EnterProgramMode()) &&
           WriteBlocks(image) &&
           Step(TFirmwareStep::ExitProgramMode, Driver.ExitProgramMode()) &&
           RestoreExchange(back);
}

bool TFirmwareWriter::WriteBlocks(const std::string& image) {
    const int blocks = FirmwareBlockCount(image);
    Ui.StartProgress(blocks);
    for (int number = 1; number <= blocks; ++number)
        if (!WriteBlock(image, number))
            return false;
    Ui.BlocksWritten(blocks);
    return true;
}

bool TFirmwareWriter::Step(TFirmwareStep step, int code) {
    Ui.StepEnded(step, code, code != 0);
    return code == 0;
}

// A block sent again is harmless: it lands at its number whether or not a lost answer had
// already confirmed it.
bool TFirmwareWriter::WriteBlock(const std::string& image, int number) {
    const std::string data = FirmwareBlock(image, number);
    for (int tries = 0;;) {
        if (Ui.CancelRequested()) {
            Ui.BlocksAbandoned(number, tries, true);
            return false;
        }
        Ui.BlockStarted(number);
        Driver.SetDataBlock(data);
        Driver.SetBlockNumber(number);
        const int code = Driver.WriteProgramBlock();
        if (code == 0) {
            Ui.BlockWritten(number);
            return true;
        }
        if (!Ui.RetryBlock(number, ++tries, code)) {
            Ui.BlocksAbandoned(number, tries, false);
            return false;
        }
    }
}

// The board restarts at 2400 baud: found there, it gets the driver's own speed and byte
// time-out again, and the driver keeps its speed whatever happens.
bool TFirmwareWriter::RestoreExchange(TRestartAnswer back) {
    const int kept = Driver.BaudRate();
    bool ok = false;
    try {
        Driver.SetBaudRate(RestartBaudRate);
        Driver.OpenPort();
        ok = AwaitRestart(back);
        if (ok) {
            Driver.SetDeviceTimeout(Driver.Timeout());
            Driver.SetDeviceBaudRate(kept);
            ok = Step(TFirmwareStep::SetExchangeParam, Driver.SetExchangeParam());
        }
    } catch (...) {
        // A failed automation call: passed on, with the speed put back first.
        Driver.SetBaudRate(kept);
        throw;
    }
    Driver.SetBaudRate(kept);
    return ok;
}

bool TFirmwareWriter::AwaitRestart(TRestartAnswer back) {
    const std::uint32_t start = Clock();
    int code = 0;
    while ((code = Driver.ReadStatus()) == ecNoLink && Clock() - start <= RestartLimitMs)
        Ui.Wait(RestartPollMs);
    const bool answered =
        code == 0 || (back == TRestartAnswer::Any && code != ecNoLink);
    Ui.StepEnded(TFirmwareStep::Restart, code, !answered);
    return answered;
}
