#include "untDriver.h"

#include "untClock.h"
#include "untCodePage.h"
#include "untConst.h"
#include "untError.h"
#include "untUtil.h"

#include <cstdio>
#include <stdexcept>

namespace {
std::uint8_t Byte(const TBytes& data, std::size_t i) {
    return static_cast<std::uint8_t>(data[i]);
}

std::string Format(const char* format, int a, int b) {
    char text[64];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}
} // namespace

TDriver::TDriver() {
    LoadRegParams();
    ClearResult();
    ToggleTime = 1000;
}

TDriver::~TDriver() = default;

// ---------------------------------------------------------------- results

int TDriver::ClearResult() {
    ResultCode = ecOK;
    ResultDescription = TextOfDriverCode(ecOK);
    return ResultCode;
}

int TDriver::HandleException(std::exception_ptr failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const EDriverError& e) {
        ResultCode = e.Code;
        ResultDescription = e.what();
    } catch (const std::exception& e) {
        ResultCode = ecFailure;
        ResultDescription = e.what();
    } catch (...) {
        ResultCode = ecFailure;
        ResultDescription = Ansi("Неизвестная ошибка");
    }
    return ResultCode;
}

int TDriver::Guarded(const std::function<int()>& steps) {
    try {
        return steps();
    } catch (...) {
        return HandleException(std::current_exception());
    }
}

// ---------------------------------------------------------------- exchange

TBytes TDriver::Exchange(const TBytes& payload) {
    const std::uint32_t start = TickCount();
    Input.clear();
    const TBytes frame = BuildFrame(static_cast<std::uint8_t>(SequenceNumber), payload);
    Output = StrToHex(frame);
    Comm.Purge();
    Comm.Write(frame);
    TBytes answer = ReadAnswer();
    ExecutionTime = static_cast<std::uint16_t>(TickCount() - start);
    SequenceNumber = (SequenceNumber + 1) % 255;
    return answer;
}

TBytes TDriver::ReadAnswer() {
    const TBytes header = Comm.Read(FrameHeaderSize);
    Input = StrToHex(header);
    if (header.size() < FrameHeaderSize)
        RaiseDriverError(ecNoLink);
    if (Byte(header, 0) != STX)
        RaiseDriverError(ecNoStx);
    const std::size_t length = Byte(header, 3);
    const TBytes body = Comm.Read(length + 1);
    Input += StrToHex(body);
    if (body.size() < length + 1)
        RaiseDriverError(ecNoLink);
    const TBytes payload = body.substr(0, length);
    if (FrameCrc(header.substr(1) + payload) != Byte(body, length))
        RaiseDriverError(ecBadCrc);
    return payload;
}

void TDriver::CheckLength(const TBytes& data, std::size_t minimum) {
    if (data.size() < minimum)
        RaiseDriverError(ecBadLength);
}

void TDriver::CheckAnswer(const TBytes& answer, std::uint8_t code) {
    CheckLength(answer, 1);
    if (Byte(answer, 0) != code)
        RaiseDriverError(ecBadAnswerCode);
    if (answer.size() == 1) {
        ClearResult();
        return;
    }
    ResultCode = Byte(answer, 1);
    ResultDescription = DeviceErrorText(ResultCode);
    if (ResultCode == 0)
        Decode(code, answer.substr(2));
}

int TDriver::SendCommand(const TBytes& payload) {
    TBytes answer;
    try {
        if (payload.empty())
            throw std::runtime_error(Ansi("Неверные данные команды"));
        const std::uint8_t code = Byte(payload, 0);
        answer = Exchange(payload);
        CheckAnswer(answer, code);
    } catch (...) {
        HandleException(std::current_exception());
    }
    LogCommand(payload, answer);
    return ResultCode;
}

void TDriver::LogCommand(const TBytes& payload, const TBytes& answer) {
    if (!Log.GetLogCommands() || payload.empty())
        return;
    const int code = Byte(payload, 0);
    char head[16];
    std::snprintf(head, sizeof head, "%.2X ", code);
    Log.WriteSeparator();
    Log.WriteLine(Ansi("Команда ") + head + CommandName(code));
    Log.WriteData("-> ", payload);
    if (!answer.empty())
        Log.WriteData("<- ", answer);
    if (ResultCode != 0) {
        char number[32];
        if (ResultCode > 0)
            std::snprintf(number, sizeof number, "%d, %.2Xh", ResultCode, ResultCode);
        else
            std::snprintf(number, sizeof number, "%d", ResultCode);
        Log.WriteLine(Ansi("Ошибка: (") + number + ") " + ResultDescription);
    }
}

// ---------------------------------------------------------------- decoders

void TDriver::Decode(std::uint8_t code, const TBytes& data) {
    switch (code) {
    case cmdReadStatus:
        return DecodeStatus(data);
    case cmdReadExchangeParam:
        CheckLength(data, 2);
        SetBaudRate(CodeToBaudRate(Byte(data, 0)));
        SetTimeout(Byte(data, 1));
        return;
    case cmdReadTable:
        if (!data.empty())
            FieldValue = DecodeFieldValue(data);
        return;
    case cmdReadTableStruct:
        CheckLength(data, 43);
        TableName = TrimTrailing(data.substr(0, 40), 0);
        RowCount = GetWord(data, 40);
        FieldCount = Byte(data, 42);
        return;
    case cmdReadFieldStruct:
        return DecodeFieldStruct(data);
    case cmdRelaySet:
    case cmdRelayPulse:
    case cmdRelayRead:
        CheckLength(data, 1);
        RelayStatus = Byte(data, 0);
        return;
    case cmdWatchDog:
        CheckLength(data, 1);
        WatchDogEnabled = Byte(data, 0) == 1;
        return;
    case cmdWatchDogReset:
        CheckLength(data, 2);
        ParamFlags = Byte(data, 0);
        ParamFlags2 = Byte(data, 1);
        DecodeFlags();
        return;
    case cmdDoorLock:
        CheckLength(data, 1);
        DoorLockOpened = Byte(data, 0) == 1;
        return;
    case cmdMBPower:
        CheckLength(data, 1);
        MBPowerState = Byte(data, 0) != 1;
        return;
    case cmdReadMode:
        CheckLength(data, 1);
        Mode = Byte(data, 0);
        ModeDescription = Mode == 0   ? Ansi("Основной режим")
                          : Mode == 1 ? Ansi("Режим программирования")
                                      : Ansi("Неизвестный режим");
        return;
    case cmdReadDumpSize:
        CheckLength(data, 2);
        BlockCount = GetWord(data, 0);
        return;
    case cmdReadDump:
        CheckLength(data, 2 + BlockSize);
        BlockNumber = GetWord(data, 0);
        DataBlock = data.substr(2, BlockSize);
        return;
    case cmdReadDeviceMetrics:
        return DecodeDeviceMetrics(data);
    default:
        return; // commands without answer data
    }
}

void TDriver::DecodeStatus(const TBytes& data) {
    CheckLength(data, 11);
    SerialNumber = GetWord(data, 0);
    SoftVersionWord = GetWord(data, 2);
    SoftVersion = Format("%d.%d", Byte(data, 2), Byte(data, 3));
    SoftBuild = GetWord(data, 4);
    SoftDay = Byte(data, 6);
    SoftMonth = Byte(data, 7);
    SoftYear = Byte(data, 8);
    char date[32];
    std::snprintf(date, sizeof date, "%.2d.%.2d.%.2d", SoftDay, SoftMonth, SoftYear + 2000);
    SoftDateStr = date;
    double serial = 0;
    if (EncodeDate(SoftYear + 2000, SoftMonth, SoftDay, serial))
        SoftDate = serial;
    Mode = Byte(data, 9);
    ModeDescription = Mode == 0 ? Ansi("готов к работе") : Ansi("неизвестный режим");
    ParamFlags = Byte(data, 10);
    // A short answer lacks the later bytes; what it lacks keeps its last value.
    if (data.size() > 11)
        ParamFlags2 = Byte(data, 11);
    if (data.size() > 12)
        RelayStatus = Byte(data, 12);
    DecodeFlags();
}

void TDriver::DecodeFieldStruct(const TBytes& data) {
    CheckLength(data, 42);
    const int type = Byte(data, 40);
    const int size = Byte(data, 41);
    if (type == 0)
        CheckLength(data, 42 + 2 * static_cast<std::size_t>(size));
    FieldName = TrimTrailing(data.substr(0, 40), 0);
    FieldType = type;
    FieldSize = size;
    if (type == 0) {
        FieldMinValue = static_cast<int>(GetNumber(data.substr(42, size)));
        FieldMaxValue = static_cast<int>(GetNumber(data.substr(42 + size, size)));
    }
    FieldStructKnown = true;
    FieldStructTable = TableNumber;
    FieldStructField = FieldNumber;
}

void TDriver::DecodeDeviceMetrics(const TBytes& data) {
    CheckLength(data, 6);
    UMajorType = Byte(data, 0);
    UMinorType = Byte(data, 1);
    UMajorProtocolVersion = Byte(data, 2);
    UMinorProtocolVersion = Byte(data, 3);
    UModel = Byte(data, 4);
    UCodePage = Byte(data, 5);
    TBytes text = data.substr(6, 255);
    text = text.substr(0, text.find('\0'));
    UDescription = TrimTrailing(text, 1);
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
