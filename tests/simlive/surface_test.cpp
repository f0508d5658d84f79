// Overlay surfaces of the simulated board: creation and limits, drawing contexts, color key,
// translucency, selection, erase, overlays burnt into frames and shown over live video.
#include "live_support.h"

#include <cstdlib>

namespace simtest {
namespace {

constexpr char kMono[] = "kvboard!SIM7100";  // 8-bit grey frames
constexpr char kColor[] = "kvboard!SIM7500"; // 32-bit blue, green, red, 0 frames

SurfaceHandle Create(const Driver& d, int32_t width, int32_t height, uint32_t flags = 0) {
    PairBlock size{width, height};
    SurfaceHandle handle = flags;
    if (d.Send(msg::STM_CREATE_SURFACE, reinterpret_cast<LPARAM>(&size),
               reinterpret_cast<LPARAM>(&handle)) != 1)
        return 0;
    return handle;
}

HDC SurfaceDc(const Driver& d, SurfaceHandle surface) {
    HDC dc = nullptr;
    EXPECT_EQ(d.Send(msg::STM_GET_SURFACE_DC, surface, reinterpret_cast<LPARAM>(&dc)), 1);
    return dc;
}

// Draws a filled rectangle into the surface through its drawing context.
void FillRectOn(const Driver& d, SurfaceHandle surface, RECT rect, COLORREF color) {
    const HDC dc = SurfaceDc(d, surface);
    ASSERT_NE(dc, nullptr);
    const HBRUSH brush = CreateSolidBrush(color);
    EXPECT_NE(FillRect(dc, &rect, brush), 0);
    DeleteObject(brush);
    EXPECT_EQ(d.Send(msg::STM_RELEASE_SURFACE_DC, surface, reinterpret_cast<LPARAM>(dc)), 1);
}

LRESULT SetKey(const Driver& d, SurfaceHandle surface, uint32_t rgb) {
    return d.Send(msg::STM_SET_SURFACE_COLOR_KEY, surface, reinterpret_cast<LPARAM>(&rgb));
}

LRESULT OverlayOnFrame(const Driver& d, SurfaceHandle surface, FrameHandle frame,
                       bool translucent) {
    OverlayBlock block{surface, frame};
    return d.Send(msg::STM_OVERLAY_SURFACE_ON_FRAME, reinterpret_cast<LPARAM>(&block),
                  translucent ? 1 : 0);
}

// Pixel (x, y) of a 640-pixel-wide 32-bit frame as red, green, blue.
std::array<uint8_t, 3> ColorAt(const std::vector<uint8_t>& pixels, int x, int y) {
    const size_t at = (size_t(y) * 768 + x) * 4;
    return {pixels[at + 2], pixels[at + 1], pixels[at]};
}

TEST(Surfaces, CreationChecksFlagsSizeAndTheLimit) {
    Driver d(kMono);
    ASSERT_TRUE(d);
    EXPECT_EQ(Create(d, 640, 480, 0x100), 0u);
    EXPECT_EQ(d.LastStatus(), drv::STS_INVALID_FLAGS);
    EXPECT_EQ(Create(d, 0, 480), 0u);
    EXPECT_EQ(d.LastStatus(), drv::STS_RANGE);
    EXPECT_EQ(Create(d, 640, 1025), 0u);
    EXPECT_EQ(d.LastStatus(), drv::STS_RANGE);
    PairBlock size{64, 64};
    EXPECT_EQ(d.Send(msg::STM_CREATE_SURFACE, reinterpret_cast<LPARAM>(&size), 0), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_NULL);

    std::vector<SurfaceHandle> surfaces;
    for (int i = 0; i < 64; ++i) {
        surfaces.push_back(Create(d, 64, 64));
        ASSERT_NE(surfaces.back(), 0u) << i;
    }
    EXPECT_EQ(std::set<SurfaceHandle>(surfaces.begin(), surfaces.end()).size(), 64u);
    EXPECT_EQ(Create(d, 64, 64), 0u);
    EXPECT_EQ(d.LastStatus(), drv::STS_NO_MORE_SURFACE);
    for (SurfaceHandle s : surfaces)
        EXPECT_EQ(d.Send(msg::STM_DESTROY_SURFACE, s), 1);
    EXPECT_EQ(d.Send(msg::STM_DESTROY_SURFACE, surfaces[0]), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_INVALID_SURFACE_HANDLE);
    const SurfaceHandle again = Create(d, 64, 64);
    EXPECT_NE(again, 0u) << "destroying makes room";
    EXPECT_EQ(d.Send(msg::STM_DESTROY_SURFACE, again), 1);
}

TEST(Surfaces, UnknownHandlesAreRefusedByEveryMessage) {
    Driver d(kMono);
    ASSERT_TRUE(d);
    const SurfaceHandle bogus = 12345;
    HDC dc = nullptr;
    EXPECT_EQ(d.Send(msg::STM_GET_SURFACE_DC, bogus, reinterpret_cast<LPARAM>(&dc)), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_INVALID_SURFACE_HANDLE);
    EXPECT_EQ(d.Send(msg::STM_RELEASE_SURFACE_DC, bogus, 0), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_INVALID_SURFACE_HANDLE);
    EXPECT_EQ(SetKey(d, bogus, 0), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_INVALID_SURFACE_HANDLE);
    EXPECT_EQ(d.Send(msg::STM_SELECT_SURFACE, bogus), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_INVALID_SURFACE_HANDLE);
    EXPECT_EQ(d.Send(msg::STM_ERASE_SURFACE, 0, bogus), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_INVALID_SURFACE_HANDLE);
    EXPECT_EQ(OverlayOnFrame(d, bogus, AllocateFrame(d), false), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_INVALID_SURFACE_HANDLE);
    EXPECT_EQ(d.Send(msg::STM_DESTROY_SURFACE, bogus), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_INVALID_SURFACE_HANDLE);
}

TEST(Surfaces, DrawingContextIsARealOneHandedBackByRelease) {
    Driver d(kColor);
    ASSERT_TRUE(d);
    const SurfaceHandle s = Create(d, 768, 576);
    ASSERT_NE(s, 0u);
    const HDC dc = SurfaceDc(d, s);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(GetObjectType(dc), static_cast<DWORD>(OBJ_MEMDC));
    BITMAP bitmap{};
    ASSERT_NE(GetObjectW(GetCurrentObject(dc, OBJ_BITMAP), sizeof bitmap, &bitmap), 0);
    EXPECT_EQ(bitmap.bmWidth, 768);
    EXPECT_EQ(bitmap.bmHeight, 576);
    EXPECT_EQ(bitmap.bmBitsPixel, 32);
    EXPECT_NE(bitmap.bmBits, nullptr) << "a DIB section";
    EXPECT_NE(SetPixel(dc, 5, 5, RGB(1, 2, 3)), static_cast<COLORREF>(-1));
    EXPECT_EQ(GetPixel(dc, 5, 5), RGB(1, 2, 3));
    EXPECT_EQ(d.Send(msg::STM_GET_SURFACE_DC, s, 0), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_NULL);
    EXPECT_EQ(d.Send(msg::STM_RELEASE_SURFACE_DC, s, reinterpret_cast<LPARAM>(GetDC(nullptr))), 0);
    EXPECT_EQ(d.LastStatus(), kStsInvalidSurfaceDc);
    EXPECT_EQ(d.Send(msg::STM_RELEASE_SURFACE_DC, s, reinterpret_cast<LPARAM>(dc)), 1);
    EXPECT_EQ(d.Send(msg::STM_DESTROY_SURFACE, s), 1);
}

TEST(Surfaces, OverlayOnAColorFrameHonoursKeyAndTranslucency) {
    Driver d(kColor);
    ASSERT_TRUE(d);
    const FrameHandle frame = AllocateFrame(d);
    ASSERT_EQ(InfoOf(d, frame).BytesPerPixel, 4);
    const SurfaceHandle s = Create(d, 768, 576);
    ASSERT_NE(s, 0u);
    ASSERT_EQ(SetKey(d, s, 0x00FF00), 1) << "green is transparent";
    ASSERT_EQ(d.Send(msg::STM_ERASE_SURFACE, 0, s), 1) << "all key color now";
    FillRectOn(d, s, {10, 10, 20, 20}, RGB(255, 0, 0));
    FillRectOn(d, s, {30, 10, 40, 20}, RGB(0, 255, 0)); // the key: stays transparent

    FillFrame(d, frame, {150, 100, 50, 0}); // red 50, green 100, blue 150
    ASSERT_EQ(OverlayOnFrame(d, s, frame, false), 1);
    std::vector<uint8_t> pixels = ReadFrame(d, frame);
    EXPECT_EQ(ColorAt(pixels, 15, 15), (std::array<uint8_t, 3>{255, 0, 0}));
    EXPECT_EQ(ColorAt(pixels, 35, 15), (std::array<uint8_t, 3>{50, 100, 150}));
    EXPECT_EQ(ColorAt(pixels, 100, 100), (std::array<uint8_t, 3>{50, 100, 150}));

    FillFrame(d, frame, {150, 100, 50, 0});
    ASSERT_EQ(OverlayOnFrame(d, s, frame, true), 1);
    pixels = ReadFrame(d, frame);
    EXPECT_EQ(ColorAt(pixels, 15, 15), (std::array<uint8_t, 3>{152, 50, 75})) << "half and half";
    EXPECT_EQ(ColorAt(pixels, 35, 15), (std::array<uint8_t, 3>{50, 100, 150}));

    EXPECT_EQ(OverlayOnFrame(d, s, frame, false), 1);
    EXPECT_EQ(d.Send(msg::STM_OVERLAY_SURFACE_ON_FRAME, 0, 0), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_NULL);
    EXPECT_EQ(OverlayOnFrame(d, s, frame + 1000, false), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_INVALIDFRAMEHANDLE);
    OverlayBlock block{s, frame};
    EXPECT_EQ(d.Send(msg::STM_OVERLAY_SURFACE_ON_FRAME, reinterpret_cast<LPARAM>(&block), 2), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_RANGE);
    EXPECT_EQ(d.Send(msg::STM_DESTROY_SURFACE, s), 1);
}

TEST(Surfaces, OverlayOnAGreyFrameUsesTheLuminance) {
    Driver d(kMono);
    ASSERT_TRUE(d);
    const FrameHandle frame = AllocateFrame(d);
    const SurfaceHandle s = Create(d, 640, 480);
    ASSERT_NE(s, 0u);
    FillRectOn(d, s, {0, 0, 8, 8}, RGB(255, 255, 255));
    FillFrame(d, frame, {100});
    ASSERT_EQ(OverlayOnFrame(d, s, frame, true), 1);
    std::vector<uint8_t> pixels = ReadFrame(d, frame);
    EXPECT_EQ(pixels[640 * 4 + 4], 177) << "(100 + 255) / 2";
    EXPECT_EQ(pixels[640 * 4 + 8], 100) << "black is the key of a new surface";

    const SurfaceHandle small = Create(d, 320, 480);
    EXPECT_EQ(OverlayOnFrame(d, small, frame, false), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_SURFACE_TOO_SMALL);
}

TEST(Surfaces, EraseFillsWithTheColorKey) {
    Driver d(kMono);
    ASSERT_TRUE(d);
    const FrameHandle frame = AllocateFrame(d);
    const SurfaceHandle s = Create(d, 640, 480);
    FillRectOn(d, s, {0, 0, 640, 480}, RGB(255, 255, 255));
    ASSERT_EQ(SetKey(d, s, 0x123456), 1);
    ASSERT_EQ(d.Send(msg::STM_ERASE_SURFACE, 0, s), 1);
    const HDC dc = SurfaceDc(d, s);
    EXPECT_EQ(GetPixel(dc, 300, 300), RGB(0x12, 0x34, 0x56));
    EXPECT_EQ(d.Send(msg::STM_RELEASE_SURFACE_DC, s, reinterpret_cast<LPARAM>(dc)), 1);
    FillFrame(d, frame, {7});
    ASSERT_EQ(OverlayOnFrame(d, s, frame, false), 1);
    const std::vector<uint8_t> pixels = ReadFrame(d, frame);
    EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 7), 640 * 480) << "nothing shows";
}

TEST(Surfaces, FixedColorKeyFlagKeepsTheKeyBlack) {
    Driver d(kMono);
    ASSERT_TRUE(d);
    const SurfaceHandle s = Create(d, 64, 64, 1);
    ASSERT_NE(s, 0u);
    EXPECT_EQ(SetKey(d, s, 0), 1) << "setting the key it has is no change";
    EXPECT_EQ(SetKey(d, s, 0x0000FF), 0);
    EXPECT_EQ(d.LastStatus(), kStsFixedColor);
    const SurfaceHandle free = Create(d, 64, 64);
    EXPECT_EQ(SetKey(d, free, 0x0000FF), 1);
    EXPECT_EQ(SetKey(d, free, 0x01000000), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_RANGE);
    EXPECT_EQ(d.Send(msg::STM_SET_SURFACE_COLOR_KEY, free, 0), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_NULL);
}

// Live video in a flat color with an overlay of a red square at (50, 50)-(100, 100) on the
// selected surface; answers the window's pixels inside and outside the square after stop.
class OverPassthru : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(d_);
        ASSERT_NE(window_.get(), nullptr);
        frame_ = AllocateFrame(d_);
        LoadFlatLut(d_, kVideo);
        surface_ = Create(d_, 640, 480);
        ASSERT_NE(surface_, 0u);
        FillRectOn(d_, surface_, {50, 50, 100, 100}, RGB(255, 0, 0));
    }
    std::pair<COLORREF, COLORREF> Show() {
        window_.Repaint();
        JobId job = 0;
        EXPECT_EQ(StartAsync(d_, window_.get(), frame_, job), 1);
        EXPECT_TRUE(WaitImages(SyncEvent(d_), 3));
        uint32_t final = 0;
        EXPECT_EQ(Stop(d_, job, final), 1);
        return {window_.Pixel(75, 75), window_.Pixel(200, 200)};
    }
    LRESULT Enable(bool on) { return d_.Send(msg::STM_ENABLE_OVERLAYS, 0, on ? 1 : 0); }

    static constexpr COLORREF kVideo = RGB(10, 200, 30);
    TestWindow window_;
    Driver d_{kMono};
    FrameHandle frame_ = 0;
    SurfaceHandle surface_ = 0;
};

TEST_F(OverPassthru, ShowsOnlyWhileEnabledAndSelected) {
    EXPECT_EQ(Show(), std::pair(kVideo, kVideo)) << "overlays are off at first";
    ASSERT_EQ(Enable(true), 1);
    EXPECT_EQ(Show(), std::pair(kVideo, kVideo)) << "no surface selected";
    ASSERT_EQ(d_.Send(msg::STM_SELECT_SURFACE, surface_), 1);
    EXPECT_EQ(Show(), std::pair(RGB(255, 0, 0), kVideo));
    ASSERT_EQ(Enable(false), 1);
    EXPECT_EQ(Show(), std::pair(kVideo, kVideo));
    EXPECT_EQ(d_.Send(msg::STM_ENABLE_OVERLAYS, 0, 2), 0);
    EXPECT_EQ(d_.LastStatus(), drv::STS_RANGE);
}

TEST_F(OverPassthru, TranslucentOverlayMixesWithTheVideo) {
    ASSERT_EQ(d_.Send(msg::STM_SELECT_SURFACE, surface_), 1);
    ASSERT_EQ(Enable(true), 1);
    ASSERT_EQ(d_.Send(msg::STM_SET_TRANSLUCENT, 0, 1), 1);
    EXPECT_EQ(Show(), std::pair(RGB(132, 100, 15), kVideo));
    ASSERT_EQ(d_.Send(msg::STM_SET_TRANSLUCENT, 0, 0), 1);
    EXPECT_EQ(Show(), std::pair(RGB(255, 0, 0), kVideo));
    EXPECT_EQ(d_.Send(msg::STM_SET_TRANSLUCENT, 0, 5), 0);
    EXPECT_EQ(d_.LastStatus(), drv::STS_RANGE);
}

TEST_F(OverPassthru, SelectionMovesAndDestroyingTheSelectedSurfaceHidesIt) {
    const SurfaceHandle other = Create(d_, 640, 480);
    FillRectOn(d_, other, {150, 150, 250, 250}, RGB(0, 0, 255));
    ASSERT_EQ(Enable(true), 1);
    ASSERT_EQ(d_.Send(msg::STM_SELECT_SURFACE, other), 1);
    EXPECT_EQ(Show(), std::pair(kVideo, RGB(0, 0, 255)));
    ASSERT_EQ(d_.Send(msg::STM_SELECT_SURFACE, surface_), 1);
    EXPECT_EQ(Show(), std::pair(RGB(255, 0, 0), kVideo));
    ASSERT_EQ(d_.Send(msg::STM_DESTROY_SURFACE, surface_), 1);
    EXPECT_EQ(Show(), std::pair(kVideo, kVideo)) << "no surface is selected now";
    EXPECT_EQ(d_.Send(msg::STM_DESTROY_SURFACE, other), 1);
}

TEST(Surfaces, ClosingTheHandleDestroysItsSurfaces) {
    Driver keeper(kMono);
    ASSERT_TRUE(keeper);
    const SurfaceHandle kept = Create(keeper, 64, 64);
    ASSERT_NE(kept, 0u);
    const DWORD gdiBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    std::vector<SurfaceHandle> gone;
    {
        Driver d(kMono);
        ASSERT_TRUE(d);
        for (int i = 0; i < 63; ++i)
            gone.push_back(Create(d, 64, 64));
        EXPECT_EQ(Create(d, 64, 64), 0u) << "64 on the board";
    }
    EXPECT_EQ(keeper.Send(msg::STM_SELECT_SURFACE, gone[0]), 0);
    EXPECT_EQ(keeper.LastStatus(), drv::STS_INVALID_SURFACE_HANDLE);
    EXPECT_EQ(keeper.Send(msg::STM_SELECT_SURFACE, kept), 1);
    EXPECT_LE(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), gdiBefore);
    EXPECT_EQ(keeper.Send(msg::STM_DESTROY_SURFACE, kept), 1);
}

// The storage mode that new frames of an open board get, through the driver's test port.
void SetStorageMode(const char* board, uint32_t mode) {
    KvTestSetStorageModeFn set = nullptr;
    TestPort::Export(GetModuleHandleW(L"kvboard.drv"), "KvTestSetStorageMode", set);
    ASSERT_NE(set, nullptr);
    ASSERT_NE(set(board, mode), 0xFFFFFFFFu);
}

bool Near(COLORREF c, int r, int g, int b) {
    return std::abs(GetRValue(c) - r) <= 12 && std::abs(GetGValue(c) - g) <= 12 &&
           std::abs(GetBValue(c) - b) <= 12;
}

// Live video of frames in every color storage mode shows the color bars: white, yellow,
// cyan, green, magenta, red, blue, black, 96 pixels each on the 768-pixel frame.
TEST(StorageModes, LiveVideoShowsTheBarsInEveryLayout) {
    TestWindow window(768, 576);
    Driver d(kColor);
    ASSERT_TRUE(d);
    for (uint32_t mode : {2u /*YUV*/, 4u /*RGB16*/, 5u /*RGB15*/, 6u /*RGB24*/, 7u /*RGB32*/}) {
        SetStorageMode("SIM7500", mode);
        const FrameHandle frame = AllocateFrame(d);
        window.Repaint();
        JobId job = 0;
        ASSERT_EQ(StartAsync(d, window.get(), frame, job), 1);
        ASSERT_TRUE(WaitImages(SyncEvent(d), 2));
        uint32_t final = 0;
        ASSERT_EQ(Stop(d, job, final), 1);
        EXPECT_TRUE(Near(window.Pixel(48, 20), 255, 255, 255)) << "mode " << mode;
        // The YUV format's color differences (offset 96) cannot hold cyan's V: it shows as
        // the format decodes its clamped value.
        const COLORREF cyan = window.Pixel(48 + 96 * 2, 20);
        if (mode == 2)
            EXPECT_TRUE(Near(cyan, 47, 231, 255)) << std::hex << cyan;
        else
            EXPECT_TRUE(Near(cyan, 0, 255, 255)) << "mode " << mode;
        EXPECT_TRUE(Near(window.Pixel(48 + 96 * 5, 20), 255, 0, 0)) << "mode " << mode;
        EXPECT_TRUE(Near(window.Pixel(48 + 96 * 6, 20), 0, 0, 255)) << "mode " << mode;
        EXPECT_EQ(d.Send(msg::STM_DESTROY_FRAME, frame), 1);
    }
    SetStorageMode("SIM7500", 0);
}

TEST(StorageModes, OverlayOnA565FrameStoresTheSurfaceColors) {
    Driver d(kColor);
    ASSERT_TRUE(d);
    SetStorageMode("SIM7500", 4);
    const FrameHandle frame = AllocateFrame(d);
    SetStorageMode("SIM7500", 0);
    ASSERT_EQ(InfoOf(d, frame).BytesPerPixel, 2);
    const SurfaceHandle s = Create(d, 768, 576);
    FillRectOn(d, s, {0, 0, 16, 16}, RGB(255, 0, 0));
    const auto word = [&](int x, int y) {
        const std::vector<uint8_t> pixels = ReadFrame(d, frame);
        const size_t at = (size_t(y) * 768 + x) * 2;
        return pixels[at] | (pixels[at + 1] << 8);
    };
    FillFrame(d, frame, {0, 0});
    ASSERT_EQ(OverlayOnFrame(d, s, frame, false), 1);
    EXPECT_EQ(word(8, 8), 0xF800);
    EXPECT_EQ(word(20, 8), 0) << "the black key";
    FillFrame(d, frame, {0, 0});
    ASSERT_EQ(OverlayOnFrame(d, s, frame, true), 1);
    EXPECT_EQ(word(8, 8), 0x7800) << "red 127 over black";
    EXPECT_EQ(d.Send(msg::STM_DESTROY_SURFACE, s), 1);
}

} // namespace
} // namespace simtest
