// How the table transfer talks to the user in the library: the progress window and the
// driver's message boxes.
#pragma once

#include "fmuProgr.h"
#include "untVarnokBrd.h"

#include <windows.h>

class TDialogTransferUi : public TTransferUi {
public:
    // While the progress window shows, this window owns it; with none it stays with the
    // window that was active when it appeared.
    HWND ParentWnd = nullptr;

    void StartProgress(const std::string& text, int maximum) override;
    void StepProgress() override;
    void StopProgress() override;
    bool BreakRequested() override;
    bool ConfirmBreak() override;
    bool AskContinue(const std::string& message) override;

private:
    TfmProgress Progress;
};
