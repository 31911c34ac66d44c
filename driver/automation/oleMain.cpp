#include "oleMain.h"

#include "driver/widgets/fmuAbout.h"
#include "fmuFind.h"
#include "fmuLog.h"
#include "driver/tools/fmuProg.h"
#include "fmuTables.h"

#include "untCodePage.h"
#include "untCtrl.h"
#include "untError.h"
#include "untMembers.h"
#include "driver/automation/untVInfo.h"

#include <olectl.h>

#include <stdexcept>
#include <string>

namespace {
BSTR ToBstr(const std::string& ansi) {
    const std::wstring wide = Cp1251ToWide(ansi);
    return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

std::string FromBstr(BSTR text) {
    return text ? WideToCp1251(std::wstring(text, SysStringLen(text))) : std::string();
}

// The data block as a new one-dimensional byte array, indexed from 0.
void ToByteArray(const TBytes& data, VARIANT* value) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(data.size()));
    if (!array)
        throw std::bad_alloc();
    if (!data.empty()) {
        void* bytes = nullptr;
        SafeArrayAccessData(array, &bytes);
        memcpy(bytes, data.data(), data.size());
        SafeArrayUnaccessData(array);
    }
    V_VT(value) = VT_ARRAY | VT_UI1;
    V_ARRAY(value) = array;
}

// As many bytes as the array's first dimension has elements, whatever their type.
TBytes FromArray(const VARIANT& source) {
    TVariant value;
    VariantCopyInd(&value.V, const_cast<VARIANT*>(&source)); // scripts pass arrays by reference
    if (!(V_VT(&value.V) & VT_ARRAY) || !V_ARRAY(&value.V))
        throw std::invalid_argument(Ansi("Значение не является массивом"));
    SAFEARRAY* array = V_ARRAY(&value.V);
    LONG lower = 0, upper = -1;
    SafeArrayGetLBound(array, 1, &lower);
    SafeArrayGetUBound(array, 1, &upper);
    const std::size_t count = upper >= lower ? static_cast<std::size_t>(upper - lower + 1) : 0;
    TBytes data;
    void* bytes = nullptr;
    if (count > 0 && SUCCEEDED(SafeArrayAccessData(array, &bytes))) {
        data.assign(static_cast<const char*>(bytes), count);
        SafeArrayUnaccessData(array);
    }
    return data;
}

// Dialogs arrive with their own builds; until then their members say so.
[[noreturn]] void DialogMissing() {
    throw std::runtime_error(Ansi("Диалог недоступен в этой версии драйвера"));
}
} // namespace

TTrelmo::TTrelmo() : Control(new TOleControl(static_cast<ITrelmo*>(this))) {
    ServerObjectCreated();
}

TTrelmo::~TTrelmo() {
    DriverCore.reset();
    DispatchInfo.Reset();
    ServerObjectDestroyed();
}

void TTrelmo::Initialize() {
    DriverCore = std::make_unique<TDriver>();
    if (ITypeLib* library = TypeLibrary())
        library->GetTypeInfoOfGuid(IID_ITrelmo, DispatchInfo.Out());
}

ITypeLib* TTrelmo::TypeLibrary() {
    static ITypeLib* library = [] {
        wchar_t path[MAX_PATH];
        ITypeLib* loaded = nullptr;
        if (GetModuleFileNameW(ModuleInstance(), path, MAX_PATH))
            LoadTypeLibEx(path, REGKIND_NONE, &loaded);
        return loaded;
    }();
    return library;
}

void TTrelmo::SafeCallException() {
    if (DriverCore)
        DriverCore->HandleException(std::current_exception());
}

void* TTrelmo::FindInterface(REFIID) {
    return nullptr;
}

// ---------------------------------------------------------------- IUnknown

STDMETHODIMP TTrelmo::QueryInterface(REFIID iid, void** object) {
    if (!object)
        return E_POINTER;
    void* found = FindInterface(iid);
    if (!found && (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_ITrelmo))
        found = static_cast<ITrelmo*>(this);
    if (!found && (iid == IID_IProvideClassInfo || iid == IID_IProvideClassInfo2))
        found = static_cast<IProvideClassInfo2*>(this);
    if (!found)
        found = Control->Find(iid);
    *object = found;
    if (!found)
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) TTrelmo::AddRef() {
    return InterlockedIncrement(&RefCount);
}

STDMETHODIMP_(ULONG) TTrelmo::Release() {
    const ULONG count = InterlockedDecrement(&RefCount);
    if (count == 0)
        delete this;
    return count;
}

// ---------------------------------------------------------------- IDispatch

STDMETHODIMP TTrelmo::GetTypeInfoCount(UINT* count) {
    if (!count)
        return E_POINTER;
    *count = DispatchInfo ? 1 : 0;
    return S_OK;
}

STDMETHODIMP TTrelmo::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    if (!info)
        return E_POINTER;
    *info = nullptr;
    if (index != 0 || !DispatchInfo)
        return DISP_E_BADINDEX;
    *info = TComPtr<ITypeInfo>::Share(DispatchInfo.Get()).Detach();
    return S_OK;
}

STDMETHODIMP TTrelmo::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (iid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    if (!DispatchInfo)
        return E_UNEXPECTED;
    return DispGetIDsOfNames(DispatchInfo.Get(), names, count, ids);
}

STDMETHODIMP TTrelmo::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                             VARIANT* result, EXCEPINFO* exception, UINT* argError) {
    if (iid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    if (!DispatchInfo)
        return E_UNEXPECTED;
    return DispInvoke(static_cast<ITrelmo*>(this), DispatchInfo.Get(), id, flags, params, result,
                      exception, argError);
}

// ---------------------------------------------------------------- IProvideClassInfo2

STDMETHODIMP TTrelmo::GetClassInfo(ITypeInfo** info) {
    if (!info)
        return E_POINTER;
    *info = nullptr;
    ITypeLib* library = TypeLibrary();
    return library ? library->GetTypeInfoOfGuid(CLSID_Trelmo, info) : E_UNEXPECTED;
}

STDMETHODIMP TTrelmo::GetGUID(DWORD kind, GUID* guid) {
    if (!guid || kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID)
        return E_INVALIDARG;
    *guid = GUID_NULL; // the control raises no events
    return S_OK;
}

// ---------------------------------------------------------------- ITrelmo

namespace {
// Each member runs in this guard: an escaping failure becomes the driver's result, never a
// COM error.
template <typename Body> HRESULT Guard(TTrelmo& object, void (TTrelmo::*handler)(), Body body) {
    try {
        body();
    } catch (...) {
        (object.*handler)();
    }
    return S_OK;
}
} // namespace

#define GUARDED(...) Guard(*this, &TTrelmo::SafeCallException, [&] { __VA_ARGS__; })

// Dialog members: the dialog's own failure becomes the result, then the method line.
HRESULT TTrelmo::DialogMethod(const TMember& member, LONG* Value, void (TTrelmo::*open)()) {
    return GUARDED({
        int code = 0;
        try {
            (this->*open)();
            code = Driver().ClearResult();
        } catch (const std::exception&) {
            code = Driver().HandleException(std::current_exception());
        }
        if (Value)
            *Value = code;
        Driver().GetLog().WriteMethod(member.Name);
        Driver().GetLog().WriteMethodResult(static_cast<long>(code));
    });
}

void TTrelmo::OpenSearchDialog() {
    ShowSearchDialog(ParentWindow, this);
}
void TTrelmo::OpenFirmwareDialog() {
    ShowFirmwareDialog(ParentWindow, this);
}
void TTrelmo::OpenLogDialog() {
    ShowLogDialog(ParentWindow, this);
}
void TTrelmo::OpenTablesDialog() {
    LONG closed = 0;
    Disconnect(&closed);
    ShowTablesDialog(ParentWindow, this);
}

STDMETHODIMP TTrelmo::ShowSearchDlg(LONG* Value) {
    return DialogMethod(MemberAt<TMemberIndex::ShowSearchDlg>(), Value, &TTrelmo::OpenSearchDialog);
}
STDMETHODIMP TTrelmo::UpdateSoftware(LONG* Value) {
    return DialogMethod(MemberAt<TMemberIndex::UpdateSoftware>(), Value,
                        &TTrelmo::OpenFirmwareDialog);
}
STDMETHODIMP TTrelmo::ShowLogDlg(LONG* Value) {
    return DialogMethod(MemberAt<TMemberIndex::ShowLogDlg>(), Value, &TTrelmo::OpenLogDialog);
}
STDMETHODIMP TTrelmo::ShowTablesDlg(LONG* Value) {
    return DialogMethod(MemberAt<TMemberIndex::ShowTablesDlg>(), Value, &TTrelmo::OpenTablesDialog);
}

// No result and no log line: the box says nothing about the board.
STDMETHODIMP TTrelmo::AboutBox() {
    return GUARDED(ShowAboutBox(GetActiveWindow(), L"Драйвер варнок-платы",
                                {L"Версия драйвера: " + Cp1251ToWide(LibraryVersion())}));
}

STDMETHODIMP TTrelmo::ShowProperties(LONG*) {
    return GUARDED({
        TComPtr<ISpecifyPropertyPages> specify;
        CAUUID pages{0, nullptr};
        if (SUCCEEDED(QueryInterface(IID_ISpecifyPropertyPages, specify.Put())))
            specify->GetPages(&pages);
        const TOwned<GUID*, CoTaskMemFree> pageIds(pages.pElems);
        HRESULT hr = S_OK;
        if (pages.cElems > 0) {
            IUnknown* self = static_cast<ITrelmo*>(this);
            // The frame's title names the driver; without a caption it would be bare.
            hr = OleCreatePropertyFrame(GetActiveWindow(), 16, 16, L"Драйвер варнок-платы", 1,
                                        &self, pages.cElems, pages.pElems, GetSystemDefaultLCID(),
                                        0, nullptr);
        }
        if (pages.cElems == 0)
            DialogMissing();
        if (FAILED(hr))
            RaiseOSError(static_cast<unsigned long>(hr));
    });
}

STDMETHODIMP TTrelmo::get_ParentWnd(LONG* Value) {
    return GUARDED(*Value = static_cast<LONG>(reinterpret_cast<LONG_PTR>(ParentWindow)));
}
STDMETHODIMP TTrelmo::put_ParentWnd(LONG Value) {
    return GUARDED(ParentWindow = reinterpret_cast<HWND>(static_cast<LONG_PTR>(Value)));
}
STDMETHODIMP TTrelmo::get_Version(BSTR* Value) {
    return GUARDED(*Value = ToBstr(LibraryVersion()));
}

// The members the driver core answers, all alike: each goes to its own row of the member table.
HRESULT TTrelmo::CallMethod(const TMember& member, LONG* Value) {
    return GUARDED({
        static_assert(sizeof(LONG) == sizeof(std::int32_t), "LONG is 32-bit");
        const int code = InvokeMethod(member, Driver());
        if (Value)
            *Value = code;
    });
}

HRESULT TTrelmo::GetProperty(const TMember& member, LONG* Value) {
    return GUARDED(*Value = std::get<std::int32_t>(member.Get(Driver())));
}
HRESULT TTrelmo::GetProperty(const TMember& member, VARIANT_BOOL* Value) {
    return GUARDED(*Value = std::get<bool>(member.Get(Driver())) ? VARIANT_TRUE : VARIANT_FALSE);
}
HRESULT TTrelmo::GetProperty(const TMember& member, BSTR* Value) {
    return GUARDED(*Value = ToBstr(std::get<std::string>(member.Get(Driver()))));
}
HRESULT TTrelmo::GetProperty(const TMember& member, DATE* Value) {
    return GUARDED(*Value = std::get<double>(member.Get(Driver())));
}
HRESULT TTrelmo::GetProperty(const TMember& member, VARIANT* Value) {
    return GUARDED({
        VariantInit(Value);
        ToByteArray(std::get<TByteBlock>(member.Get(Driver())).Data, Value);
    });
}
HRESULT TTrelmo::PutProperty(const TMember& member, LONG Value) {
    return GUARDED(member.Set(Driver(), std::int32_t{Value}));
}
HRESULT TTrelmo::PutProperty(const TMember& member, VARIANT_BOOL Value) {
    return GUARDED(member.Set(Driver(), Value != 0));
}
HRESULT TTrelmo::PutProperty(const TMember& member, BSTR Value) {
    return GUARDED(member.Set(Driver(), FromBstr(Value)));
}
HRESULT TTrelmo::PutProperty(const TMember& member, VARIANT Value) {
    return GUARDED(member.Set(Driver(), TByteBlock{FromArray(Value)}));
}

#define TRELMO_DEFINE_Method(Name, Type)                                                           \
    STDMETHODIMP TTrelmo::Name(LONG* Value) {                                                      \
        return CallMethod(MemberAt<TMemberIndex::Name>(), Value);                                  \
    }
#define TRELMO_DEFINE_ReadOnly(Name, Type)                                                         \
    STDMETHODIMP TTrelmo::get_##Name(TComValue<TMemberType::Type>* Value) {                        \
        return GetProperty(MemberAt<TMemberIndex::Name>(), Value);                                 \
    }
#define TRELMO_DEFINE_ReadWrite(Name, Type)                                                        \
    TRELMO_DEFINE_ReadOnly(Name, Type)                                                             \
        STDMETHODIMP TTrelmo::put_##Name(TComValue<TMemberType::Type> Value) {                     \
        return PutProperty(MemberAt<TMemberIndex::Name>(), Value);                                 \
    }
#define MEMBER(Name, DispId, Access, Type, ...) TRELMO_DEFINE_##Access(Name, Type)
#define OWN_MEMBER(...)
#include "untMemberList.h"
