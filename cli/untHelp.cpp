#include "untHelp.h"

#include "untCodePage.h"
#include "untCommands.h"
#include "untMembers.h"
#include "untRun.h"

#include <iomanip>

namespace {
const char* const Synopsis = "Usage: trelmo [--device PATH] ARGUMENT...\n"
                             "       trelmo [--device PATH] COMMAND [ARGUMENT...]\n"
                             "       trelmo --help | --version\n";

const char* const Description = R"(
Drives the kiosk control board through the Trelmo driver, register style: set the input
properties, call a method, read the result and the output properties.

Arguments run left to right, once all of them have been checked:
  Name=Value   sets a property; prints nothing
  Name         calls a method and prints "Name: <code> <description>",
               or reads a property and prints "Name=<value>"
Names are the driver's English or Russian names, in any letter case; the output uses
the language of the name given. A failing method does not stop the arguments after it.

Values:
  long      decimal (-5, 1234) or hex (0x1F), 32 bits
  boolean   1, 0, -1, true or false; printed as 1 or 0
  string    as given; printed in UTF-8, control characters as \xNN
  variant   DataBlockSafeArray: hex bytes such as "01 A2 FF"; printed like DataBlockHex
  date      printed as YYYY-MM-DD

Options (before the arguments):
  --device PATH  open this device instead of the port of PortNumber
)"
#ifndef _WIN32
                                 R"(  --socket PATH  trelmod's socket (default: $TRELMOD_SOCKET, else
                 /run/trelmo/trelmod.sock)
  --direct       open the port even while trelmod serves the device
)"
#endif
                                 R"(  -h, --help     show this help
  --version      show the tool's version

The driver starts with the saved settings (port, speed, time-outs, log), as LoadRegParams
reads them; SaveRegParams saves the current ones.
)"
#ifndef _WIN32
                                 R"(
While trelmod, the board's service, runs for the same device, the board's exchanges go
through its socket (the service holds the port): the output and the exit status are the
same. Only the exchanges go there; the settings, the log and the files stay the tool's.
With --direct, or when no service answers there for the device, the tool opens the port
itself (with the service running: -3 "Порт занят другим приложением").
)"
#endif
                                 R"(
Exit status: 0 when every method called returned 0; 1 when one did not, or the tool
failed; 2 for a usage error (unknown name, bad value, bad option), found before anything
runs.
)";

void PrintCommands(std::ostream& out) {
    out << "\nCommands:\n";
    for (const TCommand& c : Commands())
        out << "  " << c.Name << ' ' << c.Synopsis << "\n      " << c.Summary << '\n';
}

void PrintMembers(std::ostream& out, TMemberKind kind) {
    out << (kind == TMemberKind::Method ? "\nMethods:\n" : "\nProperties:\n");
    for (const TMember& m : Members()) {
        if (m.Kind != kind)
            continue;
        out << "  " << std::left << std::setw(27) << m.Name;
        if (m.IsProperty())
            out << std::setw(9) << TypeName(m.Type) << std::setw(12)
                << (m.Writable ? "read/write" : "read");
        out << Cp1251ToUtf8(m.RussianName);
        if (!ToolHas(m))
            out << "  (not in this tool)";
        out << '\n';
    }
}
} // namespace

void PrintHelp(std::ostream& out) {
    out << Synopsis << Description;
    PrintCommands(out);
    PrintMembers(out, TMemberKind::Method);
    PrintMembers(out, TMemberKind::Property);
}

std::string UsageHint() {
    return "Try 'trelmo --help'.";
}
