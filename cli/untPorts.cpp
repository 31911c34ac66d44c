#include "untPorts.h"

#include "untCodePage.h"
#include "untComm.h"
#include "untValues.h"

#ifndef _WIN32
#include "untPortMap.h"
#endif

namespace {
#ifdef _WIN32
void MapPort(int, const std::string&) {
    throw EUsage("Windows names its serial ports itself; there is no port map to change");
}
#else
void MapPort(int number, const std::string& device) {
    // The driver opens the path from whatever directory its client runs in.
    if (!device.empty() && device[0] != '/')
        throw EUsage("the device path must be absolute: '" + Cp1251ToUtf8(device) + "'");
    PortMapSet(number, device);
}
#endif

int PortNumber(const std::string& text) {
    std::int32_t number = 0;
    if (!ParseLong(text, number) || number < 1 || number > 255)
        throw EUsage("a port number is 1 to 255, not '" + text + "'");
    return number;
}

int List(std::ostream& out) {
    std::vector<TSerialPortInfo> ports;
    TComm::GetSerialPorts(ports);
    for (const TSerialPortInfo& p : ports)
        out << p.Number << '\t' << Cp1251ToUtf8(p.Name) << '\t' << Cp1251ToUtf8(p.Device) << '\n';
    return exOk;
}
} // namespace

int RunPorts(const TCommandLine& line, std::ostream& out) {
    const std::vector<std::string>& args = line.CommandArgs;
    if (args.empty())
        return List(out);
    if (args[0] == "map" && args.size() == 3) {
        if (args[2].empty())
            throw EUsage("ports map needs a device path");
        MapPort(PortNumber(args[1]), Utf8ToCp1251(args[2]));
        return exOk;
    }
    if (args[0] == "unmap" && args.size() == 2) {
        MapPort(PortNumber(args[1]), "");
        return exOk;
    }
    throw EUsage("ports takes no arguments, 'map N PATH' or 'unmap N'");
}
