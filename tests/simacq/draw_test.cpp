// Drawing frames into a real window (under the X server) and reading the pixels back.
#include "acq_driver.h"

namespace simtest {
namespace {

constexpr uint32_t kWidth = 64, kHeight = 48;

class DrawWindow {
public:
    DrawWindow() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"SimAcqDrawTest";
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        RegisterClassW(&wc);
        hwnd_ = CreateWindowExW(0, wc.lpszClassName, L"draw", WS_POPUP | WS_VISIBLE, 0, 0, 200, 150,
                                nullptr, nullptr, wc.hInstance, nullptr);
        UpdateWindow(hwnd_);
        Pump();
    }
    DrawWindow(const DrawWindow&) = delete;
    DrawWindow& operator=(const DrawWindow&) = delete;
    ~DrawWindow() {
        if (hwnd_) DestroyWindow(hwnd_);
        UnregisterClassW(L"SimAcqDrawTest", GetModuleHandleW(nullptr));
    }
    HWND get() const { return hwnd_; }

    static void Pump() {
        MSG m;
        for (int i = 0; i < 20; ++i) {
            while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&m);
            Sleep(5);
        }
    }
    COLORREF Pixel(int x, int y) const {
        const HDC dc = GetDC(hwnd_);
        const COLORREF c = GetPixel(dc, x, y);
        ReleaseDC(hwnd_, dc);
        return c;
    }

private:
    HWND hwnd_ = nullptr;
};

LRESULT Draw(const Driver& d, FrameHandle frame, HWND window) {
    return d.Send(msg::STM_DRAW_ACQUIRED_FRAME, frame, reinterpret_cast<LPARAM>(window));
}

void SmallFrames(const Driver& d) {
    ASSERT_EQ(d.SetControl(0, STC_FG_CTL_FRAME_WIDTH, kWidth), 1);
    ASSERT_EQ(d.SetControl(0, STC_FG_CTL_FRAME_HEIGHT, kHeight), 1);
}

// Fills the left half of the frame with one pixel value and the right half with another.
void FillHalves(const Driver& d, FrameHandle frame, const std::vector<uint8_t>& left,
                const std::vector<uint8_t>& right) {
    const size_t bpp = left.size();
    std::vector<uint8_t> bytes;
    for (uint32_t y = 0; y < kHeight; ++y)
        for (uint32_t x = 0; x < kWidth; ++x) {
            const auto& value = x < kWidth / 2 ? left : right;
            bytes.insert(bytes.end(), value.begin(), value.begin() + bpp);
        }
    FrameRectBlock block{frame, 0, 0, kWidth, kHeight};
    ASSERT_EQ(d.Send(msg::STM_WRITE_FRAME_RECT, reinterpret_cast<LPARAM>(&block),
                     reinterpret_cast<LPARAM>(bytes.data())),
              1);
}

TEST(DrawFrame, MonochromeFramesDrawInGrey) {
    DrawWindow window;
    ASSERT_NE(window.get(), nullptr);
    Driver d("kvboard!SIM7100");
    ASSERT_TRUE(d);
    SmallFrames(d);
    ScopedFrame frame(d);
    FillHalves(d, frame, {0x20}, {0xE0});
    ASSERT_EQ(Draw(d, frame, window.get()), 1);
    EXPECT_EQ(window.Pixel(10, 10), RGB(0x20, 0x20, 0x20));
    EXPECT_EQ(window.Pixel(50, 40), RGB(0xE0, 0xE0, 0xE0));
    EXPECT_EQ(window.Pixel(100, 100), RGB(0, 0, 0)) << "only the frame's own area is drawn";

    // An acquired picture shows as it reads.
    ASSERT_EQ(d.Send(msg::STM_ACQUIRE_FRAME, 0, frame), 1);
    ASSERT_EQ(Draw(d, frame, window.get()), 1);
    const std::vector<uint8_t> row = ReadRect(d, frame, 0, 7, kWidth, 1, 1);
    for (int x : {5, 31, 60})
        EXPECT_EQ(window.Pixel(x, 7), RGB(row[x], row[x], row[x])) << "pixel " << x;
}

TEST(DrawFrame, ColorLayoutsDrawTheirColors) {
    DrawWindow window;
    Driver d("kvboard!SIM7500");
    ASSERT_TRUE(d);
    const AcqPort port = AcqPort::Find();
    SmallFrames(d);
    {
        ScopedFrame frame(d); // 32-bit: blue, green, red, 0
        FillHalves(d, frame, {0x10, 0x80, 0xF0, 0}, {0xFF, 0, 0, 0});
        ASSERT_EQ(Draw(d, frame, window.get()), 1);
        EXPECT_EQ(window.Pixel(10, 10), RGB(0xF0, 0x80, 0x10));
        EXPECT_EQ(window.Pixel(50, 10), RGB(0, 0, 0xFF));
    }
    {
        ASSERT_NE(port.SetStorageMode("SIM7500", kRgb24Image), kNotOpen);
        ScopedFrame frame(d);
        FillHalves(d, frame, {0x00, 0xFF, 0x00}, {0x40, 0x40, 0x40});
        ASSERT_EQ(Draw(d, frame, window.get()), 1);
        EXPECT_EQ(window.Pixel(10, 10), RGB(0, 0xFF, 0));
        EXPECT_EQ(window.Pixel(50, 10), RGB(0x40, 0x40, 0x40));
    }
    {
        ASSERT_NE(port.SetStorageMode("SIM7500", kRgb16Image), kNotOpen); // 5-6-5
        ScopedFrame frame(d);
        FillHalves(d, frame, {0x00, 0xF8}, {0x1F, 0x00});
        ASSERT_EQ(Draw(d, frame, window.get()), 1);
        const COLORREF red = window.Pixel(10, 10), blue = window.Pixel(50, 10);
        EXPECT_GE(GetRValue(red), 0xF0);
        EXPECT_EQ(GetGValue(red), 0);
        EXPECT_EQ(GetBValue(red), 0);
        EXPECT_EQ(GetRValue(blue), 0);
        EXPECT_GE(GetBValue(blue), 0xF0);
    }
}

TEST(DrawFrame, YuvAndTenBitFramesAreConvertedForTheScreen) {
    DrawWindow window;
    {
        Driver d("kvboard!SIM7300");
        ASSERT_TRUE(d);
        SmallFrames(d);
        ASSERT_NE(AcqPort::Find().SetStorageMode("SIM7300", kYuvImage), kNotOpen);
        ScopedFrame frame(d);
        // Y = 100 and U = V = 96 everywhere: grey 100.
        std::vector<uint8_t> planes(kWidth * kHeight * 2, 96);
        std::fill(planes.begin(), planes.begin() + kWidth * kHeight, 100);
        FrameRectBlock block{frame, 0, 0, kWidth, kHeight};
        ASSERT_EQ(d.Send(msg::STM_WRITE_FRAME_RECT, reinterpret_cast<LPARAM>(&block),
                         reinterpret_cast<LPARAM>(planes.data())),
                  1);
        ASSERT_EQ(Draw(d, frame, window.get()), 1) << std::hex << d.LastStatus();
        EXPECT_EQ(window.Pixel(20, 20), RGB(100, 100, 100));
    }
    Driver d("kvboard!SIM7700");
    ASSERT_TRUE(d);
    SmallFrames(d);
    ScopedFrame frame(d);
    FillHalves(d, frame, {0x90, 0x01}, {0xFF, 0x03}); // 400 and 1023 of 1023
    ASSERT_EQ(Draw(d, frame, window.get()), 1);
    EXPECT_EQ(window.Pixel(10, 10), RGB(100, 100, 100));
    EXPECT_EQ(window.Pixel(50, 10), RGB(255, 255, 255));
}

TEST(DrawFrame, ABadWindowOrFrameIsRefused) {
    DrawWindow window;
    Driver d("kvboard!SIM7100");
    ASSERT_TRUE(d);
    ScopedFrame frame(d);
    EXPECT_EQ(Draw(d, frame, nullptr), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_INVALIDHWND);
    EXPECT_EQ(Draw(d, frame, reinterpret_cast<HWND>(static_cast<uintptr_t>(0x12345678))), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_INVALIDHWND);
    EXPECT_EQ(Draw(d, frame.get() + 1000, window.get()), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_INVALIDFRAMEHANDLE);
}

} // namespace
} // namespace simtest
