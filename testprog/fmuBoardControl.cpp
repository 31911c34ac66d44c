#include "fmuBoardControl.h"

#include "tools/untComCall.h"
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
        CallMethod(id, &ITrelmo::MBPowerStateOn);
        return true;
    case IDC_BOARD_MB_POWER_OFF:
        CallMethod(id, &ITrelmo::MBPowerStateOff);
        return true;
    case IDC_BOARD_OPEN_DOOR:
        try {
            PutBool(Driver(), &ITrelmo::put_DoorLockOpened, true);
        } catch (...) {
            Done(id);
            throw;
        }
        CallMethod(id, &ITrelmo::OpenDoorLock);
        return true;
    default:
        return false;
    }
}

void TfmBoardControl::ToggleButton(int id, long buttonStatus) {
    try {
        PutLong(Driver(), &ITrelmo::put_ButtonStatus, buttonStatus);
    } catch (...) {
        Done(id);
        throw;
    }
    CallMethod(id, &ITrelmo::ToggleButtonStatus);
}

void TfmBoardControl::CallMethod(int id, HRESULT (STDMETHODCALLTYPE ITrelmo::*method)(LONG*)) {
    try {
        Call(Driver(), method);
    } catch (...) {
        Done(id);
        throw;
    }
    Done(id);
}

void TfmBoardControl::Done(int id) {
    ExecuteDone();
    FocusIfCan(id);
}
