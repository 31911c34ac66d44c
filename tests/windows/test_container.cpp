// The driver object as an ActiveX control in a container we did not write: the system's ATL
// host (atl.dll, loaded at run time), once through AtlAxCreateControlEx into a window of ours
// and once through ATL's own AtlAxWin window class. Checks that the host gets the object, that
// the control's window is a 40 x 40 child showing the library's bitmap on a raised frame (as
// IViewObject::Draw paints it too), that the hosted object drives the virtual board, and that
// closing the host frees every object.
//
//   test_container <port number> <board serial number>
//
// Registers Trelmo.dll from its own folder and unregisters it at the end. Before closing the
// host it prints "SCREENSHOT container" and waits for a line on stdin.
#include "TrelmoLib_TLB.h"
#include "comtest.h"
#include "guihand.h"

#include <ole2.h>
#include <olectl.h>
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace comtest;
using guihand::Pump;
using guihand::WaitForScreenshot;

namespace {

constexpr int ControlSize = 40;
constexpr wchar_t ProgId[] = L"Addin.Trelmo";
int Failures = 0;

bool Check(bool ok, const char* format, ...) {
    std::printf("%s ", ok ? "ok  " : "FAIL");
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::printf("\n");
    std::fflush(stdout);
    Failures += ok ? 0 : 1;
    return ok;
}

HRESULT CallServerExport(const char* name) {
    HMODULE module = LoadLibraryW(LibraryPath().c_str());
    auto function = Export<HRESULT(STDAPICALLTYPE*)()>(module, name);
    const HRESULT result = function ? function() : HRESULT_FROM_WIN32(GetLastError());
    if (module)
        FreeLibrary(module);
    return result;
}

// DllCanUnloadNow of the copy COM loaded: S_OK only once every object of the library is gone.
HRESULT CanUnloadNow() {
    auto function =
        Export<HRESULT(STDAPICALLTYPE*)()>(GetModuleHandleW(L"Trelmo.dll"), "DllCanUnloadNow");
    return function ? function() : E_FAIL;
}

struct TAtl {
    BOOL(WINAPI* AxWinInit)() = nullptr;
    HRESULT(WINAPI* AxCreateControlEx)
    (LPCOLESTR, HWND, IStream*, IUnknown**, IUnknown**, REFIID, IUnknown*) = nullptr;
    HRESULT(WINAPI* AxGetControl)(HWND, IUnknown**) = nullptr;

    // Never freed: the AtlAxWin class it registers points into it until the process ends.
    bool Load() {
        HMODULE module = LoadLibraryW(L"atl.dll");
        AxWinInit = Export<decltype(AxWinInit)>(module, "AtlAxWinInit");
        AxCreateControlEx = Export<decltype(AxCreateControlEx)>(module, "AtlAxCreateControlEx");
        AxGetControl = Export<decltype(AxGetControl)>(module, "AtlAxGetControl");
        return Check(AxWinInit && AxCreateControlEx && AxGetControl,
                     "atl.dll with AtlAxWinInit, AtlAxCreateControlEx, AtlAxGetControl");
    }
};

void PumpMessages(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    do {
        Pump();
        Sleep(10);
    } while (GetTickCount() - start < milliseconds);
}

HWND CreatePlainWindow(const wchar_t* className, const wchar_t* title, DWORD style, int x, int y,
                       int width, int height, HWND parent) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE); // a form, as containers have
    windowClass.lpszClassName = className;
    RegisterClassExW(&windowClass);
    return CreateWindowExW(0, className, title, style, x, y, width, height, parent, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

// ---------------------------------------------------------------- pictures

using TPicture = std::vector<COLORREF>; // ControlSize x ControlSize, rows from the top

// A 32-bit top-down DIB section selected into a memory DC, for reading back what was drawn.
class TCanvas {
public:
    TCanvas() {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = ControlSize;
        info.bmiHeader.biHeight = -ControlSize;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        Dc = CreateCompatibleDC(nullptr);
        Bitmap = CreateDIBSection(Dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&Bits),
                                  nullptr, 0);
        Old = SelectObject(Dc, Bitmap);
    }
    ~TCanvas() {
        SelectObject(Dc, Old);
        DeleteObject(Bitmap);
        DeleteDC(Dc);
    }
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    HDC Dc = nullptr;
    TPicture Picture() const {
        GdiFlush();
        TPicture picture;
        for (int i = 0; i < ControlSize * ControlSize; ++i)
            picture.push_back(RGB(Bits[i] >> 16 & 0xFF, Bits[i] >> 8 & 0xFF, Bits[i] & 0xFF));
        return picture;
    }

private:
    HBITMAP Bitmap = nullptr;
    HGDIOBJ Old = nullptr;
    DWORD* Bits = nullptr;
};

// What the control must show, from the library's bitmap resource: a frame light on the top
// and left and dark on the bottom and right, button face inside, and the bitmap centred with
// its bottom-left pixel's colour transparent.
TPicture ExpectedPicture() {
    TPicture picture(ControlSize * ControlSize, GetSysColor(COLOR_BTNFACE));
    const int last = ControlSize - 1;
    for (int i = 0; i < ControlSize; ++i) {
        picture[i] = picture[i * ControlSize] = GetSysColor(COLOR_BTNHIGHLIGHT);
        picture[i * ControlSize + last] = picture[last * ControlSize + i] =
            GetSysColor(COLOR_BTNSHADOW);
    }
    picture[last] = picture[last * ControlSize] = GetSysColor(COLOR_BTNSHADOW);

    auto bitmap =
        static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(L"Trelmo.dll"), MAKEINTRESOURCEW(1),
                                        IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    BITMAP info{};
    GetObjectW(bitmap, sizeof info, &info);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    const COLORREF transparent = GetPixel(dc, 0, info.bmHeight - 1);
    const int left = (ControlSize - info.bmWidth) / 2, top = (ControlSize - info.bmHeight) / 2;
    for (int y = 0; y < info.bmHeight; ++y)
        for (int x = 0; x < info.bmWidth; ++x)
            if (GetPixel(dc, x, y) != transparent)
                picture[(top + y) * ControlSize + left + x] = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bitmap);
    return picture;
}

bool SamePicture(const char* what, const TPicture& actual, const TPicture& expected) {
    int wrong = 0, first = -1;
    for (std::size_t i = 0; i < expected.size(); ++i)
        if (actual[i] != expected[i] && wrong++ == 0)
            first = static_cast<int>(i);
    if (wrong == 0)
        return Check(true, "%s: frame, face and bitmap as expected", what);
    return Check(false, "%s: %d pixels differ, first at (%d, %d): 0x%06lx, expected 0x%06lx", what,
                 wrong, first % ControlSize, first / ControlSize, actual[first], expected[first]);
}

TPicture ScreenPicture(HWND window) {
    TCanvas canvas;
    HDC dc = GetDC(window);
    BitBlt(canvas.Dc, 0, 0, ControlSize, ControlSize, dc, 0, 0, SRCCOPY);
    ReleaseDC(window, dc);
    return canvas.Picture();
}

TPicture DrawnPicture(IUnknown* control) {
    TCanvas canvas;
    TPtr<IViewObject> view;
    const RECTL bounds{0, 0, ControlSize, ControlSize};
    if (FAILED(control->QueryInterface(IID_IViewObject, view.Put())) ||
        FAILED(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, canvas.Dc, &bounds,
                          nullptr, nullptr, 0)))
        return {};
    return canvas.Picture();
}

// ---------------------------------------------------------------- checks

// The control's window: ours, a visible 40 x 40 child at the host's top left corner.
HWND CheckControlWindow(const char* host, IUnknown* control, HWND hostWindow) {
    TPtr<IOleWindow> oleWindow;
    HWND window = nullptr;
    if (FAILED(control->QueryInterface(IID_IOleWindow, oleWindow.Put())) ||
        FAILED(oleWindow->GetWindow(&window)))
        window = nullptr;
    RECT rect{};
    GetWindowRect(window, &rect);
    MapWindowPoints(nullptr, hostWindow, reinterpret_cast<POINT*>(&rect), 2);
    Check(window && FindWindowExW(hostWindow, nullptr, L"TAxCtrl", nullptr) == window &&
              IsWindowVisible(window) && rect.left == 0 && rect.top == 0 &&
              rect.right == ControlSize && rect.bottom == ControlSize,
          "%s: the control's window %p is a visible TAxCtrl child at (%ld, %ld)-(%ld, %ld)", host,
          static_cast<void*>(window), rect.left, rect.top, rect.right, rect.bottom);
    return window;
}

// ATL sets the host window's size as the extent and hands it to SetObjectRects on every
// resize: the control stays 40 x 40.
void CheckFixedSize(IUnknown* control, HWND hostWindow, HWND window) {
    TPtr<IOleObject> object;
    SIZEL extent{};
    if (SUCCEEDED(control->QueryInterface(IID_IOleObject, object.Put())))
        object->GetExtent(DVASPECT_CONTENT, &extent);
    HDC screen = GetDC(nullptr);
    const SIZEL expected{MulDiv(ControlSize, 2540, GetDeviceCaps(screen, LOGPIXELSX)),
                         MulDiv(ControlSize, 2540, GetDeviceCaps(screen, LOGPIXELSY))};
    ReleaseDC(nullptr, screen);
    Check(extent.cx == expected.cx && extent.cy == expected.cy,
          "extent after the host's SetExtent: %ld x %ld HIMETRIC, expected %ld x %ld", extent.cx,
          extent.cy, expected.cx, expected.cy);

    SetWindowPos(hostWindow, nullptr, 0, 0, 300, 170, SWP_NOMOVE | SWP_NOZORDER);
    PumpMessages(100);
    RECT client{};
    GetClientRect(window, &client);
    Check(client.right == ControlSize && client.bottom == ControlSize,
          "after the host grew to 300 x 170 the control is %ld x %ld", client.right, client.bottom);
}

void CheckDriverCall(IUnknown* control, int port, int serial) {
    TPtr<ITrelmo> trelmo;
    if (!Check(SUCCEEDED(control->QueryInterface(IID_ITrelmo, trelmo.Put())),
               "the hosted object answers for ITrelmo"))
        return;
    LONG code = -1, serialNumber = 0;
    trelmo->put_PortNumber(port);
    trelmo->ReadStatus(&code);
    trelmo->get_SerialNumber(&serialNumber);
    Check(code == 0 && serialNumber == serial,
          "ReadStatus on COM%d through the hosted object: %ld, serial number %ld", port, code,
          serialNumber);
}

// Closing the host must leave no window and no object of the library behind.
void CheckTeardown(HWND frame, HWND window, TPtr<IUnknown>& control, TPtr<IUnknown>& container,
                   TPtr<IUnknown>& other) {
    Check(CanUnloadNow() == S_FALSE, "DllCanUnloadNow while hosted: S_FALSE");
    DestroyWindow(frame);
    PumpMessages(100);
    HWND after = nullptr;
    TPtr<IOleWindow> oleWindow;
    if (SUCCEEDED(control->QueryInterface(IID_IOleWindow, oleWindow.Put())))
        oleWindow->GetWindow(&after);
    Check(!IsWindow(window) && !after, "closing the host destroyed the control's window");
    oleWindow.Reset();
    other.Reset();
    // Release's count is for tests like this one: what the control still holds of the site
    // shows once ours is gone. The control goes last, so its destructor cannot hide a leak.
    const ULONG siteReferences = container.Detach()->Release();
    Check(siteReferences == 0, "the control let go of ATL's site: %lu references left",
          siteReferences);
    control.Reset();
    const HRESULT unload = CanUnloadNow();
    Check(unload == S_OK, "DllCanUnloadNow after release: 0x%08lx (every object destroyed)",
          unload);
}

// The same object type through ATL's AtlAxWin class: ATL creates it from the window text.
void HostInAtlWindow(const TAtl& atl, HWND frame, TPtr<IUnknown>& control) {
    HWND axWindow = CreateWindowExW(0, L"AtlAxWin", ProgId, WS_CHILD | WS_VISIBLE, 340, 20, 100, 80,
                                    frame, nullptr, GetModuleHandleW(nullptr), nullptr);
    const HRESULT result = axWindow ? atl.AxGetControl(axWindow, control.Out()) : E_FAIL;
    if (Check(SUCCEEDED(result) && control, "AtlAxWin window %p hosts %ls: 0x%08lx",
              static_cast<void*>(axWindow), ProgId, result))
        CheckControlWindow("AtlAxWin", control.Get(), axWindow);
}

void RunHosts(int port, int serial) {
    TAtl atl;
    if (!atl.Load() || !Check(atl.AxWinInit(), "AtlAxWinInit"))
        return;
    HWND frame = CreatePlainWindow(L"TrelmoContainerFrame", L"Addin.Trelmo in ATL's host",
                                   WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 480, 260, nullptr);
    HWND host = CreatePlainWindow(L"TrelmoContainerHost", L"", WS_CHILD | WS_VISIBLE | WS_BORDER,
                                  20, 20, 200, 120, frame);
    if (!Check(frame && host, "our frame and host windows (error %lu)", GetLastError()))
        return;
    TPtr<IUnknown> container, control, other, fromHost;
    const HRESULT result = atl.AxCreateControlEx(ProgId, host, nullptr, container.Out(),
                                                 control.Out(), IID_NULL, nullptr);
    if (!Check(SUCCEEDED(result) && control && container,
               "AtlAxCreateControlEx(%ls) into our window: 0x%08lx", ProgId, result)) {
        DestroyWindow(frame);
        return;
    }
    atl.AxGetControl(host, fromHost.Out());
    Check(fromHost.Get() == control.Get(), "AtlAxGetControl gives the same object");
    fromHost.Reset();

    HWND window = CheckControlWindow("AtlAxCreateControlEx", control.Get(), host);
    HostInAtlWindow(atl, frame, other);
    PumpMessages(200);
    RedrawWindow(frame, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    const TPicture expected = ExpectedPicture();
    SamePicture("the window on screen", ScreenPicture(window), expected);
    SamePicture("IViewObject::Draw", DrawnPicture(control.Get()), expected);
    CheckFixedSize(control.Get(), host, window);
    CheckDriverCall(control.Get(), port, serial);

    WaitForScreenshot("container");
    CheckTeardown(frame, window, control, container, other);
}

} // namespace

int main(int argc, char** argv) {
    const int port = argc == 3 ? std::atoi(argv[1]) : 0;
    const int serial = argc == 3 ? std::atoi(argv[2]) : 0;
    if (port <= 0) {
        std::printf("usage: test_container <port number> <board serial number>\n");
        return 2;
    }
    OleInitialize(nullptr);
    if (Check(SUCCEEDED(CallServerExport("DllRegisterServer")), "DllRegisterServer")) {
        RunHosts(port, serial);
        Check(SUCCEEDED(CallServerExport("DllUnregisterServer")), "DllUnregisterServer");
    }
    OleUninitialize();
    std::printf("container test %s\n", Failures == 0 ? "passed" : "FAILED");
    return Failures == 0 ? 0 : 1;
}
