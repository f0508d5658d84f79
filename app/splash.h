// frmSplash: the logo, the product name, the version and a notice, shown while the program
// starts.
#pragma once

#include "raii.h"

#include <windows.h>

#include <string>

namespace vidora {

// "Version major.minor.revision" from the program's version record.
std::wstring VersionText();

class Splash {
public:
    Splash() = default;
    Splash(const Splash&) = delete;
    Splash& operator=(const Splash&) = delete;
    ~Splash();
    // Shows the window without waiting and paints it at once.
    void Show(HINSTANCE instance);
    void Close();
    HWND Window() const { return window_; }

private:
    // Destroyed after the window that shows them.
    com::UniqueBitmap logo_;
    com::UniqueFont productFont_;
    HWND window_ = nullptr;
};

} // namespace vidora
