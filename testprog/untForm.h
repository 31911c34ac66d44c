// The windows of the test program: modeless dialogs from the program's templates on the
// shared dialog base, with what the program's windows add to it: the names under which
// their controls are saved, group boxes that hold controls, timers, sizing, and the
// program's default handling of an exception that ends an event handler.
#pragma once

#include "untDialog.h"

#include <windows.h>

#include <exception>
#include <string>

class TForm : public TDialog {
public:
    TForm(int templateId, const wchar_t* name);

    const wchar_t* Name() const { return FormName; }

protected:
    virtual void OnTimer(UINT_PTR id) { (void)id; }
    virtual void OnSize(int width, int height) {
        (void)width;
        (void)height;
    }
    // A window of the program goes only as it says.
    void OnClose() override {}

    // Names the window for its controls' saving and guards every handler.
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam) override;
    // A control of the window, also one inside a group made a container.
    HWND Item(int id) const override;
    // The decimal integer in a control; the conversion error when it holds none.
    int IntOf(int id) const;
    // The name a control is saved under in the registry (untUtil's SaveControls); a
    // literal that outlives the window.
    void NameControl(int id, const wchar_t* name);
    // Makes a group box the parent of the controls that lie inside it, as a panel is: they are
    // then saved under the group's name ("fmWDTimer.gbTimerReset.chbAutoStart") and are not
    // the page's own buttons. Their notifications still reach this window.
    void MakeGroupContainer(int groupId, const wchar_t* name);

private:
    const wchar_t* FormName;
};

// The program's default handler: a message box with the failure's text, owned by the main
// window, under the application's title.
void ShowException(const std::exception& error);
void ShowException();
// The window that owns the program's message boxes.
void SetMainWindow(HWND window);
HWND MainWindow();
