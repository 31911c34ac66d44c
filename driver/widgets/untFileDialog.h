// The system's file dialogs as the driver's dialogs and Skavin ask for a file.
#pragma once

#include <windows.h>

#include <commdlg.h>

#include <optional>
#include <string>

struct TFileQuestion {
    std::wstring Name;                  // the file name shown at first
    const wchar_t* Filter = nullptr;    // pairs of zero-ended texts, ended by another zero
    const wchar_t* Extension = nullptr; // added to a name typed without one
    // Where the dialog starts; none: where the system chooses (the last folder, say).
    std::optional<std::wstring> Folder = L".";
    const wchar_t* Title = nullptr;     // null: the system's own
    DWORD Flags = 0;                    // OFN_ flags besides OFN_HIDEREADONLY
};

// The Open dialog, or the Save dialog with `save`, owned by `owner`; false when the user
// cancels it.
bool AskFileName(HWND owner, bool save, const TFileQuestion& question, std::wstring& file);
