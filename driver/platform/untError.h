// Failures inside the driver. Operations turn them into result codes at the interface:
// an EDriverError gives its Code, anything else -199 with its message.
#pragma once

#include <stdexcept>
#include <string>

class EDriverError : public std::runtime_error {
public:
    EDriverError(int code, const std::string& message) : std::runtime_error(message), Code(code) {}
    int Code;
};

// A failed platform call, carrying the system's error number; its message (cp1251) holds
// the number and the system's text.
class EOSError : public std::runtime_error {
public:
    EOSError(unsigned long errorCode, const std::string& message)
        : std::runtime_error(message), ErrorCode(errorCode) {}
    unsigned long ErrorCode;
};

// Raises EOSError for the calling thread's last system error (errno or GetLastError).
[[noreturn]] void RaiseLastOSError();
// Raises EOSError for the given system error number.
[[noreturn]] void RaiseOSError(unsigned long errorCode);
