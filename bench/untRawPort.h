// The yardstick of the benchmarks: a serial port driven by the bare platform calls (termios
// and poll, or Win32 communications), with the line and time-outs the driver uses and
// nothing else, so the driver's cost shows as the difference.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class TRawPort {
public:
    // A device path on POSIX, "\\.\COMn" on Windows; 8N1, byte time-out 200 ms, total
    // 1000 ms + 1 ms per byte, as the driver's defaults. Throws std::runtime_error.
    explicit TRawPort(const std::string& device, int baudRate = 2400);
    ~TRawPort();
    TRawPort(const TRawPort&) = delete;
    TRawPort& operator=(const TRawPort&) = delete;

    void Purge();
    bool Write(const std::uint8_t* data, std::size_t size);
    // One read of up to `count` bytes under the time-outs; the number of bytes read.
    std::size_t Read(std::uint8_t* data, std::size_t count);

private:
    struct TImpl;
    std::unique_ptr<TImpl> Impl;
};

// A whole frame's room: header, 255 payload bytes, checksum.
const std::size_t MaxFrameSize = 4 + 255 + 1;

// Purge, one write, the header read and the body read. The answer frame lands in `answer`;
// the result is its payload length, or -1 unless it came whole, with an STX in front and
// the right checksum.
int RawExchange(TRawPort& port, const std::uint8_t* frame, std::size_t size,
                std::uint8_t (&answer)[MaxFrameSize]);
