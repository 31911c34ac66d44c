// Property calls on the driver's interface for the dialogs: a failing call throws, so a
// dialog's failure reaches the method that opened it as its result.
#pragma once

#include "TrelmoLib_TLB.h"

#include <stdexcept>
#include <string>

class EComCall : public std::runtime_error {
public:
    explicit EComCall(HRESULT result);
    HRESULT Result;
};

inline void Check(HRESULT result) {
    if (FAILED(result))
        throw EComCall(result);
}

LONG GetLong(ITrelmo* driver, HRESULT (STDMETHODCALLTYPE ITrelmo::*get)(LONG*));
bool GetBool(ITrelmo* driver, HRESULT (STDMETHODCALLTYPE ITrelmo::*get)(VARIANT_BOOL*));
std::wstring GetString(ITrelmo* driver, HRESULT (STDMETHODCALLTYPE ITrelmo::*get)(BSTR*));
void PutLong(ITrelmo* driver, HRESULT (STDMETHODCALLTYPE ITrelmo::*put)(LONG), LONG value);
void PutBool(ITrelmo* driver, HRESULT (STDMETHODCALLTYPE ITrelmo::*put)(VARIANT_BOOL), bool value);
void PutString(ITrelmo* driver, HRESULT (STDMETHODCALLTYPE ITrelmo::*put)(BSTR),
               const std::wstring& value);
// Calls a method; its result code.
LONG Call(ITrelmo* driver, HRESULT (STDMETHODCALLTYPE ITrelmo::*method)(LONG*));
