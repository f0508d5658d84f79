// The test port (trace and scripted failures) and messages from several threads on one
// handle.
#include "sim_driver.h"

#include <cstring>
#include <set>
#include <thread>

namespace simtest {
namespace {

class TestPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(driver);
        port = TestPort::Find();
        ASSERT_TRUE(port.Complete());
        port.ClearFailures();
        port.TraceStart();
    }
    void TearDown() override {
        if (port.Complete()) {
            port.TraceStop();
            port.ClearFailures();
        }
    }
    Driver driver{"kvboard!SIM7100"};
    TestPort port{};
};

TEST_F(TestPortTest, TraceRecordsTheInputBlockAndTheOutcome) {
    const InputControlWriteBlock block{3, 0, STC_FG_CTL_FRAME_WIDTH, 640};
    int32_t answer = 0;
    ASSERT_EQ(driver.AskWith(msg::STM_SET_INPUT_CONTROL, block, answer), 1);
    const InputControlWriteBlock bad{3, 0, STC_FG_CTL_FRAME_WIDTH, 641};
    ASSERT_EQ(driver.AskWith(msg::STM_SET_INPUT_CONTROL, bad, answer), 0);

    const std::vector<KvTraceRecord> records = port.Records();
    ASSERT_EQ(records.size(), 2u);
    const KvTraceRecord& ok = records[0];
    EXPECT_EQ(ok.Message, msg::STM_SET_INPUT_CONTROL);
    EXPECT_EQ(ok.Param1, reinterpret_cast<uint64_t>(&block));
    ASSERT_EQ(ok.BlockSize, 12u);
    const uint8_t expected[12] = {0x03, 0, 0, 0, 0x52, 0x01, 0, 0, 0x80, 0x02, 0, 0};
    EXPECT_EQ(std::memcmp(ok.Block, expected, 12), 0);
    EXPECT_EQ(ok.Result, 1);
    EXPECT_EQ(ok.DriverStatus, 0u);
    EXPECT_EQ(ok.ThreadId, GetCurrentThreadId());
    EXPECT_EQ(records[1].Result, 0);
    EXPECT_EQ(records[1].DriverStatus, drv::STS_GRANULARITY);
    EXPECT_EQ(records[1].Block[8], 0x81);
}

TEST_F(TestPortTest, LutWritesTraceTheirEntries) {
    const uint32_t entries[3] = {7, 8, 9};
    LutBlock block{0, 0, 10, 3};
    ASSERT_EQ(driver.Send(msg::STM_WRITE_INPUT_LUT, reinterpret_cast<LPARAM>(&block),
                          reinterpret_cast<LPARAM>(entries)),
              1);
    KvTraceRecord record{};
    ASSERT_EQ(port.TraceCount(), 1u);
    ASSERT_TRUE(port.TraceGet(0, &record));
    ASSERT_EQ(record.BlockSize, 12u);
    EXPECT_EQ(std::memcmp(record.Block, entries, 12), 0);
    EXPECT_FALSE(port.TraceGet(1, &record));
}

TEST_F(TestPortTest, MessagesWithoutABlockTraceNone) {
    uint32_t seconds = 0;
    ASSERT_EQ(driver.Ask(msg::STM_SET_TIMEOUT, 8, seconds), 1);
    KvTraceRecord record{};
    ASSERT_TRUE(port.TraceGet(0, &record));
    EXPECT_EQ(record.Message, msg::STM_SET_TIMEOUT);
    EXPECT_EQ(record.Param1, 8u);
    EXPECT_EQ(record.BlockSize, 0u);
}

TEST_F(TestPortTest, StopEndsRecordingAndStartClears) {
    driver.DeviceCap(STC_IMG_DC_DEVICE_ID);
    port.TraceStop();
    driver.DeviceCap(STC_IMG_DC_DEVICE_ID);
    EXPECT_EQ(port.TraceCount(), 1u);
    port.TraceStart();
    EXPECT_EQ(port.TraceCount(), 0u);
}

TEST_F(TestPortTest, ScriptedFailuresHitTheNextMessagesWithTheirCode) {
    port.FailNext(msg::STM_QUERY_DEVICE_CAPS, 2, drv::STS_BUSY, 0);
    uint32_t answer = 0;
    uint32_t seconds = 0;
    EXPECT_EQ(driver.Ask(msg::STM_GET_TIMEOUT, 0, seconds), 1) << "another code";
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(driver.Ask(msg::STM_QUERY_DEVICE_CAPS, STC_IMG_DC_DEVICE_ID, answer), 0);
        EXPECT_EQ(driver.LastStatus(), drv::STS_BUSY);
    }
    EXPECT_EQ(answer, 0u) << "a scripted failure answers nothing";
    EXPECT_EQ(driver.DeviceCap(STC_IMG_DC_DEVICE_ID), 32u);

    port.FailNext(msg::STM_GET_TIMEOUT, 1, drv::STS_DEVICE_DEPENDENT_2, 7);
    EXPECT_EQ(driver.Ask(msg::STM_GET_TIMEOUT, 0, seconds), 7);
    EXPECT_EQ(driver.LastStatus(), drv::STS_DEVICE_DEPENDENT_2);

    port.FailNext(msg::STM_GET_TIMEOUT, 5, drv::STS_BUSY, 0);
    port.ClearFailures();
    EXPECT_EQ(driver.Ask(msg::STM_GET_TIMEOUT, 0, seconds), 1);
}

TEST_F(TestPortTest, AScriptedOpenFailureRefusesTheHandle) {
    port.FailNext(DRV_OPEN, 1, 0, 0);
    EXPECT_FALSE(Driver("kvboard!SIM7100"));
    EXPECT_TRUE(Driver("kvboard!SIM7100"));
}

TEST_F(TestPortTest, SeveralThreadsShareOneHandle) {
    constexpr int kThreads = 4, kRounds = 200;
    std::vector<std::thread> threads;
    std::vector<int> mismatches(kThreads, 0);
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            const auto source = static_cast<uint16_t>(t);
            for (int i = 0; i < kRounds; ++i) {
                const int32_t height = 1 + (i * kThreads + t) % 1000;
                if (driver.SetControl(source, STC_FG_CTL_FRAME_HEIGHT, height) != 1 ||
                    driver.GetControl(source, STC_FG_CTL_FRAME_HEIGHT) != height)
                    ++mismatches[t];
                InputControlWriteBlock bad{source, 0, STC_FG_CTL_FRAME_HEIGHT, 5000};
                int32_t answer = 0;
                if (driver.AskWith(msg::STM_SET_INPUT_CONTROL, bad, answer) != 0) ++mismatches[t];
            }
        });
    for (std::thread& t : threads)
        t.join();
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(mismatches[t], 0) << "thread " << t;

    const std::vector<KvTraceRecord> records = port.Records();
    EXPECT_EQ(records.size(), size_t{kThreads * kRounds * 3});
    std::set<uint32_t> threadIds;
    for (const KvTraceRecord& r : records) {
        threadIds.insert(r.ThreadId);
        const bool refused = r.BlockSize == 12 && r.Block[8] == 0x88 && r.Block[9] == 0x13;
        if (refused)
            EXPECT_EQ(r.DriverStatus, drv::STS_RANGE);
        else
            EXPECT_EQ(r.DriverStatus, 0u);
    }
    EXPECT_EQ(threadIds.size(), size_t{kThreads});
}

} // namespace
} // namespace simtest
