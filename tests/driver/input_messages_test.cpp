// The device and input-control messages through OpenDriver/SendDriverMessage into the tests'
// own driver: the bytes that reach the driver, and what reaches the caller.
#include "input_messages.h"
#include "test_driver.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <vector>

using namespace imaging;

namespace {

class InputMessages : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(driver.ok()) << "kvtestdrv.drv not found beside the test program";
        driver.port().StartTrace();
    }

    // The one message the call sent.
    KvTraceRecord Sent(uint32_t message) {
        const auto trace = driver.port().Trace();
        EXPECT_EQ(trace.size(), 1u);
        if (trace.empty()) return {};
        EXPECT_EQ(trace.back().Message, message);
        return trace.back();
    }

    std::vector<uint8_t> Block(const KvTraceRecord& r) {
        return std::vector<uint8_t>(r.Block, r.Block + r.BlockSize);
    }

    // Checks the answer descriptor as the driver received it.
    void ExpectDescriptor(uint32_t bufferSize) {
        const OutputDescriptor d = driver.LastDescriptor();
        EXPECT_EQ(d.StructSize, sizeof(OutputDescriptor));
        EXPECT_EQ(d.BufferSize, bufferSize);
        EXPECT_EQ(d.BytesWritten, 0u);
        EXPECT_NE(d.Buffer, nullptr);
    }

    HDRVR h() { return driver.handle(); }

    TestDriver driver;
};

} // namespace

TEST_F(InputMessages, InputControlWriteBlockBytes) {
    driver.SetAnswer(msg::STM_SET_INPUT_CONTROL, uint32_t{638});
    uint32_t answer = 0;
    ASSERT_EQ(STM_SET_INPUT_CONTROL(h(), 3, STC_FG_CTL_FRAME_WIDTH, 640, &answer), STC_STS_NORMAL);
    const KvTraceRecord r = Sent(msg::STM_SET_INPUT_CONTROL);
    EXPECT_EQ(Block(r), (std::vector<uint8_t>{0x03, 0x00, 0x00, 0x00, 0x52, 0x01, 0x00, 0x00, 0x80,
                                              0x02, 0x00, 0x00}));
    ExpectDescriptor(4);
    EXPECT_EQ(answer, 638u);
}

TEST_F(InputMessages, InputControlReadBlockAndSourceModulo65536) {
    driver.SetAnswer(msg::STM_GET_INPUT_CONTROL, uint32_t{0x12345678});
    uint32_t value = 0;
    ASSERT_EQ(STM_GET_INPUT_CONTROL(h(), 65536 + 5, STC_FG_CTL_BLACK_LEVEL, &value),
              STC_STS_NORMAL);
    EXPECT_EQ(Block(Sent(msg::STM_GET_INPUT_CONTROL)),
              (std::vector<uint8_t>{0x05, 0x00, 0x00, 0x00, 0x11, 0x01, 0x00, 0x00}));
    ExpectDescriptor(4);
    EXPECT_EQ(value, 0x12345678u);
}

TEST_F(InputMessages, InputSourceIsSixteenBits) {
    driver.SetAnswer(msg::STM_SET_INPUT_SOURCE, uint16_t{0xBEEF});
    uint16_t answer = 0;
    ASSERT_EQ(STM_SET_INPUT_SOURCE(h(), 70000, &answer), STC_STS_NORMAL);
    const KvTraceRecord r = Sent(msg::STM_SET_INPUT_SOURCE);
    EXPECT_EQ(r.Param1, 70000u % 65536u);
    ExpectDescriptor(2);
    EXPECT_EQ(answer, 0xBEEF);

    driver.port().StartTrace();
    driver.SetAnswer(msg::STM_GET_INPUT_SOURCE, uint16_t{3});
    uint16_t source = 0;
    ASSERT_EQ(STM_GET_INPUT_SOURCE(h(), &source), STC_STS_NORMAL);
    EXPECT_EQ(Sent(msg::STM_GET_INPUT_SOURCE).Param1, 0u);
    ExpectDescriptor(2);
    EXPECT_EQ(source, 3);
}

TEST_F(InputMessages, SetTimeoutWithoutAnswerAddressStillSends) {
    driver.SetAnswer(msg::STM_SET_TIMEOUT, uint32_t{5});
    EXPECT_EQ(STM_SET_TIMEOUT(h(), 12, nullptr), STC_STS_NORMAL);
    EXPECT_EQ(Sent(msg::STM_SET_TIMEOUT).Param1, 12u);
    ExpectDescriptor(4);

    driver.port().StartTrace();
    uint32_t previous = 0;
    EXPECT_EQ(STM_SET_TIMEOUT(h(), 30, &previous), STC_STS_NORMAL);
    EXPECT_EQ(previous, 5u);
}

TEST_F(InputMessages, GetTriggerCopiesTheTransitionOnlyForTheExternalLine) {
    uint32_t type = 0, transition = 77;
    driver.SetAnswer(msg::STM_GET_TRIGGER, TriggerBlock{STC_FG_TRIGGER_NONE, 1});
    ASSERT_EQ(STM_GET_TRIGGER(h(), &type, &transition), STC_STS_NORMAL);
    EXPECT_EQ(Sent(msg::STM_GET_TRIGGER).Param1, 0u);
    ExpectDescriptor(8);
    EXPECT_EQ(type, 1u);
    EXPECT_EQ(transition, 77u);

    driver.SetAnswer(msg::STM_GET_TRIGGER, TriggerBlock{STC_FG_TRIGGER_EXTERNAL_LINE, 1});
    ASSERT_EQ(STM_GET_TRIGGER(h(), &type, &transition), STC_STS_NORMAL);
    EXPECT_EQ(type, 2u);
    EXPECT_EQ(transition, 1u);
}

TEST_F(InputMessages, SetTriggerBlockAndAnswer) {
    driver.SetAnswer(msg::STM_SET_TRIGGER, TriggerBlock{STC_FG_TRIGGER_EXTERNAL_LINE, 0});
    uint32_t type = 0, transition = 9;
    ASSERT_EQ(STM_SET_TRIGGER(h(), STC_FG_TRIGGER_EXTERNAL_LINE, 1, &type, &transition),
              STC_STS_NORMAL);
    EXPECT_EQ(Block(Sent(msg::STM_SET_TRIGGER)),
              (std::vector<uint8_t>{0x02, 0, 0, 0, 0x01, 0, 0, 0}));
    ExpectDescriptor(8);
    EXPECT_EQ(type, 2u);
    EXPECT_EQ(transition, 0u);
}

TEST_F(InputMessages, MultTriggerCopiesTypeAndModeButTheTransitionOnlyForType2) {
    driver.SetAnswer(msg::STM_SET_MULT_TRIGGER,
                     MultTriggerBlock{STC_FG_TRIGGER_EVENT, 1, STC_FG_TRIGMODE_FOR_EACH});
    uint32_t type = 0, transition = 55, mode = 0;
    ASSERT_EQ(STM_SET_MULT_TRIGGER(h(), STC_FG_TRIGGER_EVENT, 1, STC_FG_TRIGMODE_TO_START, &type,
                                   &transition, &mode),
              STC_STS_NORMAL);
    EXPECT_EQ(Block(Sent(msg::STM_SET_MULT_TRIGGER)),
              (std::vector<uint8_t>{0x03, 0, 0, 0, 0x01, 0, 0, 0, 0x01, 0, 0, 0}));
    ExpectDescriptor(12);
    EXPECT_EQ(type, 3u);
    EXPECT_EQ(transition, 55u);
    EXPECT_EQ(mode, 2u);

    driver.SetAnswer(msg::STM_GET_MULT_TRIGGER,
                     MultTriggerBlock{STC_FG_TRIGGER_EXTERNAL_LINE, 1, STC_FG_TRIGMODE_TO_START});
    ASSERT_EQ(STM_GET_MULT_TRIGGER(h(), &type, &transition, &mode), STC_STS_NORMAL);
    ExpectDescriptor(12);
    EXPECT_EQ(type, 2u);
    EXPECT_EQ(transition, 1u);
    EXPECT_EQ(mode, 1u);
}

TEST_F(InputMessages, LutWritePassesTheEntriesThemselvesLutReadADescriptor) {
    const std::array<uint32_t, 4> entries{10, 20, 30, 40};
    ASSERT_EQ(STM_WRITE_INPUT_LUT(h(), 2, 16, 4, entries.data()), STC_STS_NORMAL);
    const KvTraceRecord w = Sent(msg::STM_WRITE_INPUT_LUT);
    EXPECT_EQ(w.Param2, reinterpret_cast<uintptr_t>(entries.data()));
    EXPECT_EQ(Block(w), (std::vector<uint8_t>{2, 0, 0, 0, 16, 0, 0, 0, 4, 0, 0, 0}));

    driver.port().StartTrace();
    const std::array<uint32_t, 2> answer{0xAAAA, 0xBBBB};
    driver.SetAnswer(msg::STM_READ_INPUT_LUT, answer);
    std::array<uint32_t, 3> read{};
    ASSERT_EQ(STM_READ_INPUT_LUT(h(), 65537, 1, 3, read.data(), 12), STC_STS_NORMAL);
    const KvTraceRecord r = Sent(msg::STM_READ_INPUT_LUT);
    EXPECT_NE(r.Param2, reinterpret_cast<uintptr_t>(read.data()));
    EXPECT_EQ(Block(r), (std::vector<uint8_t>{1, 0, 0, 0, 1, 0, 0, 0, 3, 0, 0, 0}));
    const OutputDescriptor d = driver.LastDescriptor();
    EXPECT_EQ(d.Buffer, read.data());
    EXPECT_EQ(d.BufferSize, 12u);
    EXPECT_EQ(read, (std::array<uint32_t, 3>{0xAAAA, 0xBBBB, 0}));
}

TEST_F(InputMessages, BasedSourceBlockWithoutDescriptor) {
    ASSERT_EQ(STM_SELECT_BASED_SOURCE(h(), 1, 0x10007), STC_STS_NORMAL);
    const KvTraceRecord r = Sent(msg::STM_SELECT_BASED_SOURCE);
    EXPECT_EQ(Block(r), (std::vector<uint8_t>{1, 0, 0, 0, 7, 0, 0, 0}));
    EXPECT_EQ(r.Param2, 0u);
}

TEST_F(InputMessages, QueriesCarryTheKeyAndTheCallersBuffer) {
    stSTT_LNG_RNG range{};
    const stSTT_LNG_RNG answer{64, 768, 4, 640};
    driver.SetAnswer(msg::STM_QUERY_INPUT_CAPS, answer);
    ASSERT_EQ(STM_QUERY_INPUT_CAPS(h(), STC_FG_IC_FRAME_WIDTH_LIMITS, &range, sizeof(range)),
              STC_STS_NORMAL);
    EXPECT_EQ(Sent(msg::STM_QUERY_INPUT_CAPS).Param1, STC_FG_IC_FRAME_WIDTH_LIMITS);
    EXPECT_EQ(driver.LastDescriptor().Buffer, &range);
    ExpectDescriptor(16);
    EXPECT_EQ(memcmp(&range, &answer, sizeof(range)), 0);

    driver.port().StartTrace();
    uint16_t outputs = 0;
    driver.SetAnswer(msg::STM_QUERY_CAMCTL_CAPS, uint32_t{0x00050004});
    ASSERT_EQ(STM_QUERY_CAMCTL_CAPS(h(), STC_FG_CC_DIG_OUT_COUNT, &outputs, sizeof(outputs)),
              STC_STS_NORMAL);
    EXPECT_EQ(Sent(msg::STM_QUERY_CAMCTL_CAPS).Param1, STC_FG_CC_DIG_OUT_COUNT);
    ExpectDescriptor(2);
    EXPECT_EQ(outputs, 4); // a 2-byte buffer takes two bytes

    driver.port().StartTrace();
    uint32_t id = 0;
    ASSERT_EQ(STM_QUERY_DEVICE_CAPS(h(), STC_IMG_DC_DEVICE_ID, &id, sizeof(id)), STC_STS_NORMAL);
    EXPECT_EQ(Sent(msg::STM_QUERY_DEVICE_CAPS).Param1, STC_IMG_DC_DEVICE_ID);
    ExpectDescriptor(4);
    EXPECT_EQ(id, kTestDrvDeviceId);
}

TEST_F(InputMessages, DigitalOutputsAndTimeout) {
    driver.SetAnswer(msg::STM_SET_DIGITAL_OUTPUTS, uint32_t{0xA5});
    uint32_t pattern = 0;
    ASSERT_EQ(STM_SET_DIGITAL_OUTPUTS(h(), 0x5A, &pattern), STC_STS_NORMAL);
    EXPECT_EQ(Sent(msg::STM_SET_DIGITAL_OUTPUTS).Param1, 0x5Au);
    ExpectDescriptor(4);
    EXPECT_EQ(pattern, 0xA5u);

    driver.port().StartTrace();
    driver.SetAnswer(msg::STM_GET_TIMEOUT, uint32_t{8});
    uint32_t timeout = 0;
    ASSERT_EQ(STM_GET_TIMEOUT(h(), &timeout), STC_STS_NORMAL);
    EXPECT_EQ(Sent(msg::STM_GET_TIMEOUT).Param1, 0u);
    ExpectDescriptor(4);
    EXPECT_EQ(timeout, 8u);
}

TEST_F(InputMessages, NullAddressesSendNothing) {
    uint32_t u = 0;
    uint16_t s = 0;
    const std::vector<std::function<STT_APISTATUS()>> calls = {
        [&] { return STM_QUERY_DEVICE_CAPS(h(), 2, nullptr, 4); },
        [&] { return STM_GET_TIMEOUT(h(), nullptr); },
        [&] { return STM_QUERY_INPUT_CAPS(h(), 1, nullptr, 4); },
        [&] { return STM_SET_INPUT_SOURCE(h(), 1, nullptr); },
        [&] { return STM_GET_INPUT_SOURCE(h(), nullptr); },
        [&] { return STM_SET_INPUT_CONTROL(h(), 0, 2, 1, nullptr); },
        [&] { return STM_GET_INPUT_CONTROL(h(), 0, 2, nullptr); },
        [&] { return STM_READ_INPUT_LUT(h(), 0, 0, 4, nullptr, 16); },
        [&] { return STM_WRITE_INPUT_LUT(h(), 0, 0, 4, nullptr); },
        [&] { return STM_SET_TRIGGER(h(), 2, 1, nullptr, &u); },
        [&] { return STM_SET_TRIGGER(h(), 2, 1, &u, nullptr); },
        [&] { return STM_GET_TRIGGER(h(), nullptr, &u); },
        [&] { return STM_GET_TRIGGER(h(), &u, nullptr); },
        [&] { return STM_SET_MULT_TRIGGER(h(), 2, 1, 1, nullptr, &u, &u); },
        [&] { return STM_SET_MULT_TRIGGER(h(), 2, 1, 1, &u, nullptr, &u); },
        [&] { return STM_SET_MULT_TRIGGER(h(), 2, 1, 1, &u, &u, nullptr); },
        [&] { return STM_GET_MULT_TRIGGER(h(), nullptr, &u, &u); },
        [&] { return STM_GET_MULT_TRIGGER(h(), &u, nullptr, &u); },
        [&] { return STM_GET_MULT_TRIGGER(h(), &u, &u, nullptr); },
        [&] { return STM_QUERY_CAMCTL_CAPS(h(), 1, nullptr, 2); },
        [&] { return STM_SET_DIGITAL_OUTPUTS(h(), 1, nullptr); },
    };
    for (size_t i = 0; i < calls.size(); ++i)
        EXPECT_EQ(calls[i](), STC_STS_NULL) << i;
    EXPECT_TRUE(driver.port().Trace().empty());
    (void)s;
}

TEST_F(InputMessages, FailedMessagesLeaveTheAnswersAlone) {
    const uint32_t timeoutStatus = 0x84000107; // becomes STC_STS_TIMEOUT
    uint32_t u = 111, v = 222, w = 333;
    uint16_t s = 44;

    driver.port().FailNext(msg::STM_GET_TIMEOUT, timeoutStatus);
    EXPECT_EQ(STM_GET_TIMEOUT(h(), &u), STC_STS_TIMEOUT);
    driver.port().FailNext(msg::STM_SET_TIMEOUT, timeoutStatus);
    EXPECT_EQ(STM_SET_TIMEOUT(h(), 3, &u), STC_STS_TIMEOUT);
    driver.port().FailNext(msg::STM_GET_INPUT_SOURCE, 0x84000218);
    EXPECT_EQ(STM_GET_INPUT_SOURCE(h(), &s), STC_STS_INPUTSOURCE);
    driver.port().FailNext(msg::STM_SET_INPUT_CONTROL, 0x84000219);
    EXPECT_EQ(STM_SET_INPUT_CONTROL(h(), 0, 2, 1, &u), STC_STS_CONTROL);
    driver.port().FailNext(msg::STM_GET_TRIGGER, timeoutStatus);
    EXPECT_EQ(STM_GET_TRIGGER(h(), &u, &v), STC_STS_TIMEOUT);
    driver.port().FailNext(msg::STM_GET_MULT_TRIGGER, timeoutStatus);
    EXPECT_EQ(STM_GET_MULT_TRIGGER(h(), &u, &v, &w), STC_STS_TIMEOUT);
    driver.port().FailNext(msg::STM_SET_DIGITAL_OUTPUTS, 0x04000001); // device dependent
    EXPECT_EQ(STM_SET_DIGITAL_OUTPUTS(h(), 1, &u), 0x04000001u);
    driver.port().FailNext(msg::STM_SELECT_BASED_SOURCE, 0x84000201); // not in the table
    EXPECT_EQ(STM_SELECT_BASED_SOURCE(h(), 0, 1), STC_STS_UNKNOWNSTATUS);

    EXPECT_EQ(u, 111u);
    EXPECT_EQ(v, 222u);
    EXPECT_EQ(w, 333u);
    EXPECT_EQ(s, 44);
}
