// The tool's command line: options first, then either a subcommand with its own arguments
// or member arguments that run left to right. Every member argument is checked before
// anything runs, so a script's typo never leaves the board half set up.
#pragma once

#include "untMembers.h"

#include <stdexcept>
#include <string>
#include <vector>

enum TExitCode { exOk = 0, exFailed = 1, exUsage = 2 };

// A usage error; its message is UTF-8.
class EUsage : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class TActionKind { Call, Get, Set };

struct TAction {
    TActionKind Kind;
    const TMember* Member;
    bool Russian;              // named by its Russian name, so the output names it so too
    TMemberValue Value;        // Set only
    std::string Label() const; // UTF-8
};

struct TCommandLine {
    bool Help = false;
    bool Version = false;
    std::string Device;  // cp1251; empty: the port of PortNumber
    std::string Socket;  // trelmod's socket; empty: the default (POSIX only)
    bool Direct = false; // never through trelmod: open the port even while the service runs
    std::string Command; // a subcommand, or empty
    std::vector<std::string> CommandArgs;
    std::vector<TAction> Actions;
};

// Arguments in UTF-8, without the program's name. Throws EUsage.
TCommandLine ParseCommandLine(const std::vector<std::string>& args);
// One member argument: "Name" or "Name=Value". Throws EUsage.
TAction ParseAction(const std::string& arg);
