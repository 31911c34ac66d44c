// Whether a window's layout holds on this desktop: every control's text fits the control, no
// two controls overlap, every control lies inside its dialog and the window inside the screen.
// The GUI tests run it at each screenshot, at every DPI the tests run at, so a layout that only
// works with one font size fails where the picture would show it cut.
//
// Text is measured in the control's font. In the program that owns the window that is the font
// the control holds; another program cannot use that handle and names an equivalent font of its
// own through a TFontOf.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

namespace guifit {

// The font to measure a control's text with, in this program; nullptr when the checker cannot
// know it (a failure: an unmeasured control would pass unseen), NotMeasured for a control that
// sizes its own font to fit.
using TFontOf = std::function<HFONT(HWND control)>;
inline const HFONT NotMeasured = reinterpret_cast<HFONT>(~static_cast<UINT_PTR>(0));

inline std::string Utf8(const std::wstring& text) {
    std::string out(static_cast<std::size_t>(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1,
                                                                 nullptr, 0, nullptr, nullptr)),
                    '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], static_cast<int>(out.size()),
                        nullptr, nullptr);
    out.pop_back();
    return out;
}

inline std::wstring TextOf(HWND window) {
    std::wstring text(static_cast<std::size_t>(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0)) + 1,
                      L'\0');
    text.resize(static_cast<std::size_t>(
        SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]))));
    return text;
}

inline std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

inline bool IsClass(HWND window, const wchar_t* name) {
    return _wcsicmp(ClassOf(window).c_str(), name) == 0;
}

inline int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

// Pixels at 96 DPI, as many at this desktop's.
inline int Scaled(int pixels) {
    return MulDiv(pixels, ScreenDpi(), 96);
}

// The message font, which message boxes use, as this program would create it.
inline HFONT MessageFont() {
    static HFONT font = [] {
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof metrics;
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
        return CreateFontIndirectW(&metrics.lfMessageFont);
    }();
    return font;
}

// The dialog templates' font, FONT 8, "MS Shell Dlg", at this desktop's DPI.
inline HFONT DialogFont() {
    static HFONT font = CreateFontW(-MulDiv(8, ScreenDpi(), 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                                    FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                                    L"MS Shell Dlg");
    return font;
}

// In the program that owns the window: the control's own font, the system font when it has none.
inline HFONT OwnFont(HWND control) {
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    return font ? font : static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
}

class TChecker {
public:
    TChecker(TFontOf fontOf, bool ownProcess) : FontOf(std::move(fontOf)), Own(ownProcess) {}

    std::vector<std::string> Check(HWND top) {
        Problems.clear();
        // The system's file dialogs are laid out by the system, not by us.
        bool shellView = false;
        EnumChildWindows(top, FindShellView, reinterpret_cast<LPARAM>(&shellView));
        if (shellView)
            return Problems;
        RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        RECT box{};
        GetWindowRect(top, &box);
        if (!Inside(box, screen))
            Problem(top, "the window reaches past the screen (" + Rect(box) + ")");
        CheckChildren(top);
        return Problems;
    }

private:
    TFontOf FontOf;
    bool Own;
    std::vector<std::string> Problems;
    std::string Font; // the last measure's

    static BOOL CALLBACK FindShellView(HWND window, LPARAM found) {
        *reinterpret_cast<bool*>(found) = IsClass(window, L"SHELLDLL_DefView");
        return !*reinterpret_cast<bool*>(found);
    }

    static std::string Rect(const RECT& r) {
        return std::to_string(r.left) + "," + std::to_string(r.top) + " " +
               std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top);
    }

    static bool Inside(const RECT& inner, const RECT& outer) {
        return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
               inner.bottom <= outer.bottom;
    }

    void Problem(HWND control, const std::string& what) {
        Problems.push_back(Utf8(ClassOf(control)) + " " + std::to_string(GetDlgCtrlID(control)) +
                           " \"" + Utf8(TextOf(control)) + "\": " + what);
    }

    // Shown by their own style: a window laid out before it is shown is checked too.
    static std::vector<HWND> VisibleChildren(HWND parent) {
        std::vector<HWND> children;
        for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            if (GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE)
                children.push_back(child);
        return children;
    }

    // Controls made to sit on others: frames drawn around them, tabs holding them, arrows joined
    // to their edit box.
    static bool Encloses(HWND window) {
        const LONG style = GetWindowLongW(window, GWL_STYLE);
        if (IsClass(window, L"Button"))
            return (style & BS_TYPEMASK) == BS_GROUPBOX;
        if (IsClass(window, L"Static")) {
            const LONG type = style & SS_TYPEMASK;
            return type != SS_LEFT && type != SS_CENTER && type != SS_RIGHT &&
                   type != SS_LEFTNOWORDWRAP && type != SS_SIMPLE;
        }
        return IsClass(window, WC_TABCONTROLW) || IsClass(window, UPDOWN_CLASSW);
    }

    void CheckChildren(HWND parent) {
        const std::vector<HWND> children = VisibleChildren(parent);
        // Controls scroll inside lists and grids; only a dialog lays its children out.
        const bool layout = IsClass(parent, L"#32770") || GetParent(parent) == nullptr;
        RECT client{};
        GetClientRect(parent, &client);
        MapWindowPoints(parent, nullptr, reinterpret_cast<POINT*>(&client), 2);
        for (std::size_t i = 0; i < children.size(); ++i) {
            HWND child = children[i];
            RECT box{};
            GetWindowRect(child, &box);
            if (layout && !Inside(box, client) && !IsClass(child, STATUSCLASSNAMEW))
                Problem(child, "reaches past its dialog (" + Rect(box) + " in " + Rect(client) + ")");
            for (std::size_t j = i + 1; layout && j < children.size(); ++j) {
                RECT other{}, common{};
                GetWindowRect(children[j], &other);
                if (!Encloses(child) && !Encloses(children[j]) &&
                    IntersectRect(&common, &box, &other))
                    Problem(child, "overlaps " + Utf8(ClassOf(children[j])) + " " +
                                       std::to_string(GetDlgCtrlID(children[j])) + " \"" +
                                       Utf8(TextOf(children[j])) + "\"");
            }
            CheckText(child);
            CheckChildren(child);
        }
    }

    struct TMeasure {
        SIZE text{};
        int lineHeight = 0;
        int leading = 0; // room above the letters within a line's height
        std::string font; // face and height, for the report
    };

    bool Measure(HWND control, const std::wstring& text, UINT format, int wrapWidth,
                 TMeasure& out) {
        HFONT font = FontOf(control);
        if (font == NotMeasured)
            return false;
        if (!font) {
            Problem(control, "its font is unknown to the check");
            return false;
        }
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, font);
        RECT box{0, 0, wrapWidth > 0 ? wrapWidth : 0, 0};
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box,
                  format | DT_CALCRECT | DT_EXPANDTABS | (wrapWidth > 0 ? DT_WORDBREAK
                                                                        : DT_SINGLELINE));
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc, &metrics);
        wchar_t face[LF_FACESIZE] = {};
        GetTextFaceW(dc, LF_FACESIZE, face);
        SelectObject(dc, old);
        DeleteDC(dc);
        out.text = {box.right - box.left, box.bottom - box.top};
        out.lineHeight = metrics.tmHeight;
        out.leading = metrics.tmInternalLeading;
        out.font = " (" + Utf8(face) + " " + std::to_string(metrics.tmHeight) + " px" +
                   (metrics.tmWeight >= FW_BOLD ? " bold)" : ")");
        Font = out.font;
        return true;
    }

    void Need(HWND control, const char* what, int needed, int has) {
        if (needed > has)
            Problem(control, std::string(what) + " needs " + std::to_string(needed) + " px, has " +
                                 std::to_string(has) + Font);
    }

    void CheckText(HWND control) {
        const std::wstring text = TextOf(control);
        const LONG style = GetWindowLongW(control, GWL_STYLE);
        RECT client{};
        GetClientRect(control, &client);
        TMeasure m;
        if (IsClass(control, L"Button")) {
            const LONG type = style & BS_TYPEMASK;
            if (text.empty() || (style & (BS_ICON | BS_BITMAP)) || type == BS_OWNERDRAW)
                return;
            if (!Measure(control, text, 0, (style & BS_MULTILINE) ? client.right : 0, m))
                return;
            if (type == BS_GROUPBOX) {
                Need(control, "the frame's caption", m.text.cx + Scaled(16), client.right);
            } else if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON || (style & BS_PUSHLIKE)) {
                // The margin a wider font than this desktop's needs.
                Need(control, "the caption with its margins", m.text.cx + 2 * Scaled(6),
                     client.right);
                Need(control, "the caption's height", m.text.cy - m.leading + Scaled(4),
                     client.bottom);
            } else {
                Need(control, "the box and its caption",
                     GetSystemMetrics(SM_CXMENUCHECK) + Scaled(4) + m.text.cx, client.right);
                Need(control, "the caption's height", m.text.cy - m.leading, client.bottom);
            }
        } else if (IsClass(control, L"Static")) {
            const LONG type = style & SS_TYPEMASK;
            if (text.empty() || (style & SS_ELLIPSISMASK) ||
                (type != SS_LEFT && type != SS_CENTER && type != SS_RIGHT &&
                 type != SS_LEFTNOWORDWRAP && type != SS_SIMPLE))
                return;
            const bool wraps = type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT;
            if (!Measure(control, text, (style & SS_NOPREFIX) ? DT_NOPREFIX : 0,
                         wraps ? client.right : 0, m))
                return;
            Need(control, "the text", m.text.cx, client.right);
            Need(control, "the text's height", m.text.cy - m.leading, client.bottom);
        } else if (IsClass(control, L"Edit")) {
            // What a user types may scroll; what the program shows must be seen whole.
            if (text.empty() || !(style & ES_READONLY) || (style & ES_MULTILINE))
                return;
            if (!Measure(control, text, DT_NOPREFIX, 0, m))
                return;
            const LRESULT margins = SendMessageW(control, EM_GETMARGINS, 0, 0);
            Need(control, "the text", m.text.cx + LOWORD(margins) + HIWORD(margins) + 2,
                 client.right);
            Need(control, "the text's height", m.lineHeight - m.leading, client.bottom);
        } else if (IsClass(control, L"ComboBox")) {
            CheckCombo(control, client);
        } else if (Own && IsClass(control, WC_LISTVIEWW)) {
            CheckColumns(control);
        }
    }

    void CheckCombo(HWND combo, const RECT& client) {
        const int count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
        const int dropped = static_cast<int>(SendMessageW(combo, CB_GETDROPPEDWIDTH, 0, 0));
        const int arrow = GetSystemMetrics(SM_CXVSCROLL);
        for (int i = 0; i < count; ++i) {
            const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, i, 0);
            if (length <= 0)
                continue;
            std::wstring item(static_cast<std::size_t>(length) + 1, L'\0');
            item.resize(static_cast<std::size_t>(
                SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(&item[0]))));
            TMeasure m;
            if (!Measure(combo, item, DT_NOPREFIX, 0, m))
                return;
            const int needed = m.text.cx + Scaled(6);
            if (needed + arrow > client.right || needed > dropped)
                Problem(combo, "item \"" + Utf8(item) + "\" needs " + std::to_string(needed) +
                                   " px and the arrow, has " + std::to_string(client.right) +
                                   " (list " + std::to_string(dropped) + ")");
        }
    }

    // Header texts within their columns (the header's items live in this process only).
    void CheckColumns(HWND list) {
        HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
        const int count = header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
        for (int i = 0; i < count; ++i) {
            wchar_t caption[128] = {};
            HDITEMW item{};
            item.mask = HDI_TEXT | HDI_WIDTH;
            item.pszText = caption;
            item.cchTextMax = 128;
            SendMessageW(header, HDM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
            TMeasure m;
            if (caption[0] && Measure(list, caption, DT_NOPREFIX, 0, m) &&
                m.text.cx + Scaled(12) > item.cxy)
                Problem(list, "column \"" + Utf8(caption) + "\" needs " +
                                  std::to_string(m.text.cx + Scaled(12)) + " px, has " +
                                  std::to_string(item.cxy));
        }
    }
};

// The layout problems of `top`, a window of this program.
inline std::vector<std::string> OwnProblems(HWND top) {
    return TChecker(OwnFont, true).Check(top);
}

inline std::string Describe(const std::vector<std::string>& problems) {
    std::string text;
    for (const std::string& p : problems)
        text += "\n  " + p;
    return text;
}

} // namespace guifit
