#include "untNativeFirmware.h"

#include "untDriver.h"
#include "untMembers.h"

namespace {
// Through the member table, so that the method log shows each call as the tool's own do.
template <TMemberIndex Method> int Run(TDriver& driver) {
    return InvokeMethod(MemberAt<Method>(), driver);
}
} // namespace

void TNativeFirmware::SetDataBlock(const std::string& value) {
    Driver.SetDataBlock(value);
}
void TNativeFirmware::SetBlockNumber(int value) {
    Driver.BlockNumber = static_cast<std::uint16_t>(value);
}
int TNativeFirmware::BaudRate() {
    return Driver.GetBaudRate();
}
void TNativeFirmware::SetBaudRate(int value) {
    Driver.SetBaudRate(value);
}
int TNativeFirmware::Timeout() {
    return Driver.GetTimeout();
}
void TNativeFirmware::SetDeviceBaudRate(int value) {
    Driver.DeviceBaudRate = value;
}
void TNativeFirmware::SetDeviceTimeout(int value) {
    Driver.DeviceTimeout = value;
}
int TNativeFirmware::EnterProgramMode() {
    return Run<TMemberIndex::EnterProgramMode>(Driver);
}
int TNativeFirmware::WriteProgramBlock() {
    return Run<TMemberIndex::WriteProgramBlock>(Driver);
}
int TNativeFirmware::ExitProgramMode() {
    return Run<TMemberIndex::ExitProgramMode>(Driver);
}
int TNativeFirmware::OpenPort() {
    return Run<TMemberIndex::OpenPort>(Driver);
}
int TNativeFirmware::ReadStatus() {
    return Run<TMemberIndex::ReadStatus>(Driver);
}
int TNativeFirmware::SetExchangeParam() {
    return Run<TMemberIndex::SetExchangeParam>(Driver);
}
