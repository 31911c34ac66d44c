// The firmware writer over the native driver, for the command-line tool and the tests. The
// methods run through the member table, as the tool's member arguments do, so the driver's
// method log shows the update's steps.
#pragma once

#include "untFirmware.h"

class TDriver;

class TNativeFirmware : public TFirmwareDriver {
public:
    explicit TNativeFirmware(TDriver& driver) : Driver(driver) {}

    void SetDataBlock(const std::string& value) override;
    void SetBlockNumber(int value) override;
    int BaudRate() override;
    void SetBaudRate(int value) override;
    int Timeout() override;
    void SetDeviceBaudRate(int value) override;
    void SetDeviceTimeout(int value) override;
    int EnterProgramMode() override;
    int WriteProgramBlock() override;
    int ExitProgramMode() override;
    int OpenPort() override;
    int ReadStatus() override;
    int SetExchangeParam() override;

private:
    TDriver& Driver;
};
