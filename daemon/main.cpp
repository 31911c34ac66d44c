// trelmod: the board's service. Options beat the configuration file, at the start and at
// each reload.
#include "untConfig.h"
#include "untService.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <signal.h>
#include <unistd.h>

namespace {
const char DefaultConfig[] = "/etc/trelmo/trelmod.conf";

const char Help[] =
    "usage: trelmod [--config FILE] [--device PATH] [--socket PATH] [--poll MS]\n"
    "               [--no-watchdog] [--help] [--version]\n"
    "The kiosk board's service: owns the board's serial port, serves clients on a Unix\n"
    "socket (one JSON request a line), keeps the board's watchdog fed, polls the status,\n"
    "tells subscribers of changes, runs hooks on events and publishes metrics.\n"
    "  --config FILE  settings (default /etc/trelmo/trelmod.conf; read again on SIGHUP)\n"
    "  --device PATH  the board's serial device, instead of the driver's port number\n"
    "  --socket PATH  the clients' socket (default /run/trelmo/trelmod.sock)\n"
    "  --poll MS      the status poll interval (default 1000)\n"
    "  --no-watchdog  leave the board's watchdog alone\n"
    "SIGHUP reloads the settings; SIGTERM or SIGINT stops the service in order.\n";

int SignalPipe[2] = {-1, -1};

void OnSignal(int number) {
    const int saved = errno;
    const char byte = static_cast<char>(number);
    if (write(SignalPipe[1], &byte, 1) < 0) {
        // A full pipe already holds a signal the loop will see.
    }
    errno = saved;
}

struct TOptions {
    std::string ConfigFile;
    std::string Device, Socket;
    int PollMs = 0;
    bool NoWatchdog = false;
};

[[noreturn]] void Usage(const std::string& why) {
    std::cerr << "trelmod: " << why << "\n" << Help;
    std::exit(2);
}

int PollOption(const char* text) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (*text == '\0' || *end != '\0' || value < 10 || value > 86400000)
        Usage(std::string("--poll takes 10 to 86400000 ms, not '") + text + "'");
    return static_cast<int>(value);
}

TOptions ParseOptions(int argc, char** argv) {
    TOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool valued = arg == "--config" || arg == "--device" || arg == "--socket" ||
                            arg == "--poll";
        if (valued && i + 1 >= argc)
            Usage(arg + " needs a value");
        if (arg == "--help" || arg == "-h") {
            std::cout << Help;
            std::exit(0);
        } else if (arg == "--version") {
            std::cout << "trelmod " << TRELMO_VERSION << "\n";
            std::exit(0);
        } else if (arg == "--config") {
            options.ConfigFile = argv[++i];
        } else if (arg == "--device") {
            options.Device = argv[++i];
        } else if (arg == "--socket") {
            options.Socket = argv[++i];
        } else if (arg == "--poll") {
            options.PollMs = PollOption(argv[++i]);
        } else if (arg == "--no-watchdog") {
            options.NoWatchdog = true;
        } else {
            Usage("unknown option '" + arg + "'");
        }
    }
    return options;
}

TConfig Load(const TOptions& options) {
    TConfig config;
    if (!options.ConfigFile.empty())
        config = LoadConfig(options.ConfigFile);
    else if (access(DefaultConfig, F_OK) == 0)
        config = LoadConfig(DefaultConfig);
    if (!options.Device.empty())
        config.Device = options.Device;
    if (!options.Socket.empty())
        config.Socket = options.Socket;
    if (options.PollMs > 0)
        config.PollMs = options.PollMs;
    if (options.NoWatchdog)
        config.Watchdog = false;
    return config;
}

void CatchSignals() {
    if (pipe2(SignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        Log(std::string("no signal pipe: ") + std::strerror(errno));
        std::exit(1);
    }
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : {SIGHUP, SIGTERM, SIGINT})
        sigaction(number, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
}
} // namespace

int main(int argc, char** argv) {
    const TOptions options = ParseOptions(argc, argv);
    CatchSignals();
    try {
        TService service(Load(options), [&options] { return Load(options); });
        return service.Run(SignalPipe[0]);
    } catch (const std::exception& e) {
        Log(e.what());
        return 1;
    }
}
