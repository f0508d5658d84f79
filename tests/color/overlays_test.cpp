// The overlay surfaces of the installed control on the simulated boards: the surface table,
// the active surface and its properties, drawing through the surface's context, image files,
// and surfaces burnt into frames that are read back and drawn into a window.
#include "color_fixture.h"

#include <algorithm>
#include <cstring>
#include <fstream>

namespace color_test {
namespace {

using test::BlockOf;
using test::RecordsOf;

namespace msg = imaging::msg;

// The message codes of a trace, in order.
std::vector<uint32_t> MessagesOf(const std::vector<KvTraceRecord>& trace) {
    std::vector<uint32_t> codes;
    for (const KvTraceRecord& record : trace)
        codes.push_back(record.Message);
    return codes;
}

// Writes a bottom-up 24-bit bitmap file of one color.
void WriteBitmapFile(const std::wstring& name, int32_t width, int32_t height, COLORREF color) {
    const uint32_t stride = (uint32_t(width) * 3 + 3) & ~3u;
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + stride * height;
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    std::vector<uint8_t> row(stride, 0);
    for (int32_t x = 0; x < width; ++x) {
        row[x * 3] = GetBValue(color);
        row[x * 3 + 1] = GetGValue(color);
        row[x * 3 + 2] = GetRValue(color);
    }
    std::ofstream out(std::string(name.begin(), name.end()), std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof(file));
    out.write(reinterpret_cast<const char*>(&info), sizeof(info));
    for (int32_t y = 0; y < height; ++y)
        out.write(reinterpret_cast<const char*>(row.data()), stride);
}

class Overlays : public ColorTest {
protected:
    LONG AllocateSurface() {
        LONG id = -99;
        EXPECT_EQ(control_->AllocateSurface(&id), S_OK);
        return id;
    }
    LONG ActiveSurface() {
        LONG id = -99;
        control_->get_ActiveSurface(&id);
        return id;
    }
    LONG SurfaceCount() {
        LONG count = -99;
        control_->get_SurfaceCount(&count);
        return count;
    }
    // Fills a rectangle of a surface through the context the control hands out.
    void FillSurface(LONG id, RECT area, COLORREF color) {
        LONG dc = 0;
        ASSERT_EQ(control_->GetSurfaceDC(id, &dc), S_OK);
        com::UniqueBrush brush(CreateSolidBrush(color));
        ASSERT_TRUE(FillRect(reinterpret_cast<HDC>(static_cast<intptr_t>(dc)), &area, brush.Get()));
        ASSERT_EQ(control_->ReleaseSurfaceDC(id), S_OK);
    }
    // Fills a mono frame of the default size with one grey level.
    void FillFrame(LONG frame, uint8_t level) {
        SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, 640 * 480);
        {
            com::SafeArrayData<uint8_t> data(array);
            std::fill_n(data.Data(), 640 * 480, level);
        }
        VARIANT pixels;
        V_VT(&pixels) = VT_ARRAY | VT_UI1;
        V_ARRAY(&pixels) = array;
        ASSERT_EQ(control_->WriteFrame(frame, 0, 0, 640, 480, pixels), S_OK);
        VariantClear(&pixels);
    }
};

// A new surface has the active frame's size (the default frame's without one), the color
// key black and is erased; it becomes the active Id without the driver selecting it.
TEST_F(Overlays, AllocationCreatesKeysAndErasesTheSurface) {
    Open(L"SIM7100");
    test::Notifications notifications(dispatch_.Get());
    LONG id = -1;
    std::vector<KvTraceRecord> trace = Traced([&] {
        test::CallResult call = test::Invoke(dispatch_.Get(), L"AllocateSurface");
        ASSERT_EQ(call.hr, S_OK);
        id = test::LongOf(call);
    });
    EXPECT_EQ(id, 0);
    ASSERT_EQ(trace.size(), 3u);
    EXPECT_EQ(trace[0].Message, msg::STM_CREATE_SURFACE);
    const auto size = BlockOf<imaging::PairBlock>(trace[0]);
    EXPECT_EQ(size.First, 640);
    EXPECT_EQ(size.Second, 480);
    EXPECT_EQ(trace[1].Message, msg::STM_SET_SURFACE_COLOR_KEY);
    EXPECT_EQ(BlockOf<uint32_t>(trace[1]), 0u);
    EXPECT_EQ(trace[2].Message, msg::STM_ERASE_SURFACE);
    EXPECT_EQ(trace[2].Param2, trace[1].Param1); // the surface handle
    EXPECT_EQ(ActiveSurface(), 0);
    EXPECT_EQ(SurfaceCount(), 1);
    ASSERT_EQ(notifications.Changed().size(), 1u);
    EXPECT_EQ(notifications.Changed()[0], DispidActiveSurface);

    LONG frame = -1;
    ASSERT_EQ(control_->AllocateFrame(-1, -1, 320, 240, -1, -1, DefaultFrame, DefaultImage, &frame),
              S_OK);
    trace = Traced([&] { EXPECT_EQ(AllocateSurface(), 1); });
    ASSERT_FALSE(trace.empty());
    EXPECT_EQ(BlockOf<imaging::PairBlock>(trace[0]).First, 320);
    EXPECT_EQ(BlockOf<imaging::PairBlock>(trace[0]).Second, 240);
    EXPECT_EQ(control_->AllocateSurface(nullptr), E_POINTER);
}

TEST_F(Overlays, AFailedCreationKeepsNoSurface) {
    Open(L"SIM7100");
    Port().FailNext(msg::STM_CREATE_SURFACE, imaging::drv::STS_NOMEM);
    LONG id = -99;
    std::vector<KvTraceRecord> trace = Traced(
        [&] { EXPECT_EQ(control_->AllocateSurface(&id), static_cast<HRESULT>(0x80044002)); });
    // No handle: nothing to key, erase or destroy.
    EXPECT_EQ(RecordsOf(trace, msg::STM_CREATE_SURFACE).size(), 1u);
    EXPECT_TRUE(RecordsOf(trace, msg::STM_SET_SURFACE_COLOR_KEY).empty());
    EXPECT_TRUE(RecordsOf(trace, msg::STM_DESTROY_SURFACE).empty());
    EXPECT_EQ(SurfaceCount(), 0);
    EXPECT_EQ(ActiveSurface(), -1);

    // A later step fails: the surface made is destroyed again.
    Port().FailNext(msg::STM_ERASE_SURFACE, imaging::drv::STS_BUSY);
    trace = Traced(
        [&] { EXPECT_EQ(control_->AllocateSurface(&id), static_cast<HRESULT>(0x80044007)); });
    ASSERT_EQ(RecordsOf(trace, msg::STM_DESTROY_SURFACE).size(), 1u);
    EXPECT_EQ(RecordsOf(trace, msg::STM_DESTROY_SURFACE)[0].Param1,
              RecordsOf(trace, msg::STM_SET_SURFACE_COLOR_KEY)[0].Param1);
    EXPECT_EQ(SurfaceCount(), 0);
}

TEST_F(Overlays, TheSixtyFifthSurfaceIsRefused) {
    Open(L"SIM7100");
    for (LONG i = 0; i < 64; ++i)
        ASSERT_EQ(AllocateSurface(), i);
    std::vector<KvTraceRecord> trace = Traced([&] {
        test::CallResult call = test::Invoke(dispatch_.Get(), L"AllocateSurface");
        EXPECT_EQ(call.hr, DISP_E_EXCEPTION);
        EXPECT_EQ(call.exception.scode, DISP_E_EXCEPTION);
        EXPECT_EQ(test::Wide(call.exception.bstrDescription), L"No surfaces available");
    });
    EXPECT_TRUE(trace.empty());
    LONG id = -99;
    EXPECT_EQ(SurfaceCount(), 64);
    EXPECT_EQ(control_->AllocateSurface(&id), DISP_E_EXCEPTION);
    EXPECT_EQ(id, -99);

    // Closing the device destroys them all.
    trace = Traced([&] { ASSERT_EQ(control_->CloseDevice(), S_OK); });
    EXPECT_EQ(RecordsOf(trace, msg::STM_DESTROY_SURFACE).size(), 64u);
    EXPECT_EQ(SurfaceCount(), 0);
    EXPECT_EQ(ActiveSurface(), -1);
}

// The active Id moves to the nearest remaining surface, lower Ids first.
TEST_F(Overlays, DestroyingTheActiveSurfaceMovesToItsNeighbour) {
    Open(L"SIM7100");
    for (LONG i = 0; i < 6; ++i)
        ASSERT_EQ(AllocateSurface(), i);
    for (LONG id : {1, 3, 4})
        ASSERT_EQ(control_->DestroySurface(id), S_OK);
    EXPECT_EQ(SurfaceCount(), 3);
    EXPECT_EQ(ActiveSurface(), 5);
    ASSERT_EQ(control_->put_ActiveSurface(2), S_OK);

    std::vector<KvTraceRecord> trace =
        Traced([&] { ASSERT_EQ(control_->DestroySurface(2), S_OK); });
    EXPECT_EQ(ActiveSurface(), 0);
    ASSERT_EQ(MessagesOf(trace),
              (std::vector<uint32_t>{msg::STM_ERASE_SURFACE, msg::STM_ENABLE_OVERLAYS,
                                     msg::STM_DESTROY_SURFACE, msg::STM_SELECT_SURFACE,
                                     msg::STM_SET_TRANSLUCENT}));
    EXPECT_EQ(trace[1].Param2, 0u); // overlays off

    ASSERT_EQ(control_->DestroySurface(0), S_OK);
    EXPECT_EQ(ActiveSurface(), 5);
    // Destroying another than the active surface leaves the active Id.
    EXPECT_EQ(AllocateSurface(), 0);
    ASSERT_EQ(control_->put_ActiveSurface(5), S_OK);
    ASSERT_EQ(control_->DestroySurface(0), S_OK);
    EXPECT_EQ(ActiveSurface(), 5);
    ASSERT_EQ(control_->DestroySurface(5), S_OK);
    EXPECT_EQ(ActiveSurface(), -1);
    EXPECT_EQ(SurfaceCount(), 0);

    // Ids without a surface: nothing happens.
    trace = Traced([&] {
        EXPECT_EQ(control_->DestroySurface(-1), S_OK);
        EXPECT_EQ(control_->DestroySurface(5), S_OK);
        EXPECT_EQ(control_->DestroySurface(64), S_OK);
    });
    EXPECT_TRUE(trace.empty());
}

// A context the host still holds goes back to the driver before the surface does.
TEST_F(Overlays, DestroyingASurfaceReleasesItsContext) {
    Open(L"SIM7100");
    ASSERT_EQ(AllocateSurface(), 0);
    LONG dc = 0;
    ASSERT_EQ(control_->GetSurfaceDC(0, &dc), S_OK);
    EXPECT_NE(dc, 0);
    std::vector<KvTraceRecord> trace =
        Traced([&] { ASSERT_EQ(control_->DestroySurface(0), S_OK); });
    const auto releases = RecordsOf(trace, msg::STM_RELEASE_SURFACE_DC);
    ASSERT_EQ(releases.size(), 1u);
    EXPECT_EQ(static_cast<LONG>(releases[0].Param2), dc);
    ASSERT_EQ(RecordsOf(trace, msg::STM_DESTROY_SURFACE).size(), 1u);
    EXPECT_EQ(releases[0].Param1, RecordsOf(trace, msg::STM_DESTROY_SURFACE)[0].Param1);
}

TEST_F(Overlays, ActiveSurfaceSelectsAndSetsTheTranslucency) {
    Open(L"SIM7100");
    ASSERT_EQ(AllocateSurface(), 0);
    ASSERT_EQ(AllocateSurface(), 1);
    test::Notifications notifications(dispatch_.Get());
    std::vector<KvTraceRecord> trace = Traced([&] {
        ASSERT_EQ(test::PutProperty(dispatch_.Get(), L"Translucent", test::Long(-1)).hr, S_OK);
        ASSERT_EQ(control_->put_ActiveSurface(0), S_OK);
        ASSERT_EQ(control_->put_ActiveSurface(1), S_OK);
    });
    ASSERT_EQ(trace.size(), 5u);
    EXPECT_EQ(trace[0].Message, msg::STM_SET_TRANSLUCENT);
    EXPECT_EQ(trace[0].Param2, 1u);
    EXPECT_EQ(trace[1].Message, msg::STM_SELECT_SURFACE);
    EXPECT_EQ(trace[2].Param2, 0u); // surface 0 is not translucent
    EXPECT_EQ(trace[3].Message, msg::STM_SELECT_SURFACE);
    EXPECT_NE(trace[3].Param1, trace[1].Param1);
    EXPECT_EQ(trace[4].Param2, 1u);
    EXPECT_EQ(notifications.Changed(),
              (std::vector<DISPID>{DispidTranslucent, DispidActiveSurface, DispidActiveSurface}));
    VARIANT_BOOL translucent = VARIANT_FALSE;
    ASSERT_EQ(control_->get_Translucent(&translucent), S_OK);
    EXPECT_EQ(translucent, VARIANT_TRUE);

    // -1: no active surface, without a message; other Ids must name a surface.
    trace = Traced([&] {
        ASSERT_EQ(control_->put_ActiveSurface(-1), S_OK);
        EXPECT_EQ(control_->put_ActiveSurface(2), E_INVALIDARG);
        EXPECT_EQ(control_->put_ActiveSurface(-2), E_INVALIDARG);
    });
    EXPECT_TRUE(trace.empty());
    EXPECT_EQ(ActiveSurface(), -1);

    // A failed selection is no error; the translucency that follows gives the result.
    Port().FailNext(msg::STM_SELECT_SURFACE, imaging::drv::STS_BUSY);
    EXPECT_EQ(control_->put_ActiveSurface(0), S_OK);
    Port().FailNext(msg::STM_SET_TRANSLUCENT, imaging::drv::STS_BUSY);
    EXPECT_EQ(control_->put_ActiveSurface(1), static_cast<HRESULT>(0x80044007));
}

TEST_F(Overlays, ActiveSurfacePropertiesNeedAnActiveSurface) {
    Open(L"SIM7100");
    VARIANT_BOOL translucent = 0;
    OLE_COLOR key = 0;
    BSTR name = nullptr;
    com::UniqueBstr empty(SysAllocString(L""));
    std::vector<KvTraceRecord> trace = Traced([&] {
        EXPECT_EQ(control_->get_Translucent(&translucent), E_FAIL);
        EXPECT_EQ(control_->put_Translucent(VARIANT_TRUE), E_FAIL);
        EXPECT_EQ(control_->get_ColorKey(&key), E_FAIL);
        EXPECT_EQ(control_->put_ColorKey(0xFF), E_FAIL);
        EXPECT_EQ(control_->get_ImageFile(&name), E_FAIL);
        EXPECT_EQ(control_->put_ImageFile(empty.Get()), E_FAIL);
        EXPECT_EQ(control_->EraseSurface(-1), E_INVALIDARG);
        ASSERT_EQ(AllocateSurface(), 0);
        ASSERT_EQ(control_->put_ActiveSurface(-1), S_OK);
        EXPECT_EQ(control_->get_Translucent(&translucent), E_FAIL);
        EXPECT_EQ(control_->EraseSurface(-1), E_INVALIDARG);
    });
    EXPECT_TRUE(RecordsOf(trace, msg::STM_SET_TRANSLUCENT).empty());
    EXPECT_EQ(RecordsOf(trace, msg::STM_SET_SURFACE_COLOR_KEY).size(), 1u); // allocation's
    EXPECT_EQ(control_->get_Translucent(nullptr), E_POINTER);
}

// The host's 0x00BBGGRR goes to the driver as 0x00RRGGBB and reads back as given.
TEST_F(Overlays, ColorKeyTravelsInTheDriversByteOrder) {
    Open(L"SIM7100");
    ASSERT_EQ(AllocateSurface(), 0);
    test::Notifications notifications(dispatch_.Get());
    std::vector<KvTraceRecord> trace = Traced([&] {
        ASSERT_EQ(test::PutProperty(dispatch_.Get(), L"ColorKey", test::Long(0x0000FF)).hr, S_OK);
    });
    ASSERT_EQ(trace.size(), 1u);
    EXPECT_EQ(trace[0].Message, msg::STM_SET_SURFACE_COLOR_KEY);
    EXPECT_EQ(BlockOf<uint32_t>(trace[0]), 0xFF0000u);
    OLE_COLOR key = 0;
    ASSERT_EQ(control_->get_ColorKey(&key), S_OK);
    EXPECT_EQ(key, 0x0000FFu);
    EXPECT_EQ(notifications.Changed(), std::vector<DISPID>{DispidColorKey});

    // A refused key is not kept.
    Port().FailNext(msg::STM_SET_SURFACE_COLOR_KEY, imaging::drv::STS_BUSY);
    EXPECT_EQ(control_->put_ColorKey(0x00FF00), static_cast<HRESULT>(0x80044007));
    ASSERT_EQ(control_->get_ColorKey(&key), S_OK);
    EXPECT_EQ(key, 0x0000FFu);
}

TEST_F(Overlays, SurfaceIdsAreChecked) {
    Open(L"SIM7100");
    ASSERT_EQ(AllocateSurface(), 0);
    LONG dc = 7;
    std::vector<KvTraceRecord> trace = Traced([&] {
        EXPECT_EQ(control_->EnableOverlays(3), E_INVALIDARG);
        EXPECT_EQ(control_->DisableOverlays(-1), E_INVALIDARG);
        EXPECT_EQ(control_->GetSurfaceDC(-1, &dc), E_INVALIDARG); // not the active surface here
        EXPECT_EQ(control_->ReleaseSurfaceDC(1), E_INVALIDARG);
        EXPECT_EQ(control_->EraseSurface(1), E_INVALIDARG);
        EXPECT_EQ(control_->OverlaySurfaceOnFrame(-1, 0), E_INVALIDARG); // no frame
        EXPECT_EQ(control_->GetSurfaceDC(0, nullptr), E_POINTER);
    });
    EXPECT_TRUE(trace.empty());
    EXPECT_EQ(dc, 7);

    trace = Traced([&] {
        ASSERT_EQ(control_->EnableOverlays(0), S_OK);
        ASSERT_EQ(control_->DisableOverlays(0), S_OK);
        ASSERT_EQ(control_->EraseSurface(-1), S_OK);
    });
    ASSERT_EQ(trace.size(), 3u);
    EXPECT_EQ(trace[0].Message, msg::STM_ENABLE_OVERLAYS);
    EXPECT_EQ(trace[0].Param2, 1u);
    EXPECT_EQ(trace[1].Param2, 0u);
    EXPECT_EQ(trace[2].Message, msg::STM_ERASE_SURFACE);

    // Releasing a context that was never taken is the driver's to refuse.
    EXPECT_HRESULT_FAILED(control_->ReleaseSurfaceDC(0));
}

// What the host draws through the surface's context is burnt into the frame: the color key
// (black) leaves the frame as it was.
TEST_F(Overlays, DrawingBurntIntoAFrameReadsBack) {
    Open(L"SIM7100");
    const LONG frame = Allocate();
    FillFrame(frame, 0x40);
    ASSERT_EQ(AllocateSurface(), 0);
    FillSurface(0, {10, 20, 30, 25}, RGB(255, 255, 255));
    std::vector<KvTraceRecord> trace =
        Traced([&] { ASSERT_EQ(control_->OverlaySurfaceOnFrame(frame, -1), S_OK); });
    ASSERT_EQ(trace.size(), 1u);
    EXPECT_EQ(trace[0].Message, msg::STM_OVERLAY_SURFACE_ON_FRAME);
    EXPECT_EQ(trace[0].Param2, 0u);
    std::vector<uint8_t> pixels = ReadAll(frame, 640, 480, 1);
    EXPECT_EQ(pixels[20 * 640 + 10], 0xFF);
    EXPECT_EQ(pixels[24 * 640 + 29], 0xFF);
    EXPECT_EQ(pixels[25 * 640 + 29], 0x40);
    EXPECT_EQ(pixels[20 * 640 + 30], 0x40);
    EXPECT_EQ(pixels[0], 0x40);

    // Translucent: the surface mixes with the frame.
    ASSERT_EQ(control_->put_Translucent(VARIANT_TRUE), S_OK);
    FillFrame(frame, 0x40);
    trace = Traced([&] {
        ASSERT_EQ(test::Invoke(dispatch_.Get(), L"OverlaySurfaceOnFrame",
                               {test::Long(-1), test::Long(-1)})
                      .hr,
                  S_OK);
    });
    ASSERT_EQ(trace.size(), 1u);
    EXPECT_EQ(trace[0].Param2, 1u);
    pixels = ReadAll(frame, 640, 480, 1);
    EXPECT_EQ(pixels[20 * 640 + 10], (0x40 + 0xFF) / 2);
    EXPECT_EQ(pixels[0], 0x40);
}

// A color surface burnt into a color frame shows in a real window.
TEST_F(Overlays, BurntFrameDrawsIntoAWindow) {
    Open(L"SIM7300");
    const LONG frame = Allocate();
    LONG width = 0, height = 0, bytes = 0;
    ASSERT_EQ(control_->get_FrameWidth(&width), S_OK);
    ASSERT_EQ(control_->get_FrameHeight(&height), S_OK);
    ASSERT_EQ(control_->get_FrameBytesPerPixel(&bytes), S_OK);
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, ULONG(width * height * bytes));
    VARIANT black;
    V_VT(&black) = VT_ARRAY | VT_UI1;
    V_ARRAY(&black) = array;
    ASSERT_EQ(control_->WriteFrame(frame, 0, 0, width, height, black), S_OK);
    VariantClear(&black);
    ASSERT_EQ(AllocateSurface(), 0);
    ASSERT_EQ(control_->put_ColorKey(RGB(0, 0, 255)), S_OK);
    ASSERT_EQ(control_->EraseSurface(0), S_OK); // now all key
    FillSurface(0, {40, 30, 120, 90}, RGB(255, 0, 0));
    ASSERT_EQ(control_->OverlaySurfaceOnFrame(frame, 0), S_OK);

    HWND window = CreateWindowExW(0, L"STATIC", L"overlay", WS_POPUP | WS_VISIBLE, 0, 0, width,
                                  height, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(window);
    test::PumpMessages();
    ASSERT_EQ(control_->DrawAcquiredFrame(HandleToLong(window), frame), S_OK);
    const COLORREF inside = test::PixelOf(window, 60, 50);
    const COLORREF outside = test::PixelOf(window, 200, 150);
    DestroyWindow(window);
    EXPECT_EQ(inside, RGB(255, 0, 0));
    EXPECT_EQ(outside, RGB(0, 0, 0));
}

// A bitmap file is copied into the active surface from its top left corner, which is then
// selected with the overlays on.
TEST_F(Overlays, ImageFileLoadsIntoTheSurface) {
    Open(L"SIM7100");
    const LONG frame = Allocate();
    FillFrame(frame, 0x40);
    ASSERT_EQ(AllocateSurface(), 0);
    const std::wstring path = frames_test::TempFile(L"overlay_image.bmp");
    WriteBitmapFile(path, 16, 8, RGB(255, 255, 255));
    test::Arg name(path.c_str());
    test::Notifications notifications(dispatch_.Get());
    std::vector<KvTraceRecord> trace = Traced(
        [&] { ASSERT_EQ(test::PutProperty(dispatch_.Get(), L"ImageFile", name.Get()).hr, S_OK); });
    ASSERT_EQ(MessagesOf(trace),
              (std::vector<uint32_t>{msg::STM_GET_SURFACE_DC, msg::STM_RELEASE_SURFACE_DC,
                                     msg::STM_SELECT_SURFACE, msg::STM_SET_TRANSLUCENT,
                                     msg::STM_ENABLE_OVERLAYS}));
    EXPECT_EQ(trace[4].Param2, 1u);
    EXPECT_EQ(notifications.Changed(), std::vector<DISPID>{DispidImageFile});
    EXPECT_EQ(test::TextOf(test::GetProperty(dispatch_.Get(), L"ImageFile")), path);

    ASSERT_EQ(control_->OverlaySurfaceOnFrame(frame, 0), S_OK);
    const std::vector<uint8_t> pixels = ReadAll(frame, 640, 480, 1);
    EXPECT_EQ(pixels[0], 0xFF);
    EXPECT_EQ(pixels[7 * 640 + 15], 0xFF);
    EXPECT_EQ(pixels[8 * 640 + 15], 0x40); // below the bitmap: the surface stayed erased
    EXPECT_EQ(pixels[7 * 640 + 16], 0x40);
    DeleteFileW(path.c_str());

    // An empty name is kept and leaves the surface alone.
    test::Arg empty(L"");
    trace = Traced(
        [&] { ASSERT_EQ(test::PutProperty(dispatch_.Get(), L"ImageFile", empty.Get()).hr, S_OK); });
    EXPECT_TRUE(trace.empty());
    EXPECT_EQ(test::TextOf(test::GetProperty(dispatch_.Get(), L"ImageFile")), L"");
}

// A bitmap larger than the surface is cut to it.
TEST_F(Overlays, ALargerImageFileIsCut) {
    Open(L"SIM7100");
    LONG frame = -1;
    ASSERT_EQ(control_->AllocateFrame(-1, -1, 320, 240, -1, -1, DefaultFrame, DefaultImage, &frame),
              S_OK);
    ASSERT_EQ(AllocateSurface(), 0);
    const std::wstring path = frames_test::TempFile(L"overlay_large.bmp");
    WriteBitmapFile(path, 400, 300, RGB(255, 255, 255));
    test::Arg name(path.c_str());
    ASSERT_EQ(test::PutProperty(dispatch_.Get(), L"ImageFile", name.Get()).hr, S_OK);
    DeleteFileW(path.c_str());
    ASSERT_EQ(control_->OverlaySurfaceOnFrame(frame, 0), S_OK);
    const std::vector<uint8_t> pixels = ReadAll(frame, 320, 240, 1);
    EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 0xFF), 320 * 240);
}

// Damaged bitmap files are refused with an error before the platform's loader reads them;
// the surface takes a sound file afterwards.
TEST_F(Overlays, DamagedBitmapFilesAreRefusedUnread) {
    Open(L"SIM7100");
    Allocate();
    ASSERT_EQ(AllocateSurface(), 0);
    const std::wstring path = frames_test::TempFile(L"overlay_damaged.bmp");
    WriteBitmapFile(path, 64, 64, RGB(255, 255, 255));
    const std::vector<uint8_t> sound = frames_test::FileBytes(path);
    const auto setU32 = [](std::vector<uint8_t> bytes, size_t at, uint32_t value) {
        std::memcpy(&bytes[at], &value, 4);
        return bytes;
    };
    const std::vector<std::vector<uint8_t>> damaged = {
        std::vector<uint8_t>(sound.begin(), sound.begin() + 30), // cut inside the header
        setU32(sound, 10, 0x10000000),                           // pixels past the end
        setU32(sound, 18, 0x7FFFFFFF),                           // width the file cannot hold
        setU32(sound, 22, 0x80000000),                           // height of INT_MIN
        setU32(sound, 14, 0xFFFFFFFF),                           // header size
        std::vector<uint8_t>(sound.begin(), sound.end() - 100),  // rows missing
        setU32(sound, 30, 1),                                    // run-length coded
    };
    test::Arg name(path.c_str());
    for (size_t i = 0; i < damaged.size(); ++i) {
        std::ofstream(std::string(path.begin(), path.end()), std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(damaged[i].data()),
                   static_cast<std::streamsize>(damaged[i].size()));
        const test::CallResult put = test::PutProperty(dispatch_.Get(), L"ImageFile", name.Get());
        EXPECT_EQ(put.hr, DISP_E_EXCEPTION) << "case " << i;
        EXPECT_FALSE(test::Wide(put.exception.bstrDescription).empty()) << "case " << i;
    }
    WriteBitmapFile(path, 64, 64, RGB(255, 255, 255));
    EXPECT_EQ(test::PutProperty(dispatch_.Get(), L"ImageFile", name.Get()).hr, S_OK);
    DeleteFileW(path.c_str());
}

TEST_F(Overlays, ImageFileFailuresAreSystemErrors) {
    Open(L"SIM7100");
    ASSERT_EQ(AllocateSurface(), 0);
    const std::wstring missing = frames_test::TempFile(L"no_such_overlay.bmp");
    DeleteFileW(missing.c_str());
    test::Arg name(missing.c_str());
    std::vector<KvTraceRecord> trace = Traced([&] {
        test::CallResult put = test::PutProperty(dispatch_.Get(), L"ImageFile", name.Get());
        EXPECT_EQ(put.hr, DISP_E_EXCEPTION);
        EXPECT_FALSE(test::Wide(put.exception.bstrDescription).empty());
    });
    EXPECT_TRUE(trace.empty());
    // The name stays with the surface.
    EXPECT_EQ(test::TextOf(test::GetProperty(dispatch_.Get(), L"ImageFile")), missing);

    // A file that is no bitmap.
    const std::wstring text = frames_test::TempFile(L"overlay_not_a_bitmap.bmp");
    {
        std::ofstream out(std::string(text.begin(), text.end()));
        out << "not a bitmap";
    }
    test::Arg textName(text.c_str());
    EXPECT_EQ(test::PutProperty(dispatch_.Get(), L"ImageFile", textName.Get()).hr,
              DISP_E_EXCEPTION);
    DeleteFileW(text.c_str());

    // The name is cut to 260 characters.
    const std::wstring longName = frames_test::TempFile(L"") + std::wstring(300, L'x');
    test::Arg longArg(longName.c_str());
    EXPECT_EQ(test::PutProperty(dispatch_.Get(), L"ImageFile", longArg.Get()).hr, DISP_E_EXCEPTION);
    EXPECT_EQ(test::TextOf(test::GetProperty(dispatch_.Get(), L"ImageFile")),
              longName.substr(0, 260));

    // A null name is invalid data (system error 13).
    wchar_t invalidData[260] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   ERROR_INVALID_DATA, 0, invalidData, 259, nullptr);
    test::CallResult null = test::PutProperty(dispatch_.Get(), L"ImageFile", test::Text(nullptr));
    EXPECT_EQ(null.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(test::Wide(null.exception.bstrDescription), invalidData);
}

} // namespace
} // namespace color_test
