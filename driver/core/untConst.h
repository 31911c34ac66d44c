// The driver's own texts (cp1251) and the board's error and memory area names.
#pragma once

#include <string>

// Result texts of the driver's own codes.
const std::string& TextOfDriverCode(int code); // 0, -1..-6, -10; empty for other codes
std::string DeviceErrorText(int code);
std::string MemoryTypeName(int memoryType);

extern const char* const RegKeyParam; // "Software\Norvik\Trelmo\Trelmo\Param"

enum TDriverCode {
    ecOK = 0,
    ecNoLink = -1,
    ecPortUnavailable = -2,
    ecPortBusy = -3,
    ecBadCrc = -4,
    ecBadLength = -5,
    ecNoStx = -6,
    ecRange = -9,
    ecBadAnswerCode = -10,
    ecFailure = -199,
};

// Raises EDriverError with the driver code and its text.
[[noreturn]] void RaiseDriverError(TDriverCode code);
