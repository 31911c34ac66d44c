#include "untComCall.h"

#include "untCodePage.h"
#include "untHolders.h"

#include <cstdio>

namespace {
std::string Describe(HRESULT result) {
    char text[64];
    std::snprintf(text, sizeof text, "%s 0x%08lX", Ansi("Ошибка вызова драйвера").c_str(),
                  static_cast<unsigned long>(result));
    return text;
}
} // namespace

EComCall::EComCall(HRESULT result) : std::runtime_error(Describe(result)), Result(result) {}

LONG GetLong(ITrelmo* driver, HRESULT (STDMETHODCALLTYPE ITrelmo::*get)(LONG*)) {
    LONG value = 0;
    Check((driver->*get)(&value));
    return value;
}

bool GetBool(ITrelmo* driver, HRESULT (STDMETHODCALLTYPE ITrelmo::*get)(VARIANT_BOOL*)) {
    VARIANT_BOOL value = VARIANT_FALSE;
    Check((driver->*get)(&value));
    return value != VARIANT_FALSE;
}

std::wstring GetString(ITrelmo* driver, HRESULT (STDMETHODCALLTYPE ITrelmo::*get)(BSTR*)) {
    TBstr value;
    Check((driver->*get)(value.Out()));
    return value.Text();
}

void PutLong(ITrelmo* driver, HRESULT (STDMETHODCALLTYPE ITrelmo::*put)(LONG), LONG value) {
    Check((driver->*put)(value));
}

void PutBool(ITrelmo* driver, HRESULT (STDMETHODCALLTYPE ITrelmo::*put)(VARIANT_BOOL), bool value) {
    Check((driver->*put)(value ? VARIANT_TRUE : VARIANT_FALSE));
}

void PutString(ITrelmo* driver, HRESULT (STDMETHODCALLTYPE ITrelmo::*put)(BSTR),
               const std::wstring& value) {
    const TBstr text(value);
    Check((driver->*put)(text.B));
}

LONG Call(ITrelmo* driver, HRESULT (STDMETHODCALLTYPE ITrelmo::*method)(LONG*)) {
    LONG result = 0;
    Check((driver->*method)(&result));
    return result;
}
