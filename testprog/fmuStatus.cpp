#include "fmuStatus.h"

#include "untComCall.h"
#include "untCodePage.h"
#include "testprog/untConst.h"
#include "untFileDialog.h"
#include "untHolders.h"
#include "untSkavinRes.h"
#include "testprog/untUtil.h"

#include <commctrl.h>

#include <memory>

namespace {
const UINT_PTR StatusTimer = 1;
std::unique_ptr<TfmStatus> StatusForm;

const wchar_t DefaultLogFile[] =
    L"C:\\Program Files\\Норвик\\Драйверы\\Драйвер варнок-платы\\TrelmoStatus.log";

const int StateTab[] = {
    IDC_STATUS_RELAYS,        IDC_STATUS_OUT_B,           IDC_STATUS_OUT_C,
    IDC_STATUS_OUT_D,         IDC_STATUS_OUT_E,           IDC_STATUS_OUT_F,
    IDC_STATUS_MONITOR1,      IDC_STATUS_AUDIO,           IDC_STATUS_MONITOR2,
    IDC_STATUS_FLAGS,         IDC_STATUS_MB_POWER_SENSOR, IDC_STATUS_MB_POWER_STATE,
    IDC_STATUS_WATCHDOG,      IDC_STATUS_TURN_OFF_DELAY,  IDC_STATUS_TURN_ON_DELAY,
    IDC_STATUS_DOOR_LOCK,     IDC_STATUS_BUTTON_POWER,    IDC_STATUS_BUTTON_RESET,
    IDC_STATUS_RELAY_TOGGLED, IDC_STATUS_INTERVAL_LABEL,  IDC_STATUS_INTERVAL,
    IDC_STATUS_TOGGLE};
const int LogTab[] = {IDC_STATUS_LOG_GROUP, IDC_STATUS_LOG_ON, IDC_STATUS_LOG_FILE_LABEL,
                      IDC_STATUS_LOG_FILE, IDC_STATUS_BROWSE};

// The relay ticks by the bit of the relay byte they show, bit 0 first.
const int RelayTicks[8] = {IDC_STATUS_OUT_C, IDC_STATUS_OUT_E,    IDC_STATUS_OUT_D,
                           IDC_STATUS_OUT_F, IDC_STATUS_MONITOR1, IDC_STATUS_MONITOR2,
                           IDC_STATUS_AUDIO, IDC_STATUS_OUT_B};

struct TFlagTick {
    int Id;
    HRESULT (STDMETHODCALLTYPE ITrelmo::*Get)(VARIANT_BOOL*);
};
const TFlagTick FlagTicks[] = {
    {IDC_STATUS_MB_POWER_SENSOR, &ITrelmo::get_MBPowerSensor},
    {IDC_STATUS_MB_POWER_STATE, &ITrelmo::get_MBPowerState},
    {IDC_STATUS_DOOR_LOCK, &ITrelmo::get_DoorLockOpened},
    {IDC_STATUS_TURN_OFF_DELAY, &ITrelmo::get_TurnOffDelay},
    {IDC_STATUS_TURN_ON_DELAY, &ITrelmo::get_TurnOnDelay},
    {IDC_STATUS_RELAY_TOGGLED, &ITrelmo::get_RelayToggled},
    {IDC_STATUS_BUTTON_POWER, &ITrelmo::get_ButtonPowerPressed},
    {IDC_STATUS_BUTTON_RESET, &ITrelmo::get_ButtonResetPressed},
    {IDC_STATUS_WATCHDOG, &ITrelmo::get_WatchDogEnabled},
};

std::string Ansi(const std::wstring& text) {
    return WideToCp1251(text);
}
} // namespace

TfmStatus::TfmStatus(ITrelmo* driver) : TForm(IDD_STATUS, L"fmStatus"), Driver(driver) {}

TfmStatus::~TfmStatus() = default;

void TfmStatus::OnInit() {
    HWND tabs = Item(IDC_STATUS_TABS);
    const wchar_t* captions[] = {L"Состояние", L"Лог"};
    for (int i = 0; i < 2; ++i) {
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<wchar_t*>(captions[i]);
        SendMessageW(tabs, TCM_INSERTITEMW, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(&item));
    }
    ShowTab(0);
    SetText(IDC_STATUS_INTERVAL, L"500");
    SetText(IDC_STATUS_LOG_FILE, DefaultLogFile);
    // The status bar sits below the tabs' area: the window grows by its height.
    HWND bar = Item(IDC_STATUS_BAR);
    SendMessageW(bar, WM_SIZE, 0, 0);
    RECT barBox{}, window{};
    GetWindowRect(bar, &barBox);
    GetWindowRect(Handle(), &window);
    SetWindowPos(Handle(), nullptr, 0, 0, window.right - window.left,
                 window.bottom - window.top + (barBox.bottom - barBox.top),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(bar, WM_SIZE, 0, 0);
}

void TfmStatus::ShowTab(int index) {
    for (int id : StateTab)
        Show(id, index == 0);
    for (int id : LogTab)
        Show(id, index == 1);
}

bool TfmStatus::OnNotify(NMHDR* header) {
    if (header->idFrom == IDC_STATUS_TABS && header->code == TCN_SELCHANGE) {
        ShowTab(static_cast<int>(SendMessageW(header->hwndFrom, TCM_GETCURSEL, 0, 0)));
        return true;
    }
    return false;
}

bool TfmStatus::OnCommand(int id, int code) {
    if (code != BN_CLICKED)
        return false;
    switch (id) {
    case IDC_STATUS_TOGGLE:
        if (TimerRunning)
            StopPoll();
        else
            StartPoll();
        return true;
    case IDC_STATUS_LOG_ON:
        chbLogOnClick();
        return true;
    case IDC_STATUS_BROWSE:
        btnBrowseLogFileClick();
        return true;
    case IDCANCEL:
        OnClose();
        return true;
    default:
        return false;
    }
}

void TfmStatus::StartPoll() {
    const int period = IntOf(IDC_STATUS_INTERVAL);
    if (period <= 0 || Text(IDC_STATUS_LOG_FILE).empty())
        return;
    Log.SetEnabled(Checked(IDC_STATUS_LOG_ON));
    Log.SetFileName(Ansi(Text(IDC_STATUS_LOG_FILE)));
    PollCount = 0;
    LastFlags1 = LastFlags2 = LastRelays = -1;
    LastResult = 0;
    SetTimer(Handle(), StatusTimer, static_cast<UINT>(period), nullptr);
    TimerRunning = true;
    SetText(IDC_STATUS_TOGGLE, L"Прервать опрос");
    Log.WriteLine(Ansi(L"Начало опроса"));
}

void TfmStatus::StopPoll() {
    KillTimer(Handle(), StatusTimer);
    TimerRunning = false;
    SetText(IDC_STATUS_TOGGLE, L"Начать опрос");
    ShowStatusLine(L"Опрос остановлен");
    Log.WriteLine(Ansi(L"Конец опроса"));
}

void TfmStatus::OnTimer(UINT_PTR id) {
    if (id == StatusTimer)
        tmrStatusTimer();
}

// A poll never shows a message box: a failure, raised or reported, is a failed poll.
void TfmStatus::tmrStatusTimer() {
    bool good = false;
    try {
        good = Call(Driver, &ITrelmo::ReadStatus) == 0;
    } catch (...) {
        // A failed poll; the status line shows what the driver last said.
    }
    long code = LastResult;
    std::wstring description;
    try {
        code = GetLong(Driver, &ITrelmo::get_ResultCode);
        description = GetString(Driver, &ITrelmo::get_ResultDescription);
    } catch (...) {
        // The driver cannot say: the last code stands, with no description.
    }
    if (code != LastResult)
        PollCount = 0;
    LastResult = code;
    ++PollCount;
    if (good) {
        try {
            UpdateFlags();
            LogChanges();
        } catch (...) {
            // Ticks and log lines wait for the next poll that reads them.
        }
    }
    ShowStatusLine(std::to_wstring(code) + L", " + description + L" (" +
                   std::to_wstring(PollCount) + L")");
}

void TfmStatus::UpdateFlags() {
    for (const TFlagTick& tick : FlagTicks)
        SetChecked(tick.Id, GetBool(Driver, tick.Get));
    const long relays = GetLong(Driver, &ITrelmo::get_RelayStatus);
    for (int bit = 0; bit < 8; ++bit)
        SetChecked(RelayTicks[bit], (relays >> bit & 1) != 0);
}

void TfmStatus::LogChanges() {
    const long flags1 = GetLong(Driver, &ITrelmo::get_ParamFlags);
    const long flags2 = GetLong(Driver, &ITrelmo::get_ParamFlags2);
    const long relays = GetLong(Driver, &ITrelmo::get_RelayStatus);
    if (flags1 != LastFlags1) {
        LastFlags1 = flags1;
        Log.WriteLine(Ansi(L"флаги состояния устройства (1 байт): ") + std::to_string(flags1));
    }
    if (flags2 != LastFlags2) {
        LastFlags2 = flags2;
        Log.WriteLine(Ansi(L"флаги состояния устройства (2 байт): ") + std::to_string(flags2));
    }
    if (relays != LastRelays) {
        LastRelays = relays;
        Log.WriteLine(Ansi(L"флаги реле: ") + std::to_string(relays));
    }
}

void TfmStatus::ShowStatusLine(const std::wstring& text) {
    SetText(IDC_STATUS_BAR, text);
}

void TfmStatus::chbLogOnClick() {
    const bool on = Checked(IDC_STATUS_LOG_ON);
    Enable(IDC_STATUS_LOG_FILE, on);
    Enable(IDC_STATUS_BROWSE, on);
}

void TfmStatus::btnBrowseLogFileClick() {
    TFileQuestion question;
    question.Name = Text(IDC_STATUS_LOG_FILE);
    if (question.Name.empty())
        question.Name = L"TrelmoStatus.log";
    question.Filter = L"Файлы лога\0*.log\0Все файлы\0*.*\0";
    question.Extension = L"log";
    std::wstring file;
    if (AskFileName(Handle(), false, question, file))
        SetText(IDC_STATUS_LOG_FILE, file);
}

void TfmStatus::LoadSettings() {
    TRegKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, RegistryKey, 0, KEY_READ, key.Out()) != ERROR_SUCCESS)
        return;
    DWORD number = 0, size = sizeof number, type = 0;
    if (RegQueryValueExW(key.Get(), L"PollDelay", nullptr, &type, reinterpret_cast<BYTE*>(&number),
                         &size) == ERROR_SUCCESS &&
        type == REG_DWORD)
        SetText(IDC_STATUS_INTERVAL, std::to_wstring(static_cast<int>(number)));
    size = sizeof number;
    if (RegQueryValueExW(key.Get(), L"StatusLogOn", nullptr, &type,
                         reinterpret_cast<BYTE*>(&number), &size) == ERROR_SUCCESS &&
        type == REG_DWORD)
        SetChecked(IDC_STATUS_LOG_ON, number != 0);
    wchar_t text[1024];
    size = sizeof text - sizeof(wchar_t);
    if (RegQueryValueExW(key.Get(), L"StatusLogFile", nullptr, &type, reinterpret_cast<BYTE*>(text),
                         &size) == ERROR_SUCCESS &&
        type == REG_SZ) {
        text[size / sizeof(wchar_t)] = L'\0';
        SetText(IDC_STATUS_LOG_FILE, text);
    }
}

void TfmStatus::SaveSettings() {
    const DWORD period = static_cast<DWORD>(IntOf(IDC_STATUS_INTERVAL));
    TRegKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, RegistryKey, 0, nullptr, 0, KEY_READ | KEY_WRITE,
                        nullptr, key.Out(), nullptr) != ERROR_SUCCESS)
        return;
    const DWORD logOn = Checked(IDC_STATUS_LOG_ON) ? 1 : 0;
    const std::wstring file = Text(IDC_STATUS_LOG_FILE);
    RegSetValueExW(key.Get(), L"PollDelay", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&period),
                   sizeof period);
    RegSetValueExW(key.Get(), L"StatusLogOn", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&logOn),
                   sizeof logOn);
    RegSetValueExW(key.Get(), L"StatusLogFile", 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(file.c_str()),
                   static_cast<DWORD>((file.size() + 1) * sizeof(wchar_t)));
}

void TfmStatus::FormClose() {
    if (TimerRunning)
        StopPoll();
    SaveSettings();
}

// A period that is no number keeps the window open (the error is shown); polling has stopped.
void TfmStatus::OnClose() {
    FormClose();
    StatusForm.reset();
}

void ShowStatusForm(ITrelmo* driver) {
    if (StatusForm) {
        if (IsIconic(StatusForm->Handle()))
            ShowWindow(StatusForm->Handle(), SW_RESTORE);
        SetForegroundWindow(StatusForm->Handle());
        return;
    }
    auto form = std::make_unique<TfmStatus>(driver);
    form->Create(nullptr);
    SetWindowPos(form->Handle(), nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    form->LoadSettings();
    TfmStatus* shown = form.get();
    StatusForm = std::move(form);
    ShowWindow(shown->Handle(), SW_SHOW);
    const bool logOn =
        SendDlgItemMessageW(shown->Handle(), IDC_STATUS_LOG_ON, BM_GETCHECK, 0, 0) == BST_CHECKED;
    EnableWindow(GetDlgItem(shown->Handle(), IDC_STATUS_LOG_FILE), logOn);
    EnableWindow(GetDlgItem(shown->Handle(), IDC_STATUS_BROWSE), logOn);
    shown->StartPoll();
}

void CloseStatusForm() {
    if (!StatusForm)
        return;
    try {
        StatusForm->FormClose();
    } catch (...) {
        // The program is ending: a period that is no number only costs its saving.
    }
    StatusForm.reset();
}
