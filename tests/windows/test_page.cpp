// The settings property page as a user meets it: the test calls ShowProperties on its main
// thread, where the system's property frame runs modally with the page in it, while a second
// thread (the "hand") reads and sets the page's controls with window messages, presses its
// buttons and has the screen photographed. Applying, which Wine's frame never passes on to its
// pages, is tested with the page hosted by the test itself, as a container does.
//
//   test_page [GoogleTest options] <board port> <control port>
//
// The virtual board runs at 9600 baud on COM<board port>; its control line (--control-tty)
// is mapped to COM<control port>. Trelmo.dll is the one next to this program; the test
// registers it, since the frame creates the page by its class identifier, and unregisters it
// at the end. "SCREENSHOT <label>" lines wait for one line on standard input.
#include "TrelmoLib_TLB.h"
#include "comtest.h"
#include "guihand.h"
#include "untToolsRes.h"

#include <gtest/gtest.h>
#include <ocidl.h>
#include <olectl.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

using namespace comtest;
using namespace guihand;

namespace {
int BoardPort = 0;
int ControlPort = 0;

const LONG BoardSpeed = 9600;
const LONG ByteTimeout = 150;
const wchar_t SettingsKey[] = L"Software\\Norvik\\Trelmo\\Trelmo\\Param";
const int PageButtons[] = {IDC_PAGE_CONNECT, IDC_PAGE_SET_BAUD, IDC_PAGE_SEARCH,   IDC_PAGE_TABLES,
                           IDC_PAGE_LOG,     IDC_PAGE_PROG,     IDC_PAGE_DEFAULTS, IDC_PAGE_ABOUT};

bool AllButtons(HWND page, bool enabled) {
    for (int id : PageButtons)
        if (Enabled(page, id) != enabled)
            return false;
    return true;
}

std::wstring ComboItem(HWND combo, LRESULT index) {
    const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<std::size_t>(length));
    return text;
}

std::wstring Selected(HWND page, int id) {
    HWND combo = Child(page, id);
    const LRESULT index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    return index == CB_ERR ? L"(none)" : ComboItem(combo, index);
}

void Select(HWND page, int id, const std::wstring& text) {
    HWND combo = Child(page, id);
    const LRESULT index = SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                       reinterpret_cast<LPARAM>(text.c_str()));
    ASSERT_NE(CB_ERR, index) << Utf8(text);
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageW(GetParent(combo), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo));
}

// The controls Tab visits on the page, from its first one, by id.
std::vector<int> TabOrder(HWND page) {
    std::vector<int> order;
    HWND first = GetNextDlgTabItem(page, nullptr, FALSE);
    for (HWND at = first; at && order.size() < 40;) {
        order.push_back(GetDlgCtrlID(at));
        at = GetNextDlgTabItem(page, at, FALSE);
        if (at == first)
            break;
    }
    return order;
}

RECT ChildRect(HWND parent, int id) {
    RECT box{};
    GetWindowRect(Child(parent, id), &box);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&box), 2);
    return box;
}

// The property frame: the dialog of the main thread that holds the settings page.
HWND WaitFrame() {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : OpenDialogs())
                if (Child(window, IDC_PAGE_CONNECT))
                    found = window;
            return found != nullptr;
        },
        10000);
    if (!found)
        ADD_FAILURE() << "no window with the page";
    return found;
}

HWND FocusOfMain() {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(MainThread(), &info);
    return info.hwndFocus;
}

DWORD StoredNumber(const wchar_t* name) {
    DWORD value = 0, size = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, SettingsKey, name, RRF_RT_REG_DWORD, nullptr, &value,
                     &size) != ERROR_SUCCESS)
        return 0xFFFFFFFF;
    return value;
}

// A page site of the test's own, which counts what the page reports.
class TPageSite : public IPropertyPageSite {
public:
    int DirtyReports = 0;

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown || iid == IID_IPropertyPageSite) {
            *object = static_cast<IPropertyPageSite*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP OnStatusChange(DWORD flags) override {
        if (flags & PROPPAGESTATUS_DIRTY)
            ++DirtyReports;
        return S_OK;
    }
    STDMETHODIMP GetLocaleID(LCID* locale) override {
        *locale = GetSystemDefaultLCID();
        return S_OK;
    }
    STDMETHODIMP GetPageContainer(IUnknown**) override { return E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(MSG*) override { return S_FALSE; }
};

class Page : public TTrelmoTest {
protected:
    void SetUp() override {
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_Trelmo, nullptr, CLSCTX_INPROC_SERVER, IID_ITrelmo,
                                         Driver.Put()));
        ASSERT_TRUE(Board.Open(ControlPort)) << "control port COM" << ControlPort;
        Board.Command("clear");
        Put(&ITrelmo::put_PortNumber, BoardPort);
        Put(&ITrelmo::put_Timeout, ByteTimeout);
        Put(&ITrelmo::put_CommandTimeout, 1000);
        Put(&ITrelmo::put_BaudRate, BoardSpeed);
    }

    // The result line's form of the driver's result.
    std::wstring ResultLine() {
        return L"(" + std::to_wstring(Get(&ITrelmo::get_ResultCode)) + L") " +
               GetText(&ITrelmo::get_ResultDescription);
    }

    // ShowProperties while `hand` works the frame, given the frame and the page; the hand
    // closes the frame, else it is cancelled here and the test fails.
    void RunFrame(const std::function<void(HWND frame, HWND page)>& hand) {
        std::thread worker([&] {
            HWND frame = WaitFrame();
            if (!frame)
                return;
            hand(frame, GetParent(Child(frame, IDC_PAGE_CONNECT)));
            if (!WaitUntil([&] { return !IsWindow(frame); }, 5000)) {
                ADD_FAILURE() << "the frame is still open";
                PostMessageW(Child(frame, IDCANCEL), BM_CLICK, 0, 0);
            }
        });
        LONG value = 0;
        EXPECT_EQ(S_OK, Driver->ShowProperties(&value));
        worker.join();
    }

    // The frame's Cancel, or the close box: the page is not applied either way.
    static void Cancel(HWND frame) { Press(frame, IDCANCEL); }

    TBoardControl Board;
};

// The object names the page; the frame shows it with every control's text, the object's
// settings loaded, the focus on the first setting, Tab through the settings before the buttons,
// the version bold in the page's face and the page sized round its controls. A
// stored port the list does not offer leaves the list without a selection.
TEST_F(Page, ShowsTheObjectsSettings) {
    TPtr<ISpecifyPropertyPages> specify;
    ASSERT_EQ(S_OK, Driver->QueryInterface(IID_ISpecifyPropertyPages, specify.Put()));
    CAUUID pages{0, nullptr};
    ASSERT_EQ(S_OK, specify->GetPages(&pages));
    ASSERT_EQ(1u, pages.cElems);
    EXPECT_TRUE(IsEqualCLSID(CLSID_TrelmoPage, pages.pElems[0]));
    CoTaskMemFree(pages.pElems);

    Put(&ITrelmo::put_Timeout, 123);
    Put(&ITrelmo::put_CommandTimeout, 456);
    Put(&ITrelmo::put_BaudRate, 19200);
    const std::wstring version = GetText(&ITrelmo::get_Version);
    RunFrame([&](HWND frame, HWND page) {
        EXPECT_NE(std::wstring::npos, Text(frame).find(L"Драйвер варнок-платы"))
            << Utf8(Text(frame));
        const std::map<int, std::wstring> texts = {
            {IDC_PAGE_PORT_LABEL, L"Номер порта:"},
            {IDC_PAGE_BAUD_LABEL, L"Скорость обмена:"},
            {IDC_PAGE_TIMEOUT_LABEL, L"Таймаут байта, мс.:"},
            {IDC_PAGE_COMMAND_TIMEOUT_LABEL, L"Таймаут команды, мс.:"},
            {IDC_PAGE_VERSION_LABEL, L"Версия драйвера:"},
            {IDC_PAGE_CONNECT, L"Проверка связи"},
            {IDC_PAGE_SET_BAUD, L"Установить параметры"},
            {IDC_PAGE_SEARCH, L"Поиск..."},
            {IDC_PAGE_TABLES, L"Таблицы..."},
            {IDC_PAGE_LOG, L"Лог-файл..."},
            {IDC_PAGE_PROG, L"Обновление ПО..."},
            {IDC_PAGE_DEFAULTS, L"По умолчанию"},
            {IDC_PAGE_ABOUT, L"О программе..."},
            {IDC_PAGE_RESULT_LABEL, L"Результат:"},
            {IDC_PAGE_TIMEOUT, L"123"},
            {IDC_PAGE_COMMAND_TIMEOUT, L"456"},
            {IDC_PAGE_VERSION, version},
            {IDC_PAGE_RESULT, L""}};
        for (const auto& expected : texts)
            EXPECT_EQ(expected.second, TextOf(page, expected.first))
                << "control " << expected.first;
        HWND ports = Child(page, IDC_PAGE_PORT), speeds = Child(page, IDC_PAGE_BAUD);
        ASSERT_EQ(32, SendMessageW(ports, CB_GETCOUNT, 0, 0));
        EXPECT_EQ(L"COM 1", ComboItem(ports, 0));
        EXPECT_EQ(L"COM 32", ComboItem(ports, 31));
        const wchar_t* const rates[] = {L"2400",  L"4800",  L"9600",  L"19200",
                                        L"38400", L"57600", L"115200"};
        ASSERT_EQ(7, SendMessageW(speeds, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < 7; ++i)
            EXPECT_EQ(rates[i], ComboItem(speeds, i));
        EXPECT_EQ(L"COM " + std::to_wstring(BoardPort), Selected(page, IDC_PAGE_PORT));
        EXPECT_EQ(L"19200", Selected(page, IDC_PAGE_BAUD));
        EXPECT_EQ(Child(page, IDC_PAGE_PORT), FocusOfMain());
        // Tab: the settings, the buttons, then the result.
        EXPECT_EQ((std::vector<int>{IDC_PAGE_PORT, IDC_PAGE_BAUD, IDC_PAGE_TIMEOUT,
                                    IDC_PAGE_COMMAND_TIMEOUT, IDC_PAGE_CONNECT, IDC_PAGE_SET_BAUD,
                                    IDC_PAGE_SEARCH, IDC_PAGE_TABLES, IDC_PAGE_LOG, IDC_PAGE_PROG,
                                    IDC_PAGE_DEFAULTS, IDC_PAGE_ABOUT, IDC_PAGE_RESULT}),
                  TabOrder(page));
        // The version in the page's own face, bold.
        EXPECT_EQ(RenderedFace(page) + L" bold", RenderedFace(Child(page, IDC_PAGE_VERSION)));
        EXPECT_TRUE(GetWindowLongW(Child(page, IDC_PAGE_RESULT), GWL_STYLE) & ES_READONLY);
        RECT client{};
        GetClientRect(page, &client);
        EXPECT_EQ(ChildRect(page, IDC_PAGE_CONNECT).right + Scaled(16), client.right);
        EXPECT_EQ(ChildRect(page, IDC_PAGE_RESULT).bottom + Scaled(33), client.bottom);
        Screenshot("page", frame);
        Cancel(frame);
    });

    Put(&ITrelmo::put_PortNumber, 40);
    RunFrame([&](HWND frame, HWND page) {
        EXPECT_EQ(L"(none)", Selected(page, IDC_PAGE_PORT));
        Cancel(frame);
    });
    EXPECT_EQ(40, Get(&ITrelmo::get_PortNumber));
}

// "Проверка связи" names the board and closes the port again; a board that answers the
// connect but not the status shows the status request's failure, and the port is closed too.
TEST_F(Page, LinkTest) {
    for (bool silentStatus : {false, true}) {
        SCOPED_TRACE(silentStatus ? "silent status" : "board answers");
        if (silentStatus)
            Board.Command("fault noanswer always for 11");
        std::wstring shown;
        RunFrame([&](HWND frame, HWND page) {
            Click(page, IDC_PAGE_CONNECT);
            shown = TextOf(page, IDC_PAGE_RESULT);
            EXPECT_TRUE(AllButtons(page, true));
            if (!silentStatus)
                Screenshot("page-connected", frame);
            Cancel(frame);
        });
        // An open port would still answer on the board's port; a closed one opens port 40.
        Put(&ITrelmo::put_PortNumber, 40);
        EXPECT_NE(0, Call(&ITrelmo::ReadStatus)) << "the port was left open";
        Put(&ITrelmo::put_PortNumber, BoardPort);
        const LONG status = Call(&ITrelmo::ReadStatus);
        if (silentStatus) {
            EXPECT_NE(0, status);
            EXPECT_EQ(ResultLine(), shown);
        } else {
            ASSERT_EQ(0, status) << Utf8(ResultLine());
            std::wstring expected = L"Название: " + GetText(&ITrelmo::get_UDescription) + L" " +
                                    GetText(&ITrelmo::get_SoftVersion) + L"." +
                                    std::to_wstring(Get(&ITrelmo::get_SoftBuild)) + L", дата ПО " +
                                    GetText(&ITrelmo::get_SoftDateStr);
            EXPECT_EQ(expected, shown);
        }
        Board.Command("clear");
    }
}

// Letters in a time-out stop the link test with the conversion's message before any request
// reaches the board, and change nothing on the object.
TEST_F(Page, LettersInTimeoutStopBeforeAnyExchange) {
    Board.Command("fault error 33 once");
    RunFrame([&](HWND frame, HWND page) {
        SetTextOf(page, IDC_PAGE_TIMEOUT, L"12а");
        Click(page, IDC_PAGE_CONNECT);
        EXPECT_EQ(L"\"12а\" не является целым числом", TextOf(page, IDC_PAGE_RESULT));
        EXPECT_TRUE(AllButtons(page, true));
        EXPECT_EQ(nullptr, FindDialog(L"Драйвер варнок-платы")) << "a message box";
        Screenshot("page-bad-timeout", frame);
        Cancel(frame);
    });
    EXPECT_EQ((std::vector<std::string>{"error 33 once", "END"}), Board.Ask("faults", true))
        << "a request reached the board";
    EXPECT_EQ(ByteTimeout, Get(&ITrelmo::get_Timeout));
}

// "Установить параметры" moves the board to the page's speed and byte time-out; the driver
// follows it, and nothing is stored.
TEST_F(Page, SetExchangeParametersMovesTheBoard) {
    Call(&ITrelmo::SaveRegParams);
    RunFrame([&](HWND frame, HWND page) {
        Select(page, IDC_PAGE_BAUD, L"19200");
        SetTextOf(page, IDC_PAGE_TIMEOUT, L"120");
        Click(page, IDC_PAGE_SET_BAUD);
        EXPECT_EQ(L"(0) Ошибок нет", TextOf(page, IDC_PAGE_RESULT));
        Cancel(frame);
    });
    EXPECT_EQ(19200, Board.Number("baud"));
    EXPECT_EQ(120, Board.Number("byte_timeout"));
    EXPECT_EQ(19200, Get(&ITrelmo::get_BaudRate));
    EXPECT_EQ(120, Get(&ITrelmo::get_Timeout));
    EXPECT_EQ(static_cast<DWORD>(BoardSpeed), StoredNumber(L"BaudRate"));
    EXPECT_EQ(static_cast<DWORD>(ByteTimeout), StoredNumber(L"Timeout"));
    EXPECT_EQ(0, Call(&ITrelmo::ReadStatus)) << Utf8(ResultLine());

    // Back to where the other tests expect the board.
    Put(&ITrelmo::put_DeviceBaudRate, BoardSpeed);
    Put(&ITrelmo::put_DeviceTimeout, ByteTimeout);
    EXPECT_EQ(0, Call(&ITrelmo::SetExchangeParam)) << Utf8(ResultLine());
    EXPECT_EQ(BoardSpeed, Board.Number("baud"));
}

// The driver's other dialogs open from the page, owned by its frame, with every button off
// while one is open; ParentWnd is the client's again afterwards.
TEST_F(Page, OpensTheOtherDialogs) {
    Put(&ITrelmo::put_ParentWnd, 0);
    RunFrame([&](HWND frame, HWND page) {
        struct TStep {
            int Button;
            const wchar_t* Caption;
            int Closer;
            const wchar_t* Result; // the result line afterwards
        };
        const TStep steps[] = {
            {IDC_PAGE_ABOUT, L"О драйвере", IDOK, L""},
            {IDC_PAGE_LOG, L"Лог", IDOK, L""},
            {IDC_PAGE_SEARCH, L"Поиск оборудования", IDC_FIND_CLOSE, L""},
            {IDC_PAGE_TABLES, L"Таблицы", IDCANCEL, L"(0) Ошибок нет"},
            {IDC_PAGE_PROG, L"Обновление ПО", IDC_PROG_CLOSE, L"(0) Ошибок нет"}};
        for (const TStep& step : steps) {
            SCOPED_TRACE(Utf8(step.Caption));
            SetTextOf(page, IDC_PAGE_RESULT, L"(старый результат)");
            Press(page, step.Button);
            HWND dialog = WaitDialog(step.Caption);
            if (!dialog)
                continue;
            EXPECT_TRUE(AllButtons(page, false)) << "busy";
            if (step.Button == IDC_PAGE_ABOUT) {
                Screenshot("page-about", dialog);
            } else {
                EXPECT_EQ(frame, GetWindow(dialog, GW_OWNER));
            }
            Press(dialog, step.Closer);
            EXPECT_TRUE(WaitUntil([&] { return AllButtons(page, true); }, 10000));
            EXPECT_EQ(step.Result, TextOf(page, IDC_PAGE_RESULT));
        }
        Cancel(frame);
    });
    EXPECT_EQ(0, Get(&ITrelmo::get_ParentWnd));
}

// A page hosted by the test as a container hosts it: "По умолчанию" fills in the defaults and
// reports the page changed; the object takes them only when the page is applied, and they
// are stored. A bad time-out fails the apply and changes nothing. The frame's Cancel before
// leaves the object alone.
TEST_F(Page, DefaultsReachTheObjectOnlyByApply) {
    Put(&ITrelmo::put_Timeout, 77);
    Put(&ITrelmo::put_CommandTimeout, 555);
    Put(&ITrelmo::put_BaudRate, 4800);
    Call(&ITrelmo::SaveRegParams);
    const std::wstring port = L"COM " + std::to_wstring(Get(&ITrelmo::get_DefaultPortNumber));
    RunFrame([&](HWND frame, HWND page) {
        Click(page, IDC_PAGE_DEFAULTS);
        EXPECT_EQ(L"200", TextOf(page, IDC_PAGE_TIMEOUT));
        EXPECT_EQ(L"1000", TextOf(page, IDC_PAGE_COMMAND_TIMEOUT));
        EXPECT_EQ(L"2400", Selected(page, IDC_PAGE_BAUD));
        EXPECT_EQ(port, Selected(page, IDC_PAGE_PORT));
        Cancel(frame);
    });
    EXPECT_EQ(77, Get(&ITrelmo::get_Timeout));
    EXPECT_EQ(555, Get(&ITrelmo::get_CommandTimeout));
    EXPECT_EQ(4800, Get(&ITrelmo::get_BaudRate));
    EXPECT_EQ(BoardPort, Get(&ITrelmo::get_PortNumber));
    EXPECT_EQ(77u, StoredNumber(L"Timeout"));

    TPtr<IPropertyPage> page;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_TrelmoPage, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IPropertyPage, page.Put()));
    TPageSite site;
    ASSERT_EQ(S_OK, page->SetPageSite(&site));
    IUnknown* object = Driver.Get();
    ASSERT_EQ(S_OK, page->SetObjects(1, &object));
    PROPPAGEINFO info{};
    ASSERT_EQ(S_OK, page->GetPageInfo(&info));
    EXPECT_EQ(std::wstring(L"Драйвер варнок-платы"), info.pszTitle ? info.pszTitle : L"");
    CoTaskMemFree(info.pszTitle);
    HWND host = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 800, 600, nullptr, nullptr,
                                nullptr, nullptr);
    const RECT area{10, 10, 10 + info.size.cx, 10 + info.size.cy};
    ASSERT_EQ(S_OK, page->Activate(host, &area, TRUE));
    ASSERT_EQ(S_OK, page->Show(SW_SHOW));
    HWND form = GetParent(Child(host, IDC_PAGE_CONNECT));
    ASSERT_TRUE(form);
    RECT client{};
    GetClientRect(form, &client);
    EXPECT_EQ(info.size.cx, client.right);
    EXPECT_EQ(info.size.cy, client.bottom);
    EXPECT_EQ(S_FALSE, page->IsPageDirty()) << "loading is no change";

    Click(form, IDC_PAGE_DEFAULTS);
    EXPECT_GT(site.DirtyReports, 0);
    EXPECT_EQ(S_OK, page->IsPageDirty());
    EXPECT_EQ(77, Get(&ITrelmo::get_Timeout)) << "defaults before the apply";
    SetTextOf(form, IDC_PAGE_COMMAND_TIMEOUT, L"x");
    EXPECT_EQ(E_FAIL, page->Apply());
    EXPECT_EQ(L"\"x\" не является целым числом", TextOf(form, IDC_PAGE_RESULT));
    EXPECT_EQ(4800, Get(&ITrelmo::get_BaudRate)) << "a failed apply changed the object";
    SetTextOf(form, IDC_PAGE_COMMAND_TIMEOUT, L"1000");
    EXPECT_EQ(S_OK, page->Apply());
    EXPECT_EQ(S_FALSE, page->IsPageDirty());
    EXPECT_EQ(200, Get(&ITrelmo::get_Timeout));
    EXPECT_EQ(1000, Get(&ITrelmo::get_CommandTimeout));
    EXPECT_EQ(2400, Get(&ITrelmo::get_BaudRate));
    EXPECT_EQ(Get(&ITrelmo::get_DefaultPortNumber), Get(&ITrelmo::get_PortNumber));
    EXPECT_EQ(200u, StoredNumber(L"Timeout"));
    EXPECT_EQ(2400u, StoredNumber(L"BaudRate"));
    EXPECT_EQ(static_cast<DWORD>(Get(&ITrelmo::get_DefaultPortNumber)),
              StoredNumber(L"PortNumber"));

    EXPECT_EQ(S_OK, page->Deactivate());
    EXPECT_FALSE(IsWindow(form));
    EXPECT_EQ(S_OK, page->SetObjects(0, nullptr));
    EXPECT_EQ(S_OK, page->SetPageSite(nullptr));
    DestroyWindow(host);
}
} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc != 3 || std::atoi(argv[1]) <= 0 || std::atoi(argv[2]) <= 0) {
        std::printf("usage: test_page [GoogleTest options] <board port> <control port>\n");
        return 2;
    }
    BoardPort = std::atoi(argv[1]);
    ControlPort = std::atoi(argv[2]);
    using TEntry = HRESULT(STDAPICALLTYPE*)();
    const auto registerServer = Export<TEntry>(LoadTrelmo(), "DllRegisterServer");
    const auto unregisterServer = Export<TEntry>(LoadTrelmo(), "DllUnregisterServer");
    if (!registerServer || !unregisterServer) {
        std::printf("cannot load Trelmo.dll (error %lu)\n", GetLastError());
        return 3;
    }
    MainThread() = GetCurrentThreadId();
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::map<std::wstring, DWORD> stored = {
        {L"Timeout", StoredNumber(L"Timeout")},
        {L"CommandTimeout", StoredNumber(L"CommandTimeout")},
        {L"BaudRate", StoredNumber(L"BaudRate")},
        {L"PortNumber", StoredNumber(L"PortNumber")}};
    int result = 3;
    if (registerServer() == S_OK) {
        result = RUN_ALL_TESTS();
        unregisterServer();
    } else {
        std::printf("DllRegisterServer failed\n");
    }
    for (const auto& value : stored)
        if (value.second != 0xFFFFFFFF)
            RegSetKeyValueW(HKEY_CURRENT_USER, SettingsKey, value.first.c_str(), REG_DWORD,
                            &value.second, sizeof value.second);
    CoUninitialize();
    return result;
}
