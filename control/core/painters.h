// Host-side painters: draw a frame's pixels into a device context with GDI, for a control
// whose device is served by another host (the driver cannot draw into this host's windows).
#pragma once

#include "raii.h"

#include <windows.h>

#include <cstdint>
#include <functional>

namespace core {

// The frame to paint: its pixels (rows of width * bytesPerPixel bytes) and its rectangle.
struct PaintedFrame {
    const void* pixels = nullptr; // null: nothing to paint
    int32_t left = 0, top = 0, width = 0, height = 0;
    uint32_t bytesPerPixel = 0;
};

// 8-bit frames through a grey palette: pixel value v shows grey v with its lowest bit
// cleared. The painter lock serialises the creation of the device bitmap. 1 when drawn.
int PaintGreyFrame(HDC target, const PaintedFrame& frame, bool deviceBitmap,
                   com::CriticalSection& painterLock);

// 16-bit (5-6-5) and 32-bit frames stretched onto (0, 0, right, bottom). A failing step
// calls failed with its name ("CreateCompatibleBitmap", ...) and paints nothing. 1 when drawn.
int PaintColorFrame(HDC target, const PaintedFrame& frame, int right, int bottom,
                    const std::function<void(const wchar_t* step)>& failed);

} // namespace core
