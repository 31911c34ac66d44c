#include "untReport.h"

#include "untWorkloads.h"

#include <cstdio>

namespace bench {

void PrintHeading(const std::string& title) {
    std::printf("\n== %s\n", title.c_str());
    std::fflush(stdout);
}

void PrintRatio(const std::string& work, double rawPerSecond, double measuredPerSecond,
                double ratio, const char* measured, double target) {
    std::printf("%-9s raw %8.0f/s %7.1f us   %-6s %8.0f/s %7.1f us   ratio %.3f", work.c_str(),
                rawPerSecond, rawPerSecond > 0 ? 1e6 / rawPerSecond : 0, measured,
                measuredPerSecond, measuredPerSecond > 0 ? 1e6 / measuredPerSecond : 0, ratio);
    if (ratio < target)
        std::printf("  BELOW %.2f", target);
    std::printf("\n");
    std::fflush(stdout);
}

void PrintNoLink(int commandTimeoutMs, const std::vector<double>& samplesMs) {
    const double limit = commandTimeoutMs + 4 + NoLinkSlackMs;
    const double worst = Max(samplesMs);
    std::printf("no-link   CommandTimeout %d ms, %zu samples: median %.1f ms, max %.1f ms, "
                "limit %.0f ms: %s\n",
                commandTimeoutMs, samplesMs.size(), Median(samplesMs), worst, limit,
                samplesMs.empty() ? "NOT MEASURED"
                : worst <= limit  ? "within"
                                  : "OVER");
    std::fflush(stdout);
}

void PrintHeap(const std::string& what, const THeapCount& held) {
    std::printf("%-44s %7lld bytes in %4lld blocks\n", what.c_str(),
                static_cast<long long>(held.LiveBytes), static_cast<long long>(held.LiveBlocks));
    std::fflush(stdout);
}

void PrintPerExchange(const std::string& work, const THeapCount& used, std::size_t exchanges) {
    const double n = exchanges ? static_cast<double>(exchanges) : 1;
    std::printf("allocations per exchange, %-18s %5.2f (%.0f bytes)\n", (work + ":").c_str(),
                static_cast<double>(used.Allocations) / n,
                static_cast<double>(used.AllocatedBytes) / n);
    std::fflush(stdout);
}

void MeasureDriverHeap(const std::function<std::unique_ptr<TDriver>()>& make, TRawPort& raw,
                       const TBytes& image) {
    // The first driver pays for what lives as long as the process (static texts, the time
    // zone): that is not the object's.
    {
        auto first = make();
        first->OpenPort();
        StatusDriver(*first);
    }
    const THeapCount before = HeapNow();
    auto driver = make();
    PrintHeap("TDriver object + heap, constructed:", HeapNow() - before);
    driver->OpenPort();
    StatusDriver(*driver);
    const THeapCount steady = HeapNow();
    PrintHeap("after opening the port and one ReadStatus:", steady - before);
    const int rounds = 1000;
    for (int i = 0; i < rounds; ++i)
        StatusDriver(*driver);
    PrintHeap("after 1000 more ReadStatus:", HeapNow() - before);
    PrintPerExchange("status", HeapNow() - steady, rounds);
    THeapCount start = HeapNow();
    std::size_t exchanges = FirmwareDriver(*driver, image);
    PrintPerExchange("firmware", HeapNow() - start, exchanges);
    start = HeapNow();
    exchanges = TablesDriver(*driver);
    PrintPerExchange("tables", HeapNow() - start, exchanges);
    PrintHeap("after the firmware and the tables:", HeapNow() - before);
    driver.reset();
    PrintHeap("left after the object is destroyed:", HeapNow() - before);
    std::printf("sizeof(TDriver) = %zu bytes\n", sizeof(TDriver));
    start = HeapNow();
    for (int i = 0; i < rounds; ++i)
        StatusRaw(raw);
    PrintPerExchange("raw loop status", HeapNow() - start, rounds);
}

} // namespace bench
