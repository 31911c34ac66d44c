// The long jobs of the tool: what the Windows driver does in its dialogs, without a window,
// for scripts and terminals. Each follows TCommand::Run: the exit status, EUsage for bad
// arguments.
#pragma once

#include "untArgs.h"

#include <ostream>

// trelmo firmware [--retries N] [Name=Value...] FILE
int RunFirmware(const TCommandLine& line, std::ostream& out);
// trelmo search [--ports N,M...] [--speeds B,C...] [Name=Value...]
int RunSearch(const TCommandLine& line, std::ostream& out);
// trelmo dump [Name=Value...] AREA FILE
int RunDump(const TCommandLine& line, std::ostream& out);
// trelmo monitor [--period MS] [Name=Value...]
int RunMonitor(const TCommandLine& line, std::ostream& out);
// trelmo tables list | save FILE [TABLE...] | load FILE | init [--retries N] [Name=Value...]
int RunTables(const TCommandLine& line, std::ostream& out);
