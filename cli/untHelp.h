// The tool's help, generated from the member table and the subcommand table.
#pragma once

#include <ostream>
#include <string>

void PrintHelp(std::ostream& out);
// The short reminder after a usage error.
std::string UsageHint();
