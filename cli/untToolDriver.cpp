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

bool TToolDriver::ThroughService() {
    if (Direct)
        return false;
    const std::string& path = GetDevicePath();
    if (Decided && path == DecidedPath && (!path.empty() || GetPortNumber() == DecidedPort))
        return Service != nullptr;
    Service = TServiceLink::Open(SocketPath,
                                 path.empty() ? TSerialPort::DeviceOfPort(GetPortNumber()) : path);
    Decided = true;
    DecidedPath = path;
    DecidedPort = GetPortNumber();
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
