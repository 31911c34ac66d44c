// A small Russian dialog that reacts to its button, for driving from another process.
#include "guiprobe.h"

#include <windows.h>

#include <string>

namespace {

std::wstring ControlText(HWND dialog, int id) {
    std::wstring text(GetWindowTextLengthW(GetDlgItem(dialog, id)) + 1, L'\0');
    text.resize(GetDlgItemTextW(dialog, id, &text[0], static_cast<int>(text.size())));
    return text;
}

INT_PTR CALLBACK ProbeProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        SetDlgItemTextW(dialog, IDC_NAME, L"COM5");
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_APPLY:
            SetDlgItemTextW(dialog, IDC_RESULT,
                            (PROBE_ACCEPTED + ControlText(dialog, IDC_NAME)).c_str());
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // Closed with its button: exit code 0. Anything else (a failed dialog) is an error.
    const INT_PTR result =
        DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_PROBE), nullptr, ProbeProc, 0);
    return result == IDCANCEL ? 0 : 1;
}
