// The test port of a loaded board driver (kvboard.drv, or the tests' own kvtestdrv.drv which
// offers the same exports): the message trace and scripted failures.
#pragma once

#include "testport.h"

#include <cstdint>
#include <vector>

class DriverPort {
public:
    // The module must already be loaded (the driver is open).
    explicit DriverPort(const wchar_t* moduleName) : module_(GetModuleHandleW(moduleName)) {
        if (!module_) return;
        Resolve(start_, "KvTestTraceStart");
        Resolve(stop_, "KvTestTraceStop");
        Resolve(count_, "KvTestTraceCount");
        Resolve(get_, "KvTestTraceGet");
        Resolve(failNext_, "KvTestFailNext");
        Resolve(clear_, "KvTestClearFailures");
    }

    bool ok() const { return start_ && stop_ && count_ && get_ && failNext_ && clear_; }
    HMODULE module() const { return module_; }

    void StartTrace() { start_(); }
    void StopTrace() { stop_(); }
    std::vector<KvTraceRecord> Trace() const {
        std::vector<KvTraceRecord> records(count_());
        for (uint32_t i = 0; i < records.size(); ++i)
            get_(i, &records[i]);
        return records;
    }
    void FailNext(uint32_t message, uint32_t driverStatus, int64_t result = 0, uint32_t count = 1) {
        failNext_(message, count, driverStatus, result);
    }
    void ClearFailures() { clear_(); }

    template <typename Fn> void Resolve(Fn& fn, const char* name) const {
        fn = module_ ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_, name)))
                     : nullptr;
    }

private:
    HMODULE module_;
    KvTestTraceStartFn start_ = nullptr;
    KvTestTraceStopFn stop_ = nullptr;
    KvTestTraceCountFn count_ = nullptr;
    KvTestTraceGetFn get_ = nullptr;
    KvTestFailNextFn failNext_ = nullptr;
    KvTestClearFailuresFn clear_ = nullptr;
};
