#include "fmuDump.h"

#include "untDpi.h"
#include "untGrid.h"
#include "untSkavinRes.h"

#include <cstdio>

namespace {
const int Columns = 17, BytesPerRow = 16;
// Pixels at 96 DPI.
const int ColumnWidth = 20, RowHeight = 18, AddressWidth = 60;
const int MinWidth = 412, MinHeight = 130, StartHeight = 320;

std::wstring Hex(unsigned value, int digits) {
    wchar_t text[16];
    std::swprintf(text, 16, L"%0*X", digits, value);
    return text;
}
} // namespace

int DumpRowCount(const std::string& data) {
    const std::size_t rows = (data.size() + BytesPerRow - 1) / BytesPerRow;
    return 1 + static_cast<int>(rows == 0 ? 1 : rows);
}

std::wstring DumpCell(const std::string& data, int column, int row) {
    if (row == 0)
        return column == 0 ? L"" : Hex(static_cast<unsigned>(column - 1), 2);
    const std::size_t start = static_cast<std::size_t>(row - 1) * BytesPerRow;
    if (column == 0)
        return Hex(static_cast<unsigned>(start), 6);
    const std::size_t index = start + static_cast<std::size_t>(column - 1);
    return index < data.size() ? Hex(static_cast<unsigned char>(data[index]), 2) : L"";
}

TfmDump::TfmDump(const std::string& data) : TDialog(IDD_DUMP), Data(data) {}

void TfmDump::OnInit() {
    TGrid* grid = TGrid::FromHandle(Item(IDC_DUMP_GRID));
    // The grid asks for the texts it shows: a whole memory costs no more than a block.
    grid->OnGetText = [this](int column, int row) { return DumpCell(Data, column, row); };
    grid->SetReadOnly(true);
    grid->SetSize(Columns, DumpRowCount(Data));
    grid->SetFixed(1, 1);
    grid->SetDefaultRowHeight(Scaled(RowHeight));
    grid->SetColWidth(0, Scaled(AddressWidth));
    for (int column = 1; column < Columns; ++column)
        grid->SetColWidth(column, Scaled(ColumnWidth));

    // Centred on the main window, wide enough for every column.
    HWND owner = GetWindow(Handle(), GW_OWNER);
    RECT area{};
    GetWindowRect(owner ? owner : GetDesktopWindow(), &area);
    const int width = Scaled(MinWidth), height = Scaled(StartHeight);
    const int left = area.left + (area.right - area.left - width) / 2;
    const int top = area.top + (area.bottom - area.top - height) / 2;
    SetWindowPos(Handle(), nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    FitGrid();
    SetFocus(grid->Handle());
}

bool TfmDump::OnMessage(UINT message, WPARAM, LPARAM lParam, INT_PTR& result) {
    switch (message) {
    case WM_SIZE:
        FitGrid();
        return false;
    case WM_GETMINMAXINFO: {
        auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
        limits->ptMinTrackSize = {Scaled(MinWidth), Scaled(MinHeight)};
        result = 0;
        return true;
    }
    default:
        return false;
    }
}

void TfmDump::FitGrid() {
    RECT client{};
    GetClientRect(Handle(), &client);
    MoveWindow(Item(IDC_DUMP_GRID), 0, 0, client.right, client.bottom, TRUE);
}

void ShowDump(HWND owner, const std::string& data) {
    TGrid::Register(GetModuleHandleW(nullptr));
    TfmDump dump(data);
    dump.ShowModal(owner);
}
