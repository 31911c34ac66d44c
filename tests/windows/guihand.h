// Working a modal dialog of the driver from a second thread (the "hand") of the same program
// while the main thread runs the driver method: finding windows, reading and setting controls
// with window messages, answering message boxes, screenshots; the files the dialogs read and
// write; and the virtual board's control line through a COM port. Header-only, for the GUI
// tests.
#pragma once

#include "guifit.h"

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace guihand {

inline DWORD& MainThread() {
    static DWORD thread = 0;
    return thread;
}

inline std::string Utf8(const std::wstring& text) {
    if (text.empty())
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &result[0], size,
                        nullptr, nullptr);
    return result;
}

inline double Now() {
    LARGE_INTEGER frequency, t;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

inline bool WaitUntil(const std::function<bool()>& done, DWORD ms) {
    for (const double end = Now() + ms; !done();) {
        if (Now() > end)
            return false;
        Sleep(5);
    }
    return true;
}

// Handles what is pending for this thread's windows.
inline void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// Prints "SCREENSHOT label" and waits for the runner's line (or the end of the input).
inline void WaitForScreenshot(const char* label) {
    std::printf("SCREENSHOT %s\n", label);
    std::fflush(stdout);
    char c = 0;
    DWORD got = 0;
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    while (ReadFile(input, &c, 1, &got, nullptr) && got == 1 && c != '\n') {
    }
}

inline BOOL CALLBACK CollectShownWindow(HWND window, LPARAM param) {
    auto& search = *reinterpret_cast<std::pair<DWORD, std::vector<HWND>>*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == search.first && IsWindowVisible(window))
        search.second.push_back(window);
    return TRUE;
}

// The windows a program has on screen.
inline std::vector<HWND> ShownWindowsOf(DWORD process) {
    std::pair<DWORD, std::vector<HWND>> search{process, {}};
    EnumWindows(CollectShownWindow, reinterpret_cast<LPARAM>(&search));
    return search.second;
}

// What the picture shows must hold at this DPI: `windows`, their texts measured in `fontOf`.
inline void ExpectLayoutHolds(const char* label, const std::vector<HWND>& windows,
                              const guifit::TFontOf& fontOf, bool ownProcess) {
    // A DPI the runner set (run-wine-test --dpi) that did not reach the program would make
    // the test of that DPI one more test at 96.
    if (const char* wanted = std::getenv("TRELMO_DPI")) {
        EXPECT_EQ(std::atoi(wanted), guifit::ScreenDpi()) << "the desktop's DPI";
    }
    for (HWND top : windows) {
        const std::vector<std::string> problems = guifit::TChecker(fontOf, ownProcess).Check(top);
        EXPECT_TRUE(problems.empty()) << "the layout of \"" << label << "\" at "
                                      << guifit::ScreenDpi() << " DPI:" << guifit::Describe(problems);
    }
}

// `window`, or every window of this program.
inline void ExpectLayoutHolds(const char* label, HWND window = nullptr) {
    ExpectLayoutHolds(label,
                      window ? std::vector<HWND>{window} : ShownWindowsOf(GetCurrentProcessId()),
                      guifit::OwnFont, true);
}

// `window` is painted completely first: a dialog that has just come up may still be drawing.
inline void Screenshot(const char* label, HWND window = nullptr) {
    if (window) {
        RedrawWindow(window, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        Sleep(150);
    }
    ExpectLayoutHolds(label, window);
    WaitForScreenshot(label);
}

using guifit::Scaled;

// The face a window's font is drawn with (the system's pick for its LOGFONT), and whether it
// is bold.
inline std::wstring RenderedFace(HWND window) {
    HDC dc = GetDC(window);
    HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(window, WM_GETFONT, 0, 0)));
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(dc, LF_FACESIZE, face);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    return std::wstring(face) + (metrics.tmWeight >= FW_BOLD ? L" bold" : L"");
}

inline std::wstring Text(HWND window) {
    const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]))));
    return text;
}

inline void SetText(HWND window, const std::wstring& text) {
    SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

inline std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

// Enumeration callbacks are stdcall: lambdas would not convert on i686.
inline BOOL CALLBACK MatchId(HWND child, LPARAM param) {
    auto& search = *reinterpret_cast<std::pair<int, HWND>*>(param);
    if (GetDlgCtrlID(child) != search.first)
        return TRUE;
    search.second = child;
    return FALSE;
}

inline BOOL CALLBACK MatchClass(HWND child, LPARAM param) {
    auto& search = *reinterpret_cast<std::pair<const wchar_t*, HWND>*>(param);
    if (_wcsicmp(ClassOf(child).c_str(), search.first) != 0)
        return TRUE;
    search.second = child;
    return FALSE;
}

inline BOOL CALLBACK CollectDialog(HWND window, LPARAM param) {
    if (IsWindowVisible(window) && ClassOf(window) == L"#32770")
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
    return TRUE;
}

inline HWND Child(HWND dialog, int id) {
    std::pair<int, HWND> search{id, nullptr};
    EnumChildWindows(dialog, MatchId, reinterpret_cast<LPARAM>(&search));
    return search.second;
}

inline HWND ChildOfClass(HWND parent, const wchar_t* kind) {
    std::pair<const wchar_t*, HWND> search{kind, nullptr};
    EnumChildWindows(parent, MatchClass, reinterpret_cast<LPARAM>(&search));
    return search.second;
}

// The visible dialogs of the main thread.
inline std::vector<HWND> OpenDialogs() {
    std::vector<HWND> dialogs;
    EnumThreadWindows(MainThread(), CollectDialog, reinterpret_cast<LPARAM>(&dialogs));
    return dialogs;
}

// A visible dialog of the main thread with this caption.
inline HWND FindDialog(const wchar_t* caption) {
    for (HWND window : OpenDialogs())
        if (Text(window) == caption)
            return window;
    return nullptr;
}

inline HWND WaitDialog(const wchar_t* caption, DWORD ms = 15000) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindDialog(caption)) != nullptr; }, ms);
    if (!found)
        ADD_FAILURE() << "no dialog \"" << Utf8(caption) << "\" within " << ms << " ms";
    return found;
}

// A visible dialog owned by `owner` whose caption is none of `others`.
inline HWND WaitOwnedDialog(HWND owner, std::vector<std::wstring> others, DWORD ms = 15000) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : OpenDialogs()) {
                bool other = false;
                for (const std::wstring& caption : others)
                    other = other || Text(window) == caption;
                if (GetWindow(window, GW_OWNER) == owner && !other) {
                    found = window;
                    return true;
                }
            }
            return false;
        },
        ms);
    if (!found)
        ADD_FAILURE() << "no dialog owned by \"" << Utf8(Text(owner)) << "\" within " << ms
                      << " ms";
    return found;
}

inline std::wstring TextOf(HWND parent, int id) {
    return Text(Child(parent, id));
}

inline void SetTextOf(HWND parent, int id, const std::wstring& text) {
    SetText(Child(parent, id), text);
}

inline bool Checked(HWND dialog, int id) {
    return SendMessageW(Child(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

inline bool Enabled(HWND dialog, int id) {
    return IsWindowEnabled(Child(dialog, id)) != FALSE;
}

inline bool Visible(HWND dialog, int id) {
    return IsWindowVisible(Child(dialog, id)) != FALSE;
}

inline SIZE ClientSize(HWND window) {
    RECT box{};
    GetClientRect(window, &box);
    return {box.right, box.bottom};
}

inline void ExpectClientSize(HWND window, LONG width, LONG height) {
    const SIZE size = ClientSize(window);
    EXPECT_EQ(width, size.cx);
    EXPECT_EQ(height, size.cy);
}

inline SIZE WindowSize(HWND window) {
    RECT box{};
    GetWindowRect(window, &box);
    return {box.right - box.left, box.bottom - box.top};
}

// Sent: returns when the button's handler has.
inline void Click(HWND dialog, int id) {
    HWND button = Child(dialog, id);
    ASSERT_TRUE(button) << "no control " << id;
    SendMessageW(button, BM_CLICK, 0, 0);
}

// Posted: for a handler that runs long or opens something modal.
inline void Press(HWND dialog, int id) {
    HWND button = Child(dialog, id);
    ASSERT_TRUE(button) << "no control " << id;
    PostMessageW(button, BM_CLICK, 0, 0);
}

// The close box of the caption.
inline void CloseBox(HWND dialog) {
    PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
}

const int MessageText = 0xFFFF; // the text of a message box

// A message box with this caption: its text, after which `answer` closes it.
inline std::wstring AnswerBox(const wchar_t* caption, int answer,
                              const char* screenshot = nullptr) {
    HWND box = WaitDialog(caption);
    if (!box)
        return L"(no message box)";
    const std::wstring text = Text(Child(box, MessageText));
    if (screenshot)
        Screenshot(screenshot, box);
    Click(box, answer);
    WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); }, 5000);
    return text;
}

// Runs `body` on a second thread while the main thread sits in a modal dialog. A dialog the
// body leaves open is a failure and is closed, so that the test fails instead of hanging.
class THand {
public:
    explicit THand(std::function<void()> body)
        : Thread([body] {
              body();
              CloseLeftovers();
          }) {}
    ~THand() { Thread.join(); }
    THand(const THand&) = delete;
    THand& operator=(const THand&) = delete;

private:
    static void CloseLeftovers() {
        if (WaitUntil([] { return OpenDialogs().empty(); }, 3000))
            return;
        for (int round = 0; round < 20 && !OpenDialogs().empty(); ++round) {
            for (HWND window : OpenDialogs()) {
                ADD_FAILURE() << "left open: \"" << Utf8(Text(window)) << "\"";
                for (int id : {IDNO, IDCANCEL, IDOK})
                    if (HWND button = Child(window, id)) {
                        PostMessageW(button, BM_CLICK, 0, 0);
                        break;
                    }
                PostMessageW(window, WM_CLOSE, 0, 0);
            }
            Sleep(500);
        }
    }

    std::thread Thread;
};

// A report-style list view of another thread's dialog, read and set by messages.
class TList {
public:
    explicit TList(HWND list) : List(list) {}
    int Rows() const { return static_cast<int>(SendMessageW(List, LVM_GETITEMCOUNT, 0, 0)); }
    std::wstring Cell(int row, int column) const {
        wchar_t text[256] = {};
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = text;
        item.cchTextMax = 256;
        SendMessageW(List, LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                     reinterpret_cast<LPARAM>(&item));
        return text;
    }
    UINT State(int row, UINT mask) const {
        return static_cast<UINT>(
            SendMessageW(List, LVM_GETITEMSTATE, static_cast<WPARAM>(row), mask));
    }
    void SetState(int row, UINT state, UINT mask) const {
        LVITEMW item{};
        item.state = state;
        item.stateMask = mask;
        SendMessageW(List, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                     reinterpret_cast<LPARAM>(&item));
    }
    bool Checked(int row) const {
        return State(row, LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2);
    }
    void SetChecked(int row, bool checked) const {
        SetState(row, INDEXTOSTATEIMAGEMASK(checked ? 2 : 1), LVIS_STATEIMAGEMASK);
    }
    void Select(int row) const {
        SetState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    }
    int Selected() const {
        return static_cast<int>(
            SendMessageW(List, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    }

private:
    HWND List;
};

// A top-level window of the main thread, to own the dialogs; active once made.
class TOwnerWindow {
public:
    TOwnerWindow() {
        static const ATOM registered = [] {
            WNDCLASSW kind{};
            kind.lpfnWndProc = DefWindowProcW;
            kind.hInstance = GetModuleHandleW(nullptr);
            kind.lpszClassName = L"GuiHandOwner";
            kind.hbrBackground = GetSysColorBrush(COLOR_APPWORKSPACE);
            return RegisterClassW(&kind);
        }();
        (void)registered;
        Window = CreateWindowExW(0, L"GuiHandOwner", L"Владелец", WS_OVERLAPPEDWINDOW, 20, 20, 300,
                                 200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ShowWindow(Window, SW_SHOW);
        SetActiveWindow(Window);
        Pump();
    }
    ~TOwnerWindow() { DestroyWindow(Window); }
    TOwnerWindow(const TOwnerWindow&) = delete;
    TOwnerWindow& operator=(const TOwnerWindow&) = delete;
    HWND Handle() const { return Window; }

private:
    HWND Window = nullptr;
};

// ---------------------------------------------------------------- files

inline std::wstring TempPath(const std::wstring& name) {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    return folder + name;
}

inline bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok =
        bytes.empty() ||
        (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size());
    CloseHandle(file);
    return ok;
}

// Also a file the driver still has open, as its log.
inline std::string ReadFileBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    std::string data;
    if (file == INVALID_HANDLE_VALUE)
        return data;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        data.append(buffer, got);
    CloseHandle(file);
    return data;
}

// ---------------------------------------------------------------- the board's control line

// The virtual board's control commands, through the serial port its control pty is mapped to.
class TBoardControl {
public:
    ~TBoardControl() {
        if (Port != INVALID_HANDLE_VALUE)
            CloseHandle(Port);
    }

    bool Open(int number) {
        const std::wstring name = L"\\\\.\\COM" + std::to_wstring(number);
        Port = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                           nullptr);
        if (Port == INVALID_HANDLE_VALUE)
            return false;
        DCB line{};
        line.DCBlength = sizeof line;
        GetCommState(Port, &line);
        line.BaudRate = CBR_115200;
        line.ByteSize = 8;
        line.Parity = NOPARITY;
        line.StopBits = ONESTOPBIT;
        line.fBinary = TRUE;
        line.fOutxCtsFlow = line.fOutxDsrFlow = line.fOutX = line.fInX = FALSE;
        line.fDtrControl = DTR_CONTROL_DISABLE;
        line.fRtsControl = RTS_CONTROL_DISABLE;
        COMMTIMEOUTS timeouts{};
        timeouts.ReadIntervalTimeout = 20;
        timeouts.ReadTotalTimeoutConstant = 100;
        timeouts.WriteTotalTimeoutConstant = 1000;
        return SetCommState(Port, &line) && SetCommTimeouts(Port, &timeouts) &&
               PurgeComm(Port, PURGE_RXCLEAR | PURGE_TXCLEAR);
    }

    // The reply lines, the closing OK, ERR or END line included.
    std::vector<std::string> Ask(const std::string& command, bool query) {
        const std::string line = command + "\n";
        DWORD written = 0;
        std::vector<std::string> reply;
        if (!WriteFile(Port, line.data(), static_cast<DWORD>(line.size()), &written, nullptr))
            return reply;
        std::string partial;
        for (const double end = Now() + 3000; Now() < end;) {
            char buffer[512];
            DWORD got = 0;
            if (!ReadFile(Port, buffer, sizeof buffer, &got, nullptr))
                break;
            for (DWORD i = 0; i < got; ++i) {
                if (buffer[i] == '\r')
                    continue;
                if (buffer[i] != '\n') {
                    partial += buffer[i];
                    continue;
                }
                reply.push_back(partial);
                if ((query ? partial == "END" : partial == "OK") || partial.rfind("ERR", 0) == 0)
                    return reply;
                partial.clear();
            }
        }
        reply.push_back("(no reply to " + command + ")");
        return reply;
    }

    void Command(const std::string& command) {
        EXPECT_EQ(std::vector<std::string>{"OK"}, Ask(command, false)) << command;
    }

    // The board's "name=value" lines.
    std::map<std::string, std::string> State() {
        std::map<std::string, std::string> state;
        for (const std::string& line : Ask("state", true)) {
            const std::size_t equals = line.find('=');
            if (equals != std::string::npos)
                state[line.substr(0, equals)] = line.substr(equals + 1);
        }
        EXPECT_FALSE(state.empty()) << "the board's state";
        return state;
    }

    std::string State(const std::string& name) { return State()[name]; }

    int Number(const std::string& name) {
        std::map<std::string, std::string> state = State();
        if (state.count(name))
            return std::atoi(state[name].c_str());
        ADD_FAILURE() << "no " << name << " in the board's state";
        return -1;
    }

private:
    HANDLE Port = INVALID_HANDLE_VALUE;
};

} // namespace guihand
