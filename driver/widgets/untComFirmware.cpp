#include "untComFirmware.h"

#include "untCodePage.h"
#include "untComCall.h"

TComFirmwareDriver::TComFirmwareDriver(ITrelmo* driver) : Driver(driver) {
    Driver->AddRef();
}

TComFirmwareDriver::~TComFirmwareDriver() {
    Driver->Release();
}

void TComFirmwareDriver::SetDataBlock(const std::string& value) {
    PutString(Driver, &ITrelmo::put_DataBlock, Cp1251ToWide(value));
}
void TComFirmwareDriver::SetBlockNumber(int value) {
    PutLong(Driver, &ITrelmo::put_BlockNumber, value);
}
int TComFirmwareDriver::BaudRate() {
    return GetLong(Driver, &ITrelmo::get_BaudRate);
}
void TComFirmwareDriver::SetBaudRate(int value) {
    PutLong(Driver, &ITrelmo::put_BaudRate, value);
}
int TComFirmwareDriver::Timeout() {
    return GetLong(Driver, &ITrelmo::get_Timeout);
}
void TComFirmwareDriver::SetDeviceBaudRate(int value) {
    PutLong(Driver, &ITrelmo::put_DeviceBaudRate, value);
}
void TComFirmwareDriver::SetDeviceTimeout(int value) {
    PutLong(Driver, &ITrelmo::put_DeviceTimeout, value);
}
int TComFirmwareDriver::EnterProgramMode() {
    return Call(Driver, &ITrelmo::EnterProgramMode);
}
int TComFirmwareDriver::WriteProgramBlock() {
    return Call(Driver, &ITrelmo::WriteProgramBlock);
}
int TComFirmwareDriver::ExitProgramMode() {
    return Call(Driver, &ITrelmo::ExitProgramMode);
}
int TComFirmwareDriver::OpenPort() {
    return Call(Driver, &ITrelmo::OpenPort);
}
int TComFirmwareDriver::ReadStatus() {
    return Call(Driver, &ITrelmo::ReadStatus);
}
int TComFirmwareDriver::SetExchangeParam() {
    return Call(Driver, &ITrelmo::SetExchangeParam);
}
