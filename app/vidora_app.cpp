#include "vidora_app.h"

#include "error_box.h"
#include "main_window.h"
#include "splash.h"

#include <commctrl.h>
#include <ole2.h>

namespace vidora {
namespace {

// Keeps the splash painted until its time is up.
void WaitPumping(ULONGLONG until) {
    for (ULONGLONG now = GetTickCount64(); now < until; now = GetTickCount64()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(until - now), QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

class OleApartment {
public:
    OleApartment() : result_(OleInitialize(nullptr)) {}
    OleApartment(const OleApartment&) = delete;
    OleApartment& operator=(const OleApartment&) = delete;
    ~OleApartment() {
        if (SUCCEEDED(result_)) OleUninitialize();
    }
    HRESULT Result() const { return result_; }

private:
    HRESULT result_;
};

} // namespace

int RunVidora(HINSTANCE instance) {
    OleApartment apartment;
    if (FAILED(apartment.Result())) return 1;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES | ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    // The main window is loaded while the splash is up; it is shown when the splash's time
    // is over.
    const ULONGLONG splashEnd = GetTickCount64() + kSplashMilliseconds;
    Splash splash;
    splash.Show(instance);
    MainWindow main;
    SetErrorInfo(0, nullptr);
    const HRESULT created = main.Create(instance);
    WaitPumping(splashEnd);
    splash.Close();
    if (FAILED(created)) {
        ShowErrorBox(nullptr, ErrorDescription(created));
        return 1;
    }
    ShowWindow(main.Window(), SW_SHOW);
    UpdateWindow(main.Window());

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (main.Window() && TranslateAcceleratorW(main.Window(), main.Accelerators(), &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

} // namespace vidora
