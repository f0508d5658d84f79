#include "main_window.h"

#include "bitmap_file.h"
#include "error_box.h"
#include "resource.h"
#include "select_device.h"
#include "setup_dialog.h"
#include "setup_dialogs.h"

#include <commdlg.h>
#include <olectl.h>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace vidora {

const ToolbarButton kToolbarButtons[8] = {
    {3001, L"OpenDevice", L"Open Device", IDM_SELECT_DEVICE},
    {3002, L"LoadLumenFile", L"Load Lumen File", IDM_LOAD_LUMEN_FILE},
    {3003, L"OpenImageFile", L"Open Image File", IDM_OPEN_IMAGE_FILE},
    {3004, L"SaveImageFile", L"Save Image File", IDM_SAVE_IMAGE_FILE},
    {3005, L"StartPassthru", L"Start Passthru", IDM_START_PASSTHRU},
    {3006, L"StopPassthru", L"Stop Passthru", IDM_STOP_PASSTHRU},
    {3007, L"SingleFrameAcquire", L"Single Frame Acquire", IDM_SINGLE_FRAME_ACQUIRE},
    {3008, L"VidoraHelpTopics", L"Help", IDM_HELP_TOPICS},
};

namespace {

constexpr wchar_t kWindowClass[] = L"VidoraMainWindow";
constexpr wchar_t kPictureClass[] = L"VidoraPicture";
constexpr UINT_PTR kClockTimer = 1;
constexpr int kStatusPanelWidth = 96;  // panel 1, "Status"

// A file dialog's answer: the chosen path, or why there is none.
struct FileChoice {
    HRESULT result;  // S_OK, kCancelled, or the dialog's failure
    std::wstring path;
};
constexpr HRESULT kCancelled = HRESULT_FROM_WIN32(ERROR_CANCELLED);

// The three file dialogs of the program.
struct FileDialog {
    bool save;
    const wchar_t* title;
    const wchar_t* filter;
    const wchar_t* extension;
};
constexpr FileDialog kOpenImageDialog{false, L"Open Image File", L"Bitmap Files (*.bmp)\0*.bmp\0", L"bmp"};
constexpr FileDialog kSaveImageDialog{true, L"Save Image File", L"Bitmap Files (*.bmp)\0*.bmp\0", L"bmp"};
constexpr FileDialog kLumenFileDialog{false, L"Load Lumen File", L"Lumen Files (*.cam)\0*.cam\0", L"cam"};

FileChoice ChooseFile(HWND owner, const FileDialog& kind) {
    wchar_t path[MAX_PATH] = L"";
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = kind.filter;
    dialog.lpstrFile = path;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrTitle = kind.title;
    dialog.lpstrDefExt = kind.extension;
    dialog.Flags = OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR |
                   (kind.save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
    const BOOL chosen = kind.save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
    if (chosen) return {S_OK, path};
    const DWORD error = CommDlgExtendedError();
    return {error == 0 ? kCancelled : HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER), {}};
}

// Whether the file is a bitmap the platform's loader reads without running past its end: a
// damaged file must not reach the loader.
bool IsReadableBitmapFile(const std::wstring& path) {
    constexpr LONGLONG kLargest = 512LL << 20;
    com::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || GetFileType(file.Get()) != FILE_TYPE_DISK || !GetFileSizeEx(file.Get(), &size) ||
        size.QuadPart > kLargest)
        return false;
    std::vector<uint8_t> bytes(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!bytes.empty() &&
        (!ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
         read != bytes.size()))
        return false;
    return core::IsSoundBitmapFile(bytes);
}

VARIANT LongVariant(long value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

int TextWidth(HWND window, const std::wstring& text) {
    com::WindowDc dc(window);
    const HGDIOBJ old = SelectObject(dc.Get(), reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc.Get(), text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc.Get(), old);
    return size.cx;
}

RECT ToRect(const Rect& r) { return {r.left, r.top, r.left + r.width, r.top + r.height}; }

int HeightOf(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r.bottom - r.top;
}

LRESULT CALLBACK PictureProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT client;
        GetClientRect(window, &client);
        FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
        const auto bitmap = reinterpret_cast<HBITMAP>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (bitmap) {
            BITMAP info{};
            GetObjectW(bitmap, sizeof info, &info);
            const HDC memory = CreateCompatibleDC(dc);
            const HGDIOBJ old = SelectObject(memory, bitmap);
            BitBlt(dc, 0, 0, info.bmWidth, info.bmHeight, memory, 0, 0, SRCCOPY);
            SelectObject(memory, old);
            DeleteDC(memory);
        }
        EndPaint(window, &paint);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void RegisterPictureClass(HINSTANCE instance) {
    WNDCLASSEXW picture{};
    picture.cbSize = sizeof picture;
    picture.hInstance = instance;
    picture.lpfnWndProc = PictureProc;
    picture.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    picture.lpszClassName = kPictureClass;
    RegisterClassExW(&picture);  // fails harmlessly when already registered
}

} // namespace

TwipsPerPixel ScreenTwipsPerPixel(HWND window) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow && window) {
        if (const UINT dpi = getDpiForWindow(window)) return {1440.0 / dpi, 1440.0 / dpi};
    }
    com::WindowDc dc(nullptr);
    return {1440.0 / GetDeviceCaps(dc.Get(), LOGPIXELSX), 1440.0 / GetDeviceCaps(dc.Get(), LOGPIXELSY)};
}

MainWindow::~MainWindow() {
    if (window_) DestroyWindow(window_);
    if (images_) ImageList_Destroy(images_);
}

HRESULT MainWindow::Create(HINSTANCE instance) {
    RegisterPictureClass(instance);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_VIDORA));
    windowClass.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_VIDORA),
                                                        IMAGE_ICON, 16, 16, LR_SHARED));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassExW(&windowClass);

    const FixedViewLayout& view = FixedView(View::W640x480);
    window_ = CreateWindowExW(0, kWindowClass, kMainCaption, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                              CW_USEDEFAULT, CW_USEDEFAULT, view.outerWidth, view.outerHeight,
                              nullptr, LoadMenuW(instance, MAKEINTRESOURCEW(IDR_MAINMENU)),
                              instance, this);
    if (!window_) return HRESULT_FROM_WIN32(GetLastError());
    accelerators_ = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_ACCELERATORS));

    HRESULT hr = host_.Create(window_, kControlProgId, ToRect(view.control));
    if (SUCCEEDED(hr)) hr = host_.Query(control_);
    if (FAILED(hr)) return hr;

    // Form_Load: the device and view panels, then the 640 x 480 view. Nothing is written to
    // the control and no device is opened.
    SetDevicePanel(L"");
    ShowFixedView(View::W640x480);
    ApplyMenus();
    return S_OK;
}

LRESULT CALLBACK MainWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    return self->Handle(message, wParam, lParam);
}

LRESULT MainWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        OnCreate();
        return 0;
    case WM_SIZE:
        OnSize();
        return 0;
    case WM_COMMAND:
        if (reinterpret_cast<HWND>(lParam) == toolbar_ && toolbar_) {
            for (const ToolbarButton& button : kToolbarButtons)
                if (button.id == LOWORD(wParam)) ToolbarButtonClick(button.key);
        } else {
            RunCommand(LOWORD(wParam));
        }
        return 0;
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header->code == TTN_GETDISPINFOW) {
            auto* info = reinterpret_cast<NMTTDISPINFOW*>(lParam);
            for (const ToolbarButton& button : kToolbarButtons)
                if (static_cast<UINT_PTR>(button.id) == header->idFrom)
                    info->lpszText = const_cast<wchar_t*>(button.toolTip);
        }
        return 0;
    }
    case WM_HSCROLL:
    case WM_VSCROLL:
        if (lParam) OnScroll(reinterpret_cast<HWND>(lParam), LOWORD(wParam));
        return 0;
    case WM_TIMER:
        if (wParam == kClockTimer) UpdateClock();
        return 0;
    case WM_DPICHANGED: {
        const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(window_, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        if (menus_.Checked(MenuItem::FullImageWindow)) RunCommand(IDM_VIEW_FULL);
        return 0;
    }
    case WM_CLOSE:
        DestroyWindow(window_);
        return 0;
    case WM_DESTROY:
        // Unloading the form destroys the control, which stops live video and closes the
        // device; the program does neither itself.
        KillTimer(window_, kClockTimer);
        control_.Reset();
        host_.Destroy();
        pictureBitmap_.Reset();
        PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY: {
        const HWND window = window_;
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        window_ = nullptr;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

void MainWindow::OnCreate() {
    const HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window_, GWLP_HINSTANCE));
    toolbar_ = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
                               WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_TOP,
                               0, 0, 0, 0, window_, reinterpret_cast<HMENU>(IDC_TOOLBAR), instance,
                               nullptr);
    SendMessageW(toolbar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    images_ = ImageList_LoadImageW(instance, MAKEINTRESOURCEW(IDB_TOOLBAR), 16, 0,
                                   RGB(255, 0, 255), IMAGE_BITMAP, LR_CREATEDIBSECTION);
    SendMessageW(toolbar_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images_));
    TBBUTTON buttons[std::size(kToolbarButtons) + 2]{};
    int count = 0;
    for (int i = 0; i < static_cast<int>(std::size(kToolbarButtons)); ++i) {
        if (i == 4 || i == 7) buttons[count++] = {0, 0, 0, BTNS_SEP, {}, 0, 0};
        buttons[count++] = {i, kToolbarButtons[i].id, TBSTATE_ENABLED, BTNS_BUTTON, {}, 0, 0};
    }
    SendMessageW(toolbar_, TB_ADDBUTTONSW, count, reinterpret_cast<LPARAM>(buttons));
    SendMessageW(toolbar_, TB_AUTOSIZE, 0, 0);

    statusBar_ = CreateWindowExW(0, STATUSCLASSNAMEW, nullptr, WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP,
                                 0, 0, 0, 0, window_, reinterpret_cast<HMENU>(IDC_STATUSBAR),
                                 instance, nullptr);
    picture_ = CreateWindowExW(0, kPictureClass, nullptr, WS_CHILD | WS_CLIPSIBLINGS, 0, 30, 640,
                               480, window_, reinterpret_cast<HMENU>(IDC_PICTURE), instance, nullptr);
    hScroll_ = CreateWindowExW(0, L"SCROLLBAR", nullptr, WS_CHILD | SBS_HORZ, 0, 0, 0, 0, window_,
                               reinterpret_cast<HMENU>(IDC_HSCROLL), instance, nullptr);
    vScroll_ = CreateWindowExW(0, L"SCROLLBAR", nullptr, WS_CHILD | SBS_VERT, 0, 0, 0, 0, window_,
                               reinterpret_cast<HMENU>(IDC_VSCROLL), instance, nullptr);
    side640_ = CreateWindowExW(0, L"STATIC", nullptr, WS_CHILD | SS_BITMAP, 0, 0, 0, 0, window_,
                               reinterpret_cast<HMENU>(IDC_IMG640X480), instance, nullptr);
    side768_ = CreateWindowExW(0, L"STATIC", nullptr, WS_CHILD | SS_BITMAP, 0, 0, 0, 0, window_,
                               reinterpret_cast<HMENU>(IDC_IMG768X576), instance, nullptr);
    // The static controls show the bitmaps; the window keeps and frees them.
    side640Bitmap_.Reset(LoadBitmapW(instance, MAKEINTRESOURCEW(IDB_SIDE640X480)));
    side768Bitmap_.Reset(LoadBitmapW(instance, MAKEINTRESOURCEW(IDB_SIDE768X576)));
    SendMessageW(side640_, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(side640Bitmap_.Get()));
    SendMessageW(side768_, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(side768Bitmap_.Get()));
    SetTimer(window_, kClockTimer, 1000, nullptr);
    UpdateClock();
}

void MainWindow::OnSize() {
    if (toolbar_) SendMessageW(toolbar_, TB_AUTOSIZE, 0, 0);
    if (statusBar_) {
        SendMessageW(statusBar_, WM_SIZE, 0, 0);
        UpdateStatusParts();
    }
}

void MainWindow::UpdateStatusParts() {
    if (!statusBar_) return;
    const std::wstring texts[] = {L"Status", devicePanel_, viewPanel_};
    int edges[5];
    int right = kStatusPanelWidth;
    edges[0] = right;
    for (int i = 1; i < 3; ++i) {
        right += TextWidth(statusBar_, texts[i]) + 12;
        edges[i] = right;
    }
    wchar_t date[64] = L"", time[64] = L"";
    GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, date, 64, nullptr);
    GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, TIME_NOSECONDS, nullptr, nullptr, time, 64);
    right += TextWidth(statusBar_, date) + 16;
    edges[3] = right;
    edges[4] = -1;
    SendMessageW(statusBar_, SB_SETPARTS, 5, reinterpret_cast<LPARAM>(edges));
    for (int i = 0; i < 3; ++i)
        SendMessageW(statusBar_, SB_SETTEXTW, i, reinterpret_cast<LPARAM>(texts[i].c_str()));
    SendMessageW(statusBar_, SB_SETTEXTW, 3, reinterpret_cast<LPARAM>(date));
    SendMessageW(statusBar_, SB_SETTEXTW, 4, reinterpret_cast<LPARAM>(time));
}

void MainWindow::UpdateClock() { UpdateStatusParts(); }

void MainWindow::SetDevicePanel(const std::wstring& deviceName) {
    devicePanel_ = DevicePanelText(deviceName);
    UpdateStatusParts();
}

void MainWindow::SetViewPanel(const std::wstring& text) {
    viewPanel_ = text;
    UpdateStatusParts();
}

void MainWindow::ApplyMenus() {
    const HMENU menu = GetMenu(window_);
    if (!menu) return;
    for (std::size_t i = 0; i < kMenuItemCount; ++i) {
        const auto item = static_cast<MenuItem>(i);
        const MenuItemPlace place = PlaceOf(item);
        const UINT enable = menus_.Enabled(item) ? MF_ENABLED : MF_GRAYED;
        if (place.commandId == 0) {
            EnableMenuItem(menu, place.barPosition, MF_BYPOSITION | enable);
        } else {
            EnableMenuItem(menu, place.commandId, MF_BYCOMMAND | enable);
            CheckMenuItem(menu, place.commandId,
                          MF_BYCOMMAND | (menus_.Checked(item) ? MF_CHECKED : MF_UNCHECKED));
        }
    }
    DrawMenuBar(window_);
}

void MainWindow::MoveView(const Rect& rect) {
    host_.Move(ToRect(rect));
    SetWindowPos(picture_, HWND_TOP, rect.left, rect.top, rect.width, rect.height, SWP_NOACTIVATE);
}

void MainWindow::ShowPicture(bool show) {
    if (show) SetWindowPos(picture_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ShowWindow(picture_, show ? SW_SHOW : SW_HIDE);
}

void MainWindow::ShowFixedView(View view) {
    const FixedViewLayout& layout = FixedView(view);
    CheckView(menus_, view);
    ApplyMenus();
    SetWindowPos(window_, nullptr, 0, 0, layout.outerWidth, layout.outerHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    MoveView(layout.control);
    const HWND shown = layout.sideImageIs640 ? side640_ : side768_;
    const HWND hidden = layout.sideImageIs640 ? side768_ : side640_;
    SetWindowPos(shown, nullptr, layout.sideImage.left, layout.sideImage.top,
                 layout.sideImage.width, layout.sideImage.height, SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(shown, SW_SHOW);
    ShowWindow(hidden, SW_HIDE);
    SetViewPanel(layout.panelText);
    ShowWindow(hScroll_, SW_HIDE);
    ShowWindow(vScroll_, SW_HIDE);
}

void MainWindow::ShowFullView() { Trap([this] { return FullView(); }); }

HRESULT MainWindow::FullView() {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(window_, MONITOR_DEFAULTTONEAREST), &monitor);
    const TwipsPerPixel tpp = ScreenTwipsPerPixel(window_);
    const FullViewWindow size = FullViewWindowSize(
        monitor.rcMonitor.right - monitor.rcMonitor.left,
        monitor.rcMonitor.bottom - monitor.rcMonitor.top, tpp, HeightOf(toolbar_),
        HeightOf(statusBar_));
    const double widthPixels = size.widthTwips / tpp.x;
    SetWindowPos(window_, nullptr, 0, 0, RoundHalfEven(widthPixels),
                 RoundHalfEven(size.heightTwips / tpp.y), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    CheckView(menus_, View::Full);
    ApplyMenus();

    RECT status{};
    GetWindowRect(statusBar_, &status);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&status), 2);
    const FullViewLayout layout = LayoutFullView(widthPixels, status.top, state_.AcqWidth,
                                                 state_.AcqHeight);
    MoveView(layout.control);
    ShowWindow(side640_, SW_HIDE);
    ShowWindow(side768_, SW_HIDE);
    SetViewPanel(layout.panelText);
    if (layout.overflow) return ProgramError(DISP_E_OVERFLOW, L"Overflow");

    const struct {
        HWND bar;
        const ScrollBarLayout& layout;
        bool& needed;
    } bars[] = {{hScroll_, layout.hScroll, state_.HScrollNeeded},
                {vScroll_, layout.vScroll, state_.VScrollNeeded}};
    for (const auto& bar : bars) {
        bar.needed = bar.layout.needed;
        if (!bar.layout.needed) {
            ShowWindow(bar.bar, SW_HIDE);
            continue;
        }
        // Laid out here, shown by Start Pass Thru.
        const Rect& r = bar.layout.rect;
        SetWindowPos(bar.bar, HWND_TOP, r.left, r.top, r.width, r.height, SWP_NOACTIVATE);
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SIF_RANGE | SIF_POS | SIF_PAGE;
        info.nMax = bar.layout.max;
        SetScrollInfo(bar.bar, SB_CTL, &info, TRUE);
    }
    return S_OK;
}

template <class Command> void MainWindow::Trap(Command&& command) {
    SetErrorInfo(0, nullptr);
    const HRESULT hr = command();
    if (FAILED(hr) && hr != kCancelled) ShowErrorBox(window_, ErrorDescription(hr));
}

void MainWindow::RunCommand(int commandId) {
    switch (commandId) {
    case IDM_OPEN_IMAGE_FILE: return Trap([this] { return OpenImageFile(); });
    case IDM_SAVE_IMAGE_FILE: return Trap([this] { return SaveImageFile(); });
    case IDM_LOAD_LUMEN_FILE: return Trap([this] { return LoadLumenFile(); });
    case IDM_EXIT: DestroyWindow(window_); return;
    case IDM_SELECT_DEVICE: return Trap([this] { return SelectDevice(); });
    case IDM_CLOSE_DEVICE: return Trap([this] { return CloseDevice(); });
    case IDM_VIEW_640X480: return ShowFixedView(View::W640x480);
    case IDM_VIEW_768X576: return ShowFixedView(View::W768x576);
    case IDM_VIEW_FULL: return ShowFullView();
    case IDM_START_PASSTHRU: return StartPassThru();
    case IDM_STOP_PASSTHRU: return StopPassThru();
    case IDM_SINGLE_FRAME_ACQUIRE: return Trap([this] { return SingleFrameAcquire(); });
    case IDM_HELP_TOPICS: return Trap([this] { return HelpTopics(); });
    default: RunSetupCommand(*this, commandId); return;
    }
}

void MainWindow::ToolbarButtonClick(const std::wstring& key) {
    for (const ToolbarButton& button : kToolbarButtons)
        if (key == button.key) return RunCommand(button.menuCommand);
}

void MainWindow::StartPassThru() { Trap([this] { return StartPassThruCommand(); }); }
void MainWindow::StopPassThru() { Trap([this] { return StopPassThruCommand(); }); }

HRESULT MainWindow::ReallocateFrame() {
    long frames = 0;
    HRESULT hr = control_->get_FrameCount(&frames);
    if (FAILED(hr)) return hr;
    if (frames > 0) {
        hr = control_->DestroyFrame(state_.FrameId);
        if (FAILED(hr)) return hr;
    }
    return control_->AllocateFrame(state_.AcqLeft, state_.AcqTop, state_.AcqWidth, state_.AcqHeight,
                                   state_.AcqHScale, state_.AcqVScale,
                                   static_cast<FrameTypeEnum>(state_.AcqFrameType),
                                   static_cast<StorageModeEnum>(0), &state_.FrameId);
}

HRESULT MainWindow::SingleFrameAcquire() {
    const bool noDevice = menus_.Enabled(MenuItem::SelectDevice);
    const bool acquireEnabled = menus_.Enabled(MenuItem::SingleFrameAcquire);
    if (acquireEnabled && !noDevice) {
        HRESULT hr = ReallocateFrame();
        if (FAILED(hr)) return hr;
        ShowPicture(false);
        hr = control_->AcquireFrames(1, LongVariant(state_.FrameId), VARIANT_FALSE);
        if (FAILED(hr)) return hr;
        hr = control_->DrawAcquiredFrame(0, state_.FrameId);
        if (FAILED(hr)) return hr;
        menus_.Enable(MenuItem::SaveImageFile, true);
        ApplyMenus();
    } else if (noDevice) {
        ShowInformation(window_, L"Please open a device before acquiring a frame.");
    } else {
        ShowInformation(window_, L"Please stop passthru before acquiring a frame.");
    }
    return S_OK;
}

HRESULT MainWindow::StartPassThruCommand() {
    if (!menus_.Enabled(MenuItem::StartPassThru) || menus_.Enabled(MenuItem::SelectDevice)) {
        if (menus_.Enabled(MenuItem::SelectDevice))
            ShowInformation(window_, L"Please open a device before starting passthru operation.");
        return S_OK;
    }
    SetLiveVideoMenus(menus_);
    ApplyMenus();
    ShowPicture(false);
    if (menus_.Checked(MenuItem::FullImageWindow)) {
        if (state_.HScrollNeeded) ShowWindow(hScroll_, SW_SHOW);
        if (state_.VScrollNeeded) ShowWindow(vScroll_, SW_SHOW);
    }
    const HRESULT hr = ReallocateFrame();
    if (FAILED(hr)) return hr;
    return control_->StartPassthru(0, state_.FrameId, ASyncPassthru);
}

HRESULT MainWindow::StopPassThruCommand() {
    RunPendingMessages();
    if (!menus_.Enabled(MenuItem::StopPassthru) || menus_.Enabled(MenuItem::SelectDevice))
        return S_OK;
    HRESULT hr = control_->StopPassthru();
    if (FAILED(hr)) return hr;
    SetStoppedLiveVideoMenus(menus_);
    ApplyMenus();
    // One still frame, so that the last picture stays on screen; with the external trigger on
    // it is taken on a software trigger instead of waiting for one.
    if (state_.ExternalTriggerOn) {
        hr = control_->put_TriggerType(SoftwareTrigger);
        if (FAILED(hr)) return hr;
    }
    hr = control_->AcquireFrames(1, LongVariant(state_.FrameId), VARIANT_FALSE);
    if (FAILED(hr)) return hr;
    hr = control_->DrawAcquiredFrame(0, state_.FrameId);
    if (FAILED(hr)) return hr;
    if (state_.ExternalTriggerOn) return control_->put_TriggerType(ExternalTrigger);
    return S_OK;
}

bool MainWindow::Refuse(bool refused, const wchar_t* message) {
    if (refused) ShowInformation(window_, message);
    return refused;
}

HRESULT MainWindow::OpenImageFile() {
    if (Refuse(menus_.Enabled(MenuItem::StopPassthru),
               L"Please stop passthru operation before opening image file."))
        return S_OK;
    const FileChoice choice = ChooseFile(window_, kOpenImageDialog);
    if (FAILED(choice.result)) return choice.result;
    const auto bitmap = IsReadableBitmapFile(choice.path)
                            ? static_cast<HBITMAP>(LoadImageW(nullptr, choice.path.c_str(), IMAGE_BITMAP, 0, 0,
                                                              LR_LOADFROMFILE | LR_CREATEDIBSECTION))
                            : nullptr;
    if (!bitmap) return ProgramError(CTL_E_INVALIDPICTURE, L"Invalid picture");
    pictureBitmap_.Reset(bitmap);
    SetWindowLongPtrW(picture_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(bitmap));
    ShowPicture(true);
    InvalidateRect(picture_, nullptr, TRUE);
    return S_OK;
}

HRESULT MainWindow::SaveImageFile() {
    if (Refuse(menus_.Enabled(MenuItem::StopPassthru),
               L"Please stop passthru operation before saving image file."))
        return S_OK;
    const FileChoice choice = ChooseFile(window_, kSaveImageDialog);
    if (FAILED(choice.result)) return choice.result;
    return control_->SaveAcquiredFrame(state_.FrameId, com::UniqueBstr(choice.path.c_str()).Get());
}

HRESULT MainWindow::LoadLumenFile() {
    if (Refuse(menus_.Enabled(MenuItem::SelectDevice),
               L"Please select a device before loading Lumen file.") ||
        Refuse(menus_.Enabled(MenuItem::StopPassthru),
               L"Please stop passthru operation before loading Lumen file."))
        return S_OK;
    const FileChoice choice = ChooseFile(window_, kLumenFileDialog);
    if (FAILED(choice.result)) return choice.result;
    return control_->LoadCameraFile(com::UniqueBstr(choice.path.c_str()).Get());
}

HRESULT MainWindow::CloseDevice() {
    SetNoDeviceMenus(menus_);
    ApplyMenus();
    SetDevicePanel(L"");
    long frames = 0;
    HRESULT hr = control_->get_FrameCount(&frames);
    if (FAILED(hr)) return hr;
    if (frames > 0) {
        hr = control_->DestroyFrame(state_.FrameId);
        if (FAILED(hr)) return hr;
    }
    return control_->CloseDevice();
}

HRESULT MainWindow::SelectDevice() {
    if (Refuse(menus_.Enabled(MenuItem::StopPassthru),
               L"Please stop passthru operation before opening another device."))
        return S_OK;
    ShowSelectDevice(*this);
    return S_OK;
}

HRESULT MainWindow::HelpTopics() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring help(path, length);
    help = help.substr(0, help.find_last_of(L"\\/") + 1) + L"Vidora.hlp";
    if (GetFileAttributesW(help.c_str()) == INVALID_FILE_ATTRIBUTES)
        return ProgramError(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND),
                            L"The help file Vidora.hlp was not found beside the program.");
    if (!WinHelpW(window_, help.c_str(), HELP_CONTENTS, 0))
        return HRESULT_FROM_WIN32(GetLastError());
    return S_OK;
}

void MainWindow::OnScroll(HWND bar, int code) {
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    GetScrollInfo(bar, SB_CTL, &info);
    int value = info.nPos;
    switch (code) {
    case SB_LINELEFT: value -= kScrollSmallChange; break;
    case SB_LINERIGHT: value += kScrollSmallChange; break;
    case SB_PAGELEFT: value -= kScrollLargeChange; break;
    case SB_PAGERIGHT: value += kScrollLargeChange; break;
    case SB_THUMBPOSITION: value = info.nTrackPos; break;
    case SB_LEFT: value = info.nMin; break;
    case SB_RIGHT: value = info.nMax; break;
    default: return;  // a thumb drag changes the value when it is released
    }
    value = std::max(info.nMin, std::min(value, info.nMax));
    if (value == info.nPos) return;
    info.fMask = SIF_POS;
    info.nPos = value;
    SetScrollInfo(bar, SB_CTL, &info, TRUE);
    const bool horizontal = bar == hScroll_;
    Trap([this, horizontal, value] { return Pan(horizontal, value); });
}

HRESULT MainWindow::Pan(bool horizontal, int value) {
    if (!menus_.Enabled(MenuItem::StopPassthru) || menus_.Enabled(MenuItem::SelectDevice))
        return S_OK;
    HRESULT hr = control_->StopPassthru();
    if (FAILED(hr)) return hr;
    const std::optional<long> origin = PanOrigin(value, kScrollSmallChange);
    if (!origin) return ProgramError(DISP_E_OVERFLOW, L"Overflow");
    hr = horizontal ? control_->put_XPassthruOrigin(*origin) : control_->put_YPassthruOrigin(*origin);
    if (FAILED(hr)) return hr;
    return control_->StartPassthru(0, -1, ASyncPassthru);
}

} // namespace vidora
