#include "untWireLimit.h"

#include "driver/core/untConst.h"
#include "untCodePage.h"
#include "untRawPort.h"
#include "untWorkloads.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace bench {
namespace {

using TClock = std::chrono::steady_clock;

const std::size_t QuickExchanges = 8;
const std::size_t StatusExchanges = 1000;
const std::size_t QuickStatusExchanges = 20;
// What the board's byte time-out is after new firmware (its default).
const int BoardByteTimeoutMs = 100;

double Since(TClock::time_point start) {
    return std::chrono::duration<double>(TClock::now() - start).count();
}

// One transfer: every exchange timed and counted, the whole timed from its first request to
// its last answer.
class TTransfer {
public:
    TTransfer(const char* work, TDriver& driver, const TWireOptions& options)
        : TTransfer(work, &driver, driver.GetBaudRate(), options) {}
    // Through the raw loop.
    TTransfer(const char* work, int baudRate, const TWireOptions& options)
        : TTransfer(work, nullptr, baudRate, options) {}

    // One driver call of one exchange; `accept` is a board error the caller handles itself.
    int Call(const char* what, int (TDriver::*operation)(), int accept = 0) {
        const TClock::time_point start = Begin();
        const int result = (Driver->*operation)();
        const double seconds = Since(start);
        if (result != 0 && result != accept)
            throw std::runtime_error(std::string("driver ") + what + " at " +
                                     std::to_string(Result.BaudRate) + " baud: result " +
                                     std::to_string(result) + " " +
                                     Cp1251ToUtf8(Driver->GetResultDescription()));
        Account.Add(*Driver, seconds);
        return result;
    }
    // One exchange of the raw loop.
    void Raw(TRawPort& port, const std::uint8_t* frame, std::size_t size) {
        std::uint8_t answer[MaxFrameSize];
        const TClock::time_point start = Begin();
        const int length = RawExchange(port, frame, size, answer);
        const double seconds = Since(start);
        if (length < 2 || answer[5] != 0)
            throw std::runtime_error("raw exchange at " + std::to_string(Result.BaudRate) +
                                     " baud failed");
        Account.Add(size + FrameHeaderSize + static_cast<std::size_t>(length) + 1, seconds);
    }
    TDriverCall Caller() {
        return [this](const char* what, int (TDriver::*operation)(), int accept) {
            return Call(what, operation, accept);
        };
    }
    std::size_t Exchanges() const { return Account.Exchanges(); }

    TWireResult Finish() {
        Result.DriverSeconds = Since(Start);
        Result.Exchanges = Account.Exchanges();
        Result.Bytes = Account.Bytes();
        Result.WireSeconds = Account.WireSeconds();
        Result.MedianExcessUs = Median(Account.ExcessUs());
        Result.MaxExcessUs = Max(Account.ExcessUs());
        return Result;
    }

private:
    TTransfer(const char* work, TDriver* driver, int baudRate, const TWireOptions& options)
        : Driver(driver), Account(baudRate, options.ProcessUs) {
        Result.Work = work;
        Result.BaudRate = baudRate;
    }
    TClock::time_point Begin() {
        const TClock::time_point now = TClock::now();
        if (Exchanges() == 0)
            Start = now;
        return now;
    }

    TDriver* Driver;
    TWireAccount Account;
    TWireResult Result;
    TClock::time_point Start;
};

void Reopen(TDriver& driver, int baudRate) {
    driver.ClosePort();
    driver.SetBaudRate(baudRate);
    if (driver.OpenPort() != 0)
        throw std::runtime_error("the driver cannot reopen its port at " +
                                 std::to_string(baudRate) + " baud");
}

// New firmware listens at 2400 baud: the board is told the driver's speed again there.
void RestoreSpeed(TDriver& driver) {
    const int baudRate = driver.GetBaudRate();
    if (baudRate == 2400)
        return;
    Reopen(driver, 2400);
    driver.DeviceBaudRate = baudRate;
    driver.DeviceTimeout = BoardByteTimeoutMs;
    const int result = driver.SetExchangeParam();
    Reopen(driver, baudRate);
    if (result != 0)
        throw std::runtime_error("the board after new firmware refused " +
                                 std::to_string(baudRate) + " baud: result " +
                                 std::to_string(result));
}

} // namespace

double TWireAccount::WireSeconds(std::size_t frameBytes) const {
    return frameBytes * 10.0 / BaudRate + ProcessUs * 1e-6;
}

void TWireAccount::Add(const TDriver& driver, double seconds) {
    Add(HexBytes(driver.GetOutput()) + HexBytes(driver.GetInput()), seconds);
}

void TWireAccount::Add(std::size_t bytes, double seconds) {
    const double wire = WireSeconds(bytes);
    FrameBytes += bytes;
    Wire += wire;
    Excess.push_back((seconds - wire) * 1e6);
}

std::size_t HexBytes(const std::string& hex) {
    return (hex.size() + 1) / 3;
}

TWireResult WireFirmware(TDriver& driver, const TBytes& image, const TWireOptions& options) {
    TTransfer transfer("firmware", driver, options);
    WriteFirmware(driver, image, options.Quick ? QuickExchanges : image.size() / BlockSize,
                   transfer.Caller());
    TWireResult result = transfer.Finish();
    RestoreSpeed(driver);
    return result;
}

TWireResult WireTables(TDriver& driver, const TWireOptions& options) {
    TTransfer transfer("tables", driver, options);
    ReadAllTables(driver, transfer.Caller(), [&] {
        return options.Quick && transfer.Exchanges() >= QuickExchanges;
    });
    return transfer.Finish();
}

TWireResult WireDump(TDriver& driver, const TWireOptions& options) {
    // The areas' sizes first, outside the transfer.
    int area = 0;
    std::uint16_t blocks = 0;
    for (int type : {memData, memProgram, memEeprom}) {
        driver.MemoryType = type;
        if (driver.ReadDumpSize() == 0 && driver.BlockCount > blocks) {
            area = type;
            blocks = driver.BlockCount;
        }
    }
    if (blocks == 0)
        throw std::runtime_error("the board reports no dump area");
    if (options.Quick)
        blocks = static_cast<std::uint16_t>(std::min<std::size_t>(blocks, QuickExchanges));
    TTransfer transfer("dump", driver, options);
    driver.MemoryType = area;
    for (std::uint16_t n = 0; n < blocks; ++n) {
        driver.BlockNumber = n;
        transfer.Call("ReadDump", &TDriver::ReadDump);
        if (driver.BlockNumber != n || driver.GetDataBlock().size() != BlockSize)
            throw std::runtime_error("dump block " + std::to_string(n) + " came back wrong");
    }
    return transfer.Finish();
}

TWireResult WireStatus(TDriver& driver, const TWireOptions& options) {
    TTransfer transfer("status", driver, options);
    const std::size_t count = options.Quick ? QuickStatusExchanges : StatusExchanges;
    for (std::size_t i = 0; i < count; ++i)
        transfer.Call("ReadStatus", &TDriver::ReadStatus);
    return transfer.Finish();
}

TWireResult WireStatusRaw(const std::string& device, int baudRate, const TWireOptions& options) {
    TRawPort port(device, baudRate);
    TTransfer transfer("raw-status", baudRate, options);
    const std::uint8_t frame[] = {STX, 0, 0, 1, cmdReadStatus, 1 ^ cmdReadStatus};
    const std::size_t count = options.Quick ? QuickStatusExchanges : StatusExchanges;
    for (std::size_t i = 0; i < count; ++i)
        transfer.Raw(port, frame, sizeof frame);
    return transfer.Finish();
}

std::vector<TWireResult> RunWire(TDriver& driver, const std::string& device, const TBytes& image,
                                 const TWireOptions& options) {
    std::vector<TWireResult> results;
    results.push_back(WireFirmware(driver, image, options));
    PrintWire(results.back());
    for (auto work : {WireTables, WireDump, WireStatus}) {
        results.push_back(work(driver, options));
        PrintWire(results.back());
    }
    driver.ClosePort();
    results.push_back(WireStatusRaw(device, driver.GetBaudRate(), options));
    PrintWire(results.back());
    if (driver.OpenPort() != 0)
        throw std::runtime_error("the driver cannot reopen " + device);
    return results;
}

void PrintWire(const TWireResult& r) {
    std::printf("wire %-10s %6d baud %5zu exchanges %7zu bytes   %-6s %9.3f s   wire %9.3f s   "
                "ratio %.4f   excess per exchange: median %.0f us, max %.0f us%s\n",
                r.Work.c_str(), r.BaudRate, r.Exchanges, r.Bytes,
                r.Work.compare(0, 3, "raw") == 0 ? "raw" : "driver", r.DriverSeconds, r.WireSeconds,
                r.Ratio(), r.MedianExcessUs, r.MaxExcessUs,
                r.Ratio() < WireTarget ? "  BELOW 0.97" : "");
    std::fflush(stdout);
}

bool ParseBaudRates(const std::string& text, std::vector<int>& rates) {
    rates.clear();
    if (text == "none")
        return true;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = text.find_first_of(", ", at);
        const std::string word = text.substr(at, end == std::string::npos ? end : end - at);
        at = end == std::string::npos ? text.size() : end + 1;
        if (word.empty())
            continue;
        char* rest = nullptr;
        const long rate = std::strtol(word.c_str(), &rest, 10);
        if (*rest != '\0' || !IsValidBaudRate(static_cast<int>(rate)))
            return false;
        rates.push_back(static_cast<int>(rate));
    }
    return !rates.empty();
}

} // namespace bench
