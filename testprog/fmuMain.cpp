#include "fmuMain.h"

#include "testprog/fmuAbout.h"
#include "fmuStatus.h"
#include "untComCall.h"
#include "testprog/untConst.h"
#include "untPageList.h"
#include "untDpi.h"
#include "untSkavinRes.h"
#include "testprog/untUtil.h"

#include <algorithm>
#include <cwctype>

namespace {
// Pixels of the frame round the pages at 96 DPI; Scaled gives them at the screen's (the program
// is DPI-aware: nothing stretches what it places in pixels but itself).
const int Margin = 8, ListWidth = 170, LabelWidth = 70, LabelHeight = 16, FieldHeight = 22,
          RowHeight = 26, ButtonWidth = 120, ButtonHeight = 25, MinimumPageHeight = 200;
const int ResultRows = 4;
// The frames sent and received are shown whole: a data block's takes three lines.
const int FrameLines = 3;
const bool FrameRow[ResultRows] = {false, true, true, false};
// Every page keeps this margin, in dialog units, above its controls and right of them; the
// window lets it overlap its own, so that the page's top row starts level with the page list
// and its button column ends under the window's buttons.
const RECT PageMargin{0, 4, 4, 0};

const UINT_PTR CloseRetryTimer = 1;

const int ResultFields[] = {IDC_MAIN_RESULT, IDC_MAIN_OUTPUT, IDC_MAIN_INPUT, IDC_MAIN_TIME};
const int ResultLabels[] = {IDC_MAIN_RESULT_LABEL, IDC_MAIN_OUTPUT_LABEL, IDC_MAIN_INPUT_LABEL,
                            IDC_MAIN_TIME_LABEL};
const int Buttons[] = {IDC_MAIN_ABOUT, IDC_MAIN_PROPERTIES, IDC_MAIN_CLOSE};

class TPanel : public TForm {
public:
    TPanel() : TForm(IDD_PANEL, L"pnlData") {}
};

SIZE WindowSize(HWND window) {
    RECT box{};
    GetWindowRect(window, &box);
    return {box.right - box.left, box.bottom - box.top};
}
} // namespace

TfmMain::TfmMain() : TForm(IDD_MAIN, L"fmMain") {}

TfmMain::~TfmMain() = default;

void TfmMain::OnInit() {
    SetMainWindow(Handle());
    Pages = std::make_unique<TPages>();
    Pages->OnUpdate = [this] { UpdateResult(); };
    Panel = std::make_unique<TPanel>();
    Panel->Create(Handle());
    SetWindowLongPtrW(Panel->Handle(), GWLP_ID, IDC_MAIN_DATA);
    for (std::unique_ptr<TPage>& page : CreatePages())
        AddPage(std::move(page));
    FitToPages();
    UpdatePageList();
    int index = LoadParams(Handle(), RegistryKey);
    if (index < 0 || index >= Pages->Count())
        index = 0;
    ShowPage(index);
    CenterOnScreen();
}

void TfmMain::FormCreate(const std::wstring& firstArgument) {
    std::wstring upper = firstArgument;
    for (wchar_t& c : upper)
        c = static_cast<wchar_t>(std::towupper(c));
    if (upper == L"-AUTO" && Pages->Count() > 0)
        ShowPage(Pages->Count() - 1);
}

void TfmMain::AddPage(std::unique_ptr<TPage> page) {
    page->Create(Panel->Handle());
    const SIZE size = WindowSize(page->Handle());
    PageArea.cx = std::max(PageArea.cx, size.cx);
    PageArea.cy = std::max(PageArea.cy, size.cy);
    Pages->Add(std::move(page));
}

// The window grows to what the largest page needs, and never gets smaller.
void TfmMain::FitToPages() {
    const SIZE inset = PageInset();
    const int height = std::max<int>(PageArea.cy - inset.cy, Scaled(MinimumPageHeight));
    const int margin = Scaled(Margin);
    RECT box{0, 0, margin + Scaled(ListWidth) + margin + PageArea.cx - inset.cx + margin,
             margin + height + margin + ResultsHeight() + margin};
    AdjustWindowRectEx(&box, static_cast<DWORD>(GetWindowLongW(Handle(), GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongW(Handle(), GWL_EXSTYLE)));
    MinimumSize = {box.right - box.left, box.bottom - box.top};
    SetWindowPos(Handle(), nullptr, 0, 0, MinimumSize.cx, MinimumSize.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The pages' own margin in pixels: on the right (cx) and at the top (cy).
SIZE TfmMain::PageInset() const {
    RECT margin = PageMargin;
    MapDialogRect(Panel->Handle(), &margin);
    return {margin.right, margin.top};
}

// The extra height of a row that holds a frame.
int TfmMain::FrameExtra() const {
    HWND field = Item(IDC_MAIN_OUTPUT);
    HDC dc = GetDC(field);
    HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(field, WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(field, dc);
    return (FrameLines - 1) * metrics.tmHeight;
}

int TfmMain::ResultsHeight() const {
    int height = 0;
    for (bool frame : FrameRow)
        height += Scaled(RowHeight) + (frame ? FrameExtra() : 0);
    return height;
}

void TfmMain::OnSize(int width, int height) {
    const int margin = Scaled(Margin);
    const int bottom = ResultsHeight() + margin;
    const int areaHeight = height - margin - margin - bottom;
    MoveWindow(Item(IDC_MAIN_LIST), margin, margin, Scaled(ListWidth), areaHeight, TRUE);
    const int areaLeft = margin + Scaled(ListWidth) + margin;
    const SIZE inset = PageInset();
    const int panelWidth = width - areaLeft - margin + inset.cx;
    const int panelHeight = areaHeight + inset.cy;
    MoveWindow(Panel->Handle(), areaLeft, margin - inset.cy, panelWidth, panelHeight, TRUE);
    if (ShownPage >= 0)
        MoveWindow(Pages->Item(ShownPage)->Handle(), 0, 0, panelWidth, panelHeight, TRUE);
    const int buttonLeft = width - margin - Scaled(ButtonWidth);
    const int fieldLeft = margin + Scaled(LabelWidth) + Scaled(6);
    // Labels stand level with their field's first line.
    const int labelDrop = (Scaled(FieldHeight) - Scaled(LabelHeight)) / 2 + Scaled(1);
    const int extra = FrameExtra();
    // The About and properties buttons beside the first two rows, the close button the last.
    const int buttonRows[ResultRows] = {0, 1, -1, 2};
    int y = margin + areaHeight + margin;
    for (int row = 0; row < ResultRows; ++row) {
        const int more = FrameRow[row] ? extra : 0;
        MoveWindow(Item(ResultLabels[row]), margin, y + labelDrop, Scaled(LabelWidth),
                   Scaled(LabelHeight), TRUE);
        MoveWindow(Item(ResultFields[row]), fieldLeft, y, buttonLeft - margin - fieldLeft,
                   Scaled(FieldHeight) + more, TRUE);
        if (buttonRows[row] >= 0)
            MoveWindow(Item(Buttons[buttonRows[row]]), buttonLeft, y, Scaled(ButtonWidth),
                       Scaled(ButtonHeight), TRUE);
        y += Scaled(RowHeight) + more;
    }
}

void TfmMain::UpdatePageList() {
    HWND list = Item(IDC_MAIN_LIST);
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    for (int i = 0; i < Pages->Count(); ++i) {
        const std::wstring line = std::to_wstring(i + 1) + L". " + Pages->Item(i)->Caption();
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    }
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
    if (Pages->Count() > 0)
        ShowPage(0);
}

void TfmMain::ShowPage(int index) {
    if (index == ShownPage)
        return;
    const bool valid = index >= 0 && index < Pages->Count();
    if (valid) {
        RECT area{};
        GetClientRect(Panel->Handle(), &area);
        TPage* page = Pages->Item(index);
        SetWindowPos(page->Handle(), HWND_TOP, 0, 0, area.right, area.bottom, SWP_SHOWWINDOW);
    }
    if (ShownPage >= 0 && ShownPage < Pages->Count())
        ShowWindow(Pages->Item(ShownPage)->Handle(), SW_HIDE);
    ShownPage = index;
    SendMessageW(Item(IDC_MAIN_LIST), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    if (valid)
        Pages->Item(index)->PageShown();
}

void TfmMain::ClearResult() {
    for (int id : ResultFields)
        SetText(id, L"");
}

// The fields show the driver's last call; before the first operation there is nothing to show
// and nothing is created for it.
void TfmMain::UpdateResult() {
    ITrelmo* driver = Pages->CreatedDriver();
    if (!driver)
        return;
    SetText(IDC_MAIN_INPUT, GetString(driver, &ITrelmo::get_Input));
    SetText(IDC_MAIN_OUTPUT, GetString(driver, &ITrelmo::get_Output));
    SetText(IDC_MAIN_TIME, std::to_wstring(GetLong(driver, &ITrelmo::get_ExecutionTime)));
    SetText(IDC_MAIN_RESULT, L"(" + std::to_wstring(GetLong(driver, &ITrelmo::get_ResultCode)) +
                                 L") " + GetString(driver, &ITrelmo::get_ResultDescription));
}

void TfmMain::ListBoxClick() {
    ClearResult();
    ShowPage(static_cast<int>(SendMessageW(Item(IDC_MAIN_LIST), LB_GETCURSEL, 0, 0)));
}

void TfmMain::btnAboutClick() {
    ShowProgramAbout(Handle(), Pages->Driver());
}

void TfmMain::btnPropertiesClick() {
    ITrelmo* driver = Pages->Driver();
    PutLong(driver, &ITrelmo::put_ParentWnd,
            static_cast<LONG>(reinterpret_cast<LONG_PTR>(Handle())));
    Call(driver, &ITrelmo::ShowProperties); // its result is not shown
}

bool TfmMain::OnCommand(int id, int code) {
    switch (id) {
    case IDC_MAIN_LIST:
        if (code == LBN_SELCHANGE)
            ListBoxClick();
        return true;
    case IDC_MAIN_ABOUT:
        btnAboutClick();
        return true;
    case IDC_MAIN_PROPERTIES:
        btnPropertiesClick();
        return true;
    case IDC_MAIN_CLOSE:
        OnClose();
        return true;
    case IDCANCEL: // Esc does not close the program
        return true;
    case IDOK:
        PressDefaultButton();
        return true;
    default:
        return ForwardKeyPress(id);
    }
}

// Enter reaches the main window's dialog manager, not the page's: it presses the shown page's
// default button.
void TfmMain::PressDefaultButton() {
    if (ShownPage < 0)
        return;
    for (HWND child = GetWindow(Pages->Item(ShownPage)->Handle(), GW_CHILD); child;
         child = GetWindow(child, GW_HWNDNEXT))
        if ((GetWindowLongPtrW(child, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON &&
            IsWindowEnabled(child) && IsWindowVisible(child)) {
            SendMessageW(child, BM_CLICK, 0, 0);
            return;
        }
}

// Enter on a page's focused button comes here by the button's identifier: it goes to the page.
bool TfmMain::ForwardKeyPress(int id) {
    HWND control = Item(id);
    if (!control || GetParent(control) == Handle())
        return false;
    SendMessageW(GetParent(control), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(control));
    return true;
}

// A page loop that pumps messages runs inside this window's handlers: the window goes only
// once the loops have stopped.
void TfmMain::OnClose() {
    bool busy = false;
    for (TPage* page : Pages->Items())
        if (page->Busy()) {
            page->RequestStop();
            busy = true;
        }
    if (busy)
        SetTimer(Handle(), CloseRetryTimer, 50, nullptr);
    else
        DestroyWindow(Handle());
}

void TfmMain::OnTimer(UINT_PTR id) {
    if (id == CloseRetryTimer) {
        KillTimer(Handle(), CloseRetryTimer);
        OnClose();
    }
}

void TfmMain::FormDestroy() {
    CloseStatusForm();
    SaveParams(Handle(), static_cast<int>(SendMessageW(Item(IDC_MAIN_LIST), LB_GETCURSEL, 0, 0)),
               RegistryKey);
    Pages.reset();
    SetMainWindow(nullptr);
    PostQuitMessage(0);
}

bool TfmMain::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    (void)wParam;
    switch (message) {
    case WM_GETMINMAXINFO: {
        auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
        limits->ptMinTrackSize = {MinimumSize.cx, MinimumSize.cy};
        result = 0;
        return true;
    }
    case WM_DESTROY:
        FormDestroy();
        return true;
    default:
        return false;
    }
}
