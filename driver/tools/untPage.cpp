#include "driver/tools/untPage.h"

#include "fmuPage.h"
#include "untHolders.h"
#include "untModule.h"
#include "untToolsRes.h"

#include <ocidl.h>
#include <olectl.h>

#include <new>

const wchar_t PageFormClassName[] = L"TfmPage";

namespace {
const wchar_t PageTitle[] = L"Драйвер варнок-платы";

LPOLESTR TaskMemCopy(const wchar_t* text) {
    const std::size_t size = (wcslen(text) + 1) * sizeof(wchar_t);
    auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc(size));
    if (copy)
        memcpy(copy, text, size);
    return copy;
}

// The page object. The form lives as long as a frame shows it; between the frame's questions
// (its size before activation) it waits under a hidden window of its own.
class TPropertyPage final : public IPropertyPage {
public:
    TPropertyPage() {
        ServerObjectCreated();
        Form.SetOnModified([this] {
            if (Site)
                Site->OnStatusChange(PROPPAGESTATUS_DIRTY);
        });
    }
    // The windows go before the interfaces they use, the module's count last.
    ~TPropertyPage() {
        DestroyForm();
        if (Holder)
            DestroyWindow(Holder);
        Form.SetDriver(nullptr);
        Driver.Reset();
        Site.Reset();
        ServerObjectDestroyed();
    }
    TPropertyPage(const TPropertyPage&) = delete;
    TPropertyPage& operator=(const TPropertyPage&) = delete;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (!object)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IPropertyPage) {
            *object = static_cast<IPropertyPage*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&RefCount); }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG count = InterlockedDecrement(&RefCount);
        if (count == 0)
            delete this;
        return count;
    }

    // IPropertyPage
    STDMETHODIMP SetPageSite(IPropertyPageSite* site) override {
        Site = TComPtr<IPropertyPageSite>::Share(site);
        return S_OK;
    }

    STDMETHODIMP Activate(HWND parent, LPCRECT position, BOOL) override {
        if (!position)
            return E_POINTER;
        if (!EnsureForm())
            return HRESULT_FROM_WIN32(GetLastError());
        SetParent(Form.Handle(), parent);
        SetWindowPos(Form.Handle(), nullptr, position->left, position->top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        Form.LoadShowingFailure();
        return S_OK;
    }

    STDMETHODIMP Deactivate() override {
        DestroyForm();
        return S_OK;
    }

    STDMETHODIMP GetPageInfo(PROPPAGEINFO* info) override {
        if (!info)
            return E_POINTER;
        if (!EnsureForm())
            return HRESULT_FROM_WIN32(GetLastError());
        RECT box{};
        GetWindowRect(Form.Handle(), &box);
        info->cb = sizeof *info;
        info->pszTitle = TaskMemCopy(PageTitle);
        info->size = {box.right - box.left, box.bottom - box.top};
        info->pszDocString = nullptr;
        info->pszHelpFile = nullptr;
        info->dwHelpContext = 0;
        return info->pszTitle ? S_OK : E_OUTOFMEMORY;
    }

    // The page works on the first object only: the settings are each object's own.
    STDMETHODIMP SetObjects(ULONG count, IUnknown** objects) override {
        TComPtr<ITrelmo> driver;
        if (count > 0) {
            if (!objects || !objects[0])
                return E_POINTER;
            const HRESULT result = objects[0]->QueryInterface(IID_ITrelmo, driver.Put());
            if (FAILED(result))
                return result;
        }
        Form.SetDriver(driver.Get());
        Driver = std::move(driver);
        if (FormExists())
            Form.LoadShowingFailure();
        return S_OK;
    }

    STDMETHODIMP Show(UINT command) override {
        if (!FormExists())
            return E_UNEXPECTED;
        ShowWindow(Form.Handle(), static_cast<int>(command));
        if (command != SW_HIDE)
            SetFocus(GetDlgItem(Form.Handle(), IDC_PAGE_CONNECT));
        return S_OK;
    }

    STDMETHODIMP Move(LPCRECT position) override {
        if (!position)
            return E_POINTER;
        if (!FormExists())
            return E_UNEXPECTED;
        MoveWindow(Form.Handle(), position->left, position->top, position->right - position->left,
                   position->bottom - position->top, TRUE);
        return S_OK;
    }

    STDMETHODIMP IsPageDirty() override { return Form.Modified() ? S_OK : S_FALSE; }

    // A failure stays on the page, in its result line, and the frame keeps it open.
    STDMETHODIMP Apply() override {
        if (!Driver || !FormExists())
            return S_OK;
        return Form.ApplyShowingFailure() ? S_OK : E_FAIL;
    }

    STDMETHODIMP Help(LPCOLESTR) override { return E_NOTIMPL; }

    STDMETHODIMP TranslateAccelerator(MSG* message) override {
        if (!message)
            return E_POINTER;
        return FormExists() && IsDialogMessageW(Form.Handle(), message) ? S_OK : S_FALSE;
    }

private:
    bool FormExists() const { return Form.Exists(); }

    bool EnsureForm() {
        if (FormExists())
            return true;
        if (!Holder)
            Holder = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                     ModuleInstance(), nullptr);
        return Holder && Form.Create(Holder);
    }

    void DestroyForm() {
        if (FormExists())
            DestroyWindow(Form.Handle());
    }

    LONG RefCount = 1;
    TComPtr<IPropertyPageSite> Site;
    TComPtr<ITrelmo> Driver;
    TfmPage Form;
    HWND Holder = nullptr;
};
} // namespace

HRESULT CreatePropertyPage(REFIID iid, void** object) {
    // The page starts with one reference, held here until QueryInterface gives the caller one.
    const TComPtr<TPropertyPage> page(new (std::nothrow) TPropertyPage);
    if (!page)
        return E_OUTOFMEMORY;
    return page->QueryInterface(iid, object);
}
