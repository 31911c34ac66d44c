#include "untDaemonProcess.h"

#include "driver/platform/posix/untPosixFiles.h"
#include "untTestBoard.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace testdaemon {
using testboard::ElapsedMs;
using testboard::TClock;

TDaemonProcess::TDaemonProcess(const std::string& link, const std::string& config,
                               const std::vector<std::string>& options) {
    char dir[] = "/tmp/trelmod-test.XXXXXX";
    Dir = mkdtemp(dir);
    // Open to all, so that only the socket's own mode keeps others out.
    chmod(Dir.c_str(), 0755);
    Socket = Dir + "/trelmod.sock";
    ConfigFile = Dir + "/trelmod.conf";
    WriteConfig(config);
    std::vector<std::string> args = {TRELMOD_PROGRAM, "--config", ConfigFile, "--device", link,
                                     "--socket",      Socket};
    args.insert(args.end(), options.begin(), options.end());
    Pid = fork();
    if (Pid == 0) {
        const int err = open((Dir + "/log").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        dup2(err, 2);
        // The driver's own saved settings stay the test's.
        setenv("XDG_CONFIG_HOME", Dir.c_str(), 1);
        testboard::ExecInChild(args);
    }
    const auto start = TClock::now();
    while (ElapsedMs(start) < ReplyMs) {
        const int fd = Connect();
        if (fd >= 0) {
            close(fd);
            return;
        }
        if (waitpid(Pid, nullptr, WNOHANG) == Pid) {
            Pid = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ADD_FAILURE() << "trelmod does not listen:\n" << Log();
}

TDaemonProcess::~TDaemonProcess() {
    Kill();
    std::system(("rm -rf " + Dir).c_str());
}

void TDaemonProcess::WriteConfig(const std::string& text) const {
    std::ofstream(ConfigFile) << text;
}

int TDaemonProcess::Connect() const {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", Socket.c_str());
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
        return fd;
    const int error = errno;
    close(fd);
    errno = error;
    return -1;
}

void TDaemonProcess::Signal(int number) const {
    if (Pid > 0)
        kill(Pid, number);
}

int TDaemonProcess::Wait(int timeoutMs) {
    const auto start = TClock::now();
    while (Pid > 0) {
        int status = 0;
        if (waitpid(Pid, &status, WNOHANG) == Pid) {
            Pid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (ElapsedMs(start) > timeoutMs)
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
}

int TDaemonProcess::Stop(int timeoutMs) {
    Signal(SIGTERM);
    return Wait(timeoutMs);
}

void TDaemonProcess::Kill() {
    if (Pid > 0) {
        kill(Pid, SIGKILL);
        waitpid(Pid, nullptr, 0);
        Pid = -1;
    }
}

std::string TDaemonProcess::Log() const {
    return testboard::ReadFileText(Dir + "/log");
}

TDaemonClient::TDaemonClient(const TDaemonProcess& daemon) : Fd(daemon.Connect()) {
    EXPECT_GE(Fd, 0) << "cannot connect: " << std::strerror(errno);
}

TDaemonClient::~TDaemonClient() {
    if (Fd >= 0)
        close(Fd);
}

bool TDaemonClient::Write(const std::string& bytes) {
    return SendAll(Fd, bytes);
}

std::string TDaemonClient::ReadLine(int timeoutMs) {
    const auto start = TClock::now();
    for (;;) {
        const std::size_t newline = Buffer.find('\n');
        if (newline != std::string::npos) {
            std::string line = Buffer.substr(0, newline);
            Buffer.erase(0, newline + 1);
            return line;
        }
        const int left = timeoutMs - ElapsedMs(start);
        pollfd fd{Fd, POLLIN, 0};
        if (left <= 0 || poll(&fd, 1, left) <= 0)
            return "";
        char chunk[65536];
        const ssize_t got = recv(Fd, chunk, sizeof chunk, 0);
        if (got <= 0)
            return "";
        Buffer.append(chunk, static_cast<std::size_t>(got));
    }
}

TJson TDaemonClient::Read(int timeoutMs) {
    const std::string line = ReadLine(timeoutMs);
    return line.empty() ? TJson() : TJson::parse(line, nullptr, false);
}

TJson TDaemonClient::Answer(int timeoutMs) {
    const auto start = TClock::now();
    for (;;) {
        TJson line = Read(std::max(0, timeoutMs - ElapsedMs(start)));
        if (!line.is_object() || !line.contains("event"))
            return line;
    }
}

TJson TDaemonClient::Event(const std::string& name, int timeoutMs) {
    const auto start = TClock::now();
    for (;;) {
        TJson line = Read(std::max(0, timeoutMs - ElapsedMs(start)));
        if (line.is_null() || (line.is_object() && line.value("event", "") == name))
            return line;
    }
}

bool TDaemonClient::Closed(int timeoutMs) {
    const auto start = TClock::now();
    while (ElapsedMs(start) < timeoutMs) {
        pollfd fd{Fd, POLLIN, 0};
        if (poll(&fd, 1, 100) <= 0)
            continue;
        char chunk[65536];
        const ssize_t got = recv(Fd, chunk, sizeof chunk, 0);
        if (got == 0 || (got < 0 && errno == ECONNRESET))
            return true;
    }
    return false;
}
} // namespace testdaemon
