// trelmo-bench: the driver core and the trelmo tool against a minimal termios loop on the
// same virtual board, the time a silent board takes to become "no link", the heap a driver
// object holds, and whole transfers against a board that keeps the line's pace (the wire
// limit).
//
//   trelmo-bench [--board PROGRAM] [--tool PROGRAM] [--quick] [--nolink-timeout MS]
//                [--nolink-samples N] [--wire-baud RATES|none] [Google Benchmark options]
//
// RATES: the wire figures' speeds, "2400,115200" by default.
//
// Figures only: the program fails when an exchange fails, never on a time.
#include "untBenchBoard.h"
#include "untCodePage.h"
#include "driver/core/untConst.h"
#include "untHeapCount.h"
#include "untPaired.h"
#include "untReport.h"
#include "untToolBench.h"
#include "untWireLimit.h"
#include "untWorkloads.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

using namespace bench;

namespace {

struct TOptions {
    std::string Board = TRELMO_BOARD_PROGRAM;
    std::string Tool = TRELMO_TOOL_PROGRAM;
    bool Quick = false;
    int NoLinkTimeoutMs = 200;
    int NoLinkSamples = 10;
    std::vector<int> WireBaudRates = DefaultWireBaudRates;
};

// Our options out of argv; the rest stays for Google Benchmark.
bool TakeOptions(int& argc, char** argv, TOptions& options) {
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--quick") {
            options.Quick = true;
        } else if (arg == "--board" && hasValue) {
            options.Board = argv[++i];
        } else if (arg == "--tool" && hasValue) {
            options.Tool = argv[++i];
        } else if (arg == "--nolink-timeout" && hasValue) {
            options.NoLinkTimeoutMs = std::atoi(argv[++i]);
        } else if (arg == "--nolink-samples" && hasValue) {
            options.NoLinkSamples = std::atoi(argv[++i]);
        } else if (arg == "--wire-baud" && hasValue) {
            if (!ParseBaudRates(argv[++i], options.WireBaudRates))
                return false;
        } else if (arg == "--board" || arg == "--tool" || arg == "--nolink-timeout" ||
                   arg == "--nolink-samples" || arg == "--wire-baud") {
            return false;
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    return options.NoLinkTimeoutMs > 0 && options.NoLinkSamples > 0;
}

// Keeps the paired figures of every benchmark: the median over the repetitions when there
// are several, else the one run's.
class TCollector : public benchmark::ConsoleReporter {
public:
    struct TFigures {
        double RawRate = 0, DriverRate = 0, Ratio = 0;
    };

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            Failed = Failed || run.error_occurred;
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            if (run.error_occurred || !(single || run.aggregate_name == "median"))
                continue;
            TFigures& figures = Figures[run.run_name.function_name];
            figures.RawRate = Counter(run, "raw_per_s");
            // The measured side: the driver, or the tool in its own benchmark.
            figures.DriverRate = Counter(run, "driver_per_s") + Counter(run, "tool_per_s");
            figures.Ratio = Counter(run, "ratio_pct") / 100;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    TFigures Of(const std::string& name) const {
        const auto found = Figures.find(name);
        return found == Figures.end() ? TFigures() : found->second;
    }

    bool Failed = false;

private:
    static double Counter(const Run& run, const char* name) {
        const auto found = run.counters.find(name);
        return found == run.counters.end() ? 0 : found->second.value;
    }

    std::map<std::string, TFigures> Figures;
};

std::unique_ptr<TDriver> OpenDriver(const std::string& link) {
    auto driver = std::make_unique<TDriver>();
    Prepare(*driver);
    driver->SetDevicePath(link);
    if (driver->OpenPort() != 0)
        throw std::runtime_error("the driver cannot open " + link + ": " +
                                 Cp1251ToUtf8(driver->GetResultDescription()));
    return driver;
}

// One paired benchmark: an iteration is one round; `roundsPerSlice` rounds make one slice
// of the medians.
void Register(const std::string& name, const std::string& link, std::size_t roundsPerSlice,
              const TPairedRound& round) {
    benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& state) {
        TPairedMeter meter(roundsPerSlice);
        try {
            // The raw port first: the driver's open makes the line exclusive.
            TRawPort raw(link);
            auto driver = OpenDriver(link);
            for (auto _ : state)
                round(meter, raw, *driver);
        } catch (const std::exception& e) {
            state.SkipWithError(e.what());
        }
        state.counters["raw_per_s"] = meter.RawRate();
        state.counters["driver_per_s"] = meter.DriverRate();
        state.counters["ratio_pct"] = 100 * meter.Ratio();
    })->Unit(benchmark::kMicrosecond);
}

// The wire figures at each speed, on a board of their own.
void MeasureWire(const TOptions& options, const TBytes& image) {
    TWireOptions wire;
    wire.Quick = options.Quick;
    for (int baudRate : options.WireBaudRates) {
        TBenchBoard board(options.Board,
                          {"--line-timing", "--process-us", std::to_string(wire.ProcessUs),
                           "--restart-ms", "0", "--baud", std::to_string(baudRate)});
        auto driver = std::make_unique<TDriver>();
        Prepare(*driver);
        driver->SetBaudRate(baudRate);
        driver->SetDevicePath(board.Link());
        if (driver->OpenPort() != 0)
            throw std::runtime_error("the driver cannot open " + board.Link());
        RunWire(*driver, board.Link(), image, wire);
    }
}

std::vector<double> MeasureNoLink(TBenchBoard& board, const TOptions& options) {
    board.Command("fault noanswer always");
    auto driver = OpenDriver(board.Link());
    const std::vector<double> samples =
        NoLinkSamples(*driver, options.NoLinkTimeoutMs, options.NoLinkSamples);
    board.Command("clear");
    return samples;
}

} // namespace

int main(int argc, char** argv) {
    TOptions options;
    if (!TakeOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: trelmo-bench [--board PROGRAM] [--tool PROGRAM] [--quick] "
                     "[--nolink-timeout MS] [--nolink-samples N] [--wire-baud RATES|none] "
                     "[Google Benchmark options]\n");
        return 2;
    }
    if (options.Quick)
        options.NoLinkSamples = std::min(options.NoLinkSamples, 2);
    // Saved settings of the user (a log switched on, say) must not reach the figures.
    char home[] = "/tmp/trelmo-bench-home.XXXXXX";
    if (!mkdtemp(home)) {
        std::perror("mkdtemp");
        return 1;
    }
    setenv("XDG_CONFIG_HOME", home, 1);

    // Defaults first, so the caller's own options override them.
    std::vector<std::string> args{argv[0]};
    if (options.Quick)
        args.insert(args.end(), {"--benchmark_repetitions=1", "--benchmark_min_time=0.001"});
    else
        args.insert(args.end(),
                    {"--benchmark_repetitions=5", "--benchmark_enable_random_interleaving=true",
                     "--benchmark_display_aggregates_only=true"});
    args.insert(args.end(), argv + 1, argv + argc);
    std::vector<char*> benchArgv;
    for (std::string& a : args)
        benchArgv.push_back(&a[0]);
    int benchArgc = static_cast<int>(benchArgv.size());
    benchmark::Initialize(&benchArgc, benchArgv.data());
    if (benchmark::ReportUnrecognizedArguments(benchArgc, benchArgv.data()))
        return 2;

    int status = 0;
    try {
        TBenchBoard board(options.Board, {"--restart-ms", "0"});
        const std::string link = board.Link();
        const TBytes image = FirmwareImage();
        Register("status", link, 50, WholeRounds(StatusRaw, StatusDriver));
        Register("firmware", link, 1, FirmwareRounds(image));
        Register("tables", link, 4, WholeRounds(TablesRaw, TablesDriver));
        RegisterToolBenchmark(options.Tool, link, options.Quick ? 20 : 3000, options.Quick ? 2 : 8);

        std::printf("trelmo-bench: native (termios), %zu-bit, board %s\n", sizeof(void*) * 8,
                    options.Board.c_str());
        TCollector collector;
        benchmark::RunSpecifiedBenchmarks(&collector);
        if (collector.Failed)
            throw std::runtime_error("a benchmark failed (see ERROR OCCURRED above)");

        PrintHeading("throughput: driver against the raw loop, same board, same run");
        for (const char* work : {"status", "firmware", "tables"}) {
            const TCollector::TFigures figures = collector.Of(work);
            PrintRatio(work, figures.RawRate, figures.DriverRate, figures.Ratio);
        }
        const TCollector::TFigures tool = collector.Of("tool");
        PrintRatio("tool", tool.RawRate, tool.DriverRate, tool.Ratio, "tool", ToolRatioTarget);

        PrintHeading("time to \"no link\" from a silent board");
        PrintNoLink(options.NoLinkTimeoutMs, MeasureNoLink(board, options));

        PrintHeading("heap (C++ allocations, usable sizes)");
        TRawPort raw(link);
        MeasureDriverHeap(
            [&] {
                auto driver = std::make_unique<TDriver>();
                Prepare(*driver);
                driver->SetDevicePath(link);
                return driver;
            },
            raw, image);

        if (!options.WireBaudRates.empty()) {
            PrintHeading(WireHeading);
            MeasureWire(options, image);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "trelmo-bench: %s\n", e.what());
        status = 1;
    }
    benchmark::Shutdown();
    rmdir(home);
    return status;
}
