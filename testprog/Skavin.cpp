// The Skavin program: the interactive test bench of the driver object.
#include "fmuMain.h"
#include "untHolders.h"
#include "untModule.h"

#include <commctrl.h>
#include <ole2.h>
#include <shellapi.h>

// The module the shared dialogs take their templates from.
HINSTANCE ModuleInstance() {
    return GetModuleHandleW(nullptr);
}

namespace {
std::wstring FirstArgument() {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    TScopeGuard freeArguments([arguments] { LocalFree(arguments); });
    return arguments && count > 1 ? arguments[1] : L"";
}

int RunMessageLoop() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        HWND root = GetAncestor(message.hwnd, GA_ROOT);
        if (root && IsDialogMessageW(root, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int show) {
    if (FAILED(OleInitialize(nullptr)))
        return 1;
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&classes);
    int exitCode = 0;
    {
        TfmMain main;
        main.Create(nullptr);
        if (!main.Handle())
            return 1;
        main.FormCreate(FirstArgument());
        ShowWindow(main.Handle(), show);
        exitCode = RunMessageLoop();
    }
    OleUninitialize();
    return exitCode;
}
