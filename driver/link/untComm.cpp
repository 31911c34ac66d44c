#include "untComm.h"

#include "untCodePage.h"
#include "untError.h"

namespace {
const int InputBufferSize = 1024;
const int OutputBufferSize = 1024;
} // namespace

TComm::TComm() = default;
TComm::~TComm() = default;

void TComm::Open() {
    if (Opened())
        return;
    const std::string device =
        DevicePath.empty() ? TSerialPort::DeviceOfPort(PortNumber) : DevicePath;
    Port = TSerialPort::Open(device);
    // A failure from here on leaves the port open as far as it got; Close and reopen to
    // set it up again.
    Port->SetBufferSizes(InputBufferSize, OutputBufferSize);
    Port->SetLine(BaudRate);
    ApplyTimeouts();
}

void TComm::Close() {
    Port.reset();
}

void TComm::Purge() {
    Open();
    Port->Purge();
}

void TComm::Write(const TBytes& data) {
    Open();
    if (Port->Write(data) != data.size())
        throw EDriverError(-199, Ansi("В порт записаны не все данные"));
}

TBytes TComm::Read(std::size_t count) {
    if (!Opened())
        throw EOSError(6, Ansi("Порт не открыт"));
    return Port->Read(count);
}

TBytes TComm::ReadWithin(std::size_t count, int commandTimeout) {
    if (!Opened())
        throw EOSError(6, Ansi("Порт не открыт"));
    Port->SetTimeouts(Timeout, commandTimeout);
    TBytes data;
    try {
        data = Port->Read(count);
    } catch (...) { // the port gets its own time-outs back whatever the read did
        ApplyTimeouts();
        throw;
    }
    ApplyTimeouts();
    return data;
}

void TComm::SetTimeout(int value) {
    Timeout = value;
    if (Opened())
        ApplyTimeouts();
}

void TComm::SetCommandTimeout(int value) {
    CommandTimeout = value;
    if (Opened())
        ApplyTimeouts();
}

void TComm::ApplyTimeouts() {
    Port->SetTimeouts(Timeout, CommandTimeout);
}

void TComm::GetSerialPorts(std::vector<TSerialPortInfo>& ports) {
    ports = TSerialPort::ListPorts();
}
