// The test program's own conversions, its registry persistence of controls and its page
// framework, in process: hex text both ways and the command check, decimal input, the link
// report's number formats, saving and restoring real controls under dotted value names, group
// boxes as containers, the page manager and the operation pattern; the texts of the program's
// windows in their controls at the DPI the test runs at.
#include "fmuPing.h"
#include "fmuStatus.h"
#include "guifit.h"
#include "testprog/untPage.h"
#include "untPageList.h"
#include "untSkavinRes.h"
#include "testprog/untTypes.h"
#include "testprog/untUtil.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

HINSTANCE ModuleInstance() {
    return GetModuleHandleW(nullptr);
}

namespace {
TEST(Hex, BytesToTextAndBack) {
    EXPECT_EQ("", StrToHex(""));
    EXPECT_EQ("00 0A FF ", StrToHex(std::string("\x00\x0A\xFF", 3)));
    EXPECT_EQ(std::string("\x01\x02"), HexToStr("1 2"));
    EXPECT_EQ(std::string("\x12\x03"), HexToStr("123"));
    EXPECT_EQ(std::string("\x0A\x0B"), HexToStr("A-B"));
    // Lower-case letters separate: "0a" is the lone digit 0.
    EXPECT_EQ(std::string("\x00", 1), HexToStr("0a"));
    EXPECT_EQ(std::string("\xAB\x0C", 2), HexToStr("  AB  C  "));
}

TEST(Hex, CommandCheckTakesOnlyTheCanonicalForm) {
    for (const char* valid : {"", "11", "0A FF 10"})
        EXPECT_NO_THROW(CheckCommand(valid)) << valid;
    for (const char* invalid : {"1", "11 ", " 11", "111", "11  22", "0a", "1G", "11-22"}) {
        try {
            CheckCommand(invalid);
            ADD_FAILURE() << "accepted \"" << invalid << "\"";
        } catch (const EProgramError& error) {
            EXPECT_STREQ("\xCD\xE5\xE2\xE5\xF0\xED\xFB\xE9 \xF4\xEE\xF0\xEC\xE0\xF2 "
                         "\xEA\xEE\xEC\xE0\xED\xE4\xFB!",
                         error.what()); // "Неверный формат команды!" in cp1251
        }
    }
}

TEST(Input, DecimalIntegersOnly) {
    EXPECT_EQ(12, StrToInt(L"12"));
    EXPECT_EQ(-5, StrToInt(L"-5"));
    EXPECT_EQ(2147483647, StrToInt(L"2147483647"));
    for (const wchar_t* bad : {L"", L"-", L"1a", L"0x10", L"12 ", L"2147483648", L"1.5"})
        EXPECT_THROW(StrToInt(bad), EConvertError);
}

TEST(PingReport, NumberFormats) {
    EXPECT_EQ(L"33.30", LossText(100.0 / 3, L'.'));
    EXPECT_EQ(L"66,70", LossText(200.0 / 3, L','));
    EXPECT_EQ(L"50.00", LossText(50, L'.'));
    EXPECT_EQ(L"100.00", LossText(100, L'.'));
    EXPECT_EQ(L"0.00", LossText(0, L'.'));
    EXPECT_EQ(L"0.13", LossText(100.0 / 750, L'.'));

    EXPECT_EQ(L"12", AverageText(12.0, L'.'));
    EXPECT_EQ(L"5,3", AverageText(5.26, L','));
    EXPECT_EQ(L"99", AverageText(99.4, L'.'));
    EXPECT_EQ(L"1E+002", AverageText(99.5, L'.'));
    EXPECT_EQ(L"1.5E+002", AverageText(150, L'.'));
    EXPECT_EQ(L"1.2E+003", AverageText(1234, L'.'));
    EXPECT_EQ(L"0.25", AverageText(0.25, L'.'));
}

TEST(PingReport, LinesBeforeAndAfterTheFirstAnswer) {
    TPingCounts counts;
    counts.PortNumber = 5;
    counts.BaudRate = 2400;
    counts.Timeout = 100;
    counts.Sent = 1;
    counts.Received = 0;
    counts.Elapsed = counts.Elapsed2 = 999;
    std::vector<std::wstring> lines = PingReport(counts, L',');
    ASSERT_EQ(9u, lines.size());
    EXPECT_EQ(L"№ порта:              COM5", lines[0]);
    EXPECT_EQ(L"Таймаут:              100 мс", lines[2]);
    EXPECT_EQ(L"Процент потерь:       100,00", lines[6]);
    EXPECT_EQ(L"Время опроса:         1 c", lines[8]);

    counts.Received = 1;
    counts.Elapsed = counts.Elapsed2 = 12;
    lines = PingReport(counts, L',');
    ASSERT_EQ(10u, lines.size());
    EXPECT_EQ(L"Послано запросов:     1", lines[3]);
    EXPECT_EQ(L"Получено ответов:     1", lines[4]);
    EXPECT_EQ(L"Потеряно запросов:    0", lines[5]);
    EXPECT_EQ(L"Процент потерь:       0,00", lines[6]);
    EXPECT_EQ(L"Скорость опроса:      1 опросов/с", lines[7]);
    EXPECT_EQ(L"Среднее время ответа: 12 мс.", lines[8]);
    EXPECT_EQ(L"Время опроса:         1 c", lines[9]);

    // Started seconds, and the rate truncated: 7 requests in 2 started seconds.
    counts.Sent = counts.Received = 7;
    counts.Elapsed = 1000;
    counts.Elapsed2 = 1001;
    lines = PingReport(counts, L'.');
    EXPECT_EQ(L"Скорость опроса:      3 опросов/с", lines[7]);
    EXPECT_EQ(L"Среднее время ответа: 1.4E+002 мс.", lines[8]);
    EXPECT_EQ(L"Время опроса:         2 c", lines[9]);
}

// ---------------------------------------------------------------- persistence

const wchar_t TestKey[] = L"Software\\Norvik\\Tests\\SkavinUnits";
int Clicks = 0;

LRESULT CALLBACK ContainerProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED)
        ++Clicks;
    return DefWindowProcW(window, message, wParam, lParam);
}

class Persistence : public ::testing::Test {
protected:
    void SetUp() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, TestKey);
        WNDCLASSW container{};
        container.lpfnWndProc = ContainerProcedure;
        container.hInstance = GetModuleHandleW(nullptr);
        container.lpszClassName = L"SkavinUnitsContainer";
        RegisterClassW(&container);
        Form = Make(L"SkavinUnitsContainer", nullptr, L"fmTest", 0);
        Panel = Make(L"SkavinUnitsContainer", Form, L"pnlData", WS_CHILD);
        Edit = Make(L"EDIT", Panel, L"edtA", WS_CHILD);
        ReadOnly = Make(L"EDIT", Panel, L"edtRO", WS_CHILD | ES_READONLY);
        Memo = Make(L"EDIT", Panel, L"Memo", WS_CHILD | ES_MULTILINE);
        Combo = Make(L"COMBOBOX", Panel, L"cbB", WS_CHILD | CBS_DROPDOWNLIST);
        for (const wchar_t* item : {L"2400", L"4800", L"9600"})
            SendMessageW(Combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
        Check = Make(L"BUTTON", Panel, L"chbC", WS_CHILD | BS_AUTOCHECKBOX);
        Unnamed = Make(L"EDIT", Panel, nullptr, WS_CHILD);
    }
    void TearDown() override {
        DestroyWindow(Form);
        RegDeleteTreeW(HKEY_CURRENT_USER, TestKey);
    }

    HWND Make(const wchar_t* type, HWND parent, const wchar_t* name, DWORD style) {
        HWND window = CreateWindowExW(0, type, L"", style, 0, 0, 100, 100, parent, nullptr,
                                      GetModuleHandleW(nullptr), nullptr);
        EXPECT_TRUE(window);
        if (name)
            SetControlName(window, name);
        return window;
    }

    static std::wstring Text(HWND window) {
        wchar_t text[256] = L"";
        GetWindowTextW(window, text, 256);
        return text;
    }

    HKEY Open() {
        HKEY key = nullptr;
        EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, TestKey, 0, KEY_READ, &key));
        return key;
    }

    HWND Form, Panel, Edit, ReadOnly, Memo, Combo, Check, Unnamed;
};

TEST_F(Persistence, SavesInputControlsUnderDottedNamesAndRestoresThem) {
    SetWindowTextW(Edit, L"0A FF");
    SetWindowTextW(ReadOnly, L"shown only");
    SetWindowTextW(Memo, L"many\r\nlines");
    SetWindowTextW(Unnamed, L"nameless");
    SendMessageW(Combo, CB_SETCURSEL, 2, 0);
    SendMessageW(Check, BM_SETCHECK, BST_CHECKED, 0);
    SaveParams(Form, 6, TestKey);

    HKEY key = Open();
    DWORD values = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                     nullptr, nullptr, nullptr);
    EXPECT_EQ(4u, values) << "PageIndex, the edit, the combo box and the check box only";
    wchar_t text[64] = L"";
    DWORD size = sizeof text, type = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"fmTest.pnlData.edtA", nullptr, &type,
                                              reinterpret_cast<BYTE*>(text), &size));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_STREQ(L"0A FF", text);
    DWORD number = 0;
    size = sizeof number;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"fmTest.pnlData.cbB", nullptr, &type,
                                              reinterpret_cast<BYTE*>(&number), &size));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_EQ(2u, number);
    size = sizeof number;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"fmTest.pnlData.chbC", nullptr, &type,
                                              reinterpret_cast<BYTE*>(&number), &size));
    EXPECT_EQ(1u, number);
    RegCloseKey(key);

    SetWindowTextW(Edit, L"changed");
    SetWindowTextW(ReadOnly, L"kept");
    SendMessageW(Combo, CB_SETCURSEL, 0, 0);
    SendMessageW(Check, BM_SETCHECK, BST_UNCHECKED, 0);
    Clicks = 0;
    EXPECT_EQ(6, LoadParams(Form, TestKey));
    EXPECT_EQ(L"0A FF", Text(Edit));
    EXPECT_EQ(L"kept", Text(ReadOnly));
    EXPECT_EQ(2, SendMessageW(Combo, CB_GETCURSEL, 0, 0));
    EXPECT_EQ(BST_CHECKED, SendMessageW(Check, BM_GETCHECK, 0, 0));
    EXPECT_EQ(1, Clicks) << "a restored tick tells its window, as a click would";
    // Restoring the same state again is no click.
    LoadParams(Form, TestKey);
    EXPECT_EQ(1, Clicks);
}

TEST_F(Persistence, FirstRunSelectsTheFirstItemsAndMissingValuesLeaveControlsAlone) {
    SendMessageW(Combo, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    SetWindowTextW(Edit, L"designed");
    EXPECT_EQ(0, LoadParams(Form, TestKey));
    EXPECT_EQ(0, SendMessageW(Combo, CB_GETCURSEL, 0, 0));
    EXPECT_EQ(L"designed", Text(Edit));

    // A key with an unknown control's value and no page index.
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, TestKey, 0, nullptr, 0, KEY_WRITE,
                                             nullptr, &key, nullptr));
    const wchar_t old[] = L"gone";
    RegSetValueExW(key, L"fmTest.pnlData.edtGone", 0, REG_SZ, reinterpret_cast<const BYTE*>(old),
                   sizeof old);
    RegCloseKey(key);
    SendMessageW(Combo, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    EXPECT_EQ(0, LoadParams(Form, TestKey));
    EXPECT_EQ(-1, SendMessageW(Combo, CB_GETCURSEL, 0, 0)) << "the key exists: no reset";
    EXPECT_EQ(L"designed", Text(Edit));
}

// ---------------------------------------------------------------- page framework

// A page over the status window's template, whose groups hold ticks and a push button.
class TGroupPage : public TPage {
public:
    TGroupPage() : TPage(IDD_STATUS, L"fmGroups", L"Группы") {}
    void Run(int button, bool notifyStart, const std::function<void()>& body) {
        Operate(button, notifyStart, body);
    }
    int Clicks = 0;

protected:
    void OnInit() override {
        MakeGroupContainer(IDC_STATUS_FLAGS, L"gbFlags");
        MakeGroupContainer(IDC_STATUS_LOG_GROUP, L"gbLog");
        NameControl(IDC_STATUS_WATCHDOG, L"chbWatchDog");
        NameControl(IDC_STATUS_INTERVAL, L"edtInterval");
        NameControl(IDC_STATUS_LOG_FILE, L"edtLogFile");
    }
    bool OnCommand(int id, int code) override {
        if (id == IDC_STATUS_WATCHDOG && code == BN_CLICKED)
            ++Clicks;
        return id == IDC_STATUS_WATCHDOG;
    }
};

class Framework : public ::testing::Test {
protected:
    void SetUp() override {
        Page.Create(nullptr);
        ASSERT_TRUE(Page.Handle());
    }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, TestKey); }

    HWND Control(int id) const {
        HWND found = GetDlgItem(Page.Handle(), id);
        for (int group : {IDC_STATUS_FLAGS, IDC_STATUS_LOG_GROUP})
            if (!found)
                found = GetDlgItem(GetDlgItem(Page.Handle(), group), id);
        return found;
    }
    bool Enabled(int id) const { return IsWindowEnabled(Control(id)) != FALSE; }

    TGroupPage Page;
};

TEST_F(Framework, GroupsHoldTheirControlsWhichAreSavedUnderTheGroupsName) {
    HWND flags = GetDlgItem(Page.Handle(), IDC_STATUS_FLAGS);
    HWND tick = GetDlgItem(flags, IDC_STATUS_WATCHDOG);
    ASSERT_TRUE(tick) << "the tick is the group's child";
    EXPECT_FALSE(GetDlgItem(Page.Handle(), IDC_STATUS_WATCHDOG));
    EXPECT_EQ(flags, GetParent(Control(IDC_STATUS_BROWSE)));
    EXPECT_EQ(GetDlgItem(Page.Handle(), IDC_STATUS_LOG_GROUP),
              GetParent(Control(IDC_STATUS_LOG_FILE)));
    EXPECT_EQ(Page.Handle(), GetParent(Control(IDC_STATUS_TOGGLE)));

    EnableWindow(flags, TRUE);
    EnableWindow(tick, TRUE);
    SendMessageW(tick, BM_CLICK, 0, 0);
    EXPECT_EQ(1, Page.Clicks) << "the group passes the click on to the page";

    SetWindowTextW(Control(IDC_STATUS_INTERVAL), L"500");
    SetWindowTextW(Control(IDC_STATUS_LOG_FILE), L"status.log");
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, TestKey, 0, nullptr, 0,
                                             KEY_READ | KEY_WRITE, nullptr, &key, nullptr));
    SaveControls(key, Page.Name(), Page.Handle());
    DWORD number = 7, size = sizeof number;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"fmGroups.gbFlags.chbWatchDog", nullptr,
                                              nullptr, reinterpret_cast<BYTE*>(&number), &size));
    EXPECT_EQ(1u, number);
    wchar_t text[64] = L"";
    size = sizeof text;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"fmGroups.gbLog.edtLogFile", nullptr, nullptr,
                                              reinterpret_cast<BYTE*>(text), &size));
    EXPECT_STREQ(L"status.log", text);
    size = sizeof text;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"fmGroups.edtInterval", nullptr, nullptr,
                                              reinterpret_cast<BYTE*>(text), &size));
    EXPECT_STREQ(L"500", text);
    RegCloseKey(key);
}

TEST_F(Framework, OperationPatternRestoresButtonsAndNotifiesInEveryCase) {
    TPages pages;
    int updates = 0;
    pages.OnUpdate = [&updates] { ++updates; };
    Page.SetPages(&pages);
    EXPECT_EQ(1, pages.Count());

    bool toggleDuring = true, browseDuring = false, tickDuring = false;
    Page.Run(IDC_STATUS_TOGGLE, true, [&] {
        toggleDuring = Enabled(IDC_STATUS_TOGGLE);
        browseDuring = Enabled(IDC_STATUS_BROWSE);
        tickDuring = Enabled(IDC_STATUS_LOG_ON);
        EXPECT_EQ(1, updates) << "the start notification comes before the body";
    });
    EXPECT_FALSE(toggleDuring) << "the page's own push buttons are off meanwhile";
    EXPECT_TRUE(browseDuring) << "a button inside a group is not the page's";
    EXPECT_TRUE(tickDuring) << "check boxes are left alone";
    EXPECT_TRUE(Enabled(IDC_STATUS_TOGGLE));
    EXPECT_EQ(2, updates);

    // A failure ends the body; the buttons come back, the end is notified, the failure goes on.
    EXPECT_THROW(Page.Run(IDC_STATUS_TOGGLE, false, [] { throw EConvertError(L"x"); }),
                 EConvertError);
    EXPECT_TRUE(Enabled(IDC_STATUS_TOGGLE));
    EXPECT_EQ(3, updates);
    EXPECT_FALSE(pages.CreatedDriver()) << "nothing asked for the driver";

    // Pages move between managers and leave them when they go.
    TPages other;
    Page.SetPages(&other);
    EXPECT_EQ(0, pages.Count());
    EXPECT_EQ(1, other.Count());
    {
        auto second = std::make_unique<TGroupPage>();
        second->SetPages(&other);
        EXPECT_EQ(2, other.Count());
    }
    EXPECT_EQ(1, other.Count());
    Page.SetPages(nullptr);
    EXPECT_EQ(0, other.Count());
}

// ---------------------------------------------------------------- layout

// The layout problems of a window whose control `id` shows `caption`, as it will at some point.
std::string ProblemsWith(HWND window, HWND control, const wchar_t* caption) {
    const std::wstring before = guifit::TextOf(control);
    SetWindowTextW(control, caption);
    const std::string problems = guifit::Describe(guifit::OwnProblems(window));
    SetWindowTextW(control, before.c_str());
    return problems;
}

// A window that holds the pages, as the main window's page area does.
class TPageHost {
public:
    TPageHost() {
        Window = CreateWindowExW(WS_EX_CONTROLPARENT, L"STATIC", L"", WS_POPUP, 0, 0, 800, 600,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    ~TPageHost() { DestroyWindow(Window); }
    TPageHost(const TPageHost&) = delete;
    TPageHost& operator=(const TPageHost&) = delete;
    HWND Window;
};

TEST(Layout, EveryPagesTextsFitTheirControlsWhichDoNotOverlap) {
    TPageHost host;
    std::vector<std::unique_ptr<TPage>> pages = CreatePages();
    ASSERT_EQ(10u, pages.size());
    for (const std::unique_ptr<TPage>& page : pages) {
        ASSERT_TRUE(page->Create(host.Window));
        const std::wstring wide = page->Name();
        EXPECT_EQ("", guifit::Describe(guifit::OwnProblems(page->Handle())))
            << std::string(wide.begin(), wide.end()); // the names are ASCII
    }
    // Captions a page puts on its buttons later.
    HWND watchdog = GetDlgItem(pages[4]->Handle(), IDC_WD_GROUP);
    EXPECT_EQ("", ProblemsWith(pages[4]->Handle(), GetDlgItem(watchdog, IDC_WD_RESET),
                               L"Выключить сброс сторожевого таймера"));
    // The watchdog page's flag report lines up as the state page's does.
    EXPECT_EQ(SendDlgItemMessageW(pages[0]->Handle(), IDC_STATE_MEMO, WM_GETFONT, 0, 0),
              SendDlgItemMessageW(pages[4]->Handle(), IDC_WD_MEMO, WM_GETFONT, 0, 0));
}

TEST(Layout, StatusMonitorsTabsFitAndDoNotOverlap) {
    TfmStatus status(nullptr);
    ASSERT_TRUE(status.Create(nullptr));
    HWND window = status.Handle();
    for (int tab = 0; tab < 2; ++tab) {
        HWND tabs = GetDlgItem(window, IDC_STATUS_TABS);
        SendMessageW(tabs, TCM_SETCURSEL, static_cast<WPARAM>(tab), 0);
        NMHDR change{tabs, IDC_STATUS_TABS, static_cast<UINT>(TCN_SELCHANGE)};
        SendMessageW(window, WM_NOTIFY, IDC_STATUS_TABS, reinterpret_cast<LPARAM>(&change));
        EXPECT_EQ("", guifit::Describe(guifit::OwnProblems(window)))
            << (tab ? "the log tab" : "the state tab");
    }
    EXPECT_EQ("", ProblemsWith(window, GetDlgItem(window, IDC_STATUS_TOGGLE), L"Прервать опрос"));
}
} // namespace
