// The Skavin program worked from outside: its process and windows found, controls set and read
// and buttons pressed with window messages, the registry, and the virtual board's control line
// (trelmo-board --control-tty) reached as a second COM port. Shared by the program's tests.
#pragma once

#include "guihand.h"
#include "untSkavinRes.h"
#include "untWidgetsRes.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <functional>
#include <map>
#include <regex>
#include <string>
#include <vector>

namespace SkavinRemote {
int BoardPort = 0, ControlPort = 0;
inline std::wstring Folder;

inline constexpr wchar_t Title[] = L"Тест драйвера варнок-платы";
inline constexpr wchar_t StatusCaption[] = L"Опрос состояния";
inline constexpr wchar_t SkavinKey[] = L"SOFTWARE\\Norvik\\Tests\\Trelmo\\Param";
inline constexpr wchar_t DriverKey[] = L"Software\\Norvik\\Trelmo\\Trelmo\\Param";
inline constexpr wchar_t NoError[] = L"(0) Ошибок нет";

#ifdef _WIN64
inline constexpr wchar_t SystemFolder[] = L"C:\\windows\\system32";
#else
inline constexpr wchar_t SystemFolder[] = L"C:\\windows\\syswow64";
#endif

// The running program, whose windows each screenshot checks.
inline DWORD ShownProcess = 0;

// The program's windows measured from here. Wine does not answer WM_GETFONT across processes, so
// the fonts are the ones the program gives: its dialogs' controls the templates' font, a message
// box's the message font. The About box's name line sizes its font to fit itself; its links are
// the dialog font underlined. (The fixed-pitch reports are multi-line boxes, which scroll.)
inline HFONT ProgramFont(HWND control) {
    if (GetDlgItem(GetAncestor(control, GA_ROOT), 0xFFFF))
        return guifit::MessageFont();
    return GetDlgCtrlID(control) == IDC_ABOUT_NAME ? guifit::NotMeasured : guifit::DialogFont();
}

// Every window of the program on screen lays out at this DPI.
inline void ExpectLayoutHolds(const char* label) {
    guihand::ExpectLayoutHolds(label, guihand::ShownWindowsOf(ShownProcess), ProgramFont, false);
}

// The program paints in its own time: it gets a moment to catch up first.
inline void Screenshot(const char* label) {
    Sleep(300);
    ExpectLayoutHolds(label);
    std::printf("SCREENSHOT %s\n", label);
    std::fflush(stdout);
    char c = 0;
    DWORD got = 0;
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    while (ReadFile(input, &c, 1, &got, nullptr) && got == 1 && c != '\n') {
    }
}

inline bool WaitUntil(const std::function<bool()>& done, DWORD ms) {
    for (const DWORD start = GetTickCount(); !done(); Sleep(10))
        if (GetTickCount() - start > ms)
            return false;
    return true;
}

inline std::string Narrow(const std::wstring& text) {
    return guifit::Utf8(text);
}

// The request frame of a payload, as the result field "Передано" shows it.
inline bool IsFrame(const std::wstring& text, const std::string& payload) {
    return std::regex_match(
        Narrow(text), std::regex("02 [0-9A-F]{2} 00 [0-9A-F]{2} " + payload + "[0-9A-F]{2} "));
}

inline std::vector<std::wstring> Lines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    lines.push_back(text.substr(start));
    return lines;
}

inline DWORD Run(std::wstring commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return 0xFFFFFFFF;
    DWORD code = 0xFFFFFFFF;
    WaitForSingleObject(process.hProcess, 60000);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

inline DWORD RegSvr32(bool unregister) {
    return Run(std::wstring(SystemFolder) + L"\\regsvr32.exe /s " + (unregister ? L"/u " : L"") +
               Folder + L"\\Trelmo.dll");
}

// ---------------------------------------------------------------- registry

inline void PutNumber(const wchar_t* key, const wchar_t* name, DWORD value) {
    RegSetKeyValueW(HKEY_CURRENT_USER, key, name, REG_DWORD, &value, sizeof value);
}

inline void PutText(const wchar_t* key, const wchar_t* name, const std::wstring& value) {
    RegSetKeyValueW(HKEY_CURRENT_USER, key, name, REG_SZ, value.c_str(),
                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

// The key's values as text, numbers in decimal.
inline std::map<std::wstring, std::wstring> Values(const wchar_t* path) {
    std::map<std::wstring, std::wstring> values;
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return values;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        BYTE data[2048] = {};
        DWORD nameLength = 256, size = sizeof data - 2, type = 0;
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS)
            break;
        values[name] = type == REG_DWORD ? std::to_wstring(*reinterpret_cast<const DWORD*>(data))
                                         : std::wstring(reinterpret_cast<const wchar_t*>(data));
    }
    RegCloseKey(key);
    return values;
}

// A key's values as they were, to put back what the test changed for later tests.
class TKeySnapshot {
public:
    explicit TKeySnapshot(const wchar_t* path) : Path(path) {
        HKEY key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return;
        for (DWORD i = 0;; ++i) {
            wchar_t name[256];
            std::vector<BYTE> data(4096);
            DWORD nameLength = 256, size = static_cast<DWORD>(data.size()), type = 0;
            if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data.data(), &size) !=
                ERROR_SUCCESS)
                break;
            data.resize(size);
            Saved[name] = {type, data};
        }
        RegCloseKey(key);
    }

    void Restore() const {
        RegDeleteTreeW(HKEY_CURRENT_USER, Path);
        for (const auto& value : Saved)
            RegSetKeyValueW(HKEY_CURRENT_USER, Path, value.first.c_str(), value.second.first,
                            value.second.second.data(),
                            static_cast<DWORD>(value.second.second.size()));
    }

private:
    const wchar_t* Path;
    std::map<std::wstring, std::pair<DWORD, std::vector<BYTE>>> Saved;
};

// ---------------------------------------------------------------- the board's control line

using guihand::TBoardControl;

// ---------------------------------------------------------------- the program, from outside

inline std::wstring Text(HWND window) {
    wchar_t text[8192] = L"";
    DWORD_PTR length = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, 8192, reinterpret_cast<LPARAM>(text), SMTO_NORMAL,
                        20000, &length);
    return text;
}

struct TFind {
    int Id;
    HWND Found;
};

inline BOOL CALLBACK FindChild(HWND window, LPARAM data) {
    auto* find = reinterpret_cast<TFind*>(data);
    if (GetDlgCtrlID(window) == find->Id) {
        find->Found = window;
        return FALSE;
    }
    return TRUE;
}

struct TTopFind {
    DWORD Process;
    std::wstring Caption;
    HWND Except;
    HWND Found;
};

inline BOOL CALLBACK FindTop(HWND window, LPARAM data) {
    auto* find = reinterpret_cast<TTopFind*>(data);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == find->Process && window != find->Except && IsWindowVisible(window) &&
        Text(window) == find->Caption) {
        find->Found = window;
        return FALSE;
    }
    return TRUE;
}

class TSkavin {
public:
    ~TSkavin() {
        if (Process.hProcess) {
            TerminateProcess(Process.hProcess, 99);
            CloseHandle(Process.hProcess);
            CloseHandle(Process.hThread);
        }
    }

    // Starts the program and waits for its main window.
    bool Start(const std::wstring& arguments = L"") {
        std::wstring line =
            L"\"" + Folder + L"\\Skavin.exe\"" + (arguments.empty() ? L"" : L" " + arguments);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &Process))
            return false;
        ShownProcess = Process.dwProcessId;
        Main = WaitForWindow(Title, nullptr, 30000);
        return Main != nullptr;
    }

    // Closes the main window as its close box does; the exit code, or -1 on a time-out.
    long Close() {
        PostMessageW(Main, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(Process.hProcess, 30000) != WAIT_OBJECT_0)
            return -1;
        DWORD code = 0;
        GetExitCodeProcess(Process.hProcess, &code);
        CloseHandle(Process.hProcess);
        CloseHandle(Process.hThread);
        Process = PROCESS_INFORMATION{};
        return static_cast<long>(code);
    }

    HWND WaitForWindow(const std::wstring& caption, HWND except, DWORD ms) const {
        TTopFind find{Process.dwProcessId, caption, except, nullptr};
        WaitUntil(
            [&] {
                EnumWindows(FindTop, reinterpret_cast<LPARAM>(&find));
                return find.Found != nullptr;
            },
            ms);
        return find.Found;
    }

    // A message box of the program: its text, after which it is answered with `button`.
    std::wstring TakeMessageBox(DWORD ms = 20000, int button = IDOK,
                                const char* screenshot = nullptr) const {
        HWND box = WaitForWindow(Title, Main, ms);
        if (!box)
            return L"(no message box)";
        const std::wstring text = Text(GetDlgItem(box, 0xFFFF));
        if (screenshot)
            Screenshot(screenshot);
        PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(button), 0);
        WaitUntil([&] { return !IsWindow(box); }, 10000);
        return text;
    }

    // The program's common file dialog as it came up, then the path typed into it and
    // confirmed.
    struct TFileDialog {
        std::wstring Caption;
        std::vector<std::wstring> Filters; // the file types offered, in order
    };
    TFileDialog ChooseFile(const std::wstring& path, const char* screenshot = nullptr) const {
        HWND dialog = nullptr, name = nullptr;
        WaitUntil(
            [&] {
                dialog = GetForegroundWindow();
                DWORD process = 0;
                GetWindowThreadProcessId(dialog, &process);
                if (process != Process.dwProcessId)
                    return false;
                name = Control(0x47C, dialog); // cmb13 of an Explorer-style dialog
                if (!name)
                    name = Control(0x480, dialog); // edt1
                return name != nullptr;
            },
            20000);
        EXPECT_TRUE(name) << "no file dialog";
        if (!name)
            return {};
        TFileDialog shown{Text(dialog), {}};
        HWND types = Control(0x470, dialog); // cmb1
        const LRESULT count = SendMessageW(types, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            wchar_t type[256] = L"";
            SendMessageW(types, CB_GETLBTEXT, static_cast<WPARAM>(i),
                         reinterpret_cast<LPARAM>(type));
            shown.Filters.push_back(type);
        }
        if (screenshot)
            Screenshot(screenshot);
        SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
        EXPECT_TRUE(
            WaitUntil([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, 10000));
        return shown;
    }

    HWND Control(int id, HWND top = nullptr) const {
        TFind find{id, nullptr};
        EnumChildWindows(top ? top : Main, FindChild, reinterpret_cast<LPARAM>(&find));
        return find.Found;
    }
    std::wstring TextOf(int id, HWND top = nullptr) const { return Text(Control(id, top)); }
    void SetTextOf(int id, const std::wstring& text) const {
        SendMessageW(Control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    // Presses a button and returns when its handler has ended.
    void Click(int id, HWND top = nullptr) const {
        HWND button = Control(id, top);
        ASSERT_TRUE(button) << "no control " << id;
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_NORMAL, 60000, &ignored);
    }
    // Presses a button whose handler runs on (a loop, a message box).
    void Press(int id) const { PostMessageW(Control(id), BM_CLICK, 0, 0); }
    bool Enabled(int id) const { return IsWindowEnabled(Control(id)) != FALSE; }
    bool Visible(int id) const { return IsWindowVisible(Control(id)) != FALSE; }
    bool Ticked(int id, HWND top = nullptr) const {
        return SendMessageW(Control(id, top), BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    int Selected(int id) const {
        return static_cast<int>(SendMessageW(Control(id), CB_GETCURSEL, 0, 0));
    }

    // As a click on the page list.
    void ShowPage(int index) const {
        HWND list = Control(IDC_MAIN_LIST);
        SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
        SendMessageW(Main, WM_COMMAND, MAKEWPARAM(IDC_MAIN_LIST, LBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(list));
    }
    int ListIndex() const {
        return static_cast<int>(SendMessageW(Control(IDC_MAIN_LIST), LB_GETCURSEL, 0, 0));
    }
    std::wstring ListItem(int index) const {
        wchar_t text[128] = L"";
        SendMessageW(Control(IDC_MAIN_LIST), LB_GETTEXT, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(text));
        return text;
    }
    std::wstring Result() const { return TextOf(IDC_MAIN_RESULT); }

    HWND Main = nullptr;
    PROCESS_INFORMATION Process{};
};
} // namespace SkavinRemote
