#include "untDpi.h"

#include "untHolders.h"

int Scaled(int pixels) {
    static const int dpi = [] {
        HDC screen = GetDC(nullptr);
        const int value = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
        if (screen)
            ReleaseDC(nullptr, screen);
        return value > 0 ? value : 96;
    }();
    return MulDiv(pixels, dpi, 96);
}

int TextWidthIn(HWND window, const std::wstring& text) {
    const TWindowDc dc(window);
    if (!dc.Get())
        return 0;
    HGDIOBJ old = SelectObject(
        dc.Get(), reinterpret_cast<HGDIOBJ>(SendMessageW(window, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc.Get(), text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc.Get(), old);
    return size.cx;
}

HFONT CreateVariantFont(HWND window, int weight, bool underline, int largerByPoints) {
    HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageW(window, WM_GETFONT, 0, 0));
    if (!font)
        font = GetStockObject(DEFAULT_GUI_FONT);
    LOGFONTW shape{};
    if (!GetObjectW(font, sizeof shape, &shape))
        return nullptr;
    {
        const TWindowDc dc(window);
        HGDIOBJ old = SelectObject(dc.Get(), font);
        wchar_t face[LF_FACESIZE] = {};
        if (GetTextFaceW(dc.Get(), LF_FACESIZE, face) > 0)
            lstrcpynW(shape.lfFaceName, face, LF_FACESIZE);
        if (largerByPoints != 0)
            shape.lfHeight -= MulDiv(largerByPoints, GetDeviceCaps(dc.Get(), LOGPIXELSY), 72);
        SelectObject(dc.Get(), old);
    }
    shape.lfWeight = weight;
    shape.lfUnderline = underline;
    return CreateFontIndirectW(&shape);
}
