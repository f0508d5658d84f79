// Drawing 8-bit gray pixels into a window (line-scan lines, color planes).
#pragma once

#include <cstdint>

#include <windows.h>

namespace kvboard {

// Draws width x height gray pixels (rows top-down, `stride` bytes apart) with their top-left
// corner at (x, y) of the window's client area. False when the window or the drawing fails.
bool DrawGray(HWND window, int x, int y, uint32_t width, uint32_t height, const uint8_t* pixels,
              size_t stride);

} // namespace kvboard
