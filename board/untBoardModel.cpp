#include "untBoardModel.h"

#include "untBoardTables.h"
#include "untCodePage.h"

#include <algorithm>
#include <array>
#include <optional>
#include <sstream>
#include <stdexcept>

namespace {

// What the board reports about itself.
const std::uint8_t SoftMajor = 1;
const std::uint8_t SoftMinor = 5;
const std::uint16_t SoftBuild = 312;
const std::uint8_t SoftDay = 17;
const std::uint8_t SoftMonth = 11;
const std::uint8_t SoftYear = 4;
const std::uint8_t DeviceMajorType = 7;
const std::uint8_t DeviceMinorType = 1;
const std::uint8_t ProtocolMajor = 1;
const std::uint8_t ProtocolMinor = 0;
const std::uint8_t DeviceModel = 1;
const std::uint8_t CodePageRussian = 1; // texts in cp1251
const char* const DeviceDescription = "Варнок-плата ВП-1";

// The ATmega128's memories.
const std::size_t DataMemorySize = 4 * 1024;
const std::size_t ProgramMemorySize = 128 * 1024;
const std::size_t EepromSize = 4 * 1024;
const std::size_t RxBufferOffset = 0x40; // where the last request sits in data memory
const std::size_t RxBufferSize = 256;

const std::uint8_t DefaultSpeedCode = 2; // 2400 baud, what fresh firmware starts with
const TMillis AllRelaysTestMs = 1000;
const TMillis HourMs = 3600 * 1000;

enum TEvent : std::size_t {
    evRestartEnd,
    evPulseEnd,
    evPressEnd,
    evPowerOffDelay,
    evTurnOnDelay,
    evDoorClose,
    evWatchdog,
    evCount
};

// Pending timed events, each at most once.
class TTimers {
public:
    void Start(TEvent event, TMillis at) { Due[event] = at; }
    void Stop(TEvent event) { Due[event].reset(); }
    bool Active(TEvent event) const { return Due[event].has_value(); }
    TMillis At(TEvent event) const { return event < evCount ? Due[event].value_or(-1) : -1; }

    // The earliest pending event (the first in enum order on a tie), evCount with none.
    TEvent Next() const {
        TEvent next = evCount;
        for (std::size_t e = 0; e < evCount; ++e)
            if (Due[e] && (next == evCount || *Due[e] < *Due[next]))
                next = static_cast<TEvent>(e);
        return next;
    }

private:
    std::array<std::optional<TMillis>, evCount> Due;
};

enum class TPress { None, Reset, Power, LongPower };

// Event log codes; the texts are indexed by them.
enum TLogCode : std::uint8_t {
    lcPowerUp = 1,
    lcRestart,
    lcWatchdog,
    lcMainsLost,
    lcMainsBack,
    lcDelayedOff,
    lcFirmware,
};
const char* const LogTexts[] = {"",
                                "Включение платы",
                                "Перезапуск платы",
                                "Сброс по сторожевому таймеру",
                                "Пропадание сети 220 В",
                                "Восстановление сети 220 В",
                                "Выключение питания с задержкой",
                                "Обновление программы"};

std::uint8_t ClampByte(int value) {
    return static_cast<std::uint8_t>(std::clamp(value, 1, 255));
}

// The board's state and timed behaviour. Actions happen at the time of the last Advance,
// and Advance runs due events one by one at their own times, so long jumps stay exact.
class TBoard {
public:
    TBoard(const TBoardOptions& options, TMillis now);

    void Advance(TMillis now);
    TMillis NextEvent() const { return Timers.At(Timers.Next()); }
    bool Restarting() const { return Timers.Active(evRestartEnd); }
    TMillis RestartEnd() const { return Timers.At(evRestartEnd); }

    std::uint8_t ParamFlags() const;
    std::uint8_t ParamFlags2() const { return WatchdogOn ? pf2WatchDogEnabled : 0; }
    bool ProgramMode() const { return InProgramMode; }
    std::uint8_t Relays() const { return RelayState; }
    bool MbPower() const { return PowerOn; }
    bool DoorOpen() const { return DoorOpened; }
    int Baud() const { return BaudRate; }
    int ByteTimeout() const { return ByteTimeoutMs; }
    std::uint16_t SerialNumber() const { return Options.serialNumber; }
    TBoardTables& Tables() { return SettingTables; }
    const TBoardTables& Tables() const { return SettingTables; }

    void SetRelays(std::uint8_t state);
    void PulseRelays(std::uint8_t state, TMillis duration);
    std::uint8_t Press(TPress press);
    void StartPowerOffDelay();
    void CancelPowerOffDelay() { Timers.Stop(evPowerOffDelay); }
    std::uint8_t SwitchPower(bool on);
    void SetDoor(bool open);
    void HoldDoor(bool open) {
        DoorOpened = open;
        Timers.Stop(evDoorClose);
    }
    void EnableWatchdog(bool enable);
    void ResetWatchdog();
    void SetMains(bool present);
    void SetExchange(std::uint8_t speedCode, std::uint8_t byteTimeoutMs);
    void RestoreTables();
    void RunTest(int test);

    void EnterProgramMode();
    void WriteProgramBlock(std::size_t block, const TBytes& data);
    void LeaveProgramMode();
    void Restart(TLogCode cause);

    void Received(const TBytes& request) { RxBuffer = request.substr(0, RxBufferSize); }
    std::size_t MemorySize(std::uint8_t area) const;
    TBytes MemoryBlock(std::uint8_t area, std::size_t block) const;

    std::string Describe(TMillis now) const;

private:
    void Fire(TEvent event);
    void EndRestart();
    void EndPress();
    void WatchdogExpired();
    void SwitchOn();
    void SwitchOff();
    TMillis Setting(TGeneralField field, TMillis unit) const;
    TMillis WatchdogPeriod() const;
    std::uint8_t InitialRelays() const;
    void Log(TLogCode code);
    void SyncOperatingHours();
    TBytes DataMemory() const;
    TBytes Eeprom() const;

    TBoardOptions Options;
    TBoardTables SettingTables;
    TTimers Timers;
    TMillis PowerUpAt;
    TMillis Clock;
    bool InProgramMode = false;
    int BaudRate;
    int ByteTimeoutMs;
    std::uint8_t RelayState = 0;
    std::uint8_t PulseRestore = 0;
    TPress Pressed = TPress::None;
    bool PowerOn = true;
    bool Mains = true;
    bool DoorOpened = false;
    bool WatchdogOn = false;
    TLogCode RestartCause = lcRestart;
    unsigned WatchdogResets = 0;
    unsigned Restarts = 0;
    unsigned BlocksWritten = 0;
    int LastTest = -1;
    TBytes ProgramMemory;
    TBytes RxBuffer;
};

TBoard::TBoard(const TBoardOptions& options, TMillis now)
    : Options(options), SettingTables(static_cast<std::uint8_t>(BaudRateToCode(options.baudRate)),
                                      ClampByte(options.byteTimeoutMs)),
      PowerUpAt(now), Clock(now), BaudRate(CodeToBaudRate(BaudRateToCode(options.baudRate))),
      ByteTimeoutMs(ClampByte(options.byteTimeoutMs)), RelayState(InitialRelays()),
      ProgramMemory(ProgramMemorySize, '\xFF') {
    if (options.emptyTable > 0)
        SettingTables.ShowEmpty(static_cast<std::size_t>(options.emptyTable - 1));
    Log(lcPowerUp);
}

void TBoard::Advance(TMillis now) {
    for (TEvent event = Timers.Next(); event != evCount && Timers.At(event) <= now;
         event = Timers.Next()) {
        Clock = std::max(Clock, Timers.At(event));
        Timers.Stop(event);
        Fire(event);
    }
    Clock = std::max(Clock, now);
    SyncOperatingHours();
}

void TBoard::Fire(TEvent event) {
    switch (event) {
    case evRestartEnd:
        EndRestart();
        break;
    case evPulseEnd:
        RelayState = PulseRestore;
        break;
    case evPressEnd:
        EndPress();
        break;
    case evPowerOffDelay:
        SwitchOff();
        Log(lcDelayedOff);
        break;
    case evTurnOnDelay:
        if (Mains)
            SwitchOn();
        break;
    case evDoorClose:
        DoorOpened = false;
        break;
    case evWatchdog:
        WatchdogExpired();
        break;
    case evCount:
        break;
    }
}

std::uint8_t TBoard::ParamFlags() const {
    std::uint8_t flags = 0;
    if (PowerOn)
        flags |= pfMBPowerState;
    if (Pressed == TPress::Power || Pressed == TPress::LongPower)
        flags |= pfButtonPowerPressed;
    if (Pressed == TPress::Reset)
        flags |= pfButtonResetPressed;
    if (DoorOpened)
        flags |= pfDoorLockOpened;
    if (Timers.Active(evTurnOnDelay))
        flags |= pfTurnOnDelay;
    if (Timers.Active(evPowerOffDelay))
        flags |= pfTurnOffDelay;
    if (Timers.Active(evPulseEnd))
        flags |= pfRelayToggled;
    if (Mains)
        flags |= pfMBPowerSensor;
    return flags;
}

TMillis TBoard::Setting(TGeneralField field, TMillis unit) const {
    return static_cast<TMillis>(SettingTables.Number(tblGeneral, 0, field)) * unit;
}

TMillis TBoard::WatchdogPeriod() const {
    return Options.watchdogPeriodMs > 0 ? Options.watchdogPeriodMs
                                        : Setting(gfWatchdogPeriod, 1000);
}

std::uint8_t TBoard::InitialRelays() const {
    std::uint8_t state = 0;
    for (std::size_t row = 0; row < 8; ++row)
        if (SettingTables.Number(tblRelays, row, rfInitialState) != 0)
            state |= static_cast<std::uint8_t>(1u << row);
    return state;
}

void TBoard::Log(TLogCode code) {
    SettingTables.AddEvent(static_cast<std::uint32_t>((Clock - PowerUpAt) / 1000), code,
                           Ansi(LogTexts[code]));
}

void TBoard::SyncOperatingHours() {
    const TMillis hours = std::min<TMillis>((Clock - PowerUpAt) / HourMs, 2147483647);
    SettingTables.SetNumber(tblGeneral, 0, gfOperatingHours, static_cast<std::uint32_t>(hours));
}

void TBoard::SetRelays(std::uint8_t state) {
    Timers.Stop(evPulseEnd);
    RelayState = state;
}

// A pulse started during another one returns to the state before the first.
void TBoard::PulseRelays(std::uint8_t state, TMillis duration) {
    if (!Timers.Active(evPulseEnd))
        PulseRestore = RelayState;
    RelayState = state;
    Timers.Start(evPulseEnd, Clock + duration);
}

// One button at a time: the board has a single press timer.
std::uint8_t TBoard::Press(TPress press) {
    if (Pressed != TPress::None)
        return errBoardSettings;
    const TGeneralField time = press == TPress::Reset   ? gfResetPressTime
                               : press == TPress::Power ? gfPowerPressTime
                                                        : gfLongPressTime;
    Pressed = press;
    Timers.Start(evPressEnd, Clock + Setting(time, 1));
    return errNone;
}

void TBoard::EndPress() {
    const TPress press = Pressed;
    Pressed = TPress::None;
    if (press == TPress::Power && !PowerOn && Mains)
        SwitchOn();
    else if (press == TPress::LongPower)
        SwitchOff();
}

// A second request restarts the count.
void TBoard::StartPowerOffDelay() {
    Timers.Start(evPowerOffDelay, Clock + Setting(gfPowerOffDelay, 1000));
}

std::uint8_t TBoard::SwitchPower(bool on) {
    if (!on)
        SwitchOff();
    else if (!Mains)
        return errBoardSettings;
    else
        SwitchOn();
    return errNone;
}

void TBoard::SwitchOn() {
    PowerOn = true;
    Timers.Stop(evTurnOnDelay);
}

void TBoard::SwitchOff() {
    PowerOn = false;
    Timers.Stop(evPowerOffDelay);
    Timers.Stop(evTurnOnDelay);
}

void TBoard::SetDoor(bool open) {
    DoorOpened = open;
    if (open)
        Timers.Start(evDoorClose, Clock + Setting(gfLockTime, 1000));
    else
        Timers.Stop(evDoorClose);
}

void TBoard::EnableWatchdog(bool enable) {
    WatchdogOn = enable;
    if (enable)
        Timers.Start(evWatchdog, Clock + WatchdogPeriod());
    else
        Timers.Stop(evWatchdog);
}

void TBoard::ResetWatchdog() {
    if (WatchdogOn)
        Timers.Start(evWatchdog, Clock + WatchdogPeriod());
}

// Nothing to reset while the motherboard is unpowered or a button is already held; the
// count simply starts again.
void TBoard::WatchdogExpired() {
    if (PowerOn && Pressed == TPress::None) {
        ++WatchdogResets;
        Log(lcWatchdog);
        Press(TPress::Reset);
    }
    Timers.Start(evWatchdog, Clock + WatchdogPeriod());
}

void TBoard::SetMains(bool present) {
    if (present == Mains)
        return;
    Mains = present;
    if (!present) {
        SwitchOff();
        Log(lcMainsLost);
        return;
    }
    Log(lcMainsBack);
    if (!PowerOn)
        Timers.Start(evTurnOnDelay, Clock + Setting(gfTurnOnDelay, 1000));
}

// The new parameters are also stored, so the board keeps them across a reset.
void TBoard::SetExchange(std::uint8_t speedCode, std::uint8_t byteTimeoutMs) {
    BaudRate = CodeToBaudRate(speedCode);
    ByteTimeoutMs = byteTimeoutMs;
    SettingTables.SetNumber(tblLink, 0, lfSpeedCode, speedCode);
    SettingTables.SetNumber(tblLink, 0, lfByteTimeout, byteTimeoutMs);
}

void TBoard::RestoreTables() {
    SettingTables.Restore();
    SyncOperatingHours();
}

// Test 0 flips every relay for a second; test n flips relay n for its own pulse time.
void TBoard::RunTest(int test) {
    LastTest = test;
    if (test == 0) {
        PulseRelays(static_cast<std::uint8_t>(~RelayState), AllRelaysTestMs);
        return;
    }
    const std::size_t row = static_cast<std::size_t>(test - 1);
    const TMillis pulse = SettingTables.Number(tblRelays, row, rfPulseTime);
    PulseRelays(static_cast<std::uint8_t>(RelayState ^ (1u << row)), pulse);
}

// Flashing starts from erased memory, and the watchdog must not reset the PC meanwhile.
void TBoard::EnterProgramMode() {
    InProgramMode = true;
    EnableWatchdog(false);
    ProgramMemory.assign(ProgramMemorySize, '\xFF');
    BlocksWritten = 0;
}

void TBoard::WriteProgramBlock(std::size_t block, const TBytes& data) {
    ProgramMemory.replace(block * BlockSize, BlockSize, data.substr(0, BlockSize));
    ++BlocksWritten;
}

// New firmware starts with factory exchange parameters.
void TBoard::LeaveProgramMode() {
    SettingTables.SetNumber(tblLink, 0, lfSpeedCode, DefaultSpeedCode);
    SettingTables.SetNumber(tblLink, 0, lfByteTimeout, ClampByte(Options.byteTimeoutMs));
    Restart(lcFirmware);
}

// A CPU reset drops every running action; +12 V and a pending turn-on after mains return
// are the power circuit's and survive it.
void TBoard::Restart(TLogCode cause) {
    Timers.Stop(evPulseEnd);
    Timers.Stop(evPressEnd);
    Pressed = TPress::None;
    Timers.Stop(evPowerOffDelay);
    SetDoor(false);
    EnableWatchdog(false);
    RestartCause = cause;
    ++Restarts;
    Timers.Start(evRestartEnd, Clock + std::max<TMillis>(Options.restartMs, 0));
}

void TBoard::EndRestart() {
    InProgramMode = false;
    BaudRate = CodeToBaudRate(static_cast<int>(SettingTables.Number(tblLink, 0, lfSpeedCode)));
    ByteTimeoutMs = static_cast<int>(SettingTables.Number(tblLink, 0, lfByteTimeout));
    RelayState = InitialRelays();
    Log(RestartCause);
}

std::size_t TBoard::MemorySize(std::uint8_t area) const {
    switch (area) {
    case memData:
        return DataMemorySize;
    case memProgram:
        return ProgramMemorySize;
    case memEeprom:
        return EepromSize;
    default:
        return 0;
    }
}

TBytes TBoard::MemoryBlock(std::uint8_t area, std::size_t block) const {
    const std::size_t offset = block * BlockSize;
    switch (area) {
    case memData:
        return DataMemory().substr(offset, BlockSize);
    case memProgram:
        return ProgramMemory.substr(offset, BlockSize);
    case memEeprom:
        return Eeprom().substr(offset, BlockSize);
    default:
        throw std::out_of_range("memory area");
    }
}

// The variables the firmware works with, then its receive buffer; the rest is zero.
TBytes TBoard::DataMemory() const {
    TBytes state;
    state += static_cast<char>(InProgramMode ? 1 : 0);
    state += static_cast<char>(ParamFlags());
    state += static_cast<char>(ParamFlags2());
    state += static_cast<char>(RelayState);
    state += static_cast<char>(BaudRateToCode(BaudRate));
    state += static_cast<char>(ByteTimeoutMs);
    PutWord(state, static_cast<std::uint16_t>(WatchdogResets));
    PutWord(state, static_cast<std::uint16_t>(Restarts));
    PutWord(state, static_cast<std::uint16_t>(BlocksWritten));
    PutWord(state, Options.serialNumber);
    state += static_cast<char>(Pressed);
    state += static_cast<char>(PulseRestore);
    TBytes image(DataMemorySize, '\0');
    image.replace(0, state.size(), state);
    image.replace(RxBufferOffset, RxBuffer.size(), RxBuffer);
    return image;
}

TBytes TBoard::Eeprom() const {
    TBytes image = SettingTables.Image().substr(0, EepromSize);
    image.resize(EepromSize, '\xFF');
    return image;
}

std::string TBoard::Describe(TMillis now) const {
    static const char* const presses[] = {"none", "reset", "power", "long_power"};
    std::ostringstream out;
    out << "mode=" << (InProgramMode ? 1 : 0) << "\nbaud=" << BaudRate
        << "\nbyte_timeout=" << ByteTimeoutMs << "\nparam_flags=" << int(ParamFlags())
        << "\nparam_flags2=" << int(ParamFlags2()) << "\nrelays=" << int(RelayState)
        << "\nmb_power=" << PowerOn << "\nmains=" << Mains << "\ndoor=" << DoorOpened
        << "\nbutton=" << presses[static_cast<int>(Pressed)]
        << "\npulse=" << Timers.Active(evPulseEnd)
        << "\nturn_off_delay=" << Timers.Active(evPowerOffDelay)
        << "\nturn_on_delay=" << Timers.Active(evTurnOnDelay) << "\nwatchdog_enabled=" << WatchdogOn
        << "\nwatchdog_period_ms=" << WatchdogPeriod() << "\nwatchdog_resets=" << WatchdogResets
        << "\nrestarting=" << (Restarting() && now < RestartEnd()) << "\nrestarts=" << Restarts
        << "\nprogram_blocks_written=" << BlocksWritten << "\nlast_test=" << LastTest
        << "\noperating_hours=" << SettingTables.Number(tblGeneral, 0, gfOperatingHours)
        << "\nnext_event=" << NextEvent() << "\n";
    return out.str();
}

// Request payload -> answer payload for every command of the board.
class TCommands {
public:
    explicit TCommands(TBoard& board) : Board(board) {}
    TBytes Execute(const TBytes& request);

private:
    using THandler = std::uint8_t (TCommands::*)(const TBytes& request, TBytes& data);
    struct TCommand {
        std::uint8_t code;
        std::size_t minLength; // shorter requests get errBadParams, like any bad parameter
        bool inMainMode;
        bool inProgramMode;
        THandler handler;
    };
    static const TCommand* Find(std::uint8_t code);
    std::uint8_t Check(const TCommand* command, const TBytes& request) const;

    std::uint8_t Status(const TBytes& request, TBytes& data);
    std::uint8_t DeviceType(const TBytes& request, TBytes& data);
    std::uint8_t SetExchange(const TBytes& request, TBytes& data);
    std::uint8_t ReadExchange(const TBytes& request, TBytes& data);
    std::uint8_t TableStruct(const TBytes& request, TBytes& data);
    std::uint8_t FieldStruct(const TBytes& request, TBytes& data);
    std::uint8_t ReadField(const TBytes& request, TBytes& data);
    std::uint8_t WriteField(const TBytes& request, TBytes& data);
    std::uint8_t InitTables(const TBytes& request, TBytes& data);
    std::uint8_t Buttons(const TBytes& request, TBytes& data);
    std::uint8_t RelaySet(const TBytes& request, TBytes& data);
    std::uint8_t RelayPulse(const TBytes& request, TBytes& data);
    std::uint8_t RelayRead(const TBytes& request, TBytes& data);
    std::uint8_t WatchDog(const TBytes& request, TBytes& data);
    std::uint8_t WatchDogReset(const TBytes& request, TBytes& data);
    std::uint8_t DoorLock(const TBytes& request, TBytes& data);
    std::uint8_t MBPower(const TBytes& request, TBytes& data);
    std::uint8_t EnterProgram(const TBytes& request, TBytes& data);
    std::uint8_t WriteBlock(const TBytes& request, TBytes& data);
    std::uint8_t ExitProgram(const TBytes& request, TBytes& data);
    std::uint8_t ReadMode(const TBytes& request, TBytes& data);
    std::uint8_t Test(const TBytes& request, TBytes& data);
    std::uint8_t ResetDevice(const TBytes& request, TBytes& data);
    std::uint8_t DumpSize(const TBytes& request, TBytes& data);
    std::uint8_t Dump(const TBytes& request, TBytes& data);

    TBytes Identity() const;

    TBoard& Board;
};

std::uint8_t Byte(const TBytes& data, std::size_t offset) {
    return static_cast<std::uint8_t>(data.at(offset));
}

TBytes PaddedName(const std::string& name) {
    TBytes padded = name.substr(0, NameSize);
    padded.resize(NameSize, '\0');
    return padded;
}

TBytes NumberBytes(std::uint32_t value, std::size_t size) {
    TBytes bytes;
    for (std::size_t i = 0; i < size; ++i)
        bytes += static_cast<char>(i < 4 ? value >> (8 * i) : 0);
    return bytes;
}

const TCommands::TCommand* TCommands::Find(std::uint8_t code) {
    using C = TCommands;
    static const TCommand commands[] = {
        {cmdReadStatus, 1, true, false, &C::Status},
        {cmdSetExchangeParam, 3, true, false, &C::SetExchange},
        {cmdReadExchangeParam, 1, true, false, &C::ReadExchange},
        {cmdWriteTable, 5, true, false, &C::WriteField},
        {cmdReadTable, 5, true, false, &C::ReadField},
        {cmdInitTables, 11, true, false, &C::InitTables},
        {cmdReadTableStruct, 2, true, false, &C::TableStruct},
        {cmdReadFieldStruct, 3, true, false, &C::FieldStruct},
        {cmdButtons, 2, true, false, &C::Buttons},
        {cmdRelaySet, 2, true, false, &C::RelaySet},
        {cmdRelayPulse, 4, true, false, &C::RelayPulse},
        {cmdRelayRead, 1, true, false, &C::RelayRead},
        {cmdWatchDog, 2, true, false, &C::WatchDog},
        {cmdWatchDogReset, 1, true, false, &C::WatchDogReset},
        {cmdDoorLock, 2, true, false, &C::DoorLock},
        {cmdMBPower, 2, true, false, &C::MBPower},
        {cmdEnterProgramMode, 1, true, true, &C::EnterProgram},
        {cmdWriteProgramBlock, 3 + BlockSize, false, true, &C::WriteBlock},
        {cmdExitProgramMode, 1, false, true, &C::ExitProgram},
        {cmdReadMode, 1, true, true, &C::ReadMode},
        {cmdTestDevice, 2, true, false, &C::Test},
        {cmdResetDevice, 1, true, false, &C::ResetDevice},
        {cmdReadDumpSize, 2, true, false, &C::DumpSize},
        {cmdReadDump, 4, true, false, &C::Dump},
        {cmdReadDeviceMetrics, 1, true, false, &C::DeviceType},
    };
    for (const TCommand& command : commands)
        if (command.code == code)
            return &command;
    return nullptr;
}

// The mode comes before the length: a command the current firmware lacks is refused whole.
std::uint8_t TCommands::Check(const TCommand* command, const TBytes& request) const {
    if (command == nullptr)
        return errNotSupported;
    if (Board.ProgramMode() && !command->inProgramMode)
        return errProgramMode;
    if (!Board.ProgramMode() && !command->inMainMode)
        return errMainMode;
    if (request.size() < command->minLength)
        return errBadParams;
    return errNone;
}

TBytes TCommands::Execute(const TBytes& request) {
    Board.Received(request);
    const TCommand* command = Find(Byte(request, 0));
    TBytes data;
    std::uint8_t error = Check(command, request);
    if (error == errNone)
        error = (this->*command->handler)(request, data);
    TBytes answer(1, request[0]);
    answer += static_cast<char>(error);
    if (error == errNone)
        answer += data;
    return answer;
}

// Version, build and date as the status gives them: bytes 2..8 of its data.
TBytes TCommands::Identity() const {
    TBytes identity;
    identity += static_cast<char>(SoftMajor);
    identity += static_cast<char>(SoftMinor);
    PutWord(identity, SoftBuild);
    identity += static_cast<char>(SoftDay);
    identity += static_cast<char>(SoftMonth);
    identity += static_cast<char>(SoftYear);
    return identity;
}

std::uint8_t TCommands::Status(const TBytes&, TBytes& data) {
    PutWord(data, Board.SerialNumber());
    data += Identity();
    data += static_cast<char>(Board.ProgramMode() ? 1 : 0);
    data += static_cast<char>(Board.ParamFlags());
    data += static_cast<char>(Board.ParamFlags2());
    data += static_cast<char>(Board.Relays());
    return errNone;
}

std::uint8_t TCommands::DeviceType(const TBytes&, TBytes& data) {
    const std::uint8_t head[] = {DeviceMajorType, DeviceMinorType, ProtocolMajor,
                                 ProtocolMinor,   DeviceModel,     CodePageRussian};
    data.assign(reinterpret_cast<const char*>(head), sizeof head);
    data += Ansi(DeviceDescription);
    data += '\0';
    return errNone;
}

// A zero byte time-out would drop every frame, so it counts as a bad parameter too.
std::uint8_t TCommands::SetExchange(const TBytes& request, TBytes&) {
    const std::uint8_t code = Byte(request, 1);
    const std::uint8_t timeout = Byte(request, 2);
    if (code < 2 || code > 8 || timeout == 0)
        return errBadParams;
    Board.SetExchange(code, timeout);
    return errNone;
}

std::uint8_t TCommands::ReadExchange(const TBytes&, TBytes& data) {
    data += static_cast<char>(BaudRateToCode(Board.Baud()));
    data += static_cast<char>(Board.ByteTimeout());
    return errNone;
}

std::uint8_t TCommands::TableStruct(const TBytes& request, TBytes& data) {
    const std::size_t table = Byte(request, 1);
    if (table >= Board.Tables().TableCount())
        return errTableUndefined;
    const TTableDef& def = Board.Tables().Table(table);
    data = PaddedName(def.name);
    PutWord(data, Board.Tables().RowCount(table));
    data += static_cast<char>(def.fields.size());
    return errNone;
}

std::uint8_t TCommands::FieldStruct(const TBytes& request, TBytes& data) {
    const std::size_t table = Byte(request, 1);
    const std::size_t field = Byte(request, 2);
    const std::uint8_t error = Board.Tables().CheckField(table, field);
    if (error != errNone)
        return error;
    const TFieldDef& def = Board.Tables().Table(table).fields[field];
    data = PaddedName(def.name);
    data += static_cast<char>(def.type);
    data += static_cast<char>(def.size);
    if (def.type == TFieldType::Number)
        data += NumberBytes(def.minValue, def.size) + NumberBytes(def.maxValue, def.size);
    return errNone;
}

std::uint8_t TCommands::ReadField(const TBytes& request, TBytes& data) {
    const std::size_t table = Byte(request, 1);
    const std::size_t row = GetWord(request, 2);
    const std::size_t field = Byte(request, 4);
    const std::uint8_t error = Board.Tables().CheckAddress(table, row, field);
    if (error == errNone)
        data = Board.Tables().Read(table, row, field);
    return error;
}

// The value must be exactly the field's size: a short or long one is a bad parameter.
std::uint8_t TCommands::WriteField(const TBytes& request, TBytes&) {
    return Board.Tables().Write(Byte(request, 1), GetWord(request, 2), Byte(request, 4),
                                request.substr(5));
}

std::uint8_t TCommands::InitTables(const TBytes& request, TBytes&) {
    TBytes expected = Identity();
    expected += static_cast<char>(0x02);
    PutWord(expected, Board.SerialNumber());
    if (request.compare(1, expected.size(), expected) != 0)
        return errBadParams;
    Board.RestoreTables();
    return errNone;
}

std::uint8_t TCommands::Buttons(const TBytes& request, TBytes&) {
    switch (Byte(request, 1)) {
    case btnCodeReset:
        return Board.Press(TPress::Reset);
    case btnCodePower:
        return Board.Press(TPress::Power);
    case btnCodeLongPower:
        return Board.Press(TPress::LongPower);
    case btnCodeDelayPower:
        Board.StartPowerOffDelay();
        return errNone;
    case btnCodeCancelDelayPower:
        Board.CancelPowerOffDelay();
        return errNone;
    default:
        return errBadParams;
    }
}

std::uint8_t TCommands::RelaySet(const TBytes& request, TBytes& data) {
    Board.SetRelays(Byte(request, 1));
    return RelayRead(request, data);
}

std::uint8_t TCommands::RelayPulse(const TBytes& request, TBytes& data) {
    const TMillis duration = GetWord(request, 2);
    if (duration == 0)
        return errBadParams;
    Board.PulseRelays(Byte(request, 1), duration);
    return RelayRead(request, data);
}

std::uint8_t TCommands::RelayRead(const TBytes&, TBytes& data) {
    data = TBytes(1, static_cast<char>(Board.Relays()));
    return errNone;
}

std::uint8_t TCommands::WatchDog(const TBytes& request, TBytes& data) {
    const std::uint8_t enable = Byte(request, 1);
    if (enable > 1)
        return errBadParams;
    Board.EnableWatchdog(enable == 1);
    data += static_cast<char>(enable);
    return errNone;
}

std::uint8_t TCommands::WatchDogReset(const TBytes&, TBytes& data) {
    Board.ResetWatchdog();
    data += static_cast<char>(Board.ParamFlags());
    data += static_cast<char>(Board.ParamFlags2());
    return errNone;
}

std::uint8_t TCommands::DoorLock(const TBytes& request, TBytes& data) {
    const std::uint8_t open = Byte(request, 1);
    if (open > 1)
        return errBadParams;
    Board.SetDoor(open == 1);
    data += static_cast<char>(Board.DoorOpen() ? 1 : 0);
    return errNone;
}

// 1 switches off, 0 switches on; the answer is 1 while the power is off.
std::uint8_t TCommands::MBPower(const TBytes& request, TBytes& data) {
    const std::uint8_t off = Byte(request, 1);
    if (off > 1)
        return errBadParams;
    const std::uint8_t error = Board.SwitchPower(off == 0);
    data += static_cast<char>(Board.MbPower() ? 0 : 1);
    return error;
}

std::uint8_t TCommands::EnterProgram(const TBytes&, TBytes&) {
    Board.EnterProgramMode();
    return errNone;
}

// Block numbers start at 1; a block must come whole.
std::uint8_t TCommands::WriteBlock(const TBytes& request, TBytes&) {
    const std::size_t block = GetWord(request, 1);
    if (request.size() != 3 + BlockSize || block == 0 ||
        block > Board.MemorySize(memProgram) / BlockSize)
        return errBadParams;
    Board.WriteProgramBlock(block - 1, request.substr(3));
    return errNone;
}

std::uint8_t TCommands::ExitProgram(const TBytes&, TBytes&) {
    Board.LeaveProgramMode();
    return errNone;
}

std::uint8_t TCommands::ReadMode(const TBytes&, TBytes& data) {
    data += static_cast<char>(Board.ProgramMode() ? 1 : 0);
    return errNone;
}

std::uint8_t TCommands::Test(const TBytes& request, TBytes&) {
    const std::uint8_t test = Byte(request, 1);
    if (test > 8)
        return errBadParams;
    Board.RunTest(test);
    return errNone;
}

std::uint8_t TCommands::ResetDevice(const TBytes&, TBytes&) {
    Board.Restart(lcRestart);
    return errNone;
}

std::uint8_t TCommands::DumpSize(const TBytes& request, TBytes& data) {
    const std::size_t size = Board.MemorySize(Byte(request, 1));
    if (size == 0)
        return errBadParams;
    PutWord(data, static_cast<std::uint16_t>(size / BlockSize));
    return errNone;
}

// Dump blocks are numbered from 0.
std::uint8_t TCommands::Dump(const TBytes& request, TBytes& data) {
    const std::uint8_t area = Byte(request, 1);
    const std::uint16_t block = GetWord(request, 2);
    if (block >= Board.MemorySize(area) / BlockSize)
        return errBadParams;
    PutWord(data, block);
    data += Board.MemoryBlock(area, block);
    return errNone;
}

} // namespace

struct TBoardModel::TState {
    TState(const TBoardOptions& options, TMillis now) : Board(options, now), Commands(Board) {}
    TBoard Board;
    TCommands Commands;
};

TBoardModel::TBoardModel(const TBoardOptions& options, TMillis now)
    : State(std::make_unique<TState>(options, now)) {}

TBoardModel::~TBoardModel() = default;

TBytes TBoardModel::Execute(const TBytes& payload, TMillis now) {
    Advance(now);
    if (payload.empty() || State->Board.Restarting())
        return {};
    TBytes answer;
    try {
        answer = State->Commands.Execute(payload);
    } catch (const std::exception&) {
        answer = TBytes(1, payload[0]) + static_cast<char>(errInternal);
    }
    Advance(now); // a restart without silence ends at once
    return answer;
}

void TBoardModel::Advance(TMillis now) {
    State->Board.Advance(now);
}

TMillis TBoardModel::NextEvent() const {
    return State->Board.NextEvent();
}

int TBoardModel::LineBaudRate() const {
    return State->Board.Baud();
}

int TBoardModel::ByteTimeoutMs() const {
    return State->Board.ByteTimeout();
}

bool TBoardModel::Restarting(TMillis now) const {
    return State->Board.Restarting() && now < State->Board.RestartEnd();
}

void TBoardModel::Reset(TMillis now) {
    Advance(now);
    State->Board.Restart(lcRestart);
    Advance(now);
}

bool TBoardModel::SetPower12(bool on, TMillis now) {
    Advance(now);
    return State->Board.SwitchPower(on) == errNone;
}

void TBoardModel::SetDoorOpen(bool open, TMillis now) {
    Advance(now);
    State->Board.HoldDoor(open);
}

void TBoardModel::SetEmptyTable(int table) {
    State->Board.Tables().ShowEmpty(static_cast<std::size_t>(table - 1));
}

void TBoardModel::SetMainsPresent(bool present, TMillis now) {
    Advance(now);
    State->Board.SetMains(present);
}

std::string TBoardModel::Describe(TMillis now) const {
    return State->Board.Describe(now);
}
