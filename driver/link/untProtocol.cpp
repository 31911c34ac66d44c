#include "untProtocol.h"

#include <stdexcept>

namespace {
struct BaudCode {
    int code;
    int rate;
};
const BaudCode BaudCodes[] = {{2, 2400},  {3, 4800},  {4, 9600},  {5, 19200},
                              {6, 38400}, {7, 57600}, {8, 115200}};
} // namespace

std::uint8_t FrameCrc(const TBytes& data) {
    std::uint8_t crc = 0;
    for (unsigned char c : data)
        crc ^= c;
    return crc;
}

TBytes BuildFrame(std::uint8_t sequence, const TBytes& payload) {
    if (payload.size() > MaxPayloadSize)
        throw std::length_error("payload too long for one frame");
    TBytes frame;
    frame.reserve(payload.size() + FrameHeaderSize + 1);
    frame += static_cast<char>(STX);
    frame += static_cast<char>(sequence);
    frame += '\0';
    frame += static_cast<char>(payload.size());
    frame += payload;
    frame +=
        static_cast<char>(sequence ^ static_cast<std::uint8_t>(payload.size()) ^ FrameCrc(payload));
    return frame;
}

std::string StrToHex(const TBytes& data) {
    std::string text;
    AppendHex(text, data);
    return text;
}

void AppendHex(std::string& text, const TBytes& data) {
    static const char digits[] = "0123456789ABCDEF";
    const std::size_t at = text.size();
    text.resize(at + data.size() * 3);
    char* out = &text[at];
    for (unsigned char c : data) {
        *out++ = digits[c >> 4];
        *out++ = digits[c & 0x0F];
        *out++ = ' ';
    }
}

int BaudRateToCode(int baudRate) {
    for (const BaudCode& b : BaudCodes)
        if (b.rate == baudRate)
            return b.code;
    return 2;
}

int CodeToBaudRate(int code) {
    for (const BaudCode& b : BaudCodes)
        if (b.code == code)
            return b.rate;
    return 2400;
}

bool IsValidBaudRate(int baudRate) {
    for (const BaudCode& b : BaudCodes)
        if (b.rate == baudRate)
            return true;
    return false;
}

void PutWord(TBytes& data, std::uint16_t value) {
    data += static_cast<char>(value & 0xFF);
    data += static_cast<char>(value >> 8);
}

std::uint16_t GetWord(const TBytes& data, std::size_t offset) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(data.at(offset)) |
                                      static_cast<unsigned char>(data.at(offset + 1)) << 8);
}
