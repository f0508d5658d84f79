// Helpers of the simulated-driver tests: an open driver handle, message sending with an
// answer descriptor, the test port, and scratch boards in the registry.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <windows.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include "records.h"
#include "stapi.h"
#include "testport.h"

namespace simtest {

using namespace imaging;

inline constexpr wchar_t kServiceKey[] = L"System\\CurrentControlSet\\Services\\kvboard";

// One open handle on the simulator.
class Driver {
public:
    explicit Driver(const char* openText) : Driver(reinterpret_cast<LPARAM>(openText)) {}
    explicit Driver(LPARAM openParam) : h_(OpenDriver(L"kvboard.drv", nullptr, openParam)) {}
    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;
    ~Driver() {
        if (h_) CloseDriver(h_, 0, 0);
    }
    explicit operator bool() const { return h_ != nullptr; }
    HDRVR get() const { return h_; }

    LRESULT Send(UINT message, LPARAM p1 = 0, LPARAM p2 = 0) const {
        return SendDriverMessage(h_, message, p1, p2);
    }
    // Sends with an answer descriptor on `buffer`; `written` receives BytesWritten.
    LRESULT Ask(UINT message, LPARAM p1, void* buffer, uint32_t size,
                uint32_t* written = nullptr) const {
        OutputDescriptor d{sizeof(OutputDescriptor), size, 0, buffer};
        const LRESULT r = Send(message, p1, reinterpret_cast<LPARAM>(&d));
        if (written) *written = d.BytesWritten;
        return r;
    }
    template <class T> LRESULT Ask(UINT message, LPARAM p1, T& answer) const {
        return Ask(message, p1, &answer, sizeof answer);
    }
    template <class Block, class T>
    LRESULT AskWith(UINT message, const Block& block, T& answer) const {
        return Ask(message, reinterpret_cast<LPARAM>(&block), &answer, sizeof answer);
    }
    // The driver-form last status (STM_GET_LAST_STATUS); ~0 when it cannot be read.
    uint32_t LastStatus() const {
        uint32_t status = ~0u, written = 0;
        if (Ask(msg::STM_GET_LAST_STATUS, 0, &status, sizeof status, &written) == 0 || written != 4)
            return ~0u;
        return status;
    }
    // Input controls of one source; Set answers the driver's result.
    LRESULT SetControl(uint16_t source, uint32_t key, int32_t value) const {
        InputControlWriteBlock block{source, 0, key, static_cast<uint32_t>(value)};
        int32_t answer = 0;
        return AskWith(msg::STM_SET_INPUT_CONTROL, block, answer);
    }
    int32_t GetControl(uint16_t source, uint32_t key) const {
        InputControlReadBlock block{source, 0, key};
        int32_t value = INT32_MIN;
        EXPECT_EQ(AskWith(msg::STM_GET_INPUT_CONTROL, block, value), 1)
            << "control " << key << " of source " << source;
        return value;
    }
    template <class T> T Cap(uint32_t key) const {
        T answer{};
        EXPECT_EQ(Ask(msg::STM_QUERY_INPUT_CAPS, key, answer), 1) << "input cap " << key;
        return answer;
    }
    uint32_t DeviceCap(uint32_t key) const {
        uint32_t answer = 0;
        EXPECT_EQ(Ask(msg::STM_QUERY_DEVICE_CAPS, key, answer), 1) << "device cap " << key;
        return answer;
    }

private:
    HDRVR h_;
};

// The driver's test port, found on the loaded driver (open a Driver first).
struct TestPort {
    KvTestTraceStartFn TraceStart;
    KvTestTraceStopFn TraceStop;
    KvTestTraceCountFn TraceCount;
    KvTestTraceGetFn TraceGet;
    KvTestFailNextFn FailNext;
    KvTestClearFailuresFn ClearFailures;

    static TestPort Find() {
        const HMODULE m = GetModuleHandleW(L"kvboard.drv");
        EXPECT_NE(m, nullptr) << "kvboard.drv is not loaded";
        TestPort p{};
        Export(m, "KvTestTraceStart", p.TraceStart);
        Export(m, "KvTestTraceStop", p.TraceStop);
        Export(m, "KvTestTraceCount", p.TraceCount);
        Export(m, "KvTestTraceGet", p.TraceGet);
        Export(m, "KvTestFailNext", p.FailNext);
        Export(m, "KvTestClearFailures", p.ClearFailures);
        return p;
    }
    template <class Fn> static void Export(HMODULE module, const char* name, Fn& fn) {
        const FARPROC proc = module ? GetProcAddress(module, name) : nullptr;
        static_assert(sizeof proc == sizeof fn);
        std::memcpy(&fn, &proc, sizeof fn); // FARPROC to the export's real type
    }
    bool Complete() const {
        return TraceStart && TraceStop && TraceCount && TraceGet && FailNext && ClearFailures;
    }
    std::vector<KvTraceRecord> Records() const {
        std::vector<KvTraceRecord> records(TraceCount());
        for (uint32_t i = 0; i < records.size(); ++i)
            EXPECT_TRUE(TraceGet(i, &records[i]));
        return records;
    }
};

inline std::wstring BoardKeyPath(const std::wstring& board) {
    return std::wstring(kServiceKey) + L"\\" + board;
}

inline bool KeyExists(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

inline bool ReadDword(const std::wstring& path, const wchar_t* name, DWORD& value) {
    DWORD size = sizeof value, type = 0;
    return RegGetValueW(HKEY_LOCAL_MACHINE, path.c_str(), name, RRF_RT_ANY, &type, &value, &size) ==
               ERROR_SUCCESS &&
           type == REG_DWORD;
}

inline void WriteDword(const std::wstring& path, const wchar_t* name, DWORD value) {
    ASSERT_EQ(
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, path.c_str(), name, REG_DWORD, &value, sizeof value),
        ERROR_SUCCESS);
}

// A board subkey of the service that exists for one test and is deleted afterwards.
class ScratchBoard {
public:
    explicit ScratchBoard(const std::wstring& name) : path_(BoardKeyPath(name)) {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, path_.c_str());
    }
    ScratchBoard(const ScratchBoard&) = delete;
    ScratchBoard& operator=(const ScratchBoard&) = delete;
    ~ScratchBoard() { RegDeleteTreeW(HKEY_LOCAL_MACHINE, path_.c_str()); }
    void Set(const wchar_t* name, DWORD value) { WriteDword(path_, name, value); }
    void SetText(const wchar_t* name, const std::wstring& text) {
        ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, path_.c_str(), name, REG_SZ, text.c_str(),
                                  static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }

private:
    std::wstring path_;
};

} // namespace simtest
