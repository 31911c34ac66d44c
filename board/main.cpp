// trelmo-board: a virtual control board on a pseudo-terminal, for tests, demos and work
// without the hardware. See README.md for the command line and the control interface.
#include "untBoardLink.h"
#include "untControl.h"
#include "untPoller.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <string>
#include <sys/prctl.h>
#include <unistd.h>

namespace {
const char Usage[] = "usage: trelmo-board [-v] [--baud N] [--serial N] [--restart-ms N]\n"
                     "                    [--watchdog-ms N] [--empty-table N] [--line-timing]\n"
                     "                    [--process-us N] [--control SOCKET_PATH]\n"
                     "                    [--control-tty LINK_PATH] LINK_PATH\n";
const char Help[] = "  --empty-table N  settings table N (1 to 5) reports no rows on the line\n"
                    "  --line-timing    bytes take their time on the line: 10 bits at the board's speed\n"
                    "  --process-us N   microseconds from a request's last byte to the answer's first\n";

struct TOptions {
    bool verbose = false;
    TBoardOptions board;
    TLineTiming line;
    std::string controlPath;
    std::string controlTtyPath;
    std::string linkPath;
};

// Reads one "--name N" pair; false with a message for a bad or missing number.
bool TakeNumber(int argc, char** argv, int& i, long long minValue, long long maxValue,
                long long& value) {
    const char* name = argv[i];
    if (++i < argc && ParseDecimal(argv[i], minValue, maxValue, value))
        return true;
    std::fprintf(stderr, "trelmo-board: %s needs a number from %lld to %lld\n", name, minValue,
                 maxValue);
    return false;
}

bool ParseNumberOption(int argc, char** argv, int& i, TOptions& options) {
    const std::string name = argv[i];
    long long value = 0;
    if (name == "--baud") {
        if (!TakeNumber(argc, argv, i, 1, 1000000, value))
            return false;
        if (!IsValidBaudRate(static_cast<int>(value))) {
            std::fprintf(stderr, "trelmo-board: the board has no speed %lld\n", value);
            return false;
        }
        options.board.baudRate = static_cast<int>(value);
    } else if (name == "--serial") {
        if (!TakeNumber(argc, argv, i, 0, 65535, value))
            return false;
        options.board.serialNumber = static_cast<std::uint16_t>(value);
    } else if (name == "--restart-ms") {
        if (!TakeNumber(argc, argv, i, 0, 600000, value))
            return false;
        options.board.restartMs = value;
    } else if (name == "--watchdog-ms") {
        if (!TakeNumber(argc, argv, i, 0, 86400000, value))
            return false;
        options.board.watchdogPeriodMs = value;
    } else if (name == "--empty-table") {
        if (!TakeNumber(argc, argv, i, 1, 5, value))
            return false;
        options.board.emptyTable = static_cast<int>(value);
    } else if (name == "--process-us") {
        if (!TakeNumber(argc, argv, i, 0, MaxLineDelayUs, value))
            return false;
        options.line.processUs = value;
    } else {
        std::fprintf(stderr, "trelmo-board: unknown option %s\n", argv[i]);
        return false;
    }
    return true;
}

bool ParseOptions(int argc, char** argv, TOptions& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-v") {
            options.verbose = true;
        } else if (arg == "--line-timing") {
            options.line.paced = true;
        } else if (arg == "--control" || arg == "--control-tty") {
            if (++i == argc || !*argv[i]) {
                std::fprintf(stderr, "trelmo-board: %s needs a %s path\n", arg.c_str(),
                             arg == "--control" ? "socket" : "link");
                return false;
            }
            (arg == "--control" ? options.controlPath : options.controlTtyPath) = argv[i];
        } else if (arg.size() > 1 && arg[0] == '-') {
            if (!ParseNumberOption(argc, argv, i, options))
                return false;
        } else if (options.linkPath.empty() && !arg.empty()) {
            options.linkPath = arg;
        } else {
            std::fprintf(stderr, "trelmo-board: unexpected argument '%s'\n", argv[i]);
            return false;
        }
    }
    if (options.linkPath.empty()) {
        std::fprintf(stderr, "trelmo-board: LINK_PATH missing\n");
        return false;
    }
    if (options.controlTtyPath == options.linkPath) {
        std::fprintf(stderr, "trelmo-board: the control line needs a link of its own\n");
        return false;
    }
    return true;
}

int SignalPipe[2] = {-1, -1};

void OnSignal(int) {
    const int saved = errno;
    const char byte = 0;
    (void)!write(SignalPipe[1], &byte, 1);
    errno = saved;
}

void InstallSignals() {
    if (pipe2(SignalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        sigaction(sig, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

// A sleeping timer wakes some tens of microseconds late, more on a virtual machine: a paced
// line wakes this much early and spins to the byte's time, so an answer's last byte is not
// late by the timer's slack (at 115200 baud a byte lasts 87 us).
const TMicros WakeEarlyUs = 200;

void SpinUntil(TMicros deadline) {
    while (MonotonicUs() < deadline && deadline - MonotonicUs() <= WakeEarlyUs) {
    }
}

void TraceLine(const std::string& line) {
    std::fprintf(stderr, "%s\n", line.c_str());
}

int Serve(const TOptions& options) {
    InstallSignals();
    TBoardModel model(options.board, MonotonicMs());
    TFaultSet faults;
    const TTrace trace = options.verbose ? TTrace(TraceLine) : TTrace();
    TBoardLink link(model, faults, trace);
    link.Timing() = options.line;
    // The line's timing is kept to the microsecond; the kernel's default slack of 50 us
    // would add up over the exchanges of a transfer.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    TControl control(model, faults, link, trace);
    TControlServer server(
        [&](const std::string& line) { return control.Execute(line, MonotonicMs()); });
    link.Open(options.linkPath);
    if (!options.controlPath.empty())
        server.Listen(options.controlPath);
    if (!options.controlTtyPath.empty())
        server.ListenTty(options.controlTtyPath);
    server.WatchStdin();
    std::printf("READY %s\n", options.linkPath.c_str());
    std::fflush(stdout);

    bool stop = false;
    while (!stop && !control.QuitRequested() && !server.StdinClosed()) {
        link.OnTimer(MonotonicUs());
        TPoller poller;
        poller.Add(SignalPipe[0], POLLIN, [&](short) { stop = true; });
        poller.Add(link.Fd(), POLLIN, [&](short) { link.OnReadable(MonotonicUs()); });
        server.AddTo(poller);
        const TMicros deadline = link.Deadline();
        const bool exact = deadline >= 0 && link.Timing().paced;
        poller.Wait(exact ? deadline - WakeEarlyUs : deadline);
        if (exact)
            SpinUntil(deadline);
    }
    link.GoAway();
    return 0;
}
} // namespace

int main(int argc, char** argv) {
    TOptions options;
    if (argc == 2 && (std::string(argv[1]) == "-h" || std::string(argv[1]) == "--help")) {
        std::fputs(Usage, stdout);
        std::fputs(Help, stdout);
        return 0;
    }
    if (!ParseOptions(argc, argv, options)) {
        std::fputs(Usage, stderr);
        return 2;
    }
    try {
        return Serve(options);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "trelmo-board: %s\n", e.what());
        return 1;
    }
}
