#include "untCommands.h"

#include "untJobs.h"
#include "untPorts.h"

const std::vector<TCommand>& Commands() {
    static const std::vector<TCommand> commands = {
        {"ports", "[map N PATH | unmap N]",
         "list the serial ports (number, name, device); or, for this user, map port\n"
         "      number N to a device path (PortNumber=N then opens it), or remove the mapping",
         RunPorts},
        {"firmware", "[--retries N] [Name=Value...] FILE",
         "write the firmware FILE to the board in 64-byte blocks (a refused block is tried\n"
         "      again up to N times, 3 by default), then wait for the board's restart at 2400\n"
         "      baud and set its exchange speed and byte time-out to BaudRate and Timeout",
         RunFirmware},
        {"search", "[--ports N,M...] [--speeds B,C...] [Name=Value...]",
         "look for the board on every serial port (or the ports given, or --device) at\n"
         "      every speed from 2400 to 115200 (or the speeds given); exit 0 when found",
         RunSearch},
        {"dump", "[Name=Value...] AREA FILE",
         "read the memory AREA (data, program, eeprom or 0x30, 0x31, 0x32) into FILE, raw",
         RunDump},
        {"monitor", "[--period MS] [Name=Value...]",
         "poll the board's status every MS ms (1000 by default) and print each change of\n"
         "      the mode, relays and flags, and of the link, until Ctrl-C",
         RunMonitor},
        {"tables", "list | save FILE [TABLE...] | load FILE | init [--retries N] [Name=Value...]",
         "list the board's settings tables (number, name, rows, fields); save the tables\n"
         "      given (all by default) to a table set FILE; write every table of FILE to the\n"
         "      board; or reset the tables to the board's own values. A failed step is tried\n"
         "      again up to N times (3 by default)",
         RunTables},
    };
    return commands;
}

const TCommand* FindCommand(const std::string& name) {
    for (const TCommand& c : Commands())
        if (name == c.Name)
            return &c;
    return nullptr;
}
