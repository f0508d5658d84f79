// Color frames through the installed control: bitmap files of every color storage mode, the
// YUV conversion of saved files, and the red, green and blue planes.
#include "frames_fixture.h"

#include "yuv.h"

namespace {

using namespace frames_test;
using Microsoft::WRL::ComPtr;

constexpr uint32_t kExtractPlanes = 0xE020;
constexpr uint32_t kDrawPlane = 0xE021;

uint16_t U16At(const std::vector<uint8_t>& bytes, size_t offset) {
    uint16_t value = 0;
    std::memcpy(&value, bytes.data() + offset, 2);
    return value;
}

// The frame's rows in the order a bitmap file holds them: last row first, each cut to the
// saved width.
std::vector<uint8_t> BottomUp(const std::vector<uint8_t>& pixels, size_t stride, size_t rowBytes,
                              size_t rows) {
    std::vector<uint8_t> flipped;
    for (size_t row = rows; row-- > 0;)
        flipped.insert(flipped.end(), pixels.begin() + row * stride,
                       pixels.begin() + row * stride + rowBytes);
    return flipped;
}

VARIANT ByteMatrix(ULONG width, ULONG height, VARTYPE type = VT_UI1, uint8_t fill = 0) {
    SAFEARRAYBOUND bounds[2] = {{width, 0}, {height, 0}};
    SAFEARRAY* array = SafeArrayCreate(type, 2, bounds);
    if (type != VT_VARIANT) {
        com::SafeArrayData<uint8_t> data(array);
        if (data.Ok()) std::memset(data.Data(), fill, width * height * SafeArrayGetElemsize(array));
    }
    VARIANT v;
    V_VT(&v) = VT_ARRAY | type;
    V_ARRAY(&v) = array;
    return v;
}

// The bytes of a matrix of bytes, or of VARIANTs that all hold bytes; none otherwise.
std::vector<uint8_t> MatrixBytes(const VARIANT& matrix) {
    const bool variants = V_VT(&matrix) == (VT_ARRAY | VT_VARIANT);
    if (V_VT(&matrix) != (VT_ARRAY | VT_UI1) && !variants) return {};
    SAFEARRAY* array = V_ARRAY(&matrix);
    LONG width = 0, height = 0;
    SafeArrayGetUBound(array, 1, &width);
    SafeArrayGetUBound(array, 2, &height);
    const size_t count = size_t(width + 1) * (height + 1);
    com::SafeArrayData<uint8_t> data(array);
    if (!data.Ok()) return {};
    if (!variants) return {data.Data(), data.Data() + count};
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < count; ++i) {
        const VARIANT& item = reinterpret_cast<const VARIANT*>(data.Data())[i];
        if (V_VT(&item) != VT_UI1) return {};
        bytes.push_back(V_UI1(&item));
    }
    return bytes;
}

class ColorFrames : public Frames {
protected:
    // Allocates a frame of the board's size in the given storage mode and acquires into it.
    LONG Acquired(StorageModeEnum mode, LONG hscale = -1) {
        LONG index = -1;
        EXPECT_EQ(control_->AllocateFrame(-1, -1, -1, -1, hscale, -1, DefaultFrame, mode, &index),
                  S_OK);
        EXPECT_EQ(control_->AcquireFrames(1, test::Long(index), VARIANT_FALSE), S_OK);
        return index;
    }
    LONG Width() {
        LONG value = 0;
        control_->get_FrameWidth(&value);
        return value;
    }
    LONG Height() {
        LONG value = 0;
        control_->get_FrameHeight(&value);
        return value;
    }
    LONG BytesPerPixel() {
        LONG value = 0;
        control_->get_FrameBytesPerPixel(&value);
        return value;
    }
    std::vector<uint8_t> Saved(LONG frame, const wchar_t* name) {
        const std::wstring path = TempFile(name);
        com::UniqueBstr file(path.c_str());
        EXPECT_EQ(control_->SaveAcquiredFrame(frame, file.Get()), S_OK);
        std::vector<uint8_t> bytes = FileBytes(path);
        DeleteFileW(path.c_str());
        return bytes;
    }
};

// ---- Bitmap files ----

TEST_F(ColorFrames, ThirtyTwoBitFileHoldsTheFrameBottomUpAtAWidthOfFour) {
    Open(L"SIM7300");
    // Scaled in hardware to 90 percent, the file is 576 pixels wide (144 times 4): each of its
    // rows is the start of a 640-pixel frame row.
    const LONG frame = Acquired(RGB32Image, 90);
    ASSERT_EQ(Width(), 640);
    ASSERT_EQ(BytesPerPixel(), 4);
    const LONG height = Height();
    const auto pixels = ReadAll(frame, 640, height, 4);
    const std::wstring path = TempFile(L"corvid_rgb32.bmp");
    com::UniqueBstr file(path.c_str());
    ASSERT_EQ(control_->SaveAcquiredFrame(frame, file.Get()), S_OK);
    const auto bytes = FileBytes(path);
    const size_t image = 576u * height * 4;
    ASSERT_EQ(bytes.size(), 54 + image);
    EXPECT_EQ(U16At(bytes, 0), 0x4D42); // "BM"
    EXPECT_EQ(U32At(bytes, 2), 54 + image);
    EXPECT_EQ(U32At(bytes, 10), 54u);
    EXPECT_EQ(U32At(bytes, 14), 40u);
    EXPECT_EQ(U32At(bytes, 18), 576u);
    EXPECT_EQ(U32At(bytes, 22), static_cast<uint32_t>(height));
    EXPECT_EQ(U16At(bytes, 26), 1);
    EXPECT_EQ(U16At(bytes, 28), 32);
    EXPECT_EQ(U32At(bytes, 30), 0u); // no compression
    EXPECT_EQ(U32At(bytes, 46), 0u); // no color table
    EXPECT_TRUE(std::vector<uint8_t>(bytes.begin() + 54, bytes.end()) ==
                BottomUp(pixels, 640 * 4, 576 * 4, height));

    HBITMAP loaded = static_cast<HBITMAP>(LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0,
                                                     LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    ASSERT_TRUE(loaded);
    DIBSECTION dib{};
    ASSERT_EQ(GetObjectW(loaded, sizeof(dib), &dib), static_cast<int>(sizeof(dib)));
    EXPECT_EQ(dib.dsBm.bmWidth, 576);
    EXPECT_EQ(dib.dsBm.bmHeight, height);
    EXPECT_EQ(dib.dsBm.bmBitsPixel, 32);
    // The first stored row is the frame's last.
    EXPECT_EQ(std::memcmp(dib.dsBm.bmBits, pixels.data() + size_t(height - 1) * 640 * 4, 576 * 4),
              0);
    DeleteObject(loaded);
    DeleteFileW(path.c_str());
}

TEST_F(ColorFrames, SixteenBitFilesCarryTheMasksOfTheirBoard) {
    struct Case {
        const wchar_t* board;
        uint32_t red, green, blue;
    };
    for (const Case& c :
         {Case{L"SIM7500", 0xF800, 0x07E0, 0x001F}, Case{L"SIM7300", 0x7C00, 0x03E0, 0x001F}}) {
        SCOPED_TRACE(std::string(c.board, c.board + wcslen(c.board)));
        Open(c.board);
        const LONG frame = Acquired(RGB16Image);
        const LONG width = Width(), height = Height();
        ASSERT_EQ(BytesPerPixel(), 2);
        const auto pixels = ReadAll(frame, width, height, 2);
        const auto bytes = Saved(frame, L"corvid_rgb16.bmp");
        const size_t image = size_t(width / 4 * 4) * height * 2;
        ASSERT_EQ(bytes.size(), 66 + image);
        EXPECT_EQ(U32At(bytes, 2), 66 + image);
        EXPECT_EQ(U32At(bytes, 10), 66u);
        EXPECT_EQ(U16At(bytes, 28), 16);
        EXPECT_EQ(U32At(bytes, 30), 3u); // bit fields
        EXPECT_EQ(U32At(bytes, 34), image);
        EXPECT_EQ(U32At(bytes, 46), 3u);
        EXPECT_EQ(U32At(bytes, 54), c.red);
        EXPECT_EQ(U32At(bytes, 58), c.green);
        EXPECT_EQ(U32At(bytes, 62), c.blue);
        EXPECT_TRUE(std::vector<uint8_t>(bytes.begin() + 66, bytes.end()) ==
                    BottomUp(pixels, size_t(width) * 2, size_t(width / 4 * 4) * 2, height));
        control_->CloseDevice();
    }
}

TEST_F(ColorFrames, TwentyFourBitFileAndFifteenBitModeWithoutFile) {
    Open(L"SIM7300");
    const LONG frame = Acquired(RGB24Image);
    const LONG width = Width(), height = Height();
    ASSERT_EQ(BytesPerPixel(), 3);
    const auto pixels = ReadAll(frame, width, height, 3);
    const auto bytes = Saved(frame, L"corvid_rgb24.bmp");
    ASSERT_EQ(bytes.size(), 54 + size_t(width) * height * 3);
    EXPECT_EQ(U16At(bytes, 28), 24);
    EXPECT_TRUE(std::vector<uint8_t>(bytes.begin() + 54, bytes.end()) ==
                BottomUp(pixels, size_t(width) * 3, size_t(width) * 3, height));

    const LONG fifteen = Acquired(RGB15Image);
    const std::wstring path = TempFile(L"corvid_rgb15.bmp");
    DeleteFileW(path.c_str());
    com::UniqueBstr file(path.c_str());
    EXPECT_EQ(control_->SaveAcquiredFrame(fifteen, file.Get()), S_OK);
    EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(ColorFrames, YuvFrameIsSavedAsItsTrueColorConversion) {
    Open(L"SIM7300");
    const LONG frame = Acquired(YUVImage);
    const LONG width = Width(), height = Height();
    ASSERT_EQ(BytesPerPixel(), 2);
    const auto planes = ReadAll(frame, width, height, 2); // luma, then U, then V
    const size_t count = size_t(width) * height;
    std::vector<uint32_t> rgb(count);
    ASSERT_TRUE(core::ConvertYuvFrame(planes, rgb));
    // The color bars give more than grey: the chroma planes reached the file.
    EXPECT_NE(std::count_if(rgb.begin(), rgb.end(),
                            [](uint32_t p) {
                                return (p & 0xFF) != ((p >> 8) & 0xFF) ||
                                       (p & 0xFF) != ((p >> 16) & 0xFF);
                            }),
              0);
    const auto bytes = Saved(frame, L"corvid_yuv.bmp");
    ASSERT_EQ(bytes.size(), 54 + count * 4);
    EXPECT_EQ(U16At(bytes, 28), 32);
    std::vector<uint8_t> expected(count * 4);
    std::memcpy(expected.data(), rgb.data(), expected.size());
    const auto stored = BottomUp(expected, size_t(width) * 4, size_t(width) * 4, height);
    size_t differing = 0;
    for (size_t i = 0; i < stored.size(); ++i)
        differing += stored[i] != bytes[54 + i];
    EXPECT_EQ(differing, 0u);
}

// ---- Planes ----

TEST_F(ColorFrames, PlanesExSplitTheFramesPixels) {
    Open(L"SIM7500");
    const LONG first = Acquired(RGB32Image);
    Acquired(RGB32Image); // frame 1, now the active one
    const LONG width = Width(), height = Height();
    const auto pixels = ReadAll(first, width, height, 4);
    VARIANT planes[3];
    for (VARIANT& plane : planes)
        plane = test::Long(7); // cleared and replaced
    ASSERT_EQ(control_->ExtractRGBPlanesEx(first, &planes[0], &planes[1], &planes[2]), S_OK);
    EXPECT_EQ(Active(), first);
    for (int p = 0; p < 3; ++p) {
        SCOPED_TRACE(p);
        ASSERT_EQ(V_VT(&planes[p]), VT_ARRAY | VT_UI1);
        LONG upper = 0;
        SafeArrayGetUBound(V_ARRAY(&planes[p]), 1, &upper);
        EXPECT_EQ(upper, width - 1);
        SafeArrayGetUBound(V_ARRAY(&planes[p]), 2, &upper);
        EXPECT_EQ(upper, height - 1);
        const auto bytes = MatrixBytes(planes[p]);
        ASSERT_EQ(bytes.size(), size_t(width) * height);
        // Red is the pixel's third byte (B, G, R, 0), blue its first; element (x, y) lies at
        // y * width + x.
        size_t differing = 0;
        for (size_t i = 0; i < bytes.size(); ++i)
            differing += bytes[i] != pixels[i * 4 + 2 - p];
        EXPECT_EQ(differing, 0u);
        VariantClear(&planes[p]);
    }
    EXPECT_EQ(control_->ExtractRGBPlanesEx(-1, nullptr, &planes[1], &planes[2]), E_POINTER);
}

TEST_F(ColorFrames, HostPlanesFillOnlyTheArraysGiven) {
    Open(L"SIM7500");
    const LONG frame = Acquired(RGB32Image);
    const LONG width = Width(), height = Height();
    const auto pixels = ReadAll(frame, width, height, 4);
    VARIANT green = ByteMatrix(width, height, VT_UI1, 0xEE);
    VARIANT skipped = test::Long(3); // not an array: no plane
    simulator_.Port().StartTrace();
    ASSERT_EQ(control_->ExtractRGBPlanes(-1, skipped, green, skipped), S_OK);
    const auto sent = test::RecordsOf(simulator_.Port().Trace(), kExtractPlanes);
    ASSERT_EQ(sent.size(), 1u);
    const auto record = test::BlockOf<imaging::STT_BUFFER_INFO>(sent[0]);
    EXPECT_EQ(record.StructSize, sizeof(imaging::STT_BUFFER_INFO));
    EXPECT_EQ(record.Flags, 2u);
    EXPECT_EQ(record.Width, static_cast<uint32_t>(width));
    EXPECT_EQ(record.Height, static_cast<uint32_t>(height));
    EXPECT_EQ(record.PixelDepth, 1u);
    EXPECT_EQ(record.BufferSize, static_cast<uint32_t>(width * height));
    const auto bytes = MatrixBytes(green);
    ASSERT_EQ(bytes.size(), size_t(width) * height);
    size_t differing = 0;
    for (size_t i = 0; i < bytes.size(); ++i)
        differing += bytes[i] != pixels[i * 4 + 1];
    EXPECT_EQ(differing, 0u);

    // A plane smaller than the frame takes its top-left corner and nothing past its end; a
    // script's plane, by reference, gets the same bytes as VARIANTs.
    for (const VARTYPE type : {VARTYPE{VT_UI1}, VARTYPE{VT_VARIANT}}) {
        VARIANT corner = ByteMatrix(16, 8, type, 0xEE);
        ASSERT_EQ(test::Invoke(dispatch_.Get(), L"ExtractRGBPlanes",
                               {test::Long(-1), test::RefTo(&corner), skipped, skipped})
                      .hr,
                  S_OK);
        const auto small = MatrixBytes(corner);
        ASSERT_EQ(small.size(), 16u * 8) << type;
        for (size_t y = 0; y < 8; ++y)
            for (size_t x = 0; x < 16; ++x)
                EXPECT_EQ(small[y * 16 + x], pixels[(y * width + x) * 4 + 2]) << x << "," << y;
        VariantClear(&corner);
    }
    VariantClear(&green);
}

TEST_F(ColorFrames, PlaneArgumentsThatCannotBeFilledAreRefused) {
    Open(L"SIM7500");
    VARIANT red = ByteMatrix(64, 48);
    VARIANT skipped = test::Long(0);
    // No frame yet: the control says so.
    EXPECT_EQ(control_->ExtractRGBPlanes(-1, red, skipped, skipped), DISP_E_EXCEPTION);
    EXPECT_EQ(test::TakeErrorInfo().description, L"No allocated frames");
    Acquired(RGB32Image);
    VARIANT wider = ByteMatrix(65, 48);
    VARIANT words = ByteMatrix(64, 48, VT_I4);
    VARIANT variants = ByteMatrix(65, 48, VT_VARIANT);
    VARIANT line;
    V_VT(&line) = VT_ARRAY | VT_UI1;
    V_ARRAY(&line) = SafeArrayCreateVector(VT_UI1, 0, 64 * 48);
    EXPECT_EQ(control_->ExtractRGBPlanes(-1, skipped, skipped, skipped), E_INVALIDARG);
    EXPECT_EQ(control_->ExtractRGBPlanes(-1, line, skipped, skipped), E_INVALIDARG);
    EXPECT_EQ(control_->ExtractRGBPlanes(-1, red, wider, skipped), E_INVALIDARG);
    EXPECT_EQ(control_->ExtractRGBPlanes(-1, red, words, skipped), E_INVALIDARG); // 4x the bytes
    EXPECT_EQ(control_->ExtractRGBPlanes(-1, red, variants, skipped), E_INVALIDARG); // 65 wide
    EXPECT_EQ(control_->DrawRGBPlane(0, line), E_INVALIDARG);
    {
        // A script's plane whose element is no byte.
        LONG at[2] = {3, 2};
        VARIANT tooLarge = test::Long(256);
        ASSERT_EQ(SafeArrayPutElement(V_ARRAY(&variants), at, &tooLarge), S_OK);
    }
    EXPECT_EQ(control_->DrawRGBPlane(0, variants), E_INVALIDARG);
    // Every array is still unlocked: it can be destroyed.
    for (VARIANT* v : {&red, &wider, &words, &variants, &line})
        EXPECT_EQ(VariantClear(v), S_OK);

    control_->CloseDevice();
    Open(L"SIM7100");
    Acquired(DefaultImage);
    VARIANT grey = ByteMatrix(640, 480);
    EXPECT_EQ(control_->ExtractRGBPlanes(-1, grey, skipped, skipped), E_NOTIMPL);
    EXPECT_EQ(control_->DrawRGBPlane(0, grey), E_NOTIMPL);
    VariantClear(&grey);
}

TEST_F(ColorFrames, DrawnPlaneAppearsInTheWindowAsGrey) {
    Open(L"SIM7300");
    HWND window = CreateWindowExW(0, L"STATIC", L"plane", WS_POPUP | WS_VISIBLE, 0, 0, 128, 96,
                                  nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(window);
    test::PumpMessages();
    const COLORREF outside = test::PixelOf(window, 100, 10);
    VARIANT plane = ByteMatrix(64, 48, VT_UI1, 0x30);
    {
        // A brighter lower half shows which way the rows run.
        com::SafeArrayData<uint8_t> data(V_ARRAY(&plane));
        ASSERT_TRUE(data.Ok());
        std::memset(data.Data() + 64 * 24, 0xC0, 64 * 24);
    }
    simulator_.Port().StartTrace();
    ASSERT_EQ(control_->DrawRGBPlane(HandleToLong(window), plane), S_OK);
    const auto sent = test::RecordsOf(simulator_.Port().Trace(), kDrawPlane);
    ASSERT_EQ(sent.size(), 1u);
    const auto record = test::BlockOf<imaging::STT_BUFFER_INFO>(sent[0]);
    EXPECT_EQ(record.Width, 64u);
    EXPECT_EQ(record.Height, 48u);
    EXPECT_EQ(record.Flags, 0u);
    EXPECT_EQ(sent[0].Param2, reinterpret_cast<uintptr_t>(window));
    EXPECT_EQ(GetRValue(test::PixelOf(window, 10, 10)), 0x30);
    EXPECT_EQ(GetRValue(test::PixelOf(window, 10, 40)), 0xC0);
    EXPECT_EQ(test::PixelOf(window, 100, 10), outside); // nothing past the plane
    VariantClear(&plane);
    DestroyWindow(window);
}

} // namespace
