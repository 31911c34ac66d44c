// trelmo ports [map N PATH | unmap N]
#pragma once

#include "untArgs.h"

#include <ostream>

// Lists one port a line: number, name, device, separated by tabs.
int RunPorts(const TCommandLine& line, std::ostream& out);
