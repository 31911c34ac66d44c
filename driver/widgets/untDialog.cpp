#include "untDialog.h"

#include "untHolders.h"
#include "untModule.h"

#include <commctrl.h>

using TImageList = TOwned<HIMAGELIST, ImageList_Destroy>;

namespace {
const int ManifestResourceId = 2; // ISOLATIONAWARE_MANIFEST_RESOURCE_ID: a DLL's manifest

// The context made once from the library's own manifest; none when it cannot be made.
HANDLE LibraryContext() {
    static HANDLE context = [] {
        wchar_t path[MAX_PATH];
        if (!GetModuleFileNameW(ModuleInstance(), path, MAX_PATH))
            return INVALID_HANDLE_VALUE;
        ACTCTXW request{};
        request.cbSize = sizeof request;
        request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID | ACTCTX_FLAG_HMODULE_VALID;
        request.lpSource = path;
        request.lpResourceName = MAKEINTRESOURCEW(ManifestResourceId);
        request.hModule = ModuleInstance();
        return CreateActCtxW(&request);
    }();
    return context;
}
} // namespace

TControlsContext::TControlsContext() {
    const HANDLE context = LibraryContext();
    if (context != INVALID_HANDLE_VALUE)
        Active = ActivateActCtx(context, &Cookie) != FALSE;
}

TControlsContext::~TControlsContext() {
    if (Active)
        DeactivateActCtx(0, Cookie);
}

struct TDialog::TGlyphs {
    std::vector<TIcon> Icons;
    std::vector<TImageList> Lists;
};

TDialog::TDialog(int templateId) : TemplateId(templateId) {}

// A modal dialog's window has gone by now; a modeless one's goes with the object that serves it.
TDialog::~TDialog() {
    if (Window)
        DestroyWindow(Window);
}

namespace {
void InitControls() {
    static const bool initialised = [] {
        INITCOMMONCONTROLSEX classes{sizeof classes, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
        return InitCommonControlsEx(&classes) != FALSE;
    }();
    (void)initialised;
}
} // namespace

INT_PTR TDialog::ShowModal(HWND owner) {
    TControlsContext controls;
    InitControls();
    return DialogBoxParamW(ModuleInstance(), MAKEINTRESOURCEW(TemplateId), owner, Procedure,
                           reinterpret_cast<LPARAM>(this));
}

HWND TDialog::Create(HWND parent) {
    TControlsContext controls;
    InitControls();
    return CreateDialogParamW(ModuleInstance(), MAKEINTRESOURCEW(TemplateId), parent, Procedure,
                              reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK TDialog::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        reinterpret_cast<TDialog*>(lParam)->Window = window;
    }
    auto* dialog = reinterpret_cast<TDialog*>(GetWindowLongPtrW(window, DWLP_USER));
    if (!dialog)
        return FALSE;
    // A handler may end the object along with its window: past Dispatch only the window's
    // last message may touch it.
    const INT_PTR result = dialog->Dispatch(message, wParam, lParam);
    if (message == WM_NCDESTROY)
        dialog->Window = nullptr;
    return result;
}

INT_PTR TDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    INT_PTR result = FALSE;
    switch (message) {
    case WM_INITDIALOG:
        OnInit();
        return TRUE;
    case WM_COMMAND:
        if (OnCommand(LOWORD(wParam), HIWORD(wParam)))
            return TRUE;
        if (LOWORD(wParam) == IDCANCEL && !Item(IDCANCEL))
            OnClose(); // Esc, when no control of the dialog answers it
        return TRUE;
    case WM_NOTIFY:
        return OnNotify(reinterpret_cast<NMHDR*>(lParam));
    case WM_CLOSE:
        OnClose();
        return TRUE;
    default:
        return OnMessage(message, wParam, lParam, result) ? result : FALSE;
    }
}

std::wstring TDialog::Text(int id) const {
    const int length = GetWindowTextLengthW(Item(id));
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(Item(id), &text[0], length + 1)));
    return text;
}

void TDialog::SetText(int id, const std::wstring& text) {
    SetWindowTextW(Item(id), text.c_str());
}

bool TDialog::Checked(int id) const {
    return SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TDialog::SetChecked(int id, bool checked) {
    SendMessageW(Item(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TDialog::Enable(int id, bool enabled) {
    EnableWindow(Item(id), enabled);
}

void TDialog::Show(int id, bool shown) {
    ShowWindow(Item(id), shown ? SW_SHOW : SW_HIDE);
}

void TDialog::Focus(int id) {
    SendMessageW(Window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(id)), TRUE);
}

void TDialog::FocusIfCan(int id) {
    HWND control = Item(id);
    if (control && IsWindowVisible(control) && IsWindowEnabled(control))
        SetFocus(control);
}

void TDialog::UseFixedFont(int id) {
    // One font for the process's life, shared by every report.
    static const HFONT font = CreateFontW(-Scaled(12), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                          RUSSIAN_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                          DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, L"Courier New");
    SendMessageW(Item(id), WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

void TDialog::SetClientSize(int width, int height) {
    RECT box{0, 0, width, height};
    AdjustWindowRectEx(&box, static_cast<DWORD>(GetWindowLongW(Window, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongW(Window, GWL_EXSTYLE)));
    SetWindowPos(Window, nullptr, 0, 0, box.right - box.left, box.bottom - box.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TDialog::CenterOnScreen() {
    RECT box{};
    GetWindowRect(Window, &box);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int width = box.right - box.left, height = box.bottom - box.top;
    SetWindowPos(Window, nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TDialog::SetGlyph(int id, int iconId) {
    const int size = Scaled(16);
    TIcon icon(static_cast<HICON>(
        LoadImageW(ModuleInstance(), MAKEINTRESOURCEW(iconId), IMAGE_ICON, size, size, 0)));
    HWND button = Item(id);
    if (!icon || !button)
        return;
    if (!Glyphs)
        Glyphs = std::make_unique<TGlyphs>();
    if (GetWindowLongW(button, GWL_STYLE) & BS_ICON) {
        SendMessageW(button, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon.Get()));
        Glyphs->Icons.push_back(std::move(icon));
        return;
    }
    // A glyph beside a caption, with room between them that a bare BM_SETIMAGE leaves out.
    TImageList list(ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 1, 0));
    BUTTON_IMAGELIST glyph{};
    glyph.himl = list.Get();
    glyph.margin.right = Scaled(4);
    glyph.uAlign = BUTTON_IMAGELIST_ALIGN_LEFT;
    if (list && ImageList_AddIcon(list.Get(), icon.Get()) >= 0 &&
        SendMessageW(button, BCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(&glyph))) {
        Glyphs->Lists.push_back(std::move(list));
        return;
    }
    SendMessageW(button, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon.Get()));
    Glyphs->Icons.push_back(std::move(icon));
}

void TDialog::AddHint(int id, const wchar_t* text) {
    if (!Hints || !IsWindow(Hints))
        Hints = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0,
                                Window, nullptr, nullptr, nullptr);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = Window;
    tool.uId = reinterpret_cast<UINT_PTR>(Item(id));
    tool.lpszText = const_cast<LPWSTR>(text);
    SendMessageW(Hints, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

namespace {
const int DesignCaption = 19; // the caption height the sizable dialogs were laid out for
} // namespace

TSizableDialog::TSizableDialog(int templateId, int minWidth, int minHeight)
    : TDialog(templateId), Margin(Scaled(8)), ButtonHeight(Scaled(24)), Gap(Scaled(6)),
      MinSize{Scaled(minWidth), Scaled(minHeight)} {}

bool TSizableDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    (void)wParam;
    result = TRUE;
    switch (message) {
    case WM_SIZE:
        Layout();
        return true;
    case WM_GETMINMAXINFO:
        reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {MinSize.cx, MinSize.cy};
        return true;
    default:
        return false;
    }
}

void TSizableDialog::OpenAtMinimumSize() {
    // A taller caption than the layout's would eat into the controls.
    const int caption = GetSystemMetrics(SM_CYCAPTION) - Scaled(DesignCaption);
    SetWindowPos(Handle(), nullptr, 0, 0, MinSize.cx, MinSize.cy + (caption > 0 ? caption : 0),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    CenterOnScreen();
    Layout();
}

int TSizableDialog::PlaceBesideButtons(HWND control, int buttonWidth) {
    RECT client{};
    GetClientRect(Handle(), &client);
    const int left = client.right - Margin - buttonWidth;
    MoveWindow(control, Margin, Margin, left - 2 * Margin, client.bottom - 2 * Margin, TRUE);
    return left;
}

int TSizableDialog::StackButtons(int left, int top, int width, std::initializer_list<int> ids) {
    for (int id : ids) {
        MoveWindow(Item(id), left, top, width, ButtonHeight, TRUE);
        top += ButtonHeight + Gap;
    }
    return top;
}

int TSizableDialog::ClientHeight() const {
    RECT client{};
    GetClientRect(Handle(), &client);
    return client.bottom;
}

int DriverMessageBox(HWND owner, const std::wstring& text, UINT flags) {
    TControlsContext controls;
    return MessageBoxW(owner, text.c_str(), L"Драйвер варнок-платы", flags);
}

void ProcessMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}
