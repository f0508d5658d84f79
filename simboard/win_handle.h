// Single owners of platform handles and GDI objects.
#pragma once

#include <utility>

#include <windows.h>

namespace kvboard {

template <class T, auto Release> class Owned {
public:
    Owned() = default;
    explicit Owned(T value) : value_(value) {}
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    Owned(Owned&& other) noexcept : value_(std::exchange(other.value_, T{})) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) reset(std::exchange(other.value_, T{}));
        return *this;
    }
    ~Owned() { reset(); }

    T get() const { return value_; }
    explicit operator bool() const { return value_ != T{}; }
    void reset(T value = T{}) {
        if (value_ != T{}) Release(value_);
        value_ = value;
    }

private:
    T value_{};
};

inline void CloseKernelHandle(HANDLE h) {
    CloseHandle(h);
}
inline void DeleteGdiObject(HGDIOBJ h) {
    DeleteObject(h);
}
inline void DeleteMemoryDc(HDC dc) {
    DeleteDC(dc);
}

using OwnedHandle = Owned<HANDLE, CloseKernelHandle>; // events, threads
using OwnedBitmap = Owned<HBITMAP, DeleteGdiObject>;
using OwnedMemoryDc = Owned<HDC, DeleteMemoryDc>; // from CreateCompatibleDC

// A window's drawing context for one paint from any thread (GetDC/ReleaseDC); sends the
// window no message.
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    ~WindowDc() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

} // namespace kvboard
