#include "fmuPing.h"

#include "untComCall.h"
#include "untDialog.h"
#include "untSkavinRes.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {
std::wstring Localised(std::string text, wchar_t decimal) {
    std::wstring wide(text.begin(), text.end());
    for (wchar_t& c : wide)
        if (c == L'.')
            c = decimal;
    return wide;
}

wchar_t UserDecimal() {
    wchar_t separator[8] = L".";
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8);
    return separator[0] ? separator[0] : L'.';
}
} // namespace

std::wstring LossText(double percent, wchar_t decimal) {
    char rounded[32];
    std::snprintf(rounded, sizeof rounded, "%.3g", percent);
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", std::strtod(rounded, nullptr));
    return Localised(text, decimal);
}

std::wstring AverageText(double value, wchar_t decimal) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2G", value);
    std::string general = text;
    const std::size_t e = general.find('E');
    if (e != std::string::npos) {
        // At least three exponent digits, sign kept.
        const char sign = general[e + 1];
        std::string digits = general.substr(e + 2);
        while (digits.size() < 3)
            digits.insert(0, "0");
        general = general.substr(0, e) + "E" + sign + digits;
    }
    return Localised(general, decimal);
}

std::vector<std::wstring> PingReport(const TPingCounts& c, wchar_t decimal) {
    const long seconds = static_cast<long>(c.Elapsed / 1000) + 1;
    const double loss = c.Sent ? static_cast<double>(c.Sent - c.Received) / c.Sent * 100 : 0.0;
    std::vector<std::wstring> lines{
        L"№ порта:              COM" + std::to_wstring(c.PortNumber),
        L"Скорость обмена:      " + std::to_wstring(c.BaudRate),
        L"Таймаут:              " + std::to_wstring(c.Timeout) + L" мс",
        L"Послано запросов:     " + std::to_wstring(c.Sent),
        L"Получено ответов:     " + std::to_wstring(c.Received),
        L"Потеряно запросов:    " + std::to_wstring(c.Sent - c.Received),
        L"Процент потерь:       " + LossText(loss, decimal),
        L"Скорость опроса:      " +
            std::to_wstring(static_cast<long>(static_cast<double>(c.Sent) / seconds)) +
            L" опросов/с",
    };
    if (c.Received != 0)
        lines.push_back(L"Среднее время ответа: " +
                        AverageText(static_cast<double>(c.Elapsed2) / c.Received, decimal) +
                        L" мс.");
    lines.push_back(L"Время опроса:         " + std::to_wstring(seconds) + L" c");
    return lines;
}

TfmPing::TfmPing() : TPage(IDD_PING, L"fmPing", L"Проверка связи") {
    SetStopButton(IDC_PING_STOP);
}

void TfmPing::OnInit() {
    UseFixedFont(IDC_PING_MEMO);
    NameControl(IDC_PING_STOP_ON_ERRORS, L"cbStopOnErrors");
}

bool TfmPing::OnCommand(int id, int code) {
    if (code != BN_CLICKED)
        return false;
    switch (id) {
    case IDC_PING_START:
        btnStartClick();
        return true;
    case IDC_PING_STOP:
        Stop = true;
        return true;
    default:
        return false;
    }
}

// The report is the page's own: the result fields do not follow the exchanges.
void TfmPing::btnStartClick() {
    Stop = false;
    Sent = 0;
    Received = 0;
    TOperation ping{IDC_PING_START, TResultShown::Never};
    ping.Loop = true;
    Operate(ping, [this] {
        StartTicks = GetTickCount();
        RunLoop();
    });
}

void TfmPing::RunLoop() {
    ITrelmo* driver = Driver();
    if (Call(driver, &ITrelmo::Connect) != 0)
        return;
    while (!Stop) {
        ++Sent;
        Call(driver, &ITrelmo::ReadExchangeParam);
        if (GetLong(driver, &ITrelmo::get_ResultCode) >= 0)
            ++Received;
        TPingCounts counts;
        counts.PortNumber = GetLong(driver, &ITrelmo::get_PortNumber);
        counts.BaudRate = GetLong(driver, &ITrelmo::get_BaudRate);
        counts.Timeout = GetLong(driver, &ITrelmo::get_Timeout);
        counts.Sent = Sent;
        counts.Received = Received;
        counts.Elapsed = GetTickCount() - StartTicks;
        counts.Elapsed2 = GetTickCount() - StartTicks;
        ShowReport(counts);
        if (Checked(IDC_PING_STOP_ON_ERRORS) && Sent != Received)
            Stop = true;
        ProcessMessages();
    }
}

void TfmPing::ShowReport(const TPingCounts& counts) {
    std::wstring text;
    for (const std::wstring& line : PingReport(counts, UserDecimal())) {
        if (!text.empty())
            text += L"\r\n";
        text += line;
    }
    HWND memo = Item(IDC_PING_MEMO);
    SendMessageW(memo, WM_SETREDRAW, FALSE, 0);
    SetWindowTextW(memo, text.c_str());
    SendMessageW(memo, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(memo, nullptr, TRUE);
}
