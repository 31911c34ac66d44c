#include "fmuTables.h"

#include "fmuSelTbl.h"
#include "driver/tools/fmuTable.h"
#include "fmuVTable.h"
#include "untCodePage.h"
#include "untComTables.h"
#include "untDialog.h"
#include "untDlgTransfer.h"
#include "untFileDialog.h"
#include "untGrid.h"
#include "untListView.h"
#include "untModule.h"
#include "untTableEditor.h"
#include "untToolsRes.h"

#include <exception>

namespace {
// Outer size in pixels.
const int MinWidth = 495, MinHeight = 274;
const int NumberWidth = 30, CountWidth = 50, ButtonWidth = 110;
enum TColumn { colNumber, colName, colRows, colFields };

class TfmTables : public TSizableDialog {
public:
    TfmTables(TVarnokBrd& transfer, TComTableDriver& driver)
        : TSizableDialog(IDD_TABLES, MinWidth, MinHeight), Transfer(transfer), Driver(driver) {}

protected:
    void OnInit() override {
        List.Attach(Item(IDC_TABLES_LIST), LVS_EX_FULLROWSELECT);
        List.AddColumn(colNumber, L"№", Scaled(NumberWidth));
        List.AddColumn(colName, L"Название", Scaled(200));
        List.AddColumn(colRows, L"Рядов", Scaled(CountWidth));
        List.AddColumn(colFields, L"Полей", Scaled(CountWidth));
        for (int i = 0; i < Transfer.Tables.Count(); ++i)
            AddRow(Transfer.Tables[i]);
        if (Transfer.Tables.Count() > 0)
            List.Select(0);
        OpenAtMinimumSize();
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

    void Layout() override {
        const int width = Scaled(ButtonWidth);
        const int left = PlaceBesideButtons(List.Handle(), width);
        StackButtons(left, Margin, width, {IDOK, IDC_TABLES_INIT, IDC_TABLES_SAVE, IDC_TABLES_LOAD});
        StackButtons(left, ClientHeight() - Margin - ButtonHeight, width, {IDCANCEL});
        List.FillWidth(colName, Scaled(NumberWidth + 2 * CountWidth));
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
        const int row = List.Selected();
        if (row < 0)
            return;
        TTable* table = Transfer.Tables.ItemByNumber(static_cast<int>(List.Data(row)));
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
        TFileQuestion question;
        question.Name = L"Таблицы";
        question.Filter = L"Файлы таблиц (*.txt)\0*.txt\0Все файлы (*.*)\0*.*\0";
        question.Extension = L"txt";
        question.Flags = OFN_PATHMUSTEXIST | (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
        return ::AskFileName(Handle(), save, question, file);
    }

    void AddRow(const TTable& table) {
        const int index = List.AddRow(std::to_wstring(table.Number), table.Number);
        List.SetCell(index, colName, Cp1251ToWide(table.Name));
        List.SetCell(index, colRows, std::to_wstring(table.RowCount));
        List.SetCell(index, colFields, std::to_wstring(table.FieldCount));
    }

    TVarnokBrd& Transfer;
    TComTableDriver& Driver;
    TListView List;
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
