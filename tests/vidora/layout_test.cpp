// The main window's layout arithmetic, panel texts and splash layout.
#include "layout.h"

#include <gtest/gtest.h>

namespace vidora {
namespace {

TEST(FullViewTest, WindowSizeFromScreenAndBars) {
    // 1280 x 1024 at 15 twips per pixel: W = 17664, H = round(14131.2) = 14131.
    const FullViewWindow size = FullViewWindowSize(1280, 1024, {15, 15}, 26, 22);
    EXPECT_DOUBLE_EQ(size.widthTwips, 17664 - (26 + 22 + 16) * 15);
    EXPECT_DOUBLE_EQ(size.heightTwips, 14131);
    // 120 dpi: 12 twips per pixel; 0.92 x 1920 x 12 = 21196.8 rounds up.
    EXPECT_DOUBLE_EQ(FullViewWindowSize(1920, 1080, {12, 12}, 30, 20).widthTwips,
                     21197 - 66 * 12);
}

TEST(FullViewTest, ScrollBarsWhereTheFrameIsLarger) {
    struct Case {
        double windowWidth;
        int statusTop, acqWidth, acqHeight;
        Rect control;
        bool h, v;
        int hMax, vMax;
        bool overflow;
    } cases[] = {
        // no device: nothing to scroll
        {1113.6, 870, 0, 0, {0, 30, 1089, 820}, false, false, 0, 0, false},
        // sizes equal to the frame need no bar
        {665.0, 530, 640, 480, {0, 30, 640, 480}, false, false, 0, 0, false},
        // a wide line-scan frame
        {1113.6, 870, 2048, 512, {0, 30, 1089, 820}, true, false, 959, 0, false},
        // a tall frame, one pixel over
        {665.0, 530, 640, 481, {0, 30, 640, 480}, false, true, 0, 1, false},
        // ranges beyond the bar's 16 bits
        {665.0, 530, 40000, 100, {0, 30, 640, 480}, true, false, 39360, 0, true},
    };
    for (const Case& c : cases) {
        const FullViewLayout layout = LayoutFullView(c.windowWidth, c.statusTop, c.acqWidth,
                                                     c.acqHeight);
        EXPECT_EQ(layout.control, c.control);
        EXPECT_EQ(layout.picture, c.control);
        EXPECT_EQ(layout.hScroll.needed, c.h);
        EXPECT_EQ(layout.vScroll.needed, c.v);
        EXPECT_EQ(layout.overflow, c.overflow);
        if (c.h) {
            EXPECT_EQ(layout.hScroll.max, c.hMax);
            EXPECT_EQ(layout.hScroll.rect, (Rect{0, c.statusTop - 20, c.control.width, 20}));
        }
        if (c.v) {
            EXPECT_EQ(layout.vScroll.max, c.vMax);
            EXPECT_EQ(layout.vScroll.rect, (Rect{c.control.width, 30, 20, c.control.height}));
        }
    }
}

TEST(PanelTextTest, DeviceAndViewTexts) {
    EXPECT_EQ(DevicePanelText(L""), L"No device is open  ");
    EXPECT_EQ(DevicePanelText(L"SIM7100"), L"SIM7100  ");
    EXPECT_EQ(FullViewPanelText(1177, 842), L"Viewing Window:  1177 x 842  ");
    EXPECT_STREQ(FixedView(View::W768x576).panelText, L"Viewing Window: 768 x 576  ");
}

TEST(PanTest, OriginRoundsToWholeStepsTiesToEven) {
    const struct {
        int value, step;
        long origin;
    } cases[] = {{0, 8, 0}, {4, 8, 0}, {12, 8, 16}, {20, 8, 16}, {28, 8, 32}, {13, 8, 16},
                 {959, 8, 960}, {7, 1, 7}};
    for (const auto& c : cases) EXPECT_EQ(PanOrigin(c.value, c.step), c.origin) << c.value;
    EXPECT_FALSE(PanOrigin(5, 0).has_value());
}

TEST(SplashTest, LabelsOrLogoSetTheWidth) {
    // Labels wider than the logo: the labels set the width.
    SplashLayout s = LayoutSplash({3600, 1650, 1200, 1500, 4500}, {15, 15});
    EXPECT_DOUBLE_EQ(s.width, 6000 + 375);
    EXPECT_DOUBLE_EQ(s.height, 1650 + 1500);
    EXPECT_DOUBLE_EQ(s.logoLeft, 6375 / 2.0 - 1800 - 30);
    EXPECT_DOUBLE_EQ(s.logoTop, 150);
    EXPECT_DOUBLE_EQ(s.productLeft, 6375 / 2.0 - 600 - 30);
    EXPECT_DOUBLE_EQ(s.productTop, 3150 - 1200);
    EXPECT_DOUBLE_EQ(s.versionLeft, 6375 / 2.0 - 3000 - 150);
    EXPECT_DOUBLE_EQ(s.noticeLeft, s.versionLeft + 1500 + 150);
    EXPECT_DOUBLE_EQ(s.noticeTop, 3150 - 525);
    // A logo wider than the labels sets it.
    s = LayoutSplash({9000, 1650, 1200, 1500, 4500}, {15, 15});
    EXPECT_DOUBLE_EQ(s.width, 9000 + 375);
}

} // namespace
} // namespace vidora
