// Helpers of the live video and overlay tests: a real window to draw into, frames of the
// simulated board, passthru starts and stops, reading window pixels and counting threads.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <set>
#include <utility>
#include <vector>

#include <windows.h>

#include "sim_driver.h"
#include "thread_count.h"

namespace simtest {

// Statuses of the surface messages the shared header does not name (driver form).
inline constexpr uint32_t kStsFixedColor = 0x8400022A;
inline constexpr uint32_t kStsInvalidSurfaceDc = 0x84000232;

inline constexpr COLORREF kBackground = RGB(0, 0, 255); // the test window's own color
inline constexpr DWORD kImageWait = 5000;               // ms; only a bound against hangs

// A visible top-level window of a plain class with a blue background, painted once.
class TestWindow {
public:
    TestWindow(int width = 640, int height = 480) {
        static const ATOM atom = [] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = DefWindowProcW;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.hbrBackground = CreateSolidBrush(kBackground);
            wc.lpszClassName = L"SimLiveTestWindow";
            return RegisterClassW(&wc);
        }();
        hwnd_ = CreateWindowExW(0, MAKEINTATOM(atom), L"live", WS_POPUP | WS_VISIBLE, 0, 0, width,
                                height, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        if (hwnd_) {
            UpdateWindow(hwnd_);
            Pump();
        }
    }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;
    ~TestWindow() {
        if (hwnd_) DestroyWindow(hwnd_);
    }
    HWND get() const { return hwnd_; }

    static void Pump() {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    // Paints the background again (erasing what live video drew).
    void Repaint() const {
        RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        Pump();
    }
    COLORREF Pixel(int x, int y) const {
        const HDC dc = GetDC(hwnd_);
        const COLORREF c = GetPixel(dc, x, y);
        ReleaseDC(hwnd_, dc);
        return c;
    }
    std::vector<COLORREF> Row(int y, int x0, int count) const {
        const HDC dc = GetDC(hwnd_);
        std::vector<COLORREF> row;
        for (int x = x0; x < x0 + count; ++x)
            row.push_back(GetPixel(dc, x, y));
        ReleaseDC(hwnd_, dc);
        return row;
    }

private:
    HWND hwnd_ = nullptr;
};

inline FrameHandle AllocateFrame(const Driver& d) {
    FrameHandle frame = 0;
    EXPECT_EQ(d.Ask(msg::STM_ALLOCATE_FRAME, 0xFFFF0001, frame), 1);
    return frame;
}

inline FrameInfo InfoOf(const Driver& d, FrameHandle frame) {
    FrameInfo info{};
    info.StructSize = sizeof info;
    EXPECT_EQ(d.Ask(msg::STM_GET_FRAME_INFO, frame, info), 1);
    return info;
}

inline std::vector<uint8_t> ReadFrame(const Driver& d, FrameHandle frame) {
    const FrameInfo info = InfoOf(d, frame);
    std::vector<uint8_t> bytes(size_t{info.Width} * info.Height * info.BytesPerPixel);
    FrameRectBlock rect{frame, 0, 0, info.Width, info.Height};
    EXPECT_EQ(d.Ask(msg::STM_READ_FRAME_RECT, reinterpret_cast<LPARAM>(&rect), bytes.data(),
                    static_cast<uint32_t>(bytes.size())),
              1);
    return bytes;
}

// Fills every pixel of the frame with the same bytes.
inline void FillFrame(const Driver& d, FrameHandle frame, std::vector<uint8_t> pixel) {
    const FrameInfo info = InfoOf(d, frame);
    ASSERT_EQ(pixel.size(), info.BytesPerPixel);
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < size_t{info.Width} * info.Height; ++i)
        bytes.insert(bytes.end(), pixel.begin(), pixel.end());
    FrameRectBlock rect{frame, 0, 0, info.Width, info.Height};
    ASSERT_EQ(d.Send(msg::STM_WRITE_FRAME_RECT, reinterpret_cast<LPARAM>(&rect),
                     reinterpret_cast<LPARAM>(bytes.data())),
              1);
}

inline uint32_t FrameCounter(const std::vector<uint8_t>& pixels) {
    return pixels[0] | (pixels[1] << 8) | (pixels[2] << 16) | (uint32_t(pixels[3]) << 24);
}

inline LRESULT StartAsync(const Driver& d, HWND window, FrameHandle frame, JobId& job) {
    WindowBlock block{window, frame};
    return d.AskWith(msg::STM_START_ASYNC_PASSTHRU, block, job);
}

inline LRESULT StartSync(const Driver& d, HWND window, FrameHandle frame) {
    WindowBlock block{window, frame};
    return d.Send(msg::STM_START_PASSTHRU, reinterpret_cast<LPARAM>(&block));
}

// STM_STOP_PASSTHRU; `final` receives the answered job status.
inline LRESULT Stop(const Driver& d, JobId job, uint32_t& final) {
    final = 0xDEADBEEF;
    return d.Ask(msg::STM_STOP_PASSTHRU, job, final);
}

inline HANDLE SyncEvent(const Driver& d) {
    HANDLE event = nullptr;
    EXPECT_EQ(d.Send(msg::STM_GET_SYNC_EVENT, 0, reinterpret_cast<LPARAM>(&event)), 1);
    return event;
}

// Waits for `count` images of a running passthru.
inline bool WaitImages(HANDLE sync, int count) {
    for (int i = 0; i < count; ++i)
        if (WaitForSingleObject(sync, kImageWait) != WAIT_OBJECT_0) return false;
    return true;
}

inline LRESULT LoadLut(const Driver& d, int32_t first, int32_t count,
                       const std::vector<uint8_t>& entries) {
    PairBlock range{first, count};
    return d.Send(msg::STM_LOAD_PASSTHRU_LUT, reinterpret_cast<LPARAM>(&range),
                  reinterpret_cast<LPARAM>(entries.data()));
}

// A lookup table that shows every video value as one color.
inline void LoadFlatLut(const Driver& d, COLORREF color) {
    std::vector<uint8_t> entries;
    for (int i = 0; i < 256; ++i)
        entries.insert(entries.end(), {GetRValue(color), GetGValue(color), GetBValue(color)});
    ASSERT_EQ(LoadLut(d, 0, 256, entries), 1);
}

inline size_t ProcessThreads() {
    return static_cast<size_t>(test::ThreadCount());
}

} // namespace simtest
