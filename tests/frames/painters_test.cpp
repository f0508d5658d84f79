// The host-side painters drawing into a real window under the X display.
#include "painters.h"
#include "test_container.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct ShownWindow {
    ShownWindow() {
        window = CreateWindowExW(0, L"STATIC", L"painters", WS_POPUP | WS_VISIBLE, 0, 0, 64, 64,
                                 nullptr, nullptr, nullptr, nullptr);
        test::PumpMessages();
    }
    ~ShownWindow() { DestroyWindow(window); }
    HWND window;
};

TEST(Painters, GreyPainterShowsEvenGreyLevels) {
    ShownWindow shown;
    ASSERT_TRUE(shown.window);
    std::vector<uint8_t> pixels(32 * 32);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = i < pixels.size() / 2 ? 201 : 64;
    com::CriticalSection lock;
    {
        com::WindowDc dc(shown.window);
        ASSERT_EQ(core::PaintGreyFrame(dc.Get(), {pixels.data(), 0, 0, 32, 32, 1}, false, lock), 1);
    }
    const COLORREF top = test::PixelOf(shown.window, 5, 5);
    const COLORREF bottom = test::PixelOf(shown.window, 5, 25);
    EXPECT_EQ(GetRValue(top), 200); // 201 shows with its lowest bit cleared
    EXPECT_EQ(GetGValue(bottom), 64);
    EXPECT_EQ(core::PaintGreyFrame(nullptr, {pixels.data(), 0, 0, 32, 32, 1}, false, lock), 0);
    com::WindowDc screen(nullptr);
    EXPECT_EQ(core::PaintGreyFrame(screen.Get(), {nullptr, 0, 0, 32, 32, 1}, false, lock), 0);
}

TEST(Painters, ColorPainterStretchesThirtyTwoBitFrames) {
    ShownWindow shown;
    std::vector<uint32_t> pixels(16 * 16, 0x00336699); // B 0x99, G 0x66, R 0x33
    std::vector<std::wstring> failures;
    {
        com::WindowDc dc(shown.window);
        EXPECT_EQ(core::PaintColorFrame(dc.Get(), {pixels.data(), 0, 0, 16, 16, 4}, 64, 64,
                                        [&](const wchar_t* step) { failures.push_back(step); }),
                  1);
        EXPECT_EQ(core::PaintColorFrame(dc.Get(), {pixels.data(), 0, 0, 16, 16, 3}, 64, 64,
                                        [&](const wchar_t* step) { failures.push_back(step); }),
                  0);
    }
    const COLORREF pixel = test::PixelOf(shown.window, 40, 40); // stretched 4 times
    EXPECT_EQ(GetRValue(pixel), 0x33);
    EXPECT_EQ(GetGValue(pixel), 0x66);
    EXPECT_EQ(GetBValue(pixel), 0x99);
    for (const std::wstring& step : failures)
        EXPECT_EQ(step, L"DescribePixelFormat"); // a display without pixel formats still paints
}

TEST(Painters, ColorPainterShowsSixteenBitFramesOnATrueColorDisplay) {
    ShownWindow shown;
    // 5-5-5 pixels: pure red in the left half, pure blue in the right.
    std::vector<uint16_t> pixels(16 * 16);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = i % 16 < 8 ? 0x7C00 : 0x001F;
    std::vector<std::wstring> failures;
    {
        com::WindowDc dc(shown.window);
        EXPECT_EQ(core::PaintColorFrame(dc.Get(), {pixels.data(), 0, 0, 16, 16, 2}, 32, 32,
                                        [&](const wchar_t* step) { failures.push_back(step); }),
                  1);
    }
    const COLORREF left = test::PixelOf(shown.window, 4, 10);
    const COLORREF right = test::PixelOf(shown.window, 28, 10);
    EXPECT_GE(GetRValue(left), 248); // five bits widened to eight
    EXPECT_EQ(GetBValue(left), 0);
    EXPECT_EQ(GetRValue(right), 0);
    EXPECT_GE(GetBValue(right), 248);
    for (const std::wstring& step : failures)
        EXPECT_EQ(step, L"DescribePixelFormat");
}

} // namespace
