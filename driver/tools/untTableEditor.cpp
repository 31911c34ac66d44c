#include "untTableEditor.h"

#include "untCodePage.h"
#include "untModule.h"
#include "untToolsRes.h"

#include <commctrl.h>

#include <algorithm>
#include <exception>

namespace {
// Right edges of type (100 px at 96 DPI), range (150 px) and size, which takes the rest as the
// last panel of a status bar does.
const int StatusParts[] = {100, 250, -1};
const int MinLastColumn = 40;
} // namespace

void ShowError(HWND owner, const std::wstring& text) {
    DriverMessageBox(owner, text, MB_OK | MB_ICONERROR);
}

TTableEditor::TTableEditor(int templateId, TVarnokBrd& transfer, TComTableDriver& driver,
                           TTable& table)
    : TDialog(templateId), Table(table), Transfer(transfer), Driver(driver) {
    TGrid::Register(ModuleInstance());
}

template <typename Action> bool TTableEditor::Guarded(Action action) {
    try {
        return action();
    } catch (const std::exception& e) {
        ShowError(Handle(), Cp1251ToWide(e.what()));
        return false;
    }
}

void TTableEditor::OnInit() {
    SetWindowTextW(Handle(), Cp1251ToWide(Table.Name).c_str());
    Grid = TGrid::FromHandle(Item(IDC_TABLE_GRID));
    Grid->SetDefaultRowHeight(Grid->TextHeight(L"A") + Scaled(5));
    Grid->OnSelectCell = [this](int column, int row) { return GridSelectCell(column, row); };
    Grid->OnEnter = [this] { Guarded([this] { return WriteCell(Grid->Col(), Grid->Row()); }); };
    Grid->OnContextMenu = [this](POINT screen) { PopupMenu(screen); };
    int parts[3];
    for (int part = 0; part < 3; ++part)
        parts[part] = StatusParts[part] < 0 ? -1 : Scaled(StatusParts[part]);
    SendMessageW(Item(IDC_TABLE_STATUS), SB_SETPARTS, 3, reinterpret_cast<LPARAM>(parts));
    RECT box{};
    GetWindowRect(Handle(), &box);
    MinSize = {box.right - box.left, box.bottom - box.top};
    CenterOnScreen();
    Layout();
    FillGrid();
    FillLastColumn();
    ShowFieldStatus(Grid->Col(), Grid->Row());
    Focus(IDC_TABLE_GRID);
}

bool TTableEditor::OnCommand(int id, int code) {
    (void)code;
    switch (id) {
    case IDC_TABLE_REFRESH:
        Guarded([this] {
            Refresh();
            return true;
        });
        return true;
    case IDM_TABLE_WRITE_FIELD:
        Guarded([this] { return WriteCell(Grid->Col(), Grid->Row()); });
        return true;
    case IDM_TABLE_READ_FIELD:
        Guarded([this] {
            ReadCell(Grid->Col(), Grid->Row());
            return true;
        });
        return true;
    case IDOK:
        return true; // Enter belongs to the grid
    case IDCANCEL:
        Close(IDCANCEL);
        return true;
    default:
        return false;
    }
}

bool TTableEditor::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    result = TRUE;
    switch (message) {
    case WM_SIZE:
        SendMessageW(Item(IDC_TABLE_STATUS), WM_SIZE, wParam, lParam);
        Layout();
        if (Grid)
            FillLastColumn();
        return true;
    case WM_GETMINMAXINFO:
        if (MinSize.cx > 0)
            reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {MinSize.cx, MinSize.cy};
        return true;
    default:
        return false;
    }
}

void TTableEditor::Layout() {
    RECT client{}, status{};
    GetClientRect(Handle(), &client);
    GetWindowRect(Item(IDC_TABLE_STATUS), &status);
    const int margin = Scaled(8), buttonWidth = Scaled(100), buttonHeight = Scaled(24),
              gap = Scaled(6);
    const int bottom = client.bottom - (status.bottom - status.top);
    const int buttonTop = bottom - margin - buttonHeight;
    MoveWindow(Item(IDC_TABLE_GRID), margin, margin, client.right - 2 * margin,
               buttonTop - 2 * margin + gap, TRUE);
    MoveWindow(Item(IDCANCEL), client.right - margin - buttonWidth, buttonTop, buttonWidth,
               buttonHeight, TRUE);
    MoveWindow(Item(IDC_TABLE_REFRESH), client.right - margin - 2 * buttonWidth - gap, buttonTop,
               buttonWidth, buttonHeight, TRUE);
}

const TField* TTableEditor::FieldInfo(int field) const {
    const int index = (field - 1) * Table.RowCount;
    if (field < 1 || index < 0 || index >= Table.Fields.Count())
        return nullptr;
    return &Table.Fields[index];
}

void TTableEditor::FillLastColumn() {
    const int last = Grid->ColCount() - 1;
    int others = 0;
    for (int column = 0; column < last; ++column)
        others += Grid->ColWidth(column) + Grid->GridLineWidth();
    const int width = Grid->ClientWidth() - others - Grid->GridLineWidth();
    Grid->SetColWidth(last, std::max(width, Scaled(MinLastColumn)));
}

void TTableEditor::ShowFieldStatus(int column, int row) {
    const TField* field = FieldInfo(DescribedField(column, row));
    const std::string texts[] = {field ? FieldTypeText(*field) : std::string(),
                                 field ? FieldRangeText(*field) : std::string(),
                                 field ? FieldSizeText(*field) : std::string()};
    for (int part = 0; part < 3; ++part)
        SendMessageW(Item(IDC_TABLE_STATUS), SB_SETTEXTW, static_cast<WPARAM>(part),
                     reinterpret_cast<LPARAM>(Cp1251ToWide(texts[part]).c_str()));
}

bool TTableEditor::GridSelectCell(int column, int row) {
    return Guarded([&] {
        ShowFieldStatus(column, row);
        const int leftColumn = Grid->Col(), leftRow = Grid->Row();
        const TField* field = FieldAt(leftColumn, leftRow);
        if (!field || WideToCp1251(Grid->Cell(leftColumn, leftRow)) == field->Value)
            return true;
        if (WriteCell(leftColumn, leftRow))
            return true;
        ShowFieldStatus(leftColumn, leftRow); // the cursor stays: so does its description
        return false;
    });
}

bool TTableEditor::WriteCell(int column, int row) {
    TField* field = FieldAt(column, row);
    if (!field)
        return true;
    const std::string text = WideToCp1251(Grid->Cell(column, row));
    Driver.SetRowNumber(field->RowNumber);
    Driver.SetTableNumber(field->TableNumber);
    Driver.SetFieldNumber(field->FieldNumber);
    Driver.SetFieldMinValue(field->MinValue);
    Driver.SetFieldMaxValue(field->MaxValue);
    Driver.SetFieldSize(field->Size);
    Driver.SetFieldValue(text);
    if (Driver.WriteTable() == 0) {
        field->Value = text;
        return true;
    }
    ShowError(Handle(), Cp1251ToWide(Driver.ResultDescription()));
    Grid->SetCell(column, row, Cp1251ToWide(field->Value));
    return false;
}

void TTableEditor::ReadCell(int column, int row) {
    TField* field = FieldAt(column, row);
    if (!field)
        return;
    Driver.SetRowNumber(field->RowNumber);
    Driver.SetTableNumber(field->TableNumber);
    Driver.SetFieldNumber(field->FieldNumber);
    if (Driver.ReadTable() != 0) {
        ShowError(Handle(), Cp1251ToWide(Driver.ResultDescription()));
        return;
    }
    field->Value = Driver.FieldValue();
    Grid->SetCell(column, row, Cp1251ToWide(field->Value));
}

void TTableEditor::Refresh() {
    struct TFillAgain { // whether or not the read finished, and also when it raised
        TTableEditor& Form;
        ~TFillAgain() {
            Form.FillGrid();
            Form.FillLastColumn();
            Form.ShowFieldStatus(Form.Grid->Col(), Form.Grid->Row());
        }
    } fill{*this};
    Transfer.ReadWholeTable(Table);
}

void TTableEditor::PopupMenu(POINT screen) {
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, IDM_TABLE_WRITE_FIELD, L"Записать поле");
    AppendMenuW(menu, MF_STRING, IDM_TABLE_READ_FIELD, L"Прочитать поле");
    TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, screen.x, screen.y, 0, Handle(), nullptr);
    DestroyMenu(menu);
}
