#include "untBenchBoard.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace {
const int StartMs = 10000;
const int ReplyMs = 5000;
} // namespace

TBenchBoard::TBenchBoard(const std::string& program, const std::vector<std::string>& options) {
    char dir[] = "/tmp/trelmo-bench.XXXXXX";
    if (!mkdtemp(dir))
        throw std::runtime_error(std::string("mkdtemp: ") + std::strerror(errno));
    Dir = dir;
    LinkPath = Dir + "/tty";
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0)
        throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    std::vector<std::string> args{program};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(LinkPath);
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(&a[0]);
    argv.push_back(nullptr);
    Pid = fork();
    if (Pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 2);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    Input = in[1];
    Output = out[0];
    const std::string ready = ReadLine(StartMs);
    if (ready != "READY " + LinkPath)
        throw std::runtime_error("the board " + program + " did not start: '" + ready + "'");
}

TBenchBoard::~TBenchBoard() {
    close(Input); // the end of its input ends the board cleanly
    int status = 0;
    for (int i = 0; i < 100 && waitpid(Pid, &status, WNOHANG) == 0; ++i)
        usleep(20000);
    if (kill(Pid, 0) == 0) {
        kill(Pid, SIGKILL);
        waitpid(Pid, &status, 0);
    }
    close(Output);
    unlink(LinkPath.c_str());
    rmdir(Dir.c_str());
}

void TBenchBoard::Command(const std::string& line) {
    const std::string text = line + "\n";
    if (write(Input, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
        throw std::runtime_error("the board's input is closed");
    const std::string reply = ReadLine(ReplyMs);
    if (reply != "OK")
        throw std::runtime_error("board command '" + line + "': " + reply);
}

std::string TBenchBoard::ReadLine(int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const std::size_t eol = Pending.find('\n');
        if (eol != std::string::npos) {
            std::string line = Pending.substr(0, eol);
            Pending.erase(0, eol + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              end - std::chrono::steady_clock::now())
                              .count();
        pollfd p{Output, POLLIN, 0};
        if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0)
            return Pending;
        char buffer[256];
        const ssize_t n = read(Output, buffer, sizeof buffer);
        if (n <= 0)
            return Pending;
        Pending.append(buffer, static_cast<std::size_t>(n));
    }
}
