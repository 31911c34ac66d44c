#include "oleAddin.h"

#include "untCodePage.h"
#include "untHolders.h"

#include <oleauto.h>

#include <string>

namespace {
// ITypeInfo hands out memory that must go back to it, also when filling a registry throws.
struct TTypeAttrHold {
    ITypeInfo& Info;
    TYPEATTR* Attr = nullptr;
    ~TTypeAttrHold() {
        if (Attr)
            Info.ReleaseTypeAttr(Attr);
    }
};

struct TFuncDescHold {
    ITypeInfo& Info;
    FUNCDESC* Desc = nullptr;
    ~TFuncDescHold() {
        if (Desc)
            Info.ReleaseFuncDesc(Desc);
    }
};

// The type library keeps its strings as cp1251 bytes and oleaut32 decodes them with the
// process's ANSI code page, which under Wine is often 1252: encoding back with that same code
// page restores the original bytes whatever it is.
std::string TypeInfoText(BSTR text) {
    int length = static_cast<int>(SysStringLen(text));
    if (length == 0)
        return {};
    int size = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, length, bytes.data(), size, nullptr, nullptr);
    return bytes;
}

std::string HostText(BSTR text) {
    return WideToCp1251(std::wstring(text ? text : L"", SysStringLen(text)));
}

// An [in, out] string: the host's old value goes, as with any in/out BSTR.
void PutHostText(BSTR* target, const std::string& text) {
    SysFreeString(*target);
    *target = text.empty() ? nullptr : SysAllocString(Cp1251ToWide(text).c_str());
}

// No exception may cross into the host.
template <class TBody> HRESULT Guarded(TBody body) {
    try {
        return body();
    } catch (...) {
        return E_UNEXPECTED;
    }
}

HRESULT ItemName(const TAddinItems& registry, LONG index, LONG alias, BSTR* name) {
    if (!name)
        return E_POINTER;
    return Guarded([&] {
        if (!registry.InRange(index)) {
            PutHostText(name, {});
            return S_FALSE;
        }
        const TAddinItem& item = registry.Item(index);
        PutHostText(name, alias == 0 ? item.Name : item.RussianName);
        return S_OK;
    });
}

HRESULT FindItem(const TAddinItems& registry, BSTR name, LONG* index) {
    if (!index)
        return E_POINTER;
    return Guarded([&] {
        *index = registry.Find(HostText(name));
        return *index >= 0 ? S_OK : S_FALSE;
    });
}

HRESULT ItemMark(const TAddinItems& registry, LONG index, bool TAddinItem::*mark, BOOL* value) {
    if (!value)
        return E_POINTER;
    if (!registry.InRange(index))
        return S_FALSE;
    *value = registry.Item(index).*mark ? 1 : 0;
    return S_OK;
}

// 1C knows no VT_BOOL or VT_CY: booleans go as 1/0, currency as a double.
void ToHostValue(DWORD varType, VARIANT& value) {
    if (varType == VT_BOOL) {
        TVariant flag;
        bool set = SUCCEEDED(VariantChangeType(&flag.V, &value, 0, VT_BOOL)) && V_BOOL(&flag.V);
        VariantClear(&value); // the host's variant, emptied in place for the new value
        V_VT(&value) = VT_I4;
        V_I4(&value) = set ? 1 : 0;
    } else if (varType == VT_CY) {
        VariantChangeType(&value, &value, 0, VT_R8);
    }
}
} // namespace

void ToleAddin::Initialize() {
    TTrelmo::Initialize();
    BuildRegistries();
}

void ToleAddin::BuildRegistries() {
    Props.Clear();
    Methods.Clear();
    try {
        FillRegistries();
    } catch (...) {
        // The object still serves, under the names entered so far.
    }
}

void ToleAddin::FillRegistries() {
    UINT count = 0;
    TComPtr<ITypeInfo> info;
    if (FAILED(GetTypeInfoCount(&count)) || count == 0 || FAILED(GetTypeInfo(0, 0, info.Out())) ||
        !info)
        return;
    TTypeAttrHold attr{*info.Get()};
    if (FAILED(info->GetTypeAttr(&attr.Attr)))
        return;
    for (UINT i = 0; i < attr.Attr->cFuncs; ++i)
        if (!AddFunction(*info.Get(), i))
            return;
}

// The registries keep the order of the type information; a setter follows its getter there,
// so it finds the property already entered.
bool ToleAddin::AddFunction(ITypeInfo& info, UINT index) {
    TFuncDescHold func{info};
    if (FAILED(info.GetFuncDesc(index, &func.Desc)))
        return false;
    const FUNCDESC& desc = *func.Desc;
    TBstr name, help;
    if (FAILED(info.GetDocumentation(desc.memid, name.Out(), help.Out(), nullptr, nullptr)))
        return false;
    if (desc.invkind != INVOKE_FUNC && desc.invkind != INVOKE_PROPERTYGET) {
        MarkWritable(desc.memid);
        return true;
    }
    std::string english = TypeInfoText(name.B);
    std::string russian = TypeInfoText(help.B);
    TAddinItem& item = (desc.invkind == INVOKE_FUNC ? Methods : Props).Add();
    item.DispID = desc.memid;
    item.Name = std::move(english);
    item.RussianName = std::move(russian);
    item.VarType = desc.elemdescFunc.tdesc.vt;
    item.Readable = desc.invkind == INVOKE_PROPERTYGET;
    return true;
}

void ToleAddin::MarkWritable(DISPID id) {
    for (long i = Props.Count() - 1; i >= 0; --i) {
        TAddinItem& item = Props.Item(i);
        if (item.DispID == id) {
            item.Writable = true;
            return;
        }
    }
}

// An index the registry does not hold makes no call at all.
HRESULT ToleAddin::InvokeMember(const TAddinItems& registry, LONG index, WORD flags,
                                DISPPARAMS& params, VARIANT* result) {
    if (!registry.InRange(index))
        return S_FALSE;
    return Invoke(registry.Item(index).DispID, IID_NULL, 0, flags, &params, result, nullptr,
                  nullptr);
}

void* ToleAddin::FindInterface(REFIID iid) {
    if (IsEqualIID(iid, IID_ILanguageExtender))
        return static_cast<ILanguageExtender*>(this);
    return TTrelmo::FindInterface(iid);
}

STDMETHODIMP ToleAddin::QueryInterface(REFIID iid, void** object) {
    return TTrelmo::QueryInterface(iid, object);
}

STDMETHODIMP_(ULONG) ToleAddin::AddRef() {
    return TTrelmo::AddRef();
}

STDMETHODIMP_(ULONG) ToleAddin::Release() {
    return TTrelmo::Release();
}

STDMETHODIMP ToleAddin::RegisterExtensionAs(BSTR* extensionName) {
    if (!extensionName)
        return E_POINTER;
    SysFreeString(*extensionName);
    *extensionName = SysAllocString(L"Zorbex");
    return S_OK;
}

STDMETHODIMP ToleAddin::GetNProps(LONG* count) {
    if (!count)
        return E_POINTER;
    *count = Props.Count();
    return S_OK;
}

STDMETHODIMP ToleAddin::FindProp(BSTR name, LONG* index) {
    return FindItem(Props, name, index);
}

STDMETHODIMP ToleAddin::GetPropName(LONG index, LONG alias, BSTR* name) {
    return ItemName(Props, index, alias, name);
}

STDMETHODIMP ToleAddin::GetPropVal(LONG index, VARIANT* value) {
    if (!value)
        return E_POINTER;
    VariantClear(value);
    if (!Props.InRange(index))
        return S_FALSE;
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    HRESULT hr = InvokeMember(Props, index, DISPATCH_PROPERTYGET, none, value);
    ToHostValue(Props.Item(index).VarType, *value);
    return hr;
}

STDMETHODIMP ToleAddin::SetPropVal(LONG index, VARIANT* value) {
    if (!value)
        return E_POINTER;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params = {value, &named, 1, 1};
    return InvokeMember(Props, index, DISPATCH_PROPERTYPUT, params, nullptr);
}

STDMETHODIMP ToleAddin::IsPropReadable(LONG index, BOOL* readable) {
    return ItemMark(Props, index, &TAddinItem::Readable, readable);
}

STDMETHODIMP ToleAddin::IsPropWritable(LONG index, BOOL* writable) {
    return ItemMark(Props, index, &TAddinItem::Writable, writable);
}

STDMETHODIMP ToleAddin::GetNMethods(LONG* count) {
    if (!count)
        return E_POINTER;
    *count = Methods.Count();
    return S_OK;
}

STDMETHODIMP ToleAddin::FindMethod(BSTR name, LONG* index) {
    return FindItem(Methods, name, index);
}

STDMETHODIMP ToleAddin::GetMethodName(LONG index, LONG alias, BSTR* name) {
    return ItemName(Methods, index, alias, name);
}

// No member of ITrelmo takes an argument.
STDMETHODIMP ToleAddin::GetNParams(LONG index, LONG* count) {
    if (!count)
        return E_POINTER;
    if (!Methods.InRange(index))
        return S_FALSE;
    *count = 0;
    return S_OK;
}

STDMETHODIMP ToleAddin::GetParamDefValue(LONG, LONG, VARIANT* value) {
    if (!value)
        return E_POINTER;
    VariantClear(value);
    return S_OK;
}

// Every method answers with its result code; AboutBox, which has none, leaves the host's
// result empty.
STDMETHODIMP ToleAddin::HasRetVal(LONG, BOOL* hasResult) {
    if (!hasResult)
        return E_POINTER;
    *hasResult = 1;
    return S_OK;
}

STDMETHODIMP ToleAddin::CallAsProc(LONG index, SAFEARRAY**) {
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    return InvokeMember(Methods, index, DISPATCH_METHOD, none, nullptr);
}

STDMETHODIMP ToleAddin::CallAsFunc(LONG index, VARIANT* result, SAFEARRAY**) {
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    return InvokeMember(Methods, index, DISPATCH_METHOD, none, result);
}
