// POSIX clocks, system errors and the log file.
#include "untAppendFile.h"
#include "untClock.h"
#include "untCodePage.h"
#include "untError.h"
#include "untFiles.h"
#include "untPosixFiles.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

namespace {
template <typename TWrite> bool WriteEach(const std::string& data, TWrite write) {
    for (std::size_t done = 0; done < data.size();) {
        const ssize_t n = write(data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}
} // namespace

bool WriteAll(int fd, const std::string& data) {
    return WriteEach(data, [fd](const char* p, std::size_t n) { return write(fd, p, n); });
}

bool SendAll(int fd, const std::string& data, int flags) {
    return WriteEach(data, [fd, flags](const char* p, std::size_t n) {
        return send(fd, p, n, MSG_NOSIGNAL | flags);
    });
}

std::uint32_t TickCount() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint32_t>(static_cast<unsigned long long>(ts.tv_sec) * 1000 +
                                      ts.tv_nsec / 1000000);
}

TLocalTime LocalTimeNow() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    tm local{};
    localtime_r(&ts.tv_sec, &local);
    return {local.tm_year + 1900,
            local.tm_mon + 1,
            local.tm_mday,
            local.tm_hour,
            local.tm_min,
            local.tm_sec,
            static_cast<int>(ts.tv_nsec / 1000000)};
}

void RaiseOSError(unsigned long errorCode) {
    char text[300];
    std::snprintf(text, sizeof text, "%s %lu.\r\n%s", Ansi("Системная ошибка. Код:").c_str(),
                  errorCode, Utf8ToCp1251(std::strerror(static_cast<int>(errorCode))).c_str());
    throw EOSError(errorCode, text);
}

void RaiseLastOSError() {
    RaiseOSError(static_cast<unsigned long>(errno));
}

struct TAppendFile::TImpl {
    int Fd = -1;
    ~TImpl() {
        if (Fd >= 0)
            close(Fd);
    }
};

TAppendFile::TAppendFile(std::unique_ptr<TImpl> impl) : Impl(std::move(impl)) {}
TAppendFile::~TAppendFile() = default;

std::unique_ptr<TAppendFile> TAppendFile::Open(const std::string& fileName) {
    if (fileName.empty())
        return nullptr;
    auto impl = std::make_unique<TImpl>();
    impl->Fd = open(Cp1251ToUtf8(fileName).c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    // One writer at a time, as the Windows share mode has it; readers are welcome.
    if (impl->Fd < 0 || flock(impl->Fd, LOCK_EX | LOCK_NB) != 0)
        return nullptr;
    return std::unique_ptr<TAppendFile>(new TAppendFile(std::move(impl)));
}

void TAppendFile::Write(const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = write(Impl->Fd, data.data() + done, data.size() - done);
        if (n <= 0 && errno != EINTR)
            return;
        if (n > 0)
            done += static_cast<std::size_t>(n);
    }
}

bool ReadWholeFile(const std::string& fileName, std::string& data) {
    const int fd = open(Cp1251ToUtf8(fileName).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    data.clear();
    char buffer[65536];
    ssize_t n = 0;
    while ((n = read(fd, buffer, sizeof buffer)) > 0)
        data.append(buffer, static_cast<std::size_t>(n));
    close(fd);
    return n == 0;
}

void ReplaceFileAtPath(const std::string& path, const std::string& data) {
    const std::string temporary = path + ".new";
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        RaiseLastOSError();
    int error = 0;
    for (std::size_t done = 0; done < data.size() && error == 0;) {
        const ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (n == 0 || errno != EINTR)
            error = n == 0 ? EIO : errno;
    }
    if (error == 0 && fsync(fd) != 0)
        error = errno;
    if (close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && rename(temporary.c_str(), path.c_str()) != 0)
        error = errno;
    if (error != 0) {
        unlink(temporary.c_str());
        RaiseOSError(static_cast<unsigned long>(error));
    }
}

void ReplaceWholeFile(const std::string& fileName, const std::string& data) {
    ReplaceFileAtPath(Cp1251ToUtf8(fileName), data);
}
