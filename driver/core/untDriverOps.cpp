// The driver's operations: each takes its inputs from the properties, sends one command
// through SendCommand and lets the decoder of the command catalogue set the outputs. Each
// decoder follows the first operation of its command.
#include "untDriver.h"

#include "untCodePage.h"
#include "untCommandCatalogue.h"
#include "driver/core/untConst.h"
#include "untError.h"
#include "untSettingsStore.h"
#include "driver/core/untUtil.h"

#include <algorithm>
#include <cstdio>

namespace {
TBytes Payload(std::uint8_t code) {
    return TBytes(1, static_cast<char>(code));
}

TBytes& operator<<(TBytes& data, std::uint8_t byte) {
    data += static_cast<char>(byte);
    return data;
}

std::uint8_t Low(int value) {
    return static_cast<std::uint8_t>(value & 0xFF);
}

// A 1-based number as the wire's 0-based byte. Unsigned, so no property value can overflow.
std::uint8_t WireNumber(int number) {
    return static_cast<std::uint8_t>(static_cast<unsigned>(number) - 1u);
}

void CheckRange(const char* name, long long value, long long minimum, long long maximum) {
    if (value < minimum || value > maximum) {
        char text[200];
        std::snprintf(text, sizeof text, "%s%s%s%lld%s%lld", Ansi("Значение свойства \"").c_str(),
                      name, Ansi("\" должно быть в диапазоне от ").c_str(), minimum,
                      Ansi(" до ").c_str(), maximum);
        throw EDriverError(ecRange, text);
    }
}

// A number of at least `width` digits, zero-padded as "%.2d" pads; snprintf would cost as
// much as the rest of a status answer's decoding.
void AppendNumber(std::string& text, int value, std::size_t width) {
    const std::string digits = std::to_string(value);
    if (digits.size() < width)
        text.append(width - digits.size(), '0');
    text += digits;
}
} // namespace

// ---------------------------------------------------------------- link

int TDriver::OpenPort() {
    return Guarded([&] {
        Comm.Close();
        OpenComm();
        return ClearResult();
    });
}

int TDriver::ClosePort() {
    Comm.Close();
    return ClearResult();
}

int TDriver::Connect() {
    OpenPort();
    const int result = ReadDeviceMetrics();
    if (result != 0)
        Comm.Close();
    return result;
}

int TDriver::Disconnect() {
    Comm.Close();
    return ClearResult();
}

void TDriver::SetBaudRate(int value) {
    Comm.SetBaudRate(IsValidBaudRate(value) ? value : 2400);
}

// ---------------------------------------------------------------- board

int TDriver::ReadDeviceMetrics() {
    return SendCommand(Payload(cmdReadDeviceMetrics));
}

void TDriver::DecodeReadDeviceMetrics(TAnswerReader& answer) {
    UMajorType = answer.Byte();
    UMinorType = answer.Byte();
    UMajorProtocolVersion = answer.Byte();
    UMinorProtocolVersion = answer.Byte();
    UModel = answer.Byte();
    UCodePage = answer.Byte();
    TBytes text = answer.Rest();
    text = text.substr(0, text.find('\0'));
    UDescription = TrimTrailing(text, 1);
}

int TDriver::ReadStatus() {
    return SendCommand(Payload(cmdReadStatus));
}

void TDriver::DecodeReadStatus(TAnswerReader& answer) {
    SerialNumber = answer.Word();
    SoftVersionWord = answer.Word();
    SoftVersion =
        std::to_string(SoftVersionWord & 0xFF) + '.' + std::to_string(SoftVersionWord >> 8);
    SoftBuild = answer.Word();
    SoftDay = answer.Byte();
    SoftMonth = answer.Byte();
    SoftYear = answer.Byte();
    SoftDateStr.clear();
    AppendNumber(SoftDateStr, SoftDay, 2);
    SoftDateStr += '.';
    AppendNumber(SoftDateStr, SoftMonth, 2);
    SoftDateStr += '.';
    AppendNumber(SoftDateStr, SoftYear + 2000, 2);
    double serial = 0;
    if (EncodeDate(SoftYear + 2000, SoftMonth, SoftDay, serial))
        SoftDate = serial;
    Mode = answer.Byte();
    static const std::string ready = Ansi("готов к работе"), unknown = Ansi("неизвестный режим");
    ModeDescription = Mode == 0 ? ready : unknown;
    ParamFlags = answer.Byte();
    // A short answer lacks the later bytes; what it lacks keeps its last value.
    if (!answer.AtEnd())
        ParamFlags2 = answer.Byte();
    if (!answer.AtEnd())
        RelayStatus = answer.Byte();
    DecodeFlags();
}

void TDriver::DecodeFlags() {
    MBPowerState = ParamFlags & pfMBPowerState;
    ButtonPowerPressed = ParamFlags & pfButtonPowerPressed;
    ButtonResetPressed = ParamFlags & pfButtonResetPressed;
    DoorLockOpened = ParamFlags & pfDoorLockOpened;
    TurnOnDelay = ParamFlags & pfTurnOnDelay;
    TurnOffDelay = ParamFlags & pfTurnOffDelay;
    RelayToggled = ParamFlags & pfRelayToggled;
    MBPowerSensor = ParamFlags & pfMBPowerSensor;
    WatchDogEnabled = ParamFlags2 & pf2WatchDogEnabled;
}

int TDriver::ReadMode() {
    return SendCommand(Payload(cmdReadMode));
}

void TDriver::DecodeReadMode(TAnswerReader& answer) {
    Mode = answer.Byte();
    static const std::string normal = Ansi("Основной режим"),
                             program = Ansi("Режим программирования"),
                             unknown = Ansi("Неизвестный режим");
    ModeDescription = Mode == 0 ? normal : Mode == 1 ? program : unknown;
}

int TDriver::ReadExchangeParam() {
    return SendCommand(Payload(cmdReadExchangeParam));
}

void TDriver::DecodeReadExchangeParam(TAnswerReader& answer) {
    SetBaudRate(CodeToBaudRate(answer.Byte()));
    SetTimeout(answer.Byte());
}

int TDriver::SetExchangeParam() {
    TBytes p = Payload(cmdSetExchangeParam);
    p << Low(BaudRateToCode(DeviceBaudRate)) << Low(DeviceTimeout);
    return SendCommand(p);
}

int TDriver::RelaySetStatus() {
    TBytes p = Payload(cmdRelaySet);
    return SendCommand(p << Low(RelayStatus));
}

void TDriver::DecodeRelaySet(TAnswerReader& answer) {
    RelayStatus = answer.Byte();
}

// All three relay commands answer with the relays as they are now.
void TDriver::DecodeRelayRead(TAnswerReader& answer) {
    DecodeRelaySet(answer);
}

void TDriver::DecodeRelayPulse(TAnswerReader& answer) {
    DecodeRelaySet(answer);
}

int TDriver::ReadRelayStatus() {
    return SendCommand(Payload(cmdRelayRead));
}

int TDriver::ToggleRelayStatus() {
    TBytes p = Payload(cmdRelayPulse);
    p << Low(RelayStatus);
    PutWord(p, static_cast<std::uint16_t>(ToggleTime));
    return SendCommand(p);
}

int TDriver::EnableWatchDog() {
    TBytes p = Payload(cmdWatchDog);
    return SendCommand(p << 1);
}

void TDriver::DecodeWatchDog(TAnswerReader& answer) {
    WatchDogEnabled = answer.Byte() == 1;
}

int TDriver::DisableWatchDog() {
    TBytes p = Payload(cmdWatchDog);
    return SendCommand(p << 0);
}

int TDriver::ResetWatchDog() {
    return SendCommand(Payload(cmdWatchDogReset));
}

void TDriver::DecodeWatchDogReset(TAnswerReader& answer) {
    ParamFlags = answer.Byte();
    ParamFlags2 = answer.Byte();
    DecodeFlags();
}

int TDriver::ToggleButtonStatus() {
    TBytes p = Payload(cmdButtons);
    return SendCommand(p << Low(ButtonStatus));
}

int TDriver::MBPowerStateOn() {
    TBytes p = Payload(cmdMBPower);
    return SendCommand(p << 0);
}

void TDriver::DecodeMBPower(TAnswerReader& answer) {
    MBPowerState = answer.Byte() != 1;
}

int TDriver::MBPowerStateOff() {
    TBytes p = Payload(cmdMBPower);
    return SendCommand(p << 1);
}

int TDriver::OpenDoorLock() {
    TBytes p = Payload(cmdDoorLock);
    return SendCommand(p << (DoorLockOpened ? 1 : 0));
}

void TDriver::DecodeDoorLock(TAnswerReader& answer) {
    DoorLockOpened = answer.Byte() == 1;
}

int TDriver::ResetDevice() {
    return SendCommand(Payload(cmdResetDevice));
}

int TDriver::TestDevice() {
    return Guarded([&] {
        CheckRange("TestNumber", TestNumber, 0, 8);
        TBytes p = Payload(cmdTestDevice);
        return SendCommand(p << Low(TestNumber));
    });
}

int TDriver::ExecuteCommand() {
    return Guarded([&] { return SendCommand(HexToBytes(CommandHex)); });
}

int TDriver::DecodeParamFlags() {
    DecodeFlags();
    return ClearResult();
}

// ---------------------------------------------------------------- tables

int TDriver::ReadTableStruct() {
    TBytes p = Payload(cmdReadTableStruct);
    return SendCommand(p << WireNumber(TableNumber));
}

void TDriver::DecodeReadTableStruct(TAnswerReader& answer) {
    TableName = TrimTrailing(answer.Text(40), 0);
    RowCount = answer.Word();
    FieldCount = answer.Byte();
}

int TDriver::ReadFieldStructure() {
    TBytes p = Payload(cmdReadFieldStruct);
    return SendCommand(p << WireNumber(TableNumber) << WireNumber(FieldNumber));
}

// A number field's limits make the answer's length: all is read before anything is set.
void TDriver::DecodeReadFieldStruct(TAnswerReader& answer) {
    const TBytes name = answer.Text(40);
    const int type = answer.Byte();
    const std::size_t size = answer.Byte();
    std::uint32_t minimum = 0, maximum = 0;
    if (type == 0) {
        minimum = answer.Number(size);
        maximum = answer.Number(size);
    }
    FieldName = TrimTrailing(name, 0);
    FieldType = type;
    FieldSize = static_cast<int>(size);
    if (type == 0) {
        FieldMinValue = static_cast<int>(minimum);
        FieldMaxValue = static_cast<int>(maximum);
    }
    FieldStructKnown = true;
    FieldStructTable = TableNumber;
    FieldStructField = FieldNumber;
}

// The field's type and size come from the structure read last for this table and field.
int TDriver::EnsureFieldStructure() {
    ClearResult();
    if (FieldStructKnown && FieldStructTable == TableNumber && FieldStructField == FieldNumber)
        return 0;
    return ReadFieldStructure();
}

TBytes TDriver::FieldAddress(std::uint8_t code) const {
    TBytes p = Payload(code);
    p << WireNumber(TableNumber);
    PutWord(p, static_cast<std::uint16_t>(RowNumber - 1));
    return p << WireNumber(FieldNumber);
}

int TDriver::ReadTable() {
    return Guarded([&] {
        const int result = EnsureFieldStructure();
        if (result != 0)
            return result;
        return SendCommand(FieldAddress(cmdReadTable));
    });
}

void TDriver::DecodeReadTable(TAnswerReader& answer) {
    if (!answer.AtEnd())
        FieldValue = DecodeFieldValue(answer.Rest());
}

TBytes TDriver::DecodeFieldValue(const TBytes& data) const {
    if (FieldType != 0) {
        const std::size_t size = FieldSize > 0 ? static_cast<std::size_t>(FieldSize) : 0;
        TBytes text = data.substr(0, size);
        return text.substr(0, text.find('\0'));
    }
    const std::size_t size = FieldSize > 0 ? std::min<std::size_t>(FieldSize, 4) : 0;
    return std::to_string(static_cast<std::int32_t>(GetNumber(data.substr(0, size))));
}

int TDriver::WriteTable() {
    int result = Guarded([&] { return EnsureFieldStructure(); });
    if (result != 0)
        return result;
    // Outside the guard: a value that does not fit reaches the caller's failure handler,
    // with nothing sent and nothing logged.
    const TBytes value = EncodeFieldValue();
    return SendCommand(FieldAddress(cmdWriteTable) + value);
}

TBytes TDriver::EncodeFieldValue() const {
    // A frame holds 255 payload bytes; a larger size could only exhaust memory.
    CheckRange("FieldSize", FieldSize, 0, MaxPayloadSize - 5);
    const std::size_t size = static_cast<std::size_t>(FieldSize);
    if (FieldType == 1) {
        TBytes text = FieldValue.substr(0, size);
        text.resize(size, '\0');
        return text;
    }
    const std::int32_t value = CheckFieldValue();
    TBytes bytes;
    for (std::size_t i = 0; i < size; ++i) {
        // Bytes past the fourth extend the sign, so a wide field holds the same number.
        const int shift = static_cast<int>(i < 4 ? i * 8 : 24);
        std::uint8_t b = static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> shift);
        if (i >= 4)
            b = value < 0 ? 0xFF : 0x00;
        bytes += static_cast<char>(b);
    }
    return bytes;
}

std::int32_t TDriver::CheckFieldValue() const {
    const std::int32_t value = StrToInt(FieldValue);
    if (value < FieldMinValue || value > FieldMaxValue) {
        char text[160];
        std::snprintf(text, sizeof text, "%s (%d). %s %d..%d",
                      Ansi("Неверное значение поля").c_str(), value,
                      Ansi("Допустимые значения:").c_str(), FieldMinValue, FieldMaxValue);
        throw EDriverError(ecRange, text);
    }
    return value;
}

int TDriver::InitTables() {
    return Guarded([&] {
        if (SerialNumber == 0 && SoftVersionWord == 0 && SoftBuild == 0) {
            const int result = ReadStatus();
            if (result != 0)
                return result;
        }
        TBytes p = Payload(cmdInitTables);
        PutWord(p, SoftVersionWord);
        PutWord(p, SoftBuild);
        p << Low(SoftDay) << Low(SoftMonth) << Low(SoftYear) << 0x02;
        PutWord(p, SerialNumber);
        return SendCommand(p);
    });
}

// ---------------------------------------------------------------- program mode and dumps

int TDriver::EnterProgramMode() {
    return SendCommand(Payload(cmdEnterProgramMode));
}
int TDriver::ExitProgramMode() {
    return SendCommand(Payload(cmdExitProgramMode));
}

int TDriver::WriteProgramBlock() {
    TBytes block = DataBlock.substr(0, BlockSize);
    block.resize(BlockSize, '\0');
    TBytes p = Payload(cmdWriteProgramBlock);
    PutWord(p, BlockNumber);
    return SendCommand(p + block);
}

int TDriver::ReadDumpSize() {
    TBytes p = Payload(cmdReadDumpSize);
    return SendCommand(p << Low(MemoryType));
}

void TDriver::DecodeReadDumpSize(TAnswerReader& answer) {
    BlockCount = answer.Word();
}

int TDriver::ReadDump() {
    TBytes p = Payload(cmdReadDump);
    p << Low(MemoryType);
    PutWord(p, BlockNumber);
    return SendCommand(p);
}

void TDriver::DecodeReadDump(TAnswerReader& answer) {
    BlockNumber = answer.Word();
    DataBlock = answer.Text(BlockSize);
}

int TDriver::ReadMemoryTypeDescription() {
    MemoryTypeDescription = MemoryTypeName(MemoryType);
    return ClearResult();
}

std::string TDriver::GetDataBlockHex() const {
    return StrToHex(DataBlock);
}
void TDriver::SetDataBlockHex(const std::string& value) {
    DataBlock = HexToBytes(value);
}

// ---------------------------------------------------------------- settings

int TDriver::SetDefaults() {
    return Guarded([&] {
        SetTimeout(DefaultTimeout);
        SetBaudRate(DefaultBaudRate);
        SetPortNumber(DefaultPortNumber);
        SetCommandTimeout(DefaultCommandTimeout);
        return ClearResult();
    });
}

int TDriver::LoadRegParams() {
    return Guarded([&] {
        SetDefaults();
        TSettingsKey key;
        if (!key.OpenRead(RegKeyParam))
            return ClearResult();
        if (key.ValueExists("Timeout"))
            SetTimeout(key.ReadInteger("Timeout"));
        if (key.ValueExists("CommandTimeout"))
            SetCommandTimeout(key.ReadInteger("CommandTimeout"));
        if (key.ValueExists("BaudRate"))
            SetBaudRate(key.ReadInteger("BaudRate"));
        if (key.ValueExists("PortNumber"))
            SetPortNumber(key.ReadInteger("PortNumber"));
        if (key.ValueExists("ComLogFile"))
            SetComLogFile(key.ReadString("ComLogFile"));
        if (key.ValueExists("LogOn"))
            SetLogOn(key.ReadBool("LogOn"));
        if (key.ValueExists("LogMethods"))
            SetLogMethods(key.ReadBool("LogMethods"));
        if (key.ValueExists("LogCommands"))
            SetLogCommands(key.ReadBool("LogCommands"));
        return ClearResult();
    });
}

int TDriver::SaveRegParams() {
    return Guarded([&] {
        TSettingsKey key;
        key.OpenCreateOrRaise(RegKeyParam); // settings not stored are a failure, not a 0
        key.WriteInteger("Timeout", GetTimeout());
        key.WriteInteger("BaudRate", GetBaudRate());
        key.WriteInteger("PortNumber", GetPortNumber());
        key.WriteInteger("CommandTimeout", GetCommandTimeout());
        key.WriteBool("LogOn", GetLogOn());
        key.WriteString("ComLogFile", GetComLogFile());
        key.WriteBool("LogCommands", GetLogCommands());
        key.WriteBool("LogMethods", GetLogMethods());
        return ClearResult();
    });
}
