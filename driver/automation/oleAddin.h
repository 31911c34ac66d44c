// ToleAddin: the driver object as a 1C:Enterprise external component. The host's language
// reaches every member of ITrelmo by its English name or by its Russian one (the member's
// help string), always through the object's own IDispatch, so a host call runs the same
// wrapper as any other client.
#pragma once

#include "AddInLib.h"
#include "oleMain.h"
#include "untAddin.h"

class ToleAddin : public TTrelmo, public ILanguageExtender {
public:
    ToleAddin() = default;

    // After TTrelmo's step, builds the name registries from the object's dispatch type
    // information. A failure on the way leaves them with what was entered so far.
    void Initialize() override;

    // IUnknown: one object identity, TTrelmo's
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // ILanguageExtender
    STDMETHODIMP RegisterExtensionAs(BSTR* extensionName) override;
    STDMETHODIMP GetNProps(LONG* count) override;
    STDMETHODIMP FindProp(BSTR name, LONG* index) override;
    STDMETHODIMP GetPropName(LONG index, LONG alias, BSTR* name) override;
    STDMETHODIMP GetPropVal(LONG index, VARIANT* value) override;
    STDMETHODIMP SetPropVal(LONG index, VARIANT* value) override;
    STDMETHODIMP IsPropReadable(LONG index, BOOL* readable) override;
    STDMETHODIMP IsPropWritable(LONG index, BOOL* writable) override;
    STDMETHODIMP GetNMethods(LONG* count) override;
    STDMETHODIMP FindMethod(BSTR name, LONG* index) override;
    STDMETHODIMP GetMethodName(LONG index, LONG alias, BSTR* name) override;
    STDMETHODIMP GetNParams(LONG index, LONG* count) override;
    STDMETHODIMP GetParamDefValue(LONG index, LONG param, VARIANT* value) override;
    STDMETHODIMP HasRetVal(LONG index, BOOL* hasResult) override;
    STDMETHODIMP CallAsProc(LONG index, SAFEARRAY** params) override;
    STDMETHODIMP CallAsFunc(LONG index, VARIANT* result, SAFEARRAY** params) override;

protected:
    void* FindInterface(REFIID iid) override;

private:
    void BuildRegistries();
    void FillRegistries();
    bool AddFunction(ITypeInfo& info, UINT index);
    void MarkWritable(DISPID id);
    HRESULT InvokeMember(const TAddinItems& registry, LONG index, WORD flags, DISPPARAMS& params,
                         VARIANT* result);

    TAddinItems Props;
    TAddinItems Methods;
};
