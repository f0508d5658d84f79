#include "line_picture.h"

namespace kvboard {

void RenderLines(const char* /*board*/, uint64_t firstLine, uint32_t width, uint8_t* out,
                 size_t bytes) {
    // A ramp across the line that moves one step per line, as a web under the camera.
    for (size_t i = 0; i < bytes; ++i) {
        const uint64_t line = firstLine + i / width;
        const uint32_t x = static_cast<uint32_t>(i % width);
        out[i] = static_cast<uint8_t>(uint64_t{x} * 256 / width + line);
    }
}

} // namespace kvboard
