#include "untTestBoard.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace testboard {
using namespace std::chrono_literals;

int ElapsedMs(TClock::time_point since) {
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - since).count());
}

bool Exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

TBytes ReadFor(int fd, std::size_t count, int timeoutMs) {
    TBytes data;
    const auto start = TClock::now();
    while (data.size() < count && ElapsedMs(start) < timeoutMs) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, std::max(1, timeoutMs - ElapsedMs(start))) <= 0)
            continue;
        char buffer[512];
        const ssize_t n = read(fd, buffer, std::min(sizeof buffer, count - data.size()));
        if (n <= 0)
            break;
        data.append(buffer, static_cast<std::size_t>(n));
    }
    return data;
}

std::optional<int> ResultWithin(int timeoutMs, const std::function<int()>& body) {
    int channel[2];
    if (pipe(channel) != 0)
        return std::nullopt;
    const pid_t pid = fork();
    if (pid == 0) { // no destructors here: the board and the files belong to the parent
        const int result = body();
        _exit(write(channel[1], &result, sizeof result) == sizeof result ? 0 : 1);
    }
    close(channel[1]);
    int result = 0;
    const TBytes bytes = ReadFor(channel[0], sizeof result, timeoutMs);
    close(channel[0]);
    if (bytes.size() != sizeof result)
        kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    if (bytes.size() != sizeof result)
        return std::nullopt;
    std::memcpy(&result, bytes.data(), sizeof result);
    return result;
}

std::string ReadFileText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

TRun RunProgram(const std::string& program, std::vector<std::string> args, const std::string& dir) {
    const std::string out = dir + "/out", err = dir + "/err";
    args.insert(args.begin(), program);
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
        dup2(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
        dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        ExecInChild(args);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFileText(out), ReadFileText(err)};
}

TBoardProcess::TBoardProcess(std::vector<std::string> options) {
    char dir[] = "/tmp/trelmo-board-test.XXXXXX";
    Dir = mkdtemp(dir);
    Link = Dir + "/tty";
    Socket = Dir + "/control";
    options.insert(options.begin(), {"-v", "--control", Socket});
    options.push_back(Link);
    Start(options);
}

TBoardProcess::~TBoardProcess() {
    if (Pid > 0) {
        kill(Pid, SIGKILL);
        waitpid(Pid, nullptr, 0);
    }
    CloseInput();
    close(Output);
    close(Control);
    std::system(("rm -rf " + Dir).c_str());
}

void TBoardProcess::Start(const std::vector<std::string>& options) {
    CloseInput();
    close(Output);
    int in[2], out[2];
    ASSERT_EQ(pipe2(in, O_CLOEXEC), 0);
    ASSERT_EQ(pipe2(out, O_CLOEXEC), 0);
    Pid = fork();
    if (Pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        const int err = open((Dir + "/trace").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        dup2(err, 2);
        std::vector<char*> argv{const_cast<char*>(TRELMO_BOARD_PROGRAM)};
        for (const std::string& o : options)
            argv.push_back(const_cast<char*>(o.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    Input = in[1];
    Output = out[0];
    ASSERT_EQ(ReadLine(Output, 10000), "READY " + Link);
}

std::string TBoardProcess::Command(const std::string& line) {
    if (Control < 0)
        Control = Connect();
    const std::string text = line + "\n";
    EXPECT_EQ(write(Control, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    std::string reply;
    for (;;) {
        const std::string l = ReadLine(Control, AnswerMs);
        reply += l + "\n";
        if (l.empty() || l == "OK" || l == "END" || l.rfind("ERR", 0) == 0)
            return reply;
    }
}

std::string TBoardProcess::State(const std::string& name) {
    std::istringstream lines(Command("state"));
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(name + "=", 0) == 0)
            return line.substr(name.size() + 1);
    return "";
}

void TBoardProcess::Reconnect() {
    close(Control);
    Control = Connect();
}

void TBoardProcess::CloseInput() {
    close(Input);
    Input = -1;
}

int TBoardProcess::Wait(int timeoutMs) {
    const auto start = TClock::now();
    int status = 0;
    while (ElapsedMs(start) < timeoutMs) {
        if (waitpid(Pid, &status, WNOHANG) == Pid) {
            Pid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(10ms);
    }
    return -1;
}

std::string TBoardProcess::Trace() const {
    std::ifstream file(Dir + "/trace");
    return std::string(std::istreambuf_iterator<char>(file), {});
}

int TBoardProcess::Connect() const {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", Socket.c_str());
    EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    return fd;
}

std::string TBoardProcess::ReadLine(int fd, int timeoutMs) {
    std::string line;
    const auto start = TClock::now();
    for (;;) {
        const TBytes c = ReadFor(fd, 1, std::max(1, timeoutMs - ElapsedMs(start)));
        if (c.empty() || c == "\n")
            return line;
        line += c;
    }
}
void ExecInChild(std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(&a[0]);
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
}

} // namespace testboard
