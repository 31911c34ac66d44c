#include "ole1C.h"

#include "untHolders.h"

#include <oleauto.h>

void* Tole1C::FindInterface(REFIID iid) {
    if (IsEqualIID(iid, IID_IInitDone))
        return static_cast<IInitDone*>(this);
    return ToleAddin::FindInterface(iid);
}

STDMETHODIMP Tole1C::QueryInterface(REFIID iid, void** object) {
    return ToleAddin::QueryInterface(iid, object);
}

STDMETHODIMP_(ULONG) Tole1C::AddRef() {
    return ToleAddin::AddRef();
}

STDMETHODIMP_(ULONG) Tole1C::Release() {
    return ToleAddin::Release();
}

// The component needs nothing from the host, so it keeps no reference to its connection.
STDMETHODIMP Tole1C::Init(IDispatch*) {
    return S_OK;
}

STDMETHODIMP Tole1C::Done() {
    return S_OK;
}

// "1000": the add-in interface version the component speaks, as a string.
STDMETHODIMP Tole1C::GetInfo(SAFEARRAY** info) {
    if (!info)
        return E_POINTER;
    TVariant version;
    V_VT(&version.V) = VT_BSTR;
    V_BSTR(&version.V) = SysAllocString(L"1000");
    LONG index = 0;
    SafeArrayPutElement(*info, &index, &version.V); // the array keeps a copy
    return S_OK;
}
