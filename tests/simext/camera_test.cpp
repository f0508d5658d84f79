// The digital-camera family on the KV7700 model, and the refusal of extension messages by
// boards whose model does not own the family.
#include "ext_driver.h"

namespace simtest {
namespace {

class CameraBoard : public ::testing::Test {
protected:
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
    uint32_t Type(uint16_t source) const {
        uint32_t type = ~0u;
        EXPECT_EQ(driver.Ask(msg::STM_CAM_GET_TYPE, source, type), 1);
        return type;
    }
    uint32_t Pattern() const {
        uint32_t pattern = ~0u;
        EXPECT_EQ(driver.Ask(msg::STM_CAM_GET_DIGIO_PATTERN, 0, pattern), 1);
        return pattern;
    }
    ExposePulseReadBuffer Pulse(uint16_t source) const {
        ExposePulseReadBuffer pulse{source, 0, ~0u, ~0u};
        EXPECT_EQ(driver.Ask(msg::STM_CAM_GET_EXPOSE_PULSE, 0, pulse), 1);
        return pulse;
    }
    Driver driver{"kvboard!SIM7700"};
    ExtPort port;
};

TEST(ExtensionRefusal, FamiliesReachOnlyTheModelsThatOwnThem) {
    struct Case {
        const char* board;
        UINT message;
    } const cases[] = {
        {"kvboard!SIM7100", msg::STM_CAM_RESET}, // no family at all
        {"kvboard!SIM7400", msg::STM_CAM_RESET}, // the KV7400 library has no 0xE005
        {"kvboard!SIM7700", msg::STM_7400_SET_ANALOG_PARAM},
        {"kvboard!SIM7700", msg::STM_LS_GET_DIGIO},
        {"kvboard!SIM7300", msg::STM_7400_GET_ANALOG_PARAM},
        {"kvboard!SIM7400", msg::STM_LS_SET_MODE},
        {"kvboard!SIM7400LS", msg::STM_CLR_EXTRACT_PLANES},
        {"kvboard!SIM760X", msg::STM_CLR_QUERY_INTERFACE},
    };
    for (const Case& c : cases) {
        const Driver d(c.board);
        ASSERT_TRUE(d) << c.board;
        EXPECT_EQ(d.Send(c.message), 0) << c.board << " " << std::hex << c.message;
        EXPECT_EQ(d.LastStatus(), drv::STS_NONSTMSG) << c.board << " " << std::hex << c.message;
    }
}

TEST(ExtensionRefusal, OneCodeMeansWhatTheBoardsFamilySays) {
    // 0xE010 (0, 0) disables the sync master of a KV7400 board but sets a sync master
    // parameter on the camera board, which needs a parameter block.
    const Driver lib("kvboard!SIM7400");
    EXPECT_EQ(lib.Send(msg::STM_7400_ENABLE_SYNC_MASTER, 0, 0), 1);
    const Driver camera("kvboard!SIM7700");
    EXPECT_EQ(camera.Send(msg::STM_CAM_SET_SYNC_MASTER_PARAM, 0, 0), 0);
    EXPECT_EQ(camera.LastStatus(), drv::STS_NULL);
}

TEST_F(CameraBoard, CameraTypePerInputAndReset) {
    EXPECT_EQ(Type(0), 3u) << "the board's 10-bit camera";
    EXPECT_EQ(driver.Send(msg::STM_CAM_SET_TYPE, 1, 5), 1);
    EXPECT_EQ(Type(1), 5u);
    EXPECT_EQ(Type(0), 3u);
    EXPECT_EQ(Status(driver.Send(msg::STM_CAM_SET_TYPE, 0, 6)), kOutOfRange);
    EXPECT_EQ(Status(driver.Send(msg::STM_CAM_SET_TYPE, 2, 1)), kBadSource);
    EXPECT_EQ(driver.Send(msg::STM_CAM_RESET), 1);
    EXPECT_EQ(Type(1), 3u);
}

TEST_F(CameraBoard, AnswersFailWithStandardStatusesOnBadDescriptors) {
    uint16_t small = 0;
    EXPECT_EQ(Status(driver.Ask(msg::STM_CAM_GET_TYPE, 0, small)), drv::STS_BUFSIZ);
    EXPECT_EQ(Status(driver.Send(msg::STM_CAM_GET_DIGIO_CONFIG, 0, 0)), drv::STS_NULL);
    uint32_t type = 0;
    EXPECT_EQ(Status(driver.Ask(msg::STM_CAM_GET_TYPE, 7, type)), kBadSource);
}

TEST_F(CameraBoard, DigitalLinesLoopBackUntilATestDrivesTheInputs) {
    uint32_t config = 0;
    ASSERT_EQ(driver.Ask(msg::STM_CAM_GET_DIGIO_CONFIG, 0, config), 1);
    EXPECT_EQ(config, 0x0Fu) << "lines 0-3 out, 4-7 in";
    ASSERT_EQ(driver.Send(msg::STM_CAM_SET_DIGIO_PATTERN, 0, 0x05), 1);
    EXPECT_EQ(Pattern(), 0x55u) << "outputs 0 and 2 loop back to inputs 4 and 6";

    port.SetInputs("sim7700", 0xA0);
    EXPECT_EQ(Pattern(), 0xA5u);
    port.SetInputs("SIM7700", 0xFF);
    EXPECT_EQ(Pattern(), 0xF5u) << "input lines only";

    ASSERT_EQ(driver.Send(msg::STM_CAM_SET_DIGIO_CONFIG, 0, 0xFF), 1);
    EXPECT_EQ(Pattern(), 0x05u) << "no input lines left";
    ASSERT_EQ(driver.Send(msg::STM_CAM_SET_DIGIO_CONFIG, 0, 0x00), 1);
    EXPECT_EQ(Pattern(), 0xFFu) << "every line an input";
    port.ClearInputs("SIM7700");
    EXPECT_EQ(Pattern(), 0x00u) << "no outputs to loop back";

    EXPECT_EQ(Status(driver.Send(msg::STM_CAM_SET_DIGIO_CONFIG, 0, 0x100)), kOutOfRange);
    EXPECT_EQ(Status(driver.Send(msg::STM_CAM_SET_DIGIO_PATTERN, 0, 0x1FF)), kOutOfRange);
}

TEST_F(CameraBoard, ExposePulseTravelsWithItsPolarity) {
    EXPECT_EQ(Pulse(0).Duration, 1000u);
    EXPECT_EQ(Pulse(0).Polarity, 0u);
    ExposePulseWriteBlock block{1, 0, 0, 1};
    ASSERT_EQ(driver.Send(msg::STM_CAM_SET_EXPOSE_PULSE, 500, reinterpret_cast<LPARAM>(&block)), 1);
    EXPECT_EQ(block.Answer, 500u);
    const ExposePulseReadBuffer pulse = Pulse(1);
    EXPECT_EQ(pulse.Source, 1u);
    EXPECT_EQ(pulse.Duration, 500u);
    EXPECT_EQ(pulse.Polarity, 1u);
    EXPECT_EQ(Pulse(0).Duration, 1000u) << "each input has its own pulse";

    // A refused duration leaves the pulse as it was, and the answer says which is in effect.
    ExposePulseWriteBlock refused{1, 0, 0, 0};
    EXPECT_EQ(
        Status(driver.Send(msg::STM_CAM_SET_EXPOSE_PULSE, 0, reinterpret_cast<LPARAM>(&refused))),
        kOutOfRange);
    EXPECT_EQ(refused.Answer, 500u);
    ExposePulseWriteBlock badPolarity{1, 0, 0, 2};
    EXPECT_EQ(Status(driver.Send(msg::STM_CAM_SET_EXPOSE_PULSE, 700,
                                 reinterpret_cast<LPARAM>(&badPolarity))),
              kOutOfRange);
    EXPECT_EQ(Pulse(1).Polarity, 1u);

    EXPECT_EQ(driver.Send(msg::STM_CAM_ENABLE_EXPOSE_PULSE, -1, 1), 1);
    EXPECT_EQ(Status(driver.Send(msg::STM_CAM_ENABLE_EXPOSE_PULSE, -1, 2)), kBadSource);
}

TEST_F(CameraBoard, OneSyncGeneratorDrivesOneInput) {
    ASSERT_EQ(driver.Send(msg::STM_CAM_ENABLE_SYNC_MASTER, -1, 0), 1);
    EXPECT_EQ(Status(driver.Send(msg::STM_CAM_ENABLE_SYNC_MASTER, -1, 1)), kSyncInUse);
    EXPECT_EQ(driver.Send(msg::STM_CAM_ENABLE_SYNC_MASTER, 0, 1), 1) << "not enabled there";
    ASSERT_EQ(driver.Send(msg::STM_CAM_ENABLE_SYNC_MASTER, 0, 0), 1);
    EXPECT_EQ(driver.Send(msg::STM_CAM_ENABLE_SYNC_MASTER, -1, 1), 1);
    EXPECT_EQ(Status(driver.Send(msg::STM_CAM_ENABLE_SYNC_MASTER, -1, 5)), kBadSource);
    driver.Send(msg::STM_CAM_ENABLE_SYNC_MASTER, 0, 1);
}

TEST_F(CameraBoard, SyncMasterParameters) {
    int32_t value = 0;
    const ParamReadBlock phase{1, 0, SMP_Phase};
    ASSERT_EQ(driver.AskWith(msg::STM_CAM_GET_SYNC_MASTER_PARAM, phase, value), 1);
    EXPECT_EQ(value, 0);
    const ParamWriteBlock write{1, 0, SMP_VerticalFrequency, 50};
    ASSERT_EQ(driver.AskWith(msg::STM_CAM_SET_SYNC_MASTER_PARAM, write, value), 1);
    EXPECT_EQ(value, 50);
    const ParamReadBlock read{0, 0, SMP_VerticalFrequency};
    ASSERT_EQ(driver.AskWith(msg::STM_CAM_GET_SYNC_MASTER_PARAM, read, value), 1);
    EXPECT_EQ(value, 50) << "one generator for the board";

    const ParamWriteBlock tooHigh{0, 0, SMP_HorizontalFrequency, 100'001};
    EXPECT_EQ(Status(driver.AskWith(msg::STM_CAM_SET_SYNC_MASTER_PARAM, tooHigh, value)),
              kOutOfRange);
    const ParamWriteBlock offStep{0, 0, SMP_HorizontalPulseWidth, 4705};
    EXPECT_EQ(Status(driver.AskWith(msg::STM_CAM_SET_SYNC_MASTER_PARAM, offStep, value)),
              kOutOfRange);
    const ParamReadBlock unknown{0, 0, 6};
    EXPECT_EQ(Status(driver.AskWith(msg::STM_CAM_GET_SYNC_MASTER_PARAM, unknown, value)),
              kBadSelector);
    const ParamReadBlock noSource{2, 0, SMP_Phase};
    EXPECT_EQ(Status(driver.AskWith(msg::STM_CAM_GET_SYNC_MASTER_PARAM, noSource, value)),
              kBadSource);
    const ParamWriteBlock restore{0, 0, SMP_VerticalFrequency, 60};
    driver.AskWith(msg::STM_CAM_SET_SYNC_MASTER_PARAM, restore, value);
}

} // namespace
} // namespace simtest
