// Owners for the Win32 and automation resources the control takes: every BSTR, VARIANT,
// SAFEARRAY lock, kernel handle, GDI object and critical section has exactly one owner that
// releases it on every path. Interface pointers use Microsoft::WRL::ComPtr.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <utility>

namespace com {

// A BSTR with one owner. Out() hands the address to a callee that allocates the string.
class UniqueBstr {
public:
    UniqueBstr() = default;
    explicit UniqueBstr(const wchar_t* text) : bstr_(text ? SysAllocString(text) : nullptr) {}
    UniqueBstr(const wchar_t* text, UINT length) : bstr_(SysAllocStringLen(text, length)) {}
    UniqueBstr(UniqueBstr&& other) noexcept : bstr_(other.Detach()) {}
    UniqueBstr& operator=(UniqueBstr&& other) noexcept {
        Reset(other.Detach());
        return *this;
    }
    UniqueBstr(const UniqueBstr&) = delete;
    UniqueBstr& operator=(const UniqueBstr&) = delete;
    ~UniqueBstr() { Reset(); }

    static UniqueBstr Attach(BSTR bstr) {
        UniqueBstr owner;
        owner.bstr_ = bstr;
        return owner;
    }

    BSTR Get() const { return bstr_; }
    // Characters without the terminator; 0 for a null string.
    UINT Length() const { return SysStringLen(bstr_); }
    bool Empty() const { return Length() == 0; }
    // The string for reading; an empty string for a null BSTR.
    const wchar_t* Text() const { return bstr_ ? bstr_ : L""; }
    BSTR* Out() {
        Reset();
        return &bstr_;
    }
    BSTR Detach() { return std::exchange(bstr_, nullptr); }
    void Reset(BSTR bstr = nullptr) {
        if (bstr_ != bstr) SysFreeString(bstr_);
        bstr_ = bstr;
    }
    // A new copy for an [out] argument; the caller of the member owns it.
    HRESULT CopyTo(BSTR* out) const {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!bstr_) return S_OK;
        *out = SysAllocStringLen(bstr_, Length());
        return *out ? S_OK : E_OUTOFMEMORY;
    }

private:
    BSTR bstr_ = nullptr;
};

// A VARIANT that is cleared when it goes out of scope.
class UniqueVariant {
public:
    UniqueVariant() { VariantInit(&var_); }
    UniqueVariant(UniqueVariant&& other) noexcept : UniqueVariant() { std::swap(var_, other.var_); }
    UniqueVariant& operator=(UniqueVariant&& other) noexcept {
        Reset();
        std::swap(var_, other.var_);
        return *this;
    }
    UniqueVariant(const UniqueVariant&) = delete;
    UniqueVariant& operator=(const UniqueVariant&) = delete;
    ~UniqueVariant() { Reset(); }

    VARIANT* Get() { return &var_; }
    const VARIANT* Get() const { return &var_; }
    VARIANT* operator->() { return &var_; }
    const VARIANT* operator->() const { return &var_; }
    VARTYPE Type() const { return V_VT(&var_); }

    // Cleared first, for a callee that fills it.
    VARIANT* Out() {
        Reset();
        return &var_;
    }
    void Reset() {
        VariantClear(&var_);
        VariantInit(&var_);
    }
    // Moves the value out (the variant is empty afterwards); the receiver owns it.
    VARIANT Detach() {
        VARIANT out = var_;
        VariantInit(&var_);
        return out;
    }

private:
    VARIANT var_;
};

// Access to a SAFEARRAY's data for one operation: SafeArrayAccessData on construction,
// SafeArrayUnaccessData on destruction. Check Ok() before touching Data().
template <class T = void> class SafeArrayData {
public:
    explicit SafeArrayData(SAFEARRAY* array) : array_(array) {
        void* data = nullptr;
        result_ = array ? SafeArrayAccessData(array, &data) : E_INVALIDARG;
        if (SUCCEEDED(result_))
            data_ = static_cast<T*>(data);
        else
            array_ = nullptr;
    }
    SafeArrayData(const SafeArrayData&) = delete;
    SafeArrayData& operator=(const SafeArrayData&) = delete;
    ~SafeArrayData() {
        if (array_) SafeArrayUnaccessData(array_);
    }

    bool Ok() const { return SUCCEEDED(result_); }
    HRESULT Result() const { return result_; }
    T* Data() const { return data_; }

private:
    SAFEARRAY* array_;
    T* data_ = nullptr;
    HRESULT result_;
};

// A SAFEARRAY with one owner (SafeArrayDestroy).
class UniqueSafeArray {
public:
    UniqueSafeArray() = default;
    explicit UniqueSafeArray(SAFEARRAY* array) : array_(array) {}
    UniqueSafeArray(UniqueSafeArray&& other) noexcept : array_(other.Detach()) {}
    UniqueSafeArray& operator=(UniqueSafeArray&& other) noexcept {
        Reset(other.Detach());
        return *this;
    }
    UniqueSafeArray(const UniqueSafeArray&) = delete;
    UniqueSafeArray& operator=(const UniqueSafeArray&) = delete;
    ~UniqueSafeArray() { Reset(); }

    SAFEARRAY* Get() const { return array_; }
    SAFEARRAY* Detach() { return std::exchange(array_, nullptr); }
    void Reset(SAFEARRAY* array = nullptr) {
        if (array_ && array_ != array) SafeArrayDestroy(array_);
        array_ = array;
    }

private:
    SAFEARRAY* array_ = nullptr;
};

// A resource with one owner; Traits give its invalid value and its release function.
template <class Traits> class UniqueResource {
public:
    using Type = typename Traits::Type;

    UniqueResource() = default;
    explicit UniqueResource(Type value) : value_(value) {}
    UniqueResource(UniqueResource&& other) noexcept : value_(other.Detach()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        Reset(other.Detach());
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    ~UniqueResource() { Reset(); }

    Type Get() const { return value_; }
    bool Valid() const { return value_ != Traits::Invalid(); }
    explicit operator bool() const { return Valid(); }
    Type Detach() { return std::exchange(value_, Traits::Invalid()); }
    void Reset(Type value = Traits::Invalid()) {
        if (value_ != Traits::Invalid() && value_ != value) Traits::Release(value_);
        value_ = value;
    }

private:
    Type value_ = Traits::Invalid();
};

struct KernelHandleTraits {
    using Type = HANDLE;
    static Type Invalid() { return nullptr; }
    static void Release(Type handle) { CloseHandle(handle); }
};

// File handles use INVALID_HANDLE_VALUE for "none".
struct FileHandleTraits {
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static void Release(Type handle) { CloseHandle(handle); }
};

template <class T> struct GdiObjectTraits {
    using Type = T;
    static Type Invalid() { return nullptr; }
    static void Release(Type object) { DeleteObject(object); }
};

struct MemoryDcTraits {
    using Type = HDC;
    static Type Invalid() { return nullptr; }
    static void Release(Type dc) { DeleteDC(dc); }
};

struct WindowTraits {
    using Type = HWND;
    static Type Invalid() { return nullptr; }
    static void Release(Type window) { DestroyWindow(window); }
};

struct GlobalMemoryTraits {
    using Type = HGLOBAL;
    static Type Invalid() { return nullptr; }
    static void Release(Type memory) { GlobalFree(memory); }
};

struct LibraryTraits {
    using Type = HMODULE;
    static Type Invalid() { return nullptr; }
    static void Release(Type module) { FreeLibrary(module); }
};

struct RegistryKeyTraits {
    using Type = HKEY;
    static Type Invalid() { return nullptr; }
    static void Release(Type key) { RegCloseKey(key); }
};

using UniqueHandle = UniqueResource<KernelHandleTraits>;
using UniqueFile = UniqueResource<FileHandleTraits>;
using UniqueBrush = UniqueResource<GdiObjectTraits<HBRUSH>>;
using UniquePen = UniqueResource<GdiObjectTraits<HPEN>>;
using UniqueBitmap = UniqueResource<GdiObjectTraits<HBITMAP>>;
using UniquePalette = UniqueResource<GdiObjectTraits<HPALETTE>>;
using UniqueFont = UniqueResource<GdiObjectTraits<HFONT>>;
using UniqueMemoryDc = UniqueResource<MemoryDcTraits>;
using UniqueWindow = UniqueResource<WindowTraits>;
using UniqueGlobal = UniqueResource<GlobalMemoryTraits>;
using UniqueLibrary = UniqueResource<LibraryTraits>;
using UniqueRegKey = UniqueResource<RegistryKeyTraits>;

// The device context of a window for one operation (GetDC / ReleaseDC).
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    ~WindowDc() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    HDC Get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// BeginPaint / EndPaint for one WM_PAINT.
class PaintDc {
public:
    explicit PaintDc(HWND window) : window_(window) { dc_ = BeginPaint(window, &paint_); }
    PaintDc(const PaintDc&) = delete;
    PaintDc& operator=(const PaintDc&) = delete;
    ~PaintDc() { EndPaint(window_, &paint_); }
    HDC Get() const { return dc_; }
    const RECT& Area() const { return paint_.rcPaint; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

// Selects a GDI object into a DC and puts the previous one back.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;
    ~SelectedObject() {
        if (previous_ && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
    }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// A critical section owned by an object for its lifetime.
class CriticalSection {
public:
    CriticalSection() { InitializeCriticalSection(&section_); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;
    ~CriticalSection() { DeleteCriticalSection(&section_); }
    void Enter() { EnterCriticalSection(&section_); }
    void Leave() { LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION section_;
};

class Lock {
public:
    explicit Lock(CriticalSection& section) : section_(section) { section_.Enter(); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
    ~Lock() { section_.Leave(); }

private:
    CriticalSection& section_;
};

} // namespace com
