#include "fmuRelay.h"

#include "untComCall.h"
#include "untSkavinRes.h"

const TRelayTick RelayTicks[8] = {
    {IDC_RELAY_OUT_C, 0},    {IDC_RELAY_OUT_E, 1},    {IDC_RELAY_OUT_D, 2}, {IDC_RELAY_OUT_F, 3},
    {IDC_RELAY_MONITOR1, 4}, {IDC_RELAY_MONITOR2, 5}, {IDC_RELAY_AUDIO, 6}, {IDC_RELAY_OUT_B, 7},
};

namespace {
const int PoweredTicks[] = {IDC_RELAY_MONITOR1, IDC_RELAY_MONITOR2, IDC_RELAY_AUDIO};
}

TfmRelay::TfmRelay() : TPage(IDD_RELAY, L"fmRelay", L"Реле") {}

void TfmRelay::OnInit() {
    SetText(IDC_RELAY_STATUS, L"0");
    SetText(IDC_RELAY_TIME, L"1000");
    NameControl(IDC_RELAY_STATUS, L"edtRelayStatus");
    NameControl(IDC_RELAY_TIME, L"edtToggleTime");
    NameControl(IDC_RELAY_MONITOR1, L"chbMonitor1");
    NameControl(IDC_RELAY_MONITOR2, L"chbMonitor2");
    NameControl(IDC_RELAY_AUDIO, L"chbAudio");
    NameControl(IDC_RELAY_OUT_B, L"chbOutB");
    NameControl(IDC_RELAY_OUT_C, L"chbOutC");
    NameControl(IDC_RELAY_OUT_D, L"chbOutD");
    NameControl(IDC_RELAY_OUT_E, L"chbOutE");
    NameControl(IDC_RELAY_OUT_F, L"chbOutF");
    MakeGroupContainer(IDC_RELAY_GROUP, L"gbRelayControl");
}

bool TfmRelay::OnCommand(int id, int code) {
    if (code != BN_CLICKED)
        return false;
    switch (id) {
    case IDC_RELAY_GET:
        btnGetStatusClick();
        return true;
    case IDC_RELAY_SET:
        btnSetStatusClick();
        return true;
    case IDC_RELAY_TOGGLE:
        btnToggleStatusClick();
        return true;
    default:
        for (const TRelayTick& tick : RelayTicks) {
            if (tick.Id == id) {
                chbOutBClick();
                return true;
            }
        }
        return false;
    }
}

void TfmRelay::chbOutBClick() {
    int relays = 0;
    for (const TRelayTick& tick : RelayTicks)
        if (Checked(tick.Id))
            relays |= 1 << tick.Bit;
    SetText(IDC_RELAY_STATUS, std::to_wstring(relays));
}

void TfmRelay::ShowRelayTicks(ITrelmo* driver) {
    const long relays = GetLong(driver, &ITrelmo::get_RelayStatus);
    // As a user's clicks would: the edit follows only when a tick changes.
    bool changed = false;
    for (const TRelayTick& tick : RelayTicks) {
        const bool set = (relays >> tick.Bit & 1) != 0;
        changed = changed || Checked(tick.Id) != set;
        SetChecked(tick.Id, set);
    }
    if (changed)
        chbOutBClick();
}

bool TfmRelay::UpdatePowerTicks(ITrelmo* driver) {
    if (Call(driver, &ITrelmo::ReadStatus) != 0)
        return false;
    const bool powered = GetBool(driver, &ITrelmo::get_MBPowerState);
    for (int id : PoweredTicks)
        Enable(id, powered);
    return true;
}

void TfmRelay::btnGetStatusClick() {
    Operate(IDC_RELAY_GET, true, [this] {
        ITrelmo* driver = Driver();
        if (Call(driver, &ITrelmo::ReadRelayStatus) != 0)
            return;
        SetText(IDC_RELAY_STATUS, std::to_wstring(GetLong(driver, &ITrelmo::get_RelayStatus)));
        ShowRelayTicks(driver);
        UpdatePowerTicks(driver);
    });
}

void TfmRelay::btnSetStatusClick() {
    Operate(IDC_RELAY_SET, true, [this] {
        const int relays = IntOf(IDC_RELAY_STATUS);
        ITrelmo* driver = Driver();
        PutLong(driver, &ITrelmo::put_RelayStatus, relays);
        Call(driver, &ITrelmo::RelaySetStatus);
    });
}

void TfmRelay::btnToggleStatusClick() {
    Operate(IDC_RELAY_TOGGLE, true, [this] {
        const int relays = IntOf(IDC_RELAY_STATUS);
        const int time = IntOf(IDC_RELAY_TIME);
        ITrelmo* driver = Driver();
        PutLong(driver, &ITrelmo::put_RelayStatus, relays);
        PutLong(driver, &ITrelmo::put_ToggleTime, time);
        if (Call(driver, &ITrelmo::ToggleRelayStatus) != 0)
            return;
        ShowRelayTicks(driver);
        UpdatePowerTicks(driver);
    });
}
