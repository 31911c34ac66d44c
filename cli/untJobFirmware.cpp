// trelmo firmware: program mode, the image in 64-byte blocks numbered from 1, and back to
// the board's main firmware at the driver's own speed.
#include "untClock.h"
#include "driver/core/untConst.h"
#include "untDriver.h"
#include "untJobCommon.h"
#include "untJobProgress.h"
#include "untJobSystem.h"
#include "untJobs.h"

#include <iostream>

namespace {
const int DefaultRetries = 3;
const int RetryPauseMs = 100;
// Leaving program mode restarts the board with its factory exchange settings.
const int RestartBaudRate = 2400;
const std::uint32_t RestartLimitMs = 3000;
const int RestartPollMs = 50;
// The ATmega128's flash, the board's whole program memory: no image for it is larger, so
// nothing larger is read.
const std::size_t MaxImageSize = 128 * 1024;

bool ReadImage(const std::string& path, TBytes& image, std::string& error) {
    if (!ReadFileHead(path, MaxImageSize, image))
        error = "cannot read '" + path + "': " + LastFileError();
    else if (image.empty())
        error = "'" + path + "' is empty";
    else if (image.size() > MaxImageSize)
        error = "'" + path + "' is larger than the board's program memory of " +
                std::to_string(MaxImageSize) + " bytes";
    return error.empty();
}

class TUpdate {
public:
    TUpdate(TDriver& driver, std::ostream& out, const TBytes& image, int retries)
        : Driver(driver), Out(out), Image(image), Retries(retries),
          Blocks((image.size() + BlockSize - 1) / BlockSize) {}

    bool Run() {
        return FitsTheBoard() && Step("EnterProgramMode") && WriteBlocks() &&
               Step("ExitProgramMode") && Restore();
    }

private:
    bool Step(const char* method) {
        Call(Driver, method);
        Out << ResultLine(Driver, method) << std::endl;
        return Driver.GetResultCode() == 0;
    }

    // Checked before program mode, so that an image too big never leaves the board half
    // written; a board that cannot tell (one left in program mode answers no dump) may
    // still refuse a block later.
    bool FitsTheBoard() {
        Driver.MemoryType = memProgram;
        if (Call(Driver, "ReadDumpSize") != 0 || Blocks <= Driver.BlockCount)
            return true;
        JobFailed("firmware", "the image needs " + std::to_string(Blocks) +
                                  " blocks; the board's program memory holds " +
                                  std::to_string(Driver.BlockCount) + "; nothing written");
        return false;
    }

    bool WriteBlocks() {
        TProgress progress(std::cerr, ErrorIsTerminal(), "firmware", static_cast<unsigned>(Blocks));
        progress.Show(0);
        for (std::size_t n = 1; n <= Blocks; ++n) {
            if (Interrupted())
                return Abandon(progress, "interrupted before block " + std::to_string(n));
            if (!WriteBlock(n, progress))
                return Abandon(progress, BlockFailure(n));
            progress.Show(static_cast<unsigned>(n));
        }
        progress.Finish();
        Out << ResultLine(Driver, "WriteProgramBlock") << "\nBlockNumber=" << Blocks << std::endl;
        return true;
    }

    bool WriteBlock(std::size_t n, TProgress& progress) {
        TBytes block = Image.substr((n - 1) * BlockSize, BlockSize);
        block.resize(BlockSize, '\0');
        Driver.SetDataBlock(block);
        Driver.BlockNumber = static_cast<std::uint16_t>(n);
        // A rewrite is harmless: the block lands at its number whether or not the lost
        // answer had already confirmed it.
        for (Tries = 1;; ++Tries) {
            if (Call(Driver, "WriteProgramBlock") == 0)
                return true;
            progress.Finish();
            Out << ResultLine(Driver, "WriteProgramBlock") << " (block " << n << ", try " << Tries
                << " of " << Retries + 1 << ')' << std::endl;
            if (Tries > Retries || Interrupted())
                return false;
            SleepMs(RetryPauseMs);
        }
    }

    // Only the board's own error codes are refusals; the driver's are the link's.
    std::string BlockFailure(std::size_t n) const {
        const std::string block = "block " + std::to_string(n);
        const std::string tries = " (" + std::to_string(Tries) + (Tries == 1 ? " try)" : " tries)");
        const int code = Driver.GetResultCode();
        if (Interrupted())
            return "interrupted at " + block;
        if (code > 0)
            return block + " was refused" + tries;
        if (code == ecNoLink)
            return "the board did not answer " + block + tries;
        return "the link was lost at " + block + tries;
    }

    bool Abandon(TProgress& progress, const std::string& why) {
        progress.Finish();
        JobFailed("firmware", why + "; the board stays in program mode: run the update again");
        return false;
    }

    // The board restarts at 2400 baud; once it answers there, its exchange settings go back
    // to the driver's, and the driver keeps its own speed whatever happens.
    bool Restore() {
        const int kept = Driver.GetBaudRate();
        Driver.SetBaudRate(RestartBaudRate);
        Call(Driver, "OpenPort");
        bool ok = AwaitRestart();
        if (!ok)
            JobFailed("firmware", "the board did not come back after its restart; the firmware "
                                  "is written, the exchange settings are not restored");
        if (ok) {
            Driver.DeviceTimeout = Driver.GetTimeout();
            Driver.DeviceBaudRate = kept;
            ok = Step("SetExchangeParam");
        }
        Driver.SetBaudRate(kept);
        return ok;
    }

    bool AwaitRestart() {
        const std::uint32_t start = TickCount();
        while (Call(Driver, "ReadStatus") == ecNoLink && TickCount() - start <= RestartLimitMs)
            SleepMs(RestartPollMs);
        Out << ResultLine(Driver, "ReadStatus") << std::endl;
        return Driver.GetResultCode() == 0;
    }

    TDriver& Driver;
    std::ostream& Out;
    const TBytes& Image;
    const int Retries;
    const std::size_t Blocks;
    int Tries = 0; // of the block being written
};
} // namespace

int RunFirmware(const TCommandLine& line, std::ostream& out) {
    const TJobArgs args = ParseJobArgs(line, {"--retries"}, 1);
    const int retries = args.Number("--retries", DefaultRetries, 0, 100);
    TBytes image;
    std::string error;
    if (!ReadImage(args.Operands[0], image, error))
        return JobFailed("firmware", error + "; nothing sent");
    TDriver driver;
    SetUpDriver(driver, line, args);
    CatchInterrupt();
    const bool ok = TUpdate(driver, out, image, retries).Run();
    Call(driver, "Disconnect");
    return ok ? exOk : exFailed;
}
