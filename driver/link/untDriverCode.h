// The driver's own result codes and their texts (cp1251). The link raises most of them (no
// answer, a bad frame, a port that cannot be opened); the core adds the rest.
#pragma once

#include <string>

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

// The text of one of these codes; empty for other codes.
const std::string& TextOfDriverCode(int code);
