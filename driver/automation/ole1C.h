// Tole1C: the class that COM creates for Trelmo. It adds the host's IInitDone to the add-in
// adapter, so one object serves automation clients and the 1C host alike.
#pragma once

#include "oleAddin.h"

class Tole1C : public ToleAddin, public IInitDone {
public:
    Tole1C() = default;

    // IUnknown: one object identity, TTrelmo's
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IInitDone
    STDMETHODIMP Init(IDispatch* connection) override;
    STDMETHODIMP Done() override;
    STDMETHODIMP GetInfo(SAFEARRAY** info) override;

protected:
    void* FindInterface(REFIID iid) override;
};
