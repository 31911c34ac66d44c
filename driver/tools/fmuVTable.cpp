#include "fmuVTable.h"

#include "untCodePage.h"
#include "untTableEditor.h"
#include "untToolsRes.h"

#include <algorithm>

namespace {
const int NumberWidth = 30;
const int HeadingPadding = 10;
const int ValueColumn = 2;

class TfmVTable : public TTableEditor {
public:
    TfmVTable(TVarnokBrd& transfer, TComTableDriver& driver, TTable& table)
        : TTableEditor(IDD_VTABLE, transfer, driver, table) {}

protected:
    void FillGrid() override {
        Grid->SetSize(3, Table.FieldCount + 1);
        Grid->SetFixed(2, 1);
        Grid->SetCell(0, 0, L"Поле");
        Grid->SetCell(1, 0, L"Название");
        Grid->SetCell(ValueColumn, 0, L"Значение");
        Grid->SetColWidth(0, Scaled(NumberWidth));
        int nameWidth = 0;
        for (int row = 1; row <= Table.FieldCount; ++row) {
            const TField* field = Table.Fields.FindField(row, 1);
            const std::wstring name = field ? Cp1251ToWide(field->Name) : std::wstring();
            Grid->SetCell(0, row, field ? std::to_wstring(field->FieldNumber) : std::wstring());
            Grid->SetCell(1, row, name);
            Grid->SetCell(ValueColumn, row, field ? Cp1251ToWide(field->Value) : std::wstring());
            nameWidth = std::max(nameWidth, Grid->TextWidth(name));
        }
        Grid->SetColWidth(1, nameWidth + Scaled(HeadingPadding));
    }

    TField* FieldAt(int column, int row) override {
        return column == ValueColumn ? Table.Fields.FindField(row, 1) : nullptr;
    }

    int DescribedField(int column, int row) const override {
        (void)column;
        return row;
    }
};
} // namespace

void ShowRowEditor(HWND owner, TVarnokBrd& transfer, TComTableDriver& driver, TTable& table) {
    TfmVTable form(transfer, driver, table);
    form.ShowModal(owner);
}
