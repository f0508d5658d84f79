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

} // namespace
} // namespace simtest
