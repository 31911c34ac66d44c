#include "fmuTables.h"

#include "fmuSelTbl.h"
#include "fmuTable.h"
#include "fmuVTable.h"
#include "untCodePage.h"
#include "untComTables.h"
#include "untDialog.h"
#include "untDlgTransfer.h"
#include "untGrid.h"
#include "untModule.h"
#include "untTableEditor.h"
#include "untToolsRes.h"

#include <commctrl.h>
#include <commdlg.h>

#include <exception>

namespace {
// Outer size in pixels, laid out for a 19-pixel caption.
const int MinWidth = 495, MinHeight = 274, DesignCaption = 19;
const int NumberWidth = 30, CountWidth = 50;
enum TColumn { colNumber, colName, colRows, colFields };

class TfmTables : public TDialog {
public:
    TfmTables(TVarnokBrd& transfer, TComTableDriver& driver)
        : TDialog(IDD_TABLES), Transfer(transfer), Driver(driver) {}

protected:
    void OnInit() override {
        List = Item(IDC_TABLES_LIST);
        ListView_SetExtendedListViewStyle(List, LVS_EX_FULLROWSELECT);
        AddColumn(colNumber, L"№", NumberWidth);
        AddColumn(colName, L"Название", 200);
        AddColumn(colRows, L"Рядов", CountWidth);
        AddColumn(colFields, L"Полей", CountWidth);
        for (int i = 0; i < Transfer.Tables.Count(); ++i)
            AddRow(Transfer.Tables[i]);
        if (Transfer.Tables.Count() > 0)
            ListView_SetItemState(List, 0, LVIS_SELECTED | LVIS_FOCUSED,
                                  LVIS_SELECTED | LVIS_FOCUSED);
        const int caption = GetSystemMetrics(SM_CYCAPTION) - DesignCaption;
        SetWindowPos(Handle(), nullptr, 0, 0, MinWidth, MinHeight + (caption > 0 ? caption : 0),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        CenterOnScreen();
        Layout();
        Focus(IDC_TABLES_LIST);
    }

    bool OnCommand(int id, int code) override {
        (void)code;
        switch (id) {
        case IDOK:
            Guarded(&TfmTables::btnOpenClick);
            return true;
        case IDC_TABLES_INIT:
            Guarded(&TfmTables::btnInitTablesClick);
            return true;
        case IDC_TABLES_SAVE:
            Guarded(&TfmTables::btnSaveClick);
            return true;
        case IDC_TABLES_LOAD:
            Guarded(&TfmTables::btnLoadClick);
            return true;
        case IDCANCEL:
            Close(IDCANCEL);
            return true;
        default:
            return false;
        }
    }

    bool OnNotify(NMHDR* header) override {
        if (header->idFrom == IDC_TABLES_LIST && header->code == NM_DBLCLK) {
            Guarded(&TfmTables::btnOpenClick);
            return true;
        }
        return false;
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
        default:
            return false;
        }
    }

private:
    // A failure of one action is shown; the dialog stays open.
    void Guarded(void (TfmTables::*action)()) {
        try {
            (this->*action)();
        } catch (const std::exception& e) {
            ShowError(Handle(), Cp1251ToWide(e.what()));
        }
    }

    void btnOpenClick() {
        const int row = ListView_GetNextItem(List, -1, LVNI_SELECTED);
        if (row < 0)
            return;
        LVITEMW item{};
        item.mask = LVIF_PARAM;
        item.iItem = row;
        ListView_GetItem(List, &item);
        TTable* table = Transfer.Tables.ItemByNumber(static_cast<int>(item.lParam));
        if (!table)
            return;
        if (table->RowCount == 0 || table->FieldCount == 0) {
            DriverMessageBox(Handle(), L"Таблица пуста", MB_OK | MB_ICONWARNING);
            return;
        }
        if (!Transfer.ReadWholeTable(*table))
            return;
        if (table->RowCount == 1)
            ShowRowEditor(Handle(), Transfer, Driver, *table);
        else
            ShowTableEditor(Handle(), Transfer, Driver, *table);
    }

    void btnInitTablesClick() {
        struct TKeepTimeout {
            TComTableDriver& Driver;
            const int Kept;
            ~TKeepTimeout() {
                try {
                    Driver.SetTimeout(Kept);
                } catch (const std::exception&) {
                    // the failure that brought us here is the one to report
                }
            }
        } keep{Driver, Driver.Timeout()};
        if (Driver.InitTables() != 0)
            ShowError(Handle(), std::to_wstring(Driver.ResultCode()) + L", " +
                                    Cp1251ToWide(Driver.ResultDescription()));
        else
            DriverMessageBox(Handle(), L"Инициализация таблиц прошла успешно",
                             MB_OK | MB_ICONINFORMATION);
    }

    void btnSaveClick() {
        if (!ShowTableSelection(Handle(), Transfer.Tables, L"Выбор таблиц для сохранения"))
            return;
        if (!Transfer.Tables.HasSelected())
            return;
        std::wstring file;
        if (!AskFileName(true, file))
            return;
        if (!Transfer.ReadSelected())
            return;
        Transfer.Tables.SaveToFile(WideToCp1251(file));
    }

    void btnLoadClick() {
        std::wstring file;
        if (!AskFileName(false, file))
            return;
        Transfer.Tables.LoadFromFile(WideToCp1251(file));
        if (!ShowTableSelection(Handle(), Transfer.Tables, L"Выбор таблиц для загрузки"))
            return;
        Transfer.WriteSelected();
    }

    bool AskFileName(bool save, std::wstring& file) {
        wchar_t name[MAX_PATH] = L"Таблицы";
        OPENFILENAMEW dialog{};
        dialog.lStructSize = sizeof dialog;
        dialog.hwndOwner = Handle();
        dialog.lpstrFilter = L"Файлы таблиц (*.txt)\0*.txt\0Все файлы (*.*)\0*.*\0";
        dialog.lpstrFile = name;
        dialog.nMaxFile = MAX_PATH;
        dialog.lpstrInitialDir = L".";
        dialog.lpstrDefExt = L"txt";
        dialog.Flags =
            OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
        if (!(save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog)))
            return false;
        file = name;
        return true;
    }

    void AddColumn(int index, const wchar_t* title, int width) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = const_cast<LPWSTR>(title);
        column.cx = width;
        ListView_InsertColumn(List, index, &column);
    }

    void AddRow(const TTable& table) {
        const std::wstring texts[] = {std::to_wstring(table.Number), Cp1251ToWide(table.Name),
                                      std::to_wstring(table.RowCount),
                                      std::to_wstring(table.FieldCount)};
        LVITEMW row{};
        row.mask = LVIF_TEXT | LVIF_PARAM;
        row.iItem = ListView_GetItemCount(List);
        row.pszText = const_cast<LPWSTR>(texts[0].c_str());
        row.lParam = table.Number;
        const int index = ListView_InsertItem(List, &row);
        for (int column = colName; column <= colFields; ++column)
            ListView_SetItemText(List, index, column, const_cast<LPWSTR>(texts[column].c_str()));
    }

    void Layout() {
        RECT client{};
        GetClientRect(Handle(), &client);
        const int margin = 8, buttonWidth = 110, buttonHeight = 24, gap = 6;
        const int left = client.right - margin - buttonWidth;
        MoveWindow(List, margin, margin, left - 2 * margin, client.bottom - 2 * margin, TRUE);
        int top = margin;
        for (int id : {IDOK, IDC_TABLES_INIT, IDC_TABLES_SAVE, IDC_TABLES_LOAD}) {
            MoveWindow(Item(id), left, top, buttonWidth, buttonHeight, TRUE);
            top += buttonHeight + gap;
        }
        MoveWindow(Item(IDCANCEL), left, client.bottom - margin - buttonHeight, buttonWidth,
                   buttonHeight, TRUE);
        RECT inside{};
        GetClientRect(List, &inside);
        const int rest = inside.right - NumberWidth - 2 * CountWidth;
        ListView_SetColumnWidth(List, colName, rest > 60 ? rest : 60);
    }

    TVarnokBrd& Transfer;
    TComTableDriver& Driver;
    HWND List = nullptr;
};
} // namespace

void ShowTablesDialog(HWND owner, ITrelmo* driver) {
    TGrid::Register(ModuleInstance());
    TComTableDriver tableDriver(driver);
    TDialogTransferUi ui;
    ui.ParentWnd = owner;
    TVarnokBrd transfer(tableDriver, ui);
    if (!transfer.ReadStructure())
        return;
    TfmTables form(transfer, tableDriver);
    form.ShowModal(owner);
}
