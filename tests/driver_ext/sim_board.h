// A board of the simulated driver, opened the real way, with its test port: the trace of the
// messages it received and scripted failures.
#pragma once

#include "testport.h"

#include <gtest/gtest.h>
#include <mmsystem.h>

#include <cstring>
#include <vector>

namespace imaging {

template <typename Fn> Fn Export(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

class SimBoard : public ::testing::Test {
protected:
    // The board to open, as "kvboard!<board name>".
    virtual const char* Board() const { return "kvboard!SIM7100"; }

    void SetUp() override {
        driver_ = OpenDriver(L"kvboard.drv", nullptr, reinterpret_cast<LPARAM>(Board()));
        ASSERT_NE(driver_, nullptr) << Board();
        HMODULE module = GetModuleHandleW(L"kvboard.drv");
        ASSERT_NE(module, nullptr);
        traceStart_ = Export<KvTestTraceStartFn>(module, "KvTestTraceStart");
        traceStop_ = Export<KvTestTraceStopFn>(module, "KvTestTraceStop");
        traceCount_ = Export<KvTestTraceCountFn>(module, "KvTestTraceCount");
        traceGet_ = Export<KvTestTraceGetFn>(module, "KvTestTraceGet");
        failNext_ = Export<KvTestFailNextFn>(module, "KvTestFailNext");
        clearFailures_ = Export<KvTestClearFailuresFn>(module, "KvTestClearFailures");
        ASSERT_TRUE(traceStart_ && traceStop_ && traceCount_ && traceGet_ && failNext_ &&
                    clearFailures_);
        clearFailures_();
        traceStart_();
    }
    void TearDown() override {
        if (traceStop_) traceStop_();
        if (clearFailures_) clearFailures_();
        if (driver_) CloseDriver(driver_, 0, 0);
    }

    std::vector<KvTraceRecord> Trace() const {
        std::vector<KvTraceRecord> records(traceCount_());
        for (uint32_t i = 0; i < records.size(); ++i)
            traceGet_(i, &records[i]);
        return records;
    }
    // The one record of `code` in the trace (a test failure when there is not exactly one).
    KvTraceRecord Sent(unsigned code) const {
        std::vector<KvTraceRecord> found;
        for (const KvTraceRecord& r : Trace())
            if (r.Message == code) found.push_back(r);
        EXPECT_EQ(found.size(), 1u) << "message 0x" << std::hex << code;
        return found.empty() ? KvTraceRecord{} : found.front();
    }
    template <typename T> static T BlockAs(const KvTraceRecord& record) {
        EXPECT_EQ(record.BlockSize, sizeof(T));
        T block{};
        std::memcpy(&block, record.Block, sizeof(T));
        return block;
    }
    static std::vector<uint8_t> Bytes(const KvTraceRecord& record) {
        return {record.Block, record.Block + record.BlockSize};
    }
    // The next message with `code` fails, leaving `driverStatus` as the last status.
    void FailNext(unsigned code, uint32_t driverStatus) { failNext_(code, 1, driverStatus, 0); }

    HDRVR driver_ = nullptr;

private:
    KvTestTraceStartFn traceStart_ = nullptr;
    KvTestTraceStopFn traceStop_ = nullptr;
    KvTestTraceCountFn traceCount_ = nullptr;
    KvTestTraceGetFn traceGet_ = nullptr;
    KvTestFailNextFn failNext_ = nullptr;
    KvTestClearFailuresFn clearFailures_ = nullptr;
};

} // namespace imaging
