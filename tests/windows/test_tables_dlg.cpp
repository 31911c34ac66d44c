// The tables dialog as a user works it: ShowTablesDlg runs on the main thread, where the
// dialog and its editors are modal, while a second thread drives the real controls (the list,
// the grid and its edit box, the file dialogs, the message boxes) with window messages, and the
// virtual board refuses what the test asks it to through its control line.
//
//   test_tables_dlg [GoogleTest options] <board port> <control port>
//
// Trelmo.dll is loaded from the program's folder. "SCREENSHOT <label>" lines wait for a line
// on standard input.
#include "TrelmoLib_TLB.h"
#include "comtest.h"
#include "guihand.h"
#include "untGrid.h"
#include "untToolsRes.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <oleauto.h>
#include <windows.h>

#include <string>
#include <utility>

using namespace comtest;
using namespace guihand;

namespace {
int BoardPort = 0, ControlPort = 0;
LPFNGETCLASSOBJECT GetClassObject = nullptr;

const wchar_t DriverCaption[] = L"Драйвер варнок-платы";
const wchar_t TablesCaption[] = L"Таблицы";
const wchar_t GeneralTable[] = L"Общие параметры"; // table 1: one row, nine fields
const wchar_t RelayTable[] = L"Реле";              // table 2: eight rows, three fields

// ---------------------------------------------------------------- the dialogs from outside

class TGridView {
public:
    explicit TGridView(HWND editor) : Grid(Child(editor, IDC_TABLE_GRID)) {}
    HWND Handle() const { return Grid; }
    std::wstring Cell(int column, int row) const {
        const WPARAM at = MAKEWPARAM(column, row);
        std::wstring text(static_cast<std::size_t>(SendMessageW(Grid, GM_GETCELLTEXT, at, 0)) + 1,
                          L'\0');
        SendMessageW(Grid, GM_GETCELLTEXT, at, reinterpret_cast<LPARAM>(&text[0]));
        text.pop_back();
        return text;
    }
    std::pair<int, int> Size() const {
        const LRESULT size = SendMessageW(Grid, GM_GETSIZE, 0, 0);
        return {LOWORD(size), HIWORD(size)};
    }
    std::pair<int, int> Current() const {
        const LRESULT at = SendMessageW(Grid, GM_GETCURRENT, 0, 0);
        return {LOWORD(at), HIWORD(at)};
    }
    int ColWidth(int column) const {
        return static_cast<int>(SendMessageW(Grid, GM_GETCOLWIDTH, static_cast<WPARAM>(column), 0));
    }
    bool MoveTo(int column, int row) {
        return SendMessageW(Grid, GM_SETCURRENT, static_cast<WPARAM>(column), row) != 0;
    }
    // Posted: the move may write the cell and show a message box.
    void PostMoveTo(int column, int row) {
        PostMessageW(Grid, GM_SETCURRENT, static_cast<WPARAM>(column), row);
    }
    // Typing into the edit box of the current cell.
    void Type(const std::wstring& text) {
        HWND edit = ChildOfClass(Grid, L"Edit");
        ASSERT_TRUE(edit && IsWindowVisible(edit)) << "no edit box on the current cell";
        SetText(edit, text);
    }
    void PostKey(WPARAM key) {
        HWND edit = ChildOfClass(Grid, L"Edit");
        PostMessageW(edit, WM_KEYDOWN, key, 1);
        PostMessageW(edit, WM_KEYUP, key, 0xC0000001);
    }

private:
    HWND Grid;
};

std::wstring StatusText(HWND editor, int part) {
    wchar_t text[256] = {};
    SendMessageW(Child(editor, IDC_TABLE_STATUS), SB_GETTEXTW, static_cast<WPARAM>(part),
                 reinterpret_cast<LPARAM>(text));
    return text;
}

// The screen's pixels for a layout drawn at 96 DPI.
int Scaled(int pixels) {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return MulDiv(pixels, dpi, 96);
}

// The file name box of a common file dialog, Explorer style (cmb13) or old style (edt1).
HWND FileNameBox(HWND dialog) {
    HWND name = Child(dialog, 0x47C);
    return name ? name : Child(dialog, 0x480);
}

// The file name typed into a common file dialog, then its OK. The dialog is known by its name
// box: the dialog closed just before may still be on the screen of a busy machine.
void ChooseFile(HWND owner, const std::wstring& path, const char* screenshot = nullptr) {
    HWND dialog = nullptr, name = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : OpenDialogs()) {
                HWND box = FileNameBox(window);
                if (GetWindow(window, GW_OWNER) == owner && box && IsWindowVisible(box)) {
                    dialog = window;
                    name = box;
                    return true;
                }
            }
            return false;
        },
        15000);
    ASSERT_TRUE(name) << "no file dialog owned by \"" << Utf8(Text(owner)) << "\"";
    SetText(name, path);
    if (screenshot)
        Screenshot(screenshot, dialog);
    // The dialog's own command: a click on its button is not always taken under Wine.
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(Child(dialog, IDOK)));
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, 10000));
}

// ---------------------------------------------------------------- the fixture

class TablesDialog : public TTrelmoTest {
protected:
    void SetUp() override {
        ASSERT_GT(BoardPort, 0) << "<board port> <control port> missing";
        ASSERT_EQ(S_OK, CreateFromFactory(GetClassObject, IID_ITrelmo, Driver.Put()));
        ASSERT_TRUE(Driver);
        Driver->put_PortNumber(BoardPort);
        Driver->put_BaudRate(2400);
        Driver->put_Timeout(100);
        Driver->put_CommandTimeout(1000);
        ASSERT_TRUE(Board.Open(ControlPort)) << "control port COM" << ControlPort;
        Board.Command("clear");
        ASSERT_EQ(0, Call(&ITrelmo::InitTables)) << Result();
    }
    void TearDown() override {
        Board.Command("clear");
        Board.Command("empty off");
    }

    std::string Result() {
        BSTR text = nullptr;
        Driver->get_ResultDescription(&text);
        return std::to_string(Get(&ITrelmo::get_ResultCode)) + " " + Utf8(TakeBstr(text));
    }
    std::wstring ReadCell(int table, int row, int field) {
        Driver->put_TableNumber(table);
        Driver->put_RowNumber(row);
        Driver->put_FieldNumber(field);
        EXPECT_EQ(0, Call(&ITrelmo::ReadTable)) << Result();
        BSTR value = nullptr;
        Driver->get_FieldValue(&value);
        return TakeBstr(value);
    }
    void WriteCell(int table, int row, int field, const std::wstring& value) {
        Driver->put_TableNumber(table);
        Driver->put_RowNumber(row);
        Driver->put_FieldNumber(field);
        EXPECT_EQ(0, Call(&ITrelmo::ReadFieldStructure)) << Result();
        BSTR text = SysAllocString(value.c_str());
        Driver->put_FieldValue(text);
        SysFreeString(text);
        EXPECT_EQ(0, Call(&ITrelmo::WriteTable)) << Result();
    }

    // ShowTablesDlg while `hand` works the dialogs; the method's value.
    LONG RunDialog(std::function<void()> hand) {
        LONG code = -12345;
        {
            THand worker(std::move(hand));
            EXPECT_EQ(S_OK, Driver->ShowTablesDlg(&code));
        }
        return code;
    }

    enum TOpenBy { byButton, byEnter, byDoubleClick };
    // Selects the table's row and opens it; the editor with this caption.
    HWND OpenTable(HWND tables, int row, const wchar_t* caption, TOpenBy how = byButton) {
        HWND list = Child(tables, IDC_TABLES_LIST);
        TList(list).Select(row);
        if (how == byButton) {
            Press(tables, IDOK);
        } else if (how == byEnter) {
            PostMessageW(list, WM_KEYDOWN, VK_RETURN, 1);
        } else {
            RECT box{LVIR_LABEL, 0, 0, 0};
            SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row),
                         reinterpret_cast<LPARAM>(&box));
            const LPARAM at = MAKELPARAM(box.left + 4, (box.top + box.bottom) / 2);
            PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
            PostMessageW(list, WM_LBUTTONUP, 0, at);
            PostMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
            PostMessageW(list, WM_LBUTTONUP, 0, at);
        }
        return caption ? WaitDialog(caption) : nullptr;
    }

    TBoardControl Board;
};

// The list of tables, then the one-row table in the three-column editor: a changed cell is
// written when the cursor leaves it; one the board refuses, or one the driver rejects, comes
// back with the error shown and the cursor kept; an unchanged cell writes nothing.
TEST_F(TablesDialog, ListAndRowEditorWriteOnLeave) {
    std::wstring refused, rejected;
    EXPECT_EQ(0, RunDialog([&] {
                  HWND tables = WaitDialog(TablesCaption);
                  if (!tables)
                      return;
                  const SIZE size = WindowSize(tables);
                  EXPECT_GE(size.cx, 495);
                  EXPECT_GE(size.cy, 274);
                  TList list(Child(tables, IDC_TABLES_LIST));
                  EXPECT_EQ(5, list.Rows());
                  EXPECT_EQ(0, list.Selected());
                  EXPECT_EQ(L"1", list.Cell(0, 0));
                  EXPECT_EQ(GeneralTable, list.Cell(0, 1));
                  EXPECT_EQ(L"1", list.Cell(0, 2));
                  EXPECT_EQ(L"9", list.Cell(0, 3));
                  EXPECT_EQ(L"8", list.Cell(1, 2));
                  Screenshot("tables", tables);

                  HWND editor = OpenTable(tables, 0, GeneralTable);
                  if (!editor)
                      return;
                  TGridView grid(editor);
                  EXPECT_EQ(std::make_pair(3, 10), grid.Size());
                  EXPECT_EQ(L"Поле", grid.Cell(0, 0));
                  EXPECT_EQ(L"Название", grid.Cell(1, 0));
                  EXPECT_EQ(L"Значение", grid.Cell(2, 0));
                  EXPECT_EQ(L"4", grid.Cell(0, 4));
                  EXPECT_EQ(L"Время открытия замка, с", grid.Cell(1, 4));
                  EXPECT_EQ(L"5", grid.Cell(2, 4));
                  EXPECT_EQ(L"Киоск 1", grid.Cell(2, 9));
                  EXPECT_EQ(std::make_pair(2, 1), grid.Current());
                  EXPECT_EQ(Scaled(30), grid.ColWidth(0));
                  // The columns fill the client area exactly.
                  RECT client{};
                  GetClientRect(grid.Handle(), &client);
                  EXPECT_EQ(client.right,
                            grid.ColWidth(0) + grid.ColWidth(1) + grid.ColWidth(2) + 3);

                  ASSERT_TRUE(grid.MoveTo(2, 4));
                  EXPECT_EQ(L"Тип: число", StatusText(editor, 0));
                  EXPECT_EQ(L"Диапазон: 1..60", StatusText(editor, 1));
                  EXPECT_EQ(L"Размер, байт: 1", StatusText(editor, 2));
                  grid.Type(L"7");
                  ASSERT_TRUE(grid.MoveTo(2, 5)); // written on leaving
                  EXPECT_TRUE(grid.MoveTo(2, 9));
                  EXPECT_EQ(L"Тип: строка", StatusText(editor, 0));
                  EXPECT_EQ(L"", StatusText(editor, 1));
                  EXPECT_EQ(L"Максимальная длина: 32", StatusText(editor, 2));
                  Screenshot("row-editor", editor);

                  // The board refuses the next write.
                  Board.Command("fault error 33 for 1e");
                  grid.Type(L"Киоск 2");
                  grid.PostMoveTo(2, 1);
                  refused = AnswerBox(DriverCaption, IDOK, "row-editor-refused");
                  EXPECT_TRUE(WaitUntil([&] { return grid.Cell(2, 9) == L"Киоск 1"; }, 5000));
                  EXPECT_EQ(std::make_pair(2, 9), grid.Current());
                  EXPECT_EQ(L"Тип: строка", StatusText(editor, 0));

                  // The driver rejects a value out of the field's range before sending it.
                  ASSERT_TRUE(grid.MoveTo(2, 4));
                  grid.Type(L"61");
                  grid.PostMoveTo(2, 3);
                  rejected = AnswerBox(DriverCaption, IDOK);
                  EXPECT_TRUE(WaitUntil([&] { return grid.Cell(2, 4) == L"7"; }, 5000));
                  EXPECT_EQ(std::make_pair(2, 4), grid.Current());

                  // Unchanged: leaving writes nothing, so a pending refusal stays unused.
                  Board.Command("fault error 33 for 1e");
                  EXPECT_TRUE(grid.MoveTo(2, 3));
                  EXPECT_EQ((std::vector<std::string>{"error 33 once for 1E", "END"}),
                            Board.Ask("faults", true));
                  Board.Command("clear");
                  Click(editor, IDCANCEL);
                  Click(tables, IDCANCEL);
              }));
    EXPECT_EQ(0, Get(&ITrelmo::get_ResultCode));
    EXPECT_EQ(L"Некорректные параметры в команде", refused);
    EXPECT_NE(std::wstring::npos, rejected.find(L"Неверное значение поля")) << Utf8(rejected);
    EXPECT_EQ(L"7", ReadCell(1, 1, 4));
    EXPECT_EQ(L"Киоск 1", ReadCell(1, 1, 9));
}

// A table of several rows, opened with Enter in the list, in the grid editor: Enter writes the
// current cell, the popup menu's "Прочитать поле" reads it back from the board, "Обновить" reads
// the whole table.
TEST_F(TablesDialog, GridEditorEnterReadAndRefresh) {
    EXPECT_EQ(0, RunDialog([&] {
                  HWND tables = WaitDialog(TablesCaption);
                  if (!tables)
                      return;
                  HWND editor = OpenTable(tables, 1, RelayTable, byEnter);
                  if (!editor)
                      return;
                  TGridView grid(editor);
                  EXPECT_EQ(std::make_pair(4, 9), grid.Size());
                  EXPECT_EQ(L"Ряд", grid.Cell(0, 0));
                  EXPECT_EQ(L"8", grid.Cell(0, 8));
                  EXPECT_EQ(L"Название", grid.Cell(1, 0));
                  EXPECT_EQ(L"Время импульса, мс", grid.Cell(3, 0));
                  EXPECT_EQ(L"Модем", grid.Cell(1, 1));
                  EXPECT_EQ(L"1000", grid.Cell(3, 8));
                  EXPECT_EQ(Scaled(30), grid.ColWidth(0));
                  EXPECT_GT(grid.ColWidth(1), 10);
                  Screenshot("grid-editor", editor);

                  ASSERT_TRUE(grid.MoveTo(3, 2));
                  grid.Type(L"1500");
                  grid.PostKey(VK_RETURN);
                  EXPECT_TRUE(WaitUntil([&] { return grid.Cell(3, 2) == L"1500"; }, 5000));
                  Sleep(300);
                  EXPECT_FALSE(FindDialog(DriverCaption)) << "a message box after Enter";

                  // A stale cell text comes back from the board through the popup menu.
                  grid.Type(L"2500");
                  PostMessageW(grid.Handle(), WM_CONTEXTMENU,
                               reinterpret_cast<WPARAM>(grid.Handle()), MAKELPARAM(-1, -1));
                  HWND menu = nullptr;
                  EXPECT_TRUE(WaitUntil(
                      [&] {
                          menu = FindWindowW(L"#32768", nullptr);
                          return menu && IsWindowVisible(menu);
                      },
                      5000));
                  Screenshot("grid-editor-menu", menu);
                  for (WPARAM key : {VK_DOWN, VK_DOWN, VK_RETURN}) // the second item
                      PostMessageW(menu, WM_KEYDOWN, key, 1);
                  EXPECT_TRUE(WaitUntil([&] { return grid.Cell(3, 2) == L"1500"; }, 5000));

                  grid.Type(L"3000");
                  Press(editor, IDC_TABLE_REFRESH);
                  EXPECT_TRUE(WaitUntil([&] { return grid.Cell(3, 2) == L"1500"; }, 10000));
                  EXPECT_EQ(L"Модем", grid.Cell(1, 1));
                  Click(editor, IDCANCEL);
                  Click(tables, IDCANCEL);
              }));
    EXPECT_EQ(L"1500", ReadCell(2, 2, 3));
}

// Save tables 1 and 2 through the selection dialog and the save dialog, change the board,
// load the file back through the open dialog and the selection dialog: the board has the saved
// values again, the read-only field (refused with 0x7A) passing silently.
TEST_F(TablesDialog, SaveChangeLoad) {
    const std::wstring file = TempPath(L"таблицы-теста.txt");
    DeleteFileW(file.c_str());

    EXPECT_EQ(0, RunDialog([&] {
                  HWND tables = WaitDialog(TablesCaption);
                  if (!tables)
                      return;
                  Press(tables, IDC_TABLES_SAVE);
                  HWND select = WaitDialog(L"Выбор таблиц для сохранения");
                  if (!select)
                      return;
                  const SIZE size = WindowSize(select);
                  EXPECT_GE(size.cx, 495);
                  EXPECT_GE(size.cy, 322);
                  TList list(Child(select, IDC_SELTBL_LIST));
                  EXPECT_EQ(5, list.Rows());
                  EXPECT_TRUE(list.Checked(0) && list.Checked(4));
                  Click(select, IDC_SELTBL_NONE);
                  EXPECT_FALSE(list.Checked(0) || list.Checked(4));
                  list.SetChecked(0, true);
                  list.SetChecked(1, true);
                  Screenshot("select-save", select);
                  Press(select, IDOK);
                  ChooseFile(tables, file, "save-file");
                  EXPECT_TRUE(WaitUntil(
                      [&] { return GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES; },
                      15000));
                  EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(tables) != FALSE; }, 15000));
                  Click(tables, IDCANCEL);
              }));
    const std::string text = ReadFileBytes(file);
    EXPECT_NE(std::string::npos, text.find("[1]\r\n")) << text;
    EXPECT_NE(std::string::npos, text.find("[2]\r\n")) << text;
    EXPECT_EQ(std::string::npos, text.find("[3]")) << text;
    EXPECT_NE(std::string::npos, text.find("0001.0004=5\r\n")) << text;
    EXPECT_NE(std::string::npos, text.find("0003.0001=\"\xD1\xE5\xE9\xF4\"")) << text; // Сейф

    WriteCell(1, 1, 4, L"9");
    WriteCell(2, 3, 1, L"Ящик");
    EXPECT_EQ(0, RunDialog([&] {
                  HWND tables = WaitDialog(TablesCaption);
                  if (!tables)
                      return;
                  Press(tables, IDC_TABLES_LOAD);
                  ChooseFile(tables, file, "open-file");
                  HWND select = WaitDialog(L"Выбор таблиц для загрузки");
                  if (!select)
                      return;
                  TList list(Child(select, IDC_SELTBL_LIST));
                  EXPECT_TRUE(list.Checked(0));
                  EXPECT_TRUE(list.Checked(1));
                  EXPECT_FALSE(list.Checked(2) || list.Checked(3) || list.Checked(4));
                  Screenshot("select-load", select);
                  Press(select, IDOK);
                  EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(tables) != FALSE; }, 20000));
                  Sleep(300);
                  EXPECT_FALSE(FindDialog(DriverCaption)) << "a message box while writing";
                  Click(tables, IDCANCEL);
              }));
    EXPECT_EQ(L"5", ReadCell(1, 1, 4));
    EXPECT_EQ(L"Сейф", ReadCell(2, 3, 1));
    DeleteFileW(file.c_str());
}

// "Инициализация" resets the tables, and reports the board's refusal with code and text;
// the driver's Timeout is as it was in both cases.
TEST_F(TablesDialog, InitTables) {
    WriteCell(1, 1, 4, L"9");
    Driver->put_Timeout(123);
    std::wstring success, failure;
    EXPECT_EQ(0, RunDialog([&] {
                  HWND tables = WaitDialog(TablesCaption);
                  if (!tables)
                      return;
                  Press(tables, IDC_TABLES_INIT);
                  success = AnswerBox(DriverCaption, IDOK, "init-done");
                  Board.Command("fault error 33 for 24");
                  Press(tables, IDC_TABLES_INIT);
                  failure = AnswerBox(DriverCaption, IDOK, "init-failed");
                  Click(tables, IDCANCEL);
              }));
    EXPECT_EQ(L"Инициализация таблиц прошла успешно", success);
    EXPECT_EQ(L"51, Некорректные параметры в команде", failure);
    EXPECT_EQ(123, Get(&ITrelmo::get_Timeout));
    EXPECT_EQ(L"5", ReadCell(1, 1, 4));
}

// A failing structure read asks whether to go on: Yes asks the same table again and the
// dialog opens with every table; No ends the method without a dialog, its result cleared.
TEST_F(TablesDialog, StructureReadFailure) {
    std::wstring question;
    Board.Command("fault error 33 for 2d");
    EXPECT_EQ(0, RunDialog([&] {
                  question = AnswerBox(DriverCaption, IDYES, "structure-failed");
                  HWND tables = WaitDialog(TablesCaption);
                  if (!tables)
                      return;
                  EXPECT_EQ(5, TList(Child(tables, IDC_TABLES_LIST)).Rows());
                  Click(tables, IDCANCEL);
              }));
    EXPECT_EQ(L"Ошибка: (51) Некорректные параметры в команде\r\nПродолжить выполнение ?",
              question);

    Board.Command("fault error 33 always for 2d");
    bool dialogShown = true;
    EXPECT_EQ(0, RunDialog([&] {
                  AnswerBox(DriverCaption, IDNO);
                  Sleep(500);
                  dialogShown = FindDialog(TablesCaption) != nullptr;
              }));
    EXPECT_FALSE(dialogShown);
    EXPECT_EQ(0, Get(&ITrelmo::get_ResultCode));
}

// A slow board makes opening a table (by a double click) take seconds: the progress window belongs
// to ParentWnd, its cancel button asks "Прервать выполнение ?" over it; No goes on, Yes stops the
// reading and no editor opens. The relay table's eight rows at 1.5 s each leave the second cancel
// ample time on a loaded machine (at 0.4 s a row the reading could end before it).
TEST_F(TablesDialog, OpeningCanBeStopped) {
    TOwnerWindow owner;
    Driver->put_ParentWnd(static_cast<LONG>(reinterpret_cast<LONG_PTR>(owner.Handle())));
    Driver->put_CommandTimeout(4000);
    Board.Command("fault delay 1500 always for 1f");
    std::wstring first, second;
    EXPECT_EQ(0, RunDialog([&] {
                  HWND tables = WaitDialog(TablesCaption);
                  if (!tables)
                      return;
                  EXPECT_EQ(owner.Handle(), GetWindow(tables, GW_OWNER));
                  OpenTable(tables, 1, nullptr, byDoubleClick);
                  HWND progress = WaitDialog(L"Прогресс операции");
                  if (!progress)
                      return;
                  EXPECT_EQ(owner.Handle(), GetWindow(progress, GW_OWNER));
                  EXPECT_FALSE(IsWindowEnabled(tables));
                  Screenshot("progress", progress);
                  Click(progress, IDCANCEL);
                  HWND box = WaitDialog(DriverCaption);
                  EXPECT_EQ(progress, GetWindow(box, GW_OWNER));
                  first = AnswerBox(DriverCaption, IDNO, "stop-question");
                  EXPECT_TRUE(IsWindowVisible(progress)) << "No stopped the reading";
                  Click(progress, IDCANCEL);
                  second = AnswerBox(DriverCaption, IDYES);
                  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(progress); }, 5000));
                  EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(tables) != FALSE; }, 5000));
                  Sleep(300);
                  EXPECT_FALSE(FindDialog(RelayTable)) << "the editor opened after a stop";
                  Board.Command("clear");
                  Click(tables, IDCANCEL);
              }));
    EXPECT_EQ(L"Прервать выполнение ?", first);
    EXPECT_EQ(L"Прервать выполнение ?", second);
}

// A table with no rows is refused at once with "Таблица пуста", before any exchange with the
// board: a board that no longer answers shows nothing else.
TEST_F(TablesDialog, EmptyTableOpensNothing) {
    Board.Command("empty 2");
    std::wstring refusal;
    EXPECT_EQ(0, RunDialog([&] {
                  HWND tables = WaitDialog(TablesCaption);
                  if (!tables)
                      return;
                  EXPECT_EQ(L"0", TList(Child(tables, IDC_TABLES_LIST)).Cell(1, 2));
                  Board.Command("fault noanswer always");
                  OpenTable(tables, 1, nullptr);
                  refusal = AnswerBox(DriverCaption, IDOK, "empty-table");
                  Sleep(300);
                  EXPECT_TRUE(OpenDialogs().size() == 1) << "a window besides the tables";
                  Board.Command("clear");
                  Click(tables, IDCANCEL);
              }));
    Board.Command("empty off");
    EXPECT_EQ(L"Таблица пуста", refusal);
}

// With method logging on, the dialog's Disconnect is logged first, then ShowTablesDlg with 0.
TEST_F(TablesDialog, MethodLogLines) {
    const std::wstring log = TempPath(L"tables-dialog.log");
    DeleteFileW(log.c_str());
    BSTR name = SysAllocString(log.c_str());
    Driver->put_ComLogFile(name);
    SysFreeString(name);
    Driver->put_LogMethods(VARIANT_TRUE);
    Driver->put_LogOn(VARIANT_TRUE);
    EXPECT_EQ(0, RunDialog([&] {
                  if (HWND tables = WaitDialog(TablesCaption))
                      Click(tables, IDCANCEL);
              }));
    Driver->put_LogOn(VARIANT_FALSE);
    const std::string text = ReadFileBytes(log);
    const std::size_t disconnect = text.find("] Disconnect: 0\r\n");
    const std::size_t dialog = text.find("] ShowTablesDlg: 0\r\n");
    EXPECT_NE(std::string::npos, disconnect) << text;
    EXPECT_NE(std::string::npos, dialog) << text;
    EXPECT_LT(disconnect, dialog) << text;
    DeleteFileW(log.c_str());
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc > 2) {
        BoardPort = std::atoi(argv[1]);
        ControlPort = std::atoi(argv[2]);
    }
    GetClassObject = LoadClassObjectEntry();
    if (!GetClassObject)
        return 3;
    MainThread() = GetCurrentThreadId();
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const int result = RUN_ALL_TESTS();
    CoUninitialize();
    return result;
}
