#include "fmuProgr.h"

#include "untDialog.h"
#include "untDpi.h"
#include "untModule.h"
#include "untToolsRes.h"

#include <commctrl.h>

TfmProgress::TfmProgress() {
    TControlsContext controls;
    Window = CreateDialogParamW(ModuleInstance(), MAKEINTRESOURCEW(IDD_PROGRESS), nullptr,
                                Procedure, reinterpret_cast<LPARAM>(this));
    if (!Window)
        return;
    RECT box{0, 0, Scaled(233), Scaled(111)};
    AdjustWindowRectEx(&box, static_cast<DWORD>(GetWindowLongW(Window, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongW(Window, GWL_EXSTYLE)));
    SetWindowPos(Window, nullptr, 0, 0, box.right - box.left, box.bottom - box.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

TfmProgress::~TfmProgress() {
    if (Window && IsWindowVisible(Window))
        Stop();
    if (Window)
        DestroyWindow(Window);
}

INT_PTR CALLBACK TfmProgress::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        // No focus yet: focusing a control would make the hidden window the active one.
        return FALSE;
    }
    auto* form = reinterpret_cast<TfmProgress*>(GetWindowLongPtrW(window, DWLP_USER));
    if (form && message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        form->Break = true;
        return TRUE;
    }
    return FALSE;
}

BOOL CALLBACK TfmProgress::DisableOther(HWND window, LPARAM self) {
    auto* form = reinterpret_cast<TfmProgress*>(self);
    if (window != form->Window && IsWindowEnabled(window) && IsWindowVisible(window)) {
        EnableWindow(window, FALSE);
        form->Disabled.push_back(window);
    }
    return TRUE;
}

void TfmProgress::Start(const std::wstring& description, int maximum) {
    Break = false;
    HWND bar = GetDlgItem(Window, IDC_PROGRESS_BAR);
    SendMessageW(bar, PBM_SETRANGE32, 0, maximum);
    SendMessageW(bar, PBM_SETSTEP, 1, 0);
    SendMessageW(bar, PBM_SETPOS, 0, 0);
    SetDlgItemTextW(Window, IDC_PROGRESS_TEXT, description.c_str());
    if (!IsWindowVisible(Window)) {
        PreviouslyActive = GetActiveWindow();
        EnumThreadWindows(GetCurrentThreadId(), DisableOther, reinterpret_cast<LPARAM>(this));
        SetWindowLongPtrW(Window, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(PreviouslyActive));
        RECT box{}, work{};
        GetWindowRect(Window, &box);
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        SetWindowPos(
            Window, HWND_TOP, work.left + (work.right - work.left - (box.right - box.left)) / 2,
            work.top + (work.bottom - work.top - (box.bottom - box.top)) / 2, 0, 0, SWP_NOSIZE);
        ShowWindow(Window, SW_SHOW);
        SetActiveWindow(Window);
        SetFocus(GetDlgItem(Window, IDCANCEL));
    }
    UpdateWindow(Window);
}

void TfmProgress::Step() {
    // One step, never past the maximum (the bar's own step would wrap round).
    HWND bar = GetDlgItem(Window, IDC_PROGRESS_BAR);
    const LRESULT maximum = SendMessageW(bar, PBM_GETRANGE, FALSE, 0);
    const LRESULT position = SendMessageW(bar, PBM_GETPOS, 0, 0);
    if (position < maximum)
        SendMessageW(bar, PBM_SETPOS, position + 1, 0);
    ProcessMessages();
}

void TfmProgress::Stop() {
    if (GetActiveWindow() != Window)
        PreviouslyActive = nullptr;
    for (HWND window : Disabled)
        EnableWindow(window, TRUE);
    Disabled.clear();
    // Activated before the hiding, so that the system never picks some other window.
    if (PreviouslyActive && IsWindow(PreviouslyActive))
        SetActiveWindow(PreviouslyActive);
    PreviouslyActive = nullptr;
    SetWindowPos(Window, nullptr, 0, 0, 0, 0,
                 SWP_HIDEWINDOW | SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
}
