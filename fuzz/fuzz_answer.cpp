// The answer path under any board: frame reading and checking and every decoder, reached through
// the driver's operations, with the protocol log on.
//
// Input: up to MaxSteps steps, one after the other:
//   op     1 byte: the operation (low 7 bits, modulo their number); bit 7 set: keep the registers
//   regs   16 bytes, little-endian: TableNumber (4), FieldNumber (4), RowNumber = BlockNumber =
//          ToggleTime (2), FieldSize (2, signed), FieldType (1), TestNumber (1, signed),
//          MemoryType = RelayStatus = ButtonStatus = DeviceTimeout, bit 0 DoorLockOpened (1),
//          DeviceBaudRate as its speed code (1)
//   text   length (2), then the text: CommandHex, FieldValue and DataBlock
// each followed by the far end's reply to every write the operation makes:
//   length 2 bytes: bits 0-11 the answer's length; bit 15 the write stops half-way; bit 14 a
//          read that finds no byte left fails; bit 13 the answer is a payload that the board
//          frames itself with the request's sequence number (a checksum is more than
//          mutations find by chance)
//   answer the bytes
// Input that runs out reads as zeros: no answer, and a time-out.
#include "untCommandCatalogue.h"
#include "driver/core/untConst.h"
#include "untDriver.h"
#include "untFuzzLine.h"
#include "untFuzzSupport.h"
#include "untProtocol.h"

#include <cerrno>
#include <cstdint>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const int MaxSteps = 16;

class TInput {
public:
    TInput(const std::uint8_t* data, std::size_t size) : Data(data), Size(size) {}
    bool Empty() const { return At >= Size; }
    std::uint32_t Number(int bytes) {
        std::uint32_t value = 0;
        for (int i = 0; i < bytes; ++i)
            value |= static_cast<std::uint32_t>(At < Size ? Data[At++] : 0) << (8 * i);
        return value;
    }
    TBytes Bytes(std::size_t count) {
        count = std::min(count, Size - std::min(At, Size));
        TBytes bytes(reinterpret_cast<const char*>(Data + At), count);
        At += count;
        return bytes;
    }

private:
    const std::uint8_t* Data;
    std::size_t Size;
    std::size_t At = 0;
};

// The board: answers each write from the input, and keeps what crossed the line during the
// current exchange.
class TBoard : public TFuzzLine {
public:
    explicit TBoard(TInput& input) : Input(input) {}

    TReply Written(const TBytes& data) override {
        Frames.push_back(data);
        const std::uint32_t head = Input.Number(2);
        TReply reply;
        reply.ShortWrite = head & 0x8000;
        reply.ReadFails = head & 0x4000;
        reply.Answer = Input.Bytes(head & 0x0FFF);
        const auto sequence = static_cast<std::uint8_t>(data.size() > 1 ? data[1] : 0);
        if (head & 0x2000)
            reply.Answer = BuildFrame(sequence, reply.Answer.substr(0, MaxPayloadSize));
        LastWriteShort = reply.ShortWrite;
        return reply;
    }
    void Delivered(const TBytes& data) override { Received += data; }

    std::vector<TBytes> Frames; // of the whole operation
    TBytes Received;            // of the current exchange
    bool LastWriteShort = false;

private:
    TInput& Input;
};

bool IsFrame(const TBytes& bytes) {
    if (bytes.size() < FrameHeaderSize + 1 || static_cast<std::uint8_t>(bytes[0]) != STX)
        return false;
    const std::size_t length = static_cast<std::uint8_t>(bytes[3]);
    return bytes.size() == FrameHeaderSize + length + 1 &&
           FrameCrc(bytes.substr(1, bytes.size() - 2)) == static_cast<std::uint8_t>(bytes.back());
}

// Whether a frame with sequence byte `number` answers the request `sequence`: only the number
// of the request that failed just before (`late`, or -1) marks an answer to another request.
bool Answers(std::uint8_t number, int sequence, int late) {
    return number == sequence || number != late;
}

// Where the frame that answers `sequence` begins: late answers come first and are dropped.
std::size_t AnswerStart(const TBytes& received, int sequence, int late) {
    std::size_t at = 0;
    while (received.size() - at >= FrameHeaderSize + 1) {
        const std::size_t size = FrameHeaderSize + static_cast<std::uint8_t>(received[at + 3]) + 1;
        if (!IsFrame(received.substr(at, size)) ||
            Answers(static_cast<std::uint8_t>(received[at + 1]), sequence, late))
            break;
        at += size;
    }
    return at;
}

// Everything a decoder may set, as text: a failed command must leave it as it was.
std::string Outputs(const TDriver& d) {
    std::ostringstream s;
    s.precision(17);
    s << "SerialNumber " << d.SerialNumber << "\nSoftVersion " << d.SoftVersion << "\nSoftBuild "
      << d.SoftBuild << "\nSoftDate " << d.SoftDateStr << ' ' << d.SoftDay << ' ' << d.SoftMonth
      << ' ' << d.SoftYear << ' ' << d.SoftDate << "\nMode " << d.Mode << ' ' << d.ModeDescription
      << "\nParamFlags " << d.ParamFlags << ' ' << d.ParamFlags2 << "\nFlags " << d.MBPowerState
      << d.ButtonPowerPressed << d.ButtonResetPressed << d.GetDoorLockOpened() << d.TurnOnDelay
      << d.TurnOffDelay << d.RelayToggled << d.MBPowerSensor << d.WatchDogEnabled
      << "\nRelayStatus " << d.RelayStatus << "\nTable " << d.TableName << ' ' << d.RowCount << ' '
      << d.FieldCount << "\nField " << d.FieldName << ' ' << d.FieldType << ' ' << d.FieldSize
      << ' ' << d.FieldMinValue << ' ' << d.FieldMaxValue << "\nFieldValue " << d.FieldValue
      << "\nDump " << d.BlockCount << ' ' << d.BlockNumber << ' ' << d.GetDataBlockHex()
      << "\nDevice " << d.UMajorType << ' ' << d.UMinorType << ' ' << d.UMajorProtocolVersion << ' '
      << d.UMinorProtocolVersion << ' ' << d.UModel << ' ' << d.UCodePage << ' ' << d.UDescription
      << "\nExchange " << d.GetBaudRate() << ' ' << d.GetTimeout();
    return s.str();
}

// The driver with every exchange checked on its way.
class TCheckedDriver : public TDriver {
public:
    explicit TCheckedDriver(TBoard& board) : Board(board) {}

    int Exchanges = 0;    // of the current operation
    std::string Baseline; // the outputs before the last command
    TBytes Request;       // of the last exchange
    TBytes Answer;        // of the last exchange, empty when it failed

protected:
    TBytes Exchange(const TBytes& payload) override {
        const int sequence = GetSequenceNumber();
        Require(sequence >= 0 && sequence <= 254, "sequence number out of 0..254");
        Baseline = Outputs(*this);
        ++Exchanges;
        const std::size_t frames = Board.Frames.size();
        Board.Received.clear();
        Request = payload;
        Answer.clear();
        TBytes answer;
        try {
            answer = TDriver::Exchange(payload);
        } catch (...) { // checked, then on to the driver's guard
            Check(payload, sequence, frames, false);
            throw;
        }
        Check(payload, sequence, frames, true);
        const std::size_t start = AnswerStart(Board.Received, sequence, Late);
        Require(Board.Received.substr(start + FrameHeaderSize, answer.size()) == answer,
                "the answer is not the frame's payload");
        Answer = answer;
        return answer;
    }

private:
    void Check(const TBytes& payload, int sequence, std::size_t framesBefore, bool succeeded) {
        Require(Board.Frames.size() - framesBefore <= 1, "more than one write in an exchange");
        if (Board.Frames.size() > framesBefore) {
            const TBytes& frame = Board.Frames.back();
            Require(IsFrame(frame) && frame.substr(FrameHeaderSize, payload.size()) == payload &&
                        static_cast<std::uint8_t>(frame[1]) == sequence && frame[2] == 0,
                    "a malformed request frame", StrToHex(frame));
            Require(GetOutput() == StrToHex(frame), "Output is not the frame sent");
        } else {
            Require(payload.size() > MaxPayloadSize, "nothing written for a payload that fits");
        }
        const TBytes answer = Board.Received.substr(AnswerStart(Board.Received, sequence, Late));
        Require(GetInput() == StrToHex(answer), "Input is not the bytes of the answer",
                GetInput() + "\n" + StrToHex(Board.Received));
        const bool answered =
            IsFrame(answer) && Answers(static_cast<std::uint8_t>(answer[1]), sequence, Late);
        Require(succeeded == answered,
                succeeded ? "an answer accepted that is no frame of this request"
                          : "a valid answer frame refused",
                StrToHex(Board.Received));
        // Every request that went out whole uses up its number.
        const bool sent = Board.Frames.size() > framesBefore && !Board.LastWriteShort;
        Require(GetSequenceNumber() == (sent ? (sequence + 1) % 255 : sequence),
                "the sequence number moved wrongly");
        if (succeeded)
            Late = -1;
        else if (sent)
            Late = sequence;
    }

    TBoard& Board;
    int Late = -1; // the request whose answer may still come, as the driver should see it
};

using TOperation = int (TDriver::*)();

struct TNamedOperation {
    const char* Name;
    TOperation Run;
};

const TNamedOperation Operations[] = {
    {"ReadStatus", &TDriver::ReadStatus},
    {"ReadDeviceMetrics", &TDriver::ReadDeviceMetrics},
    {"ReadMode", &TDriver::ReadMode},
    {"ReadExchangeParam", &TDriver::ReadExchangeParam},
    {"SetExchangeParam", &TDriver::SetExchangeParam},
    {"RelaySetStatus", &TDriver::RelaySetStatus},
    {"ReadRelayStatus", &TDriver::ReadRelayStatus},
    {"ToggleRelayStatus", &TDriver::ToggleRelayStatus},
    {"EnableWatchDog", &TDriver::EnableWatchDog},
    {"DisableWatchDog", &TDriver::DisableWatchDog},
    {"ResetWatchDog", &TDriver::ResetWatchDog},
    {"ToggleButtonStatus", &TDriver::ToggleButtonStatus},
    {"MBPowerStateOn", &TDriver::MBPowerStateOn},
    {"MBPowerStateOff", &TDriver::MBPowerStateOff},
    {"OpenDoorLock", &TDriver::OpenDoorLock},
    {"ResetDevice", &TDriver::ResetDevice},
    {"TestDevice", &TDriver::TestDevice},
    {"ExecuteCommand", &TDriver::ExecuteCommand},
    {"ReadTableStruct", &TDriver::ReadTableStruct},
    {"ReadFieldStructure", &TDriver::ReadFieldStructure},
    {"ReadTable", &TDriver::ReadTable},
    {"WriteTable", &TDriver::WriteTable},
    {"InitTables", &TDriver::InitTables},
    {"EnterProgramMode", &TDriver::EnterProgramMode},
    {"WriteProgramBlock", &TDriver::WriteProgramBlock},
    {"ExitProgramMode", &TDriver::ExitProgramMode},
    {"ReadDumpSize", &TDriver::ReadDumpSize},
    {"ReadDump", &TDriver::ReadDump},
    {"Connect", &TDriver::Connect},
    {"ClosePort", &TDriver::ClosePort},
};
const int OperationCount = sizeof Operations / sizeof Operations[0];

// The far end that agrees to everything: the request's code, no error and a frame full of zero
// data, so that every operation gets as far as its last command.
class TAgreeingLine : public TFuzzLine {
public:
    TReply Written(const TBytes& frame) override {
        const TBytes code = frame.substr(FrameHeaderSize, 1);
        Sent.insert(static_cast<std::uint8_t>(code[0]));
        TReply reply;
        reply.Answer = BuildFrame(static_cast<std::uint8_t>(frame[1]),
                                  code + TBytes(MaxPayloadSize - 1, '\0'));
        return reply;
    }
    void Delivered(const TBytes&) override {}

    std::set<std::uint8_t> Sent;
};

// A command of the catalogue that no operation here sends would never meet the fuzzer.
void CheckEveryCommandIsSent() {
    TAgreeingLine line;
    SetFuzzLine(&line);
    {
        TDriver driver;
        driver.FieldValue = "0";
        for (const TNamedOperation& operation : Operations)
            (driver.*operation.Run)();
    }
    SetFuzzLine(nullptr);
    for (const TBoardCommand& command : BoardCommands())
        Require(line.Sent.count(command.Code) > 0, "a command of the catalogue is never sent",
                StrToHex(TBytes(1, static_cast<char>(command.Code))));
}

// An answer the driver accepts with no error, whose data fall short of the catalogue's
// minimum, must fail with the wrong length: a decoder never reads past the data.
void CheckAnswerLength(const TCheckedDriver& d, int result, const std::string& where) {
    const TBytes& answer = d.Answer;
    if (d.Exchanges == 0 || answer.size() < 2 || answer[0] != d.Request[0] || answer[1] != 0)
        return;
    const TBoardCommand* command = FindBoardCommand(static_cast<std::uint8_t>(answer[0]));
    if (command && answer.size() - 2 < command->MinAnswer)
        Require(result == ecBadLength, "an answer shorter than its command's minimum taken", where);
}

void SetRegisters(TDriver& d, TInput& in, const std::string& text) {
    d.TableNumber = static_cast<std::int32_t>(in.Number(4));
    d.FieldNumber = static_cast<std::int32_t>(in.Number(4));
    const auto word = static_cast<std::uint16_t>(in.Number(2));
    d.RowNumber = d.BlockNumber = word;
    d.ToggleTime = word;
    d.FieldSize = static_cast<std::int16_t>(in.Number(2));
    d.FieldType = static_cast<int>(in.Number(1));
    d.TestNumber = static_cast<std::int8_t>(in.Number(1));
    const auto value = static_cast<int>(in.Number(1));
    d.MemoryType = d.RelayStatus = d.ButtonStatus = d.DeviceTimeout = value;
    d.SetDoorLockOpened(value & 1);
    d.DeviceBaudRate = CodeToBaudRate(static_cast<int>(in.Number(1)));
    d.CommandHex = d.FieldValue = text;
    d.SetDataBlock(text);
}

off_t FileSize(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

bool IsResultCode(int code) {
    switch (code) {
    case ecOK:
    case ecNoLink:
    case ecBadCrc:
    case ecBadLength:
    case ecNoStx:
    case ecBadAnswerCode:
    case ecFailure:
        return true;
    default:
        return code >= 1 && code <= 255;
    }
}

void RunStep(TCheckedDriver& d, TBoard& board, TInput& in, const std::string& log) {
    const int op = static_cast<int>(in.Number(1));
    const TNamedOperation& operation = Operations[(op & 0x7F) % OperationCount];
    const TBytes regBytes = in.Bytes(16);
    TInput registers(reinterpret_cast<const std::uint8_t*>(regBytes.data()), regBytes.size());
    const std::string text = in.Bytes(in.Number(2));
    if (!(op & 0x80))
        SetRegisters(d, registers, text);

    d.Exchanges = 0;
    d.Baseline = Outputs(d);
    board.Frames.clear();
    const off_t logBefore = FileSize(log);
    int result = 0;
    bool escaped = false;
    try {
        result = (d.*operation.Run)();
    } catch (...) {
        // Only the value encoding of WriteTable may leave the driver; the automation object's
        // guard then reports it.
        Require(operation.Run == &TDriver::WriteTable, "a failure escaped", operation.Name);
        escaped = true;
        result = d.HandleException(std::current_exception());
    }

    const std::string where = std::string(operation.Name) + ": " + std::to_string(result) + " " +
                              d.GetResultDescription();
    Require(result == d.GetResultCode(), "the result differs from ResultCode", where);
    Require(!d.GetResultDescription().empty(), "an empty result text", where);
    if (escaped) {
        Require(result == ecRange || result == ecFailure, "an unexpected encoding failure", where);
        for (const TBytes& frame : board.Frames)
            Require(static_cast<std::uint8_t>(frame[FrameHeaderSize]) != cmdWriteTable,
                    "a value that failed its encoding was sent", where);
    } else if (operation.Run == &TDriver::TestDevice) {
        const bool outOfRange = d.TestNumber < 0 || d.TestNumber > 8;
        Require(outOfRange ? result == ecRange : IsResultCode(result),
                "TestDevice checked its number wrongly", where);
    } else {
        Require(IsResultCode(result), "a result code outside the answer path's", where);
    }
    if (result != 0 && !escaped)
        Require(Outputs(d) == d.Baseline, "a failed command changed outputs",
                where + "\n--- before\n" + d.Baseline + "\n--- after\n" + Outputs(d));
    CheckAnswerLength(d, result, where);
    // Raw commands aside, every request is a command the catalogue decodes and names.
    if (operation.Run != &TDriver::ExecuteCommand)
        for (const TBytes& frame : board.Frames)
            Require(FindBoardCommand(static_cast<std::uint8_t>(frame[FrameHeaderSize])) != nullptr,
                    "a command of no catalogue row sent", where);
    if (d.Exchanges > 0)
        Require(FileSize(log) > logBefore, "a command left no log line", where);
    // The port stays open after an exchange, whatever came back, except that Connect closes it
    // again when it fails.
    if (operation.Run == &TDriver::Connect)
        Require(d.PortOpened() == (result == 0), "Connect left the port in the wrong state", where);
    else if (!board.Frames.empty())
        Require(d.PortOpened(), "an exchange closed the port", where);
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzHome();
    CheckEveryCommandIsSent();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string log = FuzzHome() + "/commands.log";
    if (truncate(log.c_str(), 0) != 0 && errno != ENOENT)
        Require(false, "cannot empty the log");
    TInput in(data, size);
    TBoard board(in);
    SetFuzzLine(&board);
    {
        TCheckedDriver driver(board);
        driver.SetComLogFile(log);
        driver.SetLogOn(true);
        driver.SetLogCommands(true);
        for (int step = 0; step < MaxSteps && !in.Empty(); ++step)
            RunStep(driver, board, in, log);
    }
    SetFuzzLine(nullptr);
    return 0;
}
