// Owners of Win32 and COM resources, so that no path out of a function leaks one: interface
// pointers, BSTRs, VARIANTs, kernel handles, registry keys, GDI objects, device contexts, icons,
// modules, and a scope guard for the rest. A holder that takes another resource lets go of the
// one it had at once. Header-only; Windows code includes it.
#pragma once

#include <windows.h>

#include <oleauto.h> // needs windows.h first

#include <string>
#include <utility>

// An interface pointer holding one reference.
template <class T> class TComPtr {
public:
    TComPtr() = default;
    // Takes over a reference the caller owns.
    explicit TComPtr(T* owned) : P(owned) {}
    ~TComPtr() { Reset(); }
    TComPtr(TComPtr&& other) noexcept : P(std::exchange(other.P, nullptr)) {}
    TComPtr& operator=(TComPtr&& other) noexcept {
        Reset(other.Detach());
        return *this;
    }
    TComPtr(const TComPtr&) = delete;
    TComPtr& operator=(const TComPtr&) = delete;

    // A reference of its own to an interface someone else holds.
    static TComPtr Share(T* borrowed) {
        if (borrowed)
            borrowed->AddRef();
        return TComPtr(borrowed);
    }

    T* operator->() const { return P; }
    T* Get() const { return P; }
    explicit operator bool() const { return P != nullptr; }
    // For QueryInterface and the other functions that give a void**.
    void** Put() { return reinterpret_cast<void**>(Out()); }
    T** Out() {
        Reset();
        return &P;
    }
    T* Detach() { return std::exchange(P, nullptr); }
    // The old reference goes after the new one is in place, so a Release that calls back finds
    // the holder consistent.
    void Reset(T* owned = nullptr) {
        if (T* old = std::exchange(P, owned))
            old->Release();
    }

private:
    T* P = nullptr;
};

struct TBstr {
    BSTR B = nullptr;
    TBstr() = default;
    explicit TBstr(const std::wstring& text)
        : B(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    ~TBstr() { SysFreeString(B); }
    TBstr(const TBstr&) = delete;
    TBstr& operator=(const TBstr&) = delete;
    BSTR* Out() {
        SysFreeString(std::exchange(B, nullptr));
        return &B;
    }
    BSTR Detach() { return std::exchange(B, nullptr); }
    std::wstring Text() const { return B ? std::wstring(B, SysStringLen(B)) : std::wstring(); }
};

struct TVariant {
    VARIANT V;
    TVariant() { VariantInit(&V); }
    explicit TVariant(long value) : TVariant() {
        V_VT(&V) = VT_I4;
        V_I4(&V) = value;
    }
    ~TVariant() { VariantClear(&V); }
    TVariant(const TVariant&) = delete;
    TVariant& operator=(const TVariant&) = delete;
    VARIANT* Out() {
        VariantClear(&V);
        return &V;
    }
};

// The text of a BSTR the caller owns, which is freed.
inline std::wstring TakeBstr(BSTR text) {
    TBstr owner;
    owner.B = text;
    return owner.Text();
}

// A kernel handle; both "no handle" values (null and INVALID_HANDLE_VALUE) hold nothing.
class THandle {
public:
    THandle() = default;
    explicit THandle(HANDLE owned) : H(owned) {}
    ~THandle() { Reset(); }
    THandle(THandle&& other) noexcept : H(std::exchange(other.H, nullptr)) {}
    THandle& operator=(THandle&& other) noexcept {
        Reset(other.Detach());
        return *this;
    }
    THandle(const THandle&) = delete;
    THandle& operator=(const THandle&) = delete;
    HANDLE Get() const { return H; }
    explicit operator bool() const { return H && H != INVALID_HANDLE_VALUE; }
    HANDLE Detach() { return std::exchange(H, nullptr); }
    void Reset(HANDLE owned = nullptr) {
        if (*this)
            CloseHandle(H);
        H = owned;
    }

private:
    HANDLE H = nullptr;
};

class TRegKey {
public:
    TRegKey() = default;
    ~TRegKey() { Reset(); }
    TRegKey(TRegKey&& other) noexcept : K(std::exchange(other.K, nullptr)) {}
    TRegKey& operator=(TRegKey&& other) noexcept {
        if (this != &other) {
            Reset();
            K = std::exchange(other.K, nullptr);
        }
        return *this;
    }
    TRegKey(const TRegKey&) = delete;
    TRegKey& operator=(const TRegKey&) = delete;
    HKEY Get() const { return K; }
    explicit operator bool() const { return K != nullptr; }
    HKEY* Out() {
        Reset();
        return &K;
    }
    void Reset() {
        if (K)
            RegCloseKey(std::exchange(K, nullptr));
    }

private:
    HKEY K = nullptr;
};

// A handle that one function frees: TOwned<HFONT, DeleteObject> and the names below.
template <class H, auto Free> class TOwned {
public:
    TOwned() = default;
    explicit TOwned(H owned) : Handle(owned) {}
    ~TOwned() { Reset(); }
    TOwned(TOwned&& other) noexcept : Handle(other.Detach()) {}
    TOwned& operator=(TOwned&& other) noexcept {
        Reset(other.Detach());
        return *this;
    }
    TOwned(const TOwned&) = delete;
    TOwned& operator=(const TOwned&) = delete;
    H Get() const { return Handle; }
    explicit operator bool() const { return Handle != nullptr; }
    H Detach() { return std::exchange(Handle, nullptr); }
    void Reset(H owned = nullptr) {
        if (H old = std::exchange(Handle, owned))
            Free(old);
    }

private:
    H Handle = nullptr;
};

// Not while selected into a device context: put the old object back first.
template <class T> using TGdiObject = TOwned<T, DeleteObject>;
using TMemoryDc = TOwned<HDC, DeleteDC>;
using TIcon = TOwned<HICON, DestroyIcon>;
using TModule = TOwned<HMODULE, FreeLibrary>;

// A window's device context (GetDC), which goes back to that window.
class TWindowDc {
public:
    explicit TWindowDc(HWND window) : Window(window), Dc(GetDC(window)) {}
    ~TWindowDc() {
        if (Dc)
            ReleaseDC(Window, Dc);
    }
    TWindowDc(const TWindowDc&) = delete;
    TWindowDc& operator=(const TWindowDc&) = delete;
    HDC Get() const { return Dc; }

private:
    HWND Window;
    HDC Dc;
};

// Runs its action when the scope ends, however it ends; Dismiss() cancels it.
template <class F> class TScopeGuard {
public:
    explicit TScopeGuard(F action) : Action(std::move(action)) {}
    ~TScopeGuard() {
        if (Armed)
            Action();
    }
    TScopeGuard(const TScopeGuard&) = delete;
    TScopeGuard& operator=(const TScopeGuard&) = delete;
    void Dismiss() { Armed = false; }

private:
    F Action;
    bool Armed = true;
};
