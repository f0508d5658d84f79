// Pictures: every acquisition delivers a new image with its counter; the frame controls,
// the lookup tables, the input source and the active video window change it as documented.
#include "acq_driver.h"

#include <algorithm>
#include <cmath>

namespace simtest {
namespace {

LRESULT Acquire(const Driver& d, FrameHandle frame) {
    return d.Send(msg::STM_ACQUIRE_FRAME, 0, frame);
}

// The documented monochrome ramp of source 0: (X + Y + 4n) mod 256.
uint8_t Ramp(int64_t x, int64_t y, uint32_t n) {
    return static_cast<uint8_t>(((x + y + 4 * int64_t{n & 0xFFFF}) % 256 + 256) % 256);
}

// Checks every pixel of rows 1 to 3 of a 1-byte frame against `expected(x, y, n)`.
template <class Expected>
void ExpectRows(const Driver& d, FrameHandle frame, uint32_t width, Expected expected) {
    const uint32_t n = Counter(d, frame);
    const std::vector<uint8_t> rows = ReadRect(d, frame, 0, 1, width, 3, 1);
    int mismatches = 0;
    for (uint32_t y = 1; y <= 3; ++y)
        for (uint32_t x = 0; x < width; ++x)
            if (rows[(y - 1) * width + x] != expected(x, y, n) && ++mismatches <= 5)
                ADD_FAILURE() << "pixel " << x << "," << y << " is "
                              << int{rows[(y - 1) * width + x]} << ", expected "
                              << int{expected(x, y, n)};
}

TEST(Picture, EveryAcquisitionDeliversTheNextCountedImage) {
    Driver d("kvboard!SIM7100");
    ASSERT_TRUE(d);
    const AcqPort port = AcqPort::Find();
    ScopedFrame frame(d);
    ASSERT_EQ(Acquire(d, frame), 1);
    const uint32_t first = Counter(d, frame);
    EXPECT_GE(first, 1u);
    ASSERT_EQ(Acquire(d, frame), 1);
    EXPECT_EQ(Counter(d, frame), first + 1);
    EXPECT_EQ(port.ImageNumber("SIM7100"), first + 1);
    ExpectRows(d, frame, 640, [](uint32_t x, uint32_t y, uint32_t n) { return Ramp(x, y, n); });
}

TEST(Picture, MultipleAcquisitionFillsTheListInOrder) {
    FastBoard board(L"SIMACQ1", KV7100);
    Driver d("kvboard!SIMACQ1");
    ASSERT_TRUE(d);
    ScopedFrame a(d), b(d), c(d);
    const FrameHandle list[] = {b, a, c};
    ASSERT_EQ(d.Send(msg::STM_ACQUIRE_MULTIPLE, 3, reinterpret_cast<LPARAM>(list)), 1);
    const uint32_t nb = Counter(d, b);
    EXPECT_EQ(Counter(d, a), nb + 1);
    EXPECT_EQ(Counter(d, c), nb + 2);

    EXPECT_EQ(d.Send(msg::STM_ACQUIRE_MULTIPLE, 0, reinterpret_cast<LPARAM>(list)), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_RANGE);
    EXPECT_EQ(d.Send(msg::STM_ACQUIRE_MULTIPLE, 3, 0), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_NULL);
    const FrameHandle unknown[] = {a, a.get() + b.get() + c.get()};
    EXPECT_EQ(d.Send(msg::STM_ACQUIRE_MULTIPLE, 2, reinterpret_cast<LPARAM>(unknown)), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_INVALIDFRAMEHANDLE);
    EXPECT_EQ(Counter(d, a), nb + 1) << "a refused list acquires nothing";
    EXPECT_EQ(Acquire(d, 0), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_INVALIDFRAMEHANDLE);
}

TEST(Picture, FrameOriginIncrementsAndFieldsSampleTheImage) {
    FastBoard board(L"SIMACQ1", KV7100);
    Driver d("kvboard!SIMACQ1");
    ASSERT_TRUE(d);
    ASSERT_EQ(d.SetControl(0, STC_FG_CTL_FRAME_LEFT, 16), 1);
    ASSERT_EQ(d.SetControl(0, STC_FG_CTL_HOR_FRAME_INC, 2), 1);
    ASSERT_EQ(d.SetControl(0, STC_FG_CTL_FRAME_WIDTH, 320), 1);
    {
        ScopedFrame frame(d);
        ASSERT_EQ(Acquire(d, frame), 1);
        // Beyond the 640 pixels of the active line the frame is black.
        ExpectRows(d, frame, 320, [](uint32_t x, uint32_t y, uint32_t n) {
            return 16 + 2 * x < 640 ? Ramp(16 + 2 * x, y, n) : uint8_t{0};
        });
    }
    ASSERT_EQ(d.SetControl(0, STC_FG_CTL_FRAME_LEFT, 0), 1);
    ASSERT_EQ(d.SetControl(0, STC_FG_CTL_HOR_FRAME_INC, 1), 1);
    ASSERT_EQ(d.SetControl(0, STC_FG_CTL_FRAME_TYPE, 16), 1); // OddField: image lines 1, 3, 5...
    ScopedFrame frame(d);
    ASSERT_EQ(Acquire(d, frame), 1);
    ExpectRows(d, frame, 320,
               [](uint32_t x, uint32_t y, uint32_t n) { return Ramp(x, 2 * y + 1, n); });
}

void WriteLut(const Driver& d, uint16_t lut, const std::vector<uint32_t>& entries) {
    LutBlock block{lut, 0, 0, static_cast<uint32_t>(entries.size())};
    ASSERT_EQ(d.Send(msg::STM_WRITE_INPUT_LUT, reinterpret_cast<LPARAM>(&block),
                     reinterpret_cast<LPARAM>(entries.data())),
              1);
}

TEST(Picture, TheSelectedInputLookupTableMapsThePixels) {
    FastBoard board(L"SIMACQ1", KV7100);
    Driver d("kvboard!SIMACQ1");
    ASSERT_TRUE(d);
    ScopedFrame frame(d);
    std::vector<uint32_t> inverted(256);
    for (uint32_t i = 0; i < 256; ++i)
        inverted[i] = 255 - i;
    WriteLut(d, 2, inverted);
    WriteLut(d, 3, std::vector<uint32_t>(256, 77));

    ASSERT_EQ(Acquire(d, frame), 1); // table 0 is still selected: the plain ramp
    ExpectRows(d, frame, 640, [](uint32_t x, uint32_t y, uint32_t n) { return Ramp(x, y, n); });
    ASSERT_EQ(d.SetControl(0, STC_FG_CTL_ILUT, 2), 1);
    ASSERT_EQ(Acquire(d, frame), 1);
    ExpectRows(d, frame, 640, [](uint32_t x, uint32_t y, uint32_t n) {
        return static_cast<uint8_t>(255 - Ramp(x, y, n));
    });
    ASSERT_EQ(d.SetControl(0, STC_FG_CTL_ILUT, 3), 1);
    ASSERT_EQ(Acquire(d, frame), 1);
    const std::vector<uint8_t> all = ReadAll(d, frame);
    EXPECT_TRUE(std::all_of(all.begin() + 4, all.end(), [](uint8_t v) { return v == 77; }));
}

TEST(Picture, EachInputSourceShowsItsOwnPicture) {
    FastBoard board(L"SIMACQ1", KV7100);
    Driver d("kvboard!SIMACQ1");
    ASSERT_TRUE(d);
    uint16_t source = 0;
    ASSERT_EQ(d.Ask(msg::STM_SET_INPUT_SOURCE, 1, source), 1);
    ScopedFrame frame(d);
    ASSERT_EQ(Acquire(d, frame), 1);
    ExpectRows(d, frame, 640, [](uint32_t x, uint32_t, uint32_t n) { return Ramp(x, 0, n); });
    ASSERT_EQ(d.Ask(msg::STM_SET_INPUT_SOURCE, 2, source), 1);
    ASSERT_EQ(Acquire(d, frame), 1);
    ExpectRows(d, frame, 640, [](uint32_t, uint32_t y, uint32_t n) { return Ramp(0, y, n); });
}

TEST(Picture, TheActiveVideoWindowPansAndBlanks) {
    FastBoard board(L"SIMACQ1", KV7100);
    Driver d("kvboard!SIMACQ1");
    ASSERT_TRUE(d);
    const int32_t first = d.GetControl(0, STC_FG_CTL_FIRST_ACTIVE_PIXEL);
    ASSERT_EQ(d.SetControl(0, STC_FG_CTL_FIRST_ACTIVE_PIXEL, first + 10), 1);
    ASSERT_EQ(d.SetControl(0, STC_FG_CTL_ACTIVE_PIXEL_COUNT, 320), 1);
    ScopedFrame frame(d);
    ASSERT_EQ(Acquire(d, frame), 1);
    ExpectRows(d, frame, 640, [](uint32_t x, uint32_t y, uint32_t n) {
        return x < 320 ? Ramp(x + 10, y, n) : uint8_t{0};
    });
}

TEST(Picture, TenBitBoardsDeliverSixteenBitPixels) {
    FastBoard board(L"SIMACQ1", KV7700);
    Driver d("kvboard!SIMACQ1");
    ASSERT_TRUE(d);
    ScopedFrame frame(d);
    ASSERT_EQ(Acquire(d, frame), 1);
    const uint32_t n = Counter(d, frame);
    const std::vector<uint8_t> row = ReadRect(d, frame, 0, 5, 640, 1, 2);
    for (uint32_t x = 0; x < 640; x += 37) {
        const unsigned value = row[2 * x] | (row[2 * x + 1] << 8);
        EXPECT_EQ(value, Ramp(x, 5, n) * 4u) << "pixel " << x;
    }
}

// ---- Color ---------------------------------------------------------------------------------

struct Color {
    int r, g, b;
};

Color PixelOf(const std::vector<uint8_t>& rgb32Row, uint32_t x) {
    return {rgb32Row[4 * x + 2], rgb32Row[4 * x + 1], rgb32Row[4 * x]};
}

#define EXPECT_COLOR(c, R, G, B)                                                                   \
    do {                                                                                           \
        EXPECT_EQ((c).r, R);                                                                       \
        EXPECT_EQ((c).g, G);                                                                       \
        EXPECT_EQ((c).b, B);                                                                       \
    } while (0)

TEST(ColorPicture, ColorBoardsShowBarsAndAMovingBox) {
    FastBoard board(L"SIMACQ2", KV7500); // 768 x 576: bars 96 pixels wide
    Driver d("kvboard!SIMACQ2");
    ASSERT_TRUE(d);
    ScopedFrame frame(d);
    ASSERT_EQ(Acquire(d, frame), 1);
    const std::vector<uint8_t> top = ReadRect(d, frame, 0, 10, 768, 1, 4);
    EXPECT_COLOR(PixelOf(top, 48), 255, 255, 255);
    EXPECT_COLOR(PixelOf(top, 96 + 48), 255, 255, 0);
    EXPECT_COLOR(PixelOf(top, 5 * 96 + 48), 255, 0, 0);
    EXPECT_COLOR(PixelOf(top, 6 * 96 + 48), 0, 0, 255);
    EXPECT_COLOR(PixelOf(top, 7 * 96 + 48), 0, 0, 0);

    // The box: 144 pixels square, centred vertically, 8 pixels further right per image.
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(Acquire(d, frame), 1);
        const uint32_t n = Counter(d, frame);
        const uint32_t boxX = (8 * n) % 768;
        const std::vector<uint8_t> middle = ReadRect(d, frame, 0, 288, 768, 1, 4);
        if (boxX + 1 < 768) EXPECT_COLOR(PixelOf(middle, boxX + 1), 128, 128, 128);
        if (boxX >= 2) {
            EXPECT_NE(PixelOf(middle, boxX - 2).r, 128);
        }
    }

    // Another source starts the bars elsewhere.
    uint16_t source = 0;
    ASSERT_EQ(d.Ask(msg::STM_SET_INPUT_SOURCE, 1, source), 1);
    ASSERT_EQ(Acquire(d, frame), 1);
    EXPECT_COLOR(PixelOf(ReadRect(d, frame, 0, 10, 768, 1, 4), 48), 255, 255, 0);
}

TEST(ColorPicture, TheRedGreenAndBlueTablesOfTheSelectedSetApply) {
    FastBoard board(L"SIMACQ2", KV7500); // two sets of red, green and blue tables
    Driver d("kvboard!SIMACQ2");
    ASSERT_TRUE(d);
    ScopedFrame frame(d);
    std::vector<uint32_t> zero(256, 0);
    WriteLut(d, 0, zero); // red of set 0
    WriteLut(d, 5, zero); // blue of set 1
    ASSERT_EQ(Acquire(d, frame), 1);
    EXPECT_COLOR(PixelOf(ReadRect(d, frame, 0, 10, 768, 1, 4), 48), 0, 255, 255);
    ASSERT_EQ(d.SetControl(0, STC_FG_CTL_ILUT, 1), 1);
    ASSERT_EQ(Acquire(d, frame), 1);
    EXPECT_COLOR(PixelOf(ReadRect(d, frame, 0, 10, 768, 1, 4), 48), 255, 255, 0);
}

TEST(ColorPicture, StorageModesPackTheBarsAsDocumented) {
    FastBoard board(L"SIMACQ3", KV7300); // 640 x 480: bars 80 pixels wide
    Driver d("kvboard!SIMACQ3");
    ASSERT_TRUE(d);
    const AcqPort port = AcqPort::Find();
    const uint32_t red = 5 * 80 + 40, white = 40, black = 7 * 80 + 40;
    {
        ScopedFrame frame(d); // native 24-bit: blue, green, red
        ASSERT_EQ(Acquire(d, frame), 1);
        const std::vector<uint8_t> row = ReadRect(d, frame, 0, 10, 640, 1, 3);
        EXPECT_EQ(row[3 * red], 0);
        EXPECT_EQ(row[3 * red + 1], 0);
        EXPECT_EQ(row[3 * red + 2], 255);
    }
    {
        ASSERT_NE(port.SetStorageMode("SIMACQ3", kRgb16Image), kNotOpen); // 5-5-5 on this board
        ScopedFrame frame(d);
        ASSERT_EQ(Acquire(d, frame), 1);
        const std::vector<uint8_t> row = ReadRect(d, frame, 0, 10, 640, 1, 2);
        EXPECT_EQ(row[2 * red] | (row[2 * red + 1] << 8), 0x7C00);
        EXPECT_EQ(row[2 * white] | (row[2 * white + 1] << 8), 0x7FFF);
    }
    {
        ASSERT_NE(port.SetStorageMode("SIMACQ3", kMonoImage), kNotOpen);
        ScopedFrame frame(d);
        ASSERT_EQ(Acquire(d, frame), 1);
        const std::vector<uint8_t> row = ReadRect(d, frame, 0, 10, 640, 1, 1);
        EXPECT_EQ(row[white], 255);
        EXPECT_EQ(row[black], 0);
        EXPECT_EQ(row[red], 76); // the luma of pure red
    }
}

TEST(ColorPicture, SixteenBitRgbIsFiveSixFiveOnOtherBoards) {
    FastBoard board(L"SIMACQ2", KV7500);
    Driver d("kvboard!SIMACQ2");
    ASSERT_TRUE(d);
    ASSERT_NE(AcqPort::Find().SetStorageMode("SIMACQ2", kRgb16Image), kNotOpen);
    ScopedFrame frame(d);
    ASSERT_EQ(Acquire(d, frame), 1);
    const std::vector<uint8_t> row = ReadRect(d, frame, 0, 10, 768, 1, 2);
    const uint32_t red = 5 * 96 + 48, green = 3 * 96 + 48;
    EXPECT_EQ(row[2 * red] | (row[2 * red + 1] << 8), 0xF800);
    EXPECT_EQ(row[2 * green] | (row[2 * green + 1] << 8), 0x07E0);
}

// The control's conversion of a YUV frame's pixel i (of n) to RGB.
Color FromYuv(const std::vector<uint8_t>& planes, size_t n, size_t i) {
    const double y = planes[i];
    const double u = planes[n + i / 2] - 96.0;
    const double v = planes[n + n / 2 + i / 2] - 96.0;
    const auto clamp = [](double c) { return std::clamp(static_cast<int>(c), 0, 255); };
    return {clamp(y + 1.375 * v), clamp(y - 0.703125 * v - 0.34375 * u), clamp(y + 1.734375 * u)};
}

TEST(ColorPicture, YuvFramesHoldThreePlanesTheControlConvertsBack) {
    FastBoard board(L"SIMACQ3", KV7300);
    Driver d("kvboard!SIMACQ3");
    ASSERT_TRUE(d);
    ASSERT_NE(AcqPort::Find().SetStorageMode("SIMACQ3", kYuvImage), kNotOpen);
    ScopedFrame frame(d);
    ASSERT_EQ(Info(d, frame).BytesPerPixel, 2);
    ASSERT_EQ(Acquire(d, frame), 1);
    const std::vector<uint8_t> planes = ReadAll(d, frame);
    const size_t n = 640 * 480;
    ASSERT_EQ(planes.size(), 2 * n);
    // The bars whose color differences stay above -96 (the planes' offset) come back exact;
    // yellow, cyan and green clip there, as they would on the board.
    struct Bar {
        int index;
        Color color;
    };
    constexpr Bar kExact[] = {{0, {255, 255, 255}},
                              {4, {255, 0, 255}},
                              {5, {255, 0, 0}},
                              {6, {0, 0, 255}},
                              {7, {0, 0, 0}}};
    for (const Bar& bar : kExact) {
        SCOPED_TRACE(testing::Message() << "bar " << bar.index);
        const Color c = FromYuv(planes, n, 10 * 640 + bar.index * 80 + 40);
        EXPECT_NEAR(c.r, bar.color.r, 2);
        EXPECT_NEAR(c.g, bar.color.g, 2);
        EXPECT_NEAR(c.b, bar.color.b, 2);
    }
    // The luma plane holds the grey levels: white 255, black 0.
    EXPECT_EQ(planes[10 * 640 + 40], 255);
    EXPECT_EQ(planes[10 * 640 + 7 * 80 + 40], 0);
}

} // namespace
} // namespace simtest
