#include "untDlgTransfer.h"

#include "untCodePage.h"
#include "untDialog.h"

void TDialogTransferUi::StartProgress(const std::string& text, int maximum) {
    Progress.Start(Cp1251ToWide(text), maximum);
    if (ParentWnd)
        SetWindowLongPtrW(Progress.Handle(), GWLP_HWNDPARENT,
                          reinterpret_cast<LONG_PTR>(ParentWnd));
}

void TDialogTransferUi::StepProgress() {
    Progress.Step();
}

void TDialogTransferUi::StopProgress() {
    Progress.Stop();
}

bool TDialogTransferUi::BreakRequested() {
    return Progress.BreakRequested();
}

bool TDialogTransferUi::ConfirmBreak() {
    if (DriverMessageBox(Progress.Handle(), L"Прервать выполнение ?", MB_YESNO | MB_ICONWARNING) ==
        IDYES)
        return true;
    Progress.ClearBreak();
    return false;
}

bool TDialogTransferUi::AskContinue(const std::string& message) {
    return DriverMessageBox(GetActiveWindow(), Cp1251ToWide(message), MB_YESNO | MB_ICONWARNING) ==
           IDYES;
}
