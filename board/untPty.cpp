#include "untPty.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace {
struct TSpeed {
    speed_t speed;
    int baud;
};
const TSpeed Speeds[] = {{B1200, 1200},     {B2400, 2400},     {B4800, 4800},    {B9600, 9600},
                         {B19200, 19200},   {B38400, 38400},   {B57600, 57600},  {B115200, 115200},
                         {B230400, 230400}, {B460800, 460800}, {B921600, 921600}};

std::runtime_error SystemError(const std::string& what) {
    return std::runtime_error(what + ": " + std::strerror(errno));
}

std::string ReadLink(const std::string& path) {
    char target[4096];
    const ssize_t n = readlink(path.c_str(), target, sizeof target);
    return n > 0 ? std::string(target, static_cast<std::size_t>(n)) : std::string();
}
} // namespace

int SpeedToBaud(speed_t speed) {
    for (const TSpeed& s : Speeds)
        if (s.speed == speed)
            return s.baud;
    return 0;
}

speed_t BaudToSpeed(int baudRate) {
    for (const TSpeed& s : Speeds)
        if (s.baud == baudRate)
            return s.speed;
    return B0;
}

TPty::~TPty() {
    Close();
}

void TPty::Open(const std::string& linkPath, int baudRate) {
    Close();
    try {
        CreateMaster();
        OpenTerminal(baudRate);
        Publish(linkPath);
    } catch (...) {
        Close();
        throw;
    }
}

void TPty::CreateMaster() {
    MasterFd = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (MasterFd < 0)
        throw SystemError("posix_openpt");
    if (grantpt(MasterFd) != 0 || unlockpt(MasterFd) != 0)
        throw SystemError("unlockpt");
    char name[256];
    if (ptsname_r(MasterFd, name, sizeof name) != 0)
        throw SystemError("ptsname");
    Terminal = name;
}

// The line starts raw at the board's speed, so a client that does not set the line up
// (a terminal program, a quick script) is heard at once.
void TPty::OpenTerminal(int baudRate) {
    if (!Reattach())
        throw SystemError("open " + Terminal);
    termios tio{};
    if (tcgetattr(TerminalFd, &tio) != 0)
        throw SystemError("tcgetattr");
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~(CRTSCTS | HUPCL);
    const speed_t speed = BaudToSpeed(baudRate);
    if (speed != B0) {
        cfsetispeed(&tio, speed);
        cfsetospeed(&tio, speed);
    }
    if (tcsetattr(TerminalFd, TCSANOW, &tio) != 0)
        throw SystemError("tcsetattr");
}

// A temporary link renamed over the path replaces a stale link atomically; anything
// that is not a link is left alone.
void TPty::Publish(const std::string& linkPath) {
    struct stat st {};
    if (lstat(linkPath.c_str(), &st) == 0 && !S_ISLNK(st.st_mode))
        throw std::runtime_error(linkPath + " exists and is not a symbolic link");
    const std::string temp = linkPath + ".tmp" + std::to_string(getpid());
    unlink(temp.c_str());
    if (symlink(Terminal.c_str(), temp.c_str()) != 0)
        throw SystemError("symlink " + temp);
    if (rename(temp.c_str(), linkPath.c_str()) != 0) {
        const int saved = errno;
        unlink(temp.c_str());
        errno = saved;
        throw SystemError("rename " + linkPath);
    }
    LinkPath = linkPath;
}

void TPty::Close() {
    if (!LinkPath.empty() && ReadLink(LinkPath) == Terminal)
        unlink(LinkPath.c_str());
    LinkPath.clear();
    if (TerminalFd >= 0)
        close(TerminalFd);
    if (MasterFd >= 0)
        close(MasterFd);
    TerminalFd = MasterFd = -1;
    Terminal.clear();
}

bool TPty::Reattach() {
    if (MasterFd < 0)
        return false;
    const int fd = open(Terminal.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    if (TerminalFd >= 0)
        close(TerminalFd);
    TerminalFd = fd;
    return true;
}

long TPty::Read(char* buffer, std::size_t size) {
    if (MasterFd < 0) {
        errno = EBADF;
        return -1;
    }
    return read(MasterFd, buffer, size);
}

long TPty::Write(const TBytes& data) {
    if (MasterFd < 0) {
        errno = EBADF;
        return -1;
    }
    return write(MasterFd, data.data(), data.size());
}

// On Linux the master reports the terminal side's settings, which the client owns.
int TPty::LineBaudRate() const {
    termios tio{};
    if (MasterFd < 0 || tcgetattr(MasterFd, &tio) != 0)
        return 0;
    return SpeedToBaud(cfgetospeed(&tio));
}
