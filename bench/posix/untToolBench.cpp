#include "untToolBench.h"

#include "untPaired.h"
#include "untRawPort.h"
#include "untWorkloads.h"

#include <benchmark/benchmark.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace bench {
namespace {

using TClock = std::chrono::steady_clock;

[[noreturn]] void Fail(const std::string& what, int error) {
    throw std::runtime_error(what + ": " + std::strerror(error));
}

struct TPipe {
    int Read = -1, Write = -1;
    TPipe() {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            Fail("pipe", errno);
        Read = fds[0];
        Write = fds[1];
    }
    ~TPipe() {
        CloseWrite();
        close(Read);
    }
    void CloseWrite() {
        if (Write >= 0)
            close(Write);
        Write = -1;
    }
};

// Every line a ReadStatus that succeeded, and one for each argument: a tool that failed, or
// stopped early, would otherwise show as a fast one.
void CheckOutput(const std::string& out, std::size_t exchanges) {
    static const std::string good = "ReadStatus: 0 ";
    std::size_t lines = 0;
    for (std::size_t at = 0; at < out.size(); ++lines) {
        if (out.compare(at, good.size(), good) != 0)
            throw std::runtime_error("the tool printed '" +
                                     out.substr(at, out.find('\n', at) - at) + "'");
        const std::size_t eol = out.find('\n', at);
        at = eol == std::string::npos ? out.size() : eol + 1;
    }
    if (lines != exchanges)
        throw std::runtime_error("the tool printed " + std::to_string(lines) + " lines for " +
                                 std::to_string(exchanges) + " exchanges");
}

} // namespace

double RunTool(const std::string& tool, const std::string& link, std::size_t exchanges) {
    std::vector<std::string> args{tool, "--device", link};
    args.insert(args.end(), exchanges, "ReadStatus");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(&a[0]);
    argv.push_back(nullptr);

    TPipe out;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out.Write, 1);
    std::string text;
    text.reserve(exchanges * 32);

    const TClock::time_point start = TClock::now();
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, tool.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        Fail("cannot start " + tool, spawned);
    out.CloseWrite();
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(out.Read, buffer, sizeof buffer);
        if (n > 0)
            text.append(buffer, static_cast<std::size_t>(n));
        else if (n == 0 || errno != EINTR)
            break;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    const double seconds = std::chrono::duration<double>(TClock::now() - start).count();

    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("the tool ended with status " + std::to_string(status));
    CheckOutput(text, exchanges);
    return seconds;
}

void RegisterToolBenchmark(const std::string& tool, const std::string& link, std::size_t exchanges,
                           int rounds) {
    const auto run = [=](benchmark::State& state) {
        // A round a slice: one round already holds thousands of exchanges per side.
        TPairedMeter meter(1);
        try {
            TRawPort raw(link);
            const auto rawLoop = [&] {
                const TClock::time_point start = TClock::now();
                for (std::size_t i = 0; i < exchanges; ++i)
                    StatusRaw(raw);
                return std::chrono::duration<double>(TClock::now() - start).count();
            };
            for (auto _ : state) {
                const bool rawFirst = meter.RoundsDone() % 2 == 0;
                const double rawSeconds = rawFirst ? rawLoop() : 0;
                const double toolSeconds = RunTool(tool, link, exchanges);
                meter.Add(rawFirst ? rawSeconds : rawLoop(), exchanges, toolSeconds, exchanges);
            }
        } catch (const std::exception& e) {
            state.SkipWithError(e.what());
        }
        state.counters["raw_per_s"] = meter.RawRate();
        state.counters["tool_per_s"] = meter.DriverRate();
        state.counters["ratio_pct"] = 100 * meter.Ratio();
    };
    benchmark::RegisterBenchmark("tool", run)->Unit(benchmark::kMillisecond)->Iterations(rounds);
}

} // namespace bench
