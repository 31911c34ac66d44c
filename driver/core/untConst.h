// The driver's own texts (cp1251) and the board's error and memory area names.
#pragma once

#include "untDriverCode.h"

#include <string>

std::string DeviceErrorText(int code);
std::string MemoryTypeName(int memoryType);

extern const char* const RegKeyParam; // "Software\Norvik\Trelmo\Trelmo\Param"

