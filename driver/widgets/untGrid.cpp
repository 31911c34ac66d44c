#include "untGrid.h"

#include "untDpi.h"
#include "untHolders.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>

const wchar_t GridClassName[] = L"TrelmoGrid";

namespace {
const int EditorId = 1;
// Pixels at 96 DPI.
const int TextMargin = 2;
const int SizingSlack = 3; // either side of a heading border: grabs it
const int MinColumnWidth = 4;
const int WheelRows = 3;

int Clamp(int value, int low, int high) {
    return std::max(low, std::min(value, high));
}
} // namespace

void TGrid::Register(HINSTANCE instance) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExW(instance, GridClassName, &existing))
        return;
    WNDCLASSEXW kind{};
    kind.cbSize = sizeof kind;
    kind.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    kind.lpfnWndProc = Procedure;
    kind.hInstance = instance;
    kind.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    kind.lpszClassName = GridClassName;
    RegisterClassExW(&kind);
}

TGrid* TGrid::FromHandle(HWND window) {
    return reinterpret_cast<TGrid*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

TGrid::TGrid(HWND window) : Window(window) {
    Widths.assign(static_cast<std::size_t>(Columns), 64);
    Texts.resize(Index(0, Rows));
    Editor = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_AUTOHSCROLL, 0, 0, 0, 0, Window,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(EditorId)),
                             reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(Window, GWLP_HINSTANCE)),
                             nullptr);
    SetWindowSubclass(Editor, EditorProcedure, 0, reinterpret_cast<DWORD_PTR>(this));
}

TGrid::~TGrid() {
    if (Editor)
        RemoveWindowSubclass(Editor, EditorProcedure, 0);
}

LRESULT CALLBACK TGrid::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    TGrid* grid = FromHandle(window);
    if (message == WM_NCCREATE && !grid) {
        grid = new TGrid(window);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(grid));
    }
    if (!grid)
        return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        delete grid;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return grid->Dispatch(message, wParam, lParam);
}

// ---------------------------------------------------------------- the model

void TGrid::SetSize(int columns, int rows) {
    columns = std::max(columns, 1);
    rows = std::max(rows, 1);
    std::vector<std::wstring> texts;
    if (!OnGetText) { // the owner's data costs the grid nothing, whatever the row count
        texts.resize(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows));
        for (int r = 0; r < std::min(rows, Rows); ++r)
            for (int c = 0; c < std::min(columns, Columns) && Index(c, r) < Texts.size(); ++c)
                texts[static_cast<std::size_t>(r) * static_cast<std::size_t>(columns) +
                      static_cast<std::size_t>(c)] = std::move(Texts[Index(c, r)]);
    }
    Texts = std::move(texts);
    Widths.resize(static_cast<std::size_t>(columns), 64);
    Columns = columns;
    Rows = rows;
    SetFixed(FixedColumns, FixedRowCount);
}

void TGrid::SetFixed(int columns, int rows) {
    FixedColumns = Clamp(columns, 0, Columns - 1);
    FixedRowCount = Clamp(rows, 0, Rows - 1);
    CurrentColumn = Clamp(CurrentColumn, FixedColumns, Columns - 1);
    CurrentRow = Clamp(CurrentRow, FixedRowCount, Rows - 1);
    TopRow = Clamp(TopRow, FixedRowCount, Rows - 1);
    LeftColumn = Clamp(LeftColumn, FixedColumns, Columns - 1);
    UpdateScrollBars();
    ScrollIntoView();
    LoadEditor();
    InvalidateRect(Window, nullptr, TRUE);
}

void TGrid::SetColWidth(int column, int width) {
    if (column < 0 || column >= Columns)
        return;
    Widths[static_cast<std::size_t>(column)] = std::max(width, 0);
    UpdateScrollBars();
    PlaceEditor();
    InvalidateRect(Window, nullptr, TRUE);
}

int TGrid::ColWidth(int column) const {
    return column >= 0 && column < Columns ? Widths[static_cast<std::size_t>(column)] : 0;
}

void TGrid::SetDefaultRowHeight(int height) {
    RowHeight = std::max(height, 1);
    UpdateScrollBars();
    PlaceEditor();
    InvalidateRect(Window, nullptr, TRUE);
}

int TGrid::ClientWidth() const {
    RECT client{};
    GetClientRect(Window, &client);
    return static_cast<int>(client.right);
}

int TGrid::TextWidth(const std::wstring& text) const {
    return TextExtent(text).cx;
}

int TGrid::CellMargin() const {
    return Scaled(TextMargin);
}

void TGrid::FitColumn(int column) {
    if (column < 0 || column >= Columns)
        return;
    const TWindowDc dc(Window);
    HGDIOBJ old = SelectObject(dc.Get(), Font ? Font : GetStockObject(DEFAULT_GUI_FONT));
    int widest = 0;
    for (int row = 0; row < Rows; ++row) {
        const std::wstring text = Cell(column, row);
        SIZE size{};
        GetTextExtentPoint32W(dc.Get(), text.c_str(), static_cast<int>(text.size()), &size);
        widest = std::max(widest, static_cast<int>(size.cx));
    }
    SelectObject(dc.Get(), old);
    SetColWidth(column, std::max(Scaled(MinColumnWidth), widest + 2 * CellMargin()));
    LoadEditor(); // its text scrolled to fit the old width
}

int TGrid::TextHeight(const std::wstring& text) const {
    return TextExtent(text).cy;
}

SIZE TGrid::TextExtent(const std::wstring& text) const {
    const TWindowDc dc(Window);
    HGDIOBJ old = SelectObject(dc.Get(), Font ? Font : GetStockObject(DEFAULT_GUI_FONT));
    SIZE size{};
    GetTextExtentPoint32W(dc.Get(), text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc.Get(), old);
    return size;
}

std::wstring TGrid::Cell(int column, int row) const {
    if (column < 0 || row < 0 || column >= Columns || row >= Rows)
        return {};
    if (OnGetText)
        return OnGetText(column, row);
    return Texts[Index(column, row)];
}

void TGrid::SetCell(int column, int row, const std::wstring& text) {
    if (column < 0 || row < 0 || column >= Columns || row >= Rows || OnGetText)
        return;
    Texts[Index(column, row)] = text;
    if (column == CurrentColumn && row == CurrentRow)
        LoadEditor();
    RECT box;
    if (CellRect(column, row, box))
        InvalidateRect(Window, &box, FALSE);
}

bool TGrid::MoveTo(int column, int row) {
    column = Clamp(column, FixedColumns, Columns - 1);
    row = Clamp(row, FixedRowCount, Rows - 1);
    if (column != CurrentColumn || row != CurrentRow) {
        if (OnSelectCell && !OnSelectCell(column, row))
            return false;
        CurrentColumn = column;
        CurrentRow = row;
        InvalidateRect(Window, nullptr, FALSE);
    }
    ScrollIntoView();
    LoadEditor();
    return true;
}

void TGrid::SetReadOnly(bool readOnly) {
    NoEditor = readOnly;
    LoadEditor();
    InvalidateRect(Window, nullptr, FALSE);
}

// ---------------------------------------------------------------- geometry

int TGrid::FixedWidth() const {
    int width = 0;
    for (int c = 0; c < FixedColumns; ++c)
        width += ColWidth(c) + GridLineWidth();
    return width;
}

int TGrid::FixedHeight() const {
    return FixedRowCount * (RowHeight + GridLineWidth());
}

int TGrid::ColumnLeft(int column) const {
    if (column < FixedColumns) {
        int x = 0;
        for (int c = 0; c < column; ++c)
            x += ColWidth(c) + GridLineWidth();
        return x;
    }
    int x = FixedWidth();
    if (column >= LeftColumn)
        for (int c = LeftColumn; c < column; ++c)
            x += ColWidth(c) + GridLineWidth();
    else
        for (int c = column; c < LeftColumn; ++c)
            x -= ColWidth(c) + GridLineWidth();
    return x;
}

bool TGrid::CellRect(int column, int row, RECT& box) const {
    if (column < 0 || row < 0 || column >= Columns || row >= Rows)
        return false;
    if ((column >= FixedColumns && column < LeftColumn) || (row >= FixedRowCount && row < TopRow))
        return false;
    RECT client{};
    GetClientRect(Window, &client);
    const int step = RowHeight + GridLineWidth();
    box.left = ColumnLeft(column);
    box.right = box.left + ColWidth(column);
    box.top = row < FixedRowCount ? row * step : FixedHeight() + (row - TopRow) * step;
    box.bottom = box.top + RowHeight;
    return box.left < client.right && box.top < client.bottom;
}

bool TGrid::HitCell(POINT point, int& column, int& row) const {
    const int step = RowHeight + GridLineWidth();
    if (point.y < 0 || point.x < 0)
        return false;
    row = point.y < FixedHeight() ? point.y / step : TopRow + (point.y - FixedHeight()) / step;
    if (row >= Rows)
        return false;
    int x = 0;
    for (int c = 0; c < FixedColumns; ++c) {
        x += ColWidth(c) + GridLineWidth();
        if (point.x < x) {
            column = c;
            return true;
        }
    }
    for (int c = LeftColumn; c < Columns; ++c) {
        x += ColWidth(c) + GridLineWidth();
        if (point.x < x) {
            column = c;
            return true;
        }
    }
    return false;
}

int TGrid::VisibleRows() const {
    RECT client{};
    GetClientRect(Window, &client);
    return std::max(1, (static_cast<int>(client.bottom) - FixedHeight()) /
                           (RowHeight + GridLineWidth()));
}

int TGrid::VisibleColumns() const {
    const int room = ClientWidth() - FixedWidth();
    int count = 0;
    for (int c = LeftColumn, x = 0; c < Columns; ++c, ++count) {
        x += ColWidth(c) + GridLineWidth();
        if (x > room)
            break;
    }
    return std::max(1, count);
}

int TGrid::SizingBorder(POINT point) const {
    if (point.y >= FixedHeight() || FixedRowCount == 0)
        return -1;
    for (int c = 0; c < Columns; ++c) {
        if (c >= FixedColumns && c < LeftColumn)
            continue;
        const int border = ColumnLeft(c) + ColWidth(c);
        if (point.x >= border - Scaled(SizingSlack) && point.x <= border + Scaled(SizingSlack))
            return c;
        if (border > point.x + Scaled(SizingSlack))
            break;
    }
    return -1;
}

// ---------------------------------------------------------------- scrolling

void TGrid::UpdateScrollBars() {
    if (UpdatingBars)
        return; // a bar that comes or goes resizes the client area
    UpdatingBars = true;
    // Twice: one bar appearing can take the room the other needed.
    for (int pass = 0; pass < 2; ++pass) {
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
        info.nMin = 0;
        info.nMax = std::max(0, Rows - FixedRowCount - 1);
        info.nPage = static_cast<UINT>(VisibleRows());
        info.nPos = TopRow - FixedRowCount;
        SetScrollInfo(Window, SB_VERT, &info, TRUE);

        int total = FixedWidth();
        for (int c = FixedColumns; c < Columns; ++c)
            total += ColWidth(c) + GridLineWidth();
        info.nMax = std::max(0, Columns - FixedColumns - 1);
        info.nPage = total <= ClientWidth() ? static_cast<UINT>(info.nMax + 1)
                                            : static_cast<UINT>(VisibleColumns());
        info.nPos = LeftColumn - FixedColumns;
        SetScrollInfo(Window, SB_HORZ, &info, TRUE);
    }
    UpdatingBars = false;
    // A grown client area may show rows or columns above the first one shown.
    const int lastTop = std::max(FixedRowCount, Rows - VisibleRows());
    if (TopRow > lastTop)
        ScrollTo(lastTop, LeftColumn);
}

void TGrid::ScrollTo(int top, int left) {
    top = Clamp(top, FixedRowCount, std::max(FixedRowCount, Rows - VisibleRows()));
    left = Clamp(left, FixedColumns, Columns - 1);
    if (top == TopRow && left == LeftColumn)
        return;
    TopRow = top;
    LeftColumn = left;
    SetScrollPos(Window, SB_VERT, TopRow - FixedRowCount, TRUE);
    SetScrollPos(Window, SB_HORZ, LeftColumn - FixedColumns, TRUE);
    PlaceEditor();
    InvalidateRect(Window, nullptr, FALSE);
}

void TGrid::ScrollIntoView() {
    int top = TopRow, left = LeftColumn;
    if (CurrentRow < top)
        top = CurrentRow;
    else if (CurrentRow >= top + VisibleRows())
        top = CurrentRow - VisibleRows() + 1;
    if (CurrentColumn < left) {
        left = CurrentColumn;
    } else {
        // The current column's right edge inside the client area, when it can be.
        const int room = ClientWidth() - FixedWidth();
        int width = 0;
        for (int c = left; c <= CurrentColumn; ++c)
            width += ColWidth(c) + GridLineWidth();
        while (left < CurrentColumn && width > room) {
            width -= ColWidth(left) + GridLineWidth();
            ++left;
        }
    }
    ScrollTo(top, left);
    PlaceEditor();
}

void TGrid::OnScroll(int bar, int request) {
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    GetScrollInfo(Window, bar, &info);
    int position = info.nPos;
    const int page = std::max(1, static_cast<int>(info.nPage));
    switch (request) {
    case SB_LINEUP:
        --position;
        break;
    case SB_LINEDOWN:
        ++position;
        break;
    case SB_PAGEUP:
        position -= page;
        break;
    case SB_PAGEDOWN:
        position += page;
        break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
        position = info.nTrackPos;
        break;
    case SB_TOP:
        position = 0;
        break;
    case SB_BOTTOM:
        position = info.nMax;
        break;
    default:
        return;
    }
    if (bar == SB_VERT)
        ScrollTo(FixedRowCount + position, LeftColumn);
    else
        ScrollTo(TopRow, FixedColumns + position);
}

// ---------------------------------------------------------------- the edit box

// Its own style: while the dialog is still hidden, IsWindowVisible says no for every child.
bool TGrid::EditorShown() const {
    return (GetWindowLongW(Editor, GWL_STYLE) & WS_VISIBLE) != 0;
}

void TGrid::PlaceEditor() {
    RECT box{};
    const bool shown = !NoEditor && CellRect(CurrentColumn, CurrentRow, box);
    if (shown) {
        // The edited text stands where the cell's own text is drawn, centred in the row.
        const int lineHeight = std::min(TextHeight(L"A"), static_cast<int>(box.bottom - box.top));
        SendMessageW(Editor, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, 0);
        SetWindowPos(Editor, nullptr, box.left + CellMargin(),
                     box.top + (box.bottom - box.top - lineHeight) / 2,
                     box.right - box.left - 2 * CellMargin(), lineHeight,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
        if (GetFocus() == Window) // it had gone to the grid while the cell was scrolled away
            SetFocus(Editor);
    } else if (EditorShown()) {
        const bool focused = GetFocus() == Editor;
        ShowWindow(Editor, SW_HIDE);
        if (focused)
            SetFocus(Window);
    }
}

void TGrid::LoadEditor() {
    if (NoEditor) {
        PlaceEditor();
        return;
    }
    Loading = true;
    SetWindowTextW(Editor, Cell(CurrentColumn, CurrentRow).c_str());
    Loading = false;
    SendMessageW(Editor, EM_SETSEL, 0, -1);
    PlaceEditor();
}

LRESULT CALLBACK TGrid::EditorProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                        UINT_PTR, DWORD_PTR self) {
    (void)window;
    return reinterpret_cast<TGrid*>(self)->EditorMessage(message, wParam, lParam);
}

LRESULT TGrid::EditorMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_GETDLGCODE: {
        LRESULT code = DefSubclassProc(Editor, message, wParam, lParam) | DLGC_WANTARROWS;
        const MSG* pending = reinterpret_cast<const MSG*>(lParam);
        if (pending && pending->message == WM_KEYDOWN && pending->wParam == VK_RETURN)
            code |= DLGC_WANTMESSAGE;
        return code;
    }
    case WM_KEYDOWN: {
        DWORD start = 0, end = 0;
        SendMessageW(Editor, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                     reinterpret_cast<LPARAM>(&end));
        const DWORD length = static_cast<DWORD>(GetWindowTextLengthW(Editor));
        const bool control = GetKeyState(VK_CONTROL) < 0;
        // Left and Right move the caret, and leave the cell only from its edge.
        const bool leave = wParam == VK_UP || wParam == VK_DOWN || wParam == VK_PRIOR ||
                           wParam == VK_NEXT || wParam == VK_RETURN ||
                           (control && (wParam == VK_HOME || wParam == VK_END)) ||
                           (wParam == VK_LEFT && start == 0 && end == 0) ||
                           (wParam == VK_RIGHT && start == length && end == length);
        if (leave && Key(wParam))
            return 0;
        break;
    }
    case WM_CHAR:
        if (wParam == L'\r' || wParam == L'\n')
            return 0; // Enter was a key of the grid
        break;
    case WM_CONTEXTMENU:
        ContextMenu(lParam);
        return 0;
    default:
        break;
    }
    return DefSubclassProc(Editor, message, wParam, lParam);
}

// ---------------------------------------------------------------- input

bool TGrid::Key(WPARAM key) {
    const bool control = GetKeyState(VK_CONTROL) < 0;
    int column = CurrentColumn, row = CurrentRow;
    switch (key) {
    case VK_UP:
        --row;
        break;
    case VK_DOWN:
        ++row;
        break;
    case VK_LEFT:
        --column;
        break;
    case VK_RIGHT:
        ++column;
        break;
    case VK_PRIOR:
        row -= VisibleRows();
        break;
    case VK_NEXT:
        row += VisibleRows();
        break;
    case VK_HOME:
        column = FixedColumns;
        if (control)
            row = FixedRowCount;
        break;
    case VK_END:
        column = Columns - 1;
        if (control)
            row = Rows - 1;
        break;
    case VK_RETURN:
        if (OnEnter)
            OnEnter();
        return true;
    default:
        return false;
    }
    MoveTo(column, row);
    return true;
}

void TGrid::ContextMenu(LPARAM lParam) {
    POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    if (point.x == -1 && point.y == -1) { // from the keyboard: at the current cell
        RECT box{};
        if (!CellRect(CurrentColumn, CurrentRow, box))
            box = RECT{0, 0, 0, 0};
        point = {box.left + CellMargin(), box.bottom};
        ClientToScreen(Window, &point);
    }
    if (OnContextMenu)
        OnContextMenu(point);
}

LRESULT TGrid::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(Window, &paint);
        Paint(dc, paint.rcPaint);
        EndPaint(Window, &paint);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1; // the painting covers everything
    case WM_SIZE:
        UpdateScrollBars();
        PlaceEditor();
        return 0;
    case WM_SETFONT:
        Font = reinterpret_cast<HFONT>(wParam);
        SendMessageW(Editor, WM_SETFONT, wParam, lParam);
        if (LOWORD(lParam))
            InvalidateRect(Window, nullptr, TRUE);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(Font);
    case WM_GETDLGCODE: {
        LRESULT code = DLGC_WANTARROWS | DLGC_WANTCHARS;
        const MSG* pending = reinterpret_cast<const MSG*>(lParam);
        if (pending && pending->message == WM_KEYDOWN && pending->wParam == VK_RETURN)
            code |= DLGC_WANTMESSAGE;
        return code;
    }
    case WM_SETFOCUS:
        if (!NoEditor && EditorShown())
            SetFocus(Editor);
        InvalidateRect(Window, nullptr, FALSE);
        return 0;
    case WM_KILLFOCUS:
        InvalidateRect(Window, nullptr, FALSE);
        return 0;
    case WM_KEYDOWN:
        if (Key(wParam))
            return 0;
        break;
    case WM_COMMAND:
        // Typing goes straight into the cell, so a move sees what the user typed.
        if (LOWORD(wParam) == EditorId && HIWORD(wParam) == EN_CHANGE && !Loading && !OnGetText) {
            const int length = GetWindowTextLengthW(Editor);
            std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
            text.resize(static_cast<std::size_t>(GetWindowTextW(Editor, &text[0], length + 1)));
            Texts[Index(CurrentColumn, CurrentRow)] = text;
        }
        return 0;
    case WM_LBUTTONDOWN: {
        SetFocus(Window);
        const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        SizingColumn = SizingBorder(point);
        if (SizingColumn >= 0) {
            SizingStart = point.x;
            SizingWidth = ColWidth(SizingColumn);
            SetCapture(Window);
            return 0;
        }
        int column = 0, row = 0;
        if (HitCell(point, column, row) && column >= FixedColumns && row >= FixedRowCount)
            MoveTo(column, row);
        return 0;
    }
    case WM_LBUTTONDBLCLK: {
        // On a heading border the column fits its widest text, as in a spreadsheet; elsewhere
        // the second click is a click.
        const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        const int column = SizingBorder(point);
        if (column < 0)
            return Dispatch(WM_LBUTTONDOWN, wParam, lParam);
        FitColumn(column);
        return 0;
    }
    case WM_MOUSEMOVE:
        if (SizingColumn >= 0)
            SetColWidth(SizingColumn, std::max(Scaled(MinColumnWidth),
                                               SizingWidth + GET_X_LPARAM(lParam) - SizingStart));
        return 0;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
        if (SizingColumn >= 0) {
            SizingColumn = -1;
            if (GetCapture() == Window)
                ReleaseCapture();
        }
        return 0;
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT) {
            POINT point;
            GetCursorPos(&point);
            ScreenToClient(Window, &point);
            if (SizingColumn >= 0 || SizingBorder(point) >= 0) {
                SetCursor(LoadCursorW(nullptr, IDC_SIZEWE));
                return TRUE;
            }
        }
        break;
    case WM_MOUSEWHEEL:
        ScrollTo(TopRow - GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA * WheelRows, LeftColumn);
        return 0;
    case WM_VSCROLL:
        OnScroll(SB_VERT, LOWORD(wParam));
        return 0;
    case WM_HSCROLL:
        OnScroll(SB_HORZ, LOWORD(wParam));
        return 0;
    case WM_CONTEXTMENU:
        ContextMenu(lParam);
        return 0;
    case GM_SETCURRENT:
        return MoveTo(static_cast<int>(wParam), static_cast<int>(lParam)) &&
               CurrentColumn == static_cast<int>(wParam) && CurrentRow == static_cast<int>(lParam);
    case GM_GETCURRENT:
        return MAKELRESULT(CurrentColumn, CurrentRow);
    case GM_GETCELLTEXT: {
        const std::wstring text = Cell(LOWORD(wParam), HIWORD(wParam));
        if (lParam)
            std::copy(text.c_str(), text.c_str() + text.size() + 1,
                      reinterpret_cast<wchar_t*>(lParam));
        return static_cast<LRESULT>(text.size());
    }
    case GM_GETSIZE:
        return MAKELRESULT(Columns, Rows);
    case GM_GETCOLWIDTH:
        return ColWidth(static_cast<int>(wParam));
    default:
        break;
    }
    return DefWindowProcW(Window, message, wParam, lParam);
}

// ---------------------------------------------------------------- painting

void TGrid::PaintCell(HDC dc, int column, int row, const RECT& box) {
    const bool fixed = column < FixedColumns || row < FixedRowCount;
    const bool current = column == CurrentColumn && row == CurrentRow;
    const bool highlighted = current && NoEditor && GetFocus() == Window;
    int background = COLOR_WINDOW, foreground = COLOR_WINDOWTEXT;
    if (fixed)
        background = COLOR_BTNFACE, foreground = COLOR_BTNTEXT;
    else if (highlighted)
        background = COLOR_HIGHLIGHT, foreground = COLOR_HIGHLIGHTTEXT;
    RECT inside = box;
    FillRect(dc, &inside, GetSysColorBrush(background));
    if (fixed) {
        RECT edge = box;
        DrawEdge(dc, &edge, BDR_RAISEDINNER, BF_RECT);
    } else if (current && NoEditor && !highlighted) {
        DrawFocusRect(dc, &inside);
    }
    SetTextColor(dc, GetSysColor(foreground));
    SetBkMode(dc, TRANSPARENT);
    const std::wstring text = Cell(column, row);
    RECT textBox{box.left + CellMargin(), box.top, box.right - CellMargin(), box.bottom};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textBox,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_LEFT);
}

void TGrid::Paint(HDC target, const RECT& area) {
    RECT client{};
    GetClientRect(Window, &client);
    if (client.right <= 0 || client.bottom <= 0)
        return;
    // Drawn off screen first, so scrolling a large view never flickers. The bitmap outlives
    // the device context, which lets go of it whichever way this ends.
    const TGdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(target, client.right, client.bottom));
    const TMemoryDc memory(CreateCompatibleDC(target));
    HDC dc = memory.Get();
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap.Get());
    HGDIOBJ oldFont = SelectObject(dc, Font ? Font : GetStockObject(DEFAULT_GUI_FONT));
    // Past the last row and column: the window's colour, as a list's empty part.
    FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));

    const int step = RowHeight + GridLineWidth();
    std::vector<int> rows;
    for (int r = 0; r < FixedRowCount; ++r)
        rows.push_back(r);
    for (int r = TopRow; r < Rows && FixedHeight() + (r - TopRow) * step < client.bottom; ++r)
        rows.push_back(r);
    std::vector<int> columns;
    for (int c = 0; c < FixedColumns; ++c)
        columns.push_back(c);
    for (int c = LeftColumn; c < Columns && ColumnLeft(c) < client.right; ++c)
        columns.push_back(c);

    HBRUSH lines = GetSysColorBrush(COLOR_3DLIGHT);
    for (int r : rows)
        for (int c : columns) {
            RECT box{};
            if (!CellRect(c, r, box))
                continue;
            RECT withLines{box.left, box.top, box.right + GridLineWidth(),
                           box.bottom + GridLineWidth()};
            RECT overlap{};
            if (!IntersectRect(&overlap, &withLines, &area))
                continue;
            FillRect(dc, &withLines, lines);
            PaintCell(dc, c, r, box);
        }
    BitBlt(target, area.left, area.top, area.right - area.left, area.bottom - area.top, dc,
           area.left, area.top, SRCCOPY);
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBitmap);
}
