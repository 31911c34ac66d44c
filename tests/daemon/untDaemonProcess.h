// The real trelmod for tests: started on a virtual board's link with its socket and settings
// in a directory of its own, and clients that send lines and read them with a time limit.
#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <sys/types.h>
#include <vector>

namespace testdaemon {
using TJson = nlohmann::ordered_json;

const int ReplyMs = 20000; // generous: the machine is shared and slow

class TDaemonProcess {
public:
    // Starts trelmod on `link` with `config` as its configuration file's text and `options`
    // after the test's own (--config, --device, --socket); waits until the socket listens.
    explicit TDaemonProcess(const std::string& link, const std::string& config = "",
                            const std::vector<std::string>& options = {});
    ~TDaemonProcess(); // kill -9 when still running, the directory removed
    TDaemonProcess(const TDaemonProcess&) = delete;
    TDaemonProcess& operator=(const TDaemonProcess&) = delete;

    // A connected client socket, or -1 with errno set.
    int Connect() const;
    void Signal(int number) const;
    // SIGTERM, then the exit status (128 + signal when killed, -1 when it did not end).
    int Stop(int timeoutMs = ReplyMs);
    void Kill();
    // The exit status once ended within the time, else -1.
    int Wait(int timeoutMs);
    // What it wrote to standard error.
    std::string Log() const;
    void WriteConfig(const std::string& text) const;

    pid_t Pid = -1;
    std::string Dir, Socket, ConfigFile;
};

class TDaemonClient {
public:
    explicit TDaemonClient(const TDaemonProcess& daemon);
    explicit TDaemonClient(int fd) : Fd(fd) {}
    ~TDaemonClient();
    TDaemonClient(const TDaemonClient&) = delete;
    TDaemonClient& operator=(const TDaemonClient&) = delete;

    // Writes the bytes as they are (blocking); false when the service is gone.
    bool Write(const std::string& bytes);
    bool Send(const std::string& line) { return Write(line + "\n"); }
    bool Send(const TJson& request) { return Send(request.dump()); }
    // One line without its newline; "" when none came in time or the service closed.
    std::string ReadLine(int timeoutMs = ReplyMs);
    // The next line as JSON; null when none came or it is not JSON.
    TJson Read(int timeoutMs = ReplyMs);
    // The next line that is not an event.
    TJson Answer(int timeoutMs = ReplyMs);
    // The next event `name` ("status", "link"), skipping answers and other events; null
    // when none came in time.
    TJson Event(const std::string& name, int timeoutMs = ReplyMs);
    TJson Request(const TJson& request, int timeoutMs = ReplyMs) {
        return Send(request) ? Answer(timeoutMs) : TJson();
    }
    // True once the service has closed the connection (read gives end of file or a reset).
    bool Closed(int timeoutMs = ReplyMs);

    int Fd = -1;

private:
    std::string Buffer;
};
} // namespace testdaemon
