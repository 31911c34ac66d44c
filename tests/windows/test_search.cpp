// The device search dialog as a user works it: the test opens it with the driver object's
// ShowSearchDlg on the main thread, where it is modal, while a second thread drives the real
// controls with window messages and reads the list back.
//
//   test_search [GoogleTest options] <board port> [<busy port> <busy port's link>]
//
// The library is loaded from the program's folder. Under Wine a second open of a port does not
// fail, so the busy port is made by pointing its link (the Unix path the prefix maps it to) at a
// file nobody may write: the open is refused with access denied, as for a port another program
// holds. Before picking the found board it prints "SCREENSHOT found" and waits for a line.
#include "TrelmoLib_TLB.h"
#include "comtest.h"
#include "guihand.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

using namespace comtest;
using namespace guihand;

namespace {
int BoardPort = 0, BusyPort = 0;
std::wstring BusyLink;
LPFNGETCLASSOBJECT GetClassObject = nullptr;
const wchar_t Caption[] = L"Поиск оборудования";
const wchar_t Searching[] = L"идет поиск...";
const wchar_t NotFound[] = L"не найдено";

ITrelmo* CreateDriver() {
    ITrelmo* driver = nullptr;
    CreateFromFactory(GetClassObject, IID_ITrelmo, reinterpret_cast<void**>(&driver));
    return driver;
}

LONG Get(ITrelmo* driver, HRESULT (STDMETHODCALLTYPE ITrelmo::*get)(LONG*)) {
    LONG value = -1;
    EXPECT_EQ(S_OK, (driver->*get)(&value));
    return value;
}

void SetPortAndSpeed(ITrelmo* driver, LONG port, LONG speed) {
    EXPECT_EQ(S_OK, driver->put_PortNumber(port));
    EXPECT_EQ(S_OK, driver->put_BaudRate(speed));
}

// The search object loads the saved settings: short time-outs keep a silent speed cheap.
void SaveTimeouts(LONG timeout, LONG commandTimeout) {
    ITrelmo* driver = CreateDriver();
    ASSERT_TRUE(driver);
    LONG result = -1;
    driver->put_Timeout(timeout);
    driver->put_CommandTimeout(commandTimeout);
    driver->SaveRegParams(&result);
    EXPECT_EQ(0, result);
    driver->Release();
}

// A Unix program, as Wine starts one: there is no process handle, so callers wait for the effect.
void RunUnix(const std::wstring& program, const std::wstring& arguments) {
    std::wstring line = program + L" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW((L"Z:" + program).c_str(), &line[0], nullptr, nullptr, FALSE, 0,
                               nullptr, nullptr, &startup, &process));
}

DWORD OpenError(int port) {
    const std::wstring name = L"\\\\.\\COM" + std::to_wstring(port);
    HANDLE handle = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    const DWORD error = handle == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    if (handle != INVALID_HANDLE_VALUE)
        CloseHandle(handle);
    return error;
}

// The dialog as the second thread sees it.
struct TDialogView {
    HWND Window = nullptr, List = nullptr, Start = nullptr, Stop = nullptr, Close = nullptr;
    HWND CheckAll = nullptr, ClearAll = nullptr;

    std::wstring Cell(int row, int column) const { return TList(List).Cell(row, column); }
    int Rows() const { return TList(List).Rows(); }
    int Row(int port) const {
        for (int row = 0; row < Rows(); ++row)
            if (Cell(row, 0) == L"COM" + std::to_wstring(port))
                return row;
        return -1;
    }
    UINT State(int row, UINT mask) const { return TList(List).State(row, mask); }
    bool Checked(int row) const { return TList(List).Checked(row); }
    void SetState(int row, UINT state, UINT mask) const { TList(List).SetState(row, state, mask); }
    void Check(int row) const { TList(List).SetChecked(row, true); }
    void Click(HWND button) const { SendMessageW(button, BM_CLICK, 0, 0); }
    // Clears every check, then checks the rows of these ports only.
    void CheckOnly(std::initializer_list<int> ports) const {
        Click(ClearAll);
        for (int port : ports)
            Check(Row(port));
    }
    bool Idle() const { return IsWindowEnabled(Start) && !IsWindowEnabled(Stop); }
    // Starts a search and waits for its end; each change of the row's speed column on the way.
    std::vector<std::wstring> Search(int row) const {
        std::vector<std::wstring> speeds;
        Click(Start);
        EXPECT_FALSE(IsWindowEnabled(Start));
        EXPECT_TRUE(IsWindowEnabled(Stop));
        EXPECT_TRUE(WaitUntil(
            [&] {
                const std::wstring speed = Cell(row, 1);
                if (speed != Searching && !speed.empty() &&
                    (speeds.empty() || speeds.back() != speed))
                    speeds.push_back(speed);
                return Idle();
            },
            20000))
            << "the search did not end";
        return speeds;
    }
    void DoubleClick(int row) const {
        NMITEMACTIVATE note{};
        note.hdr.hwndFrom = List;
        note.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(List));
        note.hdr.code = NM_DBLCLK;
        note.iItem = row;
        SendMessageW(Window, WM_NOTIFY, note.hdr.idFrom, reinterpret_cast<LPARAM>(&note));
    }
};

// The screen's pixels for a layout drawn at 96 DPI.
int Scaled(int pixels) {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return MulDiv(pixels, dpi, 96);
}

// The two glyph buttons are known by their hints only.
BOOL CALLBACK FindHints(HWND window, LPARAM param) {
    auto& dialog = *reinterpret_cast<TDialogView*>(param);
    wchar_t name[64] = L"";
    GetClassNameW(window, name, 64);
    if (GetWindow(window, GW_OWNER) != dialog.Window || lstrcmpiW(name, TOOLTIPS_CLASSW) != 0)
        return TRUE;
    wchar_t text[80];
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.lpszText = text;
    for (int i = 0; SendMessageW(window, TTM_ENUMTOOLSW, i, reinterpret_cast<LPARAM>(&tool)); ++i) {
        const HWND button = reinterpret_cast<HWND>(tool.uId);
        if (std::wstring(text) == L"Выбрать все")
            dialog.CheckAll = button;
        else if (std::wstring(text) == L"Сбросить все")
            dialog.ClearAll = button;
    }
    return TRUE;
}

// Opens the search dialog of `caller` here, where it is modal, and works it with `user` on a
// second thread; the method's result. Whatever `user` leaves open is closed.
LONG RunDialog(ITrelmo* caller, const std::function<void(const TDialogView&)>& user) {
    std::atomic<bool> returned{false};
    std::thread second([&] {
        TDialogView dialog;
        const auto found = [&] {
            dialog.Window = FindDialog(Caption);
            return returned || dialog.Window;
        };
        if (!WaitUntil(found, 10000) || !dialog.Window) {
            ADD_FAILURE() << "the dialog did not show";
            return;
        }
        dialog.List = FindWindowExW(dialog.Window, nullptr, WC_LISTVIEWW, nullptr);
        dialog.Start = FindWindowExW(dialog.Window, nullptr, L"Button", L"Начать поиск");
        dialog.Stop = FindWindowExW(dialog.Window, nullptr, L"Button", L"Прервать");
        dialog.Close = FindWindowExW(dialog.Window, nullptr, L"Button", L"Закрыть");
        EnumThreadWindows(MainThread(), FindHints, reinterpret_cast<LPARAM>(&dialog));
        if (dialog.List && dialog.Start && dialog.Stop && dialog.Close && dialog.CheckAll &&
            dialog.ClearAll)
            user(dialog);
        else
            ADD_FAILURE() << "a control is missing";
        if (IsWindow(dialog.Window))
            PostMessageW(dialog.Window, WM_CLOSE, 0, 0);
    });
    LONG result = -12345;
    EXPECT_EQ(S_OK, caller->ShowSearchDlg(&result));
    returned = true;
    second.join();
    return result;
}

class Search : public ::testing::Test {
protected:
    void SetUp() override {
        Caller = CreateDriver();
        ASSERT_TRUE(Caller);
        SetPortAndSpeed(Caller, 3, 4800);
    }
    void TearDown() override {
        if (Caller)
            Caller->Release();
    }
    void ExpectCaller(LONG port, LONG speed) {
        EXPECT_EQ(port, Get(Caller, &ITrelmo::get_PortNumber));
        EXPECT_EQ(speed, Get(Caller, &ITrelmo::get_BaudRate));
    }
    ITrelmo* Caller = nullptr;
};
using SearchAt9600 = Search; // a board at 9600 baud and a busy port
using SearchSilent = Search; // a board that never answers

// ---------------------------------------------------------------- a board at 9600 baud

TEST_F(SearchAt9600, FindsTheBoardAfterTheSlowerSpeedsAndThePickGoesToTheCaller) {
    ASSERT_GT(BusyPort, 0) << "needs the busy port and its link";
    SaveTimeouts(20, 150);
    RunUnix(L"/bin/ln", L"-sfn /proc/sys/kernel/osrelease " + BusyLink);
    ASSERT_TRUE(WaitUntil([] { return OpenError(BusyPort) == ERROR_ACCESS_DENIED; }, 5000))
        << "COM" << BusyPort << " does not refuse its open: error " << OpenError(BusyPort);

    const LONG result = RunDialog(Caller, [](const TDialogView& d) {
        EXPECT_FALSE(IsWindowEnabled(d.Stop));
        const int board = d.Row(BoardPort), busy = d.Row(BusyPort);
        ASSERT_GE(board, 0);
        ASSERT_GE(busy, 0);
        for (int row = 0; row < d.Rows(); ++row) {
            EXPECT_TRUE(d.Checked(row)) << row;
            EXPECT_EQ(L"", d.Cell(row, 1) + d.Cell(row, 2)) << row;
        }

        d.CheckOnly({BoardPort, BusyPort});
        const std::vector<std::wstring> speeds = d.Search(board);
        EXPECT_EQ((std::vector<std::wstring>{L"2400", L"4800", L"9600"}), speeds);
        EXPECT_EQ(L"9600", d.Cell(board, 1));
        EXPECT_EQ(L"Варнок-плата ВП-1", d.Cell(board, 2));
        EXPECT_EQ(L"Порт занят другим приложением", d.Cell(busy, 1));
        EXPECT_EQ(L"", d.Cell(busy, 2));

        // A new search clears every row and passes over the unchecked ones.
        d.CheckOnly({BoardPort});
        d.Search(board);
        for (int row = 0; row < d.Rows(); ++row)
            if (row != board) {
                EXPECT_EQ(L"", d.Cell(row, 1) + d.Cell(row, 2)) << row;
            }
        EXPECT_EQ(L"Варнок-плата ВП-1", d.Cell(board, 2));
        Screenshot("found");

        d.Click(d.ClearAll); // a pick does not depend on the check marks
        d.SetState(board, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        d.DoubleClick(board);
    });
    EXPECT_EQ(0, result);
    ExpectCaller(BoardPort, 9600);
    RunUnix(L"/bin/rm", L"-f " + BusyLink);
}

// ---------------------------------------------------------------- a board that never answers

// The check-all and uncheck-all buttons are glyphs at the screen's DPI, named in their text;
// a start with no port checked is refused with a box and searches nothing.
TEST_F(SearchSilent, CloseWithoutASearchSetsNothing) {
    const LONG result = RunDialog(Caller, [&](const TDialogView& d) {
        RECT box{};
        GetWindowRect(d.Window, &box);
        EXPECT_EQ(Scaled(455), box.right - box.left);
        EXPECT_GE(box.bottom - box.top, Scaled(216));
        SetWindowPos(d.Window, nullptr, 0, 0, 200, 100, SWP_NOMOVE | SWP_NOZORDER);
        GetWindowRect(d.Window, &box);
        EXPECT_EQ(Scaled(455), box.right - box.left) << "narrower than the minimum";
        EXPECT_EQ(Scaled(216), box.bottom - box.top) << "lower than the minimum";
        for (HWND button : {d.CheckAll, d.ClearAll}) {
            EXPECT_NE(0, GetWindowLongW(button, GWL_STYLE) & BS_ICON);
            HICON glyph = reinterpret_cast<HICON>(SendMessageW(button, BM_GETIMAGE, IMAGE_ICON, 0));
            ICONINFO info{};
            ASSERT_TRUE(glyph && GetIconInfo(glyph, &info));
            BITMAP colour{};
            GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof colour, &colour);
            EXPECT_EQ(Scaled(16), colour.bmWidth);
            DeleteObject(info.hbmColor);
            DeleteObject(info.hbmMask);
        }
        EXPECT_EQ(L"Выбрать все", Text(d.CheckAll));
        EXPECT_EQ(L"Сбросить все", Text(d.ClearAll));

        d.Click(d.ClearAll);
        PostMessageW(d.Start, BM_CLICK, 0, 0);
        EXPECT_EQ(L"Не выбран ни один порт",
                  AnswerBox(L"Драйвер варнок-платы", IDOK, "no-port"));
        EXPECT_TRUE(d.Idle());
        for (int row = 0; row < d.Rows(); ++row)
            EXPECT_EQ(L"", d.Cell(row, 1) + d.Cell(row, 2)) << row;
        SetPortAndSpeed(Caller, 2, 19200);
        d.Click(d.Close);
    });
    EXPECT_EQ(0, result);
    ExpectCaller(2, 19200);
}

TEST_F(SearchSilent, CloseAfterASearchThatFoundNothingRestoresTheCaller) {
    SaveTimeouts(20, 100);
    const LONG result = RunDialog(Caller, [&](const TDialogView& d) {
        const int board = d.Row(BoardPort);
        ASSERT_GE(board, 0);
        d.CheckOnly({BoardPort});
        const std::vector<std::wstring> speeds = d.Search(board);
        EXPECT_EQ((std::vector<std::wstring>{L"2400", L"4800", L"9600", L"19200", L"38400",
                                             L"57600", L"115200"}),
                  speeds);
        EXPECT_EQ(NotFound, d.Cell(board, 2));
        SetPortAndSpeed(Caller, 2, 19200);
        d.Click(d.Close);
    });
    EXPECT_EQ(0, result);
    ExpectCaller(3, 4800);
}

TEST_F(SearchSilent, StopKeepsTheLastSpeedTriedAndANotFoundRowCannotBePicked) {
    SaveTimeouts(20, 1500); // room for a screenshot at one speed
    const LONG result = RunDialog(Caller, [&](const TDialogView& d) {
        const int board = d.Row(BoardPort);
        ASSERT_GE(board, 0);
        d.CheckOnly({BoardPort});
        d.Click(d.Start);
        ASSERT_TRUE(WaitUntil([&] { return d.Cell(board, 1) == L"4800"; }, 5000));
        EXPECT_EQ(Searching, d.Cell(board, 2));
        EXPECT_TRUE(IsWindowVisible(FindWindowExW(d.Window, nullptr, PROGRESS_CLASSW, nullptr)))
            << "no sign of the search going on";
        Screenshot("searching", d.Window);
        d.Click(d.Stop); // returns when the worker has ended
        EXPECT_TRUE(d.Idle());
        // A slow machine may have moved on while the picture was taken: the speed shown at the
        // stop is the one that stays.
        const std::wstring last = d.Cell(board, 1);
        EXPECT_NE(L"2400", last);
        Sleep(1600); // the next speed would have begun by now
        EXPECT_EQ(last, d.Cell(board, 1));
        EXPECT_EQ(NotFound, d.Cell(board, 2));

        EXPECT_EQ(LVIS_SELECTED, d.State(board, LVIS_SELECTED)) << "searched row";
        SetPortAndSpeed(Caller, 2, 19200);
        SendMessageW(d.Window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(d.List), TRUE);
        PostMessageW(d.List, WM_KEYDOWN, VK_RETURN, 0); // Enter picks
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(d.Window); }, 5000));
    });
    EXPECT_EQ(0, result);
    ExpectCaller(3, 4800);
}
} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc != 2 && argc != 4) {
        std::printf("usage: test_search [GoogleTest options] <board port> [<busy port> <link>]\n");
        return 2;
    }
    BoardPort = std::atoi(argv[1]);
    if (argc == 4) {
        BusyPort = std::atoi(argv[2]);
        BusyLink.assign(argv[3], argv[3] + std::strlen(argv[3]));
    }
    GetClassObject = LoadClassObjectEntry();
    if (!GetClassObject)
        return 3;
    MainThread() = GetCurrentThreadId();
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // The tests save their own time-outs; the user's come back at the end.
    ITrelmo* saved = CreateDriver();
    LONG ignored = 0;
    const int result = RUN_ALL_TESTS();
    saved->SaveRegParams(&ignored);
    saved->Release();
    CoUninitialize();
    return result;
}
