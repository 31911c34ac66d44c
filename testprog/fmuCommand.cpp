#include "fmuCommand.h"

#include "untComCall.h"
#include "untCodePage.h"
#include "untSkavinRes.h"
#include "testprog/untUtil.h"

#include <cwctype>

TfmCommand::TfmCommand() : TPage(IDD_COMMAND, L"fmCommand", L"Команда") {}

void TfmCommand::OnInit() {
    SetText(IDC_COMMAND_TEXT, L"11");
    NameControl(IDC_COMMAND_TEXT, L"edtCommand");
}

bool TfmCommand::OnCommand(int id, int code) {
    if (id == IDC_COMMAND_EXECUTE && code == BN_CLICKED) {
        btnExecuteClick();
        return true;
    }
    return false;
}

// A rejected text sends nothing and leaves the result fields as they are: only a command
// sent shows, before the button comes back.
void TfmCommand::btnExecuteClick() {
    Operate({IDC_COMMAND_EXECUTE, TResultShown::Never}, [this] {
        std::wstring command = Text(IDC_COMMAND_TEXT);
        for (wchar_t& c : command)
            c = static_cast<wchar_t>(std::towupper(c));
        CheckCommand(WideToCp1251(command));
        ITrelmo* driver = Driver();
        PutString(driver, &ITrelmo::put_CommandHex, command);
        Call(driver, &ITrelmo::ExecuteCommand);
        ExecuteDone();
    });
}
