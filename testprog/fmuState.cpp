#include "fmuState.h"

#include "fmuStatus.h"
#include "untComCall.h"
#include "untSkavinRes.h"

#include <cwctype>

namespace {
const std::wstring Separator(44, L'-');

std::wstring Format(const wchar_t* format, long a, long b) {
    wchar_t text[128];
    std::swprintf(text, 128, format, a, b);
    return text;
}

std::wstring Trim(const std::wstring& text) {
    const auto blank = [](wchar_t c) { return std::iswspace(c) != 0; };
    std::size_t first = 0, last = text.size();
    while (first < last && blank(text[first]))
        ++first;
    while (last > first && blank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

// The relay names of the board, bit 7 down to bit 0.
const wchar_t* const RelayNames[] = {L"Резерв",  L"Аудио 5", L"Монитор 2", L"Монитор 1",
                                     L"Принтер", L"Сейф",    L"Ридер",     L"Модем"};
} // namespace

std::wstring FlagLine(bool set, const std::wstring& text) {
    return std::wstring(L"[") + (set ? L"X" : L" ") + L"] " + text;
}

TfmState::TfmState() : TPage(IDD_STATE, L"fmState", L"Запрос состояния") {}

void TfmState::OnInit() {
    UseFixedFont(IDC_STATE_MEMO);
    SetText(IDC_STATE_MEMO, L"");
}

bool TfmState::OnCommand(int id, int code) {
    if (code != BN_CLICKED)
        return false;
    switch (id) {
    case IDC_STATE_GET_STATE:
        btnGetStateClick();
        return true;
    case IDC_STATE_RESET_DEVICE:
        btnResetDeviceClick();
        return true;
    case IDC_STATE_METRICS:
        btnReadDeviceMetricsClick();
        return true;
    case IDC_STATE_STATUS:
        btnStatusClick();
        return true;
    default:
        return false;
    }
}

std::vector<std::wstring> FlagByte1Lines(ITrelmo* driver) {
    const auto flag = [driver](HRESULT (STDMETHODCALLTYPE ITrelmo::*get)(VARIANT_BOOL*),
                               const wchar_t* text) {
        return FlagLine(GetBool(driver, get), text);
    };
    return {
        flag(&ITrelmo::get_MBPowerSensor, L"наличие напряжения 220 В"),
        flag(&ITrelmo::get_RelayToggled, L"выполняется импульс на реле"),
        flag(&ITrelmo::get_TurnOffDelay, L"задержка выключения"),
        flag(&ITrelmo::get_TurnOnDelay, L"задержка включения"),
        flag(&ITrelmo::get_DoorLockOpened, L"открыт замок"),
        flag(&ITrelmo::get_ButtonResetPressed, L"нажата кнопка RESET"),
        flag(&ITrelmo::get_ButtonPowerPressed, L"нажата кнопка POWER"),
        flag(&ITrelmo::get_MBPowerState, L"наличие +12 В на МП"),
    };
}

std::vector<std::wstring> FlagByte2Lines(long flags2) {
    return {FlagLine((flags2 & 2) != 0, L"Резерв 7 бит "),
            FlagLine((flags2 & 1) != 0, L"запущен сторожевой таймер")};
}

std::vector<std::wstring> TfmState::StatusReport(ITrelmo* driver) const {
    const long flags = GetLong(driver, &ITrelmo::get_ParamFlags);
    const long flags2 = GetLong(driver, &ITrelmo::get_ParamFlags2);
    const long relays = GetLong(driver, &ITrelmo::get_RelayStatus);
    std::vector<std::wstring> lines{
        Separator,
        L"Версия ПО      : " + GetString(driver, &ITrelmo::get_SoftVersion),
        L"Сборка ПО      : " + std::to_wstring(GetLong(driver, &ITrelmo::get_SoftBuild)),
        L"Дата ПО        : " + GetString(driver, &ITrelmo::get_SoftDateStr),
        L"Серийный номер : " + std::to_wstring(GetLong(driver, &ITrelmo::get_SerialNumber)),
        L"Режим работы   : " + std::to_wstring(GetLong(driver, &ITrelmo::get_Mode)) + L", " +
            GetString(driver, &ITrelmo::get_ModeDescription),
        Separator,
        Format(L"Байт флагов 1: %lXh, %ld", flags, flags),
    };
    for (const std::wstring& line : FlagByte1Lines(driver))
        lines.push_back(line);
    lines.push_back(Separator);
    lines.push_back(Format(L"Байт флагов 2: %lXh, %ld", flags2, flags2));
    for (const std::wstring& line : FlagByte2Lines(flags2))
        lines.push_back(line);
    lines.push_back(Separator);
    lines.push_back(Format(L"Флаги состояния реле: %lXh, %ld", relays, relays));
    for (int bit = 7; bit >= 0; --bit)
        lines.push_back(FlagLine((relays >> bit & 1) != 0, RelayNames[7 - bit]));
    return lines;
}

void TfmState::ShowLines(const std::vector<std::wstring>& lines) {
    std::wstring text;
    for (const std::wstring& line : lines)
        text += line + L"\r\n";
    SetText(IDC_STATE_MEMO, Trim(text));
    SendMessageW(Item(IDC_STATE_MEMO), EM_SETSEL, 0, 0);
    SendMessageW(Item(IDC_STATE_MEMO), EM_SCROLLCARET, 0, 0);
}

// The report takes the focus; a failure leaves it where it was.
void TfmState::btnGetStateClick() {
    SetText(IDC_STATE_MEMO, L"");
    Operate(TOperation{0}, [this] {
        std::vector<std::wstring> lines;
        ITrelmo* driver = Driver();
        if (Call(driver, &ITrelmo::ReadStatus) == 0)
            lines = StatusReport(driver);
        ShowLines(lines);
        FocusIfCan(IDC_STATE_MEMO);
    });
}

void TfmState::btnResetDeviceClick() {
    SetText(IDC_STATE_MEMO, L"");
    Operate(IDC_STATE_RESET_DEVICE, false, [this] { Call(Driver(), &ITrelmo::ResetDevice); });
}

void TfmState::btnReadDeviceMetricsClick() {
    SetText(IDC_STATE_MEMO, L"");
    Operate(IDC_STATE_METRICS, false, [this] {
        ITrelmo* driver = Driver();
        if (Call(driver, &ITrelmo::ReadDeviceMetrics) != 0)
            return;
        const auto pair = [driver](HRESULT (STDMETHODCALLTYPE ITrelmo::*major)(LONG*),
                                   HRESULT (STDMETHODCALLTYPE ITrelmo::*minor)(LONG*)) {
            return std::to_wstring(GetLong(driver, major)) + L"." +
                   std::to_wstring(GetLong(driver, minor));
        };
        ShowLines({
            L"Устройство       : " + GetString(driver, &ITrelmo::get_UDescription),
            L"Тип устройства   : " + pair(&ITrelmo::get_UMajorType, &ITrelmo::get_UMinorType),
            L"Версия протокола : " +
                pair(&ITrelmo::get_UMajorProtocolVersion, &ITrelmo::get_UMinorProtocolVersion),
            L"Модель устройства: " + std::to_wstring(GetLong(driver, &ITrelmo::get_UModel)),
            L"Язык устройства  : " + std::to_wstring(GetLong(driver, &ITrelmo::get_UCodePage)),
        });
    });
}

void TfmState::btnStatusClick() {
    ShowStatusForm(Driver());
}
