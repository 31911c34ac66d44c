// The windows of the test program: modeless dialogs from the program's templates, with the
// control helpers they share, the names under which their controls are saved, and the
// program's default handling of an exception that ends an event handler.
#pragma once

#include <windows.h>

#include <string>

class TForm {
public:
    TForm(int templateId, const wchar_t* name);
    virtual ~TForm();
    TForm(const TForm&) = delete;
    TForm& operator=(const TForm&) = delete;

    // Creates the window, hidden unless its template says otherwise.
    void Create(HWND parent);
    HWND Handle() const { return Window; }
    const wchar_t* Name() const { return FormName; }

protected:
    virtual void OnInit() {}
    // A control's notification; true when handled.
    virtual bool OnCommand(int id, int code) {
        (void)id;
        (void)code;
        return false;
    }
    virtual bool OnNotify(NMHDR* header) {
        (void)header;
        return false;
    }
    virtual void OnTimer(UINT_PTR id) { (void)id; }
    virtual void OnClose() {}
    virtual void OnSize(int width, int height) {
        (void)width;
        (void)height;
    }
    // Any other message; true when handled, with the dialog's result in `result`.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
        (void)message;
        (void)wParam;
        (void)lParam;
        (void)result;
        return false;
    }

    // A control of the window, also one inside a group made a container.
    HWND Item(int id) const;
    std::wstring Text(int id) const;
    void SetText(int id, const std::wstring& text);
    // The decimal integer in a control; the conversion error when it holds none.
    int IntOf(int id) const;
    bool Checked(int id) const;
    void SetChecked(int id, bool checked);
    void Enable(int id, bool enabled);
    void Show(int id, bool shown);
    void Focus(int id);
    // Gives the focus to a control when it can take it (visible and enabled).
    void FocusIfCan(int id);
    // The name a control is saved under in the registry (untUtil's SaveControls); a
    // literal that outlives the window.
    void NameControl(int id, const wchar_t* name);
    // Makes a group box the parent of the controls that lie inside it, as a panel is: they are
    // then saved under the group's name ("fmWDTimer.gbTimerReset.chbAutoStart") and are not
    // the page's own buttons. Their notifications still reach this window.
    void MakeGroupContainer(int groupId, const wchar_t* name);
    // A fixed-pitch font, for reports whose columns must line up.
    void UseFixedFont(int id);

private:
    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    int TemplateId;
    const wchar_t* FormName;
    HWND Window = nullptr;
};

// The program's default handler: a message box with the failure's text, owned by the main
// window, under the application's title.
void ShowException(const std::exception& error);
void ShowException();
// The window that owns the program's message boxes.
void SetMainWindow(HWND window);
HWND MainWindow();
