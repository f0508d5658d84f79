// Helpers of the extension family tests: the test port's digital inputs and worker count,
// a scratch window, and the family values the tests use.
#pragma once

#include <cstdint>

#include "sim_driver.h"

namespace simtest {

// Device-dependent driver statuses of the board libraries (standard flag clear).
inline constexpr uint32_t kOutOfRange = 0x04000001;
inline constexpr uint32_t kBadSelector = 0x04000002;
inline constexpr uint32_t kBadSource = 0x04000003;
inline constexpr uint32_t kSyncInUse = 0x04000004;

struct ExtPort {
    KvTestSetDigitalInputsFn SetInputs = nullptr;
    KvTestClearDigitalInputsFn ClearInputs = nullptr;
    KvTestLineScanWorkersFn Workers = nullptr;

    static ExtPort Find() {
        const HMODULE m = GetModuleHandleW(L"kvboard.drv");
        EXPECT_NE(m, nullptr) << "kvboard.drv is not loaded";
        ExtPort p;
        TestPort::Export(m, "KvTestSetDigitalInputs", p.SetInputs);
        TestPort::Export(m, "KvTestClearDigitalInputs", p.ClearInputs);
        TestPort::Export(m, "KvTestLineScanWorkers", p.Workers);
        return p;
    }
    bool Complete() const { return SetInputs && ClearInputs && Workers; }
};

// Sends a message and answers the driver's last status (0 after success).
inline uint32_t StatusOf(const Driver& d, LRESULT result) {
    return result == 1 ? 0 : d.LastStatus();
}

// A visible top-level window for drawing tests; destroyed with the object.
class ScratchWindow {
public:
    ScratchWindow(int width, int height) {
        h_ = CreateWindowExW(0, L"STATIC", L"simext", WS_POPUP | WS_VISIBLE, 0, 0, width, height,
                             nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        if (h_) UpdateWindow(h_);
    }
    ScratchWindow(const ScratchWindow&) = delete;
    ScratchWindow& operator=(const ScratchWindow&) = delete;
    ~ScratchWindow() {
        if (h_) DestroyWindow(h_);
    }
    HWND get() const { return h_; }
    COLORREF Pixel(int x, int y) const {
        const HDC dc = GetDC(h_);
        const COLORREF c = GetPixel(dc, x, y);
        ReleaseDC(h_, dc);
        return c;
    }

private:
    HWND h_ = nullptr;
};

} // namespace simtest
