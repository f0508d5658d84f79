// What the line-scan camera of a simulated board sees, line by line: the diagonal ramp of
// the monochrome pictures with the line number as its row, so that consecutive lines differ
// and every acquisition starting at line 0 sees the same lines.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kvboard {

// Writes `bytes` bytes of consecutive lines of `width` 8-bit pixels, starting with line
// number `firstLine`: pixel x of line n is (x + n) mod 256.
void RenderLines(uint64_t firstLine, uint32_t width, uint8_t* out, size_t bytes);

} // namespace kvboard
