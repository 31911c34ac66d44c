#include "untDriver.h"

#include "untClock.h"
#include "untCodePage.h"
#include "driver/core/untConst.h"
#include "untError.h"
#include "driver/core/untUtil.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace {
std::uint8_t Byte(const TBytes& data, std::size_t i) {
    return static_cast<std::uint8_t>(data[i]);
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
    const std::uint8_t sequence = static_cast<std::uint8_t>(SequenceNumber);
    const TBytes frame = BuildFrame(sequence, payload);
    // Refilled in place, Input and Output keep their room from one exchange to the next.
    Output.clear();
    AppendHex(Output, frame);
    Comm.Purge();
    Comm.Write(frame);
    // A request that went out uses up its number, answered or not: so its answer, should it
    // come too late, cannot pass for the answer to the next request.
    SequenceNumber = (SequenceNumber + 1) % 255;
    TBytes answer;
    try {
        answer = ReadAnswer(sequence);
    } catch (...) { // whatever failed, its answer may still come; the failure goes on
        Unanswered = sequence;
        throw;
    }
    Unanswered = -1;
    ExecutionTime = static_cast<std::uint16_t>(TickCount() - start);
    return answer;
}

// The board need not echo the sequence number (the answer's byte 1 only enters the checksum),
// so only an answer that carries the number of the request that failed just before is taken
// for that request's late answer: it is dropped, and the read goes on for what is left of the
// command time-out; once that is spent, once more for the bytes already on their way.
TBytes TDriver::ReadAnswer(std::uint8_t sequence) {
    const std::uint32_t start = TickCount();
    TBytes header = Comm.Read(FrameHeaderSize);
    bool spent = false;
    for (;;) {
        TBytes answer = ReadFrame(header);
        if (Byte(header, 1) == sequence || Byte(header, 1) != Unanswered)
            return answer;
        if (spent)
            RaiseDriverError(ecNoLink);
        const long long left =
            static_cast<long long>(Comm.GetCommandTimeout()) - (TickCount() - start);
        spent = left <= 0;
        Input.clear();
        header = Comm.ReadWithin(FrameHeaderSize, static_cast<int>(std::max(left, 0LL)));
    }
}

TBytes TDriver::ReadFrame(const TBytes& header) {
    AppendHex(Input, header);
    if (header.size() < FrameHeaderSize)
        RaiseDriverError(ecNoLink);
    if (Byte(header, 0) != STX)
        RaiseDriverError(ecNoStx);
    const std::size_t length = Byte(header, 3);
    TBytes body = Comm.Read(length + 1);
    AppendHex(Input, body);
    if (body.size() < length + 1)
        RaiseDriverError(ecNoLink);
    const std::uint8_t crc = Byte(body, length);
    body.pop_back(); // the payload is what remains
    if ((Byte(header, 1) ^ Byte(header, 2) ^ Byte(header, 3) ^ FrameCrc(body)) != crc)
        RaiseDriverError(ecBadCrc);
    return body;
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
        if (payload.size() > MaxPayloadSize)
            throw std::runtime_error(Ansi("Команда длиннее 255 байт"));
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
    // Formatting the lines costs more than the exchange itself: not for a log that is off.
    if (!Log.GetEnabled() || !Log.GetLogCommands() || payload.empty())
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
    case cmdReadMode: {
        CheckLength(data, 1);
        Mode = Byte(data, 0);
        static const std::string normal = Ansi("Основной режим"),
                                 program = Ansi("Режим программирования"),
                                 unknown = Ansi("Неизвестный режим");
        ModeDescription = Mode == 0 ? normal : Mode == 1 ? program : unknown;
        return;
    }
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
    SoftVersion = std::to_string(Byte(data, 2)) + '.' + std::to_string(Byte(data, 3));
    SoftBuild = GetWord(data, 4);
    SoftDay = Byte(data, 6);
    SoftMonth = Byte(data, 7);
    SoftYear = Byte(data, 8);
    SoftDateStr.clear();
    AppendNumber(SoftDateStr, SoftDay, 2);
    SoftDateStr += '.';
    AppendNumber(SoftDateStr, SoftMonth, 2);
    SoftDateStr += '.';
    AppendNumber(SoftDateStr, SoftYear + 2000, 2);
    double serial = 0;
    if (EncodeDate(SoftYear + 2000, SoftMonth, SoftDay, serial))
        SoftDate = serial;
    Mode = Byte(data, 9);
    static const std::string ready = Ansi("готов к работе"), unknown = Ansi("неизвестный режим");
    ModeDescription = Mode == 0 ? ready : unknown;
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
