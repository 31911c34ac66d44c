#include "fmuWDTimer.h"

#include "fmuState.h"
#include "untComCall.h"
#include "untDialog.h"
#include "untHolders.h"
#include "untSkavinRes.h"

#include <cstdio>
#include <cwctype>

namespace {
const UINT_PTR tmrResetWD = 1;
const wchar_t ResetOffCaption[] = L"Включить сброс сторожевого таймера";
const wchar_t ResetOnCaption[] = L"Выключить сброс сторожевого таймера";

std::wstring Trim(const std::wstring& text) {
    std::size_t first = 0, last = text.size();
    while (first < last && std::iswspace(text[first]))
        ++first;
    while (last > first && std::iswspace(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}
} // namespace

TfmWDTimer::TfmWDTimer() : TPage(IDD_WDTIMER, L"fmWDTimer", L"WatchDog Таймер") {}

void TfmWDTimer::OnInit() {
    SetText(IDC_WD_DELAY, L"3000");
    // The flag report's [X] and [ ] line up as on the state page.
    UseFixedFont(IDC_WD_MEMO);
    NameControl(IDC_WD_DELAY, L"edtResetWDDelay");
    NameControl(IDC_WD_AUTO_START, L"chbAutoStart");
    NameControl(IDC_WD_STOP_ON_ERRORS, L"chbStopOnErrors");
    MakeGroupContainer(IDC_WD_GROUP, L"gbTimerReset");
}

bool TfmWDTimer::OnCommand(int id, int code) {
    if (code != BN_CLICKED)
        return false;
    switch (id) {
    case IDC_WD_ON:
        WatchDogClick(id, &ITrelmo::EnableWatchDog);
        return true;
    case IDC_WD_OFF:
        WatchDogClick(id, &ITrelmo::DisableWatchDog);
        return true;
    case IDC_WD_RESET:
        btnWDResetClick();
        return true;
    default:
        return false;
    }
}

void TfmWDTimer::PageShown() {
    if (!TimerOn && Checked(IDC_WD_AUTO_START))
        btnWDResetClick();
}

void TfmWDTimer::WatchDogClick(int id, HRESULT (STDMETHODCALLTYPE ITrelmo::*method)(LONG*)) {
    Operate(id, true, [this, method] {
        SetText(IDC_WD_MEMO, L"");
        Call(Driver(), method);
    });
}

void TfmWDTimer::btnWDResetClick() {
    if (TimerOn) {
        SetText(IDC_WD_RESET, ResetOffCaption);
        KillTimer(Handle(), tmrResetWD);
        TimerOn = false;
        return;
    }
    const int period = IntOf(IDC_WD_DELAY);
    SetText(IDC_WD_RESET, ResetOnCaption);
    // A period of 0 (or less) is a timer that never fires.
    if (period > 0)
        SetTimer(Handle(), tmrResetWD, static_cast<UINT>(period), nullptr);
    TimerOn = true;
}

void TfmWDTimer::OnTimer(UINT_PTR id) {
    // Pending messages are handled inside a reset; a short period must not nest resets.
    if (id != tmrResetWD || InReset)
        return;
    InReset = true;
    TScopeGuard resetDone([this] { InReset = false; });
    tmrResetWDTimer();
}

void TfmWDTimer::tmrResetWDTimer() {
    bool done = false;
    try {
        done = ResetOnce();
    } catch (...) {
        // A timer's reset shows no message box, each period again: a failure is a reset not
        // done, which the result fields show.
        done = false;
    }
    if (done) {
        ProcessMessages();
        return;
    }
    if (Checked(IDC_WD_STOP_ON_ERRORS) && TimerOn)
        btnWDResetClick();
    SetText(IDC_WD_MEMO, L"");
    ExecuteDone();
}

bool TfmWDTimer::ResetOnce() {
    ITrelmo* driver = Driver();
    if (Call(driver, &ITrelmo::ResetWatchDog) != 0)
        return false;
    std::wstring text;
    for (const std::wstring& line : FlagReport(driver))
        text += line + L"\r\n";
    HWND memo = Item(IDC_WD_MEMO);
    SendMessageW(memo, WM_SETREDRAW, FALSE, 0);
    SetWindowTextW(memo, Trim(text).c_str());
    SendMessageW(memo, EM_SETSEL, 0, 0);
    SendMessageW(memo, EM_SCROLLCARET, 0, 0);
    SendMessageW(memo, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(memo, nullptr, TRUE);
    return true;
}

std::vector<std::wstring> TfmWDTimer::FlagReport(ITrelmo* driver) const {
    const long flags = GetLong(driver, &ITrelmo::get_ParamFlags);
    const long flags2 = GetLong(driver, &ITrelmo::get_ParamFlags2);
    wchar_t heading[64];
    std::swprintf(heading, 64, L"Флаги состояния: %lXh, %ld", flags, flags);
    std::vector<std::wstring> lines{heading};
    for (const std::wstring& line : FlagByte1Lines(driver))
        lines.push_back(line);
    for (const std::wstring& line : FlagByte2Lines(flags2))
        lines.push_back(line);
    return lines;
}
