#include "untDriver.h"

#include "untClock.h"
#include "untCodePage.h"
#include "untCommandCatalogue.h"
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

void TDriver::OpenComm() {
    Comm.Open();
}

void TDriver::RecordExchange(const std::string& output, const std::string& input,
                             std::uint16_t executionTime) {
    Output = output;
    Input = input;
    ExecutionTime = executionTime;
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

// An answer of the code alone is a success without data.
void TDriver::CheckAnswer(const TBytes& answer, std::uint8_t code) {
    TAnswerReader reader(answer);
    if (reader.Byte() != code)
        RaiseDriverError(ecBadAnswerCode);
    if (reader.AtEnd()) {
        ClearResult();
        return;
    }
    ResultCode = reader.Byte();
    ResultDescription = DeviceErrorText(ResultCode);
    const TBoardCommand* command = FindBoardCommand(code);
    if (ResultCode != 0 || !command || !command->Decode)
        return;
    reader.Need(command->MinAnswer);
    (this->*command->Decode)(reader);
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
