// The small layer every dialog of the library and every window of Skavin stands on: a modal
// or modeless dialog from a template in the module's resources, with common controls 6
// through the library's manifest, a few control helpers and the driver's message box.
#pragma once

#include "untDpi.h"

#include <windows.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

class TDialog {
public:
    explicit TDialog(int templateId);
    virtual ~TDialog();
    TDialog(const TDialog&) = delete;
    TDialog& operator=(const TDialog&) = delete;

    // Shows the dialog modally, owned by `owner`; the value given to Close.
    INT_PTR ShowModal(HWND owner);
    // Creates the dialog modeless: a child of `parent` when the template has WS_CHILD.
    // DestroyWindow ends it; so does the object's end, when the window is still there.
    HWND Create(HWND parent);
    HWND Handle() const { return Window; }

protected:
    virtual void OnInit() {}
    // True when handled.
    virtual bool OnCommand(int id, int code) {
        (void)id;
        (void)code;
        return false;
    }
    virtual bool OnNotify(NMHDR* header) {
        (void)header;
        return false;
    }
    // Any other message; true when handled, with the dialog's result in `result`.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
        (void)message;
        (void)wParam;
        (void)lParam;
        (void)result;
        return false;
    }
    // The close box and Esc; closes with IDCANCEL unless overridden.
    virtual void OnClose() { Close(IDCANCEL); }

    // Hands the messages to the handlers above; a window that takes some first, or guards
    // the handlers, overrides it and calls it.
    virtual INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    void Close(INT_PTR result) { EndDialog(Window, result); }
    // The control the helpers below act on; a window whose controls do not all lie directly
    // on it looks further.
    virtual HWND Item(int id) const { return GetDlgItem(Window, id); }
    std::wstring Text(int id) const;
    void SetText(int id, const std::wstring& text);
    bool Checked(int id) const;
    void SetChecked(int id, bool checked);
    void Enable(int id, bool enabled);
    void Show(int id, bool shown);
    void Focus(int id);
    // Gives the focus to a control when it can take it (visible and enabled).
    void FocusIfCan(int id);
    // A fixed-pitch font, for reports whose columns must line up.
    void UseFixedFont(int id);
    void SetClientSize(int width, int height); // pixels
    void CenterOnScreen();
    // The module's icon `iconId` on a button, a small icon's size at the screen's DPI: alone on
    // a BS_ICON button (its window text stays its name for screen readers), else left of the
    // caption with a gap.
    void SetGlyph(int id, int iconId);
    // A tooltip for the control.
    void AddHint(int id, const wchar_t* text);

private:
    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    struct TGlyphs;
    int TemplateId;
    HWND Window = nullptr;
    HWND Hints = nullptr;
    std::unique_ptr<TGlyphs> Glyphs; // live as long as the buttons that show them
};

// A dialog the user may make larger, never smaller than it opens, laid out again on every change
// of size; with the pieces of layout its list dialogs share: a control beside a column of
// buttons on the right.
class TSizableDialog : public TDialog {
public:
    // The minimum outer size in pixels, for a caption of the height the layout was made for.
    TSizableDialog(int templateId, int minWidth, int minHeight);

protected:
    const int Margin, ButtonHeight, Gap;

    virtual void Layout() = 0;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

    // For OnInit: the minimum size, taller by what a taller caption takes, centred.
    void OpenAtMinimumSize();
    // `control` fills the client area but for a margin and a column of buttons `buttonWidth`
    // wide on the right; the column's left edge.
    int PlaceBesideButtons(HWND control, int buttonWidth);
    // The buttons one below the other from `top`; the top after the last one.
    int StackButtons(int left, int top, int width, std::initializer_list<int> ids);
    int ClientHeight() const;

private:
    SIZE MinSize;
};

// A message box with the driver's caption, "Драйвер варнок-платы".
int DriverMessageBox(HWND owner, const std::wstring& text, UINT flags);
// Lets the GUI thread handle what is pending, between two steps of a long operation.
void ProcessMessages();
// The library's activation context, with common controls 6, active for the object's life.
class TControlsContext {
public:
    TControlsContext();
    ~TControlsContext();
    TControlsContext(const TControlsContext&) = delete;
    TControlsContext& operator=(const TControlsContext&) = delete;

private:
    ULONG_PTR Cookie = 0;
    bool Active = false;
};
