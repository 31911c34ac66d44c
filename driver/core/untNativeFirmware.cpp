#include "untNativeFirmware.h"

#include "untDriver.h"
#include "untMembers.h"

int TNativeFirmware::Run(const char* method) {
    return InvokeMethod(*FindMember(method, TMemberKind::Method), Driver);
}

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
    return Run("EnterProgramMode");
}
int TNativeFirmware::WriteProgramBlock() {
    return Run("WriteProgramBlock");
}
int TNativeFirmware::ExitProgramMode() {
    return Run("ExitProgramMode");
}
int TNativeFirmware::OpenPort() {
    return Run("OpenPort");
}
int TNativeFirmware::ReadStatus() {
    return Run("ReadStatus");
}
int TNativeFirmware::SetExchangeParam() {
    return Run("SetExchangeParam");
}
