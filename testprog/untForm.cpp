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

TForm::TForm(int templateId, const wchar_t* name) : TDialog(templateId), FormName(name) {}

INT_PTR TForm::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    // No exception may cross the system's window procedure: this is the program's default
    // handler for every event.
    try {
        switch (message) {
        case WM_INITDIALOG:
            SetControlName(Handle(), FormName);
            break;
        case WM_TIMER:
            OnTimer(wParam);
            return TRUE;
        case WM_SIZE:
            OnSize(LOWORD(lParam), HIWORD(lParam));
            return FALSE;
        default:
            break;
        }
        return TDialog::Dispatch(message, wParam, lParam);
    } catch (...) {
        ShowException();
        return TRUE;
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
    if (HWND direct = TDialog::Item(id))
        return direct;
    TSearch search{id, nullptr};
    EnumChildWindows(Handle(), FindControl, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

int TForm::IntOf(int id) const {
    return StrToInt(Text(id));
}

void TForm::MakeGroupContainer(int groupId, const wchar_t* name) {
    HWND group = Item(groupId);
    RECT frame{};
    GetWindowRect(group, &frame);
    MapWindowPoints(nullptr, Handle(), reinterpret_cast<POINT*>(&frame), 2);
    std::vector<HWND> inside;
    for (HWND child = GetWindow(Handle(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT box{};
        GetWindowRect(child, &box);
        MapWindowPoints(nullptr, Handle(), reinterpret_cast<POINT*>(&box), 2);
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

void TForm::NameControl(int id, const wchar_t* name) {
    SetControlName(Item(id), name);
}
