// The driver's dialogs as a user meets them: the test calls the driver method on its main
// thread, where the dialog runs modally, while a second thread (the "hand") finds the dialog,
// reads and sets its controls with window messages, presses its buttons, answers its message
// boxes and has the screen photographed. The progress window, which no driver method shows
// yet, is built into this program and driven directly.
//
//   test_dialogs [GoogleTest options] [--board <port> <control port>]
//
// --board: the firmware tests use the virtual board on COM<port>; its control line
// (trelmo-board --control-tty) is mapped to COM<control port>, 0 for none. Trelmo.dll is
// loaded from this program's folder, without registration. "SCREENSHOT <label>" lines wait
// for one line on standard input.
#include "TrelmoLib_TLB.h"
#include "comtest.h"
#include "fmuProgr.h"
#include "guihand.h"
#include "untToolsRes.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <oleauto.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

// The progress window takes its template from this program's resources.
HINSTANCE ModuleInstance() {
    return GetModuleHandleW(nullptr);
}

using namespace comtest;
using namespace guihand;

namespace {
int BoardPort = 0;
int ControlPort = 0;
LPFNGETCLASSOBJECT GetClassObject = nullptr;

const wchar_t DriverCaption[] = L"Драйвер варнок-платы";
const wchar_t SettingsKey[] = L"Software\\Norvik\\Trelmo\\Trelmo\\Param";
const wchar_t FileNameValue[] = L"SoftwareFileName";
const LONG DriverSpeed = 9600;
const LONG DriverByteTimeout = 150;

// ---------------------------------------------------------------- the driver object

class TDriverTest : public TTrelmoTest {
protected:
    void SetUp() override {
        TPtr<IClassFactory> factory;
        ASSERT_EQ(S_OK, GetClassObject(CLSID_Trelmo, IID_IClassFactory, factory.Put()));
        ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_ITrelmo, Driver.Put()));
    }

    std::wstring Result() {
        return std::to_wstring(Get(&ITrelmo::get_ResultCode)) + L", " +
               GetText(&ITrelmo::get_ResultDescription);
    }

    // Runs a dialog method while `hand` works the dialog; the method's value.
    LONG RunDialog(HRESULT (STDMETHODCALLTYPE ITrelmo::*method)(LONG*),
                   std::function<void()> hand) {
        LONG code = -12345;
        {
            THand worker(std::move(hand));
            EXPECT_EQ(S_OK, (Driver.Get()->*method)(&code));
        }
        return code;
    }
};

// ---------------------------------------------------------------- files and settings

// Every byte value, the zero byte and cp1251's undefined 0x98 among them.
std::string Image(std::size_t size) {
    std::string image(size, '\0');
    std::uint32_t x = static_cast<std::uint32_t>(size);
    for (std::size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        image[i] = static_cast<char>(x >> 16);
    }
    for (std::size_t i = 0; i < size && i < 256; ++i)
        image[i] = static_cast<char>(i);
    return image;
}

std::wstring WriteImage(std::size_t size) {
    const std::wstring path = TempPath(L"прошивка-" + std::to_wstring(size) + L".bin");
    EXPECT_TRUE(WriteFileBytes(path, Image(size))) << Utf8(path);
    return path;
}

// The stored file name; "(none)" when there is none.
std::wstring StoredFileName() {
    wchar_t value[1024];
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, SettingsKey, FileNameValue, RRF_RT_REG_SZ, nullptr, value,
                     &size) != ERROR_SUCCESS)
        return L"(none)";
    return value;
}

void RestoreFileName(const std::wstring& value) {
    if (value == L"(none)") {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, SettingsKey, 0, KEY_SET_VALUE, &key) ==
            ERROR_SUCCESS) {
            RegDeleteValueW(key, FileNameValue);
            RegCloseKey(key);
        }
        return;
    }
    RegSetKeyValueW(HKEY_CURRENT_USER, SettingsKey, FileNameValue, REG_SZ, value.c_str(),
                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

// ================================================================ About box and log settings

// The screen's pixels for a layout drawn at 96 DPI.
// A link's underline, its fullest row of blue, must end where the letters do.
void ExpectUnderlineEndsWithTheInk(HWND link) {
    const SIZE size = ClientSize(link);
    HDC dc = GetDC(link);
    std::vector<int> rightmost(static_cast<std::size_t>(size.cy), -1), count(rightmost.size(), 0);
    for (int y = 0; y < size.cy; ++y)
        for (int x = 0; x < size.cx; ++x) {
            const COLORREF c = GetPixel(dc, x, y);
            if (GetBValue(c) > 160 && GetRValue(c) < 100 && GetGValue(c) < 100) {
                rightmost[static_cast<std::size_t>(y)] = x;
                ++count[static_cast<std::size_t>(y)];
            }
        }
    ReleaseDC(link, dc);
    const auto line = std::max_element(count.begin(), count.end()) - count.begin();
    int letters = -1;
    for (std::size_t y = 0; y < rightmost.size(); ++y)
        if (static_cast<long>(y) != line)
            letters = std::max(letters, rightmost[y]);
    ASSERT_GE(letters, 0) << "no link drawn";
    EXPECT_EQ(letters, rightmost[static_cast<std::size_t>(line)]) << Utf8(Text(link));
}

// The control is drawn in the dialog's own face, made bold: never in another family.
void ExpectBoldDialogFont(HWND dialog, int id) {
    EXPECT_EQ(RenderedFace(dialog) + L" bold", RenderedFace(Child(dialog, id)));
}

class Dialogs : public TDriverTest {};

std::wstring FileVersion(const std::wstring& path) {
    DWORD ignored = 0;
    std::vector<BYTE> data(GetFileVersionInfoSizeW(path.c_str(), &ignored));
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (data.empty() ||
        !GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(data.size()), data.data()) ||
        !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length))
        return L"(no version)";
    return std::to_wstring(HIWORD(info->dwFileVersionMS)) + L"." +
           std::to_wstring(LOWORD(info->dwFileVersionMS)) + L"." +
           std::to_wstring(HIWORD(info->dwFileVersionLS)) + L"." +
           std::to_wstring(LOWORD(info->dwFileVersionLS));
}

// The box belongs to the active window, shows the library's own file version and leaves the
// driver's result and log as they were.
TEST_F(Dialogs, AboutBox) {
    const std::wstring version = GetText(&ITrelmo::get_Version);
    EXPECT_EQ(FileVersion(LibraryPath()), version);
    const std::wstring log = TempPath(L"about-dlg.log");
    DeleteFileW(log.c_str());
    PutText(&ITrelmo::put_ComLogFile, log);
    PutBool(&ITrelmo::put_LogMethods, true);
    PutBool(&ITrelmo::put_LogOn, true);
    // A result that is not 0: a port that does not exist.
    Put(&ITrelmo::put_PortNumber, 40);
    EXPECT_NE(0, Call(&ITrelmo::OpenPort));
    const std::wstring result = Result();

    TOwnerWindow owner;
    {
        THand hand([&] {
            HWND box = WaitDialog(L"О драйвере");
            if (!box)
                return;
            EXPECT_EQ(owner.Handle(), GetWindow(box, GW_OWNER));
            ExpectClientSize(box, Scaled(335), Scaled(232));
            // The links end with their text, and so do their underlines.
            for (int id : {IDC_ABOUT_URL, IDC_ABOUT_MAIL}) {
                HWND link = Child(box, id);
                HDC dc = GetDC(link);
                HGDIOBJ old = SelectObject(
                    dc, reinterpret_cast<HGDIOBJ>(SendMessageW(link, WM_GETFONT, 0, 0)));
                const std::wstring text = Text(link);
                SIZE size{};
                GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
                SelectObject(dc, old);
                ReleaseDC(link, dc);
                EXPECT_EQ(size.cx, ClientSize(link).cx) << Utf8(text);
            }
            ExpectBoldDialogFont(box, IDC_ABOUT_NAME);
            EXPECT_EQ(0, GetWindowLongW(box, GWL_STYLE) & WS_SYSMENU) << "caption buttons";
            EXPECT_EQ(DriverCaption, Text(Child(box, IDC_ABOUT_NAME)));
            HWND versions = Child(box, IDC_ABOUT_VERSIONS);
            EXPECT_EQ(1, SendMessageW(versions, LB_GETCOUNT, 0, 0));
            wchar_t line[128] = {};
            SendMessageW(versions, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(line));
            EXPECT_EQ(L"Версия драйвера: " + version, std::wstring(line));
            Screenshot("about", box);
            for (int id : {IDC_ABOUT_URL, IDC_ABOUT_MAIL})
                ExpectUnderlineEndsWithTheInk(Child(box, id));
            Click(box, IDOK);
        });
        EXPECT_EQ(S_OK, Driver->AboutBox());
    }
    EXPECT_EQ(result, Result());
    // The log dialog writes its method line; the About box none.
    EXPECT_EQ(0, RunDialog(&ITrelmo::ShowLogDlg, [] {
                  if (HWND dialog = WaitDialog(L"Лог"))
                      Click(dialog, IDOK);
              }));
    const std::string written = ReadFileBytes(log);
    EXPECT_NE(std::string::npos, written.find("ShowLogDlg")) << written;
    EXPECT_EQ(std::string::npos, written.find("AboutBox")) << written;
    PutBool(&ITrelmo::put_LogOn, false);
    DeleteFileW(log.c_str());
}

const wchar_t DefaultLogFile[] =
    L"C:\\Program Files\\Норвик\\Драйверы\\Драйвер варнок-платы\\Trelmo.log";
const int LogDependents[] = {IDC_LOG_FILE_LABEL, IDC_LOG_FILE, IDC_LOG_BROWSE, IDC_LOG_COMMANDS,
                             IDC_LOG_METHODS};

// An empty log file name shows and stores the default one; "Вести лог" greys out what depends
// on it, and what is greyed out is applied all the same.
TEST_F(Dialogs, LogDefaultNameAndGreying) {
    PutText(&ITrelmo::put_ComLogFile, L"");
    PutBool(&ITrelmo::put_LogOn, false);
    PutBool(&ITrelmo::put_LogCommands, false);
    PutBool(&ITrelmo::put_LogMethods, true);
    EXPECT_EQ(0, RunDialog(&ITrelmo::ShowLogDlg, [] {
                  HWND dialog = WaitDialog(L"Лог");
                  if (!dialog)
                      return;
                  ExpectClientSize(dialog, Scaled(327), Scaled(178));
                  EXPECT_EQ(DefaultLogFile, Text(Child(dialog, IDC_LOG_FILE)));
                  EXPECT_EQ(L"Вести лог", Text(Child(dialog, IDC_LOG_ON)));
                  EXPECT_EQ(L"Записывать команды", Text(Child(dialog, IDC_LOG_COMMANDS)));
                  EXPECT_EQ(L"Записывать методы", Text(Child(dialog, IDC_LOG_METHODS)));
                  EXPECT_FALSE(Checked(dialog, IDC_LOG_ON));
                  EXPECT_FALSE(Checked(dialog, IDC_LOG_COMMANDS));
                  EXPECT_TRUE(Checked(dialog, IDC_LOG_METHODS));
                  for (int id : LogDependents)
                      EXPECT_FALSE(Enabled(dialog, id)) << "control " << id << " with the log off";

                  Click(dialog, IDC_LOG_ON);
                  for (int id : LogDependents)
                      EXPECT_TRUE(Enabled(dialog, id)) << "control " << id << " with the log on";
                  Click(dialog, IDC_LOG_COMMANDS);
                  Screenshot("log", dialog);
                  Click(dialog, IDC_LOG_ON);
                  for (int id : LogDependents)
                      EXPECT_FALSE(Enabled(dialog, id)) << "control " << id << " greyed again";
                  Screenshot("log-off", dialog);
                  Click(dialog, IDOK);
              }));
    EXPECT_FALSE(GetBool(&ITrelmo::get_LogOn));
    EXPECT_EQ(DefaultLogFile, GetText(&ITrelmo::get_ComLogFile));
    EXPECT_TRUE(GetBool(&ITrelmo::get_LogCommands));
    EXPECT_TRUE(GetBool(&ITrelmo::get_LogMethods));
}

// The close box applies the settings as OK does; the dialog belongs to ParentWnd.
TEST_F(Dialogs, LogCloseBoxAppliesToo) {
    TOwnerWindow owner;
    Put(&ITrelmo::put_ParentWnd, static_cast<LONG>(reinterpret_cast<LONG_PTR>(owner.Handle())));
    const std::wstring before = TempPath(L"первый.log"), after = TempPath(L"второй.log");
    PutText(&ITrelmo::put_ComLogFile, before);
    PutBool(&ITrelmo::put_LogOn, true);
    PutBool(&ITrelmo::put_LogCommands, true);
    PutBool(&ITrelmo::put_LogMethods, false);
    EXPECT_EQ(0, RunDialog(&ITrelmo::ShowLogDlg, [&] {
                  HWND dialog = WaitDialog(L"Лог");
                  if (!dialog)
                      return;
                  EXPECT_EQ(owner.Handle(), GetWindow(dialog, GW_OWNER));
                  EXPECT_NE(0, GetWindowLongW(dialog, GWL_STYLE) & WS_SYSMENU) << "close box";
                  EXPECT_EQ(before, Text(Child(dialog, IDC_LOG_FILE)));
                  EXPECT_TRUE(Checked(dialog, IDC_LOG_ON));
                  for (int id : LogDependents)
                      EXPECT_TRUE(Enabled(dialog, id)) << "control " << id;
                  SetText(Child(dialog, IDC_LOG_FILE), after);
                  Click(dialog, IDC_LOG_COMMANDS);
                  Click(dialog, IDC_LOG_METHODS);
                  CloseBox(dialog);
                  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, 5000));
              }));
    EXPECT_TRUE(GetBool(&ITrelmo::get_LogOn));
    EXPECT_EQ(after, GetText(&ITrelmo::get_ComLogFile));
    EXPECT_FALSE(GetBool(&ITrelmo::get_LogCommands));
    EXPECT_TRUE(GetBool(&ITrelmo::get_LogMethods));
    PutBool(&ITrelmo::put_LogOn, false);
    DeleteFileW(before.c_str());
    DeleteFileW(after.c_str());
}

// The screen's pixels for a layout drawn at 96 DPI.
// A browse button shows a glyph of a small icon's size at the screen's DPI, no caption, and
// keeps a name in its text for screen readers.
void ExpectGlyphButton(HWND dialog, int id) {
    HWND button = Child(dialog, id);
    EXPECT_NE(0, GetWindowLongW(button, GWL_STYLE) & BS_ICON) << "control " << id;
    EXPECT_EQ(L"Выбрать файл", Text(button));
    HICON glyph = reinterpret_cast<HICON>(SendMessageW(button, BM_GETIMAGE, IMAGE_ICON, 0));
    ICONINFO info{};
    ASSERT_TRUE(glyph && GetIconInfo(glyph, &info)) << "no glyph on control " << id;
    BITMAP colour{};
    GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof colour, &colour);
    EXPECT_EQ(Scaled(16), colour.bmWidth);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
}

struct TFileDialogView {
    std::wstring Title;
    std::vector<std::wstring> Filters;
};

// The file dialog the browse button of `dialog` opens: its title and filter names, read while
// it shows, photographed, then cancelled.
TFileDialogView Browse(HWND dialog, int button, const char* screenshot) {
    TFileDialogView view;
    Press(dialog, button);
    HWND files = WaitOwnedDialog(dialog, {});
    if (!files)
        return view;
    HWND filters = nullptr;
    WaitUntil([&] { return (filters = Child(files, 0x470)) != nullptr; }, 5000); // cmb1
    view.Title = Text(files);
    const LRESULT count = SendMessageW(filters, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t name[128] = {};
        SendMessageW(filters, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(name));
        view.Filters.push_back(name);
    }
    Screenshot(screenshot, files);
    PostMessageW(files, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                 reinterpret_cast<LPARAM>(Child(files, IDCANCEL)));
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(files) || !IsWindowVisible(files); }, 10000));
    return view;
}

// The log's and the firmware's browse buttons: glyphs, and the file dialogs they open.
TEST_F(Dialogs, BrowseButtonsAskForTheirFiles) {
    PutBool(&ITrelmo::put_LogOn, true);
    TFileDialogView log, firmware;
    EXPECT_EQ(0, RunDialog(&ITrelmo::ShowLogDlg, [&] {
                  if (HWND dialog = WaitDialog(L"Лог")) {
                      ExpectGlyphButton(dialog, IDC_LOG_BROWSE);
                      log = Browse(dialog, IDC_LOG_BROWSE, "log-browse");
                      Click(dialog, IDOK);
                  }
              }));
    PutBool(&ITrelmo::put_LogOn, false);
    EXPECT_EQ(0, RunDialog(&ITrelmo::UpdateSoftware, [&] {
                  if (HWND dialog = WaitDialog(L"Обновление ПО")) {
                      ExpectGlyphButton(dialog, IDC_PROG_BROWSE);
                      firmware = Browse(dialog, IDC_PROG_BROWSE, "firmware-browse");
                      Click(dialog, IDC_PROG_CLOSE);
                  }
              }));
    EXPECT_EQ(L"Файл лога", log.Title);
    EXPECT_EQ((std::vector<std::wstring>{L"Файлы лога (*.log)", L"Все файлы (*.*)"}), log.Filters);
    EXPECT_EQ(L"Открыть файл прошивки", firmware.Title);
    EXPECT_EQ((std::vector<std::wstring>{L"Файлы прошивок (*.bin)", L"Все файлы (*.*)"}),
              firmware.Filters);
}

// ================================================================ progress window

void ExpectBar(HWND progress, int position, int maximum) {
    HWND bar = GetDlgItem(progress, IDC_PROGRESS_BAR);
    EXPECT_EQ(position, SendMessageW(bar, PBM_GETPOS, 0, 0));
    EXPECT_EQ(maximum, SendMessageW(bar, PBM_GETRANGE, FALSE, 0));
}

// Modal in effect while it shows, restarted in place, capped at its maximum, and the window
// that was active before is active again afterwards.
TEST(Progress, StartStepStopBreak) {
    TOwnerWindow owner, other;
    SetActiveWindow(owner.Handle());
    {
        TfmProgress progress;
        HWND window = progress.Handle();
        ASSERT_TRUE(window);
        EXPECT_FALSE(IsWindowVisible(window));
        EXPECT_EQ(owner.Handle(), GetActiveWindow()) << "the hidden window took the activation";
        progress.Start(L"Чтение таблицы", 3);
        EXPECT_TRUE(IsWindowVisible(window));
        EXPECT_EQ(L"Прогресс операции", Text(window));
        EXPECT_EQ(L"Отмена", Text(GetDlgItem(window, IDCANCEL)));
        EXPECT_EQ(L"Чтение таблицы", Text(GetDlgItem(window, IDC_PROGRESS_TEXT)));
        ExpectClientSize(window, Scaled(233), Scaled(111));
        EXPECT_EQ(0, GetWindowLongW(window, GWL_STYLE) & WS_SYSMENU) << "caption buttons";
        EXPECT_EQ(owner.Handle(), GetWindow(window, GW_OWNER));
        EXPECT_EQ(window, GetActiveWindow());
        EXPECT_FALSE(IsWindowEnabled(owner.Handle()));
        EXPECT_FALSE(IsWindowEnabled(other.Handle()));
        ExpectBar(window, 0, 3);
        for (int i = 0; i < 5; ++i)
            progress.Step();
        ExpectBar(window, 3, 3);

        progress.Start(L"Запись таблицы", 10);
        progress.Step();
        ExpectBar(window, 1, 10);
        EXPECT_EQ(L"Запись таблицы", Text(GetDlgItem(window, IDC_PROGRESS_TEXT)));
        Pump();
        Screenshot("progress");
        EXPECT_FALSE(progress.BreakRequested());
        SendMessageW(GetDlgItem(window, IDCANCEL), BM_CLICK, 0, 0);
        EXPECT_TRUE(progress.BreakRequested());
        progress.Start(L"Запись таблицы", 10);
        EXPECT_FALSE(progress.BreakRequested());

        progress.Stop();
        EXPECT_FALSE(IsWindowVisible(window));
        EXPECT_TRUE(IsWindowEnabled(owner.Handle()));
        EXPECT_TRUE(IsWindowEnabled(other.Handle()));
        EXPECT_EQ(owner.Handle(), GetActiveWindow());

        // Destroyed while it shows, it gives the other windows back.
        progress.Start(L"Чтение таблицы", 3);
        EXPECT_FALSE(IsWindowEnabled(owner.Handle()));
    }
    EXPECT_TRUE(IsWindowEnabled(owner.Handle()));
    EXPECT_TRUE(IsWindowEnabled(other.Handle()));
}

// ================================================================ firmware update

// The dialog's controls after a write, whatever its outcome: idle again.
void ExpectIdle(HWND dialog) {
    EXPECT_TRUE(Enabled(dialog, IDC_PROG_START));
    EXPECT_TRUE(Enabled(dialog, IDC_PROG_CLOSE));
    EXPECT_TRUE(Enabled(dialog, IDC_PROG_BROWSE));
    EXPECT_FALSE(Enabled(dialog, IDC_PROG_CANCEL));
    EXPECT_FALSE(Visible(dialog, IDC_PROG_BAR));
}

bool Writing(HWND dialog) {
    return !Enabled(dialog, IDC_PROG_CLOSE);
}

// Starts the write of `file`; with `wait`, returns once it has begun.
void StartWrite(HWND dialog, const std::wstring& file, bool wait = true) {
    SetText(Child(dialog, IDC_PROG_FILE), file);
    EXPECT_TRUE(Enabled(dialog, IDC_PROG_START)) << "a typed file name enables the button";
    Press(dialog, IDC_PROG_START);
    if (wait) {
        EXPECT_TRUE(WaitUntil([&] { return Writing(dialog); }, 5000)) << "no write started";
    }
}

// No message box: what one says is a failure.
void ExpectNoBox() {
    if (HWND box = FindDialog(DriverCaption)) {
        ADD_FAILURE() << "message box: " << Utf8(Text(Child(box, MessageText)));
        Click(box, IDOK);
    }
}

int Percent(HWND dialog) {
    return std::atoi(Utf8(Text(Child(dialog, IDC_PROG_BAR))).c_str());
}

class Firmware : public TDriverTest {
protected:
    void SetUp() override {
        TDriverTest::SetUp();
        ASSERT_GT(BoardPort, 0) << "--board <port> <control port> is missing";
        Put(&ITrelmo::put_PortNumber, BoardPort);
        Put(&ITrelmo::put_Timeout, DriverByteTimeout);
        // What the 3 s rule is measured against: a silent board costs 1 s per status request.
        Put(&ITrelmo::put_CommandTimeout, 1000);
        if (ControlPort > 0) {
            ASSERT_TRUE(Board.Open(ControlPort)) << "control port COM" << ControlPort;
            BringBoardBack();
        }
        Put(&ITrelmo::put_BaudRate, ControlPort > 0 ? DriverSpeed : 2400);
        // Stale exchange settings that the dialog must replace with the driver's own.
        Put(&ITrelmo::put_DeviceBaudRate, 4800);
        Put(&ITrelmo::put_DeviceTimeout, 40);
    }

    // Main mode at the driver's speed and byte time-out, whatever an earlier test left.
    void BringBoardBack() {
        Board.Command("clear");
        if (Board.Number("mode") == 1) {
            Put(&ITrelmo::put_BaudRate, Board.Number("baud"));
            Call(&ITrelmo::Disconnect);
            EXPECT_EQ(0, Call(&ITrelmo::ExitProgramMode));
        }
        WaitUntil([&] { return Board.Number("restarting") == 0; }, 5000);
        if (Board.Number("baud") != DriverSpeed ||
            Board.Number("byte_timeout") != DriverByteTimeout) {
            Put(&ITrelmo::put_BaudRate, Board.Number("baud"));
            Call(&ITrelmo::Disconnect);
            Put(&ITrelmo::put_DeviceBaudRate, DriverSpeed);
            Put(&ITrelmo::put_DeviceTimeout, DriverByteTimeout);
            EXPECT_EQ(0, Call(&ITrelmo::SetExchangeParam)) << Utf8(Result());
        }
        Call(&ITrelmo::Disconnect);
        ASSERT_EQ(0, Board.Number("mode"));
        ASSERT_EQ(DriverSpeed, Board.Number("baud"));
    }

    // Main mode at the driver's speed, as the driver itself sees it, and the board's own view.
    void ExpectBoardBack() {
        EXPECT_EQ(DriverSpeed, Get(&ITrelmo::get_BaudRate));
        EXPECT_EQ(0, Call(&ITrelmo::ReadStatus)) << Utf8(Result());
        EXPECT_EQ(0, Call(&ITrelmo::ReadMode)) << Utf8(Result());
        EXPECT_EQ(0, Get(&ITrelmo::get_Mode));
        std::map<std::string, std::string> state = Board.State();
        EXPECT_EQ("0", state["mode"]);
        EXPECT_EQ(std::to_string(DriverSpeed), state["baud"]);
        EXPECT_EQ(std::to_string(DriverByteTimeout), state["byte_timeout"]);
    }

    // Program memory holds `image` in whole blocks, the tail of the last one zero, and the
    // block after it is still erased.
    void ExpectProgramMemory(const std::string& image) {
        const std::size_t blocks = (image.size() + 63) / 64;
        std::string expected = image;
        expected.resize(blocks * 64, '\0');
        expected.append(64, '\xFF');
        Put(&ITrelmo::put_MemoryType, 0x31);
        ASSERT_EQ(0, Call(&ITrelmo::ReadDumpSize)) << Utf8(Result());
        ASSERT_GT(Get(&ITrelmo::get_BlockCount), static_cast<LONG>(blocks));
        std::string memory;
        for (std::size_t block = 0; block <= blocks; ++block) {
            Put(&ITrelmo::put_BlockNumber, static_cast<LONG>(block));
            ASSERT_EQ(0, Call(&ITrelmo::ReadDump)) << "block " << block << ": " << Utf8(Result());
            VARIANT data;
            VariantInit(&data);
            ASSERT_EQ(S_OK, Driver->get_DataBlockSafeArray(&data));
            void* bytes = nullptr;
            if (V_VT(&data) == (VT_ARRAY | VT_UI1) &&
                SUCCEEDED(SafeArrayAccessData(V_ARRAY(&data), &bytes))) {
                memory.append(static_cast<const char*>(bytes),
                              V_ARRAY(&data)->rgsabound[0].cElements);
                SafeArrayUnaccessData(V_ARRAY(&data));
            }
            VariantClear(&data);
        }
        ASSERT_EQ(expected.size(), memory.size());
        const auto differ = std::mismatch(expected.begin(), expected.end(), memory.begin());
        EXPECT_TRUE(differ.first == expected.end())
            << "program memory differs at byte " << (differ.first - expected.begin());
    }

    TBoardControl Board;
};

// Two images, one with a short last block and one of 64 KB: each is written, the board comes
// back in main mode at the driver's speed, and "Закрыть" keeps the file name for next time.
TEST_F(Firmware, WritesImageAndBringsBoardBack) {
    RestoreFileName(L"(none)");
    std::wstring previous;
    for (std::size_t size : {std::size_t{129}, std::size_t{65536}}) {
        SCOPED_TRACE(size);
        const std::wstring file = WriteImage(size);
        const bool big = size > 1024;
        EXPECT_EQ(0, RunDialog(&ITrelmo::UpdateSoftware, [&] {
                      HWND dialog = WaitDialog(L"Обновление ПО");
                      if (!dialog)
                          return;
                      if (!big) {
                          ExpectClientSize(dialog, Scaled(343), Scaled(137));
                          EXPECT_EQ(L"Файл:", Text(Child(dialog, IDC_PROG_FILE_LABEL)));
                          EXPECT_EQ(L"&Записать", Text(Child(dialog, IDC_PROG_START)));
                          EXPECT_EQ(L"&Отмена", Text(Child(dialog, IDC_PROG_CANCEL)));
                          EXPECT_EQ(L"Закр&ыть", Text(Child(dialog, IDC_PROG_CLOSE)));
                          // No stored name: nothing to write yet.
                          EXPECT_EQ(L"", Text(Child(dialog, IDC_PROG_FILE)));
                          EXPECT_FALSE(Enabled(dialog, IDC_PROG_START));
                          EXPECT_FALSE(Enabled(dialog, IDC_PROG_CANCEL));
                          EXPECT_FALSE(Visible(dialog, IDC_PROG_BAR));
                      } else {
                          EXPECT_EQ(previous, Text(Child(dialog, IDC_PROG_FILE)));
                      }
                      StartWrite(dialog, file);
                      if (big) {
                          EXPECT_TRUE(WaitUntil([&] { return Percent(dialog) >= 20; }, 30000));
                          EXPECT_TRUE(Visible(dialog, IDC_PROG_BAR));
                          EXPECT_TRUE(Enabled(dialog, IDC_PROG_CANCEL));
                          EXPECT_FALSE(Enabled(dialog, IDC_PROG_START));
                          Screenshot("firmware-writing", dialog);
                      }
                      EXPECT_TRUE(WaitUntil(
                          [&] { return !Writing(dialog) || FindDialog(DriverCaption) != nullptr; },
                          60000));
                      ExpectNoBox();
                      EXPECT_TRUE(WaitUntil([&] { return !Writing(dialog); }, 5000));
                      ExpectIdle(dialog);
                      EXPECT_EQ(L"100%", Text(Child(dialog, IDC_PROG_BAR)));
                      if (big)
                          Screenshot("firmware-done", dialog);
                      Click(dialog, IDC_PROG_CLOSE);
                  }));
        EXPECT_EQ(file, StoredFileName());
        EXPECT_EQ(static_cast<int>((size + 63) / 64), Board.Number("program_blocks_written"));
        ExpectBoardBack();
        ExpectProgramMemory(Image(size));
        previous = file;
    }
}

// "Отмена" stops the write between two blocks: the board stays in program mode, the port is
// closed, and the close box does not keep the file name.
TEST_F(Firmware, CancelHalfWay) {
    const std::wstring stored = StoredFileName();
    const std::wstring file = WriteImage(16384);
    const int blocks = 256;
    Board.Command("fault delay 40 always for c1"); // 10 s in all: the cancel lands well before half way
    int shown = -1;
    EXPECT_EQ(0, RunDialog(&ITrelmo::UpdateSoftware, [&] {
                  HWND dialog = WaitDialog(L"Обновление ПО");
                  if (!dialog)
                      return;
                  StartWrite(dialog, file);
                  EXPECT_TRUE(WaitUntil([&] { return Percent(dialog) >= 10; }, 10000));
                  Click(dialog, IDC_PROG_CANCEL);
                  EXPECT_TRUE(WaitUntil([&] { return !Writing(dialog); }, 5000));
                  ExpectNoBox();
                  ExpectIdle(dialog);
                  shown = Percent(dialog);
                  CloseBox(dialog);
                  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, 5000));
              }));
    Board.Command("clear");
    EXPECT_EQ(stored, StoredFileName());
    const int written = Board.Number("program_blocks_written");
    EXPECT_GT(written, 0);
    EXPECT_LT(written, blocks / 2);
    EXPECT_EQ(written * 100 / blocks, shown) << "blocks written after the gauge stopped";
    EXPECT_EQ(1, Board.Number("mode"));
    // A port left open would still talk at the old speed; a closed one opens at the new.
    Put(&ITrelmo::put_BaudRate, 2400);
    EXPECT_EQ(-1, Call(&ITrelmo::ReadMode)) << "the port was still open";
    Put(&ITrelmo::put_BaudRate, DriverSpeed);
    Call(&ITrelmo::Disconnect);
    EXPECT_EQ(0, Call(&ITrelmo::ReadMode)) << Utf8(Result());
    EXPECT_EQ(1, Get(&ITrelmo::get_Mode));
}

// A block the board refuses asks whether to go on: Yes sends the same block again, No leaves
// the board in program mode.
TEST_F(Firmware, FailedBlockAsksWhetherToGoOn) {
    const std::wstring file = WriteImage(129);
    Board.Command("fault error 33 for c1");
    EXPECT_EQ(0, RunDialog(&ITrelmo::UpdateSoftware, [&] {
                  HWND dialog = WaitDialog(L"Обновление ПО");
                  if (!dialog)
                      return;
                  StartWrite(dialog, file);
                  HWND box = WaitDialog(DriverCaption);
                  if (!box)
                      return;
                  const std::wstring text = Text(Child(box, MessageText));
                  EXPECT_EQ(0u, text.rfind(L"(51) ", 0)) << Utf8(text);
                  const std::wstring question = L"\r\nПродолжить выполнение?";
                  EXPECT_TRUE(
                      text.size() > question.size() &&
                      text.compare(text.size() - question.size(), question.size(), question) == 0)
                      << Utf8(text);
                  EXPECT_TRUE(Child(box, IDYES) && Child(box, IDNO));
                  Screenshot("firmware-retry", box);
                  Click(box, IDYES);
                  EXPECT_TRUE(WaitUntil([&] { return !Writing(dialog); }, 30000));
                  ExpectNoBox();
                  Click(dialog, IDC_PROG_CLOSE);
              }));
    EXPECT_EQ(3, Board.Number("program_blocks_written"));
    ExpectBoardBack();
    ExpectProgramMemory(Image(129));

    Board.Command("fault error 33 always for c1");
    EXPECT_EQ(0, RunDialog(&ITrelmo::UpdateSoftware, [&] {
                  HWND dialog = WaitDialog(L"Обновление ПО");
                  if (!dialog)
                      return;
                  EXPECT_EQ(file, Text(Child(dialog, IDC_PROG_FILE)));
                  Press(dialog, IDC_PROG_START);
                  const std::wstring text = AnswerBox(DriverCaption, IDNO);
                  EXPECT_EQ(0u, text.rfind(L"(51) ", 0)) << Utf8(text);
                  EXPECT_TRUE(WaitUntil([&] { return !Writing(dialog); }, 5000));
                  ExpectNoBox();
                  ExpectIdle(dialog);
                  Click(dialog, IDC_PROG_CLOSE);
              }));
    Board.Command("clear");
    EXPECT_EQ(1, Board.Number("mode"));
    EXPECT_EQ(0, Board.Number("program_blocks_written"));
}

// A file that cannot be read, or an empty one, is refused before the board is touched.
TEST_F(Firmware, UnreadableFileNeverEntersProgramMode) {
    const int restarts = Board.Number("restarts");
    const std::wstring missing = TempPath(L"нет-такой-прошивки.bin");
    DeleteFileW(missing.c_str());
    const std::wstring empty = TempPath(L"пустая-прошивка.bin");
    ASSERT_TRUE(WriteFileBytes(empty, ""));
    EXPECT_EQ(0, RunDialog(&ITrelmo::UpdateSoftware, [&] {
                  HWND dialog = WaitDialog(L"Обновление ПО");
                  if (!dialog)
                      return;
                  StartWrite(dialog, missing, false);
                  std::wstring text = AnswerBox(DriverCaption, IDOK, "firmware-badfile");
                  EXPECT_NE(std::wstring::npos, text.find(L"Не удалось прочитать файл прошивки"))
                      << Utf8(text);
                  EXPECT_NE(std::wstring::npos, text.find(missing)) << Utf8(text);
                  EXPECT_TRUE(WaitUntil([&] { return !Writing(dialog); }, 5000));
                  ExpectIdle(dialog);

                  StartWrite(dialog, empty, false);
                  text = AnswerBox(DriverCaption, IDOK);
                  EXPECT_NE(std::wstring::npos, text.find(L"Пустой файл прошивки")) << Utf8(text);
                  EXPECT_TRUE(WaitUntil([&] { return !Writing(dialog); }, 5000));
                  ExpectIdle(dialog);
                  CloseBox(dialog);
              }));
    EXPECT_EQ(0, Call(&ITrelmo::ReadMode)) << Utf8(Result());
    EXPECT_EQ(0, Get(&ITrelmo::get_Mode));
    EXPECT_EQ(restarts, Board.Number("restarts"));
    DeleteFileW(empty.c_str());
}

// A board that stays silent after leaving program mode (started with a long --restart-ms)
// ends the update with "Нет связи" once 3 s have passed.
class FirmwareSilentBoard : public Firmware {};

TEST_F(FirmwareSilentBoard, NoLinkAfterThreeSeconds) {
    const std::wstring file = WriteImage(129);
    double started = 0, failed = 0;
    std::wstring text;
    EXPECT_EQ(0, RunDialog(&ITrelmo::UpdateSoftware, [&] {
                  HWND dialog = WaitDialog(L"Обновление ПО");
                  if (!dialog)
                      return;
                  StartWrite(dialog, file);
                  started = Now();
                  HWND box = WaitDialog(DriverCaption, 15000);
                  if (!box)
                      return;
                  failed = Now();
                  text = Text(Child(box, MessageText));
                  Screenshot("firmware-nolink", box);
                  Click(box, IDOK);
                  EXPECT_TRUE(WaitUntil([&] { return !Writing(dialog); }, 5000));
                  ExpectIdle(dialog);
                  CloseBox(dialog);
              }));
    EXPECT_EQ(L"-1, Нет связи", text);
    // Three blocks take a few milliseconds; the board would answer after 6 s.
    EXPECT_GE(failed - started, 2950.0);
    EXPECT_LT(failed - started, 5500.0);
    EXPECT_EQ(2400, Get(&ITrelmo::get_BaudRate));
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i + 2 < argc; ++i)
        if (std::string(argv[i]) == "--board") {
            BoardPort = std::atoi(argv[i + 1]);
            ControlPort = std::atoi(argv[i + 2]);
        }
    GetClassObject = LoadClassObjectEntry();
    if (!GetClassObject)
        return 3;
    MainThread() = GetCurrentThreadId();
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&classes);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // The tests keep file names in the user's settings; the user's own comes back.
    const std::wstring stored = StoredFileName();
    const int result = RUN_ALL_TESTS();
    RestoreFileName(stored);
    CoUninitialize();
    return result;
}
