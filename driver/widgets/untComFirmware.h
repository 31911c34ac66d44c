// The firmware writer over the driver object's own automation interface, for the library's
// firmware dialog and Skavin's firmware page: every member is one property or method call of
// ITrelmo. A call that fails at the automation level throws (untComCall).
#pragma once

#include "TrelmoLib_TLB.h"
#include "untFirmware.h"
#include "untHolders.h"

class TComFirmwareDriver : public TFirmwareDriver {
public:
    explicit TComFirmwareDriver(ITrelmo* driver) : Driver(TComPtr<ITrelmo>::Share(driver)) {}

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
    TComPtr<ITrelmo> Driver;
};
