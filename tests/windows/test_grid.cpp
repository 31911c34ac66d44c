// The grid control on its own, in a window of this program: the editable grid as the table
// editors use it, and a read-only view of 60,000 rows whose text the owner gives, as a
// memory dump viewer would use it. Messages are sent on the grid's own thread, so every step
// is done when the call returns.
#include "guihand.h"
#include "untGrid.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <windowsx.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

using guihand::Pump;

namespace {
const int Width = 400, Height = 220;

// The grid is on this thread: it paints only while the thread handles messages.
void Screenshot(const char* label, HWND window) {
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    // Wine hands what was drawn to the display while the thread handles messages.
    for (int round = 0; round < 10; ++round) {
        Pump();
        Sleep(30);
    }
    guihand::ExpectLayoutHolds(label, window);
    guihand::WaitForScreenshot(label);
}

// Ctrl held or not, for the keys that read it.
void SetControl(bool down) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = down ? 0x80 : 0;
    SetKeyboardState(keys);
}

class Grid : public ::testing::Test {
protected:
    void SetUp() override {
        TGrid::Register(GetModuleHandleW(nullptr));
        WNDCLASSW kind{};
        kind.lpfnWndProc = DefWindowProcW;
        kind.hInstance = GetModuleHandleW(nullptr);
        kind.lpszClassName = L"TestGridFrame";
        kind.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        RegisterClassW(&kind);
        Frame = CreateWindowExW(0, L"TestGridFrame", L"Сетка", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40,
                                40, Width + 40, Height + 60, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
        Window =
            CreateWindowExW(WS_EX_CLIENTEDGE, GridClassName, L"",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL, 10, 10,
                            Width, Height, Frame, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_TRUE(Window);
        SendMessageW(Window, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
                     TRUE);
        G = TGrid::FromHandle(Window);
        ASSERT_TRUE(G);
        SetFocus(Window);
        Pump();
    }
    void TearDown() override {
        SetControl(false);
        DestroyWindow(Frame);
        Pump();
    }

    void Key(HWND target, WPARAM key) {
        SendMessageW(target, WM_KEYDOWN, key, 1);
        Pump();
    }
    HWND Editor() const { return FindWindowExW(Window, nullptr, L"Edit", nullptr); }
    std::pair<int, int> Current() const { return {G->Col(), G->Row()}; }
    SCROLLINFO Bar(int bar) const {
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SIF_ALL;
        GetScrollInfo(Window, bar, &info);
        return info;
    }

    HWND Frame = nullptr, Window = nullptr;
    TGrid* G = nullptr;
};

// The editor's grid: typing goes into the current cell, the arrows leave the cell (Left and
// Right only from the text's edge), the owner may refuse a move, Enter and the context menu
// reach the owner.
TEST_F(Grid, EditBoxAndMoves) {
    G->SetSize(4, 6);
    G->SetFixed(1, 1);
    for (int row = 0; row < 6; ++row)
        for (int column = 0; column < 4; ++column)
            G->SetCell(column, row, std::to_wstring(column) + L":" + std::to_wstring(row));
    std::vector<std::pair<int, int>> asked;
    bool refuse = false;
    G->OnSelectCell = [&](int column, int row) {
        asked.emplace_back(column, row);
        return !refuse;
    };
    int enters = 0, menus = 0;
    G->OnEnter = [&] { ++enters; };
    G->OnContextMenu = [&](POINT) { ++menus; };

    HWND edit = Editor();
    ASSERT_TRUE(edit);
    EXPECT_TRUE(IsWindowVisible(edit));
    EXPECT_EQ(edit, GetFocus());
    EXPECT_EQ(std::make_pair(1, 1), Current());
    SetWindowTextW(edit, L"новое");
    EXPECT_EQ(L"новое", G->Cell(1, 1));

    Key(edit, VK_DOWN);
    EXPECT_EQ(std::make_pair(1, 2), Current());
    wchar_t text[32] = {}; // the edit box now holds the new cell's text
    GetWindowTextW(edit, text, 32);
    EXPECT_EQ(L"1:2", std::wstring(text));

    SendMessageW(edit, EM_SETSEL, 1, 1); // the caret inside the text: Right stays in the cell
    Key(edit, VK_RIGHT);
    EXPECT_EQ(std::make_pair(1, 2), Current());
    SendMessageW(edit, EM_SETSEL, 3, 3);
    Key(edit, VK_RIGHT);
    EXPECT_EQ(std::make_pair(2, 2), Current());
    SendMessageW(edit, EM_SETSEL, 0, 0);
    Key(edit, VK_LEFT);
    Key(edit, VK_LEFT); // not into the fixed column
    EXPECT_EQ(std::make_pair(1, 2), Current());

    refuse = true;
    asked.clear();
    Key(edit, VK_UP);
    EXPECT_EQ(std::make_pair(1, 2), Current());
    EXPECT_EQ((std::vector<std::pair<int, int>>{{1, 1}}), asked);
    EXPECT_FALSE(G->MoveTo(3, 5));
    refuse = false;
    EXPECT_TRUE(G->MoveTo(3, 5));
    EXPECT_EQ(std::make_pair(3, 5), Current());

    Key(edit, VK_RETURN);
    EXPECT_EQ(1, enters);
    SendMessageW(edit, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(edit), MAKELPARAM(-1, -1));
    EXPECT_EQ(1, menus);

    // A click on a cell moves there; one on a heading does not.
    RECT client{};
    GetClientRect(Window, &client);
    const int rowStep = G->DefaultRowHeight() + G->GridLineWidth();
    const int x = G->ColWidth(0) + G->ColWidth(1) + 2 + G->ColWidth(2) / 2;
    SendMessageW(Window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, rowStep * 3 + 2));
    SendMessageW(Window, WM_LBUTTONUP, 0, MAKELPARAM(x, rowStep * 3 + 2));
    EXPECT_EQ(std::make_pair(2, 3), Current());
    SendMessageW(Window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, 2));
    SendMessageW(Window, WM_LBUTTONUP, 0, MAKELPARAM(x, 2));
    EXPECT_EQ(std::make_pair(2, 3), Current());
    Screenshot("grid-edit", Frame);
}

// A column border in the heading row can be dragged, or double-clicked to fit the column to
// its widest text, heading included; below the headings a double-click is a click. Past the
// last row and column the grid is the window's colour.
TEST_F(Grid, ColumnSizing) {
    G->SetSize(3, 4);
    G->SetFixed(1, 1);
    G->SetColWidth(0, 30);
    G->SetColWidth(1, 80);
    G->SetColWidth(2, 40);
    const int border = 30 + 1 + 80;
    SendMessageW(Window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(border, 3));
    SendMessageW(Window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(border + 25, 3));
    SendMessageW(Window, WM_LBUTTONUP, 0, MAKELPARAM(border + 25, 3));
    EXPECT_EQ(105, G->ColWidth(1));
    SendMessageW(Window, WM_MOUSEMOVE, 0, MAKELPARAM(border + 60, 3));
    EXPECT_EQ(105, G->ColWidth(1)); // the drag has ended

    const std::wstring cells[] = {L"Считыватель", L"Считыватель карт доступа", L"Замок"};
    G->SetCell(1, 0, cells[0]);
    for (int row = 1; row <= 3; ++row)
        G->SetCell(1, row, cells[row - 1]);
    G->SetCell(2, 0, L"Очень длинное название поля");
    G->SetCell(2, 1, L"1");
    const auto doubleClick = [&](int x, int y) {
        const LPARAM at = MAKELPARAM(x, y);
        SendMessageW(Window, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(Window, WM_LBUTTONUP, 0, at);
        SendMessageW(Window, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
        SendMessageW(Window, WM_LBUTTONUP, 0, at);
    };
    const int rowStep = G->DefaultRowHeight() + G->GridLineWidth();
    doubleClick(30 + 1 + 105 - 1, rowStep * 2 + 3); // on the border, below the headings
    EXPECT_EQ(105, G->ColWidth(1));
    EXPECT_EQ(std::make_pair(1, 2), std::make_pair(G->Col(), G->Row()));

    doubleClick(30 + 1 + 105 + 1, 3);
    EXPECT_EQ(G->TextWidth(cells[1]) + 2 * G->CellMargin(), G->ColWidth(1)) << "a cell's text";
    const int second = 30 + 1 + G->ColWidth(1) + 1 + 40;
    doubleClick(second, 3);
    EXPECT_EQ(G->TextWidth(L"Очень длинное название поля") + 2 * G->CellMargin(), G->ColWidth(2))
        << "the heading's text";

    RECT client{};
    GetClientRect(Window, &client);
    G->SetColWidth(2, 40);
    RedrawWindow(Window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    HDC dc = GetDC(Window);
    const COLORREF below = GetPixel(dc, 10, rowStep * 4 + 4);
    const COLORREF right = GetPixel(dc, client.right - 4, 4);
    ReleaseDC(Window, dc);
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), below) << "below the last row";
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), right) << "right of the last column";
    Screenshot("grid-fit", Frame);
}

// A read-only view of 60,000 rows: the text comes from the owner, only the visible rows are
// asked for when painting, the keys page and jump through the rows, and the scroll bar follows.
TEST_F(Grid, LargeReadOnlyView) {
    const int rows = 60001;
    int asked = 0;
    G->OnGetText = [&](int column, int row) {
        ++asked;
        if (row == 0)
            return column == 0 ? std::wstring(L"Адрес") : L"+" + std::to_wstring(column - 1);
        wchar_t text[16];
        if (column == 0)
            std::swprintf(text, 16, L"%06X", (row - 1) * 16);
        else
            std::swprintf(text, 16, L"%02X", (row + column) & 0xFF);
        return std::wstring(text);
    };
    G->SetSize(17, rows);
    G->SetFixed(1, 1);
    G->SetReadOnly(true);
    G->SetColWidth(0, 60);
    for (int column = 1; column < 17; ++column)
        G->SetColWidth(column, 22);
    SetFocus(Window);
    EXPECT_FALSE(IsWindowVisible(Editor()));

    asked = 0;
    RedrawWindow(Window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    const int visibleRows = Height / G->DefaultRowHeight() + 1;
    EXPECT_GT(asked, 0);
    EXPECT_LE(asked, 17 * (visibleRows + 1));

    Key(Window, VK_NEXT);
    const int page = G->Row() - 1;
    EXPECT_GT(page, 3);
    SetControl(true);
    Key(Window, VK_END);
    SetControl(false);
    EXPECT_EQ(std::make_pair(16, rows - 1), Current());
    SCROLLINFO bar = Bar(SB_VERT);
    EXPECT_EQ(rows - 2, bar.nMax);
    EXPECT_EQ(bar.nMax + 1 - static_cast<int>(bar.nPage), bar.nPos);

    asked = 0;
    RedrawWindow(Window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_LE(asked, 17 * (visibleRows + 1));
    Screenshot("grid-large", Frame);

    SetControl(true);
    Key(Window, VK_HOME);
    SetControl(false);
    EXPECT_EQ(std::make_pair(1, 1), Current());
    EXPECT_EQ(0, Bar(SB_VERT).nPos);
    SendMessageW(Window, WM_VSCROLL, SB_PAGEDOWN, 0);
    EXPECT_EQ(static_cast<int>(Bar(SB_VERT).nPage), Bar(SB_VERT).nPos);
    EXPECT_EQ(std::make_pair(1, 1), Current()); // scrolling does not move the cursor
}
} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
