// Page 1, "Запрос состояния": the board's status as a report, its reset, its identity, and
// the status monitor.
#pragma once

#include "testprog/untPage.h"

#include <string>
#include <vector>

class TfmState : public TPage {
public:
    TfmState();

protected:
    void OnInit() override;
    bool OnCommand(int id, int code) override;

private:
    void btnGetStateClick();
    void btnResetDeviceClick();
    void btnReadDeviceMetricsClick();
    void btnStatusClick();
    std::vector<std::wstring> StatusReport(ITrelmo* driver) const;
    // The lines in the text box, without surrounding blanks, the caret at the start.
    void ShowLines(const std::vector<std::wstring>& lines);
};

// "[X] text" or "[ ] text".
std::wstring FlagLine(bool set, const std::wstring& text);
// The lines of the status's first and second flag bytes, as both reports show them.
std::vector<std::wstring> FlagByte1Lines(ITrelmo* driver);
std::vector<std::wstring> FlagByte2Lines(long flags2);
