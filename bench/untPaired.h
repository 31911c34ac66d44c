// The raw loop and the driver timed in alternation, a round of each in turn, so that a load
// coming and going on the machine (builds, other tests) falls on both alike. The figures are
// medians over slices of rounds: a slice disturbed by a burst does not move them.
#pragma once

#include <chrono>
#include <cstddef>
#include <vector>

namespace bench {

class TPairedMeter {
public:
    explicit TPairedMeter(std::size_t roundsPerSlice) : RoundsPerSlice(roundsPerSlice) {}

    // One round of each, the order swapped every round; each returns its exchanges.
    template <typename TRaw, typename TDriverWork> void Round(TRaw raw, TDriverWork driver) {
        using TClock = std::chrono::steady_clock;
        const bool rawFirst = Rounds % 2 == 0;
        const TClock::time_point t0 = TClock::now();
        const std::size_t first = rawFirst ? raw() : driver();
        const TClock::time_point t1 = TClock::now();
        const std::size_t second = rawFirst ? driver() : raw();
        const TClock::time_point t2 = TClock::now();
        const double firstSeconds = std::chrono::duration<double>(t1 - t0).count();
        const double secondSeconds = std::chrono::duration<double>(t2 - t1).count();
        if (rawFirst)
            Add(firstSeconds, first, secondSeconds, second);
        else
            Add(secondSeconds, second, firstSeconds, first);
    }

    // A round timed by the caller, for work whose halves interleave more finely.
    void Add(double rawSeconds, std::size_t rawExchanges, double driverSeconds,
             std::size_t driverExchanges);
    std::size_t RoundsDone() const { return Rounds; }

    // Exchanges per second and their ratio (driver / raw).
    double RawRate() const;
    double DriverRate() const;
    double Ratio() const;

private:
    // The slices' figures, or the partial slice's when no slice is full.
    double MedianOf(const std::vector<double>& full, double partial) const;

    std::size_t RoundsPerSlice;
    std::size_t Rounds = 0;
    std::size_t InSlice = 0;
    double RawSeconds = 0, DriverSeconds = 0;
    std::size_t RawExchanges = 0, DriverExchanges = 0;
    std::vector<double> RawRates, DriverRates, Ratios;
};

} // namespace bench
