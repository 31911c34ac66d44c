// trelmo dump: a memory area of the board, block by block from 0, into a file of raw bytes.
#include "untToolDriver.h"
#include "untError.h"
#include "untFiles.h"
#include "untJobCommon.h"
#include "untJobProgress.h"
#include "untJobSystem.h"
#include "untJobs.h"
#include "untValues.h"

#include <iostream>

namespace {
struct TArea {
    const char* Name;
    int Code;
};
const TArea Areas[] = {{"data", memData}, {"program", memProgram}, {"eeprom", memEeprom}};

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

int AreaCode(const std::string& text) {
    for (const TArea& area : Areas)
        if (Lower(text) == area.Name)
            return area.Code;
    std::int32_t code = 0;
    for (const TArea& area : Areas)
        if (ParseLong(text, code) && code == area.Code)
            return code;
    throw EUsage("dump: the area is data, program or eeprom (0x30, 0x31, 0x32), not '" + text +
                 "'");
}

class TDump {
public:
    TDump(TDriver& driver, std::ostream& out) : Driver(driver), Out(out) {}

    std::string Why = "nothing read"; // when Run gives up
    TBytes Memory;                    // the blocks read so far

    bool Run(int area) {
        Driver.MemoryType = area;
        Call(Driver, "ReadDumpSize");
        Out << ResultLine(Driver, "ReadDumpSize") << std::endl;
        if (Driver.GetResultCode() != 0)
            return false;
        const unsigned count = Driver.BlockCount;
        Out << "BlockCount=" << count << std::endl;
        TProgress progress(std::cerr, ErrorIsTerminal(), "dump", count);
        progress.Show(0);
        for (unsigned n = 0; n < count; ++n) {
            if (!ReadBlock(n, progress))
                return false;
            progress.Show(n + 1);
        }
        progress.Finish();
        if (count > 0)
            Out << ResultLine(Driver, "ReadDump") << std::endl;
        return true;
    }

private:
    bool ReadBlock(unsigned n, TProgress& progress) {
        if (Interrupted())
            return Stop(progress, "interrupted before block " + std::to_string(n));
        Driver.BlockNumber = static_cast<std::uint16_t>(n);
        if (Call(Driver, "ReadDump") != 0) {
            progress.Finish();
            Out << ResultLine(Driver, "ReadDump") << " (block " << n << ')' << std::endl;
            return Stop(progress, "stopped at block " + std::to_string(n));
        }
        if (Driver.BlockNumber != n || Driver.GetDataBlock().size() != BlockSize)
            return Stop(progress, "block " + std::to_string(n) + " came back as block " +
                                      std::to_string(Driver.BlockNumber) + " of " +
                                      std::to_string(Driver.GetDataBlock().size()) + " bytes");
        Memory += Driver.GetDataBlock();
        return true;
    }

    bool Stop(TProgress& progress, const std::string& why) {
        progress.Finish();
        Why = why;
        return false;
    }

    TDriver& Driver;
    std::ostream& Out;
};

// Only a whole dump reaches the file, and it replaces the old one at once, so that a
// failure keeps the file as it was and no script takes a part for a dump.
bool SaveDump(const std::string& path, const std::string& name, const TBytes& memory,
              std::string& error) {
    try {
        ReplaceWholeFile(name, memory);
        return true;
    } catch (const EOSError& e) {
        error = "cannot write '" + path + "': " + SystemErrorText(e.ErrorCode);
    }
    return false;
}
} // namespace

int RunDump(const TCommandLine& line, std::ostream& out) {
    const TJobArgs args = ParseJobArgs(line, {}, 2);
    const int area = AreaCode(args.Operands[0]);
    const std::string& path = args.Operands[1];
    std::string name;
    if (!DriverFileName(path, name))
        return JobFailed("dump", "cannot write '" + path + "': a name beyond code page 1251");
    TToolDriver driver(line);
    SetUpDriver(driver, line, args);
    CatchInterrupt();
    TDump dump(driver, out);
    const bool ok = dump.Run(area);
    Call(driver, "Disconnect");
    if (!ok)
        return JobFailed("dump", dump.Why + "; '" + path + "' not written");
    std::string error;
    if (!SaveDump(path, name, dump.Memory, error))
        return JobFailed("dump", error);
    return exOk;
}
