#include "splash.h"

#include "error_box.h"
#include "layout.h"
#include "main_window.h"
#include "raii.h"
#include "resource.h"

#include <vector>

namespace vidora {
namespace {

constexpr wchar_t kSplashClass[] = L"VidoraSplash";
constexpr wchar_t kNotice[] = L"Frame grabber acquisition for machine vision";

SIZE TextSize(HFONT font, const std::wstring& text) {
    com::WindowDc dc(nullptr);
    const HGDIOBJ old = SelectObject(dc.Get(), font);
    SIZE size{};
    GetTextExtentPoint32W(dc.Get(), text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc.Get(), old);
    return size;
}

HWND Label(HWND parent, const std::wstring& text, HFONT font, double leftTwips, double topTwips,
           SIZE size, TwipsPerPixel tpp) {
    const HWND label = CreateWindowExW(0, L"STATIC", text.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT,
                                       RoundHalfEven(leftTwips / tpp.x), RoundHalfEven(topTwips / tpp.y),
                                       size.cx, size.cy, parent, nullptr, nullptr, nullptr);
    SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return label;
}

} // namespace

std::wstring VersionText() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (!length || length == MAX_PATH) return L"Version";
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    std::vector<unsigned char> data(size);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT infoSize = 0;
    if (!size || !GetFileVersionInfoW(path, 0, size, data.data()) ||
        !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &infoSize) || !info)
        return L"Version";
    return L"Version " + std::to_wstring(HIWORD(info->dwFileVersionMS)) + L"." +
           std::to_wstring(LOWORD(info->dwFileVersionMS)) + L"." +
           std::to_wstring(LOWORD(info->dwFileVersionLS));
}

Splash::~Splash() { Close(); }

void Splash::Close() {
    if (window_) DestroyWindow(window_);
    window_ = nullptr;
    logo_.Reset();
    productFont_.Reset();
}

void Splash::Show(HINSTANCE instance) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_WAIT);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kSplashClass;
    RegisterClassExW(&windowClass);

    const TwipsPerPixel tpp = ScreenTwipsPerPixel(nullptr);
    const auto logo = static_cast<HBITMAP>(
        LoadImageW(instance, MAKEINTRESOURCEW(IDB_LOGO), IMAGE_BITMAP, 0, 0, 0));
    BITMAP logoInfo{};
    GetObjectW(logo, sizeof logoInfo, &logoInfo);
    const auto labelFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    LOGFONTW productLogFont = metrics.lfCaptionFont;
    productLogFont.lfHeight = -MulDiv(20, static_cast<int>(1440 / tpp.y), 72);
    productLogFont.lfWeight = FW_BOLD;
    productFont_.Reset(CreateFontIndirectW(&productLogFont));

    const std::wstring version = VersionText();
    const SIZE productSize = TextSize(productFont_.Get(), kAppTitle);
    const SIZE versionSize = TextSize(labelFont, version);
    const SIZE noticeSize = TextSize(labelFont, kNotice);
    const SplashLayout layout = LayoutSplash(
        {logoInfo.bmWidth * tpp.x, logoInfo.bmHeight * tpp.y, productSize.cx * tpp.x,
         versionSize.cx * tpp.x, noticeSize.cx * tpp.x},
        tpp);

    // The layout is of the client area; the border adds its own frame around it.
    RECT outer{0, 0, RoundHalfEven(layout.width / tpp.x), RoundHalfEven(layout.height / tpp.y)};
    AdjustWindowRectEx(&outer, WS_POPUP | WS_BORDER, FALSE, WS_EX_TOOLWINDOW);
    const int width = outer.right - outer.left, height = outer.bottom - outer.top;
    window_ = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kSplashClass, kAppTitle,
                              WS_POPUP | WS_BORDER, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                              (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, nullptr,
                              nullptr, instance, nullptr);
    logo_.Reset(logo);
    if (!window_) return;
    const HWND picture = CreateWindowExW(
        0, L"STATIC", nullptr, WS_CHILD | WS_VISIBLE | SS_BITMAP, RoundHalfEven(layout.logoLeft / tpp.x),
        RoundHalfEven(layout.logoTop / tpp.y), logoInfo.bmWidth, logoInfo.bmHeight, window_,
        nullptr, instance, nullptr);
    SendMessageW(picture, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(logo));
    Label(window_, kAppTitle, productFont_.Get(), layout.productLeft, layout.productTop, productSize, tpp);
    Label(window_, version, labelFont, layout.versionLeft, layout.versionTop, versionSize, tpp);
    Label(window_, kNotice, labelFont, layout.noticeLeft, layout.noticeTop, noticeSize, tpp);
    ShowWindow(window_, SW_SHOWNOACTIVATE);
    UpdateWindow(window_);
}

} // namespace vidora
