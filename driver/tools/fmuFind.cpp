#include "fmuFind.h"

#include "untCodePage.h"
#include "untComCall.h"
#include "untComm.h"
#include "untDialog.h"
#include "untListView.h"
#include "untProtocol.h"
#include "untHolders.h"
#include "untToolsRes.h"
#include "driver/tools/untTypes.h"

#include <commctrl.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {
// Messages from the worker. They are sent, not posted, so every row change happens on the GUI
// thread while the worker waits for it.
const UINT WM_SEARCH_CELL = WM_APP + 1;   // wParam row, lParam const TCell*
const UINT WM_SEARCH_SELECT = WM_APP + 2; // wParam row
const UINT WM_SEARCH_RECORD = WM_APP + 3; // wParam row, lParam the packed record
const UINT WM_SEARCH_DONE = WM_APP + 4;   // posted by the ending worker, wParam its generation

enum TColumn { colPort, colSpeed, colName };
const int PortWidth = 80, SpeedWidth = 80, ButtonWidth = 100;
// Outer size in pixels.
const int MinWidth = 455, MinHeight = 216;

struct TCell {
    int Column;
    std::wstring Text;
};

// Runs one method of its owner on a thread of its own and posts its end to a window, so the
// end is handled on the window's thread.
class TNotifyThread {
public:
    TNotifyThread(void (*body)(void*), void* owner, HWND notify, WPARAM tag)
        : Body(body), Owner(owner), Notify(notify), Tag(tag),
          Handle(CreateThread(nullptr, 0, Run, this, 0, nullptr)) {}
    TNotifyThread(const TNotifyThread&) = delete;
    TNotifyThread& operator=(const TNotifyThread&) = delete;
    bool Started() const { return static_cast<bool>(Handle); }
    // The worker sends its row changes to this thread: they are handled while waiting, or the
    // two would wait for each other.
    void WaitFor() {
        HANDLE thread = Handle.Get();
        while (thread && MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE) ==
                             WAIT_OBJECT_0 + 1) {
            MSG message;
            PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
    }

private:
    static DWORD WINAPI Run(void* self) {
        auto* thread = static_cast<TNotifyThread*>(self);
        thread->Body(thread->Owner);
        PostMessageW(thread->Notify, WM_SEARCH_DONE, thread->Tag, 0);
        return 0;
    }
    void (*Body)(void*);
    void* Owner;
    HWND Notify;
    WPARAM Tag;
    THandle Handle; // last: the thread starts once the rest is set
};

class TfmFind : public TSizableDialog {
public:
    explicit TfmFind(ITrelmo* caller)
        : TSizableDialog(IDD_FIND, MinWidth, MinHeight), Caller(caller) {
        ChosenBaudRate = GetLong(Caller, &ITrelmo::get_BaudRate);
        ChosenPort = GetLong(Caller, &ITrelmo::get_PortNumber);
    }
    ~TfmFind() override { StopSearch(); }

    // Without a pick this gives the caller back the values it had at opening, which may have
    // changed meanwhile; a dialog closed without a search leaves the caller alone.
    void Apply() {
        if (!Searched)
            return;
        PutLong(Caller, &ITrelmo::put_BaudRate, ChosenBaudRate);
        PutLong(Caller, &ITrelmo::put_PortNumber, ChosenPort);
    }

protected:
    void OnInit() override {
        List.Attach(Item(IDC_FIND_LIST), LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
        List.AddColumn(colPort, L"Порт", Scaled(PortWidth));
        List.AddColumn(colSpeed, L"Скорость", Scaled(SpeedWidth), LVCFMT_CENTER);
        List.AddColumn(colName, L"Название", Scaled(100));
        AddHint(IDC_FIND_CHECK_ALL, L"Выбрать все");
        AddHint(IDC_FIND_CLEAR_ALL, L"Сбросить все");
        SetGlyph(IDC_FIND_CHECK_ALL, IDI_SELTBL_ALL);
        SetGlyph(IDC_FIND_CLEAR_ALL, IDI_SELTBL_NONE);
        std::vector<TSerialPortInfo> ports;
        TComm::GetSerialPorts(ports);
        for (const TSerialPortInfo& port : ports) {
            const TSearchRecord record{port.Number, 0, false};
            List.SetChecked(
                List.AddRow(Cp1251ToWide(port.Name), static_cast<LPARAM>(record.Pack())), true);
        }
        OpenAtMinimumSize();
    }

    bool OnCommand(int id, int code) override {
        (void)code;
        switch (id) {
        case IDC_FIND_START:
            StartSearch();
            return true;
        case IDC_FIND_STOP:
            StopSearch();
            return true;
        case IDC_FIND_CHECK_ALL:
        case IDC_FIND_CLEAR_ALL:
            List.CheckAll(id == IDC_FIND_CHECK_ALL);
            return true;
        case IDOK: // Enter: a pick when it comes from the list
            if (GetFocus() == List.Handle())
                Pick();
            return true;
        case IDC_FIND_CLOSE:
        case IDCANCEL:
            OnClose();
            return true;
        default:
            return false;
        }
    }

    void OnClose() override {
        StopSearch();
        Close(IDCANCEL);
    }

    bool OnNotify(NMHDR* header) override {
        if (header->idFrom == IDC_FIND_LIST && header->code == NM_DBLCLK) {
            Pick();
            return true;
        }
        return false;
    }

    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override {
        result = TRUE;
        switch (message) {
        case WM_SEARCH_CELL: {
            const auto* cell = reinterpret_cast<const TCell*>(lParam);
            List.SetCell(static_cast<int>(wParam), cell->Column, cell->Text);
            return true;
        }
        case WM_SEARCH_SELECT:
            List.Select(static_cast<int>(wParam));
            ListView_EnsureVisible(List.Handle(), static_cast<int>(wParam), FALSE);
            return true;
        case WM_SEARCH_RECORD:
            List.SetData(static_cast<int>(wParam), lParam);
            return true;
        case WM_SEARCH_DONE:
            // The end of a search that was stopped has been handled by the stop.
            if (Worker && wParam == Generation)
                SearchFinished();
            return true;
        default:
            return TSizableDialog::OnMessage(message, wParam, lParam, result);
        }
    }

    void Layout() override {
        const int width = Scaled(ButtonWidth);
        const int left = PlaceBesideButtons(List.Handle(), width);
        const int top = StackButtons(left, Margin, width,
                                     {IDC_FIND_START, IDC_FIND_STOP, IDC_FIND_CLOSE}) +
                        Gap;
        const int half = (width - Gap) / 2;
        MoveWindow(Item(IDC_FIND_CHECK_ALL), left, top, half, ButtonHeight, TRUE);
        MoveWindow(Item(IDC_FIND_CLEAR_ALL), left + half + Gap, top, half, ButtonHeight, TRUE);
        MoveWindow(Item(IDC_FIND_ANIMATION), left, top + ButtonHeight + 2 * Gap, width,
                   Scaled(12), TRUE);
        List.FillWidth(colName, Scaled(PortWidth + SpeedWidth));
    }

private:
    bool AnyChecked() const {
        for (int row = 0; row < List.RowCount(); ++row)
            if (List.Checked(row))
                return true;
        return false;
    }

    // Also called by the worker: the list answers on the GUI thread.
    TSearchRecord Record(int row) const {
        return TSearchRecord::Unpack(static_cast<std::uint32_t>(List.Data(row)));
    }

    void StartSearch() {
        StopSearch();
        if (!AnyChecked()) {
            DriverMessageBox(Handle(), L"Не выбран ни один порт", MB_OK | MB_ICONWARNING);
            return;
        }
        for (int row = 0; row < List.RowCount(); ++row) {
            List.SetCell(row, colSpeed, L"");
            List.SetCell(row, colName, L"");
        }
        // Set before the worker runs: a stop pressed at once must not be lost.
        StopFlag = false;
        Searched = true;
        Worker = std::make_unique<TNotifyThread>(SearchBody, this, Handle(), ++Generation);
        if (!Worker->Started()) {
            const DWORD error = GetLastError();
            Worker.reset();
            DriverMessageBox(Handle(), L"Не удалось начать поиск, ошибка " + std::to_wstring(error),
                             MB_OK | MB_ICONERROR);
            return;
        }
        // The focus leaves the start button before it is disabled, so it never stays on a
        // disabled control.
        Enable(IDC_FIND_STOP, true);
        Focus(IDC_FIND_STOP);
        Enable(IDC_FIND_START, false);
        Show(IDC_FIND_ANIMATION, true);
        SendMessageW(Item(IDC_FIND_ANIMATION), PBM_SETMARQUEE, TRUE, 50);
    }

    void StopSearch() {
        if (!Worker)
            return;
        Enable(IDC_FIND_STOP, false);
        StopFlag = true;
        SearchFinished();
    }

    void SearchFinished() {
        Worker->WaitFor();
        Worker.reset();
        SendMessageW(Item(IDC_FIND_ANIMATION), PBM_SETMARQUEE, FALSE, 0);
        Show(IDC_FIND_ANIMATION, false);
        Enable(IDC_FIND_START, true);
        Focus(IDC_FIND_START);
        Enable(IDC_FIND_STOP, false);
    }

    void Pick() {
        StopSearch();
        const int row = List.Selected();
        if (row >= 0) {
            const TSearchRecord record = Record(row);
            if (record.Found) {
                ChosenPort = record.Port;
                ChosenBaudRate = CodeToBaudRate(record.RateCode);
            }
        }
        Close(IDOK);
    }

    // ---- the worker's side: it changes the list only through messages sent to the dialog

    static void SearchBody(void* self) {
        auto* form = static_cast<TfmFind*>(self);
        if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
            return;
        try {
            form->Search();
        } catch (const std::exception& e) {
            DriverMessageBox(form->Handle(), Cp1251ToWide(e.what()), MB_OK | MB_ICONERROR);
        }
        CoUninitialize();
    }

    void Cell(int row, int column, const std::wstring& text) {
        const TCell cell{column, text};
        SendMessageW(Handle(), WM_SEARCH_CELL, static_cast<WPARAM>(row),
                     reinterpret_cast<LPARAM>(&cell));
    }

    void Search() {
        TSearchObject probe; // a driver object of this thread's own
        ITrelmo* s = probe.Get();
        // The rows are read as the search reaches them: a row checked or unchecked meanwhile
        // counts.
        const int rows = List.RowCount();
        for (int row = 0; row < rows && !StopFlag; ++row) {
            if (!List.Checked(row))
                continue;
            SendMessageW(Handle(), WM_SEARCH_SELECT, static_cast<WPARAM>(row), 0);
            ProbePort(s, row, Record(row).Port);
            Call(s, &ITrelmo::ClosePort);
        }
    }

    void ProbePort(ITrelmo* s, int row, int port) {
        PutLong(s, &ITrelmo::put_PortNumber, port);
        Call(s, &ITrelmo::ClosePort);
        if (Call(s, &ITrelmo::OpenPort) != 0) {
            Cell(row, colSpeed, GetString(s, &ITrelmo::get_ResultDescription));
            return;
        }
        Cell(row, colSpeed, L"идет поиск...");
        Call(s, &ITrelmo::ClosePort);
        std::wstring name;
        TSearchRecord record{port, 0, false};
        for (int code = 2; code <= 8 && !StopFlag; ++code) {
            record.RateCode = code;
            PutLong(s, &ITrelmo::put_BaudRate, CodeToBaudRate(code));
            Cell(row, colSpeed, std::to_wstring(CodeToBaudRate(code)));
            Cell(row, colName, L"идет поиск...");
            const LONG result = Call(s, &ITrelmo::Connect);
            // A board error is an answer too: the board is there.
            record.Found = result >= 0;
            if (result == 0) {
                name = GetString(s, &ITrelmo::get_UDescription);
                name.erase(name.find_last_not_of(L' ') + 1);
                break;
            }
            name = L"не найдено";
            Call(s, &ITrelmo::Disconnect);
        }
        Cell(row, colName, name);
        SendMessageW(Handle(), WM_SEARCH_RECORD, static_cast<WPARAM>(row),
                     static_cast<LPARAM>(record.Pack()));
    }

    ITrelmo* Caller;
    TListView List;
    std::unique_ptr<TNotifyThread> Worker;
    std::atomic<bool> StopFlag{false};
    bool Searched = false;
    WPARAM Generation = 0;
    LONG ChosenPort = 0, ChosenBaudRate = 0;
};
} // namespace

void ShowSearchDialog(HWND owner, ITrelmo* driver) {
    TfmFind form(driver);
    form.ShowModal(owner);
    form.Apply();
}
