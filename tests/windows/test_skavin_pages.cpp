// The Skavin program's relay, board control, watchdog, tables, dump and firmware pages as a user
// works them: Skavin.exe started as a process and driven through window messages, the virtual
// board's state read back over its control line after each step.
//
//   test_skavin_pages [GoogleTest options] <board port> <control port>
//
// The board must run with a watchdog period of a few seconds (trelmo-board --watchdog-ms).
#include "fmuDump.h"
#include "skavin_remote.h"
#include "untGrid.h"
#include "untSkavinRes.h"

#include <commctrl.h>

using namespace SkavinRemote;

// The dialog layer the program's units take from the library asks for the resources' module.
HINSTANCE ModuleInstance() {
    return GetModuleHandleW(nullptr);
}

namespace {

const wchar_t ResetOff[] = L"Включить сброс сторожевого таймера";
const wchar_t ResetOn[] = L"Выключить сброс сторожевого таймера";
const wchar_t NotANumber[] = L"не является целым числом";
const std::vector<std::wstring> BinaryFiles{L"Двоичные файлы (*.bin)", L"Все файлы (*.*)"};

// A screenshot once the program has painted what the last step changed.
void Snap(const char* label) {
    Sleep(400);
    Screenshot(label);
}

std::wstring TempFile(const wchar_t* name) {
    return Folder + L"\\" + name;
}

std::wstring Hex(const std::string& data) {
    std::wstring text;
    const wchar_t digits[] = L"0123456789ABCDEF";
    for (unsigned char byte : data) {
        text += digits[byte >> 4];
        text += digits[byte & 15];
        text += L' ';
    }
    return text;
}

// A one-line edit shows its whole text when the caret at its end does not scroll it; the text
// when it does not.
std::string Unshown(HWND edit) {
    const LRESULT start = SendMessageW(edit, EM_POSFROMCHAR, 0, 0);
    const LRESULT length = SendMessageW(edit, WM_GETTEXTLENGTH, 0, 0);
    SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(length), length);
    SendMessageW(edit, EM_SCROLLCARET, 0, 0);
    const LRESULT scrolled = SendMessageW(edit, EM_POSFROMCHAR, 0, 0);
    SendMessageW(edit, EM_SETSEL, 0, 0);
    SendMessageW(edit, EM_SCROLLCARET, 0, 0);
    return scrolled == start ? "" : Narrow(Text(edit));
}

// A multi-line box shows all of its text: its last line ends inside the box; the text when not.
std::string UnshownLines(HWND edit) {
    const LRESULT length = SendMessageW(edit, WM_GETTEXTLENGTH, 0, 0);
    const auto top = [edit](LRESULT index) {
        return static_cast<int>(HIWORD(SendMessageW(edit, EM_POSFROMCHAR, index, 0)));
    };
    RECT client{};
    GetClientRect(edit, &client);
    const int line = top(SendMessageW(edit, EM_LINEINDEX, 1, 0)) - top(0);
    if (SendMessageW(edit, EM_GETLINECOUNT, 0, 0) < 2 ||
        (SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0) == 0 &&
         top(length - 1) + line <= client.bottom))
        return "";
    return Narrow(Text(edit));
}

// The dump viewer's grid, read through the grid's messages; a cell's text comes through a
// buffer in the program's own memory.
struct TGridView {
    HWND Grid;
    HANDLE Process;
    int Columns() const { return LOWORD(SendMessageW(Grid, GM_GETSIZE, 0, 0)); }
    int Rows() const { return HIWORD(SendMessageW(Grid, GM_GETSIZE, 0, 0)); }
    std::wstring Cell(int column, int row) const {
        const SIZE_T size = 64 * sizeof(wchar_t);
        void* remote = VirtualAllocEx(Process, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
        if (!remote)
            return L"(no buffer)";
        wchar_t text[64] = L"";
        WriteProcessMemory(Process, remote, text, size, nullptr);
        const auto length = SendMessageW(
            Grid, GM_GETCELLTEXT, MAKEWPARAM(static_cast<WORD>(column), static_cast<WORD>(row)),
            reinterpret_cast<LPARAM>(remote));
        ReadProcessMemory(Process, remote, text, size, nullptr);
        VirtualFreeEx(Process, remote, 0, MEM_RELEASE);
        text[63] = L'\0';
        return length >= 0 && length < 64 ? std::wstring(text, static_cast<std::size_t>(length))
                                          : L"(too long)";
    }
};

class SkavinPages : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        DriverSettings = new TKeySnapshot(DriverKey);
        ASSERT_EQ(0u, RegSvr32(false));
        PutNumber(DriverKey, L"PortNumber", static_cast<DWORD>(BoardPort));
        PutNumber(DriverKey, L"BaudRate", 2400);
        PutNumber(DriverKey, L"Timeout", 100);
        // Room for answers that the board delays on purpose.
        PutNumber(DriverKey, L"CommandTimeout", 3000);
        PutNumber(DriverKey, L"LogOn", 0);
    }

    static void TearDownTestSuite() {
        DriverSettings->Restore();
        delete DriverSettings;
        RegDeleteTreeW(HKEY_CURRENT_USER, SkavinKey);
    }

    void SetUp() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, SkavinKey);
        ASSERT_TRUE(Board.Open(ControlPort)) << "control port COM" << ControlPort;
        Board.Command("clear");
        Board.Command("mains on");
    }

    void StartProgram() { ASSERT_TRUE(Program.Start()) << "no main window"; }

    void ClickOk(int id) {
        Program.Click(id);
        EXPECT_EQ(NoError, Program.Result()) << "button " << id;
    }

    // The motherboard powered, whatever an earlier test left.
    void PowerOn() {
        Program.ShowPage(3);
        ClickOk(IDC_BOARD_MB_POWER_ON);
        ASSERT_EQ("1", Board.State("mb_power"));
    }

    bool WaitState(const std::string& name, const std::string& value, DWORD ms = 15000) {
        return WaitUntil([&] { return Board.State(name) == value; }, ms);
    }

    // The program's common file dialog, the path typed into it and confirmed; its caption.
    std::wstring ChooseFile(const std::wstring& path) { return Program.ChooseFile(path).Caption; }

    // Opens the dump viewer; null when it does not come.
    HWND OpenViewer() {
        Program.Press(IDC_DATA_VIEW);
        return Program.WaitForWindow(L"Данные", Program.Main, 20000);
    }

    void CloseWindow(HWND window) {
        PostMessageW(window, WM_CLOSE, 0, 0);
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(window); }, 10000));
    }

    int Progress(int id, UINT message) const {
        return static_cast<int>(SendMessageW(Program.Control(id), message, FALSE, 0));
    }

    static TKeySnapshot* DriverSettings;
    TBoardControl Board;
    TSkavin Program;
};

TKeySnapshot* SkavinPages::DriverSettings = nullptr;

// ---------------------------------------------------------------- page 3

TEST_F(SkavinPages, RelayTicksMakeTheRelayByteAndFollowTheBoard) {
    StartProgram();
    PowerOn();
    Program.ShowPage(2);
    EXPECT_EQ(L"0", Program.TextOf(IDC_RELAY_STATUS));
    EXPECT_EQ(L"1000", Program.TextOf(IDC_RELAY_TIME));
    Program.Click(IDC_RELAY_OUT_B);
    EXPECT_EQ(L"128", Program.TextOf(IDC_RELAY_STATUS));
    Program.Click(IDC_RELAY_OUT_B);
    Program.Click(IDC_RELAY_OUT_C);
    EXPECT_EQ(L"1", Program.TextOf(IDC_RELAY_STATUS));

    Program.SetTextOf(IDC_RELAY_STATUS, L"48");
    ClickOk(IDC_RELAY_SET);
    EXPECT_TRUE(IsFrame(Program.TextOf(IDC_MAIN_OUTPUT), "77 30 "));
    EXPECT_EQ("48", Board.State("relays"));

    Program.SetTextOf(IDC_RELAY_STATUS, L"0");
    ClickOk(IDC_RELAY_GET);
    EXPECT_EQ(L"48", Program.TextOf(IDC_RELAY_STATUS));
    const int ticks[] = {IDC_RELAY_OUT_C,    IDC_RELAY_OUT_E,    IDC_RELAY_OUT_D, IDC_RELAY_OUT_F,
                         IDC_RELAY_MONITOR1, IDC_RELAY_MONITOR2, IDC_RELAY_AUDIO, IDC_RELAY_OUT_B};
    for (int bit = 0; bit < 8; ++bit) {
        EXPECT_EQ(bit == 4 || bit == 5, Program.Ticked(ticks[bit])) << "bit " << bit;
        EXPECT_TRUE(Program.Enabled(ticks[bit])) << "bit " << bit;
    }

    // A pulse shows the board's relays while it lasts; long enough to outlast a loaded
    // machine's checks, short enough for the wait below.
    const std::wstring pulseMs = L"8000";
    Program.SetTextOf(IDC_RELAY_STATUS, L"1");
    Program.SetTextOf(IDC_RELAY_TIME, pulseMs);
    ClickOk(IDC_RELAY_TOGGLE);
    EXPECT_TRUE(IsFrame(Program.TextOf(IDC_MAIN_OUTPUT), "11 ")) << "the status read last";
    EXPECT_EQ(L"1", Program.TextOf(IDC_RELAY_STATUS));
    EXPECT_TRUE(Program.Ticked(IDC_RELAY_OUT_C));
    EXPECT_FALSE(Program.Ticked(IDC_RELAY_MONITOR1));
    EXPECT_EQ("1", Board.State("pulse"));
    EXPECT_TRUE(WaitState("relays", "48"));

    // Without +12 V the motherboard's relays cannot be switched: their ticks keep their state
    // but are disabled, until the power is back.
    Board.Command("mains off");
    ClickOk(IDC_RELAY_GET);
    EXPECT_TRUE(Program.Ticked(IDC_RELAY_MONITOR1));
    for (int id : {IDC_RELAY_MONITOR1, IDC_RELAY_MONITOR2, IDC_RELAY_AUDIO})
        EXPECT_FALSE(Program.Enabled(id)) << id;
    EXPECT_TRUE(Program.Enabled(IDC_RELAY_OUT_B));
    Snap("relay-no-power");
    Board.Command("mains on");
    PowerOn();
    Program.ShowPage(2);
    ClickOk(IDC_RELAY_GET);
    for (int id : {IDC_RELAY_MONITOR1, IDC_RELAY_MONITOR2, IDC_RELAY_AUDIO})
        EXPECT_TRUE(Program.Enabled(id)) << id;
    Snap("page03");

    // Text that is no number stops before the driver is called.
    Program.SetTextOf(IDC_RELAY_STATUS, L"4x");
    Program.Press(IDC_RELAY_SET);
    EXPECT_NE(std::wstring::npos, Program.TakeMessageBox().find(NotANumber));
    EXPECT_TRUE(WaitUntil([&] { return Program.Enabled(IDC_RELAY_SET); }, 5000));
    EXPECT_EQ("48", Board.State("relays"));

    ASSERT_EQ(0, Program.Close());
    auto saved = Values(SkavinKey);
    EXPECT_EQ(pulseMs, saved[L"fmMain.pnlData.fmRelay.edtToggleTime"]);
    EXPECT_EQ(L"1", saved[L"fmMain.pnlData.fmRelay.gbRelayControl.chbMonitor2"]);
    EXPECT_EQ(L"0", saved[L"fmMain.pnlData.fmRelay.gbRelayControl.chbOutB"]);
}

// ---------------------------------------------------------------- page 4

TEST_F(SkavinPages, BoardControlButtonsSetTheBoardsFlags) {
    StartProgram();
    PowerOn();
    // Presses long enough to be seen in the board's state, set on the tables page.
    Program.ShowPage(5);
    for (const wchar_t* field : {L"5", L"6", L"7"}) {
        Program.SetTextOf(IDC_TBL_FIELD, field);
        Program.SetTextOf(IDC_TBL_VALUE, L"3000");
        ClickOk(IDC_TBL_WRITE);
    }

    Program.ShowPage(3);
    const struct {
        int Id;
        const char* Frame;
        const char* Button;
    } presses[] = {{IDC_BOARD_RESET, "76 02 ", "reset"},
                   {IDC_BOARD_POWER, "76 04 ", "power"},
                   {IDC_BOARD_LONG_POWER, "76 08 ", "long_power"}};
    for (const auto& press : presses) {
        ClickOk(press.Id);
        EXPECT_TRUE(IsFrame(Program.TextOf(IDC_MAIN_OUTPUT), press.Frame)) << press.Button;
        EXPECT_EQ(press.Button, Board.State("button"));
        EXPECT_TRUE(WaitState("button", "none")) << press.Button;
    }
    EXPECT_EQ("0", Board.State("mb_power")) << "a long press switches off";

    ClickOk(IDC_BOARD_MB_POWER_ON);
    EXPECT_EQ("1", Board.State("mb_power"));
    ClickOk(IDC_BOARD_MB_POWER_OFF);
    EXPECT_EQ("0", Board.State("mb_power"));
    ClickOk(IDC_BOARD_MB_POWER_ON);
    EXPECT_EQ("1", Board.State("mb_power"));
    ClickOk(IDC_BOARD_POWER_DELAY);
    EXPECT_TRUE(IsFrame(Program.TextOf(IDC_MAIN_OUTPUT), "76 10 "));
    EXPECT_EQ("1", Board.State("turn_off_delay"));
    ClickOk(IDC_BOARD_CANCEL_DELAY);
    EXPECT_TRUE(IsFrame(Program.TextOf(IDC_MAIN_OUTPUT), "76 20 "));
    EXPECT_EQ("0", Board.State("turn_off_delay"));
    EXPECT_EQ("1", Board.State("mb_power"));
    ClickOk(IDC_BOARD_OPEN_DOOR);
    EXPECT_EQ("1", Board.State("door"));

    // A refused press: the board's code in the result field, no message box.
    ClickOk(IDC_BOARD_RESET);
    Program.Click(IDC_BOARD_POWER);
    EXPECT_NE(NoError, Program.Result());
    EXPECT_EQ(L"(no message box)", Program.TakeMessageBox(500));
    EXPECT_TRUE(Program.Enabled(IDC_BOARD_POWER));
    Snap("page04");

    Program.ShowPage(5);
    ClickOk(IDC_TBL_INIT);
    ASSERT_EQ(0, Program.Close());
}

// ---------------------------------------------------------------- page 5

TEST_F(SkavinPages, WatchdogFedPeriodicallyUntilErrorsAndTheBoardResetsWhenNotFed) {
    StartProgram();
    PowerOn();
    Program.ShowPage(4);
    EXPECT_EQ(ResetOff, Program.TextOf(IDC_WD_RESET));
    EXPECT_EQ(L"3000", Program.TextOf(IDC_WD_DELAY));
    Program.SetTextOf(IDC_WD_DELAY, L"500");
    Program.Click(IDC_WD_AUTO_START);
    Program.Click(IDC_WD_STOP_ON_ERRORS);
    ClickOk(IDC_WD_ON);
    EXPECT_TRUE(IsFrame(Program.TextOf(IDC_MAIN_OUTPUT), "7A 01 "));
    EXPECT_EQ("1", Board.State("watchdog_enabled"));
    const std::string resets = Board.State("watchdog_resets");

    // The tick starts the periodic reset when the page is shown.
    Program.ShowPage(0);
    EXPECT_EQ(ResetOff, Program.TextOf(IDC_WD_RESET));
    Program.ShowPage(4);
    EXPECT_EQ(ResetOn, Program.TextOf(IDC_WD_RESET));
    ASSERT_TRUE(WaitUntil([&] { return Program.TextOf(IDC_WD_MEMO) != L""; }, 10000));
    std::vector<std::wstring> report = Lines(Program.TextOf(IDC_WD_MEMO));
    ASSERT_EQ(11u, report.size());
    std::smatch flags;
    const std::string heading = Narrow(report[0]);
    ASSERT_TRUE(
        std::regex_match(heading, flags, std::regex("Флаги состояния: ([0-9A-F]+)h, (\\d+)")))
        << heading;
    EXPECT_EQ(std::stol(flags[2]), std::stol(flags[1], nullptr, 16));
    EXPECT_EQ(L"[X] наличие напряжения 220 В", report[1]);
    EXPECT_EQ(L"[X] наличие +12 В на МП", report[8]);
    EXPECT_EQ(L"[ ] Резерв 7 бит ", report[9]);
    EXPECT_EQ(L"[X] запущен сторожевой таймер", report[10]);
    Snap("page05");
    // Fed every half second, the board's watchdog (2.5 s) never fires.
    Sleep(6000);
    EXPECT_EQ(resets, Board.State("watchdog_resets"));
    EXPECT_EQ(L"", Program.Result()) << "a successful reset does not notify the main window";

    // A failed reset stops the feeding, shows the error and empties the report.
    Board.Command("fault noanswer always for 7b");
    ASSERT_TRUE(WaitUntil([&] { return Program.TextOf(IDC_WD_RESET) == ResetOff; }, 15000));
    EXPECT_EQ(L"", Program.TextOf(IDC_WD_MEMO));
    EXPECT_EQ(L"(-", Program.Result().substr(0, 2));
    Board.Command("clear");

    // Not fed, the board presses the motherboard's RESET itself.
    EXPECT_TRUE(WaitUntil([&] { return Board.State("watchdog_resets") != resets; }, 15000));
    ClickOk(IDC_WD_OFF);
    EXPECT_EQ("0", Board.State("watchdog_enabled"));

    // The toggle by hand; a period that is no number leaves it off.
    Program.SetTextOf(IDC_WD_DELAY, L"half");
    Program.Press(IDC_WD_RESET);
    EXPECT_NE(std::wstring::npos, Program.TakeMessageBox().find(NotANumber));
    EXPECT_EQ(ResetOff, Program.TextOf(IDC_WD_RESET));
    Program.SetTextOf(IDC_WD_DELAY, L"700");
    Program.ShowPage(0);
    ASSERT_EQ(0, Program.Close());
    auto saved = Values(SkavinKey);
    EXPECT_EQ(L"1", saved[L"fmMain.pnlData.fmWDTimer.gbTimerReset.chbAutoStart"]);
    EXPECT_EQ(L"700", saved[L"fmMain.pnlData.fmWDTimer.gbTimerReset.edtResetWDDelay"]);

    // After a restart the saved tick starts the feeding the first time the page is shown.
    StartProgram();
    EXPECT_EQ(ResetOff, Program.TextOf(IDC_WD_RESET));
    Program.ShowPage(4);
    EXPECT_EQ(ResetOn, Program.TextOf(IDC_WD_RESET));
    Program.Click(IDC_WD_RESET);
    EXPECT_EQ(ResetOff, Program.TextOf(IDC_WD_RESET));
    ASSERT_EQ(0, Program.Close());
}

// ---------------------------------------------------------------- page 6

TEST_F(SkavinPages, TablesPageFieldByFieldAndTheTablesDialog) {
    StartProgram();
    Program.ShowPage(5);
    ClickOk(IDC_TBL_GET_TABLE);
    EXPECT_TRUE(IsFrame(Program.TextOf(IDC_MAIN_OUTPUT), "2D 00 "));
    EXPECT_EQ(L"Общие параметры", Program.TextOf(IDC_TBL_NAME));
    EXPECT_EQ(L"1", Program.TextOf(IDC_TBL_ROWS));
    EXPECT_EQ(L"9", Program.TextOf(IDC_TBL_FIELDS));

    Program.SetTextOf(IDC_TBL_FIELD, L"9");
    ClickOk(IDC_TBL_GET_FIELD);
    EXPECT_EQ(L"Название киоска", Program.TextOf(IDC_TBL_FIELD_NAME));
    EXPECT_EQ(L"строка", Program.TextOf(IDC_TBL_FIELD_TYPE));
    EXPECT_EQ(L"32", Program.TextOf(IDC_TBL_FIELD_SIZE));

    Program.SetTextOf(IDC_TBL_FIELD, L"5");
    Program.SetTextOf(IDC_TBL_NAME, L"");
    ClickOk(IDC_TBL_READ);
    EXPECT_EQ(L"Общие параметры", Program.TextOf(IDC_TBL_NAME));
    EXPECT_EQ(L"Время нажатия RESET, мс", Program.TextOf(IDC_TBL_FIELD_NAME));
    EXPECT_EQ(L"число", Program.TextOf(IDC_TBL_FIELD_TYPE));
    EXPECT_EQ(L"2", Program.TextOf(IDC_TBL_FIELD_SIZE));
    EXPECT_EQ(L"50", Program.TextOf(IDC_TBL_FIELD_MIN));
    EXPECT_EQ(L"5000", Program.TextOf(IDC_TBL_FIELD_MAX));
    EXPECT_EQ(L"200", Program.TextOf(IDC_TBL_VALUE));

    Program.SetTextOf(IDC_TBL_VALUE, L"1500");
    ClickOk(IDC_TBL_WRITE);
    EXPECT_TRUE(IsFrame(Program.TextOf(IDC_MAIN_OUTPUT), "1E 00 00 00 04 DC 05 "));
    EXPECT_EQ(L"1500", Program.TextOf(IDC_TBL_VALUE));
    Program.SetTextOf(IDC_TBL_VALUE, L"");
    ClickOk(IDC_TBL_READ);
    EXPECT_EQ(L"1500", Program.TextOf(IDC_TBL_VALUE));

    // Every name the board gives its tables and fields is shown whole.
    for (int table = 1; table <= 5; ++table) {
        Program.SetTextOf(IDC_TBL_NUMBER, std::to_wstring(table));
        ClickOk(IDC_TBL_GET_TABLE);
        EXPECT_EQ("", Unshown(Program.Control(IDC_TBL_NAME)));
        const int fields = std::stoi(Program.TextOf(IDC_TBL_FIELDS));
        for (int field = 1; field <= fields; ++field) {
            Program.SetTextOf(IDC_TBL_FIELD, std::to_wstring(field));
            ClickOk(IDC_TBL_GET_FIELD);
            EXPECT_EQ("", Unshown(Program.Control(IDC_TBL_FIELD_NAME)));
        }
    }
    Program.SetTextOf(IDC_TBL_NUMBER, L"1");
    Program.SetTextOf(IDC_TBL_FIELD, L"7");
    ClickOk(IDC_TBL_READ);
    EXPECT_EQ(L"Время длинного нажатия POWER, мс", Program.TextOf(IDC_TBL_FIELD_NAME));
    Snap("page06");
    Program.SetTextOf(IDC_TBL_FIELD, L"5");

    // A table the board does not have: the read stops at the structure, all outputs empty.
    Program.SetTextOf(IDC_TBL_NUMBER, L"9");
    Program.Click(IDC_TBL_READ);
    EXPECT_NE(NoError, Program.Result());
    for (int id :
         {IDC_TBL_NAME, IDC_TBL_ROWS, IDC_TBL_FIELD_NAME, IDC_TBL_FIELD_MAX, IDC_TBL_VALUE})
        EXPECT_EQ(L"", Program.TextOf(id)) << id;
    EXPECT_TRUE(IsFrame(Program.TextOf(IDC_MAIN_OUTPUT), "2D 08 "));

    Program.SetTextOf(IDC_TBL_NUMBER, L"1");

    ClickOk(IDC_TBL_INIT);
    ClickOk(IDC_TBL_READ);
    EXPECT_EQ(L"200", Program.TextOf(IDC_TBL_VALUE));

    // The driver's own dialog, owned by the program, the page's buttons off while it is open.
    Program.Press(IDC_TBL_ALL);
    HWND tables = Program.WaitForWindow(L"Таблицы", Program.Main, 30000);
    ASSERT_TRUE(tables);
    EXPECT_EQ(Program.Main, GetAncestor(GetWindow(tables, GW_OWNER), GA_ROOT));
    EXPECT_FALSE(Program.Enabled(IDC_TBL_READ));
    Snap("tables-dialog");
    Sleep(1000);
    CloseWindow(tables);
    EXPECT_TRUE(WaitUntil([&] { return Program.Enabled(IDC_TBL_READ); }, 10000));
    EXPECT_EQ(NoError, Program.Result());

    ASSERT_EQ(0, Program.Close());
}

// ---------------------------------------------------------------- page 8

TEST(DumpViewer, RowsOfSixteenBytesUnderTheirAddresses) {
    const std::string data("0123456789ABCDEF\xFE", 17);
    ASSERT_EQ(3, DumpRowCount(data));
    EXPECT_EQ(L"", DumpCell(data, 0, 0));
    EXPECT_EQ(L"00", DumpCell(data, 1, 0));
    EXPECT_EQ(L"0F", DumpCell(data, 16, 0));
    EXPECT_EQ(L"000000", DumpCell(data, 0, 1));
    EXPECT_EQ(L"30", DumpCell(data, 1, 1));
    EXPECT_EQ(L"46", DumpCell(data, 16, 1));
    EXPECT_EQ(L"000010", DumpCell(data, 0, 2));
    EXPECT_EQ(L"FE", DumpCell(data, 1, 2));
    for (int column = 2; column < 17; ++column)
        EXPECT_EQ(L"", DumpCell(data, column, 2)) << column;
    EXPECT_EQ(2, DumpRowCount(""));
    EXPECT_EQ(L"000000", DumpCell("", 0, 1));
    EXPECT_EQ(L"", DumpCell("", 1, 1));
    EXPECT_EQ(3, DumpRowCount(std::string(32, 'x')));
    EXPECT_EQ(L"01FFF0", DumpCell(std::string(128 * 1024, 'x'), 0, 8192));
}

TEST_F(SkavinPages, DumpsReadStoppedViewedSavedAndCompared) {
    StartProgram();
    Program.ShowPage(7);
    EXPECT_EQ(0, Program.Selected(IDC_DATA_TYPE));
    EXPECT_FALSE(Program.Enabled(IDC_DATA_STOP));
    EXPECT_FALSE(Program.Visible(IDC_DATA_PROGRESS));

    // Nothing read yet: one empty row; saving and comparing do nothing.
    HWND viewer = OpenViewer();
    ASSERT_TRUE(viewer);
    TGridView grid{Program.Control(IDC_DUMP_GRID, viewer), Program.Process.hProcess};
    EXPECT_EQ(17, grid.Columns());
    ASSERT_EQ(2, grid.Rows());
    EXPECT_EQ(L"00", grid.Cell(1, 0));
    EXPECT_EQ(L"0F", grid.Cell(16, 0));
    EXPECT_EQ(L"000000", grid.Cell(0, 1));
    for (int column = 1; column < 17; ++column)
        EXPECT_EQ(L"", grid.Cell(column, 1));
    CloseWindow(viewer);
    Program.Click(IDC_DATA_SAVE);
    Program.Click(IDC_DATA_COMPARE);
    EXPECT_EQ(L"(no message box)", Program.TakeMessageBox(500));

    ClickOk(IDC_DATA_GET_SIZE);
    EXPECT_TRUE(IsFrame(Program.TextOf(IDC_MAIN_OUTPUT), "D1 31 "));
    EXPECT_EQ(L"2048", Program.TextOf(IDC_DATA_COUNT));
    SendMessageW(Program.Control(IDC_DATA_TYPE), CB_SETCURSEL, 1, 0);
    ClickOk(IDC_DATA_GET_SIZE);
    EXPECT_EQ(L"64", Program.TextOf(IDC_DATA_COUNT));

    Program.SetTextOf(IDC_DATA_BLOCK, L"1");
    ClickOk(IDC_DATA_GET);
    EXPECT_TRUE(IsFrame(Program.TextOf(IDC_MAIN_OUTPUT), "D2 30 01 00 "));
    EXPECT_TRUE(
        std::regex_match(Narrow(Program.TextOf(IDC_DATA_MEMO)), std::regex("([0-9A-F]{2} ){64}")));
    EXPECT_EQ("", UnshownLines(Program.Control(IDC_MAIN_INPUT))) << "the frame of a whole block";

    // Read all, stopped while the second block is on its way (each answer comes late, within
    // the driver's time-out): three blocks in the buffer.
    Board.Command("fault delay 1500 always for d2");
    Program.Press(IDC_DATA_READ_ALL);
    ASSERT_TRUE(WaitUntil([&] { return Program.Enabled(IDC_DATA_STOP); }, 10000));
    // The page sets its controls one after the other; an emulated machine shows the steps.
    EXPECT_TRUE(WaitUntil([&] { return Program.Visible(IDC_DATA_PROGRESS); }, 10000));
    EXPECT_TRUE(WaitUntil([&] { return !Program.Enabled(IDC_DATA_GET); }, 10000));
    ASSERT_TRUE(WaitUntil([&] { return Program.TextOf(IDC_DATA_BLOCK) == L"1"; }, 20000));
    Sleep(200);
    Program.Press(IDC_DATA_STOP);
    Snap("page08");
    ASSERT_TRUE(WaitUntil([&] { return Program.Enabled(IDC_DATA_READ_ALL); }, 30000));
    Board.Command("clear");
    EXPECT_TRUE(WaitUntil([&] { return !Program.Visible(IDC_DATA_PROGRESS); }, 10000));
    EXPECT_TRUE(WaitUntil([&] { return !Program.Enabled(IDC_DATA_STOP); }, 10000));
    EXPECT_EQ(L"2", Program.TextOf(IDC_DATA_BLOCK));
    EXPECT_EQ(L"", Program.TextOf(IDC_DATA_MEMO));
    EXPECT_EQ(3, Progress(IDC_DATA_PROGRESS, PBM_GETPOS));
    EXPECT_EQ(NoError, Program.Result());

    viewer = OpenViewer();
    ASSERT_TRUE(viewer);
    grid.Grid = Program.Control(IDC_DUMP_GRID, viewer);
    ASSERT_EQ(13, grid.Rows());
    EXPECT_EQ(L"0000B0", grid.Cell(0, 12));
    EXPECT_NE(L"", grid.Cell(16, 12));
    RECT box{};
    GetWindowRect(viewer, &box);
    EXPECT_GE(box.right - box.left, 412);
    Snap("dump-viewer");
    CloseWindow(viewer);

    // Saved exactly, offered under the memory's name, in the program's folder.
    const std::wstring dump = TempFile(L"skavin-dump.bin");
    DeleteFileW(dump.c_str());
    Program.Press(IDC_DATA_SAVE);
    TSkavin::TFileDialog asked = Program.ChooseFile(dump, "save-dialog");
    EXPECT_EQ(L"Sondrik: сохранить данные как...", asked.Caption);
    EXPECT_EQ(BinaryFiles, asked.Filters);
    ASSERT_TRUE(WaitUntil([&] { return guihand::ReadFileBytes(dump).size() == 192; }, 10000));
    const std::string saved = guihand::ReadFileBytes(dump);

    // Compared over the common length only.
    const std::wstring reference = TempFile(L"skavin-reference.bin");
    Program.Press(IDC_DATA_COMPARE);
    asked = Program.ChooseFile(dump, "compare-dialog");
    EXPECT_NE(L"Sondrik: сохранить данные как...", asked.Caption) << "the system's own title";
    EXPECT_EQ(BinaryFiles, asked.Filters);
    EXPECT_EQ(L"Прошивка совпадает с эталонной.",
              Program.TakeMessageBox(20000, IDOK, "compare-equal"));
    ASSERT_TRUE(guihand::WriteFileBytes(reference, saved.substr(0, 10)));
    Program.Press(IDC_DATA_COMPARE);
    ChooseFile(reference);
    EXPECT_EQ(L"Прошивка совпадает с эталонной.", Program.TakeMessageBox());
    std::string changed = saved + "tail";
    changed[150] = static_cast<char>(changed[150] ^ 0x55);
    ASSERT_TRUE(guihand::WriteFileBytes(reference, changed));
    Program.Press(IDC_DATA_COMPARE);
    ChooseFile(reference);
    EXPECT_EQ(L"Прошивка  не совпадает с эталонной.",
              Program.TakeMessageBox(20000, IDOK, "compare-different"));
    ASSERT_EQ(0, Program.Close());
    EXPECT_EQ(L"1", Values(SkavinKey)[L"fmMain.pnlData.fmData.cbMemoryType"]);
    DeleteFileW(dump.c_str());
    DeleteFileW(reference.c_str());
}

// ---------------------------------------------------------------- page 9

TEST_F(SkavinPages, FirmwareWrittenAllAtOnceAndBlockByBlock) {
    std::string image(130, '\0');
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<char>(i * 7 + 0x98); // 0x98 has no character in cp1251
    const std::wstring file = TempFile(L"skavin-firmware.bin");
    ASSERT_TRUE(guihand::WriteFileBytes(file, image));

    StartProgram();
    Program.ShowPage(8);
    EXPECT_EQ(L"", Program.TextOf(IDC_FIRMWARE_FILE));
    EXPECT_EQ(L"1", Program.TextOf(IDC_FIRMWARE_BLOCK));
    EXPECT_FALSE(Program.Enabled(IDC_FIRMWARE_STOP));
    Program.Press(IDC_FIRMWARE_BROWSE);
    const TSkavin::TFileDialog asked = Program.ChooseFile(file, "firmware-dialog");
    EXPECT_EQ(L"Sondrik: открыть файл прошивки", asked.Caption);
    EXPECT_EQ(BinaryFiles, asked.Filters);
    ASSERT_TRUE(WaitUntil([&] { return Program.TextOf(IDC_FIRMWARE_FILE) == file; }, 10000))
        << Narrow(Program.TextOf(IDC_FIRMWARE_FILE));

    ClickOk(IDC_FIRMWARE_START);
    EXPECT_EQ("1", Board.State("mode"));
    ClickOk(IDC_FIRMWARE_GET_MODE);
    EXPECT_TRUE(std::regex_match(Narrow(Program.TextOf(IDC_FIRMWARE_MEMO)),
                                 std::regex("Режим работы: 01h, .+")))
        << Narrow(Program.TextOf(IDC_FIRMWARE_MEMO));

    // The first block refused twice: Yes writes it again, No ends the loop.
    Board.Command("fault error 33 for c1");
    Board.Command("fault error 33 for c1");
    Program.Press(IDC_FIRMWARE_WRITE_ALL);
    std::wstring question = Program.TakeMessageBox(20000, IDYES, "write-all-prompt");
    EXPECT_EQ(L"(51) ", question.substr(0, 5)) << Narrow(question);
    EXPECT_NE(std::wstring::npos, question.find(L"\nПродолжить выполнение?"));
    Program.TakeMessageBox(20000, IDNO);
    ASSERT_TRUE(WaitUntil([&] { return Program.Enabled(IDC_FIRMWARE_WRITE_ALL); }, 20000));
    EXPECT_EQ("0", Board.State("program_blocks_written"));
    EXPECT_EQ(L"1", Program.TextOf(IDC_FIRMWARE_BLOCK));
    EXPECT_FALSE(Program.Visible(IDC_FIRMWARE_PROGRESS));

    // Refused once and answered Yes: all three blocks go.
    Board.Command("fault error 33 for c1");
    Program.Press(IDC_FIRMWARE_WRITE_ALL);
    Program.TakeMessageBox(20000, IDYES);
    ASSERT_TRUE(WaitUntil([&] { return Program.Enabled(IDC_FIRMWARE_WRITE_ALL); }, 30000));
    EXPECT_EQ(NoError, Program.Result());
    EXPECT_EQ("3", Board.State("program_blocks_written"));
    EXPECT_EQ(L"3", Program.TextOf(IDC_FIRMWARE_BLOCK));
    EXPECT_EQ(4, Progress(IDC_FIRMWARE_PROGRESS, PBM_GETPOS));
    EXPECT_EQ(4, Progress(IDC_FIRMWARE_PROGRESS, PBM_GETRANGE));
    EXPECT_FALSE(Program.Visible(IDC_FIRMWARE_PROGRESS));
    EXPECT_FALSE(Program.Enabled(IDC_FIRMWARE_STOP));

    // Single blocks walk the file; a refused one stays put, silently.
    Program.SetTextOf(IDC_FIRMWARE_BLOCK, L"1");
    ClickOk(IDC_FIRMWARE_WRITE_BLOCK);
    EXPECT_TRUE(IsFrame(Program.TextOf(IDC_MAIN_OUTPUT), "C1 01 00 98 9F A6 .*"));
    ClickOk(IDC_FIRMWARE_WRITE_BLOCK);
    EXPECT_EQ(L"3", Program.TextOf(IDC_FIRMWARE_BLOCK));
    Board.Command("fault error 33 for c1");
    Program.Click(IDC_FIRMWARE_WRITE_BLOCK);
    EXPECT_EQ(L"(51) ", Program.Result().substr(0, 5));
    EXPECT_EQ(L"3", Program.TextOf(IDC_FIRMWARE_BLOCK));
    EXPECT_EQ(L"(no message box)", Program.TakeMessageBox(500));
    ClickOk(IDC_FIRMWARE_WRITE_BLOCK);
    EXPECT_EQ(L"4", Program.TextOf(IDC_FIRMWARE_BLOCK));
    EXPECT_EQ("6", Board.State("program_blocks_written"));
    Snap("page09");

    // A file that is not there: the system's reason, nothing written.
    Program.SetTextOf(IDC_FIRMWARE_FILE, TempFile(L"no-such-firmware.bin"));
    Program.Press(IDC_FIRMWARE_WRITE_BLOCK);
    EXPECT_NE(std::wstring::npos, Program.TakeMessageBox().find(L"no-such-firmware.bin"));
    EXPECT_TRUE(WaitUntil([&] { return Program.Enabled(IDC_FIRMWARE_WRITE_BLOCK); }, 5000));
    EXPECT_EQ("6", Board.State("program_blocks_written"));

    ClickOk(IDC_FIRMWARE_END);
    EXPECT_TRUE(WaitState("mode", "0"));
    EXPECT_TRUE(WaitState("restarting", "0"));
    ClickOk(IDC_FIRMWARE_GET_MODE);
    EXPECT_EQ(L"Режим работы: 00h, ", Program.TextOf(IDC_FIRMWARE_MEMO).substr(0, 19));

    // The image is in the program memory; the short last block was filled with zero bytes.
    Program.ShowPage(7);
    Program.SetTextOf(IDC_DATA_BLOCK, L"2");
    ClickOk(IDC_DATA_GET);
    EXPECT_EQ(Hex(image.substr(128) + std::string(62, '\0')), Program.TextOf(IDC_DATA_MEMO));
    Program.SetTextOf(IDC_DATA_BLOCK, L"0");
    ClickOk(IDC_DATA_GET);
    EXPECT_EQ(Hex(image.substr(0, 64)), Program.TextOf(IDC_DATA_MEMO));
    Program.Press(IDC_DATA_COMPARE);
    ChooseFile(file);
    EXPECT_EQ(L"Прошивка совпадает с эталонной.", Program.TakeMessageBox());

    ASSERT_EQ(0, Program.Close());
    auto saved = Values(SkavinKey);
    EXPECT_EQ(L"4", saved[L"fmMain.pnlData.fmProg.edtBlockNumber"]);
    DeleteFileW(file.c_str());
}
} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: test_skavin_pages [GoogleTest options] <board port> <control port>\n");
        return 2;
    }
    BoardPort = std::atoi(argv[1]);
    ControlPort = std::atoi(argv[2]);
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    Folder = path;
    Folder.erase(Folder.find_last_of(L'\\'));
    return RUN_ALL_TESTS();
}
