// The COM side of the Windows test programs: the resource holders, Trelmo.dll loaded from the
// program's own folder, where the build puts it, as a host loads it, and a fixture that calls the driver object through ITrelmo. Header-only.
#pragma once

#include "TrelmoLib_TLB.h"
#include "untHolders.h"

#include <gtest/gtest.h>
#include <oleauto.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

namespace comtest {

// The production holders under the names the tests know them by.
template <class T> using TPtr = TComPtr<T>;
using TVar = TVariant;
using ::TakeBstr;
using ::TBstr;

// This program's folder, with the closing backslash.
inline std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH];
    const std::wstring self(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
    return self.substr(0, self.find_last_of(L'\\') + 1);
}

inline std::wstring LibraryPath() {
    return ProgramFolder() + L"Trelmo.dll";
}

template <class F> F Export(HMODULE module, const char* name) {
    return module ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)))
                  : nullptr;
}

// Trelmo.dll from LibraryPath, kept loaded for the program's life: objects made from it must
// not outlive their code.
inline HMODULE LoadTrelmo() {
    static const HMODULE module = LoadLibraryW(LibraryPath().c_str());
    return module;
}

// The library's DllGetClassObject; null, with the reason printed, when there is none.
inline LPFNGETCLASSOBJECT LoadClassObjectEntry() {
    const auto entry = Export<LPFNGETCLASSOBJECT>(LoadTrelmo(), "DllGetClassObject");
    if (!entry)
        std::printf("cannot load Trelmo.dll or its DllGetClassObject (error %lu)\n",
                    GetLastError());
    return entry;
}

// A driver object made by the library's class factory, without registration.
inline HRESULT CreateFromFactory(LPFNGETCLASSOBJECT entry, REFIID iid, void** object) {
    TPtr<IClassFactory> factory;
    const HRESULT found = entry(CLSID_Trelmo, IID_IClassFactory, factory.Put());
    return FAILED(found) ? found : factory->CreateInstance(nullptr, iid, object);
}

// The virtual board from the arguments "<port number> <board serial number>" that follow
// GoogleTest's options; false, with the usage printed, when there is no port.
inline bool ReadBoardArguments(int argc, char** argv, const char* program, int& port, int& serial) {
    port = argc > 2 ? std::atoi(argv[1]) : 0;
    serial = argc > 2 ? std::atoi(argv[2]) : 0;
    if (port > 0)
        return true;
    std::printf("usage: %s [GoogleTest options] <port number> <board serial>\n", program);
    return false;
}

// A test of one driver object, made by SetUp: its members called through the vtable, each
// call expected to succeed. What a call gives back is -12345 when it gives nothing.
class TTrelmoTest : public ::testing::Test {
protected:
    using TLongOut = HRESULT (STDMETHODCALLTYPE ITrelmo::*)(LONG*);

    LONG Get(TLongOut get) {
        LONG value = -12345;
        EXPECT_EQ(S_OK, (Driver.Get()->*get)(&value));
        return value;
    }
    bool GetBool(HRESULT (STDMETHODCALLTYPE ITrelmo::*get)(VARIANT_BOOL*)) {
        VARIANT_BOOL value = VARIANT_FALSE;
        EXPECT_EQ(S_OK, (Driver.Get()->*get)(&value));
        return value != VARIANT_FALSE;
    }
    std::wstring GetText(HRESULT (STDMETHODCALLTYPE ITrelmo::*get)(BSTR*)) {
        BSTR value = nullptr;
        EXPECT_EQ(S_OK, (Driver.Get()->*get)(&value));
        return TakeBstr(value);
    }
    void Put(HRESULT (STDMETHODCALLTYPE ITrelmo::*put)(LONG), LONG value) {
        EXPECT_EQ(S_OK, (Driver.Get()->*put)(value));
    }
    void PutBool(HRESULT (STDMETHODCALLTYPE ITrelmo::*put)(VARIANT_BOOL), bool value) {
        EXPECT_EQ(S_OK, (Driver.Get()->*put)(value ? VARIANT_TRUE : VARIANT_FALSE));
    }
    void PutText(HRESULT (STDMETHODCALLTYPE ITrelmo::*put)(BSTR), const std::wstring& value) {
        EXPECT_EQ(S_OK, (Driver.Get()->*put)(TBstr(value).B));
    }
    // A method's result code.
    LONG Call(TLongOut method) { return Get(method); }

    TPtr<ITrelmo> Driver;
};

} // namespace comtest
