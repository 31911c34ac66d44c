#include "testprog/untPage.h"

#include "testprog/untTypes.h"

#include <algorithm>

TPages::~TPages() {
    // The pages go first: a page may still use the driver while it is destroyed.
    while (!Pages.empty())
        Pages.back()->SetPages(nullptr);
    Owned.clear();
}

void TPages::Add(std::unique_ptr<TPage> page) {
    page->SetPages(this);
    Owned.push_back(std::move(page));
}

void TPages::Remove(TPage* page) {
    Pages.erase(std::remove(Pages.begin(), Pages.end(), page), Pages.end());
}

ITrelmo* TPages::Driver() {
    if (!DriverObject) {
        TComPtr<ITrelmo> created;
        const HRESULT result =
            CoCreateInstance(CLSID_Trelmo, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                             IID_ITrelmo, created.Put());
        if (FAILED(result))
            throw EOleError(result);
        DriverObject = std::move(created);
    }
    return DriverObject.Get();
}

void TPages::Update() const {
    if (OnUpdate)
        OnUpdate();
}

TPage::TPage(int templateId, const wchar_t* formName, const wchar_t* caption)
    : TForm(templateId, formName), PageCaption(caption) {}

TPage::~TPage() {
    SetPages(nullptr);
}

void TPage::SetPages(TPages* pages) {
    if (Manager == pages)
        return;
    if (Manager)
        Manager->Remove(this);
    Manager = pages;
    if (Manager)
        Manager->Pages.push_back(this);
}

ITrelmo* TPage::Driver() const {
    if (!Manager)
        throw EProgramError(L"Страница не подключена к драйверу");
    return Manager->Driver();
}

void TPage::EnableButtons(bool enabled) {
    HWND stop = StopButton ? Item(StopButton) : nullptr;
    for (HWND child = GetWindow(Handle(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (child == stop)
            continue;
        wchar_t name[16] = L"";
        GetClassNameW(child, name, 16);
        const LONG_PTR type = GetWindowLongPtrW(child, GWL_STYLE) & BS_TYPEMASK;
        if (_wcsicmp(name, L"Button") == 0 && (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON))
            EnableWindow(child, enabled);
    }
}

void TPage::ExecuteStarted() const {
    if (Manager)
        Manager->Update();
}

void TPage::ExecuteDone() const {
    if (Manager)
        Manager->Update();
}

void TPage::Operate(const TOperation& operation, const std::function<void()>& body) {
    // Not a scope guard: the end notification reads the driver and may throw in its turn.
    // Another process watches the buttons: the stop button is off before the others are on.
    auto finish = [this, &operation] {
        Looping = false;
        if (StopButton)
            Enable(StopButton, false);
        if (operation.ButtonsOff)
            EnableButtons(true);
        if (operation.Button)
            FocusIfCan(operation.Button);
        if (operation.Result != TResultShown::Never)
            ExecuteDone();
    };
    if (operation.ButtonsOff)
        EnableButtons(false);
    if (operation.Loop && StopButton) {
        Enable(StopButton, true);
        FocusIfCan(StopButton);
    }
    Looping = operation.Loop;
    try {
        if (operation.Result == TResultShown::FromStart)
            ExecuteStarted();
        body();
    } catch (...) {
        finish();
        throw;
    }
    finish();
}
