// The driver's time-outs against a board whose answers take as long as on a real line (10 bits
// a byte, the demo's 2 ms of processing): the shortest CommandTimeout of each exchange by
// arithmetic, the driver keeping to it, and the README's table of it.
#include "untCodePage.h"
#include "untDriver.h"
#include "untDriverCode.h"
#include "untSerialPort.h"
#include "untTestBoard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <iostream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

using testboard::TBoardProcess;
using testboard::TClock;

namespace {
const int ProcessUs = 2000;
const int RestartMs = 50;
// On top of the arithmetic, for a shared machine's scheduling: a time-out this much longer
// must work; one ShortMs shorter must fail.
const int SpareMs = 5;
const int ShortMs = 10;
// A late wake-up on a loaded machine may spoil one run; a driver that keeps time wrongly
// spoils every one.
const int Tries = 3;

long long MicrosecondsSince(TClock::time_point start) {
    return std::chrono::duration_cast<std::chrono::microseconds>(TClock::now() - start).count();
}

struct TFrames {
    std::size_t Request = 0, Answer = 0;
};

double ByteMs(int baud) {
    return 10.0 * 1000 / baud;
}

double WireMs(const TFrames& frames, int baud) {
    return (frames.Request + frames.Answer) * ByteMs(baud) + ProcessUs / 1000.0;
}

// The shortest CommandTimeout (ms) under which the driver gets the whole answer. It reads the
// 4 header bytes within CommandTimeout + 4 ms from the write, so the request's own time on the
// line counts; then the rest within CommandTimeout + 1 ms a byte from the header's last byte.
int ShortestCommandTimeout(const TFrames& frames, int baud) {
    const double byte = ByteMs(baud);
    const double header =
        (frames.Request + FrameHeaderSize) * byte + ProcessUs / 1000.0 - FrameHeaderSize;
    const double rest = (frames.Answer - FrameHeaderSize) * (byte - 1);
    return static_cast<int>(std::ceil(std::max({header, rest, 0.0})));
}

// The shortest byte time-out: one byte time and the longest extra silence between bytes.
int ShortestTimeout(int baud, double gapsMs = 0) {
    return static_cast<int>(std::ceil(ByteMs(baud) + gapsMs));
}

struct TOperation {
    std::string Name;
    std::function<int(TDriver&)> Run;
    std::function<void(TDriver&)> Before = nullptr; // untimed set-up, with the defaults
    std::function<void(TDriver&)> After = nullptr;
    bool AtSlowSpeed = false; // one of the answer lengths worth the wait at 2400 baud
};

void FieldOfRowOne(TDriver& d, int table, int field) {
    d.TableNumber = table;
    d.FieldNumber = field;
    d.RowNumber = 1;
    EXPECT_EQ(d.ReadFieldStructure(), 0);
}

// New firmware starts the board at 2400 baud: the driver follows and sets its speed back.
void LeaveProgramMode(TDriver& d) {
    EXPECT_EQ(d.ExitProgramMode(), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(3 * RestartMs));
    const int baud = d.GetBaudRate();
    d.ClosePort();
    d.SetBaudRate(2400);
    d.DeviceBaudRate = baud;
    d.DeviceTimeout = 100;
    EXPECT_EQ(d.SetExchangeParam(), 0);
    d.ClosePort();
    d.SetBaudRate(baud);
}

// One of each kind of exchange, the longest where the length varies.
std::vector<TOperation> Operations() {
    return {
        {"Device type (`ReadDeviceMetrics`)", [](TDriver& d) { return d.ReadDeviceMetrics(); }},
        {"Status (`ReadStatus`)", [](TDriver& d) { return d.ReadStatus(); }, nullptr, nullptr,
         true},
        {"Mode (`ReadMode`)", [](TDriver& d) { return d.ReadMode(); }},
        {"Line settings, read (`ReadExchangeParam`)",
         [](TDriver& d) { return d.ReadExchangeParam(); }},
        {"Line settings, write (`SetExchangeParam`)",
         [](TDriver& d) {
             d.DeviceBaudRate = d.GetBaudRate();
             d.DeviceTimeout = 100;
             return d.SetExchangeParam();
         }},
        {"Relays, read (`ReadRelayStatus`)", [](TDriver& d) { return d.ReadRelayStatus(); },
         nullptr, nullptr, true},
        {"Relays, set (`RelaySetStatus`)",
         [](TDriver& d) {
             d.RelayStatus = 0x05;
             return d.RelaySetStatus();
         }},
        {"Relays, pulse (`ToggleRelayStatus`)",
         [](TDriver& d) {
             d.RelayStatus = 0x01;
             d.ToggleTime = 100;
             return d.ToggleRelayStatus();
         }},
        {"Watchdog on/off (`DisableWatchDog`)", [](TDriver& d) { return d.DisableWatchDog(); }},
        {"Watchdog reset (`ResetWatchDog`)", [](TDriver& d) { return d.ResetWatchDog(); }},
        {"Door lock (`OpenDoorLock`)", [](TDriver& d) { return d.OpenDoorLock(); }},
        {"Table structure (`ReadTableStruct`)",
         [](TDriver& d) {
             d.TableNumber = 1;
             return d.ReadTableStruct();
         },
         nullptr, nullptr, true},
        // Operating hours: a number of 4 bytes, whose limits make the longest answer.
        {"Field structure, longest (`ReadFieldStructure`)",
         [](TDriver& d) {
             d.TableNumber = 1;
             d.FieldNumber = 8;
             return d.ReadFieldStructure();
         },
         nullptr, nullptr, true},
        // The kiosk's name: 32 bytes, the widest cell.
        {"Table cell, read, longest (`ReadTable`)", [](TDriver& d) { return d.ReadTable(); },
         [](TDriver& d) { FieldOfRowOne(d, 1, 9); }},
        {"Table cell, write, longest (`WriteTable`)",
         [](TDriver& d) {
             d.FieldValue = Ansi("Киоск 1");
             return d.WriteTable();
         },
         [](TDriver& d) { FieldOfRowOne(d, 1, 9); }},
        {"Tables to initial values (`InitTables`)", [](TDriver& d) { return d.InitTables(); },
         [](TDriver& d) { EXPECT_EQ(d.ReadStatus(), 0); }},
        {"Dump size (`ReadDumpSize`)",
         [](TDriver& d) {
             d.MemoryType = memProgram;
             return d.ReadDumpSize();
         }},
        {"Dump block (`ReadDump`)",
         [](TDriver& d) {
             d.MemoryType = memProgram;
             d.BlockNumber = 0;
             return d.ReadDump();
         },
         nullptr, nullptr, true},
        {"Firmware block (`WriteProgramBlock`)",
         [](TDriver& d) {
             d.BlockNumber = 1;
             d.SetDataBlock(TBytes(BlockSize, '\x5A'));
             return d.WriteProgramBlock();
         },
         [](TDriver& d) { EXPECT_EQ(d.EnterProgramMode(), 0); },
         LeaveProgramMode},
        // A status request padded to a whole frame: the longest request there is.
        {"Any command of 255 bytes (`ExecuteCommand`)",
         [](TDriver& d) {
             d.CommandHex = "11";
             for (std::size_t i = 1; i < MaxPayloadSize; ++i)
                 d.CommandHex += " 00";
             return d.ExecuteCommand();
         },
         nullptr, nullptr, true},
    };
}

struct TRun {
    int Result = 0;
    std::string Description;
    TFrames Frames;
};

class LineTiming : public ::testing::Test {
protected:
    // A board on a line at `baud` and a driver with the default time-outs on it.
    void Start(int baud) {
        Driver.reset();
        Board = std::make_unique<TBoardProcess>(std::vector<std::string>{
            "--line-timing", "--process-us", std::to_string(ProcessUs), "--baud",
            std::to_string(baud), "--restart-ms", std::to_string(RestartMs)});
        setenv("XDG_CONFIG_HOME", Board->Dir.c_str(), 1);
        Driver = std::make_unique<TDriver>();
        Driver->SetDevicePath(Board->Link);
        Driver->SetBaudRate(baud);
        Baud = baud;
    }
    void Defaults() {
        Driver->SetTimeout(Driver->GetDefaultTimeout());
        Driver->SetCommandTimeout(Driver->GetDefaultCommandTimeout());
    }
    // One run of `op` with these time-outs. After a failure it waits out the answer still on
    // the line (`expected` long), so it cannot spoil the next run.
    TRun Run(const TOperation& op, int timeout, int commandTimeout, const TFrames& expected) {
        Defaults();
        if (op.Before)
            op.Before(*Driver);
        Driver->SetTimeout(timeout);
        Driver->SetCommandTimeout(commandTimeout);
        const auto start = TClock::now();
        TRun run{op.Run(*Driver), Driver->GetResultDescription(),
                 {Driver->GetOutput().size() / 3, Driver->GetInput().size() / 3}};
        if (run.Result != 0)
            std::this_thread::sleep_until(
                start + std::chrono::milliseconds(static_cast<int>(WireMs(expected, Baud)) +
                                                  DrainMs));
        Defaults();
        if (op.After)
            op.After(*Driver);
        return run;
    }
    // The frames of each operation, from a board at full speed.
    std::vector<TFrames> Measure(const std::vector<TOperation>& operations) {
        Start(115200);
        std::vector<TFrames> frames;
        for (const TOperation& op : operations) {
            const TRun run = Run(op, Driver->GetDefaultTimeout(),
                                 Driver->GetDefaultCommandTimeout(), {});
            EXPECT_EQ(run.Result, 0) << op.Name << ": " << Cp1251ToUtf8(run.Description);
            frames.push_back(run.Frames);
        }
        return frames;
    }
    // `expected` is 0 or ecNoLink, which must come as "Нет связи".
    ::testing::AssertionResult EndsAs(int expected, const TOperation& op, int timeout,
                                      int commandTimeout, const TFrames& frames) {
        TRun run;
        for (int i = 0; i < Tries; ++i) {
            run = Run(op, timeout, commandTimeout, frames);
            if (run.Result == expected &&
                (expected == 0 || run.Description == Ansi("Нет связи")))
                return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure()
               << op.Name << " at " << Baud << " baud, Timeout " << timeout
               << ", CommandTimeout " << commandTimeout << ": " << run.Result << " "
               << Cp1251ToUtf8(run.Description) << ", " << Tries << " times";
    }
    // Each operation with its shortest CommandTimeout and a little more works, with one
    // clearly shorter it loses the answer.
    void CheckShortestCommandTimeouts(const std::vector<TOperation>& operations,
                                      const std::vector<TFrames>& frames) {
        for (std::size_t i = 0; i < operations.size(); ++i) {
            const int shortest = ShortestCommandTimeout(frames[i], Baud);
            const int timeout = Driver->GetDefaultTimeout();
            EXPECT_TRUE(EndsAs(0, operations[i], timeout, shortest + SpareMs, frames[i]));
            if (shortest >= ShortMs) {
                EXPECT_TRUE(
                    EndsAs(ecNoLink, operations[i], timeout, shortest - ShortMs, frames[i]));
            }
        }
    }

    std::unique_ptr<TBoardProcess> Board;
    std::unique_ptr<TDriver> Driver;
    int Baud = 0;
    int DrainMs = 50;
};

TOperation Named(const std::string& start) {
    for (const TOperation& op : Operations())
        if (op.Name.compare(0, start.size(), start) == 0)
            return op;
    throw std::logic_error("no operation " + start);
}
} // namespace

// A late wake-up only lengthens a wait, so a read that ends too soon is the port's own doing.
// Bytes trickling in make it wait again and again, from any point of a millisecond.
TEST(SerialPortTimeouts, AReadWaitsItsWholeTimeOutsNotAMillisecondLess) {
    const int line = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(line, 0);
    ASSERT_EQ(grantpt(line), 0);
    ASSERT_EQ(unlockpt(line), 0);
    const auto port = TSerialPort::Open(ptsname(line));
    port->SetLine(2400);
    for (int i = 0; i < 10; ++i) {
        const int commandTimeout = 10 + i;
        const std::size_t count = 100;
        port->SetTimeouts(0, commandTimeout);
        std::thread trickle([line] {
            for (int k = 0; k < 25; ++k) {
                std::this_thread::sleep_for(std::chrono::microseconds(7300));
                EXPECT_EQ(write(line, "x", 1), 1);
            }
        });
        const auto start = TClock::now();
        const TBytes data = port->Read(count);
        const long long elapsedUs = MicrosecondsSince(start);
        trickle.join();
        EXPECT_LT(data.size(), count);
        EXPECT_GE(elapsedUs, (commandTimeout + static_cast<long long>(count)) * 1000);
        port->Purge();

        const int byteTimeout = 2 + i;
        port->SetTimeouts(byteTimeout, 1000);
        ASSERT_EQ(write(line, "x", 1), 1);
        const auto byteStart = TClock::now();
        EXPECT_EQ(port->Read(2), "x");
        EXPECT_GE(MicrosecondsSince(byteStart), byteTimeout * 1000LL);
    }
    close(line);
}

TEST_F(LineTiming, EachOperationNeedsItsShortestCommandTimeoutAt115200) {
    const std::vector<TOperation> operations = Operations();
    const std::vector<TFrames> frames = Measure(operations);
    CheckShortestCommandTimeouts(operations, frames);
}

TEST_F(LineTiming, AnswersOfEachLengthNeedTheirShortestCommandTimeoutAt2400) {
    std::vector<TOperation> operations = Operations();
    operations.erase(std::remove_if(operations.begin(), operations.end(),
                                    [](const TOperation& op) { return !op.AtSlowSpeed; }),
                     operations.end());
    const std::vector<TFrames> frames = Measure(operations);
    Start(2400);
    CheckShortestCommandTimeouts(operations, frames);
}

// Every table's structure and every field's, the widest row, the largest area's blocks.
TEST_F(LineTiming, TheLongestAnswersComeWithTheDefaultTimeoutsAt2400) {
    Start(2400);
    int widestTable = 0, widestRow = 0, widestFields = 0;
    for (int table = 1;; ++table) {
        Driver->TableNumber = table;
        const int result = Driver->ReadTableStruct();
        if (result == errTableUndefined && table > 1)
            break;
        ASSERT_EQ(result, 0) << "table " << table << ": " << Cp1251ToUtf8(Driver->GetResultDescription());
        const int fields = Driver->FieldCount;
        int row = 0;
        for (Driver->FieldNumber = 1; Driver->FieldNumber <= fields; ++Driver->FieldNumber) {
            ASSERT_EQ(Driver->ReadFieldStructure(), 0)
                << "table " << table << ", field " << Driver->FieldNumber << ": "
                << Cp1251ToUtf8(Driver->GetResultDescription());
            row += Driver->FieldSize;
        }
        if (row > widestRow) {
            widestTable = table;
            widestRow = row;
            widestFields = fields;
        }
    }
    Driver->TableNumber = widestTable;
    Driver->RowNumber = 1;
    for (Driver->FieldNumber = 1; Driver->FieldNumber <= widestFields; ++Driver->FieldNumber)
        EXPECT_EQ(Driver->ReadTable(), 0) << "table " << widestTable << ", field "
                                          << Driver->FieldNumber << ": "
                                          << Cp1251ToUtf8(Driver->GetResultDescription());

    int largest = 0, blocks = 0;
    for (int area : {memData, memProgram, memEeprom}) {
        Driver->MemoryType = area;
        ASSERT_EQ(Driver->ReadDumpSize(), 0) << Cp1251ToUtf8(Driver->GetResultDescription());
        if (Driver->BlockCount > blocks) {
            largest = area;
            blocks = Driver->BlockCount;
        }
    }
    Driver->MemoryType = largest;
    for (int block : {0, blocks - 1}) {
        Driver->BlockNumber = static_cast<std::uint16_t>(block);
        EXPECT_EQ(Driver->ReadDump(), 0) << Cp1251ToUtf8(Driver->GetResultDescription());
        EXPECT_EQ(Driver->BlockNumber, block);
        EXPECT_EQ(Driver->GetDataBlock().size(), BlockSize);
    }
}

TEST_F(LineTiming, AByteTimeoutShorterThanOneByteTimeLosesTheAnswer) {
    const TOperation op = Named("Table structure");
    const std::vector<TFrames> frames = Measure({op});
    Start(2400);
    const int command = Driver->GetDefaultCommandTimeout();
    EXPECT_TRUE(EndsAs(ecNoLink, op, ShortestTimeout(Baud) - 3, command, frames[0]));
    EXPECT_TRUE(EndsAs(0, op, ShortestTimeout(Baud) + SpareMs, command, frames[0]));
}

TEST_F(LineTiming, AByteTimeoutShorterThanTheGapsLosesTheAnswer) {
    const TOperation op = Named("Status");
    const std::vector<TFrames> frames = Measure({op});
    const int gapsMs = 20;
    ASSERT_EQ(Board->Command("gaps " + std::to_string(gapsMs * 1000)), "OK\n");
    // The answer's 20 bytes may come up to 19 gaps late.
    DrainMs = 20 * gapsMs;
    const int command = Driver->GetDefaultCommandTimeout();
    EXPECT_TRUE(EndsAs(ecNoLink, op, gapsMs / 4, command, frames[0]));
    EXPECT_TRUE(EndsAs(0, op, ShortestTimeout(Baud, gapsMs) + SpareMs, command, frames[0]));
}

// The README's table is this arithmetic over the frames the driver really exchanges; on a
// change, paste what this test prints.
TEST_F(LineTiming, TheReadmeTableOfShortestCommandTimeoutsIsTheArithmetic) {
    const std::vector<TOperation> operations = Operations();
    const std::vector<TFrames> frames = Measure(operations);
    std::ostringstream table;
    table << "| Operation | Request / answer bytes | At 2400 baud | At 115200 baud |\n"
          << "|---|---|---|---|\n";
    for (std::size_t i = 0; i < operations.size(); ++i)
        table << "| " << operations[i].Name << " | " << frames[i].Request << " / "
              << frames[i].Answer << " | " << ShortestCommandTimeout(frames[i], 2400)
              << " ms | " << ShortestCommandTimeout(frames[i], 115200) << " ms |\n";
    std::cout << table.str();

    const std::string readme = testboard::ReadFileText(TRELMO_README);
    const std::string head = table.str().substr(0, table.str().find('\n') + 1);
    std::size_t end = readme.find(head);
    ASSERT_NE(end, std::string::npos) << "README.md has no table beginning " << head;
    const std::size_t begin = end;
    while (end < readme.size() && readme[end] == '|')
        end = readme.find('\n', end) + 1;
    EXPECT_EQ(readme.substr(begin, end - begin), table.str());
}
