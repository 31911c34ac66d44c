// Page 5, "WatchDog Таймер": the board's watchdog switched on and off, and fed from a window
// timer with the status flags of each reset shown.
#pragma once

#include "testprog/untPage.h"

#include <string>
#include <vector>

class TfmWDTimer : public TPage {
public:
    TfmWDTimer();

    void PageShown() override;
    // The periodic reset runs (a period of 0 runs but never fires).
    bool ResetRunning() const { return TimerOn; }

protected:
    void OnInit() override;
    bool OnCommand(int id, int code) override;
    void OnTimer(UINT_PTR id) override;

private:
    void WatchDogClick(int id, HRESULT (STDMETHODCALLTYPE ITrelmo::*method)(LONG*));
    void btnWDResetClick();
    void tmrResetWDTimer();
    bool ResetOnce();
    std::vector<std::wstring> FlagReport(ITrelmo* driver) const;

    bool TimerOn = false;
    bool InReset = false;
};
