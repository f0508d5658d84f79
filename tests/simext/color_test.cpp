// The color family on the KV7300 and KV7500 models: the interfaces each offers, storage
// modes, image parameters with their limits, scaling, digital I/O, signal type, sync master
// and plane drawing.
#include <algorithm>

#include "ext_driver.h"

namespace simtest {
namespace {

constexpr uint32_t kRead = STC_READ_CONTROL, kWrite = STC_WRITE_CONTROL;

class ColorBoard : public ::testing::Test {
protected:
    explicit ColorBoard(const char* board) : driver(board) {}
    void SetUp() override {
        ASSERT_TRUE(driver);
        port = ExtPort::Find();
        ASSERT_TRUE(port.Complete());
        port.ClearInputs(nullptr);
    }
    void TearDown() override {
        if (port.Complete()) port.ClearInputs(nullptr);
    }
    uint32_t Status(LRESULT result) const { return StatusOf(driver, result); }
    bool Offers(uint32_t interfaceCode) const {
        return driver.Send(msg::STM_CLR_QUERY_INTERFACE,
                           reinterpret_cast<LPARAM>(&interfaceCode)) == 1;
    }
    // Image parameter message; answers the driver status, 0 on success.
    uint32_t Image(uint32_t operation, uint32_t source, uint32_t parameter, int32_t& value) const {
        ColorOperationBlock block{operation, source, &parameter};
        return Status(driver.Send(msg::STM_CLR_IMAGE_PARAMETER, reinterpret_cast<LPARAM>(&block),
                                  reinterpret_cast<LPARAM>(&value)));
    }
    uint32_t Word(UINT message, uint32_t source, uint32_t operation, uint32_t& value) const {
        return Status(driver.Send(message, ColorQueryWord(source, operation),
                                  reinterpret_cast<LPARAM>(&value)));
    }
    uint32_t Digital(uint32_t operation, uint32_t& value) const {
        return Status(
            driver.Send(msg::STM_CLR_DIGITAL_IO, operation, reinterpret_cast<LPARAM>(&value)));
    }
    uint32_t Sync(uint32_t operation, uint32_t& value, uint32_t parameter = 1) const {
        ColorOperationBlock block{operation, 0, &parameter};
        return Status(driver.Send(msg::STM_CLR_SYNC_MASTER, reinterpret_cast<LPARAM>(&block),
                                  reinterpret_cast<LPARAM>(&value)));
    }
    Driver driver;
    ExtPort port;
};

class Kv7300 : public ColorBoard {
protected:
    Kv7300() : ColorBoard("kvboard!SIM7300") {}
};
class Kv7500 : public ColorBoard {
protected:
    Kv7500() : ColorBoard("kvboard!SIM7500") {}
};

TEST_F(Kv7300, OffersEveryColorInterface) {
    for (uint32_t i = 1; i <= 9; ++i)
        EXPECT_TRUE(Offers(i)) << "interface " << i;
    EXPECT_FALSE(Offers(0));
    EXPECT_EQ(driver.LastStatus(), drv::STS_UNSUPKEY);
    EXPECT_FALSE(Offers(10));
    EXPECT_EQ(Status(driver.Send(msg::STM_CLR_QUERY_INTERFACE, 0)), drv::STS_NULL);
}

TEST_F(Kv7500, HasNoHardwareScaling) {
    for (uint32_t i = 1; i <= 9; ++i)
        EXPECT_EQ(Offers(i), i != 4) << "interface " << i;
    STT_SCALE_PARAM scale{};
    EXPECT_EQ(Status(driver.Send(msg::STM_CLR_SCALING, ColorQueryWord(0, STC_QUERY_CONTROL_MIN),
                                 reinterpret_cast<LPARAM>(&scale))),
              drv::STS_UNSUPKEY);
}

TEST_F(Kv7300, ImageParameterLimits) {
    struct Limits {
        uint32_t parameter;
        int32_t min, max, granularity, nominal;
    } const table[] = {
        {1, -128, 127, 1, 0},  {2, 0, 200, 1, 100},   {3, 0, 200, 1, 100},  {4, 0, 200, 1, 100},
        {5, -90, 90, 2, 0},    {6, 0, 200, 1, 100},   {7, 0, 200, 1, 100},  {8, 0, 200, 1, 100},
        {9, 1, 511, 1, 255},   {10, 1, 511, 1, 255},  {11, 1, 511, 1, 255}, {12, -128, 127, 1, 0},
        {13, -128, 127, 1, 0}, {14, -128, 127, 1, 0},
    };
    for (const Limits& l : table) {
        int32_t v = 12345;
        ASSERT_EQ(Image(STC_QUERY_CONTROL_MIN, 0, l.parameter, v), 0u) << l.parameter;
        EXPECT_EQ(v, l.min) << l.parameter;
        ASSERT_EQ(Image(STC_QUERY_CONTROL_MAX, 0, l.parameter, v), 0u);
        EXPECT_EQ(v, l.max) << l.parameter;
        ASSERT_EQ(Image(STC_QUERY_CONTROL_GRANULARITY, 0, l.parameter, v), 0u);
        EXPECT_EQ(v, l.granularity) << l.parameter;
        ASSERT_EQ(Image(STC_QUERY_CONTROL_NOMINAL, 0, l.parameter, v), 0u);
        EXPECT_EQ(v, l.nominal) << l.parameter;
        ASSERT_EQ(Image(kRead, 0, l.parameter, v), 0u);
        EXPECT_EQ(v, l.nominal) << "a new board starts at the nominal";
    }
}

TEST_F(Kv7300, ImageParametersWriteWithinTheirLimits) {
    int32_t v = 50;
    ASSERT_EQ(Image(kWrite, 1, 1, v), 0u);
    v = 0;
    ASSERT_EQ(Image(kRead, 1, 1, v), 0u);
    EXPECT_EQ(v, 50);
    v = -20;
    EXPECT_EQ(Image(kWrite, 0, 5, v), 0u);
    v = 3;
    EXPECT_EQ(Image(kWrite, 0, 5, v), drv::STS_GRANULARITY) << "hue moves in steps of 2";
    v = 128;
    EXPECT_EQ(Image(kWrite, 0, 1, v), drv::STS_RANGE);
    v = 0;
    ASSERT_EQ(Image(kRead, 0, 5, v), 0u);
    EXPECT_EQ(v, -20);
    EXPECT_EQ(Image(kRead, 0, 15, v), drv::STS_UNSUPKEY);
    EXPECT_EQ(Image(kRead, 3, 1, v), drv::STS_INPUTSOURCE);
    EXPECT_EQ(Image(STC_QUERY_CAPABILITY, 0, 1, v), drv::STS_RANGE);
    ColorOperationBlock noCode{kRead, 0, nullptr};
    EXPECT_EQ(Status(driver.Send(msg::STM_CLR_IMAGE_PARAMETER, reinterpret_cast<LPARAM>(&noCode),
                                 reinterpret_cast<LPARAM>(&v))),
              drv::STS_NULL);
}

TEST_F(Kv7300, ScalingLimits) {
    const uint16_t expected[4][2] = {{10, 10}, {100, 100}, {1, 1}, {100, 100}};
    for (uint32_t op = 0; op < 4; ++op) {
        STT_SCALE_PARAM scale{};
        ASSERT_EQ(Status(driver.Send(msg::STM_CLR_SCALING, ColorQueryWord(2, op),
                                     reinterpret_cast<LPARAM>(&scale))),
                  0u);
        EXPECT_EQ(scale.hscale, expected[op][0]) << op;
        EXPECT_EQ(scale.vscale, expected[op][1]) << op;
    }
    STT_SCALE_PARAM current{};
    ASSERT_EQ(Status(driver.Send(msg::STM_CLR_SCALING, ColorQueryWord(0, kRead),
                                 reinterpret_cast<LPARAM>(&current))),
              0u);
    EXPECT_EQ(current.hscale, 100);
}

TEST_F(Kv7300, StorageModes) {
    uint32_t mask = 0;
    ASSERT_EQ(Word(msg::STM_CLR_STORAGE_MODE, 0, STC_QUERY_CAPABILITY, mask), 0u);
    EXPECT_EQ(mask, 0x07u);
    uint32_t mode = 0;
    ASSERT_EQ(Word(msg::STM_CLR_STORAGE_MODE, 0, kRead, mode), 0u);
    EXPECT_EQ(mode, 6u) << "RGB 24";
    uint32_t mono = 1;
    ASSERT_EQ(Word(msg::STM_CLR_STORAGE_MODE, 0, kWrite, mono), 0u);
    ASSERT_EQ(Word(msg::STM_CLR_STORAGE_MODE, 0, kRead, mode), 0u);
    EXPECT_EQ(mode, 1u);
    uint32_t yuyv = 8;
    EXPECT_EQ(Word(msg::STM_CLR_STORAGE_MODE, 0, kWrite, yuyv), drv::STS_RANGE);
    EXPECT_EQ(Status(driver.Send(msg::STM_CLR_STORAGE_MODE, ColorQueryWord(0, kRead), 0)),
              drv::STS_NULL);
}

TEST_F(Kv7300, SignalTypePerInput) {
    uint32_t signal = 0, mask = 0;
    ASSERT_EQ(Word(msg::STM_CLR_SIGNAL_TYPE, 1, STC_QUERY_CAPABILITY, mask), 0u);
    EXPECT_EQ(mask, (1u << 1) | (1u << 2) | (1u << 3));
    ASSERT_EQ(Word(msg::STM_CLR_SIGNAL_TYPE, 1, kRead, signal), 0u);
    EXPECT_EQ(signal, 3u) << "composite";
    uint32_t yc = 2, rgb = 4;
    ASSERT_EQ(Word(msg::STM_CLR_SIGNAL_TYPE, 1, kWrite, yc), 0u);
    EXPECT_EQ(Word(msg::STM_CLR_SIGNAL_TYPE, 1, kWrite, rgb), drv::STS_RANGE);
    ASSERT_EQ(Word(msg::STM_CLR_SIGNAL_TYPE, 1, kRead, signal), 0u);
    EXPECT_EQ(signal, 2u);
    ASSERT_EQ(Word(msg::STM_CLR_SIGNAL_TYPE, 0, kRead, signal), 0u);
    EXPECT_EQ(signal, 3u);
    EXPECT_EQ(Word(msg::STM_CLR_SIGNAL_TYPE, 3, kRead, signal), drv::STS_INPUTSOURCE);
}

TEST_F(Kv7300, ConfigurableDigitalLines) {
    uint32_t config = 0;
    ASSERT_EQ(Digital(STC_QUERY_CONFIGURATION, config), 0u);
    EXPECT_EQ(config, 0x03u);
    uint32_t pattern = 0x01;
    ASSERT_EQ(Digital(kWrite, pattern), 0u);
    ASSERT_EQ(Digital(kRead, pattern), 0u);
    EXPECT_EQ(pattern, 0x05u) << "output 0 loops back to input 2";
    port.SetInputs("SIM7300", 0x08);
    ASSERT_EQ(Digital(kRead, pattern), 0u);
    EXPECT_EQ(pattern, 0x09u);
    uint32_t allOut = 0x0F;
    ASSERT_EQ(Digital(STC_CONFIGURE_CONTROL, allOut), 0u);
    ASSERT_EQ(Digital(kRead, pattern), 0u);
    EXPECT_EQ(pattern, 0x01u);
    uint32_t tooWide = 0x10;
    EXPECT_EQ(Digital(STC_CONFIGURE_CONTROL, tooWide), drv::STS_RANGE);
    EXPECT_EQ(Digital(kWrite, tooWide), drv::STS_RANGE);
}

TEST_F(Kv7500, FixedDigitalLines) {
    uint32_t config = 0;
    ASSERT_EQ(Digital(STC_QUERY_CONFIGURATION, config), 0u);
    EXPECT_EQ(config, 0x07u);
    uint32_t change = 0x03;
    EXPECT_EQ(Digital(STC_CONFIGURE_CONTROL, change), drv::STS_UNSUPKEY);
    uint32_t pattern = 0x05;
    ASSERT_EQ(Digital(kWrite, pattern), 0u);
    ASSERT_EQ(Digital(kRead, pattern), 0u);
    EXPECT_EQ(pattern, 0x0Du) << "outputs 0 and 1 loop back to inputs 3 and 4";
    port.SetInputs("SIM7500", 0x10);
    ASSERT_EQ(Digital(kRead, pattern), 0u);
    EXPECT_EQ(pattern, 0x15u);
}

TEST_F(Kv7300, SyncMasterEnable) {
    uint32_t enabled = 7;
    ASSERT_EQ(Sync(kRead, enabled), 0u);
    EXPECT_EQ(enabled, 0u);
    uint32_t on = static_cast<uint32_t>(-1);
    ASSERT_EQ(Sync(kWrite, on), 0u);
    ASSERT_EQ(Sync(kRead, enabled), 0u);
    EXPECT_EQ(enabled, on) << "the value as written";
    EXPECT_EQ(Sync(kRead, enabled, 2), drv::STS_UNSUPKEY);
}

TEST_F(Kv7500, SyncMasterCanOnlyBeRead) {
    uint32_t enabled = 7;
    ASSERT_EQ(Sync(kRead, enabled), 0u);
    EXPECT_EQ(enabled, 0u);
    uint32_t on = 1;
    EXPECT_EQ(Sync(kWrite, on), drv::STS_CONTROL);
}

TEST_F(Kv7300, DrawsAPlaneAsGrayLevels) {
    const ScratchWindow window(64, 32);
    ASSERT_NE(window.get(), nullptr);
    // 6 x 2 words: values above 255 are drawn white.
    uint16_t plane[12] = {0, 40, 80, 120, 160, 200, 300, 250, 10, 20, 30, 255};
    STT_BUFFER_INFO info{sizeof(STT_BUFFER_INFO), plane, sizeof plane, 6, 2, 2, 0, 0};
    ASSERT_EQ(Status(driver.Send(msg::STM_CLR_DRAW_PLANE, reinterpret_cast<LPARAM>(&info),
                                 reinterpret_cast<LPARAM>(window.get()))),
              0u);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 6; ++x) {
            const int v = std::min<int>(plane[y * 6 + x], 255);
            EXPECT_EQ(window.Pixel(x, y), RGB(v, v, v)) << x << "," << y;
        }

    info.BufferSize = sizeof plane - 1;
    EXPECT_EQ(Status(driver.Send(msg::STM_CLR_DRAW_PLANE, reinterpret_cast<LPARAM>(&info),
                                 reinterpret_cast<LPARAM>(window.get()))),
              drv::STS_BUFSIZ);
    info.BufferSize = sizeof plane;
    info.PixelDepth = 3;
    EXPECT_EQ(Status(driver.Send(msg::STM_CLR_DRAW_PLANE, reinterpret_cast<LPARAM>(&info),
                                 reinterpret_cast<LPARAM>(window.get()))),
              drv::STS_RANGE);
    info.PixelDepth = 2;
    EXPECT_EQ(Status(driver.Send(msg::STM_CLR_DRAW_PLANE, reinterpret_cast<LPARAM>(&info), 0)),
              drv::STS_INVALIDHWND);
}

// ---- Frames --------------------------------------------------------------------------------

// A frame of the board, destroyed with the object.
class BoardFrame {
public:
    explicit BoardFrame(const Driver& d) : d_(d) {
        EXPECT_EQ(d.Ask(msg::STM_ALLOCATE_FRAME,
                        STC_FG_DEV_MEM_VOLATILE | (STC_FG_ANY_FRAME_ID << 16), handle_),
                  1);
    }
    BoardFrame(const BoardFrame&) = delete;
    BoardFrame& operator=(const BoardFrame&) = delete;
    ~BoardFrame() {
        if (handle_ != 0) d_.Send(msg::STM_DESTROY_FRAME, handle_);
    }
    FrameHandle handle() const { return handle_; }
    FrameInfo Info() const {
        FrameInfo info{};
        info.StructSize = sizeof info;
        EXPECT_EQ(d_.Ask(msg::STM_GET_FRAME_INFO, handle_, info), 1);
        return info;
    }
    void Write(uint32_t width, uint32_t height, const void* pixels) const {
        FrameRectBlock rect{handle_, 0, 0, width, height};
        EXPECT_EQ(d_.Send(msg::STM_WRITE_FRAME_RECT, reinterpret_cast<LPARAM>(&rect),
                          reinterpret_cast<LPARAM>(pixels)),
                  1);
    }

private:
    const Driver& d_;
    FrameHandle handle_ = 0;
};

// Frames of 8 x 3 pixels on input 0.
void SmallFrames(const Driver& d) {
    ASSERT_EQ(d.SetControl(0, STC_FG_CTL_FRAME_WIDTH, 8), 1);
    ASSERT_EQ(d.SetControl(0, STC_FG_CTL_FRAME_HEIGHT, 3), 1);
}

TEST_F(Kv7300, StorageModeSetsTheBytesPerPixelOfNewFrames) {
    SmallFrames(driver);
    const BoardFrame native(driver);
    EXPECT_EQ(native.Info().BytesPerPixel, 3u);
    struct Case {
        uint32_t mode, bytes;
    } const cases[] = {{7, 4}, {4, 2}, {5, 2}, {2, 2}, {1, 1}, {6, 3}};
    for (const Case& c : cases) {
        uint32_t mode = c.mode;
        ASSERT_EQ(Word(msg::STM_CLR_STORAGE_MODE, 0, kWrite, mode), 0u);
        const BoardFrame frame(driver);
        EXPECT_EQ(frame.Info().BytesPerPixel, c.bytes) << "mode " << c.mode;
    }
    EXPECT_EQ(native.Info().BytesPerPixel, 3u) << "a frame keeps the mode it was allocated with";
}

// Three planes of 8 x 3 in three element sizes, filled with a marker beforehand.
struct Planes {
    uint8_t red[24];
    uint16_t green[24];
    uint32_t blue[24];
    Planes() {
        std::fill(std::begin(red), std::end(red), uint8_t{0xEE});
        std::fill(std::begin(green), std::end(green), uint16_t{0xEEEE});
        std::fill(std::begin(blue), std::end(blue), 0xEEEEEEEEu);
    }
};

STT_BUFFER_INFO PlaneRecord(void* data, uint32_t elementSize) {
    return {sizeof(STT_BUFFER_INFO), data, 8 * 3 * elementSize, 8, 3, elementSize, 0, 0};
}

uint32_t Extract(const Driver& d, FrameHandle frame, STT_BUFFER_INFO* records, uint32_t mask) {
    records[0].Flags = mask;
    return StatusOf(d,
                    d.Send(msg::STM_CLR_EXTRACT_PLANES, frame, reinterpret_cast<LPARAM>(records)));
}

TEST_F(Kv7300, ExtractsThePlanesOfAFramePixelByPixel) {
    SmallFrames(driver);
    const BoardFrame frame(driver); // RGB 24: blue, green, red
    uint8_t pixels[24 * 3];
    for (int i = 0; i < 24; ++i) {
        pixels[3 * i] = static_cast<uint8_t>(200 - i);   // blue
        pixels[3 * i + 1] = static_cast<uint8_t>(i * 7); // green
        pixels[3 * i + 2] = static_cast<uint8_t>(i + 1); // red
    }
    frame.Write(8, 3, pixels);

    Planes p;
    STT_BUFFER_INFO records[3] = {PlaneRecord(p.red, 1), PlaneRecord(p.green, 2),
                                  PlaneRecord(p.blue, 4)};
    ASSERT_EQ(Extract(driver, frame.handle(), records, kPlaneRed | kPlaneGreen | kPlaneBlue), 0u);
    for (int i = 0; i < 24; ++i) {
        EXPECT_EQ(p.red[i], i + 1) << i;
        EXPECT_EQ(p.green[i], i * 7) << i;
        EXPECT_EQ(p.blue[i], static_cast<uint32_t>(200 - i)) << i;
    }

    // Red and blue only: two records, packed from the first.
    Planes q;
    STT_BUFFER_INFO two[2] = {PlaneRecord(q.red, 1), PlaneRecord(q.blue, 4)};
    ASSERT_EQ(Extract(driver, frame.handle(), two, kPlaneRed | kPlaneBlue), 0u);
    EXPECT_EQ(q.red[23], 24);
    EXPECT_EQ(q.blue[23], 177u);
    EXPECT_EQ(q.green[0], 0xEEEE) << "not asked for";
}

TEST_F(Kv7500, ExtractsFromA565Frame) {
    SmallFrames(driver);
    uint32_t mode = 4; // RGB 16
    ASSERT_EQ(Word(msg::STM_CLR_STORAGE_MODE, 0, kWrite, mode), 0u);
    const BoardFrame frame(driver);
    ASSERT_EQ(frame.Info().BytesPerPixel, 2u);
    uint16_t pixels[24];
    for (int i = 0; i < 24; ++i)
        pixels[i] = static_cast<uint16_t>((31 << 11) | (i << 5) | (i % 2 ? 31 : 0));
    frame.Write(8, 3, pixels);
    Planes p;
    STT_BUFFER_INFO records[3] = {PlaneRecord(p.red, 1), PlaneRecord(p.green, 2),
                                  PlaneRecord(p.blue, 4)};
    ASSERT_EQ(Extract(driver, frame.handle(), records, 7), 0u);
    for (int i = 0; i < 24; ++i) {
        EXPECT_EQ(p.red[i], 255) << i;
        EXPECT_EQ(p.green[i], (i << 2) | (i >> 4)) << i;
        EXPECT_EQ(p.blue[i], i % 2 ? 255u : 0u) << i;
    }
}

TEST_F(Kv7300, RefusesBadExtractions) {
    SmallFrames(driver);
    const BoardFrame frame(driver);
    Planes p;
    STT_BUFFER_INFO records[3] = {PlaneRecord(p.red, 1), PlaneRecord(p.green, 2),
                                  PlaneRecord(p.blue, 4)};
    EXPECT_EQ(Extract(driver, frame.handle() + 100, records, 7), drv::STS_INVALIDFRAMEHANDLE);
    EXPECT_EQ(Extract(driver, frame.handle(), records, 0), drv::STS_INVALID_FLAGS);
    EXPECT_EQ(Extract(driver, frame.handle(), records, 9), drv::STS_INVALID_FLAGS);
    records[1].BufferSize -= 1;
    EXPECT_EQ(Extract(driver, frame.handle(), records, 7), drv::STS_BUFSIZ);
    records[1] = PlaneRecord(p.green, 3);
    EXPECT_EQ(Extract(driver, frame.handle(), records, 7), drv::STS_RANGE);
    EXPECT_EQ(p.red[0], 0xEE) << "a refused extraction writes nothing";
    EXPECT_EQ(Status(driver.Send(msg::STM_CLR_EXTRACT_PLANES, frame.handle(), 0)), drv::STS_NULL);
}

TEST_F(Kv7300, BrightnessChangesTheAcquiredPicture) {
    SmallFrames(driver);
    const BoardFrame frame(driver);
    Planes before, after;
    STT_BUFFER_INFO first[1] = {PlaneRecord(before.red, 1)};
    STT_BUFFER_INFO second[1] = {PlaneRecord(after.red, 1)};
    ASSERT_EQ(driver.Send(msg::STM_ACQUIRE_FRAME, 0, frame.handle()), 1);
    ASSERT_EQ(Extract(driver, frame.handle(), first, kPlaneRed), 0u);
    int32_t darker = -60;
    ASSERT_EQ(Image(kWrite, 0, 1, darker), 0u);
    ASSERT_EQ(driver.Send(msg::STM_ACQUIRE_FRAME, 0, frame.handle()), 1);
    ASSERT_EQ(Extract(driver, frame.handle(), second, kPlaneRed), 0u);
    // Pixels 2 onwards (the first pixel carries the frame counter): the white bar darkens.
    int darkened = 0;
    for (int i = 2; i < 8; ++i)
        darkened += after.red[i] < before.red[i] ? 1 : 0;
    EXPECT_GT(darkened, 0);
    for (int i = 2; i < 8; ++i)
        EXPECT_LE(after.red[i], before.red[i]) << i;
}

} // namespace
} // namespace simtest
