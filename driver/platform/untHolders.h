// Owners of Win32 and COM resources, so that no path out of a function leaks one: interface
// pointers, BSTRs, VARIANTs, kernel handles, registry keys, and a scope guard for the rest.
// Header-only; Windows code includes it.
#pragma once

#include <oleauto.h>
#include <windows.h>

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
        std::swap(P, other.P);
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
    void Reset() {
        if (P)
            std::exchange(P, nullptr)->Release();
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
        std::swap(H, other.H);
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
        std::swap(K, other.K);
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
