#include "untFaultMatrix.h"

#include "untCodePage.h"
#include "untCommandCatalogue.h"
#include "driver/core/untUtil.h"

#include <chrono>
#include <cstdio>
#include <regex>
#include <sstream>
#include <thread>

namespace faultmatrix {
namespace {

std::string Field(const char* name, const std::string& value) {
    return std::string(name) + "=" + value + ";";
}

std::string Field(const char* name, long long value) {
    return Field(name, std::to_string(value));
}

// Flag bytes set by hand, with the flags they decode to, as an answer never sets them.
void SpoilFlags(TDriver& d) {
    d.ParamFlags = 0x5A;
    d.ParamFlags2 = 0x5A;
    d.DecodeParamFlags();
}

std::string Flags(const TDriver& d) {
    return Field("ParamFlags", d.ParamFlags) + Field("ParamFlags2", d.ParamFlags2) +
           Field("MBPowerState", d.MBPowerState) +
           Field("ButtonPowerPressed", d.ButtonPowerPressed) +
           Field("ButtonResetPressed", d.ButtonResetPressed) +
           Field("DoorLockOpened", d.GetDoorLockOpened()) + Field("TurnOnDelay", d.TurnOnDelay) +
           Field("TurnOffDelay", d.TurnOffDelay) + Field("RelayToggled", d.RelayToggled) +
           Field("MBPowerSensor", d.MBPowerSensor) + Field("WatchDogEnabled", d.WatchDogEnabled);
}

void SpoilStatus(TDriver& d) {
    d.SerialNumber = 7;
    d.SoftVersion = "x";
    d.SoftBuild = 7;
    d.SoftDateStr = "x";
    d.SoftDay = d.SoftMonth = d.SoftYear = 77;
    d.SoftDate = 1;
    d.Mode = 7;
    d.ModeDescription = "x";
    d.RelayStatus = 0xA5;
    SpoilFlags(d);
}

std::string Status(const TDriver& d) {
    char date[32];
    std::snprintf(date, sizeof date, "%.1f", d.SoftDate);
    return Field("SerialNumber", d.SerialNumber) + Field("SoftVersion", d.SoftVersion) +
           Field("SoftBuild", d.SoftBuild) + Field("SoftDateStr", d.SoftDateStr) +
           Field("SoftDay", d.SoftDay) + Field("SoftMonth", d.SoftMonth) +
           Field("SoftYear", d.SoftYear) + Field("SoftDate", date) + Field("Mode", d.Mode) +
           Field("ModeDescription", d.ModeDescription) + Field("RelayStatus", d.RelayStatus) +
           Flags(d);
}

void SpoilDeviceMetrics(TDriver& d) {
    d.UMajorType = d.UMinorType = d.UMajorProtocolVersion = d.UMinorProtocolVersion = 77;
    d.UModel = d.UCodePage = 77;
    d.UDescription = "x";
}

std::string DeviceMetrics(const TDriver& d) {
    return Field("UMajorType", d.UMajorType) + Field("UMinorType", d.UMinorType) +
           Field("UMajorProtocolVersion", d.UMajorProtocolVersion) +
           Field("UMinorProtocolVersion", d.UMinorProtocolVersion) + Field("UModel", d.UModel) +
           Field("UCodePage", d.UCodePage) + Field("UDescription", d.UDescription);
}

void SpoilTableStruct(TDriver& d) {
    d.TableName = "x";
    d.RowCount = 7;
    d.FieldCount = 7;
}

std::string TableStruct(const TDriver& d) {
    return Field("TableName", d.TableName) + Field("RowCount", d.RowCount) +
           Field("FieldCount", d.FieldCount);
}

void SpoilFieldStruct(TDriver& d) {
    d.FieldName = "x";
    d.FieldType = d.FieldSize = 7;
    d.FieldMinValue = d.FieldMaxValue = -7;
}

std::string FieldStruct(const TDriver& d) {
    return Field("FieldName", d.FieldName) + Field("FieldType", d.FieldType) +
           Field("FieldSize", d.FieldSize) + Field("FieldMinValue", d.FieldMinValue) +
           Field("FieldMaxValue", d.FieldMaxValue);
}

// A value step sends one command only when the field's structure is known beforehand.
void AddressField(TDriver& d, int table, int row, int field) {
    d.TableNumber = table;
    d.RowNumber = static_cast<std::uint16_t>(row);
    d.FieldNumber = field;
    d.ReadFieldStructure();
}

void NoInputs(TDriver&) {}

std::string Relays(const TDriver& d) {
    return Field("RelayStatus", d.RelayStatus);
}

// Operations whose output register is also their input keep it as the request sent it.
const std::vector<TOperation> OperationTable = {
    {"ReadStatus", cmdReadStatus, NoInputs, [](TDriver& d) { return d.ReadStatus(); }, SpoilStatus,
     Status},
    {"ReadDeviceMetrics", cmdReadDeviceMetrics, NoInputs,
     [](TDriver& d) { return d.ReadDeviceMetrics(); }, SpoilDeviceMetrics, DeviceMetrics},
    {"ReadMode", cmdReadMode, NoInputs, [](TDriver& d) { return d.ReadMode(); },
     [](TDriver& d) {
         d.Mode = 7;
         d.ModeDescription = "x";
     },
     [](const TDriver& d) {
         return Field("Mode", d.Mode) + Field("ModeDescription", d.ModeDescription);
     }},
    {"ReadExchangeParam", cmdReadExchangeParam, NoInputs,
     [](TDriver& d) { return d.ReadExchangeParam(); },
     [](TDriver& d) {
         d.SetBaudRate(4800);
         d.SetTimeout(90);
     },
     [](const TDriver& d) {
         return Field("BaudRate", d.GetBaudRate()) + Field("Timeout", d.GetTimeout());
     }},
    {"RelaySetStatus", cmdRelaySet, [](TDriver& d) { d.RelayStatus = 0x5A; },
     [](TDriver& d) { return d.RelaySetStatus(); }, NoInputs, Relays},
    {"ToggleRelayStatus", cmdRelayPulse,
     [](TDriver& d) {
         d.RelayStatus = 0x03;
         d.ToggleTime = 50;
     },
     [](TDriver& d) { return d.ToggleRelayStatus(); }, NoInputs, Relays},
    {"ReadRelayStatus", cmdRelayRead, NoInputs, [](TDriver& d) { return d.ReadRelayStatus(); },
     [](TDriver& d) { d.RelayStatus = 0xA5; }, Relays},
    {"DisableWatchDog", cmdWatchDog, NoInputs, [](TDriver& d) { return d.DisableWatchDog(); },
     [](TDriver& d) { d.WatchDogEnabled = true; },
     [](const TDriver& d) { return Field("WatchDogEnabled", d.WatchDogEnabled); }},
    {"ResetWatchDog", cmdWatchDogReset, NoInputs, [](TDriver& d) { return d.ResetWatchDog(); },
     SpoilFlags, Flags},
    {"OpenDoorLock", cmdDoorLock, [](TDriver& d) { d.SetDoorLockOpened(false); },
     [](TDriver& d) { return d.OpenDoorLock(); }, NoInputs,
     [](const TDriver& d) { return Field("DoorLockOpened", d.GetDoorLockOpened()); }},
    {"MBPowerStateOn", cmdMBPower, NoInputs, [](TDriver& d) { return d.MBPowerStateOn(); },
     [](TDriver& d) { d.MBPowerState = false; },
     [](const TDriver& d) { return Field("MBPowerState", d.MBPowerState); }},
    {"ReadTableStruct", cmdReadTableStruct, [](TDriver& d) { d.TableNumber = 1; },
     [](TDriver& d) { return d.ReadTableStruct(); }, SpoilTableStruct, TableStruct},
    // The field is a number of two bytes: its limits take four.
    {"ReadFieldStructure", cmdReadFieldStruct,
     [](TDriver& d) {
         d.TableNumber = 1;
         d.FieldNumber = 1;
     },
     [](TDriver& d) { return d.ReadFieldStructure(); }, SpoilFieldStruct, FieldStruct, 4},
    {"ReadTable", cmdReadTable, [](TDriver& d) { AddressField(d, 1, 1, 1); },
     [](TDriver& d) { return d.ReadTable(); }, [](TDriver& d) { d.FieldValue = "x"; },
     [](const TDriver& d) { return Field("FieldValue", d.FieldValue); }},
    // The door lock time, written with the value it has: the board stays as it was.
    {"WriteTable", cmdWriteTable,
     [](TDriver& d) {
         AddressField(d, 1, 1, 4);
         d.FieldValue = "5";
     },
     [](TDriver& d) { return d.WriteTable(); }, NoInputs,
     [](const TDriver&) { return std::string(); }},
    {"ReadDumpSize", cmdReadDumpSize, [](TDriver& d) { d.MemoryType = memEeprom; },
     [](TDriver& d) { return d.ReadDumpSize(); }, [](TDriver& d) { d.BlockCount = 7; },
     [](const TDriver& d) { return Field("BlockCount", d.BlockCount); }},
    {"ReadDump", cmdReadDump,
     [](TDriver& d) {
         d.MemoryType = memEeprom;
         d.BlockNumber = 1;
     },
     [](TDriver& d) { return d.ReadDump(); }, [](TDriver& d) { d.SetDataBlockHex("A5"); },
     [](const TDriver& d) {
         return Field("BlockNumber", d.BlockNumber) + Field("DataBlock", d.GetDataBlockHex());
     }},
    {"ExecuteCommand", cmdReadTableStruct, [](TDriver& d) { d.CommandHex = "2D 02"; },
     [](TDriver& d) { return d.ExecuteCommand(); }, SpoilTableStruct, TableStruct},
};

// The gap faults get a long command time-out so that only the byte time-out can end a read:
// pauses of three times it end the read at the first; pauses of 10 ms pass with a byte time-out
// of a second, which a busy machine's stalls of the board do not reach.
const std::vector<TFault> FaultTable = {
    // name, control, code, framed, decoded, loses data, Input, command time-out, ms, after
    {"noanswer", "fault noanswer", -1, false, false, false, 0, "", 0, CommandTimeoutMs - 50, 0,
     TAfter::Nothing},
    {"stx", "fault stx", -6, false, false, false, 4, "FD ", 0, 0, 0, TAfter::Nothing},
    {"crc", "fault crc", -4, false, false, false, WholeFrame, "02 ", 0, 0, 0, TAfter::Nothing},
    {"code", "fault code", -10, true, false, false, WholeFrame, "02 ", 0, 0, 0, TAfter::Nothing},
    {"short", "fault short", -5, true, false, true, WholeFrame, "02 ", 0, 0, 0, TAfter::Nothing},
    {"long", "fault long 255", 0, true, true, false, WholeFrame, "02 ", 0, 0, 0, TAfter::Nothing},
    {"trail", "fault trail 8", 0, true, true, false, WholeFrame, "02 ", 0, 0, 0, TAfter::Nothing},
    {"cut_header", "fault cut 3", -1, false, false, false, 3, "02 ", 0, 0, 0, TAfter::Nothing},
    {"cut_body", "fault cut 6", -1, false, false, false, 6, "02 ", 0, 0, 0, TAfter::Nothing},
    {"delay_under", "fault delay 100", 0, true, true, false, WholeFrame, "02 ", 0, 0, 0,
     TAfter::Nothing},
    {"delay_over", "fault delay 900", -1, false, false, false, 0, "", 0, 0, 0, TAfter::Flush},
    {"gap_under", "fault gap 10", 0, true, true, false, WholeFrame, "02 ", 3000, 0, 0,
     TAfter::Nothing, 1000},
    {"gap_over", "fault gap 300", -1, false, false, false, 1, "02 ", 2000, 0, 1000, TAfter::Flush},
    {"garbage", "fault garbage 4", -6, false, false, false, 4, "FF FF FF FF ", 0, 0, 0,
     TAfter::Nothing},
    {"error_33", "fault error 33", 51, true, false, false, WholeFrame, "02 ", 0, 0, 0,
     TAfter::Nothing},
    {"error_C8", "fault error C8", 200, true, false, false, WholeFrame, "02 ", 0, 0, 0,
     TAfter::Nothing},
    {"reset", "reset", -1, false, false, false, 0, "", 0, 0, 0, TAfter::Restart},
    {"away", "away", GoneCode, false, false, false, 0, "", 0, 0, 0, TAfter::Return},
};

// One line per 20 bytes, as the log cuts long data.
std::string DataLines(const char* prefix, const TBytes& data) {
    std::string lines;
    std::size_t at = 0;
    do {
        lines += prefix + StrToHex(data.substr(at, 20)) + "\r\n";
        at += 20;
    } while (at < data.size());
    return lines;
}
} // namespace

const std::vector<TOperation>& Operations() {
    return OperationTable;
}

std::size_t MinData(const TOperation& operation) {
    return FindBoardCommand(operation.Code)->MinAnswer + operation.ExtraData;
}

const std::vector<TFault>& Faults() {
    return FaultTable;
}

void Configure(TDriver& driver) {
    driver.SetBaudRate(2400);
    driver.SetTimeout(ByteTimeoutMs);
    driver.SetCommandTimeout(CommandTimeoutMs);
}

// One byte below the minimum finds both a length check off by one and a decoder that sets
// outputs before it checks.
std::string ControlLine(const TFault& fault, const TOperation& operation, std::size_t dataSize) {
    std::string line = fault.Control;
    if (fault.LosesData) {
        const std::size_t min = MinData(operation);
        line += " " + std::to_string(min > 0 && dataSize >= min ? dataSize - min + 1 : 255);
    }
    if (line.rfind("fault ", 0) == 0) {
        char code[16];
        std::snprintf(code, sizeof code, " for %02X", operation.Code);
        line += code;
    }
    return line;
}

std::string ResultText(int code) {
    switch (code) {
    case 0:
        return Ansi("Ошибок нет");
    case -1:
        return Ansi("Нет связи");
    case -4:
        return Ansi("Неверный CRC кадра");
    case -5:
        return Ansi("Неверная длина кадра");
    case -6:
        return Ansi("Первый байт не STX");
    case -10:
        return Ansi("Неверный код ответа");
    case 51:
        return Ansi("Некорректные параметры в команде");
    case 200:
        return Ansi("Ошибка устройства: 200 (C8h)");
    default:
        return std::string();
    }
}

std::string WithoutStamps(const std::string& log) {
    static const std::regex stamp(R"(^\[\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d\.\d{3}\] )");
    std::string text;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);)
        text += std::regex_replace(line, stamp, "", std::regex_constants::format_first_only) +
                (lines.eof() ? "" : "\n");
    return text;
}

std::string CommandBlock(const TOperation& operation, const TBytes& request, const TBytes& answer,
                         int code, const std::string& text) {
    char head[16];
    std::snprintf(head, sizeof head, "%.2X ", operation.Code);
    std::string block = std::string(60, '-') + "\r\n" + Ansi("Команда ") + head +
                        CommandName(operation.Code) + "\r\n" + DataLines("-> ", request);
    if (!answer.empty())
        block += DataLines("<- ", answer);
    if (code != 0) {
        char number[32];
        std::snprintf(number, sizeof number, code > 0 ? "%d, %.2Xh" : "%d", code, code);
        block += Ansi("Ошибка: (") + number + ") " + text + "\r\n";
    }
    return block;
}

TBytes FramePayload(const std::string& hex) {
    const TBytes frame = HexToBytes(hex);
    if (frame.size() < FrameHeaderSize)
        return TBytes();
    return frame.substr(FrameHeaderSize, static_cast<std::uint8_t>(frame[3]));
}

bool WaitForQuietBoard(TBoard& board) {
    for (int i = 0; i < 250; ++i) {
        const std::string state = board.Command("state");
        if (state.find("\nrestarting=0\n") != std::string::npos &&
            state.find("\npulse=0\n") != std::string::npos)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

} // namespace faultmatrix
