#include "fmuSelTbl.h"

#include "untCodePage.h"
#include "untDialog.h"
#include "untModule.h"
#include "untToolsRes.h"

#include <commctrl.h>

namespace {
// Outer size in pixels, laid out for a 19-pixel caption.
const int MinWidth = 495, MinHeight = 322, DesignCaption = 19;
const int NumberWidth = 40;

class TfmSelTbl : public TDialog {
public:
    TfmSelTbl(TTables& tables, const std::wstring& caption)
        : TDialog(IDD_SELTBL), Tables(tables), Caption(caption) {}

protected:
    void OnInit() override {
        SetWindowTextW(Handle(), Caption.c_str());
        List = Item(IDC_SELTBL_LIST);
        ListView_SetExtendedListViewStyle(List, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
        AddColumn(0, L"№", NumberWidth);
        AddColumn(1, L"Название", 200);
        for (int i = 0; i < Tables.Count(); ++i)
            AddRow(Tables[i]);
        if (Tables.Count() > 0)
            ListView_SetItemState(List, 0, LVIS_SELECTED | LVIS_FOCUSED,
                                  LVIS_SELECTED | LVIS_FOCUSED);
        SetGlyph(IDC_SELTBL_ALL, IDI_SELTBL_ALL);
        SetGlyph(IDC_SELTBL_NONE, IDI_SELTBL_NONE);
        const int caption = GetSystemMetrics(SM_CYCAPTION) - DesignCaption;
        SetWindowPos(Handle(), nullptr, 0, 0, MinWidth, MinHeight + (caption > 0 ? caption : 0),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        CenterOnScreen();
        Layout();
        Focus(IDC_SELTBL_LIST);
    }

    bool OnCommand(int id, int code) override {
        (void)code;
        switch (id) {
        case IDC_SELTBL_ALL:
        case IDC_SELTBL_NONE:
            for (int row = 0; row < ListView_GetItemCount(List); ++row)
                ListView_SetCheckState(List, row, id == IDC_SELTBL_ALL);
            return true;
        case IDOK:
            Apply();
            Close(IDOK);
            return true;
        case IDCANCEL:
            Close(IDCANCEL);
            return true;
        default:
            return false;
        }
    }

    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override {
        (void)wParam;
        result = TRUE;
        switch (message) {
        case WM_SIZE:
            Layout();
            return true;
        case WM_GETMINMAXINFO:
            reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {MinWidth, MinHeight};
            return true;
        case WM_DESTROY:
            for (HICON icon : Icons)
                DestroyIcon(icon);
            return false;
        default:
            return false;
        }
    }

private:
    void AddColumn(int index, const wchar_t* title, int width) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = const_cast<LPWSTR>(title);
        column.cx = width;
        ListView_InsertColumn(List, index, &column);
    }

    void AddRow(const TTable& table) {
        const std::wstring number = std::to_wstring(table.Number);
        const std::wstring name = Cp1251ToWide(table.Name);
        LVITEMW row{};
        row.mask = LVIF_TEXT | LVIF_PARAM;
        row.iItem = ListView_GetItemCount(List);
        row.pszText = const_cast<LPWSTR>(number.c_str());
        row.lParam = table.Number;
        const int index = ListView_InsertItem(List, &row);
        ListView_SetItemText(List, index, 1, const_cast<LPWSTR>(name.c_str()));
        ListView_SetCheckState(List, index, table.Selected);
    }

    void SetGlyph(int button, int icon) {
        HICON glyph = static_cast<HICON>(
            LoadImageW(ModuleInstance(), MAKEINTRESOURCEW(icon), IMAGE_ICON, 16, 16, 0));
        if (!glyph)
            return;
        Icons[button == IDC_SELTBL_ALL ? 0 : 1] = glyph;
        SendMessageW(Item(button), BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(glyph));
    }

    void Apply() {
        for (int row = 0; row < ListView_GetItemCount(List); ++row) {
            LVITEMW item{};
            item.mask = LVIF_PARAM;
            item.iItem = row;
            ListView_GetItem(List, &item);
            if (TTable* table = Tables.ItemByNumber(static_cast<int>(item.lParam)))
                table->Selected = ListView_GetCheckState(List, row) && table->RowCount > 0 &&
                                  table->FieldCount > 0;
        }
    }

    void Layout() {
        RECT client{};
        GetClientRect(Handle(), &client);
        const int margin = 8, buttonWidth = 100, buttonHeight = 24, gap = 6;
        const int left = client.right - margin - buttonWidth;
        MoveWindow(List, margin, margin, left - 2 * margin, client.bottom - 2 * margin, TRUE);
        int top = margin;
        for (int id : {IDOK, IDCANCEL, 0, IDC_SELTBL_ALL, IDC_SELTBL_NONE}) {
            if (id == 0) {
                top += 2 * gap;
                continue;
            }
            MoveWindow(Item(id), left, top, buttonWidth, buttonHeight, TRUE);
            top += buttonHeight + gap;
        }
        RECT inside{};
        GetClientRect(List, &inside);
        const int rest = inside.right - NumberWidth;
        ListView_SetColumnWidth(List, 1, rest > 60 ? rest : 60);
    }

    TTables& Tables;
    std::wstring Caption;
    HWND List = nullptr;
    HICON Icons[2] = {nullptr, nullptr};
};
} // namespace

bool ShowTableSelection(HWND owner, TTables& tables, const std::wstring& caption) {
    TfmSelTbl form(tables, caption);
    return form.ShowModal(owner) == IDOK;
}
