// Page 10, "Команда": a raw command typed as hex bytes, checked and sent through the driver.
#pragma once

#include "testprog/untPage.h"

class TfmCommand : public TPage {
public:
    TfmCommand();

protected:
    void OnInit() override;
    bool OnCommand(int id, int code) override;

private:
    void btnExecuteClick();
};
