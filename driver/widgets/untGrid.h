// A small string grid: fixed heading rows and columns, column widths the user can drag (or fit
// to their text with a double-click on the border), keyboard
// and mouse navigation, scrolling, and an edit box always shown on the current cell (or none,
// read-only). Drawing and hit-testing cost what the visible rows cost, never the row count, so
// it serves large read-only views too (give the text through OnGetText then).
//
// It is a registered window class, GridClassName: put it in a dialog template as a CONTROL of
// that class (WS_TABSTOP, a border, WS_VSCROLL | WS_HSCROLL) after TGrid::Register, and reach
// the object with TGrid::FromHandle.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

extern const wchar_t GridClassName[];

// Messages for another thread (tests, automation of the dialogs). Send them; GM_SETCURRENT may
// be posted when the move can show a message box.
const UINT GM_SETCURRENT = WM_APP + 0x300;  // wParam column, lParam row; TRUE when it moved
const UINT GM_GETCURRENT = WM_APP + 0x301;  // MAKELRESULT(column, row)
const UINT GM_GETCELLTEXT = WM_APP + 0x302; // wParam MAKEWPARAM(column, row), lParam wchar_t*
                                            // (length + 1 characters, or null); the length
const UINT GM_GETSIZE = WM_APP + 0x303;     // MAKELRESULT(column count, row count)
const UINT GM_GETCOLWIDTH = WM_APP + 0x304; // wParam column; its width in pixels

class TGrid {
public:
    // Once per module whose dialogs hold grids; further calls do nothing.
    static void Register(HINSTANCE instance);
    static TGrid* FromHandle(HWND window);
    HWND Handle() const { return Window; }

    // The sizes keep the texts of cells that stay; the current cell moves into range. The
    // messages below carry positions in 16 bits: up to 65535 rows and columns.
    void SetSize(int columns, int rows);
    void SetFixed(int columns, int rows);
    int ColCount() const { return Columns; }
    int RowCount() const { return Rows; }
    int FixedCols() const { return FixedColumns; }
    int FixedRows() const { return FixedRowCount; }
    void SetColWidth(int column, int width);
    int ColWidth(int column) const;
    void SetDefaultRowHeight(int height);
    int DefaultRowHeight() const { return RowHeight; }
    int GridLineWidth() const { return 1; }
    // Width of the client area without the scroll bars, for columns that must fill it.
    int ClientWidth() const;
    // The text's width in the grid's font.
    int TextWidth(const std::wstring& text) const;
    int TextHeight(const std::wstring& text) const;
    // The room left and right of a cell's text, in pixels.
    int CellMargin() const;
    // The column as wide as its widest text, heading included, and the margins; what a
    // double-click on the column's heading border does.
    void FitColumn(int column);

    std::wstring Cell(int column, int row) const;
    void SetCell(int column, int row, const std::wstring& text);

    int Col() const { return CurrentColumn; }
    int Row() const { return CurrentRow; }
    // Moves as a click does: OnSelectCell may refuse. True when the cell is current now.
    bool MoveTo(int column, int row);

    // Read-only: no edit box, the current cell is highlighted instead.
    void SetReadOnly(bool readOnly);
    bool ReadOnly() const { return NoEditor; }

    // May the current cell become (column, row)? Called before every move; the cell being left
    // already holds what was typed into it.
    std::function<bool(int column, int row)> OnSelectCell;
    // Enter in the grid or its edit box.
    std::function<void()> OnEnter;
    // The context menu was asked for at this screen point.
    std::function<void(POINT screen)> OnContextMenu;
    // The text of a cell, when the owner keeps the data: set it before SetSize, and the grid
    // stores no text at all (SetCell does nothing then).
    std::function<std::wstring(int column, int row)> OnGetText;

private:
    explicit TGrid(HWND window);
    ~TGrid();
    TGrid(const TGrid&) = delete;
    TGrid& operator=(const TGrid&) = delete;

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK EditorProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                            UINT_PTR id, DWORD_PTR self);
    LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT EditorMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // Geometry: a cell's rectangle in client coordinates; false when it is not visible.
    int ColumnLeft(int column) const;
    bool CellRect(int column, int row, RECT& box) const;
    bool HitCell(POINT point, int& column, int& row) const;
    int FixedWidth() const;
    int FixedHeight() const;
    int VisibleRows() const;             // whole scrolling rows that fit
    int VisibleColumns() const;          // whole scrolling columns that fit from LeftColumn
    int SizingBorder(POINT point) const; // column whose right border is under a heading point

    void Paint(HDC dc, const RECT& area);
    void PaintCell(HDC dc, int column, int row, const RECT& box);
    bool Key(WPARAM key);
    void ScrollTo(int top, int left);
    void ScrollIntoView();
    void UpdateScrollBars();
    void OnScroll(int bar, int request);
    void PlaceEditor();
    bool EditorShown() const;
    void LoadEditor();
    void ContextMenu(LPARAM lParam);
    std::size_t Index(int column, int row) const {
        return static_cast<std::size_t>(row) * static_cast<std::size_t>(Columns) +
               static_cast<std::size_t>(column);
    }

    HWND Window;
    HWND Editor = nullptr;
    HFONT Font = nullptr;
    int Columns = 5, Rows = 5, FixedColumns = 1, FixedRowCount = 1;
    std::vector<int> Widths;
    std::vector<std::wstring> Texts;
    int RowHeight = 24;
    int CurrentColumn = 1, CurrentRow = 1;
    int TopRow = 1, LeftColumn = 1; // first scrolling row and column shown
    bool NoEditor = false;
    SIZE TextExtent(const std::wstring& text) const;

    bool UpdatingBars = false;
    bool Loading = false; // the edit box is being filled, not typed into
    int SizingColumn = -1, SizingStart = 0, SizingWidth = 0;
};
