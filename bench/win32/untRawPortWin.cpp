#include "untRawPort.h"

#include "untHolders.h"

#include <windows.h>

#include <stdexcept>

namespace {
const DWORD ByteTimeoutMs = 200;
const DWORD CommandTimeoutMs = 1000;

[[noreturn]] void Fail(const std::string& what) {
    throw std::runtime_error(what + " failed: error " + std::to_string(GetLastError()));
}
} // namespace

struct TRawPort::TImpl {
    THandle Handle;
};

TRawPort::TRawPort(const std::string& device, int baudRate) : Impl(std::make_unique<TImpl>()) {
    const std::wstring name(device.begin(), device.end());
    Impl->Handle.Reset(CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
    if (!Impl->Handle)
        Fail("CreateFile " + device);
    if (!SetupComm(Impl->Handle.Get(), 1024, 1024))
        Fail("SetupComm");
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    GetCommState(Impl->Handle.Get(), &dcb);
    dcb.BaudRate = static_cast<DWORD>(baudRate);
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    if (!SetCommState(Impl->Handle.Get(), &dcb))
        Fail("SetCommState");
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = ByteTimeoutMs;
    timeouts.ReadTotalTimeoutMultiplier = 1;
    timeouts.ReadTotalTimeoutConstant = CommandTimeoutMs;
    timeouts.WriteTotalTimeoutMultiplier = ByteTimeoutMs;
    if (!SetCommTimeouts(Impl->Handle.Get(), &timeouts))
        Fail("SetCommTimeouts");
}

TRawPort::~TRawPort() = default;

void TRawPort::Purge() {
    PurgeComm(Impl->Handle.Get(), PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
}

bool TRawPort::Write(const std::uint8_t* data, std::size_t size) {
    DWORD written = 0;
    return WriteFile(Impl->Handle.Get(), data, static_cast<DWORD>(size), &written, nullptr) &&
           written == size;
}

std::size_t TRawPort::Read(std::uint8_t* data, std::size_t count) {
    DWORD got = 0;
    if (!ReadFile(Impl->Handle.Get(), data, static_cast<DWORD>(count), &got, nullptr))
        return 0;
    return got;
}
