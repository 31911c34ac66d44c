// The platform seam for one serial port: Win32 communications on Windows, termios on POSIX.
// TComm holds the policy (when to open, what to apply); this only performs the calls.
#pragma once

#include "untProtocol.h"

#include <memory>
#include <string>
#include <vector>

struct TSerialPortInfo {
    std::string Name; // "COM3" (cp1251); under POSIX the device path is in Device
    int Number = 0;
    std::string Device; // the path that opening the port uses
};

class TSerialPort {
public:
    // Opens the device exclusively for reading and writing, synchronous. Throws
    // EDriverError -3 "Порт занят другим приложением" when another process holds it and
    // EDriverError -2 "Порт недоступен" for any other failure.
    static std::unique_ptr<TSerialPort> Open(const std::string& device);
    ~TSerialPort();
    TSerialPort(const TSerialPort&) = delete;
    TSerialPort& operator=(const TSerialPort&) = delete;

    // Each throws EOSError when the system call fails.
    void SetBufferSizes(int input, int output);
    void SetLine(int baudRate); // 8N1, binary, no flow control, DTR and RTS off
    // Interval time-out between bytes; total time of one read = commandTimeout + 1 ms per
    // requested byte; write time-out = byteTimeout per byte. 0 turns the interval and the
    // write time-out off. A negative value counts as 0, the shortest wait: taken as it is,
    // the platforms would read it as a wait of weeks or no deadline at all.
    void SetTimeouts(int byteTimeout, int commandTimeout);
    void Purge(); // both directions; its own success is not checked
    std::size_t Write(const TBytes& data);
    TBytes Read(std::size_t count); // 0..count bytes; a time-out is not an error

    // The device that port number n opens: "\\.\COMn" on Windows; on POSIX the per-user
    // port map's entry, by default /dev/ttyS(n-1) as Wine maps it.
    static std::string DeviceOfPort(int portNumber);
    // The machine's serial ports, sorted by number, each number once.
    static std::vector<TSerialPortInfo> ListPorts();

private:
    struct TImpl;
    explicit TSerialPort(std::unique_ptr<TImpl> impl);
    std::unique_ptr<TImpl> Impl;
};
