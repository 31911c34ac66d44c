// The tool's subcommands. Each takes the arguments after its name; the options before the
// name (--device) are in the command line it gets. A new subcommand is one more entry in
// the table in untCommands.cpp.
#pragma once

#include "untArgs.h"

#include <ostream>

struct TCommand {
    const char* Name;
    const char* Synopsis; // the arguments, for the help
    const char* Summary;
    // Returns the exit status; throws EUsage for bad arguments.
    int (*Run)(const TCommandLine& line, std::ostream& out);
};

const std::vector<TCommand>& Commands();
const TCommand* FindCommand(const std::string& name);
