// The KV7400 board library on the KV7400 and KV7400LS models: every answer is one 32-bit
// value, failures leave the library's device-dependent statuses.
#include "ext_driver.h"

namespace simtest {
namespace {

class Lib7400Board : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override { ASSERT_TRUE(driver); }
    uint32_t Status(LRESULT result) const { return StatusOf(driver, result); }
    // Sends with a 4-byte answer and checks that exactly 4 bytes came back.
    template <class Block> int32_t Answer(UINT message, const Block& block) const {
        int32_t value = INT32_MIN;
        uint32_t written = 0;
        EXPECT_EQ(
            driver.Ask(message, reinterpret_cast<LPARAM>(&block), &value, sizeof value, &written),
            1);
        EXPECT_EQ(written, 4u);
        return value;
    }
    Driver driver{GetParam()};
};

TEST_P(Lib7400Board, SyncMasterParametersAnswerFourBytes) {
    EXPECT_EQ(Answer(msg::STM_7400_SET_SYNC_MASTER_PARAM,
                     ParamWriteBlock{0, 0, SMP_HorizontalFrequency, 15734}),
              15734);
    EXPECT_EQ(
        Answer(msg::STM_7400_GET_SYNC_MASTER_PARAM, ParamReadBlock{0, 0, SMP_HorizontalFrequency}),
        15734);
    EXPECT_EQ(Answer(msg::STM_7400_SET_SYNC_MASTER_PARAM, ParamWriteBlock{0, 0, SMP_Phase, 90}),
              90);
    EXPECT_EQ(Answer(msg::STM_7400_GET_SYNC_MASTER_PARAM, ParamReadBlock{0, 0, SMP_Phase}), 90);
    EXPECT_EQ(
        Answer(msg::STM_7400_GET_SYNC_MASTER_PARAM, ParamReadBlock{0, 0, SMP_VerticalPulseWidth}),
        3);
}

TEST_P(Lib7400Board, AnalogParametersPerInput) {
    EXPECT_EQ(Answer(msg::STM_7400_GET_ANALOG_PARAM, ParamReadBlock{0, 0, AP_Gain}), 64);
    EXPECT_EQ(Answer(msg::STM_7400_SET_ANALOG_PARAM,
                     ParamWriteBlock{0, 0, AP_Offset, static_cast<uint32_t>(-200)}),
              -200);
    EXPECT_EQ(Answer(msg::STM_7400_GET_ANALOG_PARAM, ParamReadBlock{0, 0, AP_Offset}), -200);
    EXPECT_EQ(Answer(msg::STM_7400_SET_ANALOG_PARAM, ParamWriteBlock{0, 0, AP_Reference, 1000}),
              1000);
    EXPECT_EQ(Answer(msg::STM_7400_GET_ANALOG_PARAM, ParamReadBlock{0, 0, AP_Reference}), 1000);
}

TEST_P(Lib7400Board, FailuresLeaveDeviceDependentStatuses) {
    int32_t value = 0;
    const ParamWriteBlock gain{0, 0, AP_Gain, 5000};
    EXPECT_EQ(Status(driver.AskWith(msg::STM_7400_SET_ANALOG_PARAM, gain, value)), kOutOfRange);
    const ParamReadBlock selector{0, 0, 4};
    EXPECT_EQ(Status(driver.AskWith(msg::STM_7400_GET_ANALOG_PARAM, selector, value)),
              kBadSelector);
    const ParamReadBlock source{9, 0, AP_Gain};
    EXPECT_EQ(Status(driver.AskWith(msg::STM_7400_GET_ANALOG_PARAM, source, value)), kBadSource);
    const ParamWriteBlock vertical{0, 0, SMP_VerticalFrequency, 5};
    EXPECT_EQ(Status(driver.AskWith(msg::STM_7400_SET_SYNC_MASTER_PARAM, vertical, value)),
              kOutOfRange);
    EXPECT_EQ(Status(driver.Send(msg::STM_7400_ENABLE_SYNC_MASTER, -1, 7)), kBadSource);
    EXPECT_EQ(Answer(msg::STM_7400_GET_ANALOG_PARAM, ParamReadBlock{0, 0, AP_Gain}), 64)
        << "a refused value changes nothing";

    // Answer descriptors fail with the standard statuses and write nothing.
    uint16_t small = 0;
    uint32_t written = 99;
    const ParamReadBlock gainRead{0, 0, AP_Gain};
    EXPECT_EQ(driver.Ask(msg::STM_7400_GET_ANALOG_PARAM, reinterpret_cast<LPARAM>(&gainRead),
                         &small, sizeof small, &written),
              0);
    EXPECT_EQ(driver.LastStatus(), drv::STS_BUFSIZ);
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(Status(driver.Send(msg::STM_7400_GET_ANALOG_PARAM, 0, 0)), drv::STS_NULL);
}

TEST_P(Lib7400Board, SyncGeneratorEnable) {
    EXPECT_EQ(driver.Send(msg::STM_7400_ENABLE_SYNC_MASTER, -1, 0), 1);
    EXPECT_EQ(driver.Send(msg::STM_7400_ENABLE_SYNC_MASTER, -1, 0), 1) << "again on the same input";
    EXPECT_EQ(driver.Send(msg::STM_7400_ENABLE_SYNC_MASTER, 0, 0), 1);
}

INSTANTIATE_TEST_SUITE_P(Models, Lib7400Board,
                         ::testing::Values("kvboard!SIM7400", "kvboard!SIM7400LS"));

} // namespace
} // namespace simtest
