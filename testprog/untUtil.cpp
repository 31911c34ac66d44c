#include "testprog/untUtil.h"

#include "testprog/untTypes.h"
#include "untHolders.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <cwctype>

std::string StrToHex(const std::string& data) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(data.size() * 3);
    for (unsigned char byte : data) {
        text += digits[byte >> 4];
        text += digits[byte & 15];
        text += ' ';
    }
    return text;
}

namespace {
int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1; // lower-case letters separate, like any other character
}
} // namespace

std::string HexToStr(const std::string& text) {
    std::string data;
    int pending = -1;
    for (char c : text) {
        const int digit = HexDigit(c);
        if (digit < 0) {
            if (pending >= 0)
                data += static_cast<char>(pending);
            pending = -1;
        } else if (pending < 0) {
            pending = digit;
        } else {
            data += static_cast<char>(pending * 16 + digit);
            pending = -1;
        }
    }
    if (pending >= 0)
        data += static_cast<char>(pending);
    return data;
}

void CheckCommand(const std::string& text) {
    std::string canonical = StrToHex(HexToStr(text));
    if (!canonical.empty())
        canonical.pop_back();
    if (canonical != text)
        throw EProgramError(L"Неверный формат команды!");
}

int StrToInt(const std::wstring& text) {
    // Delphi-like: optional blanks and sign, decimal digits, nothing after, within 32 bits.
    const wchar_t* start = text.c_str();
    wchar_t* end = nullptr;
    errno = 0;
    const long long value = std::wcstoll(start, &end, 10);
    const bool digits = end != start && std::iswdigit(end[-1]);
    if (!digits || *end != L'\0' || errno == ERANGE || value < INT32_MIN || value > INT32_MAX)
        throw EConvertError(text);
    return static_cast<int>(value);
}

namespace {
const wchar_t NameProperty[] = L"Skavin.ControlName";

std::wstring ClassOf(HWND control) {
    wchar_t name[64] = L"";
    GetClassNameW(control, name, 64);
    return name;
}

LONG_PTR Style(HWND control) {
    return GetWindowLongPtrW(control, GWL_STYLE);
}

bool IsInputEdit(HWND control) {
    return _wcsicmp(ClassOf(control).c_str(), L"Edit") == 0 &&
           !(Style(control) & (ES_READONLY | ES_MULTILINE));
}

bool IsComboBox(HWND control) {
    return _wcsicmp(ClassOf(control).c_str(), L"ComboBox") == 0;
}

bool IsCheckBox(HWND control) {
    if (_wcsicmp(ClassOf(control).c_str(), L"Button") != 0)
        return false;
    const LONG_PTR type = Style(control) & BS_TYPEMASK;
    return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE ||
           type == BS_AUTO3STATE;
}

std::wstring WindowText(HWND control) {
    const int length = GetWindowTextLengthW(control);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(control, &text[0], length + 1)));
    return text;
}

void WriteInteger(HKEY key, const std::wstring& name, int value) {
    const DWORD data = static_cast<DWORD>(value);
    RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                   sizeof data);
}

void WriteString(HKEY key, const std::wstring& name, const std::wstring& value) {
    RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

bool ReadInteger(HKEY key, const std::wstring& name, int& value) {
    DWORD data = 0, size = sizeof data, type = 0;
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data),
                         &size) != ERROR_SUCCESS ||
        type != REG_DWORD)
        return false;
    value = static_cast<int>(data);
    return true;
}

bool ReadString(HKEY key, const std::wstring& name, std::wstring& value) {
    DWORD size = 0, type = 0;
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return false;
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&text[0]),
                         &size) != ERROR_SUCCESS)
        return false;
    text.resize(wcsnlen(text.c_str(), size / sizeof(wchar_t)));
    value = text;
    return true;
}

// A check box set by the program tells its window, as a click would, when its state changes.
void SetCheckBox(HWND control, bool checked) {
    const bool was = SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
    SendMessageW(control, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    if (was != checked)
        SendMessageW(GetParent(control), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), BN_CLICKED),
                     reinterpret_cast<LPARAM>(control));
}

template <typename Visit>
void ForEachNamedChild(HWND container, const std::wstring& prefix, Visit visit) {
    for (HWND child = GetWindow(container, GW_CHILD); child;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (const wchar_t* name = ControlName(child))
            visit(child, prefix + L"." + name);
    }
}
} // namespace

void SetControlName(HWND control, const wchar_t* name) {
    SetPropW(control, NameProperty, const_cast<wchar_t*>(name));
}

const wchar_t* ControlName(HWND control) {
    return static_cast<const wchar_t*>(GetPropW(control, NameProperty));
}

void SaveControls(HKEY key, const std::wstring& prefix, HWND container) {
    ForEachNamedChild(container, prefix, [key](HWND control, const std::wstring& name) {
        SaveControls(key, name, control);
        if (IsInputEdit(control))
            WriteString(key, name, WindowText(control));
        else if (IsComboBox(control))
            WriteInteger(key, name, static_cast<int>(SendMessageW(control, CB_GETCURSEL, 0, 0)));
        else if (IsCheckBox(control))
            WriteInteger(key, name, SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED);
    });
}

void LoadControls(HKEY key, const std::wstring& prefix, HWND container) {
    ForEachNamedChild(container, prefix, [key](HWND control, const std::wstring& name) {
        LoadControls(key, name, control);
        std::wstring text;
        int value = 0;
        if (IsInputEdit(control) && ReadString(key, name, text))
            SetWindowTextW(control, text.c_str());
        else if (IsComboBox(control) && ReadInteger(key, name, value))
            SendMessageW(control, CB_SETCURSEL, static_cast<WPARAM>(value), 0);
        else if (IsCheckBox(control) && ReadInteger(key, name, value))
            SetCheckBox(control, value != 0);
    });
}

void ResetComboBoxes(HWND container) {
    for (HWND child = GetWindow(container, GW_CHILD); child;
         child = GetWindow(child, GW_HWNDNEXT)) {
        ResetComboBoxes(child);
        if (IsComboBox(child))
            SendMessageW(child, CB_SETCURSEL, 0, 0);
    }
}

void SaveParams(HWND form, int pageIndex, const std::wstring& key) {
    TRegKey handle;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE,
                        nullptr, handle.Out(), nullptr) != ERROR_SUCCESS)
        return;
    WriteInteger(handle.Get(), L"PageIndex", pageIndex);
    SaveControls(handle.Get(), ControlName(form), form);
}

int LoadParams(HWND form, const std::wstring& key) {
    int pageIndex = 0;
    TRegKey handle;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, handle.Out()) != ERROR_SUCCESS) {
        ResetComboBoxes(form);
        return pageIndex;
    }
    LoadControls(handle.Get(), ControlName(form), form);
    ReadInteger(handle.Get(), L"PageIndex", pageIndex);
    return pageIndex;
}
