#include "select_device.h"

#include "error_box.h"
#include "main_window.h"
#include "resource.h"

#include <commctrl.h>

namespace vidora {
namespace {

// One capability step of EnableDeviceMenus: whether the item is offered. A query that fails
// offers nothing.
struct DeviceMenuStep {
    MenuItem item;
    bool (*offered)(ICorvid3* control, AppState& state);
};

bool Caps(ICorvid3* control, AppState& state, stSTT_FG_INPUT_CAP_KEY key) {
    return SUCCEEDED(control->QueryInputCaps(key, &state.CapsValue, 4));
}

bool CapsIs1(ICorvid3* control, AppState& state, stSTT_FG_INPUT_CAP_KEY key) {
    return Caps(control, state, key) && state.CapsValue == 1;
}

long CountFrameTypes(long limits) {
    long count = 0;
    for (long bit : {8, 1, 4, 2, 32, 64, 16})
        if (limits & bit) ++count;
    return count;
}

const DeviceMenuStep kDeviceMenuSteps[] = {
    {MenuItem::SetCameraType,
     [](ICorvid3* c, AppState&) {
         CameraTypeEnum type;
         return SUCCEEDED(c->get_DigitalCameraType(&type));
     }},
    {MenuItem::SetTimeout,
     [](ICorvid3* c, AppState&) {
         long seconds;
         return SUCCEEDED(c->get_Timeout(&seconds));
     }},
    {MenuItem::ColorImageParameters,
     [](ICorvid3* c, AppState& s) {
         VARIANT_BOOL supported = VARIANT_FALSE;
         if (FAILED(c->ColorQueryInterface(static_cast<STT_QUERY_COLOR_INTERFACE>(3), &supported)))
             return false;
         s.ColorSupported = supported != VARIANT_FALSE;
         return s.ColorSupported;
     }},
    {MenuItem::SelectInputSource,
     [](ICorvid3* c, AppState& s) {
         return Caps(c, s, STC_FG_IC_INPUT_SOURCE_COUNT) && s.CapsValue > 1;
     }},
    {MenuItem::InputFilter,
     [](ICorvid3* c, AppState& s) { return CapsIs1(c, s, STC_FG_IC_DOES_INPUT_FILTER); }},
    {MenuItem::ProgrammableAD,
     [](ICorvid3* c, AppState& s) { return CapsIs1(c, s, STC_FG_IC_DOES_PROG_A2D); }},
    {MenuItem::VideoInputType,
     [](ICorvid3* c, AppState& s) { return CapsIs1(c, s, STC_FG_IC_DOES_VIDEO_SELECT); }},
    {MenuItem::FrameType,
     [](ICorvid3* c, AppState& s) {
         if (!Caps(c, s, STC_FG_IC_FRAME_TYPE_LIMITS)) return false;
         s.FrameTypeCount = CountFrameTypes(s.CapsValue);
         return s.FrameTypeCount > 1;
     }},
    {MenuItem::SyncSentinel,
     [](ICorvid3* c, AppState& s) { return CapsIs1(c, s, STC_FG_IC_DOES_SYNC_SENTINEL); }},
    {MenuItem::PixelClock,
     [](ICorvid3* c, AppState& s) { return CapsIs1(c, s, STC_FG_IC_DOES_QUERY_PIXEL_CLOCK); }},
    {MenuItem::ActiveVideoArea,
     [](ICorvid3* c, AppState& s) { return CapsIs1(c, s, STC_FG_IC_DOES_ACTIVE_VIDEO); }},
    {MenuItem::FrameSize,
     [](ICorvid3* c, AppState& s) { return Caps(c, s, STC_FG_IC_DOES_FRAME_SELECT); }},
    {MenuItem::SyncMaster,
     [](ICorvid3* c, AppState&) {
         VARIANT_BOOL enabled;
         return SUCCEEDED(c->get_SyncMasterEnabled(&enabled));
     }},
    {MenuItem::CameraExposure,
     [](ICorvid3* c, AppState&) {
         CameraTypeEnum type;
         return SUCCEEDED(c->get_DigitalCameraType(&type));
     }},
    {MenuItem::DigitalIO,
     [](ICorvid3* c, AppState&) {
         long in = 0, out = 0;
         return SUCCEEDED(c->get_DigInCaps(&in)) && SUCCEEDED(c->get_DigOutCaps(&out)) &&
                (in != 0 || out != 0);
     }},
    {MenuItem::ExternalTrigger,
     [](ICorvid3* c, AppState& s) { return CapsIs1(c, s, STC_FG_IC_DOES_TRIGGER); }},
};

std::wstring TextOf(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), length + 1)));
    return text;
}

// Form_Load: one entry per device, the first one chosen.
HRESULT LoadDevices(HWND dialog, ICorvid3* control) {
    const HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    const HWND combo = GetDlgItem(dialog, IDC_SELECT_DEVICE);
    short count = 0;
    HRESULT hr = control->get_DeviceCount(&count);
    for (short id = 0; SUCCEEDED(hr) && id < count; ++id) {
        com::UniqueBstr name;
        hr = control->GetDeviceName(id, name.Out());
        if (SUCCEEDED(hr)) {
            SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.Text()));
            if (id == 0) SetWindowTextW(combo, name.Text());
        }
    }
    SetCursor(previous);
    return hr;
}

// cmdOK_Click: opens the chosen device, always from a clean state.
HRESULT OpenChosenDevice(HWND dialog, MainWindow& main) {
    ICorvid3* control = main.Control();
    AppState& state = main.State();
    SetNoDeviceMenus(main.Menus());
    main.ApplyMenus();
    long frames = 0;
    HRESULT hr = control->get_FrameCount(&frames);
    if (FAILED(hr)) return hr;
    if (frames > 0 && FAILED(hr = control->DestroyFrame(state.FrameId))) return hr;
    if (FAILED(hr = control->CloseDevice())) return hr;
    state.RemindPixelClock = true;
    state.RemindCameraWait = true;
    state.ExternalTriggerOn = false;
    state.DeviceName = TextOf(GetDlgItem(dialog, IDC_SELECT_DEVICE));
    com::UniqueBstr name(state.DeviceName.c_str());
    if (FAILED(hr = control->OpenDevice(name.Get()))) return hr;
    DeviceTypeEnum type;
    if (FAILED(hr = control->get_DeviceType(&type))) return hr;
    state.DeviceType = type;
    main.SetDevicePanel(state.DeviceName);
    EnableDeviceMenus(main);
    main.Menus().Enable(MenuItem::StartPassThru, true);
    main.Menus().Enable(MenuItem::StopPassthru, false);
    main.Menus().Enable(MenuItem::SingleFrameAcquire, true);
    main.ApplyMenus();
    FrameTypeEnum frameType;
    if (FAILED(hr = control->get_FrameLeft(&state.AcqLeft)) ||
        FAILED(hr = control->get_FrameTop(&state.AcqTop)) ||
        FAILED(hr = control->get_FrameWidth(&state.AcqWidth)) ||
        FAILED(hr = control->get_FrameHeight(&state.AcqHeight)) ||
        FAILED(hr = control->get_FrameHorizontalScale(&state.AcqHScale)) ||
        FAILED(hr = control->get_FrameVerticalScale(&state.AcqVScale)) ||
        FAILED(hr = control->get_FrameType(&frameType)))
        return hr;
    state.AcqFrameType = frameType;
    // Until a scale is chosen the control reports 0, which AllocateFrame refuses: the frame
    // is then taken at full size.
    for (long* scale : {&state.AcqHScale, &state.AcqVScale})
        if (*scale < 1 || *scale > 100) *scale = 100;
    const bool is768 = state.AcqWidth == 768 && state.AcqHeight == 576;
    main.ShowFixedView(is768 ? View::W768x576 : View::W640x480);
    return S_OK;
}

INT_PTR CALLBACK SelectDeviceProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* main = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG: {
        main = reinterpret_cast<MainWindow*>(lParam);
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        SetErrorInfo(0, nullptr);
        if (const HRESULT hr = LoadDevices(dialog, main->Control()); FAILED(hr))
            ShowErrorBox(dialog, ErrorDescription(hr));
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            SetErrorInfo(0, nullptr);
            if (const HRESULT hr = OpenChosenDevice(dialog, *main); FAILED(hr)) {
                // The dialog stays open; the menus are in the no-device state.
                ShowErrorBox(dialog, ErrorDescription(hr));
                return TRUE;
            }
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

} // namespace

void ShowSelectDevice(MainWindow& main) {
    const HINSTANCE instance =
        reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(main.Window(), GWLP_HINSTANCE));
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_SELECT_DEVICE), main.Window(),
                    SelectDeviceProc, reinterpret_cast<LPARAM>(&main));
}

void EnableDeviceMenus(MainWindow& main) {
    MenuFlags& menus = main.Menus();
    menus.Enable(MenuItem::LoadLumenFile, true);
    menus.Enable(MenuItem::SelectDevice, false);
    menus.Enable(MenuItem::CloseDevice, true);
    for (const DeviceMenuStep& step : kDeviceMenuSteps) {
        const bool offered = step.offered(main.Control(), main.State());
        if (!offered) SetErrorInfo(0, nullptr);  // a refused query is no error here
        menus.Enable(step.item, offered);
    }
    menus.Enable(MenuItem::Run, true);
    menus.Enable(MenuItem::StopPassthru, false);
    main.ApplyMenus();
}

} // namespace vidora
