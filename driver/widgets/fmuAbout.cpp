#include "driver/widgets/fmuAbout.h"

#include "untDialog.h"
#include "untHolders.h"
#include "untModule.h"
#include "untWidgetsRes.h"

#include <shellapi.h>

#include <algorithm>

namespace {
const wchar_t WebAddress[] = L"http://www.varnok.example";
const wchar_t SupportAddress[] = L"mailto:support@varnok.example";

// The controls sit in pixels because the box paints its panel and rules in pixels: in dialog
// units they would move against them with the font's size. Pixels at 96 DPI, scaled.
struct TPlace {
    int Id, X, Y, Width, Height;
};
const TPlace Layout[] = {
    {IDC_ABOUT_NAME, 90, 3, 240, 21},      {IDC_ABOUT_VERSIONS, 90, 36, 238, 46},
    {IDC_ABOUT_FRAME, 90, 88, 238, 100},   {IDC_ABOUT_FIRM, 98, 96, 222, 14},
    {IDC_ABOUT_ADDRESS, 98, 112, 222, 28}, {IDC_ABOUT_WEBSITE, 98, 146, 66, 14},
    {IDC_ABOUT_URL, 166, 146, 154, 14},    {IDC_ABOUT_SUPPORT, 98, 164, 66, 14},
    {IDC_ABOUT_MAIL, 166, 164, 154, 14},   {IDOK, 252, 203, 75, 23},
};

using TFont = TGdiObject<HFONT>;

class TfmAbout : public TDialog {
public:
    TfmAbout(const std::wstring& name, const std::vector<std::wstring>& versions)
        : TDialog(IDD_ABOUT), Name(name), Versions(versions) {}

protected:
    void OnInit() override {
        SetClientSize(Scaled(335), Scaled(232));
        CenterOnScreen();
        for (const TPlace& place : Layout)
            MoveWindow(Item(place.Id), Scaled(place.X), Scaled(place.Y), Scaled(place.Width),
                       Scaled(place.Height), FALSE);
        Logo.Reset(static_cast<HBITMAP>(
            LoadImageW(ModuleInstance(), L"LOGOBMP", IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
        SetText(IDC_ABOUT_NAME, Name);
        for (const std::wstring& line : Versions)
            SendMessageW(Item(IDC_ABOUT_VERSIONS), LB_ADDSTRING, 0,
                         reinterpret_cast<LPARAM>(line.c_str()));
        NameFont = NameLineFont();
        LinkFont = DerivedFont(0, FW_NORMAL, true);
        SendMessageW(Item(IDC_ABOUT_NAME), WM_SETFONT, reinterpret_cast<WPARAM>(NameFont.Get()),
                     TRUE);
        for (int id : {IDC_ABOUT_URL, IDC_ABOUT_MAIL}) {
            SendMessageW(Item(id), WM_SETFONT, reinterpret_cast<WPARAM>(LinkFont.Get()), TRUE);
            FitToText(id);
        }
    }

    bool OnCommand(int id, int code) override {
        if (id == IDOK || id == IDCANCEL) {
            Close(id);
            return true;
        }
        if (code == STN_CLICKED && (id == IDC_ABOUT_URL || id == IDC_ABOUT_MAIL)) {
            ShellExecuteW(Handle(), L"open", id == IDC_ABOUT_URL ? WebAddress : SupportAddress,
                          nullptr, nullptr, SW_SHOWNORMAL);
            return true;
        }
        return false;
    }

    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override {
        switch (message) {
        case WM_PAINT:
            Paint();
            return true;
        case WM_CTLCOLORSTATIC: {
            const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
            if (id != IDC_ABOUT_NAME && id != IDC_ABOUT_URL && id != IDC_ABOUT_MAIL)
                return false;
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, id == IDC_ABOUT_NAME ? RGB(0, 0, 128) : RGB(0, 0, 255));
            SetBkMode(dc, TRANSPARENT);
            result = reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
            return true;
        }
        case WM_SETCURSOR: {
            const int id = GetDlgCtrlID(reinterpret_cast<HWND>(wParam));
            if (id != IDC_ABOUT_URL && id != IDC_ABOUT_MAIL)
                return false;
            SetCursor(LoadCursorW(nullptr, IDC_HAND));
            result = TRUE;
            SetWindowLongPtrW(Handle(), DWLP_MSGRESULT, TRUE);
            return true;
        }
        default:
            return false;
        }
    }

private:
    // A link as wide as its text, so its underline and its hand cursor end where the text does.
    void FitToText(int id) {
        HWND link = Item(id);
        RECT box{};
        GetWindowRect(link, &box);
        MapWindowPoints(nullptr, Handle(), reinterpret_cast<POINT*>(&box), 2);
        const int width = std::min(static_cast<int>(box.right - box.left),
                                   TextWidthIn(link, TDialog::Text(id)));
        SetWindowPos(link, nullptr, 0, 0, width, box.bottom - box.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    TFont DerivedFont(int largerBy, int weight, bool underline) {
        return TFont(CreateVariantFont(Handle(), weight, underline, largerBy));
    }

    // The large bold name font, smaller for a long name so that the whole line shows.
    TFont NameLineFont() {
        RECT label{};
        GetClientRect(Item(IDC_ABOUT_NAME), &label);
        for (int larger = 4;; --larger) {
            TFont font = DerivedFont(larger, FW_BOLD, false);
            SIZE size{};
            {
                const TWindowDc dc(Handle());
                HGDIOBJ old = SelectObject(dc.Get(), font.Get());
                GetTextExtentPoint32W(dc.Get(), Name.c_str(), static_cast<int>(Name.size()), &size);
                SelectObject(dc.Get(), old);
            }
            if (size.cx <= label.right || larger == 0)
                return font;
        }
    }

    // Pixels at 96 DPI, scaled; x1 may be the client's edge, already in pixels.
    void Line(HDC dc, int x0, int y0, int x1, int y1, bool edge = false) {
        MoveToEx(dc, Scaled(x0), Scaled(y0), nullptr);
        LineTo(dc, edge ? x1 : Scaled(x1), Scaled(y1));
    }

    void Paint() {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(Handle(), &paint);
        RECT client{};
        GetClientRect(Handle(), &client);
        RECT panel{Scaled(5), Scaled(7), Scaled(81), Scaled(190)};
        FillRect(dc, &panel, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        {
            const TGdiObject<HPEN> grey(CreatePen(PS_SOLID, 1, RGB(128, 128, 128)));
            HGDIOBJ old = SelectObject(dc, grey.Get());
            Line(dc, 5, 7, 81, 7);
            Line(dc, 5, 7, 5, 190);
            SelectObject(dc, GetStockObject(BLACK_PEN));
            Line(dc, 88, 26, client.right, 26, true);
            Line(dc, 88, 28, client.right, 28, true);
            Line(dc, 0, 196, client.right, 196, true);
            SelectObject(dc, old);
        }
        if (Logo) {
            const TMemoryDc memory(CreateCompatibleDC(dc));
            HGDIOBJ previous = SelectObject(memory.Get(), Logo.Get());
            BITMAP info{};
            GetObjectW(Logo.Get(), sizeof info, &info);
            SetStretchBltMode(dc, HALFTONE);
            StretchBlt(dc, Scaled(10), Scaled(15), Scaled(info.bmWidth), Scaled(info.bmHeight),
                       memory.Get(), 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
            SelectObject(memory.Get(), previous);
        }
        EndPaint(Handle(), &paint);
    }

    std::wstring Name;
    std::vector<std::wstring> Versions;
    TGdiObject<HBITMAP> Logo;
    TFont NameFont, LinkFont;
};
} // namespace

void ShowAboutBox(HWND owner, const std::wstring& name, const std::vector<std::wstring>& versions) {
    TfmAbout(name, versions).ShowModal(owner);
}
