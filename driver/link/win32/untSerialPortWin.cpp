// Serial ports through Win32 communications: a synchronous handle whose COMMTIMEOUTS carry
// the byte and total time-outs, so one ReadFile is one read of the driver.
#include "untSerialPort.h"

#include "untCodePage.h"
#include "untDriverCode.h"
#include "untError.h"
#include "untHolders.h"

#include <windows.h>

#include <algorithm>

namespace {
// DCB's flags word is a run of bit-fields; set every one so that nothing the port reported
// survives: binary mode alone, no parity check, no flow control, DTR and RTS off.
void SetBinaryModeOnly(DCB& dcb) {
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
}

// The number in "COM12", or -1 when the text is not "COM" and decimal digits alone.
int PortNumberOf(const std::wstring& name) {
    if (name.size() < 4 || name.size() > 12 || name.compare(0, 3, L"COM") != 0)
        return -1;
    int number = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (name[i] < L'0' || name[i] > L'9')
            return -1;
        number = number * 10 + (name[i] - L'0');
    }
    return number;
}

// A string value's data as enumerated: bytes of UTF-16, maybe without the terminator.
std::wstring TextOfData(const std::vector<BYTE>& data, DWORD size) {
    std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0')
        text.pop_back();
    return text;
}

// Every string value of the open key, in the key's order.
std::vector<std::wstring> StringValues(HKEY key) {
    DWORD count = 0, maxName = 0, maxData = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                         &maxName, &maxData, nullptr, nullptr) != ERROR_SUCCESS)
        return {};
    std::vector<std::wstring> values;
    std::vector<wchar_t> name(maxName + 1);
    std::vector<BYTE> data(maxData + sizeof(wchar_t));
    for (DWORD i = 0; i < count; ++i) {
        DWORD nameSize = static_cast<DWORD>(name.size());
        DWORD dataSize = static_cast<DWORD>(data.size());
        DWORD type = 0;
        if (RegEnumValueW(key, i, name.data(), &nameSize, nullptr, &type, data.data(), &dataSize) !=
            ERROR_SUCCESS)
            continue;
        if (type == REG_SZ || type == REG_EXPAND_SZ)
            values.push_back(TextOfData(data, dataSize));
    }
    return values;
}

std::vector<TSerialPortInfo> PortsOf(const std::vector<std::wstring>& names) {
    std::vector<TSerialPortInfo> ports;
    for (const std::wstring& name : names) {
        const int number = PortNumberOf(name);
        const bool known = std::any_of(ports.begin(), ports.end(), [&](const TSerialPortInfo& p) {
            return p.Number == number;
        });
        if (number >= 0 && !known)
            ports.push_back({WideToCp1251(name), number, TSerialPort::DeviceOfPort(number)});
    }
    std::stable_sort(
        ports.begin(), ports.end(),
        [](const TSerialPortInfo& a, const TSerialPortInfo& b) { return a.Number < b.Number; });
    return ports;
}
} // namespace

struct TSerialPort::TImpl {
    THandle Handle;
};

TSerialPort::TSerialPort(std::unique_ptr<TImpl> impl) : Impl(std::move(impl)) {}
TSerialPort::~TSerialPort() = default;

std::unique_ptr<TSerialPort> TSerialPort::Open(const std::string& device) {
    auto impl = std::make_unique<TImpl>();
    impl->Handle.Reset(CreateFileW(Cp1251ToWide(device).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                   nullptr, OPEN_EXISTING, 0, nullptr));
    if (!impl->Handle)
        RaiseDriverError(GetLastError() == ERROR_ACCESS_DENIED ? ecPortBusy : ecPortUnavailable);
    return std::unique_ptr<TSerialPort>(new TSerialPort(std::move(impl)));
}

void TSerialPort::SetBufferSizes(int input, int output) {
    if (!SetupComm(Impl->Handle.Get(), static_cast<DWORD>(input), static_cast<DWORD>(output)))
        RaiseLastOSError();
}

void TSerialPort::SetLine(int baudRate) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    GetCommState(Impl->Handle.Get(), &dcb); // members not set here keep what the port reported
    dcb.BaudRate = static_cast<DWORD>(baudRate);
    SetBinaryModeOnly(dcb);
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    if (!SetCommState(Impl->Handle.Get(), &dcb))
        RaiseLastOSError();
}

void TSerialPort::SetTimeouts(int byteTimeout, int commandTimeout) {
    // Cast as they are, negative values would be waits of weeks (and -1 MAXDWORD, which has
    // meanings of its own). Up to INT_MAX, the read total (constant + 1 ms per byte) fits a
    // DWORD; the write total (multiplier per byte) is kept within one for the longest frame.
    const DWORD byteMs = static_cast<DWORD>(std::max(byteTimeout, 0));
    const DWORD commandMs = static_cast<DWORD>(std::max(commandTimeout, 0));
    const DWORD maxWriteMultiplier = MAXDWORD / (FrameHeaderSize + MaxPayloadSize + 1);
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = byteMs;
    timeouts.ReadTotalTimeoutMultiplier = 1;
    timeouts.ReadTotalTimeoutConstant = commandMs;
    timeouts.WriteTotalTimeoutMultiplier = std::min(byteMs, maxWriteMultiplier);
    timeouts.WriteTotalTimeoutConstant = 0;
    if (!SetCommTimeouts(Impl->Handle.Get(), &timeouts))
        RaiseLastOSError();
}

void TSerialPort::Purge() {
    PurgeComm(Impl->Handle.Get(), PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
}

std::size_t TSerialPort::Write(const TBytes& data) {
    DWORD written = 0;
    if (!WriteFile(Impl->Handle.Get(), data.data(), static_cast<DWORD>(data.size()), &written,
                   nullptr))
        RaiseLastOSError();
    return written;
}

TBytes TSerialPort::Read(std::size_t count) {
    TBytes data(count, '\0');
    DWORD got = 0;
    if (!ReadFile(Impl->Handle.Get(), &data[0], static_cast<DWORD>(count), &got, nullptr))
        RaiseLastOSError();
    data.resize(got);
    return data;
}

std::string TSerialPort::DeviceOfPort(int portNumber) {
    return "\\\\.\\COM" + std::to_string(portNumber);
}

std::vector<TSerialPortInfo> TSerialPort::ListPorts() {
    TRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ,
                      key.Out()) != ERROR_SUCCESS)
        return {};
    return PortsOf(StringValues(key.Get()));
}
