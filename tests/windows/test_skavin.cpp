// The Skavin program as a user works it: this test starts Skavin.exe as a process, finds its
// windows, sets and reads its controls and presses its buttons with window messages, and
// checks the result fields, the reports, the status log and the registry after each step.
//
//   test_skavin [GoogleTest options] <board port> <control port>
//   test_skavin [GoogleTest options] --installed <board port> <board serial number>
//
// Skavin.exe and Trelmo.dll are taken from this program's folder; the library is registered
// with the system's regsvr32 of this bitness (the program creates the driver by its class).
// The virtual board serves on COM<board port>; its control line (trelmo-board --control-tty)
// is mapped to COM<control port>. "SCREENSHOT <label>" lines wait for one line on input.
#include "TrelmoLib_TLB.h"
#include "skavin_remote.h"
#include "untSkavinRes.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <regex>
#include <string>
#include <vector>

namespace {
using namespace SkavinRemote;

// A control that stands for each page: visible exactly when its page is shown.
const int PageMarks[] = {IDC_STATE_MEMO,    IDC_PARAM_BAUD,  IDC_RELAY_STATUS, IDC_BOARD_RESET,
                         IDC_WD_MEMO,       IDC_TBL_NUMBER,  IDC_PING_MEMO,    IDC_DATA_MEMO,
                         IDC_FIRMWARE_MEMO, IDC_COMMAND_TEXT};

// ---------------------------------------------------------------- fixture

int BoardSerial = 1234;

// The driver object loads its connection from the user's settings.
void PutDriverSettings() {
    PutNumber(DriverKey, L"PortNumber", static_cast<DWORD>(BoardPort));
    PutNumber(DriverKey, L"BaudRate", 2400);
    PutNumber(DriverKey, L"Timeout", 100);
    PutNumber(DriverKey, L"CommandTimeout", 1000);
    PutNumber(DriverKey, L"LogOn", 0);
}

class Skavin : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        DriverSettings = new TKeySnapshot(DriverKey);
        ASSERT_EQ(0u, RegSvr32(false));
        PutDriverSettings();
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
    }

    void StartProgram(const std::wstring& arguments = L"") {
        ASSERT_TRUE(Program.Start(arguments)) << "no main window";
    }

    void ExpectPageShown(int index) {
        EXPECT_EQ(index, Program.ListIndex());
        for (int i = 0; i < 10; ++i) {
            if (PageMarks[i]) {
                EXPECT_EQ(i == index, Program.Visible(PageMarks[i])) << "page " << i + 1;
            }
        }
    }

    // The page's top row is level with the page list; its rightmost controls end where the
    // window's buttons do.
    void ExpectPageAligned(int index) {
        HWND page = GetParent(Program.Control(PageMarks[index]));
        RECT content{};
        for (HWND child = GetWindow(page, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            RECT box{};
            GetWindowRect(child, &box);
            if (IsWindowVisible(child))
                UnionRect(&content, IsRectEmpty(&content) ? &box : &content, &box);
        }
        RECT list{}, buttons{};
        GetWindowRect(Program.Control(IDC_MAIN_LIST), &list);
        GetWindowRect(Program.Control(IDC_MAIN_CLOSE), &buttons);
        EXPECT_EQ(list.top, content.top) << "page " << index + 1;
        // A control's edges are rounded from dialog units one by one.
        EXPECT_NEAR(buttons.right, content.right, 1) << "page " << index + 1;
    }

    // Clicks a tab as the mouse does; the tab's box comes through the program's own memory.
    void ClickTab(HWND tabs, int index) {
        RECT box{};
        void* remote = VirtualAllocEx(Program.Process.hProcess, nullptr, sizeof box, MEM_COMMIT,
                                      PAGE_READWRITE);
        ASSERT_TRUE(remote);
        SendMessageW(tabs, TCM_GETITEMRECT, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(remote));
        ReadProcessMemory(Program.Process.hProcess, remote, &box, sizeof box, nullptr);
        VirtualFreeEx(Program.Process.hProcess, remote, 0, MEM_RELEASE);
        const LPARAM at = MAKELPARAM((box.left + box.right) / 2, (box.top + box.bottom) / 2);
        SendMessageW(tabs, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(tabs, WM_LBUTTONUP, 0, at);
    }

    static TKeySnapshot* DriverSettings;
    TBoardControl Board;
    TSkavin Program;
};

TKeySnapshot* Skavin::DriverSettings = nullptr;

// ---------------------------------------------------------------- shell

TEST_F(Skavin, FirstRunThenEveryPageThenSettingsSurviveARestart) {
    StartProgram();
    EXPECT_EQ(Title, Text(Program.Main));
    const wchar_t* captions[] = {
        L"Запрос состояния", L"Параметры обмена", L"Реле",           L"Управление платой",
        L"WatchDog Таймер",  L"Таблицы",          L"Проверка связи", L"Данные",
        L"Запись прошивки",  L"Команда"};
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(std::to_wstring(i + 1) + L". " + captions[i], Program.ListItem(i));
    ExpectPageShown(0);
    EXPECT_EQ(0, Program.Selected(IDC_PARAM_BAUD)) << "first run: first items";
    EXPECT_EQ(L"2400", Program.TextOf(IDC_PARAM_BAUD));
    EXPECT_EQ(L"50", Program.TextOf(IDC_PARAM_TIMEOUT));
    EXPECT_EQ(L"11", Program.TextOf(IDC_COMMAND_TEXT));
    EXPECT_EQ(L"", Program.Result());
    ExpectPageAligned(0);
    // The window places its own fields in pixels: at every DPI they hold a line of the dialog
    // font as a page's edit box, laid out in dialog units, does.
    RECT field{}, edit{};
    GetWindowRect(Program.Control(IDC_MAIN_RESULT), &field);
    GetWindowRect(Program.Control(IDC_COMMAND_TEXT), &edit);
    EXPECT_GE(field.bottom - field.top, edit.bottom - edit.top);
    Screenshot("page01");
    for (int i = 1; i < 10; ++i) {
        Program.ShowPage(i);
        ExpectPageShown(i);
        ExpectPageAligned(i);
        char label[16];
        std::snprintf(label, sizeof label, "page%02d", i + 1);
        Screenshot(label);
    }

    Program.SetTextOf(IDC_PARAM_TIMEOUT, L"77");
    SendMessageW(Program.Control(IDC_PARAM_BAUD), CB_SETCURSEL, 3, 0);
    Program.SetTextOf(IDC_COMMAND_TEXT, L"0A FF");
    Program.Click(IDC_PING_STOP_ON_ERRORS);
    Program.ShowPage(6);
    ASSERT_EQ(0, Program.Close());

    auto saved = Values(SkavinKey);
    EXPECT_EQ(L"6", saved[L"PageIndex"]);
    EXPECT_EQ(L"77", saved[L"fmMain.pnlData.fmParam.edtTimeout"]);
    EXPECT_EQ(L"3", saved[L"fmMain.pnlData.fmParam.cbBaudRate"]);
    EXPECT_EQ(L"0", saved[L"fmMain.pnlData.fmParam.edtTestNumber"]);
    EXPECT_EQ(L"0A FF", saved[L"fmMain.pnlData.fmCommand.edtCommand"]);
    EXPECT_EQ(L"1", saved[L"fmMain.pnlData.fmPing.cbStopOnErrors"]);
    for (const auto& value : saved)
        EXPECT_EQ(std::wstring::npos, value.first.find(L"edtResult")) << Narrow(value.first);

    StartProgram();
    ExpectPageShown(6);
    EXPECT_EQ(L"77", Program.TextOf(IDC_PARAM_TIMEOUT));
    EXPECT_EQ(L"19200", Program.TextOf(IDC_PARAM_BAUD));
    EXPECT_EQ(L"0A FF", Program.TextOf(IDC_COMMAND_TEXT));
    EXPECT_TRUE(Program.Ticked(IDC_PING_STOP_ON_ERRORS));
    ASSERT_EQ(0, Program.Close());

    // "-AUTO" in any letter case shows the command page; a page index out of range, page 1.
    StartProgram(L"-auto");
    ExpectPageShown(9);
    ASSERT_EQ(0, Program.Close());
    PutNumber(SkavinKey, L"PageIndex", 10);
    StartProgram(L"-other");
    ExpectPageShown(0);
    ASSERT_EQ(0, Program.Close());
}

TEST_F(Skavin, AboutBoxShowsBothVersions) {
    StartProgram();
    Program.Press(IDC_MAIN_ABOUT);
    HWND about = Program.WaitForWindow(L"О драйвере", nullptr, 20000);
    ASSERT_TRUE(about);
    HWND versions = GetDlgItem(about, 202); // IDC_ABOUT_VERSIONS
    std::vector<std::wstring> lines;
    for (int i = 0; i < SendMessageW(versions, LB_GETCOUNT, 0, 0); ++i) {
        wchar_t line[128] = L"";
        SendMessageW(versions, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(line));
        lines.push_back(line);
    }
    EXPECT_EQ(Title, Text(GetDlgItem(about, 201)));
    ASSERT_EQ(2u, lines.size());
    EXPECT_TRUE(
        std::regex_match(Narrow(lines[0]), std::regex("Версия теста: 1\\.\\d+\\.\\d+\\.\\d+")))
        << Narrow(lines[0]);
    EXPECT_TRUE(
        std::regex_match(Narrow(lines[1]), std::regex("Версия драйвера: 1\\.\\d+\\.\\d+\\.\\d+")))
        << Narrow(lines[1]);
    Screenshot("about");
    PostMessageW(about, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(about); }, 10000));

    // The property page's result is not shown; the program goes on.
    Program.Press(IDC_MAIN_PROPERTIES);
    Sleep(1000);
    if (HWND page = Program.WaitForWindow(L"Свойства", Program.Main, 500))
        PostMessageW(page, WM_CLOSE, 0, 0);
    EXPECT_EQ(L"", Program.Result());
    ASSERT_EQ(0, Program.Close());
}

// The class not registered: the operation ends with the system's message, no driver object
// is left, and the next operation tries again.
TEST_F(Skavin, UnregisteredDriverShowsTheErrorAndTheNextOperationRetries) {
    ASSERT_EQ(0u, RegSvr32(true));
    StartProgram();
    Program.Press(IDC_STATE_GET_STATE);
    const std::wstring message = Program.TakeMessageBox();
    EXPECT_NE(L"(no message box)", message);
    EXPECT_NE(L"", message);
    EXPECT_TRUE(WaitUntil([&] { return Program.Enabled(IDC_STATE_GET_STATE); }, 5000));
    EXPECT_EQ(L"", Program.Result());

    ASSERT_EQ(0u, RegSvr32(false));
    Program.Click(IDC_STATE_GET_STATE);
    EXPECT_EQ(NoError, Program.Result());
    EXPECT_EQ(30u, Lines(Program.TextOf(IDC_STATE_MEMO)).size());
    ASSERT_EQ(0, Program.Close());
}

// ---------------------------------------------------------------- page 1 and the monitor

TEST_F(Skavin, StatePageButtonsAndResultFields) {
    StartProgram();
    // Enter anywhere in the window presses the page's default button, "Получить состояние".
    PostMessageW(Program.Control(IDC_MAIN_LIST), WM_KEYDOWN, VK_RETURN, 1);
    ASSERT_TRUE(WaitUntil([&] { return Program.Result() == NoError; }, 10000));
    EXPECT_TRUE(IsFrame(Program.TextOf(IDC_MAIN_OUTPUT), "11 "));
    EXPECT_NE(L"", Program.TextOf(IDC_MAIN_INPUT));
    EXPECT_TRUE(std::regex_match(Narrow(Program.TextOf(IDC_MAIN_TIME)), std::regex("\\d+")));
    std::vector<std::wstring> report = Lines(Program.TextOf(IDC_STATE_MEMO));
    ASSERT_EQ(30u, report.size());
    EXPECT_EQ(std::wstring(44, L'-'), report[0]);
    EXPECT_EQ(L"Серийный номер : 1234", report[4]);
    EXPECT_TRUE(std::regex_match(Narrow(report[7]), std::regex("Байт флагов 1: [0-9A-F]+h, \\d+")))
        << Narrow(report[7]);
    EXPECT_EQ(L"[X] наличие напряжения 220 В", report[8]);
    // The relay byte in hex and decimal, then its bits from 7 down to 0.
    std::smatch relays;
    const std::string relayLine = Narrow(report[21]);
    ASSERT_TRUE(std::regex_match(relayLine, relays,
                                 std::regex("Флаги состояния реле: ([0-9A-F]+)h, (\\d+)")))
        << relayLine;
    const long relayByte = std::stol(relays[2]);
    EXPECT_EQ(relayByte, std::stol(relays[1], nullptr, 16));
    const wchar_t* names[] = {L"Резерв",  L"Аудио 5", L"Монитор 2", L"Монитор 1",
                              L"Принтер", L"Сейф",    L"Ридер",     L"Модем"};
    for (int bit = 7; bit >= 0; --bit)
        EXPECT_EQ(std::wstring(relayByte >> bit & 1 ? L"[X] " : L"[ ] ") + names[7 - bit],
                  report[static_cast<std::size_t>(29 - bit)]);
    EXPECT_TRUE(Program.Enabled(IDC_STATE_GET_STATE));
    Screenshot("state");

    // Mains lost: the flag line follows the board.
    Board.Command("mains off");
    Program.Click(IDC_STATE_GET_STATE);
    EXPECT_EQ(L"[ ] наличие напряжения 220 В", Lines(Program.TextOf(IDC_STATE_MEMO))[8]);
    Board.Command("mains on");

    Program.Click(IDC_STATE_METRICS);
    EXPECT_EQ(NoError, Program.Result());
    report = Lines(Program.TextOf(IDC_STATE_MEMO));
    ASSERT_EQ(5u, report.size());
    EXPECT_EQ(0u, report[0].rfind(L"Устройство       : ", 0));
    EXPECT_TRUE(std::regex_match(Narrow(report[1]), std::regex("Тип устройства   : \\d+\\.\\d+")));
    EXPECT_EQ(0u, report[4].rfind(L"Язык устройства  : ", 0));

    // A board error: the report stays empty and the field shows the board's code.
    Board.Command("fault error 33 for 11");
    Program.Click(IDC_STATE_GET_STATE);
    EXPECT_EQ(0u, Program.Result().rfind(L"(51) ", 0)) << Narrow(Program.Result());
    EXPECT_EQ(L"", Program.TextOf(IDC_STATE_MEMO));

    Program.Click(IDC_STATE_RESET_DEVICE);
    EXPECT_EQ(NoError, Program.Result());
    EXPECT_EQ(L"", Program.TextOf(IDC_STATE_MEMO));
    EXPECT_TRUE(Program.Enabled(IDC_STATE_RESET_DEVICE));
    ASSERT_EQ(0, Program.Close());
}

TEST_F(Skavin, StatusMonitorCountsFailedPollsAndLogsChanges) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring log = std::wstring(temp) + L"skavin-status.log";
    DeleteFileW(log.c_str());
    PutNumber(SkavinKey, L"PollDelay", 400);
    PutNumber(SkavinKey, L"StatusLogOn", 1);
    PutText(SkavinKey, L"StatusLogFile", log);
    for (int i = 0; i < 3; ++i)
        Board.Command("fault noanswer for 11");

    StartProgram();
    Program.Press(IDC_STATE_STATUS);
    HWND status = Program.WaitForWindow(StatusCaption, nullptr, 20000);
    ASSERT_TRUE(status);
    RECT box{};
    GetWindowRect(status, &box);
    EXPECT_EQ(0, box.left);
    EXPECT_EQ(0, box.top);
    EXPECT_EQ(L"Прервать опрос", Program.TextOf(IDC_STATUS_TOGGLE, status));
    HWND bar = Program.Control(IDC_STATUS_BAR, status);
    std::vector<std::wstring> seen;
    WaitUntil(
        [&] {
            const std::wstring line = Text(bar);
            const bool pollLine =
                std::regex_match(Narrow(line), std::regex("-?\\d+, .+ \\(\\d+\\)"));
            if (pollLine && (seen.empty() || seen.back() != line))
                seen.push_back(line);
            return seen.size() >= 5;
        },
        30000);
    ASSERT_EQ(5u, seen.size());
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(std::regex_match(Narrow(seen[static_cast<std::size_t>(i)]),
                                     std::regex("-1, .+ \\(" + std::to_string(i + 1) + "\\)")))
            << Narrow(seen[static_cast<std::size_t>(i)]);
    EXPECT_EQ(L"0, Ошибок нет (1)", seen[3]);
    EXPECT_EQ(L"0, Ошибок нет (2)", seen[4]);
    EXPECT_TRUE(Program.Ticked(IDC_STATUS_MB_POWER_SENSOR, status));

    // Mains lost changes flag byte 1 only.
    Board.Command("mains off");
    EXPECT_TRUE(
        WaitUntil([&] { return !Program.Ticked(IDC_STATUS_MB_POWER_SENSOR, status); }, 10000));
    Board.Command("mains on");
    EXPECT_TRUE(
        WaitUntil([&] { return Program.Ticked(IDC_STATUS_MB_POWER_SENSOR, status); }, 10000));
    Screenshot("status");

    // Opening it again only brings it forward.
    Program.Click(IDC_STATE_STATUS);
    EXPECT_EQ(L"Прервать опрос", Program.TextOf(IDC_STATUS_TOGGLE, status));
    Program.Click(IDC_STATUS_TOGGLE, status);
    EXPECT_EQ(L"Начать опрос", Program.TextOf(IDC_STATUS_TOGGLE, status));
    EXPECT_EQ(L"Опрос остановлен", Text(bar));
    Screenshot("status-stopped");

    // The log tab; its file chosen in the system's dialog.
    ClickTab(Program.Control(IDC_STATUS_TABS, status), 1);
    ASSERT_TRUE(WaitUntil(
        [&] { return IsWindowVisible(Program.Control(IDC_STATUS_LOG_FILE, status)); }, 5000));
    EXPECT_FALSE(IsWindowVisible(Program.Control(IDC_STATUS_TOGGLE, status)));
    EXPECT_TRUE(Program.Ticked(IDC_STATUS_LOG_ON, status));
    Screenshot("status-log");
    SendMessageW(Program.Control(IDC_STATUS_LOG_FILE, status), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(L"other.log"));
    PostMessageW(Program.Control(IDC_STATUS_BROWSE, status), BM_CLICK, 0, 0);
    const TSkavin::TFileDialog asked = Program.ChooseFile(log, "status-log-dialog");
    EXPECT_EQ((std::vector<std::wstring>{L"Файлы лога", L"Все файлы"}), asked.Filters);
    EXPECT_TRUE(WaitUntil([&] { return Program.TextOf(IDC_STATUS_LOG_FILE, status) == log; }, 5000))
        << Narrow(Program.TextOf(IDC_STATUS_LOG_FILE, status));
    ClickTab(Program.Control(IDC_STATUS_TABS, status), 0);
    EXPECT_TRUE(WaitUntil(
        [&] { return IsWindowVisible(Program.Control(IDC_STATUS_TOGGLE, status)); }, 5000));
    SendMessageW(Program.Control(IDC_STATUS_INTERVAL, status), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(L"300"));
    SendMessageW(status, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(status); }, 10000));
    EXPECT_EQ(L"300", Values(SkavinKey)[L"PollDelay"]);
    EXPECT_EQ(L"1", Values(SkavinKey)[L"StatusLogOn"]);
    EXPECT_EQ(log, Values(SkavinKey)[L"StatusLogFile"]);
    ASSERT_EQ(0, Program.Close());

    // The log, in cp1251: the start, the three bytes once each, flag byte 1 twice more, the end.
    HANDLE file = CreateFileW(log.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    char data[8192];
    DWORD got = 0;
    ReadFile(file, data, sizeof data, &got, nullptr);
    CloseHandle(file);
    wchar_t wide[8192];
    const int length = MultiByteToWideChar(1251, 0, data, static_cast<int>(got), wide, 8192);
    std::vector<std::wstring> lines = Lines(std::wstring(wide, static_cast<std::size_t>(length)));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(L"", lines.back()) << "every line ends with CR LF";
    lines.pop_back();
    const std::regex stamp(R"(\[\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d\.\d{3}\] (.*))");
    std::vector<std::string> texts;
    for (const std::wstring& line : lines) {
        std::smatch match;
        const std::string narrow = Narrow(line);
        ASSERT_TRUE(std::regex_match(narrow, match, stamp)) << narrow;
        texts.push_back(match[1]);
    }
    ASSERT_GE(texts.size(), 6u);
    EXPECT_EQ("Начало опроса", texts[0]);
    EXPECT_EQ(0u, texts[1].rfind("флаги состояния устройства (1 байт): ", 0)) << texts[1];
    EXPECT_EQ(0u, texts[2].rfind("флаги состояния устройства (2 байт): ", 0)) << texts[2];
    EXPECT_EQ(0u, texts[3].rfind("флаги реле: ", 0)) << texts[3];
    EXPECT_EQ("Конец опроса", texts.back());
    // Only changes follow. Mains off and on again clear and set bit 7 of flag byte 1 (other
    // bits may change meanwhile as the board's delays run out).
    const std::string flags1Prefix = "флаги состояния устройства (1 байт): ";
    std::vector<int> flags1{std::stoi(texts[1].substr(flags1Prefix.size()))};
    for (std::size_t i = 4; i + 1 < texts.size(); ++i)
        if (texts[i].rfind(flags1Prefix, 0) == 0)
            flags1.push_back(std::stoi(texts[i].substr(flags1Prefix.size())));
    bool off = false, onAgain = false;
    for (std::size_t i = 1; i < flags1.size(); ++i) {
        EXPECT_NE(flags1[i - 1], flags1[i]) << "only changes are logged";
        off = off || !(flags1[i] & 0x80);
        onAgain = onAgain || (off && (flags1[i] & 0x80));
    }
    EXPECT_TRUE(off && onAgain) << texts.size() << " lines";
    DeleteFileW(log.c_str());
}

// ---------------------------------------------------------------- pages 2 and 10

TEST_F(Skavin, CommandPageChecksAndSendsRawCommands) {
    StartProgram(L"-AUTO");
    Program.Click(IDC_COMMAND_EXECUTE);
    EXPECT_EQ(NoError, Program.Result());
    EXPECT_TRUE(IsFrame(Program.TextOf(IDC_MAIN_OUTPUT), "11 "));
    EXPECT_NE(L"", Program.TextOf(IDC_MAIN_INPUT));
    const std::wstring sent = Program.TextOf(IDC_MAIN_OUTPUT);

    Program.SetTextOf(IDC_COMMAND_TEXT, L"11 ");
    Program.Press(IDC_COMMAND_EXECUTE);
    EXPECT_EQ(L"Неверный формат команды!",
              Program.TakeMessageBox(20000, IDOK, "command-format-error"));
    EXPECT_TRUE(WaitUntil([&] { return Program.Enabled(IDC_COMMAND_EXECUTE); }, 5000));
    EXPECT_EQ(sent, Program.TextOf(IDC_MAIN_OUTPUT)) << "nothing sent";
    // Lower case goes out in upper case.
    Program.SetTextOf(IDC_COMMAND_TEXT, L"0a ff");
    Program.Click(IDC_COMMAND_EXECUTE);
    EXPECT_TRUE(IsFrame(Program.TextOf(IDC_MAIN_OUTPUT), "0A FF "))
        << Narrow(Program.TextOf(IDC_MAIN_OUTPUT));
    EXPECT_NE(NoError, Program.Result());
    Screenshot("command");
    ASSERT_EQ(0, Program.Close());
}

TEST_F(Skavin, ExchangeParameterPageButtons) {
    StartProgram();
    Program.ShowPage(1);
    Program.SetTextOf(IDC_PARAM_TIMEOUT, L"7");
    SendMessageW(Program.Control(IDC_PARAM_BAUD), CB_SETCURSEL, 4, 0);
    Program.Click(IDC_PARAM_GET);
    EXPECT_EQ(NoError, Program.Result());
    EXPECT_EQ(L"100", Program.TextOf(IDC_PARAM_TIMEOUT)) << "the board's byte time-out";
    EXPECT_EQ(L"2400", Program.TextOf(IDC_PARAM_BAUD));

    // The board takes a new time-out; the driver follows and keeps it.
    Program.SetTextOf(IDC_PARAM_TIMEOUT, L"120");
    Program.Click(IDC_PARAM_SET);
    EXPECT_EQ(NoError, Program.Result());
    EXPECT_EQ(L"120", Values(DriverKey)[L"Timeout"]);
    Program.SetTextOf(IDC_PARAM_TIMEOUT, L"0");
    Program.Click(IDC_PARAM_GET);
    EXPECT_EQ(L"120", Program.TextOf(IDC_PARAM_TIMEOUT));
    // Above the up-down's range the value is limited to it.
    Program.SetTextOf(IDC_PARAM_TIMEOUT, L"300");
    Program.Click(IDC_PARAM_SET);
    EXPECT_EQ(L"255", Values(DriverKey)[L"Timeout"]);
    Program.SetTextOf(IDC_PARAM_TIMEOUT, L"100");
    Program.Click(IDC_PARAM_SET);
    EXPECT_EQ(NoError, Program.Result());

    Program.SetTextOf(IDC_PARAM_TEST, L"1");
    Program.Click(IDC_PARAM_TEST_DEVICE);
    EXPECT_EQ(NoError, Program.Result());
    EXPECT_TRUE(IsFrame(Program.TextOf(IDC_MAIN_OUTPUT), "C5 01 "))
        << Narrow(Program.TextOf(IDC_MAIN_OUTPUT));
    Program.Click(IDC_PARAM_CLOSE_PORT);
    EXPECT_EQ(NoError, Program.Result());
    Program.Click(IDC_PARAM_OPEN_PORT);
    EXPECT_EQ(NoError, Program.Result());

    // Text that is no number: the conversion error, nothing sent, buttons back.
    const std::wstring before = Program.TextOf(IDC_MAIN_OUTPUT);
    Program.SetTextOf(IDC_PARAM_TIMEOUT, L"abc");
    Program.Press(IDC_PARAM_SET);
    EXPECT_NE(std::wstring::npos, Program.TakeMessageBox(20000, IDOK, "number-error").find(L"abc"));
    EXPECT_TRUE(WaitUntil([&] { return Program.Enabled(IDC_PARAM_SET); }, 5000));
    EXPECT_EQ(before, Program.TextOf(IDC_MAIN_OUTPUT));
    Screenshot("param");
    ASSERT_EQ(0, Program.Close());
}

// ---------------------------------------------------------------- page 7

struct TReport {
    long Sent = -1, Received = -1, Lost = -1, Rate = -1, Seconds = -1;
    std::string Loss, Average;
    std::size_t Lines = 0;
};

TReport ReadReport(const std::wstring& text) {
    TReport report;
    const std::vector<std::wstring> lines = Lines(text);
    report.Lines = lines.size();
    for (const std::wstring& line : lines) {
        const std::string narrow = Narrow(line);
        std::smatch m;
        if (std::regex_match(narrow, m, std::regex("Послано запросов: +(\\d+)")))
            report.Sent = std::stol(m[1]);
        else if (std::regex_match(narrow, m, std::regex("Получено ответов: +(\\d+)")))
            report.Received = std::stol(m[1]);
        else if (std::regex_match(narrow, m, std::regex("Потеряно запросов: +(\\d+)")))
            report.Lost = std::stol(m[1]);
        else if (std::regex_match(narrow, m, std::regex("Процент потерь: +(.+)")))
            report.Loss = m[1];
        else if (std::regex_match(narrow, m, std::regex("Скорость опроса: +(\\d+) опросов/с")))
            report.Rate = std::stol(m[1]);
        else if (std::regex_match(narrow, m, std::regex("Среднее время ответа: (.+) мс\\.")))
            report.Average = m[1];
        else if (std::regex_match(narrow, m, std::regex("Время опроса: +(\\d+) c")))
            report.Seconds = std::stol(m[1]);
    }
    return report;
}

std::string Decimal() {
    wchar_t separator[8] = L".";
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8);
    return Narrow(separator);
}

TEST_F(Skavin, LinkStatisticsReportWithoutAndWithLosses) {
    StartProgram();
    Program.ShowPage(6);
    Program.Press(IDC_PING_START);
    ASSERT_TRUE(WaitUntil(
        [&] { return Program.Enabled(IDC_PING_STOP) && !Program.Enabled(IDC_PING_START); }, 10000));
    Sleep(2500);
    Screenshot("ping-running");
    Program.Click(IDC_PING_STOP);
    ASSERT_TRUE(WaitUntil([&] { return Program.Enabled(IDC_PING_START); }, 10000));
    EXPECT_FALSE(Program.Enabled(IDC_PING_STOP));
    const std::wstring text = Program.TextOf(IDC_PING_MEMO);
    TReport report = ReadReport(text);
    EXPECT_EQ(10u, report.Lines) << Narrow(text);
    EXPECT_EQ(L"№ порта:              COM" + std::to_wstring(BoardPort), Lines(text)[0]);
    EXPECT_EQ(L"Скорость обмена:      2400", Lines(text)[1]);
    EXPECT_EQ(L"Таймаут:              100 мс", Lines(text)[2]);
    EXPECT_GT(report.Sent, 5);
    EXPECT_EQ(report.Sent, report.Received);
    EXPECT_EQ(0, report.Lost);
    EXPECT_EQ("0" + Decimal() + "00", report.Loss);
    EXPECT_GE(report.Seconds, 3);
    EXPECT_EQ(report.Sent / report.Seconds, report.Rate);
    // Two significant digits: the average times the answers is about the elapsed time.
    // (general notation, or scientific from 99.5 ms on, on a very slow machine).
    const std::regex general("(\\d{1,2})(?:" + Decimal() + "(\\d))?(?:E\\+(\\d{3}))?");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(report.Average, m, general)) << report.Average;
    const double average = std::stod(m[1].str() + (m[2].matched ? "." + m[2].str() : "") +
                                     (m[3].matched ? "E" + m[3].str() : ""));
    EXPECT_LE(average * report.Received, report.Seconds * 1000 * 1.06);
    EXPECT_GE(average * report.Received, (report.Seconds - 1) * 1000 * 0.94);
    EXPECT_EQ(L"", Program.Result()) << "the page does not notify the main window";
    Screenshot("ping");

    // Three lost answers in a row; the loop goes on without the tick.
    Program.Press(IDC_PING_START);
    ASSERT_TRUE(WaitUntil([&] { return Program.Enabled(IDC_PING_STOP); }, 10000));
    for (int i = 0; i < 3; ++i)
        Board.Command("fault noanswer for 15");
    long receivedAtLosses = 0;
    ASSERT_TRUE(WaitUntil(
        [&] {
            const TReport now = ReadReport(Program.TextOf(IDC_PING_MEMO));
            receivedAtLosses = now.Received;
            return now.Lost == 3;
        },
        20000));
    // Answers after the losses, however long an emulated machine takes for them.
    ASSERT_TRUE(WaitUntil(
        [&] { return ReadReport(Program.TextOf(IDC_PING_MEMO)).Received > receivedAtLosses; },
        20000));
    Program.Click(IDC_PING_STOP);
    ASSERT_TRUE(WaitUntil([&] { return Program.Enabled(IDC_PING_START); }, 10000));
    report = ReadReport(Program.TextOf(IDC_PING_MEMO));
    EXPECT_EQ(3, report.Lost);
    EXPECT_EQ(report.Sent - 3, report.Received);
    EXPECT_GT(report.Received, receivedAtLosses) << "answers after the losses";
    // The figures themselves are the unit tests' (PingReport): here the form only.
    EXPECT_TRUE(std::regex_match(report.Loss, std::regex("\\d+" + Decimal() + "\\d\\d")))
        << report.Loss;

    // With the tick the first loss ends the loop after its report.
    Program.Click(IDC_PING_STOP_ON_ERRORS);
    Board.Command("fault noanswer for 15");
    Program.Press(IDC_PING_START);
    ASSERT_TRUE(WaitUntil([&] { return Program.Enabled(IDC_PING_STOP); }, 10000));
    ASSERT_TRUE(WaitUntil([&] { return Program.Enabled(IDC_PING_START); }, 20000));
    report = ReadReport(Program.TextOf(IDC_PING_MEMO));
    EXPECT_EQ(1, report.Sent);
    EXPECT_EQ(0, report.Received);
    EXPECT_EQ(9u, report.Lines);
    EXPECT_EQ("100" + Decimal() + "00", report.Loss);
    ASSERT_EQ(0, Program.Close());
}

// The window closes also while the loop runs: the loop stops first.
TEST_F(Skavin, ClosingDuringTheLinkLoop) {
    StartProgram();
    Program.ShowPage(6);
    Program.Press(IDC_PING_START);
    ASSERT_TRUE(WaitUntil([&] { return Program.Enabled(IDC_PING_STOP); }, 10000));
    Sleep(300);
    ASSERT_EQ(0, Program.Close());
    EXPECT_EQ(L"6", Values(SkavinKey)[L"PageIndex"]);
}

// ---------------------------------------------------------------- installed

// The folder of the library that the system's registration names: where an installer put it.
std::wstring RegisteredFolder() {
    wchar_t clsid[64] = L"";
    StringFromGUID2(CLSID_Trelmo, clsid, 64);
    wchar_t path[MAX_PATH] = L"";
    DWORD size = sizeof path;
    if (RegGetValueW(HKEY_CLASSES_ROOT,
                     (std::wstring(L"CLSID\\") + clsid + L"\\InprocServer32").c_str(), nullptr,
                     RRF_RT_REG_SZ, nullptr, path, &size) != ERROR_SUCCESS)
        return {};
    const std::wstring library(path);
    return library.substr(0, library.find_last_of(L'\\'));
}

// The program as installed, with the driver the installation registered.
class Installed : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        DriverSettings = new TKeySnapshot(DriverKey);
        PutDriverSettings();
    }
    static void TearDownTestSuite() {
        DriverSettings->Restore();
        delete DriverSettings;
        RegDeleteTreeW(HKEY_CURRENT_USER, SkavinKey);
    }
    static TKeySnapshot* DriverSettings;
};

TKeySnapshot* Installed::DriverSettings = nullptr;

TEST_F(Installed, SkavinReadsTheBoardsStatus) {
    ASSERT_NE(L"", Folder) << "no registered library";
    TSkavin program;
    ASSERT_TRUE(program.Start()) << "no main window";
    program.Click(IDC_STATE_GET_STATE);
    EXPECT_EQ(NoError, program.Result());
    const std::vector<std::wstring> report = Lines(program.TextOf(IDC_STATE_MEMO));
    ASSERT_LT(4u, report.size());
    EXPECT_EQ(L"Серийный номер : " + std::to_wstring(BoardSerial), report[4]);
    EXPECT_EQ(0, program.Close());
}
} // namespace

//   test_skavin [GoogleTest options] <board port> <control port>
//   test_skavin [GoogleTest options] --installed <board port> <board serial number>
// The first runs the program built next to this one, the second the one the library's
// registration points to.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const bool installed = argc == 4 && std::string(argv[1]) == "--installed";
    if (argc != 3 && !installed) {
        std::fprintf(stderr, "usage: test_skavin [GoogleTest options] <board port> <control port>\n"
                             "       test_skavin [GoogleTest options] --installed <board port> "
                             "<board serial number>\n");
        return 2;
    }
    CoInitialize(nullptr);
    if (installed) {
        BoardPort = std::atoi(argv[2]);
        BoardSerial = std::atoi(argv[3]);
        Folder = RegisteredFolder();
        GTEST_FLAG_SET(filter, "Installed.*");
    } else {
        BoardPort = std::atoi(argv[1]);
        ControlPort = std::atoi(argv[2]);
        wchar_t path[MAX_PATH];
        GetModuleFileNameW(nullptr, path, MAX_PATH);
        Folder = path;
        Folder.erase(Folder.find_last_of(L'\\'));
        GTEST_FLAG_SET(filter, GTEST_FLAG_GET(filter) + "-Installed.*");
    }
    return RUN_ALL_TESTS();
}
