// Device messages: device capabilities per model, the answer descriptor rules, the last
// status, the time-out, camera-control capabilities, digital outputs and unknown messages.
#include "sim_driver.h"

#include <cstring>

namespace simtest {
namespace {

struct ModelCaps {
    const char* open;
    uint32_t id;
    uint32_t kind;
    uint32_t deviceMem;
};
constexpr ModelCaps kModels[] = {
    {"kvboard!SIM7100", 32, 1, 1 << 20}, {"kvboard!SIM7400", 42, 1, 2 << 20},
    {"kvboard!SIM7700", 43, 1, 4 << 20}, {"kvboard!SIM7300", 44, 2, 2 << 20},
    {"kvboard!SIM7500", 45, 2, 4 << 20}, {"kvboard!SIM7400LS", 46, 1, 2 << 20},
    {"kvboard!SIM760X", 112, 1, 0},
};

TEST(DeviceCaps, AnswerEachModelsIdentityAndMemory) {
    for (const ModelCaps& m : kModels) {
        Driver driver(m.open);
        ASSERT_TRUE(driver) << m.open;
        EXPECT_EQ(driver.DeviceCap(STC_IMG_DC_DEVICE_ID), m.id) << m.open;
        EXPECT_EQ(driver.DeviceCap(STC_IMG_DC_ST_DEVICE_TYPE), m.kind) << m.open;
        EXPECT_EQ(driver.DeviceCap(STC_IMG_DC_DEVICE_MEM_SIZE), m.deviceMem) << m.open;
        EXPECT_EQ(driver.DeviceCap(STC_IMG_DC_LINEAR_MEM_SIZE), 64u << 20) << m.open;
        EXPECT_EQ(driver.LastStatus(), 0u);
    }
}

TEST(DeviceCaps, DeviceNameIsTerminatedText) {
    Driver driver("kvboard!SIM7500");
    ASSERT_TRUE(driver);
    char name[64];
    std::memset(name, 'x', sizeof name);
    uint32_t written = 0;
    ASSERT_EQ(
        driver.Ask(msg::STM_QUERY_DEVICE_CAPS, STC_IMG_DC_DEVICE_NAME, name, sizeof name, &written),
        1);
    EXPECT_STREQ(name, "KV7500 (simulated)");
    EXPECT_EQ(written, std::strlen(name) + 1);
}

TEST(DeviceCaps, UnknownKeysAreUnsupported) {
    Driver driver("kvboard!SIM7100");
    ASSERT_TRUE(driver);
    for (uint32_t key : {0u, 8u, 1000u}) {
        uint32_t answer = 0;
        EXPECT_EQ(driver.Ask(msg::STM_QUERY_DEVICE_CAPS, key, answer), 0) << key;
        EXPECT_EQ(driver.LastStatus(), drv::STS_UNSUPKEY) << key;
    }
}

TEST(Descriptor, NullOrMisSizedDescriptorsFail) {
    Driver driver("kvboard!SIM7100");
    ASSERT_TRUE(driver);
    EXPECT_EQ(driver.Send(msg::STM_QUERY_DEVICE_CAPS, STC_IMG_DC_DEVICE_ID, 0), 0);
    EXPECT_EQ(driver.LastStatus(), drv::STS_NULL);

    uint32_t answer = 0;
    OutputDescriptor d{16, sizeof answer, 0, &answer};
    if (sizeof(OutputDescriptor) == 16) d.StructSize = 24;
    EXPECT_EQ(
        driver.Send(msg::STM_QUERY_DEVICE_CAPS, STC_IMG_DC_DEVICE_ID, reinterpret_cast<LPARAM>(&d)),
        0);
    EXPECT_EQ(driver.LastStatus(), drv::STS_STRUCTSIZ);
    EXPECT_EQ(answer, 0u);

    EXPECT_EQ(driver.Ask(msg::STM_QUERY_DEVICE_CAPS, STC_IMG_DC_DEVICE_ID, nullptr, 4), 0);
    EXPECT_EQ(driver.LastStatus(), drv::STS_NULL);
}

TEST(Descriptor, NeverWritesBeyondTheBufferSize) {
    Driver driver("kvboard!SIM7100");
    ASSERT_TRUE(driver);
    uint8_t buffer[8];
    std::memset(buffer, 0xAA, sizeof buffer);
    uint32_t written = 77;
    EXPECT_EQ(driver.Ask(msg::STM_QUERY_DEVICE_CAPS, STC_IMG_DC_DEVICE_ID, buffer, 3, &written), 0);
    EXPECT_EQ(driver.LastStatus(), drv::STS_BUFSIZ);
    EXPECT_EQ(written, 0u);
    for (uint8_t b : buffer)
        EXPECT_EQ(b, 0xAA);

    ASSERT_EQ(driver.Ask(msg::STM_QUERY_DEVICE_CAPS, STC_IMG_DC_DEVICE_ID, buffer, 8, &written), 1);
    EXPECT_EQ(written, 4u);
    uint32_t id = 0;
    std::memcpy(&id, buffer, 4);
    EXPECT_EQ(id, 32u);
    EXPECT_EQ(buffer[4], 0xAA);
}

TEST(LastStatus, AnswersFourBytesAndASuccessClearsIt) {
    Driver driver("kvboard!SIM7100");
    ASSERT_TRUE(driver);
    EXPECT_EQ(driver.LastStatus(), 0u);
    uint32_t answer = 0;
    ASSERT_EQ(driver.Ask(msg::STM_QUERY_DEVICE_CAPS, 1000, answer), 0);
    uint32_t status = 0, written = 0;
    EXPECT_EQ(driver.Ask(msg::STM_GET_LAST_STATUS, 0, &status, sizeof status, &written), 1);
    EXPECT_EQ(written, 4u);
    EXPECT_EQ(status, drv::STS_UNSUPKEY);
    EXPECT_EQ(driver.LastStatus(), 0u) << "the status query itself succeeded";
    ASSERT_EQ(driver.Ask(msg::STM_QUERY_DEVICE_CAPS, 1000, answer), 0);
    EXPECT_EQ(driver.DeviceCap(STC_IMG_DC_DEVICE_ID), 32u);
    EXPECT_EQ(driver.LastStatus(), 0u);
}

TEST(LastStatus, TooSmallABufferFails) {
    Driver driver("kvboard!SIM7100");
    ASSERT_TRUE(driver);
    uint16_t small = 0;
    EXPECT_EQ(driver.Ask(msg::STM_GET_LAST_STATUS, 0, small), 0);
    EXPECT_EQ(driver.LastStatus(), drv::STS_BUFSIZ);
}

TEST(Timeout, SetAnswersThePreviousTimeout) {
    Driver driver("kvboard!SIM7100");
    ASSERT_TRUE(driver);
    uint32_t seconds = 0;
    ASSERT_EQ(driver.Ask(msg::STM_GET_TIMEOUT, 0, seconds), 1);
    EXPECT_EQ(seconds, 5u);
    uint32_t previous = 0;
    ASSERT_EQ(driver.Ask(msg::STM_SET_TIMEOUT, 12, previous), 1);
    EXPECT_EQ(previous, 5u);
    ASSERT_EQ(driver.Ask(msg::STM_GET_TIMEOUT, 0, seconds), 1);
    EXPECT_EQ(seconds, 12u);
}

TEST(Timeout, TheAnswerOfSetIsOptional) {
    Driver driver("kvboard!SIM7100");
    ASSERT_TRUE(driver);
    EXPECT_EQ(driver.Send(msg::STM_SET_TIMEOUT, 7, 0), 1);
    EXPECT_EQ(driver.Ask(msg::STM_SET_TIMEOUT, 9, nullptr, 4), 1);
    uint32_t seconds = 0;
    ASSERT_EQ(driver.Ask(msg::STM_GET_TIMEOUT, 0, seconds), 1);
    EXPECT_EQ(seconds, 9u);
    uint16_t small = 0;
    EXPECT_EQ(driver.Ask(msg::STM_SET_TIMEOUT, 20, small), 0);
    EXPECT_EQ(driver.LastStatus(), drv::STS_BUFSIZ);
    ASSERT_EQ(driver.Ask(msg::STM_GET_TIMEOUT, 0, seconds), 1);
    EXPECT_EQ(seconds, 9u) << "a failed set changes nothing";
}

TEST(CamCtlCaps, OutputLineCountFitsTwoBytes) {
    const std::pair<const char*, uint16_t> boards[] = {{"kvboard!SIM7100", 4},
                                                       {"kvboard!SIM7400", 8},
                                                       {"kvboard!SIM7400LS", 8},
                                                       {"kvboard!SIM760X", 2}};
    for (const auto& [open, lines] : boards) {
        Driver driver(open);
        ASSERT_TRUE(driver);
        uint16_t count = 0;
        uint32_t written = 0;
        ASSERT_EQ(
            driver.Ask(msg::STM_QUERY_CAMCTL_CAPS, STC_FG_CC_DIG_OUT_COUNT, &count, 2, &written), 1)
            << open;
        EXPECT_EQ(count, lines) << open;
        EXPECT_EQ(written, 2u);
    }
}

TEST(CamCtlCaps, ExtensionBoardsAnswerOnlyTheirOwnKeys) {
    for (const char* open : {"kvboard!SIM7700", "kvboard!SIM7300", "kvboard!SIM7500"}) {
        Driver driver(open);
        ASSERT_TRUE(driver);
        uint16_t count = 0;
        EXPECT_EQ(driver.Ask(msg::STM_QUERY_CAMCTL_CAPS, STC_FG_CC_DIG_OUT_COUNT, count), 0);
        EXPECT_EQ(driver.LastStatus(), drv::STS_UNSUPKEY) << open;
    }
    Driver camera("kvboard!SIM7700");
    stSTT_LNG_RNG range{};
    ASSERT_EQ(camera.Ask(msg::STM_QUERY_CAMCTL_CAPS, STC_FG_CC_PULSE_RANGE, range), 1);
    EXPECT_LT(range.Min, range.Max);
    Driver mono("kvboard!SIM7100");
    EXPECT_EQ(mono.Ask(msg::STM_QUERY_CAMCTL_CAPS, STC_FG_CC_PULSE_RANGE, range), 0);
    EXPECT_EQ(mono.LastStatus(), drv::STS_UNSUPKEY);
}

TEST(DigitalOutputs, AnswerThePatternOnTheLines) {
    Driver driver("kvboard!SIM7100");
    ASSERT_TRUE(driver);
    uint32_t pattern = 0;
    ASSERT_EQ(driver.Ask(msg::STM_SET_DIGITAL_OUTPUTS, 0x5, pattern), 1);
    EXPECT_EQ(pattern, 0x5u);
    EXPECT_EQ(driver.Ask(msg::STM_SET_DIGITAL_OUTPUTS, 0x10, pattern), 0) << "line 4 of 4";
    EXPECT_EQ(driver.LastStatus(), drv::STS_RANGE);
    ASSERT_EQ(driver.Ask(msg::STM_SET_DIGITAL_OUTPUTS, 0xF, pattern), 1);
    EXPECT_EQ(pattern, 0xFu);
}

TEST(DigitalOutputs, BoardsWithAnIoExtensionDoNotHandleTheStandardMessage) {
    Driver driver("kvboard!SIM7300");
    ASSERT_TRUE(driver);
    uint32_t pattern = 0;
    EXPECT_EQ(driver.Ask(msg::STM_SET_DIGITAL_OUTPUTS, 1, pattern), 0);
    EXPECT_EQ(driver.LastStatus(), drv::STS_NONSTMSG);
}

TEST(UnknownMessages, GoToDefDriverProcWithNonStandardMessageStatus) {
    Driver driver("kvboard!SIM7100");
    ASSERT_TRUE(driver);
    EXPECT_EQ(driver.Send(0x5FFF, 1, 2), 0);
    EXPECT_EQ(driver.LastStatus(), drv::STS_NONSTMSG);
    // An extension family's message on a board that does not own the family.
    uint32_t answer = 0;
    EXPECT_EQ(driver.Ask(msg::STM_CAM_GET_TYPE, 0, answer), 0);
    EXPECT_EQ(driver.LastStatus(), drv::STS_NONSTMSG);
    EXPECT_EQ(driver.DeviceCap(STC_IMG_DC_DEVICE_ID), 32u);
    EXPECT_EQ(driver.LastStatus(), 0u);
}

} // namespace
} // namespace simtest
