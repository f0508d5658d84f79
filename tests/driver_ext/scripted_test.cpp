// Answers no board gives, through extscript.drv: a KV7400 library answer of the wrong size, a
// job status written by a stop message that then fails, answers written by failing messages.
#include "camera_messages.h"
#include "frame_messages.h"
#include "kv7400_messages.h"
#include "passthru_messages.h"
#include "script_port.h"
#include "sim_board.h"

#include <gtest/gtest.h>

#include <cstring>

namespace imaging {
namespace {

class ScriptedDriver : public ::testing::Test {
protected:
    void SetUp() override {
        driver_ = OpenDriver(L"extscript.drv", nullptr, 0);
        ASSERT_NE(driver_, nullptr) << "extscript.drv beside the test program";
        HMODULE module = GetModuleHandleW(L"extscript.drv");
        ASSERT_NE(module, nullptr);
        set_ = Export<ScriptSetFn>(module, "ScriptSet");
        clear_ = Export<ScriptClearFn>(module, "ScriptClear");
        count_ = Export<ScriptCountFn>(module, "ScriptCount");
        ASSERT_TRUE(set_ && clear_ && count_);
        clear_();
    }
    void TearDown() override {
        if (clear_) clear_();
        if (driver_) CloseDriver(driver_, 0, 0);
    }

    // The driver answers `result` to `message`, writes `value` (ByteCount bytes of it) into the
    // answer and reports BytesWritten `written`; a later last-status query gives `lastStatus`.
    template <typename T>
    void Script(uint32_t message, int32_t result, uint32_t lastStatus, const T& value,
                uint32_t written, uint32_t target = kScriptTargetDescriptor, uint32_t offset = 0) {
        static_assert(sizeof(T) <= kScriptAnswerBytes);
        ScriptAnswer answer{message, result, lastStatus, target, offset, sizeof(T), written, {}};
        std::memcpy(answer.Bytes, &value, sizeof(T));
        set_(&answer);
    }
    uint32_t Count(uint32_t message) const { return count_(message); }

    HDRVR driver_ = nullptr;
    ScriptSetFn set_ = nullptr;
    ScriptClearFn clear_ = nullptr;
    ScriptCountFn count_ = nullptr;
};

// ---- KV7400 library: a successful answer is exactly one 32-bit word ------------------------

struct Lib7400Call {
    const char* name;
    unsigned code;
    STT_APISTATUS (*call)(HDRVR, uint32_t* answer);
};

const Lib7400Call kLib7400Calls[] = {
    {"SetSyncMasterParam", msg::STM_7400_SET_SYNC_MASTER_PARAM,
     [](HDRVR d, uint32_t* a) { return STM_7400_SET_SYNC_MASTER_PARAM(d, 0, 1, 15734, a); }},
    {"GetSyncMasterParam", msg::STM_7400_GET_SYNC_MASTER_PARAM,
     [](HDRVR d, uint32_t* a) { return STM_7400_GET_SYNC_MASTER_PARAM(d, 0, 2, a); }},
    {"SetAnalogParam", msg::STM_7400_SET_ANALOG_PARAM,
     [](HDRVR d, uint32_t* a) { return STM_7400_SET_ANALOG_PARAM(d, 1, AP_Gain, 12, a); }},
    {"GetAnalogParam", msg::STM_7400_GET_ANALOG_PARAM,
     [](HDRVR d, uint32_t* a) { return STM_7400_GET_ANALOG_PARAM(d, 1, AP_Offset, a); }},
};

void PrintTo(const Lib7400Call& call, std::ostream* out) {
    *out << call.name;
}

class Lib7400Answer : public ScriptedDriver, public ::testing::WithParamInterface<Lib7400Call> {};

TEST_P(Lib7400Answer, FourBytesAreTheAnswer) {
    Script(GetParam().code, 1, 0, uint32_t{0x12345678}, 4);
    uint32_t answer = 0;
    EXPECT_EQ(GetParam().call(driver_, &answer), STC_STS_NORMAL);
    EXPECT_EQ(answer, 0x12345678u);
}

TEST_P(Lib7400Answer, OtherCountsOnSuccessFailWithStructSize) {
    for (uint32_t written : {0u, 2u, 8u}) {
        Script(GetParam().code, 1, 0, uint32_t{0x12345678}, written);
        uint32_t answer = 77;
        EXPECT_EQ(GetParam().call(driver_, &answer), STC_STS_STRUCTSIZ) << written;
        EXPECT_EQ(answer, 77u) << "a broken answer is not handed on";
    }
    // The check asked the driver nothing more: no last-status query for a protocol break.
    EXPECT_EQ(Count(msg::STM_GET_LAST_STATUS), 0u);
}

TEST_P(Lib7400Answer, FailedMessageMapsItsStatusWhateverWasWritten) {
    Script(GetParam().code, 0, drv::STS_DEVICE_DEPENDENT_3, uint32_t{5}, 4);
    uint32_t answer = 77;
    EXPECT_EQ(GetParam().call(driver_, &answer), 0x14000003u);
    EXPECT_EQ(answer, 77u);
    Script(GetParam().code, 0, drv::STS_BUSY, uint32_t{5}, 2);
    EXPECT_EQ(GetParam().call(driver_, &answer), STC_STS_BUSY);
    Script(GetParam().code, 0, 0, uint32_t{5}, 4); // a last status of 0 is no success here
    EXPECT_EQ(GetParam().call(driver_, &answer), STC_STS_UNKNOWNSTATUS);
    EXPECT_EQ(answer, 77u);
}

TEST_P(Lib7400Answer, NullAnswerSendsNothing) {
    EXPECT_EQ(GetParam().call(driver_, nullptr), STC_STS_NULL);
    EXPECT_EQ(Count(GetParam().code), 0u);
}

INSTANTIATE_TEST_SUITE_P(Lib7400, Lib7400Answer, ::testing::ValuesIn(kLib7400Calls),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Job statuses handed over by stop messages -------------------------------------------

TEST_F(ScriptedDriver, FailedStopAsyncAcquireStillHandsOverTheTranslatedJobStatus) {
    Script(msg::STM_STOP_ASYNC_ACQUIRE, 0, drv::STS_INVALIDJOBHANDLE, drv::STS_TIMEOUT, 4);
    STT_APISTATUS jobStatus = 0;
    EXPECT_EQ(STM_STOP_ASYNC_ACQUIRE(driver_, 9, &jobStatus), STC_STS_INVALIDJOBHANDLE);
    EXPECT_EQ(jobStatus, STC_STS_TIMEOUT);
}

TEST_F(ScriptedDriver, FailedStopPassthruStillHandsOverTheTranslatedJobStatus) {
    Script(msg::STM_STOP_PASSTHRU, 0, drv::STS_BUSY, drv::STS_CANCELJOB, 4);
    STT_APISTATUS jobStatus = 0;
    EXPECT_EQ(STM_STOP_PASSTHRU(driver_, 3, &jobStatus), STC_STS_BUSY);
    EXPECT_EQ(jobStatus, STC_STS_CANCELJOB);
}

TEST_F(ScriptedDriver, SuccessfulStopTranslatesTheJobStatus) {
    Script(msg::STM_STOP_PASSTHRU, 1, 0, drv::STS_PASSTHRU_STOPPED, 4);
    STT_APISTATUS jobStatus = 0;
    EXPECT_EQ(STM_STOP_PASSTHRU(driver_, 3, &jobStatus), STC_STS_NORMAL);
    EXPECT_EQ(jobStatus, STC_STS_PASSTHRU_STOPPED);
}

TEST_F(ScriptedDriver, StopWithoutStatusAddressSendsNothing) {
    EXPECT_EQ(STM_STOP_PASSTHRU(driver_, 3, nullptr), STC_STS_NULL);
    EXPECT_EQ(STM_STOP_ASYNC_ACQUIRE(driver_, 3, nullptr), STC_STS_NULL);
    EXPECT_EQ(Count(msg::STM_STOP_PASSTHRU) + Count(msg::STM_STOP_ASYNC_ACQUIRE), 0u);
}

// ---- Job polling ---------------------------------------------------------------------------

TEST_F(ScriptedDriver, AsyncDoneTranslatesTheJobStatus) {
    Script(msg::STM_IS_ASYNC_ACQUIRE_DONE, 1, 0, AsyncDoneAnswer{1, drv::STS_TIMEOUT, 4096}, 12);
    uint32_t done = 0, bytes = 0;
    STT_APISTATUS jobStatus = 0;
    EXPECT_EQ(STM_IS_ASYNC_ACQUIRE_DONE(driver_, 5, &done, &jobStatus, &bytes), STC_STS_NORMAL);
    EXPECT_EQ(done, 1u);
    EXPECT_EQ(jobStatus, STC_STS_TIMEOUT);
    EXPECT_EQ(bytes, 4096u);
}

TEST_F(ScriptedDriver, FailedAsyncDoneLeavesTheAnswersAlone) {
    Script(msg::STM_IS_ASYNC_ACQUIRE_DONE, 0, drv::STS_INVALIDJOBHANDLE,
           AsyncDoneAnswer{1, drv::STS_TIMEOUT, 4096}, 12);
    uint32_t done = 7, bytes = 7;
    STT_APISTATUS jobStatus = 7;
    EXPECT_EQ(STM_IS_ASYNC_ACQUIRE_DONE(driver_, 5, &done, &jobStatus, &bytes),
              STC_STS_INVALIDJOBHANDLE);
    EXPECT_EQ(done, 7u);
    EXPECT_EQ(jobStatus, 7u);
    EXPECT_EQ(bytes, 7u);
}

TEST_F(ScriptedDriver, StandardFailureWithLastStatusZeroCountsAsSuccess) {
    Script(msg::STM_START_ASYNC_ACQUIRE, 0, 0, JobId{42}, 4);
    JobId job = 0;
    EXPECT_EQ(STM_START_ASYNC_ACQUIRE(driver_, 1, &job), STC_STS_NORMAL);
    EXPECT_EQ(job, 42u);
}

// ---- Camera family -------------------------------------------------------------------------

TEST_F(ScriptedDriver, ExposePulseAnswerIsHandedOverWhenTheMessageFails) {
    // The answer word lies at offset 4 of the write block that lParam2 points at.
    Script(msg::STM_CAM_SET_EXPOSE_PULSE, 0, drv::STS_DEVICE_DEPENDENT_2, uint32_t{0xBEEF}, 0,
           kScriptTargetAddress, 4);
    uint32_t answer = 0;
    EXPECT_EQ(STM_CAM_SET_EXPOSE_PULSE(driver_, 500, 1, 1, &answer), 0x14000002u);
    EXPECT_EQ(answer, 0xBEEFu);
}

TEST_F(ScriptedDriver, FailedCameraReadLeavesTheCallersValue) {
    Script(msg::STM_CAM_GET_TYPE, 0, drv::STS_DEVICE_DEPENDENT_1, uint32_t{5}, 4);
    uint32_t type = 3;
    EXPECT_EQ(STM_CAM_GET_TYPE(driver_, 0, &type), 0x14000001u);
    EXPECT_EQ(type, 3u);
}

TEST_F(ScriptedDriver, ExposePulseReadBringsDurationAndPolarity) {
    Script(msg::STM_CAM_GET_EXPOSE_PULSE, 1, 0, ExposePulseReadBuffer{0, 0, 1500, 1}, 12);
    uint32_t duration = 0, polarity = 0;
    EXPECT_EQ(STM_CAM_GET_EXPOSE_PULSE(driver_, 2, &duration, &polarity), STC_STS_NORMAL);
    EXPECT_EQ(duration, 1500u);
    EXPECT_EQ(polarity, 1u);
}

} // namespace
} // namespace imaging
