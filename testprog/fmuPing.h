// Page 7, "Проверка связи": requests as fast as the link allows, counted, with a report after
// each. The loop runs in the button's handler and lets the program handle its messages after
// every request.
#pragma once

#include "testprog/untPage.h"

#include <cstdint>
#include <string>
#include <vector>

// The figures a report is made of.
struct TPingCounts {
    long PortNumber = 0, BaudRate = 0, Timeout = 0;
    long Sent = 0, Received = 0;
    std::uint32_t Elapsed = 0;  // ms since the start, when the request was answered
    std::uint32_t Elapsed2 = 0; // ms since the start, read again for the average
};

// The report's lines; `decimal` is the user's decimal separator.
std::vector<std::wstring> PingReport(const TPingCounts& counts, wchar_t decimal);
// 3 significant digits, then 2 decimals: 33.333 gives "33.30".
std::wstring LossText(double percent, wchar_t decimal);
// 2 significant digits, general notation: 5.26 gives "5.3"; from 99.5 on "1E+002" and so on.
std::wstring AverageText(double value, wchar_t decimal);

class TfmPing : public TPage {
public:
    TfmPing();

    void RequestStop() override { Stop = true; }

protected:
    void OnInit() override;
    bool OnCommand(int id, int code) override;

private:
    void btnStartClick();
    void RunLoop();
    void ShowReport(const TPingCounts& counts);

    bool Stop = false;
    long Sent = 0, Received = 0;
    std::uint32_t StartTicks = 0;
};
