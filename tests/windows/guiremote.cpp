// Drives the probe dialog from another process, the way the driver's dialogs will be tested:
// finds the window, reads and sets control text, presses buttons and checks the reaction.
//
//   guiremote       (starts guiprobe.exe from its own directory)
//
// Before closing the dialog it prints "SCREENSHOT probe" and waits for a line (or end of
// input) on stdin, so the test runner can photograph the screen with the dialog up.
#include "guiprobe.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string Utf8(const std::wstring& text) {
    if (text.empty())
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string result(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &result[0], size,
                        nullptr, nullptr);
    return result;
}

// GetWindowText does not ask another process's controls; WM_GETTEXT does.
std::wstring WindowText(HWND window) {
    const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied =
        SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<std::size_t>(copied));
    return text;
}

bool Expect(const char* what, HWND window, const std::wstring& expected) {
    const std::wstring actual = WindowText(window);
    const bool ok = actual == expected;
    std::printf("%s %s: \"%s\"", ok ? "ok  " : "FAIL", what, Utf8(actual).c_str());
    if (!ok)
        std::printf(", expected \"%s\"", Utf8(expected).c_str());
    std::printf("\n");
    return ok;
}

// FindWindowW alone could return another test's copy of the dialog: match the process too.
HWND FindProbe(DWORD processId) {
    for (HWND window = nullptr;
         (window = FindWindowExW(nullptr, window, L"#32770", PROBE_CAPTION)) != nullptr;) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId && IsWindowVisible(window))
            return window;
    }
    return nullptr;
}

struct Controls {
    HWND name = nullptr, apply = nullptr, result = nullptr, close = nullptr;
    int count = 0;
};

BOOL CALLBACK CollectControl(HWND child, LPARAM param) {
    Controls& controls = *reinterpret_cast<Controls*>(param);
    ++controls.count;
    switch (GetDlgCtrlID(child)) {
    case IDC_NAME:
        controls.name = child;
        break;
    case IDC_APPLY:
        controls.apply = child;
        break;
    case IDC_RESULT:
        controls.result = child;
        break;
    case IDCANCEL:
        controls.close = child;
        break;
    }
    return TRUE;
}

void WaitForScreenshot() {
    std::printf("SCREENSHOT probe\n");
    std::fflush(stdout);
    char c = 0;
    DWORD got = 0;
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    while (ReadFile(input, &c, 1, &got, nullptr) && got == 1 && c != '\n') {
    }
}

std::wstring ProbePath() {
    std::vector<wchar_t> self(MAX_PATH);
    self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    std::wstring path(self.begin(), self.end());
    return path.substr(0, path.find_last_of(L"\\/") + 1) + L"guiprobe.exe";
}

bool Drive(HWND dialog) {
    Controls controls;
    EnumChildWindows(dialog, CollectControl, reinterpret_cast<LPARAM>(&controls));
    std::printf("dialog %p with %d controls\n", static_cast<void*>(dialog), controls.count);
    if (!controls.name || !controls.apply || !controls.result || !controls.close) {
        std::printf("FAIL controls missing\n");
        return false;
    }
    bool ok = Expect("caption", dialog, PROBE_CAPTION);
    ok &= Expect("edit", controls.name, L"COM5");
    ok &= Expect("result before", controls.result, PROBE_WAITING);

    const std::wstring typed = L"Тест связи";
    SendMessageW(controls.name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()));
    ok &= Expect("edit after WM_SETTEXT", controls.name, typed);
    SendMessageW(controls.apply, BM_CLICK, 0, 0);
    ok &= Expect("result after BM_CLICK", controls.result, PROBE_ACCEPTED + typed);

    WaitForScreenshot();
    SendMessageW(controls.close, BM_CLICK, 0, 0);
    return ok;
}

int Run(const std::wstring& probe) {
    std::wstring commandLine = L"\"" + probe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(probe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
        std::printf("FAIL cannot start %s: error %lu\n", Utf8(probe).c_str(), GetLastError());
        return 1;
    }
    CloseHandle(process.hThread);
    WaitForInputIdle(process.hProcess, 10000);

    HWND dialog = nullptr;
    const DWORD start = GetTickCount();
    while (!(dialog = FindProbe(process.dwProcessId)) && GetTickCount() - start < 15000)
        Sleep(50);
    bool ok = false;
    if (!dialog)
        std::printf("FAIL no dialog window after %lu ms\n", GetTickCount() - start);
    else {
        std::printf("dialog up after %lu ms\n", GetTickCount() - start);
        ok = Drive(dialog);
    }

    DWORD exitCode = 1;
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) {
        std::printf("FAIL dialog still running, terminating it\n");
        TerminateProcess(process.hProcess, 1);
        ok = false;
    } else {
        GetExitCodeProcess(process.hProcess, &exitCode);
        std::printf("%s dialog exit code: %lu\n", exitCode == 0 ? "ok  " : "FAIL", exitCode);
        ok &= exitCode == 0;
    }
    CloseHandle(process.hProcess);
    return ok ? 0 : 1;
}

} // namespace

int main() {
    const int result = Run(ProbePath());
    std::printf("result: %d\n", result);
    return result;
}
