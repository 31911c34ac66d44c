// A virtual board for tests: the real trelmo-board program in a directory of its own, with
// its control socket, and small helpers to read with a time limit.
#pragma once

#include "untProtocol.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace testboard {
using TClock = std::chrono::steady_clock;

const int NoAnswerMs = 300;
const int AnswerMs = 3000;

int ElapsedMs(TClock::time_point since);
bool Exists(const std::string& path);
// Bytes from `fd` until `count` have come or `timeoutMs` has passed.
TBytes ReadFor(int fd, std::size_t count, int timeoutMs);

// `body` run in a child process: its result, or none when the child has not ended after
// `timeoutMs` and was killed. So a call that hangs fails the test instead of stopping it.
std::optional<int> ResultWithin(int timeoutMs, const std::function<int()>& body);

// A whole file's bytes; empty when it cannot be read.
std::string ReadFileText(const std::string& path);

// A command-line program run to its end, with its settings under `dir` (XDG_CONFIG_HOME)
// and its standard output and error kept.
struct TRun {
    int Status = -1; // the exit code, -1 when it did not exit normally
    std::string Out, Err;
};
TRun RunProgram(const std::string& program, std::vector<std::string> args, const std::string& dir);
// In a forked child: replaces it with args[0] run with `args`, or ends it with 127. Takes the
// arguments in place: a child forked from a process with threads should allocate little.
[[noreturn]] void ExecInChild(std::vector<std::string>& args);

// One trelmo-board process with a link and a control socket in a directory of its own.
class TBoardProcess {
public:
    explicit TBoardProcess(std::vector<std::string> options = {});
    ~TBoardProcess();
    TBoardProcess(const TBoardProcess&) = delete;
    TBoardProcess& operator=(const TBoardProcess&) = delete;

    void Start(const std::vector<std::string>& options);
    // The reply to one control command: its lines up to OK, ERR or END.
    std::string Command(const std::string& line);
    // One value of the board's state ("relays", "mode", ...), or "" when missing.
    std::string State(const std::string& name);
    void Reconnect();
    void CloseInput();
    // Exit status, or -1 when the process did not end in time.
    int Wait(int timeoutMs = 5000);
    std::string Trace() const;

    pid_t Pid = -1;
    std::string Dir, Link, Socket;

private:
    int Connect() const;
    static std::string ReadLine(int fd, int timeoutMs);

    int Input = -1, Output = -1, Control = -1;
};
} // namespace testboard
