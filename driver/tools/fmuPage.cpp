#include "fmuPage.h"

#include "untCodePage.h"
#include "untComCall.h"
#include "untError.h"
#include "untToolsRes.h"
#include "driver/core/untUtil.h"

#include <algorithm>

namespace {
const int Buttons[] = {IDC_PAGE_CONNECT, IDC_PAGE_SET_BAUD, IDC_PAGE_SEARCH,   IDC_PAGE_TABLES,
                       IDC_PAGE_LOG,     IDC_PAGE_PROG,     IDC_PAGE_DEFAULTS, IDC_PAGE_ABOUT};
const LONG BaudRates[] = {2400, 4800, 9600, 19200, 38400, 57600, 115200};
const LONG PortCount = 32;
// The page's margins round its controls, in pixels at 96 DPI.
const int RightMargin = 16;
const int BottomMargin = 33;

void AddItem(HWND combo, const std::wstring& text, LONG value) {
    const LRESULT index =
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageW(combo, CB_SETITEMDATA, static_cast<WPARAM>(index), value);
}

// The item that carries `value`; none when no item does.
void SelectValue(HWND combo, LONG value) {
    const LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    WPARAM found = static_cast<WPARAM>(-1);
    for (LRESULT i = 0; i < count; ++i)
        if (SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(i), 0) == value) {
            found = static_cast<WPARAM>(i);
            break;
        }
    SendMessageW(combo, CB_SETCURSEL, found, 0);
}

// False when nothing is selected.
bool SelectedValue(HWND combo, LONG& value) {
    const LRESULT index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR)
        return false;
    value = static_cast<LONG>(SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(index), 0));
    return true;
}

// The child's rectangle in its parent's client coordinates.
RECT ChildRect(HWND parent, HWND child) {
    RECT box{};
    GetWindowRect(child, &box);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&box), 2);
    return box;
}

// Every button is off while one action runs, so no second action starts inside it (a
// dialog it opens runs its own message loop); the focus comes back afterwards.
class TBusy {
public:
    explicit TBusy(HWND page) : Page(page), Focused(GetFocus()) { EnableButtons(false); }
    ~TBusy() {
        EnableButtons(true);
        if (Focused && IsWindow(Focused))
            SetFocus(Focused);
    }
    TBusy(const TBusy&) = delete;
    TBusy& operator=(const TBusy&) = delete;

private:
    void EnableButtons(bool enabled) {
        for (int id : Buttons)
            EnableWindow(GetDlgItem(Page, id), enabled);
    }
    HWND Page;
    HWND Focused;
};

// ParentWnd is the page's window while a dialog of the object runs, then what it was before:
// the page goes with its frame, and a stale owner would make the object's later dialogs fail.
class TOwnerScope {
public:
    TOwnerScope(ITrelmo* driver, HWND window)
        : Driver(driver), Previous(GetLong(driver, &ITrelmo::get_ParentWnd)) {
        PutLong(Driver, &ITrelmo::put_ParentWnd,
                static_cast<LONG>(reinterpret_cast<LONG_PTR>(window)));
    }
    ~TOwnerScope() { Driver->put_ParentWnd(Previous); }
    TOwnerScope(const TOwnerScope&) = delete;
    TOwnerScope& operator=(const TOwnerScope&) = delete;

private:
    ITrelmo* Driver;
    LONG Previous;
};

std::wstring Number(LONG value) {
    return std::to_wstring(value);
}
} // namespace

TfmPage::TfmPage() : TDialog(IDD_PAGE) {}

TfmPage::~TfmPage() {
    if (Alive)
        DestroyWindow(Handle());
}

void TfmPage::OnInit() {
    Alive = true;
    HWND port = Item(IDC_PAGE_PORT);
    for (LONG number = 1; number <= PortCount; ++number)
        AddItem(port, L"COM " + Number(number), number);
    HWND speed = Item(IDC_PAGE_BAUD);
    for (LONG rate : BaudRates)
        AddItem(speed, Number(rate), rate);
    Loading = true;
    SetText(IDC_PAGE_TIMEOUT, L"0");
    SetText(IDC_PAGE_COMMAND_TIMEOUT, L"0");
    Loading = false;
    const RECT version = ChildRect(Handle(), Item(IDC_PAGE_VERSION));
    VersionLeft = version.left;
    VersionRight = version.right;
    MakeVersionBold();
    FitToControls();
}

void TfmPage::FitToControls() {
    const RECT connect = ChildRect(Handle(), Item(IDC_PAGE_CONNECT));
    const RECT result = ChildRect(Handle(), Item(IDC_PAGE_RESULT));
    SetWindowPos(Handle(), nullptr, 0, 0, connect.right + Scaled(RightMargin),
                 result.bottom + Scaled(BottomMargin),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TfmPage::MakeVersionBold() {
    BoldFont.Reset(CreateVariantFont(Handle(), FW_BOLD));
    if (BoldFont)
        SendMessageW(Item(IDC_PAGE_VERSION), WM_SETFONT, reinterpret_cast<WPARAM>(BoldFont.Get()),
                     TRUE);
}

// Right-aligned by its place rather than by the control's alignment: some renderers draw a
// bold glyph past the width they measure for it, and the control would clip it. Half a
// character of room keeps it whole.
void TfmPage::SetVersion(const std::wstring& version) {
    HWND label = Item(IDC_PAGE_VERSION);
    SetWindowTextW(label, version.c_str());
    SIZE text{};
    {
        const TWindowDc dc(label);
        HGDIOBJ old = SelectObject(
            dc.Get(), reinterpret_cast<HGDIOBJ>(SendMessageW(label, WM_GETFONT, 0, 0)));
        GetTextExtentPoint32W(dc.Get(), version.c_str(), static_cast<int>(version.size()), &text);
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc.Get(), &metrics);
        text.cx += metrics.tmAveCharWidth / 2 + metrics.tmOverhang;
        SelectObject(dc.Get(), old);
    }
    const RECT box = ChildRect(Handle(), label);
    const LONG width = std::min(text.cx, VersionRight - VersionLeft);
    SetWindowPos(label, nullptr, VersionRight - width, box.top, width, box.bottom - box.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

bool TfmPage::OnMessage(UINT message, WPARAM, LPARAM, INT_PTR&) {
    if (message != WM_NCDESTROY)
        return false;
    Alive = false;
    BoldFont.Reset();
    return false;
}

bool TfmPage::OnCommand(int id, int code) {
    switch (id) {
    case IDC_PAGE_TIMEOUT:
    case IDC_PAGE_COMMAND_TIMEOUT:
        if (code == EN_CHANGE)
            Changed();
        return true;
    case IDC_PAGE_PORT:
    case IDC_PAGE_BAUD:
        if (code == CBN_SELCHANGE)
            Changed();
        return true;
    }
    if (code != BN_CLICKED)
        return false;
    switch (id) {
    case IDC_PAGE_CONNECT:
        Run(&TfmPage::btnConnectClick);
        return true;
    case IDC_PAGE_SET_BAUD:
        Run(&TfmPage::btnSetBaudRateClick);
        return true;
    case IDC_PAGE_SEARCH:
        Run(&TfmPage::btnSearchClick);
        return true;
    case IDC_PAGE_TABLES:
        Run(&TfmPage::btnTablesClick);
        return true;
    case IDC_PAGE_LOG:
        Run(&TfmPage::btnLogDlgClick);
        return true;
    case IDC_PAGE_PROG:
        Run(&TfmPage::btnProgClick);
        return true;
    case IDC_PAGE_ABOUT:
        Run(&TfmPage::btnAboutClick);
        return true;
    case IDC_PAGE_DEFAULTS:
        Run(&TfmPage::btnDefaultsClick, false);
        return true;
    default:
        return false;
    }
}

// What the user changes reaches the object only by an apply, so the frame learns of it.
void TfmPage::Changed() {
    if (Loading)
        return;
    IsModified = true;
    if (OnModified)
        OnModified();
}

void TfmPage::Run(void (TfmPage::*action)(), bool busy) {
    if (!Driver)
        return;
    try {
        if (busy) {
            TBusy state(Handle());
            (this->*action)();
        } else {
            (this->*action)();
        }
    } catch (const EDriverError& e) {
        ShowFailure(L"(" + Number(e.Code) + L") " + Cp1251ToWide(e.what()));
    } catch (const std::exception& e) {
        ShowFailure(Cp1251ToWide(e.what()));
    }
}

void TfmPage::ShowFailure(const std::wstring& text) {
    SetText(IDC_PAGE_RESULT, text);
}

void TfmPage::LoadShowingFailure() {
    Run(&TfmPage::Load, false);
}

bool TfmPage::ApplyShowingFailure() {
    bool applied = false;
    try {
        Apply();
        applied = true;
    } catch (const std::exception& e) {
        ShowFailure(Cp1251ToWide(e.what()));
    }
    return applied;
}

void TfmPage::Load() {
    if (!Driver)
        return;
    Loading = true;
    try {
        SetVersion(GetString(Driver, &ITrelmo::get_Version));
        SetText(IDC_PAGE_TIMEOUT, Number(GetLong(Driver, &ITrelmo::get_Timeout)));
        SetText(IDC_PAGE_COMMAND_TIMEOUT, Number(GetLong(Driver, &ITrelmo::get_CommandTimeout)));
        SelectValue(Item(IDC_PAGE_BAUD), GetLong(Driver, &ITrelmo::get_BaudRate));
        SelectValue(Item(IDC_PAGE_PORT), GetLong(Driver, &ITrelmo::get_PortNumber));
    } catch (...) {
        Loading = false;
        throw;
    }
    Loading = false;
    IsModified = false;
    InvalidateRect(Handle(), nullptr, TRUE);
    UpdateWindow(Handle());
}

// Both time-outs are converted before the object is touched, so a bad one changes nothing.
// A list without a selection (a stored value the page does not offer) leaves its setting.
void TfmPage::Apply() {
    if (!Driver)
        return;
    const LONG timeout = Integer(IDC_PAGE_TIMEOUT);
    const LONG commandTimeout = Integer(IDC_PAGE_COMMAND_TIMEOUT);
    LONG value = 0;
    if (SelectedValue(Item(IDC_PAGE_BAUD), value))
        PutLong(Driver, &ITrelmo::put_BaudRate, value);
    if (SelectedValue(Item(IDC_PAGE_PORT), value))
        PutLong(Driver, &ITrelmo::put_PortNumber, value);
    PutLong(Driver, &ITrelmo::put_Timeout, timeout);
    PutLong(Driver, &ITrelmo::put_CommandTimeout, commandTimeout);
    Call(Driver, &ITrelmo::SaveRegParams);
    IsModified = false;
}

LONG TfmPage::Integer(int id) const {
    return StrToInt(WideToCp1251(Text(id)));
}

void TfmPage::ShowResult() {
    const LONG code = GetLong(Driver, &ITrelmo::get_ResultCode);
    SetText(IDC_PAGE_RESULT,
            L"(" + Number(code) + L") " + GetString(Driver, &ITrelmo::get_ResultDescription));
}

void TfmPage::ClearResult() {
    SetText(IDC_PAGE_RESULT, L"");
    UpdateWindow(Item(IDC_PAGE_RESULT));
}

// ---------------------------------------------------------------- buttons

void TfmPage::btnConnectClick() {
    Apply();
    ClearResult();
    if (Call(Driver, &ITrelmo::Connect) != 0) {
        ShowResult();
    } else if (Call(Driver, &ITrelmo::ReadStatus) != 0) {
        ShowResult();
    } else {
        SetText(IDC_PAGE_RESULT, L"Название: " + GetString(Driver, &ITrelmo::get_UDescription) +
                                     L" " + GetString(Driver, &ITrelmo::get_SoftVersion) + L"." +
                                     Number(GetLong(Driver, &ITrelmo::get_SoftBuild)) +
                                     L", дата ПО " + GetString(Driver, &ITrelmo::get_SoftDateStr));
    }
    Call(Driver, &ITrelmo::Disconnect);
}

// The board moves to the page's speed and byte time-out; the driver follows it, but nothing
// is stored.
void TfmPage::btnSetBaudRateClick() {
    LONG rate = 0;
    if (!SelectedValue(Item(IDC_PAGE_BAUD), rate))
        throw std::runtime_error(Ansi("Не выбрана скорость обмена"));
    const LONG timeout = Integer(IDC_PAGE_TIMEOUT);
    PutLong(Driver, &ITrelmo::put_DeviceTimeout, timeout);
    PutLong(Driver, &ITrelmo::put_DeviceBaudRate, rate);
    if (Call(Driver, &ITrelmo::Connect) == 0 && Call(Driver, &ITrelmo::SetExchangeParam) == 0) {
        PutLong(Driver, &ITrelmo::put_Timeout, timeout);
        PutLong(Driver, &ITrelmo::put_BaudRate, rate);
        Call(Driver, &ITrelmo::Disconnect);
    }
    ShowResult();
}

void TfmPage::btnSearchClick() {
    Apply();
    {
        TOwnerScope owner(Driver, Handle());
        Call(Driver, &ITrelmo::Disconnect);
        Call(Driver, &ITrelmo::ShowSearchDlg);
    }
    Load();
    ClearResult();
}

void TfmPage::btnTablesClick() {
    {
        TOwnerScope owner(Driver, Handle());
        Call(Driver, &ITrelmo::ShowTablesDlg);
    }
    ShowResult();
}

void TfmPage::btnProgClick() {
    {
        TOwnerScope owner(Driver, Handle());
        Call(Driver, &ITrelmo::UpdateSoftware);
    }
    ShowResult();
}

void TfmPage::btnLogDlgClick() {
    {
        TOwnerScope owner(Driver, Handle());
        Call(Driver, &ITrelmo::ShowLogDlg);
    }
    Load();
    ClearResult();
}

void TfmPage::btnAboutClick() {
    Check(Driver->AboutBox());
    ClearResult();
}

// Only the controls change: the object takes the defaults when the page is applied.
void TfmPage::btnDefaultsClick() {
    SetText(IDC_PAGE_TIMEOUT, Number(GetLong(Driver, &ITrelmo::get_DefaultTimeout)));
    SetText(IDC_PAGE_COMMAND_TIMEOUT, Number(GetLong(Driver, &ITrelmo::get_DefaultCommandTimeout)));
    SelectValue(Item(IDC_PAGE_BAUD), GetLong(Driver, &ITrelmo::get_DefaultBaudRate));
    SelectValue(Item(IDC_PAGE_PORT), GetLong(Driver, &ITrelmo::get_DefaultPortNumber));
    Changed();
}
