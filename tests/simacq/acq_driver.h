// Helpers of the acquisition tests: frames on an open handle, rectangles, the frame
// counter, the acquisition test port and the thread count of the process.
#pragma once

#include <cstdint>
#include <vector>

#include <windows.h>

#include "sim_driver.h"
#include "thread_count.h"

namespace simtest {

// Storage modes by their protocol numbers.
enum : uint32_t {
    kDefaultImage = 0,
    kMonoImage = 1,
    kYuvImage = 2,
    kRgbImage = 3,
    kRgb16Image = 4,
    kRgb15Image = 5,
    kRgb24Image = 6,
    kRgb32Image = 7,
};

constexpr uint32_t kNotOpen = 0xFFFFFFFF;

// The acquisition part of the test port.
struct AcqPort {
    KvTestFireTriggerFn FireTrigger = nullptr;
    KvTestTriggerWaitersFn TriggerWaiters = nullptr;
    KvTestImageNumberFn ImageNumber = nullptr;
    KvTestSetStorageModeFn SetStorageMode = nullptr;

    static AcqPort Find() {
        const HMODULE m = GetModuleHandleW(L"kvboard.drv");
        EXPECT_NE(m, nullptr) << "kvboard.drv is not loaded";
        AcqPort p;
        TestPort::Export(m, "KvTestFireTrigger", p.FireTrigger);
        TestPort::Export(m, "KvTestTriggerWaiters", p.TriggerWaiters);
        TestPort::Export(m, "KvTestImageNumber", p.ImageNumber);
        TestPort::Export(m, "KvTestSetStorageMode", p.SetStorageMode);
        EXPECT_TRUE(p.FireTrigger && p.TriggerWaiters && p.ImageNumber && p.SetStorageMode);
        return p;
    }

    // Waits until `count` acquisitions listen for the board's trigger (the test fails
    // instead of hanging when they never do).
    bool AwaitWaiters(const char* board, uint32_t count = 1) const {
        if (TriggerWaiters == nullptr) return false;
        for (int i = 0; i < 20000; ++i) {
            const uint32_t waiting = TriggerWaiters(board);
            if (waiting != kNotOpen && waiting >= count) return true;
            Sleep(1);
        }
        return false;
    }
};

inline FrameHandle Allocate(const Driver& d) {
    FrameHandle frame = 0;
    EXPECT_EQ(d.Ask(msg::STM_ALLOCATE_FRAME, 0xFFFF0001, frame), 1)
        << "status " << std::hex << d.LastStatus();
    return frame;
}

inline FrameInfo Info(const Driver& d, FrameHandle frame) {
    FrameInfo info{};
    info.StructSize = sizeof info;
    EXPECT_EQ(d.Ask(msg::STM_GET_FRAME_INFO, frame, info), 1);
    return info;
}

inline LRESULT Destroy(const Driver& d, FrameHandle frame) {
    return d.Send(msg::STM_DESTROY_FRAME, frame);
}

// A frame destroyed when the test's scope ends.
class ScopedFrame {
public:
    explicit ScopedFrame(const Driver& d) : d_(d), frame_(Allocate(d)) {}
    ScopedFrame(const ScopedFrame&) = delete;
    ScopedFrame& operator=(const ScopedFrame&) = delete;
    ~ScopedFrame() {
        if (frame_) Destroy(d_, frame_);
    }
    FrameHandle get() const { return frame_; }
    operator FrameHandle() const { return frame_; }

private:
    const Driver& d_;
    FrameHandle frame_;
};

inline std::vector<uint8_t> ReadRect(const Driver& d, FrameHandle frame, uint32_t left,
                                     uint32_t top, uint32_t width, uint32_t height,
                                     uint32_t bytesPerPixel) {
    FrameRectBlock block{frame, left, top, width, height};
    std::vector<uint8_t> bytes(size_t{width} * height * bytesPerPixel);
    EXPECT_EQ(d.Ask(msg::STM_READ_FRAME_RECT, reinterpret_cast<LPARAM>(&block), bytes.data(),
                    static_cast<uint32_t>(bytes.size())),
              1);
    return bytes;
}

// All of a frame's bytes.
inline std::vector<uint8_t> ReadAll(const Driver& d, FrameHandle frame) {
    const FrameInfo info = Info(d, frame);
    return ReadRect(d, frame, 0, 0, info.Width, info.Height, info.BytesPerPixel);
}

// The frame counter: the first 4 bytes of the frame, little-endian.
inline uint32_t Counter(const Driver& d, FrameHandle frame) {
    const uint32_t bpp = Info(d, frame).BytesPerPixel;
    if (bpp == 0) return 0;
    const std::vector<uint8_t> b = ReadRect(d, frame, 0, 0, (4 + bpp - 1) / bpp, 1, bpp);
    return b.size() < 4 ? 0 : b[0] | (b[1] << 8) | (b[2] << 16) | (uint32_t{b[3]} << 24);
}

inline LRESULT SetTimeoutSeconds(const Driver& d, uint32_t seconds) {
    return d.Send(msg::STM_SET_TIMEOUT, seconds, 0);
}

inline LRESULT SetTrigger(const Driver& d, uint32_t type) {
    TriggerBlock block{type, 0};
    TriggerBlock answer{};
    return d.AskWith(msg::STM_SET_TRIGGER, block, answer);
}

inline LRESULT SetMultTrigger(const Driver& d, uint32_t type, uint32_t mode) {
    MultTriggerBlock block{type, 0, mode};
    MultTriggerBlock answer{};
    return d.AskWith(msg::STM_SET_MULT_TRIGGER, block, answer);
}

inline JobId StartAsync(const Driver& d, FrameHandle frame) {
    JobId job = 0;
    EXPECT_EQ(d.Ask(msg::STM_START_ASYNC_ACQUIRE, frame, job), 1);
    return job;
}

inline JobId StartAsyncMultiple(const Driver& d, const std::vector<FrameHandle>& frames) {
    std::vector<uint32_t> list{static_cast<uint32_t>(frames.size())};
    list.insert(list.end(), frames.begin(), frames.end());
    JobId job = 0;
    EXPECT_EQ(
        d.Ask(msg::STM_START_ASYNC_ACQUIRE_MULTIPLE, reinterpret_cast<LPARAM>(list.data()), job),
        1);
    return job;
}

inline AsyncDoneAnswer Poll(const Driver& d, JobId job) {
    AsyncDoneAnswer answer{};
    EXPECT_EQ(d.Ask(msg::STM_IS_ASYNC_ACQUIRE_DONE, job, answer), 1);
    return answer;
}

// Polls until the job is done (gives up, failing, after a long while instead of hanging).
inline AsyncDoneAnswer PollUntilDone(const Driver& d, JobId job) {
    AsyncDoneAnswer answer{};
    for (int i = 0; i < 20000; ++i) {
        if (d.Ask(msg::STM_IS_ASYNC_ACQUIRE_DONE, job, answer) != 1) {
            ADD_FAILURE() << "poll failed with " << std::hex << d.LastStatus();
            return answer;
        }
        if (answer.Done == 1) return answer;
        Sleep(1);
    }
    ADD_FAILURE() << "job " << job << " never finished";
    return answer;
}

using test::ThreadCount;

// A scratch board of a model that delivers images as fast as possible.
class FastBoard {
public:
    FastBoard(const wchar_t* name, DWORD model) : key_(name) {
        key_.Set(L"Enable", 1);
        key_.Set(L"Model", model);
        key_.Set(L"FrameRate", 0);
    }
    void Set(const wchar_t* name, DWORD value) { key_.Set(name, value); }
    void SetText(const wchar_t* name, const std::wstring& text) { key_.SetText(name, text); }

private:
    ScratchBoard key_;
};

} // namespace simtest
