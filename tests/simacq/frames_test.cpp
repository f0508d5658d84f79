// Frames: life, information per model and storage mode, mapping, geometry from the frame
// controls, and the rectangle transfers with their bounds.
#include "acq_driver.h"

#include <cstring>

namespace simtest {
namespace {

struct ModelFrame {
    const char* open;
    uint16_t width, height, bytesPerPixel;
};

constexpr ModelFrame kModelFrames[] = {
    {"kvboard!SIM7100", 640, 480, 1}, {"kvboard!SIM7400", 640, 480, 1},
    {"kvboard!SIM7700", 640, 480, 2}, {"kvboard!SIM7300", 640, 480, 3},
    {"kvboard!SIM7500", 768, 576, 4}, {"kvboard!SIM7400LS", 2048, 512, 1},
    {"kvboard!SIM760X", 640, 480, 1},
};

TEST(FrameLife, EveryModelAllocatesMapsAndDestroysItsDefaultFrame) {
    for (const ModelFrame& m : kModelFrames) {
        SCOPED_TRACE(m.open);
        Driver d(m.open);
        ASSERT_TRUE(d);
        const FrameHandle frame = Allocate(d);
        ASSERT_NE(frame, 0u);

        FrameInfo mapped{};
        ASSERT_EQ(d.Ask(msg::STM_MAP_FRAME, frame, mapped), 1);
        EXPECT_EQ(mapped.StructSize, sizeof(FrameInfo));
        EXPECT_NE(mapped.BaseAddress, nullptr);
        EXPECT_EQ(mapped.Width, m.width);
        EXPECT_EQ(mapped.Height, m.height);
        EXPECT_EQ(mapped.BytesPerPixel, m.bytesPerPixel);
        const FrameInfo info = Info(d, frame);
        EXPECT_EQ(info.BaseAddress, mapped.BaseAddress);
        EXPECT_EQ(info.Width, m.width);

        // The mapping is the frame's memory: a write through it is what the driver reads.
        auto* base = static_cast<uint8_t*>(mapped.BaseAddress);
        const size_t last = size_t{m.width} * m.height * m.bytesPerPixel - 1;
        base[last] = 0x5A;
        const auto tail = ReadRect(d, frame, m.width - 1, m.height - 1, 1, 1, m.bytesPerPixel);
        EXPECT_EQ(tail.back(), 0x5A);

        EXPECT_EQ(d.Send(msg::STM_UNMAP_FRAME, frame, reinterpret_cast<LPARAM>(base)), 1);
        EXPECT_EQ(d.Send(msg::STM_UNMAP_FRAME, frame, reinterpret_cast<LPARAM>(base)), 0);
        EXPECT_EQ(d.LastStatus(), drv::STS_FRAMENOTMAPPED);
        EXPECT_EQ(Destroy(d, frame), 1);
        EXPECT_EQ(Destroy(d, frame), 0);
        EXPECT_EQ(d.LastStatus(), drv::STS_INVALIDFRAMEHANDLE);
    }
}

TEST(FrameLife, HandlesAreDistinctAndUnknownOnesAreRefused) {
    Driver d("kvboard!SIM7100");
    ASSERT_TRUE(d);
    ScopedFrame a(d), b(d);
    EXPECT_NE(a.get(), 0u);
    EXPECT_NE(a.get(), b.get());
    FrameInfo info{};
    EXPECT_EQ(d.Ask(msg::STM_GET_FRAME_INFO, a.get() + b.get() + 100, info), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_INVALIDFRAMEHANDLE);
    EXPECT_EQ(d.Ask(msg::STM_MAP_FRAME, 0, info), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_INVALIDFRAMEHANDLE);
}

TEST(FrameLife, AllocationChecksItsArguments) {
    Driver d("kvboard!SIM7100");
    ASSERT_TRUE(d);
    FrameHandle frame = 0;
    EXPECT_EQ(d.Ask(msg::STM_ALLOCATE_FRAME, 0xFFFF0003, frame), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_UNSUPMEMTYPE);
    EXPECT_EQ(d.Ask(msg::STM_ALLOCATE_FRAME, 0x00050001, frame), 0) << "no built-in frame 5";
    EXPECT_EQ(d.LastStatus(), drv::STS_RANGE);
    EXPECT_EQ(d.Send(msg::STM_ALLOCATE_FRAME, 0xFFFF0001, 0), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_NULL);
    EXPECT_EQ(frame, 0u);
    // Non-volatile memory is host memory here too.
    ASSERT_EQ(d.Ask(msg::STM_ALLOCATE_FRAME, 0xFFFF0002, frame), 1);
    EXPECT_EQ(Destroy(d, frame), 1);
}

TEST(FrameLife, UnmapNeedsTheMappedAddress) {
    Driver d("kvboard!SIM7100");
    ASSERT_TRUE(d);
    ScopedFrame frame(d);
    FrameInfo info{};
    ASSERT_EQ(d.Ask(msg::STM_MAP_FRAME, frame, info), 1);
    EXPECT_EQ(d.Send(msg::STM_UNMAP_FRAME, frame, 0), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_NULL);
    EXPECT_EQ(d.Send(msg::STM_UNMAP_FRAME, frame,
                     reinterpret_cast<LPARAM>(static_cast<uint8_t*>(info.BaseAddress) + 4)),
              0);
    EXPECT_EQ(d.LastStatus(), drv::STS_UNMAPERROR);
    // A mapped frame can still be destroyed; its mapping ends with it.
}

struct ModeFrame {
    const char* board;
    uint32_t mode;
    uint16_t bytesPerPixel;
};

TEST(FrameLife, ColorStorageModesSetTheBytesPerPixel) {
    constexpr ModeFrame kModes[] = {
        {"SIM7500", kDefaultImage, 4}, {"SIM7500", kMonoImage, 1},  {"SIM7500", kYuvImage, 2},
        {"SIM7500", kRgbImage, 4},     {"SIM7500", kRgb16Image, 2}, {"SIM7500", kRgb15Image, 2},
        {"SIM7500", kRgb24Image, 3},   {"SIM7500", kRgb32Image, 4}, {"SIM7300", kDefaultImage, 3},
        {"SIM7300", kRgb16Image, 2},
    };
    Driver color("kvboard!SIM7500");
    Driver other("kvboard!SIM7300");
    Driver mono("kvboard!SIM7100");
    ASSERT_TRUE(color && other && mono);
    const AcqPort port = AcqPort::Find();
    for (const ModeFrame& m : kModes) {
        SCOPED_TRACE(testing::Message() << m.board << " mode " << m.mode);
        const Driver& d = std::strcmp(m.board, "SIM7500") == 0 ? color : other;
        ASSERT_NE(port.SetStorageMode(m.board, m.mode), kNotOpen);
        ScopedFrame frame(d);
        const FrameInfo info = Info(d, frame);
        EXPECT_EQ(info.BytesPerPixel, m.bytesPerPixel);
        uint32_t mode = 0;
        std::memcpy(&mode, info.Driver1, 4);
        EXPECT_EQ(mode, m.mode == kDefaultImage ? (m.bytesPerPixel == 3 ? kRgb24Image : kRgb32Image)
                                                : m.mode);
    }
    // A monochrome board delivers monochrome whatever is asked.
    ASSERT_NE(port.SetStorageMode("SIM7100", kRgb32Image), kNotOpen);
    ScopedFrame frame(mono);
    EXPECT_EQ(Info(mono, frame).BytesPerPixel, 1);
    EXPECT_EQ(port.SetStorageMode("SIM7100", 8), kNotOpen) << "8 is not a storage mode";
}

// ---- Geometry ------------------------------------------------------------------------------

TEST(FrameGeometry, FramesFollowTheFrameControlsOfTheEffectiveSource) {
    Driver d("kvboard!SIM7100");
    ASSERT_TRUE(d);
    ASSERT_EQ(d.SetControl(1, STC_FG_CTL_FRAME_WIDTH, 320), 1);
    ASSERT_EQ(d.SetControl(1, STC_FG_CTL_FRAME_HEIGHT, 200), 1);
    {
        ScopedFrame frame(d); // source 0 still has the default frame
        EXPECT_EQ(Info(d, frame).Width, 640);
        EXPECT_EQ(Info(d, frame).Height, 480);
    }
    uint16_t source = 0;
    ASSERT_EQ(d.Ask(msg::STM_SET_INPUT_SOURCE, 1, source), 1);
    {
        ScopedFrame frame(d);
        EXPECT_EQ(Info(d, frame).Width, 320);
        EXPECT_EQ(Info(d, frame).Height, 200);
    }
    // A based source takes precedence over the input source.
    ASSERT_EQ(d.SetControl(2, STC_FG_CTL_FRAME_WIDTH, 64), 1);
    BasedSourceBlock based{1, 2, 0};
    ASSERT_EQ(d.Send(msg::STM_SELECT_BASED_SOURCE, reinterpret_cast<LPARAM>(&based)), 1);
    ScopedFrame frame(d);
    EXPECT_EQ(Info(d, frame).Width, 64);
    EXPECT_EQ(Info(d, frame).Height, 480);
}

TEST(FrameGeometry, TheFrameRemembersItsRectangleIncrementsAndType) {
    Driver d("kvboard!SIM7100");
    ASSERT_TRUE(d);
    ASSERT_EQ(d.SetControl(0, STC_FG_CTL_FRAME_LEFT, 16), 1);
    ASSERT_EQ(d.SetControl(0, STC_FG_CTL_FRAME_TOP, 8), 1);
    ASSERT_EQ(d.SetControl(0, STC_FG_CTL_HOR_FRAME_INC, 2), 1);
    ASSERT_EQ(d.SetControl(0, STC_FG_CTL_VER_FRAME_INC, 3), 1);
    ASSERT_EQ(d.SetControl(0, STC_FG_CTL_FRAME_TYPE, 16), 1);
    ScopedFrame frame(d);
    const FrameInfo info = Info(d, frame);
    uint16_t fields[6] = {};
    std::memcpy(fields, info.Driver2, sizeof fields);
    EXPECT_EQ(fields[0], 16);
    EXPECT_EQ(fields[1], 8);
    EXPECT_EQ(fields[2], 2);
    EXPECT_EQ(fields[3], 3);
    EXPECT_EQ(fields[4], 16);
}

// ---- Rectangles ----------------------------------------------------------------------------

std::vector<uint8_t> Pattern(size_t size, uint8_t seed) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(seed + i * 7);
    return bytes;
}

LRESULT WriteRect(const Driver& d, FrameHandle frame, uint32_t left, uint32_t top, uint32_t width,
                  uint32_t height, const void* data) {
    FrameRectBlock block{frame, left, top, width, height};
    return d.Send(msg::STM_WRITE_FRAME_RECT, reinterpret_cast<LPARAM>(&block),
                  reinterpret_cast<LPARAM>(data));
}

LRESULT CopyRect(const Driver& d, const CopyBlock& block) {
    return d.Send(msg::STM_COPY_FRAME_RECT, reinterpret_cast<LPARAM>(&block));
}

TEST(FrameRects, WrittenRectanglesReadBackAndLandInTheirRows) {
    Driver d("kvboard!SIM7500"); // 4 bytes per pixel
    ASSERT_TRUE(d);
    ScopedFrame frame(d);
    const std::vector<uint8_t> data = Pattern(10 * 3 * 4, 1);
    ASSERT_EQ(WriteRect(d, frame, 5, 7, 10, 3, data.data()), 1);
    EXPECT_EQ(ReadRect(d, frame, 5, 7, 10, 3, 4), data);
    // Row 8, pixel 5 is the second row of the rectangle, seen through the mapping.
    FrameInfo info{};
    ASSERT_EQ(d.Ask(msg::STM_MAP_FRAME, frame, info), 1);
    const auto* base = static_cast<const uint8_t*>(info.BaseAddress);
    EXPECT_EQ(std::memcmp(base + (8 * 768 + 5) * 4, data.data() + 40, 40), 0);
    EXPECT_EQ(d.Send(msg::STM_UNMAP_FRAME, frame, reinterpret_cast<LPARAM>(info.BaseAddress)), 1);
}

TEST(FrameRects, RectanglesOutsideTheFrameAreRefused) {
    Driver d("kvboard!SIM7100");
    ASSERT_TRUE(d);
    ScopedFrame frame(d);
    uint8_t buffer[64] = {};
    struct Case {
        uint32_t left, top, width, height;
    };
    constexpr Case kBad[] = {
        {630, 0, 11, 1}, {0, 470, 1, 11}, {0, 0, 0, 1}, {0, 0, 1, 0}, {0xFFFFFFF0, 0, 32, 1},
    };
    for (const Case& c : kBad) {
        SCOPED_TRACE(testing::Message()
                     << c.left << "," << c.top << " " << c.width << "x" << c.height);
        FrameRectBlock block{frame, c.left, c.top, c.width, c.height};
        EXPECT_EQ(d.Ask(msg::STM_READ_FRAME_RECT, reinterpret_cast<LPARAM>(&block), buffer,
                        sizeof buffer),
                  0);
        EXPECT_EQ(d.LastStatus(), drv::STS_INVALIDFRAMERECT);
        EXPECT_EQ(WriteRect(d, frame, c.left, c.top, c.width, c.height, buffer), 0);
        EXPECT_EQ(d.LastStatus(), drv::STS_INVALIDFRAMERECT);
    }
    // The last column and row are inside.
    EXPECT_EQ(WriteRect(d, frame, 639, 479, 1, 1, buffer), 1);
    // A buffer smaller than the rectangle is refused, and nothing is written into it.
    FrameRectBlock block{frame, 0, 0, 65, 1};
    EXPECT_EQ(
        d.Ask(msg::STM_READ_FRAME_RECT, reinterpret_cast<LPARAM>(&block), buffer, sizeof buffer),
        0);
    EXPECT_EQ(d.LastStatus(), drv::STS_BUFSIZ);
    EXPECT_EQ(WriteRect(d, frame, 0, 0, 1, 1, nullptr), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_NULL);
    EXPECT_EQ(d.Send(msg::STM_READ_FRAME_RECT, 0, 0), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_NULL);
}

TEST(FrameRects, CopyMovesRectanglesBetweenAndWithinFrames) {
    Driver d("kvboard!SIM7100");
    ASSERT_TRUE(d);
    ScopedFrame a(d), b(d);
    const std::vector<uint8_t> data = Pattern(8 * 4, 3);
    ASSERT_EQ(WriteRect(d, a, 10, 10, 8, 4, data.data()), 1);
    ASSERT_EQ(CopyRect(d, {a, 10, 10, 8, 4, b, 100, 200}), 1);
    EXPECT_EQ(ReadRect(d, b, 100, 200, 8, 4, 1), data);

    // Overlapping rectangles of one frame: the result is the source as it was.
    ASSERT_EQ(CopyRect(d, {a, 10, 10, 8, 4, a, 12, 11}), 1);
    EXPECT_EQ(ReadRect(d, a, 12, 11, 8, 4, 1), data);

    EXPECT_EQ(CopyRect(d, {a, 636, 0, 8, 1, b, 0, 0}), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_INVALIDFRAMERECT);
    EXPECT_EQ(CopyRect(d, {a, 0, 0, 8, 1, b, 0, 480}), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_INVALIDFRAMERECT);
    EXPECT_EQ(CopyRect(d, {a, 0, 0, 8, 1, a.get() + b.get() + 1, 0, 0}), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_INVALIDFRAMEHANDLE);
}

TEST(FrameRects, CopyBetweenDifferentPixelSizesIsAModeConflict) {
    Driver d("kvboard!SIM7500");
    ASSERT_TRUE(d);
    const AcqPort port = AcqPort::Find();
    ScopedFrame rgb(d);
    ASSERT_NE(port.SetStorageMode("SIM7500", kMonoImage), kNotOpen);
    ScopedFrame mono(d);
    EXPECT_EQ(CopyRect(d, {rgb, 0, 0, 4, 4, mono, 0, 0}), 0);
    EXPECT_EQ(d.LastStatus(), drv::STS_MODECONFLICT);
}

} // namespace
} // namespace simtest
