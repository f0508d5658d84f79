// What the line-scan camera of a simulated board sees, line by line.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kvboard {

// Writes `bytes` bytes of consecutive lines of `width` 8-bit pixels, starting with line
// number `firstLine` (lines count from the start of an acquisition).
void RenderLines(const char* board, uint64_t firstLine, uint32_t width, uint8_t* out, size_t bytes);

} // namespace kvboard
