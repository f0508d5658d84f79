// Live video ("passthru"): the state the control keeps while the driver draws live video into
// a window, and the arithmetic of the lookup tables, the passthru size and the extended mode's
// fill counters, kept free of window and COM code.
#pragma once

#include "raii.h"
#include "records.h"

#include <windows.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace core {

constexpr size_t kPassthruSlots = imaging::kFrameSlots;

// The thread that turns the driver's sync events into OnPassthruNotify (passthru.cpp).
struct PassthruWorker;

// What the control keeps about live video. The arrays stay in place for the control's life:
// the driver writes the counters while an extended passthru runs.
struct PassthruState {
    PassthruState();
    ~PassthruState();
    PassthruState(const PassthruState&) = delete;
    PassthruState& operator=(const PassthruState&) = delete;

    HWND window = nullptr;    // where the driver draws live video; chosen at each start
    imaging::JobId job = 0;   // asynchronous and extended passthru; 0 when none
    bool synchronous = false; // a synchronous passthru (no job) runs
    int32_t originX = 0;      // the source origin last read or written
    int32_t originY = 0;
    std::array<imaging::FrameHandle, kPassthruSlots> frameIds{}; // extended mode's list
    std::array<int32_t, kPassthruSlots> counters{};              // filled-frame counters
    std::unique_ptr<PassthruWorker> worker;
    // The hidden "Image" window made when no window was at hand; reused by later starts.
    com::UniqueWindow imageWindow;
};

// Lookup-table and palette entries as the driver takes them: for each value the bytes of bits
// 16 to 23, 8 to 15 and 0 to 7, in this order.
std::vector<uint8_t> PackRgbEntries(std::span<const int32_t> values);

// The size live video is scaled to: the frame size, at most the device's largest passthru
// size, times the hardware scale in percent.
struct PassthruSize {
    int32_t width;
    int32_t height;
    bool operator==(const PassthruSize&) const = default;
};
PassthruSize ScaledPassthruSize(int32_t frameWidth, int32_t frameHeight,
                                const imaging::stSTT_LNG_RNG& widths,
                                const imaging::stSTT_LNG_RNG& heights, uint32_t horizontalScale,
                                uint32_t verticalScale);

// Takes the fills the driver counted: every position whose counter is positive, in ascending
// order, with its counter set back to 0 in one atomic step (a fill counted meanwhile is kept
// for the next call).
std::vector<size_t> TakeFilledPositions(std::span<int32_t> counters);

} // namespace core
