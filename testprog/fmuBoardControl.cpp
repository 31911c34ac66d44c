#include "fmuBoardControl.h"

#include "untComCall.h"
#include "untSkavinRes.h"

TfmBoardControl::TfmBoardControl() : TPage(IDD_BOARD, L"fmBoardControl", L"Управление платой") {}

bool TfmBoardControl::OnCommand(int id, int code) {
    if (code != BN_CLICKED)
        return false;
    switch (id) {
    case IDC_BOARD_RESET:
        ToggleButton(id, cbsButtonReset);
        return true;
    case IDC_BOARD_POWER:
        ToggleButton(id, cbsButtonPower);
        return true;
    case IDC_BOARD_LONG_POWER:
        ToggleButton(id, cbsButtonLongPower);
        return true;
    case IDC_BOARD_POWER_DELAY:
        ToggleButton(id, cbsButtonDelayPower);
        return true;
    case IDC_BOARD_CANCEL_DELAY:
        ToggleButton(id, cbsButtonCancelDelayPower);
        return true;
    case IDC_BOARD_MB_POWER_ON:
        Execute(id, nullptr, &ITrelmo::MBPowerStateOn);
        return true;
    case IDC_BOARD_MB_POWER_OFF:
        Execute(id, nullptr, &ITrelmo::MBPowerStateOff);
        return true;
    case IDC_BOARD_OPEN_DOOR:
        Execute(
            id, [](ITrelmo* driver) { PutBool(driver, &ITrelmo::put_DoorLockOpened, true); },
            &ITrelmo::OpenDoorLock);
        return true;
    default:
        return false;
    }
}

void TfmBoardControl::ToggleButton(int id, long buttonStatus) {
    Execute(
        id,
        [buttonStatus](ITrelmo* driver) {
            PutLong(driver, &ITrelmo::put_ButtonStatus, buttonStatus);
        },
        &ITrelmo::ToggleButtonStatus);
}

// The result is the main window's to show; these buttons neither disable the page nor
// announce a start.
void TfmBoardControl::Execute(int id, const std::function<void(ITrelmo*)>& setInput,
                              TMethod method) {
    TOperation press{id};
    press.ButtonsOff = false;
    Operate(press, [this, &setInput, method] {
        ITrelmo* driver = Driver();
        if (setInput)
            setInput(driver);
        Call(driver, method);
    });
}
