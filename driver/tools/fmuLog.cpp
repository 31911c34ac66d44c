#include "fmuLog.h"

#include "untComCall.h"
#include "untDialog.h"
#include "untFileDialog.h"
#include "untToolsRes.h"

namespace {
const wchar_t DefaultLogFile[] =
    L"C:\\Program Files\\Норвик\\Драйверы\\Драйвер варнок-платы\\Trelmo.log";

class TfmLog : public TDialog {
public:
    explicit TfmLog(ITrelmo* driver) : TDialog(IDD_LOG), Driver(driver) {}

    // The settings shown, read before and applied after the dialog runs.
    bool LogOn = false, LogCommands = false, LogMethods = false;
    std::wstring FileName;

    void Load() {
        LogOn = GetBool(Driver, &ITrelmo::get_LogOn);
        FileName = GetString(Driver, &ITrelmo::get_ComLogFile);
        if (FileName.empty())
            FileName = DefaultLogFile;
        LogMethods = GetBool(Driver, &ITrelmo::get_LogMethods);
        LogCommands = GetBool(Driver, &ITrelmo::get_LogCommands);
    }

    void Apply() {
        PutBool(Driver, &ITrelmo::put_LogOn, LogOn);
        PutString(Driver, &ITrelmo::put_ComLogFile, FileName);
        PutBool(Driver, &ITrelmo::put_LogCommands, LogCommands);
        PutBool(Driver, &ITrelmo::put_LogMethods, LogMethods);
    }

protected:
    void OnInit() override {
        SetClientSize(Scaled(327), Scaled(178));
        CenterOnScreen();
        SetGlyph(IDC_LOG_BROWSE, IDI_BROWSE);
        AddHint(IDC_LOG_BROWSE, L"Выбрать файл лога");
        SetChecked(IDC_LOG_ON, LogOn);
        SetText(IDC_LOG_FILE, FileName);
        SetChecked(IDC_LOG_METHODS, LogMethods);
        SetChecked(IDC_LOG_COMMANDS, LogCommands);
        EnableDependents();
    }

    bool OnCommand(int id, int code) override {
        switch (id) {
        case IDC_LOG_ON:
            if (code == BN_CLICKED)
                EnableDependents();
            return true;
        case IDC_LOG_BROWSE:
            Browse();
            return true;
        case IDOK:
            OnClose();
            return true;
        default:
            return false;
        }
    }

    // There is no cancel: every way out keeps what the controls show.
    void OnClose() override {
        LogOn = Checked(IDC_LOG_ON);
        FileName = Text(IDC_LOG_FILE);
        LogCommands = Checked(IDC_LOG_COMMANDS);
        LogMethods = Checked(IDC_LOG_METHODS);
        Close(IDOK);
    }

private:
    void EnableDependents() {
        const bool on = Checked(IDC_LOG_ON);
        for (int id :
             {IDC_LOG_FILE_LABEL, IDC_LOG_BROWSE, IDC_LOG_FILE, IDC_LOG_METHODS, IDC_LOG_COMMANDS})
            Enable(id, on);
    }

    void Browse() {
        TFileQuestion question;
        question.Name = Text(IDC_LOG_FILE);
        if (question.Name.empty())
            question.Name = L"Trelmo.log";
        question.Filter = L"Файлы лога (*.log)\0*.log\0Все файлы (*.*)\0*.*\0";
        question.Extension = L"log";
        question.Title = L"Файл лога";
        question.Flags = OFN_PATHMUSTEXIST;
        std::wstring file;
        if (AskFileName(Handle(), false, question, file))
            SetText(IDC_LOG_FILE, file);
    }

    ITrelmo* Driver;
};
} // namespace

void ShowLogDialog(HWND owner, ITrelmo* driver) {
    TfmLog form(driver);
    form.Load();
    form.ShowModal(owner);
    form.Apply();
}
