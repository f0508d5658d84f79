// frmMain: the main window with the hosted control, menus, toolbar, status bar, image view and
// the operator's commands. Every form reaches the program's state through it.
#pragma once

#include "app_state.h"
#include "control_host.h"
#include "layout.h"
#include "raii.h"
#include "run_state.h"

#include "corvid_h.h"

#include <windows.h>
#include <commctrl.h>

#include <string>

namespace vidora {

constexpr wchar_t kMainCaption[] = L"Vidora - Powered By Quillon";
constexpr wchar_t kControlProgId[] = L"CorvidLibCtl.Corvid";

// The toolbar's buttons, left to right: the key the click handler compares, the tool tip and
// the menu command the button runs.
struct ToolbarButton {
    int id;
    const wchar_t* key;
    const wchar_t* toolTip;
    int menuCommand;
};
extern const ToolbarButton kToolbarButtons[8];

class MainWindow {
public:
    MainWindow() = default;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;
    ~MainWindow();

    // Creates the window (hidden) and runs its load: status panels, the 640 x 480 view, the
    // control sited on it. Fails when the window or the control cannot be made.
    HRESULT Create(HINSTANCE instance);
    HWND Window() const { return window_; }
    HWND StatusBar() const { return statusBar_; }
    HWND Toolbar() const { return toolbar_; }
    HWND Picture() const { return picture_; }
    HWND ScrollBar(bool horizontal) const { return horizontal ? hScroll_ : vScroll_; }
    HWND ControlWindow() const { return host_.Window(); }
    ICorvid3* Control() const { return control_.Get(); }
    HACCEL Accelerators() const { return accelerators_; }

    AppState& State() { return state_; }
    const MenuFlags& Menus() const { return menus_; }
    MenuFlags& Menus() { return menus_; }
    // Copies the menu flags onto the window's menu.
    void ApplyMenus();
    void SetDevicePanel(const std::wstring& deviceName);

    // The view commands, also run by the device selection.
    void ShowFixedView(View view);
    void ShowFullView();

    // The commands that other forms run.
    void StartPassThru();
    void StopPassThru();

    // The toolbar's click handler: runs the command of a button key; an unknown key does
    // nothing.
    void ToolbarButtonClick(const std::wstring& key);

    // Runs a menu command as a click on its item would.
    void RunCommand(int commandId);

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void OnCreate();
    void OnSize();
    void OnScroll(HWND bar, int code);
    void UpdateStatusParts();
    void UpdateClock();
    void ShowPicture(bool show);
    void MoveView(const Rect& rect);
    void SetViewPanel(const std::wstring& text);

    // Command bodies: each returns the failing call's result; the dispatcher shows it.
    HRESULT SingleFrameAcquire();
    HRESULT StartPassThruCommand();
    HRESULT StopPassThruCommand();
    HRESULT ReallocateFrame();
    HRESULT OpenImageFile();
    HRESULT SaveImageFile();
    HRESULT LoadLumenFile();
    HRESULT CloseDevice();
    HRESULT SelectDevice();
    HRESULT HelpTopics();
    HRESULT FullView();
    HRESULT Pan(bool horizontal, int value);
    // Shows the run-state refusal when refused.
    bool Refuse(bool refused, const wchar_t* message);
    // Runs a command body and shows its failure in the error box.
    template <class Command> void Trap(Command&& command);

    HWND window_ = nullptr;
    HWND toolbar_ = nullptr;
    HWND statusBar_ = nullptr;
    HWND picture_ = nullptr;
    HWND hScroll_ = nullptr;
    HWND vScroll_ = nullptr;
    HWND side640_ = nullptr;
    HWND side768_ = nullptr;
    HACCEL accelerators_ = nullptr;
    HIMAGELIST images_ = nullptr;
    com::UniqueBitmap pictureBitmap_;
    com::UniqueBitmap side640Bitmap_, side768Bitmap_;
    ControlHost host_;
    com::ComPtr<ICorvid3> control_;
    AppState state_;
    MenuFlags menus_ = StartupMenus();
    std::wstring devicePanel_, viewPanel_;
};

// The scroll bars' steps when they pan live video.
constexpr int kScrollSmallChange = 8;
constexpr int kScrollLargeChange = 64;

// Twips per pixel of the screen the window is on.
TwipsPerPixel ScreenTwipsPerPixel(HWND window);

} // namespace vidora
