// The program's own failures. As everywhere in the system, an exception's text is cp1251.
#pragma once

#include <stdexcept>
#include <string>

class EProgramError : public std::runtime_error {
public:
    explicit EProgramError(const std::wstring& message);
};

// Text in an input control that is not a decimal integer.
class EConvertError : public EProgramError {
public:
    explicit EConvertError(const std::wstring& text);
};

// The driver object could not be created; the text is the system's.
class EOleError : public EProgramError {
public:
    explicit EOleError(long result);
    long Result;
};
