// Serial ports through termios. Time-outs follow the Win32 rules the driver was built on:
// a read ends with all bytes, after a silent interval once bytes came, or at the total.
#include "untSerialPort.h"

#include "untCodePage.h"
#include "untDriverCode.h"
#include "untError.h"
#include "untPortMap.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

namespace {
// Deadlines in microseconds: counted in whole milliseconds, a read that woke for bytes on the
// way could end up to one millisecond before its total time-out.
const long long UsPerMs = 1000;

long long NowUs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

speed_t SpeedOf(int baudRate) {
    switch (baudRate) {
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return B2400;
    }
}

// A deadline of its own, not a negative one: a clock that starts at boot makes small sums
// negative too.
const long long NoDeadline = LLONG_MAX;

// Waits until fd is ready for `events` or the deadline passes; false on time-out.
bool WaitFor(int fd, short events, long long deadline) {
    for (;;) {
        timespec wait{};
        if (deadline != NoDeadline) {
            const long long left = deadline - NowUs();
            if (left <= 0)
                return false;
            wait.tv_sec = static_cast<time_t>(left / 1000000);
            wait.tv_nsec = static_cast<long>(left % 1000000 * 1000);
        }
        pollfd p{fd, events, 0};
        const int n = ppoll(&p, 1, deadline != NoDeadline ? &wait : nullptr, nullptr);
        if (n > 0)
            return true;
        if (n < 0 && errno != EINTR)
            RaiseLastOSError();
    }
}
} // namespace

struct TSerialPort::TImpl {
    int Fd = -1;
    int ByteTimeout = 0;
    int CommandTimeout = 0;
    // The line was purged and a request went out since the last read: its answer cannot
    // be there yet, so the read waits before it tries.
    bool AwaitingAnswer = false;
    ~TImpl() {
        if (Fd >= 0) {
            ioctl(Fd, TIOCNXCL); // the flag outlives the descriptor otherwise
            close(Fd);
        }
    }
};

TSerialPort::TSerialPort(std::unique_ptr<TImpl> impl) : Impl(std::move(impl)) {}
TSerialPort::~TSerialPort() = default;

std::unique_ptr<TSerialPort> TSerialPort::Open(const std::string& device) {
    auto impl = std::make_unique<TImpl>();
    impl->Fd = open(Cp1251ToUtf8(device).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (impl->Fd < 0)
        RaiseDriverError(errno == EBUSY ? ecPortBusy : ecPortUnavailable);
    // flock is the lock every process honours, root included; TIOCEXCL keeps out
    // programs that do not lock.
    if (flock(impl->Fd, LOCK_EX | LOCK_NB) != 0)
        RaiseDriverError(errno == EWOULDBLOCK ? ecPortBusy : ecPortUnavailable);
    ioctl(impl->Fd, TIOCEXCL);
    return std::unique_ptr<TSerialPort>(new TSerialPort(std::move(impl)));
}

void TSerialPort::SetBufferSizes(int, int) {
    // The kernel sizes a tty's queues itself.
}

void TSerialPort::SetLine(int baudRate) {
    termios tio{};
    if (tcgetattr(Impl->Fd, &tio) != 0)
        RaiseLastOSError();
    cfmakeraw(&tio);
    tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS | HUPCL);
    tio.c_cflag |= CS8 | CREAD | CLOCAL;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | IGNPAR | PARMRK);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, SpeedOf(baudRate));
    cfsetospeed(&tio, SpeedOf(baudRate));
    if (tcsetattr(Impl->Fd, TCSANOW, &tio) != 0)
        RaiseLastOSError();
    int lines = TIOCM_DTR | TIOCM_RTS;
    ioctl(Impl->Fd, TIOCMBIC, &lines); // a pty has no modem lines; nothing to undo there
}

void TSerialPort::SetTimeouts(int byteTimeout, int commandTimeout) {
    Impl->ByteTimeout = std::max(byteTimeout, 0);
    Impl->CommandTimeout = std::max(commandTimeout, 0);
}

void TSerialPort::Purge() {
    tcflush(Impl->Fd, TCIOFLUSH);
    Impl->AwaitingAnswer = true;
}

std::size_t TSerialPort::Write(const TBytes& data) {
    // Like the Win32 write time-out: ByteTimeout per byte in all, none when it is 0.
    const long long deadline =
        Impl->ByteTimeout > 0
            ? NowUs() + static_cast<long long>(Impl->ByteTimeout) * UsPerMs * data.size()
            : NoDeadline;
    std::size_t written = 0;
    while (written < data.size()) {
        const ssize_t n = write(Impl->Fd, data.data() + written, data.size() - written);
        if (n > 0) {
            written += static_cast<std::size_t>(n);
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            RaiseLastOSError();
        } else if (!WaitFor(Impl->Fd, POLLOUT, deadline)) {
            break;
        }
    }
    Impl->AwaitingAnswer = Impl->AwaitingAnswer && written == data.size();
    return written;
}

TBytes TSerialPort::Read(std::size_t count) {
    TBytes data;
    const long long total =
        NowUs() + (Impl->CommandTimeout + static_cast<long long>(count)) * UsPerMs;
    long long deadline = total;
    // Read before polling: an answer's body is mostly there with its header already, and a
    // poll that returns at once costs a system call as the read does. The first read after
    // a purged request polls first: nothing can have come yet. With VMIN 0 a read of an
    // empty line returns 0, so only a 0 right after a poll saw input is a hang-up.
    bool readable = false;
    if (Impl->AwaitingAnswer) {
        Impl->AwaitingAnswer = false;
        if (!WaitFor(Impl->Fd, POLLIN, deadline))
            return data;
        readable = true;
    }
    while (data.size() < count) {
        char buffer[512];
        const std::size_t want = std::min(count - data.size(), sizeof buffer);
        const ssize_t n = read(Impl->Fd, buffer, want);
        if (n > 0) {
            data.append(buffer, static_cast<std::size_t>(n));
            if (Impl->ByteTimeout > 0)
                deadline = std::min(total, NowUs() + Impl->ByteTimeout * UsPerMs);
            readable = false;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            RaiseLastOSError();
        if (n == 0 && readable) { // hang-up without an error: nothing more will come
            WaitFor(-1, 0, deadline);
            break;
        }
        if (!WaitFor(Impl->Fd, POLLIN, deadline))
            break;
        readable = true;
    }
    return data;
}

std::string TSerialPort::DeviceOfPort(int portNumber) {
    return PortMapDevice(portNumber);
}

std::vector<TSerialPortInfo> TSerialPort::ListPorts() {
    return PortMapList();
}
