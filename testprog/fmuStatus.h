// The status monitor "Опрос состояния": polls the board's status on a window timer through
// the shared driver object, shows the flags as ticks, counts equal results in a row and logs
// every change of the flag and relay bytes.
#pragma once

#include "TrelmoLib_TLB.h"
#include "untForm.h"
#include "untStatusLog.h"

class TfmStatus : public TForm {
public:
    explicit TfmStatus(ITrelmo* driver);
    ~TfmStatus() override;

    void StartPoll();
    void StopPoll();
    bool Polling() const { return TimerRunning; }
    void LoadSettings();
    void SaveSettings();
    // Closing: polling stops and the settings are saved; the window then goes.
    void FormClose();

protected:
    void OnInit() override;
    bool OnCommand(int id, int code) override;
    bool OnNotify(NMHDR* header) override;
    void OnTimer(UINT_PTR id) override;
    void OnClose() override;

private:
    void tmrStatusTimer();
    void UpdateFlags();
    void LogChanges();
    void ShowStatusLine(const std::wstring& text);
    void ShowTab(int index);
    void chbLogOnClick();
    void btnBrowseLogFileClick();

    ITrelmo* Driver;
    TLogFile Log;
    bool TimerRunning = false;
    int PollCount = 0;
    long LastResult = 0;
    long LastFlags1 = -1, LastFlags2 = -1, LastRelays = -1;
};

// Opens the one status window, or brings it to the front when it is open.
void ShowStatusForm(ITrelmo* driver);
// Closes the status window, if open, as its close box would; before the driver goes.
void CloseStatusForm();
