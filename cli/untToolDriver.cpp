#include "untToolDriver.h"

#include "untError.h"
#include "untSerialPort.h"
#include "untServiceLink.h"

TToolDriver::TToolDriver(const TCommandLine& line)
    : SocketPath(line.Socket.empty() ? DefaultServiceSocket() : line.Socket),
      Direct(line.Direct) {
    if (!line.Device.empty())
        SetDevicePath(line.Device);
}

TToolDriver::~TToolDriver() = default;

std::string TToolDriver::Device() const {
    return GetDevicePath().empty() ? TSerialPort::DeviceOfPort(GetPortNumber()) : GetDevicePath();
}

bool TToolDriver::ThroughService() {
    if (Direct)
        return false;
    const std::string device = Device();
    if (!Decided || device != DecidedFor) {
        Service = TServiceLink::Open(SocketPath, device);
        Decided = true;
        DecidedFor = device;
    }
    return Service != nullptr;
}

void TToolDriver::OpenComm() {
    if (!ThroughService())
        TDriver::OpenComm();
}

TBytes TToolDriver::Exchange(const TBytes& payload) {
    if (!ThroughService())
        return TDriver::Exchange(payload);
    TServiceAnswer answer;
    try {
        answer = Service->Exchange(payload, GetBaudRate(), GetTimeout(), GetCommandTimeout());
    } catch (...) { // the service has gone: the next exchange looks again (the port may be free)
        Service.reset();
        Decided = false;
        throw;
    }
    // A failed exchange leaves the time of the last good one, as the driver's own does.
    RecordExchange(answer.Output, answer.Input,
                   answer.Code == 0 ? answer.Time : GetExecutionTime());
    if (answer.Code != 0)
        throw EDriverError(answer.Code, answer.Text);
    return answer.Answer;
}
