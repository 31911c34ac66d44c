#include "untPaired.h"

#include "untWorkloads.h"

namespace bench {

void TPairedMeter::Add(double rawSeconds, std::size_t rawExchanges, double driverSeconds,
                       std::size_t driverExchanges) {
    ++Rounds;
    RawSeconds += rawSeconds;
    DriverSeconds += driverSeconds;
    RawExchanges += rawExchanges;
    DriverExchanges += driverExchanges;
    if (++InSlice < RoundsPerSlice)
        return;
    RawRates.push_back(static_cast<double>(RawExchanges) / RawSeconds);
    DriverRates.push_back(static_cast<double>(DriverExchanges) / DriverSeconds);
    Ratios.push_back(DriverRates.back() / RawRates.back());
    InSlice = 0;
    RawSeconds = DriverSeconds = 0;
    RawExchanges = DriverExchanges = 0;
}

double TPairedMeter::MedianOf(const std::vector<double>& full, double partial) const {
    return full.empty() ? partial : Median(full);
}

double TPairedMeter::RawRate() const {
    return MedianOf(RawRates, RawSeconds > 0 ? RawExchanges / RawSeconds : 0);
}

double TPairedMeter::DriverRate() const {
    return MedianOf(DriverRates, DriverSeconds > 0 ? DriverExchanges / DriverSeconds : 0);
}

double TPairedMeter::Ratio() const {
    const double raw = RawSeconds > 0 ? RawExchanges / RawSeconds : 0;
    const double driver = DriverSeconds > 0 ? DriverExchanges / DriverSeconds : 0;
    return MedianOf(Ratios, raw > 0 ? driver / raw : 0);
}

} // namespace bench
