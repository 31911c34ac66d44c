#include "untRawPort.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <termios.h>
#include <time.h>
#include <unistd.h>

namespace {
const int ByteTimeoutMs = 200;
const int CommandTimeoutMs = 1000;

long long NowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

[[noreturn]] void Fail(const std::string& what) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
}
} // namespace

struct TRawPort::TImpl {
    int Fd = -1;
};

TRawPort::TRawPort(const std::string& device, int baudRate) : Impl(std::make_unique<TImpl>()) {
    Impl->Fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (Impl->Fd < 0)
        Fail("open " + device);
    termios tio{};
    if (tcgetattr(Impl->Fd, &tio) != 0)
        Fail("tcgetattr");
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    // The board hears only a line at its own speed.
    const speed_t speed = baudRate == 115200  ? B115200
                          : baudRate == 57600 ? B57600
                          : baudRate == 38400 ? B38400
                          : baudRate == 19200 ? B19200
                          : baudRate == 9600  ? B9600
                          : baudRate == 4800  ? B4800
                                              : B2400;
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    if (tcsetattr(Impl->Fd, TCSANOW, &tio) != 0)
        Fail("tcsetattr");
}

TRawPort::~TRawPort() {
    close(Impl->Fd);
}

void TRawPort::Purge() {
    tcflush(Impl->Fd, TCIOFLUSH);
}

bool TRawPort::Write(const std::uint8_t* data, std::size_t size) {
    return write(Impl->Fd, data, size) == static_cast<ssize_t>(size);
}

std::size_t TRawPort::Read(std::uint8_t* data, std::size_t count) {
    const long long total = NowMs() + CommandTimeoutMs + static_cast<long long>(count);
    long long deadline = total;
    std::size_t got = 0;
    while (got < count) {
        const long long left = deadline - NowMs();
        pollfd p{Impl->Fd, POLLIN, 0};
        if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0)
            break;
        const ssize_t n = read(Impl->Fd, data + got, count - got);
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
        deadline = std::min(total, NowMs() + ByteTimeoutMs);
    }
    return got;
}
