#include "untFileDialog.h"

#include <commdlg.h>

bool AskFileName(HWND owner, bool save, const TFileQuestion& question, std::wstring& file) {
    wchar_t name[MAX_PATH] = {};
    lstrcpynW(name, question.Name.c_str(), MAX_PATH);
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = question.Filter;
    dialog.lpstrFile = name;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrInitialDir = question.Folder ? question.Folder->c_str() : nullptr;
    dialog.lpstrTitle = question.Title;
    dialog.lpstrDefExt = question.Extension;
    dialog.Flags = OFN_HIDEREADONLY | question.Flags;
    if (!(save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog)))
        return false;
    file = name;
    return true;
}
