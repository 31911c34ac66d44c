// The driver's one serial port: opened on demand, set up with the line settings and the
// time-outs, purged, written and read. Knows nothing of frames.
#pragma once

#include "untSerialPort.h"

#include <memory>
#include <string>
#include <vector>

class TComm {
public:
    TComm();
    ~TComm();
    TComm(const TComm&) = delete;
    TComm& operator=(const TComm&) = delete;

    void Open();
    void Close();
    bool Opened() const { return Port != nullptr; }
    void Purge();
    void Write(const TBytes& data);
    TBytes Read(std::size_t count);
    // A read whose total time-out has `commandTimeout` in place of CommandTimeout.
    TBytes ReadWithin(std::size_t count, int commandTimeout);

    int GetTimeout() const { return Timeout; }
    void SetTimeout(int value);
    int GetCommandTimeout() const { return CommandTimeout; }
    void SetCommandTimeout(int value);
    int GetBaudRate() const { return BaudRate; }
    void SetBaudRate(int value) { BaudRate = value; }
    int GetPortNumber() const { return PortNumber; }
    void SetPortNumber(int value) { PortNumber = value; }
    // A device path that replaces the port number (the Linux tool's --device); empty: none.
    const std::string& GetDevicePath() const { return DevicePath; }
    void SetDevicePath(const std::string& value) { DevicePath = value; }

    // Names of the machine's serial ports ("COM3"), sorted by number.
    static void GetSerialPorts(std::vector<TSerialPortInfo>& ports);

private:
    void ApplyTimeouts();

    std::unique_ptr<TSerialPort> Port;
    int Timeout = 0;
    int CommandTimeout = 200;
    int BaudRate = 2400;
    int PortNumber = 1;
    std::string DevicePath;
};
