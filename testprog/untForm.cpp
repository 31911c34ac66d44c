#include "untForm.h"

#include "untCodePage.h"
#include "testprog/untConst.h"
#include "testprog/untUtil.h"

#include <exception>
#include <vector>

namespace {
HWND MainOwner = nullptr;

const wchar_t GroupProcedureProperty[] = L"Skavin.GroupProcedure";

// A group box that holds controls hands their notifications on to its own parent.
LRESULT CALLBACK GroupProcedure(HWND group, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
        return SendMessageW(GetParent(group), message, wParam, lParam);
    default:
        return CallWindowProcW(reinterpret_cast<WNDPROC>(GetPropW(group, GroupProcedureProperty)),
                               group, message, wParam, lParam);
    }
}
} // namespace

void SetMainWindow(HWND window) {
    MainOwner = window;
}

HWND MainWindow() {
    return MainOwner;
}

void ShowException(const std::exception& error) {
    MessageBoxW(MainOwner, Cp1251ToWide(error.what()).c_str(), AppTitle, MB_OK | MB_ICONERROR);
}

void ShowException() {
    try {
        throw;
    } catch (const std::exception& error) {
        ShowException(error);
    } catch (...) {
        MessageBoxW(MainOwner, L"Неизвестная ошибка", AppTitle, MB_OK | MB_ICONERROR);
    }
}

TForm::TForm(int templateId, const wchar_t* name) : TemplateId(templateId), FormName(name) {}

TForm::~TForm() {
    if (Window)
        DestroyWindow(Window);
}

void TForm::Create(HWND parent) {
    CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(TemplateId), parent, Procedure,
                       reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK TForm::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        reinterpret_cast<TForm*>(lParam)->Window = window;
    }
    auto* form = reinterpret_cast<TForm*>(GetWindowLongPtrW(window, DWLP_USER));
    if (!form)
        return FALSE;
    if (message == WM_NCDESTROY) {
        form->Window = nullptr;
        return FALSE;
    }
    // No exception may cross the system's window procedure: this is the program's default
    // handler for every event.
    try {
        return form->Dispatch(message, wParam, lParam);
    } catch (...) {
        ShowException();
        return TRUE;
    }
}

INT_PTR TForm::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    INT_PTR result = FALSE;
    switch (message) {
    case WM_INITDIALOG:
        SetControlName(Window, FormName);
        OnInit();
        return TRUE;
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam), HIWORD(wParam));
    case WM_NOTIFY:
        return OnNotify(reinterpret_cast<NMHDR*>(lParam));
    case WM_TIMER:
        OnTimer(wParam);
        return TRUE;
    case WM_CLOSE:
        OnClose();
        return TRUE;
    case WM_SIZE:
        OnSize(LOWORD(lParam), HIWORD(lParam));
        return FALSE;
    default:
        return OnMessage(message, wParam, lParam, result) ? result : FALSE;
    }
}

namespace {
struct TSearch {
    int Id;
    HWND Found;
};

BOOL CALLBACK FindControl(HWND child, LPARAM data) {
    auto* search = reinterpret_cast<TSearch*>(data);
    if (GetDlgCtrlID(child) != search->Id)
        return TRUE;
    search->Found = child;
    return FALSE;
}
} // namespace

HWND TForm::Item(int id) const {
    if (HWND direct = GetDlgItem(Window, id))
        return direct;
    TSearch search{id, nullptr};
    EnumChildWindows(Window, FindControl, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

std::wstring TForm::Text(int id) const {
    const int length = GetWindowTextLengthW(Item(id));
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(Item(id), &text[0], length + 1)));
    return text;
}

void TForm::SetText(int id, const std::wstring& text) {
    SetWindowTextW(Item(id), text.c_str());
}

int TForm::IntOf(int id) const {
    return StrToInt(Text(id));
}

bool TForm::Checked(int id) const {
    return SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TForm::SetChecked(int id, bool checked) {
    SendMessageW(Item(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TForm::Enable(int id, bool enabled) {
    EnableWindow(Item(id), enabled);
}

void TForm::Show(int id, bool shown) {
    ShowWindow(Item(id), shown ? SW_SHOW : SW_HIDE);
}

void TForm::Focus(int id) {
    SetFocus(Item(id));
}

void TForm::FocusIfCan(int id) {
    HWND control = Item(id);
    if (control && IsWindowVisible(control) && IsWindowEnabled(control))
        SetFocus(control);
}

void TForm::MakeGroupContainer(int groupId, const wchar_t* name) {
    HWND group = Item(groupId);
    RECT frame{};
    GetWindowRect(group, &frame);
    MapWindowPoints(nullptr, Window, reinterpret_cast<POINT*>(&frame), 2);
    std::vector<HWND> inside;
    for (HWND child = GetWindow(Window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT box{};
        GetWindowRect(child, &box);
        MapWindowPoints(nullptr, Window, reinterpret_cast<POINT*>(&box), 2);
        if (child != group && box.left >= frame.left && box.top >= frame.top &&
            box.right <= frame.right && box.bottom <= frame.bottom)
            inside.push_back(child);
    }
    SetControlName(group, name);
    SetWindowLongPtrW(group, GWL_EXSTYLE,
                      GetWindowLongPtrW(group, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
    SetWindowLongPtrW(group, GWL_STYLE, GetWindowLongPtrW(group, GWL_STYLE) | WS_CLIPCHILDREN);
    SetPropW(group, GroupProcedureProperty,
             reinterpret_cast<HANDLE>(SetWindowLongPtrW(
                 group, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GroupProcedure))));
    for (HWND child : inside) {
        RECT box{};
        GetWindowRect(child, &box);
        MapWindowPoints(nullptr, group, reinterpret_cast<POINT*>(&box), 2);
        SetParent(child, group);
        SetWindowPos(child, HWND_BOTTOM, box.left, box.top, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    }
}

void TForm::UseFixedFont(int id) {
    // One font for the program's life, shared by every report.
    static const HFONT font = CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                          RUSSIAN_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                          DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, L"Courier New");
    SendMessageW(Item(id), WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

void TForm::NameControl(int id, const wchar_t* name) {
    SetControlName(Item(id), name);
}
