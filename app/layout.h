// The main window's layout arithmetic, the status panel texts and the splash layout, in
// pixels and twips as the forms use them. Platform-free: the forms measure, these compute.
#pragma once

#include "run_state.h"

#include <optional>
#include <string>

namespace vidora {

struct Rect {
    int left = 0, top = 0, width = 0, height = 0;
    bool operator==(const Rect&) const = default;
};

// Rounding as the layout uses it everywhere: to the nearest integer, ties to even.
long RoundHalfEven(double value);

// One of the two fixed views.
struct FixedViewLayout {
    int outerWidth, outerHeight;  // window size in pixels
    Rect control;                 // Corvid1, and Picture1 on the same rectangle
    Rect sideImage;
    bool sideImageIs640;          // which of the two side images is shown
    const wchar_t* panelText;
};
const FixedViewLayout& FixedView(View view);

// The screen's twips per pixel, horizontally and vertically.
struct TwipsPerPixel {
    double x = 15, y = 15;
};

// Steps 1 and 2 of the full image view: the window's outer size in twips.
struct FullViewWindow {
    double widthTwips, heightTwips;
};
FullViewWindow FullViewWindowSize(int screenWidthPixels, int screenHeightPixels,
                                  TwipsPerPixel tpp, int toolbarHeight, int statusBarHeight);

struct ScrollBarLayout {
    bool needed = false;
    Rect rect;
    int max = 0;
};

struct FullViewLayout {
    Rect control;   // Corvid1
    Rect picture;   // Picture1
    ScrollBarLayout hScroll, vScroll;
    std::wstring panelText;
    bool overflow = false;  // a scroll range does not fit the bar's 16-bit range
};

// The rest of the full image view, once the window has its size: windowWidthPixels is its
// outer width, statusBarTop the status bar's top in client coordinates.
FullViewLayout LayoutFullView(double windowWidthPixels, int statusBarTop, int acqWidth,
                              int acqHeight);

std::wstring DevicePanelText(const std::wstring& deviceName);  // empty: no device
std::wstring FullViewPanelText(long width, long height);

// The passthru origin for a scroll position: the position rounded to whole small-change
// steps. Empty when the product overflows 32 bits.
std::optional<long> PanOrigin(int scrollValue, int smallChange);

// The splash window, in twips: X and Y are the twips per pixel.
struct SplashInput {
    double logoWidth, logoHeight, productWidth, versionWidth, noticeWidth;
};
struct SplashLayout {
    double width, height;
    double logoLeft, logoTop, productLeft, productTop, versionLeft, versionTop, noticeLeft,
        noticeTop;
};
SplashLayout LayoutSplash(const SplashInput& in, TwipsPerPixel tpp);

} // namespace vidora
