#include "untBoardModel.h"
#include "untCodePage.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <sstream>

namespace {

TBytes Bytes(std::initializer_list<int> values) {
    TBytes bytes;
    for (int v : values)
        bytes += static_cast<char>(v);
    return bytes;
}

int At(const TBytes& data, std::size_t i) {
    return static_cast<unsigned char>(data.at(i));
}

class BoardModel : public ::testing::Test {
protected:
    void Start(TBoardOptions options = {}) {
        Options = options;
        Board = std::make_unique<TBoardModel>(Options, 0);
    }
    void SetUp() override { Start(); }

    // The answer payload; the error byte is checked by the callers that care.
    TBytes Send(const TBytes& payload, TMillis now) { return Board->Execute(payload, now); }
    TBytes Send(std::initializer_list<int> payload, TMillis now) {
        return Send(Bytes(payload), now);
    }
    int Error(std::initializer_list<int> payload, TMillis now) { return At(Send(payload, now), 1); }

    long Value(const std::string& name, TMillis now) {
        std::istringstream lines(Board->Describe(now));
        std::map<std::string, std::string> values;
        for (std::string line; std::getline(lines, line);)
            values[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
        EXPECT_TRUE(values.count(name)) << name;
        return std::stol(values[name]);
    }
    int Flags(TMillis now) { return At(Send({cmdReadStatus}, now), 12); }

    TBytes ReadField(int table, int row, int field, TMillis now) {
        return Send({cmdReadTable, table, row & 0xFF, row >> 8, field}, now);
    }
    int WriteField(int table, int row, int field, const TBytes& value, TMillis now) {
        return At(Send(Bytes({cmdWriteTable, table, row & 0xFF, row >> 8, field}) + value, now), 1);
    }

    TBoardOptions Options;
    std::unique_ptr<TBoardModel> Board;
};

TEST_F(BoardModel, IdentifiesItselfAndRefusesWhatItDoesNotKnow) {
    const TBytes status = Send({cmdReadStatus}, 0);
    ASSERT_EQ(status.size(), 15u);
    EXPECT_EQ(status.substr(0, 4), Bytes({0x11, 0, 1234 & 0xFF, 1234 >> 8}));
    EXPECT_EQ(At(status, 11), 0);                                // main mode
    EXPECT_EQ(At(status, 12), pfMBPowerState | pfMBPowerSensor); // powered, mains present
    EXPECT_EQ(At(status, 14), 0x7B);                             // relays at their initial states

    const TBytes type = Send({cmdReadDeviceMetrics}, 0);
    ASSERT_GT(type.size(), 8u);
    EXPECT_EQ(type.substr(8), Ansi("Варнок-плата ВП-1") + '\0');

    EXPECT_EQ(Send({0x42, 1, 2}, 0), Bytes({0x42, errNotSupported}));
    EXPECT_EQ(Send(TBytes(), 0), TBytes());
    EXPECT_EQ(Error({cmdRelayPulse, 1, 0}, 0), errBadParams); // too short
}

TEST_F(BoardModel, RelayPulseReturnsToThePreviousStateOnTime) {
    EXPECT_EQ(Send({cmdRelaySet, 0x0F}, 0), Bytes({0x77, 0, 0x0F}));
    EXPECT_EQ(Send({cmdRelayPulse, 0xF0, 0xE8, 0x03}, 100), Bytes({0x78, 0, 0xF0}));
    EXPECT_EQ(Board->NextEvent(), 1100);
    EXPECT_TRUE(Flags(1099) & pfRelayToggled);
    EXPECT_EQ(At(Send({cmdRelayRead}, 1099), 2), 0xF0);
    EXPECT_EQ(At(Send({cmdRelayRead}, 1100), 2), 0x0F);
    EXPECT_FALSE(Flags(1100) & pfRelayToggled);

    // A pulse on top of a pulse still returns to the state before the first.
    Send({cmdRelayPulse, 0x01, 100, 0}, 2000);
    Send({cmdRelayPulse, 0x02, 100, 0}, 2050);
    EXPECT_EQ(At(Send({cmdRelayRead}, 2150), 2), 0x0F);

    // Setting the relays cancels a pulse.
    Send({cmdRelayPulse, 0x55, 100, 0}, 3000);
    Send({cmdRelaySet, 0x33}, 3010);
    EXPECT_EQ(At(Send({cmdRelayRead}, 5000), 2), 0x33);
    EXPECT_EQ(Error({cmdRelayPulse, 0x55, 0, 0}, 5000), errBadParams);

    // Self-test 3 flips relay 3 for its table pulse time (1 s).
    EXPECT_EQ(Error({cmdTestDevice, 3}, 6000), 0);
    EXPECT_EQ(At(Send({cmdRelayRead}, 6999), 2), 0x33 ^ 0x04);
    EXPECT_EQ(At(Send({cmdRelayRead}, 7000), 2), 0x33);
    EXPECT_EQ(Error({cmdTestDevice, 9}, 7000), errBadParams);
}

TEST_F(BoardModel, WatchdogPressesResetWhenNotServicedInTime) {
    Options.watchdogPeriodMs = 5000;
    Start(Options);
    EXPECT_EQ(Send({cmdWatchDog, 1}, 0), Bytes({0x7A, 0, 1}));
    EXPECT_EQ(Send({cmdWatchDogReset}, 4000),
              Bytes({0x7B, 0, pfMBPowerState | pfMBPowerSensor, pf2WatchDogEnabled}));
    EXPECT_EQ(Board->NextEvent(), 9000);
    EXPECT_FALSE(Flags(8999) & pfButtonResetPressed);
    EXPECT_TRUE(Flags(9000) & pfButtonResetPressed);
    EXPECT_EQ(Value("watchdog_resets", 9000), 1);
    EXPECT_FALSE(Flags(9200) & pfButtonResetPressed); // the table's 200 ms press

    // An unattended board keeps resetting once per period, counted exactly.
    Board->Advance(24000);
    EXPECT_EQ(Value("watchdog_resets", 24000), 4);
    const TBytes entry = ReadField(2, 0, 1, 24000);
    EXPECT_EQ(entry, Bytes({0x1F, 0, 3})); // newest log entry: a watchdog reset

    EXPECT_EQ(Send({cmdWatchDog, 0}, 24500), Bytes({0x7A, 0, 0}));
    Board->Advance(100000);
    EXPECT_EQ(Value("watchdog_resets", 100000), 4);
    EXPECT_EQ(Error({cmdWatchDog, 2}, 100000), errBadParams);
}

TEST_F(BoardModel, WatchdogPeriodComesFromTheTables) {
    EXPECT_EQ(WriteField(0, 0, 0, Bytes({10, 0}), 0), 0); // 10 s
    Send({cmdWatchDog, 1}, 1000);
    EXPECT_EQ(Board->NextEvent(), 11000);
}

TEST_F(BoardModel, ButtonsDrivePowerThroughTheirPressTimes) {
    EXPECT_EQ(Error({cmdButtons, btnCodeLongPower}, 0), 0);
    EXPECT_EQ(Error({cmdButtons, btnCodeReset}, 10), errBoardSettings); // one press at a time
    EXPECT_TRUE(Flags(4999) & pfMBPowerState);
    EXPECT_EQ(Flags(5000) & (pfMBPowerState | pfButtonPowerPressed), 0);

    EXPECT_EQ(Error({cmdButtons, btnCodePower}, 6000), 0);
    EXPECT_TRUE(Flags(6499) & pfButtonPowerPressed);
    EXPECT_EQ(Flags(6500) & (pfMBPowerState | pfButtonPowerPressed), pfMBPowerState);

    EXPECT_EQ(Error({cmdButtons, btnCodeDelayPower}, 10000), 0);
    EXPECT_TRUE(Flags(39999) & pfTurnOffDelay);
    EXPECT_EQ(Flags(40000) & (pfMBPowerState | pfTurnOffDelay), 0);

    Send({cmdMBPower, 0}, 41000);
    Send({cmdButtons, btnCodeDelayPower}, 41000);
    EXPECT_EQ(Error({cmdButtons, btnCodeCancelDelayPower}, 42000), 0);
    EXPECT_EQ(Flags(100000) & (pfMBPowerState | pfTurnOffDelay), pfMBPowerState);
    EXPECT_EQ(Error({cmdButtons, btnCodeCancelDelayPower}, 100000), 0);
    EXPECT_EQ(Error({cmdButtons, 3}, 100000), errBadParams);
}

TEST_F(BoardModel, PowerFollowsMainsAndCommands) {
    EXPECT_EQ(Send({cmdMBPower, 1}, 0), Bytes({0x7D, 0, 1}));
    EXPECT_EQ(Send({cmdMBPower, 0}, 0), Bytes({0x7D, 0, 0}));
    EXPECT_EQ(Error({cmdMBPower, 2}, 0), errBadParams);

    Board->SetMainsPresent(false, 1000);
    EXPECT_EQ(Flags(1000) & (pfMBPowerState | pfMBPowerSensor), 0);
    EXPECT_EQ(Send({cmdMBPower, 0}, 1500), Bytes({0x7D, errBoardSettings}));

    Board->SetMainsPresent(true, 2000);
    EXPECT_EQ(Flags(6999) & (pfMBPowerState | pfTurnOnDelay), pfTurnOnDelay);
    EXPECT_EQ(Flags(7000) & (pfMBPowerState | pfTurnOnDelay), pfMBPowerState);
}

TEST_F(BoardModel, DoorLockClosesByItselfAfterTheTableTime) {
    EXPECT_EQ(Send({cmdDoorLock, 1}, 0), Bytes({0x7C, 0, 1}));
    EXPECT_TRUE(Flags(4999) & pfDoorLockOpened);
    EXPECT_FALSE(Flags(5000) & pfDoorLockOpened);

    EXPECT_EQ(WriteField(0, 0, 3, Bytes({2}), 6000), 0);
    Send({cmdDoorLock, 1}, 6000);
    EXPECT_FALSE(Flags(8000) & pfDoorLockOpened);
    Send({cmdDoorLock, 1}, 9000);
    EXPECT_EQ(Send({cmdDoorLock, 0}, 9001), Bytes({0x7C, 0, 0}));
    EXPECT_EQ(Error({cmdDoorLock, 7}, 9001), errBadParams);
}

TEST_F(BoardModel, EveryTableStructureFitsTheWire) {
    int tables = 0;
    for (int t = 0;; ++t) {
        const TBytes table = Send({cmdReadTableStruct, t}, 0);
        if (At(table, 1) == errTableUndefined)
            break;
        ASSERT_EQ(table.size(), 45u);
        EXPECT_NE(table[2], '\0');
        ++tables;
        for (int f = 0; f < At(table, 44); ++f) {
            const TBytes field = Send({cmdReadFieldStruct, t, f}, 0);
            ASSERT_EQ(At(field, 1), 0);
            const int type = At(field, 42), size = At(field, 43);
            EXPECT_NE(field[2], '\0');
            if (type == 1) {
                EXPECT_EQ(field.size(), 44u);
                continue;
            }
            ASSERT_TRUE(size == 1 || size == 2 || size == 4) << t << "/" << f;
            ASSERT_EQ(field.size(), 44u + 2 * size);
            std::uint32_t min = 0, max = 0;
            for (int i = size; i-- > 0;) {
                min = min << 8 | At(field, 44 + i);
                max = max << 8 | At(field, 44 + size + i);
            }
            EXPECT_LE(min, max);
            EXPECT_LE(max, 2147483647u);
            // Every initial value stays within the bounds.
            for (int row = 0; row < GetWord(table, 42); ++row) {
                const TBytes value = ReadField(t, row, f, 0);
                std::uint32_t v = 0;
                for (int i = size; i-- > 0;)
                    v = v << 8 | At(value, 2 + i);
                EXPECT_TRUE(v >= min && v <= max) << t << "/" << row << "/" << f;
            }
        }
    }
    EXPECT_GE(tables, 5);
    EXPECT_EQ(Error({cmdReadFieldStruct, 0, 99}, 0), errBadParams);
}

TEST_F(BoardModel, TableWritesAreCheckedAndKept) {
    EXPECT_EQ(WriteField(1, 7, 2, Bytes({0x34, 0x12}), 0), 0);
    EXPECT_EQ(ReadField(1, 7, 2, 0), Bytes({0x1F, 0, 0x34, 0x12}));
    EXPECT_EQ(WriteField(1, 7, 2, Bytes({0x34}), 0), errBadParams);          // short value
    EXPECT_EQ(WriteField(1, 7, 2, Bytes({0x34, 0x12, 0}), 0), errBadParams); // long value
    EXPECT_EQ(WriteField(1, 0, 1, Bytes({2}), 0), errBadParams);             // max is 1
    EXPECT_EQ(WriteField(0, 0, 0, Bytes({9, 0}), 0), errBadParams);          // min is 10
    EXPECT_EQ(WriteField(2, 0, 1, Bytes({5}), 0), errNotEditable);           // event log
    EXPECT_EQ(WriteField(1, 8, 0, TBytes(20, 'x'), 0), errBadParams);        // row 9 of 8
    EXPECT_EQ(WriteField(5, 0, 0, Bytes({1}), 0), errTableUndefined);
    EXPECT_EQ(At(ReadField(1, 0x100, 0, 0), 1), errBadParams);
    EXPECT_EQ(At(ReadField(1, 0, 3, 0), 1), errBadParams);

    const TBytes name = Ansi("Киоск на вокзале") + TBytes(16, '\0');
    ASSERT_EQ(name.size(), 32u);
    EXPECT_EQ(WriteField(0, 0, 8, name, 0), 0);
    EXPECT_EQ(ReadField(0, 0, 8, 0).substr(2), name);

    // The operating-hours counter runs with the board and cannot be written.
    EXPECT_EQ(ReadField(0, 0, 7, 2 * 3600 * 1000), Bytes({0x1F, 0, 2, 0, 0, 0}));
    EXPECT_EQ(WriteField(0, 0, 7, Bytes({0, 0, 0, 0}), 2 * 3600 * 1000), errNotEditable);
}

// A table started empty shows no rows and refuses its cells on the line, keeps its fields'
// structure, and the board's own logic still reads it (the relays start as their table says).
TEST_F(BoardModel, AnEmptyTableShowsNoRowsButKeepsItsFields) {
    const TBytes relays = Send({cmdReadTableStruct, 1}, 0);
    const long relayState = Value("relays", 0);
    TBoardOptions options;
    options.emptyTable = 2;
    Start(options);
    const TBytes empty = Send({cmdReadTableStruct, 1}, 0);
    ASSERT_EQ(empty.size(), relays.size());
    EXPECT_EQ(GetWord(empty, 42), 0);
    EXPECT_EQ(empty.substr(0, 42) + empty.substr(44), relays.substr(0, 42) + relays.substr(44));
    EXPECT_EQ(Error({cmdReadFieldStruct, 1, 2}, 0), errNone);
    EXPECT_EQ(At(ReadField(1, 0, 0, 0), 1), errBadParams);
    EXPECT_EQ(WriteField(1, 7, 2, Bytes({0x34, 0x12}), 0), errBadParams);
    EXPECT_EQ(Value("relays", 0), relayState);
    EXPECT_NE(GetWord(Send({cmdReadTableStruct, 0}, 0), 42), 0);
    Board->SetEmptyTable(0); // the control line's "empty off"
    EXPECT_EQ(Send({cmdReadTableStruct, 1}, 0), relays);
}

TEST_F(BoardModel, InitialisingTablesNeedsTheStatusIdentity) {
    WriteField(1, 0, 1, Bytes({0}), 0);
    const TBytes status = Send({cmdReadStatus}, 0);
    TBytes confirm = status.substr(4, 7) + '\x02' + status.substr(2, 2);
    TBytes wrong = confirm;
    wrong[9] ^= 1; // another serial number
    EXPECT_EQ(At(Send(TBytes(1, '\x24') + wrong, 0), 1), errBadParams);
    EXPECT_EQ(At(Send(TBytes(1, '\x24') + confirm.substr(0, 9), 0), 1), errBadParams);
    EXPECT_EQ(ReadField(1, 0, 1, 0), Bytes({0x1F, 0, 0}));
    EXPECT_EQ(Send(TBytes(1, '\x24') + confirm, 0), Bytes({0x24, 0}));
    EXPECT_EQ(ReadField(1, 0, 1, 0), Bytes({0x1F, 0, 1}));
}

TEST_F(BoardModel, ExchangeParametersChangeAndSurviveAReset) {
    EXPECT_EQ(Send({cmdSetExchangeParam, 9, 50}, 0), Bytes({0x14, errBadParams}));
    EXPECT_EQ(Send({cmdSetExchangeParam, 5, 50}, 0), Bytes({0x14, 0}));
    EXPECT_EQ(Board->LineBaudRate(), 19200);
    EXPECT_EQ(Board->ByteTimeoutMs(), 50);
    EXPECT_EQ(Send({cmdReadExchangeParam}, 0), Bytes({0x15, 0, 5, 50}));

    EXPECT_EQ(Send({cmdRelaySet, 0}, 0), Bytes({0x77, 0, 0}));
    EXPECT_EQ(Send({cmdResetDevice}, 100), Bytes({0xC8, 0}));
    EXPECT_TRUE(Board->Restarting(399));
    EXPECT_EQ(Send({cmdReadStatus}, 399), TBytes()); // deaf while restarting
    EXPECT_FALSE(Board->Restarting(400));
    EXPECT_EQ(Send({cmdRelayRead}, 400), Bytes({0x79, 0, 0x7B}));
    EXPECT_EQ(Board->LineBaudRate(), 19200);
    EXPECT_EQ(Board->ByteTimeoutMs(), 50);
}

TEST_F(BoardModel, FirmwareRoundTripAndDumps) {
    Send({cmdSetExchangeParam, 4, 30}, 0);
    Send({cmdWatchDog, 1}, 0);
    EXPECT_EQ(Error({cmdWriteProgramBlock, 1, 0}, 0), errMainMode);
    EXPECT_EQ(Send({cmdEnterProgramMode}, 0), Bytes({0xC0, 0}));
    EXPECT_EQ(Send({cmdReadMode}, 0), Bytes({0xC3, 0, 1}));
    EXPECT_EQ(Error({cmdReadStatus}, 0), errProgramMode);
    EXPECT_EQ(Error({cmdReadDumpSize, memProgram}, 0), errProgramMode);

    TBytes image;
    for (int i = 0; i < 128; ++i)
        image += static_cast<char>(i * 7);
    auto block = [&](int n, const TBytes& data) {
        return At(Send(Bytes({cmdWriteProgramBlock, n & 0xFF, n >> 8}) + data, 0), 1);
    };
    EXPECT_EQ(block(0, image.substr(0, 64)), errBadParams);
    EXPECT_EQ(block(2049, image.substr(0, 64)), errBadParams);
    EXPECT_EQ(block(1, image.substr(0, 63)), errBadParams);
    EXPECT_EQ(block(1, image.substr(0, 65)), errBadParams);
    EXPECT_EQ(block(2, image.substr(64)), 0);
    EXPECT_EQ(block(1, image.substr(0, 64)), 0);
    EXPECT_EQ(Value("program_blocks_written", 0), 2);

    EXPECT_EQ(Send({cmdExitProgramMode}, 1000), Bytes({0xC2, 0}));
    EXPECT_EQ(Send({cmdReadMode}, 1299), TBytes());
    EXPECT_EQ(Send({cmdReadMode}, 1300), Bytes({0xC3, 0, 0}));
    EXPECT_EQ(Board->LineBaudRate(), 2400);
    EXPECT_EQ(Board->ByteTimeoutMs(), 100);
    EXPECT_EQ(Value("watchdog_enabled", 1300), 0);

    EXPECT_EQ(Send({cmdReadDumpSize, memProgram}, 1300), Bytes({0xD1, 0, 0x00, 0x08}));
    EXPECT_EQ(Send({cmdReadDumpSize, memData}, 1300), Bytes({0xD1, 0, 64, 0}));
    EXPECT_EQ(Error({cmdReadDumpSize, 0x33}, 1300), errBadParams);
    EXPECT_EQ(Send({cmdReadDump, memProgram, 0, 0}, 1300).substr(4), image.substr(0, 64));
    EXPECT_EQ(Send({cmdReadDump, memProgram, 1, 0}, 1300),
              Bytes({0xD2, 0, 1, 0}) + image.substr(64));
    EXPECT_EQ(Send({cmdReadDump, memProgram, 2, 0}, 1300).substr(4), TBytes(64, '\xFF'));
    EXPECT_EQ(Error({cmdReadDump, memProgram, 0x00, 0x08}, 1300), errBadParams);
    EXPECT_EQ(Error({cmdReadDump, memEeprom, 64, 0}, 1300), errBadParams);
}

TEST_F(BoardModel, MemoryDumpsShowLiveState) {
    auto eeprom = [&] {
        TBytes all;
        for (int b = 0; b < 64; ++b)
            all += Send({cmdReadDump, memEeprom, b, 0}, 0).substr(4);
        return all;
    };
    const TBytes before = eeprom();
    const TBytes name = Ansi("Терминал 42");
    WriteField(0, 0, 8, name + TBytes(32 - name.size(), '\0'), 0);
    const TBytes after = eeprom();
    EXPECT_EQ(before.find(name), TBytes::npos);
    EXPECT_NE(after.find(name), TBytes::npos);

    const TBytes data = Send({cmdReadDump, memData, 0, 0}, 0);
    Send({cmdRelaySet, 0xA5}, 0);
    EXPECT_NE(Send({cmdReadDump, memData, 0, 0}, 0), data);
}

TEST_F(BoardModel, NoPayloadCrashesTheBoard) {
    std::mt19937 random(12345);
    TMillis now = 0;
    for (int i = 0; i < 20000; ++i) {
        TBytes payload(random() % 256, '\0');
        for (char& c : payload)
            c = static_cast<char>(random());
        if (!payload.empty() && i % 3 == 0) // steer toward known commands
            payload[0] = static_cast<char>(
                Bytes({0x11, 0x1E, 0x1F, 0x2D, 0x2E, 0x76, 0x78, 0xC1, 0xD2, 0x24})[random() % 10]);
        now += random() % 500;
        const TBytes answer = Send(payload, now);
        if (answer.empty())
            continue;
        ASSERT_EQ(answer[0], payload[0]);
        ASSERT_NE(At(answer, 1), errInternal) << StrToHex(payload);
    }
}

} // namespace
