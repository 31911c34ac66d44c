// A report-style list view of a dialog, as the table and device lists use it: columns, rows
// that carry a number of their own (the item data) and check boxes. The calls are messages,
// so any thread may make them; the control answers on its own thread.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>

class TListView {
public:
    // Takes the dialog's control, with these extended styles (LVS_EX_...).
    void Attach(HWND list, DWORD extendedStyle);
    HWND Handle() const { return List; }

    void AddColumn(int index, const wchar_t* title, int width, int format = LVCFMT_LEFT);
    // A row after the last one, with its first column's text; its index.
    int AddRow(const std::wstring& text, LPARAM data);
    void SetCell(int row, int column, const std::wstring& text);
    int RowCount() const;
    LPARAM Data(int row) const;
    void SetData(int row, LPARAM data);
    bool Checked(int row) const;
    void SetChecked(int row, bool checked);
    void CheckAll(bool checked);
    // The selected row, -1 for none.
    int Selected() const;
    // Selected and focused.
    void Select(int row);
    // `column` takes the width of the client area that the others (`othersWidth` together)
    // leave, so there is no horizontal scroll bar; at least 60 pixels.
    void FillWidth(int column, int othersWidth);

private:
    HWND List = nullptr;
};
