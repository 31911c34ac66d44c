// trelmo search: which port has the board, and at which speed. Every port is tried at every
// speed in turn with a driver object of the search's own, as the driver's search dialog does.
#include "untCodePage.h"
#include "untComm.h"
#include "untToolDriver.h"
#include "untJobCommon.h"
#include "untJobProgress.h"
#include "untJobSystem.h"
#include "untJobs.h"
#include "driver/core/untUtil.h"
#include "untValues.h"

#include <iostream>

namespace {
const std::vector<int> AllSpeeds = {2400, 4800, 9600, 19200, 38400, 57600, 115200};

struct TTarget {
    std::string Name; // UTF-8
    int Number = 0;
    std::string Device; // cp1251; empty: the port of Number
};

std::string NameOfPort(int number, const std::vector<TSerialPortInfo>& known) {
    for (const TSerialPortInfo& port : known)
        if (port.Number == number)
            return Cp1251ToUtf8(port.Name);
    return "COM" + std::to_string(number);
}

std::vector<TTarget> Targets(const TCommandLine& line, const TJobArgs& args) {
    if (!line.Device.empty() && args.Has("--ports"))
        throw EUsage("search: give either --device or --ports");
    if (!line.Device.empty())
        return {{Cp1251ToUtf8(line.Device), 0, line.Device}};
    std::vector<TSerialPortInfo> ports;
    TComm::GetSerialPorts(ports);
    std::vector<TTarget> targets;
    if (args.Has("--ports")) {
        for (const int number : args.Numbers("--ports", 1, 255))
            targets.push_back({NameOfPort(number, ports), number, ""});
        return targets;
    }
    for (const TSerialPortInfo& port : ports)
        targets.push_back({Cp1251ToUtf8(port.Name), port.Number, ""});
    return targets;
}

std::vector<int> Speeds(const TJobArgs& args) {
    if (!args.Has("--speeds"))
        return AllSpeeds;
    std::vector<int> speeds = args.Numbers("--speeds", 1, 115200);
    for (const int speed : speeds)
        if (!IsValidBaudRate(speed))
            throw EUsage("search: the board's speeds are 2400, 4800, 9600, 19200, 38400, "
                         "57600 and 115200, not " +
                         std::to_string(speed));
    return speeds;
}

class TSearch {
public:
    TSearch(TDriver& driver, std::ostream& out, std::vector<int> speeds)
        : Driver(driver), Out(out), Speeds(std::move(speeds)),
          Progress(std::cerr, ErrorIsTerminal(), "search", 0) {}

    // The port's line: where the board answered and what it is, or why not.
    bool Probe(const TTarget& target) {
        if (target.Device.empty())
            Driver.SetPortNumber(target.Number);
        else
            Driver.SetDevicePath(target.Device);
        Call(Driver, "ClosePort");
        std::string found;
        bool answered = false;
        if (Call(Driver, "OpenPort") != 0) {
            found = Description();
        } else {
            Call(Driver, "ClosePort");
            answered = TrySpeeds(target, found);
            if (!answered && !Interrupted())
                found = "не найдено";
        }
        Progress.Erase();
        Call(Driver, "ClosePort");
        if (!found.empty())
            Out << target.Name << ' ' << found << std::endl;
        return answered;
    }

private:
    // Zero is the board's identity; a positive code is the board too, refusing (for one,
    // a board still in program mode).
    bool TrySpeeds(const TTarget& target, std::string& found) {
        for (const int speed : Speeds) {
            if (Interrupted())
                return false;
            Progress.Note(target.Name + ' ' + std::to_string(speed) + " идет поиск...");
            Driver.SetBaudRate(speed);
            const int code = Call(Driver, "Connect");
            if (code == 0)
                found = std::to_string(speed) + ' ' +
                        OneLine(Cp1251ToUtf8(TrimTrailing(Driver.UDescription, 0)));
            else if (code > 0)
                found = std::to_string(speed) + " (" + std::to_string(code) + ") " + Description();
            if (code >= 0)
                return true;
            Call(Driver, "Disconnect");
        }
        return false;
    }

    std::string Description() const { return OneLine(Cp1251ToUtf8(Driver.GetResultDescription())); }

    TDriver& Driver;
    std::ostream& Out;
    const std::vector<int> Speeds;
    TProgress Progress;
};
} // namespace

int RunSearch(const TCommandLine& line, std::ostream& out) {
    const TJobArgs args = ParseJobArgs(line, {"--ports", "--speeds"}, 0);
    const std::vector<TTarget> targets = Targets(line, args);
    TToolDriver driver(line);
    SetUpDriver(driver, TCommandLine{}, args);
    TSearch search(driver, out, Speeds(args));
    CatchInterrupt();
    bool found = false;
    for (const TTarget& target : targets) {
        if (Interrupted())
            break;
        found = search.Probe(target) || found;
    }
    if (Interrupted())
        return JobFailed("search", "interrupted");
    if (targets.empty())
        return JobFailed("search", "no serial ports to search");
    return found ? exOk : exFailed;
}
