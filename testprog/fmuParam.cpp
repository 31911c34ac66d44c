#include "fmuParam.h"

#include "untComCall.h"
#include "untSkavinRes.h"

#include <commctrl.h>

#include <algorithm>

namespace {
const wchar_t* const BaudRates[] = {L"2400",  L"4800",  L"9600",  L"19200",
                                    L"38400", L"57600", L"115200"};
}

TfmParam::TfmParam() : TPage(IDD_PARAM, L"fmParam", L"Параметры обмена") {}

void TfmParam::OnInit() {
    for (const wchar_t* rate : BaudRates)
        SendMessageW(Item(IDC_PARAM_BAUD), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(rate));
    SendMessageW(Item(IDC_PARAM_TIMEOUT_UPDOWN), UDM_SETRANGE32, 0, 255);
    SendMessageW(Item(IDC_PARAM_TEST_UPDOWN), UDM_SETRANGE32, 0, 8);
    SetText(IDC_PARAM_TIMEOUT, L"50");
    SetText(IDC_PARAM_TEST, L"0");
    NameControl(IDC_PARAM_TIMEOUT, L"edtTimeout");
    NameControl(IDC_PARAM_BAUD, L"cbBaudRate");
    NameControl(IDC_PARAM_TEST, L"edtTestNumber");
}

bool TfmParam::OnCommand(int id, int code) {
    if (code != BN_CLICKED)
        return false;
    switch (id) {
    case IDC_PARAM_GET:
        btnGetExchangeParamClick();
        return true;
    case IDC_PARAM_SET:
        btnSetExchangeParamClick();
        return true;
    case IDC_PARAM_TEST_DEVICE:
        btnTestDeviceClick();
        return true;
    case IDC_PARAM_OPEN_PORT:
        btnPortClick(id, &ITrelmo::OpenPort);
        return true;
    case IDC_PARAM_CLOSE_PORT:
        btnPortClick(id, &ITrelmo::ClosePort);
        return true;
    default:
        return false;
    }
}

int TfmParam::UpDownValue(int editId, int upDownId) const {
    int low = 0, high = 0;
    SendMessageW(Item(upDownId), UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low),
                 reinterpret_cast<LPARAM>(&high));
    return std::clamp(IntOf(editId), low, high);
}

void TfmParam::SetUpDownValue(int editId, int upDownId, long value) {
    int low = 0, high = 0;
    SendMessageW(Item(upDownId), UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low),
                 reinterpret_cast<LPARAM>(&high));
    const long limited = std::clamp<long>(value, low, high);
    SendMessageW(Item(upDownId), UDM_SETPOS32, 0, limited);
    SetText(editId, std::to_wstring(limited));
}

void TfmParam::btnGetExchangeParamClick() {
    Operate(IDC_PARAM_GET, false, [this] {
        ITrelmo* driver = Driver();
        if (Call(driver, &ITrelmo::ReadExchangeParam) != 0)
            return;
        SetUpDownValue(IDC_PARAM_TIMEOUT, IDC_PARAM_TIMEOUT_UPDOWN,
                       GetLong(driver, &ITrelmo::get_Timeout));
        const std::wstring rate = std::to_wstring(GetLong(driver, &ITrelmo::get_BaudRate));
        SendMessageW(Item(IDC_PARAM_BAUD), CB_SETCURSEL,
                     static_cast<WPARAM>(SendMessageW(Item(IDC_PARAM_BAUD), CB_FINDSTRINGEXACT,
                                                      static_cast<WPARAM>(-1),
                                                      reinterpret_cast<LPARAM>(rate.c_str()))),
                     0);
    });
}

void TfmParam::btnSetExchangeParamClick() {
    Operate(IDC_PARAM_SET, false, [this] {
        const int timeout = UpDownValue(IDC_PARAM_TIMEOUT, IDC_PARAM_TIMEOUT_UPDOWN);
        const int rate = IntOf(IDC_PARAM_BAUD); // no rate chosen: not a number
        ITrelmo* driver = Driver();
        PutLong(driver, &ITrelmo::put_DeviceTimeout, timeout);
        PutLong(driver, &ITrelmo::put_DeviceBaudRate, rate);
        if (Call(driver, &ITrelmo::SetExchangeParam) != 0)
            return;
        // The driver's own line follows the board, and keeps it.
        PutLong(driver, &ITrelmo::put_Timeout, GetLong(driver, &ITrelmo::get_DeviceTimeout));
        PutLong(driver, &ITrelmo::put_BaudRate, GetLong(driver, &ITrelmo::get_DeviceBaudRate));
        Call(driver, &ITrelmo::SaveRegParams);
    });
}

void TfmParam::btnTestDeviceClick() {
    Operate(IDC_PARAM_TEST_DEVICE, true, [this] {
        const int test = UpDownValue(IDC_PARAM_TEST, IDC_PARAM_TEST_UPDOWN);
        ITrelmo* driver = Driver();
        PutLong(driver, &ITrelmo::put_TestNumber, test);
        Call(driver, &ITrelmo::TestDevice);
    });
}

void TfmParam::btnPortClick(int id, HRESULT (STDMETHODCALLTYPE ITrelmo::*method)(LONG*)) {
    Operate(id, true, [this, method] { Call(Driver(), method); });
}
