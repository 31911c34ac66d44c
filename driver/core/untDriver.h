// The driver core: one object per automation object. Its properties are registers: a caller
// sets the inputs, calls an operation and reads the result code, the result text and the
// outputs. Every operation returns its result code and leaves it in ResultCode, with its
// text in ResultDescription. Strings are cp1251 byte strings.
#pragma once

#include "untComm.h"
#include "untLogFile.h"
#include "untProtocol.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <vector>

class TAnswerReader;
struct TBoardCommand;

class TDriver {
public:
    TDriver();
    virtual ~TDriver();
    TDriver(const TDriver&) = delete;
    TDriver& operator=(const TDriver&) = delete;

    // --- results
    int ClearResult();
    int HandleException(std::exception_ptr failure);
    int GetResultCode() const { return ResultCode; }
    const std::string& GetResultDescription() const { return ResultDescription; }

    // --- the operations: one for each method row of the member list, each returning its
    // result code. WriteTable's encoding of the value may throw: see the automation object's
    // guard.
#define TRELMO_OPERATION_Method(Name) int Name();
#define TRELMO_OPERATION_Procedure(Name)
#define TRELMO_OPERATION_ReadOnly(Name)
#define TRELMO_OPERATION_ReadWrite(Name)
#define MEMBER(Name, DispId, Access, Type, Russian, Accessor) TRELMO_OPERATION_##Access(Name)
#define OWN_MEMBER(Name, DispId, Access, Type, Russian)
#include "untMemberList.h"
#undef TRELMO_OPERATION_Method
#undef TRELMO_OPERATION_Procedure
#undef TRELMO_OPERATION_ReadOnly
#undef TRELMO_OPERATION_ReadWrite

    // --- the common command path; never throws
    int SendCommand(const TBytes& payload);

    // --- connection properties
    int GetPortNumber() const { return Comm.GetPortNumber(); }
    void SetPortNumber(int value) { Comm.SetPortNumber(value); }
    int GetBaudRate() const { return Comm.GetBaudRate(); }
    void SetBaudRate(int value);
    int GetTimeout() const { return Comm.GetTimeout(); }
    void SetTimeout(int value) { Comm.SetTimeout(value); }
    int GetCommandTimeout() const { return Comm.GetCommandTimeout(); }
    void SetCommandTimeout(int value) { Comm.SetCommandTimeout(value); }
    const std::string& GetDevicePath() const { return Comm.GetDevicePath(); }
    void SetDevicePath(const std::string& value) { Comm.SetDevicePath(value); }
    bool PortOpened() const { return Comm.Opened(); }
    int GetDefaultTimeout() const { return DefaultTimeout; }
    int GetDefaultBaudRate() const { return DefaultBaudRate; }
    int GetDefaultPortNumber() const { return DefaultPortNumber; }
    int GetDefaultCommandTimeout() const { return DefaultCommandTimeout; }

    // --- log properties
    bool GetLogOn() const { return Log.GetEnabled(); }
    void SetLogOn(bool value) { Log.SetEnabled(value); }
    bool GetLogCommands() const { return Log.GetLogCommands(); }
    void SetLogCommands(bool value) { Log.SetLogCommands(value); }
    bool GetLogMethods() const { return Log.GetLogMethods(); }
    void SetLogMethods(bool value) { Log.SetLogMethods(value); }
    const std::string& GetComLogFile() const { return Log.GetFileName(); }
    void SetComLogFile(const std::string& value) { Log.SetFileName(value); }
    TLogFile& GetLog() { return Log; }

    // --- exchange
    const std::string& GetInput() const { return Input; }
    const std::string& GetOutput() const { return Output; }
    std::uint16_t GetExecutionTime() const { return ExecutionTime; }
    int GetSequenceNumber() const { return SequenceNumber; }

    // --- plain registers (inputs and outputs of the operations)
    int DeviceBaudRate = 0;
    int DeviceTimeout = 0;
    std::uint16_t SerialNumber = 0;
    std::uint16_t SoftBuild = 0;
    std::string SoftVersion;
    std::string SoftDateStr;
    int SoftDay = 0, SoftMonth = 0, SoftYear = 0;
    double SoftDate = 0; // automation date: days since 30.12.1899
    int Mode = 0;
    std::string ModeDescription;
    int ParamFlags = 0, ParamFlags2 = 0;
    bool MBPowerState = false, ButtonPowerPressed = false, ButtonResetPressed = false;
    bool TurnOnDelay = false, TurnOffDelay = false, RelayToggled = false;
    bool MBPowerSensor = false, WatchDogEnabled = false;
    bool ReservFlag1 = false, ReservFlag2 = false, ReservFlag3 = false, ReservFlag4 = false;
    int RelayStatus = 0;
    int ToggleTime = 1000;
    int ButtonStatus = 0;
    int TestNumber = 0;
    int TableNumber = 0;
    int FieldNumber = 0;
    std::uint16_t RowNumber = 0;
    std::string TableName, FieldName;
    std::uint16_t RowCount = 0;
    int FieldCount = 0;
    int FieldType = 0, FieldSize = 0, FieldMinValue = 0, FieldMaxValue = 0;
    std::string FieldValue;
    int MemoryType = 0;
    std::string MemoryTypeDescription;
    std::uint16_t BlockCount = 0;
    std::uint16_t BlockNumber = 0;
    std::string CommandHex;
    int UMajorType = 0, UMinorType = 0, UMajorProtocolVersion = 0, UMinorProtocolVersion = 0;
    int UModel = 0, UCodePage = 0;
    std::string UDescription;

    bool GetDoorLockOpened() const { return DoorLockOpened; }
    void SetDoorLockOpened(bool value) { DoorLockOpened = value; }

    // One byte string, three views.
    const TBytes& GetDataBlock() const { return DataBlock; }
    void SetDataBlock(const TBytes& value) { DataBlock = value; }
    std::string GetDataBlockHex() const;
    void SetDataBlockHex(const std::string& value);

protected:
    // The whole exchange of one payload; the answer payload. Throws on any failure.
    virtual TBytes Exchange(const TBytes& payload);
    // Opens the port for OpenPort and Connect. A driver whose exchanges another process
    // carries out (the tool beside the service) has no port of its own to open.
    virtual void OpenComm();
    // What an exchange carried out elsewhere leaves behind, as Exchange leaves it: the request
    // and answer frames in hex and the time it took.
    void RecordExchange(const std::string& output, const std::string& input,
                        std::uint16_t executionTime);

private:
    // Runs the steps; a failure becomes the result through HandleException.
    int Guarded(const std::function<int()>& steps);
    TBytes ReadAnswer(std::uint8_t sequence);
    TBytes ReadFrame(const TBytes& header); // the payload of a whole, checked frame
    void CheckAnswer(const TBytes& answer, std::uint8_t code);
    void LogCommand(const TBytes& payload, const TBytes& answer);

    // The answer decoders, one for each command whose answer carries data, declared from the
    // command list; the catalogue binds them to their rows.
    friend const std::vector<TBoardCommand>& BoardCommands();
#define TRELMO_DECODER_Data(Name) void Decode##Name(TAnswerReader& answer);
#define TRELMO_DECODER_None(Name)
#define COMMAND(Name, Code, Text, MinAnswer, Answer) TRELMO_DECODER_##Answer(Name)
#include "untCommandList.h"
#undef TRELMO_DECODER_Data
#undef TRELMO_DECODER_None

    TBytes DecodeFieldValue(const TBytes& data) const;
    void DecodeFlags();
    int EnsureFieldStructure();
    TBytes FieldAddress(std::uint8_t code) const;
    TBytes EncodeFieldValue() const;
    std::int32_t CheckFieldValue() const;

    TComm Comm;
    TLogFile Log;
    int ResultCode = 0;
    std::string ResultDescription;
    std::string Input, Output;
    std::uint16_t ExecutionTime = 0;
    int SequenceNumber = 0;
    int Unanswered = -1; // the number of the last request that failed after it went out
    bool DoorLockOpened = false;
    TBytes DataBlock;
    std::uint16_t SoftVersionWord = 0;
    bool FieldStructKnown = false;
    int FieldStructTable = 0, FieldStructField = 0;

    const int DefaultTimeout = 200;
    const int DefaultBaudRate = 2400;
    const int DefaultPortNumber = 1;
    const int DefaultCommandTimeout = 1000;
};
