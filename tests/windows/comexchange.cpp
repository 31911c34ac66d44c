// One status exchange with the board through the driver's exact Win32 open sequence: proves
// that a Windows build talks to the virtual board through Wine's COM port emulation.
//
//   comexchange <port number> [baud rate]
//
// Exit codes: 0 valid answer with error byte 0, 1 usage, 2 port cannot be opened or set up,
// 3 no or incomplete answer, 4 malformed answer, 5 the board reported an error.
#include "untProtocol.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

enum ExitCode { exOk = 0, exUsage, exPort, exNoAnswer, exBadAnswer, exBoardError };

// Byte and total time-outs as the driver object sets them by default.
const DWORD ByteTimeout = 200;
const DWORD CommandTimeout = 1000;
// Serial number to flags byte; the second flags byte and the relays are optional.
const std::size_t MinStatusData = 11;

bool Fail(const char* step) {
    std::printf("%s failed: error %lu\n", step, GetLastError());
    return false;
}

bool SetupPort(HANDLE port, DWORD baudRate) {
    if (!SetupComm(port, 1024, 1024))
        return Fail("SetupComm");
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    GetCommState(port, &dcb); // unchecked, as in the driver: members not set below keep its values
    // The whole flags word becomes binary mode alone: no parity check, no flow control of
    // any kind, DTR and RTS disabled, no replacement characters, no abort on error.
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.fAbortOnError = FALSE;
    dcb.fDummy2 = 0;
    dcb.BaudRate = baudRate;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    if (!SetCommState(port, &dcb))
        return Fail("SetCommState");
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = ByteTimeout;
    timeouts.ReadTotalTimeoutMultiplier = 1;
    timeouts.ReadTotalTimeoutConstant = CommandTimeout;
    timeouts.WriteTotalTimeoutMultiplier = ByteTimeout;
    timeouts.WriteTotalTimeoutConstant = 0;
    if (!SetCommTimeouts(port, &timeouts))
        return Fail("SetCommTimeouts");
    PurgeComm(port, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    return true;
}

bool ReadBytes(HANDLE port, std::size_t count, TBytes& answer) {
    std::string part(count, '\0');
    DWORD got = 0;
    if (!ReadFile(port, &part[0], static_cast<DWORD>(count), &got, nullptr))
        return Fail("ReadFile");
    answer.append(part, 0, got);
    return got == count;
}

void PrintStatus(const TBytes& data) {
    auto byte = [&](std::size_t i) {
        return static_cast<unsigned>(static_cast<unsigned char>(data[i]));
    };
    std::printf("serial number: %u\n", static_cast<unsigned>(GetWord(data, 0)));
    std::printf("software: %u.%u build %u, date %02u.%02u.%u\n", byte(2), byte(3),
                static_cast<unsigned>(GetWord(data, 4)), byte(6), byte(7), byte(8) + 2000);
    std::printf("mode: %u (%s)\n", byte(9), byte(9) == 0 ? "ready" : "unknown");
    std::printf("flags: %02X", byte(10));
    if (data.size() > 11)
        std::printf(" %02X", byte(11));
    if (data.size() > 12)
        std::printf(", relays: %02X", byte(12));
    std::printf("\n");
}

int Exchange(HANDLE port) {
    const TBytes request = BuildFrame(0, TBytes(1, static_cast<char>(cmdReadStatus)));
    DWORD written = 0;
    if (!WriteFile(port, request.data(), static_cast<DWORD>(request.size()), &written, nullptr)) {
        Fail("WriteFile");
        return exPort;
    }
    std::printf("sent: %s\n", StrToHex(request).c_str());
    if (written != request.size()) {
        std::printf("only %lu of %u bytes written\n", written,
                    static_cast<unsigned>(request.size()));
        return exPort;
    }

    TBytes answer;
    bool complete = ReadBytes(port, FrameHeaderSize, answer);
    if (complete && static_cast<unsigned char>(answer[0]) == STX)
        complete = ReadBytes(port, static_cast<unsigned char>(answer[3]) + 1u, answer);
    std::printf("received: %s\n", StrToHex(answer).c_str());
    if (answer.empty()) {
        std::printf("no answer\n");
        return exNoAnswer;
    }
    if (static_cast<unsigned char>(answer[0]) != STX) {
        std::printf("answer does not start with STX\n");
        return exBadAnswer;
    }
    if (!complete) {
        std::printf("incomplete answer\n");
        return exNoAnswer;
    }
    const std::size_t length = static_cast<unsigned char>(answer[3]);
    if (FrameCrc(answer.substr(1, FrameHeaderSize - 1 + length)) !=
        static_cast<unsigned char>(answer.back())) {
        std::printf("checksum mismatch\n");
        return exBadAnswer;
    }
    const TBytes payload = answer.substr(FrameHeaderSize, length);
    if (payload.size() < 2 || static_cast<unsigned char>(payload[0]) != cmdReadStatus) {
        std::printf("answer is not a status answer\n");
        return exBadAnswer;
    }
    if (payload[1] != 0) {
        std::printf("board error %02X\n", static_cast<unsigned char>(payload[1]));
        return exBoardError;
    }
    if (payload.size() < 2 + MinStatusData) {
        std::printf("status data too short: %u bytes\n", static_cast<unsigned>(payload.size() - 2));
        return exBadAnswer;
    }
    PrintStatus(payload.substr(2));
    return exOk;
}

} // namespace

int main(int argc, char** argv) {
    const int portNumber = argc > 1 ? std::atoi(argv[1]) : 0;
    const long baudRate = argc > 2 ? std::atol(argv[2]) : 2400;
    if (argc < 2 || argc > 3 || portNumber <= 0 || baudRate <= 0) {
        std::printf("usage: comexchange <port number> [baud rate]\n");
        return exUsage;
    }
    const std::wstring name = L"\\\\.\\COM" + std::to_wstring(portNumber);
    std::printf("port COM%d, %ld baud, %u-bit program\n", portNumber, baudRate,
                static_cast<unsigned>(sizeof(void*) * 8));
    // Exclusive, synchronous: the driver's CreateFile.
    HANDLE port = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              0, nullptr);
    int result = exPort;
    if (port == INVALID_HANDLE_VALUE)
        Fail("CreateFile");
    else {
        if (SetupPort(port, static_cast<DWORD>(baudRate)))
            result = Exchange(port);
        CloseHandle(port);
    }
    std::printf("result: %d\n", result);
    return result;
}
