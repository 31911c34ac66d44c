#include "driver/tools/fmuProg.h"

#include "untCodePage.h"
#include "untComCall.h"
#include "untComFirmware.h"
#include "driver/core/untConst.h"
#include "untDialog.h"
#include "untFileDialog.h"
#include "untHolders.h"
#include "untSettingsStore.h"
#include "untToolsRes.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace {
const char SoftwareFileValue[] = "SoftwareFileName";

// Blanks and control characters, as users paste them along with a path.
std::wstring Trimmed(const std::wstring& text) {
    std::size_t first = 0, last = text.size();
    while (first < last && text[first] <= L' ')
        ++first;
    while (last > first && text[last - 1] <= L' ')
        --last;
    return text.substr(first, last - first);
}

// The whole file, read before the board leaves main mode: a file that cannot be read, or an
// empty one, must not leave the board in program mode with its firmware erased.
std::string ReadFirmware(const std::wstring& name) {
    std::string data;
    bool read = false;
    {
        const THandle file(CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        LARGE_INTEGER size{};
        read = file && GetFileSizeEx(file.Get(), &size) && size.QuadPart <= 16 * 1024 * 1024;
        if (read) {
            data.resize(static_cast<std::size_t>(size.QuadPart));
            DWORD got = 0;
            read = data.empty() || (ReadFile(file.Get(), &data[0], static_cast<DWORD>(data.size()),
                                             &got, nullptr) &&
                                    got == data.size());
        }
    }
    const std::string quoted = " \"" + WideToCp1251(name) + "\"";
    if (!read)
        throw std::runtime_error(Ansi("Не удалось прочитать файл прошивки") + quoted);
    if (data.empty())
        throw std::runtime_error(Ansi("Пустой файл прошивки") + quoted);
    return data;
}

class TfmProg : public TDialog, private TFirmwareUi {
public:
    explicit TfmProg(ITrelmo* driver) : TDialog(IDD_PROG), Driver(driver) {}

protected:
    void OnInit() override {
        SetClientSize(Scaled(343), Scaled(137));
        CenterOnScreen();
        SetGlyph(IDC_PROG_BROWSE, IDI_BROWSE);
        AddHint(IDC_PROG_BROWSE, L"Выбрать файл прошивки");
        TSettingsKey key;
        if (key.OpenRead(RegKeyParam) && key.ValueExists(SoftwareFileValue))
            SetText(IDC_PROG_FILE, Cp1251ToWide(key.ReadString(SoftwareFileValue)));
        Show(IDC_PROG_BAR, false);
        Enable(IDC_PROG_START, !Trimmed(Text(IDC_PROG_FILE)).empty());
    }

    bool OnCommand(int id, int code) override {
        switch (id) {
        case IDC_PROG_START:
            Update();
            return true;
        case IDC_PROG_BROWSE:
            Browse();
            return true;
        case IDC_PROG_CANCEL:
            Cancelling = true;
            return true;
        case IDC_PROG_CLOSE:
        case IDCANCEL: // Esc is the close button, which is disabled while writing
            if (!Writing) {
                StoreFileName();
                Close(IDOK);
            }
            return true;
        case IDC_PROG_FILE:
            // A name typed by hand is as good as a picked one.
            if (code == EN_CHANGE && !Writing)
                Enable(IDC_PROG_START, !Trimmed(Text(IDC_PROG_FILE)).empty());
            return true;
        default:
            return false;
        }
    }

    // The close box: stops a write at the next block; the file name is not kept.
    void OnClose() override {
        Cancelling = true;
        if (!Writing)
            Close(IDCANCEL);
        else
            CloseAfterWrite = true;
    }

    bool OnMessage(UINT message, WPARAM, LPARAM lParam, INT_PTR& result) override {
        if (message != WM_DRAWITEM ||
            static_cast<int>(reinterpret_cast<DRAWITEMSTRUCT*>(lParam)->CtlID) != IDC_PROG_BAR)
            return false;
        DrawGauge(*reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
        result = TRUE;
        return true;
    }

private:
    void StoreFileName() {
        TSettingsKey key;
        if (key.OpenCreate(RegKeyParam))
            key.WriteString(SoftwareFileValue, WideToCp1251(Text(IDC_PROG_FILE)));
    }

    void Browse() {
        TFileQuestion question;
        question.Folder = L".\\Прошивки";
        const std::wstring current = Trimmed(Text(IDC_PROG_FILE));
        if (!current.empty()) {
            const std::size_t slash = current.find_last_of(L"\\/");
            question.Folder = slash == std::wstring::npos ? L"." : current.substr(0, slash);
        }
        question.Filter = L"Файлы прошивок (*.bin)\0*.bin\0Все файлы (*.*)\0*.*\0";
        question.Title = L"Открыть файл прошивки";
        question.Extension = L"bin";
        question.Flags = OFN_FILEMUSTEXIST;
        std::wstring file;
        if (AskFileName(Handle(), false, question, file)) {
            SetText(IDC_PROG_FILE, file);
            Enable(IDC_PROG_START, true);
        }
    }

    // The gauge shows the blocks written as a bar and as a percentage; the percentage is also
    // the control's text.
    void SetProgress(LONG written) {
        Written = written;
        const LONG percent = Blocks > 0 ? static_cast<LONG>(LONGLONG{written} * 100 / Blocks) : 0;
        SetText(IDC_PROG_BAR, std::to_wstring(percent) + L"%");
        InvalidateRect(Item(IDC_PROG_BAR), nullptr, FALSE);
        UpdateWindow(Item(IDC_PROG_BAR));
    }

    void DrawGauge(const DRAWITEMSTRUCT& item) {
        HDC dc = item.hDC;
        RECT box = item.rcItem;
        DrawEdge(dc, &box, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
        const LONG width = box.right - box.left;
        const LONG filled =
            Blocks > 0 ? static_cast<LONG>(LONGLONG{width} * std::min(Written, Blocks) / Blocks)
                       : 0;
        const RECT done{box.left, box.top, box.left + filled, box.bottom};
        const RECT rest{box.left + filled, box.top, box.right, box.bottom};
        FillRect(dc, &done, GetSysColorBrush(COLOR_HIGHLIGHT));
        FillRect(dc, &rest, GetSysColorBrush(COLOR_WINDOW));
        const std::wstring text = Text(IDC_PROG_BAR);
        const HGDIOBJ font =
            SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(Handle(), WM_GETFONT, 0, 0)));
        SetBkMode(dc, TRANSPARENT);
        // The text changes colour where the bar passes under it.
        for (const auto& [part, colour] :
             {std::make_pair(done, COLOR_HIGHLIGHTTEXT), std::make_pair(rest, COLOR_WINDOWTEXT)}) {
            const int saved = SaveDC(dc);
            IntersectClipRect(dc, part.left, part.top, part.right, part.bottom);
            SetTextColor(dc, GetSysColor(colour));
            RECT area = box;
            DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area,
                      DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
            RestoreDC(dc, saved);
        }
        SelectObject(dc, font);
    }

    // A step's result, in a box when the update ends there.
    void StepEnded(TFirmwareStep, int, bool failed) override {
        if (!failed)
            return;
        const std::wstring text = std::to_wstring(GetLong(Driver, &ITrelmo::get_ResultCode)) +
                                  L", " + GetString(Driver, &ITrelmo::get_ResultDescription);
        DriverMessageBox(Handle(), text, MB_OK | MB_ICONERROR);
    }

    void StartProgress(int blocks) override {
        Blocks = blocks;
        SetProgress(0);
        Show(IDC_PROG_BAR, true);
        Enable(IDC_PROG_CANCEL, true);
        Focus(IDC_PROG_CANCEL);
    }

    void BlockStarted(int) override {}

    void BlockWritten(int number) override {
        SetProgress(number);
        ProcessMessages();
    }

    bool CancelRequested() override { return Cancelling; }

    // After a failed block: Yes sends it again, No ends the update.
    bool RetryBlock(int, int, int) override {
        const std::wstring text =
            L"(" + std::to_wstring(GetLong(Driver, &ITrelmo::get_ResultCode)) + L") " +
            GetString(Driver, &ITrelmo::get_ResultDescription) + L"\r\nПродолжить выполнение?";
        if (DriverMessageBox(Handle(), text, MB_YESNO | MB_ICONWARNING) != IDYES)
            return false;
        ProcessMessages();
        return true;
    }

    void BlocksWritten(int) override {}
    void BlocksAbandoned(int, int, bool) override {}

    void Wait(int ms) override {
        Sleep(static_cast<DWORD>(ms));
        ProcessMessages();
    }

    // "Закрыть" goes first and comes back last, so that it alone tells a busy dialog. The
    // focus moves on before its control is disabled: a dialog left without one looks
    // inactive and takes no keys.
    void SetBusy(bool busy) {
        Writing = busy;
        if (busy) {
            Enable(IDC_PROG_CLOSE, false);
            Focus(IDC_PROG_FILE);
            Enable(IDC_PROG_START, false);
            Enable(IDC_PROG_BROWSE, false);
            return;
        }
        Enable(IDC_PROG_START, true);
        Enable(IDC_PROG_BROWSE, true);
        Focus(IDC_PROG_START);
        Enable(IDC_PROG_CANCEL, false);
        Show(IDC_PROG_BAR, false);
        Enable(IDC_PROG_CLOSE, true);
    }

    // The board is brought back once it answers at all: SetExchangeParam tells what is wrong.
    void Update() {
        Cancelling = false;
        SetBusy(true);
        std::wstring failure;
        try {
            const std::string image = ReadFirmware(Trimmed(Text(IDC_PROG_FILE)));
            TComFirmwareDriver firmware(Driver);
            TFirmwareWriter(firmware, *this).Update(image, TRestartAnswer::Any);
        } catch (const std::exception& e) {
            failure = Cp1251ToWide(e.what());
        }
        try {
            Call(Driver, &ITrelmo::Disconnect);
        } catch (const std::exception&) {
        }
        SetBusy(false);
        if (!failure.empty())
            DriverMessageBox(Handle(), failure, MB_OK | MB_ICONERROR);
        if (CloseAfterWrite)
            Close(IDCANCEL);
    }

    ITrelmo* Driver;
    bool Cancelling = false;
    bool Writing = false;
    bool CloseAfterWrite = false;
    LONG Blocks = 0, Written = 0;
};
} // namespace

void ShowFirmwareDialog(HWND owner, ITrelmo* driver) {
    TfmProg(driver).ShowModal(owner);
}
