// The progress window of long operations: modal in effect while it shows (the thread's other
// windows are disabled), with a cancel request that the operation reads between steps.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class TfmProgress {
public:
    TfmProgress(); // created hidden
    ~TfmProgress();
    TfmProgress(const TfmProgress&) = delete;
    TfmProgress& operator=(const TfmProgress&) = delete;

    void Start(const std::wstring& description, int maximum);
    void Step(); // also lets the GUI handle what is pending
    void Stop();
    bool BreakRequested() const { return Break; }
    void ClearBreak() { Break = false; } // the user chose to go on after all
    HWND Handle() const { return Window; }

private:
    // As a modal window would: every other top-level window of this thread waits.
    static BOOL CALLBACK DisableOther(HWND window, LPARAM self);
    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND Window = nullptr;
    HWND PreviouslyActive = nullptr;
    std::vector<HWND> Disabled;
    bool Break = false;
};
