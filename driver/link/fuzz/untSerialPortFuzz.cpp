// The serial port of the fuzzing build. Reads return at once: what is queued, up to the count,
// and nothing (a time-out) when the queue is empty, so a run never waits on a clock.
#include "untSerialPort.h"

#include "untError.h"
#include "untFuzzLine.h"
#include "untPortMap.h"

#include <cerrno>

namespace {
TFuzzLine* Line = nullptr;
TBytes Queue;
bool ReadFails = false;
} // namespace

void SetFuzzLine(TFuzzLine* line) {
    Line = line;
    Queue.clear();
    ReadFails = false;
}

struct TSerialPort::TImpl {};

TSerialPort::TSerialPort(std::unique_ptr<TImpl> impl) : Impl(std::move(impl)) {}
TSerialPort::~TSerialPort() = default;

std::unique_ptr<TSerialPort> TSerialPort::Open(const std::string&) {
    return std::unique_ptr<TSerialPort>(new TSerialPort(std::make_unique<TImpl>()));
}

void TSerialPort::SetBufferSizes(int, int) {}
void TSerialPort::SetLine(int) {}
void TSerialPort::SetTimeouts(int, int) {}

void TSerialPort::Purge() {
    Queue.clear();
    ReadFails = false;
}

std::size_t TSerialPort::Write(const TBytes& data) {
    if (!Line)
        return data.size();
    const TFuzzLine::TReply reply = Line->Written(data);
    if (reply.ShortWrite)
        return data.size() / 2;
    Queue += reply.Answer;
    ReadFails = reply.ReadFails;
    return data.size();
}

TBytes TSerialPort::Read(std::size_t count) {
    if (Queue.empty() && ReadFails)
        RaiseOSError(EIO);
    const TBytes data = Queue.substr(0, count);
    Queue.erase(0, data.size());
    if (Line)
        Line->Delivered(data);
    return data;
}

std::string TSerialPort::DeviceOfPort(int portNumber) {
    return PortMapDevice(portNumber);
}

std::vector<TSerialPortInfo> TSerialPort::ListPorts() {
    return PortMapList();
}
