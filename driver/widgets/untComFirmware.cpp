#include "untComFirmware.h"

#include "untCodePage.h"
#include "untComCall.h"

void TComFirmwareDriver::SetDataBlock(const std::string& value) {
    PutString(Driver.Get(), &ITrelmo::put_DataBlock, Cp1251ToWide(value));
}
void TComFirmwareDriver::SetBlockNumber(int value) {
    PutLong(Driver.Get(), &ITrelmo::put_BlockNumber, value);
}
int TComFirmwareDriver::BaudRate() {
    return GetLong(Driver.Get(), &ITrelmo::get_BaudRate);
}
void TComFirmwareDriver::SetBaudRate(int value) {
    PutLong(Driver.Get(), &ITrelmo::put_BaudRate, value);
}
int TComFirmwareDriver::Timeout() {
    return GetLong(Driver.Get(), &ITrelmo::get_Timeout);
}
void TComFirmwareDriver::SetDeviceBaudRate(int value) {
    PutLong(Driver.Get(), &ITrelmo::put_DeviceBaudRate, value);
}
void TComFirmwareDriver::SetDeviceTimeout(int value) {
    PutLong(Driver.Get(), &ITrelmo::put_DeviceTimeout, value);
}
int TComFirmwareDriver::EnterProgramMode() {
    return Call(Driver.Get(), &ITrelmo::EnterProgramMode);
}
int TComFirmwareDriver::WriteProgramBlock() {
    return Call(Driver.Get(), &ITrelmo::WriteProgramBlock);
}
int TComFirmwareDriver::ExitProgramMode() {
    return Call(Driver.Get(), &ITrelmo::ExitProgramMode);
}
int TComFirmwareDriver::OpenPort() {
    return Call(Driver.Get(), &ITrelmo::OpenPort);
}
int TComFirmwareDriver::ReadStatus() {
    return Call(Driver.Get(), &ITrelmo::ReadStatus);
}
int TComFirmwareDriver::SetExchangeParam() {
    return Call(Driver.Get(), &ITrelmo::SetExchangeParam);
}
