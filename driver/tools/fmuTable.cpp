#include "driver/tools/fmuTable.h"

#include "untCodePage.h"
#include "untTableEditor.h"
#include "untToolsRes.h"

namespace {
const int RowNumberWidth = 30;
const int HeadingPadding = 10;

class TfmTable : public TTableEditor {
public:
    TfmTable(TVarnokBrd& transfer, TComTableDriver& driver, TTable& table)
        : TTableEditor(IDD_TABLE, transfer, driver, table) {}

protected:
    void FillGrid() override {
        Grid->SetSize(Table.FieldCount + 1, Table.RowCount + 1);
        Grid->SetFixed(1, 1);
        Grid->SetCell(0, 0, L"Ряд");
        Grid->SetColWidth(0, Scaled(RowNumberWidth));
        for (int row = 1; row <= Table.RowCount; ++row)
            Grid->SetCell(0, row, std::to_wstring(row));
        for (int column = 1; column <= Table.FieldCount; ++column) {
            const TField* info = FieldInfo(column);
            const std::wstring name = info ? Cp1251ToWide(info->Name) : std::wstring();
            Grid->SetCell(column, 0, name);
            Grid->SetColWidth(column, Grid->TextWidth(name) + Scaled(HeadingPadding));
            for (int row = 1; row <= Table.RowCount; ++row) {
                const TField* field = Table.Fields.FindField(column, row);
                Grid->SetCell(column, row, field ? Cp1251ToWide(field->Value) : std::wstring());
            }
        }
    }

    TField* FieldAt(int column, int row) override { return Table.Fields.FindField(column, row); }

    int DescribedField(int column, int row) const override {
        (void)row;
        return column;
    }
};
} // namespace

void ShowTableEditor(HWND owner, TVarnokBrd& transfer, TComTableDriver& driver, TTable& table) {
    TfmTable form(transfer, driver, table);
    form.ShowModal(owner);
}
