#include "layout.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace vidora {
namespace {

constexpr int kViewTop = 30;         // below the toolbar
constexpr int kScrollBarSize = 20;
constexpr int kRightMargin = 25;

constexpr FixedViewLayout kFixedViews[] = {
    {800, 587, {0, kViewTop, 640, 480}, {652, 39, 132, 464}, true,
     L"Viewing Window: 640 x 480  "},
    {930, 683, {0, kViewTop, 768, 576}, {780, 42, 131, 552}, false,
     L"Viewing Window: 768 x 576  "},
};

bool Fits16Bits(long value) { return value >= INT16_MIN && value <= INT16_MAX; }

} // namespace

long RoundHalfEven(double value) { return std::lrint(std::nearbyint(value)); }

const FixedViewLayout& FixedView(View view) {
    return kFixedViews[view == View::W768x576 ? 1 : 0];
}

FullViewWindow FullViewWindowSize(int screenWidthPixels, int screenHeightPixels,
                                  TwipsPerPixel tpp, int toolbarHeight, int statusBarHeight) {
    const double w = static_cast<double>(RoundHalfEven(screenWidthPixels * tpp.x * 0.92));
    const double h = static_cast<double>(RoundHalfEven(screenHeightPixels * tpp.y * 0.92));
    return {w - (toolbarHeight + statusBarHeight + 16) * tpp.y, h};
}

FullViewLayout LayoutFullView(double windowWidthPixels, int statusBarTop, int acqWidth,
                              int acqHeight) {
    FullViewLayout layout;
    const long width = RoundHalfEven(windowWidthPixels - kRightMargin);
    const long height = (statusBarTop - kScrollBarSize) - kViewTop;
    layout.control = {0, kViewTop, static_cast<int>(width), static_cast<int>(height)};
    layout.picture = layout.control;
    layout.panelText = FullViewPanelText(width, height);
    if (width < acqWidth) {
        const long max = acqWidth - width;
        layout.hScroll = {true, {0, statusBarTop - kScrollBarSize, static_cast<int>(width),
                                 kScrollBarSize}, static_cast<int>(max)};
        layout.overflow = layout.overflow || !Fits16Bits(max);
    }
    if (height < acqHeight) {
        const long max = acqHeight - height;
        layout.vScroll = {true, {static_cast<int>(width), kViewTop, kScrollBarSize,
                                 static_cast<int>(height)}, static_cast<int>(max)};
        layout.overflow = layout.overflow || !Fits16Bits(max);
    }
    return layout;
}

std::wstring DevicePanelText(const std::wstring& deviceName) {
    return deviceName.empty() ? L"No device is open  " : deviceName + L"  ";
}

std::wstring FullViewPanelText(long width, long height) {
    // Each number is written with one leading space, as a sign position.
    return L"Viewing Window:  " + std::to_wstring(width) + L" x " + std::to_wstring(height) +
           L"  ";
}

std::optional<long> PanOrigin(int scrollValue, int smallChange) {
    if (smallChange <= 0) return std::nullopt;
    const double steps = std::nearbyint(static_cast<double>(scrollValue) / smallChange);
    const double origin = steps * smallChange;
    if (origin < std::numeric_limits<int32_t>::min() || origin > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    return static_cast<long>(origin);
}

SplashLayout LayoutSplash(const SplashInput& in, TwipsPerPixel tpp) {
    SplashLayout s{};
    const double labels = in.noticeWidth + in.versionWidth;
    s.width = labels + 25 * tpp.x >= in.logoWidth ? labels + 25 * tpp.x : in.logoWidth + 25 * tpp.x;
    s.height = in.logoHeight + 100 * tpp.y;
    s.logoLeft = s.width / 2 - in.logoWidth / 2 - 2 * tpp.x;
    s.logoTop = 10 * tpp.y;
    s.productLeft = s.width / 2 - in.productWidth / 2 - 2 * tpp.x;
    s.productTop = s.height - 80 * tpp.y;
    s.versionLeft = s.width / 2 - labels / 2 - 10 * tpp.x;
    s.versionTop = s.height - 35 * tpp.y;
    s.noticeLeft = s.versionLeft + in.versionWidth + 10 * tpp.x;
    s.noticeTop = s.versionTop;
    return s;
}

} // namespace vidora
