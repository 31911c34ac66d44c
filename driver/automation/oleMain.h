// TTrelmo: the automation object behind the class Trelmo, an ActiveX control invisible at
// run time, over exactly one driver core. Every member returns S_OK: failures reach the
// caller only as result codes (ResultCode, ResultDescription).
#pragma once

#include "TrelmoLib_TLB.h"
#include "untDriver.h"
#include "untHolders.h"
#include "untMembers.h"
#include "untModule.h"

#include <ocidl.h>
#include <windows.h>

#include <memory>

class TOleControl;

// The automation type of each member type, as the interface passes it.
template <TMemberType> struct TComType;
template <> struct TComType<TMemberType::Long> { using Type = LONG; };
template <> struct TComType<TMemberType::Boolean> { using Type = VARIANT_BOOL; };
template <> struct TComType<TMemberType::String> { using Type = BSTR; };
template <> struct TComType<TMemberType::Variant> { using Type = VARIANT; };
template <> struct TComType<TMemberType::Date> { using Type = DATE; };
template <TMemberType Type> using TComValue = typename TComType<Type>::Type;

class TTrelmo : public ITrelmo, public IProvideClassInfo2 {
public:
    TTrelmo();
    virtual ~TTrelmo();
    TTrelmo(const TTrelmo&) = delete;
    TTrelmo& operator=(const TTrelmo&) = delete;

    // Runs once after construction: creates the driver core (which loads the settings).
    // Derived classes extend it and call this first.
    virtual void Initialize();

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IDispatch, over the type information of the library's own type library
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                               DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

    // IProvideClassInfo2
    STDMETHODIMP GetClassInfo(ITypeInfo** info) override;
    STDMETHODIMP GetGUID(DWORD kind, GUID* guid) override;

    // ITrelmo: every member of untMemberList.h. The driver core's are all alike, each bound to
    // its row of the member table; the object's own are written out in oleMain.cpp.
#define TRELMO_DECLARE_Procedure(Name, Type) STDMETHODIMP Name() override;
#define TRELMO_DECLARE_Method(Name, Type) STDMETHODIMP Name(LONG* Value) override;
#define TRELMO_DECLARE_ReadOnly(Name, Type)                                                        \
    STDMETHODIMP get_##Name(TComValue<TMemberType::Type>* Value) override;
#define TRELMO_DECLARE_ReadWrite(Name, Type)                                                       \
    TRELMO_DECLARE_ReadOnly(Name, Type)                                                            \
        STDMETHODIMP put_##Name(TComValue<TMemberType::Type> Value) override;
#define MEMBER(Name, DispId, Access, Type, ...) TRELMO_DECLARE_##Access(Name, Type)
#include "untMemberList.h"
#undef TRELMO_DECLARE_Procedure
#undef TRELMO_DECLARE_Method
#undef TRELMO_DECLARE_ReadOnly
#undef TRELMO_DECLARE_ReadWrite

    TDriver& Driver() {
        return *DriverCore;
    }
    HWND GetParentWnd() const {
        return ParentWindow;
    }
    // The library's own type library, loaded once from the module.
    static ITypeLib* TypeLibrary();

protected:
    // The interface of a derived class for `iid`, or nullptr; TTrelmo's QueryInterface asks
    // it first. The pointer is not yet AddRef'ed.
    virtual void* FindInterface(REFIID iid);
    // Hands an escaped failure to the driver's result, as the member guard does.
    void SafeCallException();

private:
    HRESULT CallMethod(const TMember& member, LONG* Value);
    HRESULT DialogMethod(const TMember& member, LONG* Value, void (TTrelmo::*open)());
    void OpenSearchDialog();
    void OpenFirmwareDialog();
    void OpenLogDialog();
    void OpenTablesDialog();
    HRESULT GetProperty(const TMember& member, LONG* Value);
    HRESULT GetProperty(const TMember& member, VARIANT_BOOL* Value);
    HRESULT GetProperty(const TMember& member, BSTR* Value);
    HRESULT GetProperty(const TMember& member, DATE* Value);
    HRESULT GetProperty(const TMember& member, VARIANT* Value);
    HRESULT PutProperty(const TMember& member, LONG Value);
    HRESULT PutProperty(const TMember& member, VARIANT_BOOL Value);
    HRESULT PutProperty(const TMember& member, BSTR Value);
    HRESULT PutProperty(const TMember& member, VARIANT Value);

    LONG RefCount = 1;
    std::unique_ptr<TDriver> DriverCore;
    std::unique_ptr<TOleControl> Control;
    HWND ParentWindow = nullptr;
    TComPtr<ITypeInfo> DispatchInfo;
};

