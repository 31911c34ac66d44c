// trelmo firmware: program mode, the image in 64-byte blocks numbered from 1, and back to
// the board's main firmware at the driver's own speed.
#include "driver/core/untConst.h"
#include "untToolDriver.h"
#include "untFirmware.h"
#include "untJobCommon.h"
#include "untJobProgress.h"
#include "untJobSystem.h"
#include "untJobs.h"
#include "untNativeFirmware.h"

#include <iostream>
#include <memory>

namespace {
const int DefaultRetries = 3;
const int RetryPauseMs = 100;
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

// Every step's result on standard output, the progress and the reasons on standard error;
// a failed block is sent again up to the retry count without asking.
class TUpdate : public TFirmwareUi {
public:
    TUpdate(TDriver& driver, std::ostream& out, const TBytes& image, int retries)
        : Driver(driver), Out(out), Image(image), Retries(retries) {}

    bool Run() {
        TNativeFirmware firmware(Driver);
        return FitsTheBoard() && TFirmwareWriter(firmware, *this).Update(Image);
    }

private:
    // Checked before program mode, so that an image too big never leaves the board half
    // written; a board that cannot tell (one left in program mode answers no dump) may
    // still refuse a block later.
    bool FitsTheBoard() {
        const int blocks = FirmwareBlockCount(Image);
        Driver.MemoryType = memProgram;
        if (Call(Driver, "ReadDumpSize") != 0 || blocks <= Driver.BlockCount)
            return true;
        JobFailed("firmware", "the image needs " + std::to_string(blocks) +
                                  " blocks; the board's program memory holds " +
                                  std::to_string(Driver.BlockCount) + "; nothing written");
        return false;
    }

    void StepEnded(TFirmwareStep step, int, bool failed) override {
        Out << ResultLine(Driver, FirmwareStepMethod(step)) << std::endl;
        if (step == TFirmwareStep::Restart && failed)
            JobFailed("firmware", "the board did not come back after its restart; the firmware "
                                  "is written, the exchange settings are not restored");
    }

    void StartProgress(int blocks) override {
        Progress = std::make_unique<TProgress>(std::cerr, ErrorIsTerminal(), "firmware",
                                               static_cast<unsigned>(blocks));
        Progress->Show(0);
    }

    void BlockStarted(int) override {}

    void BlockWritten(int number) override { Progress->Show(static_cast<unsigned>(number)); }

    bool CancelRequested() override { return Interrupted(); }

    bool RetryBlock(int number, int tries, int) override {
        Progress->Finish();
        Out << ResultLine(Driver, "WriteProgramBlock") << " (block " << number << ", try "
            << tries << " of " << Retries + 1 << ')' << std::endl;
        if (tries > Retries || Interrupted())
            return false;
        SleepMs(RetryPauseMs);
        return true;
    }

    void BlocksWritten(int blocks) override {
        Progress.reset();
        Out << ResultLine(Driver, "WriteProgramBlock") << "\nBlockNumber=" << blocks << std::endl;
    }

    void BlocksAbandoned(int number, int tries, bool cancelled) override {
        Progress.reset();
        const std::string why = cancelled && tries == 0
                                    ? "interrupted before block " + std::to_string(number)
                                    : BlockFailure(number, tries);
        JobFailed("firmware", why + "; the board stays in program mode: run the update again");
    }

    void Wait(int ms) override { SleepMs(ms); }

    // Only the board's own error codes are refusals; the driver's are the link's.
    std::string BlockFailure(int number, int tries) const {
        const std::string block = "block " + std::to_string(number);
        const std::string count =
            " (" + std::to_string(tries) + (tries == 1 ? " try)" : " tries)");
        const int code = Driver.GetResultCode();
        if (Interrupted())
            return "interrupted at " + block;
        if (code > 0)
            return block + " was refused" + count;
        if (code == ecNoLink)
            return "the board did not answer " + block + count;
        return "the link was lost at " + block + count;
    }

    TDriver& Driver;
    std::ostream& Out;
    const TBytes& Image;
    const int Retries;
    std::unique_ptr<TProgress> Progress;
};
} // namespace

int RunFirmware(const TCommandLine& line, std::ostream& out) {
    const TJobArgs args = ParseJobArgs(line, {"--retries"}, 1);
    const int retries = args.Number("--retries", DefaultRetries, 0, 100);
    TBytes image;
    std::string error;
    if (!ReadImage(args.Operands[0], image, error))
        return JobFailed("firmware", error + "; nothing sent");
    TToolDriver driver(line);
    SetUpDriver(driver, line, args);
    CatchInterrupt();
    const bool ok = TUpdate(driver, out, image, retries).Run();
    Call(driver, "Disconnect");
    return ok ? exOk : exFailed;
}
