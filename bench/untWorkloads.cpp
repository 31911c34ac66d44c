#include "untWorkloads.h"

#include "driver/core/untConst.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <stdexcept>

namespace bench {
namespace {

const std::size_t FirmwareBlocks = 1024;
const int MaxTables = 255;

// The request frame for `payload` with sequence number 0 (the board echoes any).
std::size_t PutFrame(std::uint8_t (&frame)[MaxFrameSize], const std::uint8_t* payload,
                     std::size_t size) {
    frame[0] = STX;
    frame[1] = 0;
    frame[2] = 0;
    frame[3] = static_cast<std::uint8_t>(size);
    std::uint8_t crc = frame[3];
    for (std::size_t i = 0; i < size; ++i) {
        frame[4 + i] = payload[i];
        crc ^= payload[i];
    }
    frame[4 + size] = crc;
    return size + 5;
}

// One command through the raw port: the board's error byte. The answer data start at
// answer[6].
int RawCommand(TRawPort& port, const std::uint8_t* payload, std::size_t size,
               std::uint8_t (&answer)[MaxFrameSize]) {
    std::uint8_t frame[MaxFrameSize];
    const int length = RawExchange(port, frame, PutFrame(frame, payload, size), answer);
    if (length < 2 || answer[4] != payload[0])
        throw std::runtime_error("raw exchange of command " + std::to_string(payload[0]) +
                                 " failed");
    return answer[5];
}

void RawCheck(int error, const char* what) {
    if (error != 0)
        throw std::runtime_error(std::string("raw ") + what + ": board error " +
                                 std::to_string(error));
}

void Check(int result, const char* what) {
    if (result != 0)
        throw std::runtime_error(std::string("driver ") + what + ": result " +
                                 std::to_string(result));
}

// Runs one exchange and adds its time and count to a side's account.
struct TAccount {
    double Seconds = 0;
    std::size_t Exchanges = 0;

    template <typename TStep> void Time(TStep step) {
        const auto start = std::chrono::steady_clock::now();
        step();
        Seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ++Exchanges;
    }
};

} // namespace

TBytes FirmwareImage() {
    TBytes image(FirmwareBlocks * BlockSize, '\0');
    std::uint32_t state = 2463534242u; // xorshift: varied bytes, the same every run
    for (char& c : image) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        c = static_cast<char>(state);
    }
    return image;
}

void Prepare(TDriver& driver) {
    driver.SetLogOn(false);
    driver.SetTimeout(driver.GetDefaultTimeout());
    driver.SetCommandTimeout(driver.GetDefaultCommandTimeout());
    driver.SetBaudRate(driver.GetDefaultBaudRate());
}

std::size_t StatusRaw(TRawPort& port) {
    static const std::uint8_t status[] = {cmdReadStatus};
    std::uint8_t answer[MaxFrameSize];
    RawCheck(RawCommand(port, status, sizeof status, answer), "ReadStatus");
    return 1;
}

std::size_t StatusDriver(TDriver& driver) {
    Check(driver.ReadStatus(), "ReadStatus");
    return 1;
}

int PlainCall(TDriver& driver, const char* what, int (TDriver::*operation)(), int accept) {
    const int result = (driver.*operation)();
    if (result != accept)
        Check(result, what);
    return result;
}

std::size_t FirmwareDriver(TDriver& driver, const TBytes& image) {
    return WriteFirmware(driver, image, image.size() / BlockSize,
                          [&](const char* what, int (TDriver::*operation)(), int accept) {
                              return PlainCall(driver, what, operation, accept);
                          });
}

std::size_t WriteFirmware(TDriver& driver, const TBytes& image, std::size_t blocks,
                          const TDriverCall& call) {
    call("EnterProgramMode", &TDriver::EnterProgramMode, 0);
    TBytes block;
    for (std::size_t n = 1; n <= blocks; ++n) {
        block.assign(image, (n - 1) * BlockSize, BlockSize);
        driver.BlockNumber = static_cast<std::uint16_t>(n);
        driver.SetDataBlock(block);
        call("WriteProgramBlock", &TDriver::WriteProgramBlock, 0);
    }
    call("ExitProgramMode", &TDriver::ExitProgramMode, 0);
    return blocks + 2;
}

void FirmwarePaired(TRawPort& port, TDriver& driver, const TBytes& image, TPairedMeter& meter) {
    TAccount raw, ours;
    std::uint8_t answer[MaxFrameSize];
    const auto rawCommand = [&](const std::uint8_t* payload, std::size_t size, const char* what) {
        RawCheck(RawCommand(port, payload, size, answer), what);
    };
    const bool rawEnters = meter.RoundsDone() % 2 == 0;
    const std::uint8_t enter[] = {cmdEnterProgramMode};
    if (rawEnters)
        raw.Time([&] { rawCommand(enter, sizeof enter, "EnterProgramMode"); });
    else
        ours.Time([&] { Check(driver.EnterProgramMode(), "EnterProgramMode"); });
    std::uint8_t block[3 + BlockSize] = {cmdWriteProgramBlock};
    TBytes data;
    for (std::size_t n = 1; n <= image.size() / BlockSize; ++n) {
        const auto rawBlock = [&] {
            block[1] = static_cast<std::uint8_t>(n);
            block[2] = static_cast<std::uint8_t>(n >> 8);
            std::copy_n(image.data() + (n - 1) * BlockSize, BlockSize, block + 3);
            rawCommand(block, sizeof block, "WriteProgramBlock");
        };
        const auto driverBlock = [&] {
            data.assign(image, (n - 1) * BlockSize, BlockSize);
            driver.BlockNumber = static_cast<std::uint16_t>(n);
            driver.SetDataBlock(data);
            Check(driver.WriteProgramBlock(), "WriteProgramBlock");
        };
        if (n % 2 == 0) {
            raw.Time(rawBlock);
            ours.Time(driverBlock);
        } else {
            ours.Time(driverBlock);
            raw.Time(rawBlock);
        }
    }
    const std::uint8_t exit[] = {cmdExitProgramMode};
    if (rawEnters)
        ours.Time([&] { Check(driver.ExitProgramMode(), "ExitProgramMode"); });
    else
        raw.Time([&] { rawCommand(exit, sizeof exit, "ExitProgramMode"); });
    meter.Add(raw.Seconds, raw.Exchanges, ours.Seconds, ours.Exchanges);
}

std::size_t TablesRaw(TRawPort& port) {
    std::uint8_t answer[MaxFrameSize];
    std::size_t exchanges = 0;
    for (int table = 0; table < MaxTables; ++table) {
        const std::uint8_t tableStruct[] = {cmdReadTableStruct, static_cast<std::uint8_t>(table)};
        const int error = RawCommand(port, tableStruct, sizeof tableStruct, answer);
        ++exchanges;
        if (error == errTableUndefined)
            break;
        RawCheck(error, "ReadTableStruct");
        const std::uint8_t* data = answer + 6;
        const int rows = data[40] | data[41] << 8;
        const int fields = data[42];
        for (int field = 0; field < fields; ++field) {
            const std::uint8_t fieldStruct[] = {cmdReadFieldStruct,
                                                static_cast<std::uint8_t>(table),
                                                static_cast<std::uint8_t>(field)};
            RawCheck(RawCommand(port, fieldStruct, sizeof fieldStruct, answer),
                     "ReadFieldStructure");
            ++exchanges;
            for (int row = 0; row < rows; ++row) {
                const std::uint8_t read[] = {
                    cmdReadTable, static_cast<std::uint8_t>(table), static_cast<std::uint8_t>(row),
                    static_cast<std::uint8_t>(row >> 8), static_cast<std::uint8_t>(field)};
                RawCheck(RawCommand(port, read, sizeof read, answer), "ReadTable");
                ++exchanges;
            }
        }
    }
    return exchanges;
}

std::size_t TablesDriver(TDriver& driver) {
    return ReadAllTables(
        driver,
        [&](const char* what, int (TDriver::*operation)(), int accept) {
            return PlainCall(driver, what, operation, accept);
        },
        {});
}

std::size_t ReadAllTables(TDriver& driver, const TDriverCall& call,
                          const std::function<bool()>& enough) {
    std::size_t exchanges = 0;
    const auto done = [&] { return enough && enough(); };
    for (int table = 1; table <= MaxTables && !done(); ++table) {
        driver.TableNumber = table;
        ++exchanges;
        if (call("ReadTableStruct", &TDriver::ReadTableStruct, errTableUndefined) != 0)
            break;
        const int rows = driver.RowCount;
        const int fields = driver.FieldCount;
        for (int field = 1; field <= fields && !done(); ++field) {
            driver.FieldNumber = field;
            call("ReadFieldStructure", &TDriver::ReadFieldStructure, 0);
            ++exchanges;
            for (int row = 1; row <= rows && !done(); ++row) {
                // The structure just read serves every row: one exchange each.
                driver.RowNumber = static_cast<std::uint16_t>(row);
                call("ReadTable", &TDriver::ReadTable, 0);
                ++exchanges;
            }
        }
    }
    return exchanges;
}

TPairedRound WholeRounds(std::function<std::size_t(TRawPort&)> raw,
                         std::function<std::size_t(TDriver&)> driver) {
    return [raw, driver](TPairedMeter& meter, TRawPort& port, TDriver& ours) {
        meter.Round([&] { return raw(port); }, [&] { return driver(ours); });
    };
}

TPairedRound FirmwareRounds(const TBytes& image) {
    return [image](TPairedMeter& meter, TRawPort& port, TDriver& driver) {
        FirmwarePaired(port, driver, image, meter);
    };
}

std::vector<double> NoLinkSamples(TDriver& driver, int commandTimeoutMs, int samples) {
    driver.SetCommandTimeout(commandTimeoutMs);
    std::vector<double> took;
    for (int i = 0; i < samples; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const int result = driver.ReadStatus();
        const std::chrono::duration<double, std::milli> elapsed =
            std::chrono::steady_clock::now() - start;
        if (result != ecNoLink)
            throw std::runtime_error("a silent board gave result " + std::to_string(result));
        took.push_back(elapsed.count());
    }
    return took;
}

double Median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double Max(const std::vector<double>& values) {
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

} // namespace bench
