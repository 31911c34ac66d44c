// The driver object as an ActiveX control. It has nothing to show but its bitmap, has no
// properties to persist and no UI of its own, so each interface does what containers need
// and no more.
#include "untCtrl.h"

#include "oleMain.h"
#include "untHolders.h"

#include <ole2.h>
#include <olectl.h>

#include <cmath>

namespace {

constexpr int ControlSize = 40; // pixels, both ways, whatever the container asks
constexpr int HimetricPerInch = 2540;
constexpr wchar_t ControlClass[] = L"TAxCtrl";
constexpr int BitmapResource = 1;

// Invisible at run time: containers in run mode need not show it. The rest is what
// containers expect of a windowed control: the site before InitNew or Load, in-place
// activation as soon as it is visible, no separate UI window, no links into it.
constexpr DWORD MiscStatus = OLEMISC_INVISIBLEATRUNTIME | OLEMISC_SETCLIENTSITEFIRST |
                             OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INSIDEOUT |
                             OLEMISC_CANTLINKINSIDE | OLEMISC_RECOMPOSEONRESIZE;

// The caller's own reference to an interface held here, for an out-parameter.
template <class T> T* CountedCopy(const TComPtr<T>& held) {
    return TComPtr<T>::Share(held.Get()).Detach();
}

SIZE ScreenDpi() {
    const TWindowDc screen(nullptr);
    return {GetDeviceCaps(screen.Get(), LOGPIXELSX), GetDeviceCaps(screen.Get(), LOGPIXELSY)};
}

SIZEL ControlExtent() {
    const SIZE dpi = ScreenDpi();
    return {MulDiv(ControlSize, HimetricPerInch, dpi.cx),
            MulDiv(ControlSize, HimetricPerInch, dpi.cy)};
}

// True when `extent` is the control's size after rounding to screen pixels, so a container
// that converts 40 x 40 back and forth is not refused for a unit of rounding.
bool IsControlExtent(const SIZEL& extent) {
    const SIZE dpi = ScreenDpi();
    return MulDiv(extent.cx, dpi.cx, HimetricPerInch) == ControlSize &&
           MulDiv(extent.cy, dpi.cy, HimetricPerInch) == ControlSize;
}

void FillStrip(HDC dc, int left, int top, int right, int bottom, int colour) {
    const RECT strip{left, top, right, bottom};
    FillRect(dc, &strip, GetSysColorBrush(colour));
}

// A raised frame one pixel wide: light on the top and left, dark on the bottom and right.
void DrawRaisedFrame(HDC dc, const RECT& r) {
    FillStrip(dc, r.left, r.top, r.right - 1, r.top + 1, COLOR_BTNHIGHLIGHT);
    FillStrip(dc, r.left, r.top + 1, r.left + 1, r.bottom - 1, COLOR_BTNHIGHLIGHT);
    FillStrip(dc, r.right - 1, r.top, r.right, r.bottom, COLOR_BTNSHADOW);
    FillStrip(dc, r.left, r.bottom - 1, r.right - 1, r.bottom, COLOR_BTNSHADOW);
}

// The start of a length `inner` centred in [start, start + outer), rounded to the nearest pixel.
int Centred(LONG start, LONG outer, LONG inner) {
    return static_cast<int>(std::lround(start + outer / 2.0 - inner / 2.0));
}

HPALETTE PaletteFromColourTable(const RGBQUAD* colours, UINT count) {
    if (count == 0)
        return nullptr;
    struct {
        LOGPALETTE header;
        PALETTEENTRY more[255];
    } palette{};
    palette.header.palVersion = 0x300;
    palette.header.palNumEntries = static_cast<WORD>(count);
    for (UINT i = 0; i < count; ++i)
        palette.header.palPalEntry[i] = {colours[i].rgbRed, colours[i].rgbGreen, colours[i].rgbBlue,
                                         0};
    return CreatePalette(&palette.header);
}

} // namespace

// The control's window and its picture, which IViewObject::Draw paints too.
class TAxCtrl {
public:
    TAxCtrl() { LoadPicture(); }
    ~TAxCtrl();
    TAxCtrl(const TAxCtrl&) = delete;
    TAxCtrl& operator=(const TAxCtrl&) = delete;

    HWND Handle() const { return Window; }
    // Creates the window, a visible child of `parent` at the position's top left corner.
    bool Create(HWND parent, const RECT& position);
    void Destroy();
    // Moves the window to the position's top left corner, keeping its size, and clips it.
    void Place(const RECT& position, const RECT* clip);
    void Paint(HDC dc, const RECT& bounds, bool backgroundPalette) const;
    // A copy of the bitmap's palette for IViewObject::GetColorSet, or nullptr.
    LOGPALETTE* CopyPalette() const;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void LoadPicture();
    void DrawPicture(HDC dc, const RECT& inner) const;
    void OnPaint();
    bool RealizeOwnPalette(bool background);

    HWND Window = nullptr;
    TGdiObject<HBITMAP> Bitmap;
    TGdiObject<HPALETTE> Palette;
    SIZE BitmapSize{};
    COLORREF TransparentColour = 0;
};

// The window goes before the picture it paints.
TAxCtrl::~TAxCtrl() {
    Destroy();
}

// A DIB section keeps the 16-colour table, which gives the palette. The bottom-left pixel's
// colour is the transparent one, so the bitmap can be drawn in any paint program.
void TAxCtrl::LoadPicture() {
    Bitmap.Reset(static_cast<HBITMAP>(LoadImageW(ModuleInstance(), MAKEINTRESOURCEW(BitmapResource),
                                                 IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    BITMAP info{};
    if (!Bitmap || !GetObjectW(Bitmap.Get(), sizeof info, &info))
        return;
    BitmapSize = {info.bmWidth, info.bmHeight};
    const TMemoryDc memory(CreateCompatibleDC(nullptr));
    HGDIOBJ old = SelectObject(memory.Get(), Bitmap.Get());
    TransparentColour = GetPixel(memory.Get(), 0, info.bmHeight - 1);
    RGBQUAD colours[256];
    Palette.Reset(PaletteFromColourTable(colours, GetDIBColorTable(memory.Get(), 0, 256, colours)));
    SelectObject(memory.Get(), old);
}

bool TAxCtrl::Create(HWND parent, const RECT& position) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = ModuleInstance();
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = ControlClass;
    if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return false;
    CreateWindowExW(0, ControlClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, position.left,
                    position.top, ControlSize, ControlSize, parent, nullptr, ModuleInstance(),
                    this);
    return Window != nullptr;
}

// A DLL's window classes outlive it: the class goes with the last window, so an unloaded
// library leaves no class behind that points into it. UnregisterClass refuses while another
// control still has a window.
void TAxCtrl::Destroy() {
    if (Window)
        DestroyWindow(Window);
    UnregisterClassW(ControlClass, ModuleInstance());
}

void TAxCtrl::Place(const RECT& position, const RECT* clip) {
    if (!Window)
        return;
    SetWindowPos(Window, nullptr, position.left, position.top, ControlSize, ControlSize,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    const RECT own{position.left, position.top, position.left + ControlSize,
                   position.top + ControlSize};
    RECT visible{};
    if (!clip || (IntersectRect(&visible, &own, clip) && EqualRect(&visible, &own))) {
        SetWindowRgn(Window, nullptr, TRUE);
        return;
    }
    OffsetRect(&visible, -own.left, -own.top);
    SetWindowRgn(Window, CreateRectRgnIndirect(&visible), TRUE);
}

void TAxCtrl::Paint(HDC dc, const RECT& bounds, bool backgroundPalette) const {
    HPALETTE oldPalette = nullptr;
    if (Palette) {
        oldPalette = SelectPalette(dc, Palette.Get(), backgroundPalette);
        RealizePalette(dc);
    }
    DrawRaisedFrame(dc, bounds);
    RECT inner = bounds;
    InflateRect(&inner, -1, -1);
    FillRect(dc, &inner, GetSysColorBrush(COLOR_BTNFACE));
    DrawPicture(dc, inner);
    if (oldPalette)
        SelectPalette(dc, oldPalette, TRUE);
}

void TAxCtrl::DrawPicture(HDC dc, const RECT& inner) const {
    if (!Bitmap)
        return;
    const TMemoryDc memory(CreateCompatibleDC(dc));
    HGDIOBJ old = SelectObject(memory.Get(), Bitmap.Get());
    GdiTransparentBlt(dc, Centred(inner.left, inner.right - inner.left, BitmapSize.cx),
                      Centred(inner.top, inner.bottom - inner.top, BitmapSize.cy), BitmapSize.cx,
                      BitmapSize.cy, memory.Get(), 0, 0, BitmapSize.cx, BitmapSize.cy,
                      TransparentColour);
    SelectObject(memory.Get(), old);
}

LOGPALETTE* TAxCtrl::CopyPalette() const {
    if (!Palette)
        return nullptr;
    const UINT count = GetPaletteEntries(Palette.Get(), 0, 0, nullptr);
    auto* copy =
        static_cast<LOGPALETTE*>(CoTaskMemAlloc(sizeof(LOGPALETTE) + count * sizeof(PALETTEENTRY)));
    if (!copy)
        return nullptr;
    copy->palVersion = 0x300;
    copy->palNumEntries = static_cast<WORD>(count);
    GetPaletteEntries(Palette.Get(), 0, count, copy->palPalEntry);
    return copy;
}

LRESULT CALLBACK TAxCtrl::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self =
            static_cast<TAxCtrl*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->Window = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<TAxCtrl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->Window = nullptr;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->HandleMessage(message, wParam, lParam);
}

LRESULT TAxCtrl::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        return 1; // WM_PAINT covers every pixel: erasing first would only flicker
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_WINDOWPOSCHANGING: {
        auto& change = *reinterpret_cast<WINDOWPOS*>(lParam);
        change.cx = change.cy = ControlSize;
        break;
    }
    case WM_WINDOWPOSCHANGED:
        InvalidateRect(Window, nullptr, FALSE);
        break;
    case WM_QUERYNEWPALETTE:
        return RealizeOwnPalette(false);
    case WM_PALETTECHANGED:
        if (reinterpret_cast<HWND>(wParam) != Window)
            RealizeOwnPalette(true);
        return 0;
    }
    return DefWindowProcW(Window, message, wParam, lParam);
}

void TAxCtrl::OnPaint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(Window, &paint);
    RECT client;
    GetClientRect(Window, &client);
    Paint(dc, client, false);
    EndPaint(Window, &paint);
}

bool TAxCtrl::RealizeOwnPalette(bool background) {
    if (!Palette)
        return false;
    const TWindowDc dc(Window);
    HPALETTE old = SelectPalette(dc.Get(), Palette.Get(), background);
    if (RealizePalette(dc.Get()) > 0)
        InvalidateRect(Window, nullptr, FALSE);
    SelectPalette(dc.Get(), old, TRUE);
    return true;
}

// The control interfaces over one state. IUnknown is the object's: the interfaces are its
// own as far as any client can tell.
struct TOleControl::TImpl final : public IOleObject,
                                  public IOleInPlaceObject,
                                  public IOleControl,
                                  public IViewObject2,
                                  public IPersistStreamInit,
                                  public ISpecifyPropertyPages {
    explicit TImpl(IUnknown* outer) : Outer(outer) {}
    ~TImpl();
    TImpl(const TImpl&) = delete;
    TImpl& operator=(const TImpl&) = delete;

    void* Find(REFIID iid);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        return Outer->QueryInterface(iid, object);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return Outer->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return Outer->Release(); }

    // IOleObject
    STDMETHODIMP SetClientSite(IOleClientSite* site) override;
    STDMETHODIMP GetClientSite(IOleClientSite** site) override;
    STDMETHODIMP SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
    STDMETHODIMP Close(DWORD saveOption) override;
    STDMETHODIMP SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    STDMETHODIMP InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetClipboardData(DWORD, IDataObject**) override { return E_NOTIMPL; }
    STDMETHODIMP DoVerb(LONG verb, LPMSG message, IOleClientSite* activeSite, LONG index,
                        HWND parent, LPCRECT position) override;
    STDMETHODIMP EnumVerbs(IEnumOLEVERB** verbs) override;
    STDMETHODIMP Update() override { return S_OK; }
    STDMETHODIMP IsUpToDate() override { return S_OK; }
    STDMETHODIMP GetUserClassID(CLSID* clsid) override;
    STDMETHODIMP GetUserType(DWORD form, LPOLESTR* name) override;
    STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP Advise(IAdviseSink* sink, DWORD* connection) override;
    STDMETHODIMP Unadvise(DWORD connection) override;
    STDMETHODIMP EnumAdvise(IEnumSTATDATA** advises) override;
    STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
    STDMETHODIMP SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

    // IOleWindow, IOleInPlaceObject
    STDMETHODIMP GetWindow(HWND* window) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP InPlaceDeactivate() override;
    STDMETHODIMP UIDeactivate() override;
    STDMETHODIMP SetObjectRects(LPCRECT position, LPCRECT clip) override;
    STDMETHODIMP ReactivateAndUndo() override { return E_NOTIMPL; }

    // IOleControl: no mnemonics, no events, and the colours are the system's, not ambient.
    STDMETHODIMP GetControlInfo(CONTROLINFO* info) override;
    STDMETHODIMP OnMnemonic(MSG*) override { return S_OK; }
    STDMETHODIMP OnAmbientPropertyChange(DISPID) override { return S_OK; }
    STDMETHODIMP FreezeEvents(BOOL) override { return S_OK; }

    // IViewObject, IViewObject2
    STDMETHODIMP Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device,
                      HDC targetDc, HDC dc, LPCRECTL bounds, LPCRECTL metafileBounds,
                      BOOL(STDMETHODCALLTYPE* proceed)(ULONG_PTR), ULONG_PTR argument) override;
    STDMETHODIMP GetColorSet(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device,
                             HDC targetDc, LOGPALETTE** colours) override;
    // The picture never changes, so there is nothing to freeze.
    STDMETHODIMP Freeze(DWORD, LONG, void*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP Unfreeze(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
    STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
    STDMETHODIMP GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device, SIZEL* size) override;

    // IPersist, IPersistStreamInit: no persistent properties, so an empty stream.
    STDMETHODIMP GetClassID(CLSID* clsid) override;
    STDMETHODIMP IsDirty() override { return S_FALSE; }
    STDMETHODIMP Load(IStream* stream) override { return stream ? S_OK : E_POINTER; }
    STDMETHODIMP Save(IStream* stream, BOOL) override { return stream ? S_OK : E_POINTER; }
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;
    STDMETHODIMP InitNew() override { return S_OK; }

    // ISpecifyPropertyPages
    STDMETHODIMP GetPages(CAUUID* pages) override;

private:
    HRESULT Activate(IOleClientSite* site, bool userInterface);
    HRESULT OpenInPlace(IOleClientSite* site);
    HRESULT CreateWindowInSite();
    HRESULT EnsureAdviseHolder();

    IUnknown* Outer; // not counted: it owns this
    TComPtr<IOleClientSite> ClientSite;
    TComPtr<IOleInPlaceSite> InPlaceSite; // while in-place active
    bool UIActive = false;
    TComPtr<IOleAdviseHolder> AdviseHolder;
    TComPtr<IAdviseSink> ViewSink;
    DWORD ViewAspects = 0;
    DWORD ViewFlags = 0;
    TAxCtrl Ctrl;
};

// Calling back into a container from a destructor is asking for trouble: only let go, the
// window first, then the container's interfaces in the order containers have always seen.
TOleControl::TImpl::~TImpl() {
    Ctrl.Destroy();
    InPlaceSite.Reset();
    ClientSite.Reset();
    AdviseHolder.Reset();
    ViewSink.Reset();
}

void* TOleControl::TImpl::Find(REFIID iid) {
    if (iid == IID_IOleObject)
        return static_cast<IOleObject*>(this);
    if (iid == IID_IOleInPlaceObject || iid == IID_IOleWindow)
        return static_cast<IOleInPlaceObject*>(this);
    if (iid == IID_IOleControl)
        return static_cast<IOleControl*>(this);
    if (iid == IID_IViewObject2 || iid == IID_IViewObject)
        return static_cast<IViewObject2*>(this);
    if (iid == IID_IPersistStreamInit || iid == IID_IPersist)
        return static_cast<IPersistStreamInit*>(this);
    if (iid == IID_ISpecifyPropertyPages)
        return static_cast<ISpecifyPropertyPages*>(this);
    return nullptr;
}

STDMETHODIMP TOleControl::TImpl::SetClientSite(IOleClientSite* site) {
    ClientSite = TComPtr<IOleClientSite>::Share(site);
    return S_OK;
}

STDMETHODIMP TOleControl::TImpl::GetClientSite(IOleClientSite** site) {
    if (!site)
        return E_POINTER;
    *site = CountedCopy(ClientSite);
    return S_OK;
}

// Never dirty, so every save option closes the same way.
STDMETHODIMP TOleControl::TImpl::Close(DWORD) {
    InPlaceDeactivate();
    if (AdviseHolder)
        AdviseHolder->SendOnClose();
    return S_OK;
}

STDMETHODIMP TOleControl::TImpl::DoVerb(LONG verb, LPMSG, IOleClientSite* activeSite, LONG, HWND,
                                        LPCRECT) {
    // The in-place site knows the parent window and the position better than the arguments.
    IOleClientSite* site = activeSite ? activeSite : ClientSite.Get();
    switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_INPLACEACTIVATE:
        return Activate(site, false);
    case OLEIVERB_UIACTIVATE:
        return Activate(site, true);
    case OLEIVERB_HIDE:
        UIDeactivate();
        if (Ctrl.Handle())
            ShowWindow(Ctrl.Handle(), SW_HIDE);
        return S_OK;
    case OLEIVERB_DISCARDUNDOSTATE:
        return S_OK;
    }
    if (verb < 0)
        return E_NOTIMPL; // no open editing, no properties verb
    // An unknown positive verb does the primary one.
    const HRESULT result = Activate(site, false);
    return FAILED(result) ? result : OLEOBJ_S_INVALIDVERB;
}

HRESULT TOleControl::TImpl::Activate(IOleClientSite* site, bool userInterface) {
    if (!InPlaceSite) {
        const HRESULT result = OpenInPlace(site);
        if (result != S_OK)
            return result;
    }
    ShowWindow(Ctrl.Handle(), SW_SHOWNA);
    if (userInterface && !UIActive) {
        UIActive = true;
        InPlaceSite->OnUIActivate();
    }
    return S_OK;
}

HRESULT TOleControl::TImpl::OpenInPlace(IOleClientSite* site) {
    if (!site)
        return E_UNEXPECTED;
    TComPtr<IOleInPlaceSite> inPlaceSite;
    HRESULT result = site->QueryInterface(IID_IOleInPlaceSite, inPlaceSite.Put());
    if (FAILED(result))
        return result;
    result = inPlaceSite->CanInPlaceActivate();
    if (result != S_OK)
        return FAILED(result) ? result : E_FAIL;
    InPlaceSite = std::move(inPlaceSite);
    InPlaceSite->OnInPlaceActivate();
    result = CreateWindowInSite();
    if (FAILED(result)) {
        InPlaceSite->OnInPlaceDeactivate();
        InPlaceSite.Reset();
    }
    return result;
}

HRESULT TOleControl::TImpl::CreateWindowInSite() {
    HWND parent = nullptr;
    HRESULT result = InPlaceSite->GetWindow(&parent);
    if (FAILED(result))
        return result;
    RECT position{}, clip{};
    {
        // A control without menus or toolbars needs neither; the frame goes first.
        TComPtr<IOleInPlaceUIWindow> document;
        TComPtr<IOleInPlaceFrame> frame;
        OLEINPLACEFRAMEINFO frameInfo{};
        frameInfo.cb = sizeof frameInfo;
        result = InPlaceSite->GetWindowContext(frame.Out(), document.Out(), &position, &clip,
                                               &frameInfo);
    }
    if (FAILED(result))
        return result;
    if (!Ctrl.Create(parent, position))
        return HRESULT_FROM_WIN32(GetLastError());
    Ctrl.Place(position, &clip);
    // The size is fixed: a container that offered another one learns the real one.
    if (position.right - position.left != ControlSize ||
        position.bottom - position.top != ControlSize) {
        const RECT own{position.left, position.top, position.left + ControlSize,
                       position.top + ControlSize};
        InPlaceSite->OnPosRectChange(&own);
    }
    return S_OK;
}

STDMETHODIMP TOleControl::TImpl::EnumVerbs(IEnumOLEVERB** verbs) {
    return OleRegEnumVerbs(CLSID_Trelmo, verbs);
}

STDMETHODIMP TOleControl::TImpl::GetUserClassID(CLSID* clsid) {
    if (!clsid)
        return E_POINTER;
    *clsid = CLSID_Trelmo;
    return S_OK;
}

STDMETHODIMP TOleControl::TImpl::GetUserType(DWORD form, LPOLESTR* name) {
    return OleRegGetUserType(CLSID_Trelmo, form, name);
}

// The size is fixed: containers may only confirm it.
STDMETHODIMP TOleControl::TImpl::SetExtent(DWORD aspect, SIZEL* size) {
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (!size)
        return E_POINTER;
    return IsControlExtent(*size) ? S_OK : E_FAIL;
}

STDMETHODIMP TOleControl::TImpl::GetExtent(DWORD aspect, SIZEL* size) {
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (!size)
        return E_POINTER;
    *size = ControlExtent();
    return S_OK;
}

HRESULT TOleControl::TImpl::EnsureAdviseHolder() {
    return AdviseHolder ? S_OK : CreateOleAdviseHolder(AdviseHolder.Out());
}

STDMETHODIMP TOleControl::TImpl::Advise(IAdviseSink* sink, DWORD* connection) {
    const HRESULT result = EnsureAdviseHolder();
    return FAILED(result) ? result : AdviseHolder->Advise(sink, connection);
}

STDMETHODIMP TOleControl::TImpl::Unadvise(DWORD connection) {
    return AdviseHolder ? AdviseHolder->Unadvise(connection) : OLE_E_NOCONNECTION;
}

STDMETHODIMP TOleControl::TImpl::EnumAdvise(IEnumSTATDATA** advises) {
    const HRESULT result = EnsureAdviseHolder();
    return FAILED(result) ? result : AdviseHolder->EnumAdvise(advises);
}

STDMETHODIMP TOleControl::TImpl::GetMiscStatus(DWORD, DWORD* status) {
    if (!status)
        return E_POINTER;
    *status = MiscStatus;
    return S_OK;
}

STDMETHODIMP TOleControl::TImpl::GetWindow(HWND* window) {
    if (!window)
        return E_POINTER;
    *window = Ctrl.Handle();
    return *window ? S_OK : E_FAIL;
}

STDMETHODIMP TOleControl::TImpl::InPlaceDeactivate() {
    if (!InPlaceSite)
        return S_OK;
    UIDeactivate();
    Ctrl.Destroy();
    const TComPtr<IOleInPlaceSite> site = std::move(InPlaceSite);
    site->OnInPlaceDeactivate();
    return S_OK;
}

STDMETHODIMP TOleControl::TImpl::UIDeactivate() {
    if (!UIActive)
        return S_OK;
    UIActive = false;
    if (InPlaceSite)
        InPlaceSite->OnUIDeactivate(FALSE);
    return S_OK;
}

STDMETHODIMP TOleControl::TImpl::SetObjectRects(LPCRECT position, LPCRECT clip) {
    if (!position)
        return E_POINTER;
    Ctrl.Place(*position, clip);
    return S_OK;
}

STDMETHODIMP TOleControl::TImpl::GetControlInfo(CONTROLINFO* info) {
    if (!info)
        return E_POINTER;
    info->cb = sizeof *info;
    info->hAccel = nullptr;
    info->cAccel = 0;
    info->dwFlags = 0;
    return S_OK;
}

// For containers that draw without activating the control (design views, printing): the
// picture the window shows, in the given rectangle.
STDMETHODIMP TOleControl::TImpl::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc,
                                      LPCRECTL bounds, LPCRECTL,
                                      BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (!dc || !bounds)
        return E_INVALIDARG;
    const RECT area{bounds->left, bounds->top, bounds->right, bounds->bottom};
    Ctrl.Paint(dc, area, true);
    return S_OK;
}

STDMETHODIMP TOleControl::TImpl::GetColorSet(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC,
                                             LOGPALETTE** colours) {
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (!colours)
        return E_POINTER;
    *colours = Ctrl.CopyPalette();
    return *colours ? S_OK : S_FALSE;
}

STDMETHODIMP TOleControl::TImpl::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
    ViewSink = TComPtr<IAdviseSink>::Share(sink);
    ViewAspects = aspects;
    ViewFlags = flags;
    if (sink && (flags & ADVF_PRIMEFIRST))
        sink->OnViewChange(DVASPECT_CONTENT, -1);
    return S_OK;
}

STDMETHODIMP TOleControl::TImpl::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
    if (aspects)
        *aspects = ViewAspects;
    if (flags)
        *flags = ViewFlags;
    if (sink)
        *sink = CountedCopy(ViewSink);
    return S_OK;
}

STDMETHODIMP TOleControl::TImpl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, SIZEL* size) {
    return GetExtent(aspect, size);
}

STDMETHODIMP TOleControl::TImpl::GetClassID(CLSID* clsid) {
    if (!clsid)
        return E_POINTER;
    *clsid = CLSID_Trelmo;
    return S_OK;
}

STDMETHODIMP TOleControl::TImpl::GetSizeMax(ULARGE_INTEGER* size) {
    if (!size)
        return E_POINTER;
    size->QuadPart = 0;
    return S_OK;
}

// One page: the settings page.
STDMETHODIMP TOleControl::TImpl::GetPages(CAUUID* pages) {
    if (!pages)
        return E_POINTER;
    pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
    if (!pages->pElems) {
        pages->cElems = 0;
        return E_OUTOFMEMORY;
    }
    pages->pElems[0] = CLSID_TrelmoPage;
    pages->cElems = 1;
    return S_OK;
}

TOleControl::TOleControl(IUnknown* outer) : Impl(new TImpl(outer)) {}

TOleControl::~TOleControl() {
    delete Impl;
}

void* TOleControl::Find(REFIID iid) {
    return Impl->Find(iid);
}
