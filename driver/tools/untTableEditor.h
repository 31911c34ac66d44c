// What the two table editors share: a grid of one table's cells written back to the board as
// the user leaves a changed cell, a status bar with the current field's type, range and size,
// a popup menu to write or read the cell, and a refresh. The editors differ only in where the
// fields sit in the grid.
#pragma once

#include "untComTables.h"
#include "untDialog.h"
#include "untGrid.h"
#include "untVarnokBrd.h"

#include <string>

class TTableEditor : public TDialog {
public:
    TTableEditor(int templateId, TVarnokBrd& transfer, TComTableDriver& driver, TTable& table);

protected:
    // Sizes, headings, widths and values of the grid from the table's fields.
    virtual void FillGrid() = 0;
    // The cell's field, or none (a heading, a cell the board did not give).
    virtual TField* FieldAt(int column, int row) = 0;
    // The field whose description the status bar shows while (column, row) is current.
    virtual int DescribedField(int column, int row) const = 0;

    TTable& Table;
    TGrid* Grid = nullptr;

    // The cell's field as read from the board at index (field - 1) x RowCount, or none.
    const TField* FieldInfo(int field) const;
    // The last column takes what the others leave of the grid's client width.
    void FillLastColumn();

private:
    void OnInit() override;
    bool OnCommand(int id, int code) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

    bool GridSelectCell(int column, int row);
    bool WriteCell(int column, int row);
    void ReadCell(int column, int row);
    void Refresh();
    void ShowFieldStatus(int column, int row);
    void PopupMenu(POINT screen);
    void Layout();
    // Runs an action of the user; a failure is shown, never thrown into the window procedure.
    template <typename Action> bool Guarded(Action action);

    TVarnokBrd& Transfer;
    TComTableDriver& Driver;
    SIZE MinSize{0, 0};
};

// A message box with the driver's caption and the error icon.
void ShowError(HWND owner, const std::wstring& text);
