#include "untListView.h"

void TListView::Attach(HWND list, DWORD extendedStyle) {
    List = list;
    ListView_SetExtendedListViewStyle(List, extendedStyle);
}

void TListView::AddColumn(int index, const wchar_t* title, int width, int format) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    column.pszText = const_cast<LPWSTR>(title);
    column.cx = width;
    column.fmt = format;
    ListView_InsertColumn(List, index, &column);
}

int TListView::AddRow(const std::wstring& text, LPARAM data) {
    LVITEMW row{};
    row.mask = LVIF_TEXT | LVIF_PARAM;
    row.iItem = RowCount();
    row.pszText = const_cast<LPWSTR>(text.c_str());
    row.lParam = data;
    return ListView_InsertItem(List, &row);
}

void TListView::SetCell(int row, int column, const std::wstring& text) {
    ListView_SetItemText(List, row, column, const_cast<LPWSTR>(text.c_str()));
}

int TListView::RowCount() const {
    return ListView_GetItemCount(List);
}

LPARAM TListView::Data(int row) const {
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    ListView_GetItem(List, &item);
    return item.lParam;
}

void TListView::SetData(int row, LPARAM data) {
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    item.lParam = data;
    ListView_SetItem(List, &item);
}

bool TListView::Checked(int row) const {
    return ListView_GetCheckState(List, row) != FALSE;
}

void TListView::SetChecked(int row, bool checked) {
    ListView_SetCheckState(List, row, checked);
}

void TListView::CheckAll(bool checked) {
    for (int row = 0; row < RowCount(); ++row)
        SetChecked(row, checked);
}

int TListView::Selected() const {
    return ListView_GetNextItem(List, -1, LVNI_SELECTED);
}

void TListView::Select(int row) {
    ListView_SetItemState(List, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

void TListView::FillWidth(int column, int othersWidth) {
    RECT inside{};
    GetClientRect(List, &inside);
    const int rest = inside.right - othersWidth;
    ListView_SetColumnWidth(List, column, rest > 60 ? rest : 60);
}
