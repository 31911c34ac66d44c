#include "fmuDump.h"

#include "tools/untGrid.h"
#include "untSkavinRes.h"

#include <cstdio>

namespace {
const int Columns = 17, BytesPerRow = 16;
const int ColumnWidth = 20, RowHeight = 18, AddressWidth = 60;
const int MinWidth = 412, MinHeight = 130, StartHeight = 320;

std::wstring Hex(unsigned value, int digits) {
    wchar_t text[16];
    std::swprintf(text, 16, L"%0*X", digits, value);
    return text;
}
} // namespace

std::vector<std::vector<std::wstring>> DumpRows(const std::string& data) {
    std::vector<std::vector<std::wstring>> rows(1, std::vector<std::wstring>(Columns));
    for (int column = 1; column < Columns; ++column)
        rows[0][static_cast<std::size_t>(column)] = Hex(static_cast<unsigned>(column - 1), 2);
    const std::size_t count = data.empty() ? 1 : (data.size() + BytesPerRow - 1) / BytesPerRow;
    for (std::size_t r = 0; r < count; ++r) {
        std::vector<std::wstring> row(Columns);
        row[0] = Hex(static_cast<unsigned>(r * BytesPerRow), 6);
        for (std::size_t i = 0; i < BytesPerRow && r * BytesPerRow + i < data.size(); ++i)
            row[i + 1] = Hex(static_cast<unsigned char>(data[r * BytesPerRow + i]), 2);
        rows.push_back(std::move(row));
    }
    return rows;
}

TfmDump::TfmDump(const std::string& data) : TDialog(IDD_DUMP), Data(data) {}

void TfmDump::OnInit() {
    TGrid* grid = TGrid::FromHandle(Item(IDC_DUMP_GRID));
    const std::vector<std::vector<std::wstring>> rows = DumpRows(Data);
    grid->SetReadOnly(true);
    grid->SetSize(Columns, static_cast<int>(rows.size()));
    grid->SetFixed(1, 1);
    grid->SetDefaultRowHeight(RowHeight);
    grid->SetColWidth(0, AddressWidth);
    for (int column = 1; column < Columns; ++column)
        grid->SetColWidth(column, ColumnWidth);
    for (std::size_t row = 0; row < rows.size(); ++row)
        for (std::size_t column = 0; column < rows[row].size(); ++column)
            grid->SetCell(static_cast<int>(column), static_cast<int>(row), rows[row][column]);

    // Centred on the main window, wide enough for every column.
    HWND owner = GetWindow(Handle(), GW_OWNER);
    RECT area{};
    GetWindowRect(owner ? owner : GetDesktopWindow(), &area);
    const int left = area.left + (area.right - area.left - MinWidth) / 2;
    const int top = area.top + (area.bottom - area.top - StartHeight) / 2;
    SetWindowPos(Handle(), nullptr, left, top, MinWidth, StartHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);
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
        limits->ptMinTrackSize = {MinWidth, MinHeight};
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
